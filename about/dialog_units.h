#pragma once

#include <QFont>
#include <QRect>
#include <QSize>
#include <QString>

namespace plexor {

// Maps the dialog units of a dialog template to pixels for one dialog font,
// so a window laid out in dialog units scales with the font it is shown in.
// The horizontal base unit is the average width of the letters A-Z and a-z,
// the vertical base unit the font height; a dialog unit is a quarter of the
// horizontal and an eighth of the vertical base unit. Results are rounded to
// the nearest pixel.
class DialogUnits final
{
public:
    explicit DialogUnits(const QFont& font);
    // For fixed base units (both at least 1).
    DialogUnits(int baseUnitX, int baseUnitY);

    int BaseUnitX() const { return m_baseUnitX; }
    int BaseUnitY() const { return m_baseUnitY; }

    int ToPixelsX(int units) const;
    int ToPixelsY(int units) const;
    QRect ToPixels(int x, int y, int width, int height) const;
    QSize ToPixels(int width, int height) const;

private:
    int m_baseUnitX;
    int m_baseUnitY;
};

QRect DialogUnitsToPixels(const QFont& font, int x, int y, int width, int height);

// The template font `family` at `pointSize` points when the system has that
// family; otherwise the platform's general (sans-serif) font at that size.
QFont TemplateFont(const QString& family, int pointSize);

} // namespace plexor
