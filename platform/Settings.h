// The settings store: one INI file per application name in the user's config
// folder ($XDG_CONFIG_HOME/djvorlanpellix/<app>.ini, $HOME/.config when the
// variable is unset). Values are strings. Section and key names compare
// without regard to letter case, so "FlangerWetdry" reads what was written
// as "FlangerWetDry". Every write reaches the file at once, written as a
// whole new file that replaces the old one.
#pragma once

#include <QString>

#include <functional>

namespace djvp {

// The stored value, or defaultValue when the section or key does not exist.
QString GetSetting(const QString& app, const QString& section, const QString& key,
                   const QString& defaultValue = {});

// Stores the value. When the section or key already exists under another
// letter case, that entry is replaced (one entry per name). False when the
// store cannot be written (a read-only or full disk); the first such failure
// of a run goes to the failure handler.
bool SaveSetting(const QString& app, const QString& section, const QString& key, const QString& value);

// Told, once per run, that a setting could not be stored: the store's file
// and the system's error text. Setting a handler starts a new run (tests).
using SettingsFailureHandler = std::function<void(const QString& file, const QString& error)>;
void SetSettingsFailureHandler(SettingsFailureHandler handler);

// Removes one key, or the whole section when key is empty. A missing section
// or key is no error.
void DeleteSetting(const QString& app, const QString& section, const QString& key = {});

// The file that holds the settings of an application.
QString SettingsFilePath(const QString& app);

}  // namespace djvp
