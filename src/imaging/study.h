// A projection study: V views (1..1024) of R rows (axial) x B bins (detector columns, 1..512
// each), unsigned 16-bit counts, each view's angle in degrees in the program's convention (see
// docs/geometry.md), the pixel size when known, and where it came from. The study file of today is
// the classic case: 60 views of 128 x 128, view k at k x 6 degrees. Also the reader of that file
// (3072-byte header, then the counts big-endian, projection by projection, row by row). Counts are
// decoded to host order once, when the study is made.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "imaging/image.h"

namespace sinora {

constexpr std::uint64_t kStudyHeaderBytes = 3072;
constexpr std::uint64_t kStudyCounts = std::uint64_t(kProjections) * kPixels;  // 983,040
constexpr std::uint64_t kStudyFileBytes = kStudyHeaderBytes + 2 * kStudyCounts;  // 1,969,152

constexpr int kMaxViews = 1024;
constexpr int kMaxRowsOrBins = 512;

struct PhantomInfo;
struct DicomOrigin;

// An energy window of the acquisition, keV.
struct EnergyWindow {
  std::string name;  // as the file names it (may be empty)
  double lowerKeV = 0;
  double upperKeV = 0;
  double width() const { return upperKeV - lowerKeV; }
  double centre() const { return (lowerKeV + upperKeV) / 2; }
};

// Every window of an acquisition and each one's counts, laid out as ProjectionStudy::counts();
// `exact` holds a window's counts as read when they were not whole (ProjectionStudy::exactCounts),
// null or missing for a window whose counts are.
struct EnergyWindowSet {
  std::vector<EnergyWindow> windows;
  std::vector<std::vector<std::uint16_t>> counts;
  std::vector<std::shared_ptr<const std::vector<float>>> exact;
};

using ExactCounts = std::shared_ptr<const std::vector<float>>;

struct StudyGeometry {
  int views = kProjections;
  int rows = kSize;
  int bins = kSize;
  std::vector<double> angles;  // degrees, one per view; empty: view k at k x 360 / V
  double pixelSizeMm = 0;      // 0 when the file does not say
  std::string format;          // "Interfile 3.3", "DICOM NM", ...; empty for the study file
  std::string description;     // where it came from, in a few words
  std::vector<std::string> notes;  // what the import changed or chose, said once at opening
  std::shared_ptr<const PhantomInfo> phantom;  // how a phantom study was made (phantom.h); else null
  std::shared_ptr<const DicomOrigin> dicom;    // patient, study and place of a DICOM study (formats/export.h)
  std::vector<double> radiusMm;  // detector distance from the centre: 1 or one per view; empty: unknown
  // All the energy windows when the file has more than one (null otherwise), and which of them
  // this study's counts are.
  std::shared_ptr<const EnergyWindowSet> energyWindows;
  int energyWindow = 0;
};

class AnyBinTable;
struct AnyBinLists;
struct AnyBlockTable;

class ProjectionStudy {
 public:
  // The classic study: counts[k * 16384 + r * 128 + c]; must hold kStudyCounts values.
  explicit ProjectionStudy(std::vector<std::uint16_t> counts);
  // Any geometry: counts[(k * rows + r) * bins + c]; sizes are clamped into their ranges and the
  // counts padded or cut to fit (readers check them before). `exact`: the counts as read when they
  // are not whole numbers (Monte Carlo weights; NaN and negatives as 0), laid out as `counts`,
  // which then hold them rounded; ignored unless it has as many values as the study.
  ProjectionStudy(StudyGeometry geometry, std::vector<std::uint16_t> counts, ExactCounts exact = nullptr);
  ~ProjectionStudy();

