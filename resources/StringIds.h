// Names for the string-table entries that the program's code asks for by
// number (the English id; the lookup adds the language offset). One table:
// every entry here exists in strings.tsv, which a test checks.
#pragma once

#include <cstdint>

namespace djvp {

enum StringId : int32_t {
  kStrOpenPlaylist = 11,          // "Open a Playlist"
  kStrGain = 27,                  // "Gain"
  kStrManualMixing = 36,          // "Manual Mixing"
  kStrBpm = 37,                   // "BPM"
  kStrTabSearch = 48,             // "Search For Songs"
  kStrTabMixer = 59,              // "Mixer Settings"
  kStrTabEffects = 61,            // "Sound Effects"
  kStrTabSettings = 69,           // "Settings"
  kStrCantPlayStream = 212,       // "Can't play stream"
  kStrCantPlayPrestream = 213,    // "Can't play prestream"
  kStrCantCreateHeadphoneStream = 214,
  kStrCantResampleHeadphoneStream = 215,
  kStrCantCreateStream = 216,     // "Can't create stream"
  kStrCantResampleStream = 217,   // "Couldn't create a resampled stream"
  kStrNoMixer = 218,              // "No mixer found"
  kStrCantInitHeadphoneDevice = 236,
  kStrOnlyForMp3 = 239,           // "This feature is currently only available for MP3 files"
  kStrPleaseGiveName = 240,       // "Please give a name"
  kStrOverwritePreset = 241,      // "This preset already exists. Do you want to overwrite?"
  kStrCantInitPlayerDevice = 244,
  kStrCantInitHeadphoneDevice2 = 245,
  kStrNoTagInformation = 246,     // "This file does not accept Tag information, it will be skipped"
  kStrArtist = 264,
  kStrAlbum = 265,
  kStrYear = 268,
  kStrGenre = 269,
  kStrSemitones = 276,
  kStrImporting = 277,
  kStrBitrate = 278,
  kStrFreq = 279,                 // "Freq."
  kStrHigh = 280,                 // 280..282: the tone spinners' High, Mid, Low
  kStrMid = 281,
  kStrLow = 282,
  kStrTitle = 322,
  kStrSelectPreset = 394,         // the preset panel's prompts: load
  kStrNameThisPreset = 395,       // and save
  kStrOff = 537,
  kStrTime = 543,
  kStrFilename = 544,
  kStrStartMixPoint = 545,
  kStrEndMixPoint = 546,
  kStrScanningDrive = 550,        // "First scanning the Drive/Folder"
  kStrChooseMusicFolder = 551,    // "Choose Folder or Drives to get the Music Files"
  kStrOn = 552,
  kStrTempoZero = 553,            // "Tempo = 0%"
  kStrNone = 554,                 // the headphone list's "None"
  kStrTwoSpeakers = 555,          // 555..558: 2, 4, 5.1 and 7.1 speakers
  kStrSevenOneSpeakers = 558,
  kStrSeconds = 559,
  kStrTempoIs = 560,              // 560..562: "Tempo =", "Samplerate =", "Pitch Scaling ="
  kStrSampleRateIs = 561,
  kStrPitchIs = 562,
  kStrCurrentTime = 563,          // "Current Time :"
  kStrTimeElapsed = 564,          // "Time Elapsed :"
  kStrFirstScanning = 565,        // "First Scanning the Folder"
  kStrChooseImportFolder = 566,
  kStrPressF1 = 570,
  // Texts of this program beyond the original table.
  kStrCannotAddFile = 601,        // a chosen file that no playlist takes
  kStrSettingsNotStored = 602,    // the settings store cannot be written
  kStrNoHelpPages = 603,          // the help pages are missing
  kStrIndexUnreadable = 620,      // the index could not be read; kept as ...
  kStrIndexNotSaved = 621,        // the index could not be saved; the old one stays
  kStrAnalysisBusy = 622,         // the library's rows are refused while songs are analysed
  kStrFilesNotRemoved = 623,      // files that could not be removed keep their rows
  kStrMusicFolderMissing = 624,   // "Create" with a music folder that does not exist
  kStrTagsNotWritten = 625,       // analysed songs whose files could not take the value
  kStrNotMeasured = 626,          // analysed songs that gave no value
  kStrNoRoomInId3v1Comment = 627, // why a value did not go into an ID3v1 comment
  kStrPresetsNotSaved = 630,      // "The equaliser presets could not be saved:"
  kStrPresetFileUnreadable = 631, // "The preset file could not be read:"
  kStrPresetNameOneLine = 632,    // "A preset name must be one line of text."
  kStrPresetFileSetAside = 633,   // a preset file that is none was set aside and made anew; kept as ...
  kStrSettingsUnreadable = 670,   // the settings file could not be taken as it was
  kStrSettingsKeptAs = 671,       // ... the whole file was kept as
  kStrAndMoreFiles = 672,         // "... and %1 more" below a list of files
  // The tag editor.
  kStrCancel = 203,
  kStrDeleteTagQuestion = 224,    // "Do you really want to delete the ID3v2-Tags from"
  kStrDeleteTagTitle = 225,       // "Delete ID3-Tag"
  kStrTagsNotSaved = 640,         // a save failed; the file stays as it was
  kStrTagFileChanged = 641,       // the file is no longer the kind the editor opened
  kStrTagNotRemoved = 642,        // "Delete this Tag" failed
  kStrFieldsNotStored = 643,      // fields the file's tag cannot hold
  kStrLanguageThreeLetters = 644, // a list item's language is not three letters
  kStrItemNumber = 645,           // a list item's number is missing or out of range
  kStrItemNotChanged = 646,       // the tag library did not make a list change
  kStrNotANumber = 647,           // a genre number box that holds no whole number
  // Why a song could not be played (after its file name), and the notice of
  // the songs the automatic mix passed over.
  kStrNotRegularFile = 680,       // a folder, a FIFO or a device named like a song
  kStrEmptyFile = 681,
  kStrNotSound = 682,             // no decoder reads it
  kStrImpossibleRate = 683,       // followed by the rate in Hz
  kStrImpossibleChannels = 684,   // followed by the count
  kStrImpossibleLength = 685,
  kStrSoundNotPrepared = 686,     // the tempo stage refused it
  kStrSongsSkipped = 687,         // "These songs could not be played and were skipped:"
  kStrDeviceNotReady = 688,
};

}  // namespace djvp
