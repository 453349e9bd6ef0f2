#!/usr/bin/python3
"""Writes small SPECT acquisitions of a known asymmetric object, as an outside camera would:
DICOM NM through pydicom and Interfile by hand, for the orientation tests of the readers.

The object lies in DICOM patient coordinates (x to the patient's left, y to the back), in mm: a
warm disc of radius 50 with a hot spot left anterior (x = +30, y = -30) and a cold spot right
posterior (x = -30, y = +30). A view with the detector at DICOM angle a (zero at the patient's
back, growing counter-clockwise as seen from the feet: PS3.3 C.8.4.12) records a point p in the
column along b(a) = (-cos a, sin a): at a = 180 (anterior view) columns run towards the patient's
left, as a camera shows an anterior view. Interfile 3.3's angles (SIMIND's) are DICOM's plus 180
degrees; STIR's converter copies DICOM's. A camera that keeps its columns as its detector sees them
has them along -b(a) for a patient lying feet first, and says so in the detector's Image
Orientation (Patient).

usage: write_test_studies.py OUTDIR [GE.dcm]   (writes the files and prints their names; with a
       DICOM study, also its conversion as STIR's converter writes it, stir-ge.hs)
"""
import math
import os
import struct
import sys

import pydicom
from pydicom.dataset import Dataset, FileDataset, FileMetaDataset
from pydicom.sequence import Sequence
from pydicom.uid import ExplicitVRLittleEndian, generate_uid

BINS, ROWS, VIEWS, PIXEL = 32, 3, 64, 4.0  # 64 views over 360 degrees, 4 mm pixels


def activity(x, y):
    if x * x + y * y > 50 * 50:
        return 0.0
    if (x - 30) ** 2 + (y + 30) ** 2 < 12 * 12:
        return 8.0
    if (x + 30) ** 2 + (y - 30) ** 2 < 12 * 12:
        return 0.0
    return 2.0


SAMPLES = [(x + 0.5, y + 0.5, activity(x + 0.5, y + 0.5))
           for x in range(-52, 52) for y in range(-52, 52)]
SAMPLES = [s for s in SAMPLES if s[2] > 0]


def projection(alpha_deg, reversed_columns=False):
    """One view: ROWS x BINS counts, every row the same slice of the object; its columns along
    b(a), or along -b(a) when reversed."""
    a = math.radians(alpha_deg)
    bx, by = -math.cos(a), math.sin(a)
    if reversed_columns:
        bx, by = -bx, -by
    row = [0.0] * BINS
    for x, y, v in SAMPLES:
        n = int(math.floor(BINS / 2 + (x * bx + y * by) / PIXEL + 0.5))
        if 0 <= n < BINS:
            row[n] += v
    counts = [int(round(c / 4)) for c in row]
    return counts * ROWS


def alphas(start, clockwise, views=VIEWS, step=360.0 / VIEWS):
    return [start + (-1 if clockwise else 1) * k * step for k in range(views)]


def orientation(alpha_deg, reversed_columns=False):
    """Image Orientation (Patient) of a detector at DICOM angle a: its rows along b(a) (or -b(a)),
    its columns towards the feet."""
    a = math.radians(alpha_deg)
    s = -1 if reversed_columns else 1
    return [round(-s * math.cos(a), 6) + 0.0, round(s * math.sin(a), 6) + 0.0, 0.0, 0.0, 0.0, -1.0]


