#include "platform/Settings.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStringList>

#include <cerrno>
#include <cstring>

namespace djvp {

namespace {

QString ConfigFolder() {
  QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
  if (base.isEmpty() || !QDir::isAbsolutePath(base)) base = QDir::homePath() + QStringLiteral("/.config");
  return QDir::cleanPath(base + QStringLiteral("/djvorlanpellix"));
}

// QSettings reads "/" and "\\" in a name as a level of sections; names such
// as equaliser preset names may hold them, so they are stored escaped.
QString Encode(const QString& name) {
  QString out = name;
  out.replace(QLatin1Char('%'), QLatin1String("%25"));
  out.replace(QLatin1Char('/'), QLatin1String("%2F"));
  out.replace(QLatin1Char('\\'), QLatin1String("%5C"));
  return out;
}

QString Decode(const QString& name) {
  QString out;
  for (qsizetype i = 0; i < name.size(); ++i) {
    if (name[i] == QLatin1Char('%') && i + 2 < name.size()) {
      const QStringView code = QStringView(name).mid(i + 1, 2);
      if (code.compare(QLatin1String("25"), Qt::CaseInsensitive) == 0) { out += QLatin1Char('%'); i += 2; continue; }
      if (code.compare(QLatin1String("2F"), Qt::CaseInsensitive) == 0) { out += QLatin1Char('/'); i += 2; continue; }
      if (code.compare(QLatin1String("5C"), Qt::CaseInsensitive) == 0) { out += QLatin1Char('\\'); i += 2; continue; }
    }
    out += name[i];
  }
  return out;
}

// The stored (encoded) spelling of a name that compares equal without regard
// to case; "" when there is none.
QString StoredName(const QStringList& names, const QString& wanted) {
  for (const QString& name : names) {
    if (Decode(name).compare(wanted, Qt::CaseInsensitive) == 0) return name;
  }
  return {};
}

QString AsText(const QVariant& value) {
  // A hand-edited file may hold an unquoted list ("a, b"); the store knows
  // only strings, so it is read back as the text it was.
  if (value.metaType().id() == QMetaType::QStringList) return value.toStringList().join(QStringLiteral(", "));
  return value.toString();
}

struct FailureReport {
  SettingsFailureHandler handler;
  bool told = false;
};
FailureReport& Failures() {
  static FailureReport report;
  return report;
}

void ReportFailure(const QString& file, int error) {
  FailureReport& r = Failures();
  if (r.told || !r.handler) return;
  r.told = true;
  r.handler(file, error != 0 ? QString::fromLocal8Bit(std::strerror(error)) : QStringLiteral("unknown error"));
}

}  // namespace

void SetSettingsFailureHandler(SettingsFailureHandler handler) {
  Failures().handler = std::move(handler);
  Failures().told = false;
}

QString SettingsFilePath(const QString& app) {
  QString name = app;
  name.replace(QLatin1Char('/'), QLatin1Char('_'));
  return ConfigFolder() + QLatin1Char('/') + name + QStringLiteral(".ini");
}

QString GetSetting(const QString& app, const QString& section, const QString& key, const QString& defaultValue) {
  if (section.isEmpty() || key.isEmpty()) return defaultValue;
  QSettings store(SettingsFilePath(app), QSettings::IniFormat);
  const QString group = StoredName(store.childGroups(), section);
  if (group.isEmpty()) return defaultValue;
  store.beginGroup(group);
  const QString stored = StoredName(store.childKeys(), key);
  if (stored.isEmpty()) return defaultValue;
  return AsText(store.value(stored));
}

bool SaveSetting(const QString& app, const QString& section, const QString& key, const QString& value) {
  if (section.isEmpty() || key.isEmpty()) return false;
  const QString file = SettingsFilePath(app);
  errno = 0;
  if (!QDir().mkpath(ConfigFolder())) {
    const int error = errno != 0 ? errno : (QFileInfo(ConfigFolder()).exists() ? ENOTDIR : EACCES);
    ReportFailure(file, error);
    return false;
  }
  QSettings store(file, QSettings::IniFormat);
  QString group = StoredName(store.childGroups(), section);
  const bool newGroup = group.isEmpty();
  if (newGroup) group = Encode(section);
  store.beginGroup(group);
  // Drop every spelling of the key so that one entry remains.
  const QString stored = Encode(key);
  bool others = false;
  for (const QString& name : store.childKeys()) {
    if (Decode(name).compare(key, Qt::CaseInsensitive) == 0 && name != stored) {
      store.remove(name);
      others = true;
    }
  }
  const QString text = value.isNull() ? QStringLiteral("") : value;
  // A value stored already as it is needs no new file (a song start applies
  // and stores every deck setting again; each write syncs the file).
  if (!newGroup && !others && store.contains(stored) && AsText(store.value(stored)) == text) return true;
  store.setValue(stored, text);
  store.endGroup();
  errno = 0;
  store.sync();
  if (store.status() != QSettings::NoError) {
    // The store writes a new file and renames it; the call that failed left
    // its reason behind.
    const int error = errno;
    ReportFailure(file, error != 0 ? error : (QFileInfo(ConfigFolder()).isWritable() ? 0 : EACCES));
    return false;
  }
  return true;
}

void DeleteSetting(const QString& app, const QString& section, const QString& key) {
  if (section.isEmpty()) return;
  QSettings store(SettingsFilePath(app), QSettings::IniFormat);
  const QString group = StoredName(store.childGroups(), section);
  if (group.isEmpty()) return;
  if (key.isEmpty()) {
    store.remove(group);
  } else {
    store.beginGroup(group);
    for (const QString& name : store.childKeys()) {
      if (Decode(name).compare(key, Qt::CaseInsensitive) == 0) store.remove(name);
    }
    store.endGroup();
  }
  store.sync();
}

}  // namespace djvp
