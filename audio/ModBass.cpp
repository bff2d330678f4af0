#include "audio/ModBass.h"

#include "audio/AnalysisHost.h"
#include "safefile/FileName.h"

namespace djvp {

float modBass_Bytes2Seconds(engine::Handle stream, int64_t bytes) {
  if (bytes < 0) return -1.0f;
  return static_cast<float>(engine::BytesToSeconds(stream, static_cast<uint64_t>(bytes)));
}

bool modBass_SetPosition(engine::Handle stream, int64_t bytes) {
  if (bytes < 0) return false;
  return engine::Seek(stream, static_cast<uint64_t>(bytes));
}

int32_t modBass_HiWord(uint32_t v) { return static_cast<int32_t>(v >> 16); }
int32_t modBass_LoWord(uint32_t v) { return static_cast<int32_t>(v & 0xFFFF); }

int32_t modBass_MakeLong(int32_t low, int32_t high) {
  if (high < -32768 || high > 32767) throw std::overflow_error("modBass_MakeLong: high word out of range");
  return static_cast<int32_t>(static_cast<uint32_t>(high) << 16 | (static_cast<uint32_t>(low) & 0xFFFF));
}

QString modBass_StrFromAnsiPtr(const char* text) {
  if (!text || !*text) return {};
  // Device names come from ALSA as UTF-8; anything that is not valid UTF-8
  // is taken as Latin-1.
  const QByteArray bytes(text);
  const QString utf8 = QString::fromUtf8(bytes);
  return utf8.contains(QChar::ReplacementCharacter) ? QString::fromLatin1(bytes) : utf8;
}

void modPublic_BPMProgressEmpty(engine::Handle, float) {}

void modPublic_BPMProgress(engine::Handle, float) { AdvanceAnalysisProgress(0.01f, kColBPM); }

float modPublic_TempoBPM(engine::Handle bpmHandle, engine::Handle tempoStream) {
  const float ratio = engine::RateRatio(tempoStream);
  if (ratio <= 0) return 0.0f;
  return engine::TranslateBpm(bpmHandle, ratio * 100.0f, engine::kPercentToBpm);
}

QByteArray NativePath(const QString& path) {
  const std::string bytes = safefile::TextToName(
      std::u16string_view(reinterpret_cast<const char16_t*>(path.utf16()), static_cast<size_t>(path.size())));
  return QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

}  // namespace djvp
