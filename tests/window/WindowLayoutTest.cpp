#include "tests/window/WrittenLayout.h"
#include "ui/CAboutDlg.h"
#include "ui/CDatagramDlg.h"
#include "ui/DialogUnits.h"
#include "ui/MainWindowTemplate.h"

#include <QAccessible>
#include <QCheckBox>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGlyphRun>
#include <QLabel>
#include <QPushButton>
#include <QRawFont>
#include <QSet>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTextLayout>

#include <iterator>

#include <gtest/gtest.h>

namespace {

using Control = MainWindowTemplate::Control;
using window_test::kWrittenLayout;
using window_test::WrittenControl;

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

// The widget the window built for a row; a label is found by its caption.
template <typename Row> QWidget* widgetFor(const CDatagramDlg& dialog, const Row& c)
{
    return c.id >= 0 ? dialog.control(c.id) : labelWithText(dialog, QString::fromUtf8(c.caption));
}

template <typename Row> std::string describe(const Row& c)
{
    return c.id >= 0 ? std::to_string(c.id) : c.caption;
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
    EXPECT_TRUE(QFontDatabase::writingSystems(family).contains(QFontDatabase::SimplifiedChinese))
        << family.toStdString();
    EXPECT_EQ(familyDrawing(QStringLiteral("ABCxyz"), font), family);
    EXPECT_EQ(familyDrawing(QString::fromUtf8("服务器端口"), font), family);

    // An installed family stands for itself.
    const QFont own = DialogUnits::standInFont(family, 12);
    EXPECT_EQ(QFontInfo(own).family(), family);
    EXPECT_EQ(QFontInfo(own).pointSize(), 12);
}

// The template holds the written layout, row for row in the same order (the
// tab order), and the window builds each control at its rectangle.
TEST(MainWindowTemplate, HoldsTheWrittenLayoutInItsOrder)
{
    ASSERT_EQ(MainWindowTemplate::size(), std::size(kWrittenLayout));
    EXPECT_EQ(MainWindowTemplate::kWidth, window_test::kWrittenWidth);
    EXPECT_EQ(MainWindowTemplate::kHeight, window_test::kWrittenHeight);
    const Control* c = MainWindowTemplate::begin();
    for (const WrittenControl& w : kWrittenLayout) {
        SCOPED_TRACE(describe(w));
        EXPECT_EQ(c->id, w.id);
        EXPECT_STREQ(c->caption, w.caption);
        EXPECT_EQ(QRect(c->x, c->y, c->width, c->height), QRect(w.x, w.y, w.width, w.height));
        EXPECT_EQ(c->initiallyDisabled, w.disabled);
        EXPECT_EQ(c->kind == MainWindowTemplate::Kind::Label, w.id < 0);
        ++c;
    }
}

TEST(MainWindowLayout, EveryControlStandsAtItsDialogUnitRectangle)
{
    CDatagramDlg dialog;
    const DialogUnits units(dialog.font());
    for (const WrittenControl& w : kWrittenLayout) {
        QWidget* widget = widgetFor(dialog, w);
        ASSERT_NE(widget, nullptr) << describe(w);
        EXPECT_EQ(widget->geometry(), units.toPixels(w.x, w.y, w.width, w.height)) << describe(w);
        EXPECT_EQ(widget->isEnabled(), !w.disabled) << describe(w);
    }
    EXPECT_EQ(dialog.findChildren<QLabel*>().size(), 4);
}

// Fields are named by the label beside them, controls whose captions repeat
// on both sides by side; every control a user can reach has its own name.
TEST(MainWindowLayout, EveryControlHasTheNameAScreenReaderSpeaks)
{
    CDatagramDlg dialog;
    QStringList reachable;
    for (const Control* c = MainWindowTemplate::begin(); c != MainWindowTemplate::end(); ++c) {
        QWidget* widget = widgetFor(dialog, *c);
        ASSERT_NE(widget, nullptr) << describe(*c);
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
        ASSERT_NE(accessible, nullptr) << describe(*c);
        const QString name = accessible->text(QAccessible::Name);
        // Its own name where it has one, else its label's caption, else its own.
        QString expected = QString::fromUtf8(c->caption);
        for (const Control* label = MainWindowTemplate::begin(); label != MainWindowTemplate::end(); ++label)
            if (c->id >= 0 && label->buddy == c->id)
                expected = QString::fromUtf8(label->caption);
        if (*c->accessibleName)
            expected = QString::fromUtf8(c->accessibleName);
        EXPECT_FALSE(name.isEmpty()) << describe(*c);
        EXPECT_EQ(name, expected) << describe(*c);
        if (widget->focusPolicy() & Qt::TabFocus)
            reachable << name;
    }
    EXPECT_EQ(reachable.size(), 18);
    EXPECT_EQ(reachable.size(), QSet<QString>(reachable.begin(), reachable.end()).size())
        << reachable.join('|').toStdString();
    // The visible captions stay as they were.
    for (int id : { 1001, 1013 })
        EXPECT_EQ(dialog.fields().text(id), QString::fromUtf8("开始"));
    EXPECT_EQ(dialog.fields().text(1003), dialog.fields().text(1016));
}

// Every caption fits its control at its dialog-unit size: nothing is clipped,
// at whatever scale factor the run uses (CTest runs this table again at 2).
// A button's size hint has a style minimum, so its caption is measured
// against the part of the button the style draws text in.
TEST(MainWindowLayout, EveryCaptionFitsItsControl)
{
    CDatagramDlg dialog;
    int checked = 0;
    for (QWidget* widget : dialog.findChildren<QWidget*>()) {
        const QString text = widget->property("text").toString();
        QRect room;
        if (auto* label = qobject_cast<QLabel*>(widget)) {
            room = label->contentsRect();
        } else if (auto* button = qobject_cast<QPushButton*>(widget)) {
            QStyleOptionButton option;
            option.initFrom(button);
            option.text = text;
            room = button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
        } else if (auto* box = qobject_cast<QCheckBox*>(widget)) {
            QStyleOptionButton option;
            option.initFrom(box);
            option.text = text;
            room = box->style()->subElementRect(QStyle::SE_CheckBoxContents, &option, box);
        } else {
            continue;
        }
        const QFontMetrics metrics(widget->font());
        EXPECT_LE(metrics.horizontalAdvance(text), room.width()) << text.toStdString();
        EXPECT_LE(metrics.height(), room.height()) << text.toStdString();
        ++checked;
    }
    EXPECT_EQ(checked, 4 + 8 + 1); // labels, push buttons, the check box
}

TEST(MainWindowLayout, ClientAreaIsExactlyTheTemplateSizeAndFixed)
{
    CDatagramDlg dialog;
    // The 9-point "宋体" of the written design, or its stand-in.
    const QFont font = DialogUnits::standInFont(QString::fromUtf8("宋体"), 9);
    const QSize size = DialogUnits(font).toPixels(window_test::kWrittenWidth, window_test::kWrittenHeight);
    EXPECT_EQ(dialog.size(), size);
    EXPECT_EQ(dialog.minimumSize(), size);
    EXPECT_EQ(dialog.maximumSize(), size);
    EXPECT_EQ(dialog.font(), font);
    EXPECT_EQ(dialog.control(1001)->font(), font);
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
    for (QLabel* line : { about.nameLabel(), about.noticeLabel() }) {
        const QFontMetrics metrics(line->font());
        EXPECT_LE(metrics.horizontalAdvance(line->text()), line->width()) << line->text().toStdString();
        EXPECT_FALSE(line->text().contains(QLatin1Char('\n')));
    }
}
