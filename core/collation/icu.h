#pragma once

#include <unicode/uchar.h>
#include <unicode/ucol.h>

#include <new>
#include <string_view>

namespace collation {

// ICU reports a failed allocation as a status; the program's answer to
// running out of memory is std::bad_alloc.
inline void throwIfOutOfMemory(UErrorCode status)
{
    if (status == U_MEMORY_ALLOCATION_ERROR)
        throw std::bad_alloc();
}

// A code point of a combining class other than 0. None lies below the
// block of combining marks, U+0300: most text is answered without a lookup.
inline bool isCombiningMark(UChar32 c)
{
    return c >= 0x300 && u_getCombiningClass(c) != 0;
}

inline int compare(const UCollator *collator, std::u16string_view a, std::u16string_view b)
{
    return ucol_strcoll(collator, reinterpret_cast<const UChar *>(a.data()), int32_t(a.size()),
                        reinterpret_cast<const UChar *>(b.data()), int32_t(b.size()));
}

} // namespace collation
