// The settings store: one INI file per application name in the user's config
// folder ($XDG_CONFIG_HOME/djvorlanpellix/<app>.ini, $HOME/.config when the
// variable is unset). Values are strings. Section and key names compare
// without regard to letter case, so "FlangerWetdry" reads what was written
// as "FlangerWetDry". Every write reaches the file at once, written as a
// whole new file that replaces the old one only once it is complete on disk.
//
// The file is the INI text that earlier versions wrote and read (names and
// values escaped the same way), read by the store itself: what a write does
// not change is written back byte for byte, bytes that are not UTF-8
// included (a value holding such bytes reads as a text that keeps them, see
// OwnFiles.h). A file the store cannot take as it is (lines it cannot parse,
// a value or a file beyond a sane size) is kept whole under a name of its
// own ("<app>.ini.unreadable", numbered when taken) and the user is told
// once; a settings path that is a pipe or a device is never opened.
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

// Told, once per file and run, that the store could not take its file as it
// was: the file, why, and the name the whole file was kept under ("" when it
// was not set aside: a pipe or a device, which the store leaves alone and
// neither reads nor writes). What came before a handler was set is told to
// the handler when it is set. Setting a handler starts a new run (tests).
using SettingsNoticeHandler = std::function<void(const QString& file, const QString& why, const QString& keptAs)>;
void SetSettingsNoticeHandler(SettingsNoticeHandler handler);

// Removes one key, or the whole section when key is empty. A missing section
// or key is no error.
void DeleteSetting(const QString& app, const QString& section, const QString& key = {});

// The file that holds the settings of an application.
QString SettingsFilePath(const QString& app);

// The largest settings file and the longest line (a value with its name) the
// store takes.
inline constexpr qint64 kMaxSettingsFileBytes = 1 << 20;
inline constexpr qint64 kMaxSettingsLineBytes = 64 << 10;

}  // namespace djvp
