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
               const std::vector<std::string>& protectedPaths, std::string* clash) {
  for (const std::string& protectedPath : protectedPaths) {
    struct stat target {}, targetLink {};
    if (protectedPath.empty() || ::stat(protectedPath.c_str(), &target) != 0) continue;
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
  }
  return false;
}

namespace {

// Writes `bytes` to a new temporary file beside `final`; its name goes to `temp`.
bool writeTemporary(const std::string& dir, const std::string& name, const std::string& bytes,
                    std::string* temp, std::string* error) {
  const std::string final = joined(dir, name);
  *temp = joined(dir, "." + name + ".XXXXXX");
  const int fd = ::mkstemp(temp->data());
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
  // A disk that fills up late (delayed allocation) says so here.
  if (failure == 0 && ::fsync(fd) != 0 && errno != EINVAL) failure = errno;
  if (::close(fd) != 0 && failure == 0) failure = errno;
  if (failure != 0) {
    ::unlink(temp->c_str());
    *error = "cannot write " + final + ": " + std::strerror(failure);
    return false;
  }
  return true;
}

// Only a regular file, a link (replaced, never written through) or nothing may stand at a name.
bool mayReplace(const std::string& path, std::string* error) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0 || S_ISREG(st.st_mode) || S_ISLNK(st.st_mode)) return true;
  *error = "cannot write " + path + ": " +
           (S_ISDIR(st.st_mode) ? "a folder" : "a pipe, socket or device") + " of that name is in the way";
  return false;
}

}  // namespace

bool writeWhole(const std::string& dir, const std::string& name, const std::string& bytes,
                std::string* error) {
  return writeAll(dir, {{name, bytes}}, error);
}

bool writeAll(const std::string& dir, const std::vector<OutputFile>& files, std::string* error) {
  for (const OutputFile& f : files)
    if (!mayReplace(joined(dir, f.name), error)) return false;
  std::vector<std::string> temps;
  auto removeTemps = [&temps](std::size_t from) {
    for (std::size_t i = from; i < temps.size(); ++i) ::unlink(temps[i].c_str());
  };
  for (const OutputFile& f : files) {
    std::string temp;
    if (!writeTemporary(dir, f.name, f.bytes, &temp, error)) {
      removeTemps(0);
      return false;
    }
    temps.push_back(temp);
  }
  for (std::size_t i = 0; i < files.size(); ++i)
    if (::rename(temps[i].c_str(), joined(dir, files[i].name).c_str()) != 0) {
      *error = "cannot write " + joined(dir, files[i].name) + ": " + std::strerror(errno);
      removeTemps(i);
      return false;
    }
  return true;
}

}  // namespace sinora::tools
