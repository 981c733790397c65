#include "guarded_slot.h"

#include <QCoreApplication>
#include <cstdio>

namespace kestrin {

void ReportHandlerFailure(std::exception_ptr error) noexcept {
  if (auto* sink = dynamic_cast<HandlerFailureSink*>(QCoreApplication::instance())) {
    sink->HandlerFailed(error);
    return;
  }
  try {
    std::rethrow_exception(error);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
  } catch (...) {
    std::fprintf(stderr, "an unknown exception\n");
  }
}

}  // namespace kestrin
