// Helpers of the ID3v2 and analysis tests: fixture paths, copies into a
// temporary folder, the bytes behind a tag, and an independent read of a
// file's tag through mutagen.
#pragma once

#include "RunCommand.h"
#include "TempDir.h"
#include "WString.h"

#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace id3test {

inline std::string Fixture(const std::string& name) { return std::string(DJVP_TEST_FIXTURES) + "/id3v2/" + name; }

// Copies a fixture into dir and returns the copy's path.
inline std::string CopyFixture(const TempDir& dir, const std::string& name, const std::string& as = "") {
  const std::string to = dir.file(as.empty() ? name : as);
  std::filesystem::copy_file(Fixture(name), to, std::filesystem::copy_options::overwrite_existing);
  return to;
}

inline std::u16string W(const std::string& s) { return sonavex::FromUtf8(s); }
inline std::string U(const std::u16string& s) { return sonavex::ToUtf8(s); }

// Total size of a leading ID3v2 tag, footer included (0 when none).
inline size_t TagSizeOf(const std::vector<unsigned char>& d) {
  if (d.size() < 10 || d[0] != 'I' || d[1] != 'D' || d[2] != '3') return 0;
  const size_t size = (size_t(d[6]) << 21) | (size_t(d[7]) << 14) | (size_t(d[8]) << 7) | d[9];
  return size + 10 + ((d[5] & 0x10) ? 10 : 0);
}

// The bytes behind the leading tag: the audio that every save must keep.
inline std::vector<unsigned char> AudioOf(const std::string& path) {
  const auto d = TempDir::Read(path);
  const size_t tag = TagSizeOf(d);
  return std::vector<unsigned char>(d.begin() + static_cast<long>(std::min(tag, d.size())), d.end());
}


// Reads the tag with mutagen and answers one line per frame, in file order:
// "ID|field|field...", with CR and LF shown as \r and \n; version-2.2 frames
// under their version-2.3 names, pictures with their own image format. The first line is
// "version|2.x" or "error|<message>".
inline std::vector<std::string> Mutagen(const std::string& path) {
  static const char* const kScript = R"PY(
import sys, hashlib
from mutagen.id3 import ID3
def esc(s): return str(s).replace('\r', '\\r').replace('\n', '\\n')
try:
    t = ID3(sys.argv[1], translate=False)
except Exception as e:
    print('error|' + esc(e)); sys.exit(0)
print('version|2.%d' % t.version[1])
for f in t.values():
    n = f.FrameID
    if n in ('COMM', 'USLT'):
        print('|'.join([n, f.lang, esc(f.desc), esc(f.text if isinstance(f.text, str) else '/'.join(f.text))]))
    elif n == 'USER':
        print('|'.join([n, f.lang, esc(f.text)]))
    elif n == 'TXXX':
        print('|'.join([n, esc(f.desc), esc('/'.join(f.text))]))
    elif n == 'WXXX':
        print('|'.join([n, esc(f.desc), f.url]))
    elif n == 'SYLT':
        print('|'.join([n, f.lang, str(f.format), str(f.type), esc(f.desc)] + ['%s@%d' % (esc(x), y) for x, y in f.text]))
    elif n == 'APIC':
        print('|'.join([n, f.mime, str(int(f.type)), esc(f.desc), hashlib.sha1(f.data).hexdigest()]))
    elif n.startswith('W'):
        print('|'.join([n, f.url]))
    elif n.startswith('T'):
        print('|'.join([n, esc('/'.join(str(x) for x in f.text))]))
    else:
        print(n)
)PY";
  TempDir dir;
  const std::string script = dir.file("read_tag.py");
  TempDir::Write(script, std::string(kScript));
  const std::string out = RunCommand("/usr/bin/python3 '" + script + "' '" + path + "' 2>&1");
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < out.size()) {
    size_t end = out.find('\n', start);
    if (end == std::string::npos) end = out.size();
    lines.push_back(out.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

// SHA-1 of a file's bytes through the system tool (for comparing pictures
// with what mutagen reports).
inline std::string Sha1Of(const std::string& path) {
  const std::string out = RunCommand("sha1sum '" + path + "'");
  return out.substr(0, out.find(' '));
}

}  // namespace id3test
