#include "namefilters.h"

#include <QTest>

class tst_NameFilters : public QObject
{
    Q_OBJECT

private slots:
    void nameFilters_data();
    void nameFilters();
};

void tst_NameFilters::nameFilters_data()
{
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QStringList>("expected");

    const QString text = QStringLiteral("Text Files (*.txt)");
    QTest::newRow("description and pattern pair")
            << QStringLiteral("Text Files (*.txt)|*.txt|") << QStringList{text};
    QTest::newRow("pair without final bar")
            << QStringLiteral("Text Files (*.txt)|*.txt") << QStringList{text};
    QTest::newRow("bare pattern") << QStringLiteral("*.txt")
                                  << QStringList{QStringLiteral("*.txt")};
    QTest::newRow("two pairs") << QStringLiteral("Text Files (*.txt)|*.txt|All Files (*.*)|*.*|")
                               << QStringList{text, QStringLiteral("All Files (*.*)")};
    QTest::newRow("description lacking its pattern")
            << QStringLiteral("Text Files|*.txt|") << QStringList{text};
    QTest::newRow("description naming other patterns")
            << QStringLiteral("Lists (*.txt)|*.lst|")
            << QStringList{QStringLiteral("Lists (*.txt) (*.lst)")};
    QTest::newRow("semicolon pattern list") << QStringLiteral("Lists|*.txt;*.lst|")
                                            << QStringList{QStringLiteral("Lists (*.txt *.lst)")};
    QTest::newRow("semicolon list in description too")
            << QStringLiteral("Lists (*.txt;*.lst)|*.txt;*.lst|")
            << QStringList{QStringLiteral("Lists (*.txt *.lst)")};
    QTest::newRow("bare semicolon pattern list")
            << QStringLiteral("*.txt; *.lst") << QStringList{QStringLiteral("*.txt *.lst")};
    QTest::newRow("spaces around parts")
            << QStringLiteral(" Text Files | *.txt |") << QStringList{text};
    QTest::newRow("empty description")
            << QStringLiteral("|*.txt|") << QStringList{QStringLiteral("*.txt")};
    QTest::newRow("description without a pattern is dropped")
            << QStringLiteral("Text Files (*.txt)|*.txt|All Files") << QStringList{text};
    QTest::newRow("empty pattern is dropped")
            << QStringLiteral("Nothing||Text Files (*.txt)|*.txt|") << QStringList{text};
    QTest::newRow("repeated pair listed once")
            << QStringLiteral("Text Files (*.txt)|*.txt|Text Files (*.txt)|*.txt|")
            << QStringList{text};
    QTest::newRow("empty") << QString() << QStringList{};
    QTest::newRow("spaces only") << QStringLiteral("   ") << QStringList{};
    QTest::newRow("bars only") << QStringLiteral("|||") << QStringList{};
}

void tst_NameFilters::nameFilters()
{
    QFETCH(QString, filter);
    QFETCH(QStringList, expected);
    QCOMPARE(nameFiltersFromDialogFilter(filter), expected);
}

QTEST_APPLESS_MAIN(tst_NameFilters)
#include "tst_namefilters.moc"
