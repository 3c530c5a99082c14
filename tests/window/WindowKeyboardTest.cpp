#include "tests/support/SpinUntil.h"
#include "tests/window/WindowHarness.h"
#include "tests/window/WrittenLayout.h"
#include "ui/CAboutDlg.h"
#include "ui/PeerListBox.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

using namespace window_test;

namespace {

// Every control but the labels, in the written layout's order: the tab order.
std::vector<int> templateOrder()
{
    std::vector<int> ids;
    for (const WrittenControl& c : kWrittenLayout)
        if (c.id >= 0)
            ids.push_back(c.id);
    return ids;
}
const std::vector<int> kTemplateOrder = templateOrder();
const std::vector<int> kSingleLineFields = { 1004, 1006, 1007, 1008, 1009, 1017 };
const std::vector<int> kEnabledButtons = { 1001, 1003, 1013, 1016, 1020, 1021 };

// Watches every push button's clicks.
struct ClickWatch {
    explicit ClickWatch(const QWidget& window)
    {
        for (QPushButton* button : window.findChildren<QPushButton*>())
            spies.push_back(std::make_unique<QSignalSpy>(button, &QAbstractButton::clicked));
    }
    int total() const
    {
        int n = 0;
        for (const auto& spy : spies)
            n += static_cast<int>(spy->count());
        return n;
    }
    std::vector<std::unique_ptr<QSignalSpy>> spies;
};

int idOf(const CDatagramDlg& dialog, const QWidget* widget)
{
    for (int id : kTemplateOrder)
        if (dialog.control(id) == widget)
            return id;
    return -1;
}

// Presses a key on whatever has the focus, as the keyboard would.
void press(CDatagramDlg& dialog, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QTest::keyClick(dialog.focusWidget(), key, modifiers);
}

// Puts the focus on a control and checks that it took it.
void focus(CDatagramDlg& dialog, int id)
{
    dialog.control(id)->setFocus();
    EXPECT_EQ(dialog.focusWidget(), dialog.control(id)) << id;
}

} // namespace

TEST(WindowKeyboard, TheServerLogHasTheFocusWhenTheWindowFirstAppears)
{
    CDatagramDlg dialog;
    ASSERT_TRUE(showActive(dialog));
    EXPECT_EQ(QApplication::focusWidget(), dialog.control(1000));
}

TEST(WindowKeyboard, TabAndShiftTabFollowTheTemplateOrderAndWrapAround)
{
    CDatagramDlg dialog;
    ASSERT_TRUE(showActive(dialog));
    // The stop buttons start disabled and are passed over...
    press(dialog, Qt::Key_Tab);
    press(dialog, Qt::Key_Tab);
    EXPECT_EQ(idOf(dialog, dialog.focusWidget()), 1003);
    press(dialog, Qt::Key_Backtab, Qt::ShiftModifier);
    press(dialog, Qt::Key_Backtab, Qt::ShiftModifier);
    ASSERT_EQ(idOf(dialog, dialog.focusWidget()), 1000);
    // ...and enabled, they take their place in the order.
    dialog.fields().enableButton(1002, true);
    dialog.fields().enableButton(1014, true);

    std::vector<int> forward;
    for (std::size_t i = 0; i < kTemplateOrder.size(); ++i) {
        press(dialog, Qt::Key_Tab);
        forward.push_back(idOf(dialog, dialog.focusWidget()));
    }
    std::vector<int> expected(kTemplateOrder.begin() + 1, kTemplateOrder.end());
    expected.push_back(1000);
    EXPECT_EQ(forward, expected);

    std::vector<int> backward;
    for (std::size_t i = 0; i < kTemplateOrder.size(); ++i) {
        press(dialog, Qt::Key_Backtab, Qt::ShiftModifier);
        backward.push_back(idOf(dialog, dialog.focusWidget()));
    }
    expected.assign(kTemplateOrder.rbegin(), kTemplateOrder.rend());
    EXPECT_EQ(backward, expected);

    // Neither log kept a Tab character on the way.
    EXPECT_EQ(dialog.fields().text(1000), QString());
    EXPECT_EQ(dialog.fields().text(1012), QString());
}

TEST(WindowKeyboard, EscEndsTheRunAsACancelFromEveryControlWithoutTheCloseSequence)
{
    for (int id : kTemplateOrder) {
        if (id == 1002 || id == 1014)
            continue; // disabled: they cannot hold the focus
        CDatagramDlg dialog;
        CloseCounter closes(dialog);
        const int result = runModal(dialog, [&] {
            focus(dialog, id);
            press(dialog, Qt::Key_Escape);
        });
        EXPECT_EQ(result, QDialog::Rejected) << id;
        EXPECT_EQ(closes.count, 0) << id;
        EXPECT_FALSE(dialog.isVisible()) << id;
    }
}

