// Decks as the logic names them: the deck type (its number, array position,
// the other deck, the place of its controls in the window's arrays of
// per-deck groups), the deck view over the window state (every control,
// player and switch of the deck, none of the other's), and the designed
// ranges that the window state gives the deck controls.
#include "platform/Grid.h"
#include "ui/ControlRanges.h"
#include "ui/Deck.h"
#include "ui/DeckId.h"
#include "ui/MainState.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

using namespace djvp;

namespace {

TEST(DeckId, NumbersIndexesAndTheOtherDeck) {
  const struct {
    DeckId deck;
    int number;
    size_t index;
    bool first;
    DeckId other;
  } cases[] = {{kDeck1, 1, 0, true, kDeck2}, {kDeck2, 2, 1, false, kDeck1}};
  for (const auto& k : cases) {
    SCOPED_TRACE(k.number);
    EXPECT_EQ(k.deck.Number(), k.number);
    EXPECT_EQ(k.deck.Index(), k.index);
    EXPECT_EQ(k.deck.IsFirst(), k.first);
    EXPECT_TRUE(k.deck.Other() == k.other);
    EXPECT_TRUE(k.deck.Other() != k.deck);
    EXPECT_TRUE(k.deck.Other().Other() == k.deck);
    ASSERT_TRUE(DeckId::FromNumber(k.number).has_value());
    EXPECT_TRUE(*DeckId::FromNumber(k.number) == k.deck);
  }
  EXPECT_TRUE(kDeck1 != kDeck2);
  EXPECT_FALSE(kDeck1 == kDeck2);
  EXPECT_TRUE(kBothDecks[0] == kDeck1);
  EXPECT_TRUE(kBothDecks[1] == kDeck2);
  for (int number : {-1, 0, 3, 10}) EXPECT_FALSE(DeckId::FromNumber(number).has_value()) << number;
}

// The window's control arrays hold deck 1's group of controls, then deck
// 2's: buttons 0-9 and 10-19, sliders 0-13 and 14-27, and so on.
TEST(DeckId, GroupIndexesSplitIntoDeckAndPlaceAndBack) {
  const struct {
    int index, groupSize;
    std::optional<int> deck;  // the number; none outside both groups
    int k;
  } cases[] = {
      {0, 10, 1, 0},   {7, 10, 1, 7},   {9, 10, 1, 9},           {10, 10, 2, 0},  {17, 10, 2, 7},
      {19, 10, 2, 9},  {20, 10, {}, 0}, {-1, 10, {}, 0},         {13, 14, 1, 13}, {14, 14, 2, 0},
      {27, 14, 2, 13}, {28, 14, {}, 0}, {0, 1, 1, 0},            {1, 1, 2, 0},    {2, 1, {}, 0},
      {0, 0, {}, 0},   {5, -3, {}, 0},  {1000000, 10, {}, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("index " + std::to_string(c.index) + " of groups of " + std::to_string(c.groupSize));
    const auto in = DeckId::FromGroupIndex(c.index, c.groupSize);
    ASSERT_EQ(in.has_value(), c.deck.has_value());
    if (!in) continue;
    EXPECT_EQ(in->deck.Number(), *c.deck);
    EXPECT_EQ(in->k, c.k);
    EXPECT_EQ(in->deck.Slot(c.groupSize, in->k), static_cast<size_t>(c.index));
  }
  // Every slot of both decks maps back to its deck and place.
  for (int groupSize : {1, 4, 10, 14, 20})
    for (DeckId deck : kBothDecks)
      for (int k = 0; k < groupSize; ++k) {
        const auto in = DeckId::FromGroupIndex(static_cast<int>(deck.Slot(groupSize, k)), groupSize);
        ASSERT_TRUE(in.has_value());
        EXPECT_TRUE(in->deck == deck);
        EXPECT_EQ(in->k, k);
      }
}

// Deck 2's effect box for deck 1's box k is 17 - k; the labels each deck has
// one of stand at fixed, irregular places.
TEST(DeckId, EffectBoxesAndDeckLabelsOfEachDeck) {
  for (int box = 0; box < 9; ++box) {
    EXPECT_EQ(ctl::EffectBoxOf(kDeck1, box), static_cast<size_t>(box));
    EXPECT_EQ(ctl::EffectBoxOf(kDeck2, box), static_cast<size_t>(17 - box));
    for (DeckId deck : kBothDecks) {
      const auto at = ctl::EffectBoxAt(static_cast<int>(ctl::EffectBoxOf(deck, box)));
      ASSERT_TRUE(at.has_value());
      EXPECT_TRUE(at->first == deck);
      EXPECT_EQ(at->second, box);
    }
  }
  for (int index : {-1, 18}) EXPECT_FALSE(ctl::EffectBoxAt(index).has_value());
  const struct {
    ctl::DeckLabel label;
    size_t deck1, deck2;
  } labels[] = {{ctl::kGainLabel, 11, 12},       {ctl::kHighLabel, 13, 14},  {ctl::kMidLabel, 15, 16},
                {ctl::kLowLabel, 17, 18},        {ctl::kTempoLabel, 38, 62}, {ctl::kSampleRateLabel, 39, 63},
                {ctl::kPitchLabel, 40, 64},      {ctl::kPresetPromptLabel, 78, 79}};
  for (const auto& l : labels) {
    EXPECT_EQ(ctl::LabelOf(kDeck1, l.label), l.deck1) << l.label;
    EXPECT_EQ(ctl::LabelOf(kDeck2, l.label), l.deck2) << l.label;
  }
}

// Each accessor of a deck reaches that deck's own control in the window's
// arrays, by the program's indexes, and the two decks share none.
TEST(Deck, EachDeckReachesItsOwnControlsPlayersAndSwitches) {
  MainState s;
  struct Expect {
    DeckId id;
    size_t index;        // one-per-deck arrays
    size_t buttons;      // cmdPlayer group start
    size_t sliders;      // sldEffects group start
    size_t bands;        // Eq group start
    size_t spinners;     // UpDown group start
    size_t cells;        // Image1 group start
    size_t fades;        // FadeActive: the transitions into the deck
    ui::Slider* position;
    ui::Slider* volume;
    ui::Slider* headphone;
    ui::LedMeter* meter;
    clsBassPlayer* a;
    clsBassPlayer* b;
  };
  const Expect decks[] = {
      {kDeck1, 0, 0, 0, 0, 0, 0, 0, &s.Position1, &s.Volume1, &s.VolumeHP1, &s.pctVolume1, &s.Deck1PlayerA(),
       &s.Deck1PlayerB()},
      {kDeck2, 1, 10, 14, 10, 4, 20, 6, &s.Position2, &s.Volume2, &s.VolumeHP2, &s.pctVolume2, &s.Deck2PlayerA(),
       &s.Deck2PlayerB()},
  };
  for (const Expect& e : decks) {
    SCOPED_TRACE(e.id.Number());
    const Deck deck(s, e.id);
    EXPECT_TRUE(deck.Id() == e.id);
    EXPECT_TRUE(deck.Other().Id() == e.id.Other());
    EXPECT_EQ(&deck.State(), &s);
    EXPECT_EQ(deck.Playlist(), s.PlayListView[e.index].data());
    EXPECT_EQ(deck.Player(0), e.a);
    EXPECT_EQ(deck.Player(1), e.b);
    EXPECT_EQ(deck.Chain(), s.Chain(e.id));
    EXPECT_NE(deck.Chain(), deck.Other().Chain());
    EXPECT_EQ(&deck.Position(), e.position);
    EXPECT_EQ(&deck.Volume(), e.volume);
    EXPECT_EQ(&deck.Headphone(), e.headphone);
    EXPECT_EQ(&deck.Meter(), e.meter);
    for (int b : {ctl::kFolder, ctl::kPlay, ctl::kPause, ctl::kStop})
      EXPECT_EQ(&deck.Button(static_cast<ctl::PlayerButton>(b)), &s.cmdPlayer[e.buttons + static_cast<size_t>(b)]);
    EXPECT_EQ(&deck.Elapsed(), &s.cTime[e.index]);
    EXPECT_EQ(&deck.Remaining(), &s.rTime[e.index]);
    EXPECT_EQ(&deck.Length(), &s.tTime[e.index]);
    EXPECT_EQ(&deck.RowBpm(), &s.lblBPM[e.index]);
    EXPECT_EQ(&deck.TempoBpm(), &s.lblBPM[e.index + 2]);
    EXPECT_EQ(&deck.Label(ctl::kTempoLabel), &s.SCLabel1[ctl::LabelOf(e.id, ctl::kTempoLabel)]);
    for (int c : {0, 19}) EXPECT_EQ(&deck.TitleCell(c), &s.Image1[e.cells + static_cast<size_t>(c)]);
    EXPECT_EQ(&deck.ScrollerText(), &s.ScrollerText[e.index]);
    EXPECT_EQ(&deck.ScrollerPos(), &s.ScrollerPos[e.index]);
    EXPECT_EQ(&deck.ScrollerWidth(), &s.ScrollerWidth[e.index]);
    for (int k : {0, 1, 13}) {
      EXPECT_EQ(&deck.EffectSlider(k), &s.sldEffects[e.sliders + static_cast<size_t>(k)]);
      EXPECT_EQ(deck.SliderIndex(k), static_cast<int>(e.sliders) + k);
    }
    for (int band : {0, 9}) {
      EXPECT_EQ(&deck.Band(band), &s.Eq[e.bands + static_cast<size_t>(band)]);
      EXPECT_EQ(deck.BandIndex(band), static_cast<int>(e.bands) + band);
    }
    for (int k : {0, 3}) {
      EXPECT_EQ(&deck.Spinner(k), &s.UpDown[e.spinners + static_cast<size_t>(k)]);
      EXPECT_EQ(deck.SpinnerIndex(k), static_cast<int>(e.spinners) + k);
    }
    for (int box : {ctl::kEqualizerBox, ctl::kFlangerBox}) {
      EXPECT_EQ(&deck.EffectBox(box), &s.Effects[ctl::EffectBoxOf(e.id, box)]);
      EXPECT_EQ(deck.EffectBoxIndex(box), static_cast<int>(ctl::EffectBoxOf(e.id, box)));
    }
    EXPECT_EQ(&deck.TempoWait(), &s.StartTempoWaits[e.index]);
    EXPECT_EQ(&deck.LoadedFormat(), &s.LoadedFormat[e.index]);
    for (int k = 0; k < Deck::kFadesInto; ++k)
      EXPECT_EQ(&deck.FadeInto(k), &s.Decks.FadeActive[e.fades + static_cast<size_t>(k)]);
    EXPECT_EQ(deck.Player(2), nullptr);
    EXPECT_EQ(deck.Player(-1), nullptr);
  }
}

// The window state's deck controls carry their designed ranges, deck by
// deck: the same table the window's layout builds its widgets from.
TEST(ControlRanges, TheWindowStateGivesEachDeckControlItsDesignedRange) {
  MainState s;
  auto same = [](const ui::Slider& c, const ui::ControlRange& r) {
    return c.minimum() == r.min && c.maximum() == r.max && c.value() == r.value &&
           c.smallChange() == r.smallChange && c.largeChange() == r.largeChange;
  };
  for (DeckId id : kBothDecks) {
    SCOPED_TRACE(id.Number());
    const Deck deck(s, id);
    for (int k = 0; k < ui::kDeckSliders; ++k)
      EXPECT_TRUE(same(deck.EffectSlider(k), ui::DeckSliderRange(id, k))) << k;
    for (int band = 0; band < ui::kDeckBands; ++band) EXPECT_TRUE(same(deck.Band(band), ui::kBandRange)) << band;
    for (int k = 0; k < ui::kDeckSpinners; ++k) EXPECT_TRUE(same(deck.Spinner(k), ui::DeckSpinnerRange(k))) << k;
    EXPECT_TRUE(same(deck.Volume(), ui::kDeckVolumeRange));
    EXPECT_TRUE(same(deck.Headphone(), ui::kDeckVolumeRange));
    EXPECT_TRUE(same(deck.Position(), ui::kPositionRange));
  }
  EXPECT_TRUE(same(s.Slider1, ui::kCrossfaderRange));
  for (int k = 0; k < 2; ++k)
    EXPECT_TRUE(same(s.AutomationSlider[static_cast<size_t>(k)], ui::AutomationSliderRange(k))) << k;

  // Where the decks differ: deck 2's reverb delay reaches 30000, deck 1's
  // 10000; deck 1's big echo wet mix and delay and flanger sliders page by
  // one, deck 2's by five.
  EXPECT_EQ(Deck(s, kDeck1).EffectSlider(4).maximum(), 10000);
  EXPECT_EQ(Deck(s, kDeck2).EffectSlider(4).maximum(), 30000);
  for (int k : {8, 9, 12, 13}) {
    EXPECT_EQ(Deck(s, kDeck1).EffectSlider(k).largeChange(), 1) << k;
    EXPECT_EQ(Deck(s, kDeck2).EffectSlider(k).largeChange(), 5) << k;
  }
  EXPECT_EQ(Deck(s, kDeck1).EffectSlider(7).largeChange(), 5);
  // The sample rate's middle is a song's own rate, 40000 from either end.
  const ui::ControlRange rate = ui::DeckSliderRange(kDeck1, 1);
  EXPECT_EQ(rate.value - rate.min, 40000);
  EXPECT_EQ(rate.max - rate.value, 40000);
  EXPECT_EQ(ui::DeckSliderRange(kDeck1, 14).max, 0) << "no slider 14 in a deck's group";
}

}  // namespace
