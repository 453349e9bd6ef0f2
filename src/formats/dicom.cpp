#include "formats/dicom.h"

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcfcache.h>
#include <dcmtk/dcmdata/dcfilefo.h>
#include <dcmtk/dcmdata/dcistrmb.h>
#include <dcmtk/dcmdata/dcpixel.h>
#include <dcmtk/dcmdata/dcpixseq.h>
#include <dcmtk/dcmdata/dcpxitem.h>
#include <dcmtk/dcmdata/dcrledrg.h>
#include <dcmtk/dcmdata/dcsequen.h>
#include <dcmtk/dcmdata/dcxfer.h>
#include <dcmtk/dcmjpeg/djdecode.h>
#include <dcmtk/dcmjpls/djdecode.h>
#include <dcmtk/oflog/oflog.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <numeric>
#include <unistd.h>

#include "formats/dicom_values.h"
#include "formats/raw.h"
#include "imaging/text.h"

namespace sinora::formats {

namespace {

std::mutex codecLock;
bool codecsRegistered = false;

void registerCodecs() {
  std::lock_guard<std::mutex> hold(codecLock);
  if (codecsRegistered) return;
  static bool quiet = [] {
    OFLog::configure(OFLogger::FATAL_LOG_LEVEL);  // DCMTK's own messages stay quiet
    std::atexit(releaseDicomCodecs);
    return true;
  }();
  (void)quiet;
  DcmRLEDecoderRegistration::registerCodecs();
  DJDecoderRegistration::registerCodecs();
  DJLSDecoderRegistration::registerCodecs();
  codecsRegistered = true;
}

// Values the reader looks at are short (the longest, a frame vector of 65,536 frames, 128 KiB);
// a longer one (a hostile length) is taken as absent rather than loaded.
constexpr DicomValues kValues{256 * 1024, false};

bool present(DcmItem* item, const DcmTagKey& key) { return kValues.present(item, key); }
std::string text(DcmItem* item, const DcmTagKey& key, unsigned long pos = 0) { return kValues.text(item, key, pos); }
bool real(DcmItem* item, const DcmTagKey& key, double* out, unsigned long pos = 0) { return kValues.real(item, key, out, pos); }
long whole(DcmItem* item, const DcmTagKey& key, long fallback) { return kValues.whole(item, key, fallback); }

// Our own reason for what DCMTK could not read, its words after it.
std::string unreadable(const OFCondition& c) {
  const char* why = "DICOM の構造として読めません";
  if (c == EC_StreamNotifyClient || c == EC_EndOfStream || c == EC_SequDelimitationItemMissing ||
      c == EC_ItemDelimitationItemMissing)
    why = "ファイルが途中で終わっています";
  else if (c == EC_InvalidStream || c == EC_CorruptedData || c == EC_ElemLengthLargerThanItem ||
           c == EC_PrematureSequDelimitationItem || c == EC_SequEnd || c == EC_ItemEnd)
    why = "ファイルの途中でデータの構造が壊れています";
  else if (c == EC_InvalidTag || c == EC_InvalidVR || c == EC_UnknownVR)
    why = "読めない属性があります";
  else if (c == EC_FileMetaInfoHeaderMissing)
    why = "DICOM のファイルメタ情報がありません";
  return fill("DICOM ファイルとして読めません: %1（DCMTK: %2）。", {why, c.text()});
}

std::vector<int> vectorOf(DcmItem* item, const DcmTagKey& key) {
  std::vector<int> out;
  const Uint16* values = nullptr;
  unsigned long count = 0;
  if (present(item, key) && item->findAndGetUint16Array(key, values, &count).good() && values)
    out.assign(values, values + count);
  return out;
}

DcmSequenceOfItems* sequence(DcmItem* item, const DcmTagKey& key) {
  DcmSequenceOfItems* seq = nullptr;
  if (item->findAndGetSequence(key, seq).good()) return seq;
  return nullptr;
}

int at(const std::vector<int>& v, std::size_t i, int fallback) {
  return i < v.size() ? v[i] : fallback;
}

// Sequences are read to this many items: a camera has a few heads, rotations and windows.
constexpr unsigned long kMaxItems = 64;

// Image Position (Patient) of an item (x, y, z in mm); false unless all three are numbers.
bool imagePosition(DcmItem* item, double position[3]) {
  for (unsigned long k = 0; k < 3; ++k)
    if (!real(item, DCM_ImagePositionPatient, &position[k], k)) return false;
  return true;
}

// Image Orientation (Patient) of an item: the direction of its rows (along a row, column by
// column), then of its columns; false unless all six are numbers.
bool imageOrientation(DcmItem* item, double orientation[6]) {
  for (unsigned long k = 0; k < 6; ++k)
    if (!real(item, DCM_ImageOrientationPatient, &orientation[k], k)) return false;
  return true;
}

// One item of the Detector Information Sequence.
DicomNm::Detector detectorOf(DcmItem* it) {
  DicomNm::Detector d;
  d.hasStartAngle = real(it, DCM_StartAngle, &d.startAngle);
  d.collimator = upperCode(text(it, DCM_CollimatorType));
  for (unsigned long v = 0; v < 4096; ++v) {
    double radial;
    if (!real(it, DCM_RadialPosition, &radial, v)) break;
    d.radialMm.push_back(radial);
  }
  d.hasOrientation = imageOrientation(it, d.orientation);
  return d;
}

// The patient's position as Patient Position (0018,5100) would say it, from the Patient Gantry
// Relationship (head or feet first) and Patient Orientation Modifier (supine or prone) codes
// that NM files carry instead (SNOMED codes, old and new designators); empty when unsaid.
std::string positionFromCodes(DcmDataset* ds) {
  auto codeOf = [](DcmItem* item, const DcmTagKey& key) -> std::string {
    DcmSequenceOfItems* s = sequence(item, key);
    return s && s->card() > 0 ? upperCode(text(s->getItem(0), DCM_CodeValue)) : std::string();
  };
  const std::string gantry = codeOf(ds, DCM_PatientGantryRelationshipCodeSequence);
  const char* first = gantry == "F-10470" || gantry == "102540008" ? "HF"
                      : gantry == "F-10480" || gantry == "102541007" ? "FF" : nullptr;
  std::string modifier;
  if (DcmSequenceOfItems* s = sequence(ds, DCM_PatientOrientationCodeSequence); s && s->card() > 0)
    modifier = codeOf(s->getItem(0), DCM_PatientOrientationModifierCodeSequence);
  const char* lying = modifier == "F-10340" || modifier == "40199007" ? "S"
                      : modifier == "F-10310" || modifier == "1240000" ? "P" : nullptr;
  return first && lying ? std::string(first) + lying : std::string();
}

StudyReadResult readDataset(DcmFileFormat& file, OFCondition loaded, std::uint64_t maxPixelBytes) {
  StudyReadResult result;
  if (loaded.bad()) {
    result.error = unreadable(loaded);
    return result;
  }
  DcmDataset* ds = file.getDataset();
  DicomNm nm;
  nm.modality = upperCode(text(ds, DCM_Modality));
  std::string type;
  for (unsigned long i = 0; i < 4; ++i) {
    const std::string part = upperCode(text(ds, DCM_ImageType, i));
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
  nm.patientPosition = upperCode(text(ds, DCM_PatientPosition));
  const std::string positionStated = nm.patientPosition;
  if (nm.patientPosition.empty()) nm.patientPosition = positionFromCodes(ds);
  nm.continuous = upperCode(text(ds, DCM_TypeOfDetectorMotion)) == "CONTINUOUS";
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
  origin->patientPosition = positionStated;
  if (DcmSequenceOfItems* s = sequence(ds, DCM_DetectorInformationSequence))
    for (unsigned long i = 0; i < std::min(s->card(), kMaxItems); ++i) {
      DcmItem* it = s->getItem(i);
      if (i == 0) {
        origin->hasPosition = imagePosition(it, origin->position);
        origin->hasOrientation = imageOrientation(it, origin->orientation);
      }
      nm.detectors.push_back(detectorOf(it));
    }
  if (DcmSequenceOfItems* s = sequence(ds, DCM_RotationInformationSequence))
    for (unsigned long i = 0; i < std::min(s->card(), kMaxItems); ++i) {
      DcmItem* it = s->getItem(i);
      DicomNm::Rotation r;
      real(it, DCM_StartAngle, &r.startAngle);
      if (!real(it, DCM_AngularStep, &r.angularStep)) r.angularStep = NAN;  // absent or not a number
      r.clockwise = upperCode(text(it, DCM_RotationDirection)) == "CW";
      r.framesInRotation = int(whole(it, DCM_NumberOfFramesInRotation, 0));
      real(it, DCM_ScanArc, &r.scanArc);
      for (unsigned long v = 0; v < 4096; ++v) {
        double radial;
        if (!real(it, DCM_RadialPosition, &radial, v)) break;
        r.radialMm.push_back(radial);
      }
      nm.rotations.push_back(r);
    }
  if (DcmSequenceOfItems* s = sequence(ds, DCM_EnergyWindowInformationSequence))
    for (unsigned long i = 0; i < std::min(s->card(), kMaxItems); ++i) {
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
  DcmElement* element = nullptr;
  if (ds->findAndGetElement(DCM_PixelData, element).bad() || !element) return interpretDicomNm(nm);
  nm.hasPixelData = true;
  if (nm.bitsAllocated != 8 && nm.bitsAllocated != 16) return interpretDicomNm(nm);
  auto* pixels = dynamic_cast<DcmPixelData*>(element);
  if (!pixels) {
    result.error = "画素データを読めません（Pixel Data (7FE0,0010) の形が違います）。";
    return result;
  }
  // Every size is checked against the header before a pixel is read.
  const std::uint64_t bytesPerPixel = std::uint64_t(nm.bitsAllocated / 8);
  const std::uint64_t frameBytes =
      std::uint64_t(std::clamp(nm.rows, 0, kMaxRowsOrBins)) * std::uint64_t(std::clamp(nm.columns, 0, kMaxRowsOrBins)) * bytesPerPixel;
  if (nm.frames > 0 && nm.frames <= kMaxDicomFrames && frameBytes > 0) {
    std::uint64_t keptFrames = 0;
    for (int f = 0; f < nm.frames; ++f) keptFrames += at(nm.energyWindowVector, std::size_t(f), 1) >= 1;
    if (keptFrames * frameBytes > maxPixelBytes) {
      result.error = fill("画素データが大きすぎます（%1 フレーム、%2 バイト。読めるのは %3 バイトまで）。",
                          {std::to_string(keptFrames), std::to_string(keptFrames * frameBytes),
                           std::to_string(maxPixelBytes)});
      return result;
    }
    Uint32 frameSize = 0;
    if (pixels->getUncompressedFrameSize(ds, frameSize).bad() || frameSize != frameBytes) {
      result.error = "1 画素 1 サンプルの画像ではありません（Samples per Pixel (0028,0002)）。";
      return result;
    }
    if (DcmXfer(ds->getOriginalXfer()).isEncapsulated()) {
      // Each frame has a fragment of its own at least: a file cannot claim more frames than
      // it holds fragments (and so have a whole study made ready for nothing).
      DcmPixelSequence* fragments = nullptr;
      const unsigned long have =
          pixels->getEncapsulatedRepresentation(ds->getOriginalXfer(), nullptr, fragments).good() && fragments
              ? fragments->card() : 0;
      if (have < 1 + std::uint64_t(nm.frames)) {
        result.error = fill("圧縮された画素データの断片が %1 個しかありません（%2 フレームには %2 個以上が必要）。",
                            {std::to_string(have > 0 ? have - 1 : 0), std::to_string(nm.frames)});
        return result;
      }
      // DCMTK's RLE decoder can run past its buffers on a fragment whose runs do not add up to
      // its frame: every segment is walked here first and must decode to exactly one byte plane.
      if (DcmXfer(ds->getOriginalXfer()).getXfer() == EXS_RLELossless) {
        const std::uint64_t plane = frameBytes / bytesPerPixel;
        for (unsigned long i = 1; i < have; ++i) {
          DcmPixelItem* item = nullptr;
          Uint8* bytes = nullptr;
          const Uint32 length = fragments->getItem(item, i).good() && item ? item->getLength() : 0;
          bool sound = length >= 64 && item->getUint8Array(bytes).good() && bytes;
          auto word = [&](Uint32 k) {
            return Uint32(bytes[4 * k]) | Uint32(bytes[4 * k + 1]) << 8 | Uint32(bytes[4 * k + 2]) << 16 |
                   Uint32(bytes[4 * k + 3]) << 24;
          };
          const Uint32 segments = sound ? word(0) : 0;
          sound = sound && segments == Uint32(bytesPerPixel) && word(1) == 64;
          for (Uint32 k = 1; sound && k <= segments; ++k) {
            const std::uint64_t begin = word(k), end = k < segments ? word(k + 1) : length;
            sound = begin < end && end <= length;
            std::uint64_t at = begin, out = 0;
            while (sound && at < end && out < plane) {
              const int n = static_cast<signed char>(bytes[at++]);
              if (n >= 0) {
                sound = at + std::uint64_t(n) + 1 <= end && out + std::uint64_t(n) + 1 <= plane;
                at += std::uint64_t(n) + 1;
                out += std::uint64_t(n) + 1;
              } else if (n != -128) {
                sound = at + 1 <= end && out + std::uint64_t(1 - n) <= plane;
                at += 1;
                out += std::uint64_t(1 - n);
              }
            }
            sound = sound && out == plane;
          }
          if (!sound) {
            result.error = fill("RLE で圧縮された断片 %1 が壊れています。", {std::to_string(i)});
            return result;
          }
        }
      }
    } else {
      const std::uint64_t have = pixels->getLength();
      const std::uint64_t need = frameBytes * std::uint64_t(nm.frames);
      if (have < need) {
        result.error = fill("画素データが短すぎます（%1 画素、%2 フレームには %3 画素が必要）。",
                            {std::to_string(have / bytesPerPixel), std::to_string(nm.frames),
                             std::to_string(need / bytesPerPixel)});
        return result;
      }
    }
  }
  auto cache = std::make_shared<DcmFileCache>();
  auto buffer = std::make_shared<std::vector<Uint8>>(std::size_t(frameBytes + 2));
  const bool eight = nm.bitsAllocated == 8, sign = nm.pixelSigned;
  nm.readFrame = [ds, pixels, cache, buffer, eight, sign](int frame, std::int32_t* values) -> std::string {
    Uint32 startFragment = 0;  // found by DCMTK for each frame
    OFString colourModel;
    std::vector<Uint8>& b = *buffer;
    const OFCondition c = pixels->getUncompressedFrame(ds, Uint32(frame), startFragment, b.data(),
                                                       Uint32(b.size() & ~std::size_t(1)), colourModel, cache.get());
    if (c.bad())
      return fill("フレーム %1 の画素データを読めないか展開できません（DCMTK: %2）。",
                  {std::to_string(frame + 1), c.text()});
    const std::size_t n = (b.size() - 2) / (eight ? 1 : 2);
    if (eight) {
      for (std::size_t i = 0; i < n; ++i) values[i] = sign ? std::int32_t(std::int8_t(b[i])) : std::int32_t(b[i]);
    } else {
      for (std::size_t i = 0; i < n; ++i) {
        Uint16 w;
        std::memcpy(&w, b.data() + 2 * i, 2);
        values[i] = sign ? std::int32_t(std::int16_t(w)) : std::int32_t(w);
      }
    }
    return {};
  };
  return interpretDicomNm(nm);
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

double columnsAngle(const double o[6]) {
  const double across = std::hypot(o[0], o[1]);
  if (!(across >= 0.7 && across <= 1.05)) return NAN;  // mostly along the axis, or no direction
  double a = std::atan2(o[1], -o[0]) * 180 / 3.14159265358979323846;
  if (a < 0) a += 360;
  return a >= 360 ? 0 : a;
}

namespace {

std::string degrees(double a) {
  char text[32];
  std::snprintf(text, sizeof text, "%.4g", a);
  return text;
}

// The DICOM angle of detector `det`'s first view of rotation `r`: its own Start Angle, else the
// rotation's (which is the first head's). Its Image Orientation (Patient) has the last word on
// the columns: within 10 degrees of that angle it agrees; about 180 degrees off, the camera keeps
// the columns the other way round, which is the same views seen from the opposite side; another
// angle contradicts a stated Start Angle and is left aside. A later head with no Start Angle of
// its own is placed by its orientation alone. What the orientation changed goes into `notes` once.
double headStart(const DicomNm& nm, int det, const DicomNm::Rotation& r, std::vector<std::string>& notes) {
  const DicomNm::Detector* d = std::size_t(det - 1) < nm.detectors.size() ? &nm.detectors[std::size_t(det - 1)] : nullptr;
  double start = d && d->hasStartAngle ? d->startAngle : r.startAngle;
  const double o = d && d->hasOrientation ? columnsAngle(d->orientation) : NAN;
  if (!std::isfinite(o)) return start;
  auto say = [&](const std::string& note) {
    if (std::find(notes.begin(), notes.end(), note) == notes.end()) notes.push_back(note);
  };
  const bool stated = (d && d->hasStartAngle) || det == 1;
  const double off = std::remainder(o - start, 360.0);
  if (!stated) {
    say(fill("検出器 %1 は開始角度がないので、Image Orientation (Patient) から %2 度としました。",
             {std::to_string(det), degrees(o)}));
    return o;
  }
  if (std::fabs(off) <= 10) return start;
  if (std::fabs(off) >= 170) {
    say(fill("検出器 %1 の Image Orientation (Patient) では列の向きが逆なので、そのビューを 180 度回して読みました。",
             {std::to_string(det)}));
    return start + 180;
  }
  say(fill("検出器 %1 の Image Orientation (Patient)（%2 度）は開始角度 %3 度と合わないので使いませんでした。",
           {std::to_string(det), degrees(o), degrees(start)}));
  return start;
}

// Said once in the import: how the patient lay, when not head first and supine.
std::string positionNote(const std::string& position) {
  if (position.empty() || position == "HFS") return {};
  const char* what = position == "HFP" ? "頭から伏臥位（HFP）" : position == "FFS" ? "足から仰臥位（FFS）"
                   : position == "FFP" ? "足から伏臥位（FFP）" : nullptr;
  const std::string said = what ? what : position;
  return fill("患者の体位は%1です。DICOM の角度は患者を基準にしているので、そのまま読みました。", {said});
}

}  // namespace

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
  if (nm.frames < 1 || nm.frames > kMaxDicomFrames) {
    result.error = fill("フレーム数 %1 は読めません（1 から %2 まで）。",
                        {std::to_string(nm.frames), std::to_string(kMaxDicomFrames)});
    return result;
  }
  const std::uint64_t frameSize = std::uint64_t(nm.rows) * nm.columns;
  const bool streamed = nm.pixels.empty() && nm.readFrame;
  if (!streamed && nm.pixels.size() < frameSize * std::uint64_t(nm.frames)) {
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
    double radius;  // mm, NaN when the file gives none
  };
  std::vector<Frame> kept;
  std::vector<std::vector<Frame>> otherWindows;  // windows 2, 3, ...: their frames
  std::vector<std::vector<int>> seen(64 * 64);  // views counted per detector and rotation
  std::vector<std::string> notes;
  // Each rotation's step: a missing, zero or NaN Angular Step comes from the scan arc.
  std::vector<double> steps(nm.rotations.size());
  for (std::size_t i = 0; i < nm.rotations.size(); ++i) {
    const DicomNm::Rotation& r = nm.rotations[i];
    double step = r.angularStep;
    if (!std::isfinite(step) || step == 0) {
      if (std::isfinite(r.scanArc) && r.scanArc != 0 && r.framesInRotation > 0) {
        step = r.scanArc / r.framesInRotation;
        char arc[32], each[32];
        std::snprintf(arc, sizeof arc, "%.6g", r.scanArc);
        std::snprintf(each, sizeof each, "%.6g", step);
        notes.push_back(fill("回転 %1 の Angular Step (0018,1144) がないか 0 なので、Scan Arc %2 度と Number of Frames in Rotation %3 から %4 度ごとと読みました。",
                             {std::to_string(i + 1), arc, std::to_string(r.framesInRotation), each}));
      } else {
        result.error = fill("回転 %1 の Angular Step (0018,1144) がないか、0 か数ではありません。Scan Arc (0018,1143) と Number of Frames in Rotation (0018,1142) からも求められないので、ビューの角度が決まりません。",
                            {std::to_string(i + 1)});
        return result;
      }
    }
    steps[i] = step;
  }
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
    if (energy < 1 || energy > std::max(windows, 1)) continue;
    const int view = nm.angularViewVector.size() > i ? nm.angularViewVector[i] - 1 : running;
    DicomNm::Rotation r;
    double step = 0;
    if (std::size_t(rot - 1) < nm.rotations.size()) {
      r = nm.rotations[std::size_t(rot - 1)];
      step = steps[std::size_t(rot - 1)];
    }
    const double start = headStart(nm, det, r, notes);
    // DICOM: CW is decreasing angle, CC increasing. The program's angle is 180 minus DICOM's.
    // Without any rotation information the frames are taken as one even turn.
    if (nm.rotations.empty()) step = 360.0 / nm.frames;
    // A continuous rotation sees each frame over a whole step: its angle is the step's middle.
    const double alpha = start + (r.clockwise ? -1 : 1) * (view + (nm.continuous ? 0.5 : 0)) * step;
    double theta = std::fmod(180 - alpha, 360.0);
    if (theta < 0) theta += 360;
    if (!std::isfinite(theta)) theta = 0;
    double radius = NAN;
    if (std::size_t(det - 1) < nm.detectors.size()) {
      const std::vector<double>& radial = nm.detectors[std::size_t(det - 1)].radialMm;
      if (view >= 0 && std::size_t(view) < radial.size()) radius = radial[std::size_t(view)];
      else if (radial.size() == 1) radius = radial[0];
    }
    // Radial Position may stand in the rotation's item instead (GE writes it there).
    if (!std::isfinite(radius)) {
      if (view >= 0 && std::size_t(view) < r.radialMm.size()) radius = r.radialMm[std::size_t(view)];
      else if (r.radialMm.size() == 1) radius = r.radialMm[0];
    }
    if (energy == 1) {
      kept.push_back({f, theta, det, view, radius});
    } else {
      if (otherWindows.size() < std::size_t(energy - 1)) otherWindows.resize(std::size_t(energy - 1));
      otherWindows[std::size_t(energy - 2)].push_back({f, theta, det, view, radius});
    }
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
  double first = 0;
  if (detectorsUsed != 1) {
    const Frame* start = &kept.front();
    for (const Frame& f : kept)
      if (f.detector == start->detector && f.view < start->view) start = &f;
    first = start->theta;
  }
  auto key = [first](double t) { return std::fmod(t - first + 720, 360.0); };
  auto inOrder = [&](std::vector<Frame>& frames) {
    if (detectorsUsed == 1)
      std::stable_sort(frames.begin(), frames.end(), [](const Frame& a, const Frame& b) { return a.view < b.view; });
    else
      std::stable_sort(frames.begin(), frames.end(),
                       [&](const Frame& a, const Frame& b) { return key(a.theta) < key(b.theta); });
  };
  inOrder(kept);
  // The other windows keep the views of the first, in the same order; a window with other
  // views is left out.
  for (std::vector<Frame>& w : otherWindows) inOrder(w);
  if (windows > 1) {
    std::string name;
    if (!nm.energyWindows.empty()) {
      const DicomNm::EnergyWindow& w = nm.energyWindows[0];
      char range[64] = "";
      if (w.upper > 0) std::snprintf(range, sizeof range, "%.4g–%.4g keV", w.lower, w.upper);
      name = w.name.empty() ? std::string(range) : w.name + (range[0] ? std::string(" ") + range : "");
    }
    notes.push_back(name.empty() ? fill("エネルギーウィンドウが %1 個あります。1 番目を開きました。", {std::to_string(windows)})
                                 : fill("エネルギーウィンドウが %1 個あります。1 番目（%2）を開きました。",
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
  for (const Frame& f : kept) g.angles.push_back(f.theta);
  // Frames are read in the file's order (a compressed file is decoded best that way), each
  // straight into its place in the study.
  std::vector<std::int32_t> frame(streamed ? frameSize : 0);
  auto readFrames = [&](const std::vector<Frame>& frames, std::vector<std::uint16_t>& into) {
    std::vector<std::size_t> inFileOrder(frames.size());
    std::iota(inFileOrder.begin(), inFileOrder.end(), std::size_t(0));
    std::sort(inFileOrder.begin(), inFileOrder.end(),
              [&](std::size_t a, std::size_t b) { return frames[a].index < frames[b].index; });
    for (std::size_t k : inFileOrder) {
      const std::int32_t* src;
      if (streamed) {
        if (const std::string why = nm.readFrame(frames[k].index, frame.data()); !why.empty()) {
          result.error = why;
          return false;
        }
        src = frame.data();
      } else {
        src = nm.pixels.data() + std::size_t(frames[k].index) * frameSize;
      }
      for (std::uint64_t p = 0; p < frameSize; ++p) {
        const std::int32_t v = src[p];
        if (v < 0) {
          ++negatives;
          lowest = std::min(lowest, v);
        }
        into[k * frameSize + p] = std::uint16_t(std::clamp(v, 0, 65535));
      }
    }
    return true;
  };
  if (!readFrames(kept, counts)) return result;
  if (windows > 1) {
    auto set = std::make_shared<EnergyWindowSet>();
    for (int w = 0; w < windows; ++w) {
      const std::vector<Frame>* frames = w == 0 ? &kept : std::size_t(w - 1) < otherWindows.size() ? &otherWindows[std::size_t(w - 1)] : nullptr;
      bool same = frames && frames->size() == kept.size();
      for (std::size_t k = 0; same && k < kept.size(); ++k) same = std::fabs((*frames)[k].theta - kept[k].theta) < 1e-6;
      if (!same) {
        notes.push_back(fill("エネルギーウィンドウ %1 のフレームは 1 番目と同じビューではないので読みませんでした。", {std::to_string(w + 1)}));
        continue;
      }
      EnergyWindow window;
      if (std::size_t(w) < nm.energyWindows.size()) {
        window.name = nm.energyWindows[std::size_t(w)].name;
        window.lowerKeV = nm.energyWindows[std::size_t(w)].lower;
        window.upperKeV = nm.energyWindows[std::size_t(w)].upper;
      }
      set->windows.push_back(window);
      set->counts.emplace_back(w == 0 ? counts : std::vector<std::uint16_t>(counts.size()));
      if (w > 0 && !readFrames(*frames, set->counts.back())) return result;
    }
    if (set->windows.size() > 1) g.energyWindows = set;
  }
  bool everyRadius = true;
  for (const Frame& f : kept) everyRadius = everyRadius && std::isfinite(f.radius) && f.radius > 0;
  if (everyRadius)
    for (const Frame& f : kept) g.radiusMm.push_back(f.radius);
  if (const std::string n = positionNote(nm.patientPosition); !n.empty()) notes.push_back(n);
  if (nm.continuous && !nm.rotations.empty())
    notes.push_back("連続回転の収集です。各フレームの角度を、そのフレームの間に検出器が回った角度の中ほどとしました。");
  if (negatives > 0)
    notes.push_back(fill("%1 個の負の値を 0 にしました（最小値 %2）。", {std::to_string(negatives), std::to_string(lowest)}));
  g.notes = notes;
  g.dicom = nm.origin;
  result.study = std::make_shared<const ProjectionStudy>(std::move(g), std::move(counts));
  return result;
}

StudyReadResult readDicom(const std::string& path, std::uint64_t maxPixelBytes) {
  registerCodecs();
  StudyReadResult result;
  // Our own checks first: the file checks (folders, pipes) are the same for all readers.
  const int fd = openRegularFile(path, nullptr, &result.error);
  if (fd < 0) return result;
  ::close(fd);
  DcmFileFormat file;
  // Values longer than a few kilobytes stay in the file until they are asked for.
  const OFCondition cond = file.loadFile(OFFilename(path.c_str()), EXS_Unknown, EGL_noChange, 4096);
  result = readDataset(file, cond, maxPixelBytes);
  if (result.study) result.files = {path};
  return result;
}

StudyReadResult readDicomBytes(const std::uint8_t* bytes, std::size_t size, std::uint64_t maxPixelBytes) {
  registerCodecs();
  DcmInputBufferStream in;
  in.setBuffer(bytes, offile_off_t(size));
  in.setEos();
  DcmFileFormat file;
  file.transferInit();
  OFCondition cond = file.read(in, EXS_Unknown, EGL_noChange, DCM_MaxReadLength);
  file.transferEnd();
  return readDataset(file, cond, maxPixelBytes);
}

void useDicomCodecs() { registerCodecs(); }

void releaseDicomCodecs() {
  std::lock_guard<std::mutex> hold(codecLock);
  if (!codecsRegistered) return;
  DcmRLEDecoderRegistration::cleanup();
  DJDecoderRegistration::cleanup();
  DJLSDecoderRegistration::cleanup();
  codecsRegistered = false;
}

}  // namespace sinora::formats
