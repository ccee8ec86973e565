// The options sheet over PropertySheetA: the five settings pages of this
// folder (their dialog procedures decode messages and call the page logic),
// the adware and About pages of their own folders, and the browser-side
// ports of the open/save protocol.
#include "ui/win/options_sheet_win.h"
#include "ui/win/skin_glue.h"

#include <commctrl.h>
#include <commdlg.h>
#include <oleauto.h>
#include <prsht.h>
#include <shlguid.h>
#include <urlhist.h>

#include <memory>
#include <new>
#include <vector>

#include "com/text.h"
#include "platform/win/messages_win.h"
#include "res/resource_ids.h"
#include "ui/option_pages.h"
#include "ui/win/dialog_controls_win.h"
#include "ui/win/sheet_pages.h"
#include "whitelist/win/whitelist_object.h"

namespace qv::ui::win {
namespace {

// --- pages -------------------------------------------------------------------

// Set while a sheet of this thread is shown: whether the user confirmed it.
thread_local bool* t_okPressed = nullptr;

// One page of this folder: the dialog procedure hands every event to it.
class PageHandler {
 public:
  explicit PageHandler(HINSTANCE resources) : resources_(resources) {}
  virtual ~PageHandler() = default;
  virtual void init(DialogControls&) {}
  virtual void activate(DialogControls&) {}
  virtual void leave(DialogControls&) {}
  virtual void command(DialogControls&, HWND, int /*id*/, int /*code*/) {}
  HINSTANCE resources() const { return resources_; }

 private:
  HINSTANCE resources_;
};

INT_PTR CALLBACK pageProc(HWND page, UINT msg, WPARAM wp, LPARAM lp) {
  try {
    if (msg == WM_INITDIALOG) {
      const auto* sheetPage = reinterpret_cast<const PROPSHEETPAGEA*>(lp);
      auto* handler = reinterpret_cast<PageHandler*>(sheetPage->lParam);
      SetWindowLongPtrA(page, DWLP_USER, reinterpret_cast<LONG_PTR>(handler));
      centreSheetIfStartPage(page);
      HwndControls controls(page, handler->resources());
      handler->init(controls);
      return TRUE;
    }
    auto* handler = reinterpret_cast<PageHandler*>(GetWindowLongPtrA(page, DWLP_USER));
    if (!handler) return FALSE;
    HwndControls controls(page, handler->resources());
    if (msg == WM_NOTIFY) {
      switch (reinterpret_cast<const NMHDR*>(lp)->code) {
        case PSN_SETACTIVE:
          handler->activate(controls);
          SetWindowLongPtrA(page, DWLP_MSGRESULT, 0);
          return TRUE;
        case PSN_KILLACTIVE:
          handler->leave(controls);
          SetWindowLongPtrA(page, DWLP_MSGRESULT, FALSE);
          return TRUE;
        case PSN_APPLY:
          if (t_okPressed) *t_okPressed = true;
          SetWindowLongPtrA(page, DWLP_MSGRESULT, PSNRET_NOERROR);
          return TRUE;
        default:
          return FALSE;
      }
    }
    if (msg == WM_COMMAND) {
      handler->command(controls, page, LOWORD(wp), HIWORD(wp));
      return TRUE;
    }
  } catch (const std::exception&) {
    // Out of memory inside a page: the event is dropped, the sheet goes on.
    return FALSE;
  }
  return FALSE;
}

UINT_PTR CALLBACK passThroughHook(HWND, UINT, WPARAM, LPARAM) { return 0; }

std::optional<std::string> openSoundFile(HWND owner, const std::string& initial) {
  char file[260] = {};
  char title[256] = {};
  initial.copy(file, sizeof file - 1);
  OPENFILENAMEA ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = owner;
  ofn.lpstrFilter = "Sound Files (*.wav)\0*.wav\0All Files (*.*)\0*.*\0";
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = file;
  ofn.nMaxFile = sizeof file;
  ofn.lpstrFileTitle = title;
  ofn.nMaxFileTitle = sizeof title;
  ofn.Flags = OFN_HIDEREADONLY | OFN_EXPLORER | OFN_ENABLESIZING | OFN_ENABLEHOOK;
  // The hook only lets the dialog's own messages through.
  ofn.lpfnHook = &passThroughHook;
  if (!GetOpenFileNameA(&ofn)) return std::nullopt;
  return std::string(file);
}

bool putStatus(IHTMLWindow2* window, const std::string& text) {
  if (!window) return false;
  try {
    const com::Bstr wide = com::bstrFromAnsi(text);
    window->put_defaultStatus(wide.get());
    return true;
  } catch (const std::bad_alloc&) {
    return false;  // out of memory: the status text stays as it is
  }
}

class PopupAdsHandler final : public PageHandler {
 public:
  PopupAdsHandler(HINSTANCE r, PopupAdsValues& v, const SheetEnvironment& env)
      : PageHandler(r),
        page_(v, {env.sound, [w = env.statusWindow](const std::string& t) { return putStatus(w, t); },
                  [this](const std::string& initial) { return openSoundFile(owner_, initial); }}) {}
  void init(DialogControls& d) override { page_.init(d); }
  void activate(DialogControls& d) override { page_.activate(d); }
  void leave(DialogControls& d) override { page_.leave(d); }
  void command(DialogControls& d, HWND page, int id, int code) override {
    owner_ = page;
    if (id == ctl::kHotkeyList && code == CBN_SELCHANGE) page_.hotkeyChanged(d);
    if (code != BN_CLICKED) return;
    if (id == ctl::kPlayDefaultSound || id == ctl::kPlaySoundFile) page_.soundBoxClicked(d, id);
    if (id == ctl::kTest) page_.test(d);
    if (id == ctl::kSoundFileButton) page_.chooseSoundFile();
  }

