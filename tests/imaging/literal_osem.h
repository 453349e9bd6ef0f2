// MLEM/OSEM written out the plain way, as the oracle of the fast code: every bin from the rule
// itself (no tables), one loop at a time, single-threaded.
#pragma once

#include <vector>

#include "imaging/study.h"

namespace literal {

struct Osem {
  std::vector<std::vector<double>> images;
  std::vector<double> likelihood;
};

Osem osem(const sinora::ProjectionStudy& study, int row, int subsets, int iterations);

}  // namespace literal
