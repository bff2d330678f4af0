// The AUDIO and ID3V2 members through the automation boundary: every member
// of the two families is found under its dispatch number and name, and a
// host's session (analyse, read, change, save, read back) works by number.
#include "Id3v2TestSupport.h"
#include "MemberTable.h"
#include "automation/Host.h"
#include "sonavex/Sonavex.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

using automation::DispatchPtr;
using automation::Variant;
using namespace id3test;

namespace {

struct Entry {
  int dispid;
  const char* name;
};
// The dispatch numbers of the analysis, generic and ID3v2 members.
constexpr Entry kFamilies[] = {
    {80, "ID3V2Album"}, {81, "ID3V2Artist"}, {82, "ID3V2ArtistURL"}, {83, "ID3V2AudiofileURL"}, {84, 
    "ID3V2AudiosourceURL"}, {85, "ID3V2BeatsPerMinute"}, {86, "ID3V2Category"}, {87, "ID3V2CommercialURL"}, {88, 
    "ID3V2Composer"}, {89, "ID3V2Conductor"}, {90, "ID3V2Copyright"}, {91, "ID3V2CopyrightURL"}, {92, 
    "ID3V2Date"}, {93, "ID3V2Encoder"}, {94, "ID3V2EncodingSettings"}, {95, "ID3V2FileOwner"}, {96, 
    "ID3V2FileType"}, {97, "ID3V2Genre"}, {98, "ID3V2InetRadioName"}, {99, "ID3V2InetRadioOwner"}, {100, 
    "ID3V2InitialKey"}, {101, "ID3V2Interpreted"}, {102, "ID3V2ISRC"}, {103, "ID3V2Language"}, {104, 
    "ID3V2Length"}, {105, "ID3V2MediaType"}, {106, "ID3V2Orchestra"}, {107, "ID3V2OriginalAlbum"}, {108, 
    "ID3V2OriginalArtist"}, {109, "ID3V2OriginalFilename"}, {110, "ID3V2OriginalTextwriter"}, {111, 
    "ID3V2PartofSet"}, {112, "ID3V2PaymentURL"}, {113, "ID3V2PlaylistDelay"}, {114, "ID3V2Publisher"}, {115, 
    "ID3V2PublisherURL"}, {116, "ID3V2RadiostationURL"}, {117, "ID3V2RecordingTime"}, {118, "ID3V2Subtitle"}, 
    {119, "ID3V2TextWriter"}, {120, "ID3V2Time"}, {121, "ID3V2Title"}, {122, "ID3V2Track"}, {123, "ID3V2Year"}, 
    {124, "AUDIOTitle"}, {125, "AUDIOArtist"}, {126, "AUDIOAlbum"}, {127, "AUDIOComment"}, {128, "AUDIOGenre"}, 
    {129, "AUDIOTrack"}, {130, "AUDIOYear"}, {175, "AUDIOGetChannels"}, {176, "AUDIOGetDuration"}, {177, 
    "AUDIOGetSampleRate"}, {178, "AUDIOGetBitrate"}, {179, "AUDIOGetChannelMode"}, {180, 
    "AUDIOGetLastErrorNumber"}, {181, "AUDIOGetLastErrorText"}, {182, "AUDIOGetVersion"}, {183, 
    "AUDIOFormatIsValid"}, {184, "AUDIOGetFileSize"}, {241, "ID3V2Exists"}, {242, "ID3V2GetSize"}, {243, 
    "ID3V2GetVersion"}, {244, "ID3V2SetComment"}, {245, "ID3V2GetCommentDescription"}, {246, 
    "ID3V2GetCommentLanguage"}, {247, "ID3V2GetComment"}, {248, "ID3V2GetComments"}, {249, 
    "ID3V2DeleteComments"}, {250, "ID3V2DeleteLyrics"}, {251, "ID3V2DeleteUserFrames"}, {252, 
    "ID3V2DeleteUserTexts"}, {253, "ID3V2DeleteUserURLs"}, {254, "ID3V2SetLyric"}, {255, 
    "ID3V2GetLyricDescription"}, {256, "ID3V2GetLyricLanguage"}, {257, "ID3V2GetLyric"}, {258, "ID3V2GetLyrics"}, 
    {259, "ID3V2SetUserFrame"}, {260, "ID3V2GetUserFrameLanguage"}, {261, "ID3V2GetUserFrame"}, {262, 
    "ID3V2GetUserFrames"}, {263, "ID3V2SetUserText"}, {264, "ID3V2GetUserTextDescription"}, {265, 
    "ID3V2GetUserText"}, {266, "ID3V2GetUserTexts"}, {267, "ID3V2SetUserURL"}, {268, 
    "ID3V2GetUserURLDescription"}, {269, "ID3V2GetUserURL"}, {270, "ID3V2GetUserURLs"}, {271, 
    "ID3V2RemoveTagFromFile"}, {272, "ID3V2SaveChangesToFile"}, {276, "AUDIOAnalyzeFile"}, {277, 
    "AUDIOSaveChangesToFile"}, {280, "ID3V2GetSyncLyric"}, {281, "ID3V2GetSyncLyrics"}, {282, 
    "ID3V2GetSyncLyricDescription"}, {283, "ID3V2GetSyncLyricLanguage"}, {284, "ID3V2GetSyncLyricTimeFormat"}, 
    {285, "ID3V2GetSyncLyricContentType"}, {286, "ID3V2DeleteSyncLyrics"}, {287, "ID3V2SetSyncLyric"}, {288, 
    "ID3V2GetPictures"}, {289, "ID3V2GetPictureDescription"}, {290, "ID3V2GetPictureType"}, {291, 
    "ID3V2GetPicture"}, {292, "ID3V2GetPictureMime"}, {293, "ID3V2DeletePictures"}, {294, "ID3V2DeletePicture"}, 
    {295, "ID3V2SetPicture"}, };

}  // namespace

