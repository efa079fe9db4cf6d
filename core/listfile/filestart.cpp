#include "filestart.h"

namespace listfile {

namespace {

enum class ByteOrder { LittleEndian, BigEndian };

struct Utf16Signs
{
    qsizetype units = 0;
    // Units with a NUL high byte and a non-NUL low byte: U+0001 to U+00FF.
    qsizetype latinUnits = 0;
    // U+000D followed by U+000A, a line end in UTF-16 text of any script.
    bool crLf = false;
};

Utf16Signs signsOf(QByteArrayView bytes, ByteOrder order)
{
    const qsizetype high = order == ByteOrder::LittleEndian ? 1 : 0;
    Utf16Signs signs;
    signs.units = bytes.size() / 2;
    char16_t previous = 0;
    for (qsizetype i = 0; i < signs.units; ++i) {
        const auto highByte = uchar(bytes[2 * i + high]);
        const auto lowByte = uchar(bytes[2 * i + 1 - high]);
        const char16_t unit = char16_t(highByte << 8 | lowByte);
        if (highByte == 0 && lowByte != 0)
            ++signs.latinUnits;
        if (previous == u'\r' && unit == u'\n')
            signs.crLf = true;
        previous = unit;
    }
    return signs;
}

// Without a mark the bytes must look like UTF-16 on their own: mostly
// Latin characters, or a UTF-16 line end.
bool unmarkedUtf16(QByteArrayView bytes, ByteOrder order)
{
    const Utf16Signs signs = signsOf(bytes, order);
    return (signs.latinUnits >= 2 && 2 * signs.latinUnits >= signs.units) || signs.crLf;
}

} // namespace

bool looksLikeUtf16(QByteArrayView start)
{
    if (start.startsWith(Utf8Mark))
        return false;
    // UTF-16 comes in pairs of bytes.
    if (start.size() < FileStartSize && start.size() % 2 != 0)
        return false;
    // Behind a mark one Latin character or line end is enough: Windows-1252
    // text after "ÿþ" has no NUL at all.
    if (start.startsWith("\xFF\xFE"))
        return signsOf(start.sliced(2), ByteOrder::LittleEndian).latinUnits > 0;
    if (start.startsWith("\xFE\xFF"))
        return signsOf(start.sliced(2), ByteOrder::BigEndian).latinUnits > 0;
    return unmarkedUtf16(start, ByteOrder::LittleEndian)
            || unmarkedUtf16(start, ByteOrder::BigEndian);
}

bool needsUtf8Mark(QByteArrayView start)
{
    return start.startsWith(Utf8Mark) || looksLikeUtf16(start);
}

} // namespace listfile
