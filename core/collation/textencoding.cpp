#include "collation/textencoding.h"

#include <QtEndian>
#include <QtGlobal>

#include <bit>

namespace collation {

namespace {

// Windows-1252 differs from Latin-1 only in 0x80-0x9F. The five bytes it
// leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the C1 control of
// the same value, so every byte has a character and none becomes U+FFFD.
constexpr char16_t windows1252High[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, //
        0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F, //
        0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, //
        0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

bool isContinuation(unsigned char byte)
{
    return (byte & 0xC0) == 0x80;
}

// The length of the well-formed UTF-8 sequence starting at `at`, or 0 when
// it is not one. Overlong forms, surrogates and values past U+10FFFF are not
// well-formed, so a Latin-1 or Windows-1252 line never passes for UTF-8.
qsizetype sequenceLength(const unsigned char *at, qsizetype left)
{
    const unsigned char lead = at[0];
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        return left >= 2 && isContinuation(at[1]) ? 2 : 0;
    if (lead >= 0xE0 && lead <= 0xEF) {
        if (left < 3 || !isContinuation(at[1]) || !isContinuation(at[2]))
            return 0;
        if (lead == 0xE0 && at[1] < 0xA0) // overlong
            return 0;
        if (lead == 0xED && at[1] >= 0xA0) // UTF-16 surrogate
            return 0;
        return 3;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        if (left < 4 || !isContinuation(at[1]) || !isContinuation(at[2]) || !isContinuation(at[3]))
            return 0;
        if (lead == 0xF0 && at[1] < 0x90) // overlong
            return 0;
        if (lead == 0xF4 && at[1] >= 0x90) // past U+10FFFF
            return 0;
        return 4;
    }
    return 0; // a stray continuation byte, C0, C1 or F5-FF
}

constexpr quint64 highBits = 0x8080808080808080;

// The first byte at or after `at` that is not ASCII, or `end`. Sixteen bytes
// at a time where it can: most text is long runs of ASCII.
const unsigned char *skipAscii(const unsigned char *at, const unsigned char *end)
{
    while (end - at >= 16
           && ((qFromLittleEndian<quint64>(at) | qFromLittleEndian<quint64>(at + 8)) & highBits)
                   == 0)
        at += 16;
    while (end - at >= 8) {
        if (const quint64 high = qFromLittleEndian<quint64>(at) & highBits; high != 0)
            return at + std::countr_zero(high) / 8;
        at += 8;
    }
    while (at < end && *at < 0x80)
        ++at;
    return at;
}

} // namespace

// Reads the whole entry, however little of it is decoded: one byte that is
// not UTF-8 anywhere makes all of it Windows-1252.
EntryEncoding entryEncoding(QByteArrayView bytes)
{
    const auto *at = reinterpret_cast<const unsigned char *>(bytes.data());
    const unsigned char *const end = at + bytes.size();
    bool ascii = true;
    while ((at = skipAscii(at, end)) < end) {
        const qsizetype length = sequenceLength(at, end - at);
        if (length == 0)
            return EntryEncoding::Windows1252;
        ascii = false;
        at += length;
    }
    return ascii ? EntryEncoding::Ascii : EntryEncoding::Utf8;
}

char16_t windows1252Character(unsigned char byte)
{
    return byte >= 0x80 && byte < 0xA0 ? windows1252High[byte - 0x80] : char16_t(byte);
}

} // namespace collation
