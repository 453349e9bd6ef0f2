// Photon energies and scatter: Compton kinematics and the Klein-Nishina cross-section, water's
// attenuation at any energy, the detector's energy resolution and what an energy window accepts,
// and the triple- and dual-energy-window estimates of the scatter in a photopeak window. Energies
// in keV, angles in radians, lengths in cm unless a name says mm. Projections are V x R x B as in
// study.h, [(k * R + r) * B + b].
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "imaging/study.h"

namespace sinora {

constexpr double kElectronRestKeV = 510.99895;    // m_e c^2 (CODATA 2018)
constexpr double kElectronRadiusCm = 2.8179403262e-13;  // classical electron radius r_e
constexpr double kWaterElectronsPerCm3 = 3.3428e23;  // water, 1 g/cm^3: 10 electrons per 18.015 u

// The energy after scattering through theta: E' = E / (1 + E / m c^2 (1 - cos theta)).
double comptonEnergy(double energyKeV, double theta);
// The angle that leaves `scatteredKeV` of `energyKeV` (0 when E' >= E, pi when below the
// back-scatter energy).
double comptonAngle(double energyKeV, double scatteredKeV);
// Klein-Nishina: d sigma / d Omega per electron, cm^2 / sr, at scattering angle theta.
double kleinNishina(double energyKeV, double theta);
// Its integral over all angles, cm^2 per electron.
double kleinNishinaTotal(double energyKeV);

// Water's linear attenuation coefficient (coherent scatter included), cm^-1 at 1 g/cm^3, log-log
// interpolated in the XCOM table (docs/physics.md) from 10 keV to 1 MeV.
double waterMu(double energyKeV);

// The detector's energy resolution: FWHM in keV at E, given the FWHM in per cent at 140 keV and
// FWHM / E scaling as 1 / sqrt(E).
double energyFwhmKeV(double energyKeV, double percentAt140);
// The fraction of photons of energy E that the window [lower, upper] accepts.
double windowAcceptance(double energyKeV, double lowerKeV, double upperKeV, double percentAt140);

// "Lu177_EM 187.2-228.8 keV" (the name left out when empty).
std::string windowLabel(const EnergyWindow& window);

// The windows next to window `peak` in energy: the one just below (its upper edge at most 1 keV
// from the peak's lower edge, the nearest such) and just above. -1 where there is none.
struct SideWindows {
  int lower = -1;
  int upper = -1;
};
SideWindows findSideWindows(const std::vector<EnergyWindow>& windows, int peak);

enum class ScatterMethod { None, Dew, Tew };
// "none", "dew", "tew" (false for anything else).
bool scatterMethodFromKey(const std::string& key, ScatterMethod& method);

// TEW, pixel by pixel: S = (C_l / W_l + C_u / W_u) x W_p / 2; `upper` may be null (no upper
// window: nothing above). DEW: S = k x C_l x W_p / W_l. Widths in keV, above 0. Every result
// is >= 0. Arrays of `count` values.
void tewEstimate(const std::uint16_t* lower, const std::uint16_t* upper, std::size_t count,
                 double widthLower, double widthUpper, double widthPeak, double* out);
void dewEstimate(const std::uint16_t* lower, std::size_t count, double widthLower,
                 double widthPeak, double k, double* out);
// The same of counts kept as read (ProjectionStudy::exactCounts).
void tewEstimate(const float* lower, const float* upper, std::size_t count, double widthLower,
                 double widthUpper, double widthPeak, double* out);
void dewEstimate(const float* lower, std::size_t count, double widthLower, double widthPeak,
                 double k, double* out);

// The estimate of a study's scatter in its current window (V x R x B as its counts), from its
// side windows (`lower`, `upper` 0-based; -1: findSideWindows; upper -2: none above). On a study without the windows
// the method needs, `refusal` says why (Japanese) and nothing is computed.
struct ScatterEstimate {
  std::string refusal;
  std::vector<double> values;
  int lower = -1, upper = -1;  // the windows used (upper -1: none above, for TEW)
  bool ok() const { return refusal.empty(); }
};
ScatterEstimate estimateScatter(const ProjectionStudy& study, ScatterMethod method, int lower = -1,
                                int upper = -1, double dewK = 0.5, double smoothFwhmPixels = 0);

// The study with the estimate subtracted from its counts, rounded and clamped at 0 (for FBP); of
// counts kept as read, the difference is kept too (clamped at 0).
StudyPtr scatterSubtracted(const ProjectionStudy& study, const std::vector<double>& estimate);

// Gaussian smoothing of V projections of R x B, in place, FWHM in pixels (<= 0: unchanged),
// kernel to 3 sigma and renormalised at the edges, so the total stays about the same; then
// negatives, if any, set to 0.
void smoothProjections(std::vector<double>& projections, int views, int rows, int bins,
                       double fwhmPixels);

// The radionuclides the phantom lab can acquire: the photon energy of its photopeak.
struct Isotope {
  const char* key;   // "tc99m", "i123", "lu177"
  const char* name;  // "Tc-99m"
  double energyKeV;
};
const std::vector<Isotope>& isotopes();
const Isotope* isotopeFromKey(const std::string& key);

}  // namespace sinora
