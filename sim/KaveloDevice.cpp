#include "KaveloDevice.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

namespace kavelosim {

namespace {

constexpr size_t kEraseRequestBytes = 9;
constexpr size_t kBlankCheckRequestBytes = 9;
constexpr size_t kReadRequestBytes = 12;
constexpr size_t kReadCheckOffset = 11;
constexpr size_t kWriteHeadBytes = 12;
constexpr size_t kVerifyRequestBytes = 267;
constexpr size_t kVerifySignaturesOffset = 10;
constexpr size_t kVerifyCheckOffset = 266;
constexpr uint8_t kXorSeed = 0x55;
constexpr uint8_t kSumSeed = 0xAA;

std::string Hex(uint32_t v, int digits) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%0*X", digits, v);
  return buf;
}

// A flash reply: length, header, command byte, address, then `extra`.
Bytes FlashReply(uint8_t cmd, uint32_t addr, const Bytes& extra) {
  Bytes payload;
  payload.reserve(5 + extra.size());
  payload.push_back(cmd);
  AppendLE32(payload, addr);
  payload.insert(payload.end(), extra.begin(), extra.end());
  return BuildFrame(kHeaderFlash, payload);
}

Bytes PageReply(uint8_t cmd, uint32_t addr, uint16_t page) {
  Bytes extra;
  AppendLE16(extra, page);
  return FlashReply(cmd, addr, extra);
}

} // namespace

KaveloDevice::KaveloDevice() : fFlash(kFlashBytes, 0xFF) {
  const auto start = std::chrono::steady_clock::now();
  fClock = [start] {
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                     std::chrono::steady_clock::now() - start)
                                     .count());
  };
}

uint64_t KaveloDevice::Now() const {
  return fClock ? fClock() : 0;
}

void KaveloDevice::AddLog(LogEntry::Kind kind, Endpoint peer, const Bytes& bytes,
                          std::string note) {
  LogEntry e;
  e.seq = fNextSeq++;
  e.timeMs = Now();
  e.kind = kind;
  e.peer = peer;
  e.bytes = bytes;
  e.note = std::move(note);
  fLog.push_back(std::move(e));
  while (fLogLimit > 0 && fLog.size() > fLogLimit)
    fLog.pop_front();
}

std::vector<Reply> KaveloDevice::HandleDatagram(const uint8_t* data, size_t len, Endpoint from) {
  std::vector<Reply> out;
  size_t used = 0;
  for (const FrameView& f : SplitDatagram(data, len)) {
    std::vector<Reply> r = HandleFrame(f.frame, f.length, from);
    out.insert(out.end(), std::make_move_iterator(r.begin()), std::make_move_iterator(r.end()));
    used += f.length;
  }
  if (used < len && fPowered) {
    AddLog(LogEntry::Kind::Received, from, Bytes(data + used, data + len),
           "ignored: " + std::to_string(len - used) + " bytes that form no frame");
  }
  return out;
}

std::vector<Reply> KaveloDevice::HandleFrame(const uint8_t* frame, size_t len, Endpoint from) {
  if (!fPowered) {
    ++fIgnoredWhileOff;
    return {};
  }
  const Bytes bytes(frame, frame + len);
  if (len < kFrameHeadBytes || GetLE16(frame) != len) {
    AddLog(LogEntry::Kind::Received, from, bytes, "ignored: length field does not match");
    return {};
  }
  const FaultRules& rules = fFaults.Rules();
  if (rules.vanishAfterFrames != 0 && fFramesSeen >= rules.vanishAfterFrames) {
    ++fFaults.MutableStats().framesIgnoredAfterVanish;
    AddLog(LogEntry::Kind::Received, from, bytes, "ignored: vanished");
    return {};
  }
  ++fFramesSeen;

  FrameView f;
  f.frame = frame;
  f.length = len;
  f.header = GetLE16(frame + 2);

  std::vector<Reply> replies;
  std::string why;
  switch (f.header) {
  case kHeaderAnnounce:
    why = (f.PayloadLength() == 1 && f.Payload()[0] == kToolAnnouncePayload)
              ? "tool announcement"
              : "ignored: unknown announcement";
    break;
  case kHeaderUpdateMode: {
    if (f.PayloadLength() != 4) {
      why = "ignored: update-mode request must carry 4 bytes";
      break;
    }
    fUpdateMode = true;
    fToolIp = GetLE32(f.Payload());
    why = "update mode on";
    Bytes own;
    AppendLE32(own, fOwnIp);
    replies.push_back({Command::UpdateMode, from, BuildFrame(kHeaderUpdateMode, own), 0, {}});
    // The tool names the address it listens on; a tool bound to all
    // adapters sends 0.0.0.0, and then only the sender's address is known.
    Endpoint annTo = from;
    if (fToolIp != 0 && fToolIp != from.ip) annTo = Endpoint{fToolIp, fOwnPort};
    replies.push_back({Command::Announce, annTo, BuildFrame(kHeaderAnnounce, own), 0, {}});
    break;
  }
  case kHeaderRestart:
    if (f.PayloadLength() != 0) {
      why = "ignored: restart carries no payload";
      break;
    }
    fUpdateMode = false;
    why = "restart";
    fFaults.DropHeld();
    Boot(false, why);
    break;
  case kHeaderPowerOff:
    if (f.PayloadLength() != 0) {
      why = "ignored: power-off carries no payload";
      break;
    }
    why = "power off";
    AddLog(LogEntry::Kind::Received, from, bytes, why);
    PowerOff();
    return {};
  case kHeaderFlash:
    if (!fUpdateMode) {
      why = "ignored: not in update mode";
      break;
    }
    replies = HandleFlash(f, from, why);
    break;
  default:
    why = "ignored: unknown header";
    break;
  }
  AddLog(LogEntry::Kind::Received, from, bytes, why);

  FaultInjector::Result r = fFaults.Apply(std::move(replies));
  for (const Reply& s : r.suppressed)
    AddLog(LogEntry::Kind::Suppressed, s.to, s.bytes, s.note);
  for (const Reply& s : r.send)
    AddLog(LogEntry::Kind::Sent, s.to, s.bytes, s.note);
  return std::move(r.send);
}

