#include "tageditor/TextRules.h"

#include "ui/TrackColumns.h"

#include <QByteArray>
#include <QRegularExpression>

#include <cmath>

namespace tageditor {

namespace {

// The line end the text uses first; "" when it has none.
QString FirstLineEnd(const QString& text) {
  for (qsizetype i = 0; i < text.size(); ++i) {
    if (text[i] == QLatin1Char('\r'))
      return (i + 1 < text.size() && text[i + 1] == QLatin1Char('\n')) ? QStringLiteral("\r\n") : QStringLiteral("\r");
    if (text[i] == QLatin1Char('\n')) return QStringLiteral("\n");
  }
  return {};
}

bool ToInt16(double v, int16_t* out) {
  if (!std::isfinite(v)) return false;
  const double r = std::nearbyint(v);  // a half goes to the even neighbour
  if (r < -32768.0 || r > 32767.0) return false;
  *out = static_cast<int16_t>(r);
  return true;
}

}  // namespace

QString WithLineEndsOf(const QString& typed, const QString& loaded) {
  const QString end = FirstLineEnd(loaded);
  if (end.isEmpty() || end == QLatin1String("\n")) return typed;
  QString out;
  out.reserve(typed.size() + typed.count(QLatin1Char('\n')));
  for (qsizetype i = 0; i < typed.size(); ++i) {
    const QChar c = typed[i];
    if (c == QLatin1Char('\r')) {
      // A line end the text already has stays as it is.
      out += c;
      if (i + 1 < typed.size() && typed[i + 1] == QLatin1Char('\n')) out += typed[++i];
    } else if (c == QLatin1Char('\n')) {
      out += end;
    } else {
      out += c;
    }
  }
  return out;
}

namespace {

constexpr QChar kValueEnd = QChar(0);

QStringList TagValues(const QString& tagText) {
  QStringList values = tagText.split(kValueEnd);
  values.removeAll(QString());
  return values;
}

}  // namespace

QString ValuesForBox(const QString& tagText) {
  const QStringList values = TagValues(tagText);
  if (values.size() <= 1 && !tagText.contains(QLatin1Char(';'))) return values.value(0);
  QStringList shown;
  for (QString v : values)
    shown << v.replace(QLatin1Char('\\'), QLatin1String("\\\\")).replace(QLatin1Char(';'), QLatin1String("\\;"));
  return shown.join(QLatin1String("; "));
}

QStringList ValuesFromBox(const QString& boxText) {
  if (!boxText.contains(QLatin1Char(';'))) return boxText.isEmpty() ? QStringList() : QStringList{boxText};
  QStringList values;
  QString value;
  for (qsizetype i = 0; i < boxText.size(); ++i) {
    const QChar c = boxText[i];
    const QChar next = i + 1 < boxText.size() ? boxText[i + 1] : QChar();
    if (c == QLatin1Char('\\') && (next == QLatin1Char(';') || next == QLatin1Char('\\'))) {
      value += next;
      ++i;
    } else if (c == QLatin1Char(';')) {
      values << value;
      value.clear();
      if (next == QLatin1Char(' ')) ++i;
    } else {
      value += c;
    }
  }
  values << value;
  values.removeAll(QString());
  return values;
}

QString ValuesForTag(const QString& boxText) { return ValuesFromBox(boxText).join(kValueEnd); }

QString ValuesForRow(const QString& boxText) { return ValuesFromBox(boxText).join(QLatin1String("; ")); }

QString UrlForTag(const QString& url) {
  QString out;
  out.reserve(url.size());
  for (qsizetype i = 0; i < url.size(); ++i) {
    const QChar c = url[i];
    if (c.unicode() <= 0xFF) {
      out += c;
      continue;
    }
    // A surrogate pair is one character.
    qsizetype n = 1;
    if (c.isHighSurrogate() && i + 1 < url.size() && url[i + 1].isLowSurrogate()) n = 2;
    const QByteArray bytes = url.mid(i, n).toUtf8();
    for (const char b : bytes) out += QStringLiteral("%%1").arg(static_cast<uint8_t>(b), 2, 16, QLatin1Char('0')).toUpper();
    i += n - 1;
  }
  return out;
}

int16_t ItemNumber(const QString& text) {
  static const QRegularExpression leading(QStringLiteral("^\\s*([+-]?(?:\\d+(?:\\.\\d*)?|\\.\\d+))"));
  const QRegularExpressionMatch m = leading.match(text);
  if (!m.hasMatch()) return 0;
  int16_t n = 0;
  return ToInt16(m.captured(1).toDouble(), &n) ? n : 0;
}

bool ParseInt16(const QString& text, int16_t* value) {
  const auto number = djvp::ui::ParseNumber(text);
  int16_t n = 0;
  if (!number || !ToInt16(*number, &n)) return false;
  if (value) *value = n;
  return true;
}

}  // namespace tageditor
