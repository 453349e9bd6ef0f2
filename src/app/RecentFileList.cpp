#include "app/RecentFileList.h"

#include <QSettings>

namespace {
const char kSection[] = "Recent File List";
}

CRecentFileList::CRecentFileList(QSettings* settings, int size) : settings_(settings), size_(size) {
  settings_->beginGroup(QLatin1String(kSection));
  for (int i = 1; i <= size_; ++i) {
    const QString path = settings_->value(QStringLiteral("File%1").arg(i)).toString();
    if (!path.isEmpty() && !files_.contains(path)) files_.append(path);
  }
  settings_->endGroup();
}

void CRecentFileList::add(const QString& path) {
  files_.removeAll(path);
  files_.prepend(path);
  while (files_.size() > size_) files_.removeLast();
  save();
}

void CRecentFileList::remove(const QString& path) {
  if (files_.removeAll(path) > 0) save();
}

void CRecentFileList::save() {
  settings_->beginGroup(QLatin1String(kSection));
  for (int i = 1; i <= size_; ++i) {
    const QString key = QStringLiteral("File%1").arg(i);
    if (i <= files_.size()) settings_->setValue(key, files_.at(i - 1));
    else settings_->remove(key);
  }
  settings_->endGroup();
  settings_->sync();
}
