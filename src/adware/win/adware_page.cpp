// The "Adwares and Spywares" page of the options sheet (dialog 238).  The
// procedure decodes messages and hands them to AdwarePageLogic; DialogView
// turns what the logic shows into control messages and message boxes.
#include "adware/win/adware_page.h"

#include <commctrl.h>
#include <prsht.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <unordered_set>

#include "adware/page.h"
#include "platform/win/registry_win.h"
#include "res/resource_ids.h"
#include "ui/win/sheet_pages.h"

namespace qv::adware::win {
namespace {

constexpr UINT_PTR kFillTimer = 0;
constexpr UINT_PTR kCleanTimer = 1;
constexpr UINT kTimerDelay = 50;
// Posted by the cleaning walk's thread: progress to show, and the end.
constexpr UINT kWalkProgress = WM_APP + 0x51;
constexpr UINT kWalkDone = WM_APP + 0x52;

class DialogView final : public AdwareView {
 public:
  explicit DialogView(HWND page) : page_(page) {}
  void setStatus(const std::string& text) override { SetDlgItemTextA(page_, IDC_ADW_STATUS, text.c_str()); }
  void progressRange(int low, int high) override { progress(PBM_SETRANGE, 0, MAKELPARAM(low, high)); }
  void progressStepSize(int step) override { progress(PBM_SETSTEP, static_cast<WPARAM>(step), 0); }
  void progressPos(int pos) override { progress(PBM_SETPOS, static_cast<WPARAM>(pos), 0); }
  void progressStep() override { progress(PBM_STEPIT, 0, 0); }
  void addListLine(const std::string& line) override {
    SendDlgItemMessageA(page_, IDC_ADW_LIST, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
  }
  void setIntro(const std::string& text) override { SetDlgItemTextA(page_, IDC_ADW_INTRO, text.c_str()); }
  bool askYesNo(const std::string& caption, const std::string& text) override {
    return MessageBoxA(page_, text.c_str(), caption.c_str(), MB_YESNO) == IDYES;
  }
  void showOk(const std::string& caption, const std::string& text, bool icon, MessageIcon kind) override {
    const UINT flags = MB_OK | (!icon ? 0u : kind == MessageIcon::Warning ? MB_ICONWARNING : MB_ICONINFORMATION);
    MessageBoxA(page_, text.c_str(), caption.c_str(), flags);
  }
  void startCleanTimer() override { SetTimer(page_, kCleanTimer, kTimerDelay, nullptr); }

 private:
  void progress(UINT msg, WPARAM wp, LPARAM lp) { SendDlgItemMessageA(page_, IDC_ADW_PROGRESS, msg, wp, lp); }
  HWND page_;
};

// The cleaning walk runs on a thread of its own, so that the sheet (and the
// browser behind it) keeps answering messages: a walk over the whole
// registry takes seconds.  The walk only reads and deletes registry keys;
// what it would show goes to the page by posted messages and is shown on the
// page's thread.  Closing the page stops the walk before its next key and
// waits for it.
class CleaningWalk {
 public:
  explicit CleaningWalk(HWND page) : page_(page) {}
  ~CleaningWalk() { stop(); }
  CleaningWalk(const CleaningWalk&) = delete;
  CleaningWalk& operator=(const CleaningWalk&) = delete;

  bool running() const { return thread_ != nullptr; }
  // False when no thread could be started (the caller then walks itself).
  bool start(std::unordered_set<std::string> targets) {
    stop_ = false;
    targets_ = std::move(targets);
    thread_ = CreateThread(nullptr, 0, &CleaningWalk::run, this, 0, nullptr);
    return thread_ != nullptr;
  }
  // The progress posted since the last call, shown on the page's thread.
  void showProgress(AdwareView& view) {
    std::optional<std::string> status;
    int steps = 0;
    {
      std::lock_guard<std::mutex> lock(m_);
      status.swap(status_);
      std::swap(steps, steps_);
    }
    if (status) view.setStatus(*status);
    for (; steps > 0; --steps) view.progressStep();
  }
  // After kWalkDone: the walk's result (the thread has ended).
  WalkResult finish() {
    join();
    std::lock_guard<std::mutex> lock(m_);
    return std::move(result_);
  }
  void stop() {
    stop_ = true;
    join();
  }

