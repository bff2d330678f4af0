#include "effects/Presets.h"

#include "platform/MessageBox.h"
#include "platform/OwnFiles.h"
#include "platform/Paths.h"
#include "playlists/Import.h"
#include "resources/StringIds.h"
#include "safefile/FilePair.h"
#include "ui/Text.h"

#include <sys/stat.h>

#include <cerrno>
#include <string>

namespace effects {

namespace {

// A preset file is a few hundred bytes; anything past this is not one.
constexpr qint64 kMaxPresetFileBytes = 4 << 20;

struct Shipped {
  const char* name;
  const char* values;  // band sliders 80 Hz .. 16 kHz; 5 is flat, 0 +5 dB, 10 -5 dB
};
constexpr Shipped kShipped[] = {
    {"Flat", "5;5;5;5;5;5;5;5;5;5;"},         {"Bass Boost", "1;2;3;4;5;5;5;5;5;5;"},
    {"Treble Boost", "5;5;5;5;5;4;3;2;1;1;"}, {"Rock", "2;3;4;6;7;6;4;3;2;2;"},
    {"Dance", "1;2;4;5;6;5;4;3;3;3;"},        {"Vocal", "7;6;5;4;3;3;4;5;6;6;"},
    {"Loudness", "2;3;5;6;6;5;4;3;2;2;"},
};

QString Described(const QString& path, const QString& why) { return path + QStringLiteral(": ") + why; }

// A preset file is text: bytes below 32 other than the line ends and the tab
// (and the end-of-text mark some old editors put at the end) say that it is
// some other kind of file, whose bytes no list of presets can show.
bool LooksLikeText(const QByteArray& bytes) {
  for (const char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    if (b < 0x20 && b != '\t' && b != '\r' && b != '\n' && b != 0x1A) return false;
  }
  return true;
}

// The journal that makes a save of both files one unit (safefile/FilePair.h).
QString PairJournalPath() { return djvp::DataFolder() + QStringLiteral("/EQ.vrn.pair"); }

std::string Native(const QString& path) { return djvp::FileNameBytes(path).toStdString(); }

bool TooLarge(const QString& path) {
  struct stat st;
  return ::stat(djvp::FileNameBytes(path).constData(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size > kMaxPresetFileBytes;
}

// A preset file that is no preset file (another program's file under its
// name) is set aside under a numbered name, as the program's other
// unreadable files are, so that the start can make the file anew and no
// copy kept earlier is replaced; a message names the copy and the reason.
void SetAsideIfNotPresets(const QString& path) {
  std::vector<PresetLines> presets;
  QByteArray bytes;
  QString error;
  if (ReadPresetFile(path, presets, bytes, error) != ReadResult::NotPresets) return;
  QString why;
  const QString kept = djvp::KeepAside(path, false, &why);
  if (kept.isEmpty()) {
    djvp::MsgBox(djvp::ui::T(djvp::kStrPresetFileUnreadable) + QLatin1Char('\n') + error + QStringLiteral("\n") + why);
    return;
  }
  djvp::MsgBox(djvp::ui::T(djvp::kStrPresetFileSetAside) + QLatin1Char('\n') + kept + QStringLiteral("\n\n") + error);
}

}  // namespace

QString PresetName(const QString& nameLine) {
  return nameLine.size() < 2 ? QString() : nameLine.mid(1, nameLine.size() - 2);
}

QString PresetFilePath(djvp::DeckId deck) {
  return djvp::DataFolder() + (deck.IsFirst() ? QStringLiteral("/EQ.vrn") : QStringLiteral("/EQ2.vrn"));
}

ReadResult ReadPresetFile(const QString& path, std::vector<PresetLines>& presets, QByteArray& bytes,
                          QString& error) {
  presets.clear();
  bytes.clear();
  const QString why = djvp::ReadOwnFile(path, kMaxPresetFileBytes, bytes);
  if (!why.isEmpty()) {
    error = Described(path, why);
    switch (djvp::KindOf(path)) {
      case djvp::PathKind::Missing: return ReadResult::Missing;
      case djvp::PathKind::File: return TooLarge(path) ? ReadResult::NotPresets : ReadResult::Failed;
      default: return ReadResult::Failed;
    }
  }
  if (!LooksLikeText(bytes)) {
    // Left as it is: a save must not turn it into presets made of its bytes.
    bytes.clear();
    error = Described(path, QStringLiteral("this is not a preset file (it holds bytes that are not text)"));
    return ReadResult::NotPresets;
  }
  QStringList lines = playlists::DecodeText(bytes, false).split(QLatin1Char('\n'));
  if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();  // the end of the last line
  for (QString& line : lines)
    if (line.endsWith(QLatin1Char('\r'))) line.chop(1);
  for (qsizetype i = 0; i < lines.size(); i += 2) {
    PresetLines p;
    p.nameLine = lines[i];
    p.hasValues = i + 1 < lines.size();
    if (p.hasValues) p.valueLine = lines[i + 1];
    presets.push_back(p);
  }
  return ReadResult::Ok;
}

QByteArray PresetFileText(const std::vector<PresetLines>& presets) {
  QString text;
  for (const PresetLines& p : presets) {
    text += p.nameLine + QStringLiteral("\r\n");
    if (p.hasValues) text += p.valueLine + QStringLiteral("\r\n");
  }
  return text.toUtf8();
}

bool StorableName(const QString& name) {
  return name.isValidUtf16() && !name.contains(QLatin1Char('\n')) && !name.contains(QLatin1Char('\r'));
}

bool ReplacePresetFiles(const QByteArray (&texts)[2], QString& error) {
  const QString paths[2] = {PresetFilePath(djvp::kDeck1), PresetFilePath(djvp::kDeck2)};
  const std::string native[2] = {Native(paths[0]), Native(paths[1])};
  const std::string contents[2] = {texts[0].toStdString(), texts[1].toStdString()};
  const int e = safefile::ReplacePair(Native(PairJournalPath()), native, contents);
  if (e == 0) return true;
  error = Described(paths[0] + QStringLiteral(", ") + paths[1], djvp::FileErrorText(e));
  return false;
}

QByteArray ShippedPresets() {
  std::vector<PresetLines> presets;
  for (const Shipped& p : kShipped)
    presets.push_back({QStringLiteral("[%1]").arg(QLatin1String(p.name)), QLatin1String(p.values), true});
  return PresetFileText(presets);
}

void InstallPresetFiles() {
  const QString paths[2] = {PresetFilePath(djvp::kDeck1), PresetFilePath(djvp::kDeck2)};
  // A save of both files that was cut short (the program killed, the
  // machine off) is taken back, so that the files agree again; then what
  // saves of earlier versions left beside them goes.
  const std::string native[2] = {Native(paths[0]), Native(paths[1])};
  if (safefile::RecoverPair(Native(PairJournalPath()), native) == EINVAL) djvp::KeepAside(PairJournalPath(), false);
  djvp::RemoveOldSaveLeftovers(djvp::DataFolder(), {QStringLiteral("EQ.vrn"), QStringLiteral("EQ2.vrn")});
  for (const QString& path : paths) SetAsideIfNotPresets(path);

  const bool present[2] = {djvp::KindOf(paths[0]) != djvp::PathKind::Missing,
                           djvp::KindOf(paths[1]) != djvp::PathKind::Missing};
  if (present[0] && present[1]) return;
  QByteArray text = ShippedPresets();
  for (int i = 0; i < 2; ++i) {
    if (!present[i]) continue;
    // The two files hold the same presets: the one there is copied.
    std::vector<PresetLines> presets;
    QString error;
    if (ReadPresetFile(paths[i], presets, text, error) != ReadResult::Ok) return;
  }
  for (int i = 0; i < 2; ++i)
    if (!present[i]) djvp::WriteOwnFile(paths[i], text);  // without them the panels stay shut
}

}  // namespace effects
