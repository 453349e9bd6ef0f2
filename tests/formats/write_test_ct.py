#!/usr/bin/python3
"""Writes small CT series of a known object with pydicom, as a CT scanner would, for the tests of
the CT reader: one good series and the faults it must refuse.

The object lies in DICOM patient coordinates (x to the patient's left, y to the back, z to the
head), in mm: a water ellipse (semi-axes 60 x 45, centre (10, -5)) along z, a bone rod (1000 HU,
radius 8, at (40, -5)), a lung (-800 HU, radius 15, at (-25, -5)) and, for z, a 500 HU ball of
radius 10 at (10, -35, 12) touching the front; air (-1000 HU) elsewhere. Slices are 80 x 80 pixels
of 2 mm, 3 mm apart from z = -30 to +27 (20 slices), stored unsigned with Rescale Intercept -1024,
file names not in the order of z.

usage: write_test_ct.py OUTDIR   (writes the folders below OUTDIR)
"""
import math
import random
import os
import struct
import sys

from pydicom.dataset import FileDataset, FileMetaDataset
from pydicom.uid import ExplicitVRLittleEndian, generate_uid

N, PIXEL, STEP, SLICES, Z0 = 80, 2.0, 3.0, 20, -30.0
FRAME = "1.2.826.0.1.3680043.2.1125.77.1"  # the Frame of Reference the tests' SPECT shares


def hu(x, y, z):
    if (x - 40) ** 2 + (y + 5) ** 2 <= 8 ** 2:
        return 1000
    if (x - 10) ** 2 + (y + 35) ** 2 + (z - 12) ** 2 <= 10 ** 2:
        return 500
    if ((x - 10) / 60.0) ** 2 + ((y + 5) / 45.0) ** 2 <= 1:
        if (x + 25) ** 2 + (y + 5) ** 2 <= 15 ** 2:
            return -800
        return 0
    return -1000


def slice_values(origin, row_dir, col_dir, rows=N, cols=N, pixel=PIXEL):
    out = []
    for r in range(rows):
        for c in range(cols):
            p = [origin[k] + c * pixel * row_dir[k] + r * pixel * col_dir[k] for k in range(3)]
            out.append(hu(*p))
    return out


def write_slice(path, position, values, series, orientation=(1, 0, 0, 0, 1, 0), rows=N, cols=N,
                pixel=PIXEL, modality="CT", tilt=None, signed=False, slope=1.0, frame=FRAME,
                instance=1):
    meta = FileMetaDataset()
    meta.MediaStorageSOPClassUID = "1.2.840.10008.5.1.4.1.1.2" if modality == "CT" else "1.2.840.10008.5.1.4.1.1.20"
    meta.MediaStorageSOPInstanceUID = generate_uid()
    meta.TransferSyntaxUID = ExplicitVRLittleEndian
    ds = FileDataset(path, {}, file_meta=meta, preamble=b"\0" * 128)
    ds.SOPClassUID = meta.MediaStorageSOPClassUID
    ds.SOPInstanceUID = meta.MediaStorageSOPInstanceUID
    ds.Modality = modality
    ds.ImageType = ["ORIGINAL", "PRIMARY", "AXIAL"]
    ds.PatientPosition = "HFS"
    ds.SeriesInstanceUID = series
    ds.StudyInstanceUID = "1.2.826.0.1.3680043.2.1125.77.2"
    ds.FrameOfReferenceUID = frame
    ds.InstanceNumber = instance
    ds.ImagePositionPatient = [float(v) for v in position]
    ds.ImageOrientationPatient = [float(v) for v in orientation]
    ds.PixelSpacing = [pixel, pixel]
    ds.SliceThickness = STEP
    if tilt is not None:
        ds.GantryDetectorTilt = tilt
    ds.Rows, ds.Columns = rows, cols
    ds.SamplesPerPixel = 1
    ds.PhotometricInterpretation = "MONOCHROME2"
    ds.BitsAllocated, ds.BitsStored, ds.HighBit = 16, (16 if signed else 12), (15 if signed else 11)
    ds.PixelRepresentation = 1 if signed else 0
    if signed:
        ds.RescaleIntercept, ds.RescaleSlope = 0, slope
        stored = [int(round(v / slope)) for v in values]
        ds.PixelData = struct.pack("<%dh" % len(stored), *stored)
    else:
        ds.RescaleIntercept, ds.RescaleSlope = -1024, slope
        stored = [int(round((v + 1024) / slope)) for v in values]
        ds.PixelData = struct.pack("<%dH" % len(stored), *stored)
    ds.RescaleType = "HU"
    ds.is_little_endian, ds.is_implicit_VR = True, False
    ds.save_as(path, write_like_original=False)


