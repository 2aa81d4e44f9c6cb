#pragma once

#include <QString>
#include <QStringList>
#include <vector>

// One line of the table: the figure, what was measured, the target and
// whether the measurement meets it.
struct Row {
    QString figure, measured, target;
    bool pass;
};

// What measurements give: rows of the table, notes that explain figures (one
// paragraph each) and whether every sample was taken.
struct Results {
    std::vector<Row> rows;
    QStringList notes;
    bool complete = true;

    void add(const Results& more);
};

// v with a fixed number of decimals.
QString num(double v, int decimals);

// The machine, the command that measured and the table of every row.
QString summary(const QString& machine, const Results& results);
// The notes as a "Notes" section, one list item each.
QString notes_section(const Results& results);
