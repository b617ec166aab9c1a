#pragma once
// The one object through which the tool talks UDP to a handheld or a command station.

#include "net/AutoResetEvent.h"
#include "net/CommandStationRecords.h"
#include "net/Frame.h"
#include "net/OrvoObserver.h"
#include "net/UdpServer.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <vector>

namespace kavelo {

class TOrvoCommDevice;

// ReceiveBuffer is valid only during the call.
using TDataReceivedEvent =
    std::function<void(TOrvoCommDevice* Sender, uint16_t Header, const uint8_t* ReceiveBuffer,
                       uint16_t ReceiveBufferSize)>;
using TSetProgressEvent = std::function<void(const void* Sender, int32_t Max, int32_t Position)>;

inline constexpr size_t kReplyStoreSize = 32768;
inline constexpr uint32_t kCommandTimeoutMs = 500;
inline constexpr uint32_t kTunnelTimeoutMs = 1000;
inline constexpr size_t kTunnelAckBufferSize = 32768;

class TOrvoCommDevice : public IOrvoObservedSubject {
public:
  // Never fails on the network's account: when the endpoint cannot be set up, Server() is null.
  TOrvoCommDevice(uint32_t aIPAddress, TDataReceivedEvent aDataReceivedEvent, uint16_t udpPort,
                  uint16_t localPort = 0);
  ~TOrvoCommDevice() override;
  TOrvoCommDevice(const TOrvoCommDevice&) = delete;
  TOrvoCommDevice& operator=(const TOrvoCommDevice&) = delete;

  void RegisterObserver(IOrvoObserver* aObserver) override;
  void RemoveObserver(IOrvoObserver* aObserver) override;
  void NotifyObservers(uint16_t Header, const uint8_t* ReceiveBuffer,
                       uint16_t ReceiveBufferSize) override;

  void StartProgress(int32_t Max);
  void SetProgress(int32_t Position);
  void StopProgress();
  void SetOnSetProgress(TSetProgressEvent event) { fOnSetProgress = std::move(event); }

  TUdpServer* Server() const { return fServer.get(); }
  uint32_t CFG_LastBroadcastFlags() const { return fLastBroadcastFlags; }
  uint32_t IPAddress() const { return fIPAddress; }
  uint16_t Port() const { return fPort; }

  // ---- the command-station command set ----
  // None of these is used by the update tool itself; they are the link's interface for programs
  // that talk to a command station and the boosters, decoders and buses behind it.
  //
  // Reading a record: with WaitFor the request waits up to kCommandTimeoutMs for the reply,
  // which fills the record (never beyond its size). Where the size is checked, the result is
  // true only for a reply of exactly the record's size. Without WaitFor the request goes out,
  // the record is left alone and the reply reaches the callback and the observers.
  // A missing (null) record pointer is refused: false, nothing sent.
  bool CFG_ReadCommonSettings(TCommonSettings& CommonSettings, bool WaitFor); // size not checked
  bool CFG_ReadMMDCCSettings(TMMDCCSettings& MMDCCSettings, bool WaitFor);
  bool CFG_GetSystemState(PSystemState SystemState, bool WaitFor);
  bool GetHwInfoExt(THwInfo& HwInfo, bool WaitFor);
  bool CFG_Glidra_GetSettings(PGlidraSettings GlSettings, bool WaitFor);
  bool CFG_Glidra_GetData(PGlidraData GlData, bool WaitFor);
  bool CFG_Glidra_GetDataExt(PGlidraDataExt GlData, bool WaitFor);
  bool CFG_Glidra_GetDataExt2(PGlidraDataExt2 GlData, bool WaitFor);
  bool BOOST_GetSystemState(PBoosterSystemState SystemState, bool WaitFor);
  bool BOOST_ReadDescription(TBoosterDescription& Description, bool WaitFor); // size not checked
  bool BOOST_ReadCommonSettings(TBoosterCommonSettings& CommonSettings,
                                bool WaitFor); // size not checked
  bool BOOST_ReadMMDCCSettings(TBoosterMMDCCSettings& MMDCCSettings, bool WaitFor);
  bool DECODER_GetSystemState(PDecoderSystemState SystemState, bool WaitFor);
  bool DECODER_ReadDescription(TBoosterDescription& Description, bool WaitFor);  // not checked
  bool DECODER_ReadCVSettings(TDecoderCVSettings& CommonSettings, bool WaitFor); // not checked
  // Always waits; true only for a 4-byte reply.
  bool CFG_GetBroadcastFlags(uint32_t& BroadcastFlags);
  bool CFG_RailCom_GetDataEx(uint16_t LocoAddress, PRailComData RailComData, bool WaitFor);
  // Waits only with WaitFor and a DataFormatType to store into; otherwise just asks.
  bool CFG_GetLocoMode(uint16_t LocoAddress, PByte DataFormatType, bool WaitFor);

