// The windows under 応用 fit small and scaled screens with every text whole; their charts keep
// a bounded number of items however often they are redrawn; the filter window's point source
// gives each filter's point-spread function.
#include <QAbstractButton>
#include <QApplication>
#include <QChart>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGraphicsScene>
#include <QLabel>
#include <QRadioButton>
#include <QScreen>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>

#include "doc/SinoraDoc.h"
#include "imaging/filter_analysis.h"
#include "imaging/psf.h"
#include "app/language.h"
#include "windows/Dialog1.h"
#include "windows/Dialog2.h"
#include "windows/FilterWindow.h"
#include "windows/IterativeWindow.h"
#include "windows/PhantomWindow.h"
#include "windows/PictureView.h"

using namespace sinora;

namespace {

struct ChartSize {
  qsizetype items, series, axes;
  bool operator==(const ChartSize& o) const { return items == o.items && series == o.series && axes == o.axes; }
};
// After the event loop has run, as it does between a student's changes (deleted items go then).
ChartSize sizeOf(QChart* c) {
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  QCoreApplication::processEvents();
  return {c->scene() ? c->scene()->items().size() : -1, c->series().size(), c->axes().size()};
}
std::ostream& operator<<(std::ostream& o, const ChartSize& s) {
  return o << s.items << " items, " << s.series << " series, " << s.axes << " axes";
}

TEST(Charts, KeepTheirSizeOverAThousandChanges) {
  // A small study, so that a thousand redraws are quick: 12 views of 8 rows x 32 bins.
  StudyGeometry g;
  g.views = 12;
  g.rows = 8;
  g.bins = 32;
  std::vector<std::uint16_t> counts(std::size_t(12) * 8 * 32, 0);
  for (std::size_t n = 0; n < counts.size(); ++n) counts[n] = std::uint16_t(n % 32 > 8 && n % 32 < 24 ? 30 + n % 7 : 0);
  CSinoraDoc doc;
  doc.setStudy(std::make_shared<const ProjectionStudy>(g, counts));
  FilterAnalysisWindow f(&doc);
  f.windowBox()->setCurrentIndex(int(FilterWindow::Butterworth));
  f.cutoffBox()->setValue(0.3);
  const ChartSize response = sizeOf(f.responseChart());
  // Cut-off moves, window changes and units: each redraws the plot.
  for (int n = 0; n < 1000; ++n) {
    if (n % 10 == 0) f.windowBox()->setCurrentIndex((f.windowBox()->currentIndex() + 1) % 7);
    f.cutoffBox()->setValue(0.05 + 0.4 * (n % 37) / 37.0);
    if (n % 10 == 0) QCoreApplication::processEvents();
  }
  f.windowBox()->setCurrentIndex(int(FilterWindow::Butterworth));
  f.cutoffBox()->setValue(0.3);
  EXPECT_EQ(sizeOf(f.responseChart()), response);

  IterativeWindow w(&doc);
  w.iterationsBox()->setValue(3);
  w.reconstruct();
  w.setRegion(QRect(10, 10, 8, 8));
  w.setProfile(QPoint(2, 16), QPoint(30, 16));
  const ChartSize region = sizeOf(w.regionChart()), profile = sizeOf(w.profileChart());
  for (int n = 0; n < 1000; ++n) {
    w.setRegion(QRect(4 + n % 20, 10, 8, 8));
    w.setProfile(QPoint(2, 12 + n % 9), QPoint(30, 16));
    if (n % 10 == 0) QCoreApplication::processEvents();
  }
  w.setRegion(QRect(10, 10, 8, 8));
  w.setProfile(QPoint(2, 16), QPoint(30, 16));
  EXPECT_EQ(sizeOf(w.regionChart()), region);
  EXPECT_EQ(sizeOf(w.profileChart()), profile);
}

TEST(FilterWindow, APointSourceIsReconstructedByEachFilterWithItsWidth) {
  CSinoraDoc doc;
  FilterAnalysisWindow w(&doc);
  w.setSource(QPoint(70, 50));
  const auto peakAt = [](const Picture& p) {
    int best = 0;
    for (int n = 0; n < int(p.values.size()); ++n)
      if (p.values[std::size_t(n)] > p.values[std::size_t(best)]) best = n;
    return QPoint(best % p.width, best / p.width);
  };
  // Both pictures are the point, not the study.
  EXPECT_EQ(peakAt(w.windowedView()->picture()), QPoint(70, 50));
  EXPECT_EQ(peakAt(w.rampView()->picture()), QPoint(70, 50));
  EXPECT_TRUE(w.windowedCaption()->text().contains(QStringLiteral("Hann")));
  const QString widths = w.psfLabel()->text();
  EXPECT_TRUE(widths.contains(QStringLiteral("FWHM")));
  // A lower cut-off spreads the point more: the numbers shown follow.
  auto across = [&] {
    std::vector<double> slice(std::size_t(128) * 128);
    const Picture& p = w.windowedView()->picture();
    for (int x = 0; x < 128; ++x)
      for (int y = 0; y < 128; ++y) slice[std::size_t(x) * 128 + y] = p.at(x, y);
    return fwhmThrough(slice, 128, 70, 50).across;
  };
  const double wide = (w.cutoffBox()->setValue(0.15), across());
  const double narrow = (w.cutoffBox()->setValue(0.45), across());
  EXPECT_GT(wide, narrow * 1.5);
  EXPECT_NE(w.psfLabel()->text(), widths);
  // Back to the study: the pictures are its row again and the widths go.
  w.studySourceButton()->click();
  EXPECT_TRUE(w.psfLabel()->text().isEmpty());
  EXPECT_TRUE(w.windowedCaption()->text().contains(QStringLiteral("60 行目")));
}

TEST(Psf, WidthOfAKnownProfile) {
  // A triangle of half-width 4 about (10, 6): FWHM 4 across; a single column: 1 down.
  const int b = 20;
  std::vector<double> f(std::size_t(b) * b, 0.0);
  for (int i = 6; i <= 14; ++i) f[std::size_t(i) * b + 6] = 4 - std::abs(i - 10);
  const Fwhm w = fwhmThrough(f, b, 10, 6);
  EXPECT_DOUBLE_EQ(w.across, 4);
  EXPECT_DOUBLE_EQ(w.down, 1);
  EXPECT_TRUE(std::isnan(fwhmThrough(f, b, 0, 0).across));  // no peak there
  EXPECT_TRUE(std::isnan(fwhmThrough(f, b, 30, 6).across));
}

}  // namespace

