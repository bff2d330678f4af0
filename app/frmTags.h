// The tag editor window: a dialog laid out as designed (positions in twips,
// 15 to a pixel), its widgets bound to the controls of one editor's state
// (tageditor/TagEditorState.h), which the logic in tageditor/ fills, reads
// and changes. The window only shows: it builds the widgets, places the
// pages and closes when the state's Unload asks; a close box or Escape
// closes it as Cancel does.
#pragma once

#include "tageditor/TagEditorState.h"

#include <QDialog>
#include <QPushButton>

#include <array>
#include <map>
#include <string>

class QComboBox;
class QFrame;
class QLabel;
class QTabBar;

namespace djvp {

// A push button whose caption breaks between words onto a second line and
// gets a smaller font (down to 7 points) only where it still does not fit:
// the editor's buttons are narrow for their longer captions.
class WrappingButton : public QPushButton {
 public:
  using QPushButton::QPushButton;
  // The font the caption is drawn in.
  QFont TextFont() const;

 protected:
  void paintEvent(QPaintEvent* e) override;
};

class frmTags : public QDialog {
  Q_OBJECT

 public:
  // Form_Load: builds the window over the editor's state and binds it; the
  // pages are placed (Form_Resize). The parent's skin reaches the dialog.
  explicit frmTags(tageditor::TagEditorState& editor, QWidget* parent = nullptr);
  ~frmTags() override;

  tageditor::TagEditorState& Editor() { return ed_; }

  // The widgets under the names of their controls; tests look at them.
  struct Widgets {
    QTabBar* TabStrip1 = nullptr;
    QFrame* TabBody = nullptr;  // the tab strip's frame around its pages
    std::array<QFrame*, tageditor::kPages> Frame1{};
    QFrame* Frame2 = nullptr;
    std::array<QLabel*, tageditor::kLabels> SCLabel1{};
    std::array<WrappingButton*, tageditor::kButtons> SSCommand{};
    // Every text box by its control's name ("txtArtist", "Text28",
    // "txtCommentComments"): a QLineEdit, or a QPlainTextEdit for the boxes
    // of several lines.
    std::map<std::string, QWidget*> boxes;
    QComboBox* cboCommentsID = nullptr;
    QComboBox* cboIDurl = nullptr;
    QComboBox* cboIDSong = nullptr;
    QComboBox* cboIDFrame = nullptr;
    QLabel* img = nullptr;
  };
  Widgets view;

  // Places the pages: those inside the tab strip below its row of tabs, the
  // ID3v1 and Vorbis comment pages over the place of the hidden strip.
  void Form_Resize();

 protected:
  void resizeEvent(QResizeEvent* e) override;

 private:
  void BuildWindow();
  void BuildFieldPages();
  void BuildListPage(int page);
  void BuildUrlGroup();
  void BuildCoverPage();
  void MakeButton(int index, QWidget* parent, const QRect& r);
  void MakeLabel(int index, QWidget* parent, const QRect& r);
  void MakeLine(const char* name, QWidget* parent, const QRect& r);
  void BindControls();

  tageditor::TagEditorState& ed_;
};

}  // namespace djvp
