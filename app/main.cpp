// dj VORLAN Pellix: the start routine and the event loop.
//
//   djvorlanpellix [--screenshot <file.png>]
//
// With --screenshot the program starts as usual, waits until the main window
// has been drawn, saves a picture of it to the file and ends; messages that
// would stop the start (no sound device, no mixer) are printed instead. When
// DJVP_SCREENSHOT_SONGS names two music files (separated by ':'), each goes
// into one deck's playlist and is started with its Play button first, and the
// picture is taken once their titles have scrolled in. When
// DJVP_SCREENSHOT_TAGS names a music file instead, the file goes into the
// library, "Show/Edit the Tags" opens the tag editor on it, and the picture
// is of the editor.
#include "app/ModMain.h"
#include "app/StartEnvironment.h"
#include "app/frmMain.h"
#include "app/frmSplash.h"
#include "app/frmTags.h"
#include "platform/Grid.h"
#include "platform/MessageBox.h"
#include "playlists/TrackRow.h"
#include "ui/Deck.h"
#include "ui/TrackColumns.h"

#include <QApplication>
#include <QFont>
#include <QPalette>
#include <QStyleFactory>
#include <QTimer>

#include <cstdio>

namespace {

void SetDarkLook(QApplication& app) {
  app.setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
  QPalette p;
  p.setColor(QPalette::Window, QColor(30, 32, 36));
  p.setColor(QPalette::WindowText, QColor(220, 224, 228));
  p.setColor(QPalette::Base, QColor(18, 20, 23));
  p.setColor(QPalette::AlternateBase, QColor(26, 28, 32));
  p.setColor(QPalette::Text, QColor(220, 224, 228));
  p.setColor(QPalette::Button, QColor(44, 47, 53));
  p.setColor(QPalette::ButtonText, QColor(225, 228, 232));
  p.setColor(QPalette::Highlight, QColor(255, 120, 40));
  p.setColor(QPalette::HighlightedText, QColor(10, 10, 10));
  p.setColor(QPalette::ToolTipBase, QColor(250, 250, 235));
  p.setColor(QPalette::ToolTipText, QColor(10, 10, 10));
  p.setColor(QPalette::Disabled, QPalette::Text, QColor(110, 110, 110));
  p.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(110, 110, 110));
  app.setPalette(p);
  // The window's base font. Skins leave fonts alone, so that the sizes the
  // window gives its LCD displays and fitted captions hold.
  app.setFont(QFont(QStringLiteral("DejaVu Sans"), 9));
}

}  // namespace

int main(int argc, char** argv) {
  djvp::QuietSoundServers();
  djvp::EnsureRuntimeFolder();
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("djvorlanpellix"));
  SetDarkLook(app);

  QString screenshot;
  const QStringList args = QApplication::arguments();
  const int at = args.indexOf(QStringLiteral("--screenshot"));
  if (at >= 0 && at + 1 < args.size()) screenshot = args.at(at + 1);

  if (!screenshot.isEmpty()) {
    djvp::SetMsgBoxHook([](const QString& text, djvp::MsgButtons) {
      std::fprintf(stderr, "message: %s\n", qPrintable(text));
      return djvp::MsgResult::Ok;
    });
    djvp::frmSplash::AfterShow() = [screenshot](djvp::frmMain& window) {
      const QString tags = qEnvironmentVariable("DJVP_SCREENSHOT_TAGS");
      if (!tags.isEmpty()) {
        djvp::MainState& state = window.State();
        playlists::AddTrackRow(state, tags, *state.DummyPlaylist);
        state.DummyPlaylist->SetCurrentRow(state.DummyPlaylist->RowCount());
        // Once the main window is drawn: the editor, drawn inside its modal
        // showing, then closed.
        QTimer::singleShot(1500, &window, [&state, screenshot] {
          QTimer::singleShot(500, [screenshot] {
            auto* editor = qobject_cast<djvp::frmTags*>(QApplication::activeModalWidget());
            const bool ok = editor && editor->grab().save(screenshot);
            std::fprintf(stderr, "%s %s\n", ok ? "saved" : "could not save", qPrintable(screenshot));
            if (editor) editor->reject();
            QApplication::exit(ok ? 0 : 1);
          });
          state.mnuTag.click();
        });
        return;
      }
      const QStringList songs = qEnvironmentVariable("DJVP_SCREENSHOT_SONGS").split(QLatin1Char(':'), Qt::SkipEmptyParts);
      for (djvp::DeckId id : djvp::kBothDecks) {
        if (static_cast<qsizetype>(id.Index()) >= songs.size()) break;
        const djvp::Deck deck(window.State(), id);
        playlists::AddTrackRow(deck.State(), songs.at(static_cast<qsizetype>(id.Index())), *deck.Playlist());
        deck.Button(djvp::ctl::kPlay).click();
      }
      // Let the window be laid out and drawn (and the songs' titles scroll
      // in), then grab it.
      QTimer::singleShot(songs.isEmpty() ? 1500 : 5200, &window, [&window, screenshot] {
        window.repaint();
        const bool ok = window.grab().save(screenshot);
        std::fprintf(stderr, "%s %s\n", ok ? "saved" : "could not save", qPrintable(screenshot));
        QApplication::exit(ok ? 0 : 1);
      });
    };
  }

  djvp::modPublic_Main();
  return app.exec();
}
