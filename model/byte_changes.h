#pragma once
// Joining the byte changes of one edit: the edit history merges what the
// write path recorded (write_path.h) into one step.

#include <span>
#include <vector>

#include "byte_change.h"

namespace kestrin {

// Joins `later` onto `earlier` as one edit: a byte changed by both keeps the
// first old value and the last new value; a byte that ends where it began is
// dropped. The result holds each byte once, in image order (then by target
// and stream), whatever order either list was in.
void MergeChanges(std::vector<ByteChange>& earlier, std::span<const ByteChange> later);

// `changes` joined with themselves: each byte once, net.
std::vector<ByteChange> NetChanges(std::span<const ByteChange> changes);

}  // namespace kestrin
