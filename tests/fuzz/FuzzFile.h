// Helpers for the fuzz targets: the fuzz input becomes a file on disk (the
// tag library reads files by path), in a private temporary folder.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

class FuzzFile {
 public:
  // Writes data to <tmp>/input<extension>; extension chooses the reader.
  FuzzFile(const uint8_t* data, size_t size, const std::string& extension) {
    static std::string dir = [] {
      std::string t = "/tmp/djvp-fuzz-XXXXXX";
      return std::string(mkdtemp(t.data()) ? t : "/tmp");
    }();
    path_ = dir + "/input" + extension;
    FILE* f = std::fopen(path_.c_str(), "wb");
    if (f) {
      if (size) std::fwrite(data, 1, size, f);
      std::fclose(f);
    }
  }
  ~FuzzFile() { unlink(path_.c_str()); }
  const std::string& path() const { return path_; }
  std::u16string wpath() const { return std::u16string(path_.begin(), path_.end()); }

 private:
  std::string path_;
};
