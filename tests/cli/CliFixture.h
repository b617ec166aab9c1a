#pragma once
// kavelo-cli run in-process on the virtual clock, against the simulator's device model behind the
// link seam: one model per handheld address, whole updates in milliseconds.

#include "cli/CliRun.h"
#include "common/FakePlatform.h"
#include "common/SimDeviceLink.h"
#include "common/VirtualClock.h"
#include "update/Images.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <deque>
#include <gmock/gmock.h>
#include <map>
#include <optional>

namespace kavelo::test {

struct TCliRun {
  int Exit = -1;
  QString Out;
  QString Err;
  QStringList OutLines() const { return Lines(Out); }
  QStringList ErrLines() const { return Lines(Err); }
  // Standard output read as one JSON object a line; an unreadable line fails the test.
  std::vector<QJsonObject> Events() const {
    std::vector<QJsonObject> events;
    for (const QString& line : OutLines()) {
      QJsonParseError error{};
      const QJsonDocument doc = QJsonDocument::fromJson(line.toUtf8(), &error);
      EXPECT_EQ(error.error, QJsonParseError::NoError) << line.toStdString();
      EXPECT_TRUE(doc.isObject()) << line.toStdString();
      events.push_back(doc.object());
    }
    return events;
  }
  static QStringList Lines(const QString& text) {
    QStringList lines = text.split(u'\n');
    if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
    return lines;
  }
};

inline kavelosim::Bytes ImageBytes(const char* name) {
  auto stream = OpenImage(name);
  const QByteArray bytes = stream ? stream->readAll() : QByteArray();
  return kavelosim::Bytes(bytes.begin(), bytes.end());
}

// The flash as Update Kavelo leaves it, with the firmware taken over by the restart.
inline ::testing::AssertionResult HoldsTheHandheldImages(const kavelosim::KaveloDevice& device) {
  static const auto firmware = ImageBytes(kImageFirmware);
  static const auto languages = ImageBytes(kImageLanguages);
  if (device.ReadFlash(0x400, firmware.size()) != firmware)
    return ::testing::AssertionFailure() << "the firmware differs";
  if (device.ReadFlash(0x3A000, languages.size()) != languages)
    return ::testing::AssertionFailure() << "the language resources differ";
  if (device.GetControlBlock().oldFirmwareHM != 0x109)
    return ::testing::AssertionFailure() << "the new firmware was not taken over";
  return ::testing::AssertionSuccess();
}

// The window's log of a complete Update Kavelo (English), after its connect line.
inline QStringList HandheldUpdateLog() {
  QStringList log;
  for (const char* step : {"Initializing update", "Reading control block", "Erasing flash memory",
                           "Erasing resources", "Writing firmware", "Writing resources",
                           "Verifying firmware", "Verifying resources", "Writing control block"}) {
    log << QString::fromLatin1(step) + "..." << QString::fromLatin1(step) + " OK";
  }
  log << "Restarting Kavelo..."
      << "Restarting Kavelo";
  return log;
}

class CliTest : public ::testing::Test {
protected:
  CliTest() {
    fPlatform->Adapters = {{"eth0", "192.168.0.5", "255.255.255.0"}};
    fPlatform->Arp = std::vector<TArpRow>{};
  }

  // A handheld at that address, switched on, with the given versions installed.
  kavelosim::KaveloDevice& Handheld(const QString& address, uint32_t hm = 0x108,
                                    uint32_t rm = 0x104, uint32_t resources = 0x112) {
    auto bench = MakeSimDeviceBench(fClock.get());
    bench->HandheldAddress = address;
    bench->Device.PresetInstalledVersions(hm, rm, resources);
    fHandhelds[address] = bench;
    return bench->Device;
  }

  TCliRun Run(QStringList arguments) {
    TCliRun run;
    cli::TCliEnvironment env;
    env.Out = [&run](const QByteArray& bytes) { run.Out += QString::fromLocal8Bit(bytes); };
    env.Err = [&run](const QByteArray& bytes) { run.Err += QString::fromLocal8Bit(bytes); };
    env.OutIsTerminal = OutIsTerminal;
    env.InIsTerminal = InIsTerminal;
    env.ReadAnswer = [this]() -> std::optional<QString> {
      if (Typed.empty()) return std::nullopt;
      const std::optional<QString> line = Typed.front();
      Typed.pop_front();
      return line;
    };
    env.Clock = fClock;
    env.SystemLanguage = SystemLanguage;
    env.LinkFactory = LinkFactory ? LinkFactory : HandheldsFactory();
    run.Exit = cli::RunCli(arguments, env);
    return run;
  }

  // Opens the model of the addressed handheld; an address without one gets a switched-off
  // handheld, which never answers.
  TKaveloLinkFactory HandheldsFactory() {
    return [this](uint32_t address, TKaveloDataEvent handler, uint16_t port, uint16_t localPort) {
      const QString text = IPToStr(address);
      if (!fHandhelds.count(text)) Handheld(text).PowerOff();
      return fHandhelds[text]->Factory()(address, std::move(handler), port, localPort);
    };
  }

  std::shared_ptr<TFakePlatform> fPlatform = std::make_shared<TFakePlatform>();
  TScopedPlatform fPlatformScope{fPlatform};
  std::shared_ptr<TVirtualClock> fClock = std::make_shared<TVirtualClock>();
  std::map<QString, std::shared_ptr<TSimDeviceBench>> fHandhelds;
  bool OutIsTerminal = false;
  bool InIsTerminal = false;
  std::deque<std::optional<QString>> Typed;
  QLocale::Language SystemLanguage = QLocale::English;
  TKaveloLinkFactory LinkFactory;
};

} // namespace kavelo::test
