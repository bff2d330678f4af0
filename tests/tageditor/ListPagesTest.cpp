// The ID3v2 list pages: saving, deleting and clearing items, which buttons
// write the file at once and which keep the change in the editor's control
// until a writing button or drop it at the full save, and the item number
// typed into a list's edit field.
#include "TagEditorTestEnv.h"

#include "resources/StringIds.h"
#include "ui/Text.h"

using tageditor::TagEditorState;

namespace {

void Click(TagEditorState& ed, int button) { ed.SSCommand[static_cast<size_t>(button)].click(); }

}  // namespace

TEST_F(TagEditorTest, ACommentTypedOnAnEmptyPageIsAddedAndWrittenAndThenShown) {
  const QString path = Song("few.mp3");
  ASSERT_TRUE(Edit(path, [&](TagEditorState& ed) {
    EXPECT_EQ(ed.cboCommentsID.count(), 0);
    EXPECT_EQ(ed.txtCommentComments.text(), "");
    ed.cboCommentsID.setText(QStringLiteral("1"));
    ed.txtCommentsLanguage.setText(QStringLiteral("eng"));
    ed.txtCommentsDescription.setText(QStringLiteral("Описание"));
    ed.txtCommentComments.setText(QStringLiteral("Two\nlines 🎶"));
    Click(ed, tageditor::kSaveComment);
    EXPECT_EQ(MutagenList(Mutagen(path), "COMM"), (std::vector<QStringList>{{"eng", "Описание", "Two\nlines 🎶"}}));
    EXPECT_EQ(ed.cboCommentsID.items(), QStringList{"1"});
    EXPECT_EQ(ed.cboCommentsID.currentIndex(), 0);
    EXPECT_EQ(ed.txtCommentComments.text(), "Two\nlines 🎶");
    EXPECT_FALSE(closed);
  }));
  EXPECT_TRUE(env.messages.empty());
}

TEST_F(TagEditorTest, AChangedSecondCommentIsWrittenAndThePageShowsItemOneAgain) {
  const QString path = Song("v23.mp3");
  const QJsonObject before = Mutagen(path);
  std::vector<QStringList> comments = MutagenList(before, "COMM");
  ASSERT_EQ(comments.size(), 3u);
  ASSERT_TRUE(Edit(path, [&](TagEditorState& ed) {
    ed.cboCommentsID.choose(1);
    ed.txtCommentComments.setText(QStringLiteral("92.5"));
    Click(ed, tageditor::kSaveComment);
    EXPECT_EQ(ed.cboCommentsID.currentIndex(), 0);
    EXPECT_EQ(ed.txtCommentsLanguage.text(), comments[0][0]);
  }));
  comments[1][2] = QStringLiteral("92.5");
  const QJsonObject after = Mutagen(path);
  EXPECT_EQ(MutagenList(after, "COMM"), comments);
  EXPECT_EQ(Without(after, {"COMM"}), Without(before, {"COMM"}));
}

TEST_F(TagEditorTest, AnItemWithoutAThreeLetterLanguageIsRefusedWithAMessageAndTheFieldsStay) {
  const QString path = Song("v23.mp3");
  const auto bytes = Bytes(path);
  for (const char* language : {"en", "engl", "язы"}) {
    SCOPED_TRACE(language);
    env.messages.clear();
    ASSERT_TRUE(Edit(path, [&](TagEditorState& ed) {
      ed.cboCommentsID.setText(QStringLiteral("4"));
      ed.txtCommentsLanguage.setText(QString::fromUtf8(language));
      ed.txtCommentComments.setText(QStringLiteral("new"));
      Click(ed, tageditor::kSaveComment);
      EXPECT_EQ(ed.cboCommentsID.count(), 3);
      EXPECT_EQ(ed.txtCommentComments.text(), "new");
      EXPECT_EQ(ed.cboCommentsID.text(), "4");
    }));
    EXPECT_EQ(env.messages, std::vector<QString>{djvp::ui::T(djvp::kStrLanguageThreeLetters)});
    EXPECT_EQ(Bytes(path), bytes);
  }
}

