// libFuzzer target: the lesson reader on any text, as a teacher's file would give it, and the
// pieces it reads with (measurement expressions, students' numbers).
#include <cstdint>
#include <string>

#include "lessons/lesson.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace sinora::lessons;
  const std::string text(reinterpret_cast<const char*>(data), size);
  // Pictures exist or not by the length of their name, so both ways are taken.
  const ParseResult r = parseLesson(text, "fuzz.md", [](const std::string& p) { return p.size() % 2 == 0; });
  if (!r.ok && r.message.empty()) __builtin_trap();  // a refusal always says why
  std::string error;
  (void)parseExpression(text.substr(0, 400), error);
  double v = 0;
  (void)readAnswerNumber(text.substr(0, 64), v);
  return 0;
}
