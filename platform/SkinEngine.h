// Skins: "*.skf" files. The first line is "name=<Skin name>", the rest a Qt
// style sheet whose url(...) references are relative to the skin file's
// folder (the pictures lie beside it). The engine loads one skin at a time
// and applies it to the windows it is given.
#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>

#include <vector>

namespace djvp {

class SkinEngine {
 public:
  SkinEngine() = default;
  SkinEngine(const SkinEngine&) = delete;
  SkinEngine& operator=(const SkinEngine&) = delete;
  ~SkinEngine();

  // Reads a skin file. Returns false (and keeps the skin loaded before) when
  // the file cannot be read or is no skin.
  bool LoadSkinFile(const QString& path);

  // Applies the loaded skin to the window and its children; the window is
  // remembered, so a later Apply() re-skins every window handed over. With
  // no skin loaded the window gets no style sheet of ours.
  void ApplySkin(QWidget* window);
  // Applies the loaded skin again to every window handed over before.
  void Apply();

  // The skin's name from the first line of a "*.skf" file; "" when the file
  // cannot be read or is no skin.
  static QString SkinNameOf(const QString& path);

  // The name and path of the loaded skin ("" when none) and its style sheet
  // with every url(...) made absolute.
  QString LoadedName() const { return name_; }
  QString LoadedPath() const { return path_; }
  QString StyleSheet() const { return styleSheet_; }

  // Removes the skin from every window and forgets them.
  void Shutdown();

  // The style sheet of a skin file's text: the lines after the name line,
  // with relative url(...) references made absolute against folder.
  static QString ResolveStyleSheet(const QString& body, const QString& folder);

 private:
  QString name_;
  QString path_;
  QString styleSheet_;
  std::vector<QPointer<QWidget>> windows_;
};

}  // namespace djvp