TEST(WindowKeyboard, EnterInASingleLineFieldTheCheckBoxOrTheListEndsTheRunAsAnOk)
{
    std::vector<int> ids = kSingleLineFields;
    ids.push_back(1010);
    ids.push_back(1018);
    for (int id : ids) {
        for (Qt::Key key : { Qt::Key_Return, Qt::Key_Enter }) {
            CDatagramDlg dialog;
            ClickWatch clicks(dialog);
            CloseCounter closes(dialog);
            // A list with a current entry still hands Enter to the window.
            dialog.fields().peerRegister(QStringLiteral("127.0.0.1:50001"));
            const int result = runModal(dialog, [&] {
                focus(dialog, id);
                if (id == 1018)
                    press(dialog, Qt::Key_Down);
                press(dialog, key, key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
            });
            EXPECT_EQ(result, QDialog::Accepted) << id;
            EXPECT_EQ(clicks.total(), 0) << id;
            EXPECT_EQ(closes.count, 0) << id;
        }
    }
}

TEST(WindowKeyboard, EnterOnAFocusedButtonClicksThatButtonOnly)
{
    for (int id : kEnabledButtons) {
        CDatagramDlg dialog;
        ASSERT_TRUE(showActive(dialog));
        // Starting the server must not meet a port in use.
        dialog.fields().setText(1009, freePort());
        ClickWatch clicks(dialog);
        QSignalSpy own(qobject_cast<QPushButton*>(dialog.control(id)), &QAbstractButton::clicked);
        focus(dialog, id);
        press(dialog, Qt::Key_Return);
        EXPECT_EQ(own.count(), 1) << id;
        EXPECT_EQ(clicks.total(), 1) << id;
        EXPECT_TRUE(dialog.isVisible()) << id;
        dialog.reject();
    }
}

TEST(WindowKeyboard, NoButtonBecomesTheDefaultButton)
{
    CDatagramDlg dialog;
    ASSERT_TRUE(showActive(dialog));
    for (int id : kTemplateOrder) {
        dialog.control(id)->setFocus();
        for (QPushButton* button : dialog.findChildren<QPushButton*>())
            EXPECT_FALSE(button->isDefault()) << "focus on " << id;
    }
}

TEST(WindowKeyboard, EnterInALogStartsANewLineAndTheRunGoesOn)
{
    for (int id : { 1000, 1012 }) {
        CDatagramDlg dialog;
        ASSERT_TRUE(showActive(dialog));
        focus(dialog, id);
        QTest::keyClicks(dialog.focusWidget(), QStringLiteral("ab"));
        press(dialog, Qt::Key_Return);
        QTest::keyClicks(dialog.focusWidget(), QStringLiteral("cd"));
        EXPECT_EQ(dialog.fields().text(id), QStringLiteral("ab\ncd")) << id;
        EXPECT_TRUE(dialog.isVisible()) << id;
        EXPECT_EQ(dialog.focusWidget(), dialog.control(id));
        dialog.reject();
    }
}

// Entries stay in insertion order, one line each; the list scrolls
// vertically once they overflow it, never horizontally.
TEST(WindowKeyboard, TheListKeepsInsertionOrderOneLineAnEntry)
{
    CDatagramDlg dialog;
    ASSERT_TRUE(showActive(dialog));
    MainWindowFields& fields = dialog.fields();
    PeerListBox* list = fields.peerList();
    // The last is wider than the list.
    const QStringList expected
        = { "127.0.0.9:9", "127.0.0.1:50001", "10.0.0.5:4000", "255.255.255.255:65535 255.255.255.255:65535" };
    for (const QString& entry : expected)
        fields.peerRegister(entry);
    ASSERT_EQ(fields.peerCount(), expected.size());
    for (int i = 0; i < expected.size(); ++i)
        EXPECT_EQ(fields.peerText(i), expected[i]);
    QCoreApplication::processEvents();
    EXPECT_EQ(list->verticalScrollBar()->maximum(), 0);

    const int line = list->fontMetrics().height();
    for (int i = 0; fields.peerCount() < 40 && i < 40; ++i)
        fields.peerRegister(QStringLiteral("127.0.2.%1:4000").arg(i + 1));
    EXPECT_TRUE(spinUntil([&] { return list->verticalScrollBar()->isVisible(); }));
    EXPECT_FALSE(list->horizontalScrollBar()->isVisible());
    EXPECT_EQ(list->horizontalScrollBar()->maximum(), 0);
    for (int row : { 0, 3, 39 }) {
        const QRect rect = list->visualRect(list->model()->index(row, 0));
        EXPECT_GE(rect.height(), line) << row;
        EXPECT_LT(rect.height(), 2 * line) << row;
        EXPECT_EQ(rect.width(), list->viewport()->width()) << row;
    }
    dialog.reject();
}

// A focused start or stop button that disables itself hands the focus to its
// partner, on Enter or Space; the next Enter then fires the partner.
TEST(WindowKeyboard, AFocusedStartOrStopButtonHandsTheFocusToItsPartner)
{
    struct Step {
        int fired, takesFocus;
    };
    const Step kSteps[] = { { 1001, 1002 }, { 1002, 1001 }, { 1013, 1014 }, { 1014, 1013 } };
    for (Qt::Key key : { Qt::Key_Return, Qt::Key_Space }) {
        CDatagramDlg dialog;
        ASSERT_TRUE(showActive(dialog));
        dialog.fields().setText(1009, freePort());
        dialog.fields().setText(1006, QStringLiteral("127.0.0.1"));
        dialog.fields().setText(1007, freePort());
        for (const Step& step : kSteps) {
            focus(dialog, step.fired);
            press(dialog, key);
            EXPECT_FALSE(dialog.control(step.fired)->isEnabled()) << step.fired;
            EXPECT_EQ(idOf(dialog, dialog.focusWidget()), step.takesFocus) << step.fired << " key " << key;
        }
        // Enter on the partner, where the focus went, stops the side again;
        // the client's send is never reached.
        ClickWatch clicks(dialog);
        QSignalSpy send(qobject_cast<QPushButton*>(dialog.control(1003)), &QAbstractButton::clicked);
        focus(dialog, 1001);
        press(dialog, Qt::Key_Return);
        press(dialog, Qt::Key_Return);
        EXPECT_TRUE(dialog.control(1001)->isEnabled());
        EXPECT_EQ(idOf(dialog, dialog.focusWidget()), 1001);
        EXPECT_EQ(send.count(), 0);
        EXPECT_EQ(clicks.total(), 2);
        dialog.reject();
    }
}

// Buttons switched while the focus is elsewhere leave it where it is, and
// a stop of a side never started takes no focus.
TEST(WindowKeyboard, ButtonsSwitchedWithoutTheFocusLeaveTheFocusAlone)
{
    CDatagramDlg dialog;
    ASSERT_TRUE(showActive(dialog));
    dialog.fields().setText(1009, freePort());
    focus(dialog, 1017);
    dialog.OnServerStart();
    ASSERT_TRUE(dialog.server().listening());
    EXPECT_EQ(idOf(dialog, dialog.focusWidget()), 1017);
    dialog.OnServerStop();
    dialog.OnClientStop();
    EXPECT_EQ(idOf(dialog, dialog.focusWidget()), 1017);
    dialog.reject();
}

// A single-selection list box the user cannot empty: Ctrl+click and
// Ctrl+Space keep the selected entry; the list still starts with nothing
// selected, and deleting the selected entry leaves nothing selected. The
// arrows move the selection and Tab leaves the list.
TEST(WindowKeyboard, TheUserCannotEmptyThePeerListsSelection)
{
    CDatagramDlg dialog;
    ASSERT_TRUE(showActive(dialog));
    MainWindowFields& fields = dialog.fields();
    PeerListBox* list = fields.peerList();
    for (const char* entry : { "127.0.0.1:50001", "127.0.0.5:4000", "127.0.0.9:9" })
        fields.peerRegister(QString::fromLatin1(entry));
    EXPECT_EQ(fields.peerSelection(), -1);
    const auto clickRow = [&](int row, Qt::KeyboardModifiers modifiers) {
        const QPoint at = list->visualItemRect(list->item(row, 0)).center();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, modifiers, at);
    };

    clickRow(1, Qt::NoModifier);
    ASSERT_EQ(fields.peerSelection(), 1);
    clickRow(1, Qt::ControlModifier);
    EXPECT_EQ(fields.peerSelection(), 1);
    focus(dialog, 1018);
    press(dialog, Qt::Key_Space, Qt::ControlModifier);
    EXPECT_EQ(fields.peerSelection(), 1);
    // Moving and choosing another entry still works, with or without Ctrl.
    clickRow(2, Qt::ControlModifier);
    EXPECT_EQ(fields.peerSelection(), 2);
    press(dialog, Qt::Key_Up);
    EXPECT_EQ(fields.peerSelection(), 1);
    press(dialog, Qt::Key_Down);
    EXPECT_EQ(fields.peerSelection(), 2);
    press(dialog, Qt::Key_Up);
    EXPECT_EQ(fields.peerSelection(), 1);
    EXPECT_EQ(list->selectedItems().size(), 1);
    // Tab leaves a list that has entries, rather than walking them.
    press(dialog, Qt::Key_Tab);
    EXPECT_EQ(idOf(dialog, dialog.focusWidget()), 1020);

    fields.peerDelete(1);
    EXPECT_EQ(fields.peerSelection(), -1);
    EXPECT_EQ(fields.peerCount(), 2);
    dialog.reject();
}

