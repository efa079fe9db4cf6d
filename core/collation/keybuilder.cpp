#include "keybuilder.h"

#include "keycheck.h"
#include "keyparts.h"
#include "keysources.h"

#include <unicode/uchar.h>
#include <unicode/utf16.h>

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
// The locale's own order is overruled in these places:
//   - A text that ends in the beginning of a contraction whose completion
//     sorts before it, such as a Thai leading vowel, gets the sort key of
//     its lowest continuation, so that it sorts just before the texts that
//     begin with it.
//   - A text that begins with a letter or digit the locale gives no weight
//     (ARABIC TATWEEL), or one below a space, is moved to just above every
//     text that begins with a space.
//   - Where a combining mark would join the letter before it into a letter
//     that sorts lower, without composing one, the text before the mark is
//     keyed on its own and the rest after it, from that letter on, so the
//     text sorts right after its beginning. A long text has ICU's lowest
//     weight (U+FFFE) put there instead, which sorts it after its beginning
//     too.
//   - Where the locale compares accents from the end, those of the last
//     letter count in the order written, so that a mark added after a mark
//     extends the key.
//
// A long text's sort key is built chunk by chunk, each chunk ending between
// two code points no contraction joins: the primaries of every chunk come
// first, then their secondaries (from the last chunk back, where the locale
// compares accents from the end).

KeyBuilder::KeyBuilder(const QLocale &locale, ReferenceKey reference)
    : m_collation(locale.language() == QLocale::C ? nullptr : LocaleCollation::open(locale))
    , m_pieces(m_collation.get(),
               locale.language() == QLocale::Turkish || locale.language() == QLocale::Azerbaijani)
    , m_reference(std::move(reference))
{ }

KeyBuilder::~KeyBuilder() = default;

template<typename Source> void KeyBuilder::append(const Source &source, QByteArray &keys)
{
    if (!m_collation) {
        appendFolded(source, keys);
        return;
    }
    if (!m_writtenKeysChecked)
        checkWrittenKeys();
    const qsizetype start = keys.size();
    bool written = false;
    if constexpr (std::is_same_v<Source, AsciiBytes>)
        written = m_writesKeys && m_simple.appendPlainAscii(source.bytes, keys);
    // Where accents count from the end, letters that have one need ICU, and
    // most text outside ASCII has them.
    written = written
            || (m_writesKeys
                && (std::is_same_v<Source, AsciiBytes> || !m_collation->backwardSecondaries())
                && m_simple.append(source, keys));
    if (!written)
        appendFromIcu(source, keys);
    moveAboveSpaces(source, keys, start);
}

template<typename Source> void KeyBuilder::appendFromIcu(const Source &source, QByteArray &keys)
{
    appendCollated(source, keys);
    keys += '\0';
    appendFolded(source, keys);
}

