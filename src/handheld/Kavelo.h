#pragma once
// The connection with one handheld: opening it for a search or for one address, the receive
// latch, the request exchange, and the flash and control block operations.

#include "handheld/ControlBlock.h"
#include "handheld/HandheldProtocol.h"
#include "handheld/KaveloLink.h"

#include <QIODevice>
#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <unordered_set>

namespace kavelo {

using TKaveloProgressEvent = std::function<void(const void* Sender, int32_t Max, int32_t Position)>;

// Why a flash or update-mode frame was not taken into the receive latch.
enum class TIgnoredReply {
  NotFromHandheld, // another host sent it while the tool talks to one handheld
  Late,            // it answers a request of this connection that is no longer awaited
};
using TKaveloIgnoredEvent =
    std::function<void(IKaveloLink* Sender, uint16_t Header, const uint8_t* ReceiveBuffer,
                       uint16_t ReceiveBufferSize, TIgnoredReply Reason)>;

class TKavelo {
public:
  // The owner is accepted for the window's sake; the window frees the connection itself.
  explicit TKavelo(void* AOwner = nullptr);
  ~TKavelo();
  TKavelo(const TKavelo&) = delete;
  TKavelo& operator=(const TKavelo&) = delete;

  // Replaces the factory of the link (the UDP endpoint by default).
  void SetLinkFactory(TKaveloLinkFactory factory) { fLinkFactory = std::move(factory); }

  bool Search(const QString& IpAddr, uint16_t Port);
  bool Connect(const QString& IpAddr, uint16_t Port);
  bool Disconnect();
  void Restart();
  void Restart(const QString& IpAdr);
  void PowerOff();
  bool Transmit(const uint8_t* Buffer, uint16_t Length);
  int32_t Receive(uint8_t* Buffer, uint32_t Count);

  bool EraseFlash(uint32_t data_begin, uint32_t data_end, QString& err);
  bool ReadFlash(uint32_t data_begin, uint32_t data_end, uint32_t transfer_size, QIODevice& stream,
                 QString& err);
  bool WriteFlash(uint32_t data_begin, uint32_t data_end, uint32_t transfer_size, QIODevice& stream,
                  QString& err);
  bool VerifyFlash(uint32_t data_begin, uint32_t data_end, uint32_t transfer_size,
                   QIODevice& stream, QString& err);

  bool HMUpdateInit(QString& err);
  bool ReadControlBlock(uint32_t data_begin, TControlBlock& control_buffer, QString& err);
  bool WriteControlBlock(uint32_t data_begin, const TControlBlock& control_buffer, QString& err);

  const TKaveloDataEvent& ReceivedEvent() const { return fReceivedEvent; }
  void SetReceivedEvent(TKaveloDataEvent event) { fReceivedEvent = std::move(event); }
  // Called for the flash and update-mode frames that the latch refuses (for the RX trace).
  void SetIgnoredEvent(TKaveloIgnoredEvent event) { fIgnoredEvent = std::move(event); }
  const TKaveloProgressEvent& Progress() const { return fProgressEvent; }
  void SetProgress(TKaveloProgressEvent event) { fProgressEvent = std::move(event); }
  bool Connected() const { return fConnected; }
  bool HasControlBlock() const { return fHasControlBlock; }
  const QStringList& PeerIPs() const { return fPeerIPs; }
  // The open link, if any (for the window's trace and for tests).
  IKaveloLink* Device() const { return fDevice.get(); }

private:
  enum class TExchangeResult { Received, SendFailed, NothingReceived };
  using TReplyBuffer = std::array<uint8_t, handheld::kReceiveBufferSize>;

  bool Open(const QString& IpAddr, uint16_t Port, bool broadcast);
  void DataReceived(IKaveloLink* Sender, uint16_t Header, const uint8_t* ReceiveBuffer,
                    uint16_t ReceiveBufferSize);
  // Why a flash or update-mode frame must stay out of the latch, if it must.
  std::optional<TIgnoredReply> Refuse(IKaveloLink* Sender, uint16_t Header,
                                      const uint8_t* ReceiveBuffer,
                                      uint16_t ReceiveBufferSize) const;
  void DoProgress(int32_t Max, int32_t Position);
  void Delay(uint32_t Milliseconds);
  bool WaitUntil(uint32_t Timeout, const std::function<bool()>& Condition);
  // One request with its tries; on Received, reply and length hold the latched frame.
  TExchangeResult Exchange(const uint8_t* request, uint16_t length,
                           const handheld::TExchangeTiming& timing, TReplyBuffer& reply,
                           int32_t& length_received);
  TExchangeResult SendWithTries(const uint8_t* request, uint16_t length,
                                const handheld::TExchangeTiming& timing, TReplyBuffer& reply,
                                int32_t& length_received);
  // False with message 199 when no link is open.
  bool RequireEndpoint(QString& err) const;
  // Turns a failed exchange into its message; true when a reply arrived.
  static bool ExchangeFailed(TExchangeResult result, QString& err);

  std::unique_ptr<IKaveloLink> fDevice;
  std::array<uint8_t, handheld::kLatchSize> fReceiveBuffer{};
  int32_t fReceivedLen = 0;
  TKaveloDataEvent fReceivedEvent;
  TKaveloIgnoredEvent fIgnoredEvent;
  TKaveloProgressEvent fProgressEvent;
  bool fConnected = false;
  bool fHasControlBlock = false;
  bool fBroadCast = false;
  QStringList fPeerIPs;
  TKaveloLinkFactory fLinkFactory;
  // The handheld's address of the open endpoint: in unicast mode only it may answer.
  uint32_t fHandheldAddress = 0;
  QString fHandheldAddressText; // as the link reports a sender: compared for every frame
  // The heads (command and address, or the update-mode header) of every request sent since the
  // endpoint opened, and the one whose reply the latch waits for now. A reply with the head of
  // an earlier request comes too late for the one awaited.
  std::unordered_set<uint64_t> fRequestsSent;
  std::optional<uint64_t> fAwaitedRequest;
};

} // namespace kavelo
