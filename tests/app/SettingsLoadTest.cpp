// Loading the stored settings at start: defaults on an empty store, every
// stored value reaching its control and being written back, values that are
// no numbers or out of range, and the equaliser and pitch values surviving
// the reset boxes that the load checks first.
#include "WindowTestEnv.h"

#include "app/ModMain.h"
#include "app/frmSplash.h"

#include "platform/Grid.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>

#include <gtest/gtest.h>

using djvp::frmMain;

namespace {

QString Num(int v) { return QString::number(v); }

}  // namespace

TEST(SettingsLoad, EmptyStoreGivesTheDefaultsAndStoresThem) {
  WindowTestEnv env;
  auto w = env.Open();

  EXPECT_TRUE(w->State().AutomixOn);
  EXPECT_TRUE(w->State().AutoGainOn);
  EXPECT_FALSE(w->State().AutoBPMOn);
  EXPECT_FALSE(w->State().UseMixPoints);
  EXPECT_TRUE(w->view.Check1[0]->isChecked());
  EXPECT_TRUE(w->view.Check1[1]->isChecked());
  EXPECT_FALSE(w->view.Check1[2]->isChecked());
  EXPECT_FALSE(w->view.Check1[3]->isChecked());
  EXPECT_TRUE(w->view.Slider1->isHidden());
  EXPECT_TRUE(w->view.SCLabel1[149]->isHidden());
  EXPECT_EQ(w->State().MixTime, 20);
  EXPECT_EQ(w->view.MixerTime->value(), 20);
  EXPECT_EQ(w->view.lblTime->text(), "20 Seconds");
  // Preset 2.
  EXPECT_EQ(w->State().MixLeftU, 10);
  EXPECT_EQ(w->State().MixLeftD, 100);
  EXPECT_EQ(w->State().MixRightU, 90);
  EXPECT_EQ(w->State().MixRightD, 0);
  for (int box = 0; box < 18; ++box)
    EXPECT_EQ(w->view.Effects[box]->isChecked(), box == 0 || box == 1 || box == 16 || box == 17) << box;
  for (int k : {1, 2, 3, 5, 6, 7}) EXPECT_EQ(w->view.UpDown[k]->value(), 10) << k;
  EXPECT_EQ(w->view.UpDown[0]->value(), 26);
  EXPECT_EQ(w->view.UpDown[4]->value(), 26);
  for (int band = 0; band < 20; ++band) EXPECT_EQ(w->view.Eq[band]->value(), 5) << band;
  EXPECT_EQ(w->view.sldEffects[1]->value(), 44100);
  EXPECT_EQ(w->view.sldEffects[15]->value(), 44100);
  // Sliders whose range starts above 0 keep their designed position.
  for (int s : {4, 18, 11, 25}) EXPECT_EQ(w->view.sldEffects[s]->value(), 1200) << s;
  for (int s : {5, 19}) EXPECT_EQ(w->view.sldEffects[s]->value(), 200) << s;
  for (int s : {6, 20}) EXPECT_EQ(w->view.sldEffects[s]->value(), 2) << s;
  EXPECT_EQ(w->view.AutomationSlider[0]->value(), 10);
  EXPECT_EQ(w->view.AutomationSlider[1]->value(), 10);
  EXPECT_FALSE(w->view.txtSettings[0]->text().isEmpty());
  EXPECT_EQ(w->view.txtSettings[0]->toolTip(), w->view.txtSettings[0]->text());
  for (int list : {1, 2, 3, 4, 5, 6}) EXPECT_EQ(w->view.cmbSettings[list]->currentIndex(), 0) << list;
  EXPECT_EQ(w->State().Player(djvp::kDeck1, 0)->device(), 1);
  EXPECT_EQ(w->State().Player(djvp::kDeck2, 1)->device(), 1);
  EXPECT_EQ(w->State().Player(djvp::kDeck1, 1)->PreDevice(), 0);
  EXPECT_EQ(w->State().Player(djvp::kDeck2, 0)->Speaker(), 0);
  // Device 1 opened once, without speaker assignment; no headphone device.
  ASSERT_EQ(env.inits.size(), 1u);
  EXPECT_EQ(env.inits[0], std::make_pair(1, 0u));
  EXPECT_TRUE(env.messages.empty());
  // The handlers stored what they were given.
  EXPECT_EQ(env.Get("Mixer", "MixTime"), "20");
  EXPECT_EQ(env.Get("Mixer", "Preview"), "2");
  EXPECT_EQ(env.Get("Settings", "Automix"), "1");
  EXPECT_EQ(env.Get("Settings", "AutoGain"), "1");
  EXPECT_EQ(env.Get("Settings", "BPMPercent"), "10");
  EXPECT_EQ(env.Get("Eq1", "0"), "5");
  // The Pitch box's reset stores tempo, sample rate and pitch, also with no
  // song playing.
  EXPECT_EQ(env.Get("Player2", "PitchScaling"), "0");
  EXPECT_EQ(env.Get("Player2", "PitchTempo"), "0");
  EXPECT_EQ(env.Get("Player2", "PitchSample"), "44100");
  EXPECT_EQ(env.Get("Devices", "Device1"), "0");
  EXPECT_EQ(env.Get("Devices", "Device3"), "0");
  EXPECT_EQ(env.Get("Speakerchoice", "Speaker2"), "0");
  EXPECT_EQ(env.Get("Speakers", "Speaker3"), "0");
}

