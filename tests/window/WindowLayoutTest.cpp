#include "CAboutDlg.h"
#include "CDatagramDlg.h"
#include "DialogUnits.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QGlyphRun>
#include <QLabel>
#include <QPushButton>
#include <QRawFont>
#include <QTextLayout>

#include <gtest/gtest.h>

namespace {

struct Placed {
    int id;           // -1: a label, found by its caption
    const char* text; // the label's caption
    int x, y, width, height;
};

// The window's controls in dialog units, as designed.
const Placed kMainWindow[] = {
    {1000, "", 5, 25, 210, 90},
    {1001, "", 215, 5, 50, 14},
    {1002, "", 265, 5, 50, 14},
    {1003, "", 265, 175, 50, 14},
    {1004, "", 5, 175, 247, 14},
    {1006, "", 49, 155, 85, 14},
    {1007, "", 170, 155, 25, 15},
    {-1, "目的IP地址", 5, 157, 41, 8},
    {-1, "目的端口", 136, 158, 33, 8},
    {1008, "", 55, 5, 80, 14},
    {1009, "", 185, 5, 25, 15},
    {-1, "服务器IP地址", 5, 8, 49, 8},
    {-1, "服务器端口", 140, 9, 41, 8},
    {1010, "", 287, 122, 32, 10},
    {1012, "", 5, 195, 310, 90},
    {1013, "", 215, 155, 50, 14},
    {1014, "", 265, 155, 50, 14},
    {1016, "", 220, 120, 50, 14},
    {1017, "", 5, 120, 210, 14},
    {1018, "", 220, 25, 95, 75},
    {1020, "", 220, 102, 45, 14},
    {1021, "", 270, 102, 45, 14},
};

QLabel* labelWithText(const QWidget& window, const QString& text)
{
    for (QLabel* label : window.findChildren<QLabel*>())
        if (label->text() == text)
            return label;
    return nullptr;
}

QString familyDrawing(const QString& text, const QFont& font)
{
    QTextLayout layout(text, font);
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
    const QList<QGlyphRun> runs = layout.glyphRuns();
    return runs.size() == 1 ? runs.first().rawFont().familyName() : QStringLiteral("(several fonts)");
}

} // namespace

TEST(DialogUnits, ConvertLikeMulDivRoundingHalvesAwayFromZero)
{
    const DialogUnits units(7, 14);
    // 5*7/4 = 8.75, 25*14/8 = 43.75, 210*7/4 = 367.5, 90*14/8 = 157.5
    EXPECT_EQ(units.toPixels(5, 25, 210, 90), QRect(9, 44, 368, 158));
    EXPECT_EQ(units.toPixels(322, 295), QSize(564, 516));
    EXPECT_EQ(units.toPixelsX(-2), -4); // -3.5
    EXPECT_EQ(units.toPixelsY(0), 0);

    const DialogUnits odd(6, 13);
    EXPECT_EQ(odd.toPixels(1, 1), QSize(2, 2)); // 1.5 and 1.625
    EXPECT_EQ(odd.toPixels(3, 3), QSize(5, 5)); // 4.5 and 4.875
}

// "宋体" is not installed here: one stand-in font must draw both the Latin
// letters the base units are measured from and the Chinese captions.
TEST(DialogUnits, TheStandInFontDrawsChineseAndLatinItself)
{
    const QFont font = DialogUnits::standInFont(QString::fromUtf8("宋体"), 9);
    const QString family = QFontInfo(font).family();
    EXPECT_EQ(QFontInfo(font).pointSize(), 9);
    EXPECT_TRUE(QFontDatabase::writingSystems(family).contains(QFontDatabase::SimplifiedChinese)) << family.toStdString();
    EXPECT_EQ(familyDrawing(QStringLiteral("ABCxyz"), font), family);
    EXPECT_EQ(familyDrawing(QString::fromUtf8("服务器端口"), font), family);

    // An installed family stands for itself.
    const QFont own = DialogUnits::standInFont(family, 12);
    EXPECT_EQ(QFontInfo(own).family(), family);
    EXPECT_EQ(QFontInfo(own).pointSize(), 12);
}

TEST(MainWindowLayout, EveryControlStandsAtItsDialogUnitRectangle)
{
    CDatagramDlg dialog;
    const DialogUnits units(dialog.fields().dialogFont());
    for (const Placed& p : kMainWindow) {
        QWidget* widget = p.id >= 0 ? dialog.control(p.id) : labelWithText(dialog, QString::fromUtf8(p.text));
        ASSERT_NE(widget, nullptr) << p.id << " " << p.text;
        EXPECT_EQ(widget->geometry(), units.toPixels(p.x, p.y, p.width, p.height)) << p.id << " " << p.text;
    }
    EXPECT_EQ(dialog.findChildren<QLabel*>().size(), 4);
}

TEST(MainWindowLayout, ClientAreaIsExactlyTheTemplateSizeAndFixed)
{
    CDatagramDlg dialog;
    const DialogUnits units(dialog.fields().dialogFont());
    const QSize size = units.toPixels(322, 295);
    EXPECT_EQ(dialog.size(), size);
    EXPECT_EQ(dialog.minimumSize(), size);
    EXPECT_EQ(dialog.maximumSize(), size);
    EXPECT_EQ(dialog.fields().dialogFont(), DialogUnits::standInFont(QString::fromUtf8("宋体"), 9));
    EXPECT_EQ(dialog.font(), dialog.fields().dialogFont());
    EXPECT_EQ(dialog.control(1001)->font(), dialog.fields().dialogFont());
}

TEST(AboutBox, ControlsStandAtTheirDialogUnitRectangles)
{
    CAboutDlg about;
    const DialogUnits units(about.font());
    EXPECT_EQ(about.font(), DialogUnits::standInFont(QString::fromUtf8("宋体"), 9));
    EXPECT_EQ(about.size(), units.toPixels(235, 55));
    EXPECT_EQ(about.minimumSize(), about.maximumSize());
    EXPECT_EQ(about.iconLabel()->geometry(), units.toPixels(11, 17, 20, 20));
    EXPECT_EQ(about.nameLabel()->geometry(), units.toPixels(40, 10, 119, 8));
    EXPECT_EQ(about.noticeLabel()->geometry(), units.toPixels(40, 25, 119, 8));
    EXPECT_EQ(about.okButton()->geometry(), units.toPixels(178, 7, 50, 14));
}

// The texts must fit their controls in the font the box is drawn with.
TEST(AboutBox, TextsFitTheirLines)
{
    CAboutDlg about;
    for (QLabel* line : {about.nameLabel(), about.noticeLabel()}) {
        const QFontMetrics metrics(line->font());
        EXPECT_LE(metrics.horizontalAdvance(line->text()), line->width()) << line->text().toStdString();
        EXPECT_FALSE(line->text().contains(QLatin1Char('\n')));
    }
}
