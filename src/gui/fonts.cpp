#include "gui/fonts.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QStringList>
#include <algorithm>

namespace vorn::gui {

namespace {

// 9 points at the 96 dots per inch the pixel layout was drawn for: 9 * 96 / 72 = 12
// pixels. Sizing in pixels keeps the text inside its cells on screens of any density.
constexpr int kPixelSize = 12;

// The first of wanted that is installed; otherwise any installed face that
// covers Japanese; otherwise the first wanted name (Qt then substitutes).
QString PickFamily(const QStringList& wanted) {
  const QStringList installed = QFontDatabase::families();
  for (const QString& family : wanted)
    if (installed.contains(family, Qt::CaseInsensitive)) return family;
  const QStringList japanese = QFontDatabase::families(QFontDatabase::Japanese);
  for (const QString& family : japanese)
    if (family.contains(QLatin1String("Sans"), Qt::CaseInsensitive) ||
        family.contains(QLatin1String("Gothic"), Qt::CaseInsensitive))
      return family;
  if (!japanese.isEmpty()) return japanese.first();
  return wanted.isEmpty() ? QString() : wanted.first();
}

QFont Gothic(const QStringList& wanted) {
  QFont font(PickFamily(wanted));
  font.setPixelSize(kPixelSize);
  font.setStyleHint(QFont::SansSerif);
  return font;
}

}  // namespace

QFont WindowFont() {
  return Gothic({QStringLiteral("ＭＳ ゴシック"), QStringLiteral("MS Gothic"), QStringLiteral("IPAGothic"),
                 QStringLiteral("Noto Sans Mono CJK JP"), QStringLiteral("Noto Sans CJK JP")});
}

QFont ProportionalFont() {
  return Gothic({QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("MS PGothic"),
                 QStringLiteral("IPAPGothic"), QStringLiteral("Noto Sans CJK JP")});
}

LineMetrics PackedLines(const QFont& font) {
  const QFontMetrics metrics(font);
  // A line is the face's em and a pixel between lines; the baseline sits as far
  // above the line's bottom as Latin descenders and the underscore of a file name
  // reach below it. Ideographs then keep their whole ink but for a faint top row.
  const int step = std::min(QFontInfo(font).pixelSize() + 1, metrics.height());
  const int descent = metrics.tightBoundingRect(QStringLiteral("gjpqy_")).bottom();
  return {step, std::clamp(step - descent, 1, step)};
}

}  // namespace vorn::gui
