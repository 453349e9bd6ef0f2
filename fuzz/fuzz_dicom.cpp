// libFuzzer target: a DICOM file, read as a user's file is (DCMTK's lazy loading, the sizes
// checked before a frame is read), through the frame vectors and sequences, to a study and one
// slice of it. Pixel data past 4 MiB is refused unread, so that the fuzzer spends its time on
// the structure rather than on decoding large frames.
#include <cstdint>

#include "formats/dicom.h"
#include "formats/formats.h"
#include "fuzz_file.h"
#include "imaging/open_way.h"
#include "imaging/slices.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace sinora;
  static fuzzing::MemoryFile file("fuzz-dicom");
  const std::string& path = file.hold(data, size);
  const StudyReadResult r = formats::readDicom(path, std::uint64_t(4) << 20);
  if (r.study && r.study->bins() <= 64 && r.study->views() <= 128) {
    (void)filteredPicture(*r.study, 0, ReconFilter::Ramp, 7);
    // Opened another way: a turn and the last of its energy windows.
    const auto& set = r.study->geometry().energyWindows;
    if (const StudyPtr other = openedWay(r.study, {270, false, set ? int(set->windows.size()) - 1 : -1}))
      (void)filteredPicture(*other, 0, ReconFilter::Ramp, 7);
  }
  // The same bytes as any study: the guess between DICOM without a preamble and the study file.
  if (size < 4096) (void)formats::readAnyStudy(path);
  return 0;
}
