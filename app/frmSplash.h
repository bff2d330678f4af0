// The start window: a picture with "Please wait..." that is on the screen
// while the main window loads; its first activation loads, captions and shows
// the main window and then unloads the start window.
#pragma once

#include <QWidget>

#include <functional>

class QLabel;
class QPushButton;

namespace djvp {

class frmMain;

class frmSplash : public QWidget {
  Q_OBJECT

 public:
  explicit frmSplash(QWidget* parent = nullptr);

  void Form_Activate();
  void Command1_Click();
  // The main window this start window made (null before, or when the start
  // ended after an engine check).
  frmMain* MainWindow() const { return main_; }

  QLabel* Picture1 = nullptr;
  QLabel* Label1 = nullptr;
  QPushButton* Command1 = nullptr;

  // The main window's caption for a version: eight blanks, the product name,
  // three blanks, "v." and major.minor.
  static QString MainCaption(int major, int minor);
  // Runs after the main window is shown (the screenshot switch uses it).
  static std::function<void(frmMain&)>& AfterShow();

 protected:
  bool event(QEvent* e) override;

 private:
  bool activated_ = false;
  frmMain* main_ = nullptr;
};

}  // namespace djvp
