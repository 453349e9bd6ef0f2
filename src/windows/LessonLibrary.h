// Where lessons come from: the built-in ones carried in the program (:/lessons/ID.LANG.md), files
// a teacher opened, and the files of a folder named in the settings ("Lessons/Folder"). Reading is
// all or nothing: a bad file gives a message naming the file and line, and no lesson.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include "lessons/lesson.h"
#include "lessons/lesson_run.h"

class QSettings;

namespace sinora {

struct LessonSource {
  QString path;      // ":/lessons/..." for a built-in lesson
  bool builtin = false;
  lessons::ParseResult parsed;  // parsed.ok, or parsed.message
};

// Reads one lesson file (size-limited before reading; pictures looked for beside it).
LessonSource loadLesson(const QString& path);

// The built-in lessons, every language, in the course's order.
QList<LessonSource> builtinLessons();

// The *.md files of the lessons folder of the settings (none when unset or missing).
QStringList lessonFolderFiles(QSettings* settings);

// The context a lesson from `path` runs in: its folder, and the shared data folder
// ($SINORA_DATA, "Lessons/Data" of the settings, or ../shared/data beside the program's tree).
lessons::RunContext lessonContext(const QString& path, QSettings* settings);

}  // namespace sinora
