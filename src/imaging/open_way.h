// How a study from a file is opened when its header misled: every view's angle turned by a
// quarter turn or two (the start angle's zero elsewhere), the direction of rotation mirrored about
// the first view (CW read as CCW), and which of its energy windows is the photopeak. Turning by t
// turns the reconstructed slice by t (clockwise on the screen); mirroring reflects it across the
// first view's bin axis (docs/geometry.md).
#pragma once

#include <string>

#include "imaging/study.h"

namespace sinora {

struct OpenWay {
  int turnDegrees = 0;    // 0, 90, 180 or 270: added to every view's angle
  bool mirror = false;    // view k at 2 theta_0 - theta_k before the turn
  int energyWindow = -1;  // 0-based; -1: the window the file opened with
  bool operator==(const OpenWay& o) const {
    return turnDegrees == o.turnDegrees && mirror == o.mirror && energyWindow == o.energyWindow;
  }
  bool operator!=(const OpenWay& o) const { return !(*this == o); }
};

// A turn of 0, 90, 180 or 270 (any multiple of 90 is brought into 0..270); false otherwise.
bool validTurn(int degrees, int* normal = nullptr);

// The study opened that way (the same study when nothing changes and there is no `note`); null
// when the turn is not a quarter turn or the window does not exist. `note` goes first among the
// import's notes.
StudyPtr openedWay(const StudyPtr& study, const OpenWay& way, const std::string& note = {});

// The way in words, for the import note (Japanese): "90 度回す、回転方向を逆に、エネルギー
// ウィンドウ 2（...）"; empty when nothing changes.
std::string describeOpenWay(const ProjectionStudy& study, const OpenWay& way);

// The import's note when a way chosen before is applied without asking (Japanese); empty when
// it changes nothing.
std::string rememberedWayNote(const ProjectionStudy& study, const OpenWay& way);

}  // namespace sinora
