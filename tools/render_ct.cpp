#include "render_ct.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <iomanip>
#include <sstream>

#include "formats/ct.h"
#include "windows/PictureView.h"

namespace sinora::ctrender {

bool parseCtOption(const std::string& name, const std::string& value, CtRequest& r, std::string& why) {
  if (name == "--ct") {
    if (value.empty()) return why = "--ct needs a folder or file", false;
    r.path = value;
    return true;
  }
  // --ct-shift X,Y,Z in mm, each within the lesson's range.
  std::istringstream in(value);
  std::string part;
  int n = 0;
  while (std::getline(in, part, ',')) {
    char* end = nullptr;
    errno = 0;
    const double v = std::strtod(part.c_str(), &end);
    if (n >= 3 || part.empty() || errno || *end || !std::isfinite(v) || std::fabs(v) > kMaxShiftMm) n = 4;
    else r.shiftMm[n++] = v;
  }
  if (n != 3) {
    std::ostringstream w;
    w << "--ct-shift takes X,Y,Z in mm, each from " << -kMaxShiftMm << " to " << kMaxShiftMm;
    why = w.str();
    return false;
  }
  return true;
}

CtRendering readCtFor(const CtRequest& request, const ProjectionStudy& study, int row) {
  CtRendering c;
  c.grid = formats::sliceGridOf(study);
  const formats::AttenuationReadResult read = formats::readAttenuation(request.path, c.grid);
  if (!read.source) {
    c.error = read.error;
    return c;
  }
  c.source = read.source;
  c.settings.keV = formats::photopeakKeV(study);
  c.settings.assumedMapKeV = c.settings.keV;
  for (int k = 0; k < 3; ++k) c.settings.shiftMm[k] = request.shiftMm[k];
  c.map = makeMuMap(*c.source, c.grid, c.settings);
  if (!c.map.ok()) {
    c.error = c.map.refusal;
    return c;
  }
  c.notes = c.source->notes;
  c.notes.insert(c.notes.end(), c.map.notes.begin(), c.map.notes.end());
  const int b = c.grid.bins;
  c.muSlice.assign(std::size_t(b) * b, 0.0);
  std::ostringstream csv;
  csv << std::setprecision(17);
  for (int y = 0; y < b; ++y)
    for (int x = 0; x < b; ++x) {
      const double v = c.map.perCm[std::size_t(row) * b * b + std::size_t(x) * b + y];
      c.muSlice[std::size_t(y) * b + x] = v;
      csv << v << (x + 1 < b ? ',' : '\n');
    }
  c.muCsv = csv.str();
  return c;
}

QImage fusedSlice(const CtRendering& c, const std::vector<double>& slice, int row) {
  const int b = c.grid.bins;
  PictureValues over;
  over.width = over.height = b;
  over.values.assign(std::size_t(b) * b, 0.0);
  for (int y = 0; y < b; ++y)
    for (int x = 0; x < b; ++x) over.values[std::size_t(y) * b + x] = slice[std::size_t(x) * b + y];
  const bool ct = c.source && c.source->ct;
  const int factor = ct ? std::clamp(int(std::ceil(256.0 / b)), 1, 4) : 1;
  const PlaneImage p = attenuationPlane(*c.source, c.grid, c.settings, c.map, 0, row, factor, !ct);
  PictureValues under;
  under.width = p.width;
  under.height = p.height;
  under.values = p.values;
  // As the window shows it: a soft-tissue window for HU, 0 .. mu at 1500 HU for a map.
  const DisplayWindow window = ct ? DisplayWindow{-160, 240} : DisplayWindow{0, huToMu(1500, 140.5)};
  return fusedPicture(over, valueWindow(over.values, true), ColourMap::Ribbon, under, window, 0.6);
}

}  // namespace sinora::ctrender
