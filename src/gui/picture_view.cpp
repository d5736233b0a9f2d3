#include "gui/picture_view.h"

#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QUrl>
#include <string>
#include <vector>

namespace vorn::gui {

namespace {

// The mouse-down event numbers buttons and modifier keys as bit sets:
// left 1, right 2, middle 4; Shift 1, Ctrl 2, Alt 4.
int ButtonCode(Qt::MouseButton button) {
  switch (button) {
    case Qt::LeftButton:
      return 1;
    case Qt::RightButton:
      return 2;
    case Qt::MiddleButton:
      return 4;
    default:
      return 0;
  }
}

int ShiftCode(Qt::KeyboardModifiers modifiers) {
  return (modifiers & Qt::ShiftModifier ? 1 : 0) | (modifiers & Qt::ControlModifier ? 2 : 0) |
         (modifiers & Qt::AltModifier ? 4 : 0);
}

// A file list is what a file manager drags: one or more local files.
std::vector<std::string> FileList(const QMimeData* data) {
  std::vector<std::string> paths;
  if (!data || !data->hasUrls()) return paths;
  for (const QUrl& url : data->urls()) {
    if (!url.isLocalFile()) return {};
    paths.push_back(url.toLocalFile().toStdString());
  }
  return paths;
}

}  // namespace

PictureView::PictureView(window::Picture* picture, Forward forward, QWidget* parent)
    : QWidget(parent), picture_(picture), forward_(std::move(forward)) {
  // A press on the picture takes the focus, as a picture box does.
  setFocusPolicy(Qt::ClickFocus);
  setAttribute(Qt::WA_OpaquePaintEvent);
  SyncFromModel();
}

void PictureView::AcceptFiles(window::WindowModel* form) {
  dropTarget_ = form;
  setAcceptDrops(true);
}

void PictureView::SyncFromModel() {
  if (picture_->revision == shownRevision_) return;
  // Copied when painted, so a picture that is never shown is never copied.
  stale_ = true;
  shownRevision_ = picture_->revision;
  update();
}

void PictureView::CopySurface() {
  stale_ = false;
  const int w = picture_->width;
  const int h = picture_->height;
  if (image_.width() != w || image_.height() != h) image_ = QImage(w, h, QImage::Format_RGB32);
  if (w == 0 || h == 0) return;
  // The model stores 0x00RRGGBB (its surface may be shared with the decoder, so it
  // is read pixel by pixel); the image format wants the unused top byte at FF.
  for (int y = 0; y < h; ++y) {
    auto* to = reinterpret_cast<QRgb*>(image_.scanLine(y));
    for (int x = 0; x < w; ++x) to[x] = picture_->Pixel(x, y) | 0xFF000000u;
  }
}

void PictureView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  // A picture box's background is black; the surface covers what it can of it.
  if (stale_) CopySurface();
  painter.fillRect(rect(), Qt::black);
  if (!image_.isNull()) painter.drawImage(0, 0, image_);
}

void PictureView::mousePressEvent(QMouseEvent* event) {
  event->accept();
  if (!picture_->onMouseDown) return;
  const int button = ButtonCode(event->button());
  const int shift = ShiftCode(event->modifiers());
  const auto x = static_cast<float>(event->position().x());
  const auto y = static_cast<float>(event->position().y());
  forward_([this, button, shift, x, y] {
    if (picture_->onMouseDown) picture_->onMouseDown(button, shift, x, y);
  });
}

void PictureView::dragEnterEvent(QDragEnterEvent* event) {
  dragMoveEvent(event);
}

void PictureView::dragMoveEvent(QDragMoveEvent* event) {
  const bool hasFileList = !FileList(event->mimeData()).empty();
  window::DropEffect effect = window::DropEffect::None;
  if (dropTarget_ && dropTarget_->onPicture1DragOver) effect = dropTarget_->onPicture1DragOver(hasFileList);
  if (effect == window::DropEffect::Copy) {
    event->setDropAction(Qt::CopyAction);
    event->accept();
  } else {
    event->ignore();
  }
}

void PictureView::dropEvent(QDropEvent* event) {
  const std::vector<std::string> paths = FileList(event->mimeData());
  const bool hasFileList = !paths.empty();
  event->setDropAction(Qt::CopyAction);
  event->accept();
  if (!dropTarget_) return;
  window::WindowModel* form = dropTarget_;
  forward_([form, hasFileList, paths] {
    if (form->onPicture1Drop) form->onPicture1Drop(hasFileList, paths);
  });
}

}  // namespace vorn::gui
