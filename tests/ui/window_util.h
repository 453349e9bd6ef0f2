#pragma once

#include <QAbstractButton>
#include <QLineEdit>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTest>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "imaging/display.h"
#include "platform/frame_control.h"
#include "platform/template_dialog.h"

namespace uitest {

// The 128 x 128 picture shown at the top left of a frame, as 0xffRRGGBB.
inline sinora::RgbImage framePicture(const sinora::FrameControl* f) {
  sinora::RgbImage out;
  for (int y = 0; y < 128; ++y)
    for (int x = 0; x < 128; ++x) out[y * 128 + x] = f->shownPixel(x, y) | 0xff000000u;
  return out;
}

inline ::testing::AssertionResult shows(const sinora::FrameControl* f, const sinora::RgbImage& want) {
  if (!f->hasPicture()) return ::testing::AssertionFailure() << "the frame shows nothing";
  const sinora::RgbImage got = framePicture(f);
  for (int p = 0; p < sinora::kPixels; ++p)
    if (got[p] != want[p])
      return ::testing::AssertionFailure() << "first different pixel at x " << p % 128 << ", y "
                                           << p / 128 << ": " << std::hex << got[p] << " vs "
                                           << want[p];
  return ::testing::AssertionSuccess();
}

// A real mouse click on a part of a scroll bar (an arrow, the shaft, the thumb).
inline void clickScrollBar(QScrollBar* bar, QStyle::SubControl part) {
  QStyleOptionSlider opt;
  opt.initFrom(bar);
  opt.orientation = Qt::Horizontal;
  opt.minimum = bar->minimum();
  opt.maximum = bar->maximum();
  opt.sliderPosition = bar->sliderPosition();
  opt.sliderValue = bar->value();
  opt.singleStep = bar->singleStep();
  opt.pageStep = bar->pageStep();
  opt.upsideDown = bar->invertedAppearance();
  const QRect r = bar->style()->subControlRect(QStyle::CC_ScrollBar, &opt, part, bar);
  ASSERT_FALSE(r.isEmpty());
  QTest::mouseClick(bar, Qt::LeftButton, {}, r.center());
}

inline void check(sinora::TemplateDialog& d, int id) {
  d.controls().get<QAbstractButton>(id)->click();  // a real click on a radio button
}
inline void type(sinora::TemplateDialog& d, int id, const char* text) {
  d.controls().get<QLineEdit>(id)->setText(QString::fromUtf8(text));
}
inline void press(sinora::TemplateDialog& d, int id) { d.controls().get<QAbstractButton>(id)->click(); }

}  // namespace uitest
