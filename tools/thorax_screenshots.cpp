// sinora-screenshots --thorax: the thorax made in the phantom lab, then the iterative window at
// the heart without correction, with uniform mu in the body's outline, with the phantom's own mu
// map, and with that map 1 cm off, in Japanese and English.
#include "thorax_screenshots.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QSpinBox>
#include <QTest>

#include <cstdio>

#include "app/MainFrm.h"
#include "app/Sinora.h"
#include "app/language.h"
#include "imaging/phantom.h"
#include "windows/IterativeWindow.h"
#include "windows/PhantomWindow.h"

namespace {

void shoot(QWidget* w, const QString& path) {
  w->move(w->screen()->availableGeometry().topLeft());
  w->show();
  w->raise();
  w->activateWindow();
  QCoreApplication::processEvents();
  QPixmap shot;
  if (QGuiApplication::platformName() == QLatin1String("xcb")) {
    QTest::qWaitForWindowExposed(w);
    QTest::qWait(400);
    const QRect g = w->frameGeometry();
    shot = w->screen()->grabWindow(0, g.x(), g.y(), g.width(), g.height());
  } else {
    shot = w->grab();
  }
  if (!shot.save(path)) std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
}

// The lesson's acquisition: 128 x 3.3 mm (1 cm is 3 pixels), 120 views, 10^8 counts.
sinora::PhantomSettings thorax() {
  sinora::PhantomSettings s;
  s.kind = sinora::PhantomKind::Thorax;
  s.matrix = 128;
  s.pixelMm = 3.3;
  s.views = 120;
  s.counts = 1e8;
  s.radiusMm = 220;
  s.muPerCm = 0.15;
  return s;
}

}  // namespace

int thoraxShots(const QString& outDir, const QString& prefix) {
  CSinoraApp sinora(std::make_unique<QSettings>(outDir + QStringLiteral("/thorax.ini"), QSettings::IniFormat));
  QString error;
  sinora.InitInstance(QString(), &error);
  for (const bool english : {false, true}) {
    sinora::setLanguage(english ? sinora::Language::English : sinora::Language::Japanese);
    const QString tag = outDir + QLatin1Char('/') + prefix + (english ? QStringLiteral("-en") : QString());
    {
      PhantomWindow lab(sinora.settings(), sinora.mainFrame());
      sinora::PhantomSettings s = thorax();
      s.pixelMm = 2;  // too small a field: said beside the pixel size
      lab.setSettings(s);
      shoot(&lab, tag + QStringLiteral("-lab-field.png"));
      lab.setSettings(thorax());
      shoot(&lab, tag + QStringLiteral("-lab.png"));
      if (!english) {
        lab.makeButton()->click();
        lab.waitForMaking();
        if (!lab.study()) {
          std::fprintf(stderr, "thorax: %s\n", qPrintable(lab.message()->text()));
          return 1;
        }
        sinora.mainFrame()->usePhantom(lab.study());
      }
    }
    IterativeWindow w(sinora.document(), sinora.mainFrame());
    w.askDiscard = [] { return true; };
    w.rowBox()->setValue(68);  // on the diaphragm, the lungs' bases beside the heart
    w.iterationsBox()->setValue(10);
    w.fwhmBox()->setValue(1.5);
    const struct {
      const char* name;
      int chang, outline;
    } steps[] = {{"none", 0, 0}, {"uniform", 1, 0}, {"mumap", 1, 2}, {"shifted", 1, 3}};
    for (const auto& step : steps) {
      w.changBox()->setCurrentIndex(step.chang);
      w.attenuatedOsemBox()->setChecked(step.chang > 0);
      w.outlineBox()->setCurrentIndex(step.outline);
      w.reconstructButton()->click();
      w.waitForSlice();
      shoot(&w, tag + QStringLiteral("-") + QLatin1String(step.name) + QStringLiteral(".png"));
    }
  }
  sinora::setLanguage(sinora::Language::Japanese);
  return 0;
}
