#include "line_log.h"

Q_LOGGING_CATEGORY(lcLine, "lumivane.line", QtInfoMsg)

void use_line_log_pattern() {
    // Patterns cannot nest their conditions, so the time goes with the level.
    qSetMessagePattern(QStringLiteral("%{if-category}%{category}: %{endif}"
                                      "%{if-debug}%{time HH:mm:ss.zzz} %{endif}%{message}"));
}
