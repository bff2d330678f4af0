#include "audio/BassPlayer.h"

#include "StringTable.h"
#include "audio/AnalysisHost.h"
#include "audio/GainTool.h"
#include "audio/Messages.h"
#include "audio/ModBass.h"
#include "resources/StringIds.h"

#include <QCoreApplication>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace djvp {

namespace {

// The deck effects a stream may carry; they go with the stream.
constexpr int32_t kDeckEffects[] = {3, 2, 1, 0, 7, 5, 4};
// Configuration option set before every open (kept for the library's sake).
constexpr uint32_t kOptionBeforeOpen = 0x10103;
constexpr uint32_t kTempoFlags = 0x10004;  // free the source with the tempo stream
constexpr uint32_t kScanFlags = engine::kDecode | engine::kPrescan;
constexpr int kStartBlockBytes = 20000;
constexpr int kEndBlockBytes = 100000;
constexpr int kScanBufferSamples = 50001;

QString Text(int n) { return QString::fromStdString(FindTr(n).value_or(std::string())); }

// Why the engine refused the calling thread's last stream, in words: the
// system's own for a file it would not open.
QString RefusalReason(const engine::StreamError& e) {
  switch (e.code) {
    case engine::kErrFileOpen: return QString::fromLocal8Bit(std::strerror(static_cast<int>(e.detail)));
    case engine::kErrNotFile: return Text(kStrNotRegularFile);
    case engine::kErrEmpty: return Text(kStrEmptyFile);
    case engine::kErrRate: return Text(kStrImpossibleRate) + QStringLiteral(" %1 Hz").arg(e.detail);
    case engine::kErrChannels: return Text(kStrImpossibleChannels) + QStringLiteral(" %1").arg(e.detail);
    case engine::kErrLength: return Text(kStrImpossibleLength);
    case engine::kErrTempo: return Text(kStrSoundNotPrepared);
    case engine::kErrDevice: return Text(kStrDeviceNotReady);
    default: return Text(kStrNotSound);
  }
}

void RemoveDeckEffects(engine::Handle h) {
  for (int32_t type : kDeckEffects) engine::RemoveEffect(h, type);
}

// "000.0": at least three digits before the point, one after.
QString BpmText(float bpm) { return QString::asprintf("%05.1f", static_cast<double>(bpm)); }
// "00.00 sec".
QString SecondsText(double seconds) { return QString::asprintf("%05.2f sec", seconds); }

int32_t SilenceLevel() { return g_AnalysisHost ? g_AnalysisHost->SilenceLevel() : 0; }

}  // namespace

uint32_t SpeakerFlag(int16_t speakerCode) {
  switch (speakerCode) {
    case 1: return engine::kSpeakerFront;
    case 2: return engine::kSpeakerRear;
    case 3: return engine::kSpeakerCenterLfe;
    case 4: return engine::kSpeakerRear2;
    default: return 0;
  }
}

clsBassPlayer::~clsBassPlayer() {
  // Streams of a player that goes away go with it; the engine knows nothing
  // of the player and would keep them.
  engine::FreeBpm(hBPM_);
  ReleaseStream(hBPMWindow_);
}

void clsBassPlayer::ReleaseStream(engine::Handle& h) {
  if (!h) return;
  engine::FreeBpm(h);
  engine::FreeStream(h);
  h = 0;
}

engine::Handle clsBassPlayer::OpenDecodeStream(uint32_t baseFlags, int16_t speakerCode) const {
  const uint32_t flags = baseFlags | SpeakerFlag(speakerCode);
  const QByteArray path = NativePath(filename_);
  const QString upper = filename_.toUpper();
  if (upper.endsWith(QLatin1String("FLAC"))) return engine::OpenFlacStream(false, path.constData(), 0, 0, flags);
  if (upper.endsWith(QLatin1String("WMA"))) return engine::OpenWmaStream(false, path.constData(), 0, 0, flags);
  return engine::OpenFileStream(false, path.constData(), 0, 0, flags);
}

FileMessage clsBassPlayer::Refusal(int n) const {
  return {Text(n), filename_, RefusalReason(engine::LastStreamError())};
}

