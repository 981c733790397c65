#pragma once
// What applying a patch gives: the patched bytes, or one line saying why the
// patch cannot be applied (and then no bytes at all).

#include <cstdint>
#include <string>
#include <vector>

namespace kestrin::rom_tool {

struct PatchResult {
  std::vector<std::uint8_t> bytes;
  std::string error;  // empty when the patch applied

  bool Applied() const { return error.empty(); }
  static PatchResult Refused(std::string why) { return {{}, std::move(why)}; }
};

}  // namespace kestrin::rom_tool
