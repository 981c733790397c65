// The C++ runtime's throw entry point. Every throw expression calls it; this
// definition in the program takes precedence over the runtime library's,
// records the throw's trace and hands it on to the next definition (the
// runtime's, or a sanitizer's in front of it).
//
// This file must not see <cxxabi.h>: the compiler's own declaration of the
// entry point takes the type as void*, the header's as std::type_info*.
#include <dlfcn.h>

#include <cstdlib>
#include <typeinfo>

namespace kestrin::crash {
void RecordThrow(const std::type_info* type);
}  // namespace kestrin::crash

extern "C" [[noreturn]] void __cxa_throw(void* object, void* type, void (*destroy)(void*)) {
  using Throw = void (*)(void*, void*, void (*)(void*));
  static const auto next = reinterpret_cast<Throw>(dlsym(RTLD_NEXT, "__cxa_throw"));
  kestrin::crash::RecordThrow(static_cast<const std::type_info*>(type));
  if (next == nullptr) std::abort();
  next(object, type, destroy);
  __builtin_unreachable();
}
