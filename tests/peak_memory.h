// How much a piece of work grows the resident memory at its peak, measured in a child process so
// that nothing the test program did before counts.
#pragma once

#include <malloc.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <functional>

namespace sinora::testing {

struct PeakGrowth {
  bool ok = false;      // the child ran and reported
  long kilobytes = 0;   // peak resident growth
  long result = 0;      // what the work returned (a check that it ran)
};

inline PeakGrowth peakGrowth(const std::function<long()>& work) {
  PeakGrowth out;
  int pipeFd[2];
  if (pipe(pipeFd) != 0) return out;
  const pid_t child = fork();
  if (child < 0) return out;
  if (child == 0) {
    // The peak a fork inherits is its parent's, and memory earlier tests freed would be reused
    // unseen: give the free memory back and start the peak again from what the child holds.
    malloc_trim(0);
    if (FILE* clear = std::fopen("/proc/self/clear_refs", "w")) std::fputs("5", clear), std::fclose(clear);
    rusage before{}, after{};
    getrusage(RUSAGE_SELF, &before);
    const long result = work();
    getrusage(RUSAGE_SELF, &after);
    const long grown[2] = {after.ru_maxrss - before.ru_maxrss, result};
    _exit(write(pipeFd[1], grown, sizeof grown) == sizeof grown ? 0 : 1);
  }
  close(pipeFd[1]);
  long grown[2] = {-1, 0};
  const bool read = ::read(pipeFd[0], grown, sizeof grown) == sizeof grown;
  close(pipeFd[0]);
  int status = 0;
  waitpid(child, &status, 0);
  out.ok = read && WIFEXITED(status) && WEXITSTATUS(status) == 0;
  out.kilobytes = grown[0];
  out.result = grown[1];
  return out;
}

}  // namespace sinora::testing
