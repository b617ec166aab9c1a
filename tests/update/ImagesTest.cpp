// The built-in images and the selection rule.

#include "update/Images.h"
#include "update/SequenceSupport.h"
#include "update/Versions.h"

#include <gmock/gmock.h>

#include <QTemporaryFile>

namespace kavelo {
namespace {

struct ImageCase {
  const char* Name;
  qint64 Length;
};

class BuiltInImages : public ::testing::TestWithParam<ImageCase> {};

TEST_P(BuiltInImages, AreFoundByNameAsWholeStreamsOfTheirLength) {
  auto stream = OpenImage(GetParam().Name);
  ASSERT_NE(stream, nullptr);
  EXPECT_EQ(stream->size(), GetParam().Length);
  const QByteArray bytes = stream->readAll();
  EXPECT_EQ(bytes.size(), GetParam().Length);
  // A placeholder says so in its first bytes, so it is never mistaken for real firmware.
  if (bytes.startsWith("KAVELO PLACEHOLDER IMAGE")) {
    EXPECT_TRUE(bytes.startsWith(QByteArray("KAVELO PLACEHOLDER IMAGE ") + GetParam().Name));
  }
}

INSTANTIATE_TEST_SUITE_P(Four, BuiltInImages,
                         ::testing::Values(ImageCase{kImageFirmware, 49056}, ImageCase{kImageRadioModule, 232820},
                                           ImageCase{kImageLanguages, 21620},
                                           ImageCase{kImagePersistentData, 261636}));

TEST(ImageSelection, TheBuiltInLabelMeansTheBuiltInImageElseTheLabelIsAFileName) {
  auto builtIn = OpenFirmwareImage(HMFirmwareLabel(), HMFirmwareLabel(), kImageFirmware);
  EXPECT_TRUE(builtIn.BuiltIn);
  ASSERT_NE(builtIn.Stream, nullptr);
  EXPECT_EQ(builtIn.Stream->size(), 49056);

  QTemporaryFile file;
  ASSERT_TRUE(file.open());
  file.write("0123456789");
  file.flush();
  auto chosen = OpenFirmwareImage(file.fileName(), HMFirmwareLabel(), kImageFirmware);
  EXPECT_FALSE(chosen.BuiltIn);
  ASSERT_NE(chosen.Stream, nullptr);
  EXPECT_EQ(chosen.Stream->size(), 10);

  auto missing = OpenFirmwareImage("/nonexistent/file.bin", HMFirmwareLabel(), kImageFirmware);
  EXPECT_EQ(missing.Stream, nullptr);
  EXPECT_THAT(missing.Error.toStdString(), ::testing::StartsWith("Cannot open file \"/nonexistent/file.bin\""));
  EXPECT_EQ(OpenImage("Kavelo_Nothing"), nullptr);
}

TEST(VersionQuestion, AsksOnlyForAnInstalledVersionNotBelowTheNewOne) {
  EXPECT_TRUE(AlreadyInstalled(0x109, 0x109));
  EXPECT_TRUE(AlreadyInstalled(0x109, 0x200));
  EXPECT_FALSE(AlreadyInstalled(0x109, 0x108));
  EXPECT_FALSE(AlreadyInstalled(0x109, 0xFFFFFFFF));
  EXPECT_TRUE(AlreadyInstalled(-1, 0));                 // a negative version is below any
  EXPECT_TRUE(AlreadyInstalled(0x109, 0x80000000));     // compared as unsigned, not negative
  EXPECT_FALSE(AlreadyInstalled(0x7FFFFFFF, 0x10));
}

} // namespace
} // namespace kavelo
