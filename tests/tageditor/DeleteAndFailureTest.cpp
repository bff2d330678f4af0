// "Delete this Tag" answered Yes and No, and every writing button on a file
// that cannot be written: the user is told why, the editor stays open, the
// file stays whole and the library row and index keep their texts.
//
// The tests run as root, for whom a file's mode does not stop a write. The
// file is made unwritable in ways that hold for root too: the song replaced
// by a folder, the song gone, a limit of 0 bytes on the size of files the
// process writes (RLIMIT_FSIZE: every write of a file fails with EFBIG, as
// on a full disk) and, where the file system and the test's privileges
// allow, the immutable attribute (chattr +i).
#include "TagEditorTestEnv.h"

#include "resources/StringIds.h"
#include "sonavex/Dispids.h"
#include "ui/Text.h"

#include <QDir>

#include <csignal>
#include <sys/resource.h>

using tageditor::TagEditorState;

namespace {

// The whole leading ID3v2 tag's size from its header.
size_t Id3v2Size(const std::vector<unsigned char>& b) {
  const size_t body = (size_t(b[6]) << 21) | (size_t(b[7]) << 14) | (size_t(b[8]) << 7) | size_t(b[9]);
  return 10 + body + ((b[5] & 0x10) ? 10 : 0);
}

// No file of the process may grow beyond 0 bytes while it lives.
class NoRoomToWrite {
 public:
  NoRoomToWrite() {
    getrlimit(RLIMIT_FSIZE, &old_);
    oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
    rlimit none = old_;
    none.rlim_cur = 0;
    setrlimit(RLIMIT_FSIZE, &none);
  }
  ~NoRoomToWrite() {
    setrlimit(RLIMIT_FSIZE, &old_);
    std::signal(SIGXFSZ, oldHandler_);
  }
  NoRoomToWrite(const NoRoomToWrite&) = delete;
  NoRoomToWrite& operator=(const NoRoomToWrite&) = delete;

 private:
  rlimit old_{};
  void (*oldHandler_)(int) = nullptr;
};

// How a song becomes unwritable while the editor shows it.
enum class Way { Folder, Gone, NoRoom, Immutable };
const char* Name(Way w) {
  switch (w) {
    case Way::Folder: return "replaced by a folder";
    case Way::Gone: return "gone";
    case Way::NoRoom: return "no room to write";
    case Way::Immutable: return "immutable";
  }
  return "";
}

// What the user should read as the reason.
QString Reason(Way w) {
  switch (w) {
    case Way::Gone: return QStringLiteral("No such file or directory");
    case Way::NoRoom: return QStringLiteral("File too large");
    case Way::Immutable: return QStringLiteral("Operation not permitted");
    case Way::Folder: return QStringLiteral("Is a directory");
  }
  return {};
}

bool CanMakeImmutable(const std::string& dir) {
  const std::string probe = dir + "/probe";
  TempDir::Write(probe, std::string("x"));
  int status = 0;
  RunCommand("chattr +i '" + probe + "' 2>/dev/null", &status);
  const bool ok = status == 0;
  if (ok) RunCommand("chattr -i '" + probe + "'");
  fs::remove(probe);
  return ok;
}

}  // namespace

class TagEditorFailure : public TagEditorTest {
 protected:
  // Makes the song unwritable (and undoes it at Restore).
  void Break(Way w, const QString& path) {
    way_ = w;
    path_ = path.toStdString();
    switch (w) {
      case Way::Folder:
        fs::remove(path_);
        fs::create_directory(path_);
        break;
      case Way::Gone: fs::remove(path_); break;
      case Way::NoRoom: noRoom_ = std::make_unique<NoRoomToWrite>(); break;
      case Way::Immutable: RunCommand("chattr +i '" + path_ + "'"); break;
    }
  }
  void Restore() {
    noRoom_.reset();
    if (way_ == Way::Immutable) RunCommand("chattr -i '" + path_ + "'");
  }
  void TearDown() override {
    Restore();
    TagEditorTest::TearDown();
  }

