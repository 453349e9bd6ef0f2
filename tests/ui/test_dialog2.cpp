#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include "imaging/point_source.h"
#include "res/dialogs.h"
#include "res/resource.h"
#include "window_util.h"
#include "windows/Dialog2.h"

using namespace sinora;
using namespace sinora::res;
using uitest::check;
using uitest::press;
using uitest::shows;
using uitest::type;

namespace {

constexpr QRgb kFill = 0xffffffe1;  // (255, 255, 225)
constexpr QRgb kBlue = 0xff0000ff, kRed = 0xffff0000, kBlack = 0xff000000;

class PointSourceWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    dialog = std::make_unique<CDialog2>();
    dialog->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
  }
  QRgb graph(int x, int y) { return dialog->frame(IDC_PROFILE_GRAPH)->canvas().pixel(x, y); }
  int countColour(QRgb colour, int y0, int y1) {
    const QImage& c = dialog->frame(IDC_PROFILE_GRAPH)->canvas();
    int n = 0;
    for (int y = y0; y < y1; ++y)
      for (int x = 0; x < c.width(); ++x) n += c.pixel(x, y) == colour;
    return n;
  }
  bool labelDrawn(int y) {  // dark text pixels left of the axes, around a label's line
    const QImage& c = dialog->frame(IDC_PROFILE_GRAPH)->canvas();
    for (int yy = y; yy < y + 14; ++yy)
      for (int x = 1; x < 48; ++x)
        if (qGray(c.pixel(x, yy)) < 100) return true;
    return false;
  }
  std::unique_ptr<CDialog2> dialog;
};

TEST_F(PointSourceWindow, OpensEmpty) {
  EXPECT_EQ(dialog->controls().radioGroups.size(), 1);
  for (int id : {IDC_RIBBON, IDC_BLACKWHITE}) EXPECT_FALSE(dialog->isChecked(id));
  for (int id : {IDC_BW_ORDER, IDC_BW_CUTOFF, IDC_DEGREES}) EXPECT_TRUE(dialog->windowText(id).isEmpty());
  for (int id : {IDC_PROFILE_GRAPH, IDC_PS_BP_IMAGE, IDC_PS_RAMP_BP_IMAGE, IDC_PS_BW_RAMP_BP_IMAGE})
    EXPECT_FALSE(dialog->frame(id)->hasPicture());
  EXPECT_EQ(dialog->m_title->text(), QString::fromUtf8(kPointSourceTitle));
  EXPECT_EQ(dialog->m_title->palette().color(QPalette::Window), QColor(0, 100, 190));
  EXPECT_EQ(dialog->m_title->palette().color(QPalette::WindowText), QColor(255, 255, 255));
  EXPECT_EQ(dialog->controls().get<QAbstractButton>(IDC_BLACKWHITE)->text(), QStringLiteral("Black-Wthite"));
  EXPECT_EQ(dialog->frame(IDC_PROFILE_GRAPH)->size(), QSize(dluToPixelsX(217), dluToPixelsY(283)));
  check(*dialog, IDC_BLACKWHITE);
  check(*dialog, IDC_RIBBON);
  EXPECT_FALSE(dialog->isChecked(IDC_BLACKWHITE));
}

TEST_F(PointSourceWindow, ProfileGraph) {
  press(*dialog, IDC_BKPROJECTION);
  EXPECT_EQ(graph(10, 120), kFill);
  EXPECT_EQ(graph(50, 70), kBlack);
  EXPECT_EQ(graph(302, 70), kBlack);
  EXPECT_EQ(graph(303, 70), kFill);  // the end point of a line is not drawn
  EXPECT_EQ(graph(100, 210), kBlack);
  EXPECT_EQ(graph(100, 360), kBlack);
  EXPECT_EQ(graph(50, 65), kBlue);   // background 5
  EXPECT_EQ(graph(154, 20), kBlue);  // peak 50 at sample 26
  EXPECT_EQ(graph(194, 20), kBlue);
  EXPECT_EQ(countColour(kBlue, 80, 425), 0);  // nothing on the other axes
  EXPECT_TRUE(labelDrawn(10));
  EXPECT_TRUE(labelDrawn(150));
  EXPECT_TRUE(labelDrawn(270));
}

