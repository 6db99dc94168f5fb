// Test entry: a QApplication (offscreen) so window tests can create widgets.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLocale>

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
  QApplication app(argc, argv);
  QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
