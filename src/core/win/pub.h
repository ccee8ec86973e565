// CPub, the browser helper object: one per browser window or tab.  The
// browser creates it, hands it the window's browser through
// IObjectWithSite::SetSite and releases it after OnQuit and SetSite(NULL).
// Its IPub dispatch side is the sink of the browser's DWebBrowserEvents2; it
// also serves the document host (IDocHostUIHandler, IOleCommandTarget) and
// the document's property notifications.
//
// The object lives on its tab's thread: every member is touched only there
// (events, hooks, its own timer window and the subclass run there).  The
// browser's top-level window may belong to another thread or process.
//
// Files: pub.cpp (life, site, browser events, quit), pub_doc_host.cpp (the
// document host and its forwarding), pub_extender.cpp (the page's external
// object), pub_services.cpp (the steps other work plugs into).
#pragma once

#include <windows.h>
#include <exdisp.h>
#include <mshtml.h>
#include <mshtmhst.h>
#include <docobj.h>
#include <ocidl.h>
#include <wrl/client.h>

#include <deque>
#include <memory>
#include <string>

#include "com/module.h"
#include "core/win/pub_windows.h"
#include "core/pub_host.h"
#include "core/pub_navigation.h"
#include "platform/mutex.h"
#include "quillvane_i.h"
#include "whitelist/win/whitelist_object.h"

namespace qv::content::win {
struct FrameLink;
}

namespace qv::core::win {

using Microsoft::WRL::ComPtr;

// One connected page or frame: its browser and the cookies of the document
// and window event sinks advised on it (0 when not connected).  The record
// also keeps the two connection points it advised on, so that the sinks are
// taken off the very document and window they were put on, even when the
// frame has moved on to another document by then.
struct SinkRecord {
  ComPtr<IWebBrowser2> frame;
  DWORD documentSinkCookie = 0;
  DWORD windowSinkCookie = 0;
  ComPtr<IConnectionPoint> documentPoint;
  ComPtr<IConnectionPoint> windowPoint;
};

class PubDomExtender;
class Pub;

// The browser side of one window as the popup decision sees it.
class PubBrowserHost final : public popup::PubHost {
 public:
  explicit PubBrowserHost(Pub& pub) : pub_(pub) {}
  std::optional<std::string> locationUrl() override;
  std::optional<bool> whiteListFind(std::string_view address) override;
  bool setStatusText(const std::string& text) override;
  void sweepDocument(int flags) override;
  void ensureTray() override;
  void showOptions() override;
  bool windowVisible() override;
  Pub& pub() { return pub_; }

 private:
  Pub& pub_;
};

class Pub final : public IObjectWithSite,
                  public IPub,
                  public IDocHostUIHandler,
                  public IOleCommandTarget,
                  public IPropertyNotifySink,
                  public IProvideClassInfo {
 public:
  Pub();
  Pub(const Pub&) = delete;
  Pub& operator=(const Pub&) = delete;

  // IUnknown
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;

  // IObjectWithSite
  STDMETHODIMP SetSite(IUnknown* site) override;
  STDMETHODIMP GetSite(REFIID iid, void** out) override;

  // IDispatch (IPub): the DWebBrowserEvents2 sink.
  STDMETHODIMP GetTypeInfoCount(UINT* count) override;
  STDMETHODIMP GetTypeInfo(UINT index, LCID, ITypeInfo** info) override;
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override;
  STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                      EXCEPINFO* excep, UINT* argErr) override;

  // IDocHostUIHandler
  STDMETHODIMP ShowContextMenu(DWORD id, POINT* pt, IUnknown* target, IDispatch* object) override;
  STDMETHODIMP GetHostInfo(DOCHOSTUIINFO* info) override;
  STDMETHODIMP ShowUI(DWORD id, IOleInPlaceActiveObject* active, IOleCommandTarget* target,
                      IOleInPlaceFrame* frame, IOleInPlaceUIWindow* doc) override;
  STDMETHODIMP HideUI() override;
  STDMETHODIMP UpdateUI() override;
  STDMETHODIMP EnableModeless(BOOL enable) override;
  STDMETHODIMP OnDocWindowActivate(BOOL activate) override;
  STDMETHODIMP OnFrameWindowActivate(BOOL activate) override;
  STDMETHODIMP ResizeBorder(LPCRECT border, IOleInPlaceUIWindow* window, BOOL frameWindow) override;
  STDMETHODIMP TranslateAccelerator(LPMSG msg, const GUID* group, DWORD cmd) override;
  STDMETHODIMP GetOptionKeyPath(LPOLESTR* key, DWORD reserved) override;
  STDMETHODIMP GetDropTarget(IDropTarget* target, IDropTarget** out) override;
  STDMETHODIMP GetExternal(IDispatch** out) override;
  STDMETHODIMP TranslateUrl(DWORD translate, LPWSTR url, LPWSTR* out) override;
  STDMETHODIMP FilterDataObject(IDataObject* in, IDataObject** out) override;

