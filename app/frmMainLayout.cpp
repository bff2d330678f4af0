// The main window's controls, placed at their designed positions (pixels of
// the design, 15 twips each), and the resize rules that move the groups that
// follow the window's size.
#include "app/frmMain.h"

#include "platform/Grid.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QStatusBar>
#include <QStyle>
#include <QTabBar>

namespace djvp {

namespace {

// Twips of the window's design per screen pixel.
constexpr int kTwips = 15;
int Px(int twips) { return twips / kTwips; }

// The designed inner size of the window, in pixels.
constexpr int kDesignWidth = 19080 / kTwips;
constexpr int kDesignHeight = 8715 / kTwips;
constexpr int kDeckWidth = 476;
constexpr int kBandHeight = 302;
constexpr int kCentreWidth = 300;
constexpr int kEffectsWidth = 620;

QFont LcdFont(int pointSize) {
  QFont f(QStringLiteral("DejaVu Sans Mono"));
  f.setPointSize(pointSize);
  f.setBold(true);
  f.setStyleHint(QFont::Monospace);
  return f;
}

QLabel* LcdLabel(QWidget* parent, const QRect& r, const QString& text, int pointSize,
                 Qt::Alignment align = Qt::AlignCenter) {
  auto* l = new QLabel(text, parent);
  l->setObjectName(QStringLiteral("lcdText"));
  l->setGeometry(r);
  l->setFont(LcdFont(pointSize));
  l->setAlignment(align);
  l->setAttribute(Qt::WA_TranslucentBackground);
  // The skins colour the LCD text; without a skin it is a cool cyan.
  QPalette pal = l->palette();
  pal.setColor(QPalette::WindowText, QColor(143, 246, 255));
  l->setPalette(pal);
  return l;
}

QSlider* MakeSlider(QWidget* parent, Qt::Orientation o, const QRect& r, int min, int max, int value) {
  auto* s = new QSlider(o, parent);
  s->setGeometry(r);
  s->setRange(min, max);
  s->setValue(value);
  // Vertical sliders have their lowest value at the top.
  if (o == Qt::Vertical) s->setInvertedAppearance(true);
  return s;
}

QSpinBox* MakeSpinner(QWidget* parent, const QRect& r, int min, int max, int value) {
  auto* s = new QSpinBox(parent);
  s->setGeometry(r);
  s->setRange(min, max);
  s->setValue(value);
  s->setAlignment(Qt::AlignCenter);
  return s;
}

QPushButton* MakeButton(QWidget* parent, const QRect& r, const QString& text = {}) {
  auto* b = new QPushButton(text, parent);
  b->setGeometry(r);
  b->setFocusPolicy(Qt::TabFocus);
  return b;
}

// The transport symbols: 0 play, 1 pause, 2 stop.
QIcon TransportIcon(int kind) {
  QPixmap pm(44, 44);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(236, 238, 240));
  if (kind == 0) {
    p.drawPolygon(QPolygonF{QPointF(12, 8), QPointF(36, 22), QPointF(12, 36)});
  } else if (kind == 1) {
    p.drawRoundedRect(QRectF(11, 9, 8, 26), 2, 2);
    p.drawRoundedRect(QRectF(25, 9, 8, 26), 2, 2);
  } else {
    p.drawRoundedRect(QRectF(11, 11, 22, 22), 3, 3);
  }
  return QIcon(pm);
}

// A small picture of a crossfade curve for the preset buttons.
QIcon CurveIcon(int leftU, int leftD, int rightU, int rightD) {
  QPixmap pm(96, 30);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  auto pt = [&](int x, int y) { return QPointF(2 + x * 0.92, 2 + (1.0 - y / 255.0) * 26); };
  p.setPen(QPen(QColor(255, 120, 60), 2));
  p.drawPolyline(QList<QPointF>{pt(0, 255), pt(leftU, 255), pt(leftD, 0), pt(100, 0)});
  p.setPen(QPen(QColor(80, 200, 255), 2));
  p.drawPolyline(QList<QPointF>{pt(0, 0), pt(rightD, 0), pt(rightU, 255), pt(100, 255)});
  return QIcon(pm);
}

}  // namespace

