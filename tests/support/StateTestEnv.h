// A clean world for the tests of the program's logic, without its window:
// settings, data and class registry in a temporary folder, message boxes and
// the players' messages captured, and the window state with its track grids
// set up as the window sets them up and the handlers of the decks, the
// playlists, the effects, the library and the tag editor connected. Needs a
// Qt application object (the grids are the grid control).
#pragma once

#include "TempDir.h"
#include "audio/AnalysisHost.h"
#include "audio/Messages.h"
#include "decks/Handlers.h"
#include "effects/EffectControls.h"
#include "library/Handlers.h"
#include "platform/Grid.h"
#include "platform/MessageBox.h"
#include "platform/Notice.h"
#include "platform/Paths.h"
#include "playlists/Playlists.h"
#include "tageditor/TagEditor.h"
#include "StringTable.h"
#include "ui/MainState.h"
#include "ui/SettingsKeys.h"
#include "ui/TrackColumns.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QString>

#include <memory>
#include <string>
#include <vector>

class StateTestEnv {
 public:
  StateTestEnv()
      : config_("XDG_CONFIG_HOME", dir_.file("config")),
        data_("XDG_DATA_HOME", dir_.file("data")),
        registry_("AUTOMATION_REGISTRY_FILE", dir_.file("registry.ini")) {
    program = QString::fromStdString(dir_.file("program"));
    QDir().mkpath(program);
    djvp::SetProgramFolder(program);
    djvp::SetMsgBoxHook([this](const QString& text, djvp::MsgButtons) {
      messages.push_back(text);
      return djvp::MsgResult::Ok;
    });
    djvp::SetMessageSink([this](const QString& text) { messages.push_back(text); });
    djvp::SetNoticeHook([this](const QString& text) { notices.push_back(text); });
    djvp::LangOffset = 0;
  }
  ~StateTestEnv() {
    djvp::SetProgramFolder({});
    djvp::SetMsgBoxHook({});
    djvp::SetNoticeHook({});
    djvp::SetMessageSink({});
    djvp::LangOffset = 0;
  }

  // A new window state over this world. With the tag library, the control
  // Sonavex1 is made from the library built beside the test program.
  std::unique_ptr<djvp::MainState> Open(bool withTagLibrary = false) {
    auto s = std::make_unique<djvp::MainState>();
    for (auto& grid : s->PlayListView) djvp::ui::InitPlaylistColumns(*grid);
    djvp::ui::InitLibraryColumns(*s->DummyPlaylist);
    decks::ConnectHandlers(*s);
    playlists::ConnectHandlers(*s);
    effects::ConnectHandlers(*s);
    library::ConnectHandlers(*s);
    tageditor::ConnectHandlers(*s, {});
    djvp::g_AnalysisHost = s.get();
    if (withTagLibrary) {
      const QString library = QCoreApplication::applicationDirPath() + QStringLiteral("/libSonavex2.so");
      if (!QFile::exists(program + QStringLiteral("/libSonavex2.so"))) QFile::link(library, program + QStringLiteral("/libSonavex2.so"));
      s->CreateSonavex(program);
    }
    return s;
  }

  std::string file(const std::string& name) const { return dir_.file(name); }

  QString program;
  std::vector<QString> messages;
  // What the program told in notices that do not stop it (djvp::Notice).
  std::vector<QString> notices;

 private:
  TempDir dir_;
  ScopedEnv config_;
  ScopedEnv data_;
  ScopedEnv registry_;
};
