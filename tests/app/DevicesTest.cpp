// The settings page's sound devices and speaker layouts: each device opened
// once and kept open while an output uses it, the players following the
// choice, the headphone controls, failures, and stored devices that are gone.
#include "WindowTestEnv.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>

#include <gtest/gtest.h>

using djvp::DeviceSet;

TEST(DeviceSet, OpensEachDeviceOnceAndKeepsItWhileUsed) {
  std::vector<std::pair<int, uint32_t>> inits;
  std::vector<int> frees;
  DeviceSet set(DeviceSet::Ops{[&](int d, uint32_t f) { inits.emplace_back(d, f); return true; },
                               [&](int d) { frees.push_back(d); }});
  EXPECT_TRUE(set.Use(DeviceSet::kDeck1, 1, 0, false));
  EXPECT_TRUE(set.Use(DeviceSet::kDeck2, 1, 0, false));
  EXPECT_TRUE(set.Use(DeviceSet::kHeadphones, 1, 0, false));
  EXPECT_EQ(inits.size(), 1u);
  // Deck 1 moves away: device 1 stays for deck 2 and the headphones.
  EXPECT_TRUE(set.Use(DeviceSet::kDeck1, 2, 0, false));
  EXPECT_TRUE(frees.empty());
  EXPECT_TRUE(set.IsOpen(1));
  // The last users leave device 1, but a song still plays: it stays open ...
  set.Use(DeviceSet::kDeck2, 2, 0, true);
  set.Drop(DeviceSet::kHeadphones, true);
  EXPECT_TRUE(frees.empty());
  // ... until a later choice finds nothing playing.
  set.CloseUnused(false);
  EXPECT_EQ(frees, std::vector<int>{1});
  EXPECT_FALSE(set.IsOpen(1));
  // Speaker assignment asked for later reopens the device when idle only.
  EXPECT_TRUE(set.Use(DeviceSet::kDeck1, 2, 2048, true));
  EXPECT_EQ(inits.size(), 2u);
  EXPECT_TRUE(set.Use(DeviceSet::kDeck1, 2, 2048, false));
  EXPECT_EQ(inits.back(), std::make_pair(2, uint32_t{2048}));
  set.CloseAll();
  EXPECT_EQ(set.OpenCount(), 0);
}

TEST(DeviceSet, AFailedOpenIsTriedAgainByTheNextChoice) {
  bool works = false;
  int attempts = 0;
  DeviceSet set(DeviceSet::Ops{[&](int, uint32_t) { ++attempts; return works; }, [](int) {}});
  EXPECT_FALSE(set.Use(DeviceSet::kDeck1, 3, 0, false));
  works = true;
  EXPECT_TRUE(set.Use(DeviceSet::kDeck2, 3, 0, false));
  EXPECT_EQ(attempts, 2);
}

TEST(DeviceChoice, DeviceListsHoldTheEngineDevices) {
  WindowTestEnv env;
  auto w = env.Open();
  const QStringList names = {"Card A", "Card B", "USB Headset"};
  for (int list : {1, 2}) {
    ASSERT_EQ(w->view.cmbSettings[list]->count(), 3);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(w->view.cmbSettings[list]->itemText(i), names[i]);
  }
  ASSERT_EQ(w->view.cmbSettings[3]->count(), 4);
  EXPECT_EQ(w->view.cmbSettings[3]->itemText(0), "None");
  EXPECT_EQ(w->view.cmbSettings[3]->itemText(3), "USB Headset");
  for (int list : {4, 5, 6}) {
    ASSERT_EQ(w->view.cmbSettings[list]->count(), 4);
    EXPECT_EQ(w->view.cmbSettings[list]->itemText(2), "5.1 speakers");
  }
}

