#include "gui/input_field.h"

#include <QFocusEvent>
#include <QKeyEvent>

namespace vorn::gui {

InputField::InputField(window::TextField* field, std::function<void()> focusLost, QWidget* parent)
    : QLineEdit(parent),
      field_(field),
      focusLost_(std::move(focusLost)),
      focusRequestsSeen_(field->focusRequests) {
  setMaxLength(field->maxChars);
  setAlignment(Qt::AlignCenter);
  setFocusPolicy(Qt::StrongFocus);
  setTextMargins(0, 0, 0, 0);
  connect(this, &QLineEdit::textEdited, this,
          [this](const QString& text) { field_->SetText(text.toStdString()); });
  SyncFromModel();
}

void InputField::SyncFromModel() {
  const QString text = QString::fromStdString(field_->text);
  if (this->text() != text) setText(text);
  if (focusRequestsSeen_ != field_->focusRequests) {
    focusRequestsSeen_ = field_->focusRequests;
    setFocus(Qt::OtherFocusReason);
    selectAll();
  }
}

bool InputField::event(QEvent* event) {
  // The field holds two characters, and a click on the dump puts the focus here: the
  // undo and redo keys would only undo the typing and never reach the window's
  // 元に戻す and やり直し. Left unclaimed, they run those commands as everywhere else.
  if (event->type() == QEvent::ShortcutOverride) {
    const auto* key = static_cast<QKeyEvent*>(event);
    const QKeyCombination combination = key->keyCombination();
    if (key->matches(QKeySequence::Undo) || key->matches(QKeySequence::Redo) ||
        combination == QKeyCombination(Qt::ControlModifier, Qt::Key_Y)) {
      event->ignore();
      return false;
    }
  }
  return QLineEdit::event(event);
}

void InputField::focusInEvent(QFocusEvent* event) {
  QLineEdit::focusInEvent(event);
  holdsFocus_ = true;
}

void InputField::focusOutEvent(QFocusEvent* event) {
  QLineEdit::focusOutEvent(event);
  // A message box, a menu or another application taking the activation is not a
  // move of the focus within the window.
  const Qt::FocusReason reason = event->reason();
  if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason) return;
  holdsFocus_ = false;
  if (focusLost_) focusLost_();
}

}  // namespace vorn::gui
