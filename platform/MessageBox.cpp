#include "platform/MessageBox.h"

#include <QApplication>
#include <QMessageBox>

#include <utility>

namespace djvp {

namespace {
MsgBoxHook& Hook() {
  static MsgBoxHook hook;
  return hook;
}
}  // namespace

QString ProgramTitle() { return QStringLiteral("dj VORLAN Pellix"); }

MsgBoxHook SetMsgBoxHook(MsgBoxHook hook) { return std::exchange(Hook(), std::move(hook)); }

MsgResult MsgBox(const QString& text, MsgButtons buttons) { return MsgBox(text, buttons, ProgramTitle()); }

MsgResult MsgBox(const QString& text, MsgButtons buttons, const QString& title) {
  if (Hook()) return Hook()(text, buttons);
  QMessageBox::StandardButtons b = QMessageBox::Ok;
  switch (buttons) {
    case MsgButtons::Ok: b = QMessageBox::Ok; break;
    case MsgButtons::OkCancel: b = QMessageBox::Ok | QMessageBox::Cancel; break;
    case MsgButtons::YesNo: b = QMessageBox::Yes | QMessageBox::No; break;
    case MsgButtons::YesNoCancel: b = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel; break;
  }
  QMessageBox box(QMessageBox::NoIcon, title, text, b, QApplication::activeWindow());
  switch (box.exec()) {
    case QMessageBox::Cancel: return MsgResult::Cancel;
    case QMessageBox::Yes: return MsgResult::Yes;
    case QMessageBox::No: return MsgResult::No;
    default: return MsgResult::Ok;
  }
}

}  // namespace djvp
