#include "app/DisplayOpening.h"

#include <QByteArray>
#include <QMutex>
#include <QString>
#include <QtGlobal>

#include <cstdio>
#include <unistd.h>

namespace {

QMutex g_lock;
QtMessageHandler g_previous = nullptr;
// The platform plugin's first warning, else the last of any other kind:
// its reason, where the fatal message itself only advises reinstalling.
// (Qt from 6.5 follows xcb's reason with a plugin warning about
// libxcb-cursor; the Wayland plugin's "Failed to create wl_display" has no
// category.)
QString g_reason;
bool g_fromPlugin = false;

void watch(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    QMutexLocker locker(&g_lock);
    if (type != QtFatalMsg) {
        const bool plugin = context.category && qstrncmp(context.category, "qt.qpa", 6) == 0;
        if ((type == QtWarningMsg || type == QtCriticalMsg) && !g_fromPlugin) {
            g_reason = text;
            g_fromPlugin = plugin;
        }
        g_previous(type, context, text);
        return;
    }
    const QString cause = g_reason.isEmpty() ? text : g_reason;
    const QByteArray line
        = "quorlin: cannot open the display: " + cause.section(QLatin1Char('\n'), 0, 0).trimmed().toLocal8Bit();
    std::fprintf(stderr, "%s\n", line.constData());
    std::fflush(stderr);
    ::_exit(1);
}

} // namespace

DisplayOpening::DisplayOpening()
{
    g_previous = qInstallMessageHandler(watch);
}

DisplayOpening::~DisplayOpening()
{
    qInstallMessageHandler(g_previous);
}