namespace {

QStringList captionsOf(QWidget* w) {
  QStringList out{w->windowTitle()};
  for (QLabel* l : w->findChildren<QLabel*>()) out << l->text();
  for (QAbstractButton* b : w->findChildren<QAbstractButton*>()) out << b->text();
  return out;
}

TEST(DescribedWindows, EnglishCaptionsAreCorrectEnglishAndJapaneseModeKeepsEveryText) {
  struct Window {
    std::function<std::unique_ptr<QWidget>()> make;
    QStringList japanese, english;
  };
  CSinoraDoc doc;
  const Window windows[] = {
      {[&] { return std::unique_ptr<QWidget>(std::make_unique<CDialog1>(&doc)); },
       {QStringLiteral("ﾞ"), QStringLiteral("Black-White"), QStringLiteral("Cutoff-Frec")},
       {QStringLiteral("Reconstruction"), QStringLiteral("Black-White"), QStringLiteral("Cutoff-Freq")}},
      {[] { return std::unique_ptr<QWidget>(std::make_unique<CDialog2>()); },
       {QStringLiteral("Prijection + Ramp"), QStringLiteral("Black-Wthite"), QStringLiteral("projection Image")},
       {QStringLiteral("Point source"), QStringLiteral("Projection + Ramp"), QStringLiteral("Black-White"),
        QStringLiteral("Projection Image"), QStringLiteral("Projection + BW + Ramp")}},
  };
  for (const Window& w : windows) {
    const QStringList ja = captionsOf(w.make().get());
    for (const QString& t : w.japanese) EXPECT_TRUE(ja.contains(t)) << t.toStdString();
    ASSERT_TRUE(setLanguage(Language::English));
    const QStringList en = captionsOf(w.make().get());
    for (const QString& t : w.english) EXPECT_TRUE(en.contains(t)) << t.toStdString();
    for (const char* wrong : {"Prijection", "Wthite", "Cutoff-Frec", "ﾞ"})
      EXPECT_FALSE(en.join(' ').contains(QString::fromUtf8(wrong))) << wrong;
    ASSERT_TRUE(setLanguage(Language::Japanese));
    EXPECT_EQ(captionsOf(w.make().get()), ja);  // byte for byte as before
  }
  // The point-source window stays untitled in Japanese.
  EXPECT_EQ(CDialog2().windowTitle(), QString());
}

}  // namespace

namespace {

TEST(FilterWindow, ALargeStudyOpensAtOnceAndShowsTheLatestCutOff) {
  // 360 views of 256 bins: above the work the window does while it waits.
  StudyGeometry g;
  g.views = 360;
  g.rows = 2;
  g.bins = 256;
  std::vector<std::uint16_t> counts(std::size_t(360) * 2 * 256, 0);
  for (std::size_t n = 0; n < counts.size(); ++n) counts[n] = std::uint16_t(n % 256 > 64 && n % 256 < 192 ? 40 : 0);
  CSinoraDoc doc;
  doc.setStudy(std::make_shared<const ProjectionStudy>(g, counts));
  FilterAnalysisWindow w(&doc);
  EXPECT_TRUE(w.slicesPending());  // opened with the work still to come
  w.waitForSlices();
  EXPECT_EQ(w.windowedView()->picture().width, 256);
  // Three cut-offs in a row: the window answers at once and ends on the last one.
  for (double fc : {0.1, 0.2, 0.3}) w.cutoffBox()->setValue(fc);
  EXPECT_TRUE(w.slicesPending());
  w.waitForSlices();
  EXPECT_TRUE(w.windowedCaption()->text().contains(QStringLiteral("0.3"))) << w.windowedCaption()->text().toStdString();
  EXPECT_EQ(w.windowedView()->picture().values,
            windowedPicture(*doc.ProjectionStudy(), 0, windowedKernel(FilterWindow::Hann, 0.3, 5, 256), 7).values);
}

}  // namespace
