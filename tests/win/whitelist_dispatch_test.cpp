// The white list object's hand-written IDispatch: the name table and
// Invoke's handling of arguments, with real VARIANTs, BSTRs and SAFEARRAYs.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "whitelist/win/whitelist_dispatch.h"
#include "whitelist_test_support.h"

namespace {

using namespace qvtest;
using Sites = std::vector<std::wstring>;

VARIANT text(BSTR b) {
  VARIANT v;
  VariantInit(&v);
  V_VT(&v) = VT_BSTR;
  V_BSTR(&v) = b;
  return v;
}
VARIANT int4(LONG n) {
  VARIANT v;
  VariantInit(&v);
  V_VT(&v) = VT_I4;
  V_I4(&v) = n;
  return v;
}
VARIANT refTo(VARIANT* target) {
  VARIANT v;
  VariantInit(&v);
  V_VT(&v) = VT_BYREF | VT_VARIANT;
  V_VARIANTREF(&v) = target;
  return v;
}
VARIANT typed(VARTYPE vt) {
  VARIANT v;
  VariantInit(&v);
  V_VT(&v) = vt;
  return v;
}

ComPtr<IWhiteList> listWith(std::initializer_list<const wchar_t*> sites) {
  ComPtr<IWhiteList> list = newWhiteList();
  if (list)
    for (const wchar_t* s : sites) list->Add(Bstr(s).get());
  return list;
}

TEST(WhiteListNames, TableIsCaseInsensitiveAndFirstMatchWins) {
  ComPtr<IWhiteList> list = newWhiteList();
  ASSERT_TRUE(list);
  struct Case {
    const wchar_t* name;
    DISPID id;
  } cases[] = {
      {L"bsDomain", 0},  {L"Add", 1},          {L"Delete", 2},       {L"pbFound", 1},       {L"Find", 3},
      {L"pvar", 0},      {L"GetWhiteList", 4}, {L"vList", 0},        {L"PutWhiteList", 5},  {L"DeleteAll", 6},
      {L"pbsDomain", 0}, {L"GetFirst", 7},     {L"GetNext", 8},      {L"ADD", 1},           {L"getfirst", 7},
      {L"PBFOUND", 1},   {L"deleteALL", 6},    {L"BSDOMAIN", 0},
  };
  for (const Case& c : cases) {
    LPOLESTR names[] = {const_cast<LPOLESTR>(c.name)};
    DISPID id = -99;
    EXPECT_EQ(list->GetIDsOfNames(IID_NULL, names, 1, 0, &id), S_OK) << c.name;
    EXPECT_EQ(id, c.id) << c.name;
  }
  for (const wchar_t* unknown : {L"", L"Ad", L"Adds", L"Add ", L"Remove", L"Delete All", L"\u00c4dd"}) {
    LPOLESTR names[] = {const_cast<LPOLESTR>(unknown)};
    DISPID id = 5;
    EXPECT_EQ(list->GetIDsOfNames(IID_NULL, names, 1, 0, &id), DISP_E_UNKNOWNNAME) << unknown;
    EXPECT_EQ(id, DISPID_UNKNOWN);
  }
  // Several names at once: the known ones are still answered.
  LPOLESTR names[] = {const_cast<LPOLESTR>(L"find"), const_cast<LPOLESTR>(L"nope"),
                      const_cast<LPOLESTR>(L"pbFound")};
  DISPID ids[3] = {};
  EXPECT_EQ(list->GetIDsOfNames(IID_NULL, names, 3, 0, ids), DISP_E_UNKNOWNNAME);
  EXPECT_EQ(ids[0], 3);
  EXPECT_EQ(ids[1], DISPID_UNKNOWN);
  EXPECT_EQ(ids[2], 1);
  EXPECT_FALSE(qv::win::lookUpWhiteListName(nullptr, nullptr));
}

// Every error of Invoke's argument rules, with the argument error index
// where one is set.
TEST(WhiteListInvoke, ArgumentRulesGiveTheirErrors) {
  ComPtr<IWhiteList> list = listWith({L"a.test"});
  ASSERT_TRUE(list);
  Bstr site(L"b.test");
  VARIANT out = int4(0);
  constexpr UINT kUnset = 77;
  struct Case {
    const char* what;
    DISPID id;
    std::vector<VARIANT> args;
    HRESULT expected;
    UINT argErr;
  } cases[] = {
      {"three arguments", 1, {text(site.get()), text(site.get()), text(site.get())}, DISP_E_BADPARAMCOUNT, kUnset},
      {"id 0", 0, {text(site.get())}, DISP_E_MEMBERNOTFOUND, kUnset},
      {"id 9", 9, {text(site.get())}, DISP_E_MEMBERNOTFOUND, kUnset},
      {"id -1", -1, {}, DISP_E_MEMBERNOTFOUND, kUnset},
      {"Add without argument", 1, {}, DISP_E_BADPARAMCOUNT, kUnset},
      {"Delete with two", 2, {text(site.get()), text(site.get())}, DISP_E_BADPARAMCOUNT, kUnset},
      {"Find without argument", 3, {}, DISP_E_BADPARAMCOUNT, kUnset},
      {"GetFirst without argument", 7, {}, DISP_E_BADPARAMCOUNT, kUnset},
      {"DeleteAll with one", 6, {text(site.get())}, DISP_E_BADPARAMCOUNT, kUnset},
      {"Add of VT_NULL", 1, {typed(VT_NULL)}, DISP_E_TYPEMISMATCH, 0},
      {"Find of an array", 3, {typed(VT_ARRAY | VT_VARIANT)}, DISP_E_TYPEMISMATCH, 0},
      {"GetWhiteList by value", 4, {int4(1)}, DISP_E_TYPEMISMATCH, 0},
      {"GetFirst into a plain BSTR", 7, {text(site.get())}, DISP_E_TYPEMISMATCH, 0},
      {"GetNext into an int", 8, {int4(12345)}, DISP_E_TYPEMISMATCH, 0},
      {"GetFirst into a reference to an int", 7, {typed(VT_BYREF | VT_I4)}, DISP_E_TYPEMISMATCH, 0},
      {"PutWhiteList of an int", 5, {int4(1)}, DISP_E_TYPEMISMATCH, 0},
      {"PutWhiteList of a reference to an int", 5, {refTo(&out)}, DISP_E_TYPEMISMATCH, 0},
  };
  for (Case& c : cases) {
    Var result;
    V_VT(&result.v) = VT_I4;  // initialised by Invoke whatever happens
    UINT argErr = kUnset;
    EXPECT_EQ(invoke(list.Get(), c.id, c.args, &result.v, &argErr), c.expected) << c.what;
    EXPECT_EQ(argErr, c.argErr) << c.what;
    EXPECT_EQ(V_VT(&result.v), VT_EMPTY) << c.what;
  }
  EXPECT_EQ(enumerate(list.Get()), Sites{L"a.test"});  // nothing changed the list

  Var result;
  V_VT(&result.v) = VT_I4;
  EXPECT_EQ(invokeRaw(list.Get(), 1, nullptr, &result.v), DISP_E_BADVARTYPE);
  EXPECT_EQ(V_VT(&result.v), VT_EMPTY);
  DISPPARAMS missingArray{nullptr, nullptr, 1, 0};
  EXPECT_EQ(invokeRaw(list.Get(), 1, &missingArray), E_INVALIDARG);
}

TEST(WhiteListInvoke, NamedArgumentsArePlacedByTheirIds) {
  ComPtr<IWhiteList> list = newWhiteList();
  ASSERT_TRUE(list);
  Bstr a(L"A.test"), b(L"b.test");
  VARIANT one[1] = {text(a.get())};
  // Named by its parameter id (0, "bsDomain").
  DISPID id0[1] = {0};
  DISPPARAMS named{one, id0, 1, 1};
  EXPECT_EQ(invokeRaw(list.Get(), 1, &named), S_OK);
  // A leading DISPID_PROPERTYPUT is the first positional argument.
  VARIANT other[1] = {text(b.get())};
  DISPID put[1] = {DISPID_PROPERTYPUT};
  DISPPARAMS asPut{other, put, 1, 1};
  EXPECT_EQ(invokeRaw(list.Get(), 1, &asPut), S_OK);
  EXPECT_EQ(enumerate(list.Get()), (Sites{L"a.test", L"b.test"}));

  struct Case {
    const char* what;
    std::vector<DISPID> ids;  // for rgvarg[0..]
    UINT cArgs;
    HRESULT expected;
    UINT argErr;
  } cases[] = {
      {"id not below the count", {1}, 1, DISP_E_PARAMNOTFOUND, 0},
      {"negative id", {-7}, 1, DISP_E_PARAMNOTFOUND, 0},
      {"second named id bad", {0, 2}, 2, DISP_E_PARAMNOTFOUND, 1},
      {"second named id negative", {1, DISPID_PROPERTYPUT}, 2, DISP_E_PARAMNOTFOUND, 1},
      {"two names for one place", {0, 0}, 2, DISP_E_PARAMNOTFOUND, 1},
      {"named clashes with positional", {0}, 2, DISP_E_PARAMNOTFOUND, 0},
      {"more names than arguments", {0, 1}, 1, DISP_E_BADPARAMCOUNT, 77},
  };
  for (Case& c : cases) {
    VARIANT args[2] = {text(a.get()), text(b.get())};
    DISPPARAMS p{args, c.ids.data(), c.cArgs, static_cast<UINT>(c.ids.size())};
    UINT argErr = 77;
    EXPECT_EQ(invokeRaw(list.Get(), 1, &p, nullptr, &argErr), c.expected) << c.what;
    EXPECT_EQ(argErr, c.argErr) << c.what;
  }
}

TEST(WhiteListInvoke, TextArgumentsAreConvertedToStrings) {
  ComPtr<IWhiteList> list = newWhiteList();
  ASSERT_TRUE(list);
  Bstr mixed(L"MiXeD.test");
  EXPECT_EQ(invoke(list.Get(), 1, {int4(42)}), S_OK);
  EXPECT_EQ(invoke(list.Get(), 1, {text(mixed.get())}), S_OK);
  EXPECT_EQ(invoke(list.Get(), 1, {text(nullptr)}), E_INVALIDARG);  // NULL BSTR: the empty text, no site
  // A reference to a string (how VBScript passes a variable) is read through.
  Var held(L"held.test");
  EXPECT_EQ(invoke(list.Get(), 1, {refTo(&held.v)}), S_OK);
  EXPECT_EQ(enumerate(list.Get()), (Sites{L"42", L"held.test", L"mixed.test"}));
  EXPECT_EQ(invoke(list.Get(), 2, {int4(42)}), S_OK);
  EXPECT_EQ(invoke(list.Get(), 2, {text(nullptr)}), S_OK);
  EXPECT_EQ(enumerate(list.Get()), (Sites{L"held.test", L"mixed.test"}));

  Bstr hit(L"http://mixed.test/page"), miss(L"http://other.test/");
  for (auto [url, expected] : {std::pair{hit.get(), VARIANT_TRUE}, std::pair{miss.get(), VARIANT_FALSE}}) {
    Var result;
    EXPECT_EQ(invoke(list.Get(), 3, {text(url)}, &result.v), S_OK);
    EXPECT_EQ(V_VT(&result.v), VT_BOOL);
    EXPECT_EQ(V_BOOL(&result.v), expected);
  }
  EXPECT_EQ(invoke(list.Get(), 3, {text(hit.get())}), S_OK);  // no result variant: fine
  EXPECT_EQ(invoke(list.Get(), 6, {}), S_OK);
  EXPECT_EQ(enumerate(list.Get()), Sites{});
}

TEST(WhiteListInvoke, EnumerationFillsReferencedVariantsAndStrings) {
  ComPtr<IWhiteList> list = listWith({L"a.test", L"b.test"});
  ASSERT_TRUE(list);
  // A referenced variant is cleared and receives a BSTR.
  Var slot;
  V_VT(&slot.v) = VT_ARRAY | VT_VARIANT;
  V_ARRAY(&slot.v) = makeStringArray({L"old"});
  EXPECT_EQ(invoke(list.Get(), 7, {refTo(&slot.v)}), S_OK);
  EXPECT_EQ(V_VT(&slot.v), VT_BSTR);
  EXPECT_STREQ(V_BSTR(&slot.v), L"a.test");
  EXPECT_EQ(invoke(list.Get(), 8, {refTo(&slot.v)}), S_OK);
  EXPECT_STREQ(V_BSTR(&slot.v), L"b.test");
  EXPECT_EQ(invoke(list.Get(), 8, {refTo(&slot.v)}), S_FALSE);
  EXPECT_EQ(V_VT(&slot.v), VT_BSTR);  // at the end: an empty string
  EXPECT_EQ(V_BSTR(&slot.v), nullptr);

  // A reference to a BSTR receives the site (its old string freed); at the
  // end it is left alone.
  BSTR held = SysAllocString(L"previous");
  VARIANT ref = typed(VT_BYREF | VT_BSTR);
  V_BSTRREF(&ref) = &held;
  EXPECT_EQ(invoke(list.Get(), 7, {ref}), S_OK);
  EXPECT_STREQ(held, L"a.test");
  EXPECT_EQ(invoke(list.Get(), 8, {ref}), S_OK);
  EXPECT_EQ(invoke(list.Get(), 8, {ref}), S_FALSE);
  EXPECT_STREQ(held, L"b.test");
  SysFreeString(held);
  V_BSTRREF(&ref) = nullptr;
  EXPECT_EQ(invoke(list.Get(), 7, {ref}), E_POINTER);

  // On an empty list the referenced variant still becomes an empty string.
  ComPtr<IWhiteList> empty = newWhiteList();
  Var untouched(L"x");
  EXPECT_EQ(invoke(empty.Get(), 7, {refTo(&untouched.v)}), S_FALSE);
  EXPECT_EQ(V_VT(&untouched.v), VT_BSTR);
  EXPECT_EQ(V_BSTR(&untouched.v), nullptr);
}

TEST(WhiteListInvoke, ListTravelsThroughReferencedVariants) {
  ComPtr<IWhiteList> list = newWhiteList();
  ASSERT_TRUE(list);
  // PutWhiteList by value, by reference to a variant, and VT_EMPTY.
  Var array;
  V_VT(&array.v) = VT_ARRAY | VT_VARIANT;
  V_ARRAY(&array.v) = makeStringArray({L"Two.test", L"one.test"}, 1);
  EXPECT_EQ(invoke(list.Get(), 5, {array.v}), S_OK);
  EXPECT_EQ(enumerate(list.Get()), (Sites{L"one.test", L"two.test"}));
  V_ARRAY(&array.v) = (SafeArrayDestroy(V_ARRAY(&array.v)), makeStringArray({L"three.test"}));
  EXPECT_EQ(invoke(list.Get(), 5, {refTo(&array.v)}), S_OK);
  EXPECT_EQ(enumerate(list.Get()), Sites{L"three.test"});

  Var out(L"old");
  EXPECT_EQ(invoke(list.Get(), 4, {refTo(&out.v)}), S_OK);
  EXPECT_EQ(stringsOfArray(out.v), Sites{L"three.test"});
  // The array read back goes straight in again.
  EXPECT_EQ(invoke(list.Get(), 5, {refTo(&out.v)}), S_OK);
  EXPECT_EQ(enumerate(list.Get()), Sites{L"three.test"});

  EXPECT_EQ(invoke(list.Get(), 5, {typed(VT_EMPTY)}), S_OK);
  EXPECT_EQ(enumerate(list.Get()), Sites{});
  EXPECT_EQ(invoke(list.Get(), 4, {refTo(&out.v)}), S_OK);
  EXPECT_EQ(V_VT(&out.v), VT_EMPTY);
  EXPECT_EQ(invoke(list.Get(), 4, {refTo(nullptr)}), E_POINTER);
  EXPECT_EQ(invoke(list.Get(), 5, {refTo(nullptr)}), E_POINTER);
}

TEST(WhiteListInvoke, FailedRewriteIsPassedOnToTheCaller) {
  ScratchDir dir;
  auto list = loadedWhiteList(dir.wpath("missing folder\\Quillvane.WL"));
  ASSERT_TRUE(list);
  Bstr site(L"a.test");
  EXPECT_PRED1(isSaveFailure, invoke(list.Get(), 1, {text(site.get())}));
  EXPECT_PRED1(isSaveFailure, invoke(list.Get(), 6, {}));
}

}  // namespace
