// Every energy window of a study: DICOM's Energy Window Information Sequence and Vector,
// Interfile's windows with one data file each, and the real GE Lu-177 acquisition with its six
// windows, TEW of the 208 keV peak and what it does to the reconstruction.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <numeric>

#include "formats/formats.h"
#include "imaging/recipe.h"
#include "imaging/scatter.h"

using namespace sinora;
using namespace sinora::formats;
namespace fs = std::filesystem;

namespace {

const std::string kGe = std::string(SINORA_SHARED_DATA) + "/ge-lu177-spectct/bed2_projections.dcm";

TEST(RealEnergyWindows, GeLu177StudyHasSixWindowsAndTewOfThe208PeakHelpsTheKidneys) {
  if (!fs::exists(kGe)) GTEST_SKIP() << "no shared data";
  const StudyReadResult r = readAnyStudy(kGe);
  ASSERT_TRUE(r.study) << r.error;
  const auto& set = r.study->geometry().energyWindows;
  ASSERT_TRUE(set);
  ASSERT_EQ(set->windows.size(), 6u);
  EXPECT_EQ(windowLabel(set->windows[0]), "Lu177_EM 101.7-124.3 keV");
  EXPECT_EQ(windowLabel(set->windows[1]), "Lu177_EM 187.2-228.8 keV");
  for (const auto& c : set->counts) EXPECT_EQ(c.size(), r.study->counts().size());
  EXPECT_EQ(set->counts[0], r.study->counts());
  // GE writes Radial Position in the Rotation Information Sequence: 254.8 mm, a circular orbit.
  EXPECT_EQ(r.study->geometry().radiusMm, std::vector<double>(std::size_t(r.study->views()), 254.8));
  // Both photopeaks open and reconstruct.
  const StudyPtr peak = withEnergyWindow(*r.study, 1);
  ASSERT_TRUE(peak);
  EXPECT_EQ(windowLabel(*currentEnergyWindow(*peak)), "Lu177_EM 187.2-228.8 keV");
  const SideWindows side = findSideWindows(set->windows, 1);
  EXPECT_EQ(side.lower, 3);  // windows 4 and 3 counted from 1
  EXPECT_EQ(side.upper, 2);
  // The row where the 208 keV counts are highest: the kidneys.
  const ProjectionStudy& s = *peak;
  int row = 0;
  double best = -1;
  for (int g = 0; g < s.rows(); ++g) {
    double sum = 0;
    for (int k = 0; k < s.views(); ++k)
      for (int c = 0; c < s.bins(); ++c) sum += s.count(k, g, c);
    if (sum > best) best = sum, row = g;
  }
  Recipe osem;
  osem.method = RecipeMethod::Osem;
  osem.subsets = 6;
  osem.iterations = 6;
  Recipe tew = osem;
  tew.scatter = ScatterMethod::Tew;
  tew.scatterLower = 3;
  tew.scatterUpper = 2;
  const ScatterEstimate e = estimateScatter(s, ScatterMethod::Tew, 3, 2);
  ASSERT_TRUE(e.ok()) << e.refusal;
  EXPECT_GE(*std::min_element(e.values.begin(), e.values.end()), 0.0);
  const double estimate = std::accumulate(e.values.begin(), e.values.end(), 0.0);
  std::printf("208 keV: TEW estimate %.3g of %.3g counts\n", estimate, double(s.totalCounts()));
  EXPECT_GT(estimate, 0.02 * s.totalCounts());
  EXPECT_LT(estimate, 0.8 * s.totalCounts());
  for (const StudyPtr& which : {r.study, peak}) {
    const RecipeSlice one = runRecipe(*which, osem, row, 2, nullptr, false);
    ASSERT_TRUE(one.ok()) << one.refusal;
    EXPECT_GT(*std::max_element(one.values.begin(), one.values.end()), 0.0);
  }
  const RecipeSlice plain = runRecipe(s, osem, row, 2, nullptr, false);
  const RecipeSlice corrected = runRecipe(s, tew, row, 2, nullptr, false);
  ASSERT_TRUE(corrected.ok()) << corrected.refusal;
  // Kidneys: at least half the uncorrected maximum; background: 3 to 15 % of it (the body).
  const double top = *std::max_element(plain.values.begin(), plain.values.end());
  auto ratio = [&](const std::vector<double>& f) {
    double hot = 0, back = 0;
    int nh = 0, nb = 0;
    for (std::size_t p = 0; p < f.size(); ++p) {
      const double v = plain.values[p];
      if (v >= 0.5 * top) hot += f[p], ++nh;
      else if (v >= 0.03 * top && v <= 0.15 * top) back += f[p], ++nb;
    }
    return nh && nb && back > 0 ? (hot / nh) / (back / nb) : NAN;
  };
  const double before = ratio(plain.values), after = ratio(corrected.values);
  std::printf("kidney to background: %.2f without, %.2f with TEW (row %d)\n", before, after, row);
  EXPECT_GT(after, before);
}

TEST(InterfileEnergyWindows, EachWindowFromItsOwnDataFile) {
  const fs::path dir = fs::temp_directory_path() / ("sinora-windows-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const int views = 8, rows = 4, bins = 8;
  for (int w = 1; w <= 3; ++w) {
    std::ofstream out(dir / ("w" + std::to_string(w) + ".bin"), std::ios::binary);
    for (int n = 0; n < views * rows * bins; ++n) {
      const unsigned char be[2] = {0, static_cast<unsigned char>(w * 10 + n % 7)};
      out.write(reinterpret_cast<const char*>(be), 2);
    }
  }
  auto header = [&](const std::string& extra) {
    std::ofstream h(dir / "study.hdr");
    h << "!INTERFILE :=\n!type of data := Tomographic\n!name of data file := w1.bin\n"
      << "!matrix size [1] := 8\n!matrix size [2] := 4\n!number of projections := 8\n"
      << "!number of bytes per pixel := 2\nradius := 215.5\n" << extra;
  };
  header("number of energy windows := 3\nenergy window [1] := Tc99m\n"
         "energy window lower level [1] := 126.45\nenergy window upper level [1] := 154.55\n"
         "energy window [2] := lower\nenergy window lower level [2] := 116.6\n"
         "energy window upper level [2] := 126.45\nname of data file [2] := w2.bin\n"
         "energy window lower level [3] := 154.55\nenergy window upper level [3] := 164.4\n"
         "name of data file [3] := w3.bin\n");
  const StudyReadResult r = readAnyStudy((dir / "study.hdr").string());
  ASSERT_TRUE(r.study) << r.error;
  const auto& set = r.study->geometry().energyWindows;
  ASSERT_TRUE(set);
  ASSERT_EQ(set->windows.size(), 3u);
  EXPECT_EQ(windowLabel(set->windows[0]), "Tc99m 126.5-154.6 keV");
  EXPECT_EQ(windowLabel(set->windows[2]), "154.6-164.4 keV");
  EXPECT_EQ(set->counts[1][0], 20);
  EXPECT_EQ(set->counts[2][3], 33);
  EXPECT_EQ(r.study->geometry().radiusMm, std::vector<double>{215.5});
  const SideWindows side = findSideWindows(set->windows, 0);
  EXPECT_EQ(side.lower, 1);
  EXPECT_EQ(side.upper, 2);
  // A window whose data file is missing fails the whole opening with its name.
  header("number of energy windows := 2\nname of data file [2] := missing.bin\n");
  const StudyReadResult bad = readAnyStudy((dir / "study.hdr").string());
  EXPECT_FALSE(bad.study);
  EXPECT_NE(bad.error.find("missing.bin"), std::string::npos) << bad.error;
  header("number of energy windows := 2\n");
  EXPECT_FALSE(readAnyStudy((dir / "study.hdr").string()).study);
  fs::remove_all(dir);
}

}  // namespace
