// Started by the benchmark in a fresh process: shows either the real program
// (through CDatagramApp, as main() does) or a bare QDialog holding the same
// widgets, and reports the time from the parent's spawn to the window's first
// paint and the resident memory once idle. Then it closes the window.
#include "app/CDatagramApp.h"
#include "tests/support/Resources.h"
#include "ui/DialogUnits.h"
#include "ui/MainWindowTemplate.h"
#include "ui/PeerListBox.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace {

long long monotonicNs()
{
    timespec ts {};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<long long>(ts.tv_sec) * 1'000'000'000LL + ts.tv_nsec;
}

// The same controls as the main window, in the same font and places, as
// plain widgets and nothing else.
class BareDialog : public QDialog {
public:
    BareDialog()
    {
        const QFont font = DialogUnits::standInFont(
            QString::fromUtf8(MainWindowTemplate::kFontFamily), MainWindowTemplate::kFontPointSize);
        setFont(font);
        const DialogUnits units(font);
        using K = MainWindowTemplate::Kind;
        for (const auto* c = MainWindowTemplate::begin(); c != MainWindowTemplate::end(); ++c) {
            const QString caption = QString::fromUtf8(c->caption);
            QWidget* w = nullptr;
            switch (c->kind) {
            case K::MultiLineEdit:
                w = new QPlainTextEdit(this);
                break;
            case K::LineEdit:
                w = new QLineEdit(this);
                break;
            case K::ReadOnlyLineEdit:
                w = new QLineEdit(this);
                break;
            case K::PushButton:
                w = new QPushButton(caption, this);
                break;
            case K::CheckBox:
                w = new QCheckBox(caption, this);
                break;
            case K::Label:
                w = new QLabel(caption, this);
                break;
            case K::ListBox:
                w = new PeerListBox(this);
                break;
            }
            w->setGeometry(units.toPixels(c->x, c->y, c->width, c->height));
        }
        setFixedSize(units.toPixels(MainWindowTemplate::kWidth, MainWindowTemplate::kHeight));
    }
};

// Notes the first paint of a top-level window, lets the program idle, then
// reports and closes the modal window.
class FirstPaint : public QObject {
public:
    explicit FirstPaint(long long spawnNs)
        : m_spawnNs(spawnNs)
    {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        auto* widget = qobject_cast<QWidget*>(watched);
        if (m_shownNs == 0 && event->type() == QEvent::Paint && widget && widget->isWindow()) {
            m_shownNs = monotonicNs();
            QTimer::singleShot(500, this, [this] { reportAndClose(); });
        }
        return QObject::eventFilter(watched, event);
    }

private:
    void reportAndClose()
    {
        std::printf("shown_us=%lld rss_kib=%ld threads=%d\n", (m_shownNs - m_spawnNs) / 1000, Resources::residentKiB(),
            Resources::allThreads());
        std::fflush(stdout);
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
            dialog->reject();
    }

    long long m_spawnNs;
    long long m_shownNs = 0;
};

} // namespace

int main(int argc, char* argv[])
{
    const char* spawned = std::getenv("QUORLIN_BENCH_SPAWN_NS");
    const long long spawnNs = spawned ? std::atoll(spawned) : monotonicNs();
    const bool bare = argc > 1 && std::strcmp(argv[1], "bare") == 0;

    QApplication application(argc, argv);
    FirstPaint watcher(spawnNs);
    application.installEventFilter(&watcher);
    if (bare) {
        BareDialog dialog;
        dialog.exec();
    } else {
        CDatagramApp app;
        app.InitInstance();
    }
    return 0;
}
