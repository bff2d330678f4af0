#include "app/Binding.h"

#include "app/Widgets.h"
#include "display/LcdPanel.h"
#include "display/Scroller.h"
#include "platform/ModPublic.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QMetaObject>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>
#include <QTabBar>

namespace djvp::bind {

namespace {

const char* const kDesignFont = "djvpDesignFont";

// Shown, usable and tooltip of any control.
void Common(const ui::Control& c, QWidget* w) {
  if (w->isHidden() == c.isVisible()) w->setVisible(c.isVisible());
  w->setEnabled(c.isEnabled());
  QString tip = c.toolTip();
  tip.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  if (w->toolTip() != tip) w->setToolTip(tip);
}

void Caption(QWidget* w, const QString& text, Fit fit) {
  if (fit == Fit::Width) {
    // Fitted from the designed font each time, so a shorter text gets its
    // full size back.
    QVariant design = w->property(kDesignFont);
    if (!design.isValid()) {
      design = QVariant::fromValue(w->font());
      w->setProperty(kDesignFont, design);
    }
    w->setFont(design.value<QFont>());
    modPublic_FitCaptionText(*w, text);
    return;
  }
  w->setProperty("text", text);
}

// The entries and the chosen entry of a drop-down list (signals held back).
void SyncCombo(const ui::ListBox& c, QComboBox* w) {
  QStringList shown;
  for (int i = 0; i < w->count(); ++i) shown << w->itemText(i);
  if (shown != c.items()) {
    w->clear();
    w->addItems(c.items());
  }
  w->setCurrentIndex(c.currentIndex());
}

}  // namespace

void Slider(ui::Slider& c, QSlider* w, Track track) {
  auto sync = [&c, w] {
    // A handle the user holds stays where the pointer is.
    if (w->isSliderDown()) return;
    const QSignalBlocker quiet(w);
    w->setRange(c.minimum(), c.maximum());
    w->setValue(c.value());
    w->setSingleStep(c.smallChange());
    w->setPageStep(c.largeChange());
    Common(c, w);
  };
  c.SetView(sync, [w] { w->repaint(); });
  sync();
  w->setTracking(track == Track::Live);
  QObject::connect(w, &QSlider::sliderPressed, w, [&c] { c.setHeld(true); });
  QObject::connect(w, &QSlider::sliderReleased, w, [&c, w, sync] {
    c.setHeld(false);
    // The slider reports where the handle was let go right after this; what
    // code set on the control meanwhile is shown once that is done.
    QMetaObject::invokeMethod(w, sync, Qt::QueuedConnection);
  });
  QObject::connect(w, &QSlider::valueChanged, w, [&c](int v) { c.setValue(v); });
}

void Spinner(ui::Slider& c, QSpinBox* w) {
  auto sync = [&c, w] {
    const QSignalBlocker quiet(w);
    w->setRange(c.minimum(), c.maximum());
    w->setValue(c.value());
    w->setSingleStep(c.smallChange());
    Common(c, w);
  };
  c.SetView(sync, [w] { w->repaint(); });
  sync();
  QObject::connect(w, &QSpinBox::valueChanged, w, [&c](int v) { c.setValue(v); });
}

void Progress(ui::Slider& c, QProgressBar* w) {
  auto sync = [&c, w] {
    // A progress bar repaints at once on a new value; the job that moves it
    // says when it wants a paint (refresh).
    const bool updates = w->updatesEnabled();
    w->setUpdatesEnabled(false);
    w->setRange(c.minimum(), c.maximum());
    w->setValue(c.value());
    w->setUpdatesEnabled(updates);
    Common(c, w);
  };
  c.SetView(sync, [w] {
    if (w->isVisible()) w->repaint();
  });
  sync();
}

void Button(ui::Button& c, QAbstractButton* w, Fit fit) {
  auto sync = [&c, w, fit] {
    if (w->text() != c.text()) Caption(w, c.text(), fit);
    Common(c, w);
  };
  c.SetView(sync, [w] { w->repaint(); });
  sync();
  QObject::connect(w, &QAbstractButton::clicked, w, [&c] { c.click(); });
}

void CheckBox(ui::CheckBox& c, QAbstractButton* w, Fit fit) {
  auto sync = [&c, w, fit] {
    const QSignalBlocker quiet(w);
    w->setChecked(c.isChecked());
    if (w->text() != c.text()) Caption(w, c.text(), fit);
    Common(c, w);
  };
  c.SetView(sync, [w] { w->repaint(); });
  sync();
  QObject::connect(w, &QAbstractButton::toggled, w, [&c](bool on) { c.setChecked(on); });
}

void Option(ui::OptionButton& c, QAbstractButton* w, Fit fit) {
  auto sync = [&c, w, fit] {
    // Choosing a button clears its group's others through their own
    // bindings (the widget group is exclusive).
    if (w->isChecked() != c.isChecked()) w->setChecked(c.isChecked());
    if (w->text() != c.text()) Caption(w, c.text(), fit);
    Common(c, w);
  };
  c.SetView(sync, [w] { w->repaint(); });
  sync();
  QObject::connect(w, &QAbstractButton::toggled, w, [&c](bool on) { c.setChecked(on); });
}

void MenuEntry(ui::Button& c, QAction* w) {
  auto sync = [&c, w] {
    w->setText(c.text());
    w->setVisible(c.isVisible());
    w->setEnabled(c.isEnabled());
  };
  c.SetView(sync);
  sync();
  QObject::connect(w, &QAction::triggered, w, [&c] { c.click(); });
}

void List(ui::ListBox& c, QComboBox* w) {
  auto sync = [&c, w] {
    const QSignalBlocker quiet(w);
    SyncCombo(c, w);
    Common(c, w);
  };
  c.SetView(sync);
  sync();
  // The user's pick runs the list's event, also for the entry already shown.
  QObject::connect(w, &QComboBox::activated, w, [&c](int i) { c.choose(i); });
}

void EditableList(ui::ListBox& c, QComboBox* w) {
  w->setEditable(true);
  w->setInsertPolicy(QComboBox::NoInsert);
  QLineEdit* edit = w->lineEdit();
  auto sync = [&c, w, edit] {
    const QSignalBlocker quiet(w);
    const QSignalBlocker quietEdit(edit);
    SyncCombo(c, w);
    if (edit->text() != c.text()) edit->setText(c.text());
    Common(c, w);
  };
  c.SetView(sync);
  sync();
  QObject::connect(w, &QComboBox::activated, w, [&c](int i) { c.choose(i); });
  QObject::connect(edit, &QLineEdit::textEdited, w, [&c](const QString& t) { c.setText(t); });
}

void Tabs(ui::ListBox& c, QTabBar* w, QWidget* body) {
  auto sync = [&c, w, body] {
    const QSignalBlocker quiet(w);
    QStringList shown;
    for (int i = 0; i < w->count(); ++i) shown << w->tabText(i);
    if (shown != c.items()) {
      while (w->count() > 0) w->removeTab(0);
      for (const QString& caption : c.items()) w->addTab(caption);
    }
    w->setCurrentIndex(c.currentIndex());
    Common(c, w);
    if (body) body->setVisible(c.isVisible());
  };
  c.SetView(sync);
  sync();
  QObject::connect(w, &QTabBar::currentChanged, w, [&c](int i) { c.choose(i); });
}

void List(ui::ListBox& c, QListWidget* w) {
  auto sync = [&c, w] {
    const QSignalBlocker quiet(w);
    QStringList shown;
    for (int i = 0; i < w->count(); ++i) shown << w->item(i)->text();
    if (shown != c.items()) {
      w->clear();
      w->addItems(c.items());
    }
    w->setCurrentRow(c.currentIndex());
    Common(c, w);
  };
  c.SetView(sync);
  sync();
  QObject::connect(w, &QListWidget::currentRowChanged, w, [&c](int i) { c.setCurrentIndex(i); });
  QObject::connect(w, &QListWidget::itemDoubleClicked, w, [&c, w](QListWidgetItem* item) { c.doubleClick(w->row(item)); });
}

void Text(ui::TextBox& c, QLineEdit* w) {
  auto sync = [&c, w] {
    const QSignalBlocker quiet(w);
    if (w->text() != c.text()) w->setText(c.text());
    Common(c, w);
  };
  c.SetView(sync);
  sync();
  QObject::connect(w, &QLineEdit::textEdited, w, [&c](const QString& t) { c.setText(t); });
}

void Text(ui::TextBox& c, QPlainTextEdit* w, bool showEnd) {
  auto sync = [&c, w, showEnd] {
    const QSignalBlocker quiet(w);
    if (w->toPlainText() != c.text()) {
      w->setPlainText(c.text());
      if (showEnd) w->moveCursor(QTextCursor::End);
    }
    Common(c, w);
  };
  c.SetView(sync);
  sync();
  QObject::connect(w, &QPlainTextEdit::textChanged, w, [&c, w] { c.setText(w->toPlainText()); });
}

void Label(ui::Caption& c, QLabel* w, Fit fit) {
  auto sync = [&c, w, fit] {
    if (w->text() != c.text()) Caption(w, c.text(), fit);
    Common(c, w);
  };
  c.SetView(sync, [w] {
    if (w->isVisible()) w->repaint();
  });
  sync();
}

void Frame(ui::Control& c, QWidget* w) {
  auto sync = [&c, w] {
    const bool wasHidden = w->isHidden();
    if (w->property("title").isValid() && w->property("title").toString() != c.text()) w->setProperty("title", c.text());
    Common(c, w);
    // A panel that appears comes to the front.
    if (wasHidden && c.isVisible()) w->raise();
  };
  c.SetView(sync, [w] {
    if (w->isVisible()) w->repaint();
  });
  sync();
}

void Cell(ui::PictureCell& c, ScrollerCell* w) {
  auto sync = [&c, w] {
    w->SetPictureKey(c.key());
    Common(c, w);
  };
  c.SetView(sync);
  sync();
}

void Meter(ui::LedMeter& c, LcdPanel* w, const MeterLeds& leds) {
  auto sync = [&c, w, &leds] {
    DrawMeterOnScreen(*w, leds, c.lit());
    Common(c, w);
  };
  c.SetView(sync);
  // The meter starts as the display panels drew it.
}

void Curve(ui::CurveEditor& c, CurvePanel* w) {
  auto sync = [&c, w] {
    if (c.drawing() && (!w->CurrentDrawing() || *w->CurrentDrawing() != *c.drawing())) w->SetDrawing(*c.drawing());
    w->setCursor(c.sizingPointer() ? Qt::SizeHorCursor : Qt::ArrowCursor);
    Common(c, w);
  };
  c.SetView(sync);
  sync();
  w->setMouseTracking(true);
  w->MouseDown = [&c](int16_t b, int16_t s, float x, float y) {
    if (c.MouseDown) c.MouseDown(b, s, x, y);
  };
  w->MouseMove = [&c](int16_t b, int16_t s, float x, float y) {
    if (c.MouseMove) c.MouseMove(b, s, x, y);
  };
  w->MouseUp = [&c](int16_t b, int16_t s, float x, float y) {
    if (c.MouseUp) c.MouseUp(b, s, x, y);
  };
}

}  // namespace djvp::bind
