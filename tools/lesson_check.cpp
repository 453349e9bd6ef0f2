#include "lesson_check.h"

#include <QCoreApplication>
#include <QDir>

#include <cstdio>
#include <memory>

#include "windows/LessonLibrary.h"

namespace {

int usage(const std::string& why) {
  std::fprintf(stderr, "sinora-render: %s\n", why.c_str());
  return 2;
}

int check(const sinora::LessonSource& source) {
  const sinora::lessons::Lesson& l = source.parsed.lesson;
  std::printf("lesson %s (%s): %s\n", l.id.c_str(), l.lang.c_str(), l.title.c_str());
  const sinora::lessons::CheckResult r =
      sinora::lessons::checkLesson(l, sinora::lessonContext(source.path, nullptr));
  for (const std::string& line : r.log) std::printf("  %s\n", line.c_str());
  if (r.skipped) return 77;
  std::printf("  %s\n", r.ok ? "all steps passed" : "FAILED");
  return r.ok ? 0 : 1;
}

}  // namespace

bool runLessonCommand(const std::vector<std::string>& args, int& status) {
  bool list = false, checking = false;
  std::string lesson, lang;
  bool any = false;
  for (const std::string& a : args) any = any || a == "--list-lessons" || a == "--lesson";
  if (!any) return false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--list-lessons") list = true;
    else if (a == "--check") checking = true;
    else if (a == "--lesson" && i + 1 < args.size()) lesson = args[++i];
    else if (a == "--lang" && i + 1 < args.size()) lang = args[++i];
    else return status = usage("with --lesson, only --check and --lang ja|en are taken: " + a), true;
  }
  if (!lang.empty() && lang != "ja" && lang != "en") return status = usage("--lang takes ja or en"), true;
  static int argc = 1;
  static char name[] = "sinora-render";
  static char* argv[] = {name, nullptr};
  QCoreApplication app(argc, argv);
  const QList<sinora::LessonSource> builtin = sinora::builtinLessons();
  if (list) {
    for (const sinora::LessonSource& s : builtin) {
      if (!s.parsed.ok) {
        std::fprintf(stderr, "sinora-render: %s\n", s.parsed.message.c_str());
        status = 1;
        continue;
      }
      const auto& l = s.parsed.lesson;
      std::printf("%s\t%s\t%s\n", l.id.c_str(), l.lang.c_str(), l.title.c_str());
    }
    if (lesson.empty()) return true;
  }
  if (lesson.empty()) return status = usage("--lesson takes a lesson's id or file"), true;
  if (!checking) return status = usage("--lesson needs --check"), true;
  QList<sinora::LessonSource> chosen;
  for (const sinora::LessonSource& s : builtin) {
    // A built-in file that does not read is named by its file: ID.LANG.md.
    const QString file = QFileInfo(s.path).fileName();
    const bool named = s.parsed.ok ? s.parsed.lesson.id == lesson
                                   : file.startsWith(QString::fromStdString(lesson) + ".");
    if (named && (lang.empty() || (s.parsed.ok ? s.parsed.lesson.lang == lang
                                                : file.endsWith("." + QString::fromStdString(lang) + ".md"))))
      chosen.append(s);
  }
  if (chosen.isEmpty()) {
    if (!QFileInfo::exists(QString::fromStdString(lesson)))
      return status = usage("no built-in lesson " + lesson + (lang.empty() ? "" : " in " + lang) +
                            ", and no such file"), true;
    chosen.append(sinora::loadLesson(QString::fromStdString(lesson)));
  }
  status = 0;
  for (const sinora::LessonSource& s : chosen) {
    if (!s.parsed.ok) {
      std::fprintf(stderr, "sinora-render: %s\n", s.parsed.message.c_str());
      status = 1;
      continue;
    }
    const int r = check(s);
    if (r == 1 || (r == 77 && status == 0)) status = r;
  }
  return true;
}
