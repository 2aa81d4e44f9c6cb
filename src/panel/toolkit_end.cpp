#include "toolkit_end.h"

#include <QByteArray>
#include <QList>
#include <QtGlobal>
#include <cstdio>
#include <cstdlib>
#include <utility>

namespace {

// A message and where it came from; the places are the program's own static texts.
struct Held {
    QtMsgType type;
    const char* file;
    int line;
    const char* function;
    const char* category;
    QString text;
};

QtMessageHandler toolkit_handler = nullptr;
bool up = false;
QList<Held> held;
std::function<void()> hand_back;

// Qt also ends the program on the warning or critical message that
// QT_FATAL_WARNINGS or QT_FATAL_CRITICALS counts down to: the first when set
// to 1 (or to text that is not a number), the nth when set to n, none when 0.
// Our handler sees that message as it sees any other, just before the end.
class FatalCountDown {
public:
    explicit FatalCountDown(const char* variable) {
        const QByteArray value = qgetenv(variable);
        bool number = false;
        left = value.isEmpty() ? 0 : value.toInt(&number, 0);
        if (!value.isEmpty() && !number) left = 1;
    }
    // Whether this message, the next one counted, ends the program.
    bool next() { return left != 0 && left-- == 1; }

private:
    int left;
};

bool is_fatal(QtMsgType type) {
    static FatalCountDown criticals("QT_FATAL_CRITICALS");
    static FatalCountDown warnings("QT_FATAL_WARNINGS");
    switch (type) {
    case QtFatalMsg:
        return true;
    case QtCriticalMsg:
        return criticals.next();
    case QtWarningMsg:
        return warnings.next();
    default:
        return false;
    }
}

void hand_back_once() {
    if (auto action = std::exchange(hand_back, nullptr)) action();
}

void on_message(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    const bool fatal = is_fatal(type);
    if (!up) {
        if (!fatal) {
            held.append(
                {type, context.file, context.line, context.function, context.category, text});
            return;
        }
        // The first of Qt's words names the cause; the fatal one only says
        // that no platform could be started.
        const QString why = held.isEmpty() ? text.section(u'\n', 0, 0) : held.first().text;
        std::fprintf(stderr, "lumivane: the window cannot be shown: %s\n", qPrintable(why));
        std::_Exit(1);
    }
    if (fatal) hand_back_once();
    toolkit_handler(type, context, text);
}

} // namespace

ToolkitEnd::ToolkitEnd() {
    toolkit_handler = qInstallMessageHandler(on_message);
}

void ToolkitEnd::started(std::function<void()> action) {
    up = true;
    for (const Held& m : std::exchange(held, {}))
        toolkit_handler(m.type, QMessageLogContext(m.file, m.line, m.function, m.category), m.text);
    hand_back = std::move(action);
    std::atexit(hand_back_once);
}
