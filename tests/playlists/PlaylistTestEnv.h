// The window state in a clean test world (see StateTestEnv) with the tag
// library beside the program, so that track rows are read from real files,
// plus helpers to answer the file and folder dialogs and to build trees.
#pragma once

#include "StateTestEnv.h"
#include "platform/BrowseForFolder.h"
#include "platform/CommonDialog.h"
#include "platform/Grid.h"
#include "playlists/TrackRow.h"

#include <QCoreApplication>
#include <QFile>
#include <QStringList>

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <ostream>
#include <string>

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
inline void PrintTo(const QStringList& l, std::ostream* os) { *os << '{' << l.join(QStringLiteral(", ")).toStdString() << '}'; }
QT_END_NAMESPACE

inline QString Fixture(const char* name) {
  return QStringLiteral(DJVP_TEST_FIXTURES "/playlists/") + QLatin1String(name);
}

class PlaylistTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const QString library = QCoreApplication::applicationDirPath() + QStringLiteral("/libSonavex2.so");
    ASSERT_TRUE(QFile::exists(library)) << "build the Sonavex2 target first: " << library.toStdString();
    form = env.Open(true);
    ASSERT_TRUE(form->Sonavex1) << "the tag library control was not created";
  }
  void TearDown() override {
    djvp::clsCommonDialog::SetDialogHook({});
    djvp::clsBrowseForFolder::SetDialogHook({});
    form.reset();
  }

  djvp::Grid& Deck(int d) { return *form->PlayListView[static_cast<size_t>(d)]; }

  // The next file dialog answers with this path (nullopt: cancel); the
  // request it saw is kept.
  void AnswerFileDialog(std::optional<QString> path) {
    AnswerFileDialogWith(path ? QStringList{*path} : QStringList{});
  }
  // The next file dialog answers with these files (none: cancel).
  void AnswerFileDialogWith(const QStringList& files) {
    djvp::clsCommonDialog::SetDialogHook([this, files](const djvp::FileDialogRequest& r) {
      lastFileRequest = r;
      if (files.isEmpty()) return std::optional<djvp::FileDialogAnswer>();
      djvp::FileDialogAnswer a;
      a.files = files;
      return std::optional<djvp::FileDialogAnswer>(a);
    });
  }
  void AnswerFolderDialog(std::optional<QString> path) {
    djvp::clsBrowseForFolder::SetDialogHook(
        [this, path](const djvp::FolderDialogRequest& r, djvp::FolderDialogDriver&) {
          lastFolderTitle = r.title;
          return path;
        });
  }

  // The cells of a row as text, columns 1..13 joined by "|".
  QString RowText(int d, int32_t row) {
    QStringList cells;
    for (int32_t c = 1; c <= playlists::kTrackColumnCount; ++c) cells << Deck(d).TextAt(row, c);
    return cells.join(QLatin1Char('|'));
  }
  // The file names (without folder) of a grid's rows, in order.
  QStringList Names(djvp::Grid& g) {
    QStringList names;
    for (int32_t r = 1; r <= g.RowCount(); ++r)
      names << QString::fromStdString(
          std::filesystem::path(g.TextAt(r, playlists::kFilename).toStdString()).filename().string());
    return names;
  }

  static void Copy(const char* fixture, const std::filesystem::path& to) {
    std::filesystem::create_directories(to.parent_path());
    std::filesystem::copy_file(Fixture(fixture).toStdString(), to,
                               std::filesystem::copy_options::overwrite_existing);
  }

  // Presses button cmdPlayer(index), as the user does.
  void Press(int index) { form->cmdPlayer[static_cast<size_t>(index)].click(); }

  StateTestEnv env;
  std::unique_ptr<djvp::MainState> form;
  TempDir work;
  djvp::FileDialogRequest lastFileRequest;
  QString lastFolderTitle;
};
