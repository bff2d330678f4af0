// The main window's controls, placed at their designed positions (pixels of
// the design, 15 twips each), and the resize rules that move the groups that
// follow the window's size.
#include "app/frmMain.h"

#include "display/Scroller.h"
#include "platform/Grid.h"
#include "ui/ControlRanges.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QHeaderView>
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
#include <QTableView>

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

// Sliders and spinners take their range, value and steps from the same
// table as the window state's controls (ui/ControlRanges.h).
QSlider* MakeSlider(QWidget* parent, Qt::Orientation o, const QRect& r, const ui::ControlRange& range) {
  auto* s = new QSlider(o, parent);
  s->setGeometry(r);
  s->setRange(range.min, range.max);
  s->setValue(range.value);
  s->setSingleStep(range.smallChange);
  s->setPageStep(range.largeChange);
  // Vertical sliders have their lowest value at the top.
  if (o == Qt::Vertical) s->setInvertedAppearance(true);
  return s;
}

QSpinBox* MakeSpinner(QWidget* parent, const QRect& r, const ui::ControlRange& range) {
  auto* s = new QSpinBox(parent);
  s->setGeometry(r);
  s->setRange(range.min, range.max);
  s->setValue(range.value);
  s->setSingleStep(range.smallChange);
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
  view.SCLabel1[static_cast<size_t>(index)] = l;
  return l;
}

void frmMain::BuildWindow() {
  setObjectName(QStringLiteral("frmMain"));
  resize(kDesignWidth, kDesignHeight);
  // Smaller than designed, the centre panel would cover the decks' buttons
  // and the pages their controls.
  setMinimumSize(kDesignWidth, kDesignHeight);
  setFocusPolicy(Qt::StrongFocus);

  BuildDeck(kDeck1);
  BuildDeck(kDeck2);
  BuildCentre();

  view.TabStrip1 = new QTabBar(this);
  view.TabStrip1->setObjectName(QStringLiteral("TabStrip1"));
  view.TabStrip1->setDrawBase(true);
  view.TabStrip1->setExpanding(false);
  view.TabStrip1->setGeometry(Px(120), Px(4680), kDesignWidth - Px(200), Px(8715 - 340 - 4800));

  BuildSearchPage();
  BuildMixerPage();
  BuildEffectsPage(kDeck1);
  BuildEffectsPage(kDeck2);
  BuildSettingsPage();

  view.StatusBar1 = new QStatusBar(this);
  view.StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
  view.StatusBar1->setSizeGripEnabled(false);
  for (size_t i = 0; i < view.StatusPanel.size(); ++i) {
    view.StatusPanel[i] = new QLabel(view.StatusBar1);
    view.StatusPanel[i]->setMinimumWidth(220);
    view.StatusBar1->addWidget(view.StatusPanel[i], i == 2 ? 1 : 0);
  }
  view.StatusBar1->setGeometry(0, kDesignHeight - Px(270), kDesignWidth, Px(270));

  BuildPopups();
}

