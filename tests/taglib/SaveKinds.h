// Every kind of save of the tag library, on a small fixture each: the
// table that the tests of killed, concurrent and refused saves run through.
#pragma once

#include "MpegTestSupport.h"
#include "SafeWrite.h"

#include <functional>
#include <ostream>
#include <string>

namespace savekinds {

using namespace sonavex;
using Bytes = std::vector<unsigned char>;

inline std::string FixturePath(const std::string& area, const std::string& name) {
  return std::string(DJVP_TEST_FIXTURES) + "/" + area + "/" + name;
}

struct SaveKind {
  const char* name;
  const char* area;     // fixture folder
  const char* fixture;  // fixture file
  const char* as;       // name of the copy (its extension chooses the reader)
  int16_t format;       // what an analysis must find in the old and the new file
  bool inPlace;         // the save changes the file in place
  // Prepares the copy further (an earlier save), may be empty.
  std::function<void(const std::string&)> prepare;
  // The save, on a control that analysed the file.
  std::function<bool(CSonavexCtrl&, const std::u16string&)> save;
};

// Failures name the kind of save.
inline void PrintTo(const SaveKind& kind, std::ostream* os) { *os << kind.name; }

inline bool AnalyseAndSave(const SaveKind& kind, const std::string& path) {
  CSonavexCtrl c;
  c.AUDIOAnalyzeFile(mpegtest::W(path));
  return kind.save(c, mpegtest::W(path));
}

// An MP3 whose ID3v2 tag is padded to one page (an earlier save made it).
inline void GiveId3v2Tag(const std::string& path) {
  CSonavexCtrl c;
  c.AUDIOAnalyzeFile(mpegtest::W(path));
  c.SetID3V2Title(u"Old title");
  ASSERT_TRUE(c.ID3V2SaveChangesToFile(mpegtest::W(path)));
}

inline const SaveKind kKinds[] = {
    {"FlacCommentInPlace", "flac", "padded.flac", "song.flac", kFormatFLAC, true, nullptr,
     [](CSonavexCtrl& c, const std::u16string& p) {
       c.SetFLACTitle(u"Saved title");
       return c.FLACSaveChangesToFile(p);
     }},
    {"FlacRewrite", "flac", "nopad.flac", "song.flac", kFormatFLAC, false, nullptr,
     [](CSonavexCtrl& c, const std::u16string& p) {
       c.SetFLACDescription(std::u16string(3000, u'd'));
       return c.FLACSaveChangesToFile(p);
     }},
    {"OggRewrite", "ogg", "long.ogg", "song.ogg", kFormatOGG, false, nullptr,
     [](CSonavexCtrl& c, const std::u16string& p) {
       c.SetOGGTitle(u"Saved title");
       return c.OGGSaveChangesToFile(p);
     }},
    {"Id3v2InPlace", "mpeg", "cbr128_stereo_noinfo.mp3", "song.mp3", kFormatMPEG, true, GiveId3v2Tag,
     [](CSonavexCtrl& c, const std::u16string& p) {
       c.SetID3V2Title(u"Saved title");
       return c.ID3V2SaveChangesToFile(p);
     }},
    {"Id3v2Rewrite", "mpeg", "cbr128_stereo_noinfo.mp3", "song.mp3", kFormatMPEG, false, nullptr,
     [](CSonavexCtrl& c, const std::u16string& p) {
       c.SetID3V2Title(u"Saved title");
       return c.ID3V2SaveChangesToFile(p);
     }},
    {"Id3v2Removal", "mpeg", "cbr128_stereo_noinfo.mp3", "song.mp3", kFormatMPEG, false, GiveId3v2Tag,
     [](CSonavexCtrl& c, const std::u16string& p) { return c.ID3V2RemoveTagFromFile(p); }},
    {"Id3v1Save", "mpeg", "tag_id3v1.mp3", "song.mp3", kFormatMPEG, true, nullptr,
     [](CSonavexCtrl& c, const std::u16string& p) {
       c.SetID3V1Title(u"Saved");
       return c.ID3V1SaveChangesToFile(p);
     }},
    {"Id3v1Append", "mpeg", "cbr128_stereo_noinfo.mp3", "song.mp3", kFormatMPEG, true, nullptr,
     [](CSonavexCtrl& c, const std::u16string& p) {
       c.SetID3V1Title(u"Saved");
       return c.ID3V1SaveChangesToFile(p);
     }},
    {"Id3v1Removal", "mpeg", "tag_id3v1.mp3", "song.mp3", kFormatMPEG, true, nullptr,
     [](CSonavexCtrl& c, const std::u16string& p) { return c.ID3V1RemoveTagFromFile(p); }},
    {"ApeSave", "mpeg", "tag_ape_lyrics2_id3v1.mp3", "song.mp3", kFormatMPEG, false, nullptr,
     [](CSonavexCtrl& c, const std::u16string& p) {
       c.SetAPETitle(u"Saved title");
       return c.APESaveChangesToFile(p);
     }},
    {"ApeRemoval", "mpeg", "tag_ape_id3v1.mp3", "song.mp3", kFormatMPEG, false, nullptr,
     [](CSonavexCtrl& c, const std::u16string& p) { return c.APERemoveTagFromFile(p); }},
    {"Lyrics3Save", "mpeg", "tag_lyrics2_id3v1.mp3", "song.mp3", kFormatMPEG, false, nullptr,
     [](CSonavexCtrl& c, const std::u16string& p) {
       c.SetLYRICSTitle(u"Saved title");
       return c.LYRICSSaveChangesToFile(p);
     }},
    {"Lyrics3Removal", "mpeg", "tag_lyrics2_id3v1.mp3", "song.mp3", kFormatMPEG, false, nullptr,
     [](CSonavexCtrl& c, const std::u16string& p) { return c.LYRICSRemoveTagFromFile(p); }},
    {"WmaInPlace", "wma", "typed.wma", "song.wma", kFormatWMA, true, nullptr,
     [](CSonavexCtrl& c, const std::u16string& p) {
       c.SetWMATitle(u"Saved");
       return c.WMASaveChangesToFile(p);
     }},
    {"WmaRewrite", "wma", "plain.wma", "song.wma", kFormatWMA, false, nullptr,
     [](CSonavexCtrl& c, const std::u16string& p) {
       c.SetWMAComment(std::u16string(6000, u'c'));
       return c.WMASaveChangesToFile(p);
     }},
    {"MpegHeaderBit", "mpeg", "crc_stereo.mp3", "song.mp3", kFormatMPEG, true, nullptr,
     [](CSonavexCtrl& c, const std::u16string& p) { return c.MPEGModifyCopyrightBit(p, 1); }},
    {"GenericSaveMonkey", "monkey", "new_3990_tagged.ape", "song.ape", kFormatMonkey, false, nullptr,
     [](CSonavexCtrl& c, const std::u16string& p) {
       c.SetAUDIOTitle(u"Saved title");
       return c.AUDIOSaveChangesToFile(p);
     }},
};


// A copy of the kind's fixture at path, prepared as the kind wants it.
inline void MakeSong(const SaveKind& kind, const std::string& path) {
  std::filesystem::copy_file(FixturePath(kind.area, kind.fixture), path);
  if (kind.prepare) kind.prepare(path);
}

}  // namespace savekinds
