#include <QTest>
class tst_ListFile : public QObject
{
    Q_OBJECT
};
QTEST_APPLESS_MAIN(tst_ListFile)
#include "tst_listfile.moc"
