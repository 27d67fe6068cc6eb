#include <QCoreApplication>
#include <gmock/gmock.h>

// The Qt SQL drivers and the text codecs want an application object.
int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  ::testing::InitGoogleMock(&argc, argv);
  return RUN_ALL_TESTS();
}
