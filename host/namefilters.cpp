#include "namefilters.h"

namespace {

// Filter patterns are listed with ";" between them; Qt lists them with spaces.
QString qtPatterns(const QString &patterns)
{
    QStringList parts = patterns.split(u';', Qt::SkipEmptyParts);
    for (QString &part : parts)
        part = part.trimmed();
    parts.removeAll(QString());
    return parts.join(u' ');
}

// Qt takes a filter's patterns from the parentheses that end it, so the
// description must end with exactly the patterns that the dialog applies.
QString nameFilter(const QString &description, const QString &rawPatterns)
{
    const QString patterns = qtPatterns(rawPatterns);
    if (description.isEmpty())
        return patterns;
    const QString qtTail = u'(' + patterns + u')';
    if (description.endsWith(qtTail))
        return description;
    const QString rawTail = u'(' + rawPatterns + u')';
    if (description.endsWith(rawTail))
        return description.chopped(rawTail.size()) + qtTail;
    return description + u' ' + qtTail;
}

} // namespace

QStringList nameFiltersFromDialogFilter(const QString &filter)
{
    QStringList result;
    if (!filter.contains(u'|')) {
        const QString patterns = qtPatterns(filter);
        if (!patterns.isEmpty())
            result.append(patterns);
        return result;
    }
    const QStringList parts = filter.split(u'|');
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString description = parts.at(i).trimmed();
        const QString patterns = parts.at(i + 1).trimmed();
        // A pair without patterns would let Qt read the description as them.
        if (qtPatterns(patterns).isEmpty())
            continue;
        const QString entry = nameFilter(description, patterns);
        if (!result.contains(entry))
            result.append(entry);
    }
    return result;
}
