#include "ui/AppIcon.h"

QIcon AppIcon::mainFrame()
{
    QIcon icon;
    icon.addFile(QStringLiteral(":/icons/quorlin-32.xpm"), QSize(kLargeSize, kLargeSize));
    icon.addFile(QStringLiteral(":/icons/quorlin-16.xpm"), QSize(kSmallSize, kSmallSize));
    return icon;
}
