#include <QButtonGroup>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QStyleOptionSlider>
#include <QTest>

#include <gtest/gtest.h>

#include "doc/SinoraDoc.h"
#include "imaging/reconstruction.h"
#include "imaging/sample_study.h"
#include "res/dialogs.h"
#include "res/resource.h"
#include "window_util.h"
#include "windows/Dialog1.h"

using namespace sinora;
using namespace sinora::res;
using uitest::check;
using uitest::press;
using uitest::shows;
using uitest::type;

namespace {

class ReconWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    dialog = std::make_unique<CDialog1>(&doc);
    dialog->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
  }
  FrameControl* frame(int id) { return dialog->frame(id); }
  const ProjectionStudy& study() { return *doc.ProjectionStudy(); }
  RgbImage expect(const DisplayImage& img, Palette p = Palette::Neither) { return render(img, p); }

  // A real mouse click on a part of the density scroll bar.
  void clickBar(QStyle::SubControl part) { uitest::clickScrollBar(dialog->densityScrollBar(), part); }

  CSinoraDoc doc;
  std::unique_ptr<CDialog1> dialog;
};

TEST_F(ReconWindow, OpensWithProjectionZeroAndEverythingElseFresh) {
  EXPECT_TRUE(shows(frame(IDC_PROJ_IMAGE), expect(projectionImage(study(), 0, 7))));
  for (int id : {IDC_PREFILTER_IMAGE, IDC_BP_IMAGE, IDC_FBP_IMAGE, IDC_PRE_FBP_IMAGE})
    EXPECT_FALSE(frame(id)->hasPicture()) << id;
  for (int id : {IDC_RIBBON, IDC_BLACKWHITE, IDC_DENSITY_PROJ, IDC_DENSITY_BP, IDC_DENSITY_FBP,
                 IDC_DENSITY_PRE_FBP, IDC_RAMP, IDC_SHEPP_LOGAN})
    EXPECT_FALSE(dialog->isChecked(id)) << id;
  EXPECT_TRUE(dialog->windowText(IDC_BW_ORDER).isEmpty());
  EXPECT_TRUE(dialog->windowText(IDC_BW_CUTOFF).isEmpty());
  EXPECT_EQ(dialog->windowTitle(), QStringLiteral("ﾞ"));
  EXPECT_EQ(dialog->densityOffset, 7);
  EXPECT_EQ(dialog->angleIndex, 0);
  EXPECT_EQ(dialog->sliceLine, 60);
  EXPECT_EQ(dialog->bwOrder, 1.0);
  EXPECT_EQ(dialog->bwCutoff, 1.0);
  EXPECT_EQ(dialog->densityScrollBar()->minimum(), 0);
  EXPECT_EQ(dialog->densityScrollBar()->maximum(), 100);
  EXPECT_EQ(dialog->densityScrollBar()->value(), 50);
}

TEST_F(ReconWindow, TitleBand) {
  ASSERT_NE(dialog->m_title, nullptr);
  EXPECT_EQ(dialog->m_title->text(),
            QStringLiteral("SPECT　再  構　成　画　像　の　体　験　ウ　イ　ン　ド　ウ"));
  const QImage band = dialog->m_title->grab().toImage();
  EXPECT_EQ(band.pixelColor(2, 2), QColor(0, 100, 190));
  bool white = false;
  for (int x = 0; x < band.width() && !white; ++x)
    for (int y = 0; y < band.height() && !white; ++y) white = band.pixelColor(x, y) == QColor(Qt::white);
  EXPECT_TRUE(white) << "no white text in the title band";
  // Other texts keep the default colours.
  for (QWidget* w : dialog->controls().inOrder)
    if (w != dialog->m_title) EXPECT_FALSE(w->autoFillBackground());
}

TEST_F(ReconWindow, ControlsFollowTheTemplate) {
  const DialogTemplate& t = reconWindowTemplate();
  ASSERT_EQ(dialog->controls().inOrder.size(), int(t.controls.size()));
  for (int i = 0; i < int(t.controls.size()); ++i) {
    const ControlTemplate& c = t.controls[i];
    if (c.kind == ControlKind::Text || c.kind == ControlKind::RadioButton) continue;  // may grow
    EXPECT_EQ(dialog->controls().inOrder[i]->geometry(), dluRect(c.x, c.y, c.w, c.h)) << c.id;
  }
  for (int id : {IDC_PROJ_IMAGE, IDC_PREFILTER_IMAGE, IDC_BP_IMAGE, IDC_FBP_IMAGE, IDC_PRE_FBP_IMAGE})
    EXPECT_EQ(frame(id)->size(), QSize(128, 128));
  EXPECT_EQ(dialog->size(), QSize(dluToPixelsX(395), dluToPixelsY(333)));
}

