#include "dialog_units.h"

#include <algorithm>

#include <QFontDatabase>
#include <QFontMetrics>

namespace plexor {

namespace {

// value * numerator / denominator, rounded half away from zero.
int ScaleRounded(int value, int numerator, int denominator)
{
    const long long product = static_cast<long long>(value) * numerator;
    const long long half = denominator / 2;
    const long long rounded = product >= 0 ? (product + half) / denominator : (product - half) / denominator;
    return static_cast<int>(rounded);
}

int AverageLetterWidth(const QFontMetrics& metrics)
{
    static const QString kLetters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    return ScaleRounded(metrics.horizontalAdvance(kLetters), 1, static_cast<int>(kLetters.size()));
}

} // namespace

DialogUnits::DialogUnits(const QFont& font)
    : DialogUnits(AverageLetterWidth(QFontMetrics(font)), QFontMetrics(font).height())
{
}

// A font without metrics (no font files at all) must not collapse the
// window to nothing, so each base unit is at least one pixel.
DialogUnits::DialogUnits(int baseUnitX, int baseUnitY)
    : m_baseUnitX(std::max(baseUnitX, 1))
    , m_baseUnitY(std::max(baseUnitY, 1))
{
}

int DialogUnits::ToPixelsX(int units) const
{
    return ScaleRounded(units, m_baseUnitX, 4);
}

int DialogUnits::ToPixelsY(int units) const
{
    return ScaleRounded(units, m_baseUnitY, 8);
}

QRect DialogUnits::ToPixels(int x, int y, int width, int height) const
{
    return {ToPixelsX(x), ToPixelsY(y), ToPixelsX(width), ToPixelsY(height)};
}

QSize DialogUnits::ToPixels(int width, int height) const
{
    return {ToPixelsX(width), ToPixelsY(height)};
}

QRect DialogUnitsToPixels(const QFont& font, int x, int y, int width, int height)
{
    return DialogUnits(font).ToPixels(x, y, width, height);
}

QFont TemplateFont(const QString& family, int pointSize)
{
    QFont font = QFontDatabase::hasFamily(family) ? QFont(family) : QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setPointSize(pointSize);
    return font;
}

} // namespace plexor
