#include "run_until_quit.h"

#include <QEventLoop>
#include <QTimer>

bool run_until_quit(QEventLoop& loop, int timeout_ms) {
    bool timed_out = false;
    QTimer limit;
    limit.setSingleShot(true);
    QObject::connect(&limit, &QTimer::timeout, &loop, [&] {
        timed_out = true;
        loop.quit();
    });
    limit.start(timeout_ms);
    loop.exec();
    return !timed_out;
}
