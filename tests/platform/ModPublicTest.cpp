#include "TempDir.h"
#include "platform/MessageBox.h"
#include "platform/ModPublic.h"

#include <QImage>
#include <QLabel>

#include <gtest/gtest.h>

using namespace djvp;

TEST(ModPublic, AddBackslashAddsTheSeparatorOnce) {
  EXPECT_EQ(modPublic_AddBackslash("/music"), "/music/");
  EXPECT_EQ(modPublic_AddBackslash("/music/"), "/music/");
  EXPECT_EQ(modPublic_AddBackslash(""), "");
}

TEST(ModPublic, FileExistsFindsFilesOnlyAndSkipsHiddenNames) {
  TempDir dir;
  TempDir::Write(dir.file("song.mp3"), std::string("x"));
  TempDir::Write(dir.file(".hidden.mp3"), std::string("x"));
  std::filesystem::create_directory(dir.path() / "album.cdg");
  const QString base = QString::fromStdString(dir.path().string());
  struct Case {
    QString path;
    bool exists;
  } cases[] = {
      {base + "/song.mp3", true},  {base + "/.hidden.mp3", false}, {base + "/missing.mp3", false},
      {base + "/*.mp3", true},     {base + "/*.ogg", false},       {"", false},
      // Folders are no files: with or without the separator, or by a pattern.
      {base + "/album.cdg", false}, {base + "/album.cdg/", false}, {base + "/*.cdg", false}, {base, false},
  };
  for (const auto& c : cases) EXPECT_EQ(modPublic_FileExists(c.path), c.exists) << c.path.toStdString();
}

TEST(ModPublic, BlendPicturesWithConstantOpacity) {
  QImage background(4, 4, QImage::Format_ARGB32);
  background.fill(QColor(0, 0, 255));
  QImage overlay(4, 4, QImage::Format_ARGB32);
  overlay.fill(QColor(255, 0, 0));
  struct Case {
    int alpha;
    int red, blue;  // expected, within rounding
  } cases[] = {{128, 128, 127}, {300, 255, 0}, {0, 0, 255}};
  for (const auto& c : cases) {
    QImage target(8, 8, QImage::Format_ARGB32);
    target.fill(Qt::black);
    modPublic_BlendPictures(background, overlay, c.alpha, 2, 2, target);
    const QColor px = target.pixelColor(3, 3);
    EXPECT_NEAR(px.red(), c.red, 2) << c.alpha;
    EXPECT_NEAR(px.blue(), c.blue, 2) << c.alpha;
    EXPECT_EQ(target.pixelColor(0, 0), QColor(Qt::black));  // outside the place stays
  }
}

TEST(ModPublic, FitCaptionShrinksOnlyWhatDoesNotFit) {
  QLabel wide;
  wide.resize(2000, 20);
  QFont f = wide.font();
  f.setPointSize(12);
  wide.setFont(f);
  modPublic_FitCaption(wide, 48);
  EXPECT_EQ(wide.text(), "Search For Songs");
  EXPECT_EQ(wide.font().pointSize(), 12);

  QLabel narrow;
  narrow.resize(10, 20);
  narrow.setFont(f);
  modPublic_FitCaption(narrow, 48);
  EXPECT_EQ(narrow.text(), "Search For Songs");
  EXPECT_EQ(narrow.font().pointSize(), 7);  // does not fit even at 7: shown at 7
}

TEST(MessageBoxHook, CapturesInsteadOfShowing) {
  QString seen;
  auto previous = SetMsgBoxHook([&](const QString& text, MsgButtons) {
    seen = text;
    return MsgResult::Yes;
  });
  EXPECT_EQ(MsgBox("Delete?", MsgButtons::YesNo), MsgResult::Yes);
  EXPECT_EQ(seen, "Delete?");
  SetMsgBoxHook(previous);
}
