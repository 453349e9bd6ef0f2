// Writers that take Sinora's results to other programs: reconstructed volumes (or one slice) as
// DICOM NM RECON TOMO, Interfile 3.3 and NIfTI-1, and projection studies as DICOM NM TOMO and
// Interfile 3.3 projections. Each writer returns whole files in memory; nothing touches the disk
// here. Placement in the patient (docs/geometry.md): a slice [i * B + j] has i towards the
// patient's left (+x), j towards the back (+y); projection rows run towards the feet unless the
// DICOM source says otherwise; the axis of rotation is the slice's pixel (B / 2, B / 2).
#pragma once

#include <string>
#include <vector>

#include "imaging/study.h"

namespace sinora {

// What a DICOM study says about where it belongs: copied into what is exported from it so that
// viewers file the result with its study and overlay it on the study's CT.
struct DicomOrigin {
  std::string characterSet;  // Specific Character Set, so copied names keep their meaning
  std::string patientName, patientId, patientBirthDate, patientSex;
  std::string studyInstanceUid, studyDate, studyTime, studyId, accessionNumber;
  std::string referringPhysician, studyDescription;
  std::string frameOfReferenceUid, positionReferenceIndicator;
  std::string patientPosition;  // HFS, FFS, ...
  // The first detector's Image Position / Orientation (Patient), when the file gives them.
  bool hasPosition = false, hasOrientation = false;
  double position[3] = {0, 0, 0};
  double orientation[6] = {0, 0, 0, 0, 0, 0};
};

}  // namespace sinora

namespace sinora::formats {

// A reconstructed volume (or one slice) in counts per pixel.
struct VolumeData {
  int bins = 0;      // slices are B x B
  int firstRow = 0;  // the study row of slices[0]; slices follow row by row
  std::vector<std::vector<double>> slices;  // [n][i * B + j]
  std::string method;                       // how it was made, e.g. "FBP Ramp", "OSEM 6x4"
};

struct ExportFile {
  std::string name;   // file name (no folder)
  std::string bytes;  // whole content
};

struct ExportResult {
  std::vector<ExportFile> files;  // empty on failure
  std::string error;              // why, in plain words (Japanese, UTF-8)
};

// Where voxel (i, j, row) of a study's volume lies, in DICOM patient coordinates (mm): the
// position of (0, 0, row 0), the step per i, per j and per row.
struct VolumePlacement {
  double origin[3] = {0, 0, 0};
  double pixelMm = 1;   // the study's pixel size, 1 when unknown
  double rowStep[3] = {0, 0, -1};
};
VolumePlacement placementOf(const ProjectionStudy& study);

// `base` names the files: base.dcm; base.hv + base.v; base.nii.
ExportResult dicomVolume(const ProjectionStudy& study, const VolumeData& volume,
                         const std::string& base);
ExportResult interfileVolume(const ProjectionStudy& study, const VolumeData& volume,
                             const std::string& base);
ExportResult niftiVolume(const ProjectionStudy& study, const VolumeData& volume,
                         const std::string& base);

// base.dcm (NM TOMO, the angles in DICOM's convention); base.hs + base.s. The views must be
// evenly spaced (a study that is not is refused).
ExportResult dicomProjections(const ProjectionStudy& study, const std::string& base);
ExportResult interfileProjections(const ProjectionStudy& study, const std::string& base);

}  // namespace sinora::formats
