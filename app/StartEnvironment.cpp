#include "app/StartEnvironment.h"

#include <QDir>
#include <QFile>

#include <dlfcn.h>
#include <unistd.h>

namespace djvp {

void QuietSoundServers() {
  qputenv("JACK_NO_START_SERVER", "1");
  // The library is part of the process only when the sound back end was
  // built with it, so its functions are looked up rather than linked.
  using Printer = void (*)(const char*);
  using SetPrinter = void (*)(Printer);
  static const Printer silent = [](const char*) {};
  for (const char* setter : {"jack_set_error_function", "jack_set_info_function"})
    if (auto set = reinterpret_cast<SetPrinter>(dlsym(RTLD_DEFAULT, setter))) set(silent);
}

void EnsureRuntimeFolder() {
  if (!qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) return;
  const QString folder = QDir::tempPath() + QStringLiteral("/runtime-") + QString::number(getuid());
  QDir().mkpath(folder);
  QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
  qputenv("XDG_RUNTIME_DIR", QFile::encodeName(folder));
}

}  // namespace djvp
