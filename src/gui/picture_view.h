// A picture box showing a model picture's pixel surface. Presses go to the
// picture's mouse-down event; the image view also accepts dropped files.
#pragma once

#include <QImage>
#include <QWidget>
#include <cstdint>

#include "gui/model_view.h"
#include "window/window_model.h"

namespace vorn::gui {

class PictureView : public QWidget, public ModelView {
  Q_OBJECT

 public:
  PictureView(window::Picture* picture, Forward forward, QWidget* parent);
  // Lets files be dropped on the view; they go to the window model's drop events.
  void AcceptFiles(window::WindowModel* form);

  void SyncFromModel() override;
  // The picture as the view shows it now.
  const QImage& image() {
    if (stale_) CopySurface();
    return image_;
  }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void CopySurface();

  window::Picture* picture_;
  Forward forward_;
  window::WindowModel* dropTarget_ = nullptr;
  QImage image_;
  uint64_t shownRevision_ = ~uint64_t{0};
  bool stale_ = true;
};

}  // namespace vorn::gui
