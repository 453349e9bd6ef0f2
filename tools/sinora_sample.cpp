// sinora-sample FILE: writes the built-in sample study as a study file. Never overwrites.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include "imaging/sample_study.h"

namespace {

const char kUsage[] =
    "usage: sinora-sample FILE\n"
    "Writes Sinora's built-in sample study to FILE (which must not exist).\n";

int usageError(const char* why) {
  std::fprintf(stderr, "sinora-sample: %s\n%s", why, kUsage);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  const char* path = nullptr;
  bool onlyFiles = false;
  for (int i = 1; i < argc; ++i) {
    const char* a = argv[i];
    if (!onlyFiles && std::strcmp(a, "--") == 0) {
      onlyFiles = true;
    } else if (!onlyFiles && (std::strcmp(a, "--help") == 0 || std::strcmp(a, "-h") == 0)) {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (!onlyFiles && a[0] == '-' && a[1] != '\0') {
      // An option name is never taken as the file to create.
      std::fprintf(stderr, "sinora-sample: unknown option %s\n%s", a, kUsage);
      return 2;
    } else if (path) {
      return usageError("only one file can be given");
    } else {
      path = a;
    }
  }
  if (!path) return usageError("the file to write is missing");
  if (path[0] == '\0') return usageError("the file name is empty");
  // O_EXCL: an existing file, even one created meanwhile, is never touched.
  const int fd = ::open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) {
    std::fprintf(stderr, "sinora-sample: cannot create %s: %s\n", path, std::strerror(errno));
    return 1;
  }
  const std::vector<std::uint8_t> bytes = sinora::studyFileBytes(*sinora::sampleStudy());
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      std::fprintf(stderr, "sinora-sample: cannot write %s: %s\n", path, std::strerror(errno));
      ::close(fd);
      ::unlink(path);  // ours, and incomplete
      return 1;
    }
    done += std::size_t(n);
  }
  if (::close(fd) != 0) {
    std::fprintf(stderr, "sinora-sample: cannot write %s: %s\n", path, std::strerror(errno));
    ::unlink(path);
    return 1;
  }
  return 0;
}
