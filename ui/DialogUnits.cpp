#include "DialogUnits.h"

#include <QFontMetrics>

namespace {

// Multiplies then divides, rounding half away from zero.
int mulDiv(int value, int numerator, int denominator)
{
    const long long product = static_cast<long long>(value) * numerator;
    const long long half = denominator / 2;
    return static_cast<int>(product >= 0 ? (product + half) / denominator : (product - half) / denominator);
}

} // namespace

DialogUnits::DialogUnits(const QFont& font)
{
    const QFontMetrics metrics(font);
    const int total = metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    m_baseX = (total / 26 + 1) / 2;
    m_baseY = metrics.height();
}

DialogUnits::DialogUnits(int baseX, int baseY)
    : m_baseX(baseX)
    , m_baseY(baseY)
{
}

int DialogUnits::toPixelsX(int units) const
{
    return mulDiv(units, m_baseX, 4);
}

int DialogUnits::toPixelsY(int units) const
{
    return mulDiv(units, m_baseY, 8);
}

QRect DialogUnits::toPixels(int x, int y, int width, int height) const
{
    return QRect(toPixelsX(x), toPixelsY(y), toPixelsX(width), toPixelsY(height));
}

QSize DialogUnits::toPixels(int width, int height) const
{
    return QSize(toPixelsX(width), toPixelsY(height));
}
