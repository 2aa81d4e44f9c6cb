#include "report_number.h"

#include <cstdlib>

namespace {
bool is_blank(QChar c) {
    return c == u' ' || c == u'\t' || c == u'\n';
}
} // namespace

int field_tenths(QStringView field) {
    Q_ASSERT(field.size() <= 2);
    int units = 0;
    int tenth = 0;
    bool negative = false;
    bool sign_allowed = true;
    bool in_fraction = false;
    bool tenth_read = false;
    for (const QChar c : field) {
        if (is_blank(c)) continue;
        if (sign_allowed && (c == u'-' || c == u'+')) {
            negative = c == u'-';
        } else if (c == u'.' && !in_fraction) {
            in_fraction = true;
        } else if (c >= u'0' && c <= u'9') {
            const int digit = c.unicode() - u'0';
            if (!in_fraction) {
                units = units * 10 + digit;
            } else if (!tenth_read) {
                tenth = digit;
                tenth_read = true;
            }
        } else {
            break;
        }
        sign_allowed = false;
    }
    const int tenths = units * 10 + tenth;
    return negative ? -tenths : tenths;
}

qint16 round_half_even(int tenths) {
    const int whole = tenths / 10; // truncated toward zero
    const int rest = std::abs(tenths % 10);
    const int away = tenths < 0 ? -1 : 1;
    if (rest > 5 || (rest == 5 && whole % 2 != 0)) return static_cast<qint16>(whole + away);
    return static_cast<qint16>(whole);
}

QString tenths_text(int tenths) {
    QString text = QString::number(std::abs(tenths) / 10);
    if (tenths % 10 != 0) text += u'.' + QString::number(std::abs(tenths % 10));
    if (tenths < 0) text.prepend(u'-');
    return text;
}
