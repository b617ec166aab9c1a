// The handheld connection's receive latch and the reply checks of erase, read, write, verify,
// the update-mode request and the control block, fed with replies that the input chooses
// (see support/ReplyScript.h). The link is the scripted device and time is virtual: nothing
// touches the network and no time passes.
//
// Input: a flags byte (connect or search, or stay unconnected; the endpoint's address text),
// then up to three operations, each an operation byte and its parameters; the replies to its
// requests are drawn from the bytes that follow.

#include "common/FakePlatform.h"
#include "common/ScriptedKaveloLink.h"
#include "common/VirtualClock.h"
#include "handheld/ControlBlock.h"
#include "handheld/Kavelo.h"
#include "net/Helpers.h"
#include "support/FlashModel.h"
#include "support/FuzzCheck.h"
#include "support/FuzzInput.h"
#include "support/HandheldChecks.h"
#include "support/ReplyScript.h"

#include <QBuffer>
#include <QLocale>

#include <algorithm>
#include <cstring>

namespace kavelo::fuzz {
namespace {

using test::TSentFrame;

// Flash addresses worth starting from: the control block, the language resources, unit
// boundaries, and the top of the address space where ranges wrap.
constexpr uint32_t kBases[] = {0,          0x30000,    0x3A000,    0xFF00,     0x1FFFF,
                               0x7FFFFF00, 0xFFFF0000, 0xFFFFFE00, 0xFFFFFDA8, 0xFFFFFFFF};

uint32_t Address(TFuzzInput& in) {
  const uint32_t base = kBases[in.Byte() % std::size(kBases)];
  return base + in.Range(0, 0x3FF);
}

uint32_t TransferSize(TFuzzInput& in) { return in.Bool() ? 256 : in.Range(0, 600); }

// data_end: a short range, about one or two units (erase and verify), empty, or reversed. A
// range never spans more than that, also where it wraps at the top of the address space (then
// data_end lies below data_begin), so every operation stays small.
uint32_t End(TFuzzInput& in, uint32_t begin, bool units) {
  switch (in.Byte() % 8) {
  case 6:
    return begin;
  case 7:
    return begin - std::min(in.Range(1, 0xFFFF), begin); // below data_begin, never wrapping
  default:
    if (units && in.Bool()) {
      const uint32_t count = in.Range(1, 2);
      return begin + 0x10000 * count + in.Range(0, 0x1FF) - 0x100;
    }
    return begin + in.Range(0, 600);
  }
}

QByteArray Data(TFuzzInput& in) {
  const uint32_t size = in.Range(0, 600);
  QByteArray data(static_cast<qsizetype>(size), '\0');
  // Bytes from the input when it has them, a pattern after that.
  for (uint32_t k = 0; k < size; ++k)
    data[k] = static_cast<char>(in.Empty() ? static_cast<uint8_t>(k * 37 + 11) : in.Byte());
  return data;
}

class TRun {
public:
  explicit TRun(TFuzzInput& in) : fIn(in) {
    fDevice->Responder = [this](const test::TBytes& frame) { return fScript(frame); };
    fKavelo.SetLinkFactory(fDevice->Factory());
    fKavelo.SetProgress([this](const void*, int32_t max, int32_t position) {
      fProgress.emplace_back(max, position);
    });
    fKavelo.SetReceivedEvent([this](IKaveloLink*, uint16_t, const uint8_t*, uint16_t) {
      ++fReceivedEvents;
    });
  }

  void Open() {
    const uint8_t flags = fIn.Byte();
    fSearch = flags & 0x01;
    if (flags & 0x02) {
      // The endpoint's own address as the update-mode request reads it, from the input.
      const auto text = fIn.Bytes(fIn.Range(0, 24));
      fDevice->LocalIP = QString::fromLatin1(reinterpret_cast<const char*>(text.data()),
                                             static_cast<qsizetype>(text.size()));
    }
    if ((flags & 0xF0) == 0xF0) return; // stay unconnected: every operation must refuse
    const bool opened = fSearch ? fKavelo.Search("192.168.0.255", 21105)
                                : fKavelo.Connect("192.168.0.9", 21105);
    FUZZ_CHECK(opened, "the scripted link did not open");
    // After opening: an endpoint that lost its server or its binding.
    if ((flags & 0x0C) == 0x04) fDevice->HasServer = false;
    if ((flags & 0x0C) == 0x08) fDevice->HasBinding = false;
  }

