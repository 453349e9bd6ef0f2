// Test files made by outside writers (pydicom, DCMTK's tools) are made once per build folder, not
// once per test: ctest starts every test in its own process, and writing them costs more than
// most of the tests that read them. A lock keeps two tests running at once from writing together;
// a key (the writers' own files, their sizes and times) makes a changed writer write again.
#pragma once

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <system_error>
#include <vector>

namespace sinora::testing {

// The folder NAME under the build's test-data folder, written by WRITE (given an empty folder;
// false is a failure) unless it was written before from the same INPUTS. Empty when writing failed.
// The folder is shared: a test that adds files must add them elsewhere.
inline std::filesystem::path writtenOnce(const std::string& name, const std::vector<std::string>& inputs,
                                         const std::function<bool(const std::filesystem::path&)>& write) {
  namespace fs = std::filesystem;
  const fs::path base = SINORA_TEST_CACHE;
  std::error_code ec;
  fs::create_directories(base, ec);
  std::ostringstream key;
  for (const std::string& in : inputs) {
    key << in;
    if (fs::exists(in, ec))
      key << ' ' << fs::file_size(in, ec) << ' ' << fs::last_write_time(in, ec).time_since_epoch().count();
    key << '\n';
  }
  const fs::path dir = base / name, part = base / (name + ".part"), stamp = dir / ".written-from";
  const int lock = ::open((base / (name + ".lock")).c_str(), O_CREAT | O_RDWR | O_CLOEXEC, 0644);
  if (lock < 0 || ::flock(lock, LOCK_EX) != 0) {
    if (lock >= 0) ::close(lock);
    return {};
  }
  std::string had;
  {
    std::ifstream in(stamp);
    std::stringstream s;
    s << in.rdbuf();
    had = s.str();
  }
  bool ok = had == key.str() && !had.empty();
  if (!ok) {
    fs::remove_all(dir, ec);
    fs::remove_all(part, ec);
    fs::create_directories(part, ec);
    ok = !ec && write(part);
    if (ok) {
      std::ofstream(part / ".written-from") << key.str();
      fs::rename(part, dir, ec);
      ok = !ec;
    }
    if (!ok) fs::remove_all(part, ec);
  }
  ::flock(lock, LOCK_UN);
  ::close(lock);
  return ok ? dir : fs::path();
}

}  // namespace sinora::testing
