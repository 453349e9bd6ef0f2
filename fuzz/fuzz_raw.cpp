// libFuzzer target: raw counts of any layout read from a file, the layout (and the header bytes
// to skip, up to far past the end) taken from the first bytes.
#include <cstdint>
#include <cstring>
#include <string>

#include "formats/raw.h"
#include "fuzz_file.h"
#include "imaging/slices.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace sinora;
  using namespace sinora::formats;
  if (size < 12) return 0;
  static fuzzing::MemoryFile file("fuzz-raw");
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
  // Header bytes: a small count, or (top bit set) a huge one the file cannot hold.
  std::uint32_t header;
  std::memcpy(&header, data + 8, 4);
  l.headerBytes = header & 0x80000000u ? std::uint64_t(header) << 12 : header % 64;
  if (!checkLayout(l).empty()) return 0;
  const StudyReadResult r = readRaw(file.hold(data, size), l);
  if (!r.study) return 0;
  const ProjectionStudy& study = *r.study;
  (void)backprojectionPicture(study, data[1], 7);
  (void)filteredPicture(study, 0, ReconFilter::Ramp, 7);
  (void)fitToFrame(projectionPicture(study, data[0], 7), Palette::BlackWhite);
  return 0;
}
