// The recent-file list: up to four studies, most recent first, kept in the settings under
// "Recent File List" as File1..File4 and saved at every change. Paths are the system's bytes; a
// path that is valid UTF-8 is stored as text, any other as a byte array, so it opens again.
#pragma once

#include <QByteArray>
#include <QList>
#include <QStringList>

class QSettings;

class CRecentFileList {
 public:
  CRecentFileList(QSettings* settings, int size = 4);
  // The paths as shown (names that are not UTF-8 with replacement characters).
  QStringList files() const;
  const QList<QByteArray>& nativeFiles() const { return files_; }
  void add(const QByteArray& path);
  void remove(const QByteArray& path);
  void add(const QString& path);
  void remove(const QString& path);

 private:
  void save();
  QSettings* settings_;
  int size_;
  QList<QByteArray> files_;
};
