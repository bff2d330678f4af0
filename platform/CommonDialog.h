// The program's file, colour and font dialogs. Each dialog is one method
// whose reference arguments carry the settings in and the user's choices
// out; the result tells whether the user made a choice. Filters are written
// as description/pattern pairs separated by "|" (or ":"), patterns of one
// pair by ";": "Music|*.mp3;*.ogg|Playlists|*.vpl". Patterns match without
// regard to letter case. Tests answer the dialogs through hooks, so no
// dialog opens in a test.
#pragma once

#include <QColor>
#include <QFont>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <optional>

namespace djvp {

// Flag bits of the open and save dialogs, as the callers pass and get them.
inline constexpr int32_t kOfnReadOnly = 0x1;
inline constexpr int32_t kOfnOverwritePrompt = 0x2;
inline constexpr int32_t kOfnHideReadOnly = 0x4;
inline constexpr int32_t kOfnAllowMultiSelect = 0x200;
inline constexpr int32_t kOfnFileMustExist = 0x1000;

// What a file dialog is asked to show.
struct FileDialogRequest {
  bool save = false;
  QString title;
  QString initDir;
  QString fileName;        // the text in the name box ("*.*" shows that pattern)
  QString defaultExt;      // added to a typed name without extension
  QStringList descriptions;  // one per filter entry
  QStringList patterns;      // the entry's patterns, ";"-separated
  int filterIndex = 1;     // 1-based entry shown first
  int32_t flags = 0;       // the kOfn* bits in force
};

// The user's answer: nullopt when the dialog was closed without a choice.
struct FileDialogAnswer {
  QStringList files;    // full paths
  int filterIndex = 1;  // 1-based entry chosen
  bool readOnly = false;
};

using FileDialogHook = std::function<std::optional<FileDialogAnswer>(const FileDialogRequest&)>;
// Colour: the request's initial colour and custom colours in and the chosen
// colour out (nullopt: cancelled); the hook may change the custom colours.
using ColorDialogHook = std::function<std::optional<QColor>(const QColor& initial, int32_t flags, QColor custom[16])>;
using FontDialogHook = std::function<std::optional<QFont>(const QFont& initial, int32_t flags)>;

class clsCommonDialog {
 public:
  clsCommonDialog() = default;

  // The result of the last dialog: 1 a choice was made, 0 none.
  int32_t APIReturn() const { return apiReturn_; }
  // The error code of the last dialog that failed (0 when none did).
  int32_t ExtendedError() const { return extendedError_; }

  // Open dialog. On a choice: filename = the chosen file (with MultiSelect
  // and several files chosen, their folder; SelectedFiles() lists them all),
  // FileTitle = its name without folder, FilterIndex = the entry chosen,
  // Filter = that entry's description, a zero character and its pattern,
  // Flags = the flags in force; result true. Without a choice filename,
  // FileTitle and Filter become "", Flags 0, FilterIndex -1; result false.
  // An Owner of -1 means no owner window.
  bool VBGetOpenFileName(QString& filename, QString& FileTitle, bool& FileMustExist, bool& MultiSelect,
                         bool& ReadOnly, bool& HideReadOnly, QString& Filter, int32_t& FilterIndex,
                         QString& InitDir, QString& DlgTitle, QString& DefaultExt, int32_t& Owner,
                         int32_t& Flags);
  // Save dialog; the same as the open dialog except that the overwrite
  // prompt comes from OverWritePrompt and, without a choice, FilterIndex is 0.
  bool VBGetSaveFileName(QString& filename, QString& FileTitle, bool& OverWritePrompt, QString& Filter,
                         int32_t& FilterIndex, QString& InitDir, QString& DlgTitle, QString& DefaultExt,
                         int32_t& Owner, int32_t& Flags);

  // Every file chosen in the last open or save dialog, as full paths.
  const QStringList& SelectedFiles() const { return selected_; }

  // The name of a file without its folder; "" for a name that cannot be a
  // file (empty, ending in "/", or holding a wildcard).
  QString VBGetFileTitle(const QString& sFile);

  // Colour dialog; colours are 0x00BBGGRR. A choice sets Color and returns
  // true; otherwise Color becomes -1.
  bool VBChooseColor(int32_t& Color, bool& AnyColor, bool& FullOpen, bool& DisableFullOpen, int32_t& Owner,
                     int32_t Flags = 0);
  // Custom colour 0..15 of the colour dialog; any other index reads -1 and
  // writes nothing.
  int32_t CustomColor(int16_t i) const;
  void CustomColor(int16_t i, int32_t iValue);

  // Font dialog starting from CurFont; a choice writes the chosen font back
  // into CurFont (and Color) and returns true. MinSize and MaxSize limit the
  // offered sizes when not 0.
  bool VBChooseFont(QFont& CurFont, int32_t PrinterDC, int32_t Owner, int32_t& Color, int32_t MinSize,
                    int32_t MaxSize, int32_t& Flags);

  // Test hooks; an empty hook restores the real dialog. Each returns the
  // previous hook.
  static FileDialogHook SetDialogHook(FileDialogHook hook);
  static ColorDialogHook SetColorDialogHook(ColorDialogHook hook);
  static FontDialogHook SetFontDialogHook(FontDialogHook hook);

  // The n-th description/pattern pair (1-based) of a filter as "description",
  // a zero character and "pattern"; "" when there is no such pair.
  static QString GetToken(const QString& filter, int n);
  // Splits a filter into its descriptions and patterns ("|" and ":" both
  // separate); a description without pattern is dropped.
  static void SplitFilter(const QString& filter, QStringList& descriptions, QStringList& patterns);

 private:
  bool RunFileDialog(const FileDialogRequest& request, FileDialogAnswer& answer);

  int32_t apiReturn_ = 0;
  int32_t extendedError_ = 0;
  int32_t customColors_[16] = {};
  QStringList selected_;
};

}  // namespace djvp
