// libFuzzer target: an Interfile header and the counts behind it. The bytes are both the header
// text and, from the offset it names, the data: every key, size and number format is reached.
#include <cstdint>
#include <string>
#include <vector>

#include "formats/interfile.h"
#include "imaging/slices.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace sinora;
  using namespace sinora::formats;
  const std::string text(reinterpret_cast<const char*>(data), size);
  (void)looksLikeInterfile(data, size);
  InterfileHeader h;
  std::string error;
  if (!interpretInterfile(parseInterfileKeys(text), &h, &error)) return 0;
  const RawLayout& l = h.layout;
  if (!checkLayout(l).empty()) return 0;
  const std::uint64_t count = std::uint64_t(l.views) * l.rows * l.bins;
  if (count > (1u << 16) || l.headerBytes > size) return 0;
  const std::uint64_t have = (size - l.headerBytes) / std::uint64_t(l.bytesPerCount);
  if (have < count) return 0;
  const StudyPtr held = studyFromCounts(data + l.headerBytes, l, "fuzz");
  const ProjectionStudy& study = *held;
  if (study.bins() <= 64) {
    (void)prefilteredPicture(study, study.rows() / 2, ReconFilter::SheppLogan, {2, 0.3}, 7);
    (void)fitToFrame(smoothedPicture(study, 1, {3, 0.2}, 7), Palette::Ribbon);
  }
  return 0;
}
