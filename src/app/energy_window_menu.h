// The main window's choice of the energy window a study shows: a submenu listing each window of
// the study with its name and range, the one shown now ticked. Choosing one makes the document's
// study that window's counts (windows already open keep the study they opened with), and, for a
// study read from a file, the window that file opens on the next time (the opening dialog's
// remembered way keeps its turn and mirror).
#pragma once

class CSinoraDoc;
class QMenu;
class QSettings;
class QStatusBar;

// Adds the submenu to `menu`; it is filled afresh each time `menu` opens. `status` (may be null)
// says what was chosen; `settings` (may be null) keeps the choice for the file.
void addEnergyWindowMenu(QMenu* menu, CSinoraDoc* doc, QStatusBar* status, QSettings* settings = nullptr);
