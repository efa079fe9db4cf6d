// The text ICU weighs is handed to it through an iterator that makes it as
// it is read: it must answer every call ICU may make as ICU's own iterator
// over the same text does, in a text long enough that its start is
// forgotten and made again.

#include "collationtesting.h"
#include "entrycodepoints.h"
#include "keytext.h"
#include "localecollation.h"
#include "piecetable.h"

#include <QTest>

#include <unicode/uiter.h>

#include <utility>

namespace {

// The calls that read or ask without moving far: the name and the answer
// of call number `call`.
constexpr int callCount = 9;

std::pair<const char *, int32_t> callNumbered(UCharIterator &i, int call)
{
    switch (call) {
    case 0:
        return {"next", i.next(&i)};
    case 1:
        return {"previous", i.previous(&i)};
    case 2:
        return {"current", i.current(&i)};
    case 3:
        return {"hasNext", i.hasNext(&i)};
    case 4:
        return {"hasPrevious", i.hasPrevious(&i)};
    case 5:
        return {"index", i.getIndex(&i, UITER_CURRENT)};
    case 6:
        return {"start", i.getIndex(&i, UITER_START)};
    case 7:
        return {"limit", i.getIndex(&i, UITER_LIMIT)};
    default:
        return {"length", i.getIndex(&i, UITER_LENGTH)};
    }
}

} // namespace

class tst_KeyText : public QObject
{
    Q_OBJECT

private slots:
    void iteratesAsIcuDoes_data();
    void iteratesAsIcuDoes();
};

void tst_KeyText::iteratesAsIcuDoes_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("empty") << QString();
    QTest::newRow("ASCII") << u"Lorem Ipsum"_s;
    QTest::newRow("letters and accents") << u"Œuvre e\u0301 Straße 😀"_s;
    QTest::newRow("ASCII past what is kept") << u"Lorem ipsum dolor sit amet "_s.repeated(6000);
    QTest::newRow("letters past what is kept") << u"Ĉu eĥoŝanĝo ĉiuĵaŭde? "_s.repeated(8000);
}

void tst_KeyText::iteratesAsIcuDoes()
{
    QFETCH(QString, text);
    std::unique_ptr<LocaleCollation> collation = LocaleCollation::open(QLocale(u"en_US"_s));
    QVERIFY(collation);
    PieceTable pieces(collation.get(), false);
    KeyText keyText(*collation, pieces);
    const QByteArray bytes = text.toUtf8();
    const std::array<char32_t, 0x80> unused{};
    keyText.reset(EntryCodePoints(bytes, entryEncoding(bytes), unused));
    UCharIterator &ours = keyText.segmentIterator();

    const QString expected = folded(text);
    UCharIterator icu;
    uiter_setString(&icu, icuText(expected), int32_t(expected.size()));

    QRandomGenerator random(1);
    const auto delta = [&] {
        // Mostly a step or two, now and then a long way.
        return random.bounded(8)
                ? random.bounded(-3, 4)
                : random.bounded(-int(expected.size()) - 2, int(expected.size()) + 3);
    };
    const UCharIteratorOrigin origins[] = {UITER_ZERO, UITER_START, UITER_CURRENT, UITER_LIMIT,
                                           UITER_LENGTH};
    for (int i = 0; i < 600; ++i) {
        if (random.bounded(3) == 0) {
            const UCharIteratorOrigin origin = origins[random.bounded(int(std::size(origins)))];
            const int32_t by = delta();
            QCOMPARE(ours.move(&ours, by, origin), icu.move(&icu, by, origin));
        } else {
            const int call = random.bounded(callCount);
            const auto [name, answer] = callNumbered(ours, call);
            QVERIFY2(answer == callNumbered(icu, call).second, name);
        }
    }
    // Read through to the end, then back to the start.
    ours.move(&ours, 0, UITER_START);
    icu.move(&icu, 0, UITER_START);
    for (int32_t c = 0; c >= 0;) {
        c = ours.next(&ours);
        QCOMPARE(c, icu.next(&icu));
    }
    for (int32_t c = 0; c >= 0;) {
        c = ours.previous(&ours);
        QCOMPARE(c, icu.previous(&icu));
    }
}

QTEST_APPLESS_MAIN(tst_KeyText)
#include "tst_keytext.moc"