TEST(DeviceChoice, RealEngineDevicesAreListed) {
  WindowTestEnv env;
  djvp::DeviceNamesOverride().reset();
  const std::vector<std::string> engineNames = djvp::OutputDeviceNames();
  auto w = env.Open();
  ASSERT_EQ(w->view.cmbSettings[1]->count(), static_cast<int>(engineNames.size()));
  for (size_t i = 0; i < engineNames.size(); ++i)
    EXPECT_EQ(w->view.cmbSettings[2]->itemText(static_cast<int>(i)), QString::fromUtf8(engineNames[i].c_str()));
  EXPECT_EQ(w->view.cmbSettings[3]->count(), static_cast<int>(engineNames.size()) + 1);
}

TEST(DeviceChoice, DecksAndHeadphonesShareAnOpenDeviceWithoutCuttingIt) {
  WindowTestEnv env;
  auto w = env.Open();
  env.inits.clear();
  // Deck 2 to deck 1's device: stored, players follow, nothing opened.
  ASSERT_TRUE(w->SelectListEntry(2, 0));
  EXPECT_EQ(env.Get("Devices", "Device2"), "0");
  EXPECT_EQ(w->State().Player(djvp::kDeck2, 0)->device(), 1);
  EXPECT_TRUE(env.inits.empty());
  // Headphones on deck 1's device: only stored and set.
  ASSERT_TRUE(w->SelectListEntry(3, 1));
  EXPECT_EQ(env.Get("Devices", "Device3"), "1");
  EXPECT_EQ(w->State().Player(djvp::kDeck1, 1)->PreDevice(), 1);
  EXPECT_TRUE(env.inits.empty());
  // Deck 1 to another device: that one opens, device 1 stays open for deck
  // 2 and the headphones.
  ASSERT_TRUE(w->SelectListEntry(1, 1));
  EXPECT_EQ(env.inits, (std::vector<std::pair<int, uint32_t>>{{2, 0}}));
  EXPECT_TRUE(env.frees.empty());
  EXPECT_EQ(w->State().Player(djvp::kDeck1, 0)->device(), 2);
  EXPECT_EQ(w->State().Player(djvp::kDeck2, 1)->device(), 1);
  // Deck 2 follows to device 2: device 1 still serves the headphones.
  ASSERT_TRUE(w->SelectListEntry(2, 1));
  EXPECT_TRUE(env.frees.empty());
  // Headphones to "None": device 1 is used by nobody and is closed.
  ASSERT_TRUE(w->SelectListEntry(3, 0));
  EXPECT_EQ(env.frees, std::vector<int>{1});
  EXPECT_TRUE(env.messages.empty());
}

TEST(DeviceChoice, HeadphonesNoneHidesTheGroupAndEndsPreListening) {
  WindowTestEnv env;
  env.Set("Devices", "Device3", "2");
  auto w = env.Open();
  const std::vector<QWidget*> group = {w->view.SCLabel1[139], w->view.VolumeHP1, w->view.VolumeHP2, w->view.Command1,
                                       w->view.SCLabel1[151], w->view.cmbSettings[6], w->view.Frame5[2]};
  for (QWidget* c : group) EXPECT_FALSE(c->isHidden());
  w->State().Command1.click();
  ASSERT_TRUE(w->State().PreListenOn);
  EXPECT_EQ(w->view.SCLabel1[151]->text(), "ON");
  ASSERT_TRUE(w->SelectListEntry(3, 0));
  for (QWidget* c : group) EXPECT_TRUE(c->isHidden());
  for (djvp::clsBassPlayer* p : {w->State().Player(djvp::kDeck1, 0), w->State().Player(djvp::kDeck1, 1), w->State().Player(djvp::kDeck2, 0), w->State().Player(djvp::kDeck2, 1)})
    EXPECT_EQ(p->PreDevice(), 0);
  EXPECT_EQ(env.Get("Devices", "Device3"), "0");
  EXPECT_FALSE(w->State().PreListenOn);
  EXPECT_EQ(w->view.SCLabel1[151]->text(), "OFF");
}