// Every stored value (none of them a default) reaches its control and is
// still stored under its key afterwards; the equaliser bands and the tempo,
// sample rate and pitch are not replaced by the reset boxes' values.
TEST(SettingsLoad, FullStoreReachesEveryControlAndStaysStored) {
  WindowTestEnv env;
  struct Case {
    QString section, key, value;
    std::function<int(frmMain&)> shown;
  };
  std::vector<Case> cases = {
      {"Mixer", "MixTime", "35", [](frmMain& w) { return w.view.MixerTime->value(); }},
      {"Settings", "Automix", "0", [](frmMain& w) { return w.view.Check1[0]->isChecked() ? 1 : 0; }},
      {"Settings", "AutoGain", "0", [](frmMain& w) { return w.view.Check1[1]->isChecked() ? 1 : 0; }},
      {"Settings", "AutoBPM", "1", [](frmMain& w) { return w.view.Check1[2]->isChecked() ? 1 : 0; }},
      {"Settings", "MixPoints", "1", [](frmMain& w) { return w.view.Check1[3]->isChecked() ? 1 : 0; }},
      {"Settings", "BPMPercent", "17", [](frmMain& w) { return w.view.AutomationSlider[0]->value(); }},
      {"Settings", "GainPercent", "23", [](frmMain& w) { return w.view.AutomationSlider[1]->value(); }},
      {"Mixer", "Preview", "4", [](frmMain& w) { return w.State().MixRightU; }},
  };
  const char* const switches[7] = {"Echo", "Flanger", "Reverb", "LowPass", "Echo3", "Swap", "Rotate"};
  const int deck1Boxes[7] = {7, 8, 2, 3, 4, 6, 5};
  const int deck2Boxes[7] = {10, 9, 15, 14, 13, 11, 12};
  for (int k = 0; k < 7; ++k) {
    // Deck 1 has every other effect on, deck 2 the others.
    const bool on1 = k % 2 == 0;
    cases.push_back({"Player1", switches[k], on1 ? "1" : "0",
                     [box = deck1Boxes[k]](frmMain& w) { return w.view.Effects[box]->isChecked() ? 1 : 0; }});
    cases.push_back({"Player2", switches[k], on1 ? "0" : "1",
                     [box = deck2Boxes[k]](frmMain& w) { return w.view.Effects[box]->isChecked() ? 1 : 0; }});
  }
  const char* const tones[3] = {"High", "Mid", "Bass"};
  for (int t = 0; t < 3; ++t) {
    cases.push_back({"Eq1", tones[t], Num(3 + t), [t](frmMain& w) { return w.view.UpDown[1 + t]->value(); }});
    cases.push_back({"Eq2", tones[t], Num(15 + t), [t](frmMain& w) { return w.view.UpDown[5 + t]->value(); }});
  }
  cases.push_back({"Player1", "Gain", "40", [](frmMain& w) { return w.view.UpDown[0]->value(); }});
  cases.push_back({"Player2", "Gain", "12", [](frmMain& w) { return w.view.UpDown[4]->value(); }});
  for (int band = 0; band < 10; ++band) {
    cases.push_back({"Eq1", Num(band), Num(band), [band](frmMain& w) { return w.view.Eq[band]->value(); }});
    cases.push_back({"Eq2", Num(band), Num(10 - band), [band](frmMain& w) { return w.view.Eq[10 + band]->value(); }});
  }
  const char* const effectKeys[14] = {"PitchTempo", "PitchSample", "PitchScaling", "ReverbLevel", "ReverbDelay",
                                      "LowPassCut", "LowPassResonance", "Echo3DryMix", "Echo3WetMix", "Echo3Delay",
                                      "EchoLevel", "EchoDelay", "FlangerSpeed", "FlangerWetdry"};
  const int deck1Values[14] = {-12, 48000, 5, 40, 3000, 1500, 7, -50, 120, 300, 60, 8000, 450, 33};
  const int deck2Values[14] = {9, 22050, -7, 70, 25000, 900, 4, 80, -90, 150, 20, 20000, 700, 66};
  for (int k = 0; k < 14; ++k) {
    cases.push_back({"Player1", effectKeys[k], Num(deck1Values[k]), [k](frmMain& w) { return w.view.sldEffects[k]->value(); }});
    cases.push_back({"Player2", effectKeys[k], Num(deck2Values[k]), [k](frmMain& w) { return w.view.sldEffects[14 + k]->value(); }});
  }
  cases.push_back({"Devices", "Device1", "1", [](frmMain& w) { return w.view.cmbSettings[1]->currentIndex(); }});
  cases.push_back({"Devices", "Device2", "0", [](frmMain& w) { return w.view.cmbSettings[2]->currentIndex(); }});
  cases.push_back({"Devices", "Device3", "3", [](frmMain& w) { return w.view.cmbSettings[3]->currentIndex(); }});
  for (int k = 0; k < 3; ++k)
    cases.push_back({"Speakerchoice", QString("Speaker%1").arg(k + 1), Num(k + 1),
                     [k](frmMain& w) { return w.view.cmbSettings[4 + k]->currentIndex(); }});

  for (const Case& c : cases) env.Set(c.section, c.key, c.value);
  auto w = env.Open();
  for (const Case& c : cases) {
    const int expected = c.key == "Preview" ? 90 : c.value.toInt();
    EXPECT_EQ(c.shown(*w), expected) << c.section.toStdString() << "/" << c.key.toStdString();
    EXPECT_EQ(env.Get(c.section, c.key), c.value) << c.section.toStdString() << "/" << c.key.toStdString();
  }
  EXPECT_FALSE(w->State().AutomixOn);
  EXPECT_TRUE(w->view.Slider1->isVisibleTo(w.get()));
  EXPECT_EQ(w->State().Player(djvp::kDeck1, 0)->device(), 2);
  EXPECT_EQ(w->State().Player(djvp::kDeck2, 0)->device(), 1);
  EXPECT_EQ(w->State().Player(djvp::kDeck2, 1)->PreDevice(), 3);
  EXPECT_TRUE(env.messages.empty());
}

