// The equaliser preset panels: "Load" and "Save" open a deck's panel filled
// from its preset file, "OK" applies the chosen preset or saves the deck's
// bands under the typed name, "Cancel" closes the panel.
#include "effects/EffectControls.h"
#include "effects/Presets.h"
#include "effects/SetAndRun.h"

#include "platform/MessageBox.h"
#include "platform/Settings.h"
#include "resources/StringIds.h"
#include "ui/MainState.h"
#include "ui/SettingsKeys.h"
#include "ui/Text.h"

#include <QLocale>

#include <cmath>
#include <limits>
#include <optional>

namespace effects {

using namespace djvp;

namespace {

struct Panel {
  ui::Caption& frame;
  ui::ListBox& names;
  ui::ListBox& values;
  ui::TextBox& name;
  ui::Caption& prompt;
};

Panel PanelOf(MainState& s, DeckId deck) {
  const size_t d = deck.Index();
  return Panel{s.pctEQ[d], s.cmbSelect[d], s.List1[d], s.Text2[d], s.SCLabel1[ctl::LabelOf(deck, ctl::kPresetPromptLabel)]};
}

void Open(MainState& s, DeckId deck, bool load) {
  std::vector<PresetLines> presets;
  QByteArray bytes;
  QString error;
  switch (ReadPresetFile(PresetFilePath(deck), presets, bytes, error)) {
    case ReadResult::Missing: return;  // no file, no panel
    case ReadResult::Failed:
    case ReadResult::NotPresets: MsgBox(ui::T(kStrPresetFileUnreadable) + QStringLiteral("\n") + error); return;
    case ReadResult::Ok: break;
  }
  Panel p = PanelOf(s, deck);
  p.names.clear();
  p.values.clear();
  for (const PresetLines& preset : presets) {
    p.names.addItem(PresetName(preset.nameLine));
    if (preset.hasValues) p.values.addItem(preset.valueLine);
  }
  // A panel opened for one thing does not also do the other on OK.
  s.PresetLoadMode[deck.Index()] = load;
  s.PresetSaveMode[deck.Index()] = !load;
  if (load) {
    p.names.setCurrentIndex(0);
    p.frame.setVisible(true);
    p.names.setVisible(true);
    p.name.setVisible(false);
    p.prompt.setText(ui::T(kStrSelectPreset));
  } else {
    p.names.setVisible(false);
    p.name.setVisible(true);
    p.prompt.setText(ui::T(kStrNameThisPreset));
    p.frame.setVisible(true);
  }
}

// A value of a value line: a number in the user's way of writing numbers
// (or the plain way), blanks around it allowed, taken down to a whole
// number.
std::optional<int64_t> BandValue(const QString& text) {
  const QString t = text.trimmed();
  bool ok = false;
  double v = QLocale::system().toDouble(t, &ok);
  if (!ok) v = QLocale::c().toDouble(t, &ok);
  if (!ok || !std::isfinite(v)) return std::nullopt;
  v = std::floor(v);
  if (v < static_cast<double>(std::numeric_limits<int32_t>::min()) ||
      v > static_cast<double>(std::numeric_limits<int32_t>::max()))
    return std::nullopt;
  return static_cast<int64_t>(v);
}

// Sets the deck's bands from the first ten values of the line, in order;
// each band's handler runs, also for a value that is no number (the band
// then keeps its value).
void ApplyValueLine(MainState& s, DeckId deck, const QString& line) {
  int k = 0;
  qsizetype start = 0;
  for (qsizetype i = 0; i < line.size() && k < 10; ++i) {
    if (line[i] != QLatin1Char(';')) continue;
    const int index = static_cast<int>(deck.Slot(10, k++));
    ui::Slider& band = s.Eq[static_cast<size_t>(index)];
    const std::optional<int64_t> v = BandValue(line.mid(start, i - start));
    SetAndRun(s, band, v ? *v : band.value(), Eq_ValueChanged, index);
    start = i + 1;
  }
}

void LoadChosen(MainState& s, DeckId deck) {
  Panel p = PanelOf(s, deck);
  const QString valueLine = p.values.itemText(p.names.currentIndex());
  const keys::Key& loaded = keys::kLoadedPresets[deck.Index()];
  SaveSetting(QString::fromLatin1(keys::kLoadedPresetApplication), QString::fromLatin1(loaded.section),
              QString::fromLatin1(loaded.name), p.names.currentText());
  ApplyValueLine(s, deck, valueLine);
  s.PresetLoadMode[deck.Index()] = false;
  p.frame.setVisible(false);
}

// The titles of the save step's messages.
const QString kNameMessageTitle = QStringLiteral("dj VORLAN");
const QString kOverwriteQuestionTitle = QStringLiteral("djVORLAN");

// False when the panel stays open for another name.
bool SaveTyped(MainState& s, DeckId deck) {
  Panel p = PanelOf(s, deck);
  const QString name = p.name.text();
  if (name.isEmpty()) {
    MsgBox(ui::T(kStrPleaseGiveName), MsgButtons::Ok, kNameMessageTitle);
    return false;
  }
  if (!StorableName(name)) {
    MsgBox(ui::T(kStrPresetNameOneLine), MsgButtons::Ok, kNameMessageTitle);
    return false;
  }
  for (const QString& entry : p.names.items())
    if (entry == name &&
        MsgBox(ui::T(kStrOverwritePreset), MsgButtons::YesNo, kOverwriteQuestionTitle) == MsgResult::Yes)
      s.PresetOverwrite = true;
  SaveEqPreset(s, deck);
  s.PresetSaveMode[deck.Index()] = false;
  return true;
}

}  // namespace

void cmdEffects_Click(MainState& s, int index) {
  switch (index) {
    case 0: return Open(s, kDeck1, true);
    case 1: return Open(s, kDeck1, false);
    case 2: return Open(s, kDeck2, false);
    case 3: return Open(s, kDeck2, true);
    default: return;
  }
}

void cmdSelect_Click(MainState& s, int index) {
  if (index < 0 || index > 3) return;
  const DeckId deck = index < 2 ? kDeck1 : kDeck2;
  const size_t d = deck.Index();
  const bool ok = index == 1 || index == 2;
  if (!ok) {
    s.PresetLoadMode[d] = false;
    s.PresetSaveMode[d] = false;
    s.pctEQ[d].setVisible(false);
    return;
  }
  if (s.PresetLoadMode[d]) LoadChosen(s, deck);
  if (s.PresetSaveMode[d] && !SaveTyped(s, deck)) return;
  s.pctEQ[d].setVisible(false);
}

void cmbSelect_DblClick(MainState& s, int index) {
  if (index == 0) cmdSelect_Click(s, 1);
  if (index == 1) cmdSelect_Click(s, 2);
}

void SaveEqPreset(MainState& s, DeckId deck) {
  const size_t d = deck.Index();
  const QString name = s.Text2[d].text();
  QString valueLine;
  for (int band = 0; band < 10; ++band) valueLine += QString::number(s.Eq[deck.Slot(10, band)].value()) + QLatin1Char(';');

  // Both files as they are now. A file that has gone missing beside the
  // other is made again from it: the two hold the same presets.
  std::vector<PresetLines> presets[2];
  QByteArray before[2];
  QString error;
  ReadResult read[2];
  for (DeckId f : kBothDecks)
    read[f.Index()] = ReadPresetFile(PresetFilePath(f), presets[f.Index()], before[f.Index()], error);
  for (int f = 0; f < 2; ++f)
    if (read[f] == ReadResult::Missing && read[1 - f] == ReadResult::Ok) {
      presets[f] = presets[1 - f];
      read[f] = ReadResult::Ok;
    }
  for (DeckId f : kBothDecks) {
    if (read[f.Index()] == ReadResult::Ok) continue;
    // Said for the file that failed (the last error read may be the other's).
    ReadPresetFile(PresetFilePath(f), presets[f.Index()], before[f.Index()], error);
    MsgBox(ui::T(kStrPresetsNotSaved) + QStringLiteral("\n") + error);
    return;
  }

  QByteArray texts[2];
  if (s.PresetOverwrite) {
    // Replace: the deck's own file with every preset of the name given the
    // new values (the others as they are) becomes both files.
    s.PresetOverwrite = false;
    std::vector<PresetLines> own = presets[d];
    for (PresetLines& p : own)
      if (PresetName(p.nameLine) == name) {
        p.valueLine = valueLine;
        p.hasValues = true;
      }
    texts[0] = texts[1] = PresetFileText(own);
  } else {
    // Append to each file.
    for (int f = 0; f < 2; ++f) {
      presets[f].push_back({QLatin1Char('[') + name + QLatin1Char(']'), valueLine, true});
      texts[f] = PresetFileText(presets[f]);
    }
  }
  if (!ReplacePresetFiles(texts, error)) MsgBox(ui::T(kStrPresetsNotSaved) + QStringLiteral("\n") + error);
}

}  // namespace effects
