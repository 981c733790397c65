#include "any_patch.h"

#include <algorithm>
#include <string_view>

#include "bps_patch.h"
#include "ips_patch.h"

namespace kestrin::rom_tool {
namespace {

bool StartsWith(std::span<const std::uint8_t> bytes, std::string_view magic) {
  return bytes.size() >= magic.size() && std::equal(magic.begin(), magic.end(), bytes.begin());
}

}  // namespace

PatchResult ApplyAnyPatch(std::span<const std::uint8_t> source, std::span<const std::uint8_t> patch) {
  if (StartsWith(patch, kIpsMagic)) return ApplyIpsPatch(source, patch);
  if (StartsWith(patch, kBpsMagic)) return ApplyBpsPatch(source, patch);
  return PatchResult::Refused("not a patch: it starts neither with PATCH (IPS) nor with BPS1 (BPS)");
}

}  // namespace kestrin::rom_tool
