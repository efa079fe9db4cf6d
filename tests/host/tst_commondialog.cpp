#include "commondialog.h"
#include "dialogsettings.h"
#include "fakehostui.h"

#include <QTest>

class tst_CommonDialog : public QObject
{
    Q_OBJECT

private slots:
    void showOpen_passesSettingsAndReportsChosenName();
    void showSave_passesSettingsAndReportsChosenName();
    void settingsChangedBeforeShowingAreTheOnesShown();
    void chosenNameIsProposedNextTime();
    void cancelReportsNoNameAndKeepsProposal();
};

void tst_CommonDialog::showOpen_passesSettingsAndReportsChosenName()
{
    FakeHostUi host;
    host.openNames.enqueue(QStringLiteral("/data/names.txt"));
    CommonDialog dialog(host);
    dialog.Settings().DialogTitle = QStringLiteral("Open file to alphabetize...");
    dialog.Settings().DefaultExt = QStringLiteral(".txt");
    dialog.Settings().Filter = QStringLiteral("Text Files (*.txt)|*.txt|");
    QVERIFY(dialog.ChosenName().isEmpty());

    dialog.ShowOpen();

    QCOMPARE(host.calls.size(), 1);
    const HostCall &call = host.calls.constFirst();
    QCOMPARE(call.kind, HostCall::OpenDialog);
    QCOMPARE(call.settings.DialogTitle, QStringLiteral("Open file to alphabetize..."));
    QCOMPARE(call.settings.DefaultExt, QStringLiteral(".txt"));
    QCOMPARE(call.settings.Filter, QStringLiteral("Text Files (*.txt)|*.txt|"));
    QVERIFY(call.settings.FileName.isEmpty());
    QCOMPARE(dialog.ChosenName(), QStringLiteral("/data/names.txt"));
}

void tst_CommonDialog::showSave_passesSettingsAndReportsChosenName()
{
    FakeHostUi host;
    host.saveNames.enqueue(QStringLiteral("/data/Alphabetized File.txt"));
    CommonDialog dialog(host, saveDialogSettings());

    dialog.ShowSave();

    QCOMPARE(host.calls.size(), 1);
    const HostCall &call = host.calls.constFirst();
    QCOMPARE(call.kind, HostCall::SaveDialog);
    QCOMPARE(call.settings.DialogTitle, QStringLiteral("Save file as..."));
    QCOMPARE(call.settings.FileName, QStringLiteral("Alphabetized File"));
    QCOMPARE(call.settings.Filter, QStringLiteral("*.txt"));
    QCOMPARE(dialog.ChosenName(), QStringLiteral("/data/Alphabetized File.txt"));
}

void tst_CommonDialog::settingsChangedBeforeShowingAreTheOnesShown()
{
    FakeHostUi host;
    CommonDialog dialog(host);
    dialog.Settings().Filter = QStringLiteral("Old|*.old|");
    dialog.ShowOpen();
    dialog.Settings().Filter = QStringLiteral("Text Files (*.txt)|*.txt|");
    dialog.ShowOpen();

    QCOMPARE(host.calls.size(), 2);
    QCOMPARE(host.calls.at(0).settings.Filter, QStringLiteral("Old|*.old|"));
    QCOMPARE(host.calls.at(1).settings.Filter, QStringLiteral("Text Files (*.txt)|*.txt|"));
}

void tst_CommonDialog::chosenNameIsProposedNextTime()
{
    FakeHostUi host;
    host.saveNames << QStringLiteral("/a/first.txt") << QStringLiteral("/b/second.txt");
    CommonDialog dialog(host, saveDialogSettings());

    dialog.ShowSave();
    QCOMPARE(dialog.Settings().FileName, QStringLiteral("/a/first.txt"));
    dialog.ShowSave();

    QCOMPARE(host.calls.at(1).settings.FileName, QStringLiteral("/a/first.txt"));
    QCOMPARE(dialog.ChosenName(), QStringLiteral("/b/second.txt"));
    QCOMPARE(dialog.Settings().FileName, QStringLiteral("/b/second.txt"));
}

void tst_CommonDialog::cancelReportsNoNameAndKeepsProposal()
{
    FakeHostUi host;
    host.openNames << QStringLiteral("/a/list.txt") << QString();
    CommonDialog dialog(host);

    dialog.ShowOpen();
    dialog.ShowOpen(); // cancelled

    QVERIFY(dialog.ChosenName().isEmpty());
    QCOMPARE(dialog.Settings().FileName, QStringLiteral("/a/list.txt"));

    CommonDialog save(host, saveDialogSettings());
    save.ShowSave(); // the queue is empty: cancelled
    QVERIFY(save.ChosenName().isEmpty());
    QCOMPARE(save.Settings().FileName, QStringLiteral("Alphabetized File"));
}

QTEST_APPLESS_MAIN(tst_CommonDialog)
#include "tst_commondialog.moc"
