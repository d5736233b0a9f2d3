// Model texts as the widgets and boxes show them.
#pragma once

#include <QString>
#include <string>

namespace vorn::gui {

// The handlers break lines with carriage returns (alone or before a line feed);
// Qt breaks them at line feeds.
inline QString DisplayText(const std::string& utf8) {
  QString text = QString::fromStdString(utf8);
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return text;
}

}  // namespace vorn::gui
