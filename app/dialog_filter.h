#pragma once
// File dialog filters written as pairs separated by "|": a description, then
// its patterns separated by ";" ("Excel File(*.xls)|*.xls|Txt File(*.txt)|*.txt").
// Qt wants one "Description (patterns)" entry per pair.

#include <QString>
#include <QStringList>

struct DialogFilter {
    QString description;
    QStringList patterns;

    // The entry as Qt's file dialog takes it; a description that already ends
    // in its patterns in parentheses is kept as it is.
    QString nameFilter() const;
    // The extension a typed name without one gets: "xml" for "*.xml"; empty
    // when the first pattern names no single extension.
    QString suffix() const;
};

QList<DialogFilter> parseDialogFilter(const QString& pairs);
QStringList nameFilters(const QList<DialogFilter>& filters);
