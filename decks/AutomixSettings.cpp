#include "decks/AutomixSettings.h"

#include "decks/MixerCurve.h"
#include "decks/MixerSliders.h"
#include "resources/StringIds.h"
#include "ui/MainState.h"
#include "ui/SettingsKeys.h"
#include "ui/SettingsValue.h"
#include "ui/Text.h"

namespace djvp::mixer {

void MixerTime_ValueChanged(MainState& s) {
  s.MixTime = static_cast<int16_t>(s.MixerTime.value());
  s.lblTime.setText(QString::number(s.MixTime) + QLatin1Char(' ') + ui::T(kStrSeconds));
  keys::Save(keys::kMixTime, QString::number(s.MixTime));
}

void Check1_Click(MainState& s, int index) {
  if (index < 0 || index > 3) return;
  const bool on = s.Check1[static_cast<size_t>(index)].isChecked();
  bool* fields[4] = {&s.AutomixOn, &s.AutoGainOn, &s.AutoBPMOn, &s.UseMixPoints};
  *fields[index] = on;
  if (index == ctl::kAutomix) {
    s.Slider1.setVisible(!on);
    s.SCLabel1[ctl::kLblCrossfader].setVisible(!on);
    // The volumes of playing songs stay as they are; only a deck the timer
    // left silent beside nothing heard takes its slider.
    HearWaitingSongs(s);
  }
  keys::Save(keys::kAutomixSwitches[static_cast<size_t>(index)], on ? QStringLiteral("1") : QStringLiteral("0"));
}

void AutomationSlider_ValueChanged(MainState& s, int index) {
  if (index < 0 || index > 1) return;
  keys::Save(keys::kAutomationSliders[static_cast<size_t>(index)],
             QString::number(s.AutomationSlider[static_cast<size_t>(index)].value()));
}

void LoadMixerSettings(MainState& s) {
  // Crossfade time.
  if (const auto v = SettingToInt16(keys::Get(keys::kMixTime, QStringLiteral("20")))) s.MixTime = *v;
  s.MixerTime.setValue(s.MixTime);
  MixerTime_ValueChanged(s);

  // Automix switches.
  auto readSwitch = [&](int box, const char* defaultValue, bool& field) {
    if (const auto v = SettingToBool(keys::Get(keys::kAutomixSwitches[static_cast<size_t>(box)], QLatin1String(defaultValue))))
      field = *v;
    s.Check1[static_cast<size_t>(box)].setChecked(field);
  };
  readSwitch(ctl::kAutomix, "1", s.AutomixOn);
  s.Slider1.setVisible(!s.AutomixOn);
  s.SCLabel1[ctl::kLblCrossfader].setVisible(!s.AutomixOn);
  readSwitch(ctl::kAutoBPM, "0", s.AutoBPMOn);
  readSwitch(ctl::kAutoGain, "1", s.AutoGainOn);
  readSwitch(ctl::kMixPoints, "0", s.UseMixPoints);

  // Automation sliders.
  for (size_t k = 0; k < 2; ++k)
    if (const auto v = SettingToInt16(keys::Get(keys::kAutomationSliders[k], QStringLiteral("10"))))
      s.AutomationSlider[k].setValue(*v);

  // Crossfade curve: a preset, or the user's own curve (100).
  const auto preview = SettingToDouble(keys::Get(keys::kPreview, QStringLiteral("2")));
  if (preview && *preview != 100.0) {
    if (const auto index = SettingToInt16(QString::number(*preview, 'g', 17))) MixPreview_Click(s, *index);
  } else {
    auto readPoint = [&](const keys::Key& key, const char* defaultValue, int16_t& field) {
      if (const auto v = SettingToInt16(keys::Get(key, QLatin1String(defaultValue)))) field = *v;
    };
    readPoint(keys::kMixLeftD, "100", s.MixLeftD);
    readPoint(keys::kMixRightD, "0", s.MixRightD);
    readPoint(keys::kMixLeftU, "10", s.MixLeftU);
    readPoint(keys::kMixRightU, "90", s.MixRightU);
    DrawCrossfadeCurve(s);
  }
}

}  // namespace djvp::mixer
