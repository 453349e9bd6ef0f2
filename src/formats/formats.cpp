#include "formats/formats.h"

#include "formats/interfile.h"

namespace sinora::formats {

StudyReadResult readAnyStudy(const std::string& path) {
  StudyReadResult result;
  if (path.empty()) {
    result.error = "ファイル名が指定されていません。";
    return result;
  }
  std::vector<std::uint8_t> head;
  if (!readWholeFile(path, 256, &head, &result.error)) return result;
  if (looksLikeInterfile(head.data(), head.size())) return readInterfile(path);
  return readStudyFile(path);
}

}  // namespace sinora::formats
