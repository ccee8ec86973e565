// The browser-event decoder against the argument shapes the browser sends.
#include <gtest/gtest.h>
#include <windows.h>
#include <oleauto.h>

#include <optional>
#include <vector>

#include "core/win/browser_events.h"

namespace {

using qv::com::BrowserEventKind;
using qv::com::decodeBrowserEvent;

VARIANT v(VARTYPE t) {
  VARIANT x;
  VariantInit(&x);
  V_VT(&x) = t;
  return x;
}

class Shapes : public ::testing::Test {
 protected:
  void SetUp() override {
    url = v(VT_BSTR);
    V_BSTR(&url) = SysAllocString(L"http://ads.example/pop");
    disp = reinterpret_cast<IDispatch*>(0x1234);  // never called: the decoder takes no reference
  }
  void TearDown() override { VariantClear(&url); }
  VARIANT byRefBool() {
    VARIANT x = v(VT_BYREF | VT_BOOL);
    V_BOOLREF(&x) = &cancel;
    return x;
  }
  VARIANT urlRef() {
    VARIANT x = v(VT_BYREF | VT_VARIANT);
    V_VARIANTREF(&x) = &url;
    return x;
  }
  VARIANT frame() {
    VARIANT x = v(VT_DISPATCH);
    V_DISPATCH(&x) = disp;
    return x;
  }
  VARIANT empty() { return v(VT_EMPTY); }

  VARIANT_BOOL cancel = VARIANT_FALSE;
  VARIANT url;
  IDispatch* disp = nullptr;
};

TEST_F(Shapes, RealArgumentBlocksDecode) {
  IDispatch* newWin = nullptr;
  VARIANT ppDisp = v(VT_BYREF | VT_DISPATCH);
  V_DISPATCHREF(&ppDisp) = &newWin;
  struct Case {
    const char* name;
    DISPID id;
    std::vector<VARIANT> args;  // already reversed, as in DISPPARAMS
    BrowserEventKind kind;
    bool hasCancel;
    bool hasFrame;
    const char* address;
  } cases[] = {
      {"NewWindow2", 251, {byRefBool(), ppDisp}, BrowserEventKind::NewWindow, true, false, ""},
      {"NewWindow", 107, {byRefBool(), empty(), empty(), empty(), empty(), url}, BrowserEventKind::NewWindow, true,
       false, ""},
      {"BeforeNavigate2",
       250,
       {byRefBool(), urlRef(), urlRef(), urlRef(), urlRef(), urlRef(), frame()},
       BrowserEventKind::BeforeNavigate,
       false,
       true,
       "http://ads.example/pop"},
      {"NavigateComplete2", 252, {urlRef(), frame()}, BrowserEventKind::NavigateComplete, false, true,
       "http://ads.example/pop"},
      {"DocumentComplete", 259, {urlRef(), frame()}, BrowserEventKind::DocumentComplete, false, true,
       "http://ads.example/pop"},
      {"OnQuit", 253, {}, BrowserEventKind::Quit, false, false, ""},
      {"NewWindow3 is not handled", 273, {byRefBool()}, BrowserEventKind::Ignored, false, false, ""},
      {"StatusTextChange is not handled", 102, {url}, BrowserEventKind::Ignored, false, false, ""},
  };
  for (auto& c : cases) {
    DISPPARAMS p{c.args.empty() ? nullptr : c.args.data(), nullptr, static_cast<UINT>(c.args.size()), 0};
    const auto ev = decodeBrowserEvent(c.id, &p);
    EXPECT_EQ(ev.kind, c.kind) << c.name;
    EXPECT_EQ(ev.cancel != nullptr, c.hasCancel) << c.name;
    if (c.hasCancel) {
      EXPECT_EQ(ev.cancel, &cancel) << c.name;
    }
    EXPECT_EQ(ev.frame != nullptr, c.hasFrame) << c.name;
    if (c.hasFrame) {
      EXPECT_EQ(ev.frame, disp) << c.name;
    }
    EXPECT_EQ(ev.address, c.address) << c.name;
  }
}

TEST_F(Shapes, WrongShapesDecodeToMissingMembers) {
  VARIANT notByRef = v(VT_BOOL);
  V_BOOL(&notByRef) = VARIANT_FALSE;
  VARIANT nullInner = v(VT_BYREF | VT_VARIANT);
  V_VARIANTREF(&nullInner) = nullptr;
  VARIANT number = v(VT_I4);
  V_I4(&number) = 7;
  VARIANT nested = v(VT_BYREF | VT_VARIANT);
  VARIANT inner = urlRef();
  V_VARIANTREF(&nested) = &inner;
  struct Case {
    const char* name;
    DISPID id;
    std::vector<VARIANT> args;
    bool frameKept;  // the frame argument itself was well formed
  } cases[] = {
      {"cancel passed by value", 251, {notByRef, empty()}, false},
      {"too few arguments", 251, {byRefBool()}, false},
      {"too many arguments", 252, {urlRef(), frame(), frame()}, false},
      {"address reference to nothing", 252, {nullInner, frame()}, true},
      {"address not a string", 250, {byRefBool(), number, number, number, number, number, number}, false},
      {"address nested twice", 259, {nested, number}, false},
      {"arguments in declared order", 252, {frame(), urlRef()}, false},
  };
  for (auto& c : cases) {
    DISPPARAMS p{c.args.data(), nullptr, static_cast<UINT>(c.args.size()), 0};
    const auto ev = decodeBrowserEvent(c.id, &p);
    EXPECT_EQ(ev.cancel, nullptr) << c.name;
    EXPECT_EQ(ev.frame, c.frameKept ? disp : nullptr) << c.name;
    EXPECT_EQ(ev.address, "") << c.name;
  }
  // No block at all, or a count with no array behind it.
  EXPECT_EQ(decodeBrowserEvent(251, nullptr).cancel, nullptr);
  DISPPARAMS lying{nullptr, nullptr, 2, 0};
  EXPECT_EQ(decodeBrowserEvent(251, &lying).cancel, nullptr);
  EXPECT_EQ(decodeBrowserEvent(253, &lying).kind, BrowserEventKind::Quit);
}

TEST_F(Shapes, AddressAcceptsPlainAndReferencedStrings) {
  BSTR s = SysAllocString(L"https://bank.example/");
  VARIANT plain = v(VT_BSTR);
  V_BSTR(&plain) = s;
  VARIANT ref = v(VT_BYREF | VT_BSTR);
  V_BSTRREF(&ref) = &s;
  for (VARIANT a : {plain, ref}) {
    std::vector<VARIANT> args{a, frame()};
    DISPPARAMS p{args.data(), nullptr, 2, 0};
    EXPECT_EQ(decodeBrowserEvent(252, &p).address, "https://bank.example/");
  }
  SysFreeString(s);
}

}  // namespace

