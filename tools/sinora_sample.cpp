// sinora-sample FILE: writes the built-in sample study as a study file. Never overwrites.
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include "imaging/sample_study.h"

int main(int argc, char** argv) {
  if (argc != 2 || std::strcmp(argv[1], "--help") == 0 || argv[1][0] == '\0') {
    std::fprintf(stderr, "usage: sinora-sample FILE\n"
                         "Writes Sinora's built-in sample study to FILE (which must not exist).\n");
    return 2;
  }
  const char* path = argv[1];
  // O_EXCL: an existing file, even one created meanwhile, is never touched.
  const int fd = ::open(path, O_WRONLY | O_CREAT | O_EXCL, 0644);
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
