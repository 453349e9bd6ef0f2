#include "formats/export.h"

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcfilefo.h>
#include <dcmtk/dcmdata/dcostrmb.h>
#include <dcmtk/dcmdata/dcsequen.h>
#include <dcmtk/dcmdata/dcuid.h>
#include <dcmtk/dcmdata/dcvrat.h>

#include <nifti1_io.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "imaging/text.h"

namespace sinora::formats {

namespace {

// A decimal string of at most 16 characters, as DICOM's DS allows.
std::string ds(double v) {
  if (!std::isfinite(v)) v = 0;
  char buf[64];
  for (int precision = 15; precision > 0; --precision) {
    std::snprintf(buf, sizeof buf, "%.*g", precision, v);
    if (std::strlen(buf) <= 16) break;
  }
  return buf;
}

std::string newUid(const char* root) {
  char uid[100];
  dcmGenerateUniqueIdentifier(uid, root);
  return uid;
}

void put(DcmItem* item, const DcmTagKey& key, const std::string& value) {
  item->putAndInsertString(key, value.c_str());
}

void emptySequence(DcmItem* item, const DcmTagKey& key) {
  item->insertEmptyElement(key);
}

DcmItem* sequenceItem(DcmItem* item, const DcmTagKey& key) {
  DcmItem* child = nullptr;
  item->findOrCreateSequenceItem(key, child, -2);
  return child;
}

// The parts every NM file of ours shares: patient, study, series, equipment, frame of reference.
void common(DcmItem* ds, const ProjectionStudy& study, const std::string& imageType,
            const std::string& description) {
  const DicomOrigin* o = study.geometry().dicom.get();
  const std::string sop = newUid(SITE_INSTANCE_UID_ROOT);
  char date[16] = "", time[16] = "";
  const std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  std::strftime(date, sizeof date, "%Y%m%d", &tm);
  std::strftime(time, sizeof time, "%H%M%S", &tm);
  if (o && !o->characterSet.empty()) put(ds, DCM_SpecificCharacterSet, o->characterSet);
  put(ds, DCM_ImageType, imageType);
  put(ds, DCM_SOPClassUID, UID_NuclearMedicineImageStorage);
  put(ds, DCM_SOPInstanceUID, sop);
  put(ds, DCM_InstanceCreationDate, date);
  put(ds, DCM_InstanceCreationTime, time);
  put(ds, DCM_StudyDate, o ? o->studyDate : date);
  put(ds, DCM_StudyTime, o ? o->studyTime : time);
  put(ds, DCM_SeriesDate, date);
  put(ds, DCM_SeriesTime, time);
  put(ds, DCM_ContentDate, date);
  put(ds, DCM_ContentTime, time);
  put(ds, DCM_AccessionNumber, o ? o->accessionNumber : "");
  put(ds, DCM_Modality, "NM");
  put(ds, DCM_Manufacturer, "Sinora");
  put(ds, DCM_ManufacturerModelName, "Sinora");
  put(ds, DCM_SoftwareVersions, "1.0.0.1");
  put(ds, DCM_ReferringPhysicianName, o ? o->referringPhysician : "");
  if (o && !o->studyDescription.empty()) put(ds, DCM_StudyDescription, o->studyDescription);
  put(ds, DCM_SeriesDescription, description);
  put(ds, DCM_PatientName, o ? o->patientName : "Sinora^Study");
  put(ds, DCM_PatientID, o ? o->patientId : "SINORA");
  put(ds, DCM_PatientBirthDate, o ? o->patientBirthDate : "");
  put(ds, DCM_PatientSex, o ? o->patientSex : "");
  put(ds, DCM_StudyInstanceUID, o && !o->studyInstanceUid.empty() ? o->studyInstanceUid
                                                                  : newUid(SITE_STUDY_UID_ROOT));
  put(ds, DCM_SeriesInstanceUID, newUid(SITE_SERIES_UID_ROOT));
  put(ds, DCM_StudyID, o ? o->studyId : "");
  put(ds, DCM_SeriesNumber, "900");
  put(ds, DCM_Laterality, "");  // a body, not a paired organ: unknown by the series' rule
  put(ds, DCM_InstanceNumber, "1");
  put(ds, DCM_FrameOfReferenceUID, o && !o->frameOfReferenceUid.empty()
                                       ? o->frameOfReferenceUid
                                       : newUid(SITE_INSTANCE_UID_ROOT));
  put(ds, DCM_PositionReferenceIndicator, o ? o->positionReferenceIndicator : "");
  put(ds, DCM_SamplesPerPixel, "1");
  put(ds, DCM_PhotometricInterpretation, "MONOCHROME2");
  ds->putAndInsertUint16(DCM_BitsAllocated, 16);
  ds->putAndInsertUint16(DCM_BitsStored, 16);
  ds->putAndInsertUint16(DCM_HighBit, 15);
  ds->putAndInsertUint16(DCM_PixelRepresentation, 0);
  put(ds, DCM_LossyImageCompression, "00");
  emptySequence(ds, DCM_AcquisitionContextSequence);
  emptySequence(ds, DCM_PatientOrientationCodeSequence);
  emptySequence(ds, DCM_PatientGantryRelationshipCodeSequence);
  emptySequence(ds, DCM_RadiopharmaceuticalInformationSequence);
  put(ds, DCM_CountsAccumulated, "");
}

// The file as bytes (explicit VR little endian, with its meta header).
bool dicomBytes(DcmFileFormat& file, std::string* out, std::string* error) {
  const E_TransferSyntax xfer = EXS_LittleEndianExplicit;
  if (file.validateMetaInfo(xfer).bad()) {
    *error = "DICOM のメタ情報を作れません。";
    return false;
  }
  const std::size_t size = std::size_t(file.calcElementLength(xfer, EET_ExplicitLength)) + 4096;
  out->assign(size, '\0');
  DcmOutputBufferStream stream(out->data(), offile_off_t(size));
  file.transferInit();
  const OFCondition cond = file.write(stream, xfer, EET_ExplicitLength, nullptr);
  file.transferEnd();
  if (cond.bad()) {
    *error = fill("DICOM ファイルを作れません（%1）。", {cond.text()});
    return false;
  }
  void* buffer = nullptr;
  offile_off_t length = 0;
  stream.flushBuffer(buffer, length);
  out->resize(std::size_t(length));
  return true;
}

void appendFloats(std::string& out, const float* v, std::size_t n) {
  // Little-endian hosts only (x86-64, arm64): the bytes are written as they are held.
  out.append(reinterpret_cast<const char*>(v), n * sizeof(float));
}

// The volume as float frames [frame][j][i], in the order of `rowsOf`.
// The keys every Interfile the program writes starts with, up to the SPECT study's own.
std::string interfileHead(const std::string& dataFile, std::size_t images) {
  std::string h;
  h += "!INTERFILE :=\n";
  h += "!imaging modality := nucmed\n";
  h += "originating system := Sinora\n";
  h += "!version of keys := 3.3\n";
  h += "!GENERAL DATA :=\n";
  h += "!data offset in bytes := 0\n";
  h += "!name of data file := " + dataFile + "\n";
  h += "!GENERAL IMAGE DATA :=\n";
  h += "!type of data := Tomographic\n";
  h += "!total number of images := " + std::to_string(images) + "\n";
  h += "imagedata byte order := LITTLEENDIAN\n";
  h += "!SPECT STUDY (General) :=\n";
  return h;
}

std::vector<float> framesOf(const VolumeData& v, const std::vector<int>& order) {
  const std::size_t b = std::size_t(v.bins);
  std::vector<float> out(order.size() * b * b);
  for (std::size_t f = 0; f < order.size(); ++f) {
    const std::vector<double>& s = v.slices[std::size_t(order[f])];
    for (std::size_t j = 0; j < b; ++j)
      for (std::size_t i = 0; i < b; ++i) out[(f * b + j) * b + i] = float(s[i * b + j]);
  }
  return out;
}

std::string checkVolume(const ProjectionStudy& study, const VolumeData& v) {
  if (v.slices.empty() || v.bins < 1 || v.bins != study.bins())
    return "書き出す断面がありません。";
  for (const std::vector<double>& s : v.slices)
    if (s.size() != std::size_t(v.bins) * std::size_t(v.bins)) return "書き出す断面がありません。";
  return {};
}

// Frame order along +z (the normal of a transverse slice whose rows run along +x and columns
// along +y), so that every viewer stacks the frames the same way.
std::vector<int> frameOrder(const VolumeData& v, const VolumePlacement& p) {
  std::vector<int> order(v.slices.size());
  for (std::size_t f = 0; f < order.size(); ++f)
    order[f] = p.rowStep[2] < 0 ? int(order.size() - 1 - f) : int(f);
  return order;
}

// Evenly spaced views: the first angle and the signed step (program's convention).
bool evenViews(const ProjectionStudy& study, double* first, double* step) {
  const int v = study.views();
  *first = study.angleDegrees(0);
  *step = 0;
  if (v > 1) {
    *step = std::remainder(study.angleDegrees(1) - *first, 360.0);
    if (*step == 0) return false;
  }
  for (int k = 0; k < v; ++k) {
    const double d = std::remainder(study.angleDegrees(k) - (*first + k * *step), 360.0);
    if (std::fabs(d) > 1e-6) return false;
  }
  return true;
}

double normalAngle(double a) {
  a = std::fmod(a, 360.0);
  if (a < 0) a += 360;
  if (a >= 360) a -= 360;
  return a;
}

}  // namespace

VolumePlacement placementOf(const ProjectionStudy& study) {
  VolumePlacement p;
  const StudyGeometry& g = study.geometry();
  p.pixelMm = g.pixelSizeMm > 0 ? g.pixelSizeMm : 1;
  const double c = study.bins() / 2;
  double down = -1;  // projection rows run towards the feet
  if (const DicomOrigin* o = g.dicom.get()) {
    if (o->hasOrientation && std::fabs(o->orientation[5]) > 0.5) down = o->orientation[5] > 0 ? 1 : -1;
    if (o->hasPosition) {
      // The camera's Image Position is the first voxel of its transverse grid, whose centre
      // pixel lies on the axis of rotation (docs/geometry.md).
      p.origin[0] = o->position[0];
      p.origin[1] = o->position[1];
      p.origin[2] = o->position[2];
    } else {
      p.origin[0] = p.origin[1] = -c * p.pixelMm;
    }
  } else {
    p.origin[0] = p.origin[1] = -c * p.pixelMm;
  }
  p.rowStep[2] = down * p.pixelMm;
  return p;
}

ExportResult dicomVolume(const ProjectionStudy& study, const VolumeData& v, const std::string& base) {
  ExportResult r;
  if (std::string why = checkVolume(study, v); !why.empty()) return r.error = why, r;
  const VolumePlacement p = placementOf(study);
  const std::vector<int> order = frameOrder(v, p);
  const std::vector<float> frames = framesOf(v, order);
  // 16-bit values with a Rescale Slope (NM allows 8 or 16 bits); negatives become 0.
  double top = 0;
  for (float f : frames)
    if (std::isfinite(f)) top = std::max(top, double(f));
  const std::string slopeText = ds(top > 0 ? top / 65535 : 1);
  const double slope = std::strtod(slopeText.c_str(), nullptr);
  std::vector<Uint16> pixels(frames.size());
  for (std::size_t n = 0; n < frames.size(); ++n) {
    const double q = std::isfinite(frames[n]) ? std::round(frames[n] / slope) : 0;
    pixels[n] = Uint16(std::clamp(q, 0.0, 65535.0));
  }

  DcmFileFormat file;
  DcmDataset* d = file.getDataset();
  common(d, study, "DERIVED\\PRIMARY\\RECON TOMO\\EMISSION", "Sinora " + v.method);
  const int b = v.bins, n = int(v.slices.size());
  put(d, DCM_PatientOrientation, "L\\P");
  d->putAndInsertUint16(DCM_Rows, Uint16(b));
  d->putAndInsertUint16(DCM_Columns, Uint16(b));
  put(d, DCM_NumberOfFrames, std::to_string(n));
  d->putAndInsertTagKey(DCM_FrameIncrementPointer, DCM_SliceVector);
  std::vector<Uint16> slices(static_cast<std::size_t>(n));
  for (int f = 0; f < n; ++f) slices[std::size_t(f)] = Uint16(f + 1);
  d->putAndInsertUint16Array(DCM_SliceVector, slices.data(), slices.size());
  d->putAndInsertUint16(DCM_NumberOfSlices, Uint16(n));
  const std::string px = ds(p.pixelMm), dz = ds(std::fabs(p.rowStep[2]));
  put(d, DCM_PixelSpacing, px + "\\" + px);
  put(d, DCM_SliceThickness, dz);
  put(d, DCM_SpacingBetweenSlices, dz);
  put(d, DCM_ReconstructionDiameter, ds(b * p.pixelMm));
  put(d, DCM_RescaleIntercept, "0");
  put(d, DCM_RescaleSlope, slopeText);
  put(d, DCM_ImageComments, "counts per pixel");
  put(d, DCM_NumberOfDetectors, "1");
  put(d, DCM_NumberOfRotations, "1");
  put(d, DCM_NumberOfEnergyWindows, "1");
  emptySequence(d, DCM_EnergyWindowInformationSequence);
  emptySequence(d, DCM_RotationInformationSequence);
  DcmItem* det = sequenceItem(d, DCM_DetectorInformationSequence);
  const double z0 = p.origin[2] + (v.firstRow + order[0]) * p.rowStep[2];
  put(det, DCM_ImagePositionPatient, ds(p.origin[0]) + "\\" + ds(p.origin[1]) + "\\" + ds(z0));
  put(det, DCM_ImageOrientationPatient, "1\\0\\0\\0\\1\\0");
  put(det, DCM_CollimatorType, "");
  put(det, DCM_FocalDistance, "");
  put(det, DCM_XFocusCenter, "");
  put(det, DCM_YFocusCenter, "");
  d->putAndInsertUint16Array(DCM_PixelData, pixels.data(), pixels.size());
  ExportFile out{base + ".dcm", {}};
  if (!dicomBytes(file, &out.bytes, &r.error)) return r;
  r.files.push_back(std::move(out));
  return r;
}

ExportResult interfileVolume(const ProjectionStudy& study, const VolumeData& v,
                             const std::string& base) {
  ExportResult r;
  if (std::string why = checkVolume(study, v); !why.empty()) return r.error = why, r;
  const VolumePlacement p = placementOf(study);
  std::vector<int> order(v.slices.size());
  for (std::size_t f = 0; f < order.size(); ++f) order[f] = int(f);  // row by row, as acquired
  const std::vector<float> frames = framesOf(v, order);
  ExportFile data{base + ".v", {}};
  appendFloats(data.bytes, frames.data(), frames.size());
  const std::string px = ds(p.pixelMm);
  std::string h = interfileHead(data.name, v.slices.size());
  h += "!number format := short float\n";
  h += "!number of bytes per pixel := 4\n";
  h += "!matrix size [1] := " + std::to_string(v.bins) + "\n";
  h += "!matrix size [2] := " + std::to_string(v.bins) + "\n";
  h += "scaling factor (mm/pixel) [1] := " + px + "\n";
  h += "scaling factor (mm/pixel) [2] := " + px + "\n";
  h += "process status := Reconstructed\n";
  h += "quantification units := counts per pixel\n";
  h += "!SPECT STUDY (reconstructed data) :=\n";
  h += "method of reconstruction := " + v.method + "\n";
  h += "!number of slices := " + std::to_string(v.slices.size()) + "\n";
  h += "slice thickness (pixels) := " + ds(std::fabs(p.rowStep[2]) / p.pixelMm) + "\n";
  h += "centre-centre slice separation (pixels) := " + ds(std::fabs(p.rowStep[2]) / p.pixelMm) + "\n";
  h += "; slice 1 is row " + std::to_string(v.firstRow + 1) + " of the projections; [1] runs to the "
       "patient's left, [2] to the back\n";
  h += "!END OF INTERFILE :=\n";
  r.files.push_back(std::move(data));
  r.files.push_back({base + ".hv", h});
  return r;
}

ExportResult niftiVolume(const ProjectionStudy& study, const VolumeData& v, const std::string& base) {
  ExportResult r;
  if (std::string why = checkVolume(study, v); !why.empty()) return r.error = why, r;
  const VolumePlacement p = placementOf(study);
  const std::vector<int> order = frameOrder(v, p);
  const std::vector<float> frames = framesOf(v, order);
  const int dims[8] = {3, v.bins, v.bins, int(v.slices.size()), 1, 1, 1, 1};
  nifti_image* nim = nifti_make_new_nim(dims, NIFTI_TYPE_FLOAT32, 0);
  if (!nim) return r.error = "NIfTI の見出しを作れません。", r;
  nim->nifti_type = NIFTI_FTYPE_NIFTI1_1;
  nim->xyz_units = NIFTI_UNITS_MM;
  nim->iname_offset = 352;  // header, four bytes saying "no extensions", then the voxels
  const double dz = std::fabs(p.rowStep[2]);
  nim->dx = nim->pixdim[1] = float(p.pixelMm);
  nim->dy = nim->pixdim[2] = float(p.pixelMm);
  nim->dz = nim->pixdim[3] = float(dz);
  // DICOM's patient axes (x left, y back) are NIfTI's R and A negated.
  const double z0 = p.origin[2] + (v.firstRow + order[0]) * p.rowStep[2];
  mat44 m{};
  m.m[0][0] = float(-p.pixelMm);
  m.m[0][3] = float(-p.origin[0]);
  m.m[1][1] = float(-p.pixelMm);
  m.m[1][3] = float(-p.origin[1]);
  m.m[2][2] = float(dz);
  m.m[2][3] = float(z0);
  m.m[3][3] = 1;
  nim->qform_code = nim->sform_code = NIFTI_XFORM_SCANNER_ANAT;
  nim->qto_xyz = nim->sto_xyz = m;
  nifti_mat44_to_quatern(m, &nim->quatern_b, &nim->quatern_c, &nim->quatern_d, &nim->qoffset_x,
                         &nim->qoffset_y, &nim->qoffset_z, nullptr, nullptr, nullptr, &nim->qfac);
  nim->qto_ijk = nifti_mat44_inverse(nim->qto_xyz);
  nim->sto_ijk = nifti_mat44_inverse(nim->sto_xyz);
  std::snprintf(nim->descrip, sizeof nim->descrip, "Sinora %s, counts per pixel", v.method.c_str());
  const nifti_1_header hdr = nifti_convert_nim2nhdr(nim);
  nifti_image_free(nim);
  ExportFile out{base + ".nii", {}};
  out.bytes.assign(reinterpret_cast<const char*>(&hdr), sizeof hdr);
  out.bytes.resize(352, '\0');  // no extensions
  appendFloats(out.bytes, frames.data(), frames.size());
  r.files.push_back(std::move(out));
  return r;
}

ExportResult dicomProjections(const ProjectionStudy& study, const std::string& base) {
  ExportResult r;
  double first = 0, step = 0;
  if (!evenViews(study, &first, &step))
    return r.error = "ビューの角度が等間隔ではないので、1 回転として書き出せません。", r;
  const int views = study.views();
  DcmFileFormat file;
  DcmDataset* d = file.getDataset();
  const StudyGeometry& g = study.geometry();
  common(d, study, "DERIVED\\PRIMARY\\TOMO\\EMISSION", "Sinora projections");
  d->putAndInsertUint16(DCM_Rows, Uint16(study.rows()));
  d->putAndInsertUint16(DCM_Columns, Uint16(study.bins()));
  put(d, DCM_NumberOfFrames, std::to_string(views));
  const DcmTagKey pointers[4] = {DCM_EnergyWindowVector, DCM_DetectorVector, DCM_RotationVector,
                                 DCM_AngularViewVector};
  auto* pointer = new DcmAttributeTag(DCM_FrameIncrementPointer);
  for (int i = 0; i < 4; ++i) pointer->putTagVal(pointers[i], static_cast<unsigned long>(i));
  d->insert(pointer, true);
  std::vector<Uint16> ones(static_cast<std::size_t>(views), 1), index(static_cast<std::size_t>(views));
  for (int k = 0; k < views; ++k) index[std::size_t(k)] = Uint16(k + 1);
  d->putAndInsertUint16Array(DCM_EnergyWindowVector, ones.data(), ones.size());
  d->putAndInsertUint16Array(DCM_DetectorVector, ones.data(), ones.size());
  d->putAndInsertUint16Array(DCM_RotationVector, ones.data(), ones.size());
  d->putAndInsertUint16Array(DCM_AngularViewVector, index.data(), index.size());
  put(d, DCM_NumberOfEnergyWindows, "1");
  put(d, DCM_NumberOfDetectors, "1");
  put(d, DCM_NumberOfRotations, "1");
  const double px = g.pixelSizeMm > 0 ? g.pixelSizeMm : 1;
  put(d, DCM_PixelSpacing, ds(px) + "\\" + ds(px));
  put(d, DCM_TypeOfDetectorMotion, "STEP AND SHOOT");
  DcmItem* window = sequenceItem(d, DCM_EnergyWindowInformationSequence);
  put(window, DCM_EnergyWindowName, "Sinora");
  DcmItem* det = sequenceItem(d, DCM_DetectorInformationSequence);
  put(det, DCM_CollimatorType, "PARA");
  put(det, DCM_FocalDistance, "");
  put(det, DCM_XFocusCenter, "");
  put(det, DCM_YFocusCenter, "");
  if (const DicomOrigin* o = g.dicom.get()) {
    if (o->hasPosition)
      put(det, DCM_ImagePositionPatient,
          ds(o->position[0]) + "\\" + ds(o->position[1]) + "\\" + ds(o->position[2]));
    if (o->hasOrientation) {
      std::string t;
      for (int i = 0; i < 6; ++i) t += (i ? "\\" : "") + ds(o->orientation[i]);
      put(det, DCM_ImageOrientationPatient, t);
    }
  }
  // DICOM's angle is 180 minus the program's; CW is decreasing angle (docs/geometry.md).
  DcmItem* rot = sequenceItem(d, DCM_RotationInformationSequence);
  put(rot, DCM_StartAngle, ds(normalAngle(180 - first)));
  put(rot, DCM_AngularStep, ds(std::fabs(step)));
  put(rot, DCM_RotationDirection, step > 0 ? "CW" : "CC");
  put(rot, DCM_ScanArc, ds(views > 1 ? std::min(360.0, views * std::fabs(step)) : 0));
  put(rot, DCM_ActualFrameDuration, "0");
  put(rot, DCM_NumberOfFramesInRotation, std::to_string(views));
  std::vector<Uint16> counts(study.counts().begin(), study.counts().end());
  d->putAndInsertUint16Array(DCM_PixelData, counts.data(), counts.size());
  ExportFile out{base + ".dcm", {}};
  if (!dicomBytes(file, &out.bytes, &r.error)) return r;
  r.files.push_back(std::move(out));
  return r;
}

ExportResult interfileProjections(const ProjectionStudy& study, const std::string& base) {
  ExportResult r;
  double first = 0, step = 0;
  if (!evenViews(study, &first, &step))
    return r.error = "ビューの角度が等間隔ではないので、1 回転として書き出せません。", r;
  const int views = study.views();
  ExportFile data{base + ".s", {}};
  // Counts that are not whole (Monte Carlo weights) leave as the floats they came as.
  const std::vector<float>* exact = study.exactCounts();
  const std::vector<std::uint16_t>& c = study.counts();
  if (exact) data.bytes.assign(reinterpret_cast<const char*>(exact->data()), exact->size() * 4);
  else data.bytes.assign(reinterpret_cast<const char*>(c.data()), c.size() * 2);  // little endian
  const double px = study.geometry().pixelSizeMm;
  // Interfile's angle is minus the program's; CW makes the program's angle grow.
  std::string h = interfileHead(data.name, std::size_t(views));
  h += exact ? "!number format := short float\n" : "!number format := unsigned integer\n";
  h += exact ? "!number of bytes per pixel := 4\n" : "!number of bytes per pixel := 2\n";
  h += "!number of projections := " + std::to_string(views) + "\n";
  h += "!extent of rotation := " + ds(views > 1 ? views * std::fabs(step) : 360) + "\n";
  h += "process status := Acquired\n";
  h += "!matrix size [1] := " + std::to_string(study.bins()) + "\n";
  h += "!matrix size [2] := " + std::to_string(study.rows()) + "\n";
  if (px > 0) {
    h += "scaling factor (mm/pixel) [1] := " + ds(px) + "\n";
    h += "scaling factor (mm/pixel) [2] := " + ds(px) + "\n";
  }
  h += "!SPECT STUDY (acquired data) :=\n";
  h += std::string("!direction of rotation := ") + (step >= 0 ? "CW" : "CCW") + "\n";
  h += "start angle := " + ds(normalAngle(-first)) + "\n";
  h += "!END OF INTERFILE :=\n";
  r.files.push_back(std::move(data));
  r.files.push_back({base + ".hs", h});
  return r;
}

}  // namespace sinora::formats
