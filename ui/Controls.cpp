#include "ui/Controls.h"

#include <algorithm>

namespace djvp::ui {

void Control::setText(const QString& text) {
  if (text == text_) return;
  text_ = text;
  Sync();
  TextChanged();
}

void Control::setToolTip(const QString& tip) {
  if (tip == toolTip_) return;
  toolTip_ = tip;
  Sync();
}

void Control::setVisible(bool on) {
  if (on == visible_) return;
  visible_ = on;
  Sync();
}

void Control::setEnabled(bool on) {
  if (on == enabled_) return;
  enabled_ = on;
  Sync();
}

void Control::refresh() const {
  if (paint_) paint_();
}

void Control::SetView(Handler changed, Handler paint) {
  view_ = std::move(changed);
  paint_ = std::move(paint);
}

void Control::Sync() const {
  if (view_) view_();
}

void Control::Raise(const Handler& event) const {
  if (blocked_ > 0 || !event) return;
  // The handler may replace itself while it runs: run a copy.
  const Handler run = event;
  run();
}

bool Slider::setValue(int64_t v) {
  if (v < min_ || v > max_) return false;
  if (v == value_) return true;
  value_ = static_cast<int32_t>(v);
  Sync();
  Raise(Change);
  return true;
}

void Slider::setValueClamped(int64_t v) { setValue(std::clamp<int64_t>(v, min_, max_)); }

void Slider::setRange(int32_t minimum, int32_t maximum) {
  maximum = std::max(minimum, maximum);
  if (minimum == min_ && maximum == max_) return;
  min_ = minimum;
  max_ = maximum;
  const int32_t v = std::clamp(value_, min_, max_);
  if (v == value_) {
    Sync();
    return;
  }
  value_ = v;
  Sync();
  Raise(Change);
}

void Slider::setChanges(int32_t small, int32_t large) {
  small_ = std::max(1, small);
  large_ = std::max(1, large);
  Sync();
}

void Button::click() const {
  if (isEnabled()) Raise(Click);
}

void CheckBox::setChecked(bool on) {
  if (on == checked_) return;
  checked_ = on;
  Sync();
  Raise(Click);
}

void OptionButton::setChecked(bool on) {
  if (on == checked_) return;
  checked_ = on;
  Sync();
  if (on) Raise(Click);
}

void ListBox::addItem(const QString& item) {
  items_.append(item);
  Sync();
}

void ListBox::addItems(const QStringList& items) {
  if (items.isEmpty()) return;
  items_.append(items);
  Sync();
}

void ListBox::removeItem(int i) {
  if (i < 0 || i >= count()) return;
  items_.removeAt(i);
  if (index_ == i)
    index_ = -1;
  else if (index_ > i)
    --index_;
  Sync();
}

void ListBox::clear() {
  if (items_.isEmpty() && index_ == -1) return;
  items_.clear();
  index_ = -1;
  Sync();
}

bool ListBox::setCurrentIndex(int i) {
  if (i < -1 || i >= count()) return false;
  if (i == index_) return true;
  index_ = i;
  Sync();
  Raise(Click);
  return true;
}

bool ListBox::choose(int i) {
  if (i < -1 || i >= count()) return false;
  if (i != index_) {
    index_ = i;
    Sync();
  }
  Raise(Click);
  return true;
}

bool ListBox::doubleClick(int i) {
  if (i < 0 || !choose(i)) return false;
  Raise(DblClick);
  return true;
}

void PictureCell::setKey(const QString& key) {
  if (key == key_) return;
  key_ = key;
  Sync();
}

void LedMeter::setLit(int n) {
  n = std::clamp(n, 0, kLeds);
  if (n == lit_) return;
  lit_ = n;
  Sync();
}

void CurveEditor::setDrawing(const Drawing& d) {
  if (drawing_ && *drawing_ == d) return;
  drawing_ = d;
  Sync();
}

void CurveEditor::setSizingPointer(bool on) {
  if (on == sizing_) return;
  sizing_ = on;
  Sync();
}

}  // namespace djvp::ui
