// "書き出し...": a reconstructed volume or slice leaves for other programs as DICOM NM
// (.dcm), Interfile 3.3 (.hv with its .v) or NIfTI-1 (.nii), chosen by the name's suffix.
#pragma once

#include <QByteArray>
#include <QString>

#include "formats/export.h"

namespace sinora {

// The file dialog's filters, in the order of the formats.
QString exportFilters();

// Writes `volume` of `study` as `path` says; empty on success, else why (to show as is). Never
// writes over the study's own file (`studyPath`) or its Interfile data; every file goes to a
// temporary beside it, renamed into place only when all are complete.
QString exportVolume(const ProjectionStudy& study, const formats::VolumeData& volume,
                     const QString& path, const QByteArray& studyPath);

}  // namespace sinora
