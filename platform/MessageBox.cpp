#include "platform/MessageBox.h"

#include <QApplication>
#include <QFontMetrics>
#include <QGridLayout>
#include <QMessageBox>
#include <QSpacerItem>

#include <utility>

namespace djvp {

namespace {
MsgBoxHook& Hook() {
  static MsgBoxHook hook;
  return hook;
}
TitledMsgBoxHook& TitledHook() {
  static TitledMsgBoxHook hook;
  return hook;
}
// Room a title bar takes beside its text: the window's icon and its close,
// maximise and minimise buttons with their margins.
constexpr int kTitleBarButtons = 150;
}  // namespace

QString ProgramTitle() { return QStringLiteral("dj VORLAN Pellix"); }

MsgBoxHook SetMsgBoxHook(MsgBoxHook hook) { return std::exchange(Hook(), std::move(hook)); }
TitledMsgBoxHook SetTitledMsgBoxHook(TitledMsgBoxHook hook) { return std::exchange(TitledHook(), std::move(hook)); }

int MsgBoxWidthForTitle(const QString& title) {
  // Window managers draw titles in a bold face, often larger than the
  // window's own text.
  QFont font = QApplication::font();
  font.setBold(true);
  if (font.pointSizeF() > 0) font.setPointSizeF(font.pointSizeF() * 1.25);
  return QFontMetrics(font).horizontalAdvance(title) + kTitleBarButtons;
}

void KeepTitleWhole(QMessageBox& box) {
  // An empty item across the box's grid keeps it wide enough.
  if (auto* grid = qobject_cast<QGridLayout*>(box.layout())) {
    grid->addItem(new QSpacerItem(MsgBoxWidthForTitle(box.windowTitle()), 0, QSizePolicy::Minimum,
                                  QSizePolicy::Minimum),
                  grid->rowCount(), 0, 1, grid->columnCount());
  }
}

MsgResult MsgBox(const QString& text, MsgButtons buttons) { return MsgBox(text, buttons, ProgramTitle()); }

MsgResult MsgBox(const QString& text, MsgButtons buttons, const QString& title) {
  if (TitledHook()) return TitledHook()(text, buttons, title);
  if (Hook()) return Hook()(text, buttons);
  QMessageBox::StandardButtons b = QMessageBox::Ok;
  switch (buttons) {
    case MsgButtons::Ok: b = QMessageBox::Ok; break;
    case MsgButtons::OkCancel: b = QMessageBox::Ok | QMessageBox::Cancel; break;
    case MsgButtons::YesNo: b = QMessageBox::Yes | QMessageBox::No; break;
    case MsgButtons::YesNoCancel: b = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel; break;
  }
  QMessageBox box(QMessageBox::NoIcon, title, text, b, QApplication::activeWindow());
  KeepTitleWhole(box);
  switch (box.exec()) {
    case QMessageBox::Cancel: return MsgResult::Cancel;
    case QMessageBox::Yes: return MsgResult::Yes;
    case QMessageBox::No: return MsgResult::No;
    default: return MsgResult::Ok;
  }
}

}  // namespace djvp
