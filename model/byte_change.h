#pragma once
// One byte the program changed, with its old and new value: in the image,
// in an edit buffer, in the part buffer or in the part header copy.

#include <cstdint>

namespace kestrin {

enum class ByteTarget : std::uint8_t {
  Image,   // romImage[position]
  Edit,    // the edit buffer of `stream`, at position - its stream position
  Stored,  // the part buffer's copy of `stream`, at the same place
  Header,  // the part header copy, at position - the header position
};

// Bytes of a buffer or of the header copy are located by the image offset
// they stand for, so a change finds its byte again as long as a part with
// that stream (or header) at that place is loaded, and is skipped otherwise.
struct ByteChange {
  std::int32_t position = 0;
  ByteTarget target = ByteTarget::Image;
  std::uint8_t stream = 0;
  std::uint8_t before = 0;
  std::uint8_t after = 0;
  friend bool operator==(const ByteChange&, const ByteChange&) = default;
};

}  // namespace kestrin
