// sinora-render's lesson commands: --list-lessons, and --lesson ID|FILE --check [--lang ja|en].
#pragma once

#include <string>
#include <vector>

// True when the arguments ask for a lesson command; `status` is then the exit status (0 all
// right, 1 a step failed, 2 a usage error, 77 skipped: the lesson's data is absent).
bool runLessonCommand(const std::vector<std::string>& args, int& status);
