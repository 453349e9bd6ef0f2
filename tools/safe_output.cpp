#include "safe_output.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace sinora::tools {

namespace {

std::string joined(const std::string& dir, const std::string& name) {
  if (!dir.empty() && dir.back() == '/') return dir + name;
  return dir + "/" + name;
}

}  // namespace

bool makeFolders(const std::string& dir, std::string* error) {
  std::string path;
  std::size_t at = 0;
  while (at <= dir.size()) {
    std::size_t next = dir.find('/', at);
    if (next == std::string::npos) next = dir.size();
    path = dir.substr(0, next);
    at = next + 1;
    if (path.empty()) continue;  // the root
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
      if (S_ISDIR(st.st_mode)) continue;
      *error = "cannot create the folder " + path + ": a file of that name is in the way";
      return false;
    }
    if (::mkdir(path.c_str(), 0777) != 0 && errno != EEXIST) {
      *error = "cannot create the folder " + path + ": " + std::strerror(errno);
      return false;
    }
  }
  return true;
}

bool anyIsFile(const std::string& dir, const std::vector<std::string>& names,
               const std::string& protectedPath, std::string* clash) {
  struct stat target {}, targetLink {};
  if (protectedPath.empty() || ::stat(protectedPath.c_str(), &target) != 0) return false;
  const bool haveLink = ::lstat(protectedPath.c_str(), &targetLink) == 0;
  for (const std::string& name : names) {
    struct stat st {};
    if (::lstat(joined(dir, name).c_str(), &st) != 0) continue;
    const bool same = (st.st_dev == target.st_dev && st.st_ino == target.st_ino) ||
                      (haveLink && st.st_dev == targetLink.st_dev && st.st_ino == targetLink.st_ino);
    if (same) {
      *clash = name;
      return true;
    }
  }
  return false;
}

bool writeWhole(const std::string& dir, const std::string& name, const std::string& bytes,
                std::string* error) {
  const std::string final = joined(dir, name);
  std::string temp = joined(dir, "." + name + ".XXXXXX");
  const int fd = ::mkstemp(temp.data());
  if (fd < 0) {
    *error = "cannot write " + final + ": " + std::strerror(errno);
    return false;
  }
  // mkstemp makes the file private; give it the modes a new file would have.
  const mode_t mask = ::umask(0);
  ::umask(mask);
  ::fchmod(fd, 0666 & ~mask);
  std::size_t done = 0;
  int failure = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      failure = errno;
      break;
    }
    done += std::size_t(n);
  }
  if (::close(fd) != 0 && failure == 0) failure = errno;
  if (failure == 0 && ::rename(temp.c_str(), final.c_str()) != 0) failure = errno;
  if (failure != 0) {
    ::unlink(temp.c_str());
    *error = "cannot write " + final + ": " + std::strerror(failure);
    return false;
  }
  return true;
}

bool writeAll(const std::string& dir, const std::vector<std::pair<std::string, std::string>>& files,
              std::string* error) {
  std::vector<std::string> temps;
  auto fail = [&](const std::string& name, int reason) {
    for (const std::string& t : temps) ::unlink(t.c_str());
    *error = "cannot write " + joined(dir, name) + ": " + std::strerror(reason);
    return false;
  };
  const mode_t mask = ::umask(0);
  ::umask(mask);
  for (const auto& [name, bytes] : files) {
    std::string temp = joined(dir, "." + name + ".XXXXXX");
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) return fail(name, errno);
    temps.push_back(temp);
    ::fchmod(fd, 0666 & ~mask);
    std::size_t done = 0;
    int failure = 0;
    while (done < bytes.size()) {
      const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
      if (n < 0) {
        if (errno == EINTR) continue;
        failure = errno;
        break;
      }
      done += std::size_t(n);
    }
    if (::fsync(fd) != 0 && failure == 0 && errno != EINVAL) failure = errno;
    if (::close(fd) != 0 && failure == 0) failure = errno;
    if (failure != 0) return fail(name, failure);
  }
  for (std::size_t i = 0; i < files.size(); ++i)
    if (::rename(temps[i].c_str(), joined(dir, files[i].first).c_str()) != 0) {
      const int reason = errno;
      temps.erase(temps.begin(), temps.begin() + std::ptrdiff_t(i));
      return fail(files[i].first, reason);
    }
  return true;
}

}  // namespace sinora::tools
