// libFuzzer target: one slice of a CT series as a file, its header checked as the series reader
// checks each slice and its pixels decoded to HU (any transfer syntax DCMTK decodes), then the
// same file as a series of one in a folder (its files found and read as a user's folder is).
#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "formats/ct.h"
#include "fuzz_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace sinora;
  static fuzzing::MemoryFile memory("fuzz-ct");
  // One folder for every run (libFuzzer ends without running exit handlers).
  static const std::string folder = [] {
    const std::string f = "/tmp/sinora-fuzz-ct";
    ::mkdir(f.c_str(), 0700);
    return f;
  }();
  formats::CtSliceHeader header;
  std::vector<float> hu;
  (void)formats::readCtSlice(memory.hold(data, size), &header, &hu);
  const std::string file = folder + "/slice.dcm";
  if (FILE* f = std::fopen(file.c_str(), "wb")) {
    if (size > 0 && std::fwrite(data, 1, size, f) != size) std::abort();
    std::fclose(f);
  }
  (void)formats::readCtSeries(folder, 1);
  return 0;
}