// The sender list's keys are a list box's: Home and End go to the first and
// last sender, the page keys a page at a time, and nothing moves within a row.
TEST(WindowKeyboard, TheListKeysMoveTheSelectionAmongSendersAsAListBoxDoes)
{
    CDatagramDlg dialog;
    ASSERT_TRUE(showActive(dialog));
    MainWindowFields& fields = dialog.fields();
    PeerListBox* list = fields.peerList();
    constexpr int kRows = 30;
    for (int i = 0; i < kRows; ++i)
        fields.peerRegister(QStringLiteral("127.0.3.%1:4000").arg(i + 1));
    QCoreApplication::processEvents();
    const int page = list->viewport()->height() / list->rowHeight(0);
    ASSERT_GT(page, 1);
    ASSERT_LT(page, kRows - 1) << "the list must scroll for the page keys to mean anything";

    struct Row {
        int from;
        Qt::Key key;
        int lowest, highest; // where the selection may land
    };
    const Row rows[] = {
        { 5, Qt::Key_Home, 0, 0 },
        { 5, Qt::Key_End, kRows - 1, kRows - 1 },
        { 0, Qt::Key_Home, 0, 0 },
        { kRows - 1, Qt::Key_End, kRows - 1, kRows - 1 },
        { 5, Qt::Key_Down, 6, 6 },
        { 5, Qt::Key_Up, 4, 4 },
        { 0, Qt::Key_Up, 0, 0 },
        { kRows - 1, Qt::Key_Down, kRows - 1, kRows - 1 },
        { 5, Qt::Key_Left, 5, 5 },
        { 5, Qt::Key_Right, 5, 5 },
        { 0, Qt::Key_PageDown, page - 1, page },
        { kRows - 1, Qt::Key_PageUp, kRows - 1 - page, kRows - page },
        { 0, Qt::Key_PageUp, 0, 0 },
        { kRows - 1, Qt::Key_PageDown, kRows - 1, kRows - 1 },
    };
    for (const Row& row : rows) {
        focus(dialog, 1018);
        list->setCurrentCell(row.from, 0);
        ASSERT_EQ(fields.peerSelection(), row.from);
        press(dialog, row.key);
        const int at = fields.peerSelection();
        EXPECT_GE(at, row.lowest) << "from " << row.from << " key " << row.key;
        EXPECT_LE(at, row.highest) << "from " << row.from << " key " << row.key;
        EXPECT_EQ(list->currentRow(), at);
        EXPECT_EQ(list->currentColumn(), 0);
        EXPECT_EQ(list->selectedItems().size(), 1);
        EXPECT_EQ(list->horizontalScrollBar()->value(), 0);
        EXPECT_TRUE(list->visualItemRect(list->item(at, 0)).intersects(list->viewport()->rect()))
            << "the selection is out of sight";
    }
    dialog.reject();
}

// F1 opens the About box from wherever the focus is, as the menu entry does.
TEST(WindowKeyboard, F1OpensTheAboutBox)
{
    for (int id : { 1000, 1004, 1018, 1001 }) {
        CDatagramDlg dialog;
        ASSERT_TRUE(showActive(dialog));
        focus(dialog, id);
        bool opened = false;
        QTimer::singleShot(0, &dialog, [&] {
            if (auto* about = qobject_cast<CAboutDlg*>(QApplication::activeModalWidget())) {
                opened = about->parentWidget() == &dialog;
                about->accept();
            }
        });
        QTimer::singleShot(3000, &dialog, [] {
            if (auto* open = qobject_cast<CAboutDlg*>(QApplication::activeModalWidget()))
                open->reject();
        });
        press(dialog, Qt::Key_F1);
        EXPECT_TRUE(opened) << id;
        EXPECT_TRUE(dialog.isVisible()) << id;
        EXPECT_EQ(dialog.fields().text(1000), QString()) << id;
        dialog.reject();
    }
}
