// Sinora: a teaching program for SPECT reconstruction.
#include <QApplication>
#include <QCommandLineParser>
#include <QFile>
#include <QGuiApplication>
#include <QMessageBox>

#include <cstdio>

#include "app/Sinora.h"
#include "app/command_line.h"
#include "app/language.h"
#include "imaging/big_pages.h"
#include "platform/tr.h"
#include "res/icons.h"

int main(int argc, char** argv) {
  // The command line is read before any window system is asked for, so that --help and
  // --version work without a display and a usage error needs none either.
  const sinora::CommandLine cmd = sinora::parseCommandLine(argc, argv);
  if (cmd.exitNow) {
    std::fputs(cmd.output.constData(), cmd.exitStatus == 0 ? stdout : stderr);
    return cmd.exitStatus;
  }

  sinora::keepFreedMemory();
  QApplication app(argc, argv);
  sinora::setApplicationNames();
  QApplication::setWindowIcon(sinora::res::applicationIcon());
  sinora::installTranslations(app);

  CSinoraApp sinora;
  // The language chosen in the menu last time, unless the command line names one for this run.
  sinora::setLanguage(cmd.language == 0 ? sinora::rememberedLanguage(sinora.settings())
                      : cmd.language == 2 ? sinora::Language::English : sinora::Language::Japanese);
  QString error;
  if (!sinora.InitInstance(cmd.study, &error)) {
    // The terminal hears it in English, as from the other tools; the box in the chosen language.
    std::fprintf(stderr, "sinora: %s\n", sinora::TE(error).toLocal8Bit().constData());
    // Where no one can see a message box, nobody could close it either.
    const QString platform = QGuiApplication::platformName();
    if (platform != QLatin1String("offscreen") && platform != QLatin1String("minimal"))
      QMessageBox::critical(nullptr, QStringLiteral("Sinora"), error);
    return 1;
  }
  return app.exec();
}
