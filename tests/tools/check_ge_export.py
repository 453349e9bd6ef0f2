#!/usr/bin/python3
"""Checks a reconstructed volume of the GE SPECT/CT study exported as DICOM against the study's CT,
with pydicom alone: at the level of the kidneys (the hottest organs), the hot voxels must lie in
the body's soft tissue, on both sides of its middle, with more counts on the
patient's right (the liver) than on the left.
Usage: check_ge_export.py VOLUME.dcm CT_FOLDER WORK_FOLDER. Prints what it measured; exit 1 on a
failed check."""
import glob, os, subprocess, sys
import numpy as np
import pydicom

volume, ct_folder, work = sys.argv[1:4]
v = pydicom.dcmread(volume)
values = v.pixel_array.astype(float) * float(v.RescaleSlope)
det = v.DetectorInformationSequence[0]
origin = np.array([float(x) for x in det.ImagePositionPatient])
row_dir = np.array([float(x) for x in det.ImageOrientationPatient[:3]])
col_dir = np.array([float(x) for x in det.ImageOrientationPatient[3:]])
normal = np.cross(row_dir, col_dir)
px = float(v.PixelSpacing[0])
dz = float(v.SpacingBetweenSlices)
if v.FrameOfReferenceUID != pydicom.dcmread(sorted(glob.glob(ct_folder + '/*.dcm'))[0],
                                            stop_before_pixels=True).FrameOfReferenceUID:
    sys.exit('the volume is not in the CT frame of reference')


def place(f, j, i):
    return origin + i * px * row_dir + j * px * col_dir + f * dz * normal


# Smooth (a 7-voxel mean along each axis, about 3 cm) so that organs, not noise, are the hot spots.
s = values
for axis in range(3):
    s = sum(np.roll(s, a, axis) for a in range(-3, 4)) / 7
f1 = int(np.unravel_index(np.argmax(s), s.shape)[0])  # the kidneys' level
light = values
for axis in range(3):
    light = sum(np.roll(light, a, axis) for a in range(-1, 2)) / 3
z = place(f1, 0, 0)[2]
print('kidney level: frame %d, z = %.1f mm' % (f1, z))

cts = {}
for path in glob.glob(ct_folder + '/*.dcm'):
    d = pydicom.dcmread(path, stop_before_pixels=True)
    cts[float(d.ImagePositionPatient[2])] = path
near = min(cts, key=lambda c: abs(c - z))
if abs(near - z) > 5:
    sys.exit('no CT slice near z = %.1f' % z)
plain = os.path.join(work, 'ct.dcm')
subprocess.run(['dcmdjpls', cts[near], plain], check=True)  # pydicom cannot decode JPEG-LS
d = pydicom.dcmread(plain)
hu = d.pixel_array.astype(float) * float(d.RescaleSlope) + float(d.RescaleIntercept)
o = [float(x) for x in d.ImagePositionPatient]
sp = float(d.PixelSpacing[0])


def hu_at(p):
    c, r = int(round((p[0] - o[0]) / sp)), int(round((p[1] - o[1]) / sp))
    return hu[r, c] if 0 <= r < hu.shape[0] and 0 <= c < hu.shape[1] else -1000


# The body's middle (the couch is thin beside it).
body = np.argwhere(hu > -300)
spine = np.array([o[0] + body[:, 1].mean() * sp, o[1] + body[:, 0].mean() * sp])
print('middle of the body at x = %.1f, y = %.1f mm' % tuple(spine))

hot = [place(f1, j, i) for j, i in np.argwhere(light[f1] > 0.5 * light[f1].max())]
values_hu = np.array([hu_at(p) for p in hot])
xs = np.array([p[0] for p in hot]) - spine[0]
cols_mm = origin[0] + np.arange(values.shape[2]) * px * row_dir[0]
right_sum = light[f1][:, cols_mm < spine[0]].sum()
left_sum = light[f1][:, cols_mm > spine[0]].sum()
print('hot voxels: %d; inside the body %d; median %.0f HU; right of the middle %d, left %d' % (len(hot), (values_hu > -300).sum(), np.median(values_hu),
                                        (xs < -20).sum(), (xs > 20).sum()))
print('counts of the slice on the patient\'s right / left of the middle: %.3g / %.3g'
      % (right_sum, left_sum))
failed = []
if (values_hu > -300).sum() < 0.95 * len(hot):
    failed.append('hot voxels outside the body')
if not -60 <= np.median(values_hu) <= 100:
    failed.append('the hot voxels are not in soft tissue')
if (xs < -20).sum() < 0.15 * len(hot) or (xs > 20).sum() < 0.15 * len(hot):
    failed.append('the hot spots are not on both sides of the body')
if right_sum <= left_sum:
    failed.append('the liver side is not the patient\'s right')
for f in failed:
    print('FAILED:', f)
sys.exit(1 if failed else 0)