void frmMain::BuildDeck(DeckId deck) {
  auto* f = new QFrame(this);
  view.Frame[deck.Index()] = f;
  f->setObjectName(deck.IsFirst() ? QStringLiteral("deckPanel1") : QStringLiteral("deckPanel2"));
  f->setFrameShape(QFrame::StyledPanel);
  f->setGeometry(deck.IsFirst() ? 4 : kDesignWidth - 4 - kDeckWidth, 4, kDeckWidth, kBandHeight);
  const size_t d = deck.Index();

  QLabel* heading = MakeLabel(deck.IsFirst() ? 134 : 7, f, QRect(10, 5, 200, 18));
  heading->setObjectName(QStringLiteral("deckHeading"));
  QFont hf = heading->font();
  hf.setBold(true);
  hf.setPointSize(11);
  heading->setFont(hf);

  // Title display with its (hidden) LCD picture.
  view.pctScroller[d] = new LcdPanel(f);
  view.pctScroller[d]->setObjectName(QStringLiteral("lcdDisplay"));
  view.pctScroller[d]->setGeometry(10, 26, 370, 27);
  view.pctScroller[d]->SetBackColor(QColor(2, 10, 12));
  view.pctScroller[d]->SetPicture(MakeTitlePanelPicture(368, 25));
  view.pctLCD[d] = new LcdPanel(view.pctScroller[d]);
  view.pctLCD[d]->setGeometry(0, 0, 369, 25);
  view.pctLCD[d]->SetPicture(MakeLcdPicture(369, 25));
  view.pctLCD[d]->hide();
  // The scrolling title's character cells.
  const ScrollerCellWidgets cells = MakeScrollerCells(view.pctScroller[d]);
  for (size_t c = 0; c < cells.size(); ++c) view.Image1[deck.Slot(static_cast<int>(cells.size()), static_cast<int>(c))] = cells[c];

  // The two BPM displays: the measured and the recalculated BPM.
  MakeLabel(deck.IsFirst() ? 116 : 117, f, QRect(390, 24, 76, 13))->setAlignment(Qt::AlignCenter);
  for (int k = 0; k < 2; ++k) {
    const size_t i = d + 2 * static_cast<size_t>(k);  // 0, 2 deck 1; 1, 3 deck 2
    view.pctBPM[i] = new LcdPanel(f);
    view.pctBPM[i]->setObjectName(QStringLiteral("lcdDisplay"));
    view.pctBPM[i]->setGeometry(390 + 40 * k, 38, 36, 16);
    view.pctBPM[i]->SetBackColor(QColor(2, 10, 12));
    view.pctLCDBPM[i] = new LcdPanel(view.pctBPM[i]);
    view.pctLCDBPM[i]->setGeometry(0, 0, 36, 16);
    view.pctLCDBPM[i]->SetPicture(MakeLcdPicture(36, 16));
    view.pctLCDBPM[i]->hide();
    view.lblBPM[i] = LcdLabel(view.pctBPM[i], QRect(0, 0, 36, 16), QStringLiteral("000.0"), 8);
  }

  // Time captions and the time display.
  const int captions[2][3] = {{6, 132, 133}, {3, 4, 5}};
  // Each caption is centred over its column of the display. The middle one
  // may spread into its neighbours' spare room ("Resterende Tijd" is long),
  // and all are tall enough for letters that reach below the line.
  for (int k = 0; k < 3; ++k) {
    const QRect place = k == 1 ? QRect(75, 55, 110, 15) : QRect(10 + 80 * k, 55, 80, 15);
    QLabel* c = MakeLabel(captions[d][k], f, place);
    c->setAlignment(Qt::AlignCenter);
  }
  view.pctTime[d] = new LcdPanel(f);
  view.pctTime[d]->setObjectName(QStringLiteral("lcdDisplay"));
  view.pctTime[d]->setGeometry(10, 70, 240, 28);
  view.pctTime[d]->SetBackColor(QColor(2, 10, 12));
  view.pctLCDmini[d] = new LcdPanel(view.pctTime[d]);
  view.pctLCDmini[d]->setGeometry(0, 0, 243, 29);
  view.pctLCDmini[d]->SetPicture(MakeLcdPicture(243, 29));
  view.pctLCDmini[d]->hide();
  view.cTime[d] = LcdLabel(view.pctTime[d], QRect(0, 2, 80, 24), QStringLiteral(" 00:00.00"), 10);
  view.rTime[d] = LcdLabel(view.pctTime[d], QRect(80, 2, 80, 24), QStringLiteral(" 00:00.00"), 10);
  view.tTime[d] = LcdLabel(view.pctTime[d], QRect(160, 2, 80, 24), QStringLiteral(" 00:00"), 10);

  // Transport: Play, Pause, Stop.
  const int base = static_cast<int>(deck.Slot(ctl::kDeckButtons, 0));
  QStyle* st = style();
  for (int k = 0; k < 3; ++k) {
    QPushButton* b = MakeButton(f, QRect(262 + 68 * k, 66, 64, 34));
    b->setObjectName(QStringLiteral("transportButton"));
    b->setIcon(TransportIcon(k));
    b->setIconSize(QSize(22, 22));
    view.cmdPlayer[static_cast<size_t>(base + 7 + k)] = b;
  }

  QSlider*& position = deck.IsFirst() ? view.Position1 : view.Position2;
  position = MakeSlider(f, Qt::Horizontal, QRect(10, 104, 456, 20), ui::kPositionRange);
  position->setObjectName(QStringLiteral("positionSlider"));

  // Playlist buttons: Folder, Add file, Delete, Up, Down, Save, Clear.
  const QStyle::StandardPixmap icons[7] = {QStyle::SP_DirOpenIcon,   QStyle::SP_FileIcon,
                                           QStyle::SP_TrashIcon,     QStyle::SP_ArrowUp,
                                           QStyle::SP_ArrowDown,     QStyle::SP_DialogSaveButton,
                                           QStyle::SP_DialogResetButton};
  for (int k = 0; k < 7; ++k) {
    QPushButton* b = MakeButton(f, QRect(10 + 36 * k, 128, 32, 24));
    b->setIcon(st->standardIcon(icons[k]));
    view.cmdPlayer[static_cast<size_t>(base + k)] = b;
  }

  Grid* list = State().PlayListView[d];
  list->setParent(f);
  list->setObjectName(deck.IsFirst() ? QStringLiteral("PlayListView0") : QStringLiteral("PlayListView1"));
  list->setGeometry(10, 156, 456, 140);
  if (deck.IsFirst()) {
    // The hidden scratch grid that playlists pass through.
    Grid* scratch = State().PlayListView[2];
    scratch->setParent(this);
    scratch->setObjectName(QStringLiteral("PlayListView2"));
    scratch->hide();
  }
}

