// The window's widgets and the state's controls, both ways: what code sets on
// a control shows on its widget without coming back as a user's change, and
// what the user does to a widget reaches the control and its handler.
#include "WindowTestEnv.h"

#include "app/Binding.h"
#include "display/Scroller.h"
#include "platform/Grid.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>

#include <gtest/gtest.h>

#include <vector>

using namespace djvp;

namespace {

TEST(Binding, SlidersAndSpinnersBothWays) {
  ui::Slider c(0, 100, 10);
  QSlider w;
  int events = 0;
  c.Change = [&] { ++events; };
  bind::Slider(c, &w);
  EXPECT_EQ(w.value(), 10);
  EXPECT_EQ(w.maximum(), 100);
  // Code: the widget follows, the handler runs once.
  c.setValue(40);
  EXPECT_EQ(w.value(), 40);
  EXPECT_EQ(events, 1);
  c.setMaximum(30);
  EXPECT_EQ(w.maximum(), 30);
  EXPECT_EQ(w.value(), 30);
  EXPECT_EQ(events, 2);
  // The user: the control follows and raises its event.
  w.triggerAction(QAbstractSlider::SliderSingleStepSub);
  EXPECT_EQ(c.value(), 29);
  EXPECT_EQ(events, 3);
  // Held back by code: the widget shows it, no event.
  {
    const ui::EventBlocker quiet(c);
    c.setValue(5);
  }
  EXPECT_EQ(w.value(), 5);
  EXPECT_EQ(events, 3);

  ui::Slider spin(0, 52, 26);
  QSpinBox box;
  bind::Spinner(spin, &box);
  box.setValue(30);  // as typed
  EXPECT_EQ(spin.value(), 30);
  spin.setValue(12);
  EXPECT_EQ(box.value(), 12);
}

// A seek slider: a drag reaches the control once, where the handle is let
// go, never on the way; code does not pull a held handle away.
TEST(Binding, ASeekSliderTakesADragWhereItIsLetGo) {
  ui::Slider c(0, 300, 50);
  QSlider w(Qt::Horizontal);
  std::vector<int> seeks;
  c.Change = [&] { seeks.push_back(c.value()); };
  bind::Slider(c, &w, bind::Track::OnRelease);
  w.setSliderDown(true);
  EXPECT_TRUE(c.isHeld());
  for (int at : {60, 120, 180}) w.setSliderPosition(at);
  {
    const ui::EventBlocker quiet(c);
    c.setValue(51);  // the playback timer showing the song's place
  }
  EXPECT_EQ(w.sliderPosition(), 180);
  EXPECT_TRUE(seeks.empty());
  w.setSliderDown(false);
  EXPECT_FALSE(c.isHeld());
  EXPECT_EQ(seeks, std::vector<int>{180});
  EXPECT_EQ(c.value(), 180);
}

TEST(Binding, ButtonsBoxesListsTextsAndCaptions) {
  ui::Button b;
  QPushButton pb;
  int clicks = 0;
  b.Click = [&] { ++clicks; };
  bind::Button(b, &pb);
  pb.click();
  EXPECT_EQ(clicks, 1);
  b.setEnabled(false);
  EXPECT_FALSE(pb.isEnabled());
  b.setVisible(false);
  EXPECT_TRUE(pb.isHidden());

  ui::CheckBox c;
  QCheckBox cb;
  int toggles = 0;
  c.Click = [&] { ++toggles; };
  bind::CheckBox(c, &cb);
  cb.click();
  EXPECT_TRUE(c.isChecked());
  c.setChecked(false);
  EXPECT_FALSE(cb.isChecked());
  EXPECT_EQ(toggles, 2);

  ui::ListBox l;
  QComboBox combo;
  int picks = 0;
  l.Click = [&] { ++picks; };
  l.addItems({"One", "Two"});
  bind::List(l, &combo);
  EXPECT_EQ(combo.count(), 2);
  EXPECT_EQ(combo.currentIndex(), -1);
  l.setCurrentIndex(1);
  EXPECT_EQ(combo.currentIndex(), 1);
  EXPECT_EQ(picks, 1);
  emit combo.activated(1);  // the user picks the entry already shown
  EXPECT_EQ(picks, 2);
  l.clear();
  EXPECT_EQ(combo.count(), 0);

  ui::TextBox t;
  QLineEdit edit;
  bind::Text(t, &edit);
  edit.setText("ab");  // as typed: the edit reports the user's text
  emit edit.textEdited("ab");
  EXPECT_EQ(t.text(), "ab");
  t.setText("xyz");
  EXPECT_EQ(edit.text(), "xyz");
}

TEST(Binding, FittedCaptionsShrinkToTheirWidthAndGrowBack) {
  ui::Caption c;
  QLabel label;
  QFont font = label.font();
  font.setPointSize(12);
  label.setFont(font);
  label.resize(80, 20);
  bind::Label(c, &label, bind::Fit::Width);
  c.setText(QStringLiteral("A caption much too long for its label"));
  EXPECT_EQ(label.text(), c.text());
  EXPECT_LT(label.font().pointSizeF(), 12);
  c.setText(QStringLiteral("Short"));
  EXPECT_EQ(label.font().pointSizeF(), 12) << "a short caption gets the designed size back";
}

TEST(Binding, ProgressPaintsWhenAskedAndCellsShowTheirPicture) {
  ui::Slider c(0, 100, 0);
  QProgressBar bar;
  bind::Progress(c, &bar);
  c.setValue(42);
  EXPECT_EQ(bar.value(), 42);
  c.refresh();  // paints at once; nothing to see offscreen but no harm

  ui::PictureCell cell;
  ScrollerCell w;
  bind::Cell(cell, &w);
  cell.setKey(QStringLiteral("ico65"));
  EXPECT_EQ(w.PictureKey(), "ico65");
  cell.setVisible(false);
  EXPECT_TRUE(w.isHidden());
}

TEST(Binding, WindowControlsAreTheStatesControls) {
  WindowTestEnv env;
  auto w = env.Open();
  MainState& s = w->State();
  // A few of each kind, both ways.
  s.Volume1.setValue(33);
  EXPECT_EQ(w->view.Volume1->value(), 33);
  s.Position1.setMaximum(7);
  EXPECT_EQ(w->view.Position1->maximum(), 7);
  w->view.Check1[2]->click();
  EXPECT_EQ(s.Check1[2].isChecked(), s.AutoBPMOn);
  EXPECT_EQ(env.Get("Settings", "AutoBPM"), s.AutoBPMOn ? "1" : "0");
  s.cTime[1].setText(" 01:02.03");
  EXPECT_EQ(w->view.cTime[1]->text(), " 01:02.03");
  s.Image1[25].setKey(QStringLiteral("ico66"));
  s.Image1[25].setVisible(true);
  EXPECT_EQ(w->view.Image1[25]->PictureKey(), "ico66");
  EXPECT_EQ(w->view.Image1[25]->parentWidget(), w->view.pctScroller[1]);
  EXPECT_FALSE(w->view.Image1[25]->isHidden());
  s.SetStatusPanelText(3, "status");
  EXPECT_EQ(w->view.StatusPanel[2]->text(), "status");
  EXPECT_EQ(s.PlayListView[0]->parentWidget(), w->view.Frame[0]);
  EXPECT_EQ(s.DummyPlaylist->parentWidget(), w->view.fraSearch);
}

TEST(Binding, MouseOnTheCurvePanelReachesTheEditorInItsUnits) {
  WindowTestEnv env;
  auto w = env.Open();
  CurvePanel* panel = w->view.pctDimmer;
  ASSERT_EQ(panel->size(), QSize(255, 100));
  auto send = [&](QEvent::Type type, QPointF at, Qt::MouseButton button, Qt::MouseButtons held) {
    QMouseEvent e(type, at, panel->mapToGlobal(at), button, held, Qt::NoModifier);
    QCoreApplication::sendEvent(panel, &e);
  };
  // MixRightU's handle (90..95, top): pixel x 92 / 100 * 254, y near the top.
  const QPointF grab = panel->Map(92, 250);
  const QPointF to = panel->Map(70, 250);
  send(QEvent::MouseButtonPress, grab, Qt::LeftButton, Qt::LeftButton);
  EXPECT_TRUE(w->State().pctDimmer.DragRightU);
  send(QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton);
  EXPECT_EQ(panel->cursor().shape(), Qt::SizeHorCursor);
  EXPECT_EQ(panel->CurrentDrawing()->rightU, 70);
  send(QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
  EXPECT_EQ(w->State().MixRightU, 70);
  EXPECT_EQ(env.Get("Mixer", "MixRightU"), "70");
}

}  // namespace
