// The white list object through its vtable: the list methods, the file they
// keep, failed rewrites, and the interfaces the object answers.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fakes/fake_files.h"
#include "com/guarded.h"
#include "whitelist/win/whitelist_object.h"
#include "whitelist_test_support.h"

namespace {

using namespace qvtest;
using Sites = std::vector<std::wstring>;

constexpr char kHeader[] = "#Quillvane White List\r\n";

TEST(WhiteListObject, AddLowerCasesAndKeepsEachSiteOnce) {
  ComPtr<IWhiteList> list = newWhiteList();
  ASSERT_TRUE(list);
  for (const wchar_t* site : {L"Example.COM", L"b.test", L"EXAMPLE.com", L"a.test/X"})
    EXPECT_EQ(list->Add(Bstr(site).get()), S_OK) << site;
  EXPECT_EQ(enumerate(list.Get()), (Sites{L"a.test/x", L"b.test", L"example.com"}));
  // A NULL BSTR is the empty text, which is no site.
  EXPECT_EQ(list->Add(nullptr), E_INVALIDARG);
  EXPECT_EQ(enumerate(list.Get()), (Sites{L"a.test/x", L"b.test", L"example.com"}));
  EXPECT_EQ(list->Delete(nullptr), S_OK);
  EXPECT_EQ(list->Delete(Bstr(L"B.TEST").get()), S_OK);
  EXPECT_EQ(list->Delete(Bstr(L"not.there").get()), S_OK);
  EXPECT_EQ(enumerate(list.Get()), (Sites{L"a.test/x", L"example.com"}));
  EXPECT_EQ(list->DeleteAll(), S_OK);
  EXPECT_EQ(enumerate(list.Get()), Sites{});
}

TEST(WhiteListObject, EnumerationLeavesOutputUntouchedAtTheEndAndRestartsAfterAChange) {
  ComPtr<IWhiteList> list = newWhiteList();
  ASSERT_TRUE(list);
  Bstr out(L"untouched");
  EXPECT_EQ(list->GetFirst(out.receive()), S_FALSE);
  EXPECT_EQ(out.get(), nullptr);
  *out.receive() = SysAllocString(L"untouched");
  EXPECT_EQ(list->GetNext(out.receive()), S_FALSE);

  for (const wchar_t* site : {L"c.test", L"a.test", L"b.test"}) list->Add(Bstr(site).get());
  EXPECT_EQ(list->GetFirst(out.receive()), S_OK);
  EXPECT_EQ(out.str(), L"a.test");
  EXPECT_EQ(list->GetNext(out.receive()), S_OK);
  EXPECT_EQ(out.str(), L"b.test");
  list->Add(Bstr(L"d.test").get());  // a change puts the cursor back on the first site
  EXPECT_EQ(list->GetNext(out.receive()), S_OK);
  EXPECT_EQ(out.str(), L"b.test");
  EXPECT_EQ(list->GetNext(out.receive()), S_OK);
  EXPECT_EQ(list->GetNext(out.receive()), S_OK);
  EXPECT_EQ(out.str(), L"d.test");
  for (int i = 0; i < 3; ++i) {
    BSTR keep = SysAllocString(L"keep");
    BSTR seen = keep;
    EXPECT_EQ(list->GetNext(&seen), S_FALSE);
    EXPECT_EQ(seen, keep);  // past the end: untouched, again and again
    SysFreeString(keep);
  }
  // An unchanged list (present Add, absent Delete) keeps the cursor where it is.
  list->GetFirst(out.receive());
  list->Add(Bstr(L"A.TEST").get());
  list->Delete(Bstr(L"zzz").get());
  EXPECT_EQ(list->GetNext(out.receive()), S_OK);
  EXPECT_EQ(out.str(), L"b.test");
}

TEST(WhiteListObject, FindMatchesWholeHostsAndPathPrefixesOnly) {
  ComPtr<IWhiteList> list = newWhiteList();
  ASSERT_TRUE(list);
  list->Add(Bstr(L"example.com").get());
  list->Add(Bstr(L"news.test/sport").get());
  struct Case {
    const wchar_t* url;
    VARIANT_BOOL found;
  } cases[] = {
      {L"http://example.com/", VARIANT_TRUE},
      {L"http://EXAMPLE.COM/index.html", VARIANT_TRUE},
      {L"http://shop.example.com/x", VARIANT_FALSE},
      {L"http://news.test/sport/today", VARIANT_TRUE},
      {L"http://news.test/weather", VARIANT_FALSE},
      {L"", VARIANT_FALSE},
      {nullptr, VARIANT_FALSE},
  };
  for (const Case& c : cases) {
    VARIANT_BOOL found = 42;
    EXPECT_EQ(list->Find(Bstr(c.url).get(), &found), S_OK);
    EXPECT_EQ(found, c.found) << (c.url ? c.url : L"(null)");
  }
  list->Add(Bstr(L"shop.example.com").get());
  VARIANT_BOOL found = VARIANT_FALSE;
  list->Find(Bstr(L"http://shop.example.com/x").get(), &found);
  EXPECT_EQ(found, VARIANT_TRUE);
  EXPECT_EQ(list->Find(Bstr(L"x").get(), nullptr), E_POINTER);
}

TEST(WhiteListObject, GetWhiteListGivesEmptyOrAZeroBasedArrayInOrder) {
  ComPtr<IWhiteList> list = newWhiteList();
  ASSERT_TRUE(list);
  Var out;
  V_VT(&out.v) = VT_I4;
  V_I4(&out.v) = 7;
  EXPECT_EQ(list->GetWhiteList(&out.v), S_OK);
  EXPECT_EQ(V_VT(&out.v), VT_EMPTY);

  for (const wchar_t* site : {L"b.test", L"a.test", L"a.test/x"}) list->Add(Bstr(site).get());
  V_VT(&out.v) = VT_BSTR;  // an old value is cleared, not leaked
  V_BSTR(&out.v) = SysAllocString(L"old");
  EXPECT_EQ(list->GetWhiteList(&out.v), S_OK);
  LONG lower = -1;
  EXPECT_EQ(stringsOfArray(out.v, &lower), (Sites{L"a.test", L"a.test/x", L"b.test"}));
  EXPECT_EQ(lower, 0);
  EXPECT_EQ(list->GetWhiteList(nullptr), E_POINTER);
}

TEST(WhiteListObject, PutWhiteListTakesEveryStringElementFromAnyLowerBound) {
  ComPtr<IWhiteList> list = newWhiteList();
  ASSERT_TRUE(list);
  list->Add(Bstr(L"old.test").get());
  for (LONG lower : {0, 1, -3}) {
    Var value;
    V_VT(&value.v) = VT_ARRAY | VT_VARIANT;
    V_ARRAY(&value.v) = makeStringArray({L"B.test", L"a.test", L"b.TEST"}, lower);
    EXPECT_EQ(list->PutWhiteList(value.v), S_OK) << lower;
    EXPECT_EQ(enumerate(list.Get()), (Sites{L"a.test", L"b.test"})) << lower;
  }
  // Non-string elements are skipped; a reference to the array works too.
  SAFEARRAY* mixed = makeStringArray({L"x.test", L"", L"y.test"});
  LONG index = 1;
  Var number;
  V_VT(&number.v) = VT_I4;
  V_I4(&number.v) = 5;
  SafeArrayPutElement(mixed, &index, &number.v);
  VARIANT byRef;
  VariantInit(&byRef);
  V_VT(&byRef) = VT_BYREF | VT_ARRAY | VT_VARIANT;
  V_ARRAYREF(&byRef) = &mixed;
  EXPECT_EQ(list->PutWhiteList(byRef), S_OK);
  EXPECT_EQ(enumerate(list.Get()), (Sites{L"x.test", L"y.test"}));
  SafeArrayDestroy(mixed);
  // An empty array and VT_EMPTY both empty the list.
  Var empty;
  V_VT(&empty.v) = VT_ARRAY | VT_VARIANT;
  V_ARRAY(&empty.v) = makeStringArray({});
  EXPECT_EQ(list->PutWhiteList(empty.v), S_OK);
  EXPECT_EQ(enumerate(list.Get()), Sites{});
  list->Add(Bstr(L"z.test").get());
  VARIANT nothing;
  VariantInit(&nothing);
  EXPECT_EQ(list->PutWhiteList(nothing), S_OK);
  EXPECT_EQ(enumerate(list.Get()), Sites{});
}

// Values that are not a one-dimensional array of VARIANTs are refused and
// change nothing; none is read as if it held strings.
TEST(WhiteListObject, PutWhiteListRefusesEverythingElse) {
  ComPtr<IWhiteList> list = newWhiteList();
  ASSERT_TRUE(list);
  list->Add(Bstr(L"keep.test").get());

  SAFEARRAY* strings = SafeArrayCreateVector(VT_BSTR, 0, 2);  // BSTR elements, not VARIANTs
  SAFEARRAYBOUND twoDims[2] = {{2, 0}, {2, 0}};
  SAFEARRAY* square = SafeArrayCreate(VT_VARIANT, 2, twoDims);
  SAFEARRAY* ints = SafeArrayCreateVector(VT_I4, 0, 8);  // 32 bytes of ints
  SAFEARRAY* nullArray = nullptr;
  struct Case {
    const char* what;
    VARTYPE vt;
    SAFEARRAY* array;
    bool byRef;
  } cases[] = {
      {"VT_NULL", VT_NULL, nullptr, false},
      {"VT_I4", VT_I4, nullptr, false},
      {"array of BSTR", VT_ARRAY | VT_BSTR, strings, false},
      {"BSTR array labelled as VARIANTs", VT_ARRAY | VT_VARIANT, strings, false},
      {"int array labelled as VARIANTs", VT_ARRAY | VT_VARIANT, ints, false},
      {"two dimensions", VT_ARRAY | VT_VARIANT, square, false},
      {"null array", VT_ARRAY | VT_VARIANT, nullptr, false},
      {"reference to a null array", VT_BYREF | VT_ARRAY | VT_VARIANT, nullptr, true},
  };
  for (const Case& c : cases) {
    VARIANT value;
    VariantInit(&value);
    V_VT(&value) = c.vt;
    if (c.byRef)
      V_ARRAYREF(&value) = &nullArray;
    else if (c.vt & VT_ARRAY)
      V_ARRAY(&value) = c.array;
    else
      V_I4(&value) = 3;
    EXPECT_EQ(list->PutWhiteList(value), DISP_E_TYPEMISMATCH) << c.what;
    EXPECT_EQ(enumerate(list.Get()), Sites{L"keep.test"}) << c.what;
  }
  Var text(L"a.test");
  EXPECT_EQ(list->PutWhiteList(text.v), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(enumerate(list.Get()), Sites{L"keep.test"});
  SafeArrayDestroy(strings);
  SafeArrayDestroy(square);
  SafeArrayDestroy(ints);
}

// Texts cross into the ANSI code page and back: up to an embedded NUL, and
// (outside the host) unchanged when the code page holds every character.
TEST(WhiteListObject, TextsRoundTripThroughTheAnsiCodePage) {
  ComPtr<IWhiteList> list = newWhiteList();
  ASSERT_TRUE(list);
  BSTR withNul = SysAllocStringLen(L"cut.test\0evil.test", 18);
  EXPECT_EQ(list->Add(withNul), S_OK);
  SysFreeString(withNul);
  EXPECT_EQ(enumerate(list.Get()), Sites{L"cut.test"});

  const wchar_t* accented = L"a.test/caf\u00e9";
  BOOL lossy = TRUE;
  char narrow[32];
  WideCharToMultiByte(CP_ACP, 0, accented, -1, narrow, sizeof narrow, nullptr, &lossy);
  // Kept as it is where the code page spells it; refused (never stored with
  // a substitute character) where it does not.
  list->DeleteAll();
  EXPECT_EQ(list->Add(Bstr(accented).get()), lossy ? E_INVALIDARG : S_OK) << "code page " << GetACP();
  EXPECT_EQ(enumerate(list.Get()), lossy ? Sites{} : Sites{accented});
  // A host beyond ASCII is kept in its one IDNA form: never a look-alike,
  // never "?".
  list->DeleteAll();
  EXPECT_EQ(list->Add(Bstr(L"\u4e2d\u6587.test").get()), S_OK);
  EXPECT_EQ(list->Add(Bstr(L"adobe.com").get()), S_OK);
  EXPECT_EQ(enumerate(list.Get()), (Sites{L"adobe.com", L"xn--fiq228c.test"}));
  VARIANT_BOOL found = VARIANT_TRUE;
  EXPECT_EQ(list->Find(Bstr(L"http://\u0101dobe.com/").get(), &found), S_OK);
  EXPECT_EQ(found, VARIANT_FALSE);
  EXPECT_EQ(list->Find(Bstr(L"http://\u4e2d\u6587.test/x").get(), &found), S_OK);
  EXPECT_EQ(found, VARIANT_TRUE);
  EXPECT_EQ(list->Find(Bstr(L"http://\u65e5\u672c.test/").get(), &found), S_OK);
  EXPECT_EQ(found, VARIANT_FALSE);
}

TEST(WhiteListObject, NullOutputPointersAreRefused) {
  ComPtr<IWhiteList> list = newWhiteList();
  ASSERT_TRUE(list);
  list->Add(Bstr(L"a.test").get());
  EXPECT_EQ(list->GetFirst(nullptr), E_POINTER);
  EXPECT_EQ(list->GetNext(nullptr), E_POINTER);
}

// --- The file -----------------------------------------------------------------

TEST(WhiteListFile, ChangesAreWrittenThroughAndReadBackByAnotherObject) {
  ScratchDir dir;
  const std::string path = dir.path("Quillvane.WL");
  writeFile(path, "#Quillvane White List\r\n\r\nExample.COM  # shop\r\n  shop.example.com/ads\r\nexample.com\r\n");
  auto first = loadedWhiteList(dir.wpath("Quillvane.WL"));
  ASSERT_TRUE(first);
  EXPECT_EQ(enumerate(first.Get()), (Sites{L"example.com", L"shop.example.com/ads"}));
  Bstr site;
  EXPECT_EQ(first->GetFirst(site.receive()), S_OK);  // after Load the cursor is on the first site
  EXPECT_EQ(first->Add(Bstr(L"B.test").get()), S_OK);
  EXPECT_EQ(readFile(path), std::string(kHeader) + "b.test\r\nexample.com\r\nshop.example.com/ads\r\n");

  auto second = loadedWhiteList(dir.wpath("Quillvane.WL"));
  ASSERT_TRUE(second);
  EXPECT_EQ(enumerate(second.Get()), (Sites{L"b.test", L"example.com", L"shop.example.com/ads"}));
  // The first object does not see the second's later changes: each keeps
  // the list it loaded.
  second->Delete(Bstr(L"example.com").get());
  EXPECT_EQ(readFile(path), std::string(kHeader) + "b.test\r\nshop.example.com/ads\r\n");
  EXPECT_EQ(enumerate(first.Get()).size(), 3u);
}

TEST(WhiteListFile, OnlyRealChangesRewriteTheFile) {
  ScratchDir dir;
  const std::string path = dir.path("Quillvane.WL");
  writeFile(path, "a.test\r\n");
  auto list = loadedWhiteList(dir.wpath("Quillvane.WL"));
  ASSERT_TRUE(list);
  DeleteFileA(path.c_str());
  EXPECT_EQ(list->Add(Bstr(L"A.Test").get()), S_OK);     // present
  EXPECT_EQ(list->Delete(Bstr(L"b.test").get()), S_OK);  // absent
  EXPECT_FALSE(fileExists(path));

  struct Case {
    const char* what;
    HRESULT (*change)(IWhiteList*);
    std::string expected;
  } cases[] = {
      {"Add", [](IWhiteList* l) { return l->Add(Bstr(L"c.test").get()); }, "a.test\r\nc.test\r\n"},
      {"Delete", [](IWhiteList* l) { return l->Delete(Bstr(L"a.test").get()); }, "c.test\r\n"},
      {"DeleteAll", [](IWhiteList* l) { return l->DeleteAll(); }, ""},
      {"DeleteAll of an empty list", [](IWhiteList* l) { return l->DeleteAll(); }, ""},
      {"PutWhiteList(array)",
       [](IWhiteList* l) {
         Var v;
         V_VT(&v.v) = VT_ARRAY | VT_VARIANT;
         V_ARRAY(&v.v) = makeStringArray({L"Z.test", L"y.test"}, 1);
         return l->PutWhiteList(v.v);
       },
       "y.test\r\nz.test\r\n"},
      {"PutWhiteList(VT_EMPTY)",
       [](IWhiteList* l) {
         VARIANT v;
         VariantInit(&v);
         return l->PutWhiteList(v);
       },
       ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.change(list.Get()), S_OK) << c.what;
    EXPECT_EQ(readFile(path), kHeader + c.expected) << c.what;
  }
}

TEST(WhiteListFile, MissingFileLoadsEmptyAndIsCreatedByTheFirstChange) {
  ScratchDir dir;
  const std::string path = dir.path("none.WL");
  auto list = loadedWhiteList(dir.wpath("none.WL"));
  ASSERT_TRUE(list);
  EXPECT_EQ(enumerate(list.Get()), Sites{});
  EXPECT_FALSE(fileExists(path));
  EXPECT_EQ(list->Add(Bstr(L"a.test").get()), S_OK);
  EXPECT_EQ(readFile(path), std::string(kHeader) + "a.test\r\n");
}

// A rewrite that fails is reported by every changing method; the list in
// memory keeps the change.
// Every changing method is all or nothing: a rewrite that fails is reported
// and leaves the list as it was, in memory and in the file.
TEST(WhiteListFile, FailedRewriteIsReportedAndChangesNothing) {
  const std::string path = "C:\\any\\Quillvane.WL";
  struct Case {
    const char* what;
    HRESULT (*change)(IWhiteList*);
  } cases[] = {
      {"Add", [](IWhiteList* l) { return l->Add(Bstr(L"new.test").get()); }},
      {"Delete", [](IWhiteList* l) { return l->Delete(Bstr(L"a.test").get()); }},
      {"DeleteAll", [](IWhiteList* l) { return l->DeleteAll(); }},
      {"PutWhiteList",
       [](IWhiteList* l) {
         Var v;
         V_VT(&v.v) = VT_ARRAY | VT_VARIANT;
         V_ARRAY(&v.v) = makeStringArray({L"p.test"});
         return l->PutWhiteList(v.v);
       }},
  };
  for (const Case& c : cases) {
    qv::fake::FakeFileSystem files;
    files.files[path] = "a.test\r\n";
    files.failReplace(path, ERROR_ACCESS_DENIED);
    ComPtr<IWhiteList> list;
    ASSERT_EQ(qv::com::createWhiteListOver(files, IID_IWhiteList, reinterpret_cast<void**>(list.GetAddressOf())),
              S_OK);
    ComPtr<IPersistFile> file;
    ASSERT_EQ(list.As(&file), S_OK);
    ASSERT_EQ(file->Load(L"C:\\any\\Quillvane.WL", 0), S_OK);
    EXPECT_EQ(c.change(list.Get()), E_ACCESSDENIED) << c.what;
    EXPECT_EQ(enumerate(list.Get()), Sites{L"a.test"}) << c.what;
    EXPECT_EQ(files.files[path], "a.test\r\n") << c.what;
  }
}

// An empty site, or one whose host has no exact narrow form, is refused.
TEST(WhiteListObject, SitesWithoutAnExactFormAreRefused) {
  ComPtr<IWhiteList> list = newWhiteList();
  ASSERT_TRUE(list);
  EXPECT_EQ(list->Add(Bstr(L"").get()), E_INVALIDARG);
  EXPECT_EQ(list->Add(nullptr), E_INVALIDARG);
  EXPECT_EQ(list->Add(Bstr(L"  ").get()), E_INVALIDARG);
  EXPECT_EQ(enumerate(list.Get()), Sites{});
}

TEST(WhiteListFile, AnObjectNeverLoadedKeepsItsListInMemoryOnly) {
  ComPtr<IWhiteList> list = newWhiteList();
  ASSERT_TRUE(list);
  EXPECT_EQ(list->Add(Bstr(L"a.test").get()), S_OK);
  EXPECT_EQ(list->Delete(Bstr(L"a.test").get()), S_OK);
  EXPECT_EQ(list->DeleteAll(), S_OK);
}

// Rewrites go through the file port's one-step replace, only after a real
// change; a failed replace is reported with the port's system error when it
// has one, else STG_E_WRITEFAULT.
TEST(WhiteListFile, RewritesGoThroughTheFilePortAndItsErrorsAreReported) {
  const std::string path = "C:\\any\\Quillvane.WL";
  struct Case {
    std::uint32_t error;
    HRESULT expected;
  } cases[] = {{0, S_OK},
               {ERROR_ACCESS_DENIED, E_ACCESSDENIED},
               {ERROR_DISK_FULL, HRESULT_FROM_WIN32(ERROR_DISK_FULL)},
               {~0u, STG_E_WRITEFAULT}};
  for (const Case& c : cases) {
    qv::fake::FakeFileSystem files;
    files.files[path] = "a.test\r\n";
    if (c.error == ~0u)
      files.failReplace(path, 0);
    else if (c.error != 0)
      files.failReplace(path, c.error);
    ComPtr<IWhiteList> list;
    ASSERT_EQ(qv::com::createWhiteListOver(files, IID_IWhiteList, reinterpret_cast<void**>(list.GetAddressOf())),
              S_OK);
    ComPtr<IPersistFile> file;
    ASSERT_EQ(list.As(&file), S_OK);
    ASSERT_EQ(file->Load(L"C:\\any\\Quillvane.WL", 0), S_OK);
    EXPECT_EQ(list->Add(Bstr(L"A.TEST").get()), S_OK);  // no change, no rewrite, no error
    EXPECT_EQ(list->Delete(Bstr(L"z.test").get()), S_OK);
    EXPECT_TRUE(files.replaces.empty());
    EXPECT_EQ(list->Add(Bstr(L"b.test").get()), c.expected) << c.error;
    EXPECT_EQ(list->DeleteAll(), c.expected) << c.error;
    ASSERT_EQ(files.replaces.size(), 2u);
    EXPECT_EQ(files.replaces[0].path, path);
    EXPECT_EQ(files.replaces[0].bytes, std::string(kHeader) + "a.test\r\nb.test\r\n");
    EXPECT_EQ(files.replaces[1].bytes, kHeader);
    EXPECT_EQ(files.files[path], c.expected == S_OK ? kHeader : "a.test\r\n");
  }
}

// --- Creation for the browser helper object ------------------------------------

TEST(WhiteListCreation, CreateAndLoadGivesALoadedObject) {
  ScratchDir dir;
  writeFile(dir.path("Quillvane.WL"), "#Quillvane White List\r\nexample.com\r\n");
  IWhiteList* list = reinterpret_cast<IWhiteList*>(1);
  ASSERT_EQ(qv::com::createAndLoadWhiteList(dir.wpath("Quillvane.WL").c_str(), &list), S_OK);
  ASSERT_NE(list, nullptr);
  VARIANT_BOOL found = VARIANT_FALSE;
  list->Find(Bstr(L"http://example.com/page").get(), &found);
  EXPECT_EQ(found, VARIANT_TRUE);
  // The holder's letting go ends the running-object entry with the object.
  EXPECT_EQ(qv::com::WhiteListOwner(qv::com::adopt(list)).Reset(), 0u);

  // A missing file still gives an (empty) object; a NULL path none.
  ASSERT_EQ(qv::com::createAndLoadWhiteList(dir.wpath("missing.WL").c_str(), &list), S_OK);
  EXPECT_EQ(enumerate(list), Sites{});
  list->Release();
  list = reinterpret_cast<IWhiteList*>(1);
  EXPECT_EQ(qv::com::createAndLoadWhiteList(nullptr, &list), E_POINTER);
  EXPECT_EQ(list, nullptr);
  EXPECT_EQ(qv::com::createAndLoadWhiteList(L"x", nullptr), E_POINTER);
}

// --- Interfaces ---------------------------------------------------------------

TEST(WhiteListInterfaces, QueryInterfaceAnswersThreeInterfacesOnly) {
  ComPtr<IWhiteList> list = newWhiteList();
  ASSERT_TRUE(list);
  struct Case {
    const IID* iid;
    void* expected;
  };
  ComPtr<IPersistFile> file;
  ComPtr<IProvideClassInfo> info;
  ASSERT_EQ(list.As(&file), S_OK);
  ASSERT_EQ(list.As(&info), S_OK);
  const Case cases[] = {
      {&IID_IUnknown, list.Get()},     {&IID_IDispatch, list.Get()},     {&IID_IWhiteList, list.Get()},
      {&IID_IPersistFile, file.Get()}, {&IID_IPersist, file.Get()},      {&IID_IProvideClassInfo, info.Get()},
      {&IID_IClassFactory, nullptr},   {&IID_IPersistStream, nullptr},   {&IID_IPub, nullptr},
      {&IID_IProvideClassInfo2, nullptr},
  };
  for (const Case& c : cases) {
    void* out = reinterpret_cast<void*>(1);
    const HRESULT hr = list->QueryInterface(*c.iid, &out);
    EXPECT_EQ(out, c.expected);
    EXPECT_EQ(hr, c.expected ? S_OK : E_NOINTERFACE);
    if (SUCCEEDED(hr)) static_cast<IUnknown*>(out)->Release();
  }
  // Every interface answers the same IUnknown.
  IUnknown* fromFile = nullptr;
  file->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&fromFile));
  EXPECT_EQ(fromFile, static_cast<IUnknown*>(list.Get()));
  fromFile->Release();
}

