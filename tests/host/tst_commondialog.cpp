#include "fakehostui.h"
#include "host/commondialog.h"
#include "host/dialogsettings.h"

#include <QTest>

class tst_CommonDialog : public QObject
{
    Q_OBJECT

private slots:
    void showPassesSettingsAndReportsChosenName_data();
    void showPassesSettingsAndReportsChosenName();
    void settingsChangedBeforeShowingAreTheOnesShown();
    void chosenNameIsProposedNextTime();
    void cancelReportsNoNameAndKeepsProposal();
};

// The program's own settings are checked where its windows show the
// dialogs (tst_form1open, tst_form1save); here, any settings go through.
void tst_CommonDialog::showPassesSettingsAndReportsChosenName_data()
{
    QTest::addColumn<bool>("saving");
    QTest::newRow("open dialog") << false;
    QTest::newRow("save dialog") << true;
}

void tst_CommonDialog::showPassesSettingsAndReportsChosenName()
{
    QFETCH(bool, saving);
    FakeHostUi host;
    (saving ? host.saveNames : host.openNames).enqueue(QStringLiteral("/data/names.txt"));
    FileDialogSettings settings;
    settings.DialogTitle = QStringLiteral("Pick a list");
    settings.DefaultExt = QStringLiteral(".txt");
    settings.Filter = QStringLiteral("Lists (*.txt)|*.txt|");
    settings.FileName = QStringLiteral("proposed");
    settings.Directory = QStringLiteral("/data");
    CommonDialog dialog(host, settings);
    QVERIFY(dialog.ChosenName().isEmpty());

    saving ? dialog.ShowSave() : dialog.ShowOpen();

    QCOMPARE(host.calls.size(), 1);
    const HostCall &call = host.calls.constFirst();
    QCOMPARE(call.kind, saving ? HostCall::SaveDialog : HostCall::OpenDialog);
    QCOMPARE(call.settings.DialogTitle, settings.DialogTitle);
    QCOMPARE(call.settings.DefaultExt, settings.DefaultExt);
    QCOMPARE(call.settings.Filter, settings.Filter);
    QCOMPARE(call.settings.FileName, settings.FileName);
    QCOMPARE(call.settings.Directory, settings.Directory);
    QCOMPARE(dialog.ChosenName(), QStringLiteral("/data/names.txt"));
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
