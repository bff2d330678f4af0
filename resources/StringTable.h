// The interface texts in English and Dutch. The English text of entry n has id
// n, the Dutch text id n + 1000. Callers hold the English id and look the text
// up at the moment of use, adding LangOffset.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>

namespace djvp {

// Program-wide language offset: 0 English, 1000 Dutch.
extern int32_t LangOffset;

// Raised by LoadResString for an id without an entry, so that the calling
// procedure's failure handling can skip its step.
class MissingString : public std::runtime_error {
 public:
  explicit MissingString(int64_t id);
  int64_t id;
};

// The text with exactly this id (callers pass LangOffset + n); throws
// MissingString when there is none.
const std::string& LoadResString(int64_t id);
// The same without the exception.
std::optional<std::string> FindResString(int64_t id);
// Entry n in the current language: LoadResString(LangOffset + n), the sum
// formed with overflow checking.
const std::string& Tr(int32_t n);
// The same without the exception: nothing for an entry that does not exist.
std::optional<std::string> FindTr(int32_t n);

}  // namespace djvp