def nm_dataset(path, frames, detector_vector, energy_vector, rotations, detectors, windows,
               modality="NM", image_type=("ORIGINAL", "PRIMARY", "TOMO", "EMISSION"),
               collimator="PARA", pixels=True, motion=None, position="HFS", position_codes=None):
    meta = FileMetaDataset()
    meta.MediaStorageSOPClassUID = "1.2.840.10008.5.1.4.1.1.20"
    meta.MediaStorageSOPInstanceUID = generate_uid()
    meta.TransferSyntaxUID = ExplicitVRLittleEndian
    ds = FileDataset(path, {}, file_meta=meta, preamble=b"\0" * 128)
    ds.SOPClassUID = meta.MediaStorageSOPClassUID
    ds.SOPInstanceUID = meta.MediaStorageSOPInstanceUID
    ds.Modality = modality
    ds.ImageType = list(image_type)
    if position:
        ds.PatientPosition = position
    if position_codes:
        # NM's own way: the patient-gantry relationship and the orientation modifier.
        first, lying = position_codes

        def code(value, meaning):
            c = Dataset()
            c.CodeValue, c.CodingSchemeDesignator, c.CodeMeaning = value, "99SDM", meaning
            return c
        ds.PatientGantryRelationshipCodeSequence = Sequence([code(*first)])
        o = code("F-10450", "recumbent")
        o.PatientOrientationModifierCodeSequence = Sequence([code(*lying)])
        ds.PatientOrientationCodeSequence = Sequence([o])
    if motion:
        ds.TypeOfDetectorMotion = motion
    ds.Rows, ds.Columns = ROWS, BINS
    ds.NumberOfFrames = len(frames)
    ds.SamplesPerPixel = 1
    ds.PhotometricInterpretation = "MONOCHROME2"
    ds.BitsAllocated, ds.BitsStored, ds.HighBit, ds.PixelRepresentation = 16, 16, 15, 0
    ds.PixelSpacing = [PIXEL, PIXEL]
    ds.NumberOfDetectors = len(detectors)
    ds.DetectorVector = detector_vector
    ds.NumberOfEnergyWindows = len(windows)
    ds.EnergyWindowVector = energy_vector
    ds.NumberOfRotations = len(rotations)
    ds.RotationVector = [1] * len(frames)
    det_items = []
    for start in detectors:
        d = Dataset()
        d.CollimatorType = collimator
        if isinstance(start, dict):  # {"start": angle or None, "orientation": six numbers}
            d.ImageOrientationPatient = start["orientation"]
            start = start.get("start")
        if start is not None:
            d.StartAngle = start
        det_items.append(d)
    ds.DetectorInformationSequence = Sequence(det_items)
    rot_items = []
    for rotation in rotations:
        start, step, direction, n = rotation[:4]
        arc = rotation[4] if len(rotation) > 4 else 360
        r = Dataset()
        r.StartAngle, r.RotationDirection = start, direction
        if step is not None:
            r.AngularStep = step
        if arc is not None:
            r.ScanArc = arc
        r.NumberOfFramesInRotation = n
        rot_items.append(r)
    ds.RotationInformationSequence = Sequence(rot_items)
    win_items = []
    for name, lo, hi in windows:
        w = Dataset()
        w.EnergyWindowName = name
        rng = Dataset()
        rng.EnergyWindowLowerLimit, rng.EnergyWindowUpperLimit = lo, hi
        w.EnergyWindowRangeSequence = Sequence([rng])
        win_items.append(w)
    ds.EnergyWindowInformationSequence = Sequence(win_items)
    if pixels:
        ds.PixelData = b"".join(struct.pack("<%dH" % len(f), *f) for f in frames)
    ds.is_little_endian, ds.is_implicit_VR = True, False
    ds.save_as(path, write_like_original=False)
    return path


def write_interfile(out, name, start, clockwise):
    # The camera's own angles, told as Interfile tells them (DICOM's plus 180).
    data = name + ".s"
    frames = [projection(b - 180) for b in alphas(start, clockwise)]
    with open(os.path.join(out, data), "wb") as f:
        for fr in frames:
            f.write(struct.pack("<%df" % len(fr), *[float(v) for v in fr]))
    with open(os.path.join(out, name + ".hs"), "w") as f:
        f.write("!INTERFILE :=\n!imaging modality := nucmed\nname of data file := %s\n"
                "!type of data := Tomographic\nimagedata byte order := LITTLEENDIAN\n"
                "!number format := short float\n!number of bytes per pixel := 4\n"
                "!matrix size [1] := %d\n!matrix size [2] := %d\n"
                "!scaling factor (mm/pixel) [1] := %g\n!number of projections := %d\n"
                "!extent of rotation := 360\n!direction of rotation := %s\nstart angle := %g\n"
                "!END OF INTERFILE :=\n"
                % (data, BINS, ROWS, PIXEL, VIEWS, "CW" if clockwise else "CCW", start))
    return name + ".hs"


