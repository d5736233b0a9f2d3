#include "gui/list_view.h"

#include <algorithm>

namespace vorn::gui {

ListView::ListView(window::ListBox* list, Forward forward, QWidget* parent)
    : QListWidget(parent), list_(list) {
  setFocusPolicy(Qt::StrongFocus);
  setUniformItemSizes(true);  // up to 1000 lines of one font: skip measuring each
  setSelectionMode(QAbstractItemView::SingleSelection);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
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
