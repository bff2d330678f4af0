// Binds a control of the window state to its widget, both ways: every change
// of the control (value, range, caption, tooltip, shown, usable) reaches the
// widget at once, and what the user does to the widget sets the control,
// which raises the control's event. Changes that the binding itself makes to
// a widget send nothing back. The control's present state is copied to the
// widget when the binding is made.
#pragma once

#include "display/Displays.h"
#include "ui/Controls.h"

class QAbstractButton;
class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QProgressBar;
class QSlider;
class QSpinBox;
class QTabBar;
class QWidget;

namespace djvp {

class CurvePanel;
class LcdPanel;
class ScrollerCell;

namespace bind {

// How a caption meets its widget: as it is, or with the widget's font made
// smaller (from the font the widget was designed with) until the text fits
// its width.
enum class Fit { No, Width };

// A slider. With Track::OnRelease a drag reaches the control only where the
// handle is let go (a seek); with Track::Live every step of it does (a
// volume). Either way the control knows while the user holds the handle.
enum class Track { Live, OnRelease };
void Slider(ui::Slider& c, QSlider* w, Track track = Track::Live);
void Spinner(ui::Slider& c, QSpinBox* w);
// A progress bar: value changes wait for the next paint; refresh() paints
// at once.
void Progress(ui::Slider& c, QProgressBar* w);
// Push buttons, check boxes and option buttons; their caption is the
// button's text.
void Button(ui::Button& c, QAbstractButton* w, Fit fit = Fit::No);
void CheckBox(ui::CheckBox& c, QAbstractButton* w, Fit fit = Fit::No);
void Option(ui::OptionButton& c, QAbstractButton* w, Fit fit = Fit::No);
void MenuEntry(ui::Button& c, QAction* w);
void List(ui::ListBox& c, QComboBox* w);
void List(ui::ListBox& c, QListWidget* w);
// An editable drop-down list: its entries and chosen entry as List's, and
// the text of its edit field as the control's text, which the user's typing
// sets (no event) and which code sets for the user to see.
void EditableList(ui::ListBox& c, QComboBox* w);
// A tab strip: the entries are the tabs' captions, the chosen entry the
// selected tab; the user's choice of a tab runs the list's event. A body
// (the strip's frame around its pages) is shown and hidden with the tabs.
void Tabs(ui::ListBox& c, QTabBar* w, QWidget* body = nullptr);
void Text(ui::TextBox& c, QLineEdit* w);
// A box of several lines shows the end of a new text (a log), or with
// showEnd false its start.
void Text(ui::TextBox& c, QPlainTextEdit* w, bool showEnd = true);
void Label(ui::Caption& c, QLabel* w, Fit fit = Fit::No);
// A frame or panel: shown, usable and tooltip; its caption goes to the
// widget's "title" property when it has one.
void Frame(ui::Control& c, QWidget* w);
void Cell(ui::PictureCell& c, ScrollerCell* w);
void Meter(ui::LedMeter& c, LcdPanel* w, const MeterLeds& leds);
void Curve(ui::CurveEditor& c, CurvePanel* w);

}  // namespace bind
}  // namespace djvp
