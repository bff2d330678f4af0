// A picture panel with a stored background image, the way the main window's
// display and meter panels repaint themselves: drawing with the stored-image
// switch on goes into the stored image; with it off it goes into a screen
// layer that the next repaint of the panel (after Cls or a stored-image
// change) throws away again.
#pragma once

#include <QColor>
#include <QImage>
#include <QWidget>

namespace djvp {

class LcdPanel : public QWidget {
  Q_OBJECT

 public:
  explicit LcdPanel(QWidget* parent = nullptr);

  // The colour and the panel's own picture that Cls paints the stored
  // image with (the picture at (0, 0), unscaled).
  void SetBackColor(const QColor& c);
  QColor BackColor() const { return backColor_; }
  void SetPicture(const QImage& picture);
  const QImage& Picture() const { return picture_; }

  // The stored-image switch: on, Canvas() is the stored image; off, it is the
  // screen layer over it.
  void SetAutoRedraw(bool on);
  bool AutoRedraw() const { return autoRedraw_; }
  // The image that drawing goes to now (see SetAutoRedraw). Call update()
  // after drawing.
  QImage& Canvas();

  // Stored image back to the background colour and picture; the screen layer
  // goes too.
  void Cls();

  const QImage& StoredImage() const { return stored_; }
  // What the panel shows: the stored image with the screen layer over it.
  QImage Shown() const;

 protected:
  void paintEvent(QPaintEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;

 private:
  void Fit(QImage& img, bool transparent) const;

  QColor backColor_{Qt::black};
  QImage picture_;
  QImage stored_;
  QImage screen_;
  bool autoRedraw_ = false;
};

}  // namespace djvp