TEST_F(TagEditorTest, DeletingTheFirstOfThreeCommentsLeavesTwoInTheFileAndTheList) {
  const QString path = Song("v23.mp3");
  std::vector<QStringList> comments = MutagenList(Mutagen(path), "COMM");
  ASSERT_TRUE(Edit(path, [&](TagEditorState& ed) {
    Click(ed, tageditor::kDeleteComment);
    EXPECT_EQ(ed.cboCommentsID.items(), (QStringList{"1", "2"}));
  }));
  comments.erase(comments.begin());
  EXPECT_EQ(MutagenList(Mutagen(path), "COMM"), comments);
}

TEST_F(TagEditorTest, ButtonsThatKeepAChangeInTheEditorWriteNothingUntilAWritingButton) {
  // "Delete all Comments", then Cancel: nothing is written.
  {
    const QString path = Song("v23.mp3");
    const auto bytes = Bytes(path);
    ASSERT_TRUE(Edit(path, [&](TagEditorState& ed) {
      Click(ed, tageditor::kDeleteAllComments);
      EXPECT_EQ(ed.cboCommentsID.count(), 0);
      Click(ed, tageditor::kCancel);
    }));
    EXPECT_EQ(Bytes(path), bytes);
  }
  // A lyric saved on its page, then "Save this Tag": the full save reads the
  // file again, and the lyric is not in it.
  {
    const QString path = Song("v23.mp3", "lyric-then-tag.mp3");
    const auto lyrics = MutagenList(Mutagen(path), "USLT");
    ASSERT_TRUE(Edit(path, [&](TagEditorState& ed) {
      ed.cboIDSong.setText(QStringLiteral("3"));
      ed.txtLanguageSong.setText(QStringLiteral("fra"));
      ed.txtSong.setText(QStringLiteral("Nouvelle chanson"));
      Click(ed, tageditor::kSaveLyric);
      EXPECT_EQ(ed.cboIDSong.count(), 3);
      ed.txtArtist.setText(QStringLiteral("Changed"));
      Click(ed, tageditor::kSaveTag);
    }));
    const QJsonObject after = Mutagen(path);
    EXPECT_EQ(MutagenList(after, "USLT"), lyrics);
    EXPECT_EQ(Field(after, "TPE1"), "Changed");
  }
  // A lyric, a user URL and a user frame saved on their pages, a URL and a
  // frame deleted, then "Delete this Comment": every change is written.
  {
    const QString path = Song("v23.mp3", "all-then-comment.mp3");
    const QJsonObject before = Mutagen(path);
    const auto bytes = Bytes(path);
    ASSERT_TRUE(Edit(path, [&](TagEditorState& ed) {
      ed.cboIDSong.setText(QStringLiteral("3"));
      ed.txtLanguageSong.setText(QStringLiteral("fra"));
      ed.txtDescriptionSong.setText(QStringLiteral("refrain"));
      ed.txtSong.setText(QStringLiteral("Nouvelle chanson"));
      Click(ed, tageditor::kSaveLyric);
      ed.cboIDurl.setText(QStringLiteral("3"));
      ed.txtDescriptionURL.setText(QStringLiteral("Википедия"));
      ed.txtUserURL.setText(QStringLiteral("https://ru.wikipedia.org/wiki/Вальс"));
      Click(ed, tageditor::kSaveUrl);
      Click(ed, tageditor::kDeleteUrl);      // item 1
      Click(ed, tageditor::kDeleteFrame);    // item 1
      EXPECT_EQ(ed.cboIDurl.count(), 2);
      EXPECT_EQ(ed.cboIDFrame.count(), 1);
      EXPECT_EQ(Bytes(path), bytes);  // nothing written yet
      Click(ed, tageditor::kDeleteComment);
    }));
    const QJsonObject after = Mutagen(path);
    auto lyrics = MutagenList(before, "USLT");
    lyrics.push_back({"fra", "refrain", "Nouvelle chanson"});
    EXPECT_EQ(MutagenList(after, "USLT"), lyrics);
    auto urls = MutagenList(before, "WXXX");
    urls.erase(urls.begin());
    urls.push_back({"Википедия", "https://ru.wikipedia.org/wiki/%D0%92%D0%B0%D0%BB%D1%8C%D1%81"});
    EXPECT_EQ(MutagenList(after, "WXXX"), urls);
    auto frames = MutagenList(before, "USER");
    frames.erase(frames.begin());
    EXPECT_EQ(MutagenList(after, "USER"), frames);
    EXPECT_EQ(MutagenList(after, "COMM").size(), 2u);
  }
}

