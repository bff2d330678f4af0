#include "platform/Settings.h"

#include "platform/OwnFiles.h"

#include <QByteArray>
#include <QDir>
#include <QFileInfo>
#include <QStringList>

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <set>
#include <utility>
#include <vector>

namespace djvp {

namespace {

QString ConfigFolder() {
  QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
  if (base.isEmpty() || !QDir::isAbsolutePath(base)) base = QDir::homePath() + QStringLiteral("/.config");
  return QDir::cleanPath(base + QStringLiteral("/djvorlanpellix"));
}

// ---- Names ------------------------------------------------------------------
// A section or key name may hold "/" and "\\" (preset names become key
// names); the file has always stored them, and "%", escaped as "%2F", "%5C"
// and "%25" beneath the INI text's own escapes.
QString Encode(const QString& name) {
  QString out = name;
  out.replace(QLatin1Char('%'), QLatin1String("%25"));
  out.replace(QLatin1Char('/'), QLatin1String("%2F"));
  out.replace(QLatin1Char('\\'), QLatin1String("%5C"));
  return out;
}

QString Decode(const QString& name) {
  QString out;
  for (qsizetype i = 0; i < name.size(); ++i) {
    if (name[i] == QLatin1Char('%') && i + 2 < name.size()) {
      const QStringView code = QStringView(name).mid(i + 1, 2);
      if (code.compare(QLatin1String("25"), Qt::CaseInsensitive) == 0) { out += QLatin1Char('%'); i += 2; continue; }
      if (code.compare(QLatin1String("2F"), Qt::CaseInsensitive) == 0) { out += QLatin1Char('/'); i += 2; continue; }
      if (code.compare(QLatin1String("5C"), Qt::CaseInsensitive) == 0) { out += QLatin1Char('\\'); i += 2; continue; }
    }
    out += name[i];
  }
  return out;
}

constexpr char kHexDigits[] = "0123456789ABCDEF";

// The INI text's escape of a name: letters, digits, "_", "-" and "." as they
// are, "/" as "\\", other characters as %XX or %UXXXX.
QByteArray EscapedName(const QString& name) {
  QByteArray out;
  for (const QChar qc : name) {
    uint ch = qc.unicode();
    if (ch == '/') {
      out += '\\';
    } else if ((ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9') || ch == '_' ||
               ch == '-' || ch == '.') {
      out += static_cast<char>(ch);
    } else if (ch <= 0xFF) {
      out += '%';
      out += kHexDigits[ch / 16];
      out += kHexDigits[ch % 16];
    } else {
      out += "%U";
      char hex[4];
      for (int i = 3; i >= 0; --i) {
        hex[i] = kHexDigits[ch % 16];
        ch >>= 4;
      }
      out.append(hex, 4);
    }
  }
  return out;
}

QString UnescapedName(QByteArrayView raw) {
  const QString decoded = FileNameText(raw);
  QString out;
  const qsizetype size = decoded.size();
  for (qsizetype i = 0; i < size;) {
    const QChar ch = decoded[i];
    if (ch == QLatin1Char('\\')) {
      out += QLatin1Char('/');
      ++i;
      continue;
    }
    if (ch != QLatin1Char('%') || i == size - 1) {
      out += ch;
      ++i;
      continue;
    }
    qsizetype first = i + 1;
    int digits = 2;
    if (decoded[first] == QLatin1Char('U')) {
      ++first;
      digits = 4;
    }
    bool ok = false;
    const ushort code = first + digits <= size ? QStringView(decoded).sliced(first, digits).toUShort(&ok, 16) : 0;
    if (!ok) {
      out += QLatin1Char('%');
      ++i;
      continue;
    }
    out += QChar(code);
    i = first + digits;
  }
  return out;
}

// ---- Values -------------------------------------------------------------------

bool IsHexDigit(char16_t ch) {
  return (ch >= '0' && ch <= '9') || (ch >= 'a' && ch <= 'f') || (ch >= 'A' && ch <= 'F');
}

// The INI text of a value: a leading "@" doubled, the C escapes for control
// characters, quotes and backslashes, everything else as UTF-8 (a byte kept
// from a name as that byte), and the whole in quotes when it holds ";", ","
// or "=" or begins or ends with a blank.
QByteArray EscapedValue(const QString& given) {
  const QString value = given.startsWith(QLatin1Char('@')) ? QLatin1Char('@') + given : given;
  QByteArray out;
  bool needsQuotes = false;
  bool escapeNextIfDigit = false;
  for (qsizetype i = 0; i < value.size(); ++i) {
    const char16_t ch = value[i].unicode();
    if (ch == ';' || ch == ',' || ch == '=') needsQuotes = true;
    if (escapeNextIfDigit && IsHexDigit(ch)) {
      out += "\\x" + QByteArray::number(ch, 16);
      continue;
    }
    escapeNextIfDigit = false;
    switch (ch) {
      case 0: out += "\\0"; escapeNextIfDigit = true; break;
      case '\a': out += "\\a"; break;
      case '\b': out += "\\b"; break;
      case '\f': out += "\\f"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      case '\v': out += "\\v"; break;
      case '"':
      case '\\':
        out += '\\';
        out += static_cast<char>(ch);
        break;
      default:
        if (ch <= 0x1F) {
          out += "\\x" + QByteArray::number(ch, 16);
          escapeNextIfDigit = true;
        } else if (ch < 0x80) {
          out += static_cast<char>(ch);
        } else if (QChar::isHighSurrogate(ch) && i + 1 < value.size() && value[i + 1].isLowSurrogate()) {
          out += FileNameBytes(value.mid(i, 2));
          ++i;
        } else {
          out += FileNameBytes(QString(QChar(ch)));
        }
    }
  }
  if (needsQuotes || out.startsWith(' ') || out.endsWith(' ')) {
    out.prepend('"');
    out.append('"');
  }
  return out;
}

void ChopTrailingBlanks(QString& s, qsizetype limit) {
  qsizetype n = s.size();
  while (n > limit && (s[n - 1] == QLatin1Char(' ') || s[n - 1] == QLatin1Char('\t'))) --n;
  s.truncate(n);
}

void AppendCode(QString& s, char32_t code) {
  if (code > 0xFFFF && code <= 0x10FFFF) {
    s += QChar(QChar::highSurrogate(code));
    s += QChar(QChar::lowSurrogate(code));
  } else {
    s += QChar(static_cast<char16_t>(code));
  }
}

// A stored text as the store gives it: "@@" is a text beginning with "@";
// the store's own markers for other kinds of value read as their text.
QString StoredText(const QString& s) {
  if (!s.startsWith(QLatin1Char('@'))) return s;
  if (s.startsWith(QLatin1String("@@"))) return s.mid(1);
  if (s == QLatin1String("@Invalid()")) return {};
  if (s.startsWith(QLatin1String("@ByteArray(")) && s.endsWith(QLatin1Char(')'))) return s.mid(11, s.size() - 12);
  if (s.startsWith(QLatin1String("@Variant("))) return {};
  return s;
}

// The value of an INI line's right side: blanks around it dropped, quotes
// keep blanks and separators, C escapes, and unquoted commas that make a
// list, which the store gives back as the text it was ("a, b").
QString UnescapedValue(QByteArrayView str) {
  static const char kEscapes[][2] = {{'a', '\a'}, {'b', '\b'}, {'f', '\f'}, {'n', '\n'}, {'r', '\r'}, {'t', '\t'},
                                     {'v', '\v'}, {'"', '"'},  {'?', '?'},  {'\'', '\''}, {'\\', '\\'}};
  QString current;
  QStringList list;
  bool isList = false;
  bool inQuotes = false;
  bool quoted = false;
  qsizetype i = 0;
  const qsizetype n = str.size();
  auto skipBlanks = [&] {
    while (i < n && (str[i] == ' ' || str[i] == '\t')) ++i;
  };
  skipBlanks();
  qsizetype chopLimit = 0;
  while (i < n) {
    const char c = str[i];
    if (c == '\\') {
      ++i;
      if (i >= n) break;
      const char e = str[i++];
      bool done = false;
      for (const auto& code : kEscapes)
        if (e == code[0]) {
          current += QLatin1Char(code[1]);
          done = true;
          break;
        }
      if (!done) {
        if (e == 'x' || (e >= '0' && e <= '7')) {
          const int base = e == 'x' ? 16 : 8;
          char32_t code = e == 'x' ? 0 : static_cast<char32_t>(e - '0');
          if (e == 'x' && (i >= n || !IsHexDigit(static_cast<char16_t>(str[i])))) {
            chopLimit = current.size();
            continue;  // "\x" without digits is dropped
          }
          while (i < n) {
            const char d = str[i];
            int v = -1;
            if (d >= '0' && d <= '7') v = d - '0';
            else if (base == 16 && d >= '8' && d <= '9') v = d - '0';
            else if (base == 16 && d >= 'a' && d <= 'f') v = d - 'a' + 10;
            else if (base == 16 && d >= 'A' && d <= 'F') v = d - 'A' + 10;
            if (v < 0) break;
            code = code * static_cast<char32_t>(base) + static_cast<char32_t>(v);
            ++i;
          }
          AppendCode(current, code);
        } else if (e == '\n' || e == '\r') {
          // A line continued on the next.
          if (i < n && (str[i] == '\n' || str[i] == '\r') && str[i] != e) ++i;
        }
        // Any other escaped character is dropped.
      }
      chopLimit = current.size();
      continue;
    }
    if (c == '"') {
      ++i;
      quoted = true;
      inQuotes = !inQuotes;
      if (!inQuotes) skipBlanks();
      continue;
    }
    if (c == ',' && !inQuotes) {
      if (!quoted) ChopTrailingBlanks(current, chopLimit);
      isList = true;
      list << current;
      current.clear();
      quoted = false;
      chopLimit = 0;
      ++i;
      skipBlanks();
      continue;
    }
    qsizetype j = i + 1;
    while (j < n && str[j] != '\\' && str[j] != '"' && str[j] != ',') ++j;
    current += FileNameText(str.sliced(i, j - i));
    i = j;
  }
  if (!quoted) ChopTrailingBlanks(current, chopLimit);
  if (!isList) return StoredText(current);
  list << current;
  for (QString& item : list) item = StoredText(item);
  return list.join(QStringLiteral(", "));
}

// ---- The file -----------------------------------------------------------------

// One piece of the file: a section's header or an entry, with the comments
// and blank lines before it and its line end; or what follows the last one.
// Pieces that a change does not touch are written back as they were read.
struct Piece {
  enum class Kind { Header, Entry, Rest };
  Kind kind = Kind::Rest;
  QByteArray bytes;
  qsizetype lineAt = 0;   // where the line itself begins in bytes
  qsizetype lineEnd = 0;  // where it ends (its line end follows)
  QString name;           // the section's or the key's name ("" for keys outside any section)
  bool topLevel = false;  // a header of the keys outside any section
  QString value;
};

struct Parsed {
  std::vector<Piece> pieces;
  QStringList problems;  // lines that could not be taken
};

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }

Parsed Parse(QByteArrayView data) {
  Parsed parsed;
  const qsizetype n = data.size();
  qsizetype pos = 0;         // where the next piece begins
  qsizetype scan = 0;
  int lineNumberAt = 1;      // lines counted up to `counted`
  qsizetype counted = 0;
  auto lineNumber = [&](qsizetype at) {
    for (; counted < at; ++counted)
      if (data[counted] == '\n') ++lineNumberAt;
    return lineNumberAt;
  };
  while (true) {
    // The next line: blanks and comment lines are skipped.
    qsizetype start = scan;
    while (start < n && IsSpace(data[start])) ++start;
    qsizetype i = start;
    qsizetype equals = -1;
    bool inQuotes = false;
    while (i < n) {
      const char ch = data[i];
      if (ch == '=') {
        if (!inQuotes && equals < 0) equals = i;
      } else if (ch == '\n' || ch == '\r') {
        if (!inQuotes) break;
      } else if (ch == '\\') {
        ++i;
        if (i < n && i + 1 < n && ((data[i] == '\n' && data[i + 1] == '\r') || (data[i] == '\r' && data[i + 1] == '\n')))
          ++i;
      } else if (ch == '"') {
        inQuotes = !inQuotes;
      } else if (ch == ';') {
        if (i == start) {
          while (i < n && data[i] != '\n' && data[i] != '\r') ++i;
          while (i < n && IsSpace(data[i])) ++i;
          start = i;
          equals = -1;
          continue;
        }
        if (!inQuotes) break;
      }
      ++i;
    }
    if (i >= n && start >= n) break;
    const qsizetype lineEnd = std::min(i, n);
    // The line end: CR LF, LF or CR.
    qsizetype end = lineEnd;
    if (end < n && data[end] == '\r') ++end;
    if (end < n && data[end] == '\n') ++end;
    scan = end;

    Piece piece;
    piece.bytes = data.sliced(pos, end - pos).toByteArray();
    piece.lineAt = start - pos;
    piece.lineEnd = lineEnd - pos;
    pos = end;
    const QByteArrayView line = data.sliced(start, lineEnd - start);
    auto problem = [&](const char* what) {
      parsed.problems << QStringLiteral("line %1: %2").arg(lineNumber(start)).arg(QLatin1String(what));
    };
    if (line.size() > kMaxSettingsLineBytes) {
      problem("too long");
      continue;
    }
    if (line.startsWith('[')) {
      const qsizetype close = line.indexOf(']');
      if (close < 0 || !line.sliced(close + 1).trimmed().isEmpty()) {
        problem("not a section name");
        continue;
      }
      const QByteArrayView inner = line.sliced(1, close - 1).trimmed();
      piece.kind = Piece::Kind::Header;
      if (inner.compare("general", Qt::CaseInsensitive) == 0) {
        piece.topLevel = true;
      } else if (inner.compare("%general", Qt::CaseInsensitive) == 0) {
        piece.name = FileNameText(inner.sliced(1));
      } else {
        piece.name = Decode(UnescapedName(inner));
      }
      parsed.pieces.push_back(std::move(piece));
      continue;
    }
    if (equals < 0) {
      problem("no \"=\"");
      continue;
    }
    piece.kind = Piece::Kind::Entry;
    piece.name = Decode(UnescapedName(data.sliced(start, equals - start).trimmed()));
    piece.value = UnescapedValue(data.sliced(equals + 1, lineEnd - equals - 1));
    parsed.pieces.push_back(std::move(piece));
  }
  if (pos < n) {
    Piece rest;
    rest.bytes = data.sliced(pos).toByteArray();
    parsed.pieces.push_back(std::move(rest));
  }
  return parsed;
}

QByteArray Text(const std::vector<Piece>& pieces) {
  QByteArray out;
  for (const Piece& p : pieces) out += p.bytes;
  return out;
}

QByteArray EntryLine(const QString& key, const QString& value) {
  return EscapedName(Encode(key)) + '=' + EscapedValue(value.isNull() ? QStringLiteral("") : value);
}

QByteArray HeaderLine(const QString& section) {
  const QByteArray name = EscapedName(Encode(section));
  if (name.compare("general", Qt::CaseInsensitive) == 0) return "[%" + name + ']';
  return '[' + name + ']';
}

// ---- The stores, one per file -------------------------------------------------

struct Identity {
  bool exists = false;
  dev_t dev = 0;
  ino_t ino = 0;
  off_t size = 0;
  int64_t mtime = 0;
  int64_t ctime = 0;
  mode_t mode = 0;
  bool operator==(const Identity&) const = default;
};

Identity IdentityOf(const QString& path, int* error = nullptr) {
  Identity id;
  struct stat st;
  if (::stat(FileNameBytes(path).constData(), &st) != 0) {
    if (error) *error = errno;
    return id;
  }
  id.exists = true;
  id.dev = st.st_dev;
  id.ino = st.st_ino;
  id.size = st.st_size;
  id.mtime = int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  id.ctime = int64_t(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
  id.mode = st.st_mode;
  return id;
}

struct Store {
  bool loaded = false;
  Identity identity;
  bool refused = false;  // a pipe, a device or a folder: neither read nor written
  std::vector<Piece> pieces;
};

struct Report {
  SettingsFailureHandler failure;
  bool failureTold = false;
  SettingsNoticeHandler notice;
  struct Pending {
    QString file, why, keptAs;
  };
  std::vector<Pending> pending;
  std::set<QString> noticed;  // files told about in this run
  std::set<QString> swept;    // folders whose old leftovers were removed
  std::map<QString, Store> stores;
};

Report& State() {
  static Report report;
  return report;
}

void ReportFailure(const QString& file, const QString& why) {
  Report& r = State();
  if (r.failureTold || !r.failure) return;
  r.failureTold = true;
  r.failure(file, why.isEmpty() ? QStringLiteral("unknown error") : why);
}

void Notice(const QString& file, const QString& why, const QString& keptAs) {
  Report& r = State();
  if (!r.noticed.insert(file).second) return;
  if (r.notice)
    r.notice(file, why, keptAs);
  else
    r.pending.push_back({file, why, keptAs});
}

// Reads the file into the store, setting aside what cannot be taken.
void Load(Store& store, const QString& path) {
  store = Store();
  store.loaded = true;
  Report& r = State();
  const QString folder = QFileInfo(path).path();
  if (r.swept.insert(path).second) RemoveOldSaveLeftovers(folder, {QFileInfo(path).fileName()});
  store.identity = IdentityOf(path);
  if (!store.identity.exists) return;
  if (!S_ISREG(store.identity.mode)) {
    store.refused = true;
    Notice(path, QStringLiteral("it is not a plain file (a folder, a pipe or a device), so the settings are neither "
                                "read from it nor stored in it"),
           {});
    return;
  }
  if (store.identity.size > kMaxSettingsFileBytes) {
    // Not read at all: a settings file is a few kilobytes.
    const QString kept = KeepAside(path, false);
    Notice(path, QStringLiteral("the file is too large (%1 bytes) for a settings file").arg(store.identity.size), kept);
    store.identity = IdentityOf(path);
    return;
  }
  QByteArray bytes;
  const QString why = ReadOwnFile(path, kMaxSettingsFileBytes, bytes);
  if (!why.isEmpty()) {
    // Not readable now (no permission): the defaults hold, and a write will
    // say why it fails.
    return;
  }
  Parsed parsed = Parse(bytes);
  store.pieces = std::move(parsed.pieces);
  if (parsed.problems.isEmpty()) return;
  // Kept whole beside it; the store goes on with what it could read, and
  // the file is written again without the lines it could not, so that the
  // next start does not find them again.
  QString keepWhy;
  const QString kept = KeepAside(path, true, &keepWhy);
  constexpr qsizetype kShown = 5;
  QString lines = parsed.problems.mid(0, kShown).join(QStringLiteral("; "));
  if (parsed.problems.size() > kShown) lines += QStringLiteral("; and %1 more").arg(parsed.problems.size() - kShown);
  Notice(path, QStringLiteral("some of its lines could not be read (%1)").arg(lines), kept);
  if (!kept.isEmpty() && WriteOwnFile(path, Text(store.pieces)).isEmpty()) store.identity = IdentityOf(path);
}

Store& Current(const QString& path) {
  Store& store = State().stores[path];
  if (!store.loaded || !(IdentityOf(path) == store.identity)) Load(store, path);
  return store;
}

bool SectionMatches(const Piece& p, const QString& section) {
  return p.kind == Piece::Kind::Header && !p.topLevel && p.name.compare(section, Qt::CaseInsensitive) == 0;
}

// Calls f(index) for every entry of the key in every section of that name.
template <typename F>
void ForEachEntry(const std::vector<Piece>& pieces, const QString& section, const QString& key, F f) {
  bool inSection = false;
  for (size_t i = 0; i < pieces.size(); ++i) {
    const Piece& p = pieces[i];
    if (p.kind == Piece::Kind::Header) inSection = SectionMatches(p, section);
    else if (inSection && p.kind == Piece::Kind::Entry && (key.isEmpty() || p.name.compare(key, Qt::CaseInsensitive) == 0)) f(i);
  }
}

void SetLine(Piece& p, const QByteArray& line) {
  const QByteArray before = p.bytes.left(p.lineAt);
  QByteArray after = p.bytes.mid(p.lineEnd);
  if (after.isEmpty()) after = "\n";
  p.bytes = before + line + after;
  p.lineAt = before.size();
  p.lineEnd = before.size() + line.size();
}

void EnsureLineEnd(std::vector<Piece>& pieces, size_t index) {
  if (index < pieces.size() && !pieces[index].bytes.isEmpty() && !pieces[index].bytes.endsWith('\n') &&
      !pieces[index].bytes.endsWith('\r'))
    pieces[index].bytes += '\n';
}

bool Write(Store& store, const QString& path) {
  const QString why = WriteOwnFile(path, Text(store.pieces));
  if (why.isEmpty()) {
    store.identity = IdentityOf(path);
    return true;
  }
  // The file is as it was: the store reads it again at the next call.
  store.loaded = false;
  ReportFailure(path, why);
  return false;
}

}  // namespace

void SetSettingsFailureHandler(SettingsFailureHandler handler) {
  State().failure = std::move(handler);
  State().failureTold = false;
}

void SetSettingsNoticeHandler(SettingsNoticeHandler handler) {
  Report& r = State();
  r.notice = std::move(handler);
  r.noticed.clear();
  if (!r.notice) return;
  std::vector<Report::Pending> pending;
  pending.swap(r.pending);
  for (const auto& p : pending) {
    r.noticed.insert(p.file);
    r.notice(p.file, p.why, p.keptAs);
  }
}

QString SettingsFilePath(const QString& app) {
  QString name = app;
  name.replace(QLatin1Char('/'), QLatin1Char('_'));
  return ConfigFolder() + QLatin1Char('/') + name + QStringLiteral(".ini");
}

QString GetSetting(const QString& app, const QString& section, const QString& key, const QString& defaultValue) {
  if (section.isEmpty() || key.isEmpty()) return defaultValue;
  const Store& store = Current(SettingsFilePath(app));
  // A name written twice reads as its last entry, as it always has.
  const Piece* found = nullptr;
  ForEachEntry(store.pieces, section, key, [&](size_t i) { found = &store.pieces[i]; });
  return found ? found->value : defaultValue;
}

bool SaveSetting(const QString& app, const QString& section, const QString& key, const QString& value) {
  if (section.isEmpty() || key.isEmpty()) return false;
  const QString file = SettingsFilePath(app);
  errno = 0;
  if (!QDir().mkpath(ConfigFolder())) {
    const int error = errno != 0 ? errno : (QFileInfo(ConfigFolder()).exists() ? ENOTDIR : EACCES);
    ReportFailure(file, FileErrorText(error));
    return false;
  }
  Store& store = Current(file);
  if (store.refused) return false;  // the user was told at the first read
  std::vector<Piece>& pieces = store.pieces;
  std::vector<size_t> entries;
  ForEachEntry(pieces, section, key, [&](size_t i) { entries.push_back(i); });
  const QByteArray line = EntryLine(key, value);
  if (!entries.empty()) {
    Piece& first = pieces[entries[0]];
    // A value stored already as it is needs no new file (a handler run again
    // on a control's present value stores it again, and each write syncs the
    // file).
    if (entries.size() == 1 && first.bytes.mid(first.lineAt, first.lineEnd - first.lineAt) == line) return true;
    // The first entry takes the new spelling and value; other spellings go.
    SetLine(first, line);
    first.name = key;
    first.value = value.isNull() ? QStringLiteral("") : value;
    for (auto it = entries.rbegin(); it + 1 != entries.rend(); ++it) pieces.erase(pieces.begin() + static_cast<ptrdiff_t>(*it));
    return Write(store, file);
  }
  Piece entry;
  entry.kind = Piece::Kind::Entry;
  entry.bytes = line + '\n';
  entry.lineAt = 0;
  entry.lineEnd = line.size();
  entry.name = key;
  entry.value = value.isNull() ? QStringLiteral("") : value;
  // At the end of the last section of that name, or in a new section.
  bool sectionExists = false;
  for (const Piece& p : pieces) sectionExists = sectionExists || SectionMatches(p, section);
  if (sectionExists) {
    // Behind the last entry (or header) of the last section of that name.
    size_t last = 0;
    bool inSection = false;
    for (size_t i = 0; i < pieces.size(); ++i) {
      if (pieces[i].kind == Piece::Kind::Header) inSection = SectionMatches(pieces[i], section);
      if (inSection && pieces[i].kind != Piece::Kind::Rest) last = i;
    }
    EnsureLineEnd(pieces, last);
    pieces.insert(pieces.begin() + static_cast<ptrdiff_t>(last + 1), std::move(entry));
  } else {
    // A new section at the end, after a blank line.
    size_t end = pieces.size();
    if (end > 0) EnsureLineEnd(pieces, end - 1);
    Piece header;
    header.kind = Piece::Kind::Header;
    const QByteArray headerLine = HeaderLine(section);
    header.bytes = (pieces.empty() ? QByteArray() : QByteArray("\n")) + headerLine + '\n';
    header.lineAt = pieces.empty() ? 0 : 1;
    header.lineEnd = header.lineAt + headerLine.size();
    header.name = section;
    pieces.push_back(std::move(header));
    pieces.push_back(std::move(entry));
  }
  return Write(store, file);
}

void DeleteSetting(const QString& app, const QString& section, const QString& key) {
  if (section.isEmpty()) return;
  const QString file = SettingsFilePath(app);
  Store& store = Current(file);
  if (store.refused) return;
  std::vector<Piece>& pieces = store.pieces;
  std::vector<size_t> gone;
  if (key.isEmpty()) {
    bool inSection = false;
    for (size_t i = 0; i < pieces.size(); ++i) {
      if (pieces[i].kind == Piece::Kind::Header) inSection = SectionMatches(pieces[i], section);
      if (inSection && pieces[i].kind != Piece::Kind::Rest) gone.push_back(i);
    }
  } else {
    ForEachEntry(pieces, section, key, [&](size_t i) { gone.push_back(i); });
  }
  if (gone.empty()) return;
  for (auto it = gone.rbegin(); it != gone.rend(); ++it) pieces.erase(pieces.begin() + static_cast<ptrdiff_t>(*it));
  Write(store, file);
}

}  // namespace djvp
