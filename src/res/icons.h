// Icons drawn in code: the 16 x 15 toolbar buttons and the program's icon.
#pragma once

#include <QIcon>
#include <QImage>
#include <QPixmap>

namespace sinora::res {

// The toolbar picture of a command (New, Open, Save, Cut, Copy, Paste, Print, About).
// `scale` is the device pixel ratio it is drawn for (the pixmap has 16 x 15 logical pixels).
QPixmap toolbarPixmap(int commandId, int scale = 1);
// The toolbar pictures of a command for scales 1, 2 and 3.
QIcon toolbarIcon(int commandId);
// The main icon (16 to 96 pixels, for scaled screens too): a Ribbon-coloured slice.
QIcon applicationIcon();
// The same picture at any size (the desktop's icon theme takes 16 to 256 pixels).
QImage applicationIconImage(int size);

}  // namespace sinora::res