TEST_F(TagEditorTest, DeleteThisLyricWritesAtOnceDeleteThisUrlAndFrameDoNot) {
  const QString path = Song("v23.mp3");
  auto lyrics = MutagenList(Mutagen(path), "USLT");
  ASSERT_TRUE(Edit(path, [&](TagEditorState& ed) {
    Click(ed, tageditor::kDeleteLyric);
    lyrics.erase(lyrics.begin());
    EXPECT_EQ(MutagenList(Mutagen(path), "USLT"), lyrics);
    const auto bytes = Bytes(path);
    Click(ed, tageditor::kDeleteUrl);
    Click(ed, tageditor::kDeleteFrame);
    Click(ed, tageditor::kDeleteAllUrls);
    Click(ed, tageditor::kDeleteAllFrames);
    Click(ed, tageditor::kDeleteAllLyrics);
    EXPECT_EQ(Bytes(path), bytes);
    EXPECT_EQ(ed.cboIDSong.count(), 0);
    EXPECT_EQ(ed.txtSong.text(), "");
  }));
}

TEST_F(TagEditorTest, TheItemNumberIsReadFromTheListsEditField) {
  struct Case {
    const char* typed;
    int count;       // lyrics on the page afterwards
    bool told;       // the number is refused with a message
    int changed;     // the item whose text is now "new" (0: none)
  };
  const Case cases[] = {
      {"2.6", 3, false, 3}, {"2.5", 2, false, 2}, {" 1 and more", 2, false, 1}, {"abc", 2, true, 0},
      {"", 2, true, 0},     {"40000", 2, true, 0}, {"0", 2, true, 0},          {"-1", 2, true, 0},
  };
  const QString path = Song("v23.mp3");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    env.messages.clear();
    ASSERT_TRUE(Edit(path, [&](TagEditorState& ed) {
      ed.cboIDSong.setText(QString::fromUtf8(c.typed));
      ed.txtLanguageSong.setText(QStringLiteral("eng"));
      ed.txtSong.setText(QStringLiteral("new"));
      Click(ed, tageditor::kSaveLyric);
      EXPECT_EQ(ed.cboIDSong.count(), c.count);
      int changed = 0;
      for (int i = 0; i < ed.cboIDSong.count(); ++i) {
        ed.cboIDSong.choose(i);
        if (ed.txtSong.text() == "new") changed = i + 1;
      }
      EXPECT_EQ(changed, c.changed);
    }));
    EXPECT_EQ(env.messages.size(), c.told ? 1u : 0u);
    if (c.told) {
      EXPECT_EQ(env.messages[0], djvp::ui::T(djvp::kStrItemNumber));
    }
  }
}

TEST_F(TagEditorTest, AnItemTheFullTagCannotTakeIsToldAndNothingIsWritten) {
  const QString path = Song("full.mp3");
  const auto bytes = Bytes(path);
  ASSERT_TRUE(Edit(path, [&](TagEditorState& ed) {
    ASSERT_EQ(ed.cboCommentsID.count(), 1);
    ed.cboCommentsID.setText(QStringLiteral("2"));
    ed.txtCommentsLanguage.setText(QStringLiteral("eng"));
    ed.txtCommentComments.setText(QStringLiteral("one too many"));
    Click(ed, tageditor::kSaveComment);
    EXPECT_EQ(ed.cboCommentsID.count(), 1);
  }));
  ASSERT_EQ(env.messages.size(), 1u);
  EXPECT_EQ(env.messages[0], djvp::ui::T(djvp::kStrItemNotChanged) + "\nToo much frames!");
  EXPECT_EQ(Bytes(path), bytes);
}
