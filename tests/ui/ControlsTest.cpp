// The control model's change rule: a value set by code raises the control's
// event like a user's change, the value already held raises nothing, and a
// blocker holds the event back. The window's view hears every change.
#include "ui/Controls.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace djvp::ui;

namespace {

// Counts a control's events and its view's updates.
struct Counter {
  int events = 0;
  int views = 0;
  Handler Event() {
    return [this] { ++events; };
  }
  void Watch(Control& c) {
    c.SetView([this] { ++views; });
  }
};

TEST(Controls, SliderRaisesChangeForNewValuesOnly) {
  Slider s(0, 100, 50);
  Counter n;
  s.Change = n.Event();
  n.Watch(s);
  const struct {
    const char* what;
    int64_t value;
    bool accepted;
    int32_t after;
    int events;
  } cases[] = {
      {"the value it holds", 50, true, 50, 0},
      {"a new value", 70, true, 70, 1},
      {"the same again", 70, true, 70, 1},
      {"below the range: refused", -1, false, 70, 1},
      {"above the range: refused", 101, false, 70, 1},
      {"the edge", 100, true, 100, 2},
  };
  for (const auto& k : cases) {
    EXPECT_EQ(s.setValue(k.value), k.accepted) << k.what;
    EXPECT_EQ(s.value(), k.after) << k.what;
    EXPECT_EQ(n.events, k.events) << k.what;
  }
  EXPECT_EQ(n.views, 2);
  s.setValueClamped(500);
  EXPECT_EQ(s.value(), 100);
  EXPECT_EQ(n.events, 2) << "held to the maximum it already had";
  s.setValueClamped(-500);
  EXPECT_EQ(s.value(), 0);
  EXPECT_EQ(n.events, 3);
}

TEST(Controls, ANewRangeMovesTheValueInsideAndSaysSo) {
  Slider s(0, 100, 80);
  Counter n;
  s.Change = n.Event();
  n.Watch(s);
  s.setMaximum(90);
  EXPECT_EQ(s.value(), 80);
  EXPECT_EQ(n.events, 0);
  EXPECT_EQ(n.views, 1) << "the view shows the new range";
  s.setMaximum(40);
  EXPECT_EQ(s.value(), 40);
  EXPECT_EQ(n.events, 1);
  s.setRange(10, 5);  // a maximum below the minimum is the minimum
  EXPECT_EQ(s.minimum(), 10);
  EXPECT_EQ(s.maximum(), 10);
  EXPECT_EQ(s.value(), 10);
  EXPECT_EQ(n.events, 2);
}

TEST(Controls, BlockersHoldEventsBackButNotTheView) {
  Slider s(0, 10, 0);
  Counter n;
  s.Change = n.Event();
  n.Watch(s);
  {
    const EventBlocker outer(s);
    {
      const EventBlocker inner(s);
      s.setValue(3);
    }
    EXPECT_TRUE(s.Blocked());
    s.setValue(4);
  }
  EXPECT_FALSE(s.Blocked());
  EXPECT_EQ(n.events, 0);
  EXPECT_EQ(n.views, 2);
  s.setValue(5);
  EXPECT_EQ(n.events, 1);
}

TEST(Controls, ButtonsBoxesOptionsListsAndTexts) {
  Counter n;
  Button b;
  b.Click = n.Event();
  b.click();
  b.setEnabled(false);
  b.click();  // a button that cannot be used does nothing
  EXPECT_EQ(n.events, 1);

  Counter box;
  CheckBox c;
  c.Click = box.Event();
  c.setChecked(false);
  c.setChecked(true);
  c.setChecked(true);
  c.setChecked(false);
  EXPECT_EQ(box.events, 2) << "both ways, once each";

  Counter option;
  OptionButton o;
  o.Click = option.Event();
  o.setChecked(true);
  o.setChecked(false);
  o.setChecked(true);
  EXPECT_EQ(option.events, 2) << "only when it becomes chosen";

  Counter list;
  ListBox l;
  l.Click = list.Event();
  l.addItems({"a", "b", "c"});
  EXPECT_EQ(l.currentIndex(), -1);
  EXPECT_TRUE(l.setCurrentIndex(1));
  EXPECT_TRUE(l.setCurrentIndex(1));
  EXPECT_EQ(list.events, 1);
  EXPECT_TRUE(l.choose(1));  // a user's pick of the chosen entry counts
  EXPECT_EQ(list.events, 2);
  EXPECT_FALSE(l.setCurrentIndex(3));
  EXPECT_FALSE(l.choose(-2));
  EXPECT_EQ(l.currentText(), "b");
  l.removeItem(0);
  EXPECT_EQ(l.currentIndex(), 0) << "the choice stays on its entry";
  l.removeItem(0);
  EXPECT_EQ(l.currentIndex(), -1);
  EXPECT_EQ(list.events, 2) << "removing entries raises nothing";

  Counter text;
  TextBox t;
  t.Change = text.Event();
  t.setText("x");
  t.setText("x");
  t.append("y");
  EXPECT_EQ(t.text(), "xy");
  EXPECT_EQ(text.events, 2);
}

TEST(Controls, AHandlerMayReplaceItselfWhileItRuns) {
  Slider s(0, 10, 0);
  std::vector<std::string> ran;
  s.Change = [&] {
    ran.push_back("first");
    s.Change = [&] { ran.push_back("second"); };
  };
  s.setValue(1);
  s.setValue(2);
  EXPECT_EQ(ran, (std::vector<std::string>{"first", "second"}));
}

}  // namespace
