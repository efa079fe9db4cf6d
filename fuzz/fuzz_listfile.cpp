// Reads arbitrary bytes as a list file and checks, under several locales:
//   - the lines become the entries a plain reading of the line rules gives,
//     in the key order, equal keys in arrival order;
//   - writing the list gives exactly each entry followed by CR LF;
//   - reading the written file gives back the same entries in the same order.
// A mismatch prints what differed and aborts, so libFuzzer keeps the input.

#include "collationkey.h"
#include "entrylist.h"
#include "entrytext.h"
#include "listfile.h"

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
#include <vector>

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

// A UTF-16 mark up front means UTF-16, unless the file ends in CR LF as
// single bytes, as every saved list does.
bool isUtf16(const QByteArray &bytes)
{
    return (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF"))
            && !bytes.endsWith("\r\n");
}

QList<QByteArray> entries(const EntryList &list)
{
    QList<QByteArray> result;
    for (qint16 i = 0; i < list.Count(); ++i)
        result.append(list.Item(i));
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

// Orders lines as the list must: by key, equal keys in arrival order.
QList<QByteArray> ordered(const CollationKeyMaker &keys, const QList<QByteArray> &lines)
{
    std::vector<std::pair<QByteArray, QByteArray>> keyed;
    keyed.reserve(size_t(lines.size()));
    for (const QByteArray &line : lines)
        keyed.emplace_back(keys.key(decodeEntry(line)), line);
    std::stable_sort(keyed.begin(), keyed.end(),
                     [](const auto &a, const auto &b) { return a.first < b.first; });
    QList<QByteArray> result;
    for (const auto &entry : keyed)
        result.append(entry.second);
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
                    const CollationKeyMaker &keys)
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
    compareEntries(locale, "entries read", ordered(keys, expectedLines(data)), entries(first));

    const FileResult written = WriteListFile(scratch.output, first);
    if (!written.ok())
        fail(locale, "writing failed: " + written.reason().toUtf8());
    QByteArray expectedFile;
    for (qint16 i = 0; i < first.Count(); ++i)
        expectedFile += first.Item(i) + "\r\n";
    if (readAll(scratch.output) != expectedFile)
        fail(locale, "written file differs from entries + CR LF");

    // A written file that starts with a byte-order mark loses it on reading,
    // and its first entry may then take another place.
    QList<QByteArray> expected = entries(first);
    if (!expected.isEmpty() && expected.first().startsWith(utf8Bom)) {
        expected.first().remove(0, utf8Bom.size());
        expected = ordered(keys, expected);
    }
    EntryList second(locale);
    const FileResult reread = ReadListFile(scratch.output, second);
    if (!reread.ok())
        fail(locale, "reading the written file failed: " + reread.reason().toUtf8());
    compareEntries(locale, "entries read back", expected, entries(second));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *bytes, size_t size)
{
    static const Scratch scratch;
    static const QLocale locales[] = {QLocale(QLocale::English, QLocale::UnitedStates),
                                      QLocale(QLocale::C),
                                      QLocale(QLocale::Danish, QLocale::Denmark)};
    static const std::unique_ptr<CollationKeyMaker> keyMakers[] = {
            std::make_unique<CollationKeyMaker>(locales[0]),
            std::make_unique<CollationKeyMaker>(locales[1]),
            std::make_unique<CollationKeyMaker>(locales[2])};

    if (!scratch.dir.isValid())
        fail(locales[0], "cannot make a temporary folder: " + scratch.dir.errorString().toUtf8());
    const QByteArray data(reinterpret_cast<const char *>(bytes), qsizetype(size));
    QFile input(scratch.input);
    if (!input.open(QIODevice::WriteOnly | QIODevice::Truncate) || input.write(data) != data.size())
        fail(locales[0], "cannot write the input file");
    input.close();

    for (size_t i = 0; i < std::size(locales); ++i)
        checkRoundTrip(scratch, data, locales[i], *keyMakers[i]);
    return 0;
}
