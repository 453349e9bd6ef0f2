// Output files of the command-line tools, written so that nothing else is ever destroyed: each
// file goes to a temporary file in its folder and is renamed over its name when complete (a link
// standing there is replaced, never written through), and an output that is the study itself is
// refused before anything is written. Paths are the system's bytes.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace sinora::tools {

// Creates `dir` and its parents. On failure `error` says which folder and the system's reason.
bool makeFolders(const std::string& dir, std::string* error);

// True when `dir`/`name` for one of `names` is the file `protectedPath` (same file on disk).
// `clash` gets the name. A missing `protectedPath` protects nothing.
bool anyIsFile(const std::string& dir, const std::vector<std::string>& names,
               const std::string& protectedPath, std::string* clash);

// Writes `bytes` as `dir`/`name` through a temporary file and a rename.
bool writeWhole(const std::string& dir, const std::string& name, const std::string& bytes,
                std::string* error);

// Writes every (name, bytes) pair into `dir` all together: each to its own temporary file, and
// only when all are complete are they renamed into place. On failure no temporary is left and
// no named file was touched; `error` names the file and the system's reason.
bool writeAll(const std::string& dir, const std::vector<std::pair<std::string, std::string>>& files,
              std::string* error);

}  // namespace sinora::tools
