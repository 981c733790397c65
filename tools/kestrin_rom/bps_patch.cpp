#include "bps_patch.h"

#include <zlib.h>

#include <algorithm>
#include <optional>
#include <string>

namespace kestrin::rom_tool {
namespace {

constexpr std::size_t kFooterSize = 12;  // three CRC-32 values
// Beyond any ROM: a hand-made header must not make us reserve gigabytes.
constexpr std::uint64_t kLargestTarget = 64u << 20;

enum Action : std::uint64_t { kSourceRead = 0, kTargetRead = 1, kSourceCopy = 2, kTargetCopy = 3 };

void PutLittleEndian32(std::vector<std::uint8_t>& out, std::uint32_t value) {
  for (int k = 0; k < 4; ++k) out.push_back(static_cast<std::uint8_t>(value >> (8 * k) & 0xFF));
}

std::uint32_t LittleEndian32At(std::span<const std::uint8_t> bytes, std::size_t at) {
  std::uint32_t value = 0;
  for (std::size_t k = 0; k < 4; ++k) value |= static_cast<std::uint32_t>(bytes[at + k]) << (8 * k);
  return value;
}

void PutAction(std::vector<std::uint8_t>& out, Action action, std::size_t length) {
  PutBpsNumber(out, (static_cast<std::uint64_t>(length - 1) << 2) | action);
}

// Reads the patch body (everything before the CRC-32 footer) front to back.
class BodyReader {
 public:
  BodyReader(std::span<const std::uint8_t> body, std::size_t at) : body_(body), at_(at) {}

  bool AtEnd() const { return at_ >= body_.size(); }
  std::size_t Left() const { return body_.size() - at_; }

  std::optional<std::uint64_t> Number() {
    std::uint64_t value = 0;
    std::uint64_t shift = 1;
    for (;;) {
      if (AtEnd()) return std::nullopt;
      const std::uint8_t x = body_[at_++];
      value += (x & 0x7Fu) * shift;
      if (x & 0x80u) return value;
      if (shift > (std::uint64_t{1} << 49)) return std::nullopt;  // would overflow
      shift <<= 7;
      value += shift;
    }
  }

  std::span<const std::uint8_t> Take(std::size_t count) {
    const auto taken = body_.subspan(at_, count);
    at_ += count;
    return taken;
  }

