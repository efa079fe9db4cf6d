#include "entrylist/entrytext.h"

#include <QTest>

using namespace Qt::StringLiterals;
using namespace core;

class tst_EntryText : public QObject
{
    Q_OBJECT

private slots:
    void decode_data();
    void decode();
    void everySingleByteDecodes();
};

void tst_EntryText::decode_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");

    QTest::newRow("empty") << QByteArray() << QString();
    QTest::newRow("ascii with tab") << "a\tb"_ba << u"a\tb"_s;
    QTest::newRow("nul kept") << QByteArray("a\0b", 3) << QStringView(u"a\0b", 3).toString();
    QTest::newRow("utf-8 two bytes") << "caf\xC3\xA9"_ba << u"café"_s;
    QTest::newRow("utf-8 three bytes") << "\xE2\x82\xAC"_ba << u"€"_s;
    QTest::newRow("utf-8 four bytes") << "\xF0\x9F\x98\x80"_ba << u"\U0001F600"_s;
    QTest::newRow("utf-8 largest code point") << "\xF4\x8F\xBF\xBF"_ba << u"\U0010FFFF"_s;
    // The least of each length, next to the overlong forms.
    QTest::newRow("utf-8 smallest two bytes") << "\xC2\x80"_ba << u"\u0080"_s;
    QTest::newRow("utf-8 smallest three bytes") << "\xE0\xA0\x80"_ba << u"\u0800"_s;
    QTest::newRow("utf-8 smallest four bytes") << "\xF0\x90\x80\x80"_ba << u"\U00010000"_s;
    QTest::newRow("utf-8 mark at start kept") << "\xEF\xBB\xBF"
                                                 "a"_ba
                                              << u"\uFEFFa"_s;
    QTest::newRow("latin-1 e acute") << "caf\xE9"_ba << u"café"_s;
    QTest::newRow("windows-1252 euro and quotes") << "\x80\x93\x94"_ba << u"€“”"_s;
    QTest::newRow("windows-1252 undefined bytes")
            << "\x81\x8D\x8F\x90\x9D"_ba << u"\u0081\u008D\u008F\u0090\u009D"_s;
    QTest::newRow("overlong slash") << "\xC0\xAF"_ba << u"À¯"_s;
    QTest::newRow("overlong three bytes") << "\xE0\x80\xAF"_ba << u"à€¯"_s;
    QTest::newRow("overlong four bytes") << "\xF0\x80\x80\xAF"_ba << u"ð€€¯"_s;
    QTest::newRow("surrogate") << "\xED\xA0\x80"_ba << u"í\u00A0€"_s;
    QTest::newRow("past U+10FFFF") << "\xF4\x90\x80\x80"_ba << u"ô\u0090€€"_s;
    QTest::newRow("truncated sequence") << "ab\xC3"_ba << u"abÃ"_s;
    QTest::newRow("stray continuation byte") << "\xA9t\xE9"_ba << u"©té"_s;
    // One invalid byte makes the whole line Windows-1252, so its valid
    // UTF-8 pairs show as two characters each.
    QTest::newRow("mixed valid and invalid") << "\xC3\xA9\xE9"_ba << u"Ã©é"_s;
    QTest::newRow("long ASCII, then invalid")
            << "0123456789abcdef caf\xE9"_ba << u"0123456789abcdef café"_s;
    // ASCII is passed over sixteen and eight bytes at a time: a sequence
    // across those steps, and an invalid byte well after it.
    QTest::newRow("long, UTF-8 across the steps")
            << "0123456789abcd\xE2\x82\xAC 0123456789abcdef 0123456789 \xC3\xA9"_ba
            << u"0123456789abcd€ 0123456789abcdef 0123456789 é"_s;
    QTest::newRow("long, UTF-8 then invalid late")
            << "0123456789abcd\xE2\x82\xAC 0123456789abcdef 0123456789 \xE9"_ba
            << u"0123456789abcdâ\u201A¬ 0123456789abcdef 0123456789 é"_s;
    // Entries of 64 bytes and more are checked sixteen bytes at a time, and
    // of 256 and more thirty-two at a time, a half at a time where bytes
    // move: each sequence across the border of two blocks, across the
    // halves of a wide block, and cut by the entry's end.
    const struct
    {
        const char *name;
        QByteArray bytes;
        QString text;
    } sequences[] = {
            {"two bytes", "\xC3\xA9"_ba, u"é"_s},
            {"three bytes", "\xE2\x82\xAC"_ba, u"€"_s},
            {"four bytes", "\xF0\x9F\x98\x80"_ba, u"\U0001F600"_s},
            {"largest code point", "\xF4\x8F\xBF\xBF"_ba, u"\U0010FFFF"_s},
            {"smallest three bytes", "\xE0\xA0\x80"_ba, u"\u0800"_s},
            {"overlong two bytes", "\xC1\xBF"_ba, u"Á¿"_s},
            {"overlong three bytes", "\xE0\x9F\xBF"_ba, u"àŸ¿"_s},
            {"overlong four bytes", "\xF0\x8F\xBF\xBF"_ba, u"ð\u008F¿¿"_s},
            {"surrogate", "\xED\xA0\x80"_ba, u"í\u00A0€"_s},
            {"past U+10FFFF", "\xF4\x90\x80\x80"_ba, u"ô\u0090€€"_s},
            {"cut short", "\xF0\x9F\x98"_ba, u"ðŸ˜"_s},
            {"continuation after ASCII", "\x80"_ba, u"€"_s},
    };
    for (const qsizetype first : {64, 256}) {
        for (const auto &sequence : sequences) {
            const auto row = [&](const char *where, qsizetype before, const QByteArray &after) {
                const QByteArray ascii(before, '.');
                QTest::addRow("%lld bytes, %s %s", qlonglong(first), sequence.name, where)
                        << ascii + sequence.bytes + after
                        << QString::fromLatin1(ascii) + sequence.text + QString::fromLatin1(after);
            };
            row("across blocks", first - 1, "z"_ba);
            row("across the halves of a block", first + 15, "z"_ba);
            row("at the end", first, QByteArray());
            // The entry ends with a whole block: nothing is left for the
            // padded tail, which must still see a sequence the end cuts short.
            row("ending the last whole block", first + 32 - sequence.bytes.size(), QByteArray());
        }
    }
}

void tst_EntryText::decode()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QCOMPARE(decodeEntry(bytes), text);
    // A row shows the start of a long entry, decoded as the whole would be.
    QCOMPARE(decodeEntryStart(bytes, 2), text.left(2));
}

void tst_EntryText::everySingleByteDecodes()
{
    for (int byte = 0; byte < 256; ++byte) {
        const QString text = decodeEntry(QByteArray(1, char(byte)));
        QCOMPARE(text.size(), 1);
        QVERIFY2(text.at(0) != QChar::ReplacementCharacter, QByteArray::number(byte));
    }
}

QTEST_APPLESS_MAIN(tst_EntryText)
#include "tst_entrytext.moc"
