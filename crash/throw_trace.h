#pragma once
// The stack trace of the last C++ exception thrown on each thread, taken at
// the throw itself: by the time an exception reaches the event loop's catch,
// the frames that threw it are gone. This library defines the C++ runtime's
// throw entry point, records the trace and hands over to the runtime's own.

#include <boost/stacktrace.hpp>
#include <string>
#include <typeinfo>

namespace kestrin::crash {

struct ThrowRecord {
  const std::type_info* type = nullptr;
  boost::stacktrace::stacktrace trace;
};

// Called by the throw hook (throw_hook.cpp) for every throw.
void RecordThrow(const std::type_info* type);

// The last throw on this thread; null before the first one.
const ThrowRecord* LastThrowOnThisThread();

// One line per frame, named as frame_names.h says, with the modules of this
// process and the debug files of its installation.
std::string FormatTrace(const boost::stacktrace::stacktrace& trace);

// "std::runtime_error" for typeid(std::runtime_error).
std::string DemangledName(const std::type_info& type);

}  // namespace kestrin::crash