 private:
  HWND owner_ = nullptr;
  PopupAdsPage page_;
};

class NewFormAdsHandler final : public PageHandler {
 public:
  NewFormAdsHandler(HINSTANCE r, NewFormAdsValues& v) : PageHandler(r), page_(v) {}
  void init(DialogControls& d) override { page_.init(d); }
  void activate(DialogControls& d) override { page_.activate(d); }
  void leave(DialogControls& d) override { page_.leave(d); }

 private:
  NewFormAdsPage page_;
};

class SettingsHandler final : public PageHandler {
 public:
  SettingsHandler(HINSTANCE r, SettingsValues& v) : PageHandler(r), page_(v) {}
  void init(DialogControls& d) override { page_.init(d); }
  void activate(DialogControls& d) override { page_.activate(d); }
  void leave(DialogControls& d) override { page_.leave(d); }
  void command(DialogControls& d, HWND, int id, int code) override {
    if (id == ctl::kSkinList && code == CBN_SELCHANGE) page_.skinChanged(d);
    if (id == ctl::kRestoreDefaults && code == BN_CLICKED) page_.restoreDefaults(d);
  }

 private:
  SettingsPage page_;
};

// The browser's history of visited addresses (IUrlHistoryStg2), ANSI.
std::vector<std::string> visitedUrls() {
  std::vector<std::string> urls;
  IUrlHistoryStg2* history = nullptr;
  if (FAILED(CoCreateInstance(CLSID_CUrlHistory, nullptr, CLSCTX_INPROC_SERVER, IID_IUrlHistoryStg2,
                              reinterpret_cast<void**>(&history))) ||
      !history)
    return urls;
  IEnumSTATURL* items = nullptr;
  if (SUCCEEDED(history->EnumUrls(&items)) && items) {
    items->Reset();
    for (;;) {
      STATURL entry{};
      entry.cbSize = sizeof entry;
      ULONG fetched = 0;
      if (items->Next(1, &entry, &fetched) != S_OK || fetched != 1) break;
      if (entry.pwcsUrl)
        if (std::optional<std::string> url = com::narrowAddress(entry.pwcsUrl, com::AddressUse::PageAddress))
          urls.push_back(std::move(*url));
      CoTaskMemFree(entry.pwcsUrl);
      CoTaskMemFree(entry.pwcsTitle);
    }
    items->Release();
  }
  history->Release();
  return urls;
}

class WhiteListHandler final : public PageHandler {
 public:
  WhiteListHandler(HINSTANCE r, WhiteListValues& v) : PageHandler(r), page_(v, visitedUrls) {}
  void init(DialogControls& d) override { page_.init(d); }
  void activate(DialogControls& d) override { page_.activate(d); }
  void leave(DialogControls& d) override { page_.leave(d); }
  void command(DialogControls& d, HWND, int id, int code) override {
    if (id == ctl::kSiteList && code == LBN_SELCHANGE) page_.siteSelected(d);
    if (code != BN_CLICKED) return;
    if (id == ctl::kAdd) page_.add(d);
    if (id == ctl::kRemove) page_.remove(d);
    if (id == ctl::kRemoveAll) page_.removeAll(d);
  }

