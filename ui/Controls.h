// The controls of the program's windows as plain values: each holds what the
// user sees (value, range, caption, tooltip, shown, usable) and raises its
// event when its value changes. The logic reads and sets controls; a window
// binds each control to its widget both ways (app/), and a test drives the
// controls directly without any widget.
//
// The change rule of every control: setting the value it already holds raises
// nothing; setting another value raises the control's event before the call
// returns, as a user's change does. An EventBlocker holds a control's event
// back while code moves it only to show a value.
#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <optional>
#include <utility>

namespace djvp::ui {

using Handler = std::function<void()>;

// What every control has: caption, tooltip, shown and usable. The window's
// view of the control is told of every change of any of these (and of the
// control's own value) through the view callback; that callback is never
// blocked.
class Control {
 public:
  Control() = default;
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;
  virtual ~Control() = default;

  const QString& text() const { return text_; }
  void setText(const QString& text);
  const QString& toolTip() const { return toolTip_; }
  void setToolTip(const QString& tip);
  bool isVisible() const { return visible_; }
  void setVisible(bool on);
  bool isEnabled() const { return enabled_; }
  void setEnabled(bool on);

  // Asks the view to paint the control at once (a long job on the window's
  // thread that wants its progress seen).
  void refresh() const;

  // The window's view: `changed` runs after every change, `paint` for
  // refresh(). One view per control; a later call replaces it.
  void SetView(Handler changed, Handler paint = {});
  // True while an EventBlocker holds the control's event back.
  bool Blocked() const { return blocked_ > 0; }

 protected:
  // Runs after the text changed (a text box raises its event there).
  virtual void TextChanged() {}
  void Sync() const;
  // Raises the event unless it is blocked or has no handler.
  void Raise(const Handler& event) const;

 private:
  friend class EventBlocker;
  QString text_;
  QString toolTip_;
  bool visible_ = true;
  bool enabled_ = true;
  int blocked_ = 0;
  Handler view_;
  Handler paint_;
};

// Holds a control's event back for its lifetime; nests.
class EventBlocker {
 public:
  explicit EventBlocker(Control& c) : c_(c) { ++c_.blocked_; }
  ~EventBlocker() { --c_.blocked_; }
  EventBlocker(const EventBlocker&) = delete;
  EventBlocker& operator=(const EventBlocker&) = delete;

 private:
  Control& c_;
};

// A whole number in a range: sliders, spinners, the progress bar. Change is
// raised for every change of the value, also one that a new range forces.
class Slider : public Control {
 public:
  Slider() = default;
  Slider(int32_t minimum, int32_t maximum, int32_t value) : min_(minimum), max_(maximum), value_(value) {}

  int32_t value() const { return value_; }
  int32_t minimum() const { return min_; }
  int32_t maximum() const { return max_; }
  // Outside the range: false, and nothing changes (a step that fails).
  bool setValue(int64_t v);
  // Outside the range: the nearest end of the range.
  void setValueClamped(int64_t v);
  // A value outside the new range moves to its nearest end. A maximum below
  // the minimum is taken as the minimum.
  void setRange(int32_t minimum, int32_t maximum);
  void setMaximum(int32_t maximum) { setRange(min_, maximum); }
  void setMinimum(int32_t minimum) { setRange(minimum, max_); }

  // How far an arrow key moves the value (small change), and Page Up, Page
  // Down or a click beside a slider's handle (large change). Steps below 1
  // are taken as 1.
  int32_t smallChange() const { return small_; }
  int32_t largeChange() const { return large_; }
  void setChanges(int32_t small, int32_t large);

  // True while the user holds the slider's handle (the view says so). Code
  // that only shows a value leaves a held slider alone, so that the handle
  // stays under the pointer.
  bool isHeld() const { return held_; }
  void setHeld(bool on) { held_ = on; }

  Handler Change;

 private:
  int32_t min_ = 0;
  int32_t max_ = 10;
  int32_t value_ = 0;
  int32_t small_ = 1;
  int32_t large_ = 10;
  bool held_ = false;
};

// A push button or menu entry: Click when the user presses it while it is
// usable.
class Button : public Control {
 public:
  // The user's press: runs Click unless the button is not usable.
  void click() const;

