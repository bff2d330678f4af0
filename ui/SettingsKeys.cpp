#include "ui/SettingsKeys.h"

#include "platform/Settings.h"

namespace djvp::keys {

namespace {
const QString kApp = QStringLiteral("DJVP");
}

const char* PlayerSection(DeckId deck) { return deck.IsFirst() ? "Player1" : "Player2"; }
const char* EqSection(DeckId deck) { return deck.IsFirst() ? "Eq1" : "Eq2"; }

QString Get(const QString& section, const QString& key, const QString& defaultValue) {
  return GetSetting(kApp, section, key, defaultValue);
}

QString Get(const Key& key, const QString& defaultValue) {
  return Get(QLatin1String(key.section), QLatin1String(key.name), defaultValue);
}

void Save(const QString& section, const QString& key, const QString& value) { SaveSetting(kApp, section, key, value); }

void Save(const Key& key, const QString& value) { Save(QLatin1String(key.section), QLatin1String(key.name), value); }

}  // namespace djvp::keys
