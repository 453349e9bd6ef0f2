// sinora-render's CT: --ct DIR|FILE [--ct-shift X,Y,Z] reads a CT series or an Interfile mu map
// for the study, gives the recipes its mu map and writes the slice's map (mu.png, mu.csv) and
// the slice over the CT (fused.png).
#pragma once

#include <QImage>

#include <string>
#include <vector>

#include "imaging/mu_map.h"
#include "imaging/study.h"

namespace sinora::ctrender {

struct CtRequest {
  std::string path;
  double shiftMm[3] = {0, 0, 0};
  bool given() const { return !path.empty(); }
};

// --ct and --ct-shift with their value; false with `why` when the value is wrong.
bool parseCtOption(const std::string& name, const std::string& value, CtRequest& request, std::string& why);

struct CtRendering {
  std::string error;           // why nothing could be made, else empty
  std::vector<std::string> notes;
  std::shared_ptr<const AttenuationSource> source;
  SliceGrid grid;
  MuMapSettings settings;      // the study's photopeak, the shift asked for
  MuMap map;                   // every row of the study
  std::vector<double> muSlice; // the slice's map, [y * B + x] as a picture
  std::string muCsv;           // the same, 17 digits
};

// The CT or map in the study's grid, with the slice `row`.
CtRendering readCtFor(const CtRequest& request, const ProjectionStudy& study, int row);

// A slice [i * B + j] over the CT's plane at `row` (or over the map, for a given mu map): the
// Ribbon colours at 60 % in the slice's 0 .. maximum, the CT grey in a soft-tissue window.
QImage fusedSlice(const CtRendering& ct, const std::vector<double>& slice, int row);

}  // namespace sinora::ctrender
