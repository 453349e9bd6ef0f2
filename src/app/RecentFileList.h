// The recent-file list: up to four studies, most recent first, kept in the settings under
// "Recent File List" as File1..File4 and saved at every change.
#pragma once

#include <QStringList>

class QSettings;

class CRecentFileList {
 public:
  CRecentFileList(QSettings* settings, int size = 4);
  const QStringList& files() const { return files_; }
  void add(const QString& path);
  void remove(const QString& path);

 private:
  void save();
  QSettings* settings_;
  int size_;
  QStringList files_;
};
