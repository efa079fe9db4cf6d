#include <QTest>

class tst_QtHostUi : public QObject
{
    Q_OBJECT
};

QTEST_MAIN(tst_QtHostUi)
#include "tst_qthostui.moc"
