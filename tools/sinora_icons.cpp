// sinora-icons DIR: writes the program's icon into DIR as the hicolor theme lays it out
// (DIR/NxN/apps/io.github.sinora.Sinora.png), for the installation. A build step, not installed.
#include <QDir>
#include <QGuiApplication>

#include <cstdio>

#include "res/icons.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: sinora-icons DIR\n", stderr);
    return 2;
  }
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
    const QString dir = QString::fromLocal8Bit(argv[1]) + QStringLiteral("/%1x%1/apps").arg(size);
    if (!QDir().mkpath(dir) ||
        !sinora::res::applicationIconImage(size).save(dir + QStringLiteral("/io.github.sinora.Sinora.png"))) {
      std::fprintf(stderr, "sinora-icons: cannot write %s\n", qPrintable(dir));
      return 1;
    }
  }
  return 0;
}
