// Reads arbitrary bytes as a list file and checks, under several locales:
//   - the lines become the entries a plain reading of the line rules gives,
//     in the order a plain stable sort by the entries' order gives them;
//   - writing the list gives exactly each entry followed by CR LF, behind a
//     UTF-8 mark where the bytes would otherwise not read back;
//   - reading the written file gives back the same entries in the same order.
// A mismatch prints what differed and aborts, so libFuzzer keeps the input.

#include "collation/entrycollator.h"
#include "entrylist/entrylist.h"
#include "listfile/listfile.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QList>
#include <QLocale>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <vector>

using collation::EntryCollator;
using collation::EntryEncoding;
using core::EntryList;
using listfile::FileResult;
using listfile::ReadListFile;
using listfile::WriteListFile;

namespace {

const QByteArray utf8Bom("\xEF\xBB\xBF", 3);

[[noreturn]] void fail(const QLocale &locale, const QByteArray &what)
{
    std::fprintf(stderr, "lexivorn_fuzz_listfile [%s]: %s\n", qPrintable(locale.name()),
                 what.constData());
    std::abort();
}

QByteArray hex(const QByteArray &bytes)
{
    return '[' + bytes.toHex(' ') + ']';
}

// The entries a file should give, in file order: a line ends at CR or CR LF,
// a lone LF stays inside its line, a last line without terminator counts,
// trailing spaces go and a leading UTF-8 byte-order mark is not text.
QList<QByteArray> expectedLines(QByteArray bytes)
{
    if (bytes.startsWith(utf8Bom))
        bytes.remove(0, utf8Bom.size());
    QList<QByteArray> lines;
    qsizetype start = 0;
    const qsizetype size = bytes.size();
    while (start < size) {
        qsizetype end = bytes.indexOf('\r', start);
        qsizetype next = end + 1;
        if (end < 0) {
            end = size;
            next = size;
        } else if (next < size && bytes.at(next) == '\n') {
            ++next;
        }
        qsizetype trimmed = end;
        while (trimmed > start && bytes.at(trimmed - 1) == ' ')
            --trimmed;
        lines.append(bytes.mid(start, trimmed - start));
        start = next;
    }
    return lines;
}

// UTF-16 is told by its NULs in the first 4096 bytes: behind a UTF-16 mark
// one unit U+0001-U+00FF will do; without one, at least two such units and
// half of all, or a U+000D U+000A line end. An odd-sized file is not UTF-16,
// nor is one behind a UTF-8 mark.
bool isUtf16(const QByteArray &bytes)
{
    const QByteArray start = bytes.left(4096);
    if (start.startsWith(utf8Bom) || (start.size() < 4096 && start.size() % 2 != 0))
        return false;
    const auto looksLike = [](const QByteArray &body, int high, bool marked) {
        qsizetype latin = 0;
        bool crLf = false;
        int previous = 0;
        const qsizetype units = body.size() / 2;
        for (qsizetype i = 0; i < units; ++i) {
            const int unit = uchar(body[2 * i + high]) << 8 | uchar(body[2 * i + 1 - high]);
            latin += unit > 0 && unit < 0x100;
            crLf = crLf || (previous == 0x0D && unit == 0x0A);
            previous = unit;
        }
        return marked ? latin > 0 : (latin >= 2 && 2 * latin >= units) || crLf;
    };
    if (start.startsWith("\xFF\xFE"))
        return looksLike(start.sliced(2), 1, true);
    if (start.startsWith("\xFE\xFF"))
        return looksLike(start.sliced(2), 0, true);
    return looksLike(start, 1, false) || looksLike(start, 0, false);
}

QList<QByteArray> entries(const EntryList &list)
{
    QList<QByteArray> result;
    for (qint16 i = 0; i < list.Count(); ++i)
        result.append(list.Item(i).toByteArray());
    return result;
}

void compareEntries(const QLocale &locale, const QByteArray &what,
                    const QList<QByteArray> &expected, const QList<QByteArray> &actual)
{
    if (expected.size() != actual.size())
        fail(locale,
             what + ": " + QByteArray::number(expected.size()) + " entries expected, got "
                     + QByteArray::number(actual.size()));
    for (qsizetype i = 0; i < expected.size(); ++i) {
        if (expected.at(i) != actual.at(i))
            fail(locale,
                 what + " at " + QByteArray::number(i) + ": expected " + hex(expected.at(i))
                         + ", got " + hex(actual.at(i)));
    }
}

// Orders lines as the list must: by the starts of their keys, where those
// tie by the lines themselves, equal lines in arrival order.
QList<QByteArray> ordered(EntryCollator &collator, const QList<QByteArray> &lines)
{
    QList<QByteArray> result = lines;
    std::stable_sort(result.begin(), result.end(), [&](const QByteArray &a, const QByteArray &b) {
        std::optional<EntryEncoding> aEncoding;
        std::optional<EntryEncoding> bEncoding;
        const EntryCollator::Start aStart = collator.start(a, aEncoding);
        const EntryCollator::Start bStart = collator.start(b, bEncoding);
        if (aStart.bytes != bStart.bytes)
            return aStart.bytes < bStart.bytes;
        return !(aStart.whole && bStart.whole)
                && collator.compareTied(a, aEncoding, b, bEncoding) < 0;
    });
    return result;
}

QByteArray readAll(const QString &fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

struct Scratch
{
    QTemporaryDir dir{QDir::tempPath() + QStringLiteral("/lexivorn-fuzz-XXXXXX")};
    QString input = dir.filePath(QStringLiteral("input.txt"));
    QString output = dir.filePath(QStringLiteral("output.txt"));
};

void checkRoundTrip(const Scratch &scratch, const QByteArray &data, const QLocale &locale,
                    EntryCollator &collator)
{
    EntryList first(locale);
    const FileResult read = ReadListFile(scratch.input, first);
    if (isUtf16(data)) {
        if (read.ok() || first.Count() != 0)
            fail(locale, "a UTF-16 file was not refused");
        return;
    }
    if (!read.ok())
        fail(locale, "reading failed: " + read.reason().toUtf8());
    compareEntries(locale, "entries read", ordered(collator, expectedLines(data)), entries(first));

    const FileResult written = WriteListFile(scratch.output, first);
    if (!written.ok())
        fail(locale, "writing failed: " + written.reason().toUtf8());
    // A list whose bytes would be taken for a UTF-8 mark or for UTF-16 is
    // written behind a UTF-8 mark.
    QByteArray expectedFile;
    for (qint16 i = 0; i < first.Count(); ++i)
        expectedFile += first.Item(i).toByteArray() + "\r\n";
    if (expectedFile.startsWith(utf8Bom) || isUtf16(expectedFile))
        expectedFile.prepend(utf8Bom);
    if (readAll(scratch.output) != expectedFile)
        fail(locale, "written file differs from entries + CR LF");

    EntryList second(locale);
    const FileResult reread = ReadListFile(scratch.output, second);
    if (!reread.ok())
        fail(locale, "reading the written file failed: " + reread.reason().toUtf8());
    compareEntries(locale, "entries read back", entries(first), entries(second));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *bytes, size_t size)
{
    static const Scratch scratch;
    static const QLocale locales[] = {QLocale(QLocale::English, QLocale::UnitedStates),
                                      QLocale(QLocale::C),
                                      QLocale(QLocale::Danish, QLocale::Denmark)};
    static const std::unique_ptr<EntryCollator> collators[] = {
            std::make_unique<EntryCollator>(locales[0]),
            std::make_unique<EntryCollator>(locales[1]),
            std::make_unique<EntryCollator>(locales[2])};

    if (!scratch.dir.isValid())
        fail(locales[0], "cannot make a temporary folder: " + scratch.dir.errorString().toUtf8());
    const QByteArray data(reinterpret_cast<const char *>(bytes), qsizetype(size));
    QFile input(scratch.input);
    if (!input.open(QIODevice::WriteOnly | QIODevice::Truncate) || input.write(data) != data.size())
        fail(locales[0], "cannot write the input file");
    input.close();

    for (size_t i = 0; i < std::size(locales); ++i)
        checkRoundTrip(scratch, data, locales[i], *collators[i]);
    return 0;
}
