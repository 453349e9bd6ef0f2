// Layout and keyboard of the template windows, checked on the real widgets and on what the whole
// window shows when grabbed (what covers a frame is seen only there).
#include <QApplication>
#include <QContextMenuEvent>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QStyleOptionSlider>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <gtest/gtest.h>

#include "app/AboutDlg.h"
#include "doc/SinoraDoc.h"
#include "platform/dialog_template.h"
#include "res/dialogs.h"
#include "res/resource.h"
#include "view/SinoraView.h"
#include "window_util.h"
#include "windows/Dialog1.h"
#include "windows/Dialog2.h"

using namespace sinora;
using namespace sinora::res;

namespace {

struct NamedTemplate {
  const char* name;
  const DialogTemplate& (*get)();
};

const NamedTemplate kTemplates[] = {
    {"about", aboutBoxTemplate},
    {"title", titleFormTemplate},
    {"recon", reconWindowTemplate},
    {"pointSource", pointSourceWindowTemplate},
};

class EveryTemplate : public ::testing::TestWithParam<NamedTemplate> {};

TEST_P(EveryTemplate, ControlsSitExactlyOnTheirRectanglesWithOneFont) {
  const DialogTemplate& t = GetParam().get();
  QWidget dialog;
  const DialogControls c = buildDialog(&dialog, t);
  ASSERT_EQ(c.inOrder.size(), qsizetype(t.controls.size()));
  const QFontInfo windowFont(dialog.font());
  for (std::size_t n = 0; n < t.controls.size(); ++n) {
    const ControlTemplate& ct = t.controls[n];
    const QWidget* w = c.inOrder[qsizetype(n)];
    EXPECT_EQ(w->geometry(), dluRect(ct.x, ct.y, ct.w, ct.h)) << GetParam().name << " #" << n
                                                               << " " << ct.text;
    EXPECT_EQ(QFontInfo(w->font()).pixelSize(), windowFont.pixelSize()) << ct.text;
    EXPECT_EQ(QFontInfo(w->font()).family(), windowFont.family()) << ct.text;
  }
  // The dialogs' face stands in for the Windows Gothic they were laid out with.
  EXPECT_EQ(windowFont.family(), QStringLiteral("IPAPGothic"));
  EXPECT_GE(windowFont.pixelSize(), 9);
  EXPECT_LE(windowFont.pixelSize(), 12);
}

TEST_P(EveryTemplate, TabStopsComeFromTheTemplate) {
  const DialogTemplate& t = GetParam().get();
  QWidget dialog;
  const DialogControls c = buildDialog(&dialog, t);
  for (std::size_t n = 0; n < t.controls.size(); ++n) {
    const ControlTemplate& ct = t.controls[n];
    const QWidget* w = c.inOrder[qsizetype(n)];
    const bool tabStop = (w->focusPolicy() & Qt::TabFocus) != 0;
    EXPECT_EQ(tabStop, (ct.style & kTabStop) != 0) << GetParam().name << " " << ct.text;
    if (ct.kind == ControlKind::Text || ct.kind == ControlKind::GroupBox)
      EXPECT_EQ(w->focusPolicy(), Qt::NoFocus) << ct.text;
  }
}

INSTANTIATE_TEST_SUITE_P(Dialogs, EveryTemplate, ::testing::ValuesIn(kTemplates),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Layout, GroupBoxTitleSitsOnTheTopLine) {
  QWidget dialog;
  const DialogControls c = buildDialog(&dialog, reconWindowTemplate());
  int boxes = 0;
  for (QWidget* w : c.inOrder) {
    auto* box = qobject_cast<GroupBoxControl*>(w);
    if (!box) continue;
    ++boxes;
    const QRect title = box->titleRect();
    const int line = box->frameRect().top();
    EXPECT_GT(line, title.top()) << box->title().toStdString();
    EXPECT_LT(line, title.bottom()) << box->title().toStdString();
    EXPECT_EQ(box->frameRect().bottom(), box->height() - 1);
  }
  EXPECT_EQ(boxes, 4);
}

// The colour of each frame pixel in a grab of the whole window equals the frame's own picture:
// nothing drawn later (a caption, a neighbour) covers it.
::testing::AssertionResult unobscured(QWidget& window, const QList<FrameControl*>& frames) {
  const QImage shot = window.grab().toImage().convertToFormat(QImage::Format_RGB32);
  for (FrameControl* f : frames) {
    if (!f->hasPicture()) return ::testing::AssertionFailure() << "a frame shows nothing";
    const QPoint at = f->mapTo(&window, QPoint(0, 0));
    const int w = std::min(f->width(), 128), h = std::min(f->height(), 128);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const QRgb want = f->shownPixel(x, y) | 0xff000000u;
        const QRgb got = shot.pixel(at.x() + x, at.y() + y) | 0xff000000u;
        if (want != got)
          return ::testing::AssertionFailure()
                 << "frame " << f->objectName().toStdString() << " pixel (" << x << ", " << y
                 << ") shows " << std::hex << got << " instead of " << want;
      }
  }
  return ::testing::AssertionSuccess();
}