 private:
  WhiteListPage page_;
};

void navigateNewWindow(IWebBrowser2* browser, const std::string& site) {
  const com::Bstr owned = com::bstrFromAnsi(site);
  BSTR url = owned.get();
  VARIANT none, target;
  VariantInit(&none);
  VariantInit(&target);
  V_VT(&target) = VT_BSTR;
  V_BSTR(&target) = SysAllocString(L"_BLANK");
  browser->Navigate(url, &none, &target, &none, &none);
  VariantClear(&target);
}

class BlockHistoryHandler final : public PageHandler {
 public:
  BlockHistoryHandler(HINSTANCE r, const HistoryCounters& c, WhiteListValues& wl, const SheetEnvironment& env)
      : PageHandler(r),
        page_(c, wl,
              {env.historyRegion, env.dataMutex, env.newWindowGuard,
               env.browser ? std::function<void(const std::string&)>(
                                 [b = env.browser](const std::string& s) { navigateNewWindow(b, s); })
                           : nullptr,
               [m = env.messages](int id) {
                 if (m) m->showString(id);
               }}) {}
  void init(DialogControls& d) override { page_.init(d); }
  void command(DialogControls& d, HWND, int id, int code) override {
    if (code != BN_CLICKED) return;
    if (id == ctl::kAddToWhiteList) page_.addToWhiteList(d);
    if (id == ctl::kBrowse) page_.browse(d);
    if (id == ctl::kClear) page_.clear(d);
  }