TEST_F(ReconWindow, RadioGroupsAreIndependent) {
  EXPECT_EQ(dialog->controls().radioGroups.size(), 3);
  check(*dialog, IDC_RIBBON);
  check(*dialog, IDC_DENSITY_BP);
  check(*dialog, IDC_RAMP);
  check(*dialog, IDC_BLACKWHITE);
  EXPECT_FALSE(dialog->isChecked(IDC_RIBBON));
  EXPECT_TRUE(dialog->isChecked(IDC_DENSITY_BP));
  EXPECT_TRUE(dialog->isChecked(IDC_RAMP));
  check(*dialog, IDC_DENSITY_PRE_FBP);
  EXPECT_FALSE(dialog->isChecked(IDC_DENSITY_BP));
  check(*dialog, IDC_SHEPP_LOGAN);
  EXPECT_FALSE(dialog->isChecked(IDC_RAMP));
  EXPECT_TRUE(dialog->isChecked(IDC_BLACKWHITE));
}

TEST_F(ReconWindow, BrowsingRoundTheRing) {
  press(*dialog, IDC_NEXT_ANGLE);
  EXPECT_EQ(dialog->angleIndex, 1);
  EXPECT_TRUE(shows(frame(IDC_PROJ_IMAGE), expect(projectionImage(study(), 1, 7))));
  EXPECT_TRUE(shows(frame(IDC_PREFILTER_IMAGE), expect(smoothedProjection(study(), 1, {}, 7))));
  press(*dialog, IDC_PREV_ANGLE);
  press(*dialog, IDC_PREV_ANGLE);
  EXPECT_EQ(dialog->angleIndex, 59);
  EXPECT_TRUE(shows(frame(IDC_PROJ_IMAGE), expect(projectionImage(study(), 59, 7))));
  for (int i = 0; i < 61; ++i) press(*dialog, IDC_NEXT_ANGLE);
  EXPECT_EQ(dialog->angleIndex, 0);
  EXPECT_TRUE(shows(frame(IDC_PREFILTER_IMAGE), expect(smoothedProjection(study(), 0, {}, 7))));
}

TEST_F(ReconWindow, SmoothingShowsProjectionZeroWithoutMovingTheIndex) {
  for (int i = 0; i < 10; ++i) press(*dialog, IDC_NEXT_ANGLE);
  press(*dialog, IDC_SMOOTHING);
  EXPECT_EQ(dialog->angleIndex, 10);
  EXPECT_TRUE(shows(frame(IDC_PROJ_IMAGE), expect(projectionImage(study(), 0, 7))));
  EXPECT_TRUE(shows(frame(IDC_PREFILTER_IMAGE), expect(smoothedProjection(study(), 0, {}, 7))));
  press(*dialog, IDC_NEXT_ANGLE);
  EXPECT_TRUE(shows(frame(IDC_PROJ_IMAGE), expect(projectionImage(study(), 11, 7))));
}

TEST_F(ReconWindow, FramesKeepTheirPicturesOnRepaint) {
  for (int i = 0; i < 5; ++i) press(*dialog, IDC_NEXT_ANGLE);
  press(*dialog, IDC_SHOW_RECON);
  const int painted = frame(IDC_PROJ_IMAGE)->paintCount();
  dialog->hide();
  dialog->show();
  dialog->repaint();
  QCoreApplication::processEvents();
  EXPECT_EQ(frame(IDC_PROJ_IMAGE)->paintCount(), painted);
  EXPECT_TRUE(shows(frame(IDC_PROJ_IMAGE), expect(projectionImage(study(), 5, 7))));
  EXPECT_TRUE(shows(frame(IDC_BP_IMAGE), expect(backprojectionImage(study(), 60, 7))));
  // What reaches the screen is the picture too.
  const QImage screen = frame(IDC_PROJ_IMAGE)->grab().toImage();
  EXPECT_EQ(screen.pixel(64, 64) | 0xff000000u, uitest::framePicture(frame(IDC_PROJ_IMAGE))[64 * 128 + 64]);
}

