#include "platform/Settings.h"

#include <QDir>
#include <QSettings>
#include <QStringList>

namespace djvp {

namespace {

QString ConfigFolder() {
  QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
  if (base.isEmpty() || !QDir::isAbsolutePath(base)) base = QDir::homePath() + QStringLiteral("/.config");
  return QDir::cleanPath(base + QStringLiteral("/djvorlanpellix"));
}

// The stored spelling of a name that compares equal without regard to case;
// "" when there is none.
QString StoredName(const QStringList& names, const QString& wanted) {
  for (const QString& name : names) {
    if (name.compare(wanted, Qt::CaseInsensitive) == 0) return name;
  }
  return {};
}

QString AsText(const QVariant& value) {
  // A hand-edited file may hold an unquoted list ("a, b"); the store knows
  // only strings, so it is read back as the text it was.
  if (value.metaType().id() == QMetaType::QStringList) return value.toStringList().join(QStringLiteral(", "));
  return value.toString();
}

}  // namespace

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

void SaveSetting(const QString& app, const QString& section, const QString& key, const QString& value) {
  if (section.isEmpty() || key.isEmpty()) return;
  QDir().mkpath(ConfigFolder());
  QSettings store(SettingsFilePath(app), QSettings::IniFormat);
  QString group = StoredName(store.childGroups(), section);
  if (group.isEmpty()) group = section;
  store.beginGroup(group);
  // Drop every spelling of the key so that one entry remains.
  for (const QString& name : store.childKeys()) {
    if (name.compare(key, Qt::CaseInsensitive) == 0 && name != key) store.remove(name);
  }
  store.setValue(key, value.isNull() ? QStringLiteral("") : value);
  store.endGroup();
  store.sync();
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
      if (name.compare(key, Qt::CaseInsensitive) == 0) store.remove(name);
    }
    store.endGroup();
  }
  store.sync();
}

}  // namespace djvp
