#include "app/DisplayOpening.h"

#include <QByteArray>
#include <QList>
#include <QMutex>
#include <QString>
#include <QtGlobal>

#include <csignal>
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

namespace {

struct Held {
    QtMsgType type;
    const char* category; // a logging category's name, which outlives it
    QString text;
};

QMutex g_lock;
QList<Held> g_held;
QtMessageHandler g_previous = nullptr;
struct sigaction g_previousAlarm {};
// The real standard error, while descriptor 2 is a capture of what the
// libraries beneath Qt write there themselves (Xlib prints the server's
// reason for refusing a connection).
int g_stderr = STDERR_FILENO;
int g_capture = -1;

QByteArray captured()
{
    QByteArray text;
    char buffer[512];
    for (off_t at = 0; g_capture >= 0;) {
        const ssize_t n = ::pread(g_capture, buffer, sizeof buffer, at);
        if (n <= 0)
            break;
        text.append(buffer, n);
        at += n;
    }
    return text;
}

void say(const QByteArray& text)
{
    for (qsizetype at = 0; at < text.size();) {
        const ssize_t n = ::write(g_stderr, text.constData() + at, static_cast<size_t>(text.size() - at));
        if (n <= 0)
            return;
        at += n;
    }
}

void hold(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    QMutexLocker locker(&g_lock);
    if (type != QtFatalMsg) {
        g_held.append({ type, context.category, text });
        return;
    }
    // Qt's own words for what failed come from its platform plugin; the
    // fatal message itself is advice about reinstalling.
    QString cause = text;
    for (const Held& h : std::as_const(g_held)) {
        if (h.category && qstrncmp(h.category, "qt.qpa", 6) == 0) {
            cause = h.text;
            break;
        }
    }
    QByteArray line
        = "quorlin: cannot open the display: " + cause.section(QLatin1Char('\n'), 0, 0).trimmed().toLocal8Bit();
    const QByteArray reason = captured().trimmed().split('\n').value(0).trimmed();
    if (!reason.isEmpty())
        line += " (" + reason + ")";
    say(line + '\n');
    ::_exit(1);
}

void noAnswer(int)
{
    static const char line[] = "quorlin: cannot open the display: no answer within 10 seconds\n";
    static_assert(DisplayOpening::kAnswerSeconds == 10, "the line names the wait");
    (void)!::write(g_stderr, line, sizeof line - 1);
    ::_exit(1);
}

} // namespace

DisplayOpening::DisplayOpening()
{
    g_capture = ::memfd_create("quorlin-start-up", MFD_CLOEXEC);
    const int saved = ::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3);
    if (g_capture >= 0 && saved >= 0 && ::dup2(g_capture, STDERR_FILENO) >= 0) {
        g_stderr = saved;
    } else {
        // Without room for the capture, libraries may say more than one line.
        for (const int fd : { g_capture, saved })
            if (fd >= 0)
                ::close(fd);
        g_capture = -1;
    }
    g_previous = qInstallMessageHandler(hold);
    struct sigaction action {};
    action.sa_handler = noAnswer;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGALRM, &action, &g_previousAlarm);
    ::alarm(kAnswerSeconds);
}

DisplayOpening::~DisplayOpening()
{
    ::alarm(0);
    ::sigaction(SIGALRM, &g_previousAlarm, nullptr);
    qInstallMessageHandler(g_previous);
    QMutexLocker locker(&g_lock);
    if (g_capture >= 0) {
        ::dup2(g_stderr, STDERR_FILENO);
        ::close(g_stderr);
        g_stderr = STDERR_FILENO;
        say(captured());
        ::close(g_capture);
        g_capture = -1;
    }
    for (const Held& h : std::as_const(g_held))
        g_previous(h.type, QMessageLogContext(nullptr, 0, nullptr, h.category), h.text);
    g_held.clear();
}
