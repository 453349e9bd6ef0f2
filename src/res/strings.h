// The string table: texts the shell shows, by identifier. Prompts hold "status text\ntool tip".
#pragma once

#include <QString>

namespace sinora::res {

// The text of string `id`, or an empty string when there is none.
QString loadString(int id);
// The part of a prompt shown in the status bar, and the part shown as a tool tip.
QString statusPrompt(int id);
QString toolTipPrompt(int id);

}  // namespace sinora::res