  std::vector<Way> Ways() const {
    std::vector<Way> ways{Way::Folder, Way::Gone, Way::NoRoom};
    if (CanMakeImmutable(work.path().string())) ways.push_back(Way::Immutable);
    return ways;
  }

  // The one message: the text of `what`, the file and the reason.
  void ExpectTold(int what, const QString& path, Way w) {
    ASSERT_EQ(env.messages.size(), 1u);
    const QString& told = env.messages[0];
    EXPECT_TRUE(told.startsWith(djvp::ui::T(what) + QLatin1Char('\n') + path + QStringLiteral(": "))) << told.toStdString();
    const QString reason = told.mid(djvp::ui::T(what).size() + 1 + path.size() + 2);
    EXPECT_FALSE(reason.isEmpty());
    if (!Reason(w).isEmpty()) {
      EXPECT_EQ(reason, Reason(w));
    }
  }

 private:
  Way way_ = Way::Gone;
  std::string path_;
  std::unique_ptr<NoRoomToWrite> noRoom_;
};

TEST_F(TagEditorTest, DeleteThisTagAnsweredYesRemovesTheId3v2TagAndNoKeepsIt) {
  std::vector<std::pair<QString, djvp::MsgButtons>> asked;
  djvp::MsgResult answer = djvp::MsgResult::No;
  djvp::SetMsgBoxHook([&](const QString& text, djvp::MsgButtons buttons) {
    asked.emplace_back(text, buttons);
    return answer;
  });
  const QString path = Song("v23.mp3");
  const auto bytes = Bytes(path);
  const int32_t row = AddLibraryRow(path);
  const QStringList cells = Row(row);

  ASSERT_TRUE(OpenEditor([&](TagEditorState& ed) {
    ed.SSCommand[tageditor::kDeleteTag].click();
    EXPECT_TRUE(closed);
  }));
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0].first, djvp::ui::T(djvp::kStrDeleteTagQuestion) + " \n" + path);
  EXPECT_EQ(asked[0].second, djvp::MsgButtons::YesNo);
  EXPECT_EQ(Bytes(path), bytes);

  answer = djvp::MsgResult::Yes;
  const std::string audio = AudioMd5(path);
  const QJsonObject before = Mutagen(path);
  ASSERT_TRUE(OpenEditor([&](TagEditorState& ed) {
    ed.SSCommand[tageditor::kDeleteTag].click();
    EXPECT_TRUE(closed);
  }));
  const auto now = Bytes(path);
  const size_t tag = Id3v2Size(bytes);
  ASSERT_EQ(now.size(), bytes.size() - tag);
  EXPECT_TRUE(std::equal(now.begin(), now.end(), bytes.begin() + static_cast<std::ptrdiff_t>(tag)));
  EXPECT_EQ(Mutagen(path)["v1"], before["v1"]);
  EXPECT_EQ(AudioMd5(path), audio);
  // The row keeps what it showed.
  EXPECT_EQ(Row(row), cells);
}

TEST_F(TagEditorTest, DeleteThisTagOnASongWithoutAnId3v2TagSaysSoAndTheEditorStays) {
  djvp::LangOffset = 1000;
  std::vector<QString> asked;
  djvp::SetMsgBoxHook([&](const QString& text, djvp::MsgButtons buttons) {
    asked.push_back(text);
    return buttons == djvp::MsgButtons::YesNo ? djvp::MsgResult::Yes : djvp::MsgResult::Ok;
  });
  for (const char* kind : {"v1.mp3", "flac.flac"}) {
    SCOPED_TRACE(kind);
    asked.clear();
    const QString path = Song(kind);
    const auto bytes = Bytes(path);
    ASSERT_TRUE(Edit(path, [&](TagEditorState& ed) {
      ed.SSCommand[tageditor::kDeleteTag].click();
      EXPECT_FALSE(closed);
    }));
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[0], "Ben je zeker om de ID3v2-Tags te verwijderen van \n" + path);
    EXPECT_EQ(asked[1], "De ID3v2-tag kon niet verwijderd worden; het bestand bleef zoals het was:\n" + path +
                            ": Tag doesn't exist!");
    EXPECT_EQ(Bytes(path), bytes);
  }
}

