#include "effects/Presets.h"

#include "platform/Paths.h"
#include "playlists/Import.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <memory>

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

// Opens a file's replacement and writes all of the text into it. A write
// that stops short is tried again for the rest, so that the error the
// system gives for it (disk full, file too large) is the one reported.
bool OpenAndWrite(QSaveFile& file, const QByteArray& text) {
  if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) return false;
  for (qint64 done = 0; done < text.size();) {
    const qint64 n = file.write(text.constData() + done, text.size() - done);
    if (n <= 0) return false;
    done += n;
  }
  return true;
}

// Writes a whole file through a temporary file; false with the error text.
bool WriteWhole(const QString& path, const QByteArray& text, QString& error) {
  QSaveFile file(path);
  if (!OpenAndWrite(file, text) || !file.commit()) {
    error = Described(path, file.errorString());
    file.cancelWriting();
    return false;
  }
  return true;
}

}  // namespace

QString PresetName(const QString& nameLine) {
  return nameLine.size() < 2 ? QString() : nameLine.mid(1, nameLine.size() - 2);
}

QString PresetFilePath(int deck) {
  return djvp::DataFolder() + (deck == 2 ? QStringLiteral("/EQ2.vrn") : QStringLiteral("/EQ.vrn"));
}

ReadResult ReadPresetFile(const QString& path, std::vector<PresetLines>& presets, QByteArray& bytes,
                          QString& error) {
  presets.clear();
  bytes.clear();
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    error = Described(path, file.errorString());
    return QFileInfo(path).exists() ? ReadResult::Failed : ReadResult::Missing;
  }
  if (file.size() > kMaxPresetFileBytes) {
    error = Described(path, QStringLiteral("too large for a preset file"));
    return ReadResult::Failed;
  }
  bytes = file.readAll();
  if (file.error() != QFileDevice::NoError) {
    error = Described(path, file.errorString());
    return ReadResult::Failed;
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

bool ReplacePresetFiles(const QByteArray (&texts)[2], const QByteArray (&before)[2], QString& error) {
  const QString paths[2] = {PresetFilePath(1), PresetFilePath(2)};
  std::unique_ptr<QSaveFile> files[2];
  auto cancelAll = [&] {
    for (auto& f : files)
      if (f) f->cancelWriting();
  };
  // Both new texts complete on disk before either file is replaced.
  for (int i = 0; i < 2; ++i) {
    files[i] = std::make_unique<QSaveFile>(paths[i]);
    if (!OpenAndWrite(*files[i], texts[i])) {
      error = Described(paths[i], files[i]->errorString());
      cancelAll();
      return false;
    }
  }
  for (int i = 0; i < 2; ++i) {
    if (files[i]->commit()) continue;
    error = Described(paths[i], files[i]->errorString());
    if (i == 1) {
      QString ignored;
      WriteWhole(paths[0], before[0], ignored);
    }
    cancelAll();
    return false;
  }
  return true;
}

QByteArray ShippedPresets() {
  std::vector<PresetLines> presets;
  for (const Shipped& p : kShipped)
    presets.push_back({QStringLiteral("[%1]").arg(QLatin1String(p.name)), QLatin1String(p.values), true});
  return PresetFileText(presets);
}

void InstallPresetFiles() {
  const QString paths[2] = {PresetFilePath(1), PresetFilePath(2)};
  const bool present[2] = {QFileInfo::exists(paths[0]), QFileInfo::exists(paths[1])};
  if (present[0] && present[1]) return;
  QByteArray text = ShippedPresets();
  for (int i = 0; i < 2; ++i) {
    if (!present[i]) continue;
    // The two files hold the same presets: the one there is copied.
    std::vector<PresetLines> presets;
    QString error;
    if (ReadPresetFile(paths[i], presets, text, error) != ReadResult::Ok) return;
  }
  QString error;
  for (int i = 0; i < 2; ++i)
    if (!present[i]) WriteWhole(paths[i], text, error);  // without them the panels stay shut
}

}  // namespace effects
