#pragma once
// The handheld's side of the reply fuzzer: for every request it answers what the input
// chooses: the correct reply of a small flash model, that reply damaged, foreign frames, a
// duplicate, nothing, a reply that comes late (on the virtual clock), or a failing next send.

#include "common/ScriptedKaveloLink.h"
#include "support/FlashModel.h"
#include "support/FuzzInput.h"

#include <vector>

namespace kavelo::fuzz {

inline constexpr size_t kMaxFuzzedPayload = 2000;
inline constexpr uint32_t kMaxReplyDelayMs = 6000; // beyond the longest reply timeout

class TReplyScript {
public:
  TReplyScript(TFuzzInput& in, TFlashModel& model, test::TScriptedDevice& device)
      : fIn(in), fModel(model), fDevice(device) {}

  std::vector<test::TDeviceReply> operator()(const test::TBytes& frame) {
    const uint16_t header = ReadLE16(frame.data() + 2);
    // The connection's answers to announcements are not requests.
    if (header != 0x00B0 && header != 0x0041) return {};
    const auto normal = fModel.Answer(frame);
    // Once the input is used up the handheld behaves, so long operations can still finish.
    if (fIn.Empty()) return Normal(normal);
    const uint8_t choice = fIn.Byte();
    const uint64_t delay = (choice & 0x08) ? fIn.Range(1, kMaxReplyDelayMs) : 0;
    std::vector<test::TDeviceReply> replies;
    switch (choice & 0x07) {
    case 0:
    case 1:
      replies = Normal(normal);
      break;
    case 2:
      replies = Normal(normal);
      Damage(replies);
      break;
    case 3:
      replies = Foreign();
      break;
    case 4: // lost
      break;
    case 5:
      replies = Foreign();
      for (auto& r : Normal(normal)) replies.push_back(r);
      for (auto& r : Foreign()) replies.push_back(r);
      break;
    case 6:
      replies = Normal(normal);
      fDevice.SendSucceeds = false; // the next request cannot be sent
      break;
    case 7:
      replies = Normal(normal);
      if (!replies.empty()) replies.push_back(replies.back());
      break;
    }
    for (auto& r : replies) r.DelayMs += delay;
    return replies;
  }

private:
  static std::vector<test::TDeviceReply> Normal(const std::optional<TModelReply>& reply) {
    if (!reply) return {};
    return {{reply->Header, reply->Payload, 0}};
  }

  uint16_t PickHeader() {
    switch (fIn.Byte() % 5) {
    case 0:
    case 1:
      return 0x00B0;
    case 2:
      return 0x0041;
    case 3:
      return 0x0010;
    default:
      return fIn.U16();
    }
  }

  std::vector<test::TDeviceReply> Foreign() {
    std::vector<test::TDeviceReply> out;
    const int count = 1 + fIn.Byte() % 3;
    for (int k = 0; k < count; ++k) {
      const uint16_t header = PickHeader();
      out.push_back({header, fIn.Bytes(fIn.Range(0, kMaxFuzzedPayload)), 0});
    }
    return out;
  }

  void Damage(std::vector<test::TDeviceReply>& replies) {
    if (replies.empty()) return;
    auto& payload = replies.front().Payload;
    const int edits = 1 + fIn.Byte() % 4;
    for (int e = 0; e < edits; ++e) {
      const size_t at = payload.empty() ? 0 : fIn.Range(0, static_cast<uint32_t>(payload.size() - 1));
      switch (fIn.Byte() % 5) {
      case 0:
        if (!payload.empty()) payload[at] = fIn.Byte();
        break;
      case 1:
        if (!payload.empty()) payload[at] ^= static_cast<uint8_t>(1u << (fIn.Byte() % 8));
        break;
      case 2:
        payload.resize(at);
        break;
      case 3: {
        const auto extra = fIn.Bytes(fIn.Range(0, kMaxFuzzedPayload));
        payload.insert(payload.end(), extra.begin(), extra.end());
        if (payload.size() > kMaxFuzzedPayload) payload.resize(kMaxFuzzedPayload);
        break;
      }
      case 4:
        replies.front().Header = replies.front().Header == 0x00B0 ? 0x0041 : 0x00B0;
        break;
      }
    }
  }

  TFuzzInput& fIn;
  TFlashModel& fModel;
  test::TScriptedDevice& fDevice;
};

} // namespace kavelo::fuzz
