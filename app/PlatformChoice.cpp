#include "app/PlatformChoice.h"

#include <QVersionNumber>
#include <QtGlobal>

#include <cstring>

namespace {

bool fixedIn(const PlatformChoice::Session& session)
{
    return session.qtMajor > PlatformChoice::kFixedMajor
           || (session.qtMajor == PlatformChoice::kFixedMajor && session.qtMinor >= PlatformChoice::kFixedMinor);
}

} // namespace

QByteArray PlatformChoice::platformFor(const Session& session)
{
    if (session.platformChosen || !session.waylandDisplay || !session.x11Display)
        return QByteArray();
    return fixedIn(session) ? QByteArray() : QByteArrayLiteral("xcb");
}

PlatformChoice::Session PlatformChoice::current(int argc, char** argv)
{
    Session session {};
    session.waylandDisplay = !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
    session.x11Display = !qEnvironmentVariableIsEmpty("DISPLAY");
    session.platformChosen = !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
    // Qt reads "-platform NAME" and "--platform NAME".
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "--platform") == 0)
            session.platformChosen = true;
    // The Qt the program runs against, which may be newer than the one it was built with.
    const QVersionNumber version = QVersionNumber::fromString(QLatin1String(qVersion()));
    session.qtMajor = version.majorVersion();
    session.qtMinor = version.minorVersion();
    return session;
}

void PlatformChoice::apply(int argc, char** argv)
{
    const Session session = current(argc, argv);
    const QByteArray platform = platformFor(session);
    if (!platform.isEmpty())
        qputenv("QT_QPA_PLATFORM", platform);
    // Where such a Qt still runs on Wayland (no XWayland, or the user's own
    // choice), the compose input context stands in for the compositor's
    // text input; it is what xcb uses anyway when none is named.
    if (!fixedIn(session) && qEnvironmentVariableIsEmpty("QT_IM_MODULE"))
        qputenv("QT_IM_MODULE", "compose");
}