 private:
  std::span<const std::uint8_t> body_;
  std::size_t at_;
};

// Moves a copy cursor by a signed number (value >> 1, negative when the low
// bit is set); false when it would leave 0 to `limit`.
bool MoveCursor(std::uint64_t encoded, std::uint64_t& cursor, std::uint64_t limit) {
  const std::uint64_t distance = encoded >> 1;
  if (encoded & 1u) {
    if (distance > cursor) return false;
    cursor -= distance;
  } else {
    if (distance > limit - cursor) return false;
    cursor += distance;
  }
  return true;
}

}  // namespace

void PutBpsNumber(std::vector<std::uint8_t>& out, std::uint64_t value) {
  for (;;) {
    const auto low = static_cast<std::uint8_t>(value & 0x7F);
    value >>= 7;
    if (value == 0) {
      out.push_back(static_cast<std::uint8_t>(0x80 | low));
      return;
    }
    out.push_back(low);
    --value;
  }
}

std::uint32_t Crc32(std::span<const std::uint8_t> bytes) {
  uLong crc = crc32(0L, Z_NULL, 0);
  // zlib takes at most a uInt per call.
  constexpr std::size_t kChunk = 1u << 30;
  for (std::size_t at = 0; at < bytes.size(); at += kChunk) {
    const std::size_t size = std::min(kChunk, bytes.size() - at);
    crc = crc32(crc, bytes.data() + at, static_cast<uInt>(size));
  }
  return static_cast<std::uint32_t>(crc);
}

std::vector<std::uint8_t> MakeBpsPatch(std::span<const std::uint8_t> source,
                                       std::span<const std::uint8_t> target) {
  std::vector<std::uint8_t> patch(kBpsMagic.begin(), kBpsMagic.end());
  PutBpsNumber(patch, source.size());
  PutBpsNumber(patch, target.size());
  PutBpsNumber(patch, 0);  // no metadata
  const auto same = [&](std::size_t i) { return i < source.size() && source[i] == target[i]; };
  std::size_t i = 0;
  while (i < target.size()) {
    const std::size_t begin = i;
    const bool unchanged = same(i);
    while (i < target.size() && same(i) == unchanged) ++i;
    if (unchanged) {
      PutAction(patch, kSourceRead, i - begin);
    } else {
      PutAction(patch, kTargetRead, i - begin);
      patch.insert(patch.end(), target.begin() + static_cast<std::ptrdiff_t>(begin),
                   target.begin() + static_cast<std::ptrdiff_t>(i));
    }
  }
  PutLittleEndian32(patch, Crc32(source));
  PutLittleEndian32(patch, Crc32(target));
  PutLittleEndian32(patch, Crc32(patch));
  return patch;
}

PatchResult ApplyBpsPatch(std::span<const std::uint8_t> source, std::span<const std::uint8_t> patch) {
  if (patch.size() < kBpsMagic.size() || !std::equal(kBpsMagic.begin(), kBpsMagic.end(), patch.begin())) {
    return PatchResult::Refused("not a BPS patch (it does not start with BPS1)");
  }
  if (patch.size() < kBpsMagic.size() + 3 + kFooterSize) {
    return PatchResult::Refused("the patch is cut short: too small to hold its header and checksums");
  }
  const std::size_t footer = patch.size() - kFooterSize;
  if (Crc32(patch.first(patch.size() - 4)) != LittleEndian32At(patch, patch.size() - 4)) {
    return PatchResult::Refused("the patch is damaged or cut short: its own checksum does not match");
  }
  BodyReader body(patch.first(footer), kBpsMagic.size());
  const auto sourceSize = body.Number();
  const auto targetSize = body.Number();
  const auto metadataSize = body.Number();
  if (!sourceSize || !targetSize || !metadataSize || *metadataSize > body.Left()) {
    return PatchResult::Refused("the patch is damaged: its header cannot be read");
  }
  if (*sourceSize != source.size() || Crc32(source) != LittleEndian32At(patch, footer)) {
    return PatchResult::Refused("the patch was made for another file: the source checksum does not match");
  }
  if (*targetSize > kLargestTarget) return PatchResult::Refused("the patch's target is too large");
  body.Take(static_cast<std::size_t>(*metadataSize));

  const std::string damaged = "the patch is damaged: an action reaches outside its data";
  std::vector<std::uint8_t> out;
  out.reserve(static_cast<std::size_t>(*targetSize));
  std::uint64_t sourceCursor = 0;
  std::uint64_t targetCursor = 0;
  while (!body.AtEnd()) {
    const auto command = body.Number();
    if (!command) return PatchResult::Refused(damaged);
    const std::uint64_t length = (*command >> 2) + 1;
    if (length > *targetSize - out.size()) return PatchResult::Refused(damaged);
    const auto count = static_cast<std::size_t>(length);
    switch (static_cast<Action>(*command & 3)) {
      case kSourceRead: {
        if (out.size() + count > source.size()) return PatchResult::Refused(damaged);
        const auto from = source.subspan(out.size(), count);
        out.insert(out.end(), from.begin(), from.end());
        break;
      }
      case kTargetRead: {
        if (count > body.Left()) return PatchResult::Refused(damaged);
        const auto from = body.Take(count);
        out.insert(out.end(), from.begin(), from.end());
        break;
      }
      case kSourceCopy: {
        const auto distance = body.Number();
        if (!distance || !MoveCursor(*distance, sourceCursor, source.size()) ||
            count > source.size() - sourceCursor) {
          return PatchResult::Refused(damaged);
        }
        const auto from = source.subspan(static_cast<std::size_t>(sourceCursor), count);
        out.insert(out.end(), from.begin(), from.end());
        sourceCursor += length;
        break;
      }
      case kTargetCopy: {
        const auto distance = body.Number();
        if (!distance || !MoveCursor(*distance, targetCursor, out.size()) || targetCursor >= out.size()) {
          return PatchResult::Refused(damaged);
        }
        // Byte by byte: the copy may read what it has just written (runs).
        for (std::size_t k = 0; k < count; ++k) out.push_back(out[static_cast<std::size_t>(targetCursor++)]);
        break;
      }
    }
  }
  if (out.size() != *targetSize) {
    return PatchResult::Refused("the patch is damaged: it ends before the target is complete");
  }
  if (Crc32(out) != LittleEndian32At(patch, footer + 4)) {
    return PatchResult::Refused("the patch is damaged: the result does not match its target checksum");
  }
  return {std::move(out), {}};
}

}  // namespace kestrin::rom_tool
