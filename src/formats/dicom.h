// DICOM NM projection data (NM Image Storage, Image Type TOMO), read through DCMTK: the
// multi-frame pixel data (8 or 16 bits, any transfer syntax DCMTK decodes: RLE, JPEG, JPEG-LS),
// the frame vectors and the detector, rotation and energy-window sequences. Frames of the first
// energy window are kept; one rotation keeps its order, two heads are merged in angle order.
// Angles: DICOM's zero has the detector at the patient's back, growing counter-clockwise (CC) as
// seen from the feet; the program's angle is 180 minus DICOM's (docs/geometry.md). Those angles
// are the patient's own, whatever the patient's position; a detector's Image Orientation
// (Patient) says which way its columns run (the other way round turns its views by 180 degrees)
// and places a head that has no Start Angle of its own.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "formats/export.h"
#include "imaging/study.h"

namespace sinora::formats {

// What the reader takes from a file, before any interpretation (so it can be tested alone).
struct DicomNm {
  bool hasPixelData = false;
  std::string modality, imageType, collimator;
  // Patient Position (0018,5100), else made from the patient and gantry code sequences ("FFS").
  std::string patientPosition;
  bool continuous = false;  // Type of Detector Motion CONTINUOUS: each frame spans one step
  int rows = 0, columns = 0, frames = 1, bitsAllocated = 16;
  bool pixelSigned = false;
  double pixelSpacingMm = 0;
  std::vector<std::int32_t> pixels;  // frame by frame, row by row
  // When pixels is empty: reads one frame's rows x columns values into `values`, or says why
  // not. Only the frames kept are read, one at a time, after every size has been checked.
  std::function<std::string(int frame, std::int32_t* values)> readFrame;
  std::vector<int> detectorVector, rotationVector, energyWindowVector, angularViewVector;
  struct Detector {
    bool hasStartAngle = false;
    double startAngle = 0;
    std::string collimator;
    std::vector<double> radialMm;  // Radial Position (0018,1142): one, or one per view
    bool hasOrientation = false;
    double orientation[6] = {};  // Image Orientation (Patient): the row's direction, the column's
  };
  struct Rotation {
    double startAngle = 0, angularStep = 0;  // a step missing, 0 or NaN: from the scan arc
    bool clockwise = false;
    int framesInRotation = 0;
    double scanArc = 0;  // 0 when the file does not say
    std::vector<double> radialMm;  // Radial Position, where a producer puts it here (GE)
  };
  struct EnergyWindow {
    std::string name;
    double lower = 0, upper = 0;
  };
  std::vector<Detector> detectors;
  std::vector<Rotation> rotations;
  std::vector<EnergyWindow> energyWindows;
  std::shared_ptr<const DicomOrigin> origin;  // patient, study and place, kept for exports
};

// True when the bytes look like DICOM: "DICM" at offset 128, or a group-0008 element first.
bool looksLikeDicom(const std::uint8_t* bytes, std::size_t size);

// The study a file's contents make, or a Japanese reason.
StudyReadResult interpretDicomNm(const DicomNm& nm);

// The DICOM angle of a detector whose columns run along the row direction of `orientation`
// (Image Orientation (Patient)): a with (-cos a, sin a) that direction, in 0..360; NaN when the
// row lies mostly along the patient's axis (or is not a direction).
double columnsAngle(const double orientation[6]);

// Frames in one file at most (every energy window, head and rotation together).
constexpr int kMaxDicomFrames = 65536;

// The most pixel data a study can need: 1024 frames of 512 x 512 at 16 bits (bytes).
constexpr std::uint64_t kMaxDicomPixelBytes = std::uint64_t(1024) * 512 * 512 * 2;

// Reads with DCMTK (decoders registered once); all or nothing. Large elements stay in the file
// until needed: the sizes are checked first, then the kept frames are read one by one straight
// into the study. A file whose frames would need more than `maxPixelBytes` is refused unread.
StudyReadResult readDicom(const std::string& path, std::uint64_t maxPixelBytes = kMaxDicomPixelBytes);
StudyReadResult readDicomBytes(const std::uint8_t* bytes, std::size_t size,
                               std::uint64_t maxPixelBytes = kMaxDicomPixelBytes);

// Registers DCMTK's decoders (once) for the other DICOM readers.
void useDicomCodecs();

// Gives DCMTK's decoders back (at exit; reading again registers them anew).
void releaseDicomCodecs();

}  // namespace sinora::formats
