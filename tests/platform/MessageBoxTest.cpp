// The program's message box as the user sees it: a short text in a box wide
// enough for its whole title, the button pressed as the answer, and the
// titled hook answering in its place.
#include "platform/MessageBox.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFontMetrics>
#include <QMessageBox>
#include <QTimer>

#include <gtest/gtest.h>

using namespace djvp;

TEST(MessageBox, AShortTextStillGivesRoomForTheWholeTitle) {
  struct Case {
    QString text, title;
    MsgButtons buttons;
    QMessageBox::StandardButton press;
    MsgResult result;
  } cases[] = {
      {"No mixer found", ProgramTitle(), MsgButtons::Ok, QMessageBox::Ok, MsgResult::Ok},
      {"Overwrite?", "A much longer title than the text of the box", MsgButtons::YesNo, QMessageBox::No, MsgResult::No},
  };
  for (const Case& c : cases) {
    int width = 0;
    QString shownTitle;
    QTimer::singleShot(0, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      ASSERT_NE(box, nullptr);
      width = box->width();
      shownTitle = box->windowTitle();
      box->button(c.press)->click();
    });
    EXPECT_EQ(MsgBox(c.text, c.buttons, c.title), c.result);
    EXPECT_EQ(shownTitle, c.title);
    EXPECT_GE(width, MsgBoxWidthForTitle(c.title)) << c.title.toStdString();
    EXPECT_GT(MsgBoxWidthForTitle(c.title), QFontMetrics(QApplication::font()).horizontalAdvance(c.title));
  }

  // The titled hook answers before the plain one.
  QString seen;
  auto plain = SetMsgBoxHook([](const QString&, MsgButtons) { return MsgResult::Cancel; });
  auto titled = SetTitledMsgBoxHook([&](const QString&, MsgButtons, const QString& title) {
    seen = title;
    return MsgResult::Yes;
  });
  EXPECT_EQ(MsgBox("Question", MsgButtons::YesNo, "djVORLAN"), MsgResult::Yes);
  EXPECT_EQ(seen, "djVORLAN");
  SetTitledMsgBoxHook(std::move(titled));
  EXPECT_EQ(MsgBox("Question", MsgButtons::YesNo), MsgResult::Cancel);
  SetMsgBoxHook(std::move(plain));
}
