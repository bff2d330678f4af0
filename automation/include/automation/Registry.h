// The per-user class registry: a small text file of "[section]" headers and
// "key=value" lines, in which control libraries register their classes and
// from which hosts find a class's library by its ProgID.
//
// Sections written by a control library's registration:
//   [ProgID\<progid>]      CLSID=<clsid>
//   [CLSID\<clsid>]        ProgID, Name, InprocServer (absolute path of the
//                          library), ThreadingModel, MiscStatus, TypeLib,
//                          Version, Insertable, ToolboxBitmap
//   [TypeLib\<libid>\<ver>] Name, HelpFile, HelpString, Locale, Path
#pragma once

#include <map>
#include <string>

namespace automation {

class Registry {
 public:
  // $AUTOMATION_REGISTRY_FILE, else $XDG_CONFIG_HOME/automation/registry.ini
  // (XDG_CONFIG_HOME defaults to $HOME/.config).
  static std::string DefaultPath();

  explicit Registry(std::string path = DefaultPath());

  // Reads the file; a missing file is an empty registry. False on a read error.
  bool Load();
  // Writes the whole registry to a temporary file beside it and renames it over
  // the old one, so that the file is never half written. False on failure.
  bool Save() const;

  std::string Get(const std::string& section, const std::string& key) const;
  bool HasSection(const std::string& section) const;
  void Set(const std::string& section, const std::string& key, const std::string& value);
  void RemoveSection(const std::string& section);

  const std::string& path() const { return path_; }

 private:
  // Sections and keys compare without regard to ASCII case.
  struct NoCase {
    bool operator()(const std::string& a, const std::string& b) const;
  };
  using Section = std::map<std::string, std::string, NoCase>;
  std::string path_;
  std::map<std::string, Section, NoCase> sections_;
};

}  // namespace automation
