// sinora-screenshots --ct: the GE SPECT/CT study (shared/data) with its CT in the iterative
// window, the slice and the three planes of SPECT over CT, in Japanese and English.
#include "ct_screenshots.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QPushButton>
#include <QScrollArea>
#include <QScreen>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>

#include <cstdio>

#include "app/MainFrm.h"
#include "app/Sinora.h"
#include "app/language.h"
#include "windows/CtPanel.h"
#include "windows/IterativeWindow.h"

namespace {

void shoot(QWidget* w, const QString& path) {
  QCoreApplication::processEvents();
  QPixmap shot;
  if (QGuiApplication::platformName() == QLatin1String("xcb")) {
    QTest::qWaitForWindowExposed(w);
    QTest::qWait(300);
    const QRect g = w->frameGeometry();
    shot = w->screen()->grabWindow(0, g.x(), g.y(), g.width(), g.height());
  } else {
    shot = w->grab();
  }
  if (!shot.save(path)) std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
}

}  // namespace

int ctShots(const QString& outDir, const QString& prefix, const QString& study, const QString& ct) {
  CSinoraApp sinora(std::make_unique<QSettings>(outDir + QStringLiteral("/ct.ini"), QSettings::IniFormat));
  QString error;
  sinora.InitInstance(QString(), &error);
  sinora.mainFrame()->setNoteReporter([](const QString& note) { std::fprintf(stderr, "%s\n", qPrintable(note)); });
  if (!sinora.mainFrame()->OpenDocumentFile(study, &error) ||
      !sinora.mainFrame()->OpenAttenuation(QFile::encodeName(ct), &error)) {
    std::fprintf(stderr, "%s\n", qPrintable(error));
    return 1;
  }
  for (const bool english : {false, true}) {
    sinora::setLanguage(english ? sinora::Language::English : sinora::Language::Japanese);
    const QString tag = outDir + QLatin1Char('/') + prefix + (english ? QStringLiteral("-en") : QString());
    IterativeWindow w(sinora.document(), sinora.mainFrame());
    w.askDiscard = [] { return true; };
    w.move(w.screen()->availableGeometry().topLeft());
    w.show();
    // The kidneys' level: OSEM 10 x 4, smoothed, the SPECT at 60 % over the CT.
    w.rowBox()->setValue(52);
    w.iterationsBox()->setValue(4);
    w.fwhmBox()->setValue(2);
    w.reconstruct();
    w.waitForSlice();
    if (auto* area = w.findChild<QScrollArea*>()) area->ensureWidgetVisible(w.osemView(), 0, 0);
    shoot(&w, tag + QStringLiteral("-slice.png"));
    w.volumeButton()->click();
    w.waitForVolume();
    // The patient's left kidney: the coronal plane cuts both kidneys, the transverse one the
    // liver too.
    w.setCrosshair(84, 80, 52);
    w.tabs()->setCurrentIndex(2);
    // On a small or scaled screen the settings stand above the pictures: scrolled to them.
    if (auto* area = w.findChild<QScrollArea*>()) area->ensureWidgetVisible(w.planeView(2), 0, 0);
    shoot(&w, tag + QStringLiteral("-planes.png"));
    // A lesson's mistake: the CT 20 mm to the patient's left (its settings in view).
    w.ctPanel()->shiftBox(0)->setValue(20);
    if (auto* area = w.findChild<QScrollArea*>()) area->ensureWidgetVisible(w.ctPanel(), 0, 0);
    shoot(&w, tag + QStringLiteral("-shifted.png"));
    w.ctPanel()->shiftBox(0)->setValue(0);
    w.ctPanel()->underBox()->setCurrentIndex(1);
    shoot(&w, tag + QStringLiteral("-mumap.png"));
    // The slice again, corrected with the CT's map in OSEM's projector.
    w.ctPanel()->underBox()->setCurrentIndex(0);
    w.ctPanel()->useBox()->setChecked(true);
    w.attenuatedOsemBox()->setChecked(true);
    w.reconstruct();
    w.waitForSlice();
    w.tabs()->setCurrentIndex(0);
    if (auto* area = w.findChild<QScrollArea*>()) area->ensureWidgetVisible(w.osemView(), 0, 60);
    shoot(&w, tag + QStringLiteral("-corrected.png"));
  }
  sinora::setLanguage(sinora::Language::Japanese);
  return 0;
}
