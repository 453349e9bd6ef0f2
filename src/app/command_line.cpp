#include "app/command_line.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <cstring>

#include "app/Sinora.h"
#include "app/language.h"

namespace sinora {

namespace {

const char kHelp[] =
    "Usage: sinora [options] [study]\n"
    "Sinora: SPECT再構成用教育ソフト (teaching software for SPECT reconstruction).\n"
    "Without a study file the built-in sample study is used.\n"
    "\n"
    "Options:\n"
    "  -h, --help     Displays help on commandline options.\n"
    "  -v, --version  Displays version information.\n"
    "  --lang ja|en   The interface's language for this run (Japanese by default).\n"
    "\n"
    "Arguments:\n"
    "  study          A projection study file to open.\n";

// Qt's own switches that QApplication reads itself, with the number of values they take.
int qtOptionValues(const char* a) {
  static const char* const withValue[] = {"-platform", "-platformpluginpath", "-platformtheme",
                                          "-plugin", "-qmljsdebugger", "-qwindowgeometry",
                                          "-qwindowtitle", "-qwindowicon", "-display", "-geometry",
                                          "-style", "-stylesheet", "-session", "-name", "-title"};
  static const char* const flags[] = {"-reverse", "-widgetcount", "-nograb", "-dograb", "-sync",
                                      "-testability"};
  for (const char* w : withValue)
    if (std::strcmp(a, w) == 0 || (a[0] == '-' && a[1] == '-' && std::strcmp(a + 1, w) == 0))
      return 1;
  for (const char* f : flags)
    if (std::strcmp(a, f) == 0) return 0;
  return -1;
}

CommandLine usage(const QByteArray& why) {
  CommandLine c;
  c.exitNow = true;
  c.exitStatus = 2;
  c.output = "sinora: " + why + "\nTry 'sinora --help'.\n";
  return c;
}

}  // namespace

CommandLine parseCommandLine(int argc, const char* const* argv) {
  CommandLine c;
  bool haveStudy = false;
  bool onlyFiles = false;
  for (int i = 1; i < argc; ++i) {
    const char* a = argv[i];
    if (!onlyFiles && a[0] == '-' && a[1] != '\0') {
      if (std::strcmp(a, "--") == 0) {
        onlyFiles = true;
        continue;
      }
      if (std::strcmp(a, "-h") == 0 || std::strcmp(a, "--help") == 0 ||
          std::strcmp(a, "-?") == 0) {
        c.exitNow = true;
        c.output = kHelp;
        return c;
      }
      if (std::strcmp(a, "-v") == 0 || std::strcmp(a, "--version") == 0) {
        c.exitNow = true;
        c.output = QByteArray(CSinoraApp::kAppName) + " " + CSinoraApp::kVersion + "\n";
        return c;
      }
      if (std::strcmp(a, "--lang") == 0 || std::strncmp(a, "--lang=", 7) == 0) {
        const char* v = a[6] == '=' ? a + 7 : (i + 1 < argc ? argv[++i] : "");
        if (std::strcmp(v, "ja") == 0) c.language = 1;
        else if (std::strcmp(v, "en") == 0) c.language = 2;
        else return usage("--lang takes ja or en");
        continue;
      }
      const int values = qtOptionValues(a);
      if (values < 0) return usage(QByteArray("unknown option ") + a);
      if (values == 1 && (i + 1 >= argc || argv[i + 1][0] == '-'))
        return usage(QByteArray("the option ") + a + " needs a value");
      i += values;
      continue;
    }
    if (haveStudy) return usage("only one study file can be given");
    if (a[0] == '\0') return usage("an empty study file name was given");
    c.study = a;
    haveStudy = true;
  }
  return c;
}

void setApplicationNames() {
  QCoreApplication::setOrganizationName(QString::fromLatin1(CSinoraApp::kRegistryKey));
  QCoreApplication::setApplicationName(QString::fromLatin1(CSinoraApp::kAppName));
  QCoreApplication::setApplicationVersion(QString::fromLatin1(CSinoraApp::kVersion));
}

void installTranslations(QApplication&) { setLanguage(Language::Japanese); }

}  // namespace sinora
