// The window world of the mixer tests (WindowTestEnv of the window tests),
// with the Qt application the window needs when this test program brings no
// main of its own.
#pragma once

#include "../app/WindowTestEnv.h"

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
  MixerWindow() : env_((EnsureQtApplication(), std::make_unique<WindowTestEnv>())) { w = env_->Open(); }
  ~MixerWindow() { w.reset(); }
  WindowTestEnv& env() { return *env_; }
  // A new window over the same settings, as at the next program start.
  void Reopen() {
    w.reset();
    w = env_->Open();
  }

  std::unique_ptr<djvp::frmMain> w;

 private:
  std::unique_ptr<WindowTestEnv> env_;
};
