#include "app/energy_window_menu.h"

#include <QAction>
#include <QActionGroup>
#include <QEvent>
#include <QMenu>
#include <QStatusBar>

#include "doc/SinoraDoc.h"
#include "imaging/scatter.h"
#include "platform/tr.h"
#include "windows/OpenWayDialog.h"

using sinora::T;

namespace {

// Turns the submenu's title when the language changes, as the menu bar's titles turn.
class TitleKeeper : public QObject {
 public:
  using QObject::QObject;
  bool eventFilter(QObject* watched, QEvent* e) override {
    if (e->type() == QEvent::LanguageChange)
      if (auto* m = qobject_cast<QMenu*>(watched)) m->setTitle(T("エネルギーウィンドウ(&E)"));
    return false;
  }
};

// The file the study was read from opens on window `w` from now on, as if chosen when it opened.
void rememberWindow(QSettings* settings, const CSinoraDoc* doc, int w) {
  const QByteArray path = doc->GetPathName();
  if (!settings || path.isEmpty() || doc->ProjectionStudy()->geometry().format.empty()) return;
  sinora::OpenWay way = rememberedOpenWay(settings, path).value_or(sinora::OpenWay{});
  way.energyWindow = w;
  rememberOpenWay(settings, path, way);
}

}  // namespace

void addEnergyWindowMenu(QMenu* menu, CSinoraDoc* doc, QStatusBar* status, QSettings* settings) {
  QMenu* windows = menu->addMenu(T("エネルギーウィンドウ(&E)"));
  windows->setObjectName(QStringLiteral("energyWindowMenu"));
  windows->installEventFilter(new TitleKeeper(windows));
  auto* group = new QActionGroup(windows);
  // Filled as the parent menu opens: the study and the language may have changed since.
  QObject::connect(menu, &QMenu::aboutToShow, windows, [windows, group, doc, status, settings] {
    windows->setTitle(T("エネルギーウィンドウ(&E)"));
    for (QAction* a : group->actions()) delete a;
    const sinora::StudyPtr study = doc->ProjectionStudy();
    const auto& set = study->geometry().energyWindows;
    const int n = set ? int(set->windows.size()) : 0;
    windows->setEnabled(n > 1);
    for (int w = 0; w < n; ++w) {
      const QString label = QString::fromStdString(sinora::windowLabel(set->windows[std::size_t(w)]));
      auto* a = new QAction(QStringLiteral("&%1  %2").arg(w + 1).arg(label), group);
      a->setCheckable(true);
      a->setChecked(w == study->geometry().energyWindow);
      windows->addAction(a);
      QObject::connect(a, &QAction::triggered, windows, [doc, status, settings, w, label] {
        if (!doc->chooseEnergyWindow(w)) return;
        rememberWindow(settings, doc, w);
        if (status) status->showMessage(T("エネルギーウィンドウ %1（%2）を表示しています。").arg(w + 1).arg(label), 5000);
      });
    }
  });
}
