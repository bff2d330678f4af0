// The "Sound Effects" page in the window: what the user sets there is
// stored at once and is back after a restart, and the preset panel opens on
// the presets the program comes with.
#include "WindowTestEnv.h"

#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSlider>

#include <gtest/gtest.h>

#include <vector>

TEST(EffectsWindow, EchoAndItsSlidersAreBackAfterARestart) {
  WindowTestEnv env;
  {
    auto w = env.Open();
    ASSERT_FALSE(w->view.Effects[7]->isChecked());
    w->view.Effects[7]->click();  // deck 1's Echo
    w->view.sldEffects[10]->setValue(65);
    w->view.sldEffects[11]->setValue(22050);
    w->view.Effects[10]->click();  // deck 2's Echo
    w->view.sldEffects[24]->setValue(12);
    EXPECT_EQ(env.Get("Player1", "Echo"), "1");
    EXPECT_EQ(env.Get("Player1", "EchoLevel"), "65");
    EXPECT_EQ(env.Get("Player1", "EchoDelay"), "22050");
    w->view.Effects[10]->click();  // and off again
    EXPECT_EQ(env.Get("Player2", "Echo"), "0");
  }
  auto w = env.Open();
  EXPECT_TRUE(w->view.Effects[7]->isChecked());
  EXPECT_EQ(w->view.sldEffects[10]->value(), 65);
  EXPECT_EQ(w->view.sldEffects[11]->value(), 22050);
  EXPECT_FALSE(w->view.Effects[10]->isChecked());
  EXPECT_EQ(w->view.sldEffects[24]->value(), 12);
  // Switching the stored Echo on at start stored nothing else over them.
  EXPECT_EQ(env.Get("Player1", "EchoLevel"), "65");
  EXPECT_EQ(env.Get("Player1", "EchoDelay"), "22050");
}

TEST(EffectsWindow, ThePresetPanelOffersTheProgramsPresets) {
  WindowTestEnv env;
  auto w = env.Open();
  w->view.cmdEffects[3]->click();  // deck 2's Load
  ASSERT_FALSE(w->view.pctEQ[1]->isHidden());
  QListWidget* names = w->view.cmbSelect[1];
  ASSERT_GE(names->count(), 5);
  EXPECT_EQ(names->item(0)->text(), "Flat");
  EXPECT_EQ(names->item(1)->text(), "Bass Boost");
  // A double click on a name loads it.
  emit names->itemDoubleClicked(names->item(1));
  EXPECT_TRUE(w->view.pctEQ[1]->isHidden());
  EXPECT_EQ(w->view.Eq[10]->value(), 1);
  EXPECT_EQ(w->view.Eq[19]->value(), 5);
  EXPECT_EQ(env.Get("Eq2", "0"), "1");
}

// Page Up and Page Down (or a click beside the handle) move the tempo, rate,
// pitch, effect parameter and band sliders by five; deck 1's big echo wet
// mix and delay and its flanger sliders by one, deck 2's by five. The arrow
// keys move every one of them by one.
TEST(EffectsWindow, SlidersPageByTheirLargeChange) {
  WindowTestEnv env;
  auto w = env.Open();
  struct Case {
    QSlider* slider;
    int page;
  };
  std::vector<Case> cases;
  for (int i = 0; i < 28; ++i) {
    const bool fine = i == 8 || i == 9 || i == 12 || i == 13;
    cases.push_back({w->view.sldEffects[static_cast<size_t>(i)], fine ? 1 : 5});
  }
  for (QSlider* band : w->view.Eq) cases.push_back({band, 5});
  for (size_t n = 0; n < cases.size(); ++n) {
    QSlider* s = cases[n].slider;
    SCOPED_TRACE(n);
    s->setValue(s->minimum());
    const int start = s->value();
    s->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(s->value(), start + cases[n].page);
    s->triggerAction(QAbstractSlider::SliderSingleStepSub);
    EXPECT_EQ(s->value(), start + cases[n].page - 1);
  }
}