  std::uint16_t count(int projection, int row, int column) const {
    return counts_[(std::size_t(projection) * rows_ + std::size_t(row)) * bins_ + column];
  }
  const std::uint16_t* projection(int k) const {
    return counts_.data() + std::size_t(k) * rows_ * bins_;
  }
  const std::vector<std::uint16_t>& counts() const { return counts_; }
  // The counts as read when they were not whole numbers, else null. The two described windows
  // show the whole counts(); the reconstructions of the recipe read these (exactRow).
  const std::vector<float>* exactCounts() const { return exact_.get(); }
  const ExactCounts& sharedExactCounts() const { return exact_; }
  // Largest count of the whole study, never below 10 (computed once).
  std::int32_t maximum() const { return maximum_; }

  int views() const { return geometry_.views; }
  int rows() const { return rows_; }
  int bins() const { return bins_; }
  double angleDegrees(int k) const { return geometry_.angles[std::size_t(k)]; }
  const StudyGeometry& geometry() const { return geometry_; }
  // 60 views of 128 x 128 at k x 6 degrees: every number as the study file of today gives it.
  bool isClassic() const { return classic_; }
  // Sum of every count.
  std::uint64_t totalCounts() const { return total_; }
  // The bin of every pixel for every view of this geometry, built at the first call and kept
  // (null when it would be too big to keep; the bins are then computed view by view).
  const AnyBinTable* binTable() const;
  // The same bins as lists of pixels per bin (for the projector), kept as the table is; with
  // insideCircleOnly, only the pixels where iterative reconstruction can be other than 0.
  const std::vector<AnyBinLists>* binLists(bool insideCircleOnly = false) const;
  // The same bins in blocks of 8 pixels for the vector backprojection; null when the bins are
  // not a multiple of 8 or the table is not kept.
  const AnyBlockTable* blockTable() const;
  // Anything computed from the geometry (or counts) alone, made at the first call for `key` and
  // kept for the study's life: the reconstructions' sensitivities, for one.
  std::shared_ptr<const void> derived(const std::string& key,
                                      const std::function<std::shared_ptr<const void>()>& make) const;

 private:
  void finish();
  StudyGeometry geometry_;
  int rows_ = kSize, bins_ = kSize;
  std::vector<std::uint16_t> counts_;
  ExactCounts exact_;
  std::int32_t maximum_ = 10;
  std::uint64_t total_ = 0;
  bool classic_ = true;
  mutable std::once_flag binsOnce_;
  mutable std::unique_ptr<const AnyBinTable> bins_table_;
  mutable std::once_flag listsOnce_;
  mutable std::unique_ptr<const std::vector<AnyBinLists>> bin_lists_;
  mutable std::once_flag circleListsOnce_;
  mutable std::unique_ptr<const std::vector<AnyBinLists>> circle_lists_;
  mutable std::once_flag blocksOnce_;
  mutable std::unique_ptr<const AnyBlockTable> block_table_;
  mutable std::mutex derivedMutex_;
  mutable std::map<std::string, std::shared_ptr<const void>> derived_;
};

using StudyPtr = std::shared_ptr<const ProjectionStudy>;

// Row `row` of view `view` as the recipe's reconstructions read it: the exact counts when the
// study keeps them, else the whole ones; `out` gets bins() values.
void exactRow(const ProjectionStudy& study, int view, int row, double* out);

// The same study with the counts of another of its energy windows (0-based); null when it has
// no such window.
StudyPtr withEnergyWindow(const ProjectionStudy& study, int window);

// The window a study's counts are (null when the study names none).
const EnergyWindow* currentEnergyWindow(const ProjectionStudy& study);

// Decodes a study from the bytes of a file (header included); nullptr if there are too few.
StudyPtr decodeStudy(const std::uint8_t* bytes, std::uint64_t size);

struct StudyReadResult {
  StudyPtr study;     // null on failure
  std::string error;  // why it failed, in plain words (Japanese, UTF-8)
  std::vector<std::string> files;  // every file the study was read from (a header and its data)
};

// The system's reason for an errno value, in Japanese (UTF-8).
std::string systemReason(int error);

// Reads a study file. Fails, with a reason, on a missing, unreadable, non-regular or short file.
StudyReadResult readStudyFile(const std::string& path);

}  // namespace sinora
