// lexivorn_rootcontractions OUT
// Writes the contractions and context mappings of ICU's root collation to
// OUT as C++ string literals, with the ICU version they come from. Keys
// need them whenever a text leaves ASCII, and ICU takes milliseconds to list
// them, so the build lists them once.

#include <unicode/ucol.h>
#include <unicode/uset.h>
#include <unicode/uversion.h>

#include <cstdio>
#include <string>

int main(int argc, char *argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: lexivorn_rootcontractions OUT\n");
        return 2;
    }
    UErrorCode status = U_ZERO_ERROR;
    UCollator *root = ucol_open("", &status);
    USet *set = uset_openEmpty();
    ucol_getContractionsAndExpansions(root, set, nullptr, true, &status);
    if (U_FAILURE(status)) {
        std::fprintf(stderr, "lexivorn_rootcontractions: %s\n", u_errorName(status));
        return 1;
    }

    std::string out = "// Written by lexivorn_rootcontractions.\n"
                      "#define LEXIVORN_ROOT_CONTRACTIONS_ICU \"" U_ICU_VERSION "\"\n"
                      "const char16_t *const rootContractionList[] = {\n";
    for (int32_t i = 0; i < uset_getItemCount(set); ++i) {
        UChar32 start;
        UChar32 end;
        UChar text[64];
        const int32_t size = uset_getItem(set, i, &start, &end, text, 64, &status);
        if (size <= 0 || U_FAILURE(status))
            continue; // code points are not contractions
        out += "    u\"";
        for (int32_t k = 0; k < size; ++k) {
            char unit[8];
            std::snprintf(unit, sizeof unit, "\\x%04X", unsigned(text[k]));
            out += unit;
        }
        out += "\",\n";
    }
    out += "};\n";
    uset_close(set);
    ucol_close(root);

    std::FILE *file = std::fopen(argv[1], "wb");
    if (!file || std::fwrite(out.data(), 1, out.size(), file) != out.size()
        || std::fclose(file) != 0) {
        std::perror(argv[1]);
        return 1;
    }
    return 0;
}
