#include "keybuilder.h"

#include "keyparts.h"
#include "keysources.h"

#include <algorithm>
#include <cstring>
#include <type_traits>

namespace collation {

// A key has three parts, each compared only when the ones before are equal:
//   the locale's sort key of the case-folded text, at secondary strength,
//   0x00,
//   the case-folded text as UTF-8.
// A sort key never holds a zero byte, so a text whose sort key is the
// beginning of another's sorts first. The last part tells apart texts that
// the locale finds equal, so equal keys mean equal folded texts, and a text
// sorts before the same text followed by ignorable characters (NUL, soft
// hyphen). Under C the key is the folded text alone.
//
// The locale's own order is overruled in two places:
//   - A text that ends in the beginning of a contraction whose completion
//     sorts before it, such as a Thai leading vowel, gets the sort key of
//     its lowest continuation, so that it sorts just before the texts that
//     begin with it.
//   - A text that begins with a letter or digit the locale gives no weight
//     (ARABIC TATWEEL), or one below a space, is moved to just above every
//     text that begins with a space.
//
// A long text's sort key is built chunk by chunk, each chunk ending between
// two code points no contraction joins: the primaries of every chunk come
// first, then their secondaries.

KeyBuilder::KeyBuilder(const QLocale &locale)
    : m_collation(locale.language() == QLocale::C ? nullptr : LocaleCollation::open(locale))
    , m_pieces(m_collation.get(),
               locale.language() == QLocale::Turkish || locale.language() == QLocale::Azerbaijani)
{ }

KeyBuilder::~KeyBuilder() = default;

template<typename Source> void KeyBuilder::append(const Source &source, QByteArray &keys)
{
    if (!m_collation) {
        appendFolded(source, keys);
        return;
    }
    const qsizetype start = keys.size();
    bool plain = false;
    if constexpr (std::is_same_v<Source, AsciiBytes>)
        plain = m_simple.appendPlainAscii(source.bytes, keys);
    if (!plain && !m_simple.append(source, keys)) {
        appendCollated(source, keys);
        keys += '\0';
        appendFolded(source, keys);
    }
    moveAboveSpaces(source, keys, start);
}

template<typename Source>
void KeyBuilder::moveAboveSpaces(const Source &source, QByteArray &keys, qsizetype start)
{
    bool alnum = false;
    source.forEach([&](char32_t c) {
        alnum = m_pieces[c].has(Piece::Alnum);
        return false;
    });
    const QByteArrayView limit = m_collation->spaceLimit();
    const QByteArrayView key = QByteArrayView(keys).sliced(start);
    if (alnum
        && std::lexicographical_compare(key.begin(), key.end(), limit.begin(), limit.end(),
                                        [](char a, char b) { return uchar(a) < uchar(b); })) {
        keys.insert(start, limit);
        keys.insert(start + limit.size(), '\0');
    }
}

// The key from ICU's sort keys of the folded text, chunk by chunk.
template<typename Source> void KeyBuilder::appendCollated(const Source &source, QByteArray &keys)
{
    m_units.clear();
    m_secondaries.clear();
    bool chunked = false;
    ChunkCutter cutter;
    quint8 previousClass = 0;
    source.forEach([&](char32_t c) {
        const Piece &piece = m_pieces[c];
        if (cutter.cutsBefore(piece)) {
            appendChunk(keys);
            chunked = true;
        }
        // Marks out of their canonical order are kept apart by an ignorable
        // COMBINING GRAPHEME JOINER: else ICU could join a mark that follows
        // an entry to a contraction before the entry's own last marks, and
        // the longer entry could sort first. NFC and NFD never need one.
        if (piece.leadingClass != 0 && piece.leadingClass < previousClass)
            m_units += u'\u034F';
        m_units.append(piece.utf16, piece.utf16Size);
        previousClass = piece.trailingClass;
        return true;
    });
    m_units += m_collation->lowestContinuation(m_units);
    if (chunked) {
        appendChunk(keys);
        keys += '\x01';
        keys += m_secondaries;
    } else {
        m_collation->appendSortKey(m_units, keys);
    }
    // A long entry leaves no long-lived buffers behind.
    if (m_units.capacity() > size_t(4 * chunkUnits))
        m_units = {};
    if (m_secondaries.capacity() > 8 * chunkUnits)
        m_secondaries = {};
}

void KeyBuilder::appendChunk(QByteArray &keys)
{
    m_chunkKey.clear();
    m_collation->appendSortKey(m_units, m_chunkKey);
    const qsizetype separator = m_chunkKey.indexOf('\x01');
    keys += QByteArrayView(m_chunkKey).first(separator);
    m_secondaries += QByteArrayView(m_chunkKey).sliced(separator + 1);
    m_units.clear();
    if (m_chunkKey.capacity() > 16 * chunkUnits)
        m_chunkKey = {};
}

template<typename Source> void KeyBuilder::appendFolded(const Source &source, QByteArray &keys)
{
    const qsizetype start = keys.size();
    if (source.size() < chunkUnits) {
        keys.resize(start + qsizetype(sizeof(Piece::utf8)) * source.size());
        RoomyFoldWriter fold{keys.data() + start};
        source.forEach([&](char32_t c) {
            fold.put(m_pieces[c]);
            return true;
        });
        keys.truncate(fold.at - keys.constData());
        return;
    }
    FoldCounter size;
    source.forEach([&](char32_t c) {
        size.put(m_pieces[c]);
        return true;
    });
    keys.resize(start + size.size);
    FoldWriter fold{keys.data() + start};
    source.forEach([&](char32_t c) {
        fold.put(m_pieces[c]);
        return true;
    });
}

template void KeyBuilder::append(const AsciiBytes &, QByteArray &);
template void KeyBuilder::append(const Utf8Bytes &, QByteArray &);
template void KeyBuilder::append(const Windows1252Bytes &, QByteArray &);

} // namespace collation
