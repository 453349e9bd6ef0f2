#include "platform/safe_file.h"

#include <QBuffer>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

#include "imaging/study.h"
#include "platform/tr.h"

namespace sinora {

namespace {

thread_local QString lastError;

bool fail(QString* error, const QString& why) {
  lastError = why;
  if (error) *error = why;
  return false;
}

// Writes through QSaveFile, checking what its commit does not: a failed write or flush (Qt 6.4
// commits after a flush that failed, leaving a short file).
bool saveWhole(const QString& path, const QByteArray& bytes, QString* error) {
  QSaveFile f(path);
  f.setDirectWriteFallback(false);
  if (!f.open(QIODevice::WriteOnly)) return fail(error, f.errorString());
  if (f.write(bytes) != bytes.size() || !f.flush() || f.error() != QFileDevice::NoError) {
    const QString why = f.errorString();
    f.cancelWriting();
    f.commit();  // removes the temporary file
    return fail(error, why);
  }
  if (!f.commit()) return fail(error, f.errorString());
  return true;
}

}  // namespace

bool writeFileSafely(const QString& path, const QByteArray& bytes, QString* error) {
  const QByteArray local = QFile::encodeName(path);
  struct stat st {};
  if (::lstat(local.constData(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) return fail(error, T("フォルダです"));
    if (S_ISLNK(st.st_mode)) {
      // The link is replaced: the file is saved under a new name beside it and renamed over it.
      const QFileInfo info(path);
      QString temp;
      for (int n = 0; n < 100; ++n) {
        temp = info.absolutePath() + QStringLiteral("/.") + info.fileName() +
               QStringLiteral(".%1.%2").arg(::getpid()).arg(n);
        struct stat other {};
        if (::lstat(QFile::encodeName(temp).constData(), &other) != 0) break;
      }
      if (!saveWhole(temp, bytes, error)) return false;
      if (std::rename(QFile::encodeName(temp).constData(), local.constData()) != 0) {
        const int e = errno;
        ::unlink(QFile::encodeName(temp).constData());
        return fail(error, TM(systemReason(e)));
      }
      return true;
    }
    if (!S_ISREG(st.st_mode)) return fail(error, T("通常のファイルではありません（パイプ、ソケットまたはデバイス）"));
  }
  return saveWhole(path, bytes, error);
}

bool writePngSafely(const QString& path, const QImage& image, QString* error) {
  QByteArray png;
  QBuffer buffer(&png);
  if (image.isNull() || !buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "PNG"))
    return fail(error, T("PNG に変換できません"));
  return writeFileSafely(path, png, error);
}

QString lastWriteError() { return lastError; }

}  // namespace sinora
