// Attenuation maps from a CT: Hounsfield units to linear attenuation at the photon energy
// (bilinear: air-water below 0 HU, water-bone above; docs/physics.md), and the CT resampled
// (trilinear) into a study's slice grid from DICOM patient coordinates (x to the patient's left,
// y to the back, z to the head). A map is [row][i * B + j] as the reconstructions' slices (i across
// the screen, towards the patient's left; j down, towards the back; docs/geometry.md).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace sinora {

// A CT volume where it lies: voxel (i, j, k) of `hu` ([k][j][i], i fastest) is at
// origin + i * columnMm * rowDir + j * rowMm * columnDir + k * sliceMm * normal.
struct CtVolume {
  int columns = 0, rows = 0, slices = 0;
  double origin[3] = {0, 0, 0};
  double rowDir[3] = {1, 0, 0};     // along a row (increasing column)
  double columnDir[3] = {0, 1, 0};  // down a column (increasing row)
  double normal[3] = {0, 0, 1};     // from slice to slice
  double columnMm = 1, rowMm = 1, sliceMm = 1;  // spacing along rowDir, columnDir, normal
  std::vector<std::int16_t> hu;
  std::string frameOfReferenceUid;
  // The middle of the whole series (mm), and its slices beyond those kept (a series is read only
  // as far as a grid can reach; see formats/ct.h).
  double middle[3] = {0, 0, 0};
  int slicesLeftOut = 0;
  double seriesReach[2] = {0, 0};  // as reach() for the whole series
  double hu_at(int i, int j, int k) const {
    return hu[(std::size_t(k) * rows + std::size_t(j)) * columns + std::size_t(i)];
  }
  // Trilinear value at a point (mm); -1000 (air) outside the volume.
  double sample(double x, double y, double z) const;
  // The middle of the series (mm), where a CT without shared coordinates is placed.
  void centre(double out[3]) const { for (int k = 0; k < 3; ++k) out[k] = middle[k]; }
  // The first and last position along the normal that the kept slices cover (mm, with half a
  // slice beyond each end).
  void reach(double* first, double* last) const;
};

// A map of mu given as it is (an Interfile mu map): slices of B x B in the study's own grid,
// cm^-1, [slice][i * B + j], at the photon energy `keV` (0 when its file does not say).
struct GivenMuMap {
  int bins = 0, slices = 0;
  double keV = 0;
  std::vector<float> perCm;
};

// What a CT or mu map file gave: one of the two, with the file's name and what the reading noted.
struct AttenuationSource {
  std::shared_ptr<const CtVolume> ct;
  std::shared_ptr<const GivenMuMap> map;
  std::string name;                // the file or folder, for captions
  std::string path;                // as it was opened (to read again for another grid)
  std::vector<std::string> notes;  // what the reading chose (Japanese, imaging/text.h)
};

// Where a study's reconstructed voxels lie: pixel (i, j) of row r at
// origin + i * pixelMm * (1, 0, 0) + j * pixelMm * (0, 1, 0) + r * rowStep.
struct SliceGrid {
  int bins = 128, rows = 128;
  double pixelMm = 1;
  double origin[3] = {0, 0, 0};
  double rowStep[3] = {0, 0, -1};
  std::string frameOfReferenceUid;  // empty: the study says nothing of where it lies
  void point(double i, double j, double r, double out[3]) const {
    out[0] = origin[0] + i * pixelMm + r * rowStep[0];
    out[1] = origin[1] + j * pixelMm + r * rowStep[1];
    out[2] = origin[2] + r * rowStep[2];
  }
};

// How far a shift may move a CT (mm along each axis), and so how far beyond a grid a CT is read.
constexpr double kMaxShiftMm = 50;
constexpr double kReachMarginMm = kMaxShiftMm + 10;

// The positions along `normal` (a unit vector) that the grid spans: its corners' least and most.
void gridReach(const SliceGrid& grid, const double normal[3], double* lo, double* hi);
// True when the source can make a map for the grid as far as any shift reaches: a given map,
// a CT read whole, or one whose kept slices cover the grid with the margin (or that the grid
// does not share coordinates with, and which is then read whole).
bool sourceCovers(const AttenuationSource& source, const SliceGrid& grid);

