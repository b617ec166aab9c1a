// Update-mode entry and the control block.

#include "handheld/Kavelo.h"
#include "net/Frame.h"
#include "net/Helpers.h"

#include <QBuffer>

namespace kavelo {

using namespace handheld;

bool TKavelo::HMUpdateInit(QString& err) {
  err.clear();
  if (!RequireEndpoint(err)) return false;
  if (!fDevice->HasServer()) {
    err = LocalizedText(212);
    return false;
  }
  if (!fDevice->HasBinding()) {
    err = LocalizedText(213);
    return false;
  }
  QString LocalIP = fDevice->LocalIP();
  uint32_t addr = StrToIP(LocalIP, InvalidIP);
  // Bound on all adapters (no adapter shares the handheld's subnet: it sits behind a router or
  // on a guest network), the binding names no address the handheld could answer to; the one
  // this machine routes through toward it does.
  if (addr == InvalidIP && !fBroadCast) {
    if (const uint32_t routed = LocalIPToward(fHandheldAddress); routed != InvalidIP) {
      addr = routed;
      LocalIP = IPToStr(routed);
    }
  }
  uint8_t request[kUpdateModeRequestLength] = {};
  WriteLE16(request, kUpdateModeRequestLength);
  WriteLE16(request + 2, kUpdateModeHeader);
  for (uint8_t k = 1; k <= 4; ++k)
    request[3 + k] = IPByte(k, addr);

  err = QStringLiteral("TX ");
  for (uint8_t byte : request)
    err += QStringLiteral(" %1").arg(byte, 2, 16, QChar(u'0')).toUpper();
  err += QStringLiteral(" ... ") + LocalIP;

  TReplyBuffer reply{};
  int32_t recv_length = -1;
  QString failure;
  if (ExchangeFailed(Exchange(request, sizeof request, kUpdateModeTiming, reply, recv_length),
                     failure)) {
    err = failure;
    return false;
  }
  if (reply[0] != recv_length) {
    err = FormatText(LocalizedText(202), {recv_length, reply[0]});
    return false;
  }
  return true;
}

bool TKavelo::ReadControlBlock(uint32_t data_begin, TControlBlock& control_buffer, QString& err) {
  err.clear();
  QBuffer stream;
  stream.open(QIODevice::ReadWrite);
  const bool ok =
      ReadFlash(data_begin, data_begin + sizeof(TControlBlock), sizeof(TControlBlock), stream, err);
  if (ok) {
    const QByteArray& bytes = stream.data();
    std::memcpy(&control_buffer, bytes.constData(),
                std::min<size_t>(sizeof(TControlBlock), static_cast<size_t>(bytes.size())));
    fHasControlBlock = true;
  }
  return ok;
}

bool TKavelo::WriteControlBlock(uint32_t data_begin, const TControlBlock& control_buffer,
                                QString& err) {
  err.clear();
  QBuffer stream;
  stream.open(QIODevice::ReadWrite);
  stream.write(reinterpret_cast<const char*>(&control_buffer), sizeof(TControlBlock));
  return WriteFlash(data_begin, data_begin + sizeof(TControlBlock), sizeof(TControlBlock), stream,
                    err);
}

} // namespace kavelo
