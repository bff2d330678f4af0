#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
  // The tests never need a display, also when the test list is read.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
