// A flat cell: an area title, a grey caption or a white value field, optionally
// bound to a model label, or to a command (a caption that can be clicked).
#pragma once

#include <QString>
#include <QStringList>
#include <QWidget>
#include <functional>

#include "gui/layout_table.h"
#include "gui/model_view.h"
#include "window/elements.h"

class QTextLayout;

namespace vorn::gui {

class CellWidget : public QWidget, public ModelView {
  Q_OBJECT

 public:
  CellWidget(Kind kind, const QString& fixedText, QWidget* parent);

  void BindLabel(window::Label* label);
  void BindCommand(window::Command* command, const Forward& forward);
  // A click (press and release inside the cell) runs event through forward.
  void OnClick(std::function<void()> event, Forward forward);

  void SyncFromModel() override;

  QString text() const { return text_; }
  uint32_t background() const { return back_; }
  uint32_t foreground() const { return fore_; }
  Kind kind() const { return kind_; }
  // Of a field of several lines, the text of each line as it is drawn.
  QStringList ShownLines() const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  void SetText(const QString& text);
  QRect TextBox() const;
  // Lays the text of a wrapped field out in the whole lines the field holds and
  // returns how many of the layout's lines are shown.
  int LayOutWholeLines(QTextLayout& layout) const;
  void SetColours(uint32_t back, uint32_t fore);

  Kind kind_;
  QString text_;
  uint32_t back_;
  uint32_t fore_ = window::kBlack;
  window::Label* label_ = nullptr;
  window::Command* command_ = nullptr;
  bool enabled_ = true;
  std::function<void()> clickEvent_;
  Forward forward_;
  bool pressed_ = false;
};

}  // namespace vorn::gui