 private:
  // What the walk shows, passed on to the page.
  class Relay final : public AdwareView {
   public:
    explicit Relay(CleaningWalk& w) : w_(w) {}
    void setStatus(const std::string& text) override {
      {
        std::lock_guard<std::mutex> lock(w_.m_);
        w_.status_ = text;
      }
      PostMessageA(w_.page_, kWalkProgress, 0, 0);
    }
    void progressStep() override {
      {
        std::lock_guard<std::mutex> lock(w_.m_);
        ++w_.steps_;
      }
      PostMessageA(w_.page_, kWalkProgress, 0, 0);
    }
    void progressRange(int, int) override {}
    void progressStepSize(int) override {}
    void progressPos(int) override {}
    void addListLine(const std::string&) override {}
    void setIntro(const std::string&) override {}
    bool askYesNo(const std::string&, const std::string&) override { return false; }
    void showOk(const std::string&, const std::string&, bool, MessageIcon) override {}
    void startCleanTimer() override {}

   private:
    CleaningWalk& w_;
  };

  static DWORD WINAPI run(void* self) {
    auto* w = static_cast<CleaningWalk*>(self);
    qv::win::Win32Registry registry{qv::win::wholeRegistryView()};
    Relay relay(*w);
    WalkResult r = cleanRegistry(registry, w->targets_, &relay, &w->stop_);
    {
      std::lock_guard<std::mutex> lock(w->m_);
      w->result_ = std::move(r);
    }
    PostMessageA(w->page_, kWalkDone, 0, 0);
    return 0;
  }
  void join() {
    if (!thread_) return;
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
    thread_ = nullptr;
  }

  HWND page_;
  std::atomic<bool> stop_{false};
  HANDLE thread_ = nullptr;
  std::unordered_set<std::string> targets_;
  std::mutex m_;
  std::optional<std::string> status_;
  int steps_ = 0;
  WalkResult result_;
};

// Lives from WM_INITDIALOG to WM_NCDESTROY, in the page's DWLP_USER.
struct PageState {
  explicit PageState(HWND page, int* value)
      : autoBlockOn(value ? value : &ownValue), view(page), walk(page), page(page) {}
  int ownValue = 0;
  int* autoBlockOn;  // the sheet's blockAdware value (0..2)
  // Both views on 64-bit Windows, whatever this browser's bitness.
  bool twoViews = qv::win::hasTwoRegistryViews();
  qv::win::Win32Registry registry{qv::win::wholeRegistryView()};
  qv::win::Win32Registry registry32{KEY_WOW64_32KEY};
  DialogView view;
  AdwarePageLogic logic{registry, view, twoViews ? &registry32 : nullptr};
  CleaningWalk walk;
  HWND page;

