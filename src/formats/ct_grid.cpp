// Where a study's voxels lie for the CT: the exports' placement (so it is built with the writers).
#include "formats/ct.h"
#include "formats/export.h"
#include "imaging/phantom.h"

namespace sinora::formats {

SliceGrid sliceGridOf(const ProjectionStudy& study) {
  SliceGrid g;
  g.bins = study.bins();
  g.rows = study.rows();
  const VolumePlacement p = placementOf(study);
  g.pixelMm = p.pixelMm;
  for (int k = 0; k < 3; ++k) {
    g.origin[k] = p.origin[k];
    g.rowStep[k] = p.rowStep[k];
  }
  // Patient coordinates only where the study placed itself in them.
  if (const DicomOrigin* o = study.geometry().dicom.get(); o && o->hasPosition) g.frameOfReferenceUid = o->frameOfReferenceUid;
  return g;
}

double photopeakKeV(const ProjectionStudy& study) {
  if (const PhantomInfo* info = phantomInfo(study)) return info->settings.photonKeV();
  if (const EnergyWindow* w = currentEnergyWindow(study); w && w->upperKeV > w->lowerKeV && w->lowerKeV > 0) return w->centre();
  return 140.5;
}

}  // namespace sinora::formats
