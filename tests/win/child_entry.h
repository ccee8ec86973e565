// Entries of the Windows test binary that are not tests of the suite: the
// child-process entry points (a test that needs a second process starts this
// binary again with qvtest::startChild, running one entry) and measurements
// (run by the scripts in bench/win).  An entry is a GoogleTest test only in
// a process whose QV_CHILD_ENTRY names it, so the suite's own run neither
// lists nor counts it.
//
//   QV_CHILD_TEST(PubChild, TwentyFiveWindows) { ...gtest assertions... }
//
// The child's exit code (0 when its assertions held) is what the parent test
// checks.  QV_CHILD_ENTRY may also name a whole suite ("Suite.*").
#pragma once
#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace qvtest {

// Environment variable naming the entry ("Suite.Name") a child runs.
inline constexpr const char kChildEntryVar[] = "QV_CHILD_ENTRY";

struct ChildEntryRegistrar {
  ChildEntryRegistrar(const char* suite, const char* name, void (*body)(), const char* file, int line);
};

// Registers the entry named by QV_CHILD_ENTRY as a test of this process, if
// there is one; call between InitGoogleTest and RUN_ALL_TESTS.  False when
// the variable names no entry.
bool registerChildEntry();

}  // namespace qvtest

#define QV_CHILD_TEST(suite, name)                                                                           \
  static void suite##_##name##_child();                                                                      \
  static const ::qvtest::ChildEntryRegistrar suite##_##name##_registrar(#suite, #name, &suite##_##name##_child, \
                                                                        __FILE__, __LINE__);                 \
  static void suite##_##name##_child()

// A measurement: an entry run on request (bench/win), never by the suite.
#define QV_MEASUREMENT(suite, name) QV_CHILD_TEST(suite, name)