TEST_F(ReconWindow, ArrowClickStepsTheBackprojectionDensityTwice) {
  check(*dialog, IDC_DENSITY_BP);
  clickBar(QStyle::SC_ScrollBarAddLine);
  EXPECT_EQ(dialog->densityOffset, 54);
  EXPECT_EQ(dialog->densityScrollBar()->value(), 54);
  EXPECT_EQ(frame(IDC_BP_IMAGE)->paintCount(), 2);  // the step, then the end of the click
  EXPECT_TRUE(shows(frame(IDC_BP_IMAGE), expect(backprojectionImage(study(), 60, 54))));
}

TEST_F(ReconWindow, ArrowKeyOnTheBarStepsLikeTheArrowButton) {
  check(*dialog, IDC_DENSITY_FBP);
  dialog->densityScrollBar()->setFocus();
  QTest::keyClick(dialog->densityScrollBar(), Qt::Key_Left);
  EXPECT_EQ(dialog->densityOffset, 46);
  EXPECT_EQ(dialog->densityScrollBar()->value(), 46);
  EXPECT_EQ(frame(IDC_FBP_IMAGE)->paintCount(), 2);  // the step, then the key's release
}

TEST_F(ReconWindow, ShaftClickStepsByTheLargeStep) {
  check(*dialog, IDC_DENSITY_BP);
  clickBar(QStyle::SC_ScrollBarAddPage);
  EXPECT_EQ(dialog->densityOffset, 70);
  EXPECT_EQ(dialog->densityScrollBar()->value(), 70);
}

TEST_F(ReconWindow, FirstLeftArrowStartsFromTheBarNotFromSeven) {
  check(*dialog, IDC_DENSITY_PROJ);
  clickBar(QStyle::SC_ScrollBarSubLine);
  EXPECT_EQ(dialog->densityOffset, 48);
  EXPECT_TRUE(shows(frame(IDC_PROJ_IMAGE), expect(projectionImage(study(), 0, 48))));
  EXPECT_TRUE(shows(frame(IDC_PREFILTER_IMAGE), expect(smoothedProjection(study(), 0, {}, 48))));
}

TEST_F(ReconWindow, PageRightAtTheEndGoesBeyondTheBarForOneDrawing) {
  check(*dialog, IDC_DENSITY_PROJ);
  dialog->densityScrollBar()->setValue(100);
  dialog->OnHScroll(CDialog1::SB_PAGERIGHT);
  EXPECT_EQ(dialog->densityOffset, 110);
  EXPECT_EQ(dialog->densityScrollBar()->value(), 100);
  EXPECT_TRUE(shows(frame(IDC_PROJ_IMAGE), expect(projectionImage(study(), 0, 110))));
  dialog->OnHScroll(CDialog1::SB_ENDSCROLL);
  EXPECT_EQ(dialog->densityOffset, 100);
  EXPECT_TRUE(shows(frame(IDC_PROJ_IMAGE), expect(projectionImage(study(), 0, 100))));
}

TEST_F(ReconWindow, DensityClampsAndTargets) {
  check(*dialog, IDC_DENSITY_FBP);
  dialog->densityScrollBar()->setValue(3);
  dialog->OnHScroll(CDialog1::SB_PAGELEFT);
  EXPECT_EQ(dialog->densityOffset, 0);
  EXPECT_TRUE(shows(frame(IDC_FBP_IMAGE), expect(filteredBackprojection(study(), 60, ReconFilter::None, 0))));
  EXPECT_FALSE(frame(IDC_BP_IMAGE)->hasPicture());
  check(*dialog, IDC_DENSITY_PRE_FBP);
  dialog->OnHScroll(CDialog1::SB_LINERIGHT);
  EXPECT_EQ(dialog->densityOffset, 4);
  EXPECT_TRUE(shows(frame(IDC_PRE_FBP_IMAGE),
                    expect(prefilteredBackprojection(study(), 60, ReconFilter::None, {}, 4))));
}

TEST_F(ReconWindow, NoTargetNoChange) {
  clickBar(QStyle::SC_ScrollBarAddLine);
  clickBar(QStyle::SC_ScrollBarSubPage);
  EXPECT_EQ(dialog->densityOffset, 7);
  EXPECT_EQ(dialog->densityScrollBar()->value(), 50);
  EXPECT_EQ(frame(IDC_PROJ_IMAGE)->paintCount(), 1);
}

