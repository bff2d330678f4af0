// Every tooltip, menu caption, status-bar text and fitted caption of the main
// window in the current language.
#include "app/frmMain.h"

#include "effects/EffectControls.h"
#include "platform/Grid.h"
#include "platform/ModPublic.h"
#include "StringTable.h"
#include "ui/Text.h"

#include <QToolTip>

#include <initializer_list>
#include <optional>
#include <utility>
#include <vector>

namespace djvp {

namespace {

using ui::FindText;

// Entries joined by CR LF; none when any entry is missing.
std::optional<QString> Lines(std::initializer_list<int> entries) {
  QStringList lines;
  for (int n : entries) {
    const auto t = FindText(n);
    if (!t) return std::nullopt;
    lines << *t;
  }
  return lines.join(QStringLiteral("\r\n"));
}

}  // namespace

void frmMain::ApplyInterfaceTexts() {
  MainState& s = State();
  // Tooltips: a fresh set replaces the old one.
  QFont tipFont(QStringLiteral("Verdana"));
  tipFont.setPointSize(8);
  if (ToolTips) ToolTips->Release();
  ToolTips = std::make_unique<ToolTipSet>();
  ToolTipSet& tips = *ToolTips;
  auto tool = [&](auto&& control, std::initializer_list<int> entries) {
    if (const auto text = Lines(entries)) tips.AddTool(control, *text);
  };
  for (int k = 0; k <= 6; ++k) tool(s.cmdPlayer[static_cast<size_t>(k)], {2 * k + 1, 2 * k + 2});
  for (int k = 10; k <= 16; ++k) tool(s.cmdPlayer[static_cast<size_t>(k)], {2 * (k - 10) + 1, 2 * (k - 10) + 2});
  tool(s.cmdPlayer[7], {15, 16});
  tool(s.cmdPlayer[8], {17, 18});
  tool(s.cmdPlayer[9], {19, 20});
  tool(s.cmdPlayer[17], {15, 16});
  tool(s.cmdPlayer[18], {17, 18});
  tool(s.cmdPlayer[19], {19, 20});
  tool(s.MainVolume, {21, 22});
  tool(s.UpDown[0], {27, 28});
  tool(s.UpDown[4], {27, 28});
  tool(s.Volume1, {29, 30});
  tool(s.Volume2, {29, 30});
  tool(s.VolumeHP1, {29, 31});
  tool(s.VolumeHP2, {29, 31});
  tool(s.Command1, {32, 33, 34});
  tool(s.Slider1, {36, 35});
  tool(view.pctBPM[0], {37, 38});
  tool(view.pctBPM[1], {37, 38});
  tool(view.pctBPM[2], {37, 39});
  tool(view.pctBPM[3], {37, 39});
  tool(s.UpDown[1], {24, 23});
  tool(s.UpDown[5], {24, 23});
  tool(s.UpDown[2], {25, 23});
  tool(s.UpDown[6], {25, 23});
  tool(s.UpDown[3], {26, 23});
  tool(s.UpDown[7], {26, 23});
  tool(s.Position1, {40, 41});
  tool(s.Position2, {40, 41});
  tool(s.PlayListView[0].data(), {71, 72, 73});
  tool(s.PlayListView[1].data(), {71, 72, 73});
  tool(view.pctTime[0], {42, 43, 44, 45, 46, 47});
  tool(view.pctTime[1], {42, 43, 44, 45, 46, 47});
  tool(s.cmdSearch[0], {74, 75});
  tool(s.cmdSearch[1], {74, 75});
  tool(s.cmdSearch[2], {527});
  tool(s.cmdSearch[3], {27, 86});
  tool(s.cmdSearch[4], {87, 88});
  tool(s.DummyPlaylist.data(), {76, 77, 78, 79, 80, 81, 82, 73});
  // The quick-find box: what to type and how the search works.
  tool(s.Text1, {410, 411});
  for (ui::Button& b : s.MixPreview) tool(b, {150, 151});
  tool(view.BackMix, {152, 153});
  for (int k = 0; k < 4; ++k) tool(s.Check1[static_cast<size_t>(k)], {154 + 2 * k, 155 + 2 * k});
  tool(s.Effects[0], {162, 163});
  tool(s.Effects[17], {162, 163});
  tool(s.cmdEffects[0], {164, 165});
  tool(s.cmdEffects[3], {164, 165});
  tool(s.cmdEffects[1], {166, 167});
  tool(s.cmdEffects[2], {166, 167});
  tool(s.Effects[1], {168, 169});
  tool(s.Effects[16], {168, 169});
  tool(s.cmdSettings[1], {190, 191});
  tool(s.optSettings[1], {194, 195});
  tool(s.cmbSettings[0], {196, 197});
  QToolTip::setFont(tipFont);

  // Menu captions.
  if (const auto t = FindText(538)) s.mnuTags.setText(*t);
  if (const auto t = FindText(539)) s.mnuTag.setText(*t);
  if (const auto t = FindText(80)) s.mnuCopy1.setText(*t);
  if (const auto t = FindText(81)) s.mnuCopy2.setText(*t);
  if (const auto t = FindText(540)) s.mnuDelete.setText(*t);

  // Status bar.
  if (const auto t = FindText(563)) s.SetStatusPanelText(1, *t);
  if (const auto t = FindText(564)) s.SetStatusPanelText(2, *t);
  if (const auto t = FindText(570)) s.SetStatusPanelText(3, *t);

  // Captions, in order; the binding fits each to its control's width.
  auto fit = [&](ui::Control& control, int entry) {
    if (const auto t = FindText(entry)) control.setText(*t);
  };
  auto labels = [&](std::initializer_list<int> indexes, int entry) {
    for (int i : indexes) fit(s.SCLabel1[static_cast<size_t>(i)], entry);
  };
  labels({134}, 377);
  labels({7}, 542);
  labels({116, 117}, 37);
  labels({6, 3}, 530);
  labels({132, 4}, 44);
  labels({133, 5}, 531);
  labels({8}, 532);
  labels({149}, 36);
  // The pre-listen label tells how the switch stands, in the new language.
  labels({151}, s.PreListenOn ? 552 : 537);
  const int searchEntries[5] = {80, 81, 527, 528, 529};
  for (size_t k = 0; k < 5; ++k) fit(s.cmdSearch[k], searchEntries[k]);
  labels({145}, 410);
  labels({148}, 411);
  labels({21}, 150);
  labels({24}, 152);
  labels({22}, 507);
  fit(s.Check1[0], 154);
  fit(s.Check1[1], 156);
  fit(s.Check1[2], 158);
  labels({23}, 508);
  fit(s.Check1[3], 160);
  labels({20}, 505);
  labels({25}, 509);
  // The effect pages' frames belong to the window alone.
  modPublic_FitCaption(*view.SoundEffects[0], LangOffset + 484);
  modPublic_FitCaption(*view.SoundEffects[1], LangOffset + 485);
  const std::pair<std::pair<int, int>, int> boxes[9] = {{{0, 17}, 500}, {{1, 16}, 168}, {{2, 15}, 491},
                                                        {{4, 13}, 490}, {{7, 10}, 487}, {{3, 14}, 434},
                                                        {{5, 12}, 489}, {{6, 11}, 488}, {{8, 9}, 486}};
  for (const auto& [pair, entry] : boxes) {
    fit(s.Effects[static_cast<size_t>(pair.first)], entry);
    fit(s.Effects[static_cast<size_t>(pair.second)], entry);
  }
  fit(s.cmdEffects[0], 164);
  fit(s.cmdEffects[3], 164);
  fit(s.cmdEffects[1], 166);
  fit(s.cmdEffects[2], 166);
  labels({37, 61}, 492);
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
  labels({114}, 187);
  labels({115}, 526);
  fit(s.optSettings[0], 192);
  fit(s.optSettings[1], 194);
  fit(s.cmdSettings[0], 525);
  s.cmdSettings[4].setText(QStringLiteral("? Help"));
  labels({118}, 196);
  labels({119}, 519);
  labels({125}, 520);
  labels({135}, 521);
  labels({136}, 522);
  labels({137, 138, 139}, 523);
  for (int i : {0, 7, 11}) fit(s.Option2[static_cast<size_t>(i)], 518);
  for (int i : {1, 6, 10}) fit(s.Option2[static_cast<size_t>(i)], 517);
  for (int i : {2, 5, 9}) fit(s.Option2[static_cast<size_t>(i)], 516);
  for (int i : {3, 4, 8}) fit(s.Option2[static_cast<size_t>(i)], 515);
  labels({143}, 277);
  labels({78, 79}, 394);
  fit(s.cmdSelect[0], 203);
  fit(s.cmdSelect[3], 203);
  fit(s.cmdSelect[1], 294);
  fit(s.cmdSelect[2], 294);
  labels({19}, 504);
  labels({0}, 341);
  // The captions that tell a control's value: the value each holds, in the
  // new language.
  effects::ShowSliderCaptions(s);
  effects::ShowSpinnerCaptions(s);
}

}  // namespace djvp