QLabel* frmMain::MakeLabel(int index, QWidget* parent, const QRect& r) {
  auto* l = new QLabel(parent);
  l->setObjectName(QStringLiteral("SCLabel1_%1").arg(index));
  l->setGeometry(r);
  labels_[static_cast<size_t>(index)] = l;
  return l;
}

QLabel* frmMain::SCLabel1(int index) const {
  if (index < 0 || index >= static_cast<int>(labels_.size())) return nullptr;
  return labels_[static_cast<size_t>(index)];
}

void frmMain::BuildWindow() {
  setObjectName(QStringLiteral("frmMain"));
  resize(kDesignWidth, kDesignHeight);
  setMinimumSize(200, 150);
  setFocusPolicy(Qt::StrongFocus);

  BuildDeck(0);
  BuildDeck(1);
  BuildCentre();

  TabStrip1 = new QTabBar(this);
  TabStrip1->setObjectName(QStringLiteral("TabStrip1"));
  TabStrip1->setDrawBase(true);
  TabStrip1->setExpanding(false);
  TabStrip1->setGeometry(Px(120), Px(4680), kDesignWidth - Px(200), Px(8715 - 340 - 4800));

  BuildSearchPage();
  BuildMixerPage();
  BuildEffectsPage(0);
  BuildEffectsPage(1);
  BuildSettingsPage();

  StatusBar1 = new QStatusBar(this);
  StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
  StatusBar1->setSizeGripEnabled(false);
  for (size_t i = 0; i < statusPanels_.size(); ++i) {
    statusPanels_[i] = new QLabel(StatusBar1);
    statusPanels_[i]->setMinimumWidth(220);
    StatusBar1->addWidget(statusPanels_[i], i == 2 ? 1 : 0);
  }
  StatusBar1->setGeometry(0, kDesignHeight - Px(270), kDesignWidth, Px(270));

  BuildPopups();
}

QString frmMain::StatusPanelText(int panel) const {
  if (panel < 1 || panel > 3) return {};
  return statusPanels_[static_cast<size_t>(panel - 1)]->text();
}

void frmMain::SetStatusPanelText(int panel, const QString& text) {
  if (panel < 1 || panel > 3) return;
  statusPanels_[static_cast<size_t>(panel - 1)]->setText(text);
}

