// The thorax lesson's pictures of sinora-screenshots (--thorax).
#pragma once

#include <QString>

// Makes the thorax in the phantom lab and shoots the lab and the iterative window at the heart
// (no correction, uniform mu, the phantom's mu map, the map 1 cm off) as OUT/PREFIX-*.png, in
// Japanese and English; 0 on success.
int thoraxShots(const QString& outDir, const QString& prefix);