TEST(DeviceChoice, FailedOpeningIsReportedAndTheChoiceKept) {
  WindowTestEnv env;
  auto w = env.Open();
  env.failing = {2, 3};
  ASSERT_TRUE(w->SelectListEntry(1, 1));
  ASSERT_TRUE(w->SelectListEntry(2, 2));
  ASSERT_TRUE(w->SelectListEntry(3, 2));  // device 2, which deck 1 holds but never opened
  EXPECT_EQ(env.messages, (std::vector<QString>{"Can't initialize the device for Player 1",
                                                "Can't initialize the device for Player 2",
                                                "Can't initialize the device for  the Headphone"}));
  EXPECT_EQ(env.Get("Devices", "Device1"), "1");
  EXPECT_EQ(w->State().Player(djvp::kDeck1, 0)->device(), 2);
  EXPECT_EQ(w->State().Player(djvp::kDeck2, 0)->device(), 3);
  EXPECT_EQ(w->State().Player(djvp::kDeck1, 0)->PreDevice(), 2);
}

// A stored device that the list no longer has: the decks fall back to the
// first device, the headphones to "None", each with a message.
TEST(DeviceChoice, StoredDeviceThatIsGoneFallsBack) {
  WindowTestEnv env;
  env.Set("Devices", "Device1", "5");
  env.Set("Devices", "Device3", "9");
  auto w = env.Open();
  ASSERT_EQ(env.messages.size(), 2u);
  EXPECT_TRUE(env.messages[0].contains("Player 1"));
  EXPECT_TRUE(env.messages[1].contains("Headphone"));
  EXPECT_EQ(w->view.cmbSettings[1]->currentIndex(), 0);
  EXPECT_EQ(w->view.cmbSettings[3]->currentIndex(), 0);
  EXPECT_EQ(env.Get("Devices", "Device1"), "0");
  EXPECT_EQ(w->State().Player(djvp::kDeck1, 0)->device(), 1);
  EXPECT_EQ(w->State().Player(djvp::kDeck1, 0)->PreDevice(), 0);
  EXPECT_TRUE(w->view.Command1->isHidden());
}

// The lists start with the system's default output, which a first start
// uses. Settings stored when the lists ran in the sound system's own order
// (a number without a name) keep their device; a stored name finds its
// device wherever the list has it now; every choice stores both.
TEST(DeviceChoice, StoredDevicesKeepTheirDeviceWhenTheDefaultOutputComesFirst) {
  // Now: default, Card A, Card B. In the system's own order the default
  // was third: Card A was 1, Card B 2, default 3.
  const std::vector<std::string> names = {"default", "Card A", "Card B"};
  const std::vector<int> systemOrder = {2, 3, 1};
  struct Case {
    const char* name;
    std::vector<std::pair<QString, QString>> stored;  // key in "Devices", value
    int deck1, deck2, headphones;                     // list entries chosen
    int messages;
  };
  const std::vector<Case> cases = {
      {"a first start", {}, 0, 0, 0, 0},
      {"numbers of the system's order",
       {{"Device1", "0"}, {"Device2", "2"}, {"Device3", "2"}}, 1, 0, 3, 0},
      {"names stored beside the numbers", {{"Device1", "1"}, {"Name1", "Card B"}, {"Device2", "0"}, {"Name2", "default"},
        {"Device3", "3"}, {"Name3", "Card A"}}, 2, 0, 2, 0},
      {"a named device that is gone", {{"Device1", "1"}, {"Name1", "USB"}, {"Device3", "1"}, {"Name3", "USB"}},
       0, 0, 0, 2},
      {"a number of the system's order past the list", {{"Device2", "7"}}, 0, 0, 0, 1},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    WindowTestEnv env;
    djvp::DeviceNamesOverride() = names;
    djvp::SystemOrderOverride() = systemOrder;
    for (const auto& [key, value] : k.stored) env.Set("Devices", key, value);
    auto w = env.Open();
    EXPECT_EQ(w->view.cmbSettings[1]->itemText(0), "default");
    EXPECT_EQ(w->view.cmbSettings[1]->currentIndex(), k.deck1);
    EXPECT_EQ(w->view.cmbSettings[2]->currentIndex(), k.deck2);
    EXPECT_EQ(w->view.cmbSettings[3]->currentIndex(), k.headphones);
    EXPECT_EQ(static_cast<int>(env.messages.size()), k.messages);
    EXPECT_EQ(w->State().Player(djvp::kDeck1, 0)->device(), k.deck1 + 1);
    EXPECT_EQ(w->State().Player(djvp::kDeck2, 1)->device(), k.deck2 + 1);
    EXPECT_EQ(w->State().Player(djvp::kDeck1, 1)->PreDevice(), k.headphones);
    // What is stored now means the same devices at the next start.
    EXPECT_EQ(env.Get("Devices", "Device1"), QString::number(k.deck1));
    EXPECT_EQ(env.Get("Devices", "Name1"), QString::fromStdString(names[static_cast<size_t>(k.deck1)]));
    EXPECT_EQ(env.Get("Devices", "Name2"), QString::fromStdString(names[static_cast<size_t>(k.deck2)]));
    if (k.headphones > 0) {
      EXPECT_EQ(env.Get("Devices", "Name3"), QString::fromStdString(names[static_cast<size_t>(k.headphones - 1)]));
    }
    w.reset();
    env.messages.clear();
    auto again = env.Open();
    EXPECT_EQ(again->view.cmbSettings[1]->currentIndex(), k.deck1);
    EXPECT_EQ(again->view.cmbSettings[2]->currentIndex(), k.deck2);
    EXPECT_EQ(again->view.cmbSettings[3]->currentIndex(), k.headphones);
    EXPECT_TRUE(env.messages.empty());
  }
}

