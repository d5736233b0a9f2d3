#include "gui/cell_widget.h"

#include <QMouseEvent>
#include <QPainter>

#include "gui/display_text.h"

namespace vorn::gui {

namespace {

// Cell borders: a mid grey that stays visible against both white and grey cells.
const QColor kBorder(0x80, 0x80, 0x80);
const QColor kDisabledText(0x80, 0x80, 0x80);
// Text keeps two pixels off the border so that left- and right-aligned text does not touch it.
constexpr int kPadding = 2;

bool Bordered(Kind kind) {
  return kind != Kind::Title;
}

QColor Rgb(uint32_t rgb) {
  return QColor::fromRgb(static_cast<QRgb>(rgb) | 0xFF000000u);
}

}  // namespace

CellWidget::CellWidget(Kind kind, const QString& fixedText, QWidget* parent)
    : QWidget(parent),
      kind_(kind),
      text_(fixedText),
      back_(kind == Kind::Caption || kind == Kind::CaptionButton ? window::kGrey : window::kWhite) {
  setFocusPolicy(Qt::NoFocus);  // a label never takes the focus from the input field
}

void CellWidget::BindLabel(window::Label* label) {
  label_ = label;
  SyncFromModel();
}

void CellWidget::BindCommand(window::Command* command, const Forward& forward) {
  command_ = command;
  OnClick([command] { command->Click(); }, forward);
  SyncFromModel();
}

void CellWidget::OnClick(std::function<void()> event, Forward forward) {
  clickEvent_ = std::move(event);
  forward_ = std::move(forward);
}

void CellWidget::SyncFromModel() {
  if (label_) {
    SetText(DisplayText(label_->text));
    SetColours(label_->back, label_->fore);
  }
  if (command_) {
    SetText(DisplayText(command_->caption));
    if (enabled_ != command_->enabled) {
      enabled_ = command_->enabled;
      update();
    }
  }
}

void CellWidget::SetText(const QString& text) {
  if (text == text_) return;
  text_ = text;
  update();
}

void CellWidget::SetColours(uint32_t back, uint32_t fore) {
  if (back == back_ && fore == fore_) return;
  back_ = back;
  fore_ = fore;
  update();
}

void CellWidget::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  QRect box = rect();
  if (Bordered(kind_)) {
    painter.fillRect(box, Rgb(back_));
    painter.setPen(kBorder);
    painter.drawRect(box.adjusted(0, 0, -1, -1));
  }
  painter.setPen(enabled_ ? Rgb(fore_) : kDisabledText);
  int flags = Qt::AlignVCenter;
  switch (kind_) {
    case Kind::Title:
    case Kind::ValueLeft:
      flags = Qt::AlignLeft | Qt::AlignVCenter;
      break;
    case Kind::ValueRight:
      flags = Qt::AlignRight | Qt::AlignVCenter;
      break;
    case Kind::ValueWrapped:
      flags = Qt::AlignLeft | Qt::AlignTop | Qt::TextWrapAnywhere;
      break;
    default:
      flags = Qt::AlignCenter;
      break;
  }
  const QRect textBox = Bordered(kind_) ? box.adjusted(kPadding, 1, -kPadding, -1) : box;
  painter.setClipRect(textBox);
  painter.drawText(textBox, flags, text_);
}

void CellWidget::mousePressEvent(QMouseEvent* event) {
  pressed_ = event->button() == Qt::LeftButton && clickEvent_;
  event->accept();
}

void CellWidget::mouseReleaseEvent(QMouseEvent* event) {
  const bool click =
      pressed_ && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
  pressed_ = false;
  if (click && enabled_ && forward_) forward_(clickEvent_);
  event->accept();
}

}  // namespace vorn::gui
