#include "code_text.h"

QString two_digit_code_text(int code) {
    return (QStringLiteral("0") + QString::number(code)).right(2);
}

QByteArray code_command(const char* prefix, int code) {
    return QByteArray(prefix) + two_digit_code_text(code).toLatin1();
}
