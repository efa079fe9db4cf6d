#pragma once

#include "collation/entrycollator.h"

#include <QByteArrayView>

#include <optional>

// The order of two entries as the list finds it: by the starts of their
// keys, and where those tie, by the entries themselves. -1, 0 or 1.
inline int entryOrder(collation::EntryCollator &collator, QByteArrayView a, QByteArrayView b)
{
    std::optional<collation::EntryEncoding> aEncoding;
    std::optional<collation::EntryEncoding> bEncoding;
    const collation::EntryCollator::Start aStart = collator.start(a, aEncoding);
    const collation::EntryCollator::Start bStart = collator.start(b, bEncoding);
    if (aStart.bytes != bStart.bytes)
        return aStart.bytes < bStart.bytes ? -1 : 1;
    if (aStart.whole && bStart.whole)
        return 0;
    const int order = collator.compareTied(a, aEncoding, b, bEncoding);
    return order < 0 ? -1 : order > 0 ? 1 : 0;
}

// Whether the starts of two entries' keys order them as comparing the
// entries does, wherever they differ. They always do but where an entry
// begins with a letter its locale weighs below a space (an Arabic tatweel),
// whose key then begins with the space's weights.
inline bool startsAgree(collation::EntryCollator &collator, QByteArrayView a, QByteArrayView b)
{
    std::optional<collation::EntryEncoding> aEncoding;
    std::optional<collation::EntryEncoding> bEncoding;
    const collation::EntryCollator::Start aStart = collator.start(a, aEncoding);
    const collation::EntryCollator::Start bStart = collator.start(b, bEncoding);
    if (aStart.bytes == bStart.bytes)
        return true;
    const int order = collator.compareTied(a, aEncoding, b, bEncoding);
    return (aStart.bytes < bStart.bytes) == (order < 0) && order != 0;
}
