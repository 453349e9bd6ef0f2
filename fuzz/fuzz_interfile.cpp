// libFuzzer target: an Interfile header and the counts behind it, read from files as a user's
// study is. The bytes are both the header and the data file it names (when the name is a plain
// name, it is written beside the header): every key, size, offset and number format is reached.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "formats/formats.h"
#include "formats/interfile.h"
#include "imaging/open_way.h"
#include "imaging/slices.h"

namespace {

const std::string& folder() {
  static const std::string dir = [] {
    char tmpl[] = "/tmp/sinora-fuzz-interfile-XXXXXX";
    if (!::mkdtemp(tmpl)) std::abort();
    return std::string(tmpl);
  }();
  return dir;
}

void put(const std::string& path, const std::uint8_t* data, std::size_t size) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f.write(reinterpret_cast<const char*>(data), std::streamsize(size));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace sinora;
  using namespace sinora::formats;
  const std::string text(reinterpret_cast<const char*>(data), size);
  const std::string header = folder() + "/study.hs";
  put(header, data, size);
  std::string dataFile;
  const auto keys = parseInterfileKeys(text);
  if (auto it = keys.find("name of data file"); it != keys.end()) {
    const std::string& name = it->second;
    // Only a plain name is made, beside the header; any other stays as the system has it.
    if (!name.empty() && name.size() < 64 && name.find('/') == std::string::npos && name != "." &&
        name != ".." && name.find('\0') == std::string::npos && name != "study.hs") {
      dataFile = folder() + "/" + name;
      put(dataFile, data, size);
    }
  }
  const StudyReadResult r = readAnyStudy(header);
  if (!dataFile.empty()) std::remove(dataFile.c_str());
  if (!r.study) return 0;
  const ProjectionStudy& study = *r.study;
  if (study.bins() <= 64 && study.views() <= 256) {
    (void)prefilteredPicture(study, study.rows() / 2, ReconFilter::SheppLogan, {2, 0.3}, 7);
    (void)fitToFrame(smoothedPicture(study, 1, {3, 0.2}, 7), Palette::Ribbon);
    // Weights kept as read, and the study opened another way (turned, mirrored, its last window).
    const auto& set = study.geometry().energyWindows;
    const StudyPtr other = openedWay(r.study, {90, true, set ? int(set->windows.size()) - 1 : -1});
    if (other) (void)fbpSlice(*other, 0, reconKernelFor(ReconFilter::Ramp, other->bins()));
  }
  return 0;
}
