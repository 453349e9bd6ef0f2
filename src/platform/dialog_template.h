// Dialog resources as data: each window is a table of controls (id, kind, text, style, and x, y,
// w, h in dialog units), built into widgets by buildDialog. Dialog units become pixels with the
// base units 7 x 12 of the dialogs' 9-point font: x px = dlu * 7 / 4, y px = dlu * 12 / 8,
// rounded, so a 73 x 85 frame is 128 x 128 pixels. A radio group runs from a control that starts a
// group to the next such control, in table order.
#pragma once

#include <QFont>
#include <QGroupBox>
#include <QHash>
#include <QList>
#include <QRect>
#include <QString>

#include <vector>

class QButtonGroup;
class QStyle;
class QWidget;

namespace sinora {

enum class ControlKind {
  PushButton,
  DefaultPushButton,
  BlackFrame,
  GroupBox,
  RadioButton,
  Edit,
  Text,
  HScrollBar,
  Icon,
  Picture,
};

enum ControlStyle : unsigned {
  kNoStyle = 0,
  kStartsGroup = 1u << 0,
  kCentreH = 1u << 1,  // text centred across
  kCentreV = 1u << 2,  // text centred down
  kTabStop = 1u << 3,
};

struct ControlTemplate {
  int id;  // -1 for controls the code never asks for
  ControlKind kind;
  const char* text;  // UTF-8
  unsigned style;
  int x, y, w, h;  // dialog units
};

struct DialogTemplate {
  int id;
  const char* caption;  // UTF-8
  int w, h;             // dialog units
  std::vector<ControlTemplate> controls;
};

int dluToPixelsX(int dlu);
int dluToPixelsY(int dlu);
QRect dluRect(int x, int y, int w, int h);

// The dialogs' font: 12-pixel "ＭＳ Ｐゴシック", substituted by IPAPGothic (drawn with its widths),
// then by Noto Sans CJK. One font for every control of a window.
QFont dialogFont();

// The font of one window: the dialog font at the largest size from 12 down to 9 pixels at which
// every caption of the template fits its control (this machine's faces are wider than the ones the
// dialogs were laid out with); the captions that still do not fit are clipped.
// The captions are measured as shown, in the language chosen now.
QFont windowFont(const DialogTemplate& tmpl, const QStyle* style);

// A group box as the dialogs draw it: an etched frame over the whole rectangle whose top line runs
// through the middle of the title, and no space taken above it.
class GroupBoxControl : public QGroupBox {
  Q_OBJECT
 public:
  GroupBoxControl(const QString& title, QWidget* parent);
  QRect frameRect() const;  // the frame's outer edge, in the box's coordinates
  QRect titleRect() const;  // where the title is written over the top line

 protected:
  void paintEvent(QPaintEvent* event) override;
};

// What buildDialog made: the widgets by id (ids other than -1), every widget in table order, and
// one exclusive button group per radio group.
struct DialogControls {
  QHash<int, QWidget*> byId;
  QList<QWidget*> inOrder;
  QList<QButtonGroup*> radioGroups;
  template <typename T>
  T* get(int id) const {
    return qobject_cast<T*>(byId.value(id));
  }
};

// Creates the controls of a template as children of `dialog`, each exactly at its dialog-unit
// rectangle with the dialog's one font, and sizes the dialog's client area. Controls with the
// tab-stop style are Tab stops; other buttons, edits and scroll bars take the focus only by click.
DialogControls buildDialog(QWidget* dialog, const DialogTemplate& tmpl);

// Captions and the window's font again, in the language chosen now (for a window that stays
// open while the language changes); no control moves.
void retranslateDialog(QWidget* dialog, const DialogTemplate& tmpl, const DialogControls& controls);

// The first caption (translated) whose ink would pass its control's rectangle in `font`; empty
// when all fit.
QString captionThatDoesNotFit(const DialogTemplate& tmpl, const QStyle* style, const QFont& font);

}  // namespace sinora