namespace {

VARIANT i4(LONG value, VARTYPE t = VT_I4) {
  VARIANT x;
  VariantInit(&x);
  V_VT(&x) = t;
  V_I4(&x) = value;
  return x;
}

TEST(WindowState, UserVisibleBitDecodesOnlyWhenTheMaskCoversIt) {
  // WindowStateChanged(dwWindowStateFlags, dwValidFlagsMask), reversed.
  const struct {
    const char* name;
    std::vector<VARIANT> args;
    std::optional<bool> visible;
  } rows[] = {
      {"tab to the front", {i4(3), i4(3)}, true},
      {"tab behind another", {i4(3), i4(2)}, false},
      {"only the enabled bit is valid", {i4(2), i4(1)}, std::nullopt},
      {"unsigned words", {i4(1, VT_UI4), i4(1, VT_UI4)}, true},
      {"mask missing", {i4(0, VT_EMPTY), i4(1)}, std::nullopt},
      {"one argument", {i4(1)}, std::nullopt},
  };
  for (const auto& r : rows) {
    std::vector<VARIANT> args = r.args;
    DISPPARAMS p{args.data(), nullptr, static_cast<UINT>(args.size()), 0};
    const auto ev = decodeBrowserEvent(283, &p);
    EXPECT_EQ(ev.kind, BrowserEventKind::WindowState) << r.name;
    EXPECT_EQ(ev.visible, r.visible) << r.name;
  }
}

}  // namespace
