#include "windows/LessonLibrary.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

#include <algorithm>

#include "imaging/text.h"

namespace sinora {

LessonSource loadLesson(const QString& path) {
  LessonSource out;
  out.path = path;
  out.builtin = path.startsWith(":/");
  const std::string shown = QDir::toNativeSeparators(path).toStdString();
  QFile file(path);
  const QFileInfo info(path);
  auto fail = [&](const std::string& reason) {
    out.parsed = lessons::ParseResult{};
    out.parsed.reason = reason;
    out.parsed.message = fill("%1: %2", {shown, reason});
    return out;
  };
  if (!info.exists()) return fail("ファイルがありません");
  if (info.isDir()) return fail("フォルダです。レッスンのファイルを選んでください");
  if (info.size() > qint64(lessons::kMaxLessonBytes))
    return fail(fill("大きすぎます (%1 バイトまで)", {std::to_string(lessons::kMaxLessonBytes)}));
  if (!file.open(QIODevice::ReadOnly)) return fail("読めません");
  const QByteArray bytes = file.read(qint64(lessons::kMaxLessonBytes) + 1);
  const QDir folder = info.dir();
  out.parsed = lessons::parseLesson(bytes.toStdString(), shown, [&](const std::string& picture) {
    const QFileInfo p(folder.filePath(QString::fromStdString(picture)));
    return p.isFile();
  });
  return out;
}

QList<LessonSource> builtinLessons() {
  QList<LessonSource> list;
  const QStringList names = QDir(":/lessons").entryList({"*.md"}, QDir::Files, QDir::Name);
  for (const QString& name : names) list.append(loadLesson(":/lessons/" + name));
  std::stable_sort(list.begin(), list.end(), [](const LessonSource& a, const LessonSource& b) {
    return a.parsed.lesson.order < b.parsed.lesson.order;
  });
  return list;
}

QStringList lessonFolderFiles(QSettings* settings) {
  if (!settings) return {};
  const QString folder = settings->value("Lessons/Folder").toString();
  if (folder.isEmpty() || !QFileInfo(folder).isDir()) return {};
  QStringList files;
  const QDir dir(folder);
  for (const QString& name : dir.entryList({"*.md"}, QDir::Files, QDir::Name)) files.append(dir.filePath(name));
  return files;
}

lessons::RunContext lessonContext(const QString& path, QSettings* settings) {
  lessons::RunContext context;
  if (!path.startsWith(":/")) context.lessonFolder = QFileInfo(path).absolutePath().toStdString();
  std::vector<std::string> candidates;
  if (settings && !settings->value("Lessons/Data").toString().isEmpty())
    candidates.push_back(settings->value("Lessons/Data").toString().toStdString());
  // The source tree's neighbour (a build, or CI's clone beside shared/).
  QDir up(QCoreApplication::applicationDirPath());
  for (int k = 0; k < 4 && up.cdUp(); ++k) candidates.push_back(up.filePath("shared/data").toStdString());
  context.dataFolder = lessons::findDataFolder(candidates);
  return context;
}

}  // namespace sinora