  // IOleCommandTarget
  STDMETHODIMP QueryStatus(const GUID* group, ULONG count, OLECMD* cmds, OLECMDTEXT* text) override;
  STDMETHODIMP Exec(const GUID* group, DWORD id, DWORD opt, VARIANT* in, VARIANT* out) override;

  // IPropertyNotifySink
  STDMETHODIMP OnChanged(DISPID) override;
  STDMETHODIMP OnRequestEdit(DISPID) override;

  // IProvideClassInfo
  STDMETHODIMP GetClassInfo(ITypeInfo** info) override;

  // Declared first so that it is let go last: the module stays locked until
  // every member below is gone (their destructors are module code).
 private:
  com::ModuleLock lock_;

 public:
  // The window's state, named as the rest of the program names it.  flags
  // also carries the tab's and the timer window, the data mutex and the
  // browser-side host that the popup decision works through.
  core::PubFlags flags;
  std::uint32_t tableToken = 0;  // this object's pubObject in the browser table
  ComPtr<IWebBrowser2> browser;
  HWND frameWindow = nullptr;  // the browser's top-level window (get_HWND); may be another thread's
  HWND tabWindow = nullptr;    // the window of this object's tab on its own thread, or null
  TimerWindow timers;          // timers 0, 1 and 2, serving this object alone
  HHOOK keyboardHook = nullptr;
  HHOOK mouseHook = nullptr;
  DWORD browserEventsCookie = 0;
  DWORD notifyCookie = 0;
  ComPtr<IHTMLDocument2> document;
  ComPtr<IHTMLWindow2> statusWindow;
  ComPtr<IPubDomExtender> externalObject;
  std::deque<std::unique_ptr<SinkRecord>> sinkRecords;  // oldest first
  ComPtr<IDocHostUIHandler> defaultUIHandler;
  ComPtr<IOleCommandTarget> defaultCommandTarget;
  std::string whiteListPath;
  com::WhiteListOwner whiteList;  // revokes its running-object entry when let go
  std::unique_ptr<NamedMutex> dataMutex;
  std::unique_ptr<NamedMutex> optionsMutex;
  ULONG_PTR gdiplusToken = 0;
  content::win::FrameLink* frameLink = nullptr;  // the top-level window's subclass, when on this thread
  bool inTable = false;  // the window has a browserTable entry
  PubBrowserHost host{*this};
  // The address of flags.userClicked as the page's document sinks see it;
  // emptied when this object goes, so a sink that outlives it writes nowhere.
  std::shared_ptr<int*> userClickedCell = std::make_shared<int*>(&flags.userClicked);

  // The IUnknown identity handed to others (the browser table, sinks).
  IUnknown* identity() { return static_cast<IObjectWithSite*>(this); }

 private:
  ~Pub();
  void attach(IUnknown* site);
  // Undoes everything attach and the events set up (what OnQuit undoes,
  // without its blank page and wait); safe to call more than once.
  void detach();
  void onNewWindow(VARIANT_BOOL* cancel);
  void onBeforeNavigate(const std::string& address);
  void onNavigateComplete(IDispatch* frame);
  void onDocumentComplete(IDispatch* frame);
  void onQuit();
  void connectPage(IDispatch* frame);
  void disconnectAllPages();
  void topLevelAttach();
  void unadviseDocument();  // the property sink off the top-level document
  void detachDocument();    // that, the UI handler given back, the document's objects let go
  bool enterTable();        // false: no entry (table full or busy)
  void leaveTable();

  LONG refs_ = 0;
  bool quitStarted_ = false;
  PubDomExtender* extender_ = nullptr;  // externalObject's implementation, for the back reference
};

}  // namespace qv::core::win
