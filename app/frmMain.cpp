// The main window's life: creation with the checks of the sound engine,
// loading, activation with the skin, tab pages, the help key and shutdown.
#include "app/frmMain.h"

#include "app/Globals.h"
#include "audio/Messages.h"
#include "audio/ModBass.h"
#include "decks/Meters.h"
#include "decks/MixerTitles.h"
#include "decks/PlaybackTimer.h"
#include "engine/Engine.h"
#include "library/Index.h"
#include "platform/Grid.h"
#include "platform/Help.h"
#include "platform/MessageBox.h"
#include "platform/ModPublic.h"
#include "platform/Paths.h"
#include "platform/Settings.h"
#include "platform/SkinEngine.h"
#include "platform/SystemMixer.h"
#include "platform/Timer.h"
#include "playlists/Playlists.h"
#include "resources/StringIds.h"
#include "StringTable.h"
#include "ui/SettingsKeys.h"
#include "ui/SettingsValue.h"
#include "ui/Text.h"
#include "ui/TrackColumns.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QTabBar>

#include <dlfcn.h>

#include <cstdlib>

namespace djvp {

namespace {

using ui::T;

// True when a library that the engine uses is part of the process: one of
// its functions can be found. Asking for a function rather than a file name
// keeps the check true on every release of the library.
bool HasFunction(const char* name) { return dlsym(RTLD_DEFAULT, name) != nullptr; }

}  // namespace

std::vector<EngineCheck>& EngineChecks() {
  static std::vector<EngineCheck> checks = {
      {"BASS.DLL does not exists", "BASS.DLL",
       [] { return engine::DeviceName(0) != nullptr && HasFunction("Pa_Initialize"); }},
      {"Error: BASS version 2.3 or greater was not loaded", "BASS.DLL",
       [] { return static_cast<int32_t>(engine::Version()) >= modBass_MakeLong(2, 3); }},
      // SoundTouch's version query (a C++ function, by its linker name).
      {"BASS_FX.DLL does not exists!", "BASS_FX.DLL",
       [] { return HasFunction("_ZN10soundtouch10SoundTouch16getVersionStringEv"); }},
      {"BASSWMA.DLL does not exists!", "BASSWMA.DLL",
       [] { return HasFunction("avformat_open_input") && HasFunction("avcodec_send_packet"); }},
      {"BASSFLAC.DLL does not exists!", "BASSFLAC.DLL", [] { return HasFunction("FLAC__stream_decoder_new"); }},
  };
  return checks;
}

std::function<void(const QString&, const QString&)>& EngineCheckMessage() {
  static std::function<void(const QString&, const QString&)> show = [](const QString& text, const QString& title) {
    QMessageBox box(QMessageBox::Critical, title, text, QMessageBox::Ok);
    KeepTitleWhole(box);
    box.exec();
  };
  return show;
}

std::function<std::unique_ptr<clsVolume>()>& SystemMixerFactory() {
  static std::function<std::unique_ptr<clsVolume>()> factory;
  return factory;
}

std::function<void()>& ProgramExit() {
  static std::function<void()> exit = [] { std::exit(1); };
  return exit;
}

frmMain::frmMain(QWidget* parent) : QWidget(parent), state_(std::make_unique<MainState>()) {
  // Form_Initialize.
  skinEngine = std::make_unique<SkinEngine>();
  QDir::setCurrent(ProgramFolder());
  for (const EngineCheck& check : EngineChecks()) {
    if (check.passes && check.passes()) continue;
    if (EngineCheckMessage()) EngineCheckMessage()(QString::fromLatin1(check.text), QString::fromLatin1(check.title));
    ended_ = true;
    if (ProgramExit()) ProgramExit()();
    return;
  }
  engine::CloseWmaEncoder(0);
  // The players' messages reach the user as message boxes, and so does a
  // settings store that cannot be written (once: every change after it would
  // say the same).
  SetMessageSink([](const QString& text) { MsgBox(text); });
  SetSettingsFailureHandler([](const QString& file, const QString& error) {
    MsgBox(T(kStrSettingsNotStored) + QLatin1Char('\n') + file + QStringLiteral(": ") + error);
  });
  // A settings file the store could not take as it was (told once; what the
  // start routine met before this point is told now).
  SetSettingsNoticeHandler([](const QString& file, const QString& why, const QString& keptAs) {
    QString text = T(kStrSettingsUnreadable) + QLatin1Char('\n') + file + QStringLiteral(": ") + why;
    if (!keptAs.isEmpty()) text += QLatin1Char('\n') + T(kStrSettingsKeptAs) + QLatin1Char('\n') + keptAs;
    MsgBox(text);
  });
  BuildWindow();
  BindControls();
  ConnectHandlers();
  Form_Load();
}

frmMain::~frmMain() {
  if (!ended_ && !shutDown_) Form_QueryUnload();
  Form_Terminate();
  SetMessageSink({});
  SetSettingsFailureHandler({});
  SetSettingsNoticeHandler({});
}

void frmMain::Form_Load() {
  MainState& s = State();
  ListSkins(modPublic_AddBackslash(ProgramFolder()) + QStringLiteral("Skins"), QStringLiteral("*.skf"));
  DrawDisplays();

  tmrScroller1 = new Timer(200, this);
  connect(tmrScroller1, &Timer::ThatTime, this, &frmMain::tmrScroller1_ThatTime);
  tmrScroller1->SetEnabled(true);
  tmrScroller2 = new Timer(200, this);
  connect(tmrScroller2, &Timer::ThatTime, this, &frmMain::tmrScroller2_ThatTime);
  tmrScroller2->SetEnabled(true);

  g_AnalysisHost = &s;
  s.CreateSonavex(ProgramFolder());

  for (size_t i = 0; i < s.PlayListView.size(); ++i) ui::InitPlaylistColumns(*s.PlayListView[i]);
  ui::InitLibraryColumns(*s.DummyPlaylist);

  tmrPlaying = new Timer(55, this);
  connect(tmrPlaying, &Timer::ThatTime, this, &frmMain::tmrPlaying_ThatTime);
  tmrPlaying->SetEnabled(true);
  s.StartTime = QTime::currentTime();

  s.SystemVolume = SystemMixerFactory() ? SystemMixerFactory()() : std::make_unique<clsVolume>();
  const float minimum = static_cast<float>(s.SystemVolume->MinWaveVolume());
  const float maximum = static_cast<float>(s.SystemVolume->MaxWaveVolume());
  s.SystemVolume->WaveMute(0);
  s.WaveVolumeStep = (maximum - minimum) / 100.0f;
  if (s.WaveVolumeStep != 0.0f) {
    const int64_t v = RoundHalfEven(100.0 - s.SystemVolume->WaveVolume() / static_cast<double>(s.WaveVolumeStep));
    SetValueInRange(s.MainVolume, v);
  }

  tmrdBVolume = new Timer(55, this);
  connect(tmrdBVolume, &Timer::ThatTime, this, &frmMain::tmrdBVolume_ThatTime);
  tmrdBVolume->SetEnabled(true);
  tmrdB1 = new Timer(55, this);
  connect(tmrdB1, &Timer::ThatTime, this, &frmMain::tmrdB1_ThatTime);
  tmrdB1->SetEnabled(true);
  tmrdB2 = new Timer(55, this);
  connect(tmrdB2, &Timer::ThatTime, this, &frmMain::tmrdB2_ThatTime);
  tmrdB2->SetEnabled(true);

  // pctDimmer's scale (0..100 across, 0..255 from the bottom up) is the
  // CurvePanel's own.
  library::LoadLibraryIndex(s);
  playlists::FinishKilledPlaylistSave();

  auto& lists = s.cmbSettings;
  lists[ctl::kHeadphoneList].addItem(T(kStrNone));
  for (const std::string& name : OutputDeviceNames()) {
    const QString text = modBass_StrFromAnsiPtr(name.c_str());
    lists[ctl::kDevice1List].addItem(text);
    lists[ctl::kDevice2List].addItem(text);
    lists[ctl::kHeadphoneList].addItem(text);
  }
  for (int list = ctl::kSpeakers1List; list <= ctl::kHeadphoneSpeakersList; ++list)
    for (int n = kStrTwoSpeakers; n <= kStrSevenOneSpeakers; ++n) lists[static_cast<size_t>(list)].addItem(T(n));
  // Filled lists start without a chosen entry; the settings load chooses.
  // The language list shows the language in use.
  {
    const ui::EventBlocker quiet(lists[ctl::kLanguageList]);
    lists[ctl::kLanguageList].setCurrentIndex(LangOffset == 1000 ? 1 : 0);
  }

  LoadSettings();
  ApplyInterfaceTexts();
}

void frmMain::Form_Activate() {
  if (SkinApplyPending) {
    hide();
    if (QScreen* screen = QGuiApplication::primaryScreen()) setGeometry(screen->availableGeometry());
    setWindowState(windowState() | Qt::WindowMaximized);
    // The skin chosen last: by its file when that is still listed (adding a
    // skin file must not switch skins), else by its list position.
    const QString file = keys::Get(keys::kSkinFile);
    const ui::ListBox& skins = State().cmbSettings[ctl::kSkinList];
    int entry = -1;
    if (!file.isEmpty()) {
      for (int n = 0; n < skins.count() && n <= 1000; ++n)
        if (QFileInfo(SkinFiles[static_cast<size_t>(n)]).fileName() == file) {
          entry = n;
          break;
        }
    }
    if (entry < 0) {
      const auto stored = SettingToInt16(keys::Get(keys::kSkinName, QStringLiteral("0")));
      entry = stored && *stored >= 0 ? *stored : 0;
    }
    SelectListEntry(ctl::kSkinList, entry);
    if (skins.currentIndex() < 0) SelectListEntry(ctl::kSkinList, 0);
    skinEngine->ApplySkin(this);
    show();
  }
  SkinApplyPending = false;
  RebuildTabs();
}

void frmMain::RebuildTabs() {
  // The page on show stays chosen.
  QTabBar* tabs = view.TabStrip1;
  const int current = qMax(0, tabs->currentIndex());
  {
    const QSignalBlocker block(tabs);
    while (tabs->count() > 0) tabs->removeTab(0);
    for (int n : {kStrTabSearch, kStrTabMixer, kStrTabEffects, kStrTabSettings}) tabs->addTab(T(n));
    tabs->setCurrentIndex(current);
  }
  TabStrip1_Click();
}

void frmMain::TabStrip1_Click() {
  const int current = view.TabStrip1->currentIndex();
  const QString caption = current >= 0 ? view.TabStrip1->tabText(current) : QString();
  auto show = [&](bool mixer, bool effects, bool search, bool settings) {
    view.Mixer->setVisible(mixer);
    view.SoundEffects[0]->setVisible(effects);
    view.SoundEffects[1]->setVisible(effects);
    view.fraSearch->setVisible(search);
    view.Settings->setVisible(settings);
  };
  if (caption == T(kStrTabMixer))
    show(true, false, false, false);
  else if (caption == T(kStrTabEffects))
    show(false, true, false, false);
  else if (caption == T(kStrTabSearch))
    show(false, false, true, false);
  else if (caption == T(kStrTabSettings))
    show(false, false, false, true);
  DrawDisplays();
}

void frmMain::Form_KeyDown(int key, Qt::KeyboardModifiers) {
  if (key != Qt::Key_F1) return;
  if (!ShowHelp(QStringLiteral("introduction.htm")))
    MsgBox(T(kStrNoHelpPages) + QLatin1Char('\n') + modPublic_AddBackslash(ProgramFolder()) + QStringLiteral("help"));
}

void frmMain::Form_QueryUnload() {
  if (shutDown_) return;
  shutDown_ = true;
  if (ToolTips) ToolTips->Release();
  // The tag editor and the start window are closed by their owners.
  for (DeckId deck : kBothDecks)
    for (int ab = 0; ab < 2; ++ab) engine::FreeStream(State().Player(deck, ab)->STRM());
  engine::DeviceStop();
  // Every listed device (the headphone list holds "None" and then each one).
  Devices.CloseListed(State().cmbSettings[ctl::kHeadphoneList].count() - 1);
}

void frmMain::Form_Terminate() {
  if (skinEngine) skinEngine->Shutdown();
}

void frmMain::resizeEvent(QResizeEvent* e) {
  QWidget::resizeEvent(e);
  Form_Resize();
}

void frmMain::changeEvent(QEvent* e) {
  QWidget::changeEvent(e);
  if (e->type() == QEvent::ActivationChange && isActiveWindow()) Form_Activate();
}

void frmMain::keyPressEvent(QKeyEvent* e) {
  Form_KeyDown(e->key(), e->modifiers());
  QWidget::keyPressEvent(e);
}

void frmMain::closeEvent(QCloseEvent* e) {
  Form_QueryUnload();
  e->accept();
}

bool frmMain::SelectListEntry(int index, int entry) {
  if (index < 0 || index >= static_cast<int>(State().cmbSettings.size())) return false;
  return State().cmbSettings[static_cast<size_t>(index)].choose(entry);
}

// ------------------------------------------------------------------ timers

void frmMain::tmrPlaying_ThatTime() { decks::tmrPlaying_ThatTime(State()); }
void frmMain::tmrScroller1_ThatTime() { decks::ScrollerDeckTick(State(), kDeck1); }
void frmMain::tmrScroller2_ThatTime() { decks::ScrollerDeckTick(State(), kDeck2); }
void frmMain::tmrdBVolume_ThatTime() { decks::tmrdBVolume_ThatTime(State()); }
void frmMain::tmrdB1_ThatTime() { decks::tmrdB1_ThatTime(State()); }
void frmMain::tmrdB2_ThatTime() { decks::tmrdB2_ThatTime(State()); }

}  // namespace djvp
