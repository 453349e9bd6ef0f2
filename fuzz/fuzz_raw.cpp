// libFuzzer target: raw counts of any layout, the layout itself taken from the first bytes.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "formats/raw.h"
#include "imaging/slices.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace sinora;
  using namespace sinora::formats;
  if (size < 8) return 0;
  RawLayout l;
  l.views = 1 + data[0] % 32;
  l.rows = 1 + data[1] % 16;
  l.bins = 1 + data[2] % 48;
  const int widths[] = {1, 2, 4, 8};
  l.bytesPerCount = widths[data[3] % 4];
  l.format = static_cast<NumberFormat>(data[4] % 3);
  l.bigEndian = data[5] & 1;
  l.clockwise = data[5] & 2;
  l.arcIsSpan = data[5] & 4;
  l.arcDegrees = 1 + data[6] * 359.0 / 255;
  l.startDegrees = data[7] * 3.0;
  if (!checkLayout(l).empty()) return 0;
  const std::uint64_t count = std::uint64_t(l.views) * l.rows * l.bins;
  if ((size - 8) / std::uint64_t(l.bytesPerCount) < count) return 0;
  const StudyPtr held = studyFromCounts(data + 8, l, "fuzz");
  const ProjectionStudy& study = *held;
  (void)backprojectionPicture(study, data[1], 7);
  (void)filteredPicture(study, 0, ReconFilter::Ramp, 7);
  (void)fitToFrame(projectionPicture(study, data[0], 7), Palette::BlackWhite);
  return 0;
}