  void Operation() {
    const auto op = fIn.Byte() % 8;
    fDevice->SendSucceeds = true;
    fProgress.clear();
    const size_t sentBefore = fDevice->Sent.size();
    QString err = QStringLiteral("stale");
    bool ok = false;
    std::vector<TExchange> exchanges;
    const auto requests = [&] {
      std::vector<test::TBytes> out;
      const auto kind = fSearch ? TSentFrame::Broadcast : TSentFrame::Transmit;
      for (size_t k = sentBefore; k < fDevice->Sent.size(); ++k) {
        const auto& s = fDevice->Sent[k];
        if (s.Kind == TSentFrame::SendFrame) continue; // answers to announcements
        FUZZ_CHECK(s.Kind == kind, "request went out by the wrong route");
        out.push_back(s.Frame);
      }
      return Exchanges(out);
    };
    switch (op) {
    case 0: {
      const uint32_t begin = Address(fIn);
      const uint32_t end = End(fIn, begin, true);
      ok = fKavelo.EraseFlash(begin, end, err);
      CheckErase(exchanges = requests(), begin, end, ok);
      if (ok) {
        const bool any = begin < end;
        FUZZ_CHECK(err == (any ? LocalizedText(205) : QString()), "erase succeeded with '%s'",
                   qPrintable(err));
      }
      break;
    }
    case 1: {
      const uint32_t begin = Address(fIn);
      const uint32_t end = End(fIn, begin, false);
      const uint32_t ts = TransferSize(fIn);
      QBuffer stream;
      stream.open(QIODevice::ReadWrite);
      ok = fKavelo.ReadFlash(begin, end, ts, stream, err);
      CheckRead(exchanges = requests(), begin, end, ts, ok, stream.size());
      break;
    }
    case 2:
    case 3: {
      const uint32_t begin = Address(fIn);
      const uint32_t end = End(fIn, begin, op == 3);
      const uint32_t ts = TransferSize(fIn);
      QByteArray data = Data(fIn);
      QBuffer stream(&data);
      stream.open(QIODevice::ReadOnly);
      if (op == 2) {
        ok = fKavelo.WriteFlash(begin, end, ts, stream, err);
        CheckWrite(exchanges = requests(), begin, end, ts, ok, data);
      } else {
        ok = fKavelo.VerifyFlash(begin, end, ts, stream, err);
        CheckVerify(exchanges = requests(), begin, end, ok, data);
      }
      break;
    }
    case 4:
      ok = fKavelo.HMUpdateInit(err);
      CheckUpdateInit(exchanges = requests(), ok, err);
      break;
    case 5: {
      const uint32_t begin = fIn.Bool() ? 0 : Address(fIn);
      TControlBlock block;
      std::memset(&block, 0xA5, sizeof block);
      TControlBlock before = block;
      const bool had = fKavelo.HasControlBlock();
      ok = fKavelo.ReadControlBlock(begin, block, err);
      CheckRead(exchanges = requests(), begin, begin + 256, 256, ok, ok ? 256 : 0);
      if (!ok) {
        FUZZ_CHECK(std::memcmp(&block, &before, sizeof block) == 0, "failed read changed the block");
        FUZZ_CHECK(fKavelo.HasControlBlock() == had, "failed read changed HasControlBlock");
      } else {
        FUZZ_CHECK(fKavelo.HasControlBlock(), "read control block without HasControlBlock");
      }
      break;
    }
    case 6: {
      const uint32_t begin = fIn.Bool() ? 0 : Address(fIn);
      TControlBlock block;
      const auto bytes = fIn.Bytes(sizeof block);
      std::memset(&block, 0xFF, sizeof block);
      if (!bytes.empty()) std::memcpy(&block, bytes.data(), bytes.size());
      ok = fKavelo.WriteControlBlock(begin, block, err);
      const QByteArray data(reinterpret_cast<const char*>(&block), sizeof block);
      CheckWrite(exchanges = requests(), begin, begin + 256, 256, ok, data);
      break;
    }
    default:
      Latch();
      return;
    }
    FUZZ_CHECK(ok || !err.isEmpty(), "operation %u failed without a text", op);
    if (!fKavelo.Connected() && !fKavelo.Device())
      FUZZ_CHECK(!ok && err == LocalizedText(199) && exchanges.empty(),
                 "operation %u without a connection: '%s'", op, qPrintable(err));
    CheckProgress(op, ok);
  }