void frmMain::BuildCentre() {
  auto* f = new QFrame(this);
  view.Frame[2] = f;
  f->setObjectName(QStringLiteral("centrePanel"));
  f->setFrameShape(QFrame::StyledPanel);
  f->setGeometry((kDesignWidth - kCentreWidth) / 2, 4, kCentreWidth, kBandHeight);

  // Deck meters at the outer edges, the master meters in the middle.
  view.pctVolume1 = new LcdPanel(f);
  view.pctVolume1->setGeometry(6, 22, 12, 180);
  view.pctVolume2 = new LcdPanel(f);
  view.pctVolume2->setGeometry(kCentreWidth - 18, 22, 12, 180);
  view.pctVolumeLeft = new LcdPanel(f);
  view.pctVolumeLeft->setGeometry(136, 22, 12, 79);
  view.pctVolumeRight = new LcdPanel(f);
  view.pctVolumeRight->setGeometry(152, 22, 12, 79);
  for (LcdPanel* m : {view.pctVolume1, view.pctVolume2, view.pctVolumeLeft, view.pctVolumeRight}) {
    m->setObjectName(QStringLiteral("meterPanel"));
    m->SetBackColor(QColor(8, 8, 8));
    m->Cls();
  }
  DeckLeds = DeckMeterLeds();
  MasterLeds = MasterMeterLeds();
  MakeLabel(8, f, QRect(120, 5, 60, 15))->setAlignment(Qt::AlignCenter);

  // Volume and headphone volume of each deck beside its meter.
  view.Volume1 = MakeSlider(f, Qt::Vertical, QRect(22, 22, 22, 226), ui::kDeckVolumeRange);
  view.VolumeHP1 = MakeSlider(f, Qt::Vertical, QRect(46, 22, 22, 226), ui::kDeckVolumeRange);
  view.Volume2 = MakeSlider(f, Qt::Vertical, QRect(kCentreWidth - 44, 22, 22, 226), ui::kDeckVolumeRange);
  view.VolumeHP2 = MakeSlider(f, Qt::Vertical, QRect(kCentreWidth - 68, 22, 22, 226), ui::kDeckVolumeRange);
  for (QSlider* s : {view.VolumeHP1, view.VolumeHP2}) s->setObjectName(QStringLiteral("headphoneSlider"));

  // Gain and three tone spinners per deck.
  for (DeckId deck : kBothDecks) {
    const int x = deck.IsFirst() ? 72 : kCentreWidth - 128;
    for (int k = 0; k < ui::kDeckSpinners; ++k) {
      const int y = 22 + 56 * k;
      const auto label = static_cast<ctl::DeckLabel>(ctl::kGainLabel + k);
      QLabel* l = MakeLabel(static_cast<int>(ctl::LabelOf(deck, label)), f, QRect(x, y, 56, 14));
      l->setAlignment(Qt::AlignCenter);
      view.UpDown[deck.Slot(ui::kDeckSpinners, k)] = MakeSpinner(f, QRect(x, y + 15, 56, 24), ui::DeckSpinnerRange(k));
    }
  }

  view.MainVolume = MakeSlider(f, Qt::Vertical, QRect(139, 106, 22, 96), ui::kMasterVolumeRange);
  view.MainVolume->setObjectName(QStringLiteral("masterSlider"));

  view.Command1 = MakeButton(f, QRect(126, 208, 48, 28));
  view.Command1->setObjectName(QStringLiteral("prelistenButton"));
  view.Command1->setIcon(style()->standardIcon(QStyle::SP_MediaVolume));
  QLabel* onOff = MakeLabel(151, f, QRect(120, 237, 60, 14));
  onOff->setAlignment(Qt::AlignCenter);

  QLabel* xfLabel = MakeLabel(149, f, QRect(40, 252, 220, 14));
  xfLabel->setAlignment(Qt::AlignCenter);
  view.Slider1 = MakeSlider(f, Qt::Horizontal, QRect(30, 268, 240, 24), ui::kCrossfaderRange);
  view.Slider1->setObjectName(QStringLiteral("crossfader"));
}

