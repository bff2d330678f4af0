// The main window's life: creation with the checks of the sound engine,
// loading, activation with the skin, tab pages, the help key and shutdown.
#include "app/frmMain.h"

#include "app/Globals.h"
#include "app/SettingsValue.h"
#include "audio/ModBass.h"
#include "automation/Registry.h"
#include "engine/Engine.h"
#include "platform/Grid.h"
#include "platform/Help.h"
#include "platform/MessageBox.h"
#include "platform/ModPublic.h"
#include "platform/Paths.h"
#include "platform/Settings.h"
#include "platform/SkinEngine.h"
#include "platform/SystemMixer.h"
#include "platform/Timer.h"
#include "StringTable.h"
#include "sonavex/Sonavex.h"

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

QString T(int n) { return QString::fromStdString(Tr(n)); }

// True when the shared library with that name is part of the process (the
// engine links it) or can be loaded.
bool LibraryLoads(const char* soname) {
  void* h = dlopen(soname, RTLD_LAZY | RTLD_NOLOAD);
  if (!h) h = dlopen(soname, RTLD_LAZY);
  if (!h) return false;
  dlclose(h);
  return true;
}

}  // namespace

std::vector<EngineCheck>& EngineChecks() {
  static std::vector<EngineCheck> checks = {
      {"BASS.DLL does not exists", "BASS.DLL",
       [] { return engine::DeviceName(0) != nullptr && LibraryLoads("libportaudio.so.2"); }},
      {"Error: BASS version 2.3 or greater was not loaded", "BASS.DLL",
       [] { return static_cast<int32_t>(engine::Version()) >= modBass_MakeLong(2, 3); }},
      {"BASS_FX.DLL does not exists!", "BASS_FX.DLL", [] { return LibraryLoads("libSoundTouch.so.1"); }},
      {"BASSWMA.DLL does not exists!", "BASSWMA.DLL", [] { return LibraryLoads("libavformat.so.59"); }},
      {"BASSFLAC.DLL does not exists!", "BASSFLAC.DLL", [] { return LibraryLoads("libFLAC.so.12"); }},
  };
  return checks;
}

