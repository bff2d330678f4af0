// The main window's widgets bound to their controls in the window state, and
// the controls' events connected to their handlers: those of the decks, the
// playlists, the effects, the library and the tag editor from their own
// folders, the settings page's here.
#include "app/Binding.h"
#include "app/frmMain.h"
#include "app/frmTags.h"

#include "decks/Handlers.h"
#include "effects/EffectControls.h"
#include "library/Handlers.h"
#include "platform/Grid.h"
#include "playlists/Playlists.h"
#include "tageditor/TagEditor.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QSlider>
#include <QSpinBox>
#include <QTabBar>

namespace djvp {

namespace {

template <typename C, typename W, size_t N, typename F>
void BindAll(std::array<C, N>& controls, std::array<W*, N>& widgets, F bindOne) {
  for (size_t i = 0; i < N; ++i)
    if (widgets[i]) bindOne(controls[i], widgets[i]);
}

}  // namespace

void frmMain::BindControls() {
  MainState& s = State();
  using bind::Fit;
  auto fitted = [](auto bindOne) {
    return [bindOne](auto& c, auto* w) { bindOne(c, w, Fit::Width); };
  };

  // Deck panels.
  BindAll(s.cmdPlayer, view.cmdPlayer, [](ui::Button& c, QPushButton* w) { bind::Button(c, w); });
  BindAll(s.Image1, view.Image1, bind::Cell);
  for (size_t d = 0; d < 2; ++d) {
    bind::Label(s.cTime[d], view.cTime[d]);
    bind::Label(s.rTime[d], view.rTime[d]);
    bind::Label(s.tTime[d], view.tTime[d]);
  }
  BindAll(s.lblBPM, view.lblBPM, [](ui::Caption& c, QLabel* w) { bind::Label(c, w); });
  // A drag of a position slider seeks where the handle is let go.
  bind::Slider(s.Position1, view.Position1, bind::Track::OnRelease);
  bind::Slider(s.Position2, view.Position2, bind::Track::OnRelease);

  // Centre panel.
  bind::Slider(s.Volume1, view.Volume1);
  bind::Slider(s.Volume2, view.Volume2);
  bind::Slider(s.VolumeHP1, view.VolumeHP1);
  bind::Slider(s.VolumeHP2, view.VolumeHP2);
  bind::Slider(s.Slider1, view.Slider1);
  bind::Slider(s.MainVolume, view.MainVolume);
  bind::Meter(s.pctVolume1, view.pctVolume1, DeckLeds);
  bind::Meter(s.pctVolume2, view.pctVolume2, DeckLeds);
  bind::Meter(s.pctVolumeLeft, view.pctVolumeLeft, MasterLeds);
  bind::Meter(s.pctVolumeRight, view.pctVolumeRight, MasterLeds);
  BindAll(s.UpDown, view.UpDown, bind::Spinner);
  bind::Button(s.Command1, view.Command1);

  // "Mixer Settings".
  bind::Slider(s.MixerTime, view.MixerTime);
  bind::Label(s.lblTime, view.lblTime);
  bind::Curve(s.pctDimmer, view.pctDimmer);
  BindAll(s.MixPreview, view.MixPreview, [](ui::Button& c, QPushButton* w) { bind::Button(c, w); });
  BindAll(s.Check1, view.Check1, fitted([](ui::CheckBox& c, QCheckBox* w, Fit f) { bind::CheckBox(c, w, f); }));
  BindAll(s.AutomationSlider, view.AutomationSlider, [](ui::Slider& c, QSlider* w) { bind::Slider(c, w); });

  // "Sound Effects".
  BindAll(s.Effects, view.Effects, fitted([](ui::CheckBox& c, QCheckBox* w, Fit f) { bind::CheckBox(c, w, f); }));
  BindAll(s.cmdEffects, view.cmdEffects, fitted([](ui::Button& c, QPushButton* w, Fit f) { bind::Button(c, w, f); }));
  BindAll(s.sldEffects, view.sldEffects, [](ui::Slider& c, QSlider* w) { bind::Slider(c, w); });
  BindAll(s.Eq, view.Eq, [](ui::Slider& c, QSlider* w) { bind::Slider(c, w); });

  // "Settings".
  BindAll(s.cmbSettings, view.cmbSettings, [](ui::ListBox& c, QComboBox* w) { bind::List(c, w); });
  BindAll(s.txtSettings, view.txtSettings, [](ui::TextBox& c, QLineEdit* w) { bind::Text(c, w); });
  bind::Button(s.cmdSettings[0], view.cmdSettings[0], Fit::Width);
  bind::Button(s.cmdSettings[1], view.cmdSettings[1]);
  bind::Button(s.cmdSettings[4], view.cmdSettings[4], Fit::Width);
  BindAll(s.optSettings, view.optSettings,
          fitted([](ui::OptionButton& c, QRadioButton* w, Fit f) { bind::Option(c, w, f); }));
  BindAll(s.Frame5, view.Frame5, [](ui::Caption& c, TitledFrame* w) { bind::Frame(c, w); });
  BindAll(s.Option2, view.Option2, fitted([](ui::OptionButton& c, QRadioButton* w, Fit f) { bind::Option(c, w, f); }));

  // "Search For Songs" and its popup menu.
  BindAll(s.cmdSearch, view.cmdSearch, fitted([](ui::Button& c, QPushButton* w, Fit f) { bind::Button(c, w, f); }));
  bind::Text(s.Text1, view.Text1);
  bind::Text(s.txtError, view.txtError);
  s.mnuTags.SetView([&s, this] { view.mnuTags->setTitle(s.mnuTags.text()); });
  bind::MenuEntry(s.mnuTag, view.mnuTag);
  bind::MenuEntry(s.mnuCopy1, view.mnuCopy1);
  bind::MenuEntry(s.mnuCopy2, view.mnuCopy2);
  bind::MenuEntry(s.mnuDelete, view.mnuDelete);
  s.PopupMenu = [this](const ui::Caption&) { view.mnuTags->popup(QCursor::pos()); };

  // Pop-up panels.
  bind::Frame(s.Frame11, view.Frame11);
  bind::Progress(s.PB, view.PB);
  for (size_t d = 0; d < 2; ++d) {
    bind::Frame(s.pctEQ[d], view.pctEQ[d]);
    bind::List(s.cmbSelect[d], view.cmbSelect[d]);
    bind::List(s.List1[d], view.List1[d]);
    bind::Text(s.Text2[d], view.Text2[d]);
  }
  BindAll(s.cmdSelect, view.cmdSelect, fitted([](ui::Button& c, QPushButton* w, Fit f) { bind::Button(c, w, f); }));

  // Labels: every caption is fitted to its label's width but the import
  // panel's path line, which wraps.
  for (size_t i = 0; i < view.SCLabel1.size(); ++i)
    if (QLabel* l = view.SCLabel1[i])
      bind::Label(s.SCLabel1[i], l, i == ctl::kLblImportPath ? Fit::No : Fit::Width);
  BindAll(s.StatusPanel, view.StatusPanel, [](ui::Caption& c, QLabel* w) { bind::Label(c, w); });
}

void frmMain::ConnectHandlers() {
  MainState& s = State();
  decks::ConnectHandlers(s);
  playlists::ConnectHandlers(s);
  effects::ConnectHandlers(s);
  library::ConnectHandlers(s);
  // The tag editor, modal over this window (whose skin it takes).
  tageditor::ConnectHandlers(s, [this](tageditor::TagEditorState& editor) {
    frmTags window(editor, this);
    window.exec();
  });
  for (int i = 0; i < static_cast<int>(s.cmbSettings.size()); ++i)
    s.cmbSettings[static_cast<size_t>(i)].Click = [this, i] { cmbSettings_Click(i); };

  connect(view.TabStrip1, &QTabBar::tabBarClicked, this, [this](int tab) {
    view.TabStrip1->setCurrentIndex(tab);
    TabStrip1_Click();
  });
  connect(view.TabStrip1, &QTabBar::currentChanged, this, [this] { TabStrip1_Click(); });
  // F1 opens the help wherever the focus is in the window, with any modifier.
  for (const QKeyCombination keys : {QKeyCombination(Qt::Key_F1), QKeyCombination(Qt::SHIFT, Qt::Key_F1),
                                     QKeyCombination(Qt::CTRL, Qt::Key_F1), QKeyCombination(Qt::ALT, Qt::Key_F1)}) {
    auto* help = new QShortcut(QKeySequence(keys), this);
    help->setContext(Qt::WindowShortcut);
    connect(help, &QShortcut::activated, this, [this, keys] { Form_KeyDown(Qt::Key_F1, keys.keyboardModifiers()); });
  }
}

}  // namespace djvp