// How the map is made, including the mistakes a lesson makes on purpose: another energy, the CT
// shifted (mm, patient axes: + x to the patient's left, + y to the back, + z to the head), lung
// or bone taken as soft tissue (water, 0 HU).
struct MuMapSettings {
  double keV = 140.5;
  // The energy a given map is taken to be for when its file does not say: the study's photopeak
  // (0: `keV`, so that such a map is used as it is).
  double assumedMapKeV = 0;
  double shiftMm[3] = {0, 0, 0};
  bool lungAsTissue = false;
  bool boneAsTissue = false;
};

// Linear attenuation coefficients (cm^-1) of water and of cortical bone (ICRU-44, 1.92 g/cm^3),
// log-log interpolated in the XCOM tables from 30 keV to 1 MeV.
double corticalBoneMu(double keV);
// The CT's effective energy, keV, at which the bone point's HU is found.
constexpr double kCtEffectiveKeV = 80;
// The HU of cortical bone at the CT's effective energy: 1000 (mu_bone / mu_water - 1).
double boneHu();
// Bilinear HU to mu (cm^-1) at `keV`: mu_w (1 + HU / 1000) up to 0 HU (0 at -1000 and below),
// mu_w + HU (mu_b - mu_w) / HU_b above.
double huToMu(double hu, double keV);

// HU below which a voxel inside the body is lung, and above which it is bone, for the switches.
constexpr double kLungBelowHu = -200;
constexpr double kBoneAboveHu = 200;

// A CT resampled into a slice grid (HU), and the mu map made from it.
struct MuMap {
  std::string refusal;           // why nothing was made (Japanese), else empty
  int bins = 0, rows = 0;
  std::vector<float> hu;         // [row][i * B + j]; empty for a given map
  std::vector<float> perCm;      // [row][i * B + j]
  bool registered = false;       // placed by the shared Frame of Reference (else centred)
  double offsetMm[3] = {0, 0, 0};  // added to a grid point to find its CT point (shift included)
  int rowsCovered = 0;           // rows of the grid that the CT reaches
  std::vector<std::string> notes;  // how it was placed (Japanese)
  bool ok() const { return refusal.empty(); }
};

// How a CT is placed in the grid, in words (Japanese): by the shared Frame of Reference, or
// centred for the student to place; empty for a given map.
std::string ctPlacementNote(const AttenuationSource& source, const SliceGrid& grid);

// The CT (or given map) in the grid with the settings. A CT is placed by patient coordinates
// when both name the same Frame of Reference, else its middle on the grid's (the axis of
// rotation, the middle row); the shift is added either way. A given map must have the grid's
// bins and rows; the settings' shift moves it by whole pixels, and for another energy or a
// tissue switch its values go back to the HU the bilinear line gives them at its own energy
// (huFromMu) and are made again as a CT's are.
MuMap makeMuMap(const AttenuationSource& source, const SliceGrid& grid, const MuMapSettings& settings);

// The inverse of huToMu at `keV`: the HU whose mu it is (-1000 for no matter). Below water's mu a
// voxel is a mix of air and water, above it of water and cortical bone.
std::vector<float> huFromMu(const std::vector<float>& perCm, double keV);

// mu (cm^-1) from resampled HU with the settings' energy and switches; `bins` for the body
// outline (lung lies inside it), slices of bins x bins.
std::vector<float> muFromHu(const std::vector<float>& hu, int bins, const MuMapSettings& settings);

// The body of a slice of HU [i * B + j]: every pixel not reached from the border through air
// (HU at or below -400), so that lungs lie inside it.
std::vector<std::uint8_t> bodyMask(const float* hu, int bins);

// One plane of the CT for showing under a reconstruction, `factor` samples per pixel of the grid
// along each axis: plane 0 transverse at `index` = row (x = i, y = j), 1 coronal at j
// (x = i, y = row), 2 sagittal at i (x = j, y = row). Values [y * width + x] in HU, or in cm^-1
// when `mu`; a given map is shown pixel by pixel.
struct PlaneImage {
  int width = 0, height = 0;
  std::vector<double> values;
};
PlaneImage attenuationPlane(const AttenuationSource& source, const SliceGrid& grid,
                            const MuMapSettings& settings, const MuMap& map, int plane, int index,
                            int factor, bool mu);

}  // namespace sinora
