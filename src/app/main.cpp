// Sinora: a teaching program for SPECT reconstruction.
#include <QApplication>
#include <QCommandLineParser>
#include <QMessageBox>

#include <cstdio>

#include "app/Sinora.h"
#include "res/icons.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setOrganizationName(QString::fromLatin1(CSinoraApp::kRegistryKey));
  QApplication::setApplicationName(QString::fromLatin1(CSinoraApp::kAppName));
  QApplication::setApplicationVersion(QStringLiteral("1.0.0.1"));
  QApplication::setWindowIcon(sinora::res::applicationIcon());

  QCommandLineParser parser;
  parser.setApplicationDescription(
      QStringLiteral("Sinora: SPECT再構成用教育ソフト (teaching software for SPECT reconstruction).\n"
                     "Without a study file the built-in sample study is used."));
  parser.addHelpOption();
  parser.addVersionOption();
  parser.addPositionalArgument(QStringLiteral("study"),
                               QStringLiteral("A projection study file to open."),
                               QStringLiteral("[study]"));
  parser.process(app);
  const QStringList files = parser.positionalArguments();
  if (files.size() > 1) {
    std::fprintf(stderr, "sinora: only one study file can be given\n");
    return 2;
  }

  CSinoraApp sinora;
  QString error;
  if (!sinora.InitInstance(files.value(0), &error)) {
    std::fprintf(stderr, "sinora: %s\n", error.toLocal8Bit().constData());
    QMessageBox::critical(nullptr, QStringLiteral("Sinora"), error);
    return 1;
  }
  return app.exec();
}
