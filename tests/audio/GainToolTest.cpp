#include "FakeAnalysisHost.h"
#include "TempDir.h"
#include "audio/CommandOutput.h"
#include "audio/GainTool.h"
#include "audio/Mp3Info.h"
#include "safefile/FileName.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace djvp;

TEST(Mp3Info, FiguresAndMarks) {
  clsMp3Info info;
  EXPECT_EQ(info.RadiodBGain(), clsMp3Info::kNoValue);
  EXPECT_EQ(info.RadioMp3Gain(), 0);
  EXPECT_EQ(info.MaxNoclipMp3Gain(), 0);

  info.RadiodBGain(4.515);
  EXPECT_EQ(info.RadioMp3Gain(), 3);
  info.ModifydBGain(1.0);
  EXPECT_DOUBLE_EQ(info.RadiodBGain(), 5.515);

  struct Amp {
    double amp;
    int32_t steps;
  } amps[] = {{32767, 0}, {16383.5, 4}, {0, 0}, {-5, 0}, {clsMp3Info::kNoValue, 0}, {1000000, 0}};
  for (const auto& a : amps) {
    info.CurrMaxAmp(a.amp);
    EXPECT_EQ(info.MaxNoclipMp3Gain(), a.steps) << a.amp;
  }
}

TEST(Mp3Info, AlterDbShiftsStoredFiguresOnly) {
  clsMp3Info info;
  info.RadiodBGain(2.0);
  info.CurrMaxAmp(1000);
  info.CurrMaxGain(200);
  info.AlterDb(-3.01);
  EXPECT_NEAR(info.RawRadiodBGain(), -1.01, 1e-9);
  EXPECT_NEAR(info.CurrMaxAmp(), 1414.2, 0.1);
  EXPECT_EQ(info.CurrMaxGain(), 202);
  EXPECT_EQ(info.RawAlbumdBGain(), clsMp3Info::kNoValue);  // no value stays no value
  EXPECT_EQ(info.CurrMinGain(), -1);

  clsMp3Info edge;
  edge.CurrMaxGain(32767);
  edge.CurrMinGain(5);
  edge.AlterDb(-3.01);  // 32767 + 2 leaves 16 bits: the shift ends there
  EXPECT_EQ(edge.CurrMaxGain(), 32767);
  EXPECT_EQ(edge.CurrMinGain(), 5);
}

TEST(GainReport, ParsesWhateverTheLineEnds) {
  const QString lf =
      "File\tMP3 gain\tdB gain\tMax Amplitude\tMax global_gain\tMin global_gain\n"
      "/music/a\tb.mp3\t-6\t-3.200000\t15581.955078\t210\t134\n"
      "\"Album\"\t-6\t-8.350000\t15581.955078\t210\t134\n";
  QString crlf = lf;
  crlf.replace("\n", "\r\n");
  for (const QString& report : {lf, crlf}) {
    clsMp3Info info;
    ASSERT_TRUE(ParseGainReport(report, info));
    EXPECT_DOUBLE_EQ(info.RawRadiodBGain(), -3.2);  // the tab in the path shifts nothing
    EXPECT_DOUBLE_EQ(info.CurrMaxAmp(), 15581.955078);
    EXPECT_EQ(info.CurrMaxGain(), 210);
    EXPECT_EQ(info.CurrMinGain(), 134);
  }
  clsMp3Info none;
  EXPECT_FALSE(ParseGainReport("", none));
  EXPECT_FALSE(ParseGainReport("can't open file\n", none));
  EXPECT_EQ(none.RawRadiodBGain(), clsMp3Info::kNoValue);
}

TEST(GainTool, MeasuresRealFilesWithAwkwardNames) {
  FakeAnalysisHost host;
  AnalysisRow = 3;
  AnalysisProgress = 0;
  TempDir dir;
  // Spaces, quotes, a tab and a leading dash: passed as one argument each.
  const std::string awkward = dir.file("-a \"quoted\"\tname's.mp3");
  std::filesystem::copy_file(DJVP_TEST_FIXTURES "/gain/loud.mp3", awkward);
  const std::string quiet = dir.file("quiet.mp3");
  std::filesystem::copy_file(DJVP_TEST_FIXTURES "/gain/quiet.mp3", quiet);

  clsMp3Info loud, soft;
  AnalyzeGain(QString::fromStdString(awkward), loud);
  AnalyzeGain(QString::fromStdString(quiet), soft);
  ASSERT_NE(loud.RawRadiodBGain(), clsMp3Info::kNoValue);
  ASSERT_NE(soft.RawRadiodBGain(), clsMp3Info::kNoValue);
  // The loud song needs less gain than the quiet one, by about 19 dB (0.9 vs 0.1 amplitude).
  EXPECT_NEAR(soft.RawRadiodBGain() - loud.RawRadiodBGain(), 19.1, 1.0);
  EXPECT_GT(loud.CurrMaxAmp(), soft.CurrMaxAmp());
  EXPECT_GT(loud.CurrMaxGain(), 0);
  // The runner showed progress in the song's Gain cell.
  EXPECT_TRUE(host.cells.count({3, kColGain}));
  EXPECT_GT(host.redraws, 0);
}