def write_simind(out, name, start, clockwise):
    """Interfile as SIMIND writes it: DICOM's angle plus 180, the program named."""
    data = name + ".s"
    frames = [projection(b - 180) for b in alphas(start, clockwise)]
    with open(os.path.join(out, data), "wb") as f:
        for fr in frames:
            f.write(struct.pack("<%df" % len(fr), *[float(v) for v in fr]))
    with open(os.path.join(out, name + ".h00"), "w") as f:
        f.write("!INTERFILE :=\n!imaging modality := nucmed\n!originating system := simind\n"
                "!version of keys := 3.3\n!name of data file := %s\n!type of data := Tomographic\n"
                "imagedata byte order := LITTLEENDIAN\n!number format := short float\n"
                "!number of bytes per pixel := 4\n!matrix size [1] := %d\n!matrix size [2] := %d\n"
                "scaling factor (mm/pixel) [1] := %g\n!number of projections := %d\n"
                "!extent of rotation := 360\n!direction of rotation := %s\nstart angle := %g\n"
                "!END OF INTERFILE :=\n"
                % (data, BINS, ROWS, PIXEL, VIEWS, "CW" if clockwise else "CCW", start))
    return name + ".h00"


def stir_convert(dicom_path, out, name, window=1):
    """Writes one energy window of a DICOM NM TOMO study as STIR's DICOM-to-Interfile converter
    does: the frames as 32-bit floats in the file's order, DICOM's Start Angle copied unchanged,
    CC written as CCW, modality NM."""
    ds = pydicom.dcmread(dicom_path)
    pixels = ds.pixel_array.reshape(int(ds.NumberOfFrames), int(ds.Rows), int(ds.Columns))
    windows = list(ds.EnergyWindowVector) if "EnergyWindowVector" in ds else [1] * len(pixels)
    frames = [pixels[i] for i in range(len(pixels)) if int(windows[i]) == window]
    rot = ds.RotationInformationSequence[0]
    det = ds.DetectorInformationSequence[0]
    start = float(det.StartAngle) if "StartAngle" in det else float(rot.StartAngle)
    spacing = [float(v) for v in ds.PixelSpacing]
    radial = []
    for item in (det, rot):
        if "RadialPosition" in item and not radial:
            v = item.RadialPosition
            radial = [float(r) for r in v] if isinstance(v, pydicom.multival.MultiValue) else [float(v)]
    with open(os.path.join(out, name + ".s"), "wb") as f:
        for fr in frames:
            f.write(struct.pack("<%df" % fr.size, *[float(v) for v in fr.flatten()]))
    lines = ["!INTERFILE  :=", "!imaging modality := NM", "name of data file := %s.s" % name,
             "!version of keys := 3.3", "data offset in bytes := 0", "!GENERAL DATA :=",
             "!GENERAL IMAGE DATA :=", "!type of data := Tomographic",
             "imagedata byte order := LITTLEENDIAN", "!number format := float",
             "!number of bytes per pixel := 4", "!SPECT STUDY (General) :=",
             "!number of dimensions := 2", "!matrix size [1] := %d" % ds.Columns,
             "!scaling factor (mm/pixel) [1] := %g" % spacing[1],
             "!matrix size [2] := %d" % ds.Rows, "!scaling factor (mm/pixel) [2] := %g" % spacing[0],
             "!number of projections := %d" % len(frames),
             "!extent of rotation := %g" % float(rot.ScanArc), "!process status := acquired",
             "!SPECT STUDY (acquired data) :=",
             "!direction of rotation := %s" % ("CCW" if rot.RotationDirection == "CC" else "CW"),
             "start angle := %g" % start]
    if len(radial) > 1:
        lines += ["orbit := non-circular", "radii := {%s}" % ",".join("%g" % r for r in radial)]
    elif radial:
        lines += ["orbit := Circular", "Radius := %g" % radial[0]]
    lines.append("!END OF INTERFILE :=")
    with open(os.path.join(out, name + ".hs"), "w") as f:
        f.write("\n".join(lines) + "\n")
    return name + ".hs"


