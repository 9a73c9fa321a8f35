#include "app/dialog_filter.h"

QString DialogFilter::nameFilter() const {
    const QString inParentheses = QLatin1Char('(') + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
    if (description.endsWith(inParentheses)) return description;
    return description + QLatin1Char(' ') + inParentheses;
}

QString DialogFilter::suffix() const {
    if (patterns.isEmpty() || !patterns.front().startsWith(QLatin1String("*."))) return {};
    const QString extension = patterns.front().mid(2);
    const bool wild = extension.isEmpty() || extension.contains(QLatin1Char('*')) ||
                      extension.contains(QLatin1Char('?')) || extension.contains(QLatin1Char('['));
    return wild ? QString() : extension;
}

QList<DialogFilter> parseDialogFilter(const QString& pairs) {
    const QStringList parts = pairs.split(QLatin1Char('|'));
    QList<DialogFilter> filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2)
        filters.append({parts[i], parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts)});
    return filters;
}

QStringList nameFilters(const QList<DialogFilter>& filters) {
    QStringList names;
    for (const DialogFilter& f : filters) names.append(f.nameFilter());
    return names;
}
