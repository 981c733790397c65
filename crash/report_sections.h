#pragma once
// The sections of a crash report. Each is a title line "== Title ==" and its
// lines. The Write* functions are async-signal-safe (the fatal-signal handler
// uses them); the others allocate and read files freely.

#include <sys/types.h>

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

#include "editor_facts.h"
#include "signal_safe_writer.h"

namespace kestrin::crash {

void WriteTitle(SafeWriter& out, const char* title);
// "2026-12-08 07:30:05 UTC".
void WriteUtcTime(SafeWriter& out, std::time_t when);
// Time, program, version, executable, command line (NUL-separated bytes as
// /proc/self/cmdline holds them) and process id.
void WriteHeader(SafeWriter& out, std::time_t when, const char* program, const char* version,
                 const char* executable, const char* commandLine, std::size_t commandLineSize,
                 long pid);
// The executable mappings of this process (/proc/self/maps) as the kernel
// writes them, start-end, permissions, file offset, device, inode, path, each
// followed by " (build-id HEX)" when the module has one.
void WriteModules(SafeWriter& out);
void WriteEditorState(SafeWriter& out, const EditorFacts& facts);
// "#0 0x...", one line a frame, starting at the frame of the failing
// instruction `pc` and ending at the first null; only "#0 pc" when the
// unwinder did not get that far. A `pc` of 0 (unknown) keeps every frame.
void WriteFrameLines(SafeWriter& out, const void* const* frames, std::size_t count, std::uintptr_t pc);

struct ThreadInfo {
  long id = 0;
  std::string name;
  std::string state;  // "R (running)", "S (sleeping)", ...
};
std::vector<ThreadInfo> ThreadsOf(long pid);
// The failing thread is marked; only its trace can be taken safely, and it
// stands in the stack trace section.
std::string ThreadsSection(long pid, long failingThread);
// Kernel, distribution, memory and locale; `extraLines` (Qt's facts) follow.
std::string SystemSection(const std::vector<std::string>& extraLines);

}  // namespace kestrin::crash
