// Runs one open in a child process and measures what it alone costs: the growth of the peak
// resident memory (getrusage) and whether it finished within a time. A crash or abort of the
// open shows as a child that did not exit normally.
#pragma once

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <functional>

namespace sinora::testing {

struct ChildOutcome {
  bool exited = false;      // ran to its end (no abort, no signal, no time-out)
  bool succeeded = false;   // what the function returned
  std::uint64_t peakGrowth = 0;  // bytes the peak resident memory grew by during the call
};

// A sanitizer build is several times slower; the time allowed grows with it.
#if defined(__SANITIZE_ADDRESS__)
constexpr unsigned kSlowdown = 4;
#else
constexpr unsigned kSlowdown = 1;
#endif

inline ChildOutcome inChild(const std::function<bool()>& open, unsigned seconds) {
  ChildOutcome r;
  int fds[2];
  if (::pipe(fds) != 0) return r;
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(fds[0]);
    ::alarm(seconds * kSlowdown);  // SIGALRM ends a child that takes too long
    rusage before {}, after {};
    ::getrusage(RUSAGE_SELF, &before);
    const bool ok = open();
    ::getrusage(RUSAGE_SELF, &after);
    const std::uint64_t growth =
        std::uint64_t(after.ru_maxrss > before.ru_maxrss ? after.ru_maxrss - before.ru_maxrss : 0) * 1024;
    const std::uint64_t out[2] = {ok ? 1u : 0u, growth};
    (void)!::write(fds[1], out, sizeof out);
    ::_exit(0);
  }
  ::close(fds[1]);
  std::uint64_t in[2] = {0, 0};
  const bool got = pid > 0 && ::read(fds[0], in, sizeof in) == ssize_t(sizeof in);
  ::close(fds[0]);
  int status = 0;
  if (pid > 0) ::waitpid(pid, &status, 0);
  r.exited = got && WIFEXITED(status) && WEXITSTATUS(status) == 0;
  r.succeeded = in[0] == 1;
  r.peakGrowth = in[1];
  return r;
}

constexpr std::uint64_t kMiB = std::uint64_t(1) << 20;

}  // namespace sinora::testing
