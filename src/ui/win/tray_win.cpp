#include "ui/win/tray_win.h"

#include <commctrl.h>
#include <shellapi.h>

#include <cstdlib>
#include <ctime>
#include <memory>
#include <mutex>
#include <string>

#include "platform/win/object_security.h"
#include "ui/tray.h"

namespace qv::ui::win {
namespace {

constexpr UINT_PTR kClickTimer = 0;    // single click: waits out the double-click time
constexpr UINT_PTR kCheckMarkSubclassId = 0x51564D4E;

class TrayObject;

// The shell call, replaceable by tests that need a shell which times out.
BOOL(WINAPI* g_notify)(DWORD, PNOTIFYICONDATAA) = &Shell_NotifyIconA;

// Broadcast to top-level windows when the shell's notification area is
// created (a restarted Explorer).
UINT taskbarCreatedMessage() {
  static const UINT id = RegisterWindowMessageA("TaskbarCreated");
  return id;
}

// The process's tray object and the window it owns.  Only the owner's
// thread touches the object; the lock guards the slot itself.
std::mutex g_lock;
std::unique_ptr<TrayObject> g_tray;
const void* g_owner = nullptr;
HWND g_window = nullptr;

template <std::size_t N>
void copyText(char (&dst)[N], std::string_view src) {
  const std::size_t n = src.size() < N - 1 ? src.size() : N - 1;
  src.copy(dst, n);
  dst[n] = '\0';
}

LRESULT CALLBACK trayWindowProc(HWND, UINT, WPARAM, LPARAM);

bool registerClass(HINSTANCE module) {
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof wc;
  if (GetClassInfoExA(module, kTrayWindowClass.data(), &wc)) return true;
  wc = WNDCLASSEXA{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = trayWindowProc;
  wc.hInstance = module;
  wc.lpszClassName = kTrayWindowClass.data();
  return RegisterClassExA(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

class TrayObject final : public TrayShell {
 public:
  explicit TrayObject(TrayContext context) : context_(std::move(context)), owner_(*this, *context_.settings) {}
  ~TrayObject() override {
    if (icon_) DestroyIcon(icon_);
  }

  GuardResult acquireGuard() override {
    HANDLE h = CreateMutexA(qv::win::sharedObjectAttributes(), FALSE, std::string(kTrayMutexName).c_str());
    const DWORD error = GetLastError();
    if (!h) return GuardResult::Failed;
    if (error == ERROR_ALREADY_EXISTS) {
      CloseHandle(h);
      return GuardResult::Existed;
    }
    guard_ = h;
    return GuardResult::Created;
  }
  void releaseGuard() override {
    if (guard_) CloseHandle(guard_);
    guard_ = nullptr;
  }
  bool createWindow() override {
    if (!registerClass(context_.module)) return false;
    window_ = CreateWindowExA(0, kTrayWindowClass.data(), "", 0, 0, 0, 0, 0, nullptr, nullptr, context_.module,
                              nullptr);
    if (!window_) return false;
    {
      std::lock_guard<std::mutex> l(g_lock);
      g_window = window_;
    }
    // The notification area shows small icons: the resource's own small
    // image, not its large one shrunk by the shell.
    if (!icon_)
      icon_ = static_cast<HICON>(LoadImageA(context_.module, MAKEINTRESOURCEA(kTrayIconResource), IMAGE_ICON,
                                            GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
    return true;
  }
  void destroyWindow() override {
    {
      std::lock_guard<std::mutex> l(g_lock);
      if (g_window == window_) g_window = nullptr;
    }
    if (window_) DestroyWindow(window_);
    window_ = nullptr;
  }
  bool addIcon(std::optional<std::string_view> tip) override {
    NOTIFYICONDATAA data = iconData();
    if (tip) {
      data.uFlags |= NIF_INFO;
      copyText(data.szInfo, *tip);
      copyText(data.szInfoTitle, kTipTitle);
      data.dwInfoFlags = NIIF_INFO;
    }
    lastFlags_ = data.uFlags;
    return g_notify(NIM_ADD, &data) != FALSE;
  }
  bool modifyIcon() override {
    NOTIFYICONDATAA data = iconData();
    return g_notify(NIM_MODIFY, &data) != FALSE;
  }
  void deleteIcon() override {
    KillTimer(window_, kClickTimer);
    NOTIFYICONDATAA data{};
    data.cbSize = sizeof data;
    data.hWnd = window_;
    data.uID = kTrayIconId;
    g_notify(NIM_DELETE, &data);
  }
  int random() override {
    if (!seeded_) {
      std::srand(static_cast<unsigned>(std::time(nullptr)));
      seeded_ = true;
    }
    return std::rand();
  }

  TrayOwner& owner() { return owner_; }
  const TrayContext& context() const { return context_; }
  HWND window() const { return window_; }
  HICON icon() const { return icon_; }
  UINT lastFlags() const { return lastFlags_; }

 private:
  // The icon with its tooltip and callback message, no balloon.
  NOTIFYICONDATAA iconData() const {
    NOTIFYICONDATAA data{};
    data.cbSize = sizeof data;
    data.hWnd = window_;
    data.uID = kTrayIconId;
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data.uCallbackMessage = kTrayCallbackMessage;
    data.hIcon = icon_;
    copyText(data.szTip, kTrayTooltip);
    return data;
  }

  TrayContext context_;
  TrayOwner owner_;
  HANDLE guard_ = nullptr;
  HWND window_ = nullptr;
  HICON icon_ = nullptr;
  UINT lastFlags_ = 0;
  bool seeded_ = false;
};

TrayObject* trayOfWindow(HWND w) {
  std::lock_guard<std::mutex> l(g_lock);
  return (g_tray && g_window == w) ? g_tray.get() : nullptr;
}

LRESULT CALLBACK trayWindowProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  TrayObject* tray = trayOfWindow(w);
  // Creation messages arrive before the window is listed; they go on as
  // usual.  Anything else for a window that is not the tray's is answered 1.
  if (!tray) return (msg == WM_NCCREATE || msg == WM_CREATE || msg == WM_NCCALCSIZE) ? DefWindowProcA(w, msg, wp, lp) : 1;
  if (msg == taskbarCreatedMessage()) {
    tray->owner().shellRestarted();
    return 0;
  }
  if (msg == WM_TIMER && wp == kClickTimer) {
    KillTimer(w, kClickTimer);
    return 1;
  }
  if (msg != kTrayCallbackMessage) return 1;
  switch (static_cast<UINT>(lp)) {
    case WM_LBUTTONDOWN:
      SetTimer(w, kClickTimer, GetDoubleClickTime() + 25, nullptr);
      return 0;
    case WM_LBUTTONDBLCLK: {
      KillTimer(w, kClickTimer);
      const auto open = tray->context().openSheet;  // the sheet may outlast the tray
      if (open) open(kAboutStartPage);
      return 1;
    }
    case WM_RBUTTONUP: {
      HMENU bar = LoadMenuA(tray->context().module, MAKEINTRESOURCEA(kTrayMenuResource));
      if (!bar) return 1;
      if (HMENU popup = GetSubMenu(bar, 0)) {
        const TrayContext context = tray->context();
        showTrayMenu(w, popup, context);
      }
      DestroyMenu(bar);
      return 1;
    }
    default:
      return 1;
  }
}

}  // namespace

void ensureTray(const void* owner, const TrayContext& context) {
  if (!owner || !context.settings || !context.module) return;
  TrayObject* mine = nullptr;
  {
    std::lock_guard<std::mutex> l(g_lock);
    if (g_tray && g_owner != owner) return;  // another window of this process owns it
    mine = g_tray.get();
  }
  if (mine) {
    mine->owner().ensure();  // the owner's tick: retries a refused icon
    return;
  }
  auto tray = std::make_unique<TrayObject>(context);
  // List the object before the window exists so that its first messages
  // find it.
  TrayObject* raw = tray.get();
  {
    std::lock_guard<std::mutex> l(g_lock);
    if (g_tray) return;
    g_tray = std::move(tray);
    g_owner = owner;
  }
  raw->owner().ensure();
  if (!raw->owner().owner()) {
    std::lock_guard<std::mutex> l(g_lock);
    g_tray.reset();
    g_owner = nullptr;
  }
}

void removeTray(const void* owner) {
  std::unique_ptr<TrayObject> tray;
  {
    std::lock_guard<std::mutex> l(g_lock);
    if (!g_tray || g_owner != owner) return;
  }
  g_tray->owner().remove();
  {
    std::lock_guard<std::mutex> l(g_lock);
    tray = std::move(g_tray);
    g_owner = nullptr;
  }
}

HWND trayWindow() {
  std::lock_guard<std::mutex> l(g_lock);
  return g_window;
}

HICON trayIcon() {
  std::lock_guard<std::mutex> l(g_lock);
  return g_tray ? g_tray->icon() : nullptr;
}

ShellNotifyCall setShellNotifyCall(ShellNotifyCall call) {
  const ShellNotifyCall previous = g_notify;
  g_notify = call ? call : &Shell_NotifyIconA;
  return previous;
}

UINT trayIconFlags() {
  std::lock_guard<std::mutex> l(g_lock);
  return g_tray ? g_tray->lastFlags() : 0;
}

bool trayIconShown() {
  std::lock_guard<std::mutex> l(g_lock);
  return g_tray && g_tray->owner().shown();
}

void setCheckMarks(HMENU menu, const SharedSettings& settings) {
  for (const CheckMark& m : trayCheckMarks(settings))
    CheckMenuItem(menu, static_cast<UINT>(m.id), MF_BYCOMMAND | (m.checked ? MF_CHECKED : MF_UNCHECKED));
}

CheckMarkSubclass::CheckMarkSubclass(HWND window, HMENU menu, const SharedSettings& settings)
    : window_(window), menu_(menu), settings_(settings) {
  DWORD pid = 0;
  if (window && GetWindowThreadProcessId(window, &pid) == GetCurrentThreadId())
    installed_ = SetWindowSubclass(window, &CheckMarkSubclass::proc, kCheckMarkSubclassId,
                                   reinterpret_cast<DWORD_PTR>(this)) != FALSE;
}

CheckMarkSubclass::~CheckMarkSubclass() {
  if (installed_) RemoveWindowSubclass(window_, &CheckMarkSubclass::proc, kCheckMarkSubclassId);
}

LRESULT CALLBACK CheckMarkSubclass::proc(HWND w, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR data) {
  auto* self = reinterpret_cast<CheckMarkSubclass*>(data);
  if (msg == WM_INITMENUPOPUP && reinterpret_cast<HMENU>(wp) == self->menu_) {
    setCheckMarks(self->menu_, self->settings_);
    return 0;
  }
  return DefSubclassProc(w, msg, wp, lp);
}

int trackCommandMenu(HWND window, HMENU menu, POINT at, const SharedSettings& settings, bool foreground) {
  // Marked now as well, for an owner window the subclass cannot reach.
  setCheckMarks(menu, settings);
  CheckMarkSubclass marks(window, menu, settings);
  if (foreground) SetForegroundWindow(window);
  const int id = static_cast<int>(
      TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, at.x, at.y, 0, window, nullptr));
  if (foreground) PostMessageA(window, WM_NULL, 0, 0);
  return id;
}

void showTrayMenu(HWND window, HMENU menu, const TrayContext& context) {
  POINT at{};
  GetCursorPos(&at);
  const int id = trackCommandMenu(window, menu, at, *context.settings, true);
  if (context.store) runMenuCommand(trayCommand(id), *context.store, context.openSheet);
}

}  // namespace qv::ui::win
