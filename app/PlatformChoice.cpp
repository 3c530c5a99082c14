#include "app/PlatformChoice.h"

#include <QVersionNumber>
#include <QtGlobal>

#include <cstring>

QByteArray PlatformChoice::platformFor(const Session& session)
{
    if (session.platformChosen || !session.waylandDisplay || !session.x11Display)
        return QByteArray();
    const bool fixed
        = session.qtMajor > kFixedMajor || (session.qtMajor == kFixedMajor && session.qtMinor >= kFixedMinor);
    return fixed ? QByteArray() : QByteArrayLiteral("xcb");
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
    const QByteArray platform = platformFor(current(argc, argv));
    if (!platform.isEmpty())
        qputenv("QT_QPA_PLATFORM", platform);
}