TEST(Id3v2Dispatch, EveryMemberIsReachableByItsNumber) {
  std::map<int, std::string> table;
  for (int i = 0; i < sonavex::kMemberCount; ++i) table[sonavex::kMembers[i].info.dispid] = sonavex::kMembers[i].info.name;
  EXPECT_EQ(std::size(kFamilies), 111u);
  for (const auto& e : kFamilies) {
    ASSERT_TRUE(table.count(e.dispid)) << e.dispid;
    EXPECT_EQ(table[e.dispid], e.name) << e.dispid;
  }
}

TEST(Id3v2Dispatch, HostSessionByNumber) {
  TempDir dir;
  ScopedEnv reg("AUTOMATION_REGISTRY_FILE", dir.file("registry.ini"));
  ASSERT_EQ(automation::RegisterLibrary(SONAVEX_LIBRARY_PATH), AUTO_S_OK);
  DispatchPtr ctrl;
  ASSERT_EQ(automation::CreateObject(SONAVEX_PROGID, ctrl), AUTO_S_OK);
  for (const auto& e : kFamilies) EXPECT_EQ(ctrl.IdOf(W(e.name)), e.dispid) << e.name;

  const std::string path = CopyFixture(dir, "v23_full.mp3");
  const auto audio = AudioOf(path);
  Variant v = ctrl.Call(SX_AUDIOAnalyzeFile, {Variant::Str(W(path))});
  ASSERT_EQ(v.type(), AUTO_VT_I2);
  EXPECT_EQ(v.i2(), 1);
  EXPECT_EQ(ctrl.Get(SX_ID3V2Title).str(), u"Intro Title");
  EXPECT_EQ(ctrl.Get(SX_AUDIOArtist).str(), u"Artist \u00c4\u00df\u20ac");
  EXPECT_EQ(ctrl.Call(SX_ID3V2Exists).raw().u.boolVal, -1);
  EXPECT_EQ(ctrl.Call(SX_ID3V2GetVersion).str(), u"2.3");
  EXPECT_EQ(ctrl.Call(SX_ID3V2GetComments).i2(), 3);
  EXPECT_EQ(ctrl.Call(SX_ID3V2GetCommentLanguage, {Variant::I2(2)}).str(), u"PEA");
  EXPECT_EQ(ctrl.Call(SX_ID3V2GetSyncLyricTimeFormat, {Variant::I2(1)}).i2(), 2);
  EXPECT_EQ(ctrl.Call(SX_ID3V2GetPictureType, {Variant::I2(1)}).i2(), 3);

  // Changes by number, then a save and a new analysis.
  EXPECT_EQ(ctrl.Put(SX_ID3V2BeatsPerMinute, Variant::Str(u"127")), AUTO_S_OK);
  v = ctrl.Call(SX_ID3V2SetComment, {Variant::I2(4), Variant::Str(u"EMP"), Variant::Str(u""), Variant::Str(u"201.5")});
  EXPECT_EQ(v.type(), AUTO_VT_BOOL);
  EXPECT_TRUE(v.boolean());
  v = ctrl.Call(SX_ID3V2SetSyncLyric, {Variant::I2(1), Variant::Str(u"ENG"), Variant::Str(u""),
                                        Variant::Str(u"[00000100]a\r\n[00000200]b"), Variant::I2(1), Variant::I2(2)});
  EXPECT_TRUE(v.boolean());
  v = ctrl.Call(SX_ID3V2SetPicture, {Variant::Str(W(Fixture("cover.png"))), Variant::Str(u"back"), Variant::I2(2),
                                      Variant::I2(4), Variant::I2(0)});
  EXPECT_TRUE(v.boolean());
  v = ctrl.Call(SX_ID3V2SaveChangesToFile, {Variant::Str(W(path))});
  EXPECT_TRUE(v.boolean());
  EXPECT_EQ(AudioOf(path), audio);

  EXPECT_EQ(ctrl.Call(SX_AUDIOAnalyzeFile, {Variant::Str(W(path))}).i2(), 1);
  EXPECT_EQ(ctrl.Get(SX_ID3V2BeatsPerMinute).str(), u"127");
  EXPECT_EQ(ctrl.Call(SX_ID3V2GetComment, {Variant::I2(4)}).str(), u"201.5");
  EXPECT_EQ(ctrl.Call(SX_ID3V2GetSyncLyric, {Variant::I2(1)}).str(), u"[00000100]a\r\n[00000200]b");
  EXPECT_EQ(ctrl.Call(SX_ID3V2GetPictureMime, {Variant::I2(2)}).str(), u"image/png");
  v = ctrl.Call(SX_ID3V2GetPicture, {Variant::I2(2), Variant::Str(W(dir.file("back.png")))});
  EXPECT_TRUE(v.boolean());
  EXPECT_EQ(TempDir::Read(dir.file("back.png")), TempDir::Read(Fixture("cover.png")));
  const auto m = Mutagen(path);
  EXPECT_NE(std::find(m.begin(), m.end(), "COMM|EMP||201.5"), m.end());
  EXPECT_NE(std::find(m.begin(), m.end(), "TBPM|127"), m.end());

  // Errors show in the last error number, read by number too.
  ctrl.Call(SX_ID3V2GetComment, {Variant::I2(0)});
  EXPECT_EQ(ctrl.Call(SX_AUDIOGetLastErrorNumber).i4(), 208);
  EXPECT_EQ(ctrl.Call(SX_AUDIOGetLastErrorText).str(), u"Id is out of range!");
  v = ctrl.Call(SX_ID3V2RemoveTagFromFile, {Variant::Str(W(path))});
  EXPECT_TRUE(v.boolean());
  EXPECT_EQ(TempDir::Read(path), audio);
  ctrl.reset();
  automation::RegisterLibrary(SONAVEX_LIBRARY_PATH, true);
}