void frmMain::BuildSearchPage() {
  view.fraSearch = new QFrame(this);
  view.fraSearch->setObjectName(QStringLiteral("fraSearch"));
  MakeLabel(145, view.fraSearch, QRect(13, 3, 260, 15));
  view.Text1 = new QLineEdit(view.fraSearch);
  view.Text1->setGeometry(13, 19, 260, 22);
  view.Text1->setClearButtonEnabled(true);
  QLabel* hint = MakeLabel(148, view.fraSearch, QRect(290, 3, 700, 38));
  hint->setWordWrap(true);
  for (size_t k = 0; k < view.cmdSearch.size(); ++k) view.cmdSearch[k] = MakeButton(view.fraSearch, QRect(13, 44, 150, 21));
  for (size_t k = 2; k < 5; ++k) view.cmdSearch[k]->resize(170, 30);
  Grid* library = State().DummyPlaylist;
  library->setParent(view.fraSearch);
  library->setObjectName(QStringLiteral("DummyPlaylist"));
  library->setGeometry(Px(200), Px(1000), 900, 150);
  // The library's look: Verdana, grid lines, the last column up to the
  // right edge, the selected rows deep blue with black text, with or
  // without the focus.
  QTableView* table = library->View();
  QFont tableFont(QStringLiteral("Verdana"));
  tableFont.setPointSizeF(8.25);
  table->setFont(tableFont);
  table->setShowGrid(true);
  table->horizontalHeader()->setStretchLastSection(true);
  QPalette selection = table->palette();
  for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
    selection.setColor(group, QPalette::Highlight, QColor(0, 107, 159));
    selection.setColor(group, QPalette::HighlightedText, Qt::black);
  }
  table->setPalette(selection);
  view.txtError = new QPlainTextEdit(view.fraSearch);
  view.txtError->setReadOnly(true);
  view.txtError->hide();

  view.mnuTags = new QMenu(this);
  view.mnuTag = view.mnuTags->addAction(QString());
  view.mnuTags->addSeparator();
  view.mnuCopy1 = view.mnuTags->addAction(QString());
  view.mnuCopy2 = view.mnuTags->addAction(QString());
  view.mnuTags->addSeparator();
  view.mnuDelete = view.mnuTags->addAction(QString());
}

