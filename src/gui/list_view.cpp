#include "gui/list_view.h"

#include <QKeyEvent>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <algorithm>

#include "gui/fonts.h"

namespace vorn::gui {

namespace {

// Every row as high as the packed lines of the list's face.
class RowDelegate : public QStyledItemDelegate {
 public:
  RowDelegate(int height, QObject* parent) : QStyledItemDelegate(parent), height_(height) {}
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    return {QStyledItemDelegate::sizeHint(option, index).width(), height_};
  }

 private:
  int height_;
};

}  // namespace

ListView::ListView(window::ListBox* list, Forward forward, QWidget* parent)
    : QListWidget(parent), list_(list), forward_(forward) {
  setFocusPolicy(Qt::StrongFocus);
  setUniformItemSizes(true);  // up to 1000 lines of one font: skip measuring each
  setSelectionMode(QAbstractItemView::SingleSelection);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setVerticalScrollMode(QAbstractItemView::ScrollPerItem);  // the top line is always whole
  rowHeight_ = PackedLines(font()).step + 2;
  setItemDelegate(new RowDelegate(rowHeight_, this));
  // Qt raises clicked on the release of the first press and doubleClicked on the
  // second press, so a double click is preceded by a click as the handlers expect.
  connect(this, &QListWidget::clicked, this, [this, forward](const QModelIndex& index) {
    const int row = index.row();
    forward([this, row] { list_->Click(row); });
  });
  connect(this, &QListWidget::doubleClicked, this, [this, forward](const QModelIndex& index) {
    const int row = index.row();
    forward([this, row] { list_->DblClick(row); });
  });
  SyncFromModel();
}

void ListView::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    forward_([this] { list_->Activate(); });
    event->accept();
    return;
  }
  QListWidget::keyPressEvent(event);
  const int row = currentRow();
  if (row >= 0 && row != list_->selected) forward_([this, row] { list_->Select(row); });
}

void ListView::PlaceWholeLines(const QRect& box) {
  box_ = box;
  FitWholeLines();
}

void ListView::updateGeometries() {
  QListWidget::updateGeometries();
  FitWholeLines();  // a horizontal scroll bar that came or went changes what fits
}

void ListView::FitWholeLines() {
  if (box_.isEmpty()) return;
  const QScrollBar* bar = horizontalScrollBar();
  const int fixed = 2 * frameWidth() + (bar->isVisibleTo(this) ? bar->sizeHint().height() : 0);
  const int rows = std::max(1, (box_.height() - fixed) / rowHeight_);
  const QRect fitted(box_.topLeft(), QSize(box_.width(), fixed + rows * rowHeight_));
  if (geometry() != fitted) setGeometry(fitted);
}

void ListView::SyncFromModel() {
  if (shown_ == list_->lines) return;
  // A list that only grew keeps its lines and scroll position; anything else is rebuilt.
  const bool grew =
      shown_.size() < list_->lines.size() && std::equal(shown_.begin(), shown_.end(), list_->lines.begin());
  if (!grew) {
    clear();
    shown_.clear();
  }
  for (size_t i = shown_.size(); i < list_->lines.size(); ++i)
    addItem(QString::fromStdString(list_->lines[i]));
  shown_ = list_->lines;
}

}  // namespace vorn::gui