TEST(Layout, PointSourceCaptionsLeaveTheFramesUncovered) {
  CDialog2 d;
  d.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&d));
  for (int id : {IDC_BKPROJECTION, IDC_RAMP_BKPROJECTION, IDC_RAMP_BW_BKPROJECTION})
    uitest::press(d, id);
  EXPECT_TRUE(unobscured(d, {d.frame(IDC_PS_BP_IMAGE), d.frame(IDC_PS_RAMP_BP_IMAGE),
                             d.frame(IDC_PS_BW_RAMP_BP_IMAGE)}));
}

TEST(Layout, ReconstructionWindowCaptionsLeaveTheFramesUncovered) {
  CSinoraDoc doc;
  CDialog1 d(&doc);
  d.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&d));
  uitest::check(d, IDC_RIBBON);
  uitest::check(d, IDC_RAMP);
  uitest::press(d, IDC_SMOOTHING);
  uitest::press(d, IDC_SHOW_RECON);
  EXPECT_TRUE(unobscured(d, {d.frame(IDC_PROJ_IMAGE), d.frame(IDC_PREFILTER_IMAGE),
                             d.frame(IDC_BP_IMAGE), d.frame(IDC_FBP_IMAGE),
                             d.frame(IDC_PRE_FBP_IMAGE)}));
}

TEST(Layout, AClickOnEachRadioButtonChecksThatOne) {
  CDialog2 d2;
  CSinoraDoc doc;
  CDialog1 d1(&doc);
  const struct {
    TemplateDialog* d;
    std::vector<int> ids;
  } cases[] = {
      {&d2, {IDC_RIBBON, IDC_BLACKWHITE}},
      {&d1, {IDC_RIBBON, IDC_BLACKWHITE, IDC_RAMP, IDC_SHEPP_LOGAN, IDC_DENSITY_PROJ,
             IDC_DENSITY_BP, IDC_DENSITY_FBP, IDC_DENSITY_PRE_FBP}},
  };
  for (const auto& c : cases) {
    c.d->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(c.d));
    for (int id : c.ids) {
      QWidget* radio = c.d->GetDlgItem(id);
      // Each point of the button's rectangle belongs to it, the top and bottom rows included.
      for (const QPoint p : {QPoint(4, 0), QPoint(4, radio->height() - 1),
                             QPoint(radio->width() / 2, radio->height() / 2)}) {
        const QPoint inDialog = radio->mapTo(c.d, p);
        QWidget* hit = c.d->childAt(inDialog);
        ASSERT_EQ(hit, radio) << "radio " << id << " at " << p.x() << "," << p.y();
      }
      QTest::mouseClick(radio, Qt::LeftButton, {}, QPoint(6, radio->height() / 2));
      EXPECT_TRUE(c.d->isChecked(id)) << id;
    }
  }
}

