// CtPanel: the CT or mu map of the document in a window's study grid. It makes the mu map with
// the switches a lesson turns on purpose (another photon energy, the CT shifted by x / y / z mm,
// lung or bone taken as soft tissue), gives the window the map for its recipes when asked to,
// and the planes to show under the reconstructions (CT in HU, or the map in cm^-1) with the
// SPECT's opacity over them.
#pragma once

#include <QGroupBox>

#include <memory>
#include <vector>

#include "imaging/mu_map.h"
#include "imaging/study.h"
#include "windows/PictureView.h"

class CSinoraDoc;
class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QSlider;

class CtPanel : public QGroupBox {
  Q_OBJECT
 public:
  CtPanel(CSinoraDoc* doc, sinora::StudyPtr study, QWidget* parent = nullptr);

  enum class Under { Ct, MuMap, None };
  // The map made now (its refusal when it cannot be made; empty without a CT or map).
  const sinora::MuMap& map() const { return map_; }
  bool hasMap() const { return source_ && map_.ok() && !map_.perCm.empty(); }
  // The map for the recipes' muMap: empty unless "減弱補正に使う" is checked and a map exists.
  std::vector<float> muMapForRecipe() const;
  const sinora::MuMapSettings& settings() const { return settings_; }
  // What lies under a plane (0 transverse at row `index`, 1 coronal at j, 2 sagittal at i), in
  // its display window and unit; empty with "なし" or without a map.
  PictureValues underlay(int plane, int index) const;
  sinora::DisplayWindow underlayWindow() const;
  QString underlayUnit() const;
  double opacity() const;
  // Sets a view's underlay for the plane (or clears it).
  void applyTo(PictureView* view, int plane, int index) const;

  QComboBox* underBox() const { return under_; }
  QSlider* opacitySlider() const { return opacity_; }
  QLabel* opacityLabel() const { return opacityValue_; }
  QDoubleSpinBox* energyBox() const { return energy_; }
  QDoubleSpinBox* shiftBox(int axis) const { return shift_[axis]; }
  QCheckBox* lungBox() const { return lung_; }
  QCheckBox* boneBox() const { return bone_; }
  QCheckBox* useBox() const { return use_; }
  QLabel* status() const { return status_; }

 signals:
  // The map or how it is shown changed.
  void changed();

 public slots:
  // The document's CT or map changed: take it up for this study.
  void takeSource();

 private:
  void remake();
  CSinoraDoc* doc_;
  sinora::StudyPtr study_;
  sinora::SliceGrid grid_;
  std::shared_ptr<const sinora::AttenuationSource> source_;
  QString sourceError_;
  sinora::MuMapSettings settings_;
  sinora::MuMap map_;
  QComboBox* under_;
  QSlider* opacity_;
  QLabel* opacityValue_;
  QDoubleSpinBox* energy_;
  QDoubleSpinBox* shift_[3];
  QCheckBox *lung_, *bone_, *use_;
  QLabel* status_;
};
