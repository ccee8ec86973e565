// A stand-in browser for the helper object under Wine, which has no HTML
// engine: a real top-level window behind IWebBrowser2 with its
// DWebBrowserEvents2 connection point, and a document double with its
// window object, client site, custom-doc hook and event connection points.
// Events are fired with the argument shapes the real browser uses.
//
// Two layouts: the single-window browser keeps its frame, tab and helper
// object on one thread (Browser()); the tabbed browser has its top-level
// frame in another process (FrameProcess) and each tab on a thread of its
// own (TabThread, Browser(frame)), as browsers since tabbed browsing do.
//
// Every double derives from a generated stub base: a method the test did not
// ask for fails the test.  Each connection point and the document's UI
// handler slot counts the references it holds, so a test can prove that the
// helper object leaves none behind.
#pragma once

#include <windows.h>
#include <wrl/client.h>

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <shobjidl.h>

#include "generated/com_stubs.h"

namespace standin {

using Microsoft::WRL::ComPtr;

// Reference counting and a QueryInterface over a list of (IID, pointer).
class RefCounted {
 public:
  virtual ~RefCounted() = default;
  ULONG addRef() { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
  ULONG release() {
    const LONG n = InterlockedDecrement(&refs_);
    if (n == 0) delete this;
    return static_cast<ULONG>(n);
  }
  LONG refs() const { return refs_; }

 private:
  LONG refs_ = 1;
};

// Creates a double and hands over its first reference.  (mingw-w64's
// ComPtr::Attach takes a reference of its own, so it is not used here.)
template <class T, class... A>
ComPtr<T> make(A&&... args) {
  T* raw = new T(std::forward<A>(args)...);
  ComPtr<T> p(raw);
  raw->release();
  return p;
}

#define STANDIN_IUNKNOWN                                                                      \
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override { return query(iid, out); }   \
  STDMETHODIMP_(ULONG) AddRef() override { return addRef(); }                                \
  STDMETHODIMP_(ULONG) Release() override { return release(); }

// A connection point for one event interface; holds the advised sinks.
class ConnectionPoint final : public StubIConnectionPoint, public RefCounted {
 public:
  explicit ConnectionPoint(const IID& events) : events_(events) {}
  STANDIN_IUNKNOWN
  HRESULT query(REFIID iid, void** out);
  STDMETHODIMP Advise(IUnknown* sink, DWORD* cookie) override;
  STDMETHODIMP Unadvise(DWORD cookie) override;

  // The sinks in advise order, as their IDispatch.
  std::vector<ComPtr<IDispatch>> sinks() const;
  // The sinks as the event interface the point serves.
  std::vector<IUnknown*> rawSinks() const;
  size_t count() const { return sinks_.size(); }
  int advised = 0;    // Advise calls that succeeded
  int unadvised = 0;  // Unadvise calls that found their cookie
  std::vector<DWORD> unadviseOrder;

 private:
  const IID& events_;
  DWORD next_ = 0x100;
  std::map<DWORD, ComPtr<IUnknown>> sinks_;
};

// Invokes `id` on every sink with these arguments (already in the reverse
// order of DISPPARAMS).  Returns the last HRESULT.
HRESULT fire(ConnectionPoint& cp, DISPID id, std::vector<VARIANT> args, VARIANT* result = nullptr);

// The element tree of a page, for mouse-down events.
class Element final : public StubIHTMLElement, public RefCounted {
 public:
  Element(std::wstring tag, ComPtr<Element> parent) : tag_(std::move(tag)), parent_(std::move(parent)) {}
  STANDIN_IUNKNOWN
  HRESULT query(REFIID iid, void** out);
  STDMETHODIMP get_tagName(BSTR* p) override;
  STDMETHODIMP get_parentElement(IHTMLElement** p) override;

 private:
  std::wstring tag_;
  ComPtr<Element> parent_;
};

// Builds BODY > ... > tags[0]; returns the innermost element.
ComPtr<Element> elementChain(const std::vector<std::wstring>& outerToInner);

class EventObj final : public StubIHTMLEventObj, public RefCounted {
 public:
  EventObj(long button, ComPtr<Element> source) : button_(button), source_(std::move(source)) {}
  STANDIN_IUNKNOWN
  HRESULT query(REFIID iid, void** out);
  STDMETHODIMP get_button(long* p) override;
  STDMETHODIMP get_srcElement(IHTMLElement** p) override;

