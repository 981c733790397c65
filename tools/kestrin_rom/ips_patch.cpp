#include "ips_patch.h"

#include <algorithm>
#include <stdexcept>

namespace kestrin::rom_tool {
namespace {

// Offset whose three bytes read "EOF": a reader would take such a record
// for the end marker.
constexpr std::size_t kEofAsOffset = 0x454F46;
constexpr std::size_t kOffsetLimit = 0x1000000;
constexpr std::size_t kTruncateSizeBytes = 3;
constexpr std::string_view kEndMarker = "EOF";

void PutBigEndian(std::vector<std::uint8_t>& out, std::size_t value, int byteCount) {
  for (int shift = 8 * (byteCount - 1); shift >= 0; shift -= 8) {
    out.push_back(static_cast<std::uint8_t>((value >> shift) & 0xFF));
  }
}

std::size_t BigEndianAt(std::span<const std::uint8_t> bytes, std::size_t at, int byteCount) {
  std::size_t value = 0;
  for (int k = 0; k < byteCount; ++k) value = value << 8 | bytes[at + static_cast<std::size_t>(k)];
  return value;
}

bool Changed(std::span<const std::uint8_t> source, std::span<const std::uint8_t> target, std::size_t i) {
  return i >= source.size() || source[i] != target[i];
}

void PutRecords(std::vector<std::uint8_t>& patch, std::span<const std::uint8_t> target, std::size_t begin,
                std::size_t end) {
  while (begin < end) {
    // Starting one byte earlier rewrites an unchanged byte with its own
    // value and keeps the record apart from the end marker.
    if (begin == kEofAsOffset) --begin;
    const std::size_t size = std::min(end - begin, kIpsMaxRecordSize);
    PutBigEndian(patch, begin, 3);
    PutBigEndian(patch, size, 2);
    patch.insert(patch.end(), target.begin() + static_cast<std::ptrdiff_t>(begin),
                 target.begin() + static_cast<std::ptrdiff_t>(begin + size));
    begin += size;
  }
}

void WriteAt(std::vector<std::uint8_t>& output, std::size_t offset, std::size_t size) {
  if (output.size() < offset + size) output.resize(offset + size, 0);
}

}  // namespace

std::vector<std::uint8_t> MakeIpsPatch(std::span<const std::uint8_t> source,
                                       std::span<const std::uint8_t> target) {
  if (target.size() > kOffsetLimit) throw std::length_error("IPS cannot address a target this large");
  std::vector<std::uint8_t> patch(kIpsMagic.begin(), kIpsMagic.end());
  std::size_t i = 0;
  while (i < target.size()) {
    if (!Changed(source, target, i)) {
      ++i;
      continue;
    }
    const std::size_t runBegin = i;
    while (i < target.size() && Changed(source, target, i)) ++i;
    PutRecords(patch, target, runBegin, i);
  }
  patch.insert(patch.end(), kEndMarker.begin(), kEndMarker.end());
  if (target.size() < source.size()) PutBigEndian(patch, target.size(), kTruncateSizeBytes);
  return patch;
}

PatchResult ApplyIpsPatch(std::span<const std::uint8_t> source, std::span<const std::uint8_t> patch) {
  if (patch.size() < kIpsMagic.size() || !std::equal(kIpsMagic.begin(), kIpsMagic.end(), patch.begin())) {
    return PatchResult::Refused("not an IPS patch (it does not start with PATCH)");
  }
  std::vector<std::uint8_t> output(source.begin(), source.end());
  std::size_t at = kIpsMagic.size();
  const auto left = [&] { return patch.size() - at; };
  for (;;) {
    if (left() < kEndMarker.size()) return PatchResult::Refused("the patch is cut short: it has no EOF marker");
    if (std::equal(kEndMarker.begin(), kEndMarker.end(), patch.begin() + static_cast<std::ptrdiff_t>(at))) {
      at += kEndMarker.size();
      break;
    }
    if (left() < 5) return PatchResult::Refused("the patch is cut short inside a record header");
    const std::size_t offset = BigEndianAt(patch, at, 3);
    const std::size_t size = BigEndianAt(patch, at + 3, 2);
    at += 5;
    if (size > 0) {
      if (left() < size) return PatchResult::Refused("the patch is cut short inside a record's bytes");
      WriteAt(output, offset, size);
      std::copy_n(patch.begin() + static_cast<std::ptrdiff_t>(at), size,
                  output.begin() + static_cast<std::ptrdiff_t>(offset));
      at += size;
    } else {
      if (left() < 3) return PatchResult::Refused("the patch is cut short inside a run-length record");
      const std::size_t run = BigEndianAt(patch, at, 2);
      const std::uint8_t value = patch[at + 2];
      at += 3;
      WriteAt(output, offset, run);
      std::fill_n(output.begin() + static_cast<std::ptrdiff_t>(offset), run, value);
    }
  }
  if (left() == kTruncateSizeBytes) {
    output.resize(BigEndianAt(patch, at, kTruncateSizeBytes), 0);
  } else if (left() != 0) {
    return PatchResult::Refused("the patch has unexpected bytes after its EOF marker");
  }
  return {std::move(output), {}};
}

}  // namespace kestrin::rom_tool