TEST(WhiteListInterfaces, PersistFileOffersOnlyLoad) {
  ComPtr<IWhiteList> list = newWhiteList();
  ComPtr<IPersistFile> file;
  ASSERT_EQ(list.As(&file), S_OK);
  CLSID clsid;
  LPOLESTR current = nullptr;
  EXPECT_EQ(file->GetClassID(&clsid), E_NOTIMPL);
  EXPECT_EQ(file->IsDirty(), E_NOTIMPL);
  EXPECT_EQ(file->Save(L"C:\\x.WL", TRUE), E_NOTIMPL);
  EXPECT_EQ(file->SaveCompleted(L"C:\\x.WL"), E_NOTIMPL);
  EXPECT_EQ(file->GetCurFile(&current), E_NOTIMPL);
  EXPECT_EQ(file->Load(nullptr, 0), E_POINTER);
}

TEST(WhiteListInterfaces, TypeInformationComesFromTheModulesLibrary) {
  ComPtr<IWhiteList> list = newWhiteList();
  ComPtr<IProvideClassInfo> classInfo;
  ASSERT_EQ(list.As(&classInfo), S_OK);
  auto guidOf = [](ITypeInfo* info) {
    TYPEATTR* attr = nullptr;
    GUID g{};
    if (SUCCEEDED(info->GetTypeAttr(&attr))) {
      g = attr->guid;
      info->ReleaseTypeAttr(attr);
    }
    return g;
  };
  ComPtr<ITypeInfo> info;
  ASSERT_EQ(classInfo->GetClassInfo(info.GetAddressOf()), S_OK);
  EXPECT_TRUE(guidOf(info.Get()) == CLSID_CWhiteList);
  EXPECT_EQ(classInfo->GetClassInfo(nullptr), E_POINTER);

  UINT count = 0;
  EXPECT_EQ(list->GetTypeInfoCount(&count), S_OK);
  EXPECT_EQ(count, 1u);
  EXPECT_EQ(list->GetTypeInfoCount(nullptr), E_POINTER);
  info.Reset();
  ASSERT_EQ(list->GetTypeInfo(0, 0, info.GetAddressOf()), S_OK);
  EXPECT_TRUE(guidOf(info.Get()) == IID_IWhiteList);
  ITypeInfo* none = reinterpret_cast<ITypeInfo*>(1);
  EXPECT_EQ(list->GetTypeInfo(1, 0, &none), DISP_E_BADINDEX);
  EXPECT_EQ(none, nullptr);
}

}  // namespace
