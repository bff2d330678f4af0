#include "StringTable.h"

#include <string_view>
#include <unordered_map>

namespace djvp {
namespace detail {
extern const char kStringsTsv[];
}

int32_t LangOffset = 0;

MissingString::MissingString(int64_t id_)
    : std::runtime_error("no string with id " + std::to_string(id_)), id(id_) {}

namespace {

std::string Unescape(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 1 < s.size()) {
      const char c = s[++i];
      out += c == 't' ? '\t' : c == 'n' ? '\n' : c;
    } else {
      out += s[i];
    }
  }
  return out;
}

// Parses the embedded table once: lines of id, English, Dutch.
const std::unordered_map<int64_t, std::string>& Table() {
  static const auto table = [] {
    std::unordered_map<int64_t, std::string> t;
    std::string_view all(detail::kStringsTsv);
    bool header = true;
    while (!all.empty()) {
      const size_t nl = all.find('\n');
      std::string_view line = all.substr(0, nl);
      all = nl == std::string_view::npos ? std::string_view() : all.substr(nl + 1);
      if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
      if (header) { header = false; continue; }
      const size_t t1 = line.find('\t');
      const size_t t2 = t1 == std::string_view::npos ? t1 : line.find('\t', t1 + 1);
      if (t2 == std::string_view::npos) continue;
      const int64_t id = std::stoll(std::string(line.substr(0, t1)));
      t.emplace(id, Unescape(line.substr(t1 + 1, t2 - t1 - 1)));
      t.emplace(id + 1000, Unescape(line.substr(t2 + 1)));
    }
    return t;
  }();
  return table;
}

}  // namespace

std::optional<std::string> FindResString(int64_t id) {
  const auto& t = Table();
  auto it = t.find(id);
  if (it == t.end()) return std::nullopt;
  return it->second;
}

const std::string& LoadResString(int64_t id) {
  const auto& t = Table();
  auto it = t.find(id);
  if (it == t.end()) throw MissingString(id);
  return it->second;
}

const std::string& Tr(int32_t n) {
  int32_t id;
  if (__builtin_add_overflow(LangOffset, n, &id)) throw MissingString(static_cast<int64_t>(LangOffset) + n);
  return LoadResString(id);
}

std::optional<std::string> FindTr(int32_t n) {
  int32_t id;
  if (__builtin_add_overflow(LangOffset, n, &id)) return std::nullopt;
  return FindResString(id);
}

}  // namespace djvp
