// The top-level frame of a tabbed stand-in browser, in a process of its own
// (as a real tabbed browser keeps its frame apart from the tabs):
//   standin_frame.exe TITLE
// shows a Unicode top-level window titled TITLE and runs its message loop
// until the window is closed.  It sets no timers, so any WM_TIMER that
// reaches it was aimed at its window by another thread; the loop drops it
// and counts it.  Message kFrameForeignTimers answers that count.
#include <windows.h>
#include <shellapi.h>

#include "standin_browser.h"

namespace {

LONG g_foreignTimers = 0;

LRESULT CALLBACK frameProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == standin::kFrameForeignTimers) return g_foreignTimers;
  if (msg == WM_DESTROY) PostQuitMessage(0);
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

}  // namespace

int main() {
  int argc = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (!argv || argc < 2) return 3;
  const wchar_t* title = argv[1];
  HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSW wc{};
  wc.lpfnWndProc = frameProc;
  wc.hInstance = instance;
  wc.lpszClassName = standin::kTabbedFrameClass;
  wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
  if (!RegisterClassW(&wc)) return 1;
  HWND frame = CreateWindowExW(0, standin::kTabbedFrameClass, title, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 80, 80,
                               700, 500, nullptr, nullptr, instance, nullptr);
  if (!frame) return 2;
  ShowWindow(frame, SW_SHOWNOACTIVATE);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (msg.message == WM_TIMER) {
      // Never dispatched: its procedure, if any, is an address in another process.
      ++g_foreignTimers;
      continue;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return 0;
}
