#include "imaging/open_way.h"

#include <cmath>

#include "imaging/scatter.h"
#include "imaging/text.h"

namespace sinora {

bool validTurn(int degrees, int* normal) {
  if (degrees % 90 != 0) return false;
  if (normal) *normal = ((degrees % 360) + 360) % 360;
  return true;
}

StudyPtr openedWay(const StudyPtr& study, const OpenWay& way, const std::string& note) {
  int turn = 0;
  if (!study || !validTurn(way.turnDegrees, &turn)) return nullptr;
  StudyPtr chosen = study;
  if (way.energyWindow >= 0 && way.energyWindow != study->geometry().energyWindow) {
    chosen = withEnergyWindow(*study, way.energyWindow);  // a study of one window has only 0
    if (!chosen) return nullptr;
  }
  if (turn == 0 && !way.mirror && note.empty()) return chosen;
  StudyGeometry g = chosen->geometry();
  if (!note.empty()) g.notes.insert(g.notes.begin(), note);
  const double first = g.angles.empty() ? 0 : g.angles[0];
  for (double& a : g.angles) {
    if (turn == 0 && !way.mirror) break;
    double t = (way.mirror ? 2 * first - a : a) + turn;
    t = std::fmod(t, 360.0);
    if (t < 0) t += 360;
    a = t;
  }
  return std::make_shared<const ProjectionStudy>(std::move(g), chosen->counts(), chosen->sharedExactCounts());
}

std::string describeOpenWay(const ProjectionStudy& study, const OpenWay& way) {
  std::string out;
  auto add = [&](const std::string& part) { out += (out.empty() ? "" : "、") + part; };
  int turn = 0;
  if (validTurn(way.turnDegrees, &turn) && turn != 0) add(fill("%1 度回す", {std::to_string(turn)}));
  if (way.mirror) add("回転方向を逆に");
  const auto& set = study.geometry().energyWindows;
  if (way.energyWindow >= 0 && set && std::size_t(way.energyWindow) < set->windows.size())
    add(fill("エネルギーウィンドウ %1（%2）", {std::to_string(way.energyWindow + 1),
                                              windowLabel(set->windows[std::size_t(way.energyWindow)])}));
  return out;
}

std::string rememberedWayNote(const ProjectionStudy& study, const OpenWay& way) {
  const std::string how = describeOpenWay(study, way);
  if (how.empty()) return {};
  return fill("前回選んだ開き方（%1）で開きました。変えるときは「応用」→「開き方...」を選ぶか、Shift を押しながら開いてください。",
              {how});
}

}  // namespace sinora
