// The window state of the mixer tests (StateTestEnv), with the Qt
// application the grids need when this test program brings no main of its
// own.
#pragma once

#include "FakeMixer.h"
#include "StateTestEnv.h"
#include "decks/AutomixSettings.h"
#include "platform/SystemMixer.h"

#include <QApplication>

#include <memory>

inline void EnsureQtApplication() {
  if (QApplication::instance()) return;
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static int argc = 1;
  static char name[] = "decks_tests";
  static char* argv[] = {name, nullptr};
  // Kept to the end of the process and never destroyed: Qt's input devices
  // must not outlive it during the exit handlers.
  static QApplication* app = new QApplication(argc, argv);
  (void)app;
}

class MixerWindow {
 public:
  MixerWindow() : env_((EnsureQtApplication(), std::make_unique<StateTestEnv>())) { Reopen(); }
  ~MixerWindow() { w.reset(); }
  StateTestEnv& env() { return *env_; }
  // A new state over the same settings, with the mixer page's settings
  // loaded as at the next program start.
  void Reopen() {
    w.reset();
    w = env_->Open();
    djvp::mixer::LoadMixerSettings(*w);
  }
  // Gives the state a system mixer with a Master control 0..maximum, as the
  // window's load does.
  void UseMixer(int32_t maximum, int32_t volume) {
    w->SystemVolume = std::make_unique<djvp::clsVolume>(std::make_unique<FakeMixer>(maximum, volume, &mixerWritten));
    w->WaveVolumeStep = static_cast<float>(w->SystemVolume->MaxWaveVolume() - w->SystemVolume->MinWaveVolume()) / 100.0f;
  }
  static QString Stored(const char* section, const char* key) {
    return djvp::keys::Get(QLatin1String(section), QLatin1String(key), QStringLiteral("<none>"));
  }

  std::unique_ptr<djvp::MainState> w;
  int32_t mixerWritten = -1;

 private:
  std::unique_ptr<StateTestEnv> env_;
};
