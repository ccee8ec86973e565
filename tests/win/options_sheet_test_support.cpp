#include "options_sheet_test_support.h"

#include <commctrl.h>
#include <objbase.h>
#include <prsht.h>
#include <wrl/client.h>

#include "whitelist/win/whitelist_object.h"
#include "win_test_support.h"

namespace qvtest {
namespace {

double msSince(const LARGE_INTEGER& start) {
  LARGE_INTEGER now, freq;
  QueryPerformanceCounter(&now);
  QueryPerformanceFrequency(&freq);
  return 1000.0 * static_cast<double>(now.QuadPart - start.QuadPart) / static_cast<double>(freq.QuadPart);
}

struct Search {
  const char* caption;
  HWND except;
  HWND found;
};

BOOL CALLBACK findDialog(HWND w, LPARAM lp) {
  auto* s = reinterpret_cast<Search*>(lp);
  char cls[64] = {}, text[256] = {};
  GetClassNameA(w, cls, sizeof cls);
  GetWindowTextA(w, text, sizeof text);
  if (w != s->except && IsWindowVisible(w) && std::string(cls) == "#32770" && std::string(text) == s->caption) {
    s->found = w;
    return FALSE;
  }
  return TRUE;
}

}  // namespace

SheetThread::SheetThread(qv::SharedSettings& settings, const std::string& tag, const std::wstring& whiteListPath,
                         int startPage, std::vector<std::uint8_t>* history)
    : settings_(settings), tag_(tag), whiteListPath_(whiteListPath), startPage_(startPage), history_(history) {
  opening_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  thread_ = CreateThread(nullptr, 0, &SheetThread::run, this, 0, &threadId_);
}

SheetThread::~SheetThread() {
  if (thread_) {
    join();
    CloseHandle(thread_);
  }
  CloseHandle(opening_);
}

double SheetThread::msFromTo(const LARGE_INTEGER& from) const {
  LARGE_INTEGER freq;
  QueryPerformanceFrequency(&freq);
  return 1000.0 * static_cast<double>(returned_.QuadPart - from.QuadPart) / static_cast<double>(freq.QuadPart);
}

DWORD WINAPI SheetThread::run(void* p) {
  auto* self = static_cast<SheetThread*>(p);
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  {
    auto options = qv::win::Win32NamedMutex::create("QvTestOptionsDlg-" + self->tag_);
    auto data = qv::win::Win32NamedMutex::create("QvTestPubData-" + self->tag_);
    Microsoft::WRL::ComPtr<IWhiteList> list;
    qv::com::createAndLoadWhiteList(self->whiteListPath_.c_str(), &list);
    qv::ui::win::SheetEnvironment env;
    env.resources = module();
    env.settings = &self->settings_;
    env.registry = &self->registry;
    env.messages = &self->messages;
    env.optionsMutex = options.get();
    env.dataMutex = data.get();
    env.whiteList = list.Get();
    env.newWindowGuard = &self->newWindowGuard;
    if (self->history_) env.historyRegion = *self->history_;
    QueryPerformanceCounter(&self->started_);
    SetEvent(self->opening_);
    self->outcome_ = qv::ui::win::showOptionsSheet(env, self->startPage_);
    QueryPerformanceCounter(&self->returned_);
  }
  CoUninitialize();
  return 0;
}

HWND SheetThread::waitSheet() {
  WaitForSingleObject(opening_, 10000);
  const std::string caption = qv::ui::win::sheetCaption(module());
  HWND sheet = waitDialog(threadId_, caption.c_str(), nullptr);
  if (!sheet) return nullptr;
  // The first page painted: a synchronous paint of the current page.
  HWND page = reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
  if (page) UpdateWindow(page);
  msToVisible = msSince(started_);
  return sheet;
}

bool SheetThread::join() {
  if (!thread_) return true;
  return WaitForSingleObject(thread_, 10000) == WAIT_OBJECT_0;
}

HWND waitDialog(DWORD thread, const char* caption, HWND except) {
  for (int i = 0; i < 1000; ++i) {
    Search s{caption, except, nullptr};
    EnumThreadWindows(thread, findDialog, reinterpret_cast<LPARAM>(&s));
    if (s.found) return s.found;
    Sleep(10);
  }
  return nullptr;
}

SheetCloser::SheetCloser(DWORD thread) : target_(thread) {
  thread_ = CreateThread(nullptr, 0, &SheetCloser::run, this, 0, nullptr);
}

SheetCloser::~SheetCloser() {
  WaitForSingleObject(thread_, 15000);
  CloseHandle(thread_);
}

std::vector<std::string> SheetCloser::closed() {
  std::lock_guard<std::mutex> l(m_);
  return closed_;
}

DWORD WINAPI SheetCloser::run(void* p) {
  auto* self = static_cast<SheetCloser*>(p);
  const std::string caption = qv::ui::win::sheetCaption(module());
  for (int i = 0; i < 1000; ++i) {
    for (const char* which : {caption.c_str(), "Quillvane"}) {
      Search s{which, nullptr, nullptr};
      EnumThreadWindows(self->target_, findDialog, reinterpret_cast<LPARAM>(&s));
      if (!s.found) continue;
      {
        std::lock_guard<std::mutex> l(self->m_);
        self->closed_.push_back(which);
      }
      if (which != caption.c_str()) {
        PostMessageA(s.found, WM_COMMAND, IDOK, 0);
        Sleep(100);  // until the box has gone
        continue;
      }
      pressSheetButton(s.found, IDCANCEL);
      return 0;
    }
    Sleep(10);
  }
  return 0;
}

HWND selectPage(HWND sheet, const char* title) {
  HWND tab = reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETTABCONTROL, 0, 0));
  const int n = static_cast<int>(SendMessageA(tab, TCM_GETITEMCOUNT, 0, 0));
  for (int i = 0; i < n; ++i) {
    // The tab control belongs to the sheet's thread: ask for the text there.
    char text[128] = {};
    TCITEMA item{};
    item.mask = TCIF_TEXT;
    item.pszText = text;
    item.cchTextMax = sizeof text;
    SendMessageA(tab, TCM_GETITEMA, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
    if (std::string(text) == title) {
      SendMessageA(sheet, PSM_SETCURSEL, static_cast<WPARAM>(i), 0);
      return reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
    }
  }
  return nullptr;
}

void click(HWND page, int id) { SendMessageA(GetDlgItem(page, id), BM_CLICK, 0, 0); }
void clickLater(HWND page, int id) { PostMessageA(GetDlgItem(page, id), BM_CLICK, 0, 0); }

void pressSheetButton(HWND sheet, int id) { PostMessageA(GetDlgItem(sheet, id), BM_CLICK, 0, 0); }

}  // namespace qvtest
