#include "platform/dialog_template.h"

#include <QButtonGroup>

#include <algorithm>
#include <QFontDatabase>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>

#include "platform/frame_control.h"

namespace sinora {

int dluToPixelsX(int dlu) { return (dlu * 7 + 2) / 4; }
int dluToPixelsY(int dlu) { return (dlu * 12 + 4) / 8; }

QRect dluRect(int x, int y, int w, int h) {
  return QRect(dluToPixelsX(x), dluToPixelsY(y), dluToPixelsX(w), dluToPixelsY(h));
}

QFont dialogFont() {
  static const QFont font = [] {
    QFont f;
    QStringList families = {QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("MS PGothic")};
    // Installed Japanese Gothic faces, best first.
    const QStringList installed = QFontDatabase::families();
    for (const char* name : {"Noto Sans CJK JP", "Noto Sans JP", "IPAPGothic", "IPAGothic",
                             "VL PGothic", "TakaoPGothic", "Noto Sans CJK"}) {
      const QString n = QString::fromUtf8(name);
      if (installed.contains(n)) families << n;
    }
    f.setFamilies(families);
    f.setPixelSize(12);  // 9 points at 96 dots per inch
    f.setStyleHint(QFont::SansSerif);
    return f;
  }();
  return font;
}

namespace {

Qt::Alignment textAlignment(unsigned style) {
  Qt::Alignment a = (style & kCentreH) ? Qt::AlignHCenter : Qt::AlignLeft;
  a |= (style & kCentreV) ? Qt::AlignVCenter : Qt::AlignTop;
  return a;
}

QWidget* makeControl(QWidget* dialog, const ControlTemplate& c) {
  const QString text = QString::fromUtf8(c.text ? c.text : "");
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
      return new QGroupBox(text, dialog);
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
    case ControlKind::HScrollBar:
      return new QScrollBar(Qt::Horizontal, dialog);
  }
  return nullptr;
}

// A text or radio button whose text is wider than its place on this machine's font first takes a
// slightly smaller font, then grows: centred ones about their centre, others to the right (never
// past the dialog's edge); too short ones grow downwards (radio buttons about their middle).
QRect fitted(const ControlTemplate& c, QWidget* w, QRect r, int dialogWidth) {
  if (c.kind == ControlKind::PushButton || c.kind == ControlKind::DefaultPushButton) {
    // Buttons keep their size; a long caption takes a smaller font instead.
    const QString text = QString::fromUtf8(c.text);
    for (int px = 11; px >= 9 && QFontMetrics(w->font()).horizontalAdvance(text) + 8 > r.width(); --px) {
      QFont f = w->font();
      f.setPixelSize(px);
      w->setFont(f);
    }
    return r;
  }
  if (c.kind != ControlKind::Text && c.kind != ControlKind::RadioButton) return r;
  if (c.text == nullptr || c.text[0] == '\0') return r;
  for (int px = 11; px >= 10 && w->sizeHint().width() > r.width(); --px) {
    QFont f = w->font();
    f.setPixelSize(px);
    w->setFont(f);
  }
  const QSize hint = w->sizeHint();
  if (hint.width() > r.width()) {
    const int grow = hint.width() - r.width();
    if (c.style & kCentreH) r.adjust(-grow / 2, 0, grow - grow / 2, 0);
    else r.setWidth(std::min(hint.width(), dialogWidth - r.left()));
  }
  if (hint.height() > r.height()) {
    const int grow = hint.height() - r.height();
    if ((c.style & kCentreV) || c.kind == ControlKind::RadioButton)
      r.adjust(0, -grow / 2, 0, grow - grow / 2);
    else r.setHeight(hint.height());
  }
  return r;
}

}  // namespace

DialogControls buildDialog(QWidget* dialog, const DialogTemplate& tmpl) {
  DialogControls out;
  dialog->setFont(dialogFont());
  dialog->setFixedSize(dluToPixelsX(tmpl.w), dluToPixelsY(tmpl.h));
  if (tmpl.caption) dialog->setWindowTitle(QString::fromUtf8(tmpl.caption));
  QButtonGroup* group = nullptr;
  bool groupStarted = true;  // the first control starts a group
  for (const ControlTemplate& c : tmpl.controls) {
    if (c.style & kStartsGroup) groupStarted = true;
    QWidget* w = makeControl(dialog, c);
    w->setFont(dialogFont());
    w->setGeometry(fitted(c, w, dluRect(c.x, c.y, c.w, c.h), dluToPixelsX(tmpl.w)));
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