void frmMain::BuildDeck(int deck) {
  auto* f = new QFrame(this);
  Frame[static_cast<size_t>(deck)] = f;
  f->setObjectName(deck == 0 ? QStringLiteral("deckPanel1") : QStringLiteral("deckPanel2"));
  f->setFrameShape(QFrame::StyledPanel);
  f->setGeometry(deck == 0 ? 4 : kDesignWidth - 4 - kDeckWidth, 4, kDeckWidth, kBandHeight);
  const size_t d = static_cast<size_t>(deck);

  QLabel* heading = MakeLabel(deck == 0 ? 134 : 7, f, QRect(10, 5, 200, 18));
  heading->setObjectName(QStringLiteral("deckHeading"));
  QFont hf = heading->font();
  hf.setBold(true);
  hf.setPointSize(11);
  heading->setFont(hf);

  // Title display with its (hidden) LCD picture.
  pctScroller[d] = new LcdPanel(f);
  pctScroller[d]->setObjectName(QStringLiteral("lcdDisplay"));
  pctScroller[d]->setGeometry(10, 26, 370, 27);
  pctScroller[d]->SetBackColor(QColor(2, 10, 12));
  pctScroller[d]->SetPicture(MakeTitlePanelPicture(368, 25));
  pctLCD[d] = new LcdPanel(pctScroller[d]);
  pctLCD[d]->setGeometry(0, 0, 369, 25);
  pctLCD[d]->SetPicture(MakeLcdPicture(369, 25));
  pctLCD[d]->hide();
  // The scrolling title's character cells come with the display's first
  // tick (display/ScrollerDeck.h).

  // The two BPM displays: the measured and the recalculated BPM.
  MakeLabel(deck == 0 ? 116 : 117, f, QRect(390, 24, 76, 13))->setAlignment(Qt::AlignCenter);
  for (int k = 0; k < 2; ++k) {
    const size_t i = static_cast<size_t>(deck + 2 * k);  // 0, 2 deck 1; 1, 3 deck 2
    pctBPM[i] = new LcdPanel(f);
    pctBPM[i]->setObjectName(QStringLiteral("lcdDisplay"));
    pctBPM[i]->setGeometry(390 + 40 * k, 38, 36, 16);
    pctBPM[i]->SetBackColor(QColor(2, 10, 12));
    pctLCDBPM[i] = new LcdPanel(pctBPM[i]);
    pctLCDBPM[i]->setGeometry(0, 0, 36, 16);
    pctLCDBPM[i]->SetPicture(MakeLcdPicture(36, 16));
    pctLCDBPM[i]->hide();
    lblBPM[i] = LcdLabel(pctBPM[i], QRect(0, 0, 36, 16), QStringLiteral("000.0"), 8);
  }

  // Time captions and the time display.
  const int captions[2][3] = {{6, 132, 133}, {3, 4, 5}};
  for (int k = 0; k < 3; ++k) {
    QLabel* c = MakeLabel(captions[d][k], f, QRect(10 + 80 * k, 57, 80, 13));
    c->setAlignment(Qt::AlignCenter);
  }
  pctTime[d] = new LcdPanel(f);
  pctTime[d]->setObjectName(QStringLiteral("lcdDisplay"));
  pctTime[d]->setGeometry(10, 70, 240, 28);
  pctTime[d]->SetBackColor(QColor(2, 10, 12));
  pctLCDmini[d] = new LcdPanel(pctTime[d]);
  pctLCDmini[d]->setGeometry(0, 0, 243, 29);
  pctLCDmini[d]->SetPicture(MakeLcdPicture(243, 29));
  pctLCDmini[d]->hide();
  cTime[d] = LcdLabel(pctTime[d], QRect(0, 2, 80, 24), QStringLiteral(" 00:00.00"), 10);
  rTime[d] = LcdLabel(pctTime[d], QRect(80, 2, 80, 24), QStringLiteral(" 00:00.00"), 10);
  tTime[d] = LcdLabel(pctTime[d], QRect(160, 2, 80, 24), QStringLiteral(" 00:00"), 10);

  // Transport: Play, Pause, Stop.
  const int base = deck * 10;
  QStyle* st = style();
  for (int k = 0; k < 3; ++k) {
    QPushButton* b = MakeButton(f, QRect(262 + 68 * k, 66, 64, 34));
    b->setObjectName(QStringLiteral("transportButton"));
    b->setIcon(TransportIcon(k));
    b->setIconSize(QSize(22, 22));
    cmdPlayer[static_cast<size_t>(base + 7 + k)] = b;
  }

  QSlider*& position = deck == 0 ? Position1 : Position2;
  position = MakeSlider(f, Qt::Horizontal, QRect(10, 104, 456, 20), 0, 0, 0);
  position->setObjectName(QStringLiteral("positionSlider"));

  // Playlist buttons: Folder, Add file, Delete, Up, Down, Save, Clear.
  const QStyle::StandardPixmap icons[7] = {QStyle::SP_DirOpenIcon,   QStyle::SP_FileIcon,
                                           QStyle::SP_TrashIcon,     QStyle::SP_ArrowUp,
                                           QStyle::SP_ArrowDown,     QStyle::SP_DialogSaveButton,
                                           QStyle::SP_DialogResetButton};
  for (int k = 0; k < 7; ++k) {
    QPushButton* b = MakeButton(f, QRect(10 + 36 * k, 128, 32, 24));
    b->setIcon(st->standardIcon(icons[k]));
    cmdPlayer[static_cast<size_t>(base + k)] = b;
  }

  PlayListView[d] = new Grid(f);
  PlayListView[d]->setObjectName(deck == 0 ? QStringLiteral("PlayListView0") : QStringLiteral("PlayListView1"));
  PlayListView[d]->setGeometry(10, 156, 456, 140);
  if (deck == 0) {
    // The hidden scratch grid that playlists pass through.
    PlayListView[2] = new Grid(this);
    PlayListView[2]->setObjectName(QStringLiteral("PlayListView2"));
    PlayListView[2]->hide();
  }
}

