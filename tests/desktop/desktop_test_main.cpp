// GoogleTest with a QApplication on the offscreen platform, so the window's
// views can be built and driven with QTest without a display.

#include <gmock/gmock.h>

#include <QApplication>
#include <cstdlib>

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  ::testing::InitGoogleMock(&argc, argv);
  return RUN_ALL_TESTS();
}
