#include "handheld/Kavelo.h"

#include "handheld/KaveloComm.h"
#include "handheld/Waiting.h"
#include "net/Frame.h"
#include "net/Helpers.h"

#include <cstring>

namespace kavelo {

using namespace handheld;

TKavelo::TKavelo(void* /*AOwner*/) : fLinkFactory(&TKaveloComm::Create) {}

TKavelo::~TKavelo() { Disconnect(); }

bool TKavelo::Search(const QString& IpAddr, uint16_t Port) { return Open(IpAddr, Port, true); }

bool TKavelo::Connect(const QString& IpAddr, uint16_t Port) {
  fBroadCast = false;
  return Open(IpAddr, Port, false);
}

bool TKavelo::Open(const QString& IpAddr, uint16_t Port, bool broadcast) {
  if (!IsValidIP(IpAddr)) return false;
  const uint32_t addr = StrToIP(IpAddr, InvalidIP);
  DeleteArpEntries(addr); // a handheld that took over an address is reached at once
  // A leftover endpoint of a failed open would hold the local port.
  fDevice.reset();
  fConnected = false;
  fDevice = fLinkFactory(
      addr,
      [this](IKaveloLink* sender, uint16_t header, const uint8_t* data, uint16_t size) {
        DataReceived(sender, header, data, size);
      },
      Port, kKaveloPort);
  if (!fDevice || !fDevice->HasServer() || !fDevice->ServerActive()) return false;
  fPeerIPs.clear();
  fConnected = true;
  fBroadCast = broadcast;
  return true;
}

bool TKavelo::Disconnect() {
  fConnected = false;
  fHasControlBlock = false;
  fBroadCast = false;
  if (!fDevice) return false;
  auto device = std::move(fDevice);
  device.reset();
  fPeerIPs.clear();
  return true;
}

void TKavelo::Restart() {
  if (fDevice) fDevice->Restart();
}

void TKavelo::Restart(const QString& IpAdr) {
  if (fDevice) fDevice->SendFrameTo(kRestartHeader, nullptr, 0, IpAdr);
}

void TKavelo::PowerOff() {
  if (fDevice) fDevice->PowerOff();
}

bool TKavelo::Transmit(const uint8_t* Buffer, uint16_t Length) {
  if (!fDevice) return false;
  return fBroadCast ? fDevice->Broadcast(Buffer, Length) : fDevice->Transmit(Buffer, Length);
}

int32_t TKavelo::Receive(uint8_t* Buffer, uint32_t Count) {
  if (fReceivedLen > 0) std::memcpy(Buffer, fReceiveBuffer.data(), std::min<size_t>(Count, kLatchSize));
  return fReceivedLen;
}

void TKavelo::DataReceived(IKaveloLink* Sender, uint16_t Header, const uint8_t* ReceiveBuffer,
                           uint16_t ReceiveBufferSize) {
  if (Header == kFlashHeader || Header == kUpdateModeHeader) {
    fReceivedLen = ReceiveBufferSize + static_cast<int32_t>(kFrameHeadSize);
    WriteLE16(fReceiveBuffer.data(), static_cast<uint16_t>(fReceivedLen));
    WriteLE16(fReceiveBuffer.data() + 2, Header);
    // The latch keeps at most 512 payload bytes; the handheld never sends more.
    const size_t kept = std::min<size_t>(ReceiveBufferSize, kLatchPayloadSize);
    if (kept) std::memcpy(fReceiveBuffer.data() + kFrameHeadSize, ReceiveBuffer, kept);
    std::memset(fReceiveBuffer.data() + kFrameHeadSize + kept, 0, kLatchPayloadSize - kept);
    if (fReceivedEvent) fReceivedEvent(Sender, Header, ReceiveBuffer, ReceiveBufferSize);
    return;
  }
  if (Header == kAnnounceHeader) {
    if (fReceivedEvent) fReceivedEvent(Sender, Header, ReceiveBuffer, ReceiveBufferSize);
    // Anyone on the LAN can announce; a flood of announcements must not grow the list without end.
    if (Sender && fPeerIPs.size() < static_cast<qsizetype>(kMaxPeerIPs)) fPeerIPs.append(Sender->PeerIP());
    if (fDevice) fDevice->SendFrame(kAnnounceHeader, &kAnnounceAnswer, 1);
  }
}

void TKavelo::DoProgress(int32_t Max, int32_t Position) {
  if (fProgressEvent) fProgressEvent(this, Max, Position);
}

void TKavelo::Delay(uint32_t Milliseconds) { kavelo::Delay(Milliseconds); }

bool TKavelo::WaitUntil(uint32_t Timeout, const std::function<bool()>& Condition) {
  return kavelo::WaitUntil(Timeout, Condition);
}

TKavelo::TExchangeResult TKavelo::Exchange(const uint8_t* request, uint16_t length,
                                           const TExchangeTiming& timing, TReplyBuffer& reply,
                                           int32_t& length_received) {
  length_received = -1;
  const auto condition = [&] {
    length_received = Receive(reply.data(), static_cast<uint32_t>(reply.size()));
    return length_received != -1;
  };
  for (int tries = 1;; ++tries) {
    fReceivedLen = -1;
    if (!Transmit(request, length)) return TExchangeResult::SendFailed;
    if (timing.SettleDelayMs != 0) Delay(timing.SettleDelayMs);
    length_received = -1;
    WaitUntil(timing.ReplyTimeoutMs, condition);
    if (length_received != -1) return TExchangeResult::Received;
    if (tries >= timing.Tries) return TExchangeResult::NothingReceived;
  }
}

bool TKavelo::ExchangeFailed(TExchangeResult result, QString& err) {
  if (result == TExchangeResult::SendFailed) err = LocalizedText(200);
  if (result == TExchangeResult::NothingReceived) err = LocalizedText(201);
  return result != TExchangeResult::Received;
}

} // namespace kavelo