void frmMain::BuildMixerPage() {
  view.Mixer = new QFrame(this);
  view.Mixer->setObjectName(QStringLiteral("Mixer"));
  MakeLabel(21, view.Mixer, QRect(Px(100), Px(300), 180, 16));
  MakeLabel(24, view.Mixer, QRect(200, Px(300), 255, 16));
  const int presets[6][4] = {{50, 50, 50, 50}, {75, 100, 25, 0}, {10, 100, 90, 0},
                             {25, 100, 75, 0}, {50, 50, 90, 0},  {10, 100, 50, 50}};
  for (size_t k = 0; k < view.MixPreview.size(); ++k) {
    QPushButton* b = MakeButton(view.Mixer, QRect(Px(900), Px(600 + 650 * static_cast<int>(k)), 120, 38));
    b->setIcon(CurveIcon(presets[k][0], presets[k][1], presets[k][2], presets[k][3]));
    b->setIconSize(QSize(96, 30));
    view.MixPreview[k] = b;
  }
  view.BackMix = new QFrame(view.Mixer);
  view.BackMix->setObjectName(QStringLiteral("BackMix"));
  view.BackMix->setGeometry(200, Px(600), 255, 130);
  view.lblTime = new QLabel(view.BackMix);
  view.lblTime->setObjectName(QStringLiteral("lcdDisplay"));
  view.lblTime->setAlignment(Qt::AlignCenter);
  view.lblTime->setFont(LcdFont(11));
  view.lblTime->setGeometry(0, 0, 255, 30);
  view.pctDimmer = new CurvePanel(view.BackMix);
  view.pctDimmer->setObjectName(QStringLiteral("pctDimmer"));
  view.pctDimmer->setGeometry(0, 30, 255, 100);
  view.MixerTime = MakeSlider(view.Mixer, Qt::Horizontal, QRect(200, 177, 255, 22), ui::kMixTimeRange);
  MakeLabel(19, view.Mixer, QRect(200, 206, 255, 16))->setAlignment(Qt::AlignCenter);

  MakeLabel(22, view.Mixer, QRect(500, Px(300), 300, 16));
  for (size_t k = 0; k < view.Check1.size(); ++k) {
    view.Check1[k] = new QCheckBox(view.Mixer);
    view.Check1[k]->setGeometry(500, 44 + 26 * static_cast<int>(k), 200, 22);
  }
  MakeLabel(23, view.Mixer, QRect(730, 44, 260, 16));
  view.AutomationSlider[0] = MakeSlider(view.Mixer, Qt::Horizontal, QRect(730, 62, 260, 22), ui::AutomationSliderRange(0));
  MakeLabel(20, view.Mixer, QRect(730, 96, 300, 16));
  view.AutomationSlider[1] = MakeSlider(view.Mixer, Qt::Horizontal, QRect(730, 114, 260, 22), ui::AutomationSliderRange(1));
  QLabel* note = MakeLabel(25, view.Mixer, QRect(730, 142, 420, 32));
  note->setWordWrap(true);
}

void frmMain::BuildEffectsPage(DeckId deck) {
  auto* page = new TitledFrame(this);
  view.SoundEffects[deck.Index()] = page;
  page->setObjectName(deck.IsFirst() ? QStringLiteral("SoundEffects0") : QStringLiteral("SoundEffects1"));
  page->resize(kEffectsWidth, 200);

  // Effect switches; deck 2's box for deck 1's box k is 17 - k.
  for (int k = 0; k < 9; ++k) {
    auto* box = new QCheckBox(page);
    box->setGeometry(10, 20 + 19 * k, 100, 19);
    view.Effects[ctl::EffectBoxOf(deck, k)] = box;
  }
  // Equaliser: ten bands with the preset buttons under them.
  for (int band = 0; band < ui::kDeckBands; ++band) {
    view.Eq[deck.Slot(ui::kDeckBands, band)] =
        MakeSlider(page, Qt::Vertical, QRect(114 + 15 * band, 22, 14, 112), ui::kBandRange);
  }
  MakeLabel(deck.IsFirst() ? 37 : 61, page, QRect(114, 138, 148, 14))->setAlignment(Qt::AlignCenter);
  const int load = deck.IsFirst() ? 0 : 3;
  const int save = deck.IsFirst() ? 1 : 2;
  view.cmdEffects[static_cast<size_t>(load)] = MakeButton(page, QRect(114, 154, 72, 22));
  view.cmdEffects[static_cast<size_t>(save)] = MakeButton(page, QRect(190, 154, 72, 22));

  // Tempo, sample rate, pitch and the effect parameters: label over slider,
  // three columns. Deck 1's slider k has label 38 + k, deck 2's 62 + k.
  for (int k = 0; k < ui::kDeckSliders; ++k) {
    const int col = k / 5;
    const int row = k % 5;
    const int columnX[3] = {268, 442, 534};
    const int columnW[3] = {170, 88, 84};
    const int x = columnX[col];
    const int y = 18 + 32 * row;
    MakeLabel(38 + k + (deck.IsFirst() ? 0 : 24), page, QRect(x, y, columnW[col], 14));
    view.sldEffects[deck.Slot(ui::kDeckSliders, k)] =
        MakeSlider(page, Qt::Horizontal, QRect(x, y + 14, columnW[col], 16), ui::DeckSliderRange(deck, k));
  }
}

