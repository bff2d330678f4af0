// The world a benchmark runs the main window in: settings, data and class
// registry in a temporary folder, a program folder with the tag library
// beside it and no skins, no sound devices and no message boxes.
#pragma once

#include "app/DeviceSet.h"
#include "platform/MessageBox.h"
#include "platform/Paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <string>
#include <vector>

namespace bench {

inline void MakeProgramWorld(const QTemporaryDir& dir) {
  qputenv("XDG_CONFIG_HOME", dir.filePath(QStringLiteral("config")).toUtf8());
  qputenv("XDG_DATA_HOME", dir.filePath(QStringLiteral("data")).toUtf8());
  qputenv("AUTOMATION_REGISTRY_FILE", dir.filePath(QStringLiteral("registry.ini")).toUtf8());
  const QString program = dir.filePath(QStringLiteral("program"));
  QDir().mkpath(program + QStringLiteral("/Skins"));
  QFile::link(QCoreApplication::applicationDirPath() + QStringLiteral("/libSonavex2.so"),
              program + QStringLiteral("/libSonavex2.so"));
  djvp::SetProgramFolder(program);
  djvp::SetMsgBoxHook([](const QString&, djvp::MsgButtons) { return djvp::MsgResult::Ok; });
  djvp::DeviceNamesOverride() = std::vector<std::string>{};
  djvp::DeviceOpsOverride() = djvp::DeviceSet::Ops{[](int, uint32_t) { return true; }, [](int) {}};
}

}  // namespace bench
