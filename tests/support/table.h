#pragma once

#include <QTest>
#include <concepts>

// A data function's columns, added when it is made, each of its type, and
// its rows: row("name", value, ...) with one value of each column's type.
template <typename... T> class Table {
public:
    explicit Table(std::convertible_to<const char*> auto... names) {
        (QTest::addColumn<T>(names), ...);
    }
    void operator()(const QString& name, const T&... values) const {
        (QTest::newRow(qPrintable(name)) << ... << values);
    }
};
