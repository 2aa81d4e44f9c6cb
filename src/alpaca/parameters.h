#pragma once

#include "http_request.h"

#include <QList>
#include <QPair>
#include <QString>
#include <optional>

// The parameters of an Alpaca request: from the query string of a GET, whose
// names match in any letter case, or from the form body of a PUT, whose names
// must match exactly.
class Parameters {
public:
    static Parameters of(const HttpRequest& request);

    // The first value given for `name`, if any.
    std::optional<QString> value(QStringView name) const;

private:
    QList<QPair<QString, QString>> items;
    Qt::CaseSensitivity names_case = Qt::CaseSensitive;
};

// Decodes "a=1&b=x+y%21" into its names and values (UTF-8, "+" a space).
QList<QPair<QString, QString>> decode_form(QByteArrayView form);

// Numbers in parameter values, taken only when the value is the number and
// nothing else: no blanks or line ends around it.

// Whether `text` is one or more decimal digits.
bool all_digits(QStringView text);
// A sign or none, then digits. Beyond int's range it is int's nearest limit,
// which is out of every range a member takes.
std::optional<int> whole_number(QStringView text);
// A whole number, or one with a point and decimals after it.
std::optional<double> decimal_number(QStringView text);