 private:
  long button_;
  ComPtr<Element> source_;
};

// The document's window object: default status text and window events.
class HtmlWindow final : public StubIHTMLWindow2, public StubIConnectionPointContainer, public RefCounted {
 public:
  HtmlWindow();
  STANDIN_IUNKNOWN
  HRESULT query(REFIID iid, void** out);
  STDMETHODIMP put_defaultStatus(BSTR v) override;
  STDMETHODIMP get_defaultStatus(BSTR* p) override;
  STDMETHODIMP FindConnectionPoint(REFIID iid, IConnectionPoint** out) override;

  std::wstring defaultStatus;
  ComPtr<ConnectionPoint> events;  // HTMLWindowEvents2
};

// The document's client site: the browser's own UI handler and command
// target, which the helper object forwards to.  Records what reached it.
class ClientSite final : public StubIOleClientSite,
                         public StubIDocHostUIHandler,
                         public StubIOleCommandTarget,
                         public RefCounted {
 public:
  STANDIN_IUNKNOWN
  HRESULT query(REFIID iid, void** out);
  STDMETHODIMP GetHostInfo(DOCHOSTUIINFO* info) override;
  STDMETHODIMP TranslateAccelerator(LPMSG, const GUID*, DWORD) override;
  STDMETHODIMP GetExternal(IDispatch** out) override;
  STDMETHODIMP Exec(const GUID*, DWORD id, DWORD, VARIANT*, VARIANT*) override;
  STDMETHODIMP QueryStatus(const GUID*, ULONG, OLECMD*, OLECMDTEXT*) override;

  std::vector<std::string> calls;
};

class Document final : public StubIHTMLDocument2,
                       public StubIOleObject,
                       public StubICustomDoc,
                       public StubIConnectionPointContainer,
                       public RefCounted {
 public:
  Document();
  STANDIN_IUNKNOWN
  HRESULT query(REFIID iid, void** out);
  STDMETHODIMP get_parentWindow(IHTMLWindow2** p) override;
  STDMETHODIMP get_all(IHTMLElementCollection** p) override;
  STDMETHODIMP GetClientSite(IOleClientSite** out) override;
  STDMETHODIMP SetUIHandler(IDocHostUIHandler* handler) override;
  STDMETHODIMP FindConnectionPoint(REFIID iid, IConnectionPoint** out) override;

  // Fires onmousedown (-605) with an event object; returns the HRESULT.
  HRESULT mouseDown(long button, ComPtr<Element> source);

  ComPtr<HtmlWindow> window = make<HtmlWindow>();
  ComPtr<ClientSite> site = make<ClientSite>();
  ComPtr<ConnectionPoint> events;          // HTMLDocumentEvents2
  ComPtr<ConnectionPoint> propertyNotify;  // IPropertyNotifySink
  ComPtr<IDocHostUIHandler> uiHandler;     // what SetUIHandler installed
  // The page's elements and frames for the content sweep (get_all and
  // IOleContainer go to it); without it the page has no elements.
  ComPtr<IHTMLDocument2> content;
  int setUIHandlerCalls = 0;
};

// The shell browser service of a tab: IShellBrowser, of which the helper
// object asks only the window (IOleWindow::GetWindow).
class ShellBrowser final : public IShellBrowser, public RefCounted {
 public:
  explicit ShellBrowser(HWND window) : window_(window) {}
  STANDIN_IUNKNOWN
  HRESULT query(REFIID iid, void** out);
  STDMETHODIMP GetWindow(HWND* out) override;
  STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
  STDMETHODIMP InsertMenusSB(HMENU, LPOLEMENUGROUPWIDTHS) override { return E_NOTIMPL; }
  STDMETHODIMP SetMenuSB(HMENU, HOLEMENU, HWND) override { return E_NOTIMPL; }
  STDMETHODIMP RemoveMenusSB(HMENU) override { return E_NOTIMPL; }
  STDMETHODIMP SetStatusTextSB(LPCWSTR) override { return E_NOTIMPL; }
  STDMETHODIMP EnableModelessSB(BOOL) override { return E_NOTIMPL; }
  STDMETHODIMP TranslateAcceleratorSB(MSG*, WORD) override { return E_NOTIMPL; }
  STDMETHODIMP BrowseObject(PCUIDLIST_RELATIVE, UINT) override { return E_NOTIMPL; }
  STDMETHODIMP GetViewStateStream(DWORD, IStream**) override { return E_NOTIMPL; }
  STDMETHODIMP GetControlWindow(UINT, HWND*) override { return E_NOTIMPL; }
  STDMETHODIMP SendControlMsg(UINT, UINT, WPARAM, LPARAM, LRESULT*) override { return E_NOTIMPL; }
  STDMETHODIMP QueryActiveShellView(IShellView**) override { return E_NOTIMPL; }
  STDMETHODIMP OnViewWindowActive(IShellView*) override { return E_NOTIMPL; }
  STDMETHODIMP SetToolbarItems(LPTBBUTTONSB, UINT, UINT) override { return E_NOTIMPL; }

