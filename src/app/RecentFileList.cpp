#include "app/RecentFileList.h"

#include <QFile>
#include <QSettings>

namespace {
const char kSection[] = "Recent File List";
}

CRecentFileList::CRecentFileList(QSettings* settings, int size) : settings_(settings), size_(size) {
  settings_->beginGroup(QLatin1String(kSection));
  for (int i = 1; i <= size_; ++i) {
    const QVariant v = settings_->value(QStringLiteral("File%1").arg(i));
    const QByteArray path = v.typeId() == QMetaType::QByteArray ? v.toByteArray()
                                                                : QFile::encodeName(v.toString());
    if (!path.isEmpty() && !files_.contains(path)) files_.append(path);
  }
  settings_->endGroup();
}

QStringList CRecentFileList::files() const {
  QStringList shown;
  for (const QByteArray& f : files_) shown << QFile::decodeName(f);
  return shown;
}

void CRecentFileList::add(const QByteArray& path) {
  files_.removeAll(path);
  files_.prepend(path);
  while (files_.size() > size_) files_.removeLast();
  save();
}

void CRecentFileList::remove(const QByteArray& path) {
  if (files_.removeAll(path) > 0) save();
}

void CRecentFileList::add(const QString& path) { add(QFile::encodeName(path)); }
void CRecentFileList::remove(const QString& path) { remove(QFile::encodeName(path)); }

void CRecentFileList::save() {
  settings_->beginGroup(QLatin1String(kSection));
  for (int i = 1; i <= size_; ++i) {
    const QString key = QStringLiteral("File%1").arg(i);
    if (i <= files_.size()) {
      const QByteArray& path = files_.at(i - 1);
      const QString text = QFile::decodeName(path);
      if (QFile::encodeName(text) == path) settings_->setValue(key, text);
      else settings_->setValue(key, path);
    } else {
      settings_->remove(key);
    }
  }
  settings_->endGroup();
  settings_->sync();
}