void frmMain::BuildCentre() {
  auto* f = new QFrame(this);
  Frame[2] = f;
  f->setObjectName(QStringLiteral("centrePanel"));
  f->setFrameShape(QFrame::StyledPanel);
  f->setGeometry((kDesignWidth - kCentreWidth) / 2, 4, kCentreWidth, kBandHeight);

  // Deck meters at the outer edges, the master meters in the middle.
  pctVolume1 = new LcdPanel(f);
  pctVolume1->setGeometry(6, 22, 12, 180);
  pctVolume2 = new LcdPanel(f);
  pctVolume2->setGeometry(kCentreWidth - 18, 22, 12, 180);
  pctVolumeLeft = new LcdPanel(f);
  pctVolumeLeft->setGeometry(136, 22, 12, 79);
  pctVolumeRight = new LcdPanel(f);
  pctVolumeRight->setGeometry(152, 22, 12, 79);
  for (LcdPanel* m : {pctVolume1, pctVolume2, pctVolumeLeft, pctVolumeRight}) {
    m->setObjectName(QStringLiteral("meterPanel"));
    m->SetBackColor(QColor(8, 8, 8));
    m->Cls();
  }
  DeckLeds = DeckMeterLeds();
  MasterLeds = MasterMeterLeds();
  MakeLabel(8, f, QRect(120, 5, 60, 15))->setAlignment(Qt::AlignCenter);

  // Volume and headphone volume of each deck beside its meter.
  Volume1 = MakeSlider(f, Qt::Vertical, QRect(22, 22, 22, 226), 0, 100, 0);
  VolumeHP1 = MakeSlider(f, Qt::Vertical, QRect(46, 22, 22, 226), 0, 100, 0);
  Volume2 = MakeSlider(f, Qt::Vertical, QRect(kCentreWidth - 44, 22, 22, 226), 0, 100, 0);
  VolumeHP2 = MakeSlider(f, Qt::Vertical, QRect(kCentreWidth - 68, 22, 22, 226), 0, 100, 0);
  for (QSlider* s : {VolumeHP1, VolumeHP2}) s->setObjectName(QStringLiteral("headphoneSlider"));

  // Gain and three tone spinners per deck.
  const int labels[2][4] = {{11, 13, 15, 17}, {12, 14, 16, 18}};
  for (int deck = 0; deck < 2; ++deck) {
    const int x = deck == 0 ? 72 : kCentreWidth - 128;
    for (int k = 0; k < 4; ++k) {
      const int y = 22 + 56 * k;
      QLabel* l = MakeLabel(labels[deck][k], f, QRect(x, y, 56, 14));
      l->setAlignment(Qt::AlignCenter);
      const bool gain = k == 0;
      UpDown[static_cast<size_t>(deck * 4 + k)] = MakeSpinner(f, QRect(x, y + 15, 56, 24), 0, gain ? 52 : 20, gain ? 26 : 10);
    }
  }

  MainVolume = MakeSlider(f, Qt::Vertical, QRect(139, 106, 22, 96), 0, 100, 0);
  MainVolume->setObjectName(QStringLiteral("masterSlider"));

  Command1 = MakeButton(f, QRect(126, 208, 48, 28));
  Command1->setObjectName(QStringLiteral("prelistenButton"));
  Command1->setIcon(style()->standardIcon(QStyle::SP_MediaVolume));
  QLabel* onOff = MakeLabel(151, f, QRect(120, 237, 60, 14));
  onOff->setAlignment(Qt::AlignCenter);

  QLabel* xfLabel = MakeLabel(149, f, QRect(40, 252, 220, 14));
  xfLabel->setAlignment(Qt::AlignCenter);
  Slider1 = MakeSlider(f, Qt::Horizontal, QRect(30, 268, 240, 24), 0, 100, 50);
  Slider1->setObjectName(QStringLiteral("crossfader"));
}

