#include "contractions.h"

#include "icu.h"

#include <unicode/uchar.h>
#include <unicode/ucol.h>
#include <unicode/uset.h>
#include <unicode/ustring.h>
#include <unicode/utf16.h>
#include <unicode/uversion.h>

#include <QtGlobal>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <memory>
#include <new>
#include <string_view>

namespace collation {

namespace {

// The build's list of the root collation's strings.
#include "rootcontractions.inc"

using SetPointer = std::unique_ptr<USet, decltype(&uset_close)>;

int codePointCount(std::u16string_view text)
{
    return u_countChar32(reinterpret_cast<const UChar *>(text.data()), int32_t(text.size()));
}

bool isOneMark(std::u16string_view text)
{
    UChar32 c = 0;
    int32_t at = 0;
    U16_NEXT(text.data(), at, int32_t(text.size()), c);
    return size_t(at) == text.size() && (U_GET_GC_MASK(c) & U_GC_M_MASK) != 0;
}

// The strings of a set, leaving out its single code points.
std::vector<std::u16string> stringsOf(const USet *set)
{
    std::vector<std::u16string> strings;
    UErrorCode status = U_ZERO_ERROR;
    std::u16string text(64, u'\0');
    for (int32_t i = 0, count = uset_getItemCount(set); i < count; ++i) {
        UChar32 start;
        UChar32 end;
        int32_t size = uset_getItem(set, i, &start, &end, reinterpret_cast<UChar *>(text.data()),
                                    int32_t(text.size()), &status);
        if (status == U_BUFFER_OVERFLOW_ERROR) {
            status = U_ZERO_ERROR;
            text.resize(size_t(size));
            size = uset_getItem(set, i, &start, &end, reinterpret_cast<UChar *>(text.data()),
                                int32_t(text.size()), &status);
        }
        throwIfOutOfMemory(status);
        const std::u16string_view string(text.data(), size_t(qMax(size, 0)));
        if (U_SUCCESS(status) && codePointCount(string) > 1)
            strings.emplace_back(string);
    }
    return strings;
}

} // namespace

void Contractions::add(const std::vector<std::u16string> &strings, const UCollator *collator)
{
    for (const std::u16string &string : strings) {
        const auto size = int32_t(string.size());
        for (int32_t at = 0; at < size;) {
            const bool first = at == 0;
            UChar32 c;
            U16_NEXT(string.data(), at, size, c);
            if (!first)
                continuing.insert(char32_t(c));
            if (at == size)
                break;
            const std::u16string beginning = string.substr(0, size_t(at));
            // A mark that joins a letter into a lower one either composes
            // with it, and then the text without it is not its beginning, or
            // is kept from joining (see LocaleCollation::joinsLower).
            if (isOneMark(std::u16string_view(string).substr(size_t(at)))
                || compare(collator, string, beginning) >= 0)
                continue;
            std::u16string &continuation = lowest[beginning];
            if (continuation.empty() || compare(collator, string, beginning + continuation) < 0)
                continuation = string.substr(size_t(at));
            lowestEnds.insert(char32_t(c));
            longestBeginning = std::max(longestBeginning, codePointCount(beginning));
        }
    }
}

std::vector<std::u16string> tailoredStrings(const UCollator *collator)
{
    UErrorCode status = U_ZERO_ERROR;
    const SetPointer tailored(ucol_getTailoredSet(collator, &status), uset_close);
    throwIfOutOfMemory(status);
    return tailored ? stringsOf(tailored.get()) : std::vector<std::u16string>();
}

const std::vector<std::u16string> &rootStrings()
{
    static const std::vector<std::u16string> strings = [] {
        UVersionInfo version;
        u_getVersion(version);
        char name[U_MAX_VERSION_STRING_LENGTH];
        u_versionToString(version, name);
        if (std::strcmp(name, LEXIVORN_ROOT_CONTRACTIONS_ICU) == 0)
            return std::vector<std::u16string>(std::begin(rootContractionList),
                                               std::end(rootContractionList));
        UErrorCode status = U_ZERO_ERROR;
        const std::unique_ptr<UCollator, decltype(&ucol_close)> root(ucol_open("", &status),
                                                                     ucol_close);
        throwIfOutOfMemory(status);
        const SetPointer set(uset_openEmpty(), uset_close);
        if (!set)
            throw std::bad_alloc();
        if (U_SUCCESS(status))
            ucol_getContractionsAndExpansions(root.get(), set.get(), nullptr, true, &status);
        throwIfOutOfMemory(status);
        return stringsOf(set.get());
    }();
    return strings;
}

} // namespace collation
