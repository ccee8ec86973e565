// CPub construction steps and the named-mutex adapter, with real kernel
// objects.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <thread>

#include "core/settings.h"
#include "core/win/pub_construct.h"
#include "fakes/fake_messages.h"
#include "platform/win/mutex_win.h"
#include "platform/win/registry_win.h"

namespace {

using qv::win::PubResources;
using qv::win::Win32NamedMutex;

// What the white-list hook saw, for the order checks.
struct HookLog {
  int calls = 0;
  std::int32_t loadedWhenCalled = -1;
  bool mutexesWhenCalled = false;
  HRESULT result = S_OK;
};
HookLog g_hook;
qv::SharedSettings* g_record = nullptr;

HRESULT recordingStep(PubResources& r) {
  ++g_hook.calls;
  g_hook.loadedWhenCalled = g_record ? g_record->settingsLoaded : -1;
  g_hook.mutexesWhenCalled = r.dataMutex && r.optionsMutex;
  if (SUCCEEDED(g_hook.result)) r.whiteListPath = "C:\\wl\\Quillvane.WL";
  return g_hook.result;
}

class PubConstruct : public testing::Test {
 protected:
  void SetUp() override {
    g_hook = HookLog{};
    g_record = &record;
    record.settingsLoaded = 1;  // keep these tests away from the user's registry
    record.popupEnable = 1;
    qv::win::setWhiteListStep(&recordingStep);
  }
  void TearDown() override {
    qv::win::setWhiteListStep(nullptr);
    g_record = nullptr;
  }
  qv::SharedSettings record;
  qv::win::Win32Registry registry;
  qv::fake::FakeMessages messages;
  qv::SettingsStore store{registry, messages, record};
};

TEST_F(PubConstruct, OpensBothMutexesThenWhiteListThenSettings) {
  record.settingsLoaded = 0;
  PubResources res;
  ASSERT_EQ(qv::win::constructPub(res, messages, store), S_OK);
  ASSERT_TRUE(res.dataMutex);
  ASSERT_TRUE(res.optionsMutex);
  EXPECT_EQ(g_hook.calls, 1);
  EXPECT_TRUE(g_hook.mutexesWhenCalled);
  EXPECT_EQ(g_hook.loadedWhenCalled, 0) << "settings loaded before the white list";
  EXPECT_EQ(record.settingsLoaded, 1);
  EXPECT_EQ(res.whiteListPath, "C:\\wl\\Quillvane.WL");
  EXPECT_TRUE(messages.shown.empty());
  // They are the named objects every process shares.
  for (const char* name : {"MutexToProtectPubData", "MutexForOptionsDlg"}) {
    HANDLE h = OpenMutexA(SYNCHRONIZE, FALSE, name);
    EXPECT_NE(h, nullptr) << name;
    if (h) CloseHandle(h);
  }
}

TEST_F(PubConstruct, MutexThatCannotBeCreatedShowsMessageAndFails) {
  for (const char* name : {"MutexToProtectPubData", "MutexForOptionsDlg"}) {
    SCOPED_TRACE(name);
    messages.shown.clear();
    g_hook = HookLog{};
    record.settingsLoaded = 0;
    // Another kind of object under the mutex's name makes CreateMutexA fail.
    HANDLE squatter = CreateEventA(nullptr, TRUE, FALSE, name);
    ASSERT_NE(squatter, nullptr);
    ASSERT_NE(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS)) << "a mutex of that name is still open";
    ASSERT_EQ(CreateMutexA(nullptr, FALSE, name), nullptr);
    const HRESULT expected = HRESULT_FROM_WIN32(GetLastError());
    PubResources res;
    const HRESULT hr = qv::win::constructPub(res, messages, store);
    CloseHandle(squatter);
    EXPECT_TRUE(FAILED(hr));
    EXPECT_EQ(hr, expected);
    EXPECT_EQ(HRESULT_FACILITY(hr), FACILITY_WIN32);
    EXPECT_EQ(messages.shown, std::vector<std::string>{"#103"});
    EXPECT_EQ(g_hook.calls, 0);
    EXPECT_EQ(record.settingsLoaded, 0);
  }
}

TEST_F(PubConstruct, FailingWhiteListStepFailsConstructionBeforeSettings) {
  record.settingsLoaded = 0;
  g_hook.result = E_ACCESSDENIED;
  PubResources res;
  EXPECT_EQ(qv::win::constructPub(res, messages, store), E_ACCESSDENIED);
  EXPECT_EQ(record.settingsLoaded, 0);
  EXPECT_TRUE(messages.shown.empty());
}

TEST(Win32NamedMutex, WaitReleaseTimeoutAndAbandoned) {
  const std::string name = "QvTestMutex-" + std::to_string(GetCurrentProcessId());
  auto a = Win32NamedMutex::create(name);
  auto b = Win32NamedMutex::create(name);  // opens the same mutex
  ASSERT_TRUE(a);
  ASSERT_TRUE(b);
  {
    qv::MutexLock lock(a.get(), 0);
    EXPECT_EQ(lock.result(), qv::WaitResult::Obtained);
    qv::WaitResult other = qv::WaitResult::Failed;
    std::thread([&] { other = b->wait(0); }).join();
    EXPECT_EQ(other, qv::WaitResult::Timeout) << "held by this thread";
  }
  qv::WaitResult again = qv::WaitResult::Failed;
  std::thread([&] {
    again = b->wait(0);
    if (qv::owns(again)) b->release();
  }).join();
  EXPECT_EQ(again, qv::WaitResult::Obtained) << "the lock released it";

  // A thread that ends holding the mutex leaves it abandoned; the next
  // waiter owns it all the same.
  std::thread([&] { EXPECT_EQ(b->wait(0), qv::WaitResult::Obtained); }).join();
  qv::MutexLock lock(a.get(), 1000);
  EXPECT_EQ(lock.result(), qv::WaitResult::Abandoned);
  EXPECT_TRUE(lock.owned());
}

TEST(Win32NamedMutex, CreateFailureReportsSystemError) {
  const std::string name = "QvTestSquat-" + std::to_string(GetCurrentProcessId());
  HANDLE squatter = CreateEventA(nullptr, TRUE, FALSE, name.c_str());
  ASSERT_NE(squatter, nullptr);
  DWORD error = 0;
  EXPECT_EQ(Win32NamedMutex::create(name, &error), nullptr);
  EXPECT_NE(error, static_cast<DWORD>(ERROR_SUCCESS));
  CloseHandle(squatter);
}

}  // namespace