void frmMain::BuildSearchPage() {
  fraSearch = new QFrame(this);
  fraSearch->setObjectName(QStringLiteral("fraSearch"));
  MakeLabel(145, fraSearch, QRect(13, 3, 260, 15));
  Text1 = new QLineEdit(fraSearch);
  Text1->setGeometry(13, 19, 260, 22);
  Text1->setClearButtonEnabled(true);
  QLabel* hint = MakeLabel(148, fraSearch, QRect(290, 3, 700, 38));
  hint->setWordWrap(true);
  for (size_t k = 0; k < cmdSearch.size(); ++k) cmdSearch[k] = MakeButton(fraSearch, QRect(13, 44, 150, 21));
  for (size_t k = 2; k < 5; ++k) cmdSearch[k]->resize(170, 30);
  DummyPlaylist = new Grid(fraSearch);
  DummyPlaylist->setObjectName(QStringLiteral("DummyPlaylist"));
  DummyPlaylist->setGeometry(Px(200), Px(1000), 900, 150);
  txtError = new QPlainTextEdit(fraSearch);
  txtError->setReadOnly(true);
  txtError->hide();

  mnuTags = new QMenu(this);
  mnuTag = mnuTags->addAction(QString());
  mnuTags->addSeparator();
  mnuCopy1 = mnuTags->addAction(QString());
  mnuCopy2 = mnuTags->addAction(QString());
  mnuTags->addSeparator();
  mnuDelete = mnuTags->addAction(QString());
}

void frmMain::BuildMixerPage() {
  Mixer = new QFrame(this);
  Mixer->setObjectName(QStringLiteral("Mixer"));
  MakeLabel(21, Mixer, QRect(Px(100), Px(300), 180, 16));
  MakeLabel(24, Mixer, QRect(200, Px(300), 255, 16));
  const int presets[6][4] = {{50, 50, 50, 50}, {75, 100, 25, 0}, {10, 100, 90, 0},
                             {25, 100, 75, 0}, {50, 50, 90, 0},  {10, 100, 50, 50}};
  for (size_t k = 0; k < MixPreview.size(); ++k) {
    QPushButton* b = MakeButton(Mixer, QRect(Px(900), Px(600 + 650 * static_cast<int>(k)), 120, 38));
    b->setIcon(CurveIcon(presets[k][0], presets[k][1], presets[k][2], presets[k][3]));
    b->setIconSize(QSize(96, 30));
    MixPreview[k] = b;
  }
  BackMix = new QFrame(Mixer);
  BackMix->setObjectName(QStringLiteral("BackMix"));
  BackMix->setGeometry(200, Px(600), 255, 130);
  lblTime = new QLabel(BackMix);
  lblTime->setObjectName(QStringLiteral("lcdDisplay"));
  lblTime->setAlignment(Qt::AlignCenter);
  lblTime->setFont(LcdFont(11));
  lblTime->setGeometry(0, 0, 255, 30);
  pctDimmer = new CurvePanel(BackMix);
  pctDimmer->setObjectName(QStringLiteral("pctDimmer"));
  pctDimmer->setGeometry(0, 30, 255, 100);
  MixerTime = MakeSlider(Mixer, Qt::Horizontal, QRect(200, 177, 255, 22), 0, 100, 0);
  MakeLabel(19, Mixer, QRect(200, 206, 255, 16))->setAlignment(Qt::AlignCenter);

  MakeLabel(22, Mixer, QRect(500, Px(300), 300, 16));
  for (size_t k = 0; k < Check1.size(); ++k) {
    Check1[k] = new QCheckBox(Mixer);
    Check1[k]->setGeometry(500, 44 + 26 * static_cast<int>(k), 200, 22);
  }
  MakeLabel(23, Mixer, QRect(730, 44, 260, 16));
  AutomationSlider[0] = MakeSlider(Mixer, Qt::Horizontal, QRect(730, 62, 260, 22), 0, 30, 0);
  MakeLabel(20, Mixer, QRect(730, 96, 300, 16));
  AutomationSlider[1] = MakeSlider(Mixer, Qt::Horizontal, QRect(730, 114, 260, 22), 1, 30, 1);
  QLabel* note = MakeLabel(25, Mixer, QRect(730, 142, 420, 32));
  note->setWordWrap(true);
}

