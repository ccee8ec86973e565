// In-memory ports for the popup logic: desktop, timers, sound, named mutex
// and the helper object's browser side.  Each records what the logic did;
// a question the test did not set up fails the test.
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "core/pub_host.h"
#include "platform/input.h"
#include "platform/mutex.h"
#include "platform/sound.h"
#include "platform/timers.h"

namespace qv::fake {

class FakeDesktop final : public Desktop {
 public:
  // --- set-up ---
  std::map<int, bool> asyncKeys;   // GetAsyncKeyState answers, by key
  std::map<int, bool> keys;        // GetKeyState answers, by key
  std::optional<CursorHandle> currentCursor;
  std::optional<std::optional<ScreenPoint>> pointer;  // inner nullopt: the position cannot be read
  std::map<WindowHandle, std::string> classes;
  std::map<std::string, WindowHandle> topLevel;       // class -> first window (0: none)
  std::map<WindowHandle, WindowHandle> children;
  std::map<WindowHandle, std::string> titles;
  std::optional<WindowHandle> focusWindow;
  std::map<WindowHandle, WindowHandle> parents;

  // --- what happened ---
  std::vector<CursorHandle> cursorsSet;
  std::vector<WindowHandle> closed;
  std::vector<std::string> asked;  // every question, in order ("async 16", "class 7", ...)

  bool asyncKeyDown(int vk) override { return lookup(asyncKeys, vk, "async " + std::to_string(vk)); }
  bool keyDown(int vk) override { return lookup(keys, vk, "key " + std::to_string(vk)); }
  CursorHandle cursor() override {
    asked.push_back("cursor");
    if (!currentCursor) ADD_FAILURE() << "unexpected cursor()";
    return currentCursor.value_or(0);
  }
  void setCursor(CursorHandle c) override {
    cursorsSet.push_back(c);
    currentCursor = c;
  }
  std::optional<ScreenPoint> cursorPos() override {
    asked.push_back("pos");
    if (!pointer) ADD_FAILURE() << "unexpected cursorPos()";
    return pointer.value_or(std::nullopt);
  }
  std::string className(WindowHandle w) override { return lookup(classes, w, "class " + std::to_string(w)); }
  WindowHandle findTopLevel(const char* cls) override { return lookup(topLevel, std::string(cls), std::string("find ") + cls); }
  WindowHandle firstChild(WindowHandle w) override { return lookup(children, w, "child " + std::to_string(w)); }
  std::string windowTitle(WindowHandle w) override { return lookup(titles, w, "title " + std::to_string(w)); }
  void postClose(WindowHandle w) override { closed.push_back(w); }
  WindowHandle focus() override {
    asked.push_back("focus");
    if (!focusWindow) ADD_FAILURE() << "unexpected focus()";
    return focusWindow.value_or(0);
  }
  WindowHandle parent(WindowHandle w) override { return lookup(parents, w, "parent " + std::to_string(w)); }

 private:
  template <class Map, class Key>
  typename Map::mapped_type lookup(const Map& m, const Key& k, const std::string& what) {
    asked.push_back(what);
    auto it = m.find(k);
    if (it == m.end()) {
      ADD_FAILURE() << "unexpected question: " << what;
      return typename Map::mapped_type{};
    }
    return it->second;
  }
};

class FakeTimers final : public Timers {
 public:
  std::vector<std::string> log;  // "start <window>/<id>/<period>", "stop <window>/<id>"
  std::map<std::pair<WindowHandle, std::uint32_t>, std::uint32_t> running;

  bool start(WindowHandle w, std::uint32_t id, std::uint32_t period) override {
    log.push_back("start " + std::to_string(w) + "/" + std::to_string(id) + "/" + std::to_string(period));
    running[{w, id}] = period;
    return true;
  }
  void stop(WindowHandle w, std::uint32_t id) override {
    log.push_back("stop " + std::to_string(w) + "/" + std::to_string(id));
    running.erase({w, id});
  }
  bool isRunning(WindowHandle w, std::uint32_t id) const { return running.count({w, id}) != 0; }
};

class FakeSound final : public Sound {
 public:
  bool known = true;
  std::vector<std::string> log;  // "beep 800 40", "file <path>", "resource <name>"

  void beep(std::uint32_t hz, std::uint32_t ms) override {
    log.push_back("beep " + std::to_string(hz) + " " + std::to_string(ms));
  }
  bool moduleKnown() override { return known; }
  void playFileAsync(const std::string& path) override { log.push_back("file " + path); }
  void playResourceAsync(const char* name) override { log.push_back(std::string("resource ") + name); }
};

// Answers waits from a script (then `otherwise`); counts waits and releases.
class FakeMutex final : public NamedMutex {
 public:
  std::deque<WaitResult> script;
  WaitResult otherwise = WaitResult::Obtained;
  int waits = 0;
  int releases = 0;
  int held = 0;  // ownership granted and not yet released
  std::uint32_t lastWaitMs = 0;

  WaitResult wait(std::uint32_t ms) override {
    ++waits;
    lastWaitMs = ms;
    WaitResult r = otherwise;
    if (!script.empty()) {
      r = script.front();
      script.pop_front();
    }
    if (owns(r)) ++held;
    return r;
  }
  void release() override {
    ++releases;
    if (held <= 0) ADD_FAILURE() << "release of a mutex not held";
    --held;
  }
};

class FakePubHost final : public popup::PubHost {
 public:
  // --- set-up ---
  std::optional<std::optional<std::string>> url;                 // inner nullopt: the call fails
  std::optional<std::function<std::optional<bool>(std::string_view)>> whiteList;  // unset: not expected
  bool hasStatusWindow = true;
  std::function<void()> onShowOptions;
  FakeMutex* mustHold = nullptr;  // when set, whiteListFind checks this mutex is held
  bool visible = true;            // the tab window's own visibility

  // --- what happened ---
  int urlReads = 0;
  std::vector<std::string> lookedUp;
  std::vector<std::string> statusTexts;
  std::vector<int> sweeps;
  int trayOffers = 0;
  int optionsShown = 0;

  std::optional<std::string> locationUrl() override {
    ++urlReads;
    if (!url) {
      ADD_FAILURE() << "unexpected locationUrl()";
      return std::nullopt;
    }
    return *url;
  }
  std::optional<bool> whiteListFind(std::string_view address) override {
    lookedUp.emplace_back(address);
    if (mustHold && mustHold->held <= 0) ADD_FAILURE() << "white list asked without the data mutex";
    if (!whiteList) {
      ADD_FAILURE() << "unexpected whiteListFind(" << address << ")";
      return std::nullopt;
    }
    return (*whiteList)(address);
  }
  bool setStatusText(const std::string& text) override {
    if (!hasStatusWindow) return false;
    statusTexts.push_back(text);
    return true;
  }
  void sweepDocument(int flags) override { sweeps.push_back(flags); }
  void ensureTray() override { ++trayOffers; }
  bool windowVisible() override { return visible; }
  void showOptions() override {
    ++optionsShown;
    if (onShowOptions) onShowOptions();
  }
};

}  // namespace qv::fake
