#include "update/Images.h"

#include <QFile>

namespace kavelo {

std::unique_ptr<QIODevice> OpenImage(const char* name) {
  auto file = std::make_unique<QFile>(QStringLiteral(":/images/") + QString::fromLatin1(name));
  if (!file->open(QIODevice::ReadOnly)) return nullptr;
  return file;
}

TOpenedImage OpenFirmwareImage(const QString& labelCaption, const QString& builtInLabel,
                               const char* builtInName) {
  TOpenedImage image;
  if (labelCaption == builtInLabel) {
    image.BuiltIn = true;
    image.Stream = OpenImage(builtInName);
    if (!image.Stream) image.Error = QStringLiteral("The built-in image %1 is missing").arg(QString::fromLatin1(builtInName));
    return image;
  }
  auto file = std::make_unique<QFile>(labelCaption);
  if (!file->open(QIODevice::ReadOnly)) {
    image.Error = QStringLiteral("Cannot open file \"%1\": %2").arg(labelCaption, file->errorString());
    return image;
  }
  image.Stream = std::move(file);
  return image;
}

} // namespace kavelo
