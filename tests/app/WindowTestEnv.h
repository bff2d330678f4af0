// A clean world for one main-window test: settings, data and class registry
// in a temporary folder, a program folder with three small skins, message
// boxes and the help browser captured, a fake mixer, fake sound devices whose
// opening and closing is recorded.
#pragma once

#include "FakeMixer.h"
#include "TempDir.h"
#include "app/DeviceSet.h"
#include "app/Globals.h"
#include "app/frmMain.h"
#include "platform/Help.h"
#include "platform/MessageBox.h"
#include "platform/Paths.h"
#include "platform/QtTexts.h"
#include "platform/Settings.h"
#include "platform/SystemMixer.h"
#include "StringTable.h"

#include <QDir>
#include <QString>

#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

class WindowTestEnv {
 public:
  WindowTestEnv()
      : config_("XDG_CONFIG_HOME", dir_.file("config")),
        data_("XDG_DATA_HOME", dir_.file("data")),
        registry_("AUTOMATION_REGISTRY_FILE", dir_.file("registry.ini")) {
    program = QString::fromStdString(dir_.file("program"));
    QDir().mkpath(program + "/Skins");
    WriteSkin("Midnight.skf", "Midnight", "QWidget#frmMain { background: #101418; }");
    WriteSkin("Steel.skf", "Steel", "QWidget#frmMain { background: #203040; }");
    WriteSkin("Amber.skf", "Amber", "QWidget#frmMain { background: #302010; }");
    for (const char* language : {"en", "nl"}) {
      QDir().mkpath(program + "/help/" + language);
      TempDir::Write((program + "/help/" + language + "/introduction.htm").toStdString(), "<html></html>");
    }
    djvp::SetProgramFolder(program);
    djvp::SetMsgBoxHook([this](const QString& text, djvp::MsgButtons) {
      messages.push_back(text);
      return djvp::MsgResult::Ok;
    });
    djvp::SetHelpHook([this](const QUrl& page) {
      helpPages.push_back(page);
      return true;
    });
    djvp::DeviceNamesOverride() = std::vector<std::string>{"Card A", "Card B", "USB Headset"};
    djvp::SystemOrderOverride() = std::vector<int>{1, 2, 3};
    djvp::DeviceOpsOverride() = djvp::DeviceSet::Ops{
        [this](int device, uint32_t flags) {
          inits.emplace_back(device, flags);
          return failing.count(device) == 0;
        },
        [this](int device) { frees.push_back(device); }};
    djvp::SystemMixerFactory() = [this] {
      return std::make_unique<djvp::clsVolume>(std::make_unique<FakeMixer>(mixerMax, mixerVolume, &mixerWritten));
    };
    djvp::LangOffset = 0;
    djvp::SkinApplyPending = false;
  }
  ~WindowTestEnv() {
    djvp::SetProgramFolder({});
    djvp::SetMsgBoxHook({});
    djvp::SetHelpHook({});
    djvp::DeviceNamesOverride().reset();
    djvp::SystemOrderOverride().reset();
    djvp::DeviceOpsOverride().reset();
    djvp::SystemMixerFactory() = {};
    djvp::LangOffset = 0;
    djvp::FollowInterfaceLanguage();  // Qt's own texts back to English as well
    djvp::SkinApplyPending = false;
  }

  void WriteSkin(const QString& file, const QString& name, const QString& sheet) const {
    TempDir::Write((program + "/Skins/" + file).toStdString(), ("name=" + name + "\n" + sheet + "\n").toStdString());
  }
  static void Set(const QString& section, const QString& key, const QString& value) {
    djvp::SaveSetting(QStringLiteral("DJVP"), section, key, value);
  }
  static QString Get(const QString& section, const QString& key) {
    return djvp::GetSetting(QStringLiteral("DJVP"), section, key, QStringLiteral("<none>"));
  }
  std::unique_ptr<djvp::frmMain> Open() {
    inits.clear();
    frees.clear();
    return std::make_unique<djvp::frmMain>();
  }

  QString program;
  std::vector<QString> messages;
  std::vector<QUrl> helpPages;
  std::vector<std::pair<int, uint32_t>> inits;
  std::vector<int> frees;
  std::set<int> failing;
  int32_t mixerMax = 100;
  int32_t mixerVolume = 100;
  int32_t mixerWritten = -1;

 private:
  TempDir dir_;
  ScopedEnv config_;
  ScopedEnv data_;
  ScopedEnv registry_;
};
