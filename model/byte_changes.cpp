#include "byte_changes.h"

#include <algorithm>

namespace kestrin {
namespace {

bool ByteOrder(const ByteChange& a, const ByteChange& b) {
  if (a.position != b.position) return a.position < b.position;
  if (a.target != b.target) return a.target < b.target;
  return a.stream < b.stream;
}

bool SameByte(const ByteChange& a, const ByteChange& b) {
  return a.position == b.position && a.target == b.target && a.stream == b.stream;
}

}  // namespace

void MergeChanges(std::vector<ByteChange>& earlier, std::span<const ByteChange> later) {
  earlier.insert(earlier.end(), later.begin(), later.end());
  // Stable: of the changes of one byte, the earliest comes first.
  std::stable_sort(earlier.begin(), earlier.end(), ByteOrder);
  std::size_t kept = 0;
  for (std::size_t i = 0; i < earlier.size();) {
    ByteChange joined = earlier[i];
    std::size_t next = i + 1;
    for (; next < earlier.size() && SameByte(earlier[next], joined); ++next) joined.after = earlier[next].after;
    if (joined.before != joined.after) earlier[kept++] = joined;
    i = next;
  }
  earlier.resize(kept);
}

std::vector<ByteChange> NetChanges(std::span<const ByteChange> changes) {
  std::vector<ByteChange> net;
  MergeChanges(net, changes);
  return net;
}

}  // namespace kestrin
