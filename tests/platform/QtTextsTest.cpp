// Qt's own texts (the standard buttons of the program's message boxes and of
// button boxes, the file dialog) follow the interface language.
#include "platform/MessageBox.h"
#include "platform/QtTexts.h"
#include "StringTable.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialogButtonBox>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

using namespace djvp;

namespace {

// The button texts of the program's message box with Yes, No and Cancel.
QStringList MessageBoxButtons() {
  QStringList texts;
  QTimer::singleShot(0, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box) return;
    for (auto b : {QMessageBox::Yes, QMessageBox::No, QMessageBox::Cancel}) texts << box->button(b)->text();
    box->button(QMessageBox::Cancel)->click();
  });
  MsgBox(QStringLiteral("Question"), MsgButtons::YesNoCancel);
  return texts;
}

QStringList ButtonBoxTexts() {
  QDialogButtonBox box(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Close);
  return {box.button(QDialogButtonBox::Ok)->text(), box.button(QDialogButtonBox::Cancel)->text(),
          box.button(QDialogButtonBox::Close)->text()};
}

}  // namespace

TEST(QtTexts, DutchInterfaceGivesDutchButtonsAndDialogsAndEnglishGivesThemBack) {
  struct Case {
    int32_t offset;
    QStringList messageBox, buttonBox;
    QString lookIn;  // the file dialog's folder line
  } const cases[] = {
      {1000, {"&Ja", "&Nee", "Annuleren"}, {"OK", "Annuleren", "Sluiten"}, "Zoeken in:"},
      // Chosen twice: one switch back is enough.
      {1000, {"&Ja", "&Nee", "Annuleren"}, {"OK", "Annuleren", "Sluiten"}, "Zoeken in:"},
      {0, {"&Yes", "&No", "Cancel"}, {"OK", "Cancel", "Close"}, "Look in:"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.offset);
    LangOffset = c.offset;
    ASSERT_TRUE(FollowInterfaceLanguage()) << "Qt's translations are missing (qt6-translations-l10n)";
    EXPECT_EQ(MessageBoxButtons(), c.messageBox);
    EXPECT_EQ(ButtonBoxTexts(), c.buttonBox);
    EXPECT_EQ(QCoreApplication::translate("QFileDialog", "Look in:"), c.lookIn);
  }
  LangOffset = 0;
}