  // Frames straight into the latch, outside any operation, each read back with Receive.
  void Latch() {
    // What an earlier operation left in the latch is not modelled; check from the first frame
    // latched here on.
    fLatched.reset();
    const int frames = 1 + fIn.Byte() % 8;
    for (int k = 0; k < frames && fDevice->Link; ++k) {
      uint16_t header = 0;
      switch (fIn.Byte() % 4) {
      case 0: header = 0x00B0; break;
      case 1: header = 0x0041; break;
      case 2: header = 0x0010; break;
      default: header = fIn.U16(); break;
      }
      const auto payload = fIn.Bytes(fIn.Range(0, kMaxFuzzedPayload));
      const size_t answersBefore = fDevice->Frames(TSentFrame::SendFrame).size();
      const qsizetype peersBefore = fKavelo.PeerIPs().size();
      const int eventsBefore = fReceivedEvents;
      // Outside an operation nothing is awaited: a frame that answers a request sent on this
      // connection comes too late and stays out of the latch.
      const bool late = AnswersASentRequest(header, payload);
      fDevice->Deliver(header, payload);
      const bool latched = (header == 0x00B0 || header == 0x0041) && !late;
      const bool announce = header == 0x0010;
      FUZZ_CHECK(fReceivedEvents == eventsBefore + ((latched || announce) ? 1 : 0),
                 "frame 0x%04X: %d received events", header, fReceivedEvents - eventsBefore);
      const qsizetype peersAfter =
          std::min<qsizetype>(peersBefore + (announce ? 1 : 0), handheld::kMaxPeerIPs);
      FUZZ_CHECK(fKavelo.PeerIPs().size() == peersAfter,
                 "frame 0x%04X changed the peer list wrongly", header);
      const auto answers = fDevice->Frames(TSentFrame::SendFrame);
      FUZZ_CHECK(answers.size() == answersBefore + (announce ? 1 : 0) &&
                     (!announce || answers.back() == test::TBytes{0x05, 0x00, 0x10, 0x00, 0x12}),
                 "frame 0x%04X: wrong answer to the announcement", header);
      if (latched) fLatched = {header, payload};
      if (!fLatched) continue;
      auto buffer = std::make_unique<uint8_t[]>(512); // exactly what every caller passes
      const int32_t length = fKavelo.Receive(buffer.get(), 512);
      const auto& [h, p] = *fLatched;
      FUZZ_CHECK(length == static_cast<int32_t>(p.size() + 4), "latch length %d for %zu bytes",
                 length, p.size());
      FUZZ_CHECK(ReadLE16(buffer.get()) == static_cast<uint16_t>(p.size() + 4) &&
                     ReadLE16(buffer.get() + 2) == h,
                 "latch head wrong for header 0x%04X", h);
      for (size_t b = 4; b < 512; ++b) {
        const uint8_t expected = b - 4 < p.size() ? p[b - 4] : 0;
        FUZZ_CHECK(buffer[b] == expected, "latch byte %zu is 0x%02X, expected 0x%02X", b,
                   buffer[b], expected);
      }
    }
  }

private:
  bool AnswersASentRequest(uint16_t header, const test::TBytes& payload) const {
    for (const auto& sent : fDevice->Sent) {
      if (sent.Kind != TSentFrame::Transmit && sent.Kind != TSentFrame::Broadcast) continue;
      const auto& f = sent.Frame;
      if (f.size() < 4 || ReadLE16(f.data() + 2) != header) continue;
      if (header == 0x0041) return true;
      if (header == 0x00B0 && payload.size() >= 5 && f.size() >= 9 && std::equal(payload.begin(), payload.begin() + 5, f.begin() + 4))
        return true;
    }
    return false;
  }
  void CheckUpdateInit(const std::vector<TExchange>& ex, bool ok, const QString& err) {
    if (!fKavelo.Device() || !fDevice->HasServer || !fDevice->HasBinding) {
      FUZZ_CHECK(!ok && ex.empty(), "update-mode request without server or binding");
      return;
    }
    FUZZ_CHECK(ex.size() == 1 && ex[0].Tries == 1, "update-mode request sent %zu times",
               ex.size());
    const uint32_t addr = StrToIP(fDevice->LocalIP, InvalidIP);
    const test::TBytes expected{0x08, 0x00, 0x41, 0x00, IPByte(1, addr), IPByte(2, addr),
                                IPByte(3, addr), IPByte(4, addr)};
    FUZZ_CHECK(ex[0].Request == expected, "update-mode request does not carry our address");
    if (ok) {
      QString trace = QStringLiteral("TX ");
      for (uint8_t b : expected) trace += QStringLiteral(" %1").arg(b, 2, 16, QChar(u'0')).toUpper();
      trace += QStringLiteral(" ... ") + fDevice->LocalIP;
      FUZZ_CHECK(err == trace, "update-mode trace '%s'", qPrintable(err));
    }
  }

