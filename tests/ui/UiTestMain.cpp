#include "ui/zurFMainForm.h"

#include <QApplication>
#include <gmock/gmock.h>

// The window tests run in the program's own application object (its event
// loop guard included); ctest runs them on the offscreen platform.
int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  TZurGuiApplication app(argc, argv);
  ::testing::InitGoogleMock(&argc, argv);
  return RUN_ALL_TESTS();
}
