#include "gui/cell_widget.h"

#include <QMouseEvent>
#include <QPainter>
#include <QTextLayout>

#include "gui/display_text.h"
#include "gui/fonts.h"

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

// Lays text out in lines of the given width, breaking anywhere and at line breaks.
void WrapText(QTextLayout& layout, const QString& text, qreal width) {
  QString lines = text;
  lines.replace(QLatin1Char('\n'), QChar::LineSeparator);
  layout.setText(lines);
  QTextOption option(Qt::AlignLeft);
  option.setWrapMode(QTextOption::WrapAnywhere);
  layout.setTextOption(option);
  layout.beginLayout();
  for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine())
    line.setLineWidth(width);
  layout.endLayout();
}

int LineCount(const QString& text, const QFont& font, qreal width) {
  QTextLayout layout(QString(), font);
  WrapText(layout, text, width);
  return layout.lineCount();
}

// The end of text that fits in `lines` lines behind a leading ellipsis: of a path,
// the file's name and the folders nearest to it.
QString KeepEnd(const QString& text, const QFont& font, qreal width, int lines) {
  if (LineCount(text, font, width) <= lines) return text;
  const QString ellipsis(QChar(0x2026));
  qsizetype lo = 1;
  qsizetype hi = text.size();
  while (lo < hi) {
    const qsizetype mid = (lo + hi) / 2;
    if (LineCount(ellipsis + text.mid(mid), font, width) <= lines)
      hi = mid;
    else
      lo = mid + 1;
  }
  if (lo < text.size() && text.at(lo).isLowSurrogate()) ++lo;
  return ellipsis + text.mid(lo);
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
  // A long path shows only its end; the whole of it is a pointer's rest away.
  if (kind_ == Kind::ValuePath) setToolTip(text_);
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
  const QRect textBox = TextBox();
  painter.setClipRect(textBox);
  if (kind_ == Kind::ValueWrapped || kind_ == Kind::ValuePath) {
    QTextLayout layout(QString(), font());
    const int count = LayOutWholeLines(layout);
    for (int i = 0; i < count; ++i) layout.lineAt(i).draw(&painter, textBox.topLeft());
    return;
  }
  int flags = Qt::AlignVCenter;
  switch (kind_) {
    case Kind::Title:
    case Kind::ValueLeft:
      flags = Qt::AlignLeft | Qt::AlignVCenter;
      break;
    case Kind::ValueRight:
      flags = Qt::AlignRight | Qt::AlignVCenter;
      break;
    default:
      flags = Qt::AlignCenter;
      break;
  }
  painter.drawText(textBox, flags, text_);
}

QRect CellWidget::TextBox() const {
  return Bordered(kind_) ? rect().adjusted(kPadding, 1, -kPadding, -1) : rect();
}

int CellWidget::LayOutWholeLines(QTextLayout& layout) const {
  // As many whole lines as the cell holds, none cut in half: a path keeps its end
  // (the file's name), any other text its beginning.
  const QRect textBox = TextBox();
  const LineMetrics packed = PackedLines(font());
  const int lines = std::max(1, textBox.height() / packed.step);
  const QString shown = kind_ == Kind::ValuePath ? KeepEnd(text_, font(), textBox.width(), lines) : text_;
  WrapText(layout, shown, textBox.width());
  const int count = std::min(lines, layout.lineCount());
  for (int i = 0; i < count; ++i) {
    QTextLine line = layout.lineAt(i);
    line.setPosition(QPointF(0, i * packed.step + packed.ascent - line.ascent()));
  }
  return count;
}

QStringList CellWidget::ShownLines() const {
  QTextLayout layout(QString(), font());
  const int count = LayOutWholeLines(layout);
  QStringList lines;
  for (int i = 0; i < count; ++i) {
    const QTextLine line = layout.lineAt(i);
    lines << layout.text().mid(line.textStart(), line.textLength());
  }
  return lines;
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
