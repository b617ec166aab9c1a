#include <QCoreApplication>
#include <QLocale>

#include <gmock/gmock.h>

int main(int argc, char** argv) {
  QLocale::setDefault(QLocale::c());
  QCoreApplication app(argc, argv);
  ::testing::InitGoogleMock(&argc, argv);
  return RUN_ALL_TESTS();
}