std::vector<Reply> KaveloDevice::HandleFlash(const FrameView& f, Endpoint from, std::string& why) {
  const uint8_t* b = f.frame;
  const size_t len = f.length;
  if (len < kEraseRequestBytes) {
    why = "ignored: flash request too short";
    return {};
  }
  const uint8_t cmd = b[4];
  const uint32_t addr = GetLE32(b + 5);
  auto reply = [&](Command c, Bytes bytes) {
    return std::vector<Reply>{Reply{c, from, std::move(bytes), 0, {}}};
  };
  auto inFlash = [](uint64_t a, uint64_t n) { return a < kFlashBytes && a + n <= kFlashBytes; };

  switch (cmd) {
  case kCmdErase: {
    if (len != kEraseRequestBytes) break;
    if (!inFlash(addr, 1)) {
      why = "ignored: address outside flash";
      return {};
    }
    const uint32_t unit = addr & ~(kEraseUnitBytes - 1);
    EraseUnit(unit);
    why = "erased unit " + Hex(unit, 5);
    return reply(Command::Erase, Bytes(b, b + kEraseRequestBytes));
  }
  case kCmdBlankCheck: {
    if (len != kBlankCheckRequestBytes) break;
    if (!inFlash(addr, 1)) {
      why = "ignored: address outside flash";
      return {};
    }
    const uint16_t page = FirstPageWithData(addr & ~(kEraseUnitBytes - 1));
    why = page == kNoPage ? "unit empty" : "data in page " + std::to_string(page);
    return reply(Command::BlankCheck, PageReply(kCmdBlankCheck, addr, page));
  }
  case kCmdRead: {
    if (len != kReadRequestBytes) break;
    if (XorOf(b, kReadCheckOffset) != b[kReadCheckOffset]) {
      why = "ignored: check byte wrong";
      return {};
    }
    const uint16_t n = GetLE16(b + 9);
    if (n > kMaxTransferBytes || !inFlash(addr, n)) {
      why = "ignored: range outside flash or too long";
      return {};
    }
    Bytes extra;
    AppendLE16(extra, n);
    extra.insert(extra.end(), fFlash.begin() + addr, fFlash.begin() + addr + n);
    why = "read " + std::to_string(n);
    return reply(Command::Read, FlashReply(kCmdRead, addr, extra));
  }
  case kCmdWrite: {
    if (len < kWriteHeadBytes) break;
    const uint16_t n = GetLE16(b + 9);
    if (len != kWriteHeadBytes + n) break;
    if (b[11] != kWriteModeByte) {
      why = "ignored: unknown write mode";
      return {};
    }
    if (n > kMaxTransferBytes || !inFlash(addr, n)) {
      why = "ignored: range outside flash or too long";
      return {};
    }
    // NOR flash: programming can only clear bits.
    for (uint32_t i = 0; i < n; ++i)
      fFlash[addr + i] &= b[kWriteHeadBytes + i];
    if (n > 0) ++fFlashChanges;
    Bytes extra;
    AppendLE16(extra, n);
    extra.push_back(kWriteModeByte);
    extra.insert(extra.end(), fFlash.begin() + addr, fFlash.begin() + addr + n);
    why = "wrote " + std::to_string(n);
    return reply(Command::Write, FlashReply(kCmdWrite, addr, extra));
  }
  case kCmdVerify: {
    if (len != kVerifyRequestBytes) break;
    if (XorOf(b, kVerifyCheckOffset) != b[kVerifyCheckOffset]) {
      why = "ignored: check byte wrong";
      return {};
    }
    const uint8_t pass = b[9];
    if (pass != 1 && pass != 2) {
      why = "ignored: unknown verify pass";
      return {};
    }
    if (!inFlash(addr, 1)) {
      why = "ignored: address outside flash";
      return {};
    }
    const uint16_t page =
        FirstDifferingPage(addr & ~(kEraseUnitBytes - 1), pass, b + kVerifySignaturesOffset);
    why = "verify pass " + std::to_string(pass) +
          (page == kNoPage ? ": all match" : ": page " + std::to_string(page) + " differs");
    return reply(Command::Verify, PageReply(kCmdVerify, addr, page));
  }
  default:
    why = "ignored: unknown flash command";
    return {};
  }
  why = "ignored: wrong length for command";
  return {};
}