TEST_F(PointSourceWindow, RampGraph) {
  press(*dialog, IDC_RAMP_BKPROJECTION);
  EXPECT_EQ(graph(154, 151), kBlue);
  EXPECT_EQ(graph(194, 151), kBlue);
  EXPECT_EQ(graph(150, 264), kBlue);
  EXPECT_EQ(graph(198, 264), kBlue);
  EXPECT_EQ(graph(50, 203), kBlue);
  EXPECT_EQ(countColour(kBlue, 100, 150), 0);  // nothing above the peak
  EXPECT_EQ(countColour(kRed, 0, 425), 0);
  EXPECT_TRUE(labelDrawn(270));
}

TEST_F(PointSourceWindow, ButterworthRampGraph) {
  type(*dialog, IDC_BW_ORDER, "2");
  type(*dialog, IDC_BW_CUTOFF, "0.25");
  press(*dialog, IDC_RAMP_BW_BKPROJECTION);
  EXPECT_EQ(graph(154, 335), kRed);
  EXPECT_EQ(graph(194, 335), kRed);
  EXPECT_EQ(graph(150, 380), kRed);
  EXPECT_EQ(graph(198, 380), kRed);
  EXPECT_EQ(graph(154, 151), kBlue);
  type(*dialog, IDC_BW_ORDER, "0.005");
  press(*dialog, IDC_RAMP_BW_BKPROJECTION);
  EXPECT_EQ(countColour(kRed, 0, 425), 0);  // the earlier curve is gone too
  EXPECT_TRUE(dialog->frame(IDC_PS_BW_RAMP_BP_IMAGE)->hasPicture());
}

TEST_F(PointSourceWindow, BackprojectionImages) {
  press(*dialog, IDC_BKPROJECTION);  // step 30
  FrameControl* f = dialog->frame(IDC_PS_BP_IMAGE);
  EXPECT_TRUE(shows(f, render(pointSourceBackprojection(30), Palette::Neither)));
  for (int y : {54, 55, 64, 73, 74}) {
    const QRgb want = (y >= 55 && y <= 73) ? 0xffffffffu : kBlack;
    EXPECT_EQ(f->shownPixel(20, y), want) << y;
  }
  EXPECT_EQ(f->shownPixel(128, 10), 0xffffffffu);  // the white fill beyond the image
  type(*dialog, IDC_DEGREES, "60");
  press(*dialog, IDC_BKPROJECTION);
  EXPECT_TRUE(shows(f, render(pointSourceBackprojection(60), Palette::Neither)));
  EXPECT_EQ(f->shownPixel(100, 60), 0xffffffffu);
  type(*dialog, IDC_DEGREES, "1");
  press(*dialog, IDC_BKPROJECTION);
  EXPECT_TRUE(shows(f, render(pointSourceBackprojection(1), Palette::Neither)));
  EXPECT_EQ(f->shownPixel(64, 64), 0xffffffffu);
}

TEST_F(PointSourceWindow, RampImageWithTwoViews) {
  press(*dialog, IDC_RAMP_BKPROJECTION);
  FrameControl* f = dialog->frame(IDC_PS_RAMP_BP_IMAGE);
  EXPECT_TRUE(shows(f, render(pointSourceRamp(30), Palette::Neither)));
  const Rgb d85 = kRibbonColorTable[85];
  const QRgb at85 = qRgb(d85.r, d85.g, d85.b);
  for (int y : {56, 57, 71, 72}) EXPECT_EQ(f->shownPixel(64, y), at85) << y;
  EXPECT_EQ(f->shownPixel(64, 55), 0xffffffffu);
  EXPECT_EQ(f->shownPixel(64, 64), kBlack);
}