 private:
  BlockHistoryPage page_;
};

// --- the sheet ---------------------------------------------------------------

// The sheet window watches its own OK button: every OK saves, whichever
// pages were shown (a sheet opened on a page that never marks it changed
// would otherwise report no change).

LRESULT CALLBACK sheetSubclass(HWND w, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR data) {
  auto* ok = reinterpret_cast<bool*>(data);
  if (msg == WM_COMMAND && LOWORD(wp) == IDOK) *ok = true;
  if (msg == WM_COMMAND && LOWORD(wp) == IDCANCEL) *ok = false;
  if (msg == WM_NCDESTROY) RemoveWindowSubclass(w, sheetSubclass, 1);
  const LRESULT r = DefSubclassProc(w, msg, wp, lp);
  // Wine's modal loop notices a closed sheet only at its next message; one
  // is sent so that it ends now rather than at the next mouse move.
  if (msg == WM_COMMAND && (LOWORD(wp) == IDOK || LOWORD(wp) == IDCANCEL)) PostMessageA(w, WM_NULL, 0, 0);
  return r;
}

int CALLBACK sheetCallback(HWND sheet, UINT msg, LPARAM) {
  if (msg == PSCB_INITIALIZED && t_okPressed)
    SetWindowSubclass(sheet, sheetSubclass, 1, reinterpret_cast<DWORD_PTR>(t_okPressed));
  return 0;
}

int runPropertySheet(const SheetEnvironment& env, SheetValues& v, int startPage) {
  const HINSTANCE r = env.resources;
  PopupAdsHandler popup(r, v.popup, env);
  NewFormAdsHandler newForm(r, v.newForm);
  SettingsHandler settings(r, v.settings);
  WhiteListHandler whiteList(r, v.whiteList);
  BlockHistoryHandler history(r, v.counters, v.whiteList, env);

  struct Slot {
    int dialogId;
    DLGPROC proc;
    void* values;
  };
  const SheetPage adware = adwarePage();
  const SheetPage about = aboutPage();
  const Slot slots[7] = {
      {IDD_POPUPADS, pageProc, &popup},
      {IDD_NEWFORMADS, pageProc, &newForm},
      {adware.dialogId, adware.proc, &v.blockAdware},
      {IDD_SETTINGS, pageProc, &settings},
      {IDD_WHITELIST, pageProc, &whiteList},
      {IDD_BLOCKHISTORY, pageProc, &history},
      {about.dialogId, about.proc, nullptr},
  };
  std::vector<HPROPSHEETPAGE> pages;
  int startTab = 0;
  for (int i = 0; i < 7; ++i) {
    if (slots[i].dialogId == 0 || !slots[i].proc) continue;
    PROPSHEETPAGEA p{};
    p.dwSize = sizeof p;
    p.dwFlags = PSP_DEFAULT;
    p.hInstance = r;
    p.pszTemplate = MAKEINTRESOURCEA(slots[i].dialogId);
    p.pfnDlgProc = slots[i].proc;
    p.lParam = reinterpret_cast<LPARAM>(slots[i].values);
    HPROPSHEETPAGE page = CreatePropertySheetPageA(&p);
    if (!page) continue;  // a page that cannot be created is left out
    if (i == startPage) startTab = static_cast<int>(pages.size());
    pages.push_back(page);
  }
  if (pages.empty()) return -1;
  setStartPageIndex(startTab);

  const std::string caption = sheetCaption(r);
  PROPSHEETHEADERA h{};
  h.dwSize = sizeof h;
  h.dwFlags = PSH_NOAPPLYNOW | PSH_USECALLBACK;
  h.hwndParent = env.frameWindow ? env.frameWindow : GetActiveWindow();
  h.hInstance = r;
  h.pszCaption = caption.c_str();
  h.nPages = static_cast<UINT>(pages.size());
  h.nStartPage = static_cast<UINT>(startTab);
  h.phpage = pages.data();
  h.pfnCallback = sheetCallback;

  bool okPressed = false;
  bool* const outer = t_okPressed;
  t_okPressed = &okPressed;
  const INT_PTR result = PropertySheetA(&h);
  t_okPressed = outer;
  if (okPressed) return 1;
  return result < 0 ? -1 : 0;
}

// --- ports -------------------------------------------------------------------

ComError comErrorOf(HRESULT hr) {
  ComError e;
  e.hr = static_cast<std::uint32_t>(hr);
  IErrorInfo* info = nullptr;
  if (GetErrorInfo(0, &info) == S_OK && info) {
    BSTR text = nullptr;
    if (SUCCEEDED(info->GetSource(&text))) e.source = com::narrowBstr(text);
    SysFreeString(text);
    text = nullptr;
    if (SUCCEEDED(info->GetDescription(&text))) e.description = com::narrowBstr(text);
    SysFreeString(text);
    info->Release();
  }
  char buf[512] = {};
  const DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                 static_cast<DWORD>(hr), 0, buf, sizeof buf, nullptr);
  e.systemText.assign(buf, n);
  while (!e.systemText.empty() && (e.systemText.back() == '\n' || e.systemText.back() == '\r'))
    e.systemText.pop_back();
  return e;
}

class ObjectWhiteList final : public SheetWhiteList {
 public:
  explicit ObjectWhiteList(IWhiteList* list) : list_(list) {}
  ReadResult readAll() override {
    ReadResult out;
    BSTR site = nullptr;
    HRESULT hr = list_->GetFirst(&site);
    while (hr == S_OK) {
      out.sites.push_back(com::narrowBstr(site));
      SysFreeString(site);
      site = nullptr;
      hr = list_->GetNext(&site);
    }
    if (FAILED(hr)) out.error = comErrorOf(hr);
    return out;
  }
  std::optional<ComError> replaceAll(const std::vector<std::string>& sites) override {
    com::IWhiteListReplace* replace = nullptr;
    HRESULT hr = list_->QueryInterface(com::IID_IWhiteListReplace, reinterpret_cast<void**>(&replace));
    if (FAILED(hr) || !replace) return comErrorOf(FAILED(hr) ? hr : E_NOINTERFACE);
    std::vector<const char*> texts;
    texts.reserve(sites.size());
    for (const std::string& s : sites) texts.push_back(s.c_str());
    hr = replace->ReplaceAll(texts.data(), static_cast<ULONG>(texts.size()));
    replace->Release();
    if (FAILED(hr)) return comErrorOf(hr);
    return std::nullopt;
  }