  // Writing a record: sent whole, without waiting; the result is whether it went out.
  bool CFG_WriteCommonSettings(const TCommonSettings& CommonSettings);
  bool CFG_WriteMMDCCSettings(const TMMDCCSettings& MMDCCSettings);
  // Remembers the flags (CFG_LastBroadcastFlags) before sending, whatever becomes of the send.
  bool CFG_SetBroadcastFlags(uint32_t BroadcastFlags);
  bool CFG_Glidra_SetSettings(const TGlidraSettings& GlSettings);
  bool CFG_Glidra_SetData(const TGlidraInput& GlData);
  bool CFG_Glidra_SetDataExt(const TGlidraInputExt& GlData);
  bool BOOST_WriteDescription(const TBoosterDescription& Description);
  bool BOOST_WriteCommonSettings(const TBoosterCommonSettings& CommonSettings);
  bool BOOST_WriteMMDCCSettings(const TBoosterMMDCCSettings& MMDCCSettings);
  bool DECODER_WriteDescription(const TBoosterDescription& Description);
  bool DECODER_WriteCVSettings(const TDecoderCVSettings& CommonSettings);

  // Plain requests: an empty frame, no wait; any reply reaches the callback and the observers.
  bool GetSerialNumber();
  bool GetHwInfo();
  bool Logoff();
  bool Restart();
  bool Bootloader();
  bool CFG_RailCom_GetData();

  // Small commands, no wait.
  bool CFG_GetQuenbusData(uint8_t GroupIndex);
  bool CFG_ProgramQuenbusModule(uint8_t ModuleAddress);
  void CFG_SetLocoMode(uint16_t LocoAddress, uint8_t DataFormatType);
  bool CFG_DebugReadBlock(uint32_t addr, uint8_t len);
  void SnifferBus_Config(uint8_t Config);
  void LocoNet_DispatchAddress(uint16_t LocoAddress);
  void LocoNet_ReadSlot(uint8_t Slot);
  void LocoNet_SlotAllowPurging(uint8_t Slot, bool allow);
  void LocoNet_ReportDetector(uint16_t ReportAddress);
  void LocoNet_ReportLissy(uint16_t ReportAddress);
  void LocoNet_ReportRFID();
  void CAN_ReportDetector();

  // X-Bus: writes the XOR byte into Buffer[n + 1] (n = low 4 bits of the X-header, so the
  // buffer needs room for n + 2 bytes) and sends the message without waiting. False and
  // nothing sent for a missing buffer.
  bool XPressNet(PByteArray Buffer, bool BroadCast);
  // The same for a message whose X-header does not state its data count: n = len.
  bool XPressNet(PByteArray Buffer, uint8_t len);
  bool SetTrackPowerOn();
  bool SetTrackPowerOff();
  bool SetTrackEmergencyStop();
  bool GetFwVersion();
  bool SetTurnout(uint16_t TurnoutAddress, bool Activate, uint8_t Output, bool BroadCast);
  bool SetExtTurnout(uint16_t TurnoutAddress, uint8_t Data);
  bool GetTurnout(uint16_t TurnoutAddress);
  bool POM_ReadByte(uint16_t LocoAddress, uint16_t CV);
  bool POM_WriteByte(uint16_t LocoAddress, uint16_t CV, uint8_t Value);
  bool POM_WriteBit(uint16_t LocoAddress, uint16_t CV, uint8_t BitPos, bool Value);
  bool POM_ReadByteAccessory(uint16_t DecoderAddress, uint8_t OutputNr, uint16_t CV);
  bool POM_WriteByteAccessory(uint16_t DecoderAddress, uint8_t OutputNr, uint16_t CV,
                              uint8_t Value);
  bool POM_WriteBitAccessory(uint16_t DecoderAddress, uint8_t OutputNr, uint16_t CV, uint8_t BitPos,
                             bool Value);

