#pragma once

#include <QFont>
#include <QRect>
#include <QSize>

// Converts dialog units to pixels the way the classic dialog manager does:
// the horizontal base is the average width of the 52 letters A-Z a-z, the
// vertical base the font's height; x pixels = x * baseX / 4 and
// y pixels = y * baseY / 8, rounded half away from zero.
class DialogUnits {
public:
    explicit DialogUnits(const QFont& font);
    DialogUnits(int baseX, int baseY);

    // The font a dialog asking for `family` is drawn in. Where the family is
    // not installed, the font that the normal fallback draws Chinese text
    // with stands in for all of it, Latin letters included, so that the
    // base units are those of the glyphs actually on screen.
    static QFont standInFont(const QString& family, int pointSize);

    int baseX() const { return m_baseX; }
    int baseY() const { return m_baseY; }

    int toPixelsX(int units) const;
    int toPixelsY(int units) const;
    QRect toPixels(int x, int y, int width, int height) const;
    QSize toPixels(int width, int height) const;

private:
    int m_baseX;
    int m_baseY;
};
