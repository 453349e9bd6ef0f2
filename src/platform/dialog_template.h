// Dialog resources as data: each window is a table of controls (id, kind, text, style, and x, y,
// w, h in dialog units), built into widgets by buildDialog. Dialog units become pixels with the
// base units 7 x 12 of the dialogs' 9-point font: x px = dlu * 7 / 4, y px = dlu * 12 / 8,
// rounded, so a 73 x 85 frame is 128 x 128 pixels. A radio group runs from a control that starts a
// group to the next such control, in table order.
#pragma once

#include <QFont>
#include <QHash>
#include <QList>
#include <QRect>
#include <QString>

#include <vector>

class QButtonGroup;
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

// The dialogs' font: 9-point "ＭＳ Ｐゴシック", or an installed Japanese Gothic in its place.
QFont dialogFont();

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

// Creates the controls of a template as children of `dialog` and sizes the dialog's client area.
DialogControls buildDialog(QWidget* dialog, const DialogTemplate& tmpl);

}  // namespace sinora
