// Entry point of the Windows test binary.  Before any test loads the module
// it switches the unfathered-browser rule off for this user, since the test
// host is not started by the shell.
#include <gtest/gtest.h>
#include <windows.h>
#include <objbase.h>

#include "win_test_support.h"

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  qvtest::setUnfathered(0);
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  const int rc = RUN_ALL_TESTS();
  CoUninitialize();
  return rc;
}
