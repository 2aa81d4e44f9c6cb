#pragma once

#include <QJsonValue>
#include <QString>
#include <functional>

namespace alpaca {

// The Alpaca error numbers this server answers with.
enum Error : int {
    no_error = 0,
    not_implemented = 0x400,
    invalid_value = 0x401,
    not_connected = 0x407,
    invalid_operation = 0x40B,
    action_not_implemented = 0x40C,
    driver_error = 0x500,
};

// What a device member gives back: a value for a GET, or an Alpaca error, or
// a request the HTTP layer refuses (a missing or malformed parameter).
struct Result {
    int error = no_error;
    QString message;
    QJsonValue value = QJsonValue::Undefined;
    bool bad_request = false;

    static Result of(QJsonValue v) { return {no_error, {}, std::move(v), false}; }
    static Result failure(int error, QString why) {
        return {error, std::move(why), QJsonValue::Undefined, false};
    }
    static Result refused(QString why) { return {no_error, std::move(why), {}, true}; }
};

using Respond = std::function<void(const Result&)>;

} // namespace alpaca
