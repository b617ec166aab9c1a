#pragma once
// The simulator's device model behind the link seam, on the virtual clock: every frame the
// connection sends goes straight to the model, its replies come back through the connection's
// handler, delayed ones when the virtual clock reaches them. Whole updates run in milliseconds.

#include "KaveloDevice.h"
#include "common/VirtualClock.h"
#include "handheld/KaveloLink.h"
#include "net/Frame.h"
#include "net/Helpers.h"

#include <memory>

namespace kavelo::test {

struct TSimDeviceBench {
  kavelosim::KaveloDevice Device;
  TVirtualClock* Clock = nullptr;
  TKaveloDataEvent Handler;
  IKaveloLink* Link = nullptr;
  uint32_t ToolAddress = MakeIP(192, 168, 0, 5);
  QString HandheldAddress = QStringLiteral("192.168.0.9"); // the sender of its replies
  uint64_t FramesSent = 0;
  std::weak_ptr<TSimDeviceBench> Self;

  void Deliver(const kavelosim::Reply& reply);
  TKaveloLinkFactory Factory();
};

class TSimDeviceLink : public IKaveloLink {
public:
  explicit TSimDeviceLink(std::weak_ptr<TSimDeviceBench> bench) : fBench(std::move(bench)) {}
  // Replies still on their way when the connection closes its link reach nobody.
  ~TSimDeviceLink() override {
    if (auto b = fBench.lock(); b && b->Link == this) {
      b->Link = nullptr;
      b->Handler = nullptr;
    }
  }
  bool Transmit(const uint8_t* Buffer, uint16_t Length) override { return Send(Buffer, Length); }
  bool Broadcast(const uint8_t* Buffer, uint16_t Length) override { return Send(Buffer, Length); }
  bool Restart() override {
    const uint8_t f[] = {0x04, 0x00, 0x31, 0x00};
    return Send(f, 4);
  }
  bool PowerOff() override {
    const uint8_t f[] = {0x04, 0x00, 0x32, 0x00};
    return Send(f, 4);
  }
  bool SendFrame(uint16_t Header, const uint8_t* SendData, uint16_t SendDataSize) override {
    const auto frame = BuildFrame(Header, SendData, SendDataSize);
    return Send(frame.data(), static_cast<uint16_t>(frame.size()));
  }
  bool SendFrameTo(uint16_t Header, const uint8_t* SendData, uint16_t SendDataSize, const QString&) override {
    return SendFrame(Header, SendData, SendDataSize);
  }
  bool HasServer() const override { return true; }
  bool ServerActive() const override { return true; }
  bool HasBinding() const override { return true; }
  QString LocalIP() const override {
    auto b = fBench.lock();
    return IPToStr(b ? b->ToolAddress : 0);
  }
  QString PeerIP() const override {
    auto b = fBench.lock();
    return b ? b->HandheldAddress : QString();
  }

private:
  bool Send(const uint8_t* buffer, uint16_t length) {
    auto bench = fBench.lock();
    if (!bench || length < 4) return false;
    // As on the wire: the link writes the length field from the payload length.
    const auto frame = BuildFrame(ReadLE16(buffer + 2), buffer + 4, length - 4u);
    ++bench->FramesSent;
    const kavelosim::Endpoint from{bench->ToolAddress, 21105};
    for (const auto& reply : bench->Device.HandleDatagram(frame.data(), frame.size(), from)) {
      // On a real socket the second copy of a duplicated reply arrives just after the tool took
      // the first and sent its next request; here that is after the wait step now running.
      const uint64_t delayMs = reply.delayMs + (reply.duplicate ? kWaitStepMs + 1 : 0);
      if (delayMs > 0 && bench->Clock) {
        bench->Clock->Schedule(delayMs, [weak = fBench, reply] {
          if (auto b = weak.lock()) b->Deliver(reply);
        });
      } else {
        bench->Deliver(reply);
      }
    }
    return true;
  }
  std::weak_ptr<TSimDeviceBench> fBench;
};

inline void TSimDeviceBench::Deliver(const kavelosim::Reply& reply) {
  if (!Handler || !Link || reply.bytes.size() < 4) return;
  WalkDatagram(reply.bytes.data(), reply.bytes.size(), [this](const TFrameView& f) {
    Handler(Link, f.Header, f.Payload, f.PayloadSize);
  });
}

inline TKaveloLinkFactory TSimDeviceBench::Factory() {
  return [this](uint32_t, TKaveloDataEvent handler, uint16_t, uint16_t) -> std::unique_ptr<IKaveloLink> {
    Handler = std::move(handler);
    auto link = std::make_unique<TSimDeviceLink>(Self);
    Link = link.get();
    return link;
  };
}

inline std::shared_ptr<TSimDeviceBench> MakeSimDeviceBench(TVirtualClock* clock) {
  auto bench = std::make_shared<TSimDeviceBench>();
  bench->Self = bench;
  bench->Clock = clock;
  if (clock) bench->Device.SetClock([clock] { return clock->NowMs(); });
  return bench;
}

} // namespace kavelo::test
