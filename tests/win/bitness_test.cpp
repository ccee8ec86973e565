// One user session, two bitnesses: a 32-bit and a 64-bit browser process
// share the settings record, the block history and the named mutexes.  The
// other bitness's process is the other build's test binary (found beside
// this one's build folder), running the child below; where that build is
// not there, the test says so and skips.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "child_entry.h"
#include "core/shared_names.h"
#include "pub_test_support.h"
#include "standin_browser.h"
#include "ui/tray.h"
#include "win_test_support.h"

namespace {

constexpr int kBits = sizeof(void*) * 8;

struct Window {
  standin::ComPtr<standin::Browser> browser = standin::make<standin::Browser>();
  standin::ComPtr<IObjectWithSite> pub = standin::createPub();
  Window() {
    if (pub) pub->SetSite(static_cast<IWebBrowser2*>(browser.Get()));
  }
  ~Window() {
    browser->quit();
    pub.Reset();
    browser->document.Reset();
  }
};

std::wstring pageOf(int bits) { return L"http://bits" + std::to_wstring(bits) + L".example/ad"; }
std::string lineOf(int bits) { return "http://bits" + std::to_string(bits) + ".example/ad\n"; }

// Blocks one script popup on this bitness's page; true when it was blocked.
bool blockOne(Window& w) { return w.browser->load(pageOf(kBits)) && w.browser->newWindow2(); }

bool namedMutexExists(std::string_view name) {
  HANDLE h = OpenMutexA(SYNCHRONIZE, FALSE, std::string(name).c_str());
  if (!h) return false;
  CloseHandle(h);
  return true;
}

// The other bitness's test binary: build/win32 beside build/win64, and the
// other way round.
std::string otherBinary() {
  std::string p = qvtest::dllPath();  // ...\build\win64\Quillvane.dll
  const std::string mine = kBits == 64 ? "\\build\\win64\\" : "\\build\\win32\\";
  const std::string other = kBits == 64 ? "\\build\\win32\\" : "\\build\\win64\\";
  const size_t at = p.rfind(mine);
  if (at == std::string::npos) return {};
  return p.substr(0, at) + other + "tests\\win\\iexplore.exe";
}

// The child: sees the parent's block, blocks one of its own, and checks the
// mutexes the parent's helper object holds open.  Exit code 0 when all hold.
QV_CHILD_TEST(BitnessChild, SharesWithTheOtherBitness) {
  qv::SharedSettings* s = qvtest::sharedRecord();
  ASSERT_NE(s, nullptr);
  const int parentBits = std::stoi(qvtest::env("QV_PARENT_BITS"));
  const int before = std::stoi(qvtest::env("QV_PARENT_SESSION_COUNT"));
  EXPECT_EQ(s->blockedSession, before) << "the parent's count";
  EXPECT_NE(qvtest::historyText().find(lineOf(parentBits)), std::string::npos) << qvtest::historyText();
  for (auto name : {qv::kDataMutexName, qv::kOptionsMutexName, qv::ui::kTrayMutexName})
    EXPECT_TRUE(namedMutexExists(name)) << name;
  Window w;
  ASSERT_TRUE(w.pub);
  EXPECT_TRUE(blockOne(w));
  EXPECT_EQ(s->blockedSession, before + 1);
}

TEST(Bitness, OneSessionTwoBitnessesShareCountsHistoryAndMutexes) {
  const std::string other = otherBinary();
  if (other.empty() || GetFileAttributesA(other.c_str()) == INVALID_FILE_ATTRIBUTES)
    GTEST_SKIP() << "the other bitness's test binary is not built (" << other << ")";
  qv::SharedSettings* s = qvtest::sharedRecord();
  ASSERT_NE(s, nullptr);
  const int savedSound = s->playDefaultSound, savedStatus = s->showStatusMsg;
  s->playDefaultSound = 0;
  s->showStatusMsg = 0;
  s->popupEnable = 1;
  s->enableHistory = 1;
  qvtest::clearHistory();
  {
    Window w;
    ASSERT_TRUE(w.pub);
    ASSERT_TRUE(blockOne(w));
    const int count = s->blockedSession;
    HANDLE child = qvtest::startChildOf(other, "BitnessChild.SharesWithTheOtherBitness",
                                        {"QV_PARENT_BITS=" + std::to_string(kBits),
                                         "QV_PARENT_SESSION_COUNT=" + std::to_string(count)});
    // A 64-bit-only Wine (or a kernel without 32-bit programs) cannot start
    // a 32-bit program at all.
    if (!child) GTEST_SKIP() << "cannot start " << other << " here (error " << GetLastError() << ")";
    const int code = qvtest::waitChild(child, 60000);
    if (code == -1) TerminateProcess(child, 9);
    CloseHandle(child);
    EXPECT_EQ(code, 0) << "the " << (96 - kBits) << "-bit process's checks";
    // Its block is counted and listed where this process sees it.
    EXPECT_EQ(s->blockedSession, count + 1);
    EXPECT_NE(qvtest::historyText().find(lineOf(96 - kBits)), std::string::npos) << qvtest::historyText();
  }
  s->playDefaultSound = savedSound;
  s->showStatusMsg = savedStatus;
}

}  // namespace