std::function<void(const QString&, const QString&)>& EngineCheckMessage() {
  static std::function<void(const QString&, const QString&)> show = [](const QString& text, const QString& title) {
    QMessageBox box(QMessageBox::Critical, title, text, QMessageBox::Ok);
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

frmMain::frmMain(QWidget* parent) : QWidget(parent) {
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
  BuildWindow();
  ConnectHandlers();
  Form_Load();
}

frmMain::~frmMain() {
  if (!ended_ && !shutDown_) Form_QueryUnload();
  Form_Terminate();
  if (g_AnalysisHost == this) g_AnalysisHost = nullptr;
  Deck1PlayerA = Deck1PlayerB = Deck2PlayerA = Deck2PlayerB = nullptr;
}

void frmMain::CreateSonavex() {
  // The tag library lies beside the program; register it there when its
  // class is not registered or points to another copy.
  const QString library = modPublic_AddBackslash(ProgramFolder()) + QStringLiteral("libSonavex2.so");
  automation::Registry reg;
  reg.Load();
  const std::string clsid = reg.Get(std::string("ProgID\\") + "SONAVEX.SonavexCtrl.1", "CLSID");
  const std::string registered = clsid.empty() ? std::string() : reg.Get("CLSID\\" + clsid, "InprocServer");
  if (QFileInfo::exists(library) && QFileInfo(QString::fromStdString(registered)).canonicalFilePath() !=
                                        QFileInfo(library).canonicalFilePath())
    automation::RegisterLibrary(library.toStdString());
  automation::DispatchPtr control;
  if (automation::CreateObject("SONAVEX.SonavexCtrl.1", control) == AUTO_S_OK) Sonavex1 = control;
}

void frmMain::Form_Load() {
  ListSkins(modPublic_AddBackslash(ProgramFolder()) + QStringLiteral("Skins"), QStringLiteral("*.skf"));
  DrawDisplays();

  tmrScroller1 = new Timer(200, this);
  ScrollerWidth1 = 19;
  ScrollerText1 = QStringLiteral("dj VORLAN") + QString(10, QLatin1Char(' '));
  ScrollerPos1 = ScrollerWidth1;
  connect(tmrScroller1, &Timer::ThatTime, this, &frmMain::tmrScroller1_ThatTime);
  tmrScroller1->SetEnabled(true);
  tmrScroller2 = new Timer(200, this);
  ScrollerWidth2 = 19;
  ScrollerText2 = QStringLiteral("dj VORLAN") + QString(10, QLatin1Char(' '));
  ScrollerPos2 = ScrollerWidth2;
  connect(tmrScroller2, &Timer::ThatTime, this, &frmMain::tmrScroller2_ThatTime);
  tmrScroller2->SetEnabled(true);

  for (auto& p : players_) p = std::make_unique<clsBassPlayer>();
  Deck1PlayerA = players_[0].get();
  Deck1PlayerB = players_[1].get();
  Deck2PlayerA = players_[2].get();
  Deck2PlayerB = players_[3].get();
  AnalysisPlayer = std::make_unique<clsBassPlayer>();
  g_AnalysisHost = this;

  CreateSonavex();

  for (Grid* g : PlayListView) InitPlaylistColumns(*g);
  InitLibraryColumns();

  tmrPlaying = new Timer(55, this);
  connect(tmrPlaying, &Timer::ThatTime, this, &frmMain::tmrPlaying_ThatTime);
  tmrPlaying->SetEnabled(true);
  StartTime = QTime::currentTime();

  SystemVolume = SystemMixerFactory() ? SystemMixerFactory()() : std::make_unique<clsVolume>();
  const float minimum = static_cast<float>(SystemVolume->MinWaveVolume());
  const float maximum = static_cast<float>(SystemVolume->MaxWaveVolume());
  SystemVolume->WaveMute(0);
  WaveVolumeStep = (maximum - minimum) / 100.0f;
  if (WaveVolumeStep != 0.0f) {
    const int64_t v = RoundHalfEven(100.0 - SystemVolume->WaveVolume() / static_cast<double>(WaveVolumeStep));
    SetValueInRange(MainVolume, v);
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
  LoadLibraryIndex();

  cmbSettings[3]->addItem(T(554));
  for (const std::string& name : OutputDeviceNames()) {
    const QString text = modBass_StrFromAnsiPtr(name.c_str());
    cmbSettings[1]->addItem(text);
    cmbSettings[2]->addItem(text);
    cmbSettings[3]->addItem(text);
  }
  for (int list = 4; list <= 6; ++list)
    for (int n = 555; n <= 558; ++n) cmbSettings[static_cast<size_t>(list)]->addItem(T(n));
  // Filled lists start without a chosen entry; the settings load chooses.
  // The language list shows the language in use.
  for (int list = 1; list <= 6; ++list) {
    const QSignalBlocker block(cmbSettings[static_cast<size_t>(list)]);
    cmbSettings[static_cast<size_t>(list)]->setCurrentIndex(-1);
  }
  {
    const QSignalBlocker block(cmbSettings[7]);
    cmbSettings[7]->setCurrentIndex(LangOffset == 1000 ? 1 : 0);
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
    const QString file = GetSetting(QStringLiteral("DJVP"), QStringLiteral("Skin"), QStringLiteral("File"));
    int entry = -1;
    if (!file.isEmpty()) {
      for (int n = 0; n < cmbSettings[0]->count() && n <= 1000; ++n)
        if (QFileInfo(SkinFiles[static_cast<size_t>(n)]).fileName() == file) {
          entry = n;
          break;
        }
    }
    if (entry < 0) {
      const auto stored = SettingToInt16(GetSetting(QStringLiteral("DJVP"), QStringLiteral("Skin"), QStringLiteral("Name"), QStringLiteral("0")));
      entry = stored && *stored >= 0 ? *stored : 0;
    }
    SelectListEntry(0, entry);
    if (cmbSettings[0]->currentIndex() < 0) SelectListEntry(0, 0);
    skinEngine->ApplySkin(this);
    show();
  }
  SkinApplyPending = false;
  RebuildTabs();
}

void frmMain::RebuildTabs() {
  // The page on show stays chosen.
  const int current = qMax(0, TabStrip1->currentIndex());
  {
    const QSignalBlocker block(TabStrip1);
    while (TabStrip1->count() > 0) TabStrip1->removeTab(0);
    for (int n : {48, 59, 61, 69}) TabStrip1->addTab(T(n));
    TabStrip1->setCurrentIndex(current);
  }
  TabStrip1_Click();
}

void frmMain::TabStrip1_Click() {
  const int current = TabStrip1->currentIndex();
  const QString caption = current >= 0 ? TabStrip1->tabText(current) : QString();
  auto show = [&](bool mixer, bool effects, bool search, bool settings) {
    Mixer->setVisible(mixer);
    SoundEffects[0]->setVisible(effects);
    SoundEffects[1]->setVisible(effects);
    fraSearch->setVisible(search);
    Settings->setVisible(settings);
  };
  if (caption == T(59))
    show(true, false, false, false);
  else if (caption == T(61))
    show(false, true, false, false);
  else if (caption == T(48))
    show(false, false, true, false);
  else if (caption == T(69))
    show(false, false, false, true);
  DrawDisplays();
}

void frmMain::Form_KeyDown(int key, Qt::KeyboardModifiers) {
  if (key == Qt::Key_F1) ShowHelp(QStringLiteral("introduction.htm"));
}

void frmMain::Form_QueryUnload() {
  if (shutDown_) return;
  shutDown_ = true;
  if (ToolTips) ToolTips->Release();
  // The tag editor and the start window are closed by their owners.
  for (auto& p : players_) {
    if (p) engine::FreeStream(p->STRM());
  }
  engine::DeviceStop();
  // Every listed device (the headphone list holds "None" and then each one).
  Devices.CloseListed(cmbSettings[3] ? cmbSettings[3]->count() - 1 : 0);
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
  if (index < 0 || index >= static_cast<int>(cmbSettings.size())) return false;
  QComboBox* list = cmbSettings[static_cast<size_t>(index)];
  if (entry < -1 || entry >= list->count()) return false;
  {
    const QSignalBlocker block(list);
    list->setCurrentIndex(entry);
  }
  cmbSettings_Click(index);
  return true;
}

bool frmMain::SetValueInRange(QSlider* s, int64_t v) {
  if (!s || v < s->minimum() || v > s->maximum()) return false;
  s->setValue(static_cast<int>(v));
  return true;
}

bool frmMain::SetValueInRange(QSpinBox* s, int64_t v) {
  if (!s || v < s->minimum() || v > s->maximum()) return false;
  s->setValue(static_cast<int>(v));
  return true;
}

bool frmMain::AnyPlaying() const {
  for (const auto& p : players_)
    if (p && p->IsPlaying()) return true;
  return false;
}

// ------------------------------------------------------------- AnalysisHost

void frmMain::SetLibraryCell(int32_t row, int column, const QVariant& value) {
  DummyPlaylist->SetCellValue(row, column, value);
}

void frmMain::RedrawLibraryCell(int32_t row, int column) { DummyPlaylist->RepaintCell(row, column); }

int32_t frmMain::SilenceLevel() const { return AutomationSlider[1]->value(); }

int32_t frmMain::MainVolumeValue() const { return MainVolume->value(); }

void frmMain::AppendErrorText(const QString& text) {
  txtError->moveCursor(QTextCursor::End);
  txtError->insertPlainText(text);
}

}  // namespace djvp