def write_positions(out, step):
    """Prone and feet-first patients, and a second head placed only by its orientation."""
    names = []
    window = [("Tc99m", 126.45, 154.55)]
    cases = [  # name, position, codes, start, clockwise, columns reversed and said so
        ("dicom-HFP.dcm", "HFP", None, 0, False, False),
        ("dicom-FFS.dcm", "FFS", None, 0, True, True),
        ("dicom-FFP.dcm", "FFP", None, 180, False, True),
        # Feet first said only by codes, the columns kept the patient's way (as GE's cameras do).
        ("dicom-FFS-codes.dcm", None, (("F-10480", "feet-first"), ("F-10340", "supine")), 90, True, False),
    ]
    for name, position, codes, start, clockwise, rev in cases:
        frames = [projection(a, rev) for a in alphas(start, clockwise)]
        d = "CW" if clockwise else "CC"
        nm_dataset(os.path.join(out, name), frames, [1] * VIEWS, [1] * VIEWS,
                   [(start, step, d, VIEWS)], [{"start": None, "orientation": orientation(start, rev)}],
                   window, position=position, position_codes=codes)
        names.append(name)
    # Two heads 180 degrees apart; the second has no Start Angle, only its orientation.
    half = VIEWS // 2
    a1, a2 = alphas(0, False, half, step), alphas(180, False, half, step)
    frames = [projection(a) for a in a1 + a2]
    nm_dataset(os.path.join(out, "dicom-head2-oriented.dcm"), frames, [1] * half + [2] * half,
               [1] * VIEWS, [(0, step, "CC", half)],
               [None, {"start": None, "orientation": orientation(180)}], window)
    names.append("dicom-head2-oriented.dcm")
    return names


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    names = []
    step = 360.0 / VIEWS
    for start in (0, 180):
        for clockwise in (False, True):
            d = "CW" if clockwise else "CC"
            frames = [projection(a) for a in alphas(start, clockwise)]
            name = "dicom-%s-%d.dcm" % (d, start)
            nm_dataset(os.path.join(out, name), frames, [1] * VIEWS, [1] * VIEWS,
                       [(start, step, d, VIEWS)], [None], [("Tc99m", 126.45, 154.55)])
            names.append(name)
            names.append(write_interfile(out, "interfile-%s-%d" % ("CW" if clockwise else "CCW", start),
                                         start, clockwise))
            names.append(stir_convert(os.path.join(out, name), out, "stir-%s-%d" % (d, start)))
            names.append(write_simind(out, "simind-%s-%d" % (d, start), start, clockwise))
    names += write_positions(out, step)
    # A continuous rotation: each frame is the mean over its step, seen at the step's middle. The
    # same frames written step-and-shoot from half a step on must give the same study.
    mid = [a - step / 2 for a in alphas(0, True)]
    frames = [projection(a) for a in mid]
    nm_dataset(os.path.join(out, "dicom-CW-continuous.dcm"), frames, [1] * VIEWS, [1] * VIEWS,
               [(0, step, "CW", VIEWS)], [None], [("Tc99m", 126.45, 154.55)], motion="CONTINUOUS")
    nm_dataset(os.path.join(out, "dicom-CW-midframes.dcm"), frames, [1] * VIEWS, [1] * VIEWS,
               [(360 - step / 2, step, "CW", VIEWS)], [None], [("Tc99m", 126.45, 154.55)],
               motion="STEP AND SHOOT")
    # Two heads 180 degrees apart, each half the views, with a scatter window that must be left out.
    half = VIEWS // 2
    a1, a2 = alphas(0, False, half, step), alphas(180, False, half, step)
    frames, dets, wins = [], [], []
    for w in (1, 2):
        for head, angles in ((1, a1), (2, a2)):
            for a in angles:
                frames.append(projection(a) if w == 1 else [7] * (ROWS * BINS))
                dets.append(head)
                wins.append(w)
    nm_dataset(os.path.join(out, "dicom-two-heads.dcm"), frames, dets, wins,
               [(0, step, "CC", half)], [0, 180],
               [("Tc99m", 126.45, 154.55), ("scatter", 100, 120)])
    names.append("dicom-two-heads.dcm")
    one = [projection(a) for a in alphas(0, False)]
    nm_dataset(os.path.join(out, "dicom-ct.dcm"), one, [1] * VIEWS, [1] * VIEWS,
               [(0, step, "CC", VIEWS)], [None], [("w", 1, 2)], modality="CT")
    nm_dataset(os.path.join(out, "dicom-recon.dcm"), one, [1] * VIEWS, [1] * VIEWS,
               [(0, step, "CC", VIEWS)], [None], [("w", 1, 2)],
               image_type=("DERIVED", "PRIMARY", "RECON TOMO", "EMISSION"))
    nm_dataset(os.path.join(out, "dicom-fan.dcm"), one, [1] * VIEWS, [1] * VIEWS,
               [(0, step, "CC", VIEWS)], [None], [("w", 1, 2)], collimator="FANB")
    nm_dataset(os.path.join(out, "dicom-nopixels.dcm"), one, [1] * VIEWS, [1] * VIEWS,
               [(0, step, "CC", VIEWS)], [None], [("w", 1, 2)], pixels=False)
    names += ["dicom-ct.dcm", "dicom-recon.dcm", "dicom-fan.dcm", "dicom-nopixels.dcm"]
    # A rotation without its Angular Step: the step comes from the scan arc, or cannot be had.
    nm_dataset(os.path.join(out, "dicom-no-step.dcm"), one, [1] * VIEWS, [1] * VIEWS,
               [(0, None, "CC", VIEWS)], [None], [("w", 1, 2)])
    nm_dataset(os.path.join(out, "dicom-zero-step.dcm"), one, [1] * VIEWS, [1] * VIEWS,
               [(0, 0, "CC", VIEWS, None)], [None], [("w", 1, 2)])
    names += ["dicom-no-step.dcm", "dicom-zero-step.dcm"]
    # Frames of 512 x 512 whose pixel data is a hole in the file (sparse): what the header claims
    # is checked before a pixel is read.
    for frames in (1024, 2048):
        names.append(write_sparse(out, "dicom-%d-frames.dcm" % frames, frames))
    if len(sys.argv) > 2 and os.path.exists(sys.argv[2]):
        names.append(stir_convert(sys.argv[2], out, "stir-ge"))
    print("\n".join(names))


def write_sparse(out, name, frames, size=512):
    path = os.path.join(out, name)
    head = os.path.join(out, name + ".head")
    nm_dataset(head, [[0]], [1] * frames, [1] * frames, [(0, 360.0 / frames, "CC", frames)], [None],
               [("w", 1, 2)], pixels=False)
    ds = pydicom.dcmread(head)
    ds.Rows, ds.Columns, ds.NumberOfFrames = size, size, frames
    ds.save_as(head, write_like_original=False)
    length = frames * size * size * 2
    with open(head, "rb") as f:
        data = f.read()
    os.unlink(head)
    with open(path, "wb") as f:
        f.write(data + struct.pack("<HH2sHI", 0x7FE0, 0x0010, b"OW", 0, length))
        f.truncate(len(data) + 12 + length)
    return name


if __name__ == "__main__":
    main()
