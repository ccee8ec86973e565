// The COM support layer: the conversion rules, the owners' contracts and the
// guarded/adopt pair, under the real OLE automation of the test host.
#include <gtest/gtest.h>
#include <windows.h>
#include <objbase.h>

#include <optional>
#include <stdexcept>
#include <string>

#include "com/guarded.h"
#include "com/handle.h"
#include "com/safe_array.h"
#include "com/text.h"
#include "com/variant.h"

namespace {

using namespace qv::com;

TEST(ComText, OneSetOfRulesForEveryDirection) {
  // Wine prefixes start with code page 1252: é is in it, ☺ is not.
  const struct {
    std::wstring wide;
    std::string narrow;
    std::optional<std::string> exact;
  } cases[] = {
      {L"", "", ""},
      {L"abc", "abc", "abc"},
      {std::wstring(L"ab\0cd", 5), "ab", "ab"},  // ends at the first NUL
      {L"caf\u00e9", "caf\xe9", "caf\xe9"},
      {L"a\u263Ab", "a?b", std::nullopt},        // default character / refused
  };
  for (const auto& c : cases) {
    EXPECT_EQ(narrow(c.wide), c.narrow);
    EXPECT_EQ(narrowExact(c.wide), c.exact);
  }
  EXPECT_EQ(narrow(static_cast<const wchar_t*>(nullptr)), "");
  EXPECT_EQ(narrowBstr(nullptr), "");
  EXPECT_EQ(widen(std::string("ab\0c", 4)), L"ab");
  EXPECT_EQ(widen(""), L"");
  EXPECT_EQ(widen("caf\xe9"), L"caf\u00e9");
  const Bstr withNul(std::wstring_view(L"x\0y", 3));
  EXPECT_EQ(withNul.length(), 3u);
  EXPECT_EQ(narrowBstr(withNul.get()), "x");
  EXPECT_EQ(bstrFromAnsi("caf\xe9").view(), L"caf\u00e9");
}

TEST(ComOwners, MoveReceiveAndRelease) {
  Bstr a(L"text");
  Bstr b(std::move(a));
  EXPECT_FALSE(a);
  EXPECT_EQ(b.view(), L"text");
  Bstr received;
  *received.Receive() = SysAllocString(L"out");  // what a callee's [out] does
  EXPECT_EQ(received.view(), L"out");
  BSTR raw = received.release();
  EXPECT_FALSE(received);
  received.reset(raw);  // the one way to take a raw BSTR over
  EXPECT_EQ(received.get(), raw);

  VARIANT out;
  VariantInit(&out);
  Variant(std::move(b)).releaseInto(&out);
  ASSERT_EQ(V_VT(&out), VT_BSTR);
  EXPECT_STREQ(V_BSTR(&out), L"text");
  Variant(true).releaseInto(&out);  // the previous string is cleared, not leaked
  EXPECT_EQ(V_VT(&out), VT_BOOL);
  Variant converted;
  EXPECT_EQ(Variant::convert(Variant(std::int32_t{42}).get(), VT_BSTR, converted), S_OK);
  EXPECT_STREQ(V_BSTR(&converted.get()), L"42");

  UniqueHandle none(INVALID_HANDLE_VALUE);
  EXPECT_FALSE(none);  // both "no handle" values are empty
  UniqueHandle event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  ASSERT_TRUE(event);
  EXPECT_TRUE(event.close());
  EXPECT_FALSE(event);
}

TEST(ComOwners, SafeArrayViewChecksTheArrayAndItsBounds) {
  SAFEARRAYBOUND bound{3, 5};  // three elements from index 5
  SafeArray array(SafeArrayCreate(VT_VARIANT, 1, &bound));
  ASSERT_TRUE(array);
  {
    SafeArrayView<VARIANT> view(array.get(), VT_VARIANT);
    ASSERT_TRUE(view.ok());
    EXPECT_EQ(view.size(), 3u);
    V_VT(&view.at(0)) = VT_I4;  // the first element, whatever the lower bound
    EXPECT_THROW(view.at(3), std::out_of_range);
    EXPECT_FALSE((SafeArrayView<VARIANT>(array.get(), VT_BSTR).ok())) << "element type must agree";
    EXPECT_FALSE((SafeArrayView<LONG>(array.get(), VT_VARIANT).ok())) << "element size must agree";
  }
  long index = 5;
  VARIANT first;
  VariantInit(&first);
  EXPECT_EQ(SafeArrayGetElement(array.get(), &index, &first), S_OK);
  EXPECT_EQ(V_VT(&first), VT_I4);
  SAFEARRAYBOUND square[2] = {{2, 0}, {2, 0}};
  SafeArray twoDims(SafeArrayCreate(VT_VARIANT, 2, square));
  EXPECT_FALSE((SafeArrayView<VARIANT>(twoDims.get(), VT_VARIANT).ok()));
  EXPECT_FALSE((SafeArrayView<VARIANT>(nullptr, VT_VARIANT).ok()));
  // The view unlocked what it locked: the array can be destroyed.
  EXPECT_EQ(SafeArrayDestroy(array.release()), S_OK);
}

TEST(ComEntryPoints, GuardedAndAdopt) {
  EXPECT_EQ(guarded([]() -> HRESULT { throw std::bad_alloc(); }), E_OUTOFMEMORY);
  EXPECT_EQ(guarded([]() -> HRESULT { throw 7; }), E_UNEXPECTED);
  EXPECT_EQ(guarded([]() -> HRESULT { throw std::runtime_error("x"); }, S_FALSE), S_FALSE);
  EXPECT_EQ(guarded([] { return S_OK; }), S_OK);

  IStream* raw = nullptr;
  ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, &raw), S_OK);  // one reference, ours
  auto owner = adopt(raw);
  EXPECT_EQ(raw->AddRef(), 2u) << "adopt took the reference over without adding one";
  raw->Release();
}

}  // namespace
