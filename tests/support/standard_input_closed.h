#pragma once
// Standard input closed for the life of the object, as for an editor
// started without one: the next descriptor the process opens is 0.

#include <fcntl.h>
#include <unistd.h>

namespace kestrin {

class StandardInputClosed {
 public:
  StandardInputClosed() : saved_(fcntl(0, F_DUPFD_CLOEXEC, 3)) {
    if (saved_ >= 0) close(0);
  }
  ~StandardInputClosed() {
    if (saved_ < 0) return;
    dup2(saved_, 0);
    close(saved_);
  }
  StandardInputClosed(const StandardInputClosed&) = delete;
  StandardInputClosed& operator=(const StandardInputClosed&) = delete;

 private:
  int saved_;  // standard input kept aside; -1 when it was closed already
};

}  // namespace kestrin
