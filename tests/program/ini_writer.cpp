// Rewrites one settings value over and over, alternating between two texts, until it is killed
// or a bounded number of rounds has passed. Prints "ready" once the first write is in place.
// Usage: ini_writer <settings file> <section> <key> <value A> <value B>

#include "lib/modFileIO.h"

#include <QString>
#include <cstdio>

int main(int argc, char *argv[])
{
    if (argc != 6) {
        std::fprintf(stderr, "usage: ini_writer file section key valueA valueB\n");
        return 2;
    }
    const QString file = QString::fromLocal8Bit(argv[1]);
    const QString section = QString::fromLocal8Bit(argv[2]);
    const QString key = QString::fromLocal8Bit(argv[3]);
    const QString values[] = {QString::fromLocal8Bit(argv[4]), QString::fromLocal8Bit(argv[5])};
    constexpr int rounds = 100000;
    for (int round = 0; round < rounds; ++round) {
        if (!WriteIniString(section, key, file, values[round % 2])) {
            std::fprintf(stderr, "write %d failed\n", round);
            return 1;
        }
        if (round == 0) {
            std::puts("ready");
            std::fflush(stdout);
        }
    }
    return 0;
}