  // LocoNet: writes the check byte into Buffer[len] (room for len + 1 bytes) and sends the
  // len + 1 bytes without waiting. False and nothing sent for a missing buffer.
  bool LocoNet_Send(PByteArray Buffer, uint8_t len);
  bool LocoNet_CV_Cfg_Request(uint16_t LnCvClass, uint16_t LnCvNr, uint16_t LnCvVal, uint8_t Flags);
  bool LocoNet_CV_Cfg_Write(uint16_t LnCvClass, uint16_t LnCvNr, uint16_t LnCvVal);

  // CAN, no wait.
  bool CAN_Send(const TCANMessage& CanMsg);
  // Sends a copy marked as a ZCAN message; the caller's record stays as it is.
  bool CAN_SendZCAN(const TCANMessage& CanMessage);
  static constexpr uint32_t ZCAN20_IDREQ(uint32_t grp, uint32_t cmd, uint16_t NId) {
    return station::ZcanId(grp, cmd, station::kZcanModeRequest, NId);
  }
  static constexpr uint32_t ZCAN20_IDCMD(uint32_t grp, uint32_t cmd, uint16_t NId) {
    return station::ZcanId(grp, cmd, station::kZcanModeCommand, NId);
  }
  static constexpr uint32_t ZCAN20_IDEVT(uint32_t grp, uint32_t cmd, uint16_t NId) {
    return station::ZcanId(grp, cmd, station::kZcanModeEvent, NId);
  }
  static constexpr uint32_t ZCAN20_IDACK(uint32_t grp, uint32_t cmd, uint16_t NId) {
    return station::ZcanId(grp, cmd, station::kZcanModeAck, NId);
  }
  bool CAN_RequestPing(uint16_t DstNid);
  bool CAN_InfoModuleInfoReq(uint16_t DstNid, uint16_t Typ);
  void CAN_ReportBooster();

  // A handheld's boot loader behind the command station, through the tunnel. A reply counts
  // as positive when it has at least 3 bytes, 0xD in the high nibble of its first byte and the
  // command's echo in its second.
  bool HMU_EnterTestMode();
  bool HMU_ExitTestMode();
  // On anything but a positive reply long enough to carry them, all three become 0.
  bool HMU_GetVersionInfo(uint8_t& XBusVersion, uint8_t& XBusSubVersion, uint16_t& SoftwareVersion);
  bool HMU_EnterBootMode();
  bool HMU_InitData();
  bool HMU_ExitBootMode();
  bool HMU_ResetIntoBootMode(); // always true: the reply is not judged
  bool HMU_WriteData(uint8_t Segment, uint8_t CheckSum);
  // Sends up to 14 bytes; their count once acknowledged, else -1 (also for a missing buffer
  // or a negative size, which send nothing).
  int32_t HMU_SendData(const uint8_t* Data, int32_t DataSize);
  bool HMU_Release();
  // With Wait, polls the version for up to kHmuResetPollMs until the boot loader answers.
  bool HMU_ResetCPU(bool Wait);
  // Writes one block of exactly 128 bytes: 128, -2 (a piece was not acknowledged), -3 (the
  // boot loader refused the block), or -1 for a missing buffer (nothing sent).
  int32_t HMU_WriteBlock(uint8_t Segment, const uint8_t* Data);

  // The decoder update through caller-built frames answered by a result byte. -1 for no
  // result in time, and for a missing buffer or more than kDuxMaxDataLength bytes of data
  // (nothing sent).
  int32_t DUX_Send(uint8_t Command, const uint8_t* Data, uint16_t DataLength, uint8_t Repeats,
                   uint16_t DelayBetweenBytes, uint16_t DelayBetweenPackages, uint32_t MaxWaitTime);
  // An empty list sends the short frame that carries only the command.
  int32_t DUX_Send(uint8_t Command, const std::vector<uint8_t>& Data, uint8_t Repeats,
                   uint16_t DelayBetweenBytes, uint16_t DelayBetweenPackages, uint32_t MaxWaitTime);
  bool DUX_Enable();
  bool DUX_Disable();
  // Reads bit by bit; on failure the bits read so far stay in Value.
  bool DUX_ReadCV(uint16_t CV, uint8_t& Value);
  bool DUX_ReadDecoderType(uint8_t& DecoderType);
  bool DUX_WriteCV(uint16_t CV, uint8_t Value);
  int32_t DUX_EraseFlash();
  // Data: exactly 256 bytes; false and nothing sent for a missing buffer.
  bool DUX_WriteFlash(uint32_t Address, const uint8_t* Data);
  // ---- end of the command-station command set ----