TEST_F(ReconWindow, DraggingTheThumbChangesNothing) {
  check(*dialog, IDC_DENSITY_BP);
  QScrollBar* bar = dialog->densityScrollBar();
  QStyleOptionSlider opt;
  opt.initFrom(bar);
  opt.orientation = Qt::Horizontal;
  opt.maximum = 100;
  opt.sliderPosition = opt.sliderValue = 50;
  opt.pageStep = bar->pageStep();
  const QRect thumb = bar->style()->subControlRect(QStyle::CC_ScrollBar, &opt, QStyle::SC_ScrollBarSlider, bar);
  QTest::mousePress(bar, Qt::LeftButton, {}, thumb.center());
  QTest::mouseMove(bar, thumb.center() + QPoint(30, 0));
  QTest::mouseRelease(bar, Qt::LeftButton, {}, thumb.center() + QPoint(30, 0));
  EXPECT_EQ(dialog->densityOffset, 50);
  EXPECT_EQ(bar->value(), 50);
  EXPECT_GE(frame(IDC_BP_IMAGE)->paintCount(), 1);
}

TEST_F(ReconWindow, ClickPicksTheRowUnderTheCursor) {
  FrameControl* f = frame(IDC_PREFILTER_IMAGE);
  press(*dialog, IDC_SMOOTHING);
  const RgbImage before = uitest::framePicture(f);
  QTest::mouseClick(dialog.get(), Qt::LeftButton, {}, f->geometry().topLeft() + QPoint(30, 40));
  EXPECT_EQ(dialog->sliceLine, 40);
  const RgbImage after = uitest::framePicture(f);
  for (int x = 0; x < 120; ++x) ASSERT_EQ(after[40 * 128 + x], 0xff000000u) << x;
  EXPECT_EQ(after[40 * 128 + 120], before[40 * 128 + 120]);
  EXPECT_EQ(after[39 * 128 + 5], before[39 * 128 + 5]);
  EXPECT_EQ(frame(IDC_BP_IMAGE)->paintCount(), 0);  // a click computes nothing
  press(*dialog, IDC_SHOW_RECON);
  EXPECT_TRUE(shows(frame(IDC_BP_IMAGE), expect(backprojectionImage(study(), 40, 7))));
  EXPECT_TRUE(shows(frame(IDC_FBP_IMAGE), expect(filteredBackprojection(study(), 40, ReconFilter::None, 7))));
}

TEST_F(ReconWindow, ClickOnTheTopRowStoresZeroWithoutALine) {
  FrameControl* f = frame(IDC_PREFILTER_IMAGE);
  QTest::mouseClick(dialog.get(), Qt::LeftButton, {}, f->geometry().topLeft() + QPoint(10, 0));
  EXPECT_EQ(dialog->sliceLine, 0);
  EXPECT_FALSE(f->hasPicture());
  EXPECT_EQ(f->canvas().pixel(5, 0), 0u);
  QTest::mouseClick(dialog.get(), Qt::LeftButton, {}, f->geometry().topLeft() + QPoint(10, 1));
  EXPECT_EQ(dialog->sliceLine, 1);
  EXPECT_EQ(f->canvas().pixel(5, 1), 0xff000000u);
}

TEST_F(ReconWindow, ClickAboveTheFrameReconstructsRowZero) {
  const QPoint above(5, frame(IDC_PREFILTER_IMAGE)->y() - 20);
  QTest::mouseClick(dialog.get(), Qt::LeftButton, {}, above);
  EXPECT_EQ(dialog->sliceLine, -20);
  press(*dialog, IDC_SHOW_RECON);
  EXPECT_TRUE(shows(frame(IDC_BP_IMAGE), expect(backprojectionImage(study(), 0, 7))));
}

TEST_F(ReconWindow, ClickOnAFrameOrTextReachesTheWindow) {
  const QPoint onProjection = frame(IDC_PROJ_IMAGE)->geometry().topLeft() + QPoint(3, 3);
  QTest::mouseClick(dialog.get(), Qt::LeftButton, {}, onProjection);
  EXPECT_EQ(dialog->sliceLine, onProjection.y() - frame(IDC_PREFILTER_IMAGE)->y());
}

