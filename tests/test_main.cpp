// Test entry: a QApplication (offscreen) so window tests can create widgets.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLocale>

#include <cstdlib>
#include <cstring>

// Leaks are not what the tests look for (Qt keeps some memory until exit);
// a sanitizer report shows where it came from.
extern "C" const char* __asan_default_options() { return "detect_leaks=0"; }
extern "C" const char* __ubsan_default_options() { return "print_stacktrace=1"; }

int main(int argc, char** argv) {
  // Every test sees one fixed locale, whatever the machine's; the processes
  // the tests start inherit it, and the quiet leak check.
  ::setenv("LC_ALL", "fr_FR.UTF-8", 1);
  ::setenv("LANG", "fr_FR.UTF-8", 1);
  ::setenv("ASAN_OPTIONS", "detect_leaks=0", 0);
  // Listing the cases needs no screen (CTest lists them before running each).
  for (int i = 1; i < argc; ++i)
    if (std::strcmp(argv[i], "--gtest_list_tests") == 0) {
      ::testing::InitGoogleTest(&argc, argv);
      return RUN_ALL_TESTS();
    }
  qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
  QApplication app(argc, argv);
  QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
