// Registration and unregistration of the COM server against the in-memory
// registry: every entry of every class, the module entries, the order of
// the steps, re-registration, unregistration and the failure paths.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "com/registration.h"
#include "fakes/fake_registry.h"

namespace qv::com {
namespace {

using fake::FakeRegistry;
constexpr RegRoot CR = RegRoot::ClassesRoot;
constexpr RegRoot LM = RegRoot::LocalMachine;

constexpr char kModule[] = "C:\\Program Files\\Quillvane\\Quillvane.dll";
constexpr char kLibId[] = "{0D4F7A63-E925-4C1B-8B36-9A52F1E7D084}";
constexpr char kBho[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects";
constexpr char kPubClsid[] = "{8A5D3C21-4E7B-4F19-A2C6-5B0E9D71F3A4}";

struct ExpectedClass {
  const char* clsid;
  const char* friendly;
  const char* progId;
};
// Written out independently of the code's table, in registration order.
const ExpectedClass kExpected[] = {
    {"{5C8E2A47-D01F-4B93-A6E8-2F71B39C05D6}", "CDocEventHandler Object", "Quillvane.DocEventHandler"},
    {"{C41E7B92-0D3A-4B6F-8E15-7A29F06D4B38}", "CWhiteList Object", "Quillvane.WhiteList"},
    {"{8A5D3C21-4E7B-4F19-A2C6-5B0E9D71F3A4}", "CPub Object", "Quillvane.Pub"},
    {"{2F9B6D04-71C8-4A3E-B5D2-E0846A19C7F5}", "CPubDomExtender Object", "Quillvane.PubDomExtender"},
    {"{E7035A18-9B2C-4D61-8F4E-13C7D5A60B92}", "CWindowEventHandler Object", "Quillvane.WindowEventHandler"},
};

std::string clsidKey(const ExpectedClass& c) { return std::string("CLSID\\") + c.clsid; }
std::string bhoKey() { return std::string(kBho) + "\\" + kPubClsid; }

HResult registerWith(FakeRegistry& reg, const char* module = kModule, HResult typeLib = kHrOk) {
  return registerServer(reg, module, [typeLib] { return typeLib; });
}
HResult unregisterWith(FakeRegistry& reg, int* typeLibCalls = nullptr, HResult typeLib = kHrOk) {
  return unregisterServer(reg, [&] {
    if (typeLibCalls) ++*typeLibCalls;
    return typeLib;
  });
}

// Every key below a root whose path starts with prefix (case-insensitive).
std::vector<std::string> keysStartingWith(const FakeRegistry& reg, RegRoot root, std::string prefix) {
  auto lower = [](std::string s) {
    for (char& ch : s) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    return s;
  };
  prefix = lower(prefix);
  std::vector<std::string> out;
  for (const auto& k : reg.allKeys(root))
    if (lower(k).rfind(prefix, 0) == 0) out.push_back(k);
  return out;
}

void expectClassEntries(const FakeRegistry& reg, const ExpectedClass& c, const std::string& module) {
  SCOPED_TRACE(c.progId);
  const std::string versioned = std::string(c.progId) + ".1";
  EXPECT_EQ(reg.string(CR, versioned, ""), c.friendly);
  EXPECT_EQ(reg.string(CR, versioned + "\\CLSID", ""), c.clsid);
  EXPECT_EQ(reg.subkeys(CR, versioned), std::vector<std::string>{"CLSID"});

  EXPECT_EQ(reg.string(CR, c.progId, ""), c.friendly);
  EXPECT_EQ(reg.string(CR, std::string(c.progId) + "\\CLSID", ""), c.clsid);
  EXPECT_EQ(reg.string(CR, std::string(c.progId) + "\\CurVer", ""), versioned);
  EXPECT_EQ(reg.subkeys(CR, c.progId), (std::vector<std::string>{"CLSID", "CurVer"}));

  const std::string k = clsidKey(c);
  EXPECT_EQ(reg.string(CR, k, ""), c.friendly);
  EXPECT_EQ(reg.subkeys(CR, k), (std::vector<std::string>{"ProgID", "VersionIndependentProgID", "Programmable",
                                                           "InprocServer32", "TypeLib"}));
  EXPECT_EQ(reg.valueNames(CR, k), (std::vector<std::string>{"", "AppID"}));
  // The AppID value is an empty string, not a missing or binary value.
  auto appId = reg.value(CR, k, "AppID");
  ASSERT_TRUE(appId);
  EXPECT_EQ(appId->type, RegType::Sz);
  EXPECT_EQ(appId->data, std::vector<std::uint8_t>{0});
  EXPECT_EQ(reg.string(CR, k + "\\ProgID", ""), versioned);
  EXPECT_EQ(reg.string(CR, k + "\\VersionIndependentProgID", ""), c.progId);
  EXPECT_TRUE(reg.valueNames(CR, k + "\\Programmable").empty());
  EXPECT_EQ(reg.string(CR, k + "\\InprocServer32", ""), module);
  EXPECT_EQ(reg.string(CR, k + "\\InprocServer32", "ThreadingModel"), "apartment");
  EXPECT_EQ(reg.string(CR, k + "\\TypeLib", ""), kLibId);
}

void expectModuleEntries(const FakeRegistry& reg) {
  EXPECT_EQ(reg.string(CR, "AppID", ""), "Quillvane");
  EXPECT_EQ(reg.valueNames(CR, "AppID\\Quillvane.DLL"), std::vector<std::string>{"AppID"});
  EXPECT_EQ(reg.string(CR, "AppID\\Quillvane.DLL", "AppID"), "");
  EXPECT_TRUE(reg.exists(LM, bhoKey()));
  EXPECT_TRUE(reg.valueNames(LM, bhoKey()).empty());
  EXPECT_TRUE(reg.subkeys(LM, bhoKey()).empty());
}

TEST(Registration, WritesEveryEntryOfEveryClassAndTheModule) {
  FakeRegistry reg;
  ASSERT_EQ(registerWith(reg), kHrOk);
  for (const auto& c : kExpected) expectClassEntries(reg, c, kModule);
  expectModuleEntries(reg);
  // Nothing beyond those: five pairs of ProgIDs, CLSID and AppID.
  EXPECT_EQ(reg.subkeys(CR, "").size(), 12u);
  EXPECT_EQ(reg.subkeys(CR, "CLSID").size(), 5u);
}

TEST(Registration, TableFollowsTheCoclassOrderAndWritesModuleEntriesLast) {
  FakeRegistry reg;
  std::vector<std::string> seenAtTypeLib;
  ASSERT_EQ(registerServer(reg, kModule,
                           [&] {
                             seenAtTypeLib = reg.writeLog();
                             return kHrOk;
                           }),
            kHrOk);
  // The first class's writes, in order.
  const std::vector<std::string> firstClass = {
      "Quillvane.DocEventHandler.1\\",
      "Quillvane.DocEventHandler.1\\CLSID\\",
      "Quillvane.DocEventHandler\\",
      "Quillvane.DocEventHandler\\CLSID\\",
      "Quillvane.DocEventHandler\\CurVer\\",
      "CLSID\\{5C8E2A47-D01F-4B93-A6E8-2F71B39C05D6}\\",
      "CLSID\\{5C8E2A47-D01F-4B93-A6E8-2F71B39C05D6}\\ProgID\\",
      "CLSID\\{5C8E2A47-D01F-4B93-A6E8-2F71B39C05D6}\\VersionIndependentProgID\\",
      "CLSID\\{5C8E2A47-D01F-4B93-A6E8-2F71B39C05D6}\\InprocServer32\\",
      "CLSID\\{5C8E2A47-D01F-4B93-A6E8-2F71B39C05D6}\\InprocServer32\\ThreadingModel",
      "CLSID\\{5C8E2A47-D01F-4B93-A6E8-2F71B39C05D6}\\AppID",
      "CLSID\\{5C8E2A47-D01F-4B93-A6E8-2F71B39C05D6}\\TypeLib\\",
  };
  ASSERT_GE(seenAtTypeLib.size(), firstClass.size() * 5);
  EXPECT_EQ(std::vector<std::string>(seenAtTypeLib.begin(), seenAtTypeLib.begin() + 12), firstClass);
  // Classes in coclass order: each class's first write is its versioned ProgID.
  for (size_t i = 0; i < 5; ++i)
    EXPECT_EQ(seenAtTypeLib[i * 12], std::string(kExpected[i].progId) + ".1\\");
  EXPECT_EQ(seenAtTypeLib.size(), 60u) << "type library registered after the classes, before the module entries";
  const std::vector<std::string> moduleWrites(reg.writeLog().begin() + 60, reg.writeLog().end());
  EXPECT_EQ(moduleWrites, (std::vector<std::string>{"AppID\\", "AppID\\Quillvane.DLL\\AppID"}));
}

TEST(Registration, RegisteringTwiceLeavesOneFreshSet) {
  FakeRegistry reg;
  ASSERT_EQ(registerWith(reg, "C:\\old\\Quillvane.dll"), kHrOk);
  const auto keysOnce = reg.allKeys(CR);
  // Leftovers of an older registration inside a class key go with the rewrite.
  reg.put(CR, clsidKey(kExpected[2]) + "\\LocalServer32", "", RegValue::string("C:\\old\\x.exe"));
  reg.put(CR, clsidKey(kExpected[2]), "Stale", RegValue::dword(1));
  ASSERT_EQ(registerWith(reg), kHrOk);
  EXPECT_EQ(reg.allKeys(CR), keysOnce);
  EXPECT_EQ(reg.allKeys(LM), (std::vector<std::string>{"SOFTWARE", "SOFTWARE\\Microsoft", "SOFTWARE\\Microsoft\\Windows",
                                                        "SOFTWARE\\Microsoft\\Windows\\CurrentVersion",
                                                        "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer",
                                                        kBho, bhoKey()}));
  for (const auto& c : kExpected) expectClassEntries(reg, c, kModule);
  expectModuleEntries(reg);
}

TEST(Registration, EmptyModulePathIsRefusedBeforeAnyWrite) {
  FakeRegistry reg;
  bool typeLib = false;
  EXPECT_EQ(registerServer(reg, "", [&] {
    typeLib = true;
    return kHrOk;
  }), kHrInvalidArg);
  EXPECT_FALSE(typeLib);
  EXPECT_TRUE(reg.allKeys(CR).empty());
  EXPECT_TRUE(reg.allKeys(LM).empty());
}

TEST(Registration, FirstFailingStepStopsRegistrationWithItsResult) {
  struct Case {
    const char* name;
    void (*inject)(FakeRegistry&);
    HResult expected;
    int classesWritten;  // class keys present afterwards
    bool typeLibCalled;
    bool bhoWritten;
  } cases[] = {
      {"first ProgID cannot be created",
       [](FakeRegistry& r) { r.failCreate(CR, "Quillvane.DocEventHandler.1", RegStatus::AccessDenied); },
       kHrAccessDenied, 0, false, false},
      {"CPub class key cannot be created",
       [](FakeRegistry& r) { r.failCreate(CR, std::string("CLSID\\") + kPubClsid, RegStatus::Failed); }, kHrFail, 2,
       false, false},
      {"threading model cannot be written",
       [](FakeRegistry& r) { r.failWrite("ThreadingModel", RegStatus::AccessDenied); }, kHrAccessDenied, 1, false,
       false},
      {"type library fails",
       [](FakeRegistry&) {}, static_cast<HResult>(0x80029C4Au) /* TYPE_E_CANTLOADLIBRARY */, 5, true, false},
      {"module AppID key cannot be created",
       [](FakeRegistry& r) { r.failCreate(CR, "AppID\\Quillvane.DLL", RegStatus::AccessDenied); }, kHrAccessDenied,
       5, true, false},
      {"browser helper key cannot be created",
       [](FakeRegistry& r) { r.failCreate(LM, std::string(kBho) + "\\" + kPubClsid, RegStatus::AccessDenied); },
       kHrAccessDenied, 5, true, false},
      {"HKLM refused altogether",
       [](FakeRegistry& r) { r.failCreate(LM, "SOFTWARE", RegStatus::AccessDenied); }, kHrAccessDenied, 5, true,
       false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FakeRegistry reg;
    c.inject(reg);
    bool typeLibCalled = false;
    const bool typeLibFails = std::string(c.name) == "type library fails";
    EXPECT_EQ(registerServer(reg, kModule,
                             [&] {
                               typeLibCalled = true;
                               return typeLibFails ? c.expected : kHrOk;
                             }),
              c.expected);
    EXPECT_EQ(typeLibCalled, c.typeLibCalled);
    int classes = 0;
    for (const auto& e : kExpected) classes += reg.exists(CR, clsidKey(e)) ? 1 : 0;
    EXPECT_EQ(classes, c.classesWritten);
    EXPECT_EQ(reg.exists(LM, bhoKey()), c.bhoWritten);
  }
}

TEST(Unregistration, RemovesOwnEntriesAndKeepsClsidAndAppId) {
  FakeRegistry reg;
  // Someone else's entries that must survive.
  reg.put(CR, "CLSID\\{00000000-1111-2222-3333-444444444444}", "", RegValue::string("Other Object"));
  reg.put(CR, "AppID\\Other.DLL", "AppID", RegValue::string("{x}"));
  reg.put(CR, "QuillvaneFan.Thing", "", RegValue::string("not ours"));
  ASSERT_EQ(registerWith(reg), kHrOk);
  int typeLibCalls = 0;
  reg.put(CR, std::string("TypeLib\\") + kLibId + "\\1.0", "", RegValue::string("Quillvane 1.0 Type Library"));

  EXPECT_EQ(unregisterWith(reg, &typeLibCalls), kHrOk);
  EXPECT_EQ(typeLibCalls, 1);
  EXPECT_TRUE(keysStartingWith(reg, CR, "Quillvane.").empty());
  for (const auto& c : kExpected) EXPECT_FALSE(reg.exists(CR, clsidKey(c))) << c.progId;
  EXPECT_FALSE(reg.exists(CR, "AppID\\Quillvane.DLL"));
  EXPECT_FALSE(reg.exists(LM, bhoKey()));
  EXPECT_TRUE(reg.exists(CR, "CLSID\\{00000000-1111-2222-3333-444444444444}"));
  EXPECT_TRUE(reg.exists(CR, "AppID\\Other.DLL"));
  EXPECT_TRUE(reg.exists(CR, "QuillvaneFan.Thing"));
  // The default value registration gave HKCR\AppID is taken back.
  EXPECT_FALSE(reg.value(CR, "AppID", ""));
}

TEST(Unregistration, KeepsClsidAndAppIdEvenWhenTheyAreLeftEmpty) {
  FakeRegistry reg;
  ASSERT_EQ(registerWith(reg), kHrOk);
  EXPECT_EQ(unregisterWith(reg), kHrOk);
  EXPECT_EQ(reg.allKeys(CR), (std::vector<std::string>{"CLSID", "AppID"}));
  EXPECT_TRUE(reg.allKeys(LM).empty()) << "empty parents of the browser-helper key go too";
}

TEST(Unregistration, AppIdDefaultChangedSinceRegistrationStays) {
  FakeRegistry reg;
  ASSERT_EQ(registerWith(reg), kHrOk);
  reg.put(CR, "AppID", "", RegValue::string("Someone else"));
  EXPECT_EQ(unregisterWith(reg), kHrOk);
  EXPECT_EQ(reg.string(CR, "AppID", ""), "Someone else");
}

TEST(Unregistration, ParentsOfTheBrowserHelperKeyGoOnlyWhenNothingIsLeft) {
  const std::string explorer = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer";
  struct Case {
    const char* name;
    std::string otherKey;    // created beside ours before registration ("" for none)
    std::string otherValue;  // a value put on this key ("" for none)
    std::string deepestKept;  // deepest key of the path expected to remain ("" when all go)
  } cases[] = {
      {"nothing else there", "", "", ""},
      {"another helper object registered", std::string(kBho) + "\\{11111111-2222-3333-4444-555555555555}", "",
       kBho},
      {"a value on the helper-objects key", "", kBho, kBho},
      {"a sibling key under Explorer", explorer + "\\Shell Folders", "", explorer},
      {"a value on Explorer", "", explorer, explorer},
      {"something else in SOFTWARE", "SOFTWARE\\Classes", "", "SOFTWARE"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FakeRegistry reg;
    if (!c.otherKey.empty()) reg.create(LM, c.otherKey);
    if (!c.otherValue.empty()) reg.put(LM, c.otherValue, "Setting", RegValue::dword(1));
    ASSERT_EQ(registerWith(reg), kHrOk);
    EXPECT_EQ(unregisterWith(reg), kHrOk);
    EXPECT_FALSE(reg.exists(LM, bhoKey()));
    if (c.deepestKept.empty()) {
      EXPECT_TRUE(reg.allKeys(LM).empty());
    } else {
      EXPECT_TRUE(reg.exists(LM, c.deepestKept));
      if (c.deepestKept != kBho) {
        EXPECT_FALSE(reg.exists(LM, kBho));
      }
    }
    if (!c.otherKey.empty()) {
      EXPECT_TRUE(reg.exists(LM, c.otherKey));
    }
    if (!c.otherValue.empty()) {
      EXPECT_EQ(reg.dword(LM, c.otherValue, "Setting"), 1u);
    }
  }
}

TEST(Unregistration, AbsentEntriesAreNotAnErrorAndTheTypeLibraryIsLeftAloneWhenUnregistered) {
  FakeRegistry reg;
  int typeLibCalls = 0;
  EXPECT_EQ(unregisterWith(reg, &typeLibCalls), kHrOk);
  EXPECT_EQ(typeLibCalls, 0);
  EXPECT_TRUE(reg.allKeys(CR).empty());
  EXPECT_TRUE(reg.allKeys(LM).empty());

  // Half registered: some classes only.
  ASSERT_EQ(registerWith(reg), kHrOk);
  reg.deleteTree(CR, clsidKey(kExpected[1]));
  reg.deleteTree(LM, "SOFTWARE");
  EXPECT_EQ(unregisterWith(reg, &typeLibCalls), kHrOk);
  EXPECT_TRUE(keysStartingWith(reg, CR, "Quillvane.").empty());
}

TEST(Unregistration, EveryStepRunsAndTheFirstFailureIsReported) {
  FakeRegistry reg;
  ASSERT_EQ(registerWith(reg), kHrOk);
  reg.put(CR, std::string("TypeLib\\") + kLibId + "\\1.0", "", RegValue::string("lib"));
  const HResult typeLibError = static_cast<HResult>(0x8002801Cu);  // TYPE_E_REGISTRYACCESS
  int calls = 0;
  EXPECT_EQ(unregisterWith(reg, &calls, typeLibError), typeLibError);
  EXPECT_EQ(calls, 1);
  EXPECT_FALSE(reg.exists(LM, bhoKey())) << "module entries still removed after the type library failed";

  FakeRegistry denied;
  ASSERT_EQ(registerWith(denied), kHrOk);
  denied.failOpen(CR, "AppID", RegStatus::AccessDenied);
  EXPECT_EQ(unregisterWith(denied), kHrAccessDenied);
  EXPECT_FALSE(denied.exists(LM, bhoKey()));
  EXPECT_FALSE(denied.exists(CR, "AppID\\Quillvane.DLL"));
}

TEST(RegistrationTable, ModulePathIsTheOnlyVariablePart) {
  const auto a = registrationTable("C:\\a\\Quillvane.dll");
  const auto b = registrationTable("D:\\b\\Quillvane.dll");
  ASSERT_EQ(a.size(), b.size());
  int differing = 0;
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i] == b[i]) continue;
    ++differing;
    EXPECT_TRUE(a[i].path.ends_with("\\InprocServer32") && a[i].isKey()) << a[i].path;
  }
  EXPECT_EQ(differing, 5);
}

}  // namespace
}  // namespace qv::com
