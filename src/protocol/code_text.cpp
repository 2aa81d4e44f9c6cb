#include "code_text.h"

QString two_digit_code_text(int code) {
    return (QStringLiteral("0") + QString::number(code)).right(2);
}