void frmMain::BuildEffectsPage(int deck) {
  auto* page = new TitledFrame(this);
  SoundEffects[static_cast<size_t>(deck)] = page;
  page->setObjectName(deck == 0 ? QStringLiteral("SoundEffects0") : QStringLiteral("SoundEffects1"));
  page->resize(kEffectsWidth, 200);

  // Effect switches; deck 2's box for deck 1's box k is 17 - k.
  for (int k = 0; k < 9; ++k) {
    const int index = deck == 0 ? k : 17 - k;
    auto* box = new QCheckBox(page);
    box->setGeometry(10, 20 + 19 * k, 100, 19);
    Effects[static_cast<size_t>(index)] = box;
  }
  // Equaliser: ten bands with the preset buttons under them.
  for (int band = 0; band < 10; ++band) {
    Eq[static_cast<size_t>(deck * 10 + band)] = MakeSlider(page, Qt::Vertical, QRect(114 + 15 * band, 22, 14, 112), 0, 10, 5);
  }
  MakeLabel(deck == 0 ? 37 : 61, page, QRect(114, 138, 148, 14))->setAlignment(Qt::AlignCenter);
  const int load = deck == 0 ? 0 : 3;
  const int save = deck == 0 ? 1 : 2;
  cmdEffects[static_cast<size_t>(load)] = MakeButton(page, QRect(114, 154, 72, 22));
  cmdEffects[static_cast<size_t>(save)] = MakeButton(page, QRect(190, 154, 72, 22));

  // Tempo, sample rate, pitch and the effect parameters: label over slider,
  // three columns. Deck 2's slider is deck 1's + 14, its label deck 1's + 24.
  struct Param {
    int slider;
    int label;
    int min, max, value;
  };
  const Param params[14] = {
      {0, 38, -30, 30, 0},       {1, 39, 4100, 84100, 44100}, {2, 40, -30, 30, 0},
      {3, 41, 0, 100, 0},        {4, 42, 1200, 10000, 1200},  {5, 43, 200, 5000, 200},
      {6, 44, 2, 10, 2},         {7, 45, -200, 200, 0},       {8, 46, -200, 200, 0},
      {9, 47, 0, 600, 0},        {10, 48, 0, 100, 0},         {11, 49, 1200, 30000, 1200},
      {12, 50, 0, 900, 0},       {13, 51, 0, 100, 0}};
  for (int k = 0; k < 14; ++k) {
    const Param& p = params[k];
    const int col = k / 5;
    const int row = k % 5;
    const int columnX[3] = {268, 442, 534};
    const int columnW[3] = {170, 88, 84};
    const int x = columnX[col];
    const int y = 18 + 32 * row;
    MakeLabel(p.label + deck * 24, page, QRect(x, y, columnW[col], 14));
    int max = p.max;
    if (deck == 1 && p.slider == 4) max = 30000;  // deck 2's reverb delay reaches further
    sldEffects[static_cast<size_t>(p.slider + deck * 14)] =
        MakeSlider(page, Qt::Horizontal, QRect(x, y + 14, columnW[col], 16), p.min, max, p.value);
  }
}

void frmMain::BuildSettingsPage() {
  Settings = new QFrame(this);
  Settings->setObjectName(QStringLiteral("Settings"));
  for (size_t k = 0; k < cmbSettings.size(); ++k) {
    cmbSettings[k] = new QComboBox(Settings);
    cmbSettings[k]->setObjectName(QStringLiteral("cmbSettings%1").arg(k));
  }
  MakeLabel(118, Settings, QRect(16, 10, 200, 16));
  cmbSettings[0]->setGeometry(16, 28, 200, 24);
  MakeLabel(0, Settings, QRect(16, 64, 200, 16));
  cmbSettings[7]->setGeometry(16, 82, 200, 24);
  cmbSettings[7]->addItems({QStringLiteral("English"), QStringLiteral("Nederlands")});

  QLabel* devices = MakeLabel(119, Settings, QRect(240, 8, 300, 16));
  QFont bf = devices->font();
  bf.setBold(true);
  devices->setFont(bf);
  const int deviceLabels[3] = {125, 135, 136};
  const int supportLabels[3] = {137, 138, 139};
  // Speaker-pair buttons of each output, in the order front, rear/side,
  // centre/subwoofer, rear/centre.
  const int buttons[3][4] = {{0, 1, 2, 3}, {7, 6, 5, 4}, {11, 10, 9, 8}};
  for (int k = 0; k < 3; ++k) {
    const int x = 240 + 235 * k;
    MakeLabel(deviceLabels[k], Settings, QRect(x, 28, 225, 16));
    cmbSettings[static_cast<size_t>(1 + k)]->setGeometry(x, 45, 225, 24);
    MakeLabel(supportLabels[k], Settings, QRect(x, 74, 225, 16));
    cmbSettings[static_cast<size_t>(4 + k)]->setGeometry(x, 91, 225, 24);
    Frame5[static_cast<size_t>(k)] = new TitledFrame(Settings);
    Frame5[static_cast<size_t>(k)]->setGeometry(x, 120, 225, 88);
    for (int b = 0; b < 4; ++b) {
      auto* o = new QRadioButton(Frame5[static_cast<size_t>(k)]);
      o->setGeometry(8, 6 + 19 * b, 212, 19);
      Option2[static_cast<size_t>(buttons[k][b])] = o;
    }
  }

  Frame15 = new TitledFrame(Settings);
  Frame15->setGeometry(950, 6, 296, 202);
  QLabel* indexHeading = MakeLabel(114, Frame15, QRect(10, 8, 276, 16));
  indexHeading->setFont(bf);
  MakeLabel(115, Frame15, QRect(10, 30, 276, 16));
  txtSettings[0] = new QLineEdit(Frame15);
  txtSettings[0]->setGeometry(10, 48, 238, 24);
  cmdSettings[1] = MakeButton(Frame15, QRect(252, 48, 34, 24), QStringLiteral("…"));
  optSettings[0] = new QRadioButton(Frame15);
  optSettings[0]->setGeometry(10, 82, 276, 20);
  optSettings[1] = new QRadioButton(Frame15);
  optSettings[1]->setGeometry(10, 104, 276, 20);
  optSettings[0]->setChecked(true);
  cmdSettings[0] = MakeButton(Frame15, QRect(10, 136, 120, 28));
}

