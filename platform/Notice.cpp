#include "platform/Notice.h"

#include "platform/MessageBox.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>

#include <utility>

namespace djvp {

namespace {
NoticeHook& Hook() {
  static NoticeHook hook;
  return hook;
}
}  // namespace

NoticeHook SetNoticeHook(NoticeHook hook) { return std::exchange(Hook(), std::move(hook)); }

void Notice(const QString& text) {
  if (Hook()) {
    Hook()(text);
    return;
  }
  static QPointer<QMessageBox> open;
  if (open) {
    open->setText(open->text() + QStringLiteral("\n\n") + text);
    return;
  }
  auto* box = new QMessageBox(QMessageBox::NoIcon, ProgramTitle(), text, QMessageBox::Ok, QApplication::activeWindow());
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->setWindowModality(Qt::NonModal);
  open = box;
  box->show();
}

}  // namespace djvp
