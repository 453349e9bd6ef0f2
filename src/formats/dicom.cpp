#include "formats/dicom.h"

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcfilefo.h>
#include <dcmtk/dcmdata/dcistrmb.h>
#include <dcmtk/dcmdata/dcpixel.h>
#include <dcmtk/dcmdata/dcrledrg.h>
#include <dcmtk/dcmdata/dcsequen.h>
#include <dcmtk/dcmjpeg/djdecode.h>
#include <dcmtk/dcmjpls/djdecode.h>
#include <dcmtk/oflog/oflog.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>
#include <numeric>

#include "formats/raw.h"
#include "imaging/text.h"

namespace sinora::formats {

namespace {

std::string upper(std::string s) {
  for (char& c : s) c = char(std::toupper(static_cast<unsigned char>(c)));
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

void registerCodecs() {
  static std::once_flag once;
  std::call_once(once, [] {
    OFLog::configure(OFLogger::FATAL_LOG_LEVEL);  // DCMTK's own messages stay quiet
    DcmRLEDecoderRegistration::registerCodecs();
    DJDecoderRegistration::registerCodecs();
    DJLSDecoderRegistration::registerCodecs();
  });
}

std::string text(DcmItem* item, const DcmTagKey& key, unsigned long pos = 0) {
  OFString v;
  if (item && item->findAndGetOFString(key, v, pos).good()) return std::string(v.c_str());
  return {};
}

bool real(DcmItem* item, const DcmTagKey& key, double* out, unsigned long pos = 0) {
  Float64 v;
  if (item && item->findAndGetFloat64(key, v, pos).good() && std::isfinite(v)) {
    *out = v;
    return true;
  }
  return false;
}

long whole(DcmItem* item, const DcmTagKey& key, long fallback) {
  Sint32 v;
  if (item && item->findAndGetSint32(key, v).good()) return v;
  const std::string t = text(item, key);
  if (!t.empty()) {
    char* end = nullptr;
    const long l = std::strtol(t.c_str(), &end, 10);
    if (end != t.c_str()) return l;
  }
  return fallback;
}

std::vector<int> vectorOf(DcmItem* item, const DcmTagKey& key) {
  std::vector<int> out;
  const Uint16* values = nullptr;
  unsigned long count = 0;
  if (item->findAndGetUint16Array(key, values, &count).good() && values)
    out.assign(values, values + count);
  return out;
}

DcmSequenceOfItems* sequence(DcmItem* item, const DcmTagKey& key) {
  DcmSequenceOfItems* seq = nullptr;
  if (item->findAndGetSequence(key, seq).good()) return seq;
  return nullptr;
}

StudyReadResult readDataset(DcmFileFormat& file, OFCondition loaded) {
  StudyReadResult result;
  if (loaded.bad()) {
    result.error = fill("DICOM ファイルとして読めません（%1）。", {loaded.text()});
    return result;
  }
  DcmDataset* ds = file.getDataset();
  DicomNm nm;
  nm.modality = upper(text(ds, DCM_Modality));
  std::string type;
  for (unsigned long i = 0; i < 4; ++i) {
    const std::string part = upper(text(ds, DCM_ImageType, i));
    if (part.empty()) break;
    if (i >= 2) type += (type.empty() ? "" : " ") + part;
  }
  nm.imageType = type;
  nm.rows = int(whole(ds, DCM_Rows, 0));
  nm.columns = int(whole(ds, DCM_Columns, 0));
  nm.frames = int(whole(ds, DCM_NumberOfFrames, 1));
  nm.bitsAllocated = int(whole(ds, DCM_BitsAllocated, 16));
  nm.pixelSigned = whole(ds, DCM_PixelRepresentation, 0) == 1;
  double spacing = 0;
  if (real(ds, DCM_PixelSpacing, &spacing, 1) || real(ds, DCM_PixelSpacing, &spacing, 0))
    nm.pixelSpacingMm = spacing;
  nm.patientPosition = upper(text(ds, DCM_PatientPosition));
  nm.detectorVector = vectorOf(ds, DCM_DetectorVector);
  nm.rotationVector = vectorOf(ds, DCM_RotationVector);
  nm.energyWindowVector = vectorOf(ds, DCM_EnergyWindowVector);
  nm.angularViewVector = vectorOf(ds, DCM_AngularViewVector);
  auto origin = std::make_shared<DicomOrigin>();
  origin->characterSet = text(ds, DCM_SpecificCharacterSet);
  origin->patientName = text(ds, DCM_PatientName);
  origin->patientId = text(ds, DCM_PatientID);
  origin->patientBirthDate = text(ds, DCM_PatientBirthDate);
  origin->patientSex = text(ds, DCM_PatientSex);
  origin->studyInstanceUid = text(ds, DCM_StudyInstanceUID);
  origin->studyDate = text(ds, DCM_StudyDate);
  origin->studyTime = text(ds, DCM_StudyTime);
  origin->studyId = text(ds, DCM_StudyID);
  origin->accessionNumber = text(ds, DCM_AccessionNumber);
  origin->referringPhysician = text(ds, DCM_ReferringPhysicianName);
  origin->studyDescription = text(ds, DCM_StudyDescription);
  origin->frameOfReferenceUid = text(ds, DCM_FrameOfReferenceUID);
  origin->positionReferenceIndicator = text(ds, DCM_PositionReferenceIndicator);
  origin->patientPosition = nm.patientPosition;
  if (DcmSequenceOfItems* s = sequence(ds, DCM_DetectorInformationSequence))
    for (unsigned long i = 0; i < s->card(); ++i) {
      DcmItem* it = s->getItem(i);
      if (i == 0) {
        bool all = true;
        for (unsigned long k = 0; k < 3; ++k) all = all && real(it, DCM_ImagePositionPatient, &origin->position[k], k);
        origin->hasPosition = all;
        all = true;
        for (unsigned long k = 0; k < 6; ++k) all = all && real(it, DCM_ImageOrientationPatient, &origin->orientation[k], k);
        origin->hasOrientation = all;
      }
      DicomNm::Detector d;
      d.hasStartAngle = real(it, DCM_StartAngle, &d.startAngle);
      d.collimator = upper(text(it, DCM_CollimatorType));
      nm.detectors.push_back(d);
    }
  if (DcmSequenceOfItems* s = sequence(ds, DCM_RotationInformationSequence))
    for (unsigned long i = 0; i < s->card(); ++i) {
      DcmItem* it = s->getItem(i);
      DicomNm::Rotation r;
      real(it, DCM_StartAngle, &r.startAngle);
      real(it, DCM_AngularStep, &r.angularStep);
      r.clockwise = upper(text(it, DCM_RotationDirection)) == "CW";
      r.framesInRotation = int(whole(it, DCM_NumberOfFramesInRotation, 0));
      nm.rotations.push_back(r);
    }
  if (DcmSequenceOfItems* s = sequence(ds, DCM_EnergyWindowInformationSequence))
    for (unsigned long i = 0; i < s->card(); ++i) {
      DcmItem* it = s->getItem(i);
      DicomNm::EnergyWindow w;
      w.name = text(it, DCM_EnergyWindowName);
      if (DcmSequenceOfItems* range = sequence(it, DCM_EnergyWindowRangeSequence))
        if (range->card() > 0) {
          real(range->getItem(0), DCM_EnergyWindowLowerLimit, &w.lower);
          real(range->getItem(0), DCM_EnergyWindowUpperLimit, &w.upper);
        }
      nm.energyWindows.push_back(w);
    }

  nm.origin = origin;
  // Refuse what is not projection data before decoding any pixels.
  if (nm.modality != "NM" || nm.imageType.find("TOMO") == std::string::npos ||
      nm.imageType.find("RECON") != std::string::npos)
    return interpretDicomNm(nm);
  if (ds->tagExists(DCM_PixelData)) {
    // Compressed pixel data is decoded here by the registered codecs.
    if (ds->chooseRepresentation(EXS_LittleEndianExplicit, nullptr).bad()) {
      result.error = "画素データを展開できません（この圧縮形式は読めません）。";
      return result;
    }
    const std::uint64_t want = std::uint64_t(std::max(0, nm.frames)) * std::uint64_t(std::max(0, nm.rows)) *
                               std::uint64_t(std::max(0, nm.columns));
    if (nm.bitsAllocated == 8) {
      const Uint8* p = nullptr;
      unsigned long n = 0;
      if (ds->findAndGetUint8Array(DCM_PixelData, p, &n).good() && p) {
        nm.hasPixelData = true;
        const std::uint64_t m = std::min<std::uint64_t>(n, want);
        nm.pixels.resize(m);
        for (std::uint64_t i = 0; i < m; ++i)
          nm.pixels[i] = nm.pixelSigned ? std::int32_t(std::int8_t(p[i])) : std::int32_t(p[i]);
      }
    } else if (nm.bitsAllocated == 16) {
      const Uint16* p = nullptr;
      unsigned long n = 0;
      if (ds->findAndGetUint16Array(DCM_PixelData, p, &n).good() && p) {
        nm.hasPixelData = true;
        const std::uint64_t m = std::min<std::uint64_t>(n, want);
        nm.pixels.resize(m);
        for (std::uint64_t i = 0; i < m; ++i)
          nm.pixels[i] = nm.pixelSigned ? std::int32_t(std::int16_t(p[i])) : std::int32_t(p[i]);
      }
    } else {
      nm.hasPixelData = true;  // reported below as the unreadable depth it is
    }
  }
  return interpretDicomNm(nm);
}

int at(const std::vector<int>& v, std::size_t i, int fallback) {
  return i < v.size() ? v[i] : fallback;
}

}  // namespace

bool looksLikeDicom(const std::uint8_t* b, std::size_t size) {
  if (size >= 132 && std::memcmp(b + 128, "DICM", 4) == 0) return true;
  // No preamble: the first element is of group 0008 (or 0002), either byte order.
  if (size >= 8) {
    const int groupLE = b[0] | (b[1] << 8);
    const int groupBE = (b[0] << 8) | b[1];
    if (groupLE == 0x0008 || groupLE == 0x0002 || groupBE == 0x0008) return true;
  }
  return false;
}

StudyReadResult interpretDicomNm(const DicomNm& nm) {
  StudyReadResult result;
  if (nm.modality != "NM") {
    result.error = fill("核医学（NM）の画像ではありません（モダリティ %1）。",
                        {nm.modality.empty() ? std::string("なし") : nm.modality});
    return result;
  }
  if (nm.imageType.find("RECON") != std::string::npos) {
    result.error = fill("再構成済みの断層画像（%1）です。プロジェクションデータではありません。", {nm.imageType});
    return result;
  }
  if (nm.imageType.find("TOMO") == std::string::npos) {
    result.error = fill("断層収集（TOMO）のプロジェクションデータではありません（画像の種類 %1）。",
                        {nm.imageType.empty() ? std::string("なし") : nm.imageType});
    return result;
  }
  for (const DicomNm::Detector& d : nm.detectors) {
    const std::string& c = d.collimator;
    const char* what = c == "FANB" ? "ファンビーム" : c == "CONE" ? "コーンビーム"
                     : c == "PINH" ? "ピンホール" : c == "DIVG" ? "ダイバージング"
                     : c == "ASTG" ? "アスティグマティック" : nullptr;
    if (what) {
      result.error = fill("コリメータが平行多孔ではありません（%1、%2）。このプログラムは平行ビームの投影だけを再構成します。",
                          {what, c});
      return result;
    }
  }
  if (!nm.hasPixelData) {
    result.error = "画素データがありません。";
    return result;
  }
  if (nm.bitsAllocated != 8 && nm.bitsAllocated != 16) {
    result.error = fill("画素のビット数 %1 は読めません（8 または 16）。", {std::to_string(nm.bitsAllocated)});
    return result;
  }
  if (nm.rows < 1 || nm.rows > kMaxRowsOrBins || nm.columns < 1 || nm.columns > kMaxRowsOrBins) {
    result.error = fill("画像の大きさ %1 x %2 は読めません（1 から 512 まで）。",
                        {std::to_string(nm.columns), std::to_string(nm.rows)});
    return result;
  }
  if (nm.frames < 1) {
    result.error = fill("フレーム数 %1 は読めません。", {std::to_string(nm.frames)});
    return result;
  }
  const std::uint64_t frameSize = std::uint64_t(nm.rows) * nm.columns;
  if (nm.pixels.size() < frameSize * std::uint64_t(nm.frames)) {
    result.error = fill("画素データが短すぎます（%1 画素、%2 フレームには %3 画素が必要）。",
                        {std::to_string(nm.pixels.size()), std::to_string(nm.frames),
                         std::to_string(frameSize * std::uint64_t(nm.frames))});
    return result;
  }

  // Each frame's detector, rotation, energy window and view; then its angle.
  struct Frame {
    int index;
    double theta;
    int detector, view;
  };
  std::vector<Frame> kept;
  std::vector<std::vector<int>> seen(64 * 64);  // views counted per detector and rotation
  std::vector<std::string> notes;
  int windows = int(nm.energyWindows.size());
  for (int v : nm.energyWindowVector) windows = std::max(windows, v);
  for (int f = 0; f < nm.frames; ++f) {
    const std::size_t i = std::size_t(f);
    const int energy = at(nm.energyWindowVector, i, 1);
    const int det = std::clamp(at(nm.detectorVector, i, 1), 1, 64);
    const int rot = std::clamp(at(nm.rotationVector, i, 1), 1, 64);
    std::vector<int>& count = seen[std::size_t((det - 1) * 64 + rot - 1)];
    if (count.empty()) count.push_back(0);
    const int running = count[0]++;
    if (energy != 1) continue;
    const int view = nm.angularViewVector.size() > i ? nm.angularViewVector[i] - 1 : running;
    DicomNm::Rotation r;
    if (std::size_t(rot - 1) < nm.rotations.size()) r = nm.rotations[std::size_t(rot - 1)];
    double start = r.startAngle;
    if (std::size_t(det - 1) < nm.detectors.size() && nm.detectors[std::size_t(det - 1)].hasStartAngle)
      start = nm.detectors[std::size_t(det - 1)].startAngle;
    // DICOM: CW is decreasing angle, CC increasing. The program's angle is 180 minus DICOM's.
    double step = r.angularStep;
    if (!(std::isfinite(step))) step = 0;
    if (step == 0 && nm.rotations.empty()) step = 360.0 / nm.frames;
    const double alpha = start + (r.clockwise ? -1 : 1) * view * step;
    double theta = std::fmod(180 - alpha, 360.0);
    if (theta < 0) theta += 360;
    if (!std::isfinite(theta)) theta = 0;
    kept.push_back({f, theta, det, view});
  }
  if (kept.empty()) {
    result.error = "1 番目のエネルギーウィンドウのフレームがありません。";
    return result;
  }
  if (kept.size() > std::size_t(kMaxViews)) {
    result.error = fill("ビュー数 %1 は多すぎます（1024 まで）。", {std::to_string(kept.size())});
    return result;
  }
  // Two heads (or rotations) become one rotation in angle order, starting at the first view of
  // the first detector.
  int detectorsUsed = 0;
  for (int d = 0; d < 64; ++d)
    for (int r = 0; r < 64; ++r)
      if (!seen[std::size_t(d * 64 + r)].empty()) {
        ++detectorsUsed;
        break;
      }
  // One rotation keeps the order it was acquired in; two heads are merged in angle order.
  if (detectorsUsed == 1) {
    std::stable_sort(kept.begin(), kept.end(), [](const Frame& a, const Frame& b) { return a.view < b.view; });
  } else {
    const Frame* start = &kept.front();
    for (const Frame& f : kept)
      if (f.detector == start->detector && f.view < start->view) start = &f;
    const double first = start->theta;
    auto key = [first](double t) { return std::fmod(t - first + 720, 360.0); };
    std::stable_sort(kept.begin(), kept.end(),
                     [&](const Frame& a, const Frame& b) { return key(a.theta) < key(b.theta); });
  }
  if (windows > 1) {
    std::string name;
    if (!nm.energyWindows.empty()) {
      const DicomNm::EnergyWindow& w = nm.energyWindows[0];
      char range[64] = "";
      if (w.upper > 0) std::snprintf(range, sizeof range, "%.4g–%.4g keV", w.lower, w.upper);
      name = w.name.empty() ? std::string(range) : w.name + (range[0] ? std::string(" ") + range : "");
    }
    notes.push_back(name.empty() ? fill("エネルギーウィンドウが %1 個あります。1 番目だけを使いました。", {std::to_string(windows)})
                                 : fill("エネルギーウィンドウが %1 個あります。1 番目（%2）だけを使いました。",
                                        {std::to_string(windows), name}));
  }
  if (detectorsUsed > 1)
    notes.push_back(fill("%1 つの検出器のフレームを角度の順に 1 回転にまとめました。", {std::to_string(detectorsUsed)}));

  StudyGeometry g;
  g.views = int(kept.size());
  g.rows = nm.rows;
  g.bins = nm.columns;
  g.pixelSizeMm = nm.pixelSpacingMm > 0 ? nm.pixelSpacingMm : 0;
  g.format = "DICOM NM";
  g.description = "DICOM NM TOMO";
  std::vector<std::uint16_t> counts(std::size_t(g.views) * frameSize);
  std::uint64_t negatives = 0;
  std::int32_t lowest = 0;
  for (std::size_t k = 0; k < kept.size(); ++k) {
    g.angles.push_back(kept[k].theta);
    const std::int32_t* src = nm.pixels.data() + std::size_t(kept[k].index) * frameSize;
    for (std::uint64_t p = 0; p < frameSize; ++p) {
      const std::int32_t v = src[p];
      if (v < 0) {
        ++negatives;
        lowest = std::min(lowest, v);
      }
      counts[k * frameSize + p] = std::uint16_t(std::clamp(v, 0, 65535));
    }
  }
  if (negatives > 0)
    notes.push_back(fill("%1 個の負の値を 0 にしました（最小値 %2）。", {std::to_string(negatives), std::to_string(lowest)}));
  g.notes = notes;
  g.dicom = nm.origin;
  result.study = std::make_shared<const ProjectionStudy>(std::move(g), std::move(counts));
  return result;
}

StudyReadResult readDicom(const std::string& path) {
  registerCodecs();
  StudyReadResult result;
  std::vector<std::uint8_t> bytes;
  // Read through our own reader first: the file checks (folders, pipes) are the same for all.
  if (!readWholeFile(path, std::uint64_t(1) << 31, &bytes, &result.error)) return result;
  return readDicomBytes(bytes.data(), bytes.size());
}

StudyReadResult readDicomBytes(const std::uint8_t* bytes, std::size_t size) {
  registerCodecs();
  DcmInputBufferStream in;
  in.setBuffer(bytes, offile_off_t(size));
  in.setEos();
  DcmFileFormat file;
  file.transferInit();
  OFCondition cond = file.read(in, EXS_Unknown, EGL_noChange, DCM_MaxReadLength);
  file.transferEnd();
  return readDataset(file, cond);
}

}  // namespace sinora::formats
