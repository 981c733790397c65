#pragma once
// Storing a part's text into an image, in place, with the window's own
// write-back: every channel keeps its length (no byte added or removed, the
// end byte stays, no other byte becomes 00), the streams stay where the
// header puts them (only the tempo may change), and streams that share a
// byte of the image must agree on it. Refused text changes nothing.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "part_text.h"

namespace kestrin::rom_tool {

struct ImportResult {
  enum class Outcome : std::uint8_t {
    Stored,       // the image holds the text's part now
    Refused,      // the text cannot be stored: `error` says where and why
    NotLoadable,  // the part the text names cannot be loaded
    NotStored,    // the write-back's check failed; the image is unchanged
  };
  Outcome outcome = Outcome::Refused;
  TextError error;
  std::string partName;              // "song 01, line 2 (entry E, part 1)"
  // Each word whose byte changed: "0x38015  Square 1 byte 5: G4 → C4"; a
  // byte that two streams share is named by both.
  std::vector<std::string> changes;
  std::size_t changedBytes = 0;
};

ImportResult ImportPartText(std::vector<std::uint8_t>& image, std::string_view text);

}  // namespace kestrin::rom_tool