TEST_F(TagEditorFailure, ASaveThatCannotWriteTellsWhyAndLeavesFileRowAndIndex) {
  for (const Way w : Ways()) {
    for (const char* kind : {"v23.mp3", "v1.mp3", "flac.flac", "ogg.ogg", "wma.wma"}) {
      SCOPED_TRACE(std::string(kind) + ", " + Name(w));
      env.messages.clear();
      const QString path = Song(kind, std::string("broken-") + kind);
      const auto bytes = Bytes(path);
      const int32_t row = AddLibraryRow(path);
      const QStringList cells = Row(row);
      ASSERT_TRUE(OpenEditor([&](TagEditorState& ed) {
        for (const tageditor::FieldRow& r : tageditor::FieldRows())
          if (r.column == djvp::ui::kArtist && ed.Frame1[static_cast<size_t>(r.page)].isVisible())
            ed.Box(r).setText(QStringLiteral("Not Written"));
        Break(w, path);
        ed.SSCommand[tageditor::kSaveTag].click();
        Restore();
        EXPECT_FALSE(closed);
      }));
      ExpectTold(djvp::kStrTagsNotSaved, path, w);
      EXPECT_EQ(Row(row), cells);
      EXPECT_FALSE(QFile::exists(library::IndexPath()));
      if (w == Way::NoRoom || w == Way::Immutable) {
        EXPECT_EQ(Bytes(path), bytes);
      }
      if (w == Way::Folder) fs::remove(path.toStdString());
    }
  }
}

TEST_F(TagEditorFailure, ListButtonsAndDeleteThisTagThatCannotWriteTellWhy) {
  djvp::SetMsgBoxHook([&](const QString& text, djvp::MsgButtons buttons) {
    env.messages.push_back(text);
    return buttons == djvp::MsgButtons::YesNo ? djvp::MsgResult::Yes : djvp::MsgResult::Ok;
  });
  struct Op {
    int button;
    int told;
    size_t messages;  // with the question of "Delete this Tag"
  };
  for (const Way w : Ways()) {
    for (const Op op : {Op{tageditor::kSaveComment, djvp::kStrTagsNotSaved, 1},
                        Op{tageditor::kDeleteLyric, djvp::kStrTagsNotSaved, 1},
                        Op{tageditor::kDeleteTag, djvp::kStrTagNotRemoved, 2}}) {
      SCOPED_TRACE(std::to_string(op.button) + ", " + Name(w));
      env.messages.clear();
      const QString path = Song("v23.mp3", "broken.mp3");
      const auto bytes = Bytes(path);
      ASSERT_TRUE(Edit(path, [&](TagEditorState& ed) {
        // A comment saved as it was read needs no write: this one changes.
        if (op.button == tageditor::kSaveComment) ed.txtCommentComments.setText(QStringLiteral("changed"));
        Break(w, path);
        ed.SSCommand[static_cast<size_t>(op.button)].click();
        Restore();
        EXPECT_FALSE(closed);
      }));
      ASSERT_EQ(env.messages.size(), op.messages);
      if (op.messages == 2) env.messages.erase(env.messages.begin());
      ExpectTold(op.told, path, w);
      if (w == Way::NoRoom || w == Way::Immutable) {
        EXPECT_EQ(Bytes(path), bytes);
      }
      if (w == Way::Folder) fs::remove(path.toStdString());
    }
  }
}

