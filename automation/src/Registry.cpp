#include "automation/Registry.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <unistd.h>

namespace automation {

bool Registry::NoCase::operator()(const std::string& a, const std::string& b) const {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    auto lower = [](unsigned char c) { return (c >= 'A' && c <= 'Z') ? c + 32 : c; };
    return lower(x) < lower(y);
  });
}

std::string Registry::DefaultPath() {
  // Each path is built in one piece from its parts.
  constexpr std::string_view kFile = "/automation/registry.ini";
  if (const char* p = std::getenv("AUTOMATION_REGISTRY_FILE"); p && *p) return std::string(p);
  if (const char* x = std::getenv("XDG_CONFIG_HOME"); x && *x) return std::string(x).append(kFile);
  if (const char* h = std::getenv("HOME"); h && *h) return std::string(h).append("/.config").append(kFile);
  return std::string(".").append(kFile);
}

Registry::Registry(std::string path) : path_(std::move(path)) {}

bool Registry::Load() {
  sections_.clear();
  std::ifstream in(path_);
  if (!in) return errno == ENOENT;
  std::string line, current;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == ';') continue;
    if (line.front() == '[' && line.back() == ']') {
      current = line.substr(1, line.size() - 2);
      sections_[current];
      continue;
    }
    const auto eq = line.find('=');
    if (eq == std::string::npos || current.empty()) continue;
    sections_[current][line.substr(0, eq)] = line.substr(eq + 1);
  }
  return !in.bad();
}

bool Registry::Save() const {
  std::error_code ec;
  const std::filesystem::path target(path_);
  if (target.has_parent_path()) std::filesystem::create_directories(target.parent_path(), ec);
  std::ostringstream text;
  for (const auto& [name, keys] : sections_) {
    text << '[' << name << "]\n";
    for (const auto& [k, v] : keys) text << k << '=' << v << '\n';
    text << '\n';
  }
  const std::string data = text.str();
  std::string tmp = path_ + ".XXXXXX";
  int fd = mkstemp(tmp.data());
  if (fd < 0) return false;
  bool ok = true;
  size_t done = 0;
  while (ok && done < data.size()) {
    const ssize_t n = write(fd, data.data() + done, data.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) ok = false;
    else done += static_cast<size_t>(n);
  }
  if (ok && fsync(fd) != 0) ok = false;
  if (close(fd) != 0) ok = false;
  if (ok && std::rename(tmp.c_str(), path_.c_str()) != 0) ok = false;
  if (!ok) unlink(tmp.c_str());
  return ok;
}

std::string Registry::Get(const std::string& section, const std::string& key) const {
  auto s = sections_.find(section);
  if (s == sections_.end()) return {};
  auto k = s->second.find(key);
  return k == s->second.end() ? std::string() : k->second;
}

bool Registry::HasSection(const std::string& section) const { return sections_.count(section) != 0; }

void Registry::Set(const std::string& section, const std::string& key, const std::string& value) {
  sections_[section][key] = value;
}

void Registry::RemoveSection(const std::string& section) { sections_.erase(section); }

}  // namespace automation
