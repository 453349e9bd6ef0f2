// The phantom lab's acquisitions: analytic objects (ellipsoids, elliptic cylinders, lines and
// points, in millimetres) projected by exact line integrals into a parallel-hole SPECT study of
// any views, arc, matrix and pixel size, with the physics that spoils real ones: uniform
// attenuation inside the object's outer outline, a collimator blur growing with the distance to
// the detector, a centre-of-rotation offset and Poisson noise from the program's own generator.
//
// Coordinates: x across the screen (pixel i), y down the screen (pixel j, towards the patient's
// back), z down the rows, all about the centre of rotation, which sits at pixel and bin c = B / 2.
// A view at the program's angle theta sees along e_d = (sin theta, -cos theta) towards its
// detector; its bins run along e_u = (cos theta, sin theta) (docs/geometry.md).
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "imaging/collimator.h"
#include "imaging/scatter.h"
#include "imaging/study.h"

namespace sinora {

enum class PhantomKind { Sample, SheppLogan, Jaszczak, Cylinder, LineSources, PointSource, Contrast, Thorax };
constexpr int kPhantomKinds = 8;

// The name shown (Japanese) and the name on the command line ("sample", "shepp-logan", ...).
std::string phantomName(PhantomKind kind);
std::string phantomKey(PhantomKind kind);
bool phantomFromKey(const std::string& key, PhantomKind& kind);

struct PhantomSettings {
  PhantomKind kind = PhantomKind::Jaszczak;
  int views = 120;             // 4..360
  double arcDegrees = 360;     // 180 or 360
  double startDegrees = 0;     // the program's angle of the first view
  bool clockwise = true;       // the program's angle grows view by view
  int matrix = 128;            // bins and rows: 64, 128 or 256
  double pixelMm = 2.0;        // above 0, up to 20
  double counts = 1e7;         // expected total of the photopeak window, 1e3..1e9
  bool noiseFree = false;      // counts are then the rounded expectations
  double fwhmMm = 0;           // collimator blur at the centre of rotation; 0: none
  bool blurGrows = true;       // the FWHM grows in proportion to the distance to the detector
  double radiusMm = 200;       // radius of rotation (distance of the detector from the centre)
  double corPixels = 0;        // the projections are shifted by this along their bins
  double muPerCm = 0;          // uniform attenuation inside the outer outline (the thorax: water's)
  double pointMm[3] = {0, 0, 0};  // the point source: x, y, z
  std::uint64_t seed = 1;
  // Energy: the isotope's photopeak (isotopes() of scatter.h) into a window of peakPercent of its
  // energy about it, and two side windows of lowerPercent and upperPercent just below and above.
  std::string isotope = "tc99m";
  double peakPercent = 20;          // 2..50
  double lowerPercent = 7;          // 1..30
  double upperPercent = 7;          // 1..30
  double energyResolutionPercent = 9.5;  // FWHM at 140 keV, 0..30 (0: ideal)
  // Single Compton scatter in the object's matter (water of the density that muPerCm gives).
  bool scatter = false;
  // A real collimator (collimator.h) instead of fwhmMm / blurGrows, which stand for
  // collimatorFromCentreFwhm(fwhmMm, radiusMm, blurGrows).
  bool realCollimator = false;
  Collimator collimator{3.5, 1.48, 0.0447};  // LEHR
  // The collimator the acquisition uses.
  Collimator effectiveCollimator() const;
  // The windows acquired: photopeak, lower, upper.
  std::vector<EnergyWindow> energyWindows() const;
  double photonKeV() const;
};

// A setting out of range: which one ("views", "arc", "start", "matrix", "pixel", "counts",
// "fwhm", "radius", "cor", "mu", "point", "seed", "isotope", "windows", "resolution",
// "collimator") and what is wrong, in Japanese. The thorax needs a field of view it fits in.
struct SettingProblem {
  std::string field;
  std::string message;
};
std::vector<SettingProblem> checkPhantom(const PhantomSettings& settings);

// One analytic part, millimetres; activities add where parts overlap.
struct PhantomPart {
  enum Shape { Ellipsoid, Cylinder, Line, Point };
  Shape shape = Ellipsoid;
  double cx = 0, cy = 0, cz = 0;
  double ax = 0, ay = 0, az = 0;  // semi-axes; a cylinder's az and a line's az are half lengths
  double phi = 0;                 // turn in the slice plane, radians, from x towards y
  double activity = 0;            // per mm^3 (a line: per mm; a point: in all)
  // Matter, added where parts overlap as activity is, in units of water's mu and of the excess
  // of cortical bone's mu over water's at the photon energy (parts of volume only). An object
  // with matter attenuates by it (mu of its water: settings.muPerCm, the rest in proportion);
  // one without attenuates uniformly inside its outline.
  double water = 0, bone = 0;
};

struct PhantomObject {
  std::vector<PhantomPart> parts;
  int outline = -1;   // the part whose inside attenuates (-1: the object is in air)
  int feature = -1;   // the part whose recovered contrast is given by default (-1: none)
  double background = 0;  // the activity of the object's uniform background (0: none)
};

PhantomObject phantomObject(PhantomKind kind);

// True when some part of the object has matter (water or bone).
bool hasMatter(const PhantomObject& object);

// A part's matter as mu (cm^-1) at the settings' photon energy, for water of mu settings.muPerCm.
double matterMuPerCm(const PhantomPart& part, const PhantomSettings& settings);

// Inside of a part at a point (mm): for Line and Point never (they have no volume).
bool insidePart(const PhantomPart& part, double x, double y, double z);

// The chord of a ray at height z, through (u e_u + t e_d) for all t, with a part of volume:
// false when it misses, else t0 < t1. e_u and e_d are unit vectors, at right angles.
bool partChord(const PhantomPart& part, double u, double z, double cs, double sn, double& t0,
               double& t1);

// The line integral of a part's activity along that ray (no attenuation).
double lineIntegral(const PhantomPart& part, double u, double z, double cs, double sn);

// What a phantom study keeps of its making, so that the windows can show the truth.
struct PhantomInfo {
  std::string name;
  PhantomSettings settings;
  PhantomObject object;
  // The true activity, voxel means, [row][i * B + j] (the slice as the reconstructions show it).
  std::vector<std::vector<float>> truth;
  // The true mu (cm^-1) at the photon energy, voxel means in the same grid; empty when the
  // acquisition has no attenuation.
  std::vector<std::vector<float>> mu;
  // Each acquired window (photopeak, lower, upper): its expected counts from primary photons and
  // from scattered ones, V x R x B as the study's counts (scatter empty when not simulated).
  std::vector<EnergyWindow> windows;
  std::vector<std::vector<float>> primary, scattered;
};

// Attached to a phantom's study (StudyGeometry::phantom).
const PhantomInfo* phantomInfo(const ProjectionStudy& study);

struct PhantomResult {
  StudyPtr study;     // null on failure
  std::string error;  // why, in Japanese
};

// Makes the acquisition; `threads` views are projected at a time (the numbers do not depend on
// it). Fails on settings that checkPhantom refuses and when a bin would pass 65535 counts.
// `cancel`, when given, is read between views (the result is then a failure); `viewsDone`
// counts the views projected so far.
PhantomResult makePhantomStudy(const PhantomSettings& settings, int threads = 2,
                               const std::atomic<bool>* cancel = nullptr,
                               std::atomic<int>* viewsDone = nullptr);

// The same for an object of one's own (the settings' kind and point are then not used).
PhantomResult makePhantomStudyOf(const PhantomObject& object, const std::string& name,
                                 const PhantomSettings& settings, int threads = 2,
                                 const std::atomic<bool>* cancel = nullptr,
                                 std::atomic<int>* viewsDone = nullptr);

// How far a reconstruction of a row [i * B + j] is from its truth: the RMSE over the pixels
// inside the reconstruction circle after the least-squares scale a = sum r t / sum t^2 (the
// units differ), in per cent of the scaled truth's mean where it is above 0. NaN without truth.
double truthRmsePercent(const std::vector<double>& slice, const std::vector<float>& truth, int bins);

// The pixels of a row whose centre lies inside the object's feature part (none without one).
std::vector<bool> featureMask(const PhantomInfo& info, int row);

// The recovered contrast of a region (pixels marked true): (mR / mB - 1) / (tR / tB - 1), with
// mB and tB over the background (pixels whose truth is the object's background level, outside
// the region). NaN when either contrast is undefined.
double recoveredContrast(const std::vector<double>& slice, const PhantomInfo& info, int row,
                         const std::vector<bool>& region);

// The truth of one row (the same voxel means as PhantomInfo::truth), for tests and tools.
std::vector<float> truthSlice(const PhantomObject& object, const PhantomSettings& settings, int row);

// The mu (cm^-1) of one row, as PhantomInfo::mu: the matter's, or muPerCm inside the outline.
std::vector<float> muSlice(const PhantomObject& object, const PhantomSettings& settings, int row);

// The phantom's mu as a recipe's map (recipe.h): rows x B x B flattened; empty without one.
// `shiftMm` moves it across the screen (towards the patient's left), linearly between pixels,
// as a CT taken off the SPECT would lie.
std::vector<float> phantomMuMap(const PhantomInfo& info, double shiftMm = 0);

}  // namespace sinora
