#include "tests/window/WindowHarness.h"
#include "text/NarrowEncoding.h"
#include "ui/CAboutDlg.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QWindow>

#include <gtest/gtest.h>

using namespace window_test;

namespace {

QStringList entries(const QMenu& menu)
{
    QStringList texts;
    for (const QAction* action : menu.actions())
        texts << (action->isSeparator() ? QStringLiteral("-") : action->text());
    return texts;
}

QAction* entry(const QMenu& menu, const QString& startingWith)
{
    for (QAction* action : menu.actions())
        if (!action->isSeparator() && action->text().startsWith(startingWith))
            return action;
    return nullptr;
}

bool hasBothIconSizes(const QIcon& icon)
{
    const QList<QSize> sizes = icon.availableSizes();
    return sizes.contains(QSize(32, 32)) && sizes.contains(QSize(16, 16));
}

void sendContextMenu(QWidget* target, QContextMenuEvent::Reason reason, const QPoint& pos)
{
    QContextMenuEvent event(reason, pos, target->mapToGlobal(pos));
    QApplication::sendEvent(target, &event);
}

} // namespace

TEST(WindowDecorations, ATopLevelWindowWithAMinimiseBoxAndNoMaximiseBox)
{
    CDatagramDlg dialog;
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Quorlin"));
    EXPECT_EQ(dialog.parentWidget(), nullptr);
    // A plain window, not a transient dialog: it gets its own task-bar entry.
    EXPECT_EQ(dialog.windowType(), Qt::Window);
    const Qt::WindowFlags flags = dialog.windowFlags();
    EXPECT_TRUE(flags.testFlag(Qt::WindowTitleHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowSystemMenuHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowContextHelpButtonHint));
    EXPECT_FALSE(dialog.isSizeGripEnabled());
}

TEST(WindowDecorations, TheWindowCarriesBothImagesOfTheIcon)
{
    CDatagramDlg dialog;
    EXPECT_TRUE(hasBothIconSizes(dialog.windowIcon()));
    const QImage large = dialog.windowIcon().pixmap(32, 32).toImage();
    ASSERT_EQ(large.size(), QSize(32, 32));
    // Artwork with a transparent surround, not a blank or square fill.
    EXPECT_EQ(qAlpha(large.pixel(0, 0)), 0);
    EXPECT_EQ(qAlpha(large.pixel(16, 16)), 255);
}

TEST(WindowMenu, HoldsTheWindowCommandsThenASeparatorAndTheAboutEntry)
{
    CDatagramDlg dialog;
    ASSERT_NE(dialog.windowMenu(), nullptr);
    const QStringList expected = { QString::fromUtf8("最小化(&N)"), QString::fromUtf8("关闭(&C)\tAlt+F4"),
        QStringLiteral("-"), QString::fromUtf8("关于 Quorlin(&A)...") };
    EXPECT_EQ(entries(*dialog.windowMenu()), expected);
}

TEST(WindowMenu, CloseRunsTheCloseSequence)
{
    CDatagramDlg dialog;
    CloseCounter closes(dialog);
    const int result = runModal(dialog, [&] {
        dialog.fields().setText(1009, freePort());
        dialog.fields().setText(1006, QStringLiteral("127.0.0.1"));
        qobject_cast<QPushButton*>(dialog.control(1001))->click();
        ASSERT_TRUE(dialog.server().listening());
        entry(*dialog.windowMenu(), QString::fromUtf8("关闭"))->trigger();
    });
    EXPECT_EQ(result, QDialog::Rejected);
    EXPECT_EQ(closes.count, 1);
    EXPECT_FALSE(dialog.server().listening());
    // The close sequence's stop resets the buttons.
    EXPECT_TRUE(dialog.control(1001)->isEnabled());
    EXPECT_FALSE(dialog.control(1002)->isEnabled());
}

TEST(WindowMenu, MinimiseMinimisesTheWindow)
{
    CDatagramDlg dialog;
    ASSERT_TRUE(showActive(dialog));
    dialog.fields().setText(1009, QStringLiteral("777"));
    entry(*dialog.windowMenu(), QString::fromUtf8("最小化"))->trigger();
    EXPECT_TRUE(dialog.windowState().testFlag(Qt::WindowMinimized));
    EXPECT_TRUE(dialog.isVisible());
    QCoreApplication::processEvents();
    // Minimising and restoring is no show notice: what was typed stays.
    // The restore comes as from the window system: the platform window
    // changes state and the widget learns it from there.
    dialog.windowHandle()->showNormal();
    EXPECT_TRUE(spinUntil([&] { return !dialog.windowState().testFlag(Qt::WindowMinimized); }));
    EXPECT_TRUE(makeActive(dialog));
    EXPECT_EQ(dialog.fields().text(1009), QStringLiteral("777"));
}

