#include "toolkit_end.h"

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

void hand_back_once() {
    if (auto action = std::exchange(hand_back, nullptr)) action();
}

void on_message(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (!up) {
        if (type != QtFatalMsg) {
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
    if (type == QtFatalMsg) hand_back_once();
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
