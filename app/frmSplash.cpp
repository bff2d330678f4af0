#include "app/frmSplash.h"

#include "app/Globals.h"
#include "app/frmMain.h"

#include <QApplication>
#include <QEvent>
#include <QFontMetrics>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPushButton>
#include <QRadialGradient>
#include <QScreen>
#include <QTimer>

namespace djvp {

namespace {

// The start picture: a dark turntable-and-waveform motif with the product
// name.
QPixmap StartPicture(const QSize& size) {
  QPixmap pm(size);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  QLinearGradient bg(0, 0, 0, size.height());
  bg.setColorAt(0, QColor(16, 20, 28));
  bg.setColorAt(1, QColor(4, 6, 10));
  p.fillRect(pm.rect(), bg);
  // A record on the left.
  const QPointF centre(size.width() * 0.28, size.height() * 0.5);
  const double r = size.height() * 0.36;
  QRadialGradient vinyl(centre, r);
  vinyl.setColorAt(0, QColor(40, 40, 48));
  vinyl.setColorAt(1, QColor(10, 10, 14));
  p.setBrush(vinyl);
  p.setPen(Qt::NoPen);
  p.drawEllipse(centre, r, r);
  p.setPen(QPen(QColor(60, 60, 70), 1));
  p.setBrush(Qt::NoBrush);
  for (double g = r * 0.45; g < r; g += r * 0.06) p.drawEllipse(centre, g, g);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(255, 120, 40));
  p.drawEllipse(centre, r * 0.3, r * 0.3);
  p.setBrush(QColor(10, 10, 14));
  p.drawEllipse(centre, r * 0.04, r * 0.04);
  // A waveform on the right.
  p.setPen(QPen(QColor(80, 200, 255), 2));
  const double x0 = size.width() * 0.52, x1 = size.width() * 0.95, y = size.height() * 0.62;
  for (double x = x0; x < x1; x += 4) {
    const double a = (std::sin(x * 0.07) * 0.6 + std::sin(x * 0.023) * 0.4) * size.height() * 0.08;
    p.drawLine(QPointF(x, y - std::abs(a)), QPointF(x, y + std::abs(a)));
  }
  // The product name fits its place whole: the font shrinks until it does.
  const QString name = QStringLiteral("dj VORLAN Pellix");
  QFont title(QStringLiteral("DejaVu Sans"));
  title.setBold(true);
  for (int px = size.height() / 9; px > 8; --px) {
    title.setPixelSize(px);
    if (QFontMetrics(title).horizontalAdvance(name) <= x1 - x0) break;
  }
  p.setFont(title);
  p.setPen(QColor(235, 240, 245));
  p.drawText(QRectF(x0, size.height() * 0.2, x1 - x0, size.height() * 0.2), Qt::AlignLeft | Qt::AlignVCenter, name);
  return pm;
}

}  // namespace

frmSplash::frmSplash(QWidget* parent) : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint) {
  setObjectName(QStringLiteral("frmSplash"));
  setAttribute(Qt::WA_DeleteOnClose);
  resize(640, 360);
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect area = screen->availableGeometry();
    move(area.center() - rect().center());
  }
  Picture1 = new QLabel(this);
  Picture1->resize(600, 320);
  Picture1->setPixmap(StartPicture(Picture1->size()));
  Label1 = new QLabel(QStringLiteral("Please wait..."), Picture1);
  QFont f(QStringLiteral("Verdana"));
  f.setPointSizeF(9.75);
  f.setBold(true);
  Label1->setFont(f);
  Label1->setStyleSheet(QStringLiteral("color: #e8eef4; background: transparent;"));
  Label1->setGeometry(Picture1->width() - 180, Picture1->height() - 40, 170, 24);
  Label1->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  Command1 = new QPushButton(this);
  Command1->hide();
  connect(Command1, &QPushButton::clicked, this, &frmSplash::Command1_Click);
}

QString frmSplash::MainCaption(int major, int minor) {
  return QStringLiteral("        dj VORLAN Pellix   v.%1.%2").arg(major).arg(minor);
}

std::function<void(frmMain&)>& frmSplash::AfterShow() {
  static std::function<void(frmMain&)> hook;
  return hook;
}

bool frmSplash::event(QEvent* e) {
  const bool result = QWidget::event(e);
  // The first showing starts the rest of the start once the window is on
  // the screen.
  if (e->type() == QEvent::Show && !activated_) QTimer::singleShot(0, this, [this] { Form_Activate(); });
  return result;
}

void frmSplash::Form_Activate() {
  if (activated_) return;
  activated_ = true;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  Picture1->move((width() - Picture1->width()) / 2, (height() - Picture1->height()) / 2);
  repaint();
  Command1_Click();
}

void frmSplash::Command1_Click() {
  main_ = new frmMain();
  if (main_->Ended()) {
    QApplication::restoreOverrideCursor();
    delete main_;
    main_ = nullptr;
    close();
    return;
  }
  main_->setAttribute(Qt::WA_DeleteOnClose);
  main_->setWindowTitle(MainCaption(kVersionMajor, kVersionMinor));
  QApplication::restoreOverrideCursor();
  main_->show();
  main_->activateWindow();
  // Without a window manager nothing activates the window; its first
  // activation (the skin) runs all the same.
  if (SkinApplyPending) main_->Form_Activate();
  if (AfterShow()) AfterShow()(*main_);
  close();
}

}  // namespace djvp
