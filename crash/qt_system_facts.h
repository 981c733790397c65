#pragma once
// The lines of the report's system section that only Qt knows: its version,
// the platform plugin and the screens.

#include <string>
#include <vector>

namespace kestrin {

std::vector<std::string> QtSystemLines();

}  // namespace kestrin