// The editor keeps its own file and tag while the rest of the program
// analyses other songs on the shared control (a deck start reads its song's
// stored settings while the editor is open): each writing button and the
// full save still write the editor's file, and only what the user changed.
TEST_F(TagEditorTest, ASongThatBecameAnotherKindWhileOpenIsNotWrittenAndTheUserIsTold) {
  // Another program replaces the file while the editor shows it: an ID3v2
  // song becomes one with only an ID3v1 tag, a FLAC song becomes an Ogg one.
  const struct {
    const char* opened;
    const char* becomes;
  } cases[] = {{"v23.mp3", "v1.mp3"}, {"flac.flac", "ogg.ogg"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.opened);
    env.messages.clear();
    const QString path = Song(c.opened, std::string("changing-") + c.opened);
    const QString other = Song(c.becomes, std::string("other-") + c.becomes);
    const int32_t row = AddLibraryRow(path);
    const QStringList cells = Row(row);
    std::vector<unsigned char> replaced;
    ASSERT_TRUE(OpenEditor([&](TagEditorState& ed) {
      for (const tageditor::FieldRow& r : tageditor::FieldRows())
        if (r.column == djvp::ui::kArtist && ed.Frame1[static_cast<size_t>(r.page)].isVisible())
          ed.Box(r).setText(QStringLiteral("Not Written"));
      fs::copy_file(other.toStdString(), path.toStdString(), fs::copy_options::overwrite_existing);
      replaced = Bytes(path);
      ed.SSCommand[tageditor::kSaveTag].click();
      EXPECT_FALSE(closed) << "the editor stays open";
    }));
    ASSERT_EQ(env.messages.size(), 1u);
    EXPECT_EQ(env.messages[0], djvp::ui::T(djvp::kStrTagsNotSaved) + QLatin1Char('\n') + path + QStringLiteral(": ") +
                                   djvp::ui::T(djvp::kStrTagFileChanged));
    EXPECT_EQ(Bytes(path), replaced) << "the new file is not written";
    EXPECT_EQ(Row(row), cells);
  }
}

TEST_F(TagEditorTest, OtherSongsAnalysedMeanwhileDoNotReachTheEditorsFile) {
  const QString others[] = {Song("flac.flac", "other.flac"), Song("wma.wma", "other.wma"),
                            Song("v24.mp3", "other.mp3"), Song("ogg.ogg", "other.ogg")};
  auto analyseOthers = [&] {
    for (const QString& other : others)
      form->Sonavex1.Call(SX_AUDIOAnalyzeFile, {automation::Variant::Str(other.toStdU16String())});
  };
  for (const char* kind : {"v23.mp3", "flac.flac", "ogg.ogg", "wma.wma", "v1.mp3"}) {
    SCOPED_TRACE(kind);
    const QString path = Song(kind);
    const QJsonObject before = Mutagen(path);
    const std::string audio = AudioMd5(path);
    env.messages.clear();
    ASSERT_TRUE(Edit(path, [&](TagEditorState& ed) {
      if (ed.ShowsID3V2) {
        analyseOthers();
        ed.cboCommentsID.choose(2);
        ed.txtCommentComments.setText(QStringLiteral("while decks play"));
        ed.SSCommand[tageditor::kSaveComment].click();
      }
      analyseOthers();
      for (const tageditor::FieldRow& r : tageditor::FieldRows())
        if (r.column == djvp::ui::kTitle && ed.Frame1[static_cast<size_t>(r.page)].isVisible())
          ed.Box(r).setText(QStringLiteral("Edited Meanwhile"));
      ed.SSCommand[tageditor::kSaveTag].click();
      EXPECT_TRUE(closed);
    }));
    EXPECT_TRUE(env.messages.empty());
    const QJsonObject after = Mutagen(path);
    EXPECT_EQ(AudioMd5(path), audio);
    if (std::string(kind) == "v23.mp3") {
      EXPECT_EQ(Field(after, "TIT2"), "Edited Meanwhile");
      EXPECT_EQ(Without(after, {"TIT2", "COMM"}), Without(before, {"TIT2", "COMM"}));
      EXPECT_EQ(after["lists"].toObject()["COMM"].toArray().size(), 3);
    } else if (std::string(kind) == "wma.wma") {
      EXPECT_EQ(Field(after, "Title"), "Edited Meanwhile");
    } else if (std::string(kind) == "v1.mp3") {
      EXPECT_EQ(Field(after, "TIT2"), "Edited Meanwhile");
    } else {
      EXPECT_EQ(Field(after, "TITLE"), "Edited Meanwhile");
      EXPECT_EQ(Without(after, {"TITLE"}), Without(before, {"TITLE"}));
    }
  }
}