// A tempo and a sample rate set while no song plays (the deck's next song
// plays with them) are there again at the next program start: on the
// sliders and in their captions.
TEST(SettingsLoad, TempoAndSampleRateSetOnAnIdleDeckComeBackAtTheNextStart) {
  WindowTestEnv env;
  auto start = [] {
    QPointer<djvp::frmSplash> splash = djvp::modPublic_Main();
    splash->Form_Activate();
    std::unique_ptr<frmMain> w(splash->MainWindow());
    delete splash.data();
    return w;
  };
  {
    auto w = start();
    ASSERT_NE(w, nullptr);
    w->view.sldEffects[0]->setValue(5);       // deck 1's tempo
    w->view.sldEffects[15]->setValue(48000);  // deck 2's sample rate
    EXPECT_FALSE(w->State().AnyPlaying());
  }
  auto w = start();
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w->view.sldEffects[0]->value(), 5);
  EXPECT_EQ(w->view.sldEffects[15]->value(), 48000);
  EXPECT_EQ(w->view.SCLabel1[38]->text(), "Tempo = 5 %");
  EXPECT_EQ(w->view.SCLabel1[63]->text(), "Samplerate = 48000 Hz");
  // The other deck's keep their resting values.
  EXPECT_EQ(w->view.sldEffects[14]->value(), 0);
  EXPECT_EQ(w->view.SCLabel1[62]->text(), "Tempo = 0 %");
  EXPECT_EQ(w->view.sldEffects[1]->value(), 44100);
}

TEST(SettingsLoad, OwnCurveWithMissingPointsAndNoPresetStored) {
  WindowTestEnv env;
  env.Set("Mixer", "Preview", "100");
  auto w = env.Open();
  EXPECT_EQ(w->State().MixLeftD, 100);
  EXPECT_EQ(w->State().MixRightD, 0);
  EXPECT_EQ(w->State().MixLeftU, 10);
  EXPECT_EQ(w->State().MixRightU, 90);
  EXPECT_EQ(env.Get("Mixer", "Preview"), "100");
}