// Keys are written without ICU only when, on the running ICU, they are
// ICU's own for every probe; else every key comes from ICU.
void KeyBuilder::checkWrittenKeys()
{
    m_writtenKeysChecked = true;
    const auto written = [this](QByteArrayView text, QByteArray &key) {
        const bool ascii =
                std::all_of(text.begin(), text.end(), [](char c) { return uchar(c) < 0x80; });
        return (ascii && m_simple.appendPlainAscii(text, key))
                || ((ascii || !m_collation->backwardSecondaries())
                    && m_simple.append(Utf8Bytes{text}, key));
    };
    const auto fromIcu = [this](QByteArrayView text, QByteArray &key) {
        appendFromIcu(Utf8Bytes{text}, key);
    };
    m_writesKeys = m_reference ? writtenKeysAgree(keyProbes(), written, m_reference)
                               : writtenKeysAgree(keyProbes(), written, fromIcu);
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

// The pieces of a text's code points, but for a Turkish capital I, which
// is the capital of dotless ı when bare and of i when an accent follows.
template<typename Source, typename F> void KeyBuilder::forEachPiece(const Source &source, F f)
{
    const Piece *capitalI = nullptr;
    source.forEach([&](char32_t c) {
        const Piece &piece = m_pieces[c];
        if (capitalI) {
            f(piece.has(Piece::Mark) && c != U'\u0307' ? m_pieces[U'i'] : *capitalI);
            capitalI = nullptr;
        }
        if (c == U'I' && m_pieces.turkic())
            capitalI = &piece;
        else
            f(piece);
        return true;
    });
    if (capitalI)
        f(*capitalI);
}

// The key from ICU's sort keys of the folded text, chunk by chunk.
template<typename Source> void KeyBuilder::appendCollated(const Source &source, QByteArray &keys)
{
    m_units.clear();
    m_secondaries.clear();
    m_chunkEnds.clear();
    bool chunked = false;
    ChunkCutter cutter;
    quint8 previousClass = 0;
    forEachPiece(source, [&](const Piece &piece) {
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
        const std::u16string_view units(piece.utf16, piece.utf16Size);
        if (piece.has(Piece::Continues) && m_collation->joinsLower(m_units, units)) {
            if (chunked || source.size() >= chunkUnits)
                m_units += u'\uFFFE';
            else
                startSegment(keys);
        }
        m_units += units;
        previousClass = piece.trailingClass;
    });
    m_units += m_collation->lowestContinuation(m_units);
    if (m_collation->backwardSecondaries())
        m_collation->reverseLastMarks(m_units);
    if (chunked) {
        appendChunk(keys);
        keys += '\x01';
        appendChunkSecondaries(keys);
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
    m_chunkEnds.push_back(m_secondaries.size());
    m_units.clear();
    if (m_chunkKey.capacity() > 16 * chunkUnits)
        m_chunkKey = {};
}

void KeyBuilder::startSegment(QByteArray &keys)
{
    m_collation->appendSortKey(m_units, keys);
    keys += '\x01';
    auto letterAt = int32_t(m_units.size());
    while (letterAt > 0) {
        UChar32 c;
        U16_PREV(m_units.data(), 0, letterAt, c);
        if (u_getCombiningClass(c) == 0)
            break;
    }
    m_units.erase(0, size_t(letterAt));
}

void KeyBuilder::appendChunkSecondaries(QByteArray &keys)
{
    if (!m_collation->backwardSecondaries()) {
        keys += m_secondaries;
        return;
    }
    for (size_t i = m_chunkEnds.size(); i > 0; --i) {
        const qsizetype start = i > 1 ? m_chunkEnds[i - 2] : 0;
        keys += QByteArrayView(m_secondaries).sliced(start, m_chunkEnds[i - 1] - start);
    }
}

template<typename Source> void KeyBuilder::appendFolded(const Source &source, QByteArray &keys)
{
    const qsizetype start = keys.size();
    if (source.size() < chunkUnits) {
        keys.resize(start + qsizetype(sizeof(Piece::utf8)) * source.size());
        RoomyFoldWriter fold{keys.data() + start};
        forEachPiece(source, [&](const Piece &piece) { fold.put(piece); });
        keys.truncate(fold.at - keys.constData());
        return;
    }
    FoldCounter size;
    forEachPiece(source, [&](const Piece &piece) { size.put(piece); });
    keys.resize(start + size.size);
    FoldWriter fold{keys.data() + start};
    forEachPiece(source, [&](const Piece &piece) { fold.put(piece); });
}

// keystart.cpp builds the beginnings of keys from these too.
template void KeyBuilder::append(const AsciiBytes &, QByteArray &);
template void KeyBuilder::append(const Utf8Bytes &, QByteArray &);
template void KeyBuilder::append(const Windows1252Bytes &, QByteArray &);
template void KeyBuilder::appendFolded(const AsciiBytes &, QByteArray &);
template void KeyBuilder::appendFolded(const Utf8Bytes &, QByteArray &);
template void KeyBuilder::appendFolded(const Windows1252Bytes &, QByteArray &);

} // namespace collation
