// Drives the real options sheet from the test thread: the sheet runs on a
// thread of its own (ShowOptions is modal), the test finds its windows and
// sends them messages as a user's clicks would.
#pragma once

#include <windows.h>

#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "core/shared_settings.h"
#include "platform/messages.h"
#include "platform/win/mutex_win.h"
#include "platform/win/registry_win.h"
#include "ui/win/options_sheet_win.h"

namespace qvtest {

class RecordingMessages final : public qv::Messages {
 public:
  void showString(int id) override { add("#" + std::to_string(id)); }
  void showText(const std::string& t) override { add(t); }
  // Runs on the sheet's thread while a message is "up" (set before the
  // sheet starts): a stand-in for the user reading a message box.
  std::function<void(const std::string&)> whileShown;
  std::vector<std::string> shown() {
    std::lock_guard<std::mutex> l(m_);
    return shown_;
  }

 private:
  void add(std::string s) {
    if (whileShown) whileShown(s);
    std::lock_guard<std::mutex> l(m_);
    shown_.push_back(std::move(s));
  }
  std::mutex m_;
  std::vector<std::string> shown_;
};

// One showing of the sheet on its own thread, with its own mutexes (named
// after `tag`), a white list object loaded from `whiteListPath` on that
// thread, the user's registry and the given record.
class SheetThread {
 public:
  SheetThread(qv::SharedSettings& settings, const std::string& tag, const std::wstring& whiteListPath,
              int startPage, std::vector<std::uint8_t>* history = nullptr);
  ~SheetThread();
  // The sheet window once it is visible (null after 10 s).
  HWND waitSheet();
  // Waits (10 s at most) for ShowOptions to return; false on time-out.
  bool join();
  qv::ui::OptionsOutcome outcome() const { return outcome_; }
  DWORD threadId() const { return threadId_; }
  RecordingMessages messages;
  qv::win::Win32Registry registry;
  std::int32_t newWindowGuard = 1;
  double msToVisible = 0;  // from ShowOptions to the first page painted
  // From `from` to ShowOptions' return (after join()).
  double msFromTo(const LARGE_INTEGER& from) const;

 private:
  static DWORD WINAPI run(void* self);
  qv::SharedSettings& settings_;
  std::string tag_;
  std::wstring whiteListPath_;
  int startPage_;
  std::vector<std::uint8_t>* history_;
  HANDLE thread_ = nullptr;
  DWORD threadId_ = 0;
  HANDLE opening_ = nullptr;
  LARGE_INTEGER started_{};
  LARGE_INTEGER returned_{};
  qv::ui::OptionsOutcome outcome_ = qv::ui::OptionsOutcome::Cancelled;
};

// For tests whose code under test opens the sheet on their own thread:
// closes the next options sheet of `thread` with Cancel, and OKs any
// message box shown before it.  closed() lists the captions, in order.
class SheetCloser {
 public:
  explicit SheetCloser(DWORD thread);
  ~SheetCloser();
  std::vector<std::string> closed();

 private:
  static DWORD WINAPI run(void* self);
  DWORD target_;
  HANDLE thread_;
  std::mutex m_;
  std::vector<std::string> closed_;
};

// Makes the tab titled `title` current; its page window, or null.
HWND selectPage(HWND sheet, const char* title);
// Clicks a button of a page and returns when the click has been handled.
void click(HWND page, int id);
// Posts the click (for buttons that open a message box) and returns at once.
void clickLater(HWND page, int id);
// A visible window of `thread` with class "#32770" and this caption, other
// than `except` (null after 10 s).
HWND waitDialog(DWORD thread, const char* caption, HWND except);
// Presses OK (or Cancel) of the sheet.
void pressSheetButton(HWND sheet, int id);

}  // namespace qvtest