bool clsBassPlayer::OpenFile() {
  bool ok = true;
  // The song is named once: a headphone mirror that could not be made is
  // told only when the deck's own stream opens; when that fails too, its
  // refusal alone says why the song does not play.
  std::optional<FileMessage> headphoneRefusal;
  engine::SetOption(kOptionBeforeOpen, 1);
  if (preDevice_ >= 1) {
    engine::FreeBpm(preStrm_);
    ReleaseStream(hBPMWindow_);
    RemoveDeckEffects(preStrm_);
    engine::FreeStream(preStrm_);
    engine::DeviceSelect(preDevice_);
    const engine::Handle decode = OpenDecodeStream(engine::kDecode, preSpeaker_);
    if (!decode) {
      headphoneRefusal = Refusal(214);
      ok = false;
    } else {
      preStrm_ = engine::CreateTempoStream(decode, kTempoFlags);
      if (!preStrm_) {
        ReportFileMessage(Refusal(215));
        engine::FreeStream(decode);
        return false;
      }
      if (chain_) engine::ApplyChain(preStrm_, chain_, engine::kChainMirror);
    }
  }
  engine::FreeBpm(strm_);
  ReleaseStream(hBPMWindow_);
  RemoveDeckEffects(strm_);
  engine::FreeStream(strm_);
  engine::DeviceSelect(device_);
  const engine::Handle decode = OpenDecodeStream(engine::kDecode, speaker_);
  if (!decode) {
    ReportFileMessage(Refusal(216));
    return false;
  }
  strm_ = decode;
  // The engine never waits here for a scan of the whole file: a length that
  // is only estimated now is made exact later (RefreshLength).
  lengthBytes_ = engine::Length(strm_);
  const float seconds = modBass_Bytes2Seconds(strm_, lengthBytes_);
  if (seconds >= 0) dummyTime_ = static_cast<int32_t>(std::nearbyint(seconds));
  strm_ = engine::CreateTempoStream(decode, kTempoFlags);
  if (!strm_) {
    ReportFileMessage(Refusal(217));
    engine::FreeStream(decode);
    return false;
  }
  // The song plays through the deck's chain from its first sample.
  if (chain_) engine::ApplyChain(strm_, chain_);
  if (headphoneRefusal) ReportFileMessage(*headphoneRefusal);
  return ok;
}

bool clsBassPlayer::Play() {
  engine::DeviceSelect(device_);
  modBass_SetPosition(strm_, startMixPoint_);
  if (!engine::Play(strm_, false)) {
    ReportFileMessage({Text(212), filename_, {}});
    return false;
  }
  if (preDevice_ >= 1) {
    RemoveDeckEffects(preStrm_);
    engine::FreeStream(preStrm_);
    engine::DeviceSelect(preDevice_);
    const engine::Handle decode = engine::OpenFileStream(false, NativePath(filename_).constData(), 0, 0,
                                                         engine::kDecode);
    preStrm_ = decode ? engine::CreateTempoStream(decode, kTempoFlags) : 0;
    if (decode && !preStrm_) engine::FreeStream(decode);
    if (chain_) engine::ApplyChain(preStrm_, chain_, engine::kChainMirror);
    // The new mirror plays at the headphone volume the player was given
    // before Play (the deck's headphone slider); silent, it would stay mute
    // until the slider was moved.
    engine::SetAttributes(preStrm_, -1, preVolume_, -101);
    const int64_t pos = engine::Position(strm_);
    if (pos >= 0) engine::Seek(preStrm_, static_cast<uint64_t>(pos));
    if (!engine::Play(preStrm_, false)) {
      ReportFileMessage({Text(213), filename_, {}});
      // The caller abandons this start: leave no deck stream playing that
      // nothing tracks, and no mirror either.
      engine::Stop(strm_);
      engine::FreeStream(preStrm_);
      return false;
    }
  }
  DetectStartBPM(true, 0, 30, filename_);
  isPlaying_ = true;
  isPaused_ = false;
  return true;
}

void clsBassPlayer::StopPlay() {
  engine::Stop(strm_);
  RemoveDeckEffects(strm_);
  engine::FreeStream(strm_);
  engine::FreeBpm(strm_);
  ReleaseStream(hBPMWindow_);
  if (preDevice_ >= 1) {
    engine::Stop(preStrm_);
    RemoveDeckEffects(preStrm_);
    engine::FreeStream(preStrm_);
  }
  isPlaying_ = false;
  isPaused_ = false;
}

void clsBassPlayer::PausePlay() {
  engine::Pause(strm_);
  if (preDevice_ >= 1) engine::Pause(preStrm_);
  isPlaying_ = false;
  isPaused_ = true;
}

void clsBassPlayer::ResumePlay() {
  engine::Play(strm_, false);
  if (preDevice_ >= 1) {
    const int64_t pos = engine::Position(strm_);
    if (pos >= 0) engine::Seek(preStrm_, static_cast<uint64_t>(pos));
    engine::Play(preStrm_, false);
  }
  isPlaying_ = true;
  isPaused_ = false;
}