TEST(WindowMenu, OpensFromAltSpaceTheMenuKeyAndARightClickOnTheBackground)
{
    CDatagramDlg dialog;
    ASSERT_TRUE(showActive(dialog));
    QMenu* menu = dialog.windowMenu();

    QTest::keyClick(dialog.focusWidget(), Qt::Key_Space, Qt::AltModifier);
    EXPECT_TRUE(spinUntil([&] { return menu->isVisible(); }));
    menu->hide();

    // The menu key on a button: the button has no menu of its own.
    dialog.control(1001)->setFocus();
    sendContextMenu(dialog.control(1001), QContextMenuEvent::Keyboard, QPoint(2, 2));
    EXPECT_TRUE(menu->isVisible());
    menu->hide();

    // The background, and a label, which is part of it.
    sendContextMenu(&dialog, QContextMenuEvent::Mouse, QPoint(1, 1));
    EXPECT_TRUE(menu->isVisible());
    menu->hide();
    QLabel* label = dialog.findChild<QLabel*>();
    sendContextMenu(label, QContextMenuEvent::Mouse, QPoint(1, 1));
    EXPECT_TRUE(menu->isVisible());
    menu->hide();

    // A right click on a button is the button's, not the window's.
    sendContextMenu(dialog.control(1003), QContextMenuEvent::Mouse, QPoint(2, 2));
    EXPECT_FALSE(menu->isVisible());
}

TEST(AboutBox, ShowsCaptionIconVersionNoticeAndADefaultOk)
{
    CAboutDlg about;
    EXPECT_EQ(about.windowTitle(), QString::fromUtf8("关于 Quorlin"));
    EXPECT_EQ(about.nameLabel()->text(), QString::fromUtf8("Quorlin 1.0 版"));
    EXPECT_EQ(about.nameLabel()->textFormat(), Qt::PlainText);
    // The second line names the encoding datagrams are shown and sent in.
    EXPECT_EQ(about.noticeLabel()->text(), QString::fromUtf8("文本编码 ") + NarrowEncoding::process().name().c_str());
    EXPECT_EQ(about.noticeLabel()->textFormat(), Qt::PlainText);
    EXPECT_EQ(about.okButton()->text(), QString::fromUtf8("确定"));
    EXPECT_TRUE(about.okButton()->isDefault());
    EXPECT_EQ(about.iconLabel()->pixmap().size(), QSize(32, 32));
    EXPECT_FALSE(about.windowFlags().testFlag(Qt::WindowContextHelpButtonHint));
    EXPECT_FALSE(about.windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
}

TEST(AboutBox, EscAndEnterCloseIt)
{
    for (Qt::Key key : { Qt::Key_Escape, Qt::Key_Return }) {
        CAboutDlg about;
        QTimer::singleShot(0, &about, [&] {
            EXPECT_TRUE(makeActive(about));
            QTest::keyClick(about.focusWidget(), key);
        });
        QTimer::singleShot(3000, &about, [&] { about.done(kStillRunning); });
        const int result = about.exec();
        EXPECT_EQ(result, key == Qt::Key_Escape ? QDialog::Rejected : QDialog::Accepted);
    }
}

// The About entry opens the box modally over the window, and the server's
// receive thread goes on logging behind it.
TEST(AboutBox, OpensFromTheWindowMenuWhileTheReceiveThreadsKeepLogging)
{
    CDatagramDlg dialog;
    ASSERT_TRUE(showActive(dialog));
    const QString port = freePort();
    dialog.fields().setText(1009, port);
    qobject_cast<QPushButton*>(dialog.control(1001))->click();
    ASSERT_TRUE(dialog.server().listening());
    LoopbackPeer sender("127.0.0.1", 0);
    ASSERT_TRUE(sender.ok());

    CAboutDlg* seen = nullptr;
    bool parentIsWindow = false;
    bool loggedWhileOpen = false;
    QTimer::singleShot(0, &dialog, [&] {
        seen = qobject_cast<CAboutDlg*>(QApplication::activeModalWidget());
        if (!seen)
            return;
        parentIsWindow = seen->parentWidget() == &dialog;
        sender.sendTo("behind the box", static_cast<std::uint16_t>(port.toInt()));
        loggedWhileOpen = spinUntil([&] { return dialog.fields().text(1000) == QStringLiteral("\nbehind the box"); });
        loggedWhileOpen = loggedWhileOpen && seen->isVisible();
        seen->accept();
    });
    QTimer::singleShot(5000, &dialog, [] {
        if (auto* open = qobject_cast<CAboutDlg*>(QApplication::activeModalWidget()))
            open->reject();
    });
    entry(*dialog.windowMenu(), QString::fromUtf8("关于"))->trigger();

    ASSERT_NE(seen, nullptr);
    EXPECT_TRUE(parentIsWindow);
    EXPECT_TRUE(loggedWhileOpen);
    EXPECT_TRUE(dialog.isVisible());
    dialog.reject();
}
