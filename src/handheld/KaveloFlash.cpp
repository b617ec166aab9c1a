// Erase, read, write and verify: each splits its range into requests, checks every reply, reports
// progress and stops at the first failure with a localized text.

#include "handheld/Kavelo.h"
#include "net/Frame.h"
#include "net/Helpers.h"

#include <QByteArray>
#include <vector>

namespace kavelo {

using namespace handheld;

namespace {

// The head that every flash request starts with.
void PutFlashHead(uint8_t* request, uint16_t length, uint8_t command, uint32_t address) {
  WriteLE16(request, length);
  WriteLE16(request + 2, kFlashHeader);
  request[4] = command;
  WriteLE32(request + 5, address);
}

QString PacketLengthError(int32_t calculated, int32_t received) {
  return FormatText(LocalizedText(202), {calculated, received});
}

// Erase, blank check and verify replies carry their length in their first byte.
bool LengthByteMatches(const std::array<uint8_t, kReceiveBufferSize>& reply, int32_t recv_length,
                       QString& err) {
  if (reply[0] == recv_length) return true;
  err = PacketLengthError(recv_length, reply[0]);
  return false;
}

} // namespace

bool TKavelo::RequireEndpoint(QString& err) const {
  if (fDevice) return true;
  err = LocalizedText(199);
  return false;
}

bool TKavelo::EraseFlash(uint32_t data_begin, uint32_t data_end, QString& err) {
  err.clear();
  if (!RequireEndpoint(err)) return false;
  const int32_t max = static_cast<int32_t>((data_end - data_begin) / kEraseUnitSize + 1);
  int32_t done = 0;
  DoProgress(max, 0);
  uint8_t request[kRequestBufferSize] = {};
  TReplyBuffer reply{};
  int32_t recv_length = -1;
  // 64-bit, so that a range ending near the top of the address space cannot wrap and loop.
  for (uint64_t addr = data_begin; addr < data_end; addr += kEraseUnitSize) {
    PutFlashHead(request, kFlashRequestHeadLength, kCmdErase, static_cast<uint32_t>(addr));
    if (ExchangeFailed(Exchange(request, kFlashRequestHeadLength, kEraseTiming, reply, recv_length),
                       err))
      return false;
    if (!LengthByteMatches(reply, recv_length, err)) return false;
    if (std::memcmp(reply.data(), request, kFlashRequestHeadLength) != 0) {
      err = LocalizedText(203);
      return false;
    }
    err = LocalizedText(204);

    request[4] = kCmdBlankCheck;
    if (ExchangeFailed(Exchange(request, kFlashRequestHeadLength, kEraseTiming, reply, recv_length),
                       err))
      return false;
    if (!LengthByteMatches(reply, recv_length, err)) return false;
    const uint16_t page = ReadLE16(reply.data() + kPageFieldOffset);
    if (page != kAllPagesMatch) {
      err = FormatText(LocalizedText(206), {page});
      return false;
    }
    err = LocalizedText(205);
    DoProgress(max, ++done);
  }
  DoProgress(max, max);
  return true;
}

bool TKavelo::ReadFlash(uint32_t data_begin, uint32_t data_end, uint32_t transfer_size,
                        QIODevice& stream, QString& err) {
  err.clear();
  if (!RequireEndpoint(err)) return false;
  if (data_end <= data_begin) {
    err = LocalizedText(207);
    return false;
  }
  // A transfer size the reply buffer cannot hold would overrun it; refuse before sending.
  if (transfer_size == 0 || transfer_size > kMaxReadTransferSize) {
    err = FormatText(LocalizedText(209), {kMaxReadTransferSize, transfer_size});
    return false;
  }
  const int32_t max = static_cast<int32_t>((data_end - data_begin) / transfer_size + 1);
  int32_t done = 0;
  stream.seek(0);
  DoProgress(max, 0);
  uint8_t request[kRequestBufferSize] = {};
  TReplyBuffer reply{};
  int32_t recv_length = -1;
  for (uint32_t addr = data_begin; addr < data_end;) {
    const uint16_t n = static_cast<uint16_t>(std::min(data_end - addr, transfer_size));
    PutFlashHead(request, kReadRequestLength, kCmdRead, addr);
    WriteLE16(request + 9, n);
    request[11] = XorOf(request, 11);
    if (ExchangeFailed(Exchange(request, kReadRequestLength, kReadTiming, reply, recv_length), err))
      return false;
    const uint16_t lengthField = ReadLE16(reply.data());
    if (lengthField != recv_length) {
      err = PacketLengthError(recv_length, lengthField);
      return false;
    }
    // The latch rebuilds the length field, so the check above cannot see a reply that carries
    // fewer bytes than asked for; taking it would put bytes into the stream that never came.
    const int32_t expected = static_cast<int32_t>(kReadReplyDataOffset + n);
    if (recv_length < expected) {
      err = PacketLengthError(expected, recv_length);
      return false;
    }
    stream.write(reinterpret_cast<const char*>(reply.data() + kReadReplyDataOffset), n);
    DoProgress(max, ++done);
    addr += n;
  }
  DoProgress(max, max);
  return true;
}

bool TKavelo::WriteFlash(uint32_t data_begin, uint32_t data_end, uint32_t transfer_size,
                         QIODevice& stream, QString& err) {
  err.clear();
  if (!RequireEndpoint(err)) return false;
  stream.seek(0);
  const QByteArray data = stream.readAll();
  if (data.isEmpty()) {
    err = LocalizedText(208);
    return false;
  }
  if (data_end <= data_begin) {
    // A stream that would run past the top of the address space cannot be written there.
    if (static_cast<uint64_t>(data_begin) + static_cast<uint64_t>(data.size()) > 0xFFFFFFFFull) {
      err = LocalizedText(208);
      return false;
    }
    data_end = data_begin + static_cast<uint32_t>(data.size());
  }
  // A request of 12 + n bytes must fit its buffer, and the range must not outrun the data.
  if (transfer_size == 0 || transfer_size > kMaxWriteTransferSize) {
    err = FormatText(LocalizedText(209), {kMaxWriteTransferSize, transfer_size});
    return false;
  }
  if (static_cast<uint64_t>(data_end - data_begin) > static_cast<uint64_t>(data.size())) {
    err = LocalizedText(208);
    return false;
  }
  const int32_t max = static_cast<int32_t>((data_end - data_begin) / transfer_size + 1);
  int32_t done = 0;
  DoProgress(max, 0);
  uint8_t request[kRequestBufferSize] = {};
  TReplyBuffer reply{};
  int32_t recv_length = -1;
  const auto* source = reinterpret_cast<const uint8_t*>(data.constData());
  for (uint32_t addr = data_begin; addr < data_end;) {
    const uint16_t n = static_cast<uint16_t>(std::min(data_end - addr, transfer_size));
    const uint16_t L = static_cast<uint16_t>(n + kWriteRequestHeadLength);
    PutFlashHead(request, L, kCmdWrite, addr);
    WriteLE16(request + 9, n);
    request[11] = kWriteMarker;
    std::memcpy(request + kWriteRequestHeadLength, source, n);
    if (ExchangeFailed(Exchange(request, L, kWriteTiming, reply, recv_length), err)) return false;
    if (L != recv_length) {
      err = PacketLengthError(recv_length, L);
      return false;
    }
    const uint16_t count = ReadLE16(reply.data() + 9);
    if (count != n) {
      err = FormatText(LocalizedText(209), {n, count});
      return false;
    }
    if (std::memcmp(reply.data() + kWriteReplyDataOffset, source, n) != 0) {
      err = LocalizedText(210);
      return false;
    }
    DoProgress(max, ++done);
    addr += n;
    source += n;
  }
  DoProgress(max, max);
  return true;
}

bool TKavelo::VerifyFlash(uint32_t data_begin, uint32_t data_end, uint32_t /*transfer_size*/,
                          QIODevice& stream, QString& err) {
  err.clear();
  if (!RequireEndpoint(err)) return false;
  if (data_end <= data_begin) data_end = data_begin;
  const uint32_t offs = data_begin % kEraseUnitSize;
  const uint32_t base = data_begin - offs;
  // The offset within the first unit counts twice here; pages above lastPage are forgiven.
  const uint16_t lastPage = static_cast<uint16_t>(((data_end - base) + offs) / kPageSize);
  stream.seek(0);
  // Read before the image is sized: a stream may yield more than the size it reports, and every
  // byte it yields must be verified, never written past the image.
  const QByteArray data = stream.readAll();
  const uint64_t size =
      std::max<uint64_t>(static_cast<uint64_t>(std::max<qint64>(stream.size(), 0)),
                         static_cast<uint64_t>(data.size()));
  uint64_t top = static_cast<uint64_t>(data_end) | 0xFFFF;
  while (top - base + 1 < size + offs)
    top += kEraseUnitSize;
  const uint64_t span = top - base + 1;
  if (span + offs + 512 > kMaxVerifyImageSize) {
    err = LocalizedText(208);
    return false;
  }
  if (data.isEmpty()) {
    err = LocalizedText(208);
    return false;
  }
  std::vector<uint8_t> image(span + offs + 512, 0);
  std::fill(image.begin(), image.begin() + static_cast<long>(span + offs), 0xFF);
  std::copy(data.begin(), data.end(), image.begin() + offs);

  const int32_t units = static_cast<int32_t>((top - base) / kEraseUnitSize + 1);
  int32_t done = 0;
  DoProgress(units, 0);
  uint16_t unit = 0;
  size_t i = 0;
  uint8_t request[kVerifyRequestLength] = {};
  TReplyBuffer reply{};
  int32_t recv_length = -1;
  uint8_t X[kPagesPerUnit];
  uint8_t S[kPagesPerUnit];
  for (uint64_t addr = base; addr < top; addr += kEraseUnitSize) {
    for (uint32_t p = 0; p < kPagesPerUnit; ++p, i += kPageSize) {
      uint8_t x = kVerifyXorSeed;
      uint8_t s = kVerifySumSeed;
      for (uint32_t k = 0; k < kPageSize; ++k) {
        x ^= image[i + k];
        s = static_cast<uint8_t>(s + image[i + k]);
      }
      X[p] = x;
      S[p] = s;
    }
    for (uint8_t pass = 1; pass <= 2; ++pass) {
      PutFlashHead(request, kVerifyRequestLength, kCmdVerify, static_cast<uint32_t>(addr));
      request[9] = pass;
      std::memcpy(request + 10, pass == 1 ? X : S, kPagesPerUnit);
      request[kVerifyRequestLength - 1] = XorOf(request, kVerifyRequestLength - 1);
      if (ExchangeFailed(Exchange(request, kVerifyRequestLength, kVerifyTiming, reply, recv_length),
                         err))
        return false;
      if (!LengthByteMatches(reply, recv_length, err)) return false;
      const uint16_t p = ReadLE16(reply.data() + kPageFieldOffset);
      if (p != kAllPagesMatch) {
        const uint16_t page = static_cast<uint16_t>(unit * kPagesPerUnit + p);
        if (page <= lastPage) {
          err = FormatText(LocalizedText(211), {page, lastPage});
          return false;
        }
      }
    }
    DoProgress(units, ++done);
    ++unit;
  }
  DoProgress(units, units);
  return true;
}

} // namespace kavelo