 private:
  IWhiteList* list_;
};

class Win32OptionsHost final : public OptionsHost {
 public:
  explicit Win32OptionsHost(const SheetEnvironment& env) : env_(env) {}
  ~Win32OptionsHost() override {
    if (list_) list_->Release();
  }
  void focusFrame() override {
    if (env_.frameWindow) SetFocus(env_.frameWindow);
  }
  void applyDialogSkin(std::int32_t skin) override { win::applyDialogSkin(env_.resources, skin); }
  void removeDialogSkin() override { win::removeDialogSkin(); }
  SheetWhiteList* whiteList() override {
    if (!adapter_ && env_.whiteList &&
        SUCCEEDED(env_.whiteList->QueryInterface(IID_IWhiteList, reinterpret_cast<void**>(&list_))) && list_)
      adapter_ = std::make_unique<ObjectWhiteList>(list_);
    return adapter_.get();
  }
  std::optional<std::string> readDefaultStatus() override {
    if (!env_.statusWindow) return std::nullopt;
    BSTR text = nullptr;
    std::string out;
    if (SUCCEEDED(env_.statusWindow->get_defaultStatus(&text))) out = com::narrowBstr(text);
    SysFreeString(text);
    return out;
  }
  void writeDefaultStatus(const std::string& text) override { putStatus(env_.statusWindow, text); }
  int runSheet(SheetValues& values, int startPage) override { return runPropertySheet(env_, values, startPage); }
  bool sendSettingsNotice() override {
    HWND hidden = FindWindowA("Internet Explorer_Hidden", nullptr);
    if (!hidden) return false;
    DWORD_PTR answer = 0;
    SendMessageTimeoutA(hidden, kSettingsChangedNotice, 0, 0, SMTO_ABORTIFHUNG, 5000, &answer);
    return true;
  }
  void refreshBrowser() override {
    if (env_.browser) env_.browser->Refresh();
  }

 private:
  const SheetEnvironment& env_;
  IWhiteList* list_ = nullptr;
  std::unique_ptr<ObjectWhiteList> adapter_;
};

}  // namespace

std::string sheetCaption(HINSTANCE resources) { return qv::win::loadString(resources, IDS_SHEET_CAPTION); }

OptionsOutcome showOptionsSheet(const SheetEnvironment& env, int startPage) {
  if (!env.settings || !env.registry || !env.messages) return OptionsOutcome::Cancelled;
  static const bool commonControls = [] {
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES};
    return InitCommonControlsEx(&icc) != FALSE;
  }();
  (void)commonControls;
  Win32OptionsHost host(env);
  return showOptions({*env.settings, *env.registry, *env.messages, env.optionsMutex, env.dataMutex, host}, startPage);
}

}  // namespace qv::ui::win