void frmMain::BuildPopups() {
  Frame11 = new QFrame(this);
  Frame11->setObjectName(QStringLiteral("Frame11"));
  Frame11->setFrameShape(QFrame::StyledPanel);
  Frame11->setGeometry(0, 0, 380, 96);
  QLabel* heading = MakeLabel(143, Frame11, QRect(12, 8, 356, 18));
  QFont hf = heading->font();
  hf.setBold(true);
  heading->setFont(hf);
  PB = new QProgressBar(Frame11);
  PB->setGeometry(12, 32, 356, 20);
  MakeLabel(144, Frame11, QRect(12, 58, 356, 28))->setWordWrap(true);
  Frame11->hide();

  for (int d = 0; d < 2; ++d) {
    auto* panel = new QFrame(this);
    pctEQ[static_cast<size_t>(d)] = panel;
    panel->setObjectName(QStringLiteral("pctEQ"));
    panel->setFrameShape(QFrame::StyledPanel);
    panel->setGeometry(0, 0, 260, 240);
    MakeLabel(d == 0 ? 78 : 79, panel, QRect(10, 8, 240, 18));
    cmbSelect[static_cast<size_t>(d)] = new QListWidget(panel);
    cmbSelect[static_cast<size_t>(d)]->setGeometry(10, 30, 240, 160);
    List1[static_cast<size_t>(d)] = new QListWidget(panel);
    List1[static_cast<size_t>(d)]->hide();
    Text2[static_cast<size_t>(d)] = new QLineEdit(panel);
    Text2[static_cast<size_t>(d)]->setGeometry(10, 30, 240, 24);
    Text2[static_cast<size_t>(d)]->hide();
    const int ok = d == 0 ? 1 : 2;
    const int cancel = d == 0 ? 0 : 3;
    cmdSelect[static_cast<size_t>(ok)] = MakeButton(panel, QRect(10, 200, 115, 28));
    cmdSelect[static_cast<size_t>(cancel)] = MakeButton(panel, QRect(135, 200, 115, 28));
    panel->hide();
  }
}