  Handler Click;
};

// A check box: Click whenever its state changes.
class CheckBox : public Control {
 public:
  bool isChecked() const { return checked_; }
  void setChecked(bool on);

  Handler Click;

 private:
  bool checked_ = false;
};

// An option button: one of a group of which the window shows one chosen.
// Click when it becomes chosen; clearing it raises nothing.
class OptionButton : public Control {
 public:
  bool isChecked() const { return checked_; }
  void setChecked(bool on);

  Handler Click;

 private:
  bool checked_ = false;
};

// A list or drop-down list: its entries and the chosen one (-1: none).
class ListBox : public Control {
 public:
  int count() const { return static_cast<int>(items_.size()); }
  const QStringList& items() const { return items_; }
  QString itemText(int i) const { return i >= 0 && i < count() ? items_[i] : QString(); }
  void addItem(const QString& item);
  void addItems(const QStringList& items);
  // Removes entry i; the choice stays on its entry or becomes -1 with it.
  void removeItem(int i);
  // Empties the list; nothing is chosen.
  void clear();

  int currentIndex() const { return index_; }
  // Chooses entry i (-1: none) and raises Click when that changes the
  // choice. Outside -1..count-1: false and nothing changes.
  bool setCurrentIndex(int i);
  // The user's pick: like setCurrentIndex, but Click is raised also for the
  // entry already chosen.
  bool choose(int i);
  QString currentText() const { return itemText(index_); }
  // The user's double click on entry i: chooses it as choose(i) does, then
  // raises DblClick. Outside 0..count-1: false and nothing happens.
  bool doubleClick(int i);

  Handler Click;
  Handler DblClick;

 private:
  QStringList items_;
  int index_ = -1;
};

// A text field. Change for every change of its text (setText on the base).
class TextBox : public Control {
 public:
  // Appends to the text (a multi-line log field).
  void append(const QString& more) { setText(text() + more); }

  Handler Change;

 protected:
  void TextChanged() override { Raise(Change); }
};

// A label or status-bar panel: its caption only.
class Caption : public Control {};

// A picture cell that shows one picture of a set by its key ("" shows
// nothing); hidden cells show nothing either.
class PictureCell : public Control {
 public:
  const QString& key() const { return key_; }
  void setKey(const QString& key);

 private:
  QString key_;
};

// A column of LEDs that shows a level: how many of them are lit from the
// bottom (0 = all dark).
class LedMeter : public Control {
 public:
  static constexpr int kLeds = 10;
  int lit() const { return lit_; }
  void setLit(int n);

 private:
  int lit_ = 0;
};

// The crossfade curve editor's panel: the picture it shows and the mouse
// pointer over it. Mouse events of the panel reach the handlers in the
// panel's units (x 0..100 from the left, y 0..255 from the bottom), with the
// buttons as 1 left, 2 right, 4 middle.
class CurveEditor : public Control {
 public:
  struct Box {
    double x0 = 0, x1 = 0;
    bool top = false;  // the band y 230..255, else y 0..25
    bool operator==(const Box&) const = default;
  };
  struct Drawing {
    double leftU = 0, leftD = 0, rightD = 0, rightU = 0;
    Box handles[4]{};  // leftU, leftD, rightD, rightU
    bool operator==(const Drawing&) const = default;
  };
  const std::optional<Drawing>& drawing() const { return drawing_; }
  void setDrawing(const Drawing& d);

  // The grabbed handles of the editor, and whether a grabbed handle has
  // been dragged (and drawn) somewhere since the press.
  bool DragLeftU = false, DragLeftD = false, DragRightU = false, DragRightD = false;
  bool DragMoved = false;

  // The mouse pointer over the panel: the sideways-arrow over a handle.
  bool sizingPointer() const { return sizing_; }
  void setSizingPointer(bool on);

  using MouseHandler = std::function<void(int16_t button, int16_t shift, float x, float y)>;
  MouseHandler MouseDown, MouseMove, MouseUp;

 private:
  std::optional<Drawing> drawing_;
  bool sizing_ = false;
};

}  // namespace djvp::ui