TEST_F(PointSourceWindow, EachPressPaintsOnlyItsOwnFrame) {
  press(*dialog, IDC_BKPROJECTION);
  const int bp = dialog->frame(IDC_PS_BP_IMAGE)->paintCount();
  press(*dialog, IDC_RAMP_BKPROJECTION);
  EXPECT_EQ(dialog->frame(IDC_PS_BP_IMAGE)->paintCount(), bp);
  EXPECT_FALSE(dialog->frame(IDC_PS_BW_RAMP_BP_IMAGE)->hasPicture());
  EXPECT_TRUE(shows(dialog->frame(IDC_PS_BP_IMAGE), render(pointSourceBackprojection(30), Palette::Neither)));
}

TEST_F(PointSourceWindow, OrderZeroEqualsRampAndCutoffZeroIsBlack) {
  press(*dialog, IDC_RAMP_BKPROJECTION);
  press(*dialog, IDC_RAMP_BW_BKPROJECTION);  // empty boxes: order 0
  EXPECT_EQ(uitest::framePicture(dialog->frame(IDC_PS_BW_RAMP_BP_IMAGE)),
            uitest::framePicture(dialog->frame(IDC_PS_RAMP_BP_IMAGE)));
  type(*dialog, IDC_BW_ORDER, "2");
  type(*dialog, IDC_BW_CUTOFF, "0");
  press(*dialog, IDC_RAMP_BW_BKPROJECTION);
  const RgbImage black = uitest::framePicture(dialog->frame(IDC_PS_BW_RAMP_BP_IMAGE));
  for (QRgb p : black) ASSERT_EQ(p, kBlack);
}

TEST_F(PointSourceWindow, BlackWhiteAtTheNextPressOnly) {
  press(*dialog, IDC_BKPROJECTION);
  const RgbImage ribbon = uitest::framePicture(dialog->frame(IDC_PS_BP_IMAGE));
  check(*dialog, IDC_BLACKWHITE);
  EXPECT_EQ(uitest::framePicture(dialog->frame(IDC_PS_BP_IMAGE)), ribbon);
  press(*dialog, IDC_RAMP_BKPROJECTION);
  EXPECT_TRUE(shows(dialog->frame(IDC_PS_RAMP_BP_IMAGE), render(pointSourceRamp(30), Palette::BlackWhite)));
  EXPECT_EQ(dialog->frame(IDC_PS_RAMP_BP_IMAGE)->shownPixel(64, 56), qRgb(85, 85, 85));
}

TEST_F(PointSourceWindow, HostileTextNeverCrashes) {
  const char* texts[] = {"", "abc", "nan", "1e400", "-5", "0.5", "-inf", "0x1p-1074", "99999999999"};
  for (const char* t : texts) {
    for (int box : {IDC_BW_ORDER, IDC_BW_CUTOFF, IDC_DEGREES}) type(*dialog, box, t);
    press(*dialog, IDC_BKPROJECTION);
    press(*dialog, IDC_RAMP_BKPROJECTION);
    press(*dialog, IDC_RAMP_BW_BKPROJECTION);
  }
  type(*dialog, IDC_BW_ORDER, "2");
  type(*dialog, IDC_BW_CUTOFF, "-0.5");
  press(*dialog, IDC_RAMP_BW_BKPROJECTION);
  EXPECT_TRUE(dialog->frame(IDC_PS_BW_RAMP_BP_IMAGE)->hasPicture());
}

TEST_F(PointSourceWindow, EnterAndEscapeClose) {
  dialog->controls().get<QLineEdit>(IDC_DEGREES)->setFocus();
  QTest::keyClick(dialog->controls().get<QLineEdit>(IDC_DEGREES), Qt::Key_Return);
  EXPECT_FALSE(dialog->isVisible());
  dialog->show();
  QTest::keyClick(dialog.get(), Qt::Key_Escape);
  EXPECT_FALSE(dialog->isVisible());
  EXPECT_EQ(dialog->result(), QDialog::Rejected);
}

TEST_F(PointSourceWindow, CancelButtonCloses) {
  press(*dialog, IDCANCEL);
  EXPECT_FALSE(dialog->isVisible());
}

}  // namespace
