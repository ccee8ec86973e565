// Helpers of the helper-object tests: the module's shared record as every
// process sees it, message boxes answered from a watcher thread, and child
// processes of this test binary.
#pragma once

#include <windows.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "core/shared_names.h"
#include "core/shared_settings.h"

namespace qvtest {

// The SharedSettings record inside the loaded module's shared section.
qv::SharedSettings* sharedRecord();

// Answers every owner-less message box with caption "Quillvane" that shows
// while it lives, and keeps their texts.
class MessageBoxWatcher {
 public:
  MessageBoxWatcher();
  ~MessageBoxWatcher();
  std::vector<std::string> texts();

 private:
  std::atomic<bool> stop_{false};
  CRITICAL_SECTION lock_;
  std::vector<std::string> texts_;
  std::thread thread_;
};

// Starts this test binary again running one child entry ("Suite.Name", see
// child_entry.h), with extra environment variables ("NAME=value").  Returns
// the process handle (or null).
HANDLE startChild(const std::string& entry, const std::vector<std::string>& env);
// The same with another test binary (the other bitness's build).
HANDLE startChildOf(const std::string& exe, const std::string& entry, const std::vector<std::string>& env);

// Waits for a child while pumping this thread's messages; returns its exit
// code or -1 on time-out.
int waitChild(HANDLE process, DWORD boundMs);

// The shared block-history region "PubBlockedSiteList" (8196 bytes), mapped
// for the life of the process; null when it does not exist.
char* historyRegion();
inline constexpr size_t kHistorySize = qv::kHistoryRegionSize;
// Its text up to the first zero byte (bounded by the region).
std::string historyText();
// Clears it as the Block history page's Clear button does.
void clearHistory();

// Replaces the user's white list file (in LocalLow, else the personal folder) with these
// lines while it lives, and puts the earlier file back afterwards.
class WhiteListFile {
 public:
  explicit WhiteListFile(const std::vector<std::string>& sites);
  ~WhiteListFile();

 private:
  std::string path_;
  bool had_ = false;
  std::string old_;
};

// An environment variable of this process ("" when unset).
std::string env(const char* name);

}  // namespace qvtest
