#include "platform/GridFile.h"

#include "platform/OwnFiles.h"
#include "safefile/SafeFile.h"

#include <QLocale>
#include <QStringDecoder>

#include <bit>
#include <charconv>
#include <cstring>
#include <limits>

namespace djvp {

namespace {

// Files larger than this are not grid files of ours (100,000 library rows
// take about 20 MB); refusing them keeps a stray file from eating memory.
constexpr qint64 kMaxFileBytes = qint64(1) << 30;
// Written in pieces of about this size, so a big grid needs no second copy.
constexpr qsizetype kWriteChunk = 1 << 20;

// The shortest text that reads back as exactly this single.
QByteArray SingleToChars(float v) {
  char buf[64];
  auto res = std::to_chars(buf, buf + sizeof buf, v);
  return QByteArray(buf, static_cast<qsizetype>(res.ptr - buf));
}

bool NeedsEscape(char16_t ch) {
  return ch < 0x20 || ch == u'\\' || ch == 0x7F || QChar::isSurrogate(ch);
}

void AppendHex4(QString& out, char16_t ch) {
  static const char16_t kHex[] = u"0123456789ABCDEF";
  out += u"\\u";
  for (int shift = 12; shift >= 0; shift -= 4) out += QChar(kHex[(ch >> shift) & 0xF]);
}

QString EscapeText(const QString& text) {
  QString out;
  out.reserve(text.size() + 8);
  const qsizetype n = text.size();
  for (qsizetype i = 0; i < n; ++i) {
    const char16_t ch = text.at(i).unicode();
    switch (ch) {
      case u'\\': out += u"\\\\"; continue;
      case u'\t': out += u"\\t"; continue;
      case u'\n': out += u"\\n"; continue;
      case u'\r': out += u"\\r"; continue;
      default: break;
    }
    if (QChar::isHighSurrogate(ch) && i + 1 < n && QChar::isLowSurrogate(text.at(i + 1).unicode())) {
      out += text.at(i);
      out += text.at(i + 1);
      ++i;
    } else if (NeedsEscape(ch)) {
      AppendHex4(out, ch);
    } else {
      out += QChar(ch);
    }
  }
  return out;
}

void AppendTextCell(QByteArray& out, const QString& text) {
  bool plain = true;
  for (QChar ch : text) {
    if (NeedsEscape(ch.unicode())) { plain = false; break; }
  }
  out += plain ? text.toUtf8() : EscapeText(text).toUtf8();
}

int HexValue(QChar c) {
  const char16_t u = c.unicode();
  if (u >= u'0' && u <= u'9') return u - u'0';
  if (u >= u'a' && u <= u'f') return u - u'a' + 10;
  if (u >= u'A' && u <= u'F') return u - u'A' + 10;
  return -1;
}

bool ParseInt32(QStringView s, int32_t& out) {
  // Digits with an optional minus, nothing else.
  if (s.isEmpty() || s.size() > 11) return false;
  qsizetype i = 0;
  bool negative = false;
  if (s[0] == u'-') { negative = true; i = 1; }
  if (i == s.size()) return false;
  int64_t v = 0;
  for (; i < s.size(); ++i) {
    const char16_t u = s[i].unicode();
    if (u < u'0' || u > u'9') return false;
    v = v * 10 + (u - u'0');
  }
  if (negative) v = -v;
  if (v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max()) return false;
  out = static_cast<int32_t>(v);
  return true;
}

bool ParseSingle(QStringView s, float& out) {
  if (s.isEmpty() || s.size() > 60) return false;
  char buf[64];
  for (qsizetype i = 0; i < s.size(); ++i) {
    const char16_t u = s[i].unicode();
    if (u > 0x7E) return false;
    buf[i] = static_cast<char>(u);
  }
  const char* end = buf + s.size();
  auto res = std::from_chars(buf, end, out);
  return res.ec == std::errc() && res.ptr == end;
}

// One cell of a row line; false when it is not a valid cell.
bool ParseCell(QStringView s, GridCell& cell) {
  if (s.indexOf(u'\\') < 0) {
    cell = GridCell::FromText(s.toString());
    return true;
  }
  if (s.size() >= 2 && s[0] == u'\\' && s[1] == u'i') {
    int32_t v = 0;
    if (!ParseInt32(s.mid(2), v)) return false;
    cell = GridCell::FromInt(v);
    return true;
  }
  if (s.size() >= 2 && s[0] == u'\\' && s[1] == u'f') {
    float v = 0;
    if (!ParseSingle(s.mid(2), v)) return false;
    cell = GridCell::FromSingle(v);
    return true;
  }
  QString text;
  text.reserve(s.size());
  for (qsizetype i = 0; i < s.size(); ++i) {
    const QChar c = s[i];
    if (c != u'\\') { text += c; continue; }
    if (++i >= s.size()) return false;
    switch (s[i].unicode()) {
      case u'\\': text += u'\\'; break;
      case u't': text += u'\t'; break;
      case u'n': text += u'\n'; break;
      case u'r': text += u'\r'; break;
      case u'u': {
        if (i + 4 >= s.size()) return false;
        char16_t v = 0;
        for (int k = 1; k <= 4; ++k) {
          const int h = HexValue(s[i + k]);
          if (h < 0) return false;
          v = static_cast<char16_t>((v << 4) | h);
        }
        text += QChar(v);
        i += 4;
        break;
      }
      default: return false;
    }
  }
  cell = GridCell::FromText(std::move(text));
  return true;
}

bool Fail(QString* error, const QString& why) {
  if (error) *error = why;
  return false;
}

QString AtLine(int64_t line, const QString& what) {
  return QStringLiteral("Line %1 of the grid file: %2").arg(line).arg(what);
}

}  // namespace

GridCell GridCell::FromSingle(float v) {
  GridCell c;
  c.bits = std::bit_cast<int32_t>(v);
  c.type = Type::Single;
  return c;
}

float GridCell::Single() const { return std::bit_cast<float>(bits); }

GridCell GridCell::FromVariant(const QVariant& v) {
  switch (v.metaType().id()) {
    case QMetaType::UnknownType: return FromText(QString());
    case QMetaType::QString: return FromText(v.toString());
    case QMetaType::Int: return FromInt(v.toInt());
    case QMetaType::Float: return FromSingle(v.toFloat());
    case QMetaType::Double: return FromSingle(static_cast<float>(v.toDouble()));
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::SChar:
    case QMetaType::UChar:
      return FromInt(v.toInt());
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong: {
      bool ok = false;
      const qlonglong n = v.toLongLong(&ok);
      if (ok && v.metaType().id() == QMetaType::ULongLong && v.toULongLong() > uint64_t(std::numeric_limits<int32_t>::max())) ok = false;
      if (ok && n >= std::numeric_limits<int32_t>::min() && n <= std::numeric_limits<int32_t>::max())
        return FromInt(static_cast<int32_t>(n));
      return FromText(v.toString());
    }
    default: return FromText(v.toString());
  }
}

QVariant GridCell::ToVariant() const {
  switch (type) {
    case Type::Int: return QVariant(static_cast<int>(bits));
    case Type::Single: return QVariant(Single());
    case Type::Text: break;
  }
  return QVariant(text);
}

QString GridCell::DisplayText() const {
  switch (type) {
    case Type::Int: return QString::number(bits);
    case Type::Single: {
      QString s = QString::fromLatin1(SingleToChars(Single()));
      const QString point = QLocale().decimalPoint();
      if (point != QStringLiteral(".")) s.replace(u'.', point);
      return s;
    }
    case Type::Text: break;
  }
  return text;
}

bool GridCell::operator==(const GridCell& o) const {
  if (type != o.type) return false;
  return type == Type::Text ? text == o.text : bits == o.bits;
}

QByteArray GridHeaderLine(int32_t columnCount, int64_t rowCount) {
  QByteArray out(kGridFileMagic);
  out += '\t';
  out += QByteArray::number(kGridFileVersion);
  out += '\t';
  out += QByteArray::number(columnCount);
  out += '\t';
  out += QByteArray::number(static_cast<qlonglong>(rowCount));
  out += '\n';
  return out;
}

void AppendGridRowLine(QByteArray& out, const GridRow& row, int32_t columnCount) {
  for (int32_t c = 0; c < columnCount; ++c) {
    if (c > 0) out += '\t';
    if (static_cast<size_t>(c) >= row.size()) continue;
    const GridCell& cell = row[static_cast<size_t>(c)];
    switch (cell.type) {
      case GridCell::Type::Int:
        out += "\\i";
        out += QByteArray::number(cell.bits);
        break;
      case GridCell::Type::Single:
        out += "\\f";
        out += SingleToChars(cell.Single());
        break;
      case GridCell::Type::Text:
        AppendTextCell(out, cell.text);
        break;
    }
  }
  out += '\n';
}

bool ParseGridFile(QByteArrayView bytes, std::vector<GridRow>& rows, int32_t* fileColumns, QString* error) {
  QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  const QString text = decoder.decode(bytes);
  if (decoder.hasError()) return Fail(error, QStringLiteral("The grid file is not valid UTF-8 text."));

  const QStringView all(text);
  qsizetype pos = 0;
  int64_t lineNo = 0;
  // The next line without its line end; false at the end of the text or when
  // the last line has no line end (a cut file).
  auto nextLine = [&](QStringView& line, bool& cut) {
    cut = false;
    if (pos >= all.size()) return false;
    const qsizetype lf = all.indexOf(u'\n', pos);
    if (lf < 0) { cut = true; return false; }
    line = all.mid(pos, lf - pos);
    if (!line.isEmpty() && line.back() == u'\r') line.chop(1);
    pos = lf + 1;
    ++lineNo;
    return true;
  };

  QStringView line;
  bool cut = false;
  if (!nextLine(line, cut)) return Fail(error, QStringLiteral("The file is empty or not a grid file."));
  const auto head = line.split(u'\t');
  if (head.size() != 4 || head[0] != QLatin1StringView(kGridFileMagic))
    return Fail(error, QStringLiteral("The file is not a grid file."));
  bool ok = false;
  const int version = head[1].toInt(&ok);
  if (!ok || version < 1) return Fail(error, AtLine(1, QStringLiteral("the version is not a number.")));
  if (version > kGridFileVersion)
    return Fail(error, QStringLiteral("The grid file has version %1; this program reads version %2.")
                           .arg(version).arg(kGridFileVersion));
  const qlonglong columns = head[2].toLongLong(&ok);
  if (!ok || columns < 0 || columns > 100000) return Fail(error, AtLine(1, QStringLiteral("the column count is not valid.")));
  const qlonglong rowCount = head[3].toLongLong(&ok);
  // Every row takes at least its line end, so a count above the bytes that
  // are left cannot be right (and must not size the row list).
  if (!ok || rowCount < 0 || rowCount > all.size() - pos || rowCount > std::numeric_limits<int32_t>::max())
    return Fail(error, AtLine(1, QStringLiteral("the row count is not valid.")));

  std::vector<GridRow> parsed;
  parsed.reserve(static_cast<size_t>(rowCount));
  for (qlonglong r = 0; r < rowCount; ++r) {
    if (!nextLine(line, cut))
      return Fail(error, QStringLiteral("The grid file ends after %1 of its %2 rows.").arg(r).arg(rowCount));
    GridRow row;
    if (columns == 0) {
      if (!line.isEmpty()) return Fail(error, AtLine(lineNo, QStringLiteral("a row has cells but the file has no columns.")));
      parsed.push_back(std::move(row));
      continue;
    }
    row.resize(static_cast<size_t>(columns));
    qsizetype start = 0;
    qlonglong c = 0;
    while (true) {
      qsizetype tab = line.indexOf(u'\t', start);
      const qsizetype end = tab < 0 ? line.size() : tab;
      if (c >= columns) return Fail(error, AtLine(lineNo, QStringLiteral("the row has more than %1 cells.").arg(columns)));
      if (!ParseCell(line.mid(start, end - start), row[static_cast<size_t>(c)]))
        return Fail(error, AtLine(lineNo, QStringLiteral("cell %1 is not valid.").arg(c + 1)));
      ++c;
      if (tab < 0) break;
      start = tab + 1;
    }
    if (c != columns) return Fail(error, AtLine(lineNo, QStringLiteral("the row has %1 cells, not %2.").arg(c).arg(columns)));
    parsed.push_back(std::move(row));
  }
  if (pos < all.size()) return Fail(error, AtLine(lineNo + 1, QStringLiteral("text after the last row.")));

  rows = std::move(parsed);
  if (fileColumns) *fileColumns = static_cast<int32_t>(columns);
  return true;
}

bool WriteGridFile(const QString& path, const std::vector<GridRow>& rows, int32_t columnCount, QString* error) {
  if (path.isEmpty()) return Fail(error, QStringLiteral("No file name was given."));
  // Written straight to the new file, piece by piece, each write checked;
  // the new file replaces the old one only once it holds every byte and is
  // on the disk.
  safefile::Rewrite file;
  auto failed = [&] {
    return Fail(error, QStringLiteral("Cannot write %1: %2").arg(path, FileErrorText(file.Error())));
  };
  if (!file.Begin(FileNameBytes(path).toStdString())) return failed();
  QByteArray buffer = GridHeaderLine(columnCount, static_cast<int64_t>(rows.size()));
  buffer.reserve(kWriteChunk + 4096);
  auto flush = [&] {
    const bool written = file.Write(buffer.constData(), static_cast<size_t>(buffer.size()));
    buffer.clear();
    return written;
  };
  for (const GridRow& row : rows) {
    AppendGridRowLine(buffer, row, columnCount);
    if (buffer.size() >= kWriteChunk && !flush()) return failed();
  }
  if (!flush() || !file.Commit()) return failed();
  return true;
}

bool ReadGridFile(const QString& path, std::vector<GridRow>& rows, int32_t* fileColumns, QString* error) {
  switch (KindOf(path)) {
    case PathKind::Missing: return Fail(error, QStringLiteral("The file %1 does not exist.").arg(path));
    case PathKind::Folder:
    case PathKind::Other: return Fail(error, QStringLiteral("%1 is not a file.").arg(path));
    case PathKind::File:
    case PathKind::Unreachable: break;
  }
  QByteArray bytes;
  const QString why = ReadOwnFile(path, kMaxFileBytes, bytes);
  if (!why.isEmpty()) return Fail(error, QStringLiteral("Cannot read %1: %2").arg(path, why));
  QString parseWhy;
  if (!ParseGridFile(bytes, rows, fileColumns, &parseWhy)) return Fail(error, QStringLiteral("%1: %2").arg(path, parseWhy));
  return true;
}

}  // namespace djvp
