// Icons drawn in code: the 16 x 15 toolbar buttons and the program's icon.
#pragma once

#include <QIcon>
#include <QPixmap>

namespace sinora::res {

// The toolbar picture of a command (New, Open, Save, Cut, Copy, Paste, Print, About).
QPixmap toolbarPixmap(int commandId);
// The main icon (32 x 32 and 16 x 16): a Ribbon-coloured slice.
QIcon applicationIcon();

}  // namespace sinora::res
