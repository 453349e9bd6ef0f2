// The filter-analysis window driven as a student drives it.
#include <QAction>
#include <QApplication>
#include <QChart>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QMouseEvent>
#include <QLineEdit>
#include <QLineSeries>
#include <QMenu>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include "app/MainFrm.h"
#include "app/Sinora.h"
#include "doc/SinoraDoc.h"
#include "imaging/filter_analysis.h"
#include "imaging/sample_study.h"
#include "windows/FilterWindow.h"
#include "windows/PictureView.h"

using namespace sinora;

namespace {

TEST(FilterWindow, OpensFromTheAppliedMenuFreshAndModal) {
  QTemporaryDir dir;
  CSinoraApp app(std::make_unique<QSettings>(dir.filePath(QStringLiteral("s.ini")), QSettings::IniFormat));
  QString error;
  ASSERT_TRUE(app.InitInstance(QString(), &error, false));
  QAction* item = nullptr;
  for (QAction* a : app.mainFrame()->appliedMenu()->actions())
    if (a->text() == QStringLiteral("フィルタ解析(&F)...")) item = a;
  ASSERT_NE(item, nullptr);
  EXPECT_EQ(app.mainFrame()->appliedMenu()->actions().indexOf(item), 1);  // after 逐次近似再構成
  QList<double> seen;
  QList<FilterAnalysisWindow*> opened;
  for (int n = 0; n < 2; ++n) {
    item->trigger();  // modeless: returns with the window open
    FilterAnalysisWindow* w = nullptr;
    for (QWidget* t : QApplication::topLevelWidgets())
      if (auto* f = qobject_cast<FilterAnalysisWindow*>(t); f && f->isVisible() && !opened.contains(f)) w = f;
    ASSERT_NE(w, nullptr);
    EXPECT_FALSE(w->isModal());
    opened << w;
    seen << w->cutoffBox()->value();
    w->cutoffBox()->setValue(0.2);
  }
  EXPECT_EQ(seen, (QList<double>{0.4, 0.4}));
  EXPECT_DOUBLE_EQ(opened[0]->cutoffBox()->value(), 0.2);  // each keeps its own
  for (auto* w : opened) w->close();
}

QLineSeries* named(QChart* c, const QString& start) {
  for (QAbstractSeries* s : c->series())
    if (s->name().startsWith(start)) return qobject_cast<QLineSeries*>(s);
  return nullptr;
}

TEST(FilterWindow, TheCutOffMovesTheSliceAndTheChosenResponse) {
  CSinoraDoc doc;
  FilterAnalysisWindow w(&doc);
  w.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
  EXPECT_EQ(w.rowBox()->value(), 60);
  EXPECT_EQ(w.windowBox()->currentText(), QStringLiteral("Hann"));
  // Dragging the slider: the box, the slice and the plot follow at once.
  w.cutoffSlider()->setValue(30);  // 0.15 cycles/pixel
  EXPECT_DOUBLE_EQ(w.cutoffBox()->value(), 0.15);
  const auto kernel = windowedKernel(FilterWindow::Hann, 0.15, 5, 128);
  EXPECT_EQ(w.windowedView()->picture().values, windowedPicture(*sampleStudy(), 60, kernel, 7).values);
  QLineSeries* chosen = named(w.responseChart(), QStringLiteral("Hann"));
  ASSERT_NE(chosen, nullptr);
  const auto f = frequencies(129);
  const auto want = kernelResponse(kernel, f);
  ASSERT_EQ(chosen->count(), 129);
  EXPECT_DOUBLE_EQ(chosen->at(40).y(), want[40]);
  // Every filter of the program is on the plot, with the ideal curves and the power spectrum.
  for (const char* name : {"Ramp", "|f|", "Shepp-Logan", "|f| sinc", "BW 公称", "BW 9 タップ", "BW 9 タップ × Ramp", "パワー"})
    EXPECT_NE(named(w.responseChart(), QString::fromUtf8(name)), nullptr) << name;
  // The plain Ramp slice beside it does not change with the cut-off.
  EXPECT_EQ(w.rampView()->picture().values, filteredPicture(*sampleStudy(), 60, ReconFilter::Ramp, 7).values);
}

TEST(FilterWindow, BadSettingsAreRefusedNextToTheBoxAndThePictureStays) {
  CSinoraDoc doc;
  FilterAnalysisWindow w(&doc);
  const std::vector<std::int32_t> before = w.windowedView()->picture().values;
  for (double fc : {0.0, -0.2, 0.7}) {
    w.cutoffBox()->setValue(fc);
    EXPECT_FALSE(w.message()->text().isEmpty()) << fc;
    EXPECT_EQ(w.windowedView()->picture().values, before) << fc;
  }
  w.cutoffBox()->setValue(0.4);
  EXPECT_TRUE(w.message()->text().isEmpty());
  w.windowBox()->setCurrentText(QStringLiteral("Butterworth"));
  w.orderBox()->setValue(0);
  EXPECT_FALSE(w.message()->text().isEmpty());
  w.orderBox()->setValue(999);
  EXPECT_FALSE(w.message()->text().isEmpty());
  w.orderBox()->setValue(4);
  EXPECT_TRUE(w.message()->text().isEmpty());
}

TEST(FilterWindow, APointSourceDrawsItsSineWhereTheStudentPutsIt) {
  CSinoraDoc doc;
  FilterAnalysisWindow w(&doc);
  w.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
  QTest::mouseClick(w.sourceView(), Qt::LeftButton, {}, QPoint(2 * 100 + 1, 2 * 30 + 1));
  EXPECT_EQ(w.sourcePosition(), QPoint(100, 30));
  EXPECT_TRUE(w.pointSourceButton()->isChecked());
  const Picture s = w.sinogramView()->picture();
  const auto want = pointSinogram(*sampleStudy(), 100, 30);
  ASSERT_EQ(s.values.size(), want.size());
  EXPECT_EQ(s.at(100, 0), 100);  // view 0 sees it at bin i
  // Dragged: the sine follows the source.
  QTest::mousePress(w.sourceView(), Qt::LeftButton, {}, QPoint(2 * 100 + 1, 2 * 30 + 1));
  QMouseEvent move(QEvent::MouseMove, QPointF(2 * 80 + 1, 2 * 50 + 1), w.sourceView()->mapToGlobal(QPointF(2 * 80 + 1, 2 * 50 + 1)),
                   Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(w.sourceView(), &move);
  QTest::mouseRelease(w.sourceView(), Qt::LeftButton, {}, QPoint(2 * 80 + 1, 2 * 50 + 1));
  EXPECT_EQ(w.sourcePosition(), QPoint(80, 50));
  EXPECT_EQ(w.sinogramView()->picture().at(80, 0), 100);
  // A click on the projection picks the row of the study's sinogram.
  w.studySourceButton()->click();
  QTest::mouseClick(w.projectionView(), Qt::LeftButton, {}, QPoint(50, 2 * 70 + 1));
  EXPECT_EQ(w.rowBox()->value(), 70);
  EXPECT_EQ(w.sinogramView()->picture().at(64, 7), sampleStudy()->count(7, 70, 64));
  // A line dragged across a slice: both filters on one profile.
  w.setProfile(QPoint(10, 64), QPoint(118, 64));
  EXPECT_EQ(w.profileChart()->series().size(), 2);
}

TEST(FilterWindow, FrequenciesInCyclesPerCentimetreWhenThePixelSizeIsKnown) {
  CSinoraDoc doc;
  FilterAnalysisWindow w(&doc);
  w.pixelSizeBox()->setText(QStringLiteral("4"));
  emit w.pixelSizeBox()->editingFinished();
  auto* units = w.findChildren<QComboBox*>().last();
  units->setCurrentIndex(1);
  QLineSeries* ramp = named(w.responseChart(), QStringLiteral("Ramp"));
  ASSERT_NE(ramp, nullptr);
  EXPECT_DOUBLE_EQ(ramp->at(128).x(), 0.5 * 10 / 4);  // Nyquist: 1.25 cycles/cm at 4 mm
}

}  // namespace

namespace {

TEST(FilterWindow, ANonNumberInTheButterworthBoxesIsSaidBesideThemAndTheCurvesStay) {
  CSinoraDoc doc;
  FilterAnalysisWindow w(&doc);
  QLineEdit *order = nullptr, *cutoff = nullptr;
  for (QLineEdit* e : w.findChildren<QLineEdit*>()) {
    if (e->text() == QStringLiteral("8")) order = e;
    if (e->text() == QStringLiteral("0.15")) cutoff = e;
  }
  ASSERT_TRUE(order && cutoff);
  auto* said = w.findChild<QLabel*>(QStringLiteral("bwMessage"));
  ASSERT_NE(said, nullptr);
  EXPECT_TRUE(said->text().isEmpty());
  auto nominal = [&] {
    for (const auto& c : w.curves())
      if (c.first.startsWith(QStringLiteral("BW 公称"))) return c.second;
    return std::vector<QPointF>{};
  };
  for (QLineEdit* box : {order, cutoff})
    for (const char* typed : {"nan", "inf", "-nan"}) {
      const QString was = box->text();
      box->setText(QString::fromLatin1(typed));
      emit box->editingFinished();
      EXPECT_TRUE(said->text().contains(QString::fromLatin1(typed))) << typed << ": " << said->text().toStdString();
      const std::vector<QPointF> curve = nominal();
      ASSERT_FALSE(curve.empty());
      for (const QPointF& p : curve) ASSERT_TRUE(std::isfinite(p.y())) << typed;  // a curve is drawn
      box->setText(was);
      emit box->editingFinished();
      EXPECT_TRUE(said->text().isEmpty()) << typed;
    }
}

}  // namespace
