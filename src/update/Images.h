#pragma once
// The images the tool installs, found by name and read as whole byte streams, and where they go.

#include <QIODevice>
#include <QString>

#include <cstdint>
#include <memory>

namespace kavelo {

inline constexpr char kImageFirmware[] = "Kavelo_Firmware";
inline constexpr char kImageRadioModule[] = "Kavelo_ESP8266";
inline constexpr char kImageLanguages[] = "Kavelo_Languages";
inline constexpr char kImagePersistentData[] = "Kavelo_PersistentFlashData";

inline constexpr uint32_t ControlBlockAddress = 0x00000;
inline constexpr uint32_t FirmwareOffset = 0x400;
inline constexpr uint32_t ResourceBlockBegin = 0x30000;
inline constexpr uint32_t ResourceBlockEnd = 0x3FFFF;
inline constexpr uint32_t LanguageAddress = 0x3A000;
inline constexpr uint32_t PersistentDataAddress = 0x40000;
inline constexpr uint32_t kTransferSize = 256;

// The built-in image of that name, opened for reading; nothing if the build lacks it.
std::unique_ptr<QIODevice> OpenImage(const char* name);

// An opened firmware image: the built-in one, or a file the user chose.
struct TOpenedImage {
  std::unique_ptr<QIODevice> Stream;
  bool BuiltIn = false;
  QString Error; // why it could not be opened
};

// The selection rule: the built-in image when the label shows the built-in label text, else the
// label's text taken as a file name.
TOpenedImage OpenFirmwareImage(const QString& labelCaption, const QString& builtInLabel,
                               const char* builtInName);

} // namespace kavelo
