#pragma once
// How many files this process holds open: the same count before and after a
// call shows that the call closed what it opened.

#include <cstddef>
#include <filesystem>
#include <iterator>

namespace kestrin {

inline std::ptrdiff_t OpenDescriptors() {
  return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), std::filesystem::directory_iterator());
}

}  // namespace kestrin