// Text that is no number leaves the control as it was; a value outside the
// control's range is refused and not stored back; halves round to even.
TEST(SettingsLoad, BadAndOutOfRangeValuesAreSkipped) {
  WindowTestEnv env;
  env.Set("Mixer", "MixTime", "soon");
  env.Set("Settings", "Automix", "yes");
  env.Set("Settings", "BPMPercent", "31");
  env.Set("Eq1", "3", "11");
  env.Set("Player1", "ReverbDelay", "0");
  env.Set("Player1", "Gain", "20.5");
  env.Set("Player2", "Gain", "21.5");
  env.Set("Mixer", "Preview", "banana");
  auto w = env.Open();
  EXPECT_EQ(w->State().MixTime, 0);
  EXPECT_EQ(w->view.MixerTime->value(), 0);
  EXPECT_FALSE(w->State().AutomixOn);
  EXPECT_FALSE(w->view.Check1[0]->isChecked());
  EXPECT_EQ(w->view.AutomationSlider[0]->value(), 0);
  EXPECT_EQ(env.Get("Settings", "BPMPercent"), "31");
  EXPECT_EQ(w->view.Eq[3]->value(), 5);
  EXPECT_EQ(env.Get("Eq1", "3"), "5");  // the Equalizer reset stored 5; 11 was refused
  EXPECT_EQ(w->view.sldEffects[4]->value(), 1200);
  EXPECT_EQ(w->view.UpDown[0]->value(), 20);
  EXPECT_EQ(w->view.UpDown[4]->value(), 22);
  // Not a number: the user's curve is read as for 100.
  EXPECT_EQ(w->State().MixLeftD, 100);
  EXPECT_EQ(w->State().MixRightU, 90);
}

TEST(SettingsLoad, SpeakerCodesSelectTheirButtonsAndOpenWithSpeakerAssignment) {
  WindowTestEnv env;
  env.Set("Speakerchoice", "Speaker1", "1");
  env.Set("Speakerchoice", "Speaker2", "1");
  env.Set("Speakers", "Speaker1", "2");
  env.Set("Speakers", "Speaker2", "1");
  env.Set("Speakerchoice", "Speaker3", "1");
  env.Set("Speakers", "Speaker3", "5");
  auto w = env.Open();
  EXPECT_TRUE(w->view.Option2[1]->isChecked());
  EXPECT_TRUE(w->view.Option2[7]->isChecked());
  for (int b : {8, 9, 10, 11}) EXPECT_FALSE(w->view.Option2[b]->isChecked()) << b;
  EXPECT_EQ(w->State().Player(djvp::kDeck1, 1)->Speaker(), 2);
  EXPECT_EQ(w->State().Player(djvp::kDeck2, 0)->Speaker(), 1);
  EXPECT_EQ(w->State().Player(djvp::kDeck1, 0)->PreSpeaker(), 5);
  // Four speakers: front and rear/side buttons of each deck.
  EXPECT_TRUE(w->view.Option2[0]->isVisibleTo(w.get()));
  EXPECT_FALSE(w->view.Option2[2]->isVisibleTo(w.get()));
  ASSERT_FALSE(env.inits.empty());
  EXPECT_EQ(env.inits.back(), std::make_pair(1, uint32_t{2048}));
}

TEST(SettingsLoad, TwoSpeakerLayoutReplacesTheStoredCode) {
  WindowTestEnv env;
  env.Set("Speakerchoice", "Speaker1", "0");
  env.Set("Speakers", "Speaker1", "3");
  auto w = env.Open();
  EXPECT_EQ(w->State().Player(djvp::kDeck1, 0)->Speaker(), 0);
  EXPECT_EQ(env.Get("Speakers", "Speaker1"), "0");
  for (int b : {0, 1, 2, 3}) {
    EXPECT_FALSE(w->view.Option2[b]->isChecked());
    EXPECT_FALSE(w->view.Option2[b]->isVisibleTo(w.get()));
  }
}

// Settings that cannot be stored are told once per run, with the reason.
TEST(SettingsStore, AStoreThatCannotBeWrittenIsToldOnce) {
  WindowTestEnv env;
  auto w = env.Open();
  env.messages.clear();
  TempDir elsewhere;
  TempDir::Write(elsewhere.file("config"), std::string("not a folder"));
  ScopedEnv config("XDG_CONFIG_HOME", elsewhere.file("config"));
  w->State().MixerTime.setValue(33);
  w->State().AutomationSlider[0].setValue(12);
  ASSERT_EQ(env.messages.size(), 1u);
  EXPECT_TRUE(env.messages[0].startsWith("Your settings cannot be stored")) << env.messages[0].toStdString();
  EXPECT_TRUE(env.messages[0].contains("DJVP.ini"));
}
