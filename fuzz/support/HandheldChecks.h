#pragma once
// What the flash operations must have sent, judged from the requests alone: every request is
// well formed and in its place, no request is tried more often than the exchange allows, and a
// success covers exactly the range the operation was given.

#include "common/ScriptedKaveloLink.h"
#include "support/FuzzCheck.h"

#include <QByteArray>

#include <cstdint>
#include <vector>

namespace kavelo::fuzz {

using test::TBytes;

// Consecutive equal requests are the tries of one exchange.
struct TExchange {
  TBytes Request;
  int Tries;
};

inline std::vector<TExchange> Exchanges(const std::vector<TBytes>& requests) {
  std::vector<TExchange> out;
  for (const auto& r : requests) {
    if (!out.empty() && out.back().Request == r) ++out.back().Tries;
    else out.push_back({r, 1});
  }
  return out;
}

inline void CheckTries(const std::vector<TExchange>& exchanges, int maxTries) {
  for (size_t k = 0; k < exchanges.size(); ++k)
    FUZZ_CHECK(exchanges[k].Tries <= maxTries, "exchange %zu tried %d times (at most %d)", k,
               exchanges[k].Tries, maxTries);
}

inline void CheckFlashHead(const TBytes& r, uint8_t command, size_t length) {
  FUZZ_CHECK(r.size() == length, "request of %zu bytes, expected %zu", r.size(), length);
  FUZZ_CHECK(ReadLE16(r.data()) == length, "length field %u, frame %zu", ReadLE16(r.data()),
             length);
  FUZZ_CHECK(ReadLE16(r.data() + 2) == 0x00B0, "header 0x%04X", ReadLE16(r.data() + 2));
  FUZZ_CHECK(r[4] == command, "command 0x%02X, expected 0x%02X", r[4], command);
}

inline void CheckErase(const std::vector<TExchange>& ex, uint32_t begin, uint32_t end, bool ok) {
  for (size_t k = 0; k < ex.size(); ++k) {
    const TBytes& r = ex[k].Request;
    CheckFlashHead(r, k % 2 == 0 ? 0xE1 : 0xE3, 9);
    const uint64_t addr = static_cast<uint64_t>(begin) + (k / 2) * 0x10000ull;
    FUZZ_CHECK(addr < end && ReadLE32(r.data() + 5) == addr,
               "erase exchange %zu at 0x%08X, expected 0x%08llX below 0x%08X", k,
               ReadLE32(r.data() + 5), static_cast<unsigned long long>(addr), end);
  }
  CheckTries(ex, 5);
  if (ok) {
    const uint64_t units = begin < end ? (static_cast<uint64_t>(end) - begin + 0xFFFF) / 0x10000 : 0;
    FUZZ_CHECK(ex.size() == 2 * units, "erase succeeded after %zu exchanges for %llu units",
               ex.size(), static_cast<unsigned long long>(units));
  }
}

inline void CheckRead(const std::vector<TExchange>& ex, uint32_t begin, uint32_t end,
                      uint32_t transferSize, bool ok, qint64 streamSize) {
  uint64_t addr = begin;
  for (size_t k = 0; k < ex.size(); ++k) {
    const TBytes& r = ex[k].Request;
    CheckFlashHead(r, 0xE5, 12);
    FUZZ_CHECK(r[11] == XorOf(r.data(), 11), "read request %zu: check byte", k);
    const uint16_t n = ReadLE16(r.data() + 9);
    FUZZ_CHECK(addr < end && ReadLE32(r.data() + 5) == addr, "read %zu at 0x%08X, expected 0x%08llX",
               k, ReadLE32(r.data() + 5), static_cast<unsigned long long>(addr));
    FUZZ_CHECK(n >= 1 && n == std::min<uint64_t>(transferSize, end - addr),
               "read %zu asks for %u bytes (transfer size %u, rest %llu)", k, n, transferSize,
               static_cast<unsigned long long>(end - addr));
    addr += n;
  }
  CheckTries(ex, 5);
  if (ok) {
    FUZZ_CHECK(addr == end, "read succeeded having asked up to 0x%08llX of 0x%08X",
               static_cast<unsigned long long>(addr), end);
    FUZZ_CHECK(streamSize == static_cast<qint64>(end - begin),
               "read succeeded with %lld bytes in the stream for a range of %u",
               static_cast<long long>(streamSize), end - begin);
  }
}

inline void CheckWrite(const std::vector<TExchange>& ex, uint32_t begin, uint32_t end,
                       uint32_t transferSize, bool ok, const QByteArray& data) {
  // The range as the operation fixes it: an empty or reversed one means the whole stream.
  const uint32_t effectiveEnd = end <= begin ? begin + static_cast<uint32_t>(data.size()) : end;
  uint64_t addr = begin;
  size_t offset = 0;
  for (size_t k = 0; k < ex.size(); ++k) {
    const TBytes& r = ex[k].Request;
    FUZZ_CHECK(r.size() >= 12, "write request of %zu bytes", r.size());
    const uint16_t n = ReadLE16(r.data() + 9);
    CheckFlashHead(r, 0xE4, 12u + n);
    FUZZ_CHECK(r[11] == 0x02, "write request %zu: marker 0x%02X", k, r[11]);
    FUZZ_CHECK(addr < effectiveEnd && ReadLE32(r.data() + 5) == addr,
               "write %zu at 0x%08X, expected 0x%08llX", k, ReadLE32(r.data() + 5),
               static_cast<unsigned long long>(addr));
    FUZZ_CHECK(n >= 1 && n == std::min<uint64_t>(transferSize, effectiveEnd - addr),
               "write %zu carries %u bytes (transfer size %u)", k, n, transferSize);
    FUZZ_CHECK(offset + n <= static_cast<size_t>(data.size()) &&
                   std::equal(r.begin() + 12, r.end(),
                              reinterpret_cast<const uint8_t*>(data.constData()) + offset),
               "write %zu does not carry the stream's bytes from offset %zu", k, offset);
    addr += n;
    offset += n;
  }
  CheckTries(ex, 5);
  if (ok) {
    const uint64_t expected = effectiveEnd > begin ? effectiveEnd - begin : 0;
    FUZZ_CHECK(offset == expected, "write succeeded with %zu of %llu bytes sent", offset,
               static_cast<unsigned long long>(expected));
  }
}

// The image a verify compares against: the stream placed at data_begin within its unit,
// erased flash (0xFF) around it.
inline void CheckVerify(const std::vector<TExchange>& ex, uint32_t begin, uint32_t end, bool ok,
                        const QByteArray& data) {
  const uint32_t fixedEnd = end <= begin ? begin : end;
  const uint32_t offs = begin % 0x10000;
  const uint32_t base = begin - offs;
  const uint64_t size = static_cast<uint64_t>(data.size());
  uint64_t top = static_cast<uint64_t>(fixedEnd) | 0xFFFF;
  while (top - base + 1 < size + offs) top += 0x10000;
  const uint64_t units = (top - base) / 0x10000 + 1;
  const auto imageAt = [&](uint64_t i) -> uint8_t {
    return i >= offs && i - offs < size ? static_cast<uint8_t>(data[static_cast<qsizetype>(i - offs)])
                                        : 0xFF;
  };
  for (size_t k = 0; k < ex.size(); ++k) {
    const TBytes& r = ex[k].Request;
    CheckFlashHead(r, 0xE2, 267);
    FUZZ_CHECK(r[266] == XorOf(r.data(), 266), "verify request %zu: check byte", k);
    const uint8_t pass = static_cast<uint8_t>(k % 2 + 1);
    const uint64_t unit = k / 2;
    FUZZ_CHECK(r[9] == pass, "verify request %zu: pass %u, expected %u", k, r[9], pass);
    FUZZ_CHECK(unit < units && ReadLE32(r.data() + 5) == static_cast<uint32_t>(base + unit * 0x10000),
               "verify request %zu at 0x%08X", k, ReadLE32(r.data() + 5));
    for (uint32_t p = 0; p < 256; ++p) {
      uint8_t x = 0x55;
      uint8_t s = 0xAA;
      for (uint32_t b = 0; b < 256; ++b) {
        const uint8_t v = imageAt(unit * 0x10000 + p * 256 + b);
        x ^= v;
        s = static_cast<uint8_t>(s + v);
      }
      FUZZ_CHECK(r[10 + p] == (pass == 1 ? x : s),
                 "verify unit %llu pass %u: signature of page %u is 0x%02X, expected 0x%02X",
                 static_cast<unsigned long long>(unit), pass, p, r[10 + p], pass == 1 ? x : s);
    }
  }
  CheckTries(ex, 5);
  if (ok)
    FUZZ_CHECK(ex.size() == 2 * units, "verify succeeded after %zu exchanges for %llu units",
               ex.size(), static_cast<unsigned long long>(units));
}

} // namespace kavelo::fuzz
