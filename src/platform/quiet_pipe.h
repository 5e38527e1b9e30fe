#pragma once
// A write to a connection the peer has closed must fail as an error, never stop the host
// process with SIGPIPE. Code that writes through a library using plain write() (hiredis)
// holds a QuietPipe for the span of its calls: the calling thread ignores the signal and
// any it raised is taken back. Unix only (Windows has no such signal).

#include <cstddef>

namespace kz::platform {

class QuietPipe {
  public:
    QuietPipe();
    ~QuietPipe();
    QuietPipe(const QuietPipe&) = delete;
    QuietPipe& operator=(const QuietPipe&) = delete;

  private:
    // The thread's signal mask before, kept as the system's sigset_t.
    static constexpr std::size_t kMaskSize = 128;
    alignas(8) unsigned char previous_[kMaskSize];
    bool pendingBefore_ = false;
};

}  // namespace kz::platform
