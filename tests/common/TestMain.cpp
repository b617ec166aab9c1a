#include "common/TestApplication.h"

#include <QLocale>

#include <gmock/gmock.h>

namespace kavelo::test {
std::atomic<int>& CaughtExceptionCount() {
  static std::atomic<int> count{0};
  return count;
}
} // namespace kavelo::test

int main(int argc, char** argv) {
  QLocale::setDefault(QLocale::c());
  kavelo::test::TTestApplication app(argc, argv);
  ::testing::InitGoogleMock(&argc, argv);
  return RUN_ALL_TESTS();
}
