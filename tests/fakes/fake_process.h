// Scripted process and library ports for start-up tests.  Asking for
// something the test did not set up fails the test.
#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/libraries.h"
#include "platform/process.h"

namespace qv::fake {

class FakeProcess final : public ProcessPort {
 public:
  std::optional<std::string> exe;
  std::optional<std::string> cmdLine;
  std::optional<std::string> parent;  // "" = parent gone
  int terminations = 0;

  std::string exePath() override { return get(exe, "exePath"); }
  std::string commandLine() override { return get(cmdLine, "commandLine"); }
  std::string parentExePath() override { return get(parent, "parentExePath"); }
  void terminateSelf() override { ++terminations; }

 private:
  static std::string get(const std::optional<std::string>& v, const char* what) {
    if (!v) {
      ADD_FAILURE() << "unexpected call: " << what;
      return {};
    }
    return *v;
  }
};

class FakeLibraries final : public Libraries {
 public:
  std::optional<std::string> modulePath;
  bool loadSucceeds = true;
  std::vector<std::string> loaded;  // paths passed to load()
  std::vector<std::string> freed;   // names passed to freeByName()

  std::string ownModulePath() override {
    if (!modulePath) {
      ADD_FAILURE() << "unexpected call: ownModulePath";
      return {};
    }
    return *modulePath;
  }
  bool load(const std::string& path) override {
    loaded.push_back(path);
    return loadSucceeds;
  }
  void freeByName(std::string_view name) override { freed.emplace_back(name); }
};

}  // namespace qv::fake
