#include "ui/DialogUnits.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QGlyphRun>
#include <QRawFont>
#include <QTextLayout>

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
    // Whole-pixel advances letter by letter, without kerning, as the
    // classic text extent adds them up.
    int total = 0;
    for (const QChar letter : QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"))
        total += metrics.horizontalAdvance(letter);
    m_baseX = (total / 26 + 1) / 2;
    m_baseY = metrics.height();
}

QFont DialogUnits::standInFont(const QString& family, int pointSize)
{
    const QFont requested(family, pointSize);
    // A platform without a font database (minimal, offscreen with no fonts
    // installed) draws with a stand-in engine that names no family, and
    // QRawFont::familyName() fails on it: keep the requested font.
    if (QFontDatabase::families().isEmpty())
        return requested;
    QTextLayout layout(QString::fromUtf8("宋体"), requested);
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
    const QList<QGlyphRun> runs = layout.glyphRuns();
    if (runs.isEmpty() || !runs.first().rawFont().isValid())
        return requested;
    const QString used = runs.first().rawFont().familyName();
    return used.isEmpty() ? requested : QFont(used, pointSize);
}

DialogUnits::DialogUnits(int baseX, int baseY)
    : m_baseX(baseX)
    , m_baseY(baseY)
{}

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