void clsBassPlayer::volume(int16_t v) {
  volume_ = v;
  engine::SetAttributes(strm_, -1, v, -101);
}

void clsBassPlayer::PreVolume(int16_t v) {
  if (preDevice_ < 1) return;
  preVolume_ = v;
  engine::SetAttributes(preStrm_, -1, v, -101);
}

// ---------------------------------------------------------------- tempo

void clsBassPlayer::DetectBPMWindow(bool newStream, float from, float to) {
  if (newStream) {
    // The previous window's stream is done with: free it before the next.
    ReleaseStream(hBPMWindow_);
    hBPMWindow_ = OpenDecodeStream(kScanFlags, speaker_);
  }
  lastBPM_ = engine::BpmOfSpan(hBPMWindow_, from, to, 0, 3, &modPublic_BPMProgress);
  bpmText_ = BpmText(lastBPM_);
}

void clsBassPlayer::DetectStartBPM(bool newStream, float from, float to, const QString& file) {
  if (newStream) {
    // Only the current start-BPM result is ever translated: drop the last.
    engine::FreeBpm(hBPM_);
    hBPM_ = engine::OpenFileStream(false, NativePath(file).constData(), 0, 0, engine::kDecode);
  }
  // The detection runs on an engine thread, so that the start never waits
  // for it; its stream is freed at once, and the result is kept under hBPM
  // for the tempo matching when it is known (engine::BpmPending).
  lastBPM_ = engine::BpmOfSpan(hBPM_, from, to, 0, 0x10003 | engine::kBpmLater, &modPublic_BPMProgressEmpty);
}

bool clsBassPlayer::RefreshLength() {
  if (!strm_) return false;
  const int64_t bytes = engine::Length(strm_);
  if (bytes < 0 || bytes == lengthBytes_) return false;
  lengthBytes_ = bytes;
  const float seconds = modBass_Bytes2Seconds(strm_, bytes);
  if (seconds < 0) return false;
  const auto length = static_cast<int32_t>(std::nearbyint(seconds));
  if (length == dummyTime_) return false;
  dummyTime_ = length;
  return true;
}

QString clsBassPlayer::BPM1() {
  bpmText_ = BpmText(0);
  float from = 0, to = 30;
  for (;;) {
    if (bpmText_ != BpmText(0)) break;
    QCoreApplication::processEvents();
    engine::FreeBpm(strm_);
    DetectBPMWindow(true, from, to);
    from += 30;
    to += 30;
    const int64_t pos = engine::Position(strm_);
    const double played = pos < 0 ? -1 : engine::BytesToSeconds(strm_, static_cast<uint64_t>(pos));
    if (played < to) break;
  }
  if (g_AnalysisHost) g_AnalysisHost->SetLibraryCell(AnalysisRow, kColBPM, bpmText_);
  return bpmText_;
}

// ---------------------------------------------------------------- levels

float clsBassPlayer::dB() {
  const uint32_t level = engine::Level(strm_);
  if (level == 0xFFFFFFFFu) return kSilenceDb;  // not playing
  const int32_t m = std::max(modBass_LoWord(level), modBass_HiWord(level));
  if (m <= 0) return kSilenceDb;
  const float v = static_cast<float>(20.0 * std::log10(m / 32768.0));
  dBText_ = QString::number(v);
  return v;
}

float clsBassPlayer::ChannelDb(bool right, float& stored) {
  const uint32_t level = engine::Level(strm_);
  const int32_t l = level == 0xFFFFFFFFu ? 0 : (right ? modBass_HiWord(level) : modBass_LoWord(level));
  const int32_t v = g_AnalysisHost ? g_AnalysisHost->MainVolumeValue() : 0;
  // Silence, or the master volume at its bottom, reads as silence.
  if (l <= 0 || v >= 100) return kSilenceDb;
  stored = static_cast<float>(20.0 * std::log10(l / 32768.0) / ((100 - v) / 100.0));
  return stored;
}

float clsBassPlayer::LeftdB() { return ChannelDb(false, leftdB_); }
float clsBassPlayer::RightdB() { return ChannelDb(true, rightdB_); }

// ---------------------------------------------------------------- mix points

