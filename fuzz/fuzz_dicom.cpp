// libFuzzer target: a DICOM file, through DCMTK, the frame vectors and sequences, to a study and
// one slice of it.
#include <cstdint>

#include "formats/dicom.h"
#include "imaging/slices.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace sinora;
  const StudyReadResult r = formats::readDicomBytes(data, size);
  if (r.study && r.study->bins() <= 64 && r.study->views() <= 128)
    (void)filteredPicture(*r.study, 0, ReconFilter::Ramp, 7);
  return 0;
}
