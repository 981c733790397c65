#pragma once
// Every slot the program connects is wrapped in GuardedSlot. Qt's widget
// libraries are built without exception support: an exception unwinding
// through their frames skips their clean-up (a QAction leaks the guard it
// holds while it emits, a button is left half pressed). The wrapper catches
// it in the handler's own frame and hands it to crash reporting, whose box
// lets the user go on; the signal then returns to Qt normally.

#include <concepts>
#include <exception>
#include <functional>
#include <type_traits>
#include <utility>

namespace kestrin {

// What the program's application object does with an exception a handler did
// not handle (crash reporting, in app/). The interface lives here so that the
// pages can reach it without knowing the application.
class HandlerFailureSink {
 public:
  virtual void HandlerFailed(std::exception_ptr error) = 0;

 protected:
  ~HandlerFailureSink() = default;
};

// Hands `error` to the application object when it is a HandlerFailureSink;
// otherwise (a plain application in a test of one page) writes its message
// to standard error.
void ReportHandlerFailure(std::exception_ptr error) noexcept;

// `handler`, called with the signal's arguments it takes, as a slot that lets
// no exception out.
template <typename Handler>
auto GuardedSlot(Handler handler) {
  return [handler = std::move(handler)]<typename... Args>(Args&&... args) -> void
    requires std::invocable<const Handler&, Args...>
  {
    try {
      std::invoke(handler, std::forward<Args>(args)...);
    } catch (...) {
      ReportHandlerFailure(std::current_exception());
    }
  };
}

// The member function `member` of `receiver` as a guarded slot.
template <typename Receiver, typename Member>
  requires std::is_member_function_pointer_v<Member>
auto GuardedSlot(Receiver* receiver, Member member) {
  return GuardedSlot([receiver, member]<typename... Args>(Args&&... args) -> void
                       requires std::invocable<Member, Receiver*, Args...>
                     { std::invoke(member, receiver, std::forward<Args>(args)...); });
}

}  // namespace kestrin