void KaveloDevice::EraseUnit(uint32_t unit) {
  std::fill(fFlash.begin() + unit, fFlash.begin() + unit + kEraseUnitBytes, 0xFF);
  for (uint32_t a : fFaults.Rules().stuckBytes) {
    if (a >= unit && a < unit + kEraseUnitBytes) {
      fFlash[a] = fFaults.Rules().stuckValue;
      ++fFaults.MutableStats().stuckBytesKept;
    }
  }
  ++fFlashChanges;
}

uint16_t KaveloDevice::FirstPageWithData(uint32_t unit) const {
  for (uint32_t p = 0; p < kPagesPerUnit; ++p) {
    const auto first = fFlash.begin() + unit + p * kPageBytes;
    if (std::any_of(first, first + kPageBytes, [](uint8_t v) { return v != 0xFF; })) {
      return static_cast<uint16_t>(p);
    }
  }
  return kNoPage;
}

uint16_t KaveloDevice::FirstDifferingPage(uint32_t unit, uint8_t pass, const uint8_t* sigs) const {
  for (uint32_t p = 0; p < kPagesPerUnit; ++p) {
    const uint8_t* page = fFlash.data() + unit + p * kPageBytes;
    uint8_t sig = pass == 1 ? kXorSeed : kSumSeed;
    for (uint32_t i = 0; i < kPageBytes; ++i) {
      sig = pass == 1 ? static_cast<uint8_t>(sig ^ page[i]) : static_cast<uint8_t>(sig + page[i]);
    }
    if (sig != sigs[p]) return static_cast<uint16_t>(p);
  }
  return kNoPage;
}

void KaveloDevice::Boot(bool radioModuleToo, std::string& why) {
  ControlBlock cb = GetControlBlock();
  bool changed = false;
  // The handheld records a taken-over firmware in its own block. It is the
  // handheld's firmware doing this, not a tool write, so no NOR rule applies.
  if (cb.HMStaged()) {
    cb.oldFirmwareHM = cb.newFirmwareHM;
    ++fInstalls.hm;
    why += ", installed main controller firmware " + Hex(cb.newFirmwareHM, 3);
    changed = true;
  }
  if (radioModuleToo && cb.RMStaged()) {
    cb.oldFirmwareRM = cb.newFirmwareRM;
    ++fInstalls.rm;
    why += ", installed radio module firmware " + Hex(cb.newFirmwareRM, 3);
    changed = true;
  }
  if (changed) PresetControlBlock(cb);
}

bool KaveloDevice::PowerOn() {
  if (fPowered) return false;
  fPowered = true;
  fUpdateMode = false;
  std::string why = "power on";
  Boot(true, why);
  AddLog(LogEntry::Kind::Event, {}, {}, why);
  return true;
}

bool KaveloDevice::PowerOff() {
  if (!fPowered) return false;
  fPowered = false;
  fUpdateMode = false;
  fFaults.DropHeld();
  AddLog(LogEntry::Kind::Event, {}, {}, "power off");
  return true;
}

Bytes KaveloDevice::ReadFlash(uint32_t addr, size_t n) const {
  if (addr >= kFlashBytes) return {};
  n = std::min<size_t>(n, kFlashBytes - addr);
  return Bytes(fFlash.begin() + addr, fFlash.begin() + addr + n);
}

bool KaveloDevice::PresetFlash(uint32_t addr, const Bytes& bytes) {
  if (addr >= kFlashBytes || bytes.size() > kFlashBytes - addr) return false;
  std::copy(bytes.begin(), bytes.end(), fFlash.begin() + addr);
  ++fFlashChanges;
  return true;
}

bool KaveloDevice::LoadFlash(const Bytes& image) {
  if (image.size() != kFlashBytes) return false;
  fFlash = image;
  ++fFlashChanges;
  return true;
}

void KaveloDevice::EraseAllFlash() {
  std::fill(fFlash.begin(), fFlash.end(), 0xFF);
  ++fFlashChanges;
}

ControlBlock KaveloDevice::GetControlBlock() const {
  return ControlBlock::FromBytes(fFlash.data() + kControlBlockAddress);
}

void KaveloDevice::PresetControlBlock(const ControlBlock& cb) {
  const auto bytes = cb.ToBytes();
  PresetFlash(kControlBlockAddress, Bytes(bytes.begin(), bytes.end()));
}

void KaveloDevice::PresetInstalledVersions(uint32_t hm, uint32_t rm, uint32_t resources) {
  PresetControlBlock(ControlBlock::Installed(hm, rm, resources));
}

} // namespace kavelosim
