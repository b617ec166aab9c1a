// Erase, read, write and verify against a scripted handheld on the virtual clock.

#include "handheld/HandheldFixture.h"

namespace kavelo::test {
namespace {

using ::testing::ElementsAre;
using ::testing::Pair;

// Bends the k-th reply (1-based) to a request with the given command.
void Bend(TFlashResponder& flash, uint8_t command, int k, std::function<void(TDeviceReply&)> bend) {
  auto count = std::make_shared<int>(0);
  auto* self = &flash;
  flash.Override = [self, command, k, bend, count](const TBytes& f)
      -> std::optional<std::vector<TDeviceReply>> {
    if (f.size() < 5 || f[4] != command || ++*count != k) return std::nullopt;
    auto replies = self->Normal(f);
    for (auto& r : replies) bend(r);
    return replies;
  };
}


class FlashProtocolTest : public HandheldTest {
protected:
  void SetUp() override {
    Connect();
    AnswerWithFlash();
  }
};

TEST_F(FlashProtocolTest, EraseOfOneUnitSendsEraseAndBlankCheckWithItsProgress) {
  QString err;
  ASSERT_TRUE(fKavelo.EraseFlash(0x30000, 0x3FFFF, err));
  EXPECT_EQ(err, "empty");
  EXPECT_THAT(Requests(), ElementsAre(ElementsAre(0x09, 0x00, 0xB0, 0x00, 0xE1, 0x00, 0x00, 0x03, 0x00),
                                      ElementsAre(0x09, 0x00, 0xB0, 0x00, 0xE3, 0x00, 0x00, 0x03, 0x00)));
  EXPECT_THAT(fProgress, ElementsAre(Pair(1, 0), Pair(1, 1), Pair(1, 1)));
  EXPECT_EQ(fClock->NowMs(), 2u * (2000 + 10)); // two settle delays, each reply seen at once
}

TEST_F(FlashProtocolTest, EraseOfExactlyOneUnitReportsAMaximumOfTwo) {
  QString err;
  ASSERT_TRUE(fKavelo.EraseFlash(0, 0x10000, err));
  EXPECT_EQ(Requests().size(), 2u);
  EXPECT_THAT(fProgress, ElementsAre(Pair(2, 0), Pair(2, 1), Pair(2, 2)));
}

TEST_F(FlashProtocolTest, EraseStepsFromAnUnalignedBeginWithoutAligningIt) {
  QString err;
  ASSERT_TRUE(fKavelo.EraseFlash(0x8000, 0x20000, err));
  std::vector<uint32_t> addresses;
  for (const auto& r : Requests()) addresses.push_back(ReadLE32(r.data() + 5));
  EXPECT_THAT(addresses, ElementsAre(0x8000, 0x8000, 0x18000, 0x18000));
  fDevice->Sent.clear();
  ASSERT_TRUE(fKavelo.EraseFlash(0x20000, 0x20000, err)); // empty range: nothing sent
  EXPECT_TRUE(Requests().empty());
}

TEST_F(FlashProtocolTest, EraseNearTheTopOfTheAddressSpaceEnds) {
  // The flash model only knows 512 KB; answer every request as an empty, erased unit.
  fDevice->Responder = [](const TBytes& f) {
    TBytes payload(f.begin() + 4, f.begin() + 9);
    if (f[4] == 0xE3) payload.insert(payload.end(), {0x00, 0x01});
    return std::vector<TDeviceReply>{{0x00B0, payload}};
  };
  QString err;
  ASSERT_TRUE(fKavelo.EraseFlash(0xFFFE8000, 0xFFFFFFFF, err));
  std::vector<uint32_t> addresses;
  for (const auto& r : Requests()) addresses.push_back(ReadLE32(r.data() + 5));
  EXPECT_THAT(addresses, ElementsAre(0xFFFE8000, 0xFFFE8000, 0xFFFF8000, 0xFFFF8000));
}

TEST_F(FlashProtocolTest, ReadSplitsTheRangeIntoTransfers) {
  fFlash.Flash = Pattern(0x80000);
  QBuffer out;
  out.open(QIODevice::ReadWrite);
  QString err;
  ASSERT_TRUE(fKavelo.ReadFlash(0x1000, 0x1000 + 600, 256, out, err));
  std::vector<std::pair<uint32_t, uint16_t>> chunks;
  for (const auto& r : Requests()) chunks.emplace_back(ReadLE32(r.data() + 5), ReadLE16(r.data() + 9));
  EXPECT_THAT(chunks, ElementsAre(Pair(0x1000, 256), Pair(0x1100, 256), Pair(0x1200, 88)));
  EXPECT_EQ(fProgress.front(), std::make_pair(3, 0));
  EXPECT_EQ(fProgress.back(), std::make_pair(3, 3));
  EXPECT_EQ(out.data(), QByteArray(reinterpret_cast<const char*>(fFlash.Flash.data()) + 0x1000, 600));
}

TEST_F(FlashProtocolTest, ReadRequestCarriesItsXorByte) {
  QBuffer out;
  out.open(QIODevice::ReadWrite);
  QString err;
  ASSERT_TRUE(fKavelo.ReadFlash(0, 256, 256, out, err));
  EXPECT_THAT(Requests(), ElementsAre(ElementsAre(0x0C, 0x00, 0xB0, 0x00, 0xE5, 0x00, 0x00, 0x00,
                                                  0x00, 0x00, 0x01, 0x58)));
}

TEST_F(FlashProtocolTest, WriteWithoutAnEndWritesTheWholeStreamFromTheBegin) {
  const TBytes data = Pattern(300);
  QBuffer in;
  QString err;
  ASSERT_TRUE(fKavelo.WriteFlash(0x400, 0, 256, Stream(in, data), err));
  const auto requests = Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_THAT(TBytes(requests[0].begin(), requests[0].begin() + 12),
              ElementsAre(0x0C, 0x01, 0xB0, 0x00, 0xE4, 0x00, 0x04, 0x00, 0x00, 0x00, 0x01, 0x02));
  EXPECT_THAT(TBytes(requests[1].begin(), requests[1].begin() + 12),
              ElementsAre(0x38, 0x00, 0xB0, 0x00, 0xE4, 0x00, 0x05, 0x00, 0x00, 0x2C, 0x00, 0x02));
  EXPECT_TRUE(std::equal(data.begin(), data.end(), fFlash.Flash.begin() + 0x400));
  EXPECT_THAT(fProgress, ElementsAre(Pair(2, 0), Pair(2, 1), Pair(2, 2), Pair(2, 2)));
}

TEST_F(FlashProtocolTest, VerifyOfTheLanguageRangeSendsTwoPassesForItsSingleUnit) {
  const TBytes data = Pattern(21620);
  std::copy(data.begin(), data.end(), fFlash.Flash.begin() + 0x3A000);
  QBuffer in;
  QString err;
  ASSERT_TRUE(fKavelo.VerifyFlash(0x3A000, 0x3A000 + 21620, 256, Stream(in, data), err)) << err.toStdString();
  const auto requests = Requests();
  ASSERT_EQ(requests.size(), 2u);
  for (int pass = 1; pass <= 2; ++pass) {
    const auto& r = requests[pass - 1];
    ASSERT_EQ(r.size(), 267u);
    EXPECT_THAT(TBytes(r.begin(), r.begin() + 10),
                ElementsAre(0x0B, 0x01, 0xB0, 0x00, 0xE2, 0x00, 0x00, 0x03, 0x00, pass));
    EXPECT_EQ(r[266], XorOf(r.data(), 266));
    // Pages before the data stand for erased flash.
    EXPECT_EQ(r[10], pass == 1 ? 0x55 : 0xAA);
    EXPECT_EQ(r[10 + 159], pass == 1 ? 0x55 : 0xAA);
  }
  EXPECT_THAT(fProgress, ElementsAre(Pair(1, 0), Pair(1, 1), Pair(1, 1)));
}

struct VerifyCase {
  const char* Name;
  uint32_t Begin, End;
  int Unit;        // 0-based unit whose pass-1 reply is bent
  uint16_t Page;   // page reported there
  bool Ok;
  const char* Error;
};

class VerifyForgiveness : public FlashProtocolTest, public ::testing::WithParamInterface<VerifyCase> {};

TEST_P(VerifyForgiveness, FailsOnlyAtPagesUpToLastPage) {
  const auto& c = GetParam();
  const TBytes data = Pattern(c.End - c.Begin);
  std::copy(data.begin(), data.end(), fFlash.Flash.begin() + c.Begin);
  Bend(fFlash, 0xE2, 2 * c.Unit + 1, [&](TDeviceReply& r) {
    r.Payload[5] = static_cast<uint8_t>(c.Page);
    r.Payload[6] = static_cast<uint8_t>(c.Page >> 8);
  });
  QBuffer in;
  QString err;
  EXPECT_EQ(fKavelo.VerifyFlash(c.Begin, c.End, 256, Stream(in, data), err), c.Ok);
  EXPECT_EQ(err.toStdString(), c.Error);
}

INSTANTIATE_TEST_SUITE_P(
    Table, VerifyForgiveness,
    ::testing::Values(
        VerifyCase{"SecondUnitPage3", 0, 300 * 256, 1, 3, false,
                   "Verification failed (page number: 259, last page: 300)"},
        VerifyCase{"SecondUnitPage60Forgiven", 0, 300 * 256, 1, 60, true, ""},
        VerifyCase{"LanguageRangeLastPage", 0x3A000, 0x3A000 + 21620, 0, 404, false,
                   "Verification failed (page number: 404, last page: 404)"},
        VerifyCase{"LanguageRangeAboveLastPage", 0x3A000, 0x3A000 + 21620, 0, 405, true, ""},
        VerifyCase{"FirstPage", 0x400, 0x400 + 49056, 0, 0, false,
                   "Verification failed (page number: 0, last page: 199)"}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST_F(FlashProtocolTest, VerifyComparesTheBytesAroundTheDataWithErasedFlash) {
  const TBytes data = Pattern(1000);
  std::copy(data.begin(), data.end(), fFlash.Flash.begin() + 0x400);
  fFlash.Flash[0x10] = 0x00; // before data_begin, page 0
  QBuffer in;
  QString err;
  EXPECT_FALSE(fKavelo.VerifyFlash(0x400, 0x400 + 1000, 256, Stream(in, data), err));
  EXPECT_EQ(err, "Verification failed (page number: 0, last page: 11)");
}

// Every error of the four operations, in English and in German.
struct ErrorCase {
  std::string Name;
  std::function<void(TScriptedDevice&, TFlashResponder&)> Arrange;
  std::function<bool(TKavelo&, QString&)> Run;
  std::string English;
  std::string German;
  bool SendsNothing = false;
};

// Streams for the cases; each run gets fresh ones.
bool Erase(TKavelo& k, QString& err) { return k.EraseFlash(0x30000, 0x40000, err); }
bool Read(TKavelo& k, QString& err, uint32_t size = 256, uint32_t end = 0x3A100) {
  QBuffer out;
  out.open(QIODevice::ReadWrite);
  return k.ReadFlash(0x3A000, end, size, out, err);
}
bool Write(TKavelo& k, QString& err, size_t bytes = 100, uint32_t size = 256, uint32_t end = 0) {
  const TBytes data = Pattern(bytes);
  QBuffer in;
  in.setData(QByteArray(reinterpret_cast<const char*>(data.data()), static_cast<qsizetype>(bytes)));
  in.open(QIODevice::ReadOnly);
  return k.WriteFlash(0x400, end ? end : 0x400 + static_cast<uint32_t>(bytes), size, in, err);
}
bool Verify(TKavelo& k, QString& err, size_t bytes = 300 * 256) {
  const TBytes data = Pattern(bytes);
  QBuffer in;
  in.setData(QByteArray(reinterpret_cast<const char*>(data.data()), static_cast<qsizetype>(bytes)));
  in.open(QIODevice::ReadOnly);
  return k.VerifyFlash(0, static_cast<uint32_t>(bytes), 256, in, err);
}

void Silence(TScriptedDevice& d, TFlashResponder&) { d.Responder = nullptr; }
void FailSends(TScriptedDevice& d, TFlashResponder&) { d.SendSucceeds = false; }

const std::vector<ErrorCase>& ErrorCases() {
  static const std::vector<ErrorCase> cases = {
      {"EraseNothingReceived", Silence, Erase, "Nothing received", "Nichts empfangen"},
      {"EraseSendFails", FailSends, Erase, "Sending failed", "Senden fehlgeschlagen"},
      {"EraseBadLength",
       [](TScriptedDevice&, TFlashResponder& f) {
         Bend(f, 0xE1, 1, [](TDeviceReply& r) { r.Payload.resize(261); });
       },
       Erase, "Invalid packet length (calculated: 265, received: 9)",
       "Ungültige Paketlänge"},
      {"EraseWrongEcho",
       [](TScriptedDevice&, TFlashResponder& f) {
         Bend(f, 0xE1, 1, [](TDeviceReply& r) { r.Payload[3] = 0x04; });
       },
       Erase, "Incorrect answer", "Inkorrekte Antwort"},
      {"BlankCheckFindsData",
       [](TScriptedDevice&, TFlashResponder& f) {
         Bend(f, 0xE3, 1, [](TDeviceReply& r) { r.Payload[5] = 12; r.Payload[6] = 0; });
       },
       Erase, "Data found (page number: 12)", "Daten gefunden (Seitennummer: 12)"},
      {"ReadEmptyRange", nullptr,
       [](TKavelo& k, QString& err) { return Read(k, err, 256, 0x3A000); },
       "Invalid offset (data end <= data begin)", "Ungültiger Offset (Datenende <= Datenbeginn)",
       true},
      {"ReadReplyShorterThanItsCount",
       [](TScriptedDevice&, TFlashResponder& f) {
         Bend(f, 0xE5, 1, [](TDeviceReply& r) { r.Payload.pop_back(); });
       },
       [](TKavelo& k, QString& err) { return Read(k, err); },
       "Invalid packet length (calculated: 267, received: 266)", "Ungültige Paketlänge"},
      {"ReadNothingReceived", Silence, [](TKavelo& k, QString& err) { return Read(k, err); },
       "Nothing received", "Nichts empfangen"},
      {"ReadTransferSizeZero", nullptr, [](TKavelo& k, QString& err) { return Read(k, err, 0); },
       "Invalid data length (expected: 501, received: 0)",
       "Ungültige Datenlänge (erwartet: 501, empfangen: 0)", true},
      {"ReadTransferSizeTooLarge", nullptr,
       [](TKavelo& k, QString& err) { return Read(k, err, 502); },
       "Invalid data length (expected: 501, received: 502)",
       "Ungültige Datenlänge (erwartet: 501, empfangen: 502)", true},
      {"WriteEmptyStream", nullptr, [](TKavelo& k, QString& err) { return Write(k, err, 0); },
       "Reading file data failed", "Lesen der Dateidaten fehlgeschlagen", true},
      {"WriteRangeLongerThanStream", nullptr,
       [](TKavelo& k, QString& err) { return Write(k, err, 100, 256, 0x400 + 101); },
       "Reading file data failed", "Lesen der Dateidaten fehlgeschlagen", true},
      {"WriteStreamPastTheTopOfTheAddressSpace", nullptr,
       [](TKavelo& k, QString& err) {
         const TBytes data = Pattern(300);
         QBuffer in;
         FillStream(in, data);
         return k.WriteFlash(0xFFFFFF00, 0, 256, in, err);
       },
       "Reading file data failed", "Lesen der Dateidaten fehlgeschlagen", true},
      {"WriteTransferSizeTooLarge", nullptr,
       [](TKavelo& k, QString& err) { return Write(k, err, 100, 501); },
       "Invalid data length (expected: 500, received: 501)",
       "Ungültige Datenlänge (erwartet: 500, empfangen: 501)", true},
      {"WriteBadLength",
       [](TScriptedDevice&, TFlashResponder& f) {
         Bend(f, 0xE4, 1, [](TDeviceReply& r) { r.Payload.pop_back(); });
       },
       [](TKavelo& k, QString& err) { return Write(k, err, 300); },
       "Invalid packet length (calculated: 267, received: 268)", "Ungültige Paketlänge"},
      {"WriteCountDiffers",
       [](TScriptedDevice&, TFlashResponder& f) {
         Bend(f, 0xE4, 1, [](TDeviceReply& r) { r.Payload[5] = 255; r.Payload[6] = 0; });
       },
       [](TKavelo& k, QString& err) { return Write(k, err, 300); },
       "Invalid data length (expected: 256, received: 255)",
       "Ungültige Datenlänge (erwartet: 256, empfangen: 255)"},
      {"WriteReadBackDiffers",
       [](TScriptedDevice&, TFlashResponder& f) {
         Bend(f, 0xE4, 2, [](TDeviceReply& r) { r.Payload.back() ^= 0x01; });
       },
       [](TKavelo& k, QString& err) { return Write(k, err, 300); }, "Memory differs",
       "Speicher differiert"},
      {"VerifyPageDiffers",
       [](TScriptedDevice&, TFlashResponder& f) {
         const TBytes data = Pattern(300 * 256);
         std::copy(data.begin(), data.end(), f.Flash.begin());
         Bend(f, 0xE2, 4, [](TDeviceReply& r) { r.Payload[5] = 3; r.Payload[6] = 0; });
       },
       [](TKavelo& k, QString& err) { return Verify(k, err); },
       "Verification failed (page number: 259, last page: 300)",
       "Verifizierung fehlgeschlagen (Seitennummer: 259, letzte Seite: 300)"},
      {"VerifyBadLength",
       [](TScriptedDevice&, TFlashResponder& f) {
         Bend(f, 0xE2, 1, [](TDeviceReply& r) { r.Payload.resize(300); });
       },
       [](TKavelo& k, QString& err) { return Verify(k, err); },
       "Invalid packet length (calculated: 304, received: 48)", "Ungültige Paketlänge"},
      {"VerifyEmptyStream", nullptr, [](TKavelo& k, QString& err) { return Verify(k, err, 0); },
       "Reading file data failed", "Lesen der Dateidaten fehlgeschlagen", true},
      {"VerifyNothingReceived", Silence, [](TKavelo& k, QString& err) { return Verify(k, err); },
       "Nothing received", "Nichts empfangen"},
  };
  return cases;
}

class FlashErrors : public HandheldTest,
                    public ::testing::WithParamInterface<std::tuple<size_t, int>> {};

TEST_P(FlashErrors, StopWithTheLocalizedText) {
  const auto& c = ErrorCases()[std::get<0>(GetParam())];
  const int base = std::get<1>(GetParam());
  Connect();
  AnswerWithFlash();
  if (c.Arrange) c.Arrange(*fDevice, fFlash);
  SetLanguageBase(base);
  QString err = "stale";
  EXPECT_FALSE(c.Run(fKavelo, err));
  EXPECT_EQ(err.toStdString(), base == 2000 ? c.English : c.German);
  if (c.SendsNothing) {
    EXPECT_TRUE(fDevice->Sent.empty());
  }
}

INSTANTIATE_TEST_SUITE_P(Table, FlashErrors,
                         ::testing::Combine(::testing::Range<size_t>(0, ErrorCases().size()),
                                            ::testing::Values(2000, 1000)),
                         [](const auto& info) {
                           return ErrorCases()[std::get<0>(info.param)].Name +
                                  (std::get<1>(info.param) == 2000 ? "_en" : "_de");
                         });

TEST_F(HandheldTest, EveryOperationNeedsAnOpenEndpoint) {
  QString err;
  QBuffer stream;
  stream.open(QIODevice::ReadWrite);
  TControlBlock block{};
  EXPECT_FALSE(fKavelo.EraseFlash(0, 1, err));
  EXPECT_EQ(err, "Not connected");
  err.clear();
  EXPECT_FALSE(fKavelo.ReadFlash(0, 1, 256, stream, err));
  EXPECT_EQ(err, "Not connected");
  EXPECT_FALSE(fKavelo.WriteFlash(0, 1, 256, stream, err));
  EXPECT_EQ(err, "Not connected");
  EXPECT_FALSE(fKavelo.VerifyFlash(0, 1, 256, stream, err));
  EXPECT_EQ(err, "Not connected");
  EXPECT_FALSE(fKavelo.HMUpdateInit(err));
  EXPECT_EQ(err, "Not connected");
  EXPECT_FALSE(fKavelo.ReadControlBlock(0, block, err));
  EXPECT_EQ(err, "Not connected");
  SetLanguageBase(1000);
  EXPECT_FALSE(fKavelo.WriteControlBlock(0, block, err));
  EXPECT_EQ(err, "Nicht verbunden");
}

// An unanswered request costs its tries, each a settle delay and a reply timeout.
struct CostCase {
  std::string Name;
  std::function<bool(TKavelo&, QString&)> Run;
  uint64_t VirtualMs;
  size_t Requests;
};

class UnansweredCost : public HandheldTest, public ::testing::WithParamInterface<CostCase> {};

TEST_P(UnansweredCost, FiveTriesEachWithSettleAndTimeout) {
  Connect();
  QString err;
  EXPECT_FALSE(GetParam().Run(fKavelo, err));
  EXPECT_EQ(err, "Nothing received");
  EXPECT_EQ(fClock->NowMs(), GetParam().VirtualMs);
  EXPECT_EQ(Requests().size(), GetParam().Requests);
  const auto requests = Requests();
  for (const auto& r : requests) EXPECT_EQ(r, requests.front()); // the same request each try
}

INSTANTIATE_TEST_SUITE_P(
    Table, UnansweredCost,
    ::testing::Values(CostCase{"Erase", Erase, 5 * (2000 + 3000), 5},
                      CostCase{"Read", [](TKavelo& k, QString& e) { return Read(k, e); }, 5 * 200, 5},
                      CostCase{"Write", [](TKavelo& k, QString& e) { return Write(k, e); }, 5 * 200, 5},
                      CostCase{"Verify", [](TKavelo& k, QString& e) { return Verify(k, e); }, 5 * 500, 5},
                      CostCase{"UpdateInit", [](TKavelo& k, QString& e) { return k.HMUpdateInit(e); },
                               5000, 1}),
    [](const auto& info) { return info.param.Name; });

// A device that yields more bytes than the size it reports, as a pipe or a growing file can.
class TUnderstatedStream : public QIODevice {
public:
  TUnderstatedStream(TBytes bytes, qint64 reported) : fBytes(std::move(bytes)), fReported(reported) {
    open(QIODevice::ReadOnly);
  }
  qint64 size() const override { return fReported; }

protected:
  qint64 readData(char* data, qint64 maxSize) override {
    const qint64 n = std::min<qint64>(maxSize, static_cast<qint64>(fBytes.size()) - fRead);
    std::memcpy(data, fBytes.data() + fRead, static_cast<size_t>(n));
    fRead += n;
    return n;
  }
  qint64 writeData(const char*, qint64) override { return -1; }
  bool isSequential() const override { return true; }

private:
  TBytes fBytes;
  qint64 fReported;
  qint64 fRead = 0;
};

TEST_F(FlashProtocolTest, VerifyCoversEveryByteAStreamYieldsBeyondItsReportedSize) {
  const TBytes data = Pattern(0x18000, 21);
  std::copy(data.begin(), data.end(), fFlash.Flash.begin());
  TUnderstatedStream stream(data, 0x100);
  QString err;
  ASSERT_TRUE(fKavelo.VerifyFlash(0, 0x100, 256, stream, err)) << err.toStdString();
  std::vector<uint32_t> units;
  for (const auto& r : Requests()) units.push_back(ReadLE32(r.data() + 5));
  EXPECT_THAT(units, ElementsAre(0x00000, 0x00000, 0x10000, 0x10000)); // both units of the data
}

TEST_F(FlashProtocolTest, ALateReplyDuringTheNextTryIsTakenAsTheAnswer) {
  // The first try's reply comes after its timeout; the second try then sees it at once.
  auto first = std::make_shared<bool>(true);
  fFlash.Override = [this, first](const TBytes& f) -> std::optional<std::vector<TDeviceReply>> {
    if (!*first) return std::nullopt;
    *first = false;
    auto replies = fFlash.Normal(f);
    for (auto& r : replies) r.DelayMs = 250;
    return replies;
  };
  QBuffer out;
  out.open(QIODevice::ReadWrite);
  QString err;
  EXPECT_TRUE(fKavelo.ReadFlash(0, 256, 256, out, err)) << err.toStdString();
  EXPECT_EQ(Requests().size(), 2u);
}

} // namespace
} // namespace kavelo::test
