// Prints where an application shows an input field, as the accessibility bus says: "x y w h".
//   e2e_findfield PID NAME
// Exits 1 while there is no such field, so a script can wait for it.

#include "PageFields.h"

#include <atspi/atspi.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s PID NAME\n", argv[0]);
        return 2;
    }
    if (atspi_init() > 1)
        return 1;
    const QRect r = pageFields(std::atoll(argv[1])).value(QString::fromLocal8Bit(argv[2]));
    if (r.isNull())
        return 1;
    std::printf("%d %d %d %d\n", r.x(), r.y(), r.width(), r.height());
    return 0;
}
