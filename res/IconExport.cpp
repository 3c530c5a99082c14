// Build tool: writes one image of the icon as PNG for the desktop's icon theme.
#include <QDir>
#include <QFileInfo>
#include <QImage>

#include <cstdio>

int main(int argc, char* argv[])
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s ICON.xpm OUT.png\n", argv[0]);
        return 2;
    }
    const QImage image(QString::fromLocal8Bit(argv[1]));
    const QString out = QString::fromLocal8Bit(argv[2]);
    if (image.isNull() || !QDir().mkpath(QFileInfo(out).absolutePath()) || !image.save(out, "PNG")) {
        std::fprintf(stderr, "%s: cannot convert %s\n", argv[0], argv[1]);
        return 1;
    }
    return 0;
}
