// Every key of the program's settings store in one table, and the two calls
// that read and write them under the program's application name "DJVP".
// Section and key names compare without regard to letter case in the store.
#pragma once

#include "ui/DeckId.h"

#include <QString>

#include <array>

namespace djvp::keys {

struct Key {
  const char* section;
  const char* name;
};

// Mixer page and automix.
inline constexpr Key kMixTime{"Mixer", "MixTime"};
inline constexpr Key kPreview{"Mixer", "Preview"};
inline constexpr Key kMixLeftU{"Mixer", "MixLeftU"};
inline constexpr Key kMixLeftD{"Mixer", "MixLeftD"};
inline constexpr Key kMixRightU{"Mixer", "MixRightU"};
inline constexpr Key kMixRightD{"Mixer", "MixRightD"};
// The automix switches in the order of their check boxes Check1(0..3).
inline constexpr std::array<Key, 4> kAutomixSwitches = {
    {{"Settings", "Automix"}, {"Settings", "AutoGain"}, {"Settings", "AutoBPM"}, {"Settings", "MixPoints"}}};
// The automation sliders AutomationSlider(0) and (1).
inline constexpr std::array<Key, 2> kAutomationSliders = {{{"Settings", "BPMPercent"}, {"Settings", "GainPercent"}}};
inline constexpr Key kMusicFolder{"Settings", "Directory"};
// The folder of the playlist saved last, stored before the save writes: a
// start finishes there what a save killed midway left (the program's other
// own files lie in folders the start visits anyway).
inline constexpr Key kPlaylistFolder{"Settings", "PlaylistFolder"};

// Settings page.
inline constexpr Key kLanguage{"Language", "Current"};
inline constexpr Key kSkinName{"Skin", "Name"};
inline constexpr Key kSkinFile{"Skin", "File"};
// Device1..3 (list entries), Name1..3 (the names of the devices chosen),
// Speaker1..3 (n from 1): built with Numbered.
inline constexpr const char* kDevicesSection = "Devices";
inline constexpr const char* kSpeakersSection = "Speakers";
inline constexpr const char* kSpeakerChoiceSection = "Speakerchoice";

// Per deck: the effect section "Player1"/"Player2" and the equaliser
// section "Eq1"/"Eq2".
const char* PlayerSection(DeckId deck);
const char* EqSection(DeckId deck);
// The keys of a deck's effect switches by deck 1's box number 0..8.
inline constexpr std::array<const char*, 9> kEffectSwitches = {"Equalizer", "Pitch", "Reverb",  "LowPass", "Echo3",
                                                                "Rotate",    "Swap",  "Echo",    "Flanger"};
// The keys of a deck's sliders 0..13 (tempo, sample rate, pitch, then the
// effect parameters).
inline constexpr std::array<const char*, 14> kEffectSliders = {
    "PitchTempo", "PitchSample", "PitchScaling", "ReverbLevel", "ReverbDelay", "LowPassCut",   "LowPassResonance",
    "Echo3DryMix", "Echo3WetMix", "Echo3Delay",  "EchoLevel",   "EchoDelay",   "FlangerSpeed", "FlangerWetDry"};
inline constexpr const char* kGain = "Gain";
// The tone spinners High, Mid and Bass in the "Eq" sections.
inline constexpr std::array<const char*, 3> kTones = {"High", "Mid", "Bass"};
// The name of the equaliser preset each deck (by DeckId::Index()) loaded last. It is
// stored under an application name of its own, where nothing reads it.
inline constexpr const char* kLoadedPresetApplication = "KTR";
inline constexpr std::array<Key, 2> kLoadedPresets = {{{"EQ", "Preset1"}, {"EQ", "Preset2"}}};

// The stored value, or defaultValue when there is none.
QString Get(const QString& section, const QString& key, const QString& defaultValue = {});
QString Get(const Key& key, const QString& defaultValue = {});
// Stores the value at once.
void Save(const QString& section, const QString& key, const QString& value);
void Save(const Key& key, const QString& value);

}  // namespace djvp::keys