// A name holding bytes that are not UTF-8 (Latin-1 "café", "naïve") reaches
// the tool as the song itself; the song is left as it was, the tool's
// messages name it as the user knows it, and nothing is left behind.
namespace {
QString NameText(const std::string& bytes) { return QString::fromStdU16String(safefile::NameToText(bytes)); }
}  // namespace

TEST(GainTool, SongsWhoseNamesAreNotUtf8AreMeasured) {
  FakeAnalysisHost host;
  TempDir dir, tmp;
  ScopedEnv tmpdir("TMPDIR", tmp.path().string());
  const std::string loud = dir.file("caf\xE9 na\xEFve.mp3");
  std::filesystem::copy_file(DJVP_TEST_FIXTURES "/gain/loud.mp3", loud);
  const std::string junk = dir.file("\xE9t\xE9.mp3");
  TempDir::Write(junk, std::string(3000, 'x'));
  const QString loudName = NameText(loud);
  ASSERT_NE(loudName.toUtf8().toStdString(), loud) << "the name must not survive as UTF-8";

  clsMp3Info plain, latin1;
  AnalyzeGain(DJVP_TEST_FIXTURES "/gain/loud.mp3", plain);
  AnalyzeGain(loudName, latin1);
  ASSERT_NE(latin1.RawRadiodBGain(), clsMp3Info::kNoValue);
  EXPECT_DOUBLE_EQ(latin1.RawRadiodBGain(), plain.RawRadiodBGain());
  EXPECT_EQ(latin1.CurrMaxGain(), plain.CurrMaxGain());
  EXPECT_EQ(TempDir::Read(loud), TempDir::Read(DJVP_TEST_FIXTURES "/gain/loud.mp3"));

  clsMp3Info none;
  const QString junkName = NameText(junk);
  AnalyzeGain(junkName, none);
  EXPECT_EQ(none.RawRadiodBGain(), clsMp3Info::kNoValue);
  EXPECT_TRUE(host.errors.contains(junkName)) << host.errors.toStdString();
  EXPECT_FALSE(host.errors.contains("song.mp3")) << host.errors.toStdString();
  EXPECT_TRUE(std::filesystem::is_empty(tmp.path()));
  EXPECT_TRUE(std::filesystem::exists(junk));
}

TEST(GainTool, MissingToolOrUnreadableFileGivesNoFigure) {
  FakeAnalysisHost host;
  clsMp3Info info;
  AnalyzeGain("/nonexistent/song.mp3", info);
  EXPECT_EQ(info.RawRadiodBGain(), clsMp3Info::kNoValue);

  QString out;
  CommandOptions opt;
  EXPECT_EQ(basCommandOutput_GetCommandOutput(out, "/nonexistent/tool", {}, opt), 0);
  EXPECT_TRUE(out.isEmpty());
}

TEST(CommandOutput, CollectsLargeOutputAndSeparatesErrors) {
  QString out;
  QString errors;
  CommandOptions opt;
  opt.errorBox = [&](const QString& t) { errors += t; };
  // 5000 bytes of output in one go, then an error line; the tool exits with 3.
  const int code = basCommandOutput_GetCommandOutput(
      out, "/bin/sh", {"-c", "head -c 5000 /dev/zero | tr '\\0' x; echo oops >&2; exit 3"}, opt);
  EXPECT_EQ(code, 3);
  EXPECT_EQ(out, QString(5000, 'x'));
  EXPECT_EQ(errors, "oops\n");

  QString merged;
  CommandOptions both;
  both.captureStdErr = true;
  EXPECT_EQ(basCommandOutput_GetCommandOutput(merged, "/bin/sh", {"-c", "echo é; echo err >&2"}, both), 0);
  EXPECT_TRUE(merged.contains(u'é'));
  EXPECT_TRUE(merged.contains("err"));
}
