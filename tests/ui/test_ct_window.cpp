// A CT opened from the 応用 menu and shown under the iterative window's pictures: the study it
// belongs to shares its Frame of Reference (a small study placed where the CT of
// tests/formats/write_test_ct.py lies), the CT is written by pydicom.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QSlider>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "app/MainFrm.h"
#include "app/Sinora.h"
#include "doc/SinoraDoc.h"
#include "formats/ct.h"
#include "formats/export.h"
#include "imaging/colour_map.h"
#include "windows/CtPanel.h"
#include "windows/IterativeWindow.h"
#include "windows/PictureView.h"
#include "written_once.h"

using namespace sinora;

namespace {

// The CT series, written once for these tests.
const QString& ctFolder() {
  static const QString path = QString::fromStdString(
      sinora::testing::writtenOnce("ct-series", {SINORA_CT_WRITER}, [](const std::filesystem::path& d) {
        const std::string cmd = std::string("/usr/bin/python3 '") + SINORA_CT_WRITER + "' '" + d.string() + "' > /dev/null";
        return std::system(cmd.c_str()) == 0;
      }).string());
  return path;
}

// 32 views of 16 rows x 40 bins of 4 mm, a warm disc in every row, placed as the test CT's
// grid: pixel (0, 0) of row 0 at (-80, -80, 27), rows 4 mm towards the feet.
StudyPtr placedStudy() {
  StudyGeometry g;
  g.views = 32;
  g.rows = 16;
  g.bins = 40;
  g.pixelSizeMm = 4;
  auto origin = std::make_shared<DicomOrigin>();
  origin->frameOfReferenceUid = "1.2.826.0.1.3680043.2.1125.77.1";
  origin->hasPosition = origin->hasOrientation = true;
  origin->position[0] = origin->position[1] = -80;
  origin->position[2] = 27;
  const double orientation[6] = {1, 0, 0, 0, 0, -1};
  std::copy(orientation, orientation + 6, origin->orientation);
  g.dicom = origin;
  std::vector<std::uint16_t> counts(std::size_t(g.views) * g.rows * g.bins);
  for (std::size_t k = 0; k < counts.size(); ++k) {
    const int c = int(k % std::size_t(g.bins)) - 20;
    counts[k] = std::uint16_t(c * c < 14 * 14 ? 100 : 0);
  }
  return std::make_shared<const ProjectionStudy>(std::move(g), std::move(counts));
}

QAction* openCtAction(CMainFrame* frame) {
  for (QAction* a : frame->appliedMenu()->actions())
    if (a->text() == QStringLiteral("CT / μマップを開く")) return a;
  return nullptr;
}

TEST(CtWindow, OpensFromTheAppliedMenuAndARefusalKeepsWhatWasOpen) {
  ASSERT_FALSE(ctFolder().isEmpty()) << "the CT writer (python3-pydicom) failed";
  QTemporaryDir dir;
  CSinoraApp app(std::make_unique<QSettings>(dir.filePath(QStringLiteral("s.ini")), QSettings::IniFormat));
  QString error;
  ASSERT_TRUE(app.InitInstance(QString(), &error, false));
  CSinoraDoc* doc = app.document();
  doc->setStudy(placedStudy());
  const StudyPtr study = doc->ProjectionStudy();
  QAction* open = openCtAction(app.mainFrame());
  ASSERT_NE(open, nullptr) << "応用 has the command";
  QStringList reported, informed;
  app.mainFrame()->setErrorReporter([&](const QString& m) { reported << m; });
  app.mainFrame()->setNoteReporter([&](const QString& m) { informed << m; });
  QString asked;
  app.mainFrame()->askAttenuationPath = [&] { return asked; };
  asked = ctFolder() + QStringLiteral("/ct/IM0003.dcm");  // one file stands for its series
  open->trigger();
  ASSERT_TRUE(doc->attenuation()) << reported.join(QLatin1Char('\n')).toStdString();
  EXPECT_EQ(doc->attenuation()->ct->slices, 20);
  ASSERT_EQ(informed.size(), 1);
  EXPECT_TRUE(informed[0].contains(QStringLiteral("20 枚のスライス"))) << informed[0].toStdString();
  EXPECT_TRUE(informed[0].contains(QStringLiteral("DICOM の患者座標で位置を合わせました"))) << informed[0].toStdString();
  // A CT of another Frame of Reference opens, saying it is to be placed by hand.
  informed.clear();
  asked = ctFolder() + QStringLiteral("/other-frame");
  open->trigger();
  ASSERT_EQ(informed.size(), 1);
  EXPECT_TRUE(informed[0].contains(QStringLiteral("Frame of Reference UID が違うので"))) << informed[0].toStdString();
  asked = ctFolder() + QStringLiteral("/ct");
  open->trigger();
  const auto kept = doc->attenuation();
  ASSERT_TRUE(kept && kept->ct->frameOfReferenceUid == "1.2.826.0.1.3680043.2.1125.77.1");
  // Refusals: reported with the file and the reason; the study and the CT stay.
  const struct {
    QString path, words;
  } refused[] = {
      {ctFolder() + QStringLiteral("/tilted"), QStringLiteral("ガントリの傾き")},
      {ctFolder() + QStringLiteral("/single"), QStringLiteral("1 枚しかありません")},
      {ctFolder() + QStringLiteral("/nm/nm.dcm"), QStringLiteral("CT の画像ではありません")},
      {ctFolder() + QStringLiteral("/missing"), QStringLiteral("見つかりません")},
  };
  for (const auto& r : refused) {
    reported.clear();
    asked = r.path;
    open->trigger();
    ASSERT_EQ(reported.size(), 1) << r.path.toStdString();
    EXPECT_TRUE(reported[0].contains(QStringLiteral("を開けません"))) << reported[0].toStdString();
    EXPECT_TRUE(reported[0].contains(r.words)) << reported[0].toStdString();
    EXPECT_EQ(doc->attenuation(), kept);
    EXPECT_EQ(doc->ProjectionStudy(), study);
  }
  // Cancelling the dialog changes nothing.
  reported.clear();
  asked.clear();
  open->trigger();
  EXPECT_TRUE(reported.isEmpty());
  EXPECT_EQ(doc->attenuation(), kept);
}

TEST(CtWindow, SpectOverCtWithAnOpacityAndTheLessonsSwitches) {
  ASSERT_FALSE(ctFolder().isEmpty());
  CSinoraDoc doc;
  doc.setStudy(placedStudy());
  QString error;
  ASSERT_TRUE(doc.OnOpenAttenuation(QFile::encodeName(ctFolder() + QStringLiteral("/ct")), &error)) << error.toStdString();
  IterativeWindow w(&doc);
  w.askDiscard = [] { return true; };
  CtPanel* ct = w.ctPanel();
  ASSERT_TRUE(ct->hasMap()) << ct->status()->text().toStdString();
  EXPECT_TRUE(ct->status()->text().contains(QStringLiteral("Frame of Reference UID が同じ"))) << ct->status()->text().toStdString();
  EXPECT_DOUBLE_EQ(ct->energyBox()->value(), 140.5) << "a study without an energy window: Tc-99m";
  w.rowBox()->setValue(7);  // z = -1: the bone rod, the lung and the water
  w.iterationsBox()->setValue(2);
  w.reconstruct();
  PictureView* os = w.osemView();
  ASSERT_TRUE(os->hasUnderlay());
  // Four CT samples per pixel across (40 bins): 160 x 160, in HU.
  EXPECT_EQ(os->underlay().width, 160);
  EXPECT_EQ(os->fusedImage().size(), QSize(160, 160));
  // The rod (x = 40, y = -5 mm) where the grid puts it: pixel (30, 19) of the row, four samples each.
  EXPECT_NEAR(os->underlay().at(30 * 4 + 1, 19 * 4 + 2), 1000, 1e-3);
  EXPECT_NEAR(os->underlay().at(2, 2), -1000, 1e-3);

  // Opacity 0: the CT alone, grey in its window; 100: the SPECT's colour where it is at its top.
  const DisplayWindow under = ct->underlayWindow();
  EXPECT_EQ(ct->opacityLabel()->text(), QStringLiteral("60 %"));
  ct->opacitySlider()->setValue(0);
  EXPECT_EQ(ct->opacityLabel()->text(), QStringLiteral("0 %")) << "the slider shows its value";
  const QImage none = os->fusedImage();
  for (int y = 0; y < 160; y += 7)
    for (int x = 0; x < 160; x += 7)
      ASSERT_EQ(none.pixel(x, y) | 0xff000000u, colourAt(ColourMap::Grey, windowPosition(os->underlay().at(x, y), under)) | 0xff000000u)
          << x << "," << y;
  ct->opacitySlider()->setValue(100);
  const QImage full = os->fusedImage();
  const PictureValues& spect = os->values();
  int hottest = 0;
  for (int k = 1; k < spect.width * spect.height; ++k)
    if (spect.values[std::size_t(k)] > spect.values[std::size_t(hottest)]) hottest = k;
  const int hx = hottest % spect.width, hy = hottest / spect.width;
  EXPECT_EQ(full.pixel(hx * 4 + 1, hy * 4 + 1) | 0xff000000u, colourAt(ColourMap::Ribbon, 1.0) | 0xff000000u);
  EXPECT_NE(full, none);

  // The mu map underneath instead, or nothing.
  ct->underBox()->setCurrentIndex(1);
  ASSERT_TRUE(os->hasUnderlay());
  EXPECT_EQ(os->underlay().width, 40) << "the map is shown pixel by pixel";
  EXPECT_NEAR(os->underlay().at(30, 19), ct->map().perCm[std::size_t(7) * 1600 + 30 * 40 + 19], 1e-7);
  ct->underBox()->setCurrentIndex(2);
  EXPECT_FALSE(os->hasUnderlay());
  ct->underBox()->setCurrentIndex(0);

  // The switches remake the map: a shift moves it, the lung becomes water, the energy changes it.
  const std::vector<float> before = ct->map().perCm;
  ct->shiftBox(0)->setValue(8);
  for (int i = 2; i < 40; ++i) ASSERT_EQ(ct->map().perCm[std::size_t(7) * 1600 + i * 40 + 19], before[std::size_t(7) * 1600 + (i - 2) * 40 + 19]) << i;
  EXPECT_TRUE(ct->status()->text().contains(QStringLiteral("x 8.0 mm")));
  ct->shiftBox(0)->setValue(0);
  const std::size_t lung = std::size_t(7) * 1600 + 14 * 40 + 19;  // x = -24, y = -4
  EXPECT_NEAR(ct->map().perCm[lung], huToMu(-800, 140.5), 1e-5);
  ct->lungBox()->setChecked(true);
  EXPECT_NEAR(ct->map().perCm[lung], huToMu(0, 140.5), 1e-5);
  ct->lungBox()->setChecked(false);
  ct->energyBox()->setValue(208.4);
  EXPECT_NEAR(ct->map().perCm[std::size_t(7) * 1600 + 23 * 40 + 22], huToMu(0, 208.4), 1e-5);
  ct->energyBox()->setValue(140.5);

  // The recipes take the map only when asked to, for the corrections that model attenuation.
  w.attenuatedOsemBox()->setChecked(true);
  EXPECT_TRUE(w.recipeFromControls(RecipeMethod::Osem).muMap.empty());
  ct->useBox()->setChecked(true);
  EXPECT_EQ(w.recipeFromControls(RecipeMethod::Osem).muMap, ct->map().perCm);
  EXPECT_TRUE(w.recipeFromControls(RecipeMethod::Fbp).muMap.empty()) << "no Chang chosen";
  // OSEM corrected with the CT's map: inside the water the attenuation is given back.
  const std::vector<double> uncorrected = w.shownOsem();
  w.reconstruct();
  ASSERT_EQ(w.osemRecipe().muMap, ct->map().perCm) << w.message()->text().toStdString();
  const std::vector<double> corrected = w.shownOsem();
  ASSERT_EQ(corrected.size(), uncorrected.size());
  double sumBefore = 0, sumAfter = 0;
  for (std::size_t p = 0; p < corrected.size(); ++p) sumBefore += uncorrected[p], sumAfter += corrected[p];
  EXPECT_GT(sumAfter, 1.3 * sumBefore) << sumBefore;
  w.attenuatedOsemBox()->setChecked(false);

  // The planes, once every row is done, have the CT under each, cut where the crosshair is.
  ct->useBox()->setChecked(false);
  w.startVolume();
  w.waitForVolume();
  w.setCrosshair(30, 19, 7);
  for (int p = 0; p < 3; ++p) ASSERT_TRUE(w.planeView(p)->hasUnderlay()) << p;
  EXPECT_EQ(w.planeView(1)->underlay().height, 16 * 4);
  // The coronal plane through the rod shows it in every row the CT reaches; the sagittal one
  // at i = 30 too, at j = 19.
  EXPECT_NEAR(w.planeView(1)->underlay().at(30 * 4 + 1, 7 * 4 + 1), 1000, 1e-3);
  EXPECT_NEAR(w.planeView(2)->underlay().at(19 * 4 + 2, 3 * 4 + 1), 1000, 1e-3);
  w.setCrosshair(30, 30, 7);
  EXPECT_LT(w.planeView(1)->underlay().at(30 * 4 + 1, 7 * 4 + 1), 100) << "the coronal cut moved with the crosshair";
}

// A mu map file (here the CT's own map, written as Interfile without its energy) takes the
// energy and the tissue switches too, through the HU its values stand for.
TEST(CtWindow, AMuMapFileTakesTheEnergyAndTissueSwitches) {
  ASSERT_FALSE(ctFolder().isEmpty());
  CSinoraDoc doc;
  doc.setStudy(placedStudy());
  QString error;
  ASSERT_TRUE(doc.OnOpenAttenuation(QFile::encodeName(ctFolder() + QStringLiteral("/ct")), &error)) << error.toStdString();
  IterativeWindow w(&doc);
  CtPanel* ct = w.ctPanel();
  ASSERT_TRUE(ct->hasMap());
  ct->lungBox()->setChecked(true);
  const std::vector<float> ctLungAsTissue = ct->map().perCm;
  ct->lungBox()->setChecked(false);
  const std::vector<float> ctMap = ct->map().perCm;
  QTemporaryDir dir;
  {
    QFile data(dir.filePath(QStringLiteral("mu.v")));
    ASSERT_TRUE(data.open(QIODevice::WriteOnly));
    for (int r = 0; r < 16; ++r)
      for (int j = 0; j < 40; ++j)
        for (int i = 0; i < 40; ++i) data.write(reinterpret_cast<const char*>(&ctMap[std::size_t(r) * 1600 + i * 40 + j]), 4);
    QFile header(dir.filePath(QStringLiteral("mu.hv")));
    ASSERT_TRUE(header.open(QIODevice::WriteOnly));
    header.write("!INTERFILE :=\n!name of data file := mu.v\n!number format := short float\n!number of bytes per pixel := 4\n"
                 "!matrix size [1] := 40\n!matrix size [2] := 40\n!matrix size [3] := 16\nimagedata byte order := LITTLEENDIAN\n"
                 "!END OF INTERFILE :=\n");
  }
  ASSERT_TRUE(doc.OnOpenAttenuation(QFile::encodeName(dir.filePath(QStringLiteral("mu.hv"))), &error)) << error.toStdString();
  ASSERT_TRUE(doc.attenuation() && doc.attenuation()->map);
  ASSERT_TRUE(ct->hasMap()) << ct->status()->text().toStdString();
  EXPECT_EQ(ct->map().perCm, ctMap) << "at the study's energy and with no switch, the file as it is";
  EXPECT_TRUE(ct->status()->text().contains(QStringLiteral("140.5 keV のものと見なしました"))) << ct->status()->text().toStdString();
  for (QWidget* box : std::initializer_list<QWidget*>{ct->energyBox(), ct->lungBox(), ct->boneBox()}) EXPECT_TRUE(box->isEnabled());
  const std::size_t lung = std::size_t(7) * 1600 + 14 * 40 + 19, water = std::size_t(7) * 1600 + 23 * 40 + 22;
  ct->lungBox()->setChecked(true);
  EXPECT_NEAR(ct->map().perCm[lung], huToMu(0, 140.5), 1e-5);
  double worst = 0;
  for (std::size_t p = 0; p < ctMap.size(); ++p) worst = std::max(worst, double(std::fabs(ct->map().perCm[p] - ctLungAsTissue[p])));
  EXPECT_LT(worst, 2e-6) << "as the CT's own switch";
  ct->lungBox()->setChecked(false);
  ct->energyBox()->setValue(208.4);
  EXPECT_NEAR(ct->map().perCm[water], huToMu(0, 208.4), 1e-5);
  EXPECT_NEAR(ct->map().perCm[lung], huToMu(-800, 208.4), 1e-5);
  EXPECT_TRUE(ct->status()->text().contains(QStringLiteral("140.5 keV から 208.4 keV に換算しました"))) << ct->status()->text().toStdString();
}

TEST(FusedPicture, LowValuesLetTheCtThroughAndOpacityMixes) {
  PictureValues over;
  over.width = over.height = 2;
  over.values = {0, 1, 0.05, 0.5};  // [y * 2 + x]
  PictureValues under;
  under.width = under.height = 4;
  under.values.assign(16, 0.0);
  const DisplayWindow w{0, 1}, u{-1, 1};
  const QImage half = fusedPicture(over, w, ColourMap::Grey, under, u, 0.5);
  ASSERT_EQ(half.size(), QSize(4, 4));
  const QRgb grey = colourAt(ColourMap::Grey, 0.5);
  EXPECT_EQ(half.pixel(0, 0) | 0xff000000u, grey | 0xff000000u) << "0: the CT alone";
  EXPECT_EQ(half.pixel(1, 1) | 0xff000000u, grey | 0xff000000u);
  // The top value: half its colour, half the CT's.
  EXPECT_EQ(qRed(half.pixel(2, 0)), int(std::lround((qRed(grey) + 255) / 2.0)));
  // 0.05 is a third of the way into the fade: a sixth of the colour.
  const double a = 0.5 * 0.05 / 0.15;
  EXPECT_NEAR(qRed(half.pixel(0, 2)), qRed(grey) * (1 - a) + qRed(colourAt(ColourMap::Grey, 0.05)) * a, 1.0);
  EXPECT_EQ(fusedPicture(over, w, ColourMap::Grey, PictureValues{}, u, 0.5).isNull(), true);
}

}  // namespace
