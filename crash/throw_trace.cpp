#include "throw_trace.h"

#include <cxxabi.h>

#include <cstdlib>
#include <memory>
#include <optional>
#include <vector>

#include "frame_names.h"
#include "report_sections.h"
#include "signal_safe_writer.h"

namespace kestrin::crash {

namespace {

// Deeper frames than this say nothing more about a failure.
constexpr std::size_t kMaxThrowFrames = 64;

thread_local std::optional<ThrowRecord> lastThrow;
thread_local bool capturing = false;

}  // namespace

void RecordThrow(const std::type_info* type) {
  if (capturing) return;  // a throw from inside the capture itself
  capturing = true;
  try {
    // Skips this function and the throw hook.
    lastThrow = ThrowRecord{type, boost::stacktrace::stacktrace(2, kMaxThrowFrames)};
  } catch (...) {
    lastThrow.reset();
  }
  capturing = false;
}

const ThrowRecord* LastThrowOnThisThread() { return lastThrow ? &*lastThrow : nullptr; }

std::string DemangledName(const std::type_info& type) {
  int status = 0;
  std::unique_ptr<char, void (*)(void*)> name(abi::__cxa_demangle(type.name(), nullptr, nullptr, &status),
                                              std::free);
  return status == 0 && name ? std::string(name.get()) : std::string(type.name());
}

std::string FormatTrace(const boost::stacktrace::stacktrace& trace) {
  std::vector<std::uintptr_t> frames;
  for (const boost::stacktrace::frame& frame : trace) frames.push_back(reinterpret_cast<std::uintptr_t>(frame.address()));
  std::string modules;
  {
    SafeWriter out(modules);
    WriteModules(out);
  }
  return NamedFrames(frames, ParseMappings(modules), DebugFoldersOfThisProgram(), FirstFrame::ReturnAddress);
}

}  // namespace kestrin::crash
