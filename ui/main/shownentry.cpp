#include "shownentry.h"

#include <QList>

namespace {

// A mark for each character that ends a line in a text layout, or that
// changes the order of the characters after it.
QStringView markFor(char16_t character)
{
    switch (character) {
    // Marks the list's own font has, as the control pictures (␊, ␍) and
    // arrows such as ↵ are not in it: a mark drawn from another font would
    // make every row taller. A line end shows as the pilcrow that word
    // processors show; the rarer ones, and the direction controls, as their
    // abbreviations.
    case u'\n':
        return u"\u00B6"; // ¶
    case u'\r':
        return u"‹CR›";
    case u'\v':
        return u"‹VT›";
    case u'\f':
        return u"‹FF›";
    case u'\u0085':
        return u"‹NEL›";
    case u'\u2028':
        return u"‹LS›";
    case u'\u2029':
        return u"‹PS›";
    // The invisible direction marks, which reorder the numbers around them
    // as the controls above do.
    case u'\u200E':
        return u"‹LRM›";
    case u'\u200F':
        return u"‹RLM›";
    case u'\u061C':
        return u"‹ALM›";
    case u'\u202A':
        return u"‹LRE›";
    case u'\u202B':
        return u"‹RLE›";
    case u'\u202C':
        return u"‹PDF›";
    case u'\u202D':
        return u"‹LRO›";
    case u'\u202E':
        return u"‹RLO›";
    case u'\u2066':
        return u"‹LRI›";
    case u'\u2067':
        return u"‹RLI›";
    case u'\u2068':
        return u"‹FSI›";
    case u'\u2069':
        return u"‹PDI›";
    default:
        return {};
    }
}

} // namespace

QString markedForDisplay(QString text)
{
    // Most entries hold none of these, and are returned without a copy.
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QStringView mark = markFor(text.at(i).unicode());
        if (mark.isEmpty())
            continue;
        text.replace(i, 1, mark.data(), mark.size());
        i += mark.size() - 1;
    }
    return text;
}

qsizetype markLengthAt(QStringView shown, qsizetype at)
{
    // Every mark, gathered once from the characters that can have one.
    static const QList<QStringView> marks = [] {
        QList<QStringView> found;
        const auto gather = [&found](char16_t first, char16_t last) {
            for (char16_t c = first; c <= last; ++c) {
                if (const QStringView mark = markFor(c); !mark.isEmpty())
                    found.append(mark);
            }
        };
        gather(0x0000, 0x00FF);
        gather(0x2000, 0x206F);
        gather(0xFE00, 0xFEFF);
        return found;
    }();
    const QStringView rest = shown.sliced(at);
    for (const QStringView mark : marks) {
        if (rest.startsWith(mark))
            return mark.size();
    }
    return 0;
}
