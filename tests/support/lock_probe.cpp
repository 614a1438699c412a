// Holds the single-instance lock for a key until its standard input closes: "held" or "busy".
#include "startup/SingleInstance.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 2)
        return 2;
    tolvar::SingleInstance instance(QString::fromLocal8Bit(argv[1]));
    if (!instance.acquire()) {
        std::puts("busy");
        return 3;
    }
    std::puts("held");
    std::fflush(stdout);
    while (std::getchar() != EOF) {
    }
    return 0;
}