  void CheckProgress(unsigned op, bool ok) {
    for (size_t k = 0; k < fProgress.size(); ++k) {
      const auto [max, position] = fProgress[k];
      FUZZ_CHECK(max == fProgress.front().first, "operation %u changed its progress maximum", op);
      FUZZ_CHECK(position >= 0 && position <= max, "operation %u: progress (%d, %d)", op, max,
                 position);
      FUZZ_CHECK(k == 0 || position >= fProgress[k - 1].second, "operation %u: progress went back",
                 op);
    }
    if (ok && op <= 3) {
      FUZZ_CHECK(!fProgress.empty() && fProgress.front().second == 0 &&
                     fProgress.back().second == fProgress.back().first,
                 "operation %u succeeded without its first or final progress", op);
    }
  }

  TFuzzInput& fIn;
  test::TScopedVirtualClock fClock;
  std::shared_ptr<test::TScriptedDevice> fDevice = test::MakeScriptedDevice(&*fClock);
  TFlashModel fModel;
  TReplyScript fScript{fIn, fModel, *fDevice};
  TKavelo fKavelo;
  bool fSearch = false;
  int fReceivedEvents = 0;
  std::vector<std::pair<int32_t, int32_t>> fProgress;
  std::optional<std::pair<uint16_t, test::TBytes>> fLatched;
};

} // namespace
} // namespace kavelo::fuzz

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  QLocale::setDefault(QLocale::c());
  kavelo::SetLanguageBase(2000);
  // The connection purges the ARP cache when it opens; a fake one keeps the machine's alone.
  static auto platform = std::make_shared<kavelo::test::TFakePlatform>();
  platform->Arp = std::vector<kavelo::TArpRow>{};
  kavelo::SetPlatform(platform);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  kavelo::fuzz::TFuzzInput in(data, size);
  kavelo::fuzz::TRun run(in);
  run.Open();
  const int operations = 1 + in.Byte() % 3;
  for (int k = 0; k < operations; ++k) run.Operation();
  return 0;
}
