// Construction of a CPub, the seams other work plugs into, and the browser
// side of a window as the popup decision sees it.
#include "core/win/pub_services.h"

#include <oleauto.h>

#include <memory>

#include "com/classes.h"
#include "com/module.h"
#include "com/text.h"
#include "content/win/page_mshtml.h"
#include "core/browser_table.h"
#include "core/popup.h"
#include "core/shared_settings.h"
#include "core/win/browser_events.h"
#include "core/win/popup_ports_win.h"
#include "core/win/popup_shell_win.h"
#include "core/win/pub.h"
#include "core/win/pub_construct.h"
#include "core/win/shared_state.h"
#include "platform/win/mutex_win.h"
#include "platform/win/messages_win.h"
#include "res/resource_ids.h"
#include "ui/win/options_sheet_win.h"
#include "ui/win/pub_ui.h"

namespace qv::core::win {
namespace {

// The per-process popup shell (click state, table, tokens, ports), set up
// from the module's own services the first time a CPub is made.
qv::win::PopupShell& shell() { return qv::win::PopupShell::instance(); }

}  // namespace

Pub* pubFromState(popup::PubState* state) {
  auto* host = state ? dynamic_cast<PubBrowserHost*>(state->host) : nullptr;
  return host ? &host->pub() : nullptr;
}

namespace pubsvc {

HRESULT preparePub(Pub& pub) {
  qv::win::PubResources resources;
  const HRESULT hr = qv::win::constructPub(resources);
  if (FAILED(hr)) return hr;
  pub.dataMutex = std::move(resources.dataMutex);
  pub.optionsMutex = std::move(resources.optionsMutex);
  pub.whiteList = std::move(resources.whiteList);
  pub.whiteListPath = std::move(resources.whiteListPath);
  pub.flags.dataMutex = pub.dataMutex.get();
  shell().configureForModule();  // the first CPub of the process sets it up
  return S_OK;
}

SharedSettings& shared() { return qv::sharedSettings(); }

Messages& messages() {
  if (!shell().configured()) shell().configureForModule();
  return shell().context().messages;
}

void ensureTray(Pub& pub) { ui::win::pubEnsureTray(pub); }
void removeTray(Pub& pub) { ui::win::pubRemoveTray(pub); }
void showOptions(Pub& pub, int startPage) {
  // The sheet's modal loop dispatches the browser's quit, SetSite(NULL) and
  // last Release like any other message, and none of the callers (the
  // keyboard hook, the extender's weak owner, the tray's window) holds the
  // object.  The sheet therefore holds it, and its own references to the
  // browser and the status window, which a detach lets go of, until it has
  // closed: the mutexes, the white list and newWindowGuard live as long as
  // the object.
  const ComPtr<IUnknown> self(pub.identity());
  const ComPtr<IWebBrowser2> browser = pub.browser;
  const ComPtr<IHTMLWindow2> statusWindow = pub.statusWindow;
  const ComPtr<IUnknown> whiteList(pub.whiteList.Get());
  ui::win::showOptionsForWindow({pub.frameWindow, browser.Get(), statusWindow.Get(), whiteList.Get(),
                                 pub.optionsMutex.get(), pub.dataMutex.get(), &pub.flags.newWindowGuard},
                                startPage);
}
HRESULT showContextMenu(Pub& pub, DWORD id, POINT* pt, IUnknown* target, IDispatch*) {
  return ui::win::pubShowContextMenu(pub, id, pt, target);
}
// The content sweep (content/win/page_mshtml.h); the status notice goes to
// the helper object that owns the focused window.
void sweepDocument(Pub&, IDispatch* document, int sweepFlags) {
  content::win::sweepHtmlDocument(document, sweepFlags, shared(), [] {
    popup::PubState* state = shell().configured() ? shell().findPubForFocus() : nullptr;
    return state ? state->host : nullptr;
  });
}

}  // namespace pubsvc

// ---------------------------------------------------------------------------
// The browser side of a window for the popup decision.

std::optional<std::string> PubBrowserHost::locationUrl() {
  if (!pub_.browser) return std::nullopt;
  com::Bstr url;
  if (FAILED(pub_.browser->get_LocationURL(url.Receive()))) return std::nullopt;
  // The address as the white list reads it: never a best-fit look-alike.
  return com::narrowAddressBstr(url.get(), com::AddressUse::PageAddress);
}

std::optional<bool> PubBrowserHost::whiteListFind(std::string_view address) {
  ComPtr<IWhiteList> list;
  if (!pub_.whiteList || FAILED(pub_.whiteList.As(&list)) || !list) return std::nullopt;
  const com::Bstr text = com::bstrFromAnsi(address);
  VARIANT_BOOL found = VARIANT_FALSE;
  if (FAILED(list->Find(text.get(), &found))) return false;
  return found != VARIANT_FALSE;
}

bool PubBrowserHost::setStatusText(const std::string& text) {
  if (!pub_.statusWindow) return false;
  pub_.statusWindow->put_defaultStatus(com::bstrFromAnsi(text).get());
  return true;
}

void PubBrowserHost::sweepDocument(int sweepFlags) {
  if (!pub_.browser) return;
  ComPtr<IDispatch> doc;
  if (SUCCEEDED(pub_.browser->get_Document(&doc)) && doc) pubsvc::sweepDocument(pub_, doc.Get(), sweepFlags);
}

void PubBrowserHost::ensureTray() { pubsvc::ensureTray(pub_); }
void PubBrowserHost::showOptions() { pubsvc::showOptions(pub_, 0); }

bool PubBrowserHost::windowVisible() {
  // The tab's own window when it has one on this thread, else the
  // browser's (possibly another process's) top-level window.
  HWND w = pub_.tabWindow ? pub_.tabWindow : pub_.frameWindow;
  return !w || !IsWindow(w) || IsWindowVisible(w);
}

}  // namespace qv::core::win
