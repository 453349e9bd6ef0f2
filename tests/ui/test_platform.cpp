#include <QButtonGroup>
#include <QDialog>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QTest>

#include <gtest/gtest.h>

#include "platform/dialog_template.h"
#include "platform/frame_control.h"
#include "platform/line.h"

using namespace sinora;

namespace {

TEST(DialogUnits, BaseUnitsSevenByTwelve) {
  EXPECT_EQ(dluRect(0, 0, 73, 85).size(), QSize(128, 128));
  EXPECT_EQ(dluRect(0, 0, 74, 86).size(), QSize(130, 129));
  EXPECT_EQ(dluRect(29, 43, 1, 1).topLeft(), QPoint(51, 65));  // 50.75 and 64.5 rounded
  EXPECT_EQ(dluToPixelsX(4), 7);
  EXPECT_EQ(dluToPixelsY(8), 12);
  EXPECT_EQ(dluToPixelsX(0), 0);
}

TEST(DialogBuilder, RadioGroupsFollowTheGroupFlags) {
  const DialogTemplate t{1, "t", 200, 100,
                         {
                             {10, ControlKind::RadioButton, "a", kNoStyle, 0, 0, 30, 10},
                             {11, ControlKind::RadioButton, "b", kNoStyle, 0, 10, 30, 10},
                             {-1, ControlKind::GroupBox, "box", kNoStyle, 0, 0, 60, 40},
                             {12, ControlKind::RadioButton, "c", kNoStyle, 0, 20, 30, 10},
                             {-1, ControlKind::Text, "x", kStartsGroup, 40, 0, 30, 10},
                             {13, ControlKind::RadioButton, "d", kNoStyle, 40, 10, 30, 10},
                             {14, ControlKind::RadioButton, "e", kNoStyle, 40, 20, 30, 10},
                         }};
  QDialog d;
  const DialogControls c = buildDialog(&d, t);
  ASSERT_EQ(c.radioGroups.size(), 2);
  EXPECT_EQ(c.radioGroups[0]->buttons().size(), 3);  // a, b and c: the box starts no group
  EXPECT_EQ(c.radioGroups[1]->buttons().size(), 2);
  EXPECT_EQ(c.inOrder.size(), 7);
  EXPECT_EQ(d.size(), QSize(350, 150));
  for (int id : {10, 11, 12, 13, 14}) EXPECT_FALSE(c.get<QRadioButton>(id)->isChecked());
  c.get<QRadioButton>(10)->click();
  c.get<QRadioButton>(13)->click();
  c.get<QRadioButton>(12)->click();
  EXPECT_FALSE(c.get<QRadioButton>(10)->isChecked());
  EXPECT_TRUE(c.get<QRadioButton>(13)->isChecked());
  // A click on a radio button inside a group box reaches the button, not the box.
  d.show();
  QTest::mouseClick(c.get<QRadioButton>(11), Qt::LeftButton, {}, QPoint(5, 5));
  EXPECT_TRUE(c.get<QRadioButton>(11)->isChecked());
}

TEST(DialogFont, IsAJapaneseGothic) {
  const QFont f = dialogFont();
  EXPECT_EQ(f.pixelSize(), 12);
  EXPECT_TRUE(f.families().contains(QStringLiteral("ＭＳ Ｐゴシック")));
  // Japanese text does not fall back to boxes: the font in use has the glyphs.
  EXPECT_TRUE(QFontMetrics(f).inFont(QChar(0x518D)));  // 再
}

TEST(FrameControl, KeepsItsPictureAndLetsClicksThrough) {
  QWidget window;
  window.resize(300, 300);
  FrameControl frame(&window);
  frame.setGeometry(10, 10, 130, 129);
  window.show();
  EXPECT_TRUE(frame.testAttribute(Qt::WA_TransparentForMouseEvents));
  EXPECT_FALSE(frame.hasPicture());
  EXPECT_EQ(frame.shownPixel(0, 0), qRgb(0, 0, 0));  // its own black edge
  EXPECT_EQ(frame.shownPixel(5, 5), 0u);
  QImage red(128, 128, QImage::Format_RGB32);
  red.fill(qRgb(255, 0, 0));
  frame.paintPicture(red);
  frame.hide();
  frame.show();
  frame.repaint();
  EXPECT_EQ(frame.shownPixel(0, 0), qRgb(255, 0, 0));
  EXPECT_EQ(frame.shownPixel(127, 127), qRgb(255, 0, 0));
  EXPECT_EQ(frame.shownPixel(129, 50), qRgb(0, 0, 0));  // beyond the picture: the edge
  const QImage shown = frame.grab().toImage();
  EXPECT_EQ(shown.pixel(64, 64) | 0xff000000u, qRgb(255, 0, 0));
  EXPECT_EQ(frame.paintCount(), 1);
}

TEST(LineTo, LeavesOutTheEndPoint) {
  QImage img(20, 20, QImage::Format_RGB32);
  img.fill(Qt::white);
  drawLineTo(img, 2, 5, 10, 5, qRgb(0, 0, 0));
  EXPECT_EQ(img.pixel(2, 5), qRgb(0, 0, 0));
  EXPECT_EQ(img.pixel(9, 5), qRgb(0, 0, 0));
  EXPECT_EQ(img.pixel(10, 5), qRgb(255, 255, 255));
  drawLineTo(img, 3, 3, 3, 3, qRgb(0, 0, 0));  // an empty line draws nothing
  EXPECT_EQ(img.pixel(3, 3), qRgb(255, 255, 255));
  drawLineTo(img, 0, 0, 6, 12, qRgb(0, 0, 255));  // a steep line has one pixel per row
  for (int y = 0; y < 12; ++y) {
    int n = 0;
    for (int x = 0; x < 20; ++x) n += img.pixel(x, y) == qRgb(0, 0, 255);
    EXPECT_EQ(n, 1) << y;
  }
  drawLineTo(img, -2147483647, 5, 2147483647, 5, qRgb(255, 0, 0));  // far away: clipped, quick
  EXPECT_EQ(img.pixel(19, 5), qRgb(255, 0, 0));
}

}  // namespace