  // The sends that the command set, the handheld subclass and the handheld connection use.
  bool SendFrame(uint16_t Header, const uint8_t* SendData, uint16_t SendDataSize,
                 uint8_t* ReceiveData, uint16_t ReceiveDataCapacity, uint16_t* ReceiveDataSize,
                 uint32_t Timeout);
  bool SendFrameEx(uint16_t SendHeader, uint8_t ReceiveHeader, const uint8_t* SendData,
                   uint16_t SendDataSize, uint8_t* ReceiveData, uint16_t ReceiveDataCapacity,
                   uint16_t* ReceiveDataSize, uint32_t Timeout);
  bool SendFrameTo(uint16_t Header, const uint8_t* SendData, uint16_t SendDataSize,
                   const QString& IPAddress);
  bool BroadcastFrame(uint16_t Header, const uint8_t* SendData, uint16_t SendDataSize,
                      uint8_t* ReceiveData, uint16_t ReceiveDataCapacity, uint16_t* ReceiveDataSize,
                      uint32_t Timeout);
  bool BroadcastFrameEx(uint16_t SendHeader, uint8_t ReceiveHeader, const uint8_t* SendData,
                        uint16_t SendDataSize, uint8_t* ReceiveData, uint16_t ReceiveDataCapacity,
                        uint16_t* ReceiveDataSize, uint32_t Timeout);
  // Message: a tunnel message without its XOR byte (nullptr for none). -1 failure, 0 success
  // without reply data, otherwise the reply payload length.
  int32_t TunnelRequest(const uint8_t* Message, uint8_t* ReceiveData, uint16_t ReceiveDataCapacity);
  int32_t TunnelRequest(const std::vector<uint8_t>& Message, uint8_t* ReceiveData,
                        uint16_t ReceiveDataCapacity);
  // Sends a caller-built frame as it is and waits for a result frame: its code 0..255, or -1.
  int32_t SendRawFrame(const uint8_t* Frame, uint16_t FrameSize, uint32_t Timeout);

protected:
  // For a subclass that brings its own endpoint, taken as it is. One that was never activated
  // binds nothing and sends nothing (every send fails), so the receive path can be driven
  // through ReceiveDatagram without a socket.
  TOrvoCommDevice(uint32_t aIPAddress, TDataReceivedEvent aDataReceivedEvent, uint16_t udpPort,
                  std::unique_ptr<TUdpServer> aServer);

  uint8_t WantedReceiveHeader() const { return fWantedReceiveHeader.load(); }
  void ReceiveDatagram(TUdpServer& server, const uint8_t* data, size_t length);

private:
  enum class TRoute { Unicast, Broadcast };
  bool SendAndAwait(TRoute route, uint16_t SendHeader, uint8_t ReceiveHeader,
                    const uint8_t* SendData, uint16_t SendDataSize, uint8_t* ReceiveData,
                    uint16_t ReceiveDataCapacity, uint16_t* ReceiveDataSize, uint32_t Timeout);
  void Arm(uint8_t header);
  // Stores a frame as the reply; false while a reply that a waiting request has not taken yet
  // holds the store.
  bool Claim(const TFrameView& frame);
  // Copies the stored reply's payload out; returns its length.
  uint16_t TakeReply(uint8_t* ReceiveData, uint16_t ReceiveDataCapacity);
  void EndWait();

  uint32_t fIPAddress;
  uint16_t fPort;
  std::unique_ptr<TUdpServer> fServer;
  int32_t fMaxProgress = 0;
  TSetProgressEvent fOnSetProgress;
  TAutoResetEvent fEvent;
  std::atomic<uint8_t> fWantedReceiveHeader{0};
  // The listener thread claims into the store while the requester may be copying out of it.
  std::mutex fReplyMutex;
  bool fAwaiting = false;  // a request waits on fEvent
  bool fReplyHeld = false; // it has been signalled and has not taken its reply yet
  uint16_t fReceiveBufferLength = 0;
  std::array<uint8_t, kReplyStoreSize> fReceiveBuffer{};
  TDataReceivedEvent fDataReceivedEvent;
  uint32_t fLastBroadcastFlags = 0;
  std::vector<IOrvoObserver*> fObserverList;
};

} // namespace kavelo
