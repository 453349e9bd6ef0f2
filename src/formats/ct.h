// Attenuation from files: a DICOM CT series (CT Image Storage, read through DCMTK with its
// decoders) and an Interfile mu map. A series is every slice of one Series Instance UID in a
// folder, sorted along the slices' normal by Image Position (Patient), Rescale Slope and
// Intercept applied (HU); tilted, unevenly spaced, single-slice and mixed series are refused.
// Slices are averaged in blocks of k x k pixels as they are read (k the smallest whole number
// that leaves at most 256 across), so a series costs 2 bytes a kept voxel and one slice more.
// The study's slice grid in patient coordinates is formats/export.h's placement.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "imaging/mu_map.h"
#include "imaging/study.h"

namespace sinora::formats {

// What the series reader takes from one slice's header.
struct CtSliceHeader {
  std::string modality, seriesUid, frameOfReferenceUid;
  int rows = 0, columns = 0, frames = 1, bitsAllocated = 16, samplesPerPixel = 1;
  bool pixelSigned = false;
  bool hasPixelData = false;
  bool hasPosition = false, hasOrientation = false, hasSpacing = false;
  double position[3] = {0, 0, 0};
  double orientation[6] = {0, 0, 0, 0, 0, 0};
  double spacing[2] = {0, 0};  // between rows, between columns (mm)
  double slope = 1, intercept = 0;
  double gantryTilt = 0;
};

// Sizes the reader takes: a slice at most 2048 x 2048, a series at most 4096 slices and, after
// the blocks are averaged, 64 Mi voxels.
constexpr int kMaxCtSide = 2048;
constexpr int kMaxCtSlices = 4096;
constexpr std::uint64_t kMaxCtVoxels = std::uint64_t(64) << 20;
constexpr int kCtKeptAcross = 256;

// One slice file: its header, checked as the series reader checks each slice (a CT of one frame,
// 8 or 16 bits, one sample, position, orientation and spacing given), and its pixels in HU
// (rows x columns, row by row); empty or why not (Japanese). For the fuzzer and tests.
std::string readCtSlice(const std::string& path, CtSliceHeader* header, std::vector<float>* hu);

struct AttenuationReadResult {
  std::shared_ptr<const AttenuationSource> source;  // null on failure
  std::string error;                                // why (Japanese), naming the file
  std::vector<std::string> files;                   // every file read
};

// A CT series: a folder, or one file of it (its series is read from its folder). With a grid
// of the same Frame of Reference only the slices that it can reach, shifts included, are
// decoded (the rest cost their headers only; imaging/mu_map.h's sourceCovers).
AttenuationReadResult readCtSeries(const std::string& path, int threads = 2, const SliceGrid* grid = nullptr);

// An Interfile mu map of B x B x R values ("matrix size [1]", "[2]" and "[3]", "number of
// slices" or "total number of images"), [1] across (the patient's left), [2] down, slice 1 the
// study's row 0, as Sinora exports volumes. Values are cm^-1 unless the header's units say per
// pixel (or per mm); the reading notes which it assumed. Its photon energy is the centre of the
// header's "energy window lower level [1]" and "upper level [1]" when given (else 0: the study's
// photopeak is assumed when the map is made). Refused when the sizes are not the
// study's `bins` and `rows`; `pixelMm` converts values per pixel when the header gives no size.
AttenuationReadResult readInterfileMuMap(const std::string& headerPath, int bins, int rows, double pixelMm);

// Either, recognised by content: a folder or a DICOM file is a CT series, "!INTERFILE" a mu map.
AttenuationReadResult readAttenuation(const std::string& path, const SliceGrid& grid, int threads = 2);

// Where the study's reconstructed voxels lie (export.h's placement) and its Frame of Reference.
SliceGrid sliceGridOf(const ProjectionStudy& study);

// The photopeak of the study: its energy window's centre, a phantom's isotope, else 140.5 keV.
double photopeakKeV(const ProjectionStudy& study);

}  // namespace sinora::formats
