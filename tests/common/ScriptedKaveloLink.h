#pragma once
// A handheld behind the link seam: records every frame the connection sends and answers from a
// script, synchronously or after a delay on the virtual clock.

#include "common/VirtualClock.h"
#include "handheld/KaveloLink.h"
#include "net/Frame.h"
#include "net/Helpers.h"

#include <QString>

#include <memory>
#include <vector>

namespace kavelo::test {

using TBytes = std::vector<uint8_t>;

struct TSentFrame {
  enum TKind { Transmit, Broadcast, SendFrame, SendFrameTo } Kind;
  TBytes Frame; // as it goes on the wire, length field included
  QString IPAddress;
};

struct TDeviceReply {
  uint16_t Header;
  TBytes Payload;
  uint64_t DelayMs = 0; // 0: delivered before Transmit returns
};

// The device's state lives here, so the test keeps it after the connection frees its link.
struct TScriptedDevice {
  std::function<std::vector<TDeviceReply>(const TBytes& frame)> Responder;
  std::vector<TSentFrame> Sent;
  bool SendSucceeds = true;
  bool HasServer = true;
  bool ServerActive = true;
  bool HasBinding = true;
  QString LocalIP = "192.168.0.5";
  QString PeerIP; // empty: the address the link was opened toward, as a handheld answers
  TVirtualClock* Clock = nullptr;
  TKaveloDataEvent Handler;
  IKaveloLink* Link = nullptr;
  int LinksCreated = 0;
  uint32_t LastAddress = 0;
  uint16_t LastPort = 0;
  uint16_t LastLocalPort = 0;
  std::weak_ptr<TScriptedDevice> Self;

  std::vector<TBytes> Frames(TSentFrame::TKind kind) const {
    std::vector<TBytes> out;
    for (const auto& s : Sent)
      if (s.Kind == kind) out.push_back(s.Frame);
    return out;
  }
  // Delivers a frame to the connection as if it had arrived from PeerIP.
  void Deliver(uint16_t header, const TBytes& payload) {
    if (Handler && Link)
      Handler(Link, header, payload.data(), static_cast<uint16_t>(payload.size()));
  }
  // A search's partners: every update-mode request is answered by an announcement from each of
  // these addresses, then by the update-mode reply.
  void AnnounceFrom(std::vector<QString> peers);
  TKaveloLinkFactory Factory();
};

class TScriptedKaveloLink : public IKaveloLink {
public:
  explicit TScriptedKaveloLink(std::shared_ptr<TScriptedDevice> device) : fDevice(device) {}
  ~TScriptedKaveloLink() override {
    if (auto d = fDevice.lock(); d && d->Link == this) d->Link = nullptr;
  }
  bool Transmit(const uint8_t* Buffer, uint16_t Length) override {
    return Send(TSentFrame::Transmit, Buffer, Length, {});
  }
  bool Broadcast(const uint8_t* Buffer, uint16_t Length) override {
    return Send(TSentFrame::Broadcast, Buffer, Length, {});
  }
  bool Restart() override {
    const uint8_t frame[] = {0x04, 0x00, 0x31, 0x00};
    return Transmit(frame, 4);
  }
  bool PowerOff() override {
    const uint8_t frame[] = {0x04, 0x00, 0x32, 0x00};
    return Transmit(frame, 4);
  }
  bool SendFrame(uint16_t Header, const uint8_t* SendData, uint16_t SendDataSize) override {
    auto frame = BuildFrame(Header, SendData, SendDataSize);
    return Send(TSentFrame::SendFrame, frame.data(), static_cast<uint16_t>(frame.size()), {});
  }
  bool SendFrameTo(uint16_t Header, const uint8_t* SendData, uint16_t SendDataSize,
                   const QString& IPAddress) override {
    auto frame = BuildFrame(Header, SendData, SendDataSize);
    Send(TSentFrame::SendFrameTo, frame.data(), static_cast<uint16_t>(frame.size()), IPAddress);
    return true;
  }
  bool HasServer() const override { return Device()->HasServer; }
  bool ServerActive() const override { return Device()->ServerActive; }
  bool HasBinding() const override { return Device()->HasBinding; }
  QString LocalIP() const override { return Device()->LocalIP; }
  QString PeerIP() const override {
    const auto device = Device();
    return device->PeerIP.isEmpty() ? IPToStr(device->LastAddress) : device->PeerIP;
  }

private:
  std::shared_ptr<TScriptedDevice> Device() const { return fDevice.lock(); }
  bool Send(TSentFrame::TKind kind, const uint8_t* buffer, uint16_t length, const QString& ip) {
    auto device = Device();
    if (!device || length < 4) return false;
    // The link writes the length field itself from the payload length.
    TBytes frame = BuildFrame(ReadLE16(buffer + 2), buffer + 4, length - 4u);
    device->Sent.push_back({kind, frame, ip});
    if (!device->SendSucceeds) return false;
    if (!device->Responder) return true;
    for (const auto& reply : device->Responder(frame)) {
      auto deliver = [weak = fDevice, reply] {
        if (auto d = weak.lock()) d->Deliver(reply.Header, reply.Payload);
      };
      if (reply.DelayMs > 0 && device->Clock)
        device->Clock->Schedule(reply.DelayMs, deliver);
      else
        deliver();
    }
    return true;
  }
  std::weak_ptr<TScriptedDevice> fDevice;
};

inline void TScriptedDevice::AnnounceFrom(std::vector<QString> peers) {
  Responder = [this, peers](const TBytes& f) {
    if (ReadLE16(f.data() + 2) != 0x0041) return std::vector<TDeviceReply>{};
    for (const QString& peer : peers) {
      PeerIP = peer;
      Deliver(0x0010, {0x01});
    }
    return std::vector<TDeviceReply>{{0x0041, {192, 168, 0, 9}}};
  };
}

inline TKaveloLinkFactory TScriptedDevice::Factory() {
  return [this](uint32_t address, TKaveloDataEvent handler, uint16_t port,
                uint16_t localPort) -> std::unique_ptr<IKaveloLink> {
    ++LinksCreated;
    LastAddress = address;
    LastPort = port;
    LastLocalPort = localPort;
    Handler = std::move(handler);
    // The device must be owned by a shared_ptr; the link only observes it.
    auto link = std::make_unique<TScriptedKaveloLink>(Self.lock());
    Link = link.get();
    return link;
  };
}

inline std::shared_ptr<TScriptedDevice> MakeScriptedDevice(TVirtualClock* clock) {
  auto device = std::make_shared<TScriptedDevice>();
  device->Self = device;
  device->Clock = clock;
  return device;
}

} // namespace kavelo::test