TEST(DeviceChoice, StoredMinusOneSelectsNothingButGivesDeviceOne) {
  WindowTestEnv env;
  env.Set("Devices", "Device1", "-1");
  auto w = env.Open();
  EXPECT_EQ(w->view.cmbSettings[1]->currentIndex(), -1);
  EXPECT_EQ(w->State().Player(djvp::kDeck1, 0)->device(), 1);
  EXPECT_TRUE(env.messages.empty());
  EXPECT_EQ(env.inits.size(), 1u);
}

TEST(SpeakerChoice, LayoutsShowTheirButtonsAndTwoSpeakersResetTheCode) {
  WindowTestEnv env;
  env.Set("Speakers", "Speaker2", "3");
  env.Set("Speakerchoice", "Speaker2", "3");
  auto w = env.Open();
  ASSERT_EQ(w->State().Player(djvp::kDeck2, 0)->Speaker(), 3);
  // Deck 2's buttons run 7, 6, 5, 4 from front to rear/centre.
  struct Case {
    int entry;
    std::vector<int> shown;
  };
  for (const Case& c : {Case{1, {7, 6}}, Case{2, {7, 6, 5}}, Case{3, {7, 6, 5, 4}}, Case{0, {}}}) {
    ASSERT_TRUE(w->SelectListEntry(5, c.entry));
    for (int b : {7, 6, 5, 4}) {
      const bool shown = std::find(c.shown.begin(), c.shown.end(), b) != c.shown.end();
      EXPECT_EQ(w->view.Option2[b]->isVisibleTo(w.get()), shown) << c.entry << " " << b;
    }
    EXPECT_EQ(env.Get("Speakerchoice", "Speaker2"), QString::number(c.entry));
    // Only "2 speakers" touches the code.
    EXPECT_EQ(w->State().Player(djvp::kDeck2, 1)->Speaker(), c.entry == 0 ? 0 : 3);
  }
  EXPECT_EQ(env.Get("Speakers", "Speaker2"), "0");
  EXPECT_FALSE(w->SelectListEntry(5, 4));
}

TEST(Shutdown, FreesEveryListedDeviceAndStoresNothing) {
  WindowTestEnv env;
  auto w = env.Open();
  env.frees.clear();
  const QString before = env.Get("Mixer", "MixTime");
  w->Form_QueryUnload();
  EXPECT_EQ(env.frees, (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(env.Get("Mixer", "MixTime"), before);
  EXPECT_TRUE(w->view.cmdPlayer[7]->toolTip().isEmpty());
}
