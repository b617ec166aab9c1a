#include "handheld/Kavelo.h"

#include "handheld/KaveloComm.h"
#include "handheld/Waiting.h"
#include "net/Frame.h"
#include "net/Helpers.h"

#include <cstring>

namespace kavelo {

using namespace handheld;

namespace {

// What ties a reply to its request: the command byte and address of a flash frame (its bytes 4
// to 8, which the handheld's replies echo), or the update-mode header. Frames too short to
// carry them have none.
std::optional<uint64_t> HeadOf(uint16_t header, const uint8_t* payload, size_t size) {
  if (header == kUpdateModeHeader) return uint64_t{kUpdateModeHeader} << 40;
  if (header != kFlashHeader || size < kFlashRequestHeadLength - kFrameHeadSize)
    return std::nullopt;
  return (uint64_t{payload[0]} << 32) | ReadLE32(payload + 1);
}

} // namespace

TKavelo::TKavelo(void* /*AOwner*/) : fLinkFactory(&TKaveloComm::Create) {}

TKavelo::~TKavelo() {
  Disconnect();
}

bool TKavelo::Search(const QString& IpAddr, uint16_t Port) {
  return Open(IpAddr, Port, true);
}

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
  fHandheldAddress = addr;
  fHandheldAddressText = IPToStr(addr);
  fRequestsSent.clear();
  fAwaitedRequest.reset();
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
  fRequestsSent.clear();
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
  if (Length >= kFrameHeadSize)
    if (const auto head =
            HeadOf(ReadLE16(Buffer + 2), Buffer + kFrameHeadSize, Length - kFrameHeadSize))
      fRequestsSent.insert(*head);
  return fBroadCast ? fDevice->Broadcast(Buffer, Length) : fDevice->Transmit(Buffer, Length);
}

int32_t TKavelo::Receive(uint8_t* Buffer, uint32_t Count) {
  if (fReceivedLen > 0)
    std::memcpy(Buffer, fReceiveBuffer.data(), std::min<size_t>(Count, kLatchSize));
  return fReceivedLen;
}

void TKavelo::DataReceived(IKaveloLink* Sender, uint16_t Header, const uint8_t* ReceiveBuffer,
                           uint16_t ReceiveBufferSize) {
  if (Header == kFlashHeader || Header == kUpdateModeHeader) {
    if (const auto reason = Refuse(Sender, Header, ReceiveBuffer, ReceiveBufferSize)) {
      if (fIgnoredEvent) fIgnoredEvent(Sender, Header, ReceiveBuffer, ReceiveBufferSize, *reason);
      return;
    }
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
    if (Sender && fPeerIPs.size() < static_cast<qsizetype>(kMaxPeerIPs))
      fPeerIPs.append(Sender->PeerIP());
    if (fDevice) fDevice->SendFrame(kAnnounceHeader, &kAnnounceAnswer, 1);
  }
}

std::optional<TIgnoredReply> TKavelo::Refuse(IKaveloLink* Sender, uint16_t Header,
                                             const uint8_t* ReceiveBuffer,
                                             uint16_t ReceiveBufferSize) const {
  // Any host on the LAN can send to the tool's port; while the tool talks to one handheld, only
  // that handheld answers. A search must hear every address.
  if (!fBroadCast && Sender && Sender->PeerIP() != fHandheldAddressText)
    return TIgnoredReply::NotFromHandheld;
  // A reply that took longer than its timeout arrives while a later request waits; taken as that
  // one's answer it would fail a good update or put the wrong bytes into a read. A head that no
  // request of this connection had is taken as before, whatever the handheld put there.
  const auto head = HeadOf(Header, ReceiveBuffer, ReceiveBufferSize);
  if (head && head != fAwaitedRequest && fRequestsSent.contains(*head)) return TIgnoredReply::Late;
  return std::nullopt;
}

void TKavelo::DoProgress(int32_t Max, int32_t Position) {
  if (fProgressEvent) fProgressEvent(this, Max, Position);
}

void TKavelo::Delay(uint32_t Milliseconds) {
  kavelo::Delay(Milliseconds);
}

bool TKavelo::WaitUntil(uint32_t Timeout, const std::function<bool()>& Condition) {
  return kavelo::WaitUntil(Timeout, Condition);
}

TKavelo::TExchangeResult TKavelo::Exchange(const uint8_t* request, uint16_t length,
                                           const TExchangeTiming& timing, TReplyBuffer& reply,
                                           int32_t& length_received) {
  fAwaitedRequest =
      HeadOf(ReadLE16(request + 2), request + kFrameHeadSize, length - kFrameHeadSize);
  const TExchangeResult result = SendWithTries(request, length, timing, reply, length_received);
  // Between exchanges nothing is awaited: what still comes for this request is late.
  fAwaitedRequest.reset();
  return result;
}

TKavelo::TExchangeResult TKavelo::SendWithTries(const uint8_t* request, uint16_t length,
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