void frmMain::BuildSettingsPage() {
  view.Settings = new QFrame(this);
  view.Settings->setObjectName(QStringLiteral("Settings"));
  for (size_t k = 0; k < view.cmbSettings.size(); ++k) {
    view.cmbSettings[k] = new QComboBox(view.Settings);
    view.cmbSettings[k]->setObjectName(QStringLiteral("cmbSettings%1").arg(k));
  }
  MakeLabel(118, view.Settings, QRect(16, 10, 200, 16));
  view.cmbSettings[0]->setGeometry(16, 28, 200, 24);
  MakeLabel(0, view.Settings, QRect(16, 64, 200, 16));
  view.cmbSettings[7]->setGeometry(16, 82, 200, 24);
  view.cmbSettings[7]->addItems({QStringLiteral("English"), QStringLiteral("Nederlands")});

  QLabel* devices = MakeLabel(119, view.Settings, QRect(240, 8, 300, 16));
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
    MakeLabel(deviceLabels[k], view.Settings, QRect(x, 28, 225, 16));
    view.cmbSettings[static_cast<size_t>(1 + k)]->setGeometry(x, 45, 225, 24);
    MakeLabel(supportLabels[k], view.Settings, QRect(x, 74, 225, 16));
    view.cmbSettings[static_cast<size_t>(4 + k)]->setGeometry(x, 91, 225, 24);
    view.Frame5[static_cast<size_t>(k)] = new TitledFrame(view.Settings);
    view.Frame5[static_cast<size_t>(k)]->setGeometry(x, 120, 225, 88);
    for (int b = 0; b < 4; ++b) {
      auto* o = new QRadioButton(view.Frame5[static_cast<size_t>(k)]);
      o->setGeometry(8, 6 + 19 * b, 212, 19);
      view.Option2[static_cast<size_t>(buttons[k][b])] = o;
    }
  }

  view.Frame15 = new TitledFrame(view.Settings);
  view.Frame15->setGeometry(950, 6, 296, 202);
  QLabel* indexHeading = MakeLabel(114, view.Frame15, QRect(10, 8, 276, 16));
  indexHeading->setFont(bf);
  MakeLabel(115, view.Frame15, QRect(10, 30, 276, 16));
  view.txtSettings[0] = new QLineEdit(view.Frame15);
  view.txtSettings[0]->setGeometry(10, 48, 238, 24);
  // The folder button shows a folder (its caption stays empty).
  view.cmdSettings[1] = MakeButton(view.Frame15, QRect(252, 48, 34, 24));
  view.cmdSettings[1]->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
  view.optSettings[0] = new QRadioButton(view.Frame15);
  view.optSettings[0]->setGeometry(10, 82, 276, 20);
  view.optSettings[1] = new QRadioButton(view.Frame15);
  view.optSettings[1]->setGeometry(10, 104, 276, 20);
  view.optSettings[0]->setChecked(true);
  view.cmdSettings[0] = MakeButton(view.Frame15, QRect(10, 136, 120, 28));
  view.cmdSettings[4] = MakeButton(view.Frame15, QRect(166, 136, 120, 28));
}

void frmMain::BuildPopups() {
  view.Frame11 = new QFrame(this);
  view.Frame11->setObjectName(QStringLiteral("Frame11"));
  view.Frame11->setFrameShape(QFrame::StyledPanel);
  view.Frame11->setGeometry(0, 0, 380, 96);
  QLabel* heading = MakeLabel(143, view.Frame11, QRect(12, 8, 356, 18));
  QFont hf = heading->font();
  hf.setBold(true);
  heading->setFont(hf);
  view.PB = new QProgressBar(view.Frame11);
  view.PB->setGeometry(12, 32, 356, 20);
  MakeLabel(144, view.Frame11, QRect(12, 58, 356, 28))->setWordWrap(true);
  view.Frame11->hide();

  for (int d = 0; d < 2; ++d) {
    auto* panel = new QFrame(this);
    view.pctEQ[static_cast<size_t>(d)] = panel;
    panel->setObjectName(QStringLiteral("pctEQ"));
    panel->setFrameShape(QFrame::StyledPanel);
    panel->setGeometry(0, 0, 260, 240);
    MakeLabel(d == 0 ? 78 : 79, panel, QRect(10, 8, 240, 18));
    view.cmbSelect[static_cast<size_t>(d)] = new QListWidget(panel);
    view.cmbSelect[static_cast<size_t>(d)]->setGeometry(10, 30, 240, 160);
    view.List1[static_cast<size_t>(d)] = new QListWidget(panel);
    view.List1[static_cast<size_t>(d)]->hide();
    view.Text2[static_cast<size_t>(d)] = new QLineEdit(panel);
    view.Text2[static_cast<size_t>(d)]->setGeometry(10, 30, 240, 24);
    view.Text2[static_cast<size_t>(d)]->hide();
    const int ok = d == 0 ? 1 : 2;
    const int cancel = d == 0 ? 0 : 3;
    view.cmdSelect[static_cast<size_t>(ok)] = MakeButton(panel, QRect(10, 200, 115, 28));
    view.cmdSelect[static_cast<size_t>(cancel)] = MakeButton(panel, QRect(135, 200, 115, 28));
    panel->hide();
  }
}

