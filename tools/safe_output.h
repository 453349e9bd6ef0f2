// Output files of the command-line tools, written so that nothing else is ever destroyed: each
// file goes to a temporary file in its folder and is renamed over its name when complete (a link
// standing there is replaced, never written through), and an output that is the study itself is
// refused before anything is written. Paths are the system's bytes.
#pragma once

#include <string>
#include <vector>

namespace sinora::tools {

// Creates `dir` and its parents. On failure `error` says which folder and the system's reason.
bool makeFolders(const std::string& dir, std::string* error);

// True when `dir`/`name` for one of `names` is one of the files `protectedPaths` (the same file
// on disk, or a link to it). `clash` gets the name. A missing path protects nothing.
bool anyIsFile(const std::string& dir, const std::vector<std::string>& names,
               const std::vector<std::string>& protectedPaths, std::string* clash);

// Writes `bytes` as `dir`/`name` through a temporary file and a rename.
bool writeWhole(const std::string& dir, const std::string& name, const std::string& bytes,
                std::string* error);

struct OutputFile {
  std::string name, bytes;
};

// Writes every file or none: a name where something other than a file or a link stands (a
// pipe, device, socket or folder) is refused before anything is written; each file goes to a
// temporary file first, and they are renamed over their names only when all were written.
bool writeAll(const std::string& dir, const std::vector<OutputFile>& files, std::string* error);

}  // namespace sinora::tools
