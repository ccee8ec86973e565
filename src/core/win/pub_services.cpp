// The steps the browser helper object takes on the rest of the program, and
// the per-process glue of the popup decision: its context, the thread hooks
// and the timer procedure.
//
// Placeholders, marked PLACEHOLDER below, stand where the work that owns a
// step has not landed yet; each says what replaces it.
#include "core/win/pub_services.h"

#include <oleauto.h>

#include <memory>

#include "com/classes.h"
#include "com/module.h"
#include "core/browser_table.h"
#include "core/popup.h"
#include "core/shared_settings.h"
#include "core/win/browser_events.h"
#include "core/win/popup_ports_win.h"
#include "core/win/pub.h"
#include "core/win/pub_construct.h"
#include "core/win/shared_state.h"
#include "platform/win/mutex_win.h"
#include "platform/win/messages_win.h"
#include "res/resource_ids.h"

namespace qv::com {
namespace {

void CALLBACK timerProcedure(HWND window, UINT, UINT_PTR id, DWORD);
LRESULT CALLBACK keyboardHook(int code, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK mouseHook(int code, WPARAM wParam, LPARAM lParam);

SharedSettings& sharedRecord() { return sharedSettings(); }

// Everything one browser process shares among its windows.  Made on first
// use and never destroyed: hooks and timers of late windows may still reach
// it while the process ends.
struct Process {
  win::Win32Desktop desktop;
  win::Win32Timers timers{&timerProcedure};
  win::Win32Sound sound;
  win::Win32Messages messages{moduleInstance()};
  popup::ClickState clicks;
  std::unique_ptr<win::Win32NamedMutex> tableMutex = win::Win32NamedMutex::create(core::kBrowserTableMutexName);
  core::BrowserTable table{sharedRecord(), tableMutex.get()};
  core::PubTokens<Pub> tokens;
  popup::PopupContext ctx{sharedRecord(),
                          clicks,
                          desktop,
                          timers,
                          sound,
                          messages,
                          [] { win::settingsStore().saveTotal(); },
                          std::span<char>(reinterpret_cast<char*>(win::historyRegion().data()),
                                          win::historyRegion().size())};
};

Process& process() {
  static Process* p = new Process();
  return *p;
}

std::uint32_t tableWindow(HWND w) { return core::TableWindow(reinterpret_cast<WindowHandle>(w)); }

Pub* pubForFocus() {
  Process& p = process();
  return p.tokens.find(p.table.FindPubForFocus(p.desktop, GetCurrentThreadId(), GetCurrentProcessId()));
}

// The CPub whose entry lists exactly this window, in this process.
Pub* pubOfWindow(HWND window) {
  Process& p = process();
  const std::uint32_t w = tableWindow(window);
  const DWORD pid = GetCurrentProcessId();
  for (const BrowserEntry& e : p.table.Entries())
    if (e.processId == pid && e.pubObject && e.frameWindow == w) return p.tokens.find(e.pubObject);
  return nullptr;
}

void CALLBACK timerProcedure(HWND window, UINT, UINT_PTR id, DWORD) {
  try {
    Process& p = process();
    // Timers 1 and 2 live on a CPub's own frame window: that CPub is the one
    // they serve (the focus may be in another window of the thread).  The
    // focus chain is the way back only for a window not listed by itself.
    Pub* pub = nullptr;
    if (id != popup::kTimerBlockCursor) {
      pub = pubOfWindow(window);
      if (!pub) pub = pubForFocus();
    }
    popup::OnTimer(p.ctx, reinterpret_cast<WindowHandle>(window), static_cast<std::uint32_t>(id),
                   pub ? &pub->flags : nullptr);
  } catch (...) {
    // A tick that failed is simply lost; the next one comes in 5 ms.
  }
}

LRESULT CALLBACK keyboardHook(int code, WPARAM wParam, LPARAM lParam) {
  try {
    Pub* pub = pubForFocus();
    if (popup::OnKeyboard(process().ctx, pub ? &pub->flags : nullptr, code, static_cast<std::uint32_t>(wParam),
                          static_cast<std::uint32_t>(lParam)) == popup::KeyVerdict::Swallow)
      return 1;
  } catch (...) {
    // The key goes on to the page.
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

LRESULT CALLBACK mouseHook(int code, WPARAM wParam, LPARAM lParam) {
  try {
    if (code >= 0 && lParam) {
      const auto* m = reinterpret_cast<const MOUSEHOOKSTRUCT*>(lParam);
      Process& p = process();
      popup::OnMouseMessage(p.clicks, p.desktop, static_cast<std::uint32_t>(wParam),
                            reinterpret_cast<WindowHandle>(m->hwnd), ScreenPoint{m->pt.x, m->pt.y});
    }
  } catch (...) {
    // The message goes on regardless.
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

namespace pubsvc {

HRESULT preparePub(Pub& pub) {
  win::PubResources resources;
  const HRESULT hr = win::constructPub(resources);
  if (FAILED(hr)) return hr;
  pub.dataMutex = std::move(resources.dataMutex);
  pub.optionsMutex = std::move(resources.optionsMutex);
  pub.whiteList = resources.whiteList;
  pub.whiteListPath = std::move(resources.whiteListPath);
  pub.flags.dataMutex = pub.dataMutex.get();
  return S_OK;
}

SharedSettings& shared() { return sharedRecord(); }
Messages& messages() { return process().messages; }

bool tableAdd(HWND frame, Pub* pub, DWORD threadId, DWORD processId) {
  Process& p = process();
  if (!pub->tableToken) pub->tableToken = p.tokens.add(pub);
  return core::AddWindow(p.table, p.messages, tableWindow(frame), pub->tableToken, threadId, processId);
}

bool tableRemove(Pub* pub, HWND frame, DWORD processId) {
  Process& p = process();
  const bool removed =
      p.table.Remove(pub->tableToken, tableWindow(frame), processId) == core::RemoveResult::Removed;
  p.tokens.remove(pub->tableToken);
  pub->tableToken = 0;
  return removed;
}

Pub* findPubForWindow(HWND window) {
  Process& p = process();
  const DWORD pid = GetCurrentProcessId();
  // The window and its parents, then the thread's own entry.
  const std::vector<BrowserEntry> entries = p.table.Entries();
  for (HWND w = window; w; w = GetParent(w)) {
    for (const BrowserEntry& e : entries) {
      if (e.processId == pid && e.pubObject && e.frameWindow == tableWindow(w)) return p.tokens.find(e.pubObject);
    }
  }
  return p.tokens.find(p.table.FindByThread(GetCurrentThreadId(), pid));
}

void loadCursors() {
  Process& p = process();
  if (!p.clicks.handCursor.load())
    p.clicks.handCursor.store(win::toHandle(LoadCursorA(nullptr, MAKEINTRESOURCEA(32649))));
  if (!p.clicks.blockCursor.load())
    p.clicks.blockCursor.store(win::toHandle(LoadCursorA(moduleInstance(), MAKEINTRESOURCEA(IDC_BLOCKCURSOR))));
}

HOOKPROC keyboardHookProc() { return keyboardHook; }
HOOKPROC mouseHookProc() { return mouseHook; }
TIMERPROC timerProc() { return timerProcedure; }

bool decideNewWindow(Pub& pub) { return popup::DecideNewWindow(process().ctx, pub.flags).block; }
void resetClickState() { process().clicks.resetClicks(); }
bool isSiteExempt(Pub& pub) { return popup::IsSiteExempt(process().ctx, pub.flags, std::nullopt); }

// PLACEHOLDER until the tray work lands.
void ensureTray(Pub&) {}
void removeTray(Pub&) {}
// PLACEHOLDER until the options sheet lands.
void showOptions(Pub&, int) {}
// PLACEHOLDER until the context-menu work lands: the browser shows its own.
HRESULT showContextMenu(Pub&, DWORD, POINT*, IUnknown*, IDispatch*) { return S_FALSE; }
// PLACEHOLDER until the content sweep lands.
void sweepDocument(Pub&, IDispatch*, int) {}

}  // namespace pubsvc

// ---------------------------------------------------------------------------
// The browser side of a window for the popup decision.

std::optional<std::string> PubBrowserHost::locationUrl() {
  if (!pub_.browser) return std::nullopt;
  BSTR url = nullptr;
  if (FAILED(pub_.browser->get_LocationURL(&url))) return std::nullopt;
  std::string out = narrowBstr(url);
  SysFreeString(url);
  return out;
}

std::optional<bool> PubBrowserHost::whiteListFind(std::string_view address) {
  ComPtr<IWhiteList> list;
  if (!pub_.whiteList || FAILED(pub_.whiteList.As(&list)) || !list) return std::nullopt;
  const int n = MultiByteToWideChar(CP_ACP, 0, address.data(), static_cast<int>(address.size()), nullptr, 0);
  BSTR text = SysAllocStringLen(nullptr, n > 0 ? static_cast<UINT>(n) : 0);
  if (!text) return std::nullopt;
  if (n > 0) MultiByteToWideChar(CP_ACP, 0, address.data(), static_cast<int>(address.size()), text, n);
  VARIANT_BOOL found = VARIANT_FALSE;
  const HRESULT hr = list->Find(text, &found);
  SysFreeString(text);
  if (FAILED(hr)) return false;
  return found != VARIANT_FALSE;
}

bool PubBrowserHost::setStatusText(const std::string& text) {
  if (!pub_.statusWindow) return false;
  const int n = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  BSTR wide = SysAllocStringLen(nullptr, n > 0 ? static_cast<UINT>(n) : 0);
  if (!wide) return false;
  if (n > 0) MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide, n);
  pub_.statusWindow->put_defaultStatus(wide);
  SysFreeString(wide);
  return true;
}

void PubBrowserHost::sweepDocument(int sweepFlags) {
  if (!pub_.browser) return;
  ComPtr<IDispatch> doc;
  if (SUCCEEDED(pub_.browser->get_Document(&doc)) && doc) pubsvc::sweepDocument(pub_, doc.Get(), sweepFlags);
}

void PubBrowserHost::ensureTray() { pubsvc::ensureTray(pub_); }
void PubBrowserHost::showOptions() { pubsvc::showOptions(pub_, 0); }

}  // namespace qv::com