void frmMain::Form_Resize() {
  if (isMinimized() || !StatusBar1 || !pctEQ[1]) return;  // minimised, or not built yet
  const int W = width() * kTwips;
  const int H = height() * kTwips;
  const int OW = frameGeometry().width() * kTwips;
  const int OH = frameGeometry().height() * kTwips;
  auto px = [](int twips) { return twips / kTwips; };
  auto tw = [](int pixels) { return pixels * kTwips; };
  // Each rule is a step of its own: one that would give a negative size is
  // skipped and the control keeps its previous value.
  auto setLeft = [&](QWidget* w, int twips) { w->move(px(twips), w->y()); };
  auto setTop = [&](QWidget* w, int twips) { w->move(w->x(), px(twips)); };
  auto setWidth = [&](QWidget* w, int twips) { if (twips >= 0) w->resize(px(twips), w->height()); };
  auto setHeight = [&](QWidget* w, int twips) { if (twips >= 0) w->resize(w->width(), px(twips)); };
  auto L = [&](QWidget* w) { return tw(w->x()); };
  auto T = [&](QWidget* w) { return tw(w->y()); };
  auto Wd = [&](QWidget* w) { return tw(w->width()); };
  auto Ht = [&](QWidget* w) { return tw(w->height()); };

  setLeft(Frame[1], W - 60 - Wd(Frame[1]));
  setLeft(Frame[2], (W - Wd(Frame[2])) / 2);
  setLeft(Frame11, (OW - Wd(Frame11)) / 2);
  setTop(Frame11, (OH - Ht(Frame11)) / 2);
  setWidth(TabStrip1, W - 200);
  setHeight(TabStrip1, H - 340 - 4800);
  const int tabL = L(TabStrip1), tabT = T(TabStrip1), tabW = Wd(TabStrip1), tabH = Ht(TabStrip1);
  auto fullPage = [&](QWidget* page) {
    setLeft(page, tabL + 40);
    setWidth(page, tabW - 80);
    setTop(page, tabT + 360);
    setHeight(page, tabH - 400);
  };
  fullPage(fraSearch);
  setWidth(DummyPlaylist, Wd(fraSearch) - 400 - Wd(cmdSearch[2]) - 100);
  setHeight(DummyPlaylist, Ht(fraSearch) - 1200);
  setTop(DummyPlaylist, 1000);
  setLeft(DummyPlaylist, 200);
  const int gridL = L(DummyPlaylist), gridW = Wd(DummyPlaylist), gridT = T(DummyPlaylist);
  setLeft(cmdSearch[0], gridL);
  setLeft(cmdSearch[1], gridL + gridW - Wd(cmdSearch[1]));
  for (size_t k = 2; k < 5; ++k) setLeft(cmdSearch[k], gridL + gridW + 100);
  setTop(cmdSearch[2], gridT);
  setTop(cmdSearch[3], T(cmdSearch[2]) + Ht(cmdSearch[2]) + 200);
  setTop(cmdSearch[4], T(cmdSearch[3]) + Ht(cmdSearch[3]) + 200);
  fullPage(Settings);
  fullPage(Mixer);
  // The curve panel is laid out in screen pixels.
  BackMix->setGeometry(200, px(600), 255, 130);
  lblTime->setGeometry(0, 0, 255, 30);
  pctDimmer->setGeometry(0, 30, 255, 100);
  MixerTime->setGeometry(BackMix->x(), BackMix->y() + BackMix->height() + px(100), BackMix->width(), MixerTime->height());
  if (QLabel* l = SCLabel1(19))
    l->setGeometry(BackMix->x(), MixerTime->y() + MixerTime->height() + px(100), BackMix->width(), l->height());
  if (QLabel* l = SCLabel1(24)) l->setGeometry(BackMix->x(), px(300), BackMix->width(), l->height());
  if (QLabel* l = SCLabel1(21)) l->move(px(100), px(300));
  for (size_t k = 0; k < MixPreview.size(); ++k) MixPreview[k]->move(px(900), px(600 + 650 * static_cast<int>(k)));
  setLeft(SoundEffects[0], tabL + 40);
  setTop(SoundEffects[0], tabT + 360);
  setHeight(SoundEffects[0], tabH - 400);
  setLeft(SoundEffects[1], tabL + tabW - 40 - Wd(SoundEffects[1]));
  setTop(SoundEffects[1], tabT + 360);
  setHeight(SoundEffects[1], tabH - 400);
  for (QFrame* panel : pctEQ) {
    setLeft(panel, (OW - Wd(panel)) / 2);
    setTop(panel, (OH - Ht(panel)) / 2);
  }
  // The status bar keeps to the bottom edge at its own height.
  StatusBar1->setGeometry(0, height() - StatusBar1->height(), width(), StatusBar1->height());
}

}  // namespace djvp
