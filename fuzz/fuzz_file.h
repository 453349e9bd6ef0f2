// The fuzz targets hand their bytes to the readers as a file, so that the paths a user's file
// takes (opening, size checks, offsets, lazy loading) are the ones fuzzed. The file is a memory
// file (memfd) named through /proc/self/fd, rewritten for every input.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

namespace fuzzing {

class MemoryFile {
 public:
  explicit MemoryFile(const char* name) : fd_(::memfd_create(name, MFD_CLOEXEC)) {
    if (fd_ < 0) std::abort();
    path_ = "/proc/self/fd/" + std::to_string(fd_);
  }
  // The file holds exactly these bytes.
  const std::string& hold(const std::uint8_t* data, std::size_t size) {
    if (::ftruncate(fd_, 0) != 0) std::abort();
    std::size_t done = 0;
    while (done < size) {
      const ssize_t n = ::pwrite(fd_, data + done, size - done, off_t(done));
      if (n <= 0) std::abort();
      done += std::size_t(n);
    }
    return path_;
  }

 private:
  int fd_;
  std::string path_;
};

}  // namespace fuzzing