TEST_F(ReconWindow, TypedParametersReachTheLastImageOnlyThroughSmoothing) {
  type(*dialog, IDC_BW_ORDER, "8");
  type(*dialog, IDC_BW_CUTOFF, "0.1");
  press(*dialog, IDC_SHOW_RECON);  // not smoothed yet: 1.0 and 1.0
  EXPECT_TRUE(shows(frame(IDC_PRE_FBP_IMAGE),
                    expect(prefilteredBackprojection(study(), 60, ReconFilter::None, {1, 1}, 7))));
  press(*dialog, IDC_SMOOTHING);
  EXPECT_EQ(dialog->bwOrder, 8.0);
  EXPECT_EQ(dialog->bwCutoff, 0.1);
  EXPECT_TRUE(shows(frame(IDC_PREFILTER_IMAGE), expect(smoothedProjection(study(), 0, {8, 0.1}, 7))));
  check(*dialog, IDC_SHEPP_LOGAN);
  press(*dialog, IDC_SHOW_RECON);
  EXPECT_TRUE(shows(frame(IDC_PRE_FBP_IMAGE),
                    expect(prefilteredBackprojection(study(), 60, ReconFilter::SheppLogan, {8, 0.1}, 7))));
  EXPECT_TRUE(shows(frame(IDC_FBP_IMAGE), expect(filteredBackprojection(study(), 60, ReconFilter::SheppLogan, 7))));
  check(*dialog, IDC_RAMP);
  press(*dialog, IDC_SHOW_RECON);
  EXPECT_TRUE(shows(frame(IDC_FBP_IMAGE), expect(filteredBackprojection(study(), 60, ReconFilter::Ramp, 7))));
}

TEST_F(ReconWindow, SmallParametersFallBackTogether) {
  type(*dialog, IDC_BW_ORDER, "0.01");
  type(*dialog, IDC_BW_CUTOFF, "2");
  press(*dialog, IDC_SMOOTHING);
  EXPECT_EQ(dialog->bwOrder, 1.0);
  EXPECT_EQ(dialog->bwCutoff, 1.0);
  EXPECT_EQ(dialog->windowText(IDC_BW_ORDER), QStringLiteral("0.01"));  // the box keeps its text
}

TEST_F(ReconWindow, BlackWhiteShowsAtTheNextDrawingOnly) {
  press(*dialog, IDC_SHOW_RECON);
  const RgbImage ribbon = uitest::framePicture(frame(IDC_BP_IMAGE));
  check(*dialog, IDC_BLACKWHITE);
  EXPECT_EQ(uitest::framePicture(frame(IDC_BP_IMAGE)), ribbon);
  press(*dialog, IDC_SHOW_RECON);
  EXPECT_TRUE(shows(frame(IDC_BP_IMAGE), expect(backprojectionImage(study(), 60, 7), Palette::BlackWhite)));
  EXPECT_TRUE(shows(frame(IDC_PROJ_IMAGE), expect(projectionImage(study(), 0, 7))));  // not redrawn
}

TEST_F(ReconWindow, HostileTextNeverCrashes) {
  const char* texts[] = {"", "abc", "nan", "inf", "1e400", "-0", "0.5", "-5", "1e-320", "0x1p-1074"};
  for (const char* order : texts)
    for (const char* cutoff : {"nan", "0.5", "1e400"}) {
      type(*dialog, IDC_BW_ORDER, order);
      type(*dialog, IDC_BW_CUTOFF, cutoff);
      press(*dialog, IDC_SMOOTHING);
      press(*dialog, IDC_SHOW_RECON);
    }
  EXPECT_TRUE(frame(IDC_PRE_FBP_IMAGE)->hasPicture());
}

TEST_F(ReconWindow, EnterOnAnEditClosesAsOk) {
  dialog->controls().get<QLineEdit>(IDC_BW_ORDER)->setFocus();
  QTest::keyClick(dialog->controls().get<QLineEdit>(IDC_BW_ORDER), Qt::Key_Return);
  EXPECT_FALSE(dialog->isVisible());
  EXPECT_EQ(dialog->result(), QDialog::Accepted);
}

TEST_F(ReconWindow, EnterOnAFocusedButtonClicksIt) {
  auto* next = dialog->controls().get<QPushButton>(IDC_NEXT_ANGLE);
  next->setFocus();
  QTest::keyClick(next, Qt::Key_Return);
  EXPECT_TRUE(dialog->isVisible());
  EXPECT_EQ(dialog->angleIndex, 1);
}

TEST(ReconWindowLife, EachOpeningStartsAfresh) {
  CSinoraDoc doc;
  {
    CDialog1 first(&doc);
    first.show();
    for (int i = 0; i < 3; ++i) first.OnButton1();
    first.densityOffset = 99;
    first.sliceLine = 12;
  }
  CDialog1 second(&doc);
  second.show();
  EXPECT_EQ(second.angleIndex, 0);
  EXPECT_EQ(second.densityOffset, 7);
  EXPECT_EQ(second.sliceLine, 60);
}

}  // namespace