  // The scan and the check box wait while the walk runs: a scan would
  // change the marks the cleaning reports on.
  void enableButtons(bool on) {
    EnableWindow(GetDlgItem(page, IDC_ADW_SCAN), on);
    EnableWindow(GetDlgItem(page, IDC_ADW_AUTOBLOCK), on);
  }
  void startCleaning() {
    const std::unordered_set<std::string> targets = logic.beginClean();
    if (targets.empty()) {
      logic.finishClean({});
      return;
    }
    enableButtons(false);
    if (!walk.start(targets)) {
      enableButtons(true);
      logic.finishClean(cleanRegistry(registry, targets, &view));
    }
  }
  void walkDone() {
    walk.showProgress(view);
    WalkResult r = walk.finish();
    enableButtons(true);
    logic.finishClean(std::move(r));
  }
};

PageState* stateOf(HWND page) { return reinterpret_cast<PageState*>(GetWindowLongPtrA(page, DWLP_USER)); }

BOOL answer(HWND page, LONG_PTR result) {
  SetWindowLongPtrA(page, DWLP_MSGRESULT, result);
  return TRUE;
}

}  // namespace

std::string listFilePath() {
  HMODULE module = GetModuleHandleA("Quillvane.dll");
  if (!module)
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(&listFilePath), &module);
  char path[MAX_PATH + 1] = {};
  const DWORD n = GetModuleFileNameA(module, path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return {};
  std::string p(path, n);
  const std::size_t slash = p.find_last_of('\\');
  p.erase(slash == std::string::npos ? 0 : slash + 1);
  return p + "Quillvane.dat";
}

std::optional<std::string> readListFile(const std::string& path) {
  if (path.empty()) return std::nullopt;
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::nullopt;
  std::string bytes(kListBytes, '\0');
  DWORD total = 0;
  for (DWORD got = 1; got != 0 && total < kListBytes; total += got)
    if (!ReadFile(file, bytes.data() + total, static_cast<DWORD>(kListBytes - total), &got, nullptr)) break;
  CloseHandle(file);
  bytes.resize(total);
  return bytes;
}

INT_PTR CALLBACK adwarePageProc(HWND page, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_INITDIALOG: {
      const auto* psp = reinterpret_cast<const PROPSHEETPAGEA*>(lp);
      auto* state = new PageState(page, psp ? reinterpret_cast<int*>(psp->lParam) : nullptr);
      SetWindowLongPtrA(page, DWLP_USER, reinterpret_cast<LONG_PTR>(state));
      qv::ui::win::centreSheetIfStartPage(page);
      state->logic.load(readListFile(listFilePath()));
      SetTimer(page, kFillTimer, kTimerDelay, nullptr);
      return TRUE;
    }
    case WM_NCDESTROY:
      delete stateOf(page);  // stops a cleaning walk that still runs
      SetWindowLongPtrA(page, DWLP_USER, 0);
      return FALSE;
    default: break;
  }
  PageState* state = stateOf(page);
  if (!state) return FALSE;
  switch (msg) {
    case WM_TIMER:
      if (wp == kFillTimer) {
        KillTimer(page, kFillTimer);
        state->logic.fillList();
        return TRUE;
      }
      if (wp == kCleanTimer) {
        KillTimer(page, kCleanTimer);
        if (!state->walk.running()) state->startCleaning();
        return TRUE;
      }
      return FALSE;
    case kWalkProgress:
      state->walk.showProgress(state->view);
      return TRUE;
    case kWalkDone:
      if (state->walk.running()) state->walkDone();
      return TRUE;
    case WM_COMMAND:
      if (HIWORD(wp) != 0) return FALSE;
      if (state->walk.running()) return TRUE;
      if (LOWORD(wp) == IDC_ADW_SCAN) {
        state->logic.scan();
        return TRUE;
      }
      if (LOWORD(wp) == IDC_ADW_AUTOBLOCK) {
        state->logic.toggleAutoBlock(*state->autoBlockOn);
        return TRUE;
      }
      return FALSE;
    case WM_NOTIFY: {
      const auto* hdr = reinterpret_cast<const NMHDR*>(lp);
      HWND sheet = GetParent(page);
      if (!hdr || (hdr->hwndFrom != page && hdr->hwndFrom != sheet)) return FALSE;
      if (hdr->code == static_cast<UINT>(PSN_SETACTIVE)) {
        SendMessageA(sheet, PSM_CHANGED, reinterpret_cast<WPARAM>(page), 0);
        int& v = *state->autoBlockOn;
        if (v < 0 || v > 2) v = 0;
        SendDlgItemMessageA(page, IDC_ADW_AUTOBLOCK, BM_SETCHECK, static_cast<WPARAM>(v), 0);
        return answer(page, 0);
      }
      if (hdr->code == static_cast<UINT>(PSN_KILLACTIVE)) {
        *state->autoBlockOn = static_cast<int>(SendDlgItemMessageA(page, IDC_ADW_AUTOBLOCK, BM_GETCHECK, 0, 0));
        return answer(page, FALSE);
      }
      if (hdr->code == static_cast<UINT>(PSN_APPLY)) return answer(page, PSNRET_NOERROR);
      return FALSE;
    }
    default: return FALSE;
  }
}

}  // namespace qv::adware::win

namespace qv::ui::win {
SheetPage adwarePage() { return {IDD_ADWARE_PAGE, &qv::adware::win::adwarePageProc}; }
}  // namespace qv::ui::win
