// Saves what the X server shows of a window as a PNG: the pictures are what a user sees.
//   window_grab WINDOW_ID OUT.png [X Y W H]
// WINDOW_ID in decimal or 0x hex, 0 for the whole screen; X Y W H cut a part of it (a window
// with its frame and title bar, grabbed from the screen).
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <cstdio>

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "xcb");
    QGuiApplication app(argc, argv);
    if (argc != 3 && argc != 7) {
        std::fprintf(stderr, "usage: window_grab WINDOW_ID OUT.png [X Y W H]\n");
        return 2;
    }
    bool ok = false;
    const WId id = QString::fromLatin1(argv[1]).toULongLong(&ok, 0);
    int part[4] = {0, 0, -1, -1};
    for (int i = 0; argc == 7 && i < 4; ++i)
        part[i] = QString::fromLatin1(argv[3 + i]).toInt();
    const QPixmap picture =
        ok ? QGuiApplication::primaryScreen()->grabWindow(id, part[0], part[1], part[2], part[3]) : QPixmap();
    if (picture.isNull() || !picture.save(QString::fromLocal8Bit(argv[2]))) {
        std::fprintf(stderr, "window_grab: no picture of window %s\n", argv[1]);
        return 1;
    }
    return 0;
}