void clsBassPlayer::WriteMixPointCell(int column, int64_t bytes, engine::Handle scan) {
  if (!g_AnalysisHost) return;
  float seconds = modBass_Bytes2Seconds(strm_, bytes);
  if (seconds < 0) seconds = modBass_Bytes2Seconds(scan, bytes);  // no deck stream: the scan's rate
  g_AnalysisHost->SetLibraryCell(AnalysisRow, column, SecondsText(std::max(0.0f, seconds)));
}

int32_t clsBassPlayer::StartMixPoint() {
  const int32_t t = SilenceLevel() * 80;
  const engine::Handle scan = OpenDecodeStream(kScanFlags, speaker_);
  if (!scan) return 0;
  std::vector<int16_t> buffer(kScanBufferSamples);
  int64_t pos = 0;
  for (;;) {
    AdvanceAnalysisProgress(0.1f, kColStartMixPoint);
    const int32_t got = engine::ReadData(scan, buffer.data(), kStartBlockBytes);
    const int32_t n = got > 0 ? got / 2 : 0;
    int32_t found = -1;
    for (int32_t k = 0; k < n; ++k) {
      if (std::abs(static_cast<int32_t>(buffer[k])) > t) {
        found = k;
        break;
      }
    }
    if (found >= 0) {
      int32_t j = found;
      while (j > 0) {
        --j;
        if (std::abs(static_cast<int32_t>(buffer[j])) <= t / 4) break;
      }
      pos += 2 * static_cast<int64_t>(j);
      break;
    }
    pos += 2 * static_cast<int64_t>(n);
    if (got <= 0 || engine::IsActive(scan) == engine::kStopped) break;
  }
  WriteMixPointCell(kColStartMixPoint, pos, scan);
  engine::FreeStream(scan);
  return static_cast<int32_t>(std::min<int64_t>(pos, INT32_MAX));
}

int32_t clsBassPlayer::EndMixPoint() {
  const int32_t t = SilenceLevel() * 80 / 2;
  const engine::Handle scan = OpenDecodeStream(kScanFlags, speaker_);
  if (!scan) return 0;
  std::vector<int16_t> buffer(kScanBufferSamples);
  int64_t p = engine::Length(scan);
  int64_t result = 0;
  bool failed = p < 0;
  while (!failed) {
    AdvanceAnalysisProgress(0.1f, kColEndMixPoint);
    p = p < kEndBlockBytes ? 0 : p - kEndBlockBytes;
    if (!engine::Seek(scan, static_cast<uint64_t>(p))) {
      failed = true;
      break;
    }
    const int32_t got = engine::ReadData(scan, buffer.data(), kEndBlockBytes);
    const int32_t n = got > 0 ? got / 2 : 0;
    if (n == 0) {
      failed = true;
      break;
    }
    int32_t found = -1;
    for (int32_t k = n - 1; k >= 0; --k) {
      if (std::abs(static_cast<int32_t>(buffer[k])) > t) {
        found = k;
        break;
      }
    }
    if (found >= 0) {
      result = p + 2 * static_cast<int64_t>(found);
      break;
    }
    if (p == 0) break;
  }
  if (failed) {
    // The cell shows where the deck stream is (zero for a player that does
    // not play), as a failed scan always has.
    const int64_t pos = engine::Position(strm_);
    WriteMixPointCell(kColEndMixPoint, pos < 0 ? 0 : pos, scan);
    result = 0;
  } else {
    WriteMixPointCell(kColEndMixPoint, result, scan);
  }
  engine::FreeStream(scan);
  return static_cast<int32_t>(std::min<int64_t>(result, INT32_MAX));
}

// ---------------------------------------------------------------- gain

std::optional<float> clsBassPlayer::Peak() {
  gainInfo_ = clsMp3Info();
  gainInfo_.ModifydBGain(0);
  if (gainInfo_.RadiodBGain() == clsMp3Info::kNoValue) AnalyzeGain(filename_, gainInfo_);
  if (gainInfo_.RadiodBGain() == clsMp3Info::kNoValue) {
    // No figure from the tool: show and store nothing rather than a number
    // computed from the no-value mark.
    if (g_AnalysisHost) g_AnalysisHost->SetLibraryCell(AnalysisRow, kColGain, QString());
    return std::nullopt;
  }
  const double raw = 89.0 + gainInfo_.ModifydBGain() - gainInfo_.RadiodBGain();
  const float figure = static_cast<float>(std::round(raw * 10.0) / 10.0);
  if (g_AnalysisHost) g_AnalysisHost->SetLibraryCell(AnalysisRow, kColGain, QVariant::fromValue(figure));
  return figure;
}

}  // namespace djvp
