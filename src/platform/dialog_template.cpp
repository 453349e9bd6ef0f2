#include "platform/dialog_template.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>

#include "platform/frame_control.h"
#include "platform/tr.h"

#include <algorithm>

namespace sinora {

int dluToPixelsX(int dlu) { return (dlu * 7 + 2) / 4; }
int dluToPixelsY(int dlu) { return (dlu * 12 + 4) / 8; }

QRect dluRect(int x, int y, int w, int h) {
  return QRect(dluToPixelsX(x), dluToPixelsY(y), dluToPixelsX(w), dluToPixelsY(h));
}

QFont dialogFont() {
  static const QFont font = [] {
    // IPAPGothic was drawn with the widths of the Windows Gothic faces the dialogs were laid out
    // with, so captions fit their rectangles; Noto covers what it lacks.
    const QStringList substitutes = {QStringLiteral("IPAPGothic"), QStringLiteral("IPA Pゴシック"),
                                     QStringLiteral("Noto Sans CJK JP"),
                                     QStringLiteral("Noto Sans JP"), QStringLiteral("IPAGothic")};
    QFont::insertSubstitutions(QStringLiteral("ＭＳ Ｐゴシック"), substitutes);
    QFont::insertSubstitutions(QStringLiteral("MS PGothic"), substitutes);
    QFont f(QStringLiteral("ＭＳ Ｐゴシック"));
    f.setPixelSize(12);  // 9 points at 96 dots per inch
    f.setStyleHint(QFont::SansSerif);
    return f;
  }();
  return font;
}

GroupBoxControl::GroupBoxControl(const QString& title, QWidget* parent) : QGroupBox(title, parent) {}

QRect GroupBoxControl::frameRect() const {
  return rect().adjusted(0, fontMetrics().height() / 2, 0, 0);
}

QRect GroupBoxControl::titleRect() const {
  if (title().isEmpty()) return {};
  const QFontMetrics fm = fontMetrics();
  const int w = fm.horizontalAdvance(title()) + 4;
  return QRect(6, 0, std::min(w, std::max(0, width() - 12)), fm.height());
}

void GroupBoxControl::paintEvent(QPaintEvent*) {
  QPainter p(this);
  // An etched frame whose top line runs through the middle of the title.
  const QRect f = frameRect();
  p.setPen(palette().color(QPalette::Mid));
  p.drawRect(f.adjusted(0, 0, -2, -2));
  p.setPen(palette().color(QPalette::Light));
  p.drawRect(f.adjusted(1, 1, -1, -1));
  const QRect t = titleRect();
  if (t.isEmpty()) return;
  p.fillRect(t, palette().window());
  p.setPen(palette().color(QPalette::WindowText));
  p.drawText(t, Qt::AlignHCenter | Qt::AlignTop | Qt::TextSingleLine, title());
}

namespace {

Qt::Alignment textAlignment(unsigned style) {
  Qt::Alignment a = (style & kCentreH) ? Qt::AlignHCenter : Qt::AlignLeft;
  a |= (style & kCentreV) ? Qt::AlignVCenter : Qt::AlignTop;
  return a;
}

QWidget* makeControl(QWidget* dialog, const ControlTemplate& c) {
  const QString text = c.text && c.text[0] ? T(c.text) : QString();
  switch (c.kind) {
    case ControlKind::PushButton:
    case ControlKind::DefaultPushButton: {
      auto* b = new QPushButton(text, dialog);
      b->setAutoDefault(false);
      b->setDefault(c.kind == ControlKind::DefaultPushButton);
      return b;
    }
    case ControlKind::BlackFrame:
      return new FrameControl(dialog);
    case ControlKind::GroupBox:
      return new GroupBoxControl(text, dialog);
    case ControlKind::RadioButton: {
      auto* r = new QRadioButton(text, dialog);
      r->setAutoExclusive(false);  // the button group of its radio group decides
      return r;
    }
    case ControlKind::Edit: {
      auto* e = new QLineEdit(dialog);
      e->setFrame(true);
      return e;
    }
    case ControlKind::Text:
    case ControlKind::Icon:
    case ControlKind::Picture: {
      auto* l = new QLabel(text, dialog);
      l->setAlignment(textAlignment(c.style));
      l->setTextFormat(Qt::PlainText);
      return l;
    }
    case ControlKind::HScrollBar: {
      auto* bar = new QScrollBar(Qt::Horizontal, dialog);
      bar->setContextMenuPolicy(Qt::PreventContextMenu);  // a scroll-bar control has no menu
      return bar;
    }
  }
  return nullptr;
}

// Who takes the keyboard focus: tab stops by Tab and by click, other buttons, edit boxes and the
// scroll bar only by click (a control without the tab-stop style is skipped by Tab), texts never.
Qt::FocusPolicy focusPolicy(const ControlTemplate& c) {
  switch (c.kind) {
    case ControlKind::PushButton:
    case ControlKind::DefaultPushButton:
    case ControlKind::RadioButton:
    case ControlKind::Edit:
    case ControlKind::HScrollBar:
      return (c.style & kTabStop) ? Qt::StrongFocus : Qt::ClickFocus;
    default:
      return Qt::NoFocus;
  }
}

// The width a control's caption may take inside its rectangle.
int captionRoom(const ControlTemplate& c, const QStyle* style) {
  const int w = dluToPixelsX(c.w);
  switch (c.kind) {
    case ControlKind::PushButton:
    case ControlKind::DefaultPushButton:
      return w - 2 * (style->pixelMetric(QStyle::PM_DefaultFrameWidth) + 1);
    case ControlKind::RadioButton:
      return w - style->pixelMetric(QStyle::PM_ExclusiveIndicatorWidth) -
             style->pixelMetric(QStyle::PM_RadioButtonLabelSpacing);
    case ControlKind::Text:
      return w;
    case ControlKind::GroupBox:
      return w - 12;
    default:
      return -1;  // no caption to fit
  }
}

}  // namespace

QString captionThatDoesNotFit(const DialogTemplate& tmpl, const QStyle* style, const QFont& font) {
  const QFontMetrics fm(font);
  for (const ControlTemplate& c : tmpl.controls) {
    if (!c.text || !c.text[0]) continue;
    const int room = captionRoom(c, style);
    if (room < 0) continue;
    // The ink, not the advance, is what the rectangle would cut.
    const QString text = T(c.text);
    if (fm.boundingRect(text).right() + 1 > room) return text;
  }
  return {};
}

QFont windowFont(const DialogTemplate& tmpl, const QStyle* style) {
  QFont f = dialogFont();
  for (int px = 12; px >= 9; --px) {
    f.setPixelSize(px);
    if (captionThatDoesNotFit(tmpl, style, f).isEmpty()) break;
  }
  return f;
}

void retranslateDialog(QWidget* dialog, const DialogTemplate& tmpl, const DialogControls& controls) {
  dialog->setFont(windowFont(tmpl, dialog->style()));
  if (tmpl.caption) dialog->setWindowTitle(T(tmpl.caption));
  for (int n = 0; n < controls.inOrder.size() && n < int(tmpl.controls.size()); ++n) {
    const ControlTemplate& c = tmpl.controls[std::size_t(n)];
    if (!c.text || !c.text[0]) continue;
    QWidget* w = controls.inOrder[n];
    const QString text = T(c.text);
    if (auto* b = qobject_cast<QAbstractButton*>(w)) b->setText(text);
    else if (auto* g = qobject_cast<QGroupBox*>(w)) g->setTitle(text);
    else if (auto* l = qobject_cast<QLabel*>(w); l && l->pixmap().isNull()) l->setText(text);
  }
}

DialogControls buildDialog(QWidget* dialog, const DialogTemplate& tmpl) {
  DialogControls out;
  dialog->setFont(windowFont(tmpl, dialog->style()));
  dialog->setFixedSize(dluToPixelsX(tmpl.w), dluToPixelsY(tmpl.h));
  if (tmpl.caption) dialog->setWindowTitle(T(tmpl.caption));
  QButtonGroup* group = nullptr;
  bool groupStarted = true;  // the first control starts a group
  for (const ControlTemplate& c : tmpl.controls) {
    if (c.style & kStartsGroup) groupStarted = true;
    QWidget* w = makeControl(dialog, c);
    // Exactly the template's rectangle; what does not fit is clipped by it.
    w->setGeometry(dluRect(c.x, c.y, c.w, c.h));
    w->setFocusPolicy(focusPolicy(c));
    if (c.id != -1) {
      w->setObjectName(QStringLiteral("control_%1").arg(c.id));
      out.byId.insert(c.id, w);
    }
    out.inOrder.append(w);
    // Group boxes and static texts are transparent to the mouse: a click reaches the window.
    if (c.kind == ControlKind::GroupBox || c.kind == ControlKind::Text) {
      w->setAttribute(Qt::WA_TransparentForMouseEvents);
      if (c.kind == ControlKind::GroupBox) w->lower();
    }
    if (c.kind == ControlKind::RadioButton) {
      if (groupStarted || !group) {
        group = new QButtonGroup(dialog);
        group->setExclusive(true);
        out.radioGroups.append(group);
        groupStarted = false;
      }
      group->addButton(static_cast<QRadioButton*>(w), c.id);
    }
  }
  return out;
}

}  // namespace sinora
