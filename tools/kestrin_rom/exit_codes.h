#pragma once
// The exit codes of kestrin-rom, as its --help lists them.

namespace kestrin::rom_tool {

inline constexpr int kExitDone = 0;
// check found problems; diff found a byte outside the music data; part
// names a part the editor cannot load.
inline constexpr int kExitProblems = 1;
// An input cannot be used: unreadable, not a Kestrin ROM, or a patch that is
// no patch, is damaged or was made for another file.
inline constexpr int kExitUnusableInput = 2;
// The output file could not be written.
inline constexpr int kExitCannotWrite = 3;
// The command line is wrong: a missing or unknown option or argument, or an
// output that would overwrite an input.
inline constexpr int kExitUsage = 4;

}  // namespace kestrin::rom_tool
