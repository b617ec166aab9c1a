// The receive path of the link: a datagram is walked into frames, the first frame with the
// awaited header is claimed as the reply (one per datagram), every other frame goes to the
// holder's callback and then to each observer. The link's endpoint is never activated, so no socket is opened.
//
// Input: byte 0 the awaited header, byte 1 flags, then the datagrams. Flags: bit 0 a callback
// is set, bits 1-2 the number of observers (0..3), bit 3 re-arm the awaited header before every
// datagram, bit 4 arm through the raw-frame request instead (it awaits header 0x20), bit 7 the
// rest holds several datagrams, each led by its length (LE16); otherwise the rest is one.

#include "support/FuzzCheck.h"
#include "support/FuzzInput.h"
#include "net/Frame.h"
#include "net/OrvoCommDevice.h"
#include "net/UdpServer.h"

#include <cstring>
#include <string>
#include <vector>

namespace kavelo::fuzz {
namespace {

struct TEvent {
  char Who; // 'c' callback, 'o' + observer index
  uint16_t Header;
  std::vector<uint8_t> Payload;
  bool operator==(const TEvent&) const = default;
};

class TFuzzLink : public TOrvoCommDevice {
public:
  explicit TFuzzLink(TDataReceivedEvent handler)
      : TOrvoCommDevice(0x010200C0u /* 192.0.2.1 */, std::move(handler), kOrvoUdpPort,
                        std::make_unique<TUdpServer>()) {}

