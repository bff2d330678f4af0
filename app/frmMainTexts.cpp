// Every tooltip, menu caption, status-bar text and fitted caption of the main
// window in the current language.
#include "app/frmMain.h"

#include "platform/Grid.h"
#include "platform/ModPublic.h"
#include "StringTable.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QToolTip>

#include <initializer_list>
#include <optional>
#include <utility>
#include <vector>

namespace djvp {

namespace {

// The text of entry n in the current language; none when it is missing.
std::optional<QString> Text(int n) {
  try {
    return QString::fromStdString(Tr(n));
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

// Entries joined by CR LF; none when any entry is missing.
std::optional<QString> Lines(std::initializer_list<int> entries) {
  QStringList lines;
  for (int n : entries) {
    const auto t = Text(n);
    if (!t) return std::nullopt;
    lines << *t;
  }
  return lines.join(QStringLiteral("\r\n"));
}

}  // namespace

void frmMain::ApplyInterfaceTexts() {
  // Tooltips: a fresh set replaces the old one.
  QFont tipFont(QStringLiteral("Verdana"));
  tipFont.setPointSize(8);
  if (ToolTips) ToolTips->Release();
  ToolTips = std::make_unique<ToolTipSet>();
  ToolTipSet& tips = *ToolTips;
  auto tool = [&](QWidget* control, std::initializer_list<int> entries) {
    if (const auto text = Lines(entries)) tips.AddTool(control, *text);
  };
  for (int k = 0; k <= 6; ++k) tool(cmdPlayer[static_cast<size_t>(k)], {2 * k + 1, 2 * k + 2});
  for (int k = 10; k <= 16; ++k) tool(cmdPlayer[static_cast<size_t>(k)], {2 * (k - 10) + 1, 2 * (k - 10) + 2});
  tool(cmdPlayer[7], {15, 16});
  tool(cmdPlayer[8], {17, 18});
  tool(cmdPlayer[9], {19, 20});
  tool(cmdPlayer[17], {15, 16});
  tool(cmdPlayer[18], {17, 18});
  tool(cmdPlayer[19], {19, 20});
  tool(MainVolume, {21, 22});
  tool(UpDown[0], {27, 28});
  tool(UpDown[4], {27, 28});
  tool(Volume1, {29, 30});
  tool(Volume2, {29, 30});
  tool(VolumeHP1, {29, 31});
  tool(VolumeHP2, {29, 31});
  tool(Command1, {32, 33, 34});
  tool(Slider1, {36, 35});
  tool(pctBPM[0], {37, 38});
  tool(pctBPM[1], {37, 38});
  tool(pctBPM[2], {37, 39});
  tool(pctBPM[3], {37, 39});
  tool(UpDown[1], {24, 23});
  tool(UpDown[5], {24, 23});
  tool(UpDown[2], {25, 23});
  tool(UpDown[6], {25, 23});
  tool(UpDown[3], {26, 23});
  tool(UpDown[7], {26, 23});
  tool(Position1, {40, 41});
  tool(Position2, {40, 41});
  tool(PlayListView[0], {71, 72, 73});
  tool(PlayListView[1], {71, 72, 73});
  tool(pctTime[0], {42, 43, 44, 45, 46, 47});
  tool(pctTime[1], {42, 43, 44, 45, 46, 47});
  tool(cmdSearch[0], {74, 75});
  tool(cmdSearch[1], {74, 75});
  tool(cmdSearch[2], {527});
  tool(cmdSearch[3], {27, 86});
  tool(cmdSearch[4], {87, 88});
  tool(DummyPlaylist, {76, 77, 78, 79, 80, 81, 82, 73});
  // The quick-find box: what to type and how the search works.
  tool(Text1, {410, 411});
  for (QPushButton* b : MixPreview) tool(b, {150, 151});
  tool(BackMix, {152, 153});
  for (int k = 0; k < 4; ++k) tool(Check1[static_cast<size_t>(k)], {154 + 2 * k, 155 + 2 * k});
  tool(Effects[0], {162, 163});
  tool(Effects[17], {162, 163});
  tool(cmdEffects[0], {164, 165});
  tool(cmdEffects[3], {164, 165});
  tool(cmdEffects[1], {166, 167});
  tool(cmdEffects[2], {166, 167});
  tool(Effects[1], {168, 169});
  tool(Effects[16], {168, 169});
  tool(cmdSettings[1], {190, 191});
  tool(optSettings[1], {194, 195});
  tool(cmbSettings[0], {196, 197});
  QToolTip::setFont(tipFont);

  // Menu captions.
  if (const auto t = Text(538)) mnuTags->setTitle(*t);
  if (const auto t = Text(539)) mnuTag->setText(*t);
  if (const auto t = Text(80)) mnuCopy1->setText(*t);
  if (const auto t = Text(81)) mnuCopy2->setText(*t);
  if (const auto t = Text(540)) mnuDelete->setText(*t);

  // Status bar.
  if (const auto t = Text(563)) SetStatusPanelText(1, *t);
  if (const auto t = Text(564)) SetStatusPanelText(2, *t);
  if (const auto t = Text(570)) SetStatusPanelText(3, *t);

  // Fitted captions, in order.
  auto fit = [&](QWidget* control, int entry) {
    if (control) modPublic_FitCaption(*control, LangOffset + entry);
  };
  auto labels = [&](std::initializer_list<int> indexes, int entry) {
    for (int i : indexes) fit(SCLabel1(i), entry);
  };
  labels({134}, 377);
  labels({7}, 542);
  labels({116, 117}, 37);
  labels({6, 3}, 530);
  labels({132, 4}, 44);
  labels({133, 5}, 531);
  labels({11, 12}, 533);
  labels({13, 14}, 534);
  labels({15, 16}, 535);
  labels({17, 18}, 536);
  labels({8}, 532);
  labels({149}, 36);
  // The pre-listen label tells how the switch stands, in the new language.
  labels({151}, PreListenOn ? 552 : 537);
  const int searchEntries[5] = {80, 81, 527, 528, 529};
  for (size_t k = 0; k < 5; ++k) fit(cmdSearch[k], searchEntries[k]);
  fit(SCLabel1(145), 410);
  fit(SCLabel1(148), 411);
  fit(SCLabel1(21), 150);
  fit(SCLabel1(24), 152);
  fit(SCLabel1(22), 507);
  fit(Check1[0], 154);
  fit(Check1[1], 156);
  fit(Check1[2], 158);
  fit(SCLabel1(23), 508);
  fit(Check1[3], 160);
  fit(SCLabel1(20), 505);
  fit(SCLabel1(25), 509);
  fit(SoundEffects[0], 484);
  fit(SoundEffects[1], 485);
  const std::pair<std::pair<int, int>, int> boxes[9] = {{{0, 17}, 500}, {{1, 16}, 168}, {{2, 15}, 491},
                                                        {{4, 13}, 490}, {{7, 10}, 487}, {{3, 14}, 434},
                                                        {{5, 12}, 489}, {{6, 11}, 488}, {{8, 9}, 486}};
  for (const auto& [pair, entry] : boxes) {
    fit(Effects[static_cast<size_t>(pair.first)], entry);
    fit(Effects[static_cast<size_t>(pair.second)], entry);
  }
  fit(cmdEffects[0], 164);
  fit(cmdEffects[3], 164);
  fit(cmdEffects[1], 166);
  fit(cmdEffects[2], 166);
  labels({37, 61}, 492);
  labels({38, 62}, 501);
  labels({39, 63}, 502);
  labels({40, 64}, 503);
  labels({41, 65}, 493);
  labels({42, 66}, 494);
  labels({45, 69}, 497);
  labels({46, 70}, 498);
  labels({47, 71}, 494);
  labels({48, 72}, 493);
  labels({49, 73}, 494);
  labels({43, 67}, 495);
  labels({44, 68}, 496);
  labels({50, 74}, 499);
  labels({51, 75}, 567);
  fit(SCLabel1(114), 187);
  fit(SCLabel1(115), 526);
  fit(optSettings[0], 192);
  fit(optSettings[1], 194);
  fit(cmdSettings[0], 525);
  fit(SCLabel1(118), 196);
  fit(SCLabel1(119), 519);
  fit(SCLabel1(125), 520);
  fit(SCLabel1(135), 521);
  fit(SCLabel1(136), 522);
  labels({137, 138, 139}, 523);
  for (int i : {0, 7, 11}) fit(Option2[static_cast<size_t>(i)], 518);
  for (int i : {1, 6, 10}) fit(Option2[static_cast<size_t>(i)], 517);
  for (int i : {2, 5, 9}) fit(Option2[static_cast<size_t>(i)], 516);
  for (int i : {3, 4, 8}) fit(Option2[static_cast<size_t>(i)], 515);
  labels({143}, 277);
  labels({78, 79}, 394);
  fit(cmdSelect[0], 203);
  fit(cmdSelect[3], 203);
  fit(cmdSelect[1], 294);
  fit(cmdSelect[2], 294);
  labels({19}, 504);
  labels({0}, 341);
}

}  // namespace djvp