void frmMain::Form_Resize() {
  if (isMinimized() || !view.StatusBar1 || !view.pctEQ[1]) return;  // minimised, or not built yet
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

  setLeft(view.Frame[1], W - 60 - Wd(view.Frame[1]));
  setLeft(view.Frame[2], (W - Wd(view.Frame[2])) / 2);
  setLeft(view.Frame11, (OW - Wd(view.Frame11)) / 2);
  setTop(view.Frame11, (OH - Ht(view.Frame11)) / 2);
  setWidth(view.TabStrip1, W - 200);
  setHeight(view.TabStrip1, H - 340 - 4800);
  const int tabL = L(view.TabStrip1), tabT = T(view.TabStrip1), tabW = Wd(view.TabStrip1), tabH = Ht(view.TabStrip1);
  auto fullPage = [&](QWidget* page) {
    setLeft(page, tabL + 40);
    setWidth(page, tabW - 80);
    setTop(page, tabT + 360);
    setHeight(page, tabH - 400);
  };
  fullPage(view.fraSearch);
  Grid* DummyPlaylist = State().DummyPlaylist;
  setWidth(DummyPlaylist, Wd(view.fraSearch) - 400 - Wd(view.cmdSearch[2]) - 100);
  setHeight(DummyPlaylist, Ht(view.fraSearch) - 1200);
  setTop(DummyPlaylist, 1000);
  setLeft(DummyPlaylist, 200);
  const int gridL = L(DummyPlaylist), gridW = Wd(DummyPlaylist), gridT = T(DummyPlaylist);
  setLeft(view.cmdSearch[0], gridL);
  setLeft(view.cmdSearch[1], gridL + gridW - Wd(view.cmdSearch[1]));
  for (size_t k = 2; k < 5; ++k) setLeft(view.cmdSearch[k], gridL + gridW + 100);
  setTop(view.cmdSearch[2], gridT);
  setTop(view.cmdSearch[3], T(view.cmdSearch[2]) + Ht(view.cmdSearch[2]) + 200);
  setTop(view.cmdSearch[4], T(view.cmdSearch[3]) + Ht(view.cmdSearch[3]) + 200);
  fullPage(view.Settings);
  fullPage(view.Mixer);
  // The curve panel is laid out in screen pixels.
  view.BackMix->setGeometry(200, px(600), 255, 130);
  view.lblTime->setGeometry(0, 0, 255, 30);
  view.pctDimmer->setGeometry(0, 30, 255, 100);
  view.MixerTime->setGeometry(view.BackMix->x(), view.BackMix->y() + view.BackMix->height() + px(100), view.BackMix->width(), view.MixerTime->height());
  if (QLabel* l = view.SCLabel1[19])
    l->setGeometry(view.BackMix->x(), view.MixerTime->y() + view.MixerTime->height() + px(100), view.BackMix->width(), l->height());
  if (QLabel* l = view.SCLabel1[24]) l->setGeometry(view.BackMix->x(), px(300), view.BackMix->width(), l->height());
  if (QLabel* l = view.SCLabel1[21]) l->move(px(100), px(300));
  for (size_t k = 0; k < view.MixPreview.size(); ++k) view.MixPreview[k]->move(px(900), px(600 + 650 * static_cast<int>(k)));
  setLeft(view.SoundEffects[0], tabL + 40);
  setTop(view.SoundEffects[0], tabT + 360);
  setHeight(view.SoundEffects[0], tabH - 400);
  setLeft(view.SoundEffects[1], tabL + tabW - 40 - Wd(view.SoundEffects[1]));
  setTop(view.SoundEffects[1], tabT + 360);
  setHeight(view.SoundEffects[1], tabH - 400);
  for (QFrame* panel : view.pctEQ) {
    setLeft(panel, (OW - Wd(panel)) / 2);
    setTop(panel, (OH - Ht(panel)) / 2);
  }
  // The status bar keeps to the bottom edge at its own height.
  view.StatusBar1->setGeometry(0, height() - view.StatusBar1->height(), width(), view.StatusBar1->height());
}

}  // namespace djvp
