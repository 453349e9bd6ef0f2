// Sinora's command line, read from the raw arguments before the application object exists:
// --help and --version print and end at once, a usage error ends with status 2, and the study's
// name is kept as the bytes the system gave (a name that is not UTF-8 still opens).
#pragma once

#include <QByteArray>

class QApplication;

namespace sinora {

struct CommandLine {
  QByteArray study;         // the study file named, as raw bytes; empty for none
  bool exitNow = false;     // help, version or a usage error: print `output` and end
  int exitStatus = 0;       // 0 for help and version, 2 for a usage error
  QByteArray output;        // what to print (stdout for status 0, stderr otherwise)
  int language = 0;         // --lang: 0 not given (the remembered one), 1 ja, 2 en
};

CommandLine parseCommandLine(int argc, const char* const* argv);

// Organisation, application name and version, as the settings and --version use them.
void setApplicationNames();

// Japanese, the program's language, for its texts and Qt's own dialogs (file, print, message
// boxes), whatever the system's locale.
void installTranslations(QApplication& app);

}  // namespace sinora