 private:
  HWND window_;
};

// The browser: a real top-level window and IWebBrowser2.  Constructed with
// a frame window it is a tab of a tabbed browser: get_HWND names that frame
// (another process's window), and the tab's own window, made on the
// constructing thread, is what its shell browser service names.
class Browser final : public StubIWebBrowser2,
                      public StubIConnectionPointContainer,
                      public IServiceProvider,
                      public RefCounted {
 public:
  Browser();
  explicit Browser(HWND sharedFrame);
  ~Browser() override;
  STANDIN_IUNKNOWN
  HRESULT query(REFIID iid, void** out);

  // IWebBrowser2 as the helper object uses it.
  STDMETHODIMP get_HWND(SHANDLE_PTR* p) override;
  STDMETHODIMP get_LocationURL(BSTR* p) override;
  STDMETHODIMP get_Document(IDispatch** p) override;
  STDMETHODIMP get_ReadyState(READYSTATE* p) override;
  STDMETHODIMP Navigate(BSTR url, VARIANT*, VARIANT*, VARIANT*, VARIANT*) override;
  STDMETHODIMP FindConnectionPoint(REFIID iid, IConnectionPoint** out) override;
  // IServiceProvider (tabs only): the shell browser of the tab.
  STDMETHODIMP QueryService(REFGUID service, REFIID iid, void** out) override;

  // Loads a page the way the real browser reports it: BeforeNavigate2
  // (whose Cancel is honoured), then a new document, NavigateComplete2 and
  // DocumentComplete.  Returns false when the navigation was cancelled.
  bool load(const std::wstring& url);
  // Script navigation: BeforeNavigate2 only (the page stays).
  void scriptNavigate(const std::wstring& url);
  // A frame of the current page completes: NavigateComplete2 and
  // DocumentComplete with a frame browser of its own.
  ComPtr<Browser> loadFrame(const std::wstring& url);
  // NewWindow2: returns true when the helper object cancelled it.
  bool newWindow2();
  // NewWindow (the older event): returns true when Processed was set.
  bool newWindow(const std::wstring& url);
  // OnQuit, then what the browser does after it: releases the site object.
  void quit();
  // The tab comes to the front (shown) or goes behind another tab: its own
  // window is shown or hidden, then WindowStateChanged reports it, as a
  // tabbed browser does when its tabs switch.  The single-window browser
  // only reports it (its window is never shown under Xvfb, see the .cpp).
  void switchTab(bool shown);

  HRESULT beforeNavigate2(IDispatch* frame, const std::wstring& url, bool* cancelled);
  HRESULT navigateComplete2(IDispatch* frame, const std::wstring& url);
  HRESULT documentComplete(IDispatch* frame, const std::wstring& url);

  HWND hwnd = nullptr;        // what get_HWND answers: the top-level window
  HWND tabWindow = nullptr;   // a tab's own window (tabs only)
  std::wstring location;
  ComPtr<Document> document;
  READYSTATE readyState = READYSTATE_COMPLETE;
  ComPtr<ConnectionPoint> events;  // DWebBrowserEvents2
  std::vector<std::wstring> navigations;  // Navigate calls
  // When set, Navigate completes only when its posted message is pumped
  // (the quit wait must pump); when clear, it never completes.
  bool completeNavigations = true;
  bool frameOnly = false;  // a frame's browser: no window
  // Called for other WM_APP messages the window receives (test hooks).
  std::function<void(UINT)> onAppMessage;
  // The thread that made the browser, and how often it was called from
  // any other thread (a tab's objects belong to the tab's thread).
  const DWORD ownerThread = GetCurrentThreadId();
  std::atomic<int> foreignThreadCalls{0};
  std::atomic<int> locationAsked{0};  // get_LocationURL calls (the sweep timer asks each second)

 private:
  void noteThread() {
    if (GetCurrentThreadId() != ownerThread) ++foreignThreadCalls;
  }
  // The window that gets this browser's own posted work.
  HWND ownWindow() const { return tabWindow ? tabWindow : hwnd; }
};

// --- the tabbed layout ------------------------------------------------------

inline constexpr wchar_t kTabbedFrameClass[] = L"QuillvaneStandInTabbedFrame";
// Sent to the frame: answers how many WM_TIMER messages reached it that it
// never set (timers other threads aimed at the shared frame).
inline constexpr UINT kFrameForeignTimers = WM_APP + 40;

// The path of standin_frame.exe as this build made it (Wine's Z: path).
std::wstring frameExePath();

// The frame process (standin_frame.exe beside the module's test tools):
// started with a unique title, its window found, closed at the end.
class FrameProcess {
 public:
  explicit FrameProcess(const std::wstring& exePath);
  ~FrameProcess();
  HWND window() const { return window_; }
  DWORD processId() const { return processId_; }
  // WM_TIMER messages aimed at the frame from outside (see standin_frame.cpp).
  int foreignTimers() const;

