#include "shownfilename.h"

#include "shownentry.h"

#include <QDir>

namespace {

// A name as long as this fits a message box on a small screen.
constexpr qsizetype MaxShownCharacters = 80;

// Moves a cut off the middle of a surrogate pair.
qsizetype cutBefore(const QString &text, qsizetype at)
{
    return at > 0 && text.at(at).isLowSurrogate() ? at - 1 : at;
}

} // namespace

QString shownFileName(const QString &fileName)
{
    QString name = QDir::toNativeSeparators(fileName);
    if (name.size() > MaxShownCharacters) {
        // The end holds the file's own name: it keeps the larger half.
        const qsizetype headEnd = cutBefore(name, (MaxShownCharacters - 1) / 2);
        const qsizetype tailStart =
                cutBefore(name, name.size() - (MaxShownCharacters - 1 - headEnd));
        name = name.first(headEnd) % QChar(u'\u2026') % name.sliced(tailStart);
    }
    return markedForDisplay(name);
}
