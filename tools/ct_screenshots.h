// The SPECT/CT pictures of sinora-screenshots (--ct).
#pragma once

#include <QString>

// Shoots the iterative window on `study` with the CT (a folder or file) as OUT/PREFIX-*.png;
// 0 on success.
int ctShots(const QString& outDir, const QString& prefix, const QString& study, const QString& ct);