 private:
  HANDLE process_ = nullptr;
  DWORD processId_ = 0;
  HWND window_ = nullptr;
};

// One tab: a thread with its own message loop, its Browser (a tab of
// `frame`) and a helper object made by `create` on that thread and
// attached to the browser.  Work is run on the tab's thread with run().
class TabThread {
 public:
  using Factory = std::function<ComPtr<IObjectWithSite>()>;
  TabThread(HWND frame, Factory create);
  ~TabThread();  // quits the browser if it has not, releases all, ends the thread

  // Runs `work` on the tab's thread and waits for it (pumping the calling
  // thread meanwhile).
  void run(const std::function<void(Browser&, ComPtr<IObjectWithSite>&)>& work);
  DWORD threadId() const { return threadId_; }
  bool ready() const { return ready_; }

 private:
  static DWORD WINAPI main(void* self);
  HANDLE thread_ = nullptr;
  DWORD threadId_ = 0;
  HANDLE started_ = nullptr;
  HWND frame_;
  Factory create_;
  ComPtr<Browser> browser_;
  ComPtr<IObjectWithSite> pub_;
  bool ready_ = false;
};

// The helper object, created by class id through the module's own
// DllGetClassObject (defined by the test support).
ComPtr<IObjectWithSite> createPub();

// The helper object, created by class id through COM as a browser creates
// it: needs the module registered (the demos); null when it is not.
ComPtr<IObjectWithSite> createRegisteredPub();

// The module's message-only timer windows, by owning thread.
std::map<DWORD, int> timerWindowsByThread();
// The module's timer windows of this thread.
std::vector<HWND> timerWindowsOfThisThread();
// Pumps this thread's messages until timer `id` of `window` has ticked and
// its tick has been handled, or the bound; returns whether it ticked.  Waits
// on the tick itself, so a test proving that a tick did nothing needs no
// sleep.  (Whether a timer of this thread runs at all: KillTimer says, as it
// stops it.)
bool pumpUntilTick(HWND window, UINT_PTR id, DWORD boundMs);

// Pumps this thread's messages for `ms` milliseconds (timers, posted work).
void pump(DWORD ms);

// Called when a wait on the stand-in's own thread passes its bound.  The test
// runner points it at its failure report; a program without one gets a line
// on stderr.
inline void (*onWaitTimeout)(const char* what) = nullptr;
// Pumps until `done` or the bound; returns done().
bool pumpUntil(const std::function<bool()>& done, DWORD boundMs);

}  // namespace standin