def series(out, name, zs=None, **kw):
    """A whole axial series in OUTDIR/name; keyword faults apply to the slice `fault_at`."""
    folder = os.path.join(out, name)
    os.makedirs(folder, exist_ok=True)
    uid = kw.pop("uid", None) or generate_uid()
    fault_at = kw.pop("fault_at", None)
    fault = kw.pop("fault", {})
    zs = zs if zs is not None else [Z0 + k * STEP for k in range(SLICES)]
    order = list(range(len(zs)))
    random.Random(len(zs)).shuffle(order)
    origin_xy = (-80.0 + PIXEL / 2, -80.0 + PIXEL / 2)
    for k, z in enumerate(zs):
        args = dict(kw)
        if k == fault_at:
            args.update(fault)
        position = list(args.pop("position", (origin_xy[0], origin_xy[1], z)))
        rows, cols = args.get("rows", N), args.get("cols", N)
        orientation = args.get("orientation", (1, 0, 0, 0, 1, 0))
        values = slice_values(position, orientation[:3], orientation[3:], rows, cols)
        # Names in another order than z (the reader sorts by position); the faulty slice's
        # name comes after the others'.
        name = "IMfault.dcm" if k == fault_at else "IM%04d.dcm" % order[k]
        write_slice(os.path.join(folder, name), position, values, uid, instance=k + 1, **args)
    return folder


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    series(out, "ct", uid="1.2.826.0.1.3680043.2.1125.77.3")
    series(out, "signed", signed=True, slope=0.5)
    series(out, "tilt", tilt=15.0)
    # Positions that move sideways from slice to slice, as a tilted gantry's do.
    tilted = os.path.join(out, "tilted")
    os.makedirs(tilted, exist_ok=True)
    uid = generate_uid()
    for k in range(6):
        z = Z0 + k * STEP
        pos = (-80.0 + PIXEL / 2, -80.0 + PIXEL / 2 + k * 1.5, z)
        write_slice(os.path.join(tilted, "IM%04d.dcm" % k), pos, slice_values(pos, (1, 0, 0), (0, 1, 0)), uid)
    series(out, "uneven", zs=[Z0 + k * STEP for k in range(6)] + [Z0 + 7 * STEP])
    series(out, "single", zs=[0.0])
    series(out, "sizes", zs=[Z0 + k * STEP for k in range(4)], fault_at=2, fault={"rows": 64, "cols": 64})
    series(out, "orientation", zs=[Z0 + k * STEP for k in range(4)], fault_at=1,
           fault={"orientation": (0.8, 0.6, 0, -0.6, 0.8, 0)})
    series(out, "other-frame", frame="1.2.826.0.1.3680043.2.1125.77.9")
    # A folder of a CT series, a smaller second series and a file that is not DICOM at all.
    mixed = series(out, "mixed", uid="1.2.826.0.1.3680043.2.1125.77.4")
    second = generate_uid()
    for k in range(3):
        pos = (-79.0, -79.0, 100.0 + k * 5)
        write_slice(os.path.join(mixed, "zz%d.dcm" % k), pos, slice_values(pos, (1, 0, 0), (0, 1, 0)), second)
    with open(os.path.join(mixed, "README.txt"), "w") as f:
        f.write("not an image\n")
    # A coronal series of the same object: rows run to the feet, slices to the back.
    coronal = os.path.join(out, "coronal")
    os.makedirs(coronal, exist_ok=True)
    uid = generate_uid()
    for k in range(40):
        y = -60.0 + k * 2.5
        pos = (-80.0 + PIXEL / 2, y, 40.0)
        orient = (1, 0, 0, 0, 0, -1)
        vals = slice_values(pos, orient[:3], orient[3:], rows=40, cols=N)
        write_slice(os.path.join(coronal, "C%03d.dcm" % k), pos, vals, uid, orientation=orient, rows=40)
    # Not a CT: an NM image.
    nm = os.path.join(out, "nm")
    os.makedirs(nm, exist_ok=True)
    pos = (-79.0, -79.0, 0.0)
    write_slice(os.path.join(nm, "nm.dcm"), pos, slice_values(pos, (1, 0, 0), (0, 1, 0)), generate_uid(), modality="NM")
    # 520 x 520 slices of 1 mm: kept in blocks of 3 x 3.
    big = os.path.join(out, "big")
    os.makedirs(big, exist_ok=True)
    uid = generate_uid()
    for k in range(3):
        pos = (-259.5, -259.5, -3.0 + 3 * k)
        write_slice(os.path.join(big, "B%d.dcm" % k), pos, slice_values(pos, (1, 0, 0), (0, 1, 0), 520, 520, 1.0),
                    uid, rows=520, cols=520, pixel=1.0)
    print(out)


main()