TEST(Keyboard, TabVisitsButtonsAndEditsOnly) {
  CSinoraDoc doc;
  CDialog1 d(&doc);
  d.show();
  d.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&d));
  d.GetDlgItem(IDOK)->setFocus();
  QList<QWidget*> seen;
  for (int n = 0; n < 20; ++n) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    seen << QApplication::focusWidget();
  }
  for (QWidget* w : seen) {
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(qobject_cast<QPushButton*>(w) || qobject_cast<QLineEdit*>(w))
        << w->metaObject()->className();
  }
  // Every tab stop of the window is reached.
  EXPECT_TRUE(seen.contains(d.GetDlgItem(IDC_BW_ORDER)));
  EXPECT_TRUE(seen.contains(d.GetDlgItem(IDC_SHOW_RECON)));
  // Space on the focused control never checks "Ribbon".
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
  EXPECT_FALSE(d.isChecked(IDC_RIBBON));
}

class DensityBarKeys : public ::testing::Test {
 protected:
  void SetUp() override {
    d = std::make_unique<CDialog1>(&doc);
    d->show();
    d->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(d.get()));
    uitest::check(*d, IDC_DENSITY_BP);
    bar = d->densityScrollBar();
  }
  void clickRightArrow() { uitest::clickScrollBar(bar, QStyle::SC_ScrollBarAddLine); }
  CSinoraDoc doc;
  std::unique_ptr<CDialog1> d;
  QScrollBar* bar = nullptr;
};

TEST_F(DensityBarKeys, AClickGivesTheBarTheFocusAndKeysThenStepIt) {
  d->GetDlgItem(IDOK)->setFocus();
  clickRightArrow();  // 50 + 4
  EXPECT_TRUE(bar->hasFocus());
  EXPECT_EQ(d->densityOffset, 54);
  const struct {
    Qt::Key key;
    int want;
  } steps[] = {
      {Qt::Key_Left, 50}, {Qt::Key_Right, 54}, {Qt::Key_PageUp, 34}, {Qt::Key_PageDown, 54},
  };
  for (const auto& s : steps) {
    QTest::keyClick(QApplication::focusWidget(), s.key);
    EXPECT_EQ(d->densityOffset, s.want) << s.key;
    EXPECT_EQ(bar->value(), s.want) << s.key;
  }
}

TEST_F(DensityBarKeys, NoContextMenuMovesTheBar) {
  const int before = bar->value();
  // Were a menu to open it would block; close anything that pops up.
  QTimer::singleShot(300, [] {
    if (QWidget* popup = QApplication::activePopupWidget()) popup->close();
  });
  bool popped = false;
  QTimer::singleShot(100, [&] { popped = QApplication::activePopupWidget() != nullptr; });
  QContextMenuEvent menu(QContextMenuEvent::Mouse, QPoint(5, 3), bar->mapToGlobal(QPoint(5, 3)));
  QApplication::sendEvent(bar, &menu);
  QTest::qWait(150);
  EXPECT_FALSE(popped);
  EXPECT_EQ(bar->value(), before);
  EXPECT_EQ(bar->contextMenuPolicy(), Qt::PreventContextMenu);
}

TEST(Captions, PointSourceWindowShowsNoName) {
  CDialog2 d;
  d.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&d));
  EXPECT_TRUE(d.windowTitle().isEmpty());
  // The window system replaces an empty title by the program's name; a blank one it shows as is.
  ASSERT_NE(d.windowHandle(), nullptr);
  EXPECT_FALSE(d.windowHandle()->title().isEmpty());
  EXPECT_TRUE(d.windowHandle()->title().trimmed().isEmpty());
  CSinoraDoc doc;
  CDialog1 d1(&doc);
  d1.show();
  EXPECT_EQ(d1.windowHandle()->title(), QStringLiteral("ﾞ"));
}

TEST(Scale, IconsAreDrawnForTheScreensPixels) {
  CAboutDlg about;
  auto* icon = about.findChild<QLabel*>(QStringLiteral("control_%1").arg(IDR_MAINFRAME));
  ASSERT_NE(icon, nullptr);
  EXPECT_EQ(icon->pixmap().size(), QSize(32, 32) * icon->devicePixelRatioF());
}

}  // namespace