  // Every send fails on the inactive endpoint, which leaves the header armed exactly as a
  // request that timed out does; nothing waits.
  void Arm(uint8_t header) {
    const uint8_t payload[] = {0x01};
    const bool result = SendFrameEx(0x00FF, header, payload, sizeof payload, nullptr, 0, nullptr, 1);
    FUZZ_CHECK(!result, "a send over an inactive endpoint succeeded");
    FUZZ_CHECK(WantedReceiveHeader() == header, "armed 0x%02X, link awaits 0x%02X", header,
               WantedReceiveHeader());
  }
  void ArmRaw() {
    const uint8_t frame[] = {0x05, 0x00, 0x30, 0x00, 0x01};
    FUZZ_CHECK(SendRawFrame(frame, sizeof frame, 1) == -1, "raw frame over an inactive endpoint");
    FUZZ_CHECK(WantedReceiveHeader() == kResultHeader, "raw frame armed 0x%02X",
               WantedReceiveHeader());
  }
  void Receive(const uint8_t* data, size_t length) { ReceiveDatagram(*Server(), data, length); }
  uint8_t Wanted() const { return WantedReceiveHeader(); }
};

class TRecorder : public IOrvoObserver {
public:
  TRecorder(std::vector<TEvent>& events, char who) : fEvents(events), fWho(who) {}
  void FrameReceived(uint16_t Header, const uint8_t* ReceiveBuffer,
                     uint16_t ReceiveBufferSize) override {
    fEvents.push_back({fWho, Header, {ReceiveBuffer, ReceiveBuffer + ReceiveBufferSize}});
  }

private:
  std::vector<TEvent>& fEvents;
  char fWho;
};

struct TModelFrame {
  size_t Offset;
  uint16_t DataLen;
  uint16_t Header;
};

// The walk as the frame format defines it, with the stop rule for a DataLen below 4 or past
// the end of the datagram.
std::vector<TModelFrame> ModelWalk(const uint8_t* data, size_t length) {
  std::vector<TModelFrame> frames;
  size_t offset = 0;
  while (offset < length) {
    if (length - offset < 4) break;
    const uint16_t dataLen = static_cast<uint16_t>(data[offset] | (data[offset + 1] << 8));
    const uint16_t header = static_cast<uint16_t>(data[offset + 2] | (data[offset + 3] << 8));
    if (dataLen < 4 || dataLen > length - offset) break;
    frames.push_back({offset, dataLen, header});
    offset += dataLen;
  }
  return frames;
}

void CheckWalk(const uint8_t* data, size_t length) {
  const auto model = ModelWalk(data, length);
  size_t index = 0;
  const size_t delivered = WalkDatagram(data, length, [&](const TFrameView& view) {
    FUZZ_CHECK(index < model.size(), "walk delivered more than %zu frames", model.size());
    const TModelFrame& m = model[index++];
    FUZZ_CHECK(view.Frame == data + m.Offset, "frame %zu not at offset %zu", index, m.Offset);
    FUZZ_CHECK(view.DataLen == m.DataLen && view.Header == m.Header,
               "frame %zu: DataLen %u Header 0x%04X, expected %u 0x%04X", index, view.DataLen,
               view.Header, m.DataLen, m.Header);
    FUZZ_CHECK(view.Payload == view.Frame + 4 && view.PayloadSize == view.DataLen - 4,
               "frame %zu: payload does not follow the head", index);
    FUZZ_CHECK(view.Frame + view.DataLen <= data + length, "frame %zu runs past the datagram",
               index);
  });
  FUZZ_CHECK(delivered == model.size() && index == model.size(),
             "walk delivered %zu frames, expected %zu", delivered, model.size());
}

} // namespace
} // namespace kavelo::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kavelo;
  using namespace kavelo::fuzz;
  TFuzzInput in(data, size);
  const uint8_t wanted = in.Byte();
  const uint8_t flags = in.Byte();
  const bool withCallback = flags & 0x01;
  const int observers = (flags >> 1) & 0x03;
  const bool rearm = flags & 0x08;
  const bool raw = flags & 0x10;
  const bool several = flags & 0x80;

  // Each datagram in a buffer of exactly its own size, as the endpoint's copy would be at most.
  std::vector<std::vector<uint8_t>> datagrams;
  if (several) {
    while (!in.Empty()) datagrams.push_back(in.Bytes(in.U16() % (kMaxDatagramSize + 1)));
  } else {
    datagrams.push_back(in.Bytes(kMaxDatagramSize));
  }

  std::vector<TEvent> events;
  TDataReceivedEvent handler;
  TFuzzLink* self = nullptr;
  if (withCallback)
    handler = [&](TOrvoCommDevice* sender, uint16_t header, const uint8_t* payload,
                  uint16_t payloadSize) {
      FUZZ_CHECK(sender == self, "callback names another sender");
      events.push_back({'c', header, {payload, payload + payloadSize}});
    };
  TFuzzLink link(handler);
  self = &link;
  std::vector<std::unique_ptr<TRecorder>> recorders;
  for (int k = 0; k < observers; ++k) {
    recorders.push_back(std::make_unique<TRecorder>(events, static_cast<char>('o' + k)));
    link.RegisterObserver(recorders.back().get());
    link.RegisterObserver(recorders.back().get()); // a second registration keeps one entry
  }
  const auto arm = [&] { raw ? link.ArmRaw() : link.Arm(wanted); };
  arm();

  for (const auto& bytes : datagrams) {
    CheckWalk(bytes.data(), bytes.size());
    if (bytes.empty()) continue; // the endpoint never hands over an empty datagram
    if (rearm) arm();
    // What the link must do with this datagram: claim its first frame with the awaited header,
    // at most one (a header-0 frame behind the claimed reply is not claimed over it), else
    // deliver.
    uint16_t awaited = link.Wanted();
    bool claimed = false;
    std::vector<TEvent> expected;
    for (const auto& f : ModelWalk(bytes.data(), bytes.size())) {
      if (!claimed && f.Header == awaited) {
        awaited = 0;
        claimed = true;
        continue;
      }
      std::vector<uint8_t> payload(bytes.begin() + static_cast<long>(f.Offset + 4),
                                   bytes.begin() + static_cast<long>(f.Offset + f.DataLen));
      if (withCallback) expected.push_back({'c', f.Header, payload});
      for (int k = 0; k < observers; ++k)
        expected.push_back({static_cast<char>('o' + k), f.Header, payload});
    }
    // The datagram in a heap block of its exact size, so a read past its end is caught.
    auto copy = std::make_unique<uint8_t[]>(bytes.size());
    std::memcpy(copy.get(), bytes.data(), bytes.size());
    events.clear();
    link.Receive(copy.get(), bytes.size());
    FUZZ_CHECK(events == expected, "%zu deliveries, expected %zu", events.size(),
               expected.size());
    FUZZ_CHECK(link.Wanted() == awaited, "link awaits 0x%02X after the datagram, expected 0x%02X",
               link.Wanted(), awaited);
  }
  for (auto& r : recorders) link.RemoveObserver(r.get());
  return 0;
}
