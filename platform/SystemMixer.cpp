#include "platform/SystemMixer.h"

#include "platform/MessageBox.h"
#include "StringTable.h"

#include <alsa/asoundlib.h>
#include <dlfcn.h>

#include <limits>
#include <utility>

namespace djvp {

namespace {

// The mixer elements of each line, in order of preference. LineIn falls back
// to the auxiliary input when the line input has no volume control.
const char* const kWave[] = {"Master", "PCM", nullptr};
const char* const kMicro[] = {"Mic", nullptr};
const char* const kWaveIn[] = {"PCM", nullptr};
const char* const kLineIn[] = {"Line", "Aux", nullptr};
const char* const kCD[] = {"CD", nullptr};
const char* const kMIDI[] = {"Synth", "MIDI", nullptr};
const char* const* const kLineElements[6] = {kWave, kMicro, kWaveIn, kLineIn, kCD, kMIDI};

}  // namespace

clsVolume::clsVolume() {
  int error = 0;
  device_ = OpenAlsaMixer(error);
  lastMixerResult_ = device_ ? 0 : (error != 0 ? error : kMixerInvalidControl);
  Create();
}

clsVolume::clsVolume(std::unique_ptr<MixerDevice> device) : device_(std::move(device)) {
  lastMixerResult_ = device_ ? 0 : kMixerInvalidControl;
  Create();
}

clsVolume::~clsVolume() = default;

void clsVolume::Create() {
  if (!device_) {
    const std::optional<std::string> text = FindTr(218);
    MsgBox(text ? QString::fromStdString(*text) : QStringLiteral("No mixer found"));
    return;
  }
  for (int line = 0; line < 6; ++line) {
    Line& l = lines_[line];
    for (const char* const* element = kLineElements[line]; *element != nullptr; ++element) {
      const QString name = QString::fromLatin1(*element);
      int32_t min = 0, max = 0;
      const int32_t volume = device_->FindVolumeControl(name, min, max);
      lastMixerResult_ = volume != 0 ? 0 : kMixerInvalidControl;
      if (volume == 0) continue;
      l.volumeControl = volume;
      l.min = min;
      l.max = max;
      volumeFoundMask_ |= 1 << line;
      // The mute switch is taken from the element whose volume was found.
      l.muteControl = device_->FindMuteControl(name);
      lastMixerResult_ = l.muteControl != 0 ? 0 : kMixerInvalidControl;
      if (l.muteControl != 0) muteFoundMask_ |= 1 << line;
      break;
    }
  }
}

int32_t clsVolume::GetControlValue(int32_t control) {
  if (!device_) {
    lastMixerResult_ = kMixerInvalidControl;
    return 0;
  }
  int32_t value = 0;
  lastMixerResult_ = device_->GetValue(control, value);
  return lastMixerResult_ == 0 ? value : 0;
}

bool clsVolume::SetControlValue(int32_t control, int32_t value) {
  if (!device_) {
    lastMixerResult_ = kMixerInvalidControl;
    return false;
  }
  lastMixerResult_ = device_->SetValue(control, value);
  return lastMixerResult_ == 0;
}

int32_t clsVolume::GetVolume(int line) { return GetControlValue(lines_[line].volumeControl); }

void clsVolume::SetVolume(int line, int32_t value) {
  const Line& l = lines_[line];
  if (value < l.min) value = l.min;
  if (value > l.max) value = l.max;
  SetControlValue(l.volumeControl, value);
}

int32_t clsVolume::GetMute(int line) { return GetControlValue(lines_[line].muteControl); }

void clsVolume::SetMute(int line, int32_t value) { SetControlValue(lines_[line].muteControl, value); }

namespace {

// libasound is loaded when the mixer is first opened, so the program runs
// (without a mixer) on a machine that lacks it.
struct AlsaApi {
  decltype(&snd_mixer_open) mixer_open = nullptr;
  decltype(&snd_mixer_close) mixer_close = nullptr;
  decltype(&snd_mixer_attach) mixer_attach = nullptr;
  decltype(&snd_mixer_selem_register) selem_register = nullptr;
  decltype(&snd_mixer_load) mixer_load = nullptr;
  decltype(&snd_mixer_handle_events) handle_events = nullptr;
  decltype(&snd_mixer_find_selem) find_selem = nullptr;
  decltype(&snd_mixer_selem_id_malloc) id_malloc = nullptr;
  decltype(&snd_mixer_selem_id_free) id_free = nullptr;
  decltype(&snd_mixer_selem_id_set_index) id_set_index = nullptr;
  decltype(&snd_mixer_selem_id_set_name) id_set_name = nullptr;
  decltype(&snd_mixer_selem_has_playback_volume) has_playback_volume = nullptr;
  decltype(&snd_mixer_selem_has_capture_volume) has_capture_volume = nullptr;
  decltype(&snd_mixer_selem_has_playback_switch) has_playback_switch = nullptr;
  decltype(&snd_mixer_selem_has_capture_switch) has_capture_switch = nullptr;
  decltype(&snd_mixer_selem_get_playback_volume_range) playback_range = nullptr;
  decltype(&snd_mixer_selem_get_capture_volume_range) capture_range = nullptr;
  decltype(&snd_mixer_selem_get_playback_volume) get_playback_volume = nullptr;
  decltype(&snd_mixer_selem_get_capture_volume) get_capture_volume = nullptr;
  decltype(&snd_mixer_selem_set_playback_volume_all) set_playback_volume = nullptr;
  decltype(&snd_mixer_selem_set_capture_volume_all) set_capture_volume = nullptr;
  decltype(&snd_mixer_selem_get_playback_switch) get_playback_switch = nullptr;
  decltype(&snd_mixer_selem_get_capture_switch) get_capture_switch = nullptr;
  decltype(&snd_mixer_selem_set_playback_switch_all) set_playback_switch = nullptr;
  decltype(&snd_mixer_selem_set_capture_switch_all) set_capture_switch = nullptr;
  decltype(&snd_lib_error_set_handler) set_error_handler = nullptr;
  bool ok = false;
};

template <typename F>
bool Bind(void* lib, const char* name, F& fn) {
  fn = reinterpret_cast<F>(dlsym(lib, name));
  return fn != nullptr;
}

// ALSA reports every failed open on stderr; the mixer's absence is reported
// to the user once, through message 218.
void QuietAlsaErrors(const char*, int, const char*, int, const char*, ...) {}

const AlsaApi& Alsa() {
  static const AlsaApi api = [] {
    AlsaApi a;
    void* lib = dlopen("libasound.so.2", RTLD_NOW | RTLD_LOCAL);
    if (lib == nullptr) return a;
    a.ok = Bind(lib, "snd_mixer_open", a.mixer_open) && Bind(lib, "snd_mixer_close", a.mixer_close) &&
           Bind(lib, "snd_mixer_attach", a.mixer_attach) && Bind(lib, "snd_mixer_selem_register", a.selem_register) &&
           Bind(lib, "snd_mixer_load", a.mixer_load) && Bind(lib, "snd_mixer_handle_events", a.handle_events) &&
           Bind(lib, "snd_mixer_find_selem", a.find_selem) && Bind(lib, "snd_mixer_selem_id_malloc", a.id_malloc) &&
           Bind(lib, "snd_mixer_selem_id_free", a.id_free) &&
           Bind(lib, "snd_mixer_selem_id_set_index", a.id_set_index) &&
           Bind(lib, "snd_mixer_selem_id_set_name", a.id_set_name) &&
           Bind(lib, "snd_mixer_selem_has_playback_volume", a.has_playback_volume) &&
           Bind(lib, "snd_mixer_selem_has_capture_volume", a.has_capture_volume) &&
           Bind(lib, "snd_mixer_selem_has_playback_switch", a.has_playback_switch) &&
           Bind(lib, "snd_mixer_selem_has_capture_switch", a.has_capture_switch) &&
           Bind(lib, "snd_mixer_selem_get_playback_volume_range", a.playback_range) &&
           Bind(lib, "snd_mixer_selem_get_capture_volume_range", a.capture_range) &&
           Bind(lib, "snd_mixer_selem_get_playback_volume", a.get_playback_volume) &&
           Bind(lib, "snd_mixer_selem_get_capture_volume", a.get_capture_volume) &&
           Bind(lib, "snd_mixer_selem_set_playback_volume_all", a.set_playback_volume) &&
           Bind(lib, "snd_mixer_selem_set_capture_volume_all", a.set_capture_volume) &&
           Bind(lib, "snd_mixer_selem_get_playback_switch", a.get_playback_switch) &&
           Bind(lib, "snd_mixer_selem_get_capture_switch", a.get_capture_switch) &&
           Bind(lib, "snd_mixer_selem_set_playback_switch_all", a.set_playback_switch) &&
           Bind(lib, "snd_mixer_selem_set_capture_switch_all", a.set_capture_switch) &&
           Bind(lib, "snd_lib_error_set_handler", a.set_error_handler);
    return a;
  }();
  return api;
}

int32_t ClampToInt32(long v) {
  if (v < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
  if (v > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  return static_cast<int32_t>(v);
}

class AlsaMixer : public MixerDevice {
 public:
  explicit AlsaMixer(snd_mixer_t* mixer) : mixer_(mixer) {}
  ~AlsaMixer() override { Alsa().mixer_close(mixer_); }

  int32_t FindVolumeControl(const QString& element, int32_t& min, int32_t& max) override {
    snd_mixer_elem_t* elem = Find(element);
    if (elem == nullptr) return 0;
    const AlsaApi& a = Alsa();
    long lo = 0, hi = 0;
    Kind kind;
    if (a.has_playback_volume(elem)) {
      kind = Kind::PlaybackVolume;
      a.playback_range(elem, &lo, &hi);
    } else if (a.has_capture_volume(elem)) {
      kind = Kind::CaptureVolume;
      a.capture_range(elem, &lo, &hi);
    } else {
      return 0;
    }
    min = ClampToInt32(lo);
    max = ClampToInt32(hi);
    return Add(elem, kind);
  }

  int32_t FindMuteControl(const QString& element) override {
    snd_mixer_elem_t* elem = Find(element);
    if (elem == nullptr) return 0;
    const AlsaApi& a = Alsa();
    if (a.has_playback_switch(elem)) return Add(elem, Kind::PlaybackMute);
    if (a.has_capture_switch(elem)) return Add(elem, Kind::CaptureMute);
    return 0;
  }

  int GetValue(int32_t control, int32_t& value) override {
    const Control* c = At(control);
    if (c == nullptr) return kMixerInvalidControl;
    const AlsaApi& a = Alsa();
    // Pick up changes other programs made since the last call.
    a.handle_events(mixer_);
    long v = 0;
    int on = 0;
    int rc = 0;
    switch (c->kind) {
      case Kind::PlaybackVolume: rc = a.get_playback_volume(c->elem, SND_MIXER_SCHN_FRONT_LEFT, &v); break;
      case Kind::CaptureVolume: rc = a.get_capture_volume(c->elem, SND_MIXER_SCHN_FRONT_LEFT, &v); break;
      case Kind::PlaybackMute:
        rc = a.get_playback_switch(c->elem, SND_MIXER_SCHN_FRONT_LEFT, &on);
        v = on ? 0 : 1;
        break;
      case Kind::CaptureMute:
        rc = a.get_capture_switch(c->elem, SND_MIXER_SCHN_FRONT_LEFT, &on);
        v = on ? 0 : 1;
        break;
    }
    if (rc != 0) return rc;
    value = ClampToInt32(v);
    return 0;
  }

  int SetValue(int32_t control, int32_t value) override {
    const Control* c = At(control);
    if (c == nullptr) return kMixerInvalidControl;
    const AlsaApi& a = Alsa();
    switch (c->kind) {
      case Kind::PlaybackVolume: return a.set_playback_volume(c->elem, value);
      case Kind::CaptureVolume: return a.set_capture_volume(c->elem, value);
      // A switch that is on lets the sound through: muting turns it off.
      case Kind::PlaybackMute: return a.set_playback_switch(c->elem, value != 0 ? 0 : 1);
      case Kind::CaptureMute: return a.set_capture_switch(c->elem, value != 0 ? 0 : 1);
    }
    return kMixerInvalidControl;
  }

 private:
  enum class Kind { PlaybackVolume, CaptureVolume, PlaybackMute, CaptureMute };
  struct Control {
    snd_mixer_elem_t* elem;
    Kind kind;
  };

  snd_mixer_elem_t* Find(const QString& element) {
    const AlsaApi& a = Alsa();
    snd_mixer_selem_id_t* id = nullptr;
    if (a.id_malloc(&id) != 0) return nullptr;
    const QByteArray name = element.toLatin1();
    a.id_set_index(id, 0);
    a.id_set_name(id, name.constData());
    snd_mixer_elem_t* elem = a.find_selem(mixer_, id);
    a.id_free(id);
    return elem;
  }

  int32_t Add(snd_mixer_elem_t* elem, Kind kind) {
    controls_.push_back({elem, kind});
    return static_cast<int32_t>(controls_.size());
  }

  const Control* At(int32_t control) const {
    if (control < 1 || control > static_cast<int32_t>(controls_.size())) return nullptr;
    return &controls_[static_cast<size_t>(control - 1)];
  }

  snd_mixer_t* mixer_;
  std::vector<Control> controls_;
};

}  // namespace

std::unique_ptr<MixerDevice> OpenAlsaMixer(int& error) {
  const AlsaApi& a = Alsa();
  if (!a.ok) {
    error = kMixerInvalidControl;
    return nullptr;
  }
  // Quiet only while opening; the default handler comes back afterwards.
  a.set_error_handler(&QuietAlsaErrors);
  snd_mixer_t* mixer = nullptr;
  error = a.mixer_open(&mixer, 0);
  if (error == 0) {
    error = a.mixer_attach(mixer, "default");
    if (error == 0) error = a.selem_register(mixer, nullptr, nullptr);
    if (error == 0) error = a.mixer_load(mixer);
    if (error != 0) a.mixer_close(mixer);
  }
  a.set_error_handler(nullptr);
  if (error != 0) return nullptr;
  return std::make_unique<AlsaMixer>(mixer);
}

}  // namespace djvp
