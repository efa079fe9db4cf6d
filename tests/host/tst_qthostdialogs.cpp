#include "host/dialogsettings.h"
#include "host/qthostui.h"
#include "modaltest.h"
#include "testfiles.h"

#include <QAbstractButton>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>

using namespace Qt::StringLiterals;

// Types a name into the dialog, as the user does, and presses Open or Save.
static void typeNameAndAccept(QFileDialog *dialog, const QString &name)
{
    auto *edit = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
    auto *buttons = dialog->findChild<QDialogButtonBox *>(QStringLiteral("buttonBox"));
    QVERIFY(edit);
    QVERIFY(buttons);
    edit->setText(name);
    QAbstractButton *accept = buttons->button(dialog->acceptMode() == QFileDialog::AcceptSave
                                                      ? QDialogButtonBox::Save
                                                      : QDialogButtonBox::Open);
    QVERIFY(accept);
    QVERIFY(accept->isEnabled());
    accept->click();
}

static QString fileNameShown(QFileDialog *dialog)
{
    auto *edit = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
    return edit ? edit->text() : QString();
}

class tst_QtHostDialogs : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void dialogShowsSettings_data();
    void dialogShowsSettings();
    void openDialog_returnsFullPath_data();
    void openDialog_returnsFullPath();
    void saveDialog_typedName_data();
    void saveDialog_typedName();
    void saveDialog_asksBeforeReplacing();
    void cancelledDialogReturnsNoName_data();
    void cancelledDialogReturnsNoName();

private:
    QtHostUi m_host;
    QTemporaryDir m_dir;
};

void tst_QtHostDialogs::initTestCase()
{
    // Qt's file dialog keeps its own state in the user's settings.
    QStandardPaths::setTestModeEnabled(true);
    QVERIFY(m_dir.isValid());
}

void tst_QtHostDialogs::dialogShowsSettings_data()
{
    QTest::addColumn<bool>("saving");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QStringList>("filters");
    QTest::addColumn<QString>("proposedName");
    QTest::addColumn<QString>("folder"); // to start in; empty: any
    QTest::addColumn<QString>("objectName");
    QTest::addColumn<QFileDialog::AcceptMode>("acceptMode");
    QTest::addColumn<QFileDialog::FileMode>("fileMode");

    QTest::newRow("open dialog") << false << QStringLiteral("Open file to alphabetize...")
                                 << QStringList{QStringLiteral("Text Files (*.txt)")} << QString()
                                 << QString() << QStringLiteral("openFileDialog")
                                 << QFileDialog::AcceptOpen << QFileDialog::ExistingFile;
    QTest::newRow("save dialog proposes the preset name in the given folder")
            << true << QStringLiteral("Save file as...") << QStringList{QStringLiteral("*.txt")}
            << QStringLiteral("Alphabetized File") << m_dir.path()
            << QStringLiteral("saveFileDialog") << QFileDialog::AcceptSave << QFileDialog::AnyFile;
}

void tst_QtHostDialogs::dialogShowsSettings()
{
    QFETCH(bool, saving);
    QFETCH(QString, folder);

    QFileDialog *seen = nullptr;
    QString proposedNameSeen;
    QString folderSeen;
    whenModalShown([&](QWidget *modal) {
        auto *dialog = qobject_cast<QFileDialog *>(modal);
        QVERIFY(dialog);
        QFETCH(QString, title);
        QFETCH(QStringList, filters);
        QFETCH(QString, objectName);
        QFETCH(QFileDialog::AcceptMode, acceptMode);
        QFETCH(QFileDialog::FileMode, fileMode);
        seen = dialog;
        proposedNameSeen = fileNameShown(dialog);
        folderSeen = dialog->directory().absolutePath();
        QCOMPARE(dialog->windowTitle(), title);
        QCOMPARE(dialog->nameFilters(), filters);
        QCOMPARE(dialog->defaultSuffix(), QStringLiteral("txt"));
        QCOMPARE(dialog->objectName(), objectName);
        QCOMPARE(dialog->acceptMode(), acceptMode);
        QCOMPARE(dialog->fileMode(), fileMode);
        QCOMPARE(dialog->windowModality(), Qt::ApplicationModal);
        QVERIFY(!dialog->testOption(QFileDialog::DontConfirmOverwrite));
        // This platform has no dialog of its own; Qt's shows types whole.
        const auto *view = dialog->findChild<QTreeView *>(QStringLiteral("treeView"));
        QVERIFY(view);
        QVERIFY(view->header()->sectionSize(2)
                > view->fontMetrics().horizontalAdvance(QStringLiteral("plain text document")));
        dialog->reject();
    });
    FileDialogSettings settings = saving ? saveDialogSettings() : openSettings();
    settings.Directory = folder;
    const QString chosen =
            saving ? m_host.ShowSaveDialog(settings) : m_host.ShowOpenDialog(settings);

    QVERIFY(seen);
    QFETCH(QString, proposedName);
    QCOMPARE(proposedNameSeen, proposedName);
    if (!folder.isEmpty())
        QCOMPARE(folderSeen, folder);
    QCOMPARE(chosen, QString());
}

void tst_QtHostDialogs::openDialog_returnsFullPath_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QString>("typed");

    QTest::newRow("plain name") << QStringLiteral("names.txt") << QStringLiteral("names.txt");
    QTest::newRow("spaces and non-ASCII letters")
            << u"Größe Bücher Ærø.txt"_s << u"Größe Bücher Ærø.txt"_s;
    QTest::newRow("default suffix added") << QStringLiteral("words.txt") << QStringLiteral("words");
}

void tst_QtHostDialogs::openDialog_returnsFullPath()
{
    QFETCH(QString, fileName);
    QFETCH(QString, typed);
    const QString path = m_dir.filePath(fileName);
    QVERIFY(writeFile(path, "b\r\na\r\n"));

    whenModalShown([&](QWidget *modal) {
        auto *dialog = qobject_cast<QFileDialog *>(modal);
        QVERIFY(dialog);
        dialog->setDirectory(m_dir.path());
        typeNameAndAccept(dialog, typed);
    });
    const QString chosen = m_host.ShowOpenDialog(openSettings());

    QCOMPARE(chosen, path);
    QVERIFY(QFileInfo(chosen).isAbsolute());
    QFile file(chosen);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("b\r\na\r\n"));
}

void tst_QtHostDialogs::saveDialog_typedName_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("saved");

    QTest::newRow("preset name gets the suffix")
            << QStringLiteral("Alphabetized File") << QStringLiteral("Alphabetized File.txt");
    QTest::newRow("spaces and non-ASCII letters") << u"Liste für Åsa"_s << u"Liste für Åsa.txt"_s;
    QTest::newRow("own extension kept")
            << QStringLiteral("sorted.lst") << QStringLiteral("sorted.lst");
}

void tst_QtHostDialogs::saveDialog_typedName()
{
    QFETCH(QString, typed);
    QFETCH(QString, saved);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());

    whenModalShown([&](QWidget *modal) {
        auto *dialog = qobject_cast<QFileDialog *>(modal);
        QVERIFY(dialog);
        dialog->setDirectory(dir.path());
        typeNameAndAccept(dialog, typed);
    });
    const QString chosen = m_host.ShowSaveDialog(saveDialogSettings());

    QCOMPARE(chosen, dir.filePath(saved));
    QVERIFY(writeFile(chosen, "b\r\na\r\n"));
    QVERIFY(QFileInfo::exists(dir.filePath(saved)));
}

void tst_QtHostDialogs::saveDialog_asksBeforeReplacing()
{
    const QString path = m_dir.filePath(QStringLiteral("existing list.txt"));
    QVERIFY(writeFile(path, "b\r\na\r\n"));
    FileDialogSettings settings = saveDialogSettings();
    settings.FileName = path;

    bool asked = false;
    whenModalShown([&](QWidget *modal) {
        auto *dialog = qobject_cast<QFileDialog *>(modal);
        QVERIFY(dialog);
        QCOMPARE(fileNameShown(dialog), QStringLiteral("existing list.txt"));
        whenModalShown([&](QWidget *question) {
            auto *box = qobject_cast<QMessageBox *>(question);
            QVERIFY(box);
            asked = true;
            box->button(QMessageBox::Yes)->click();
        });
        typeNameAndAccept(dialog, QStringLiteral("existing list.txt"));
    });
    QCOMPARE(m_host.ShowSaveDialog(settings), path);
    QVERIFY(asked);
}

void tst_QtHostDialogs::cancelledDialogReturnsNoName_data()
{
    QTest::addColumn<bool>("saving");
    QTest::addColumn<bool>("escape");

    QTest::newRow("open, Cancel button") << false << false;
    QTest::newRow("open, Escape") << false << true;
    QTest::newRow("save with preset name, Cancel button") << true << false;
    QTest::newRow("save with preset name, Escape") << true << true;
}

void tst_QtHostDialogs::cancelledDialogReturnsNoName()
{
    QFETCH(bool, saving);
    QFETCH(bool, escape);

    whenModalShown([&](QWidget *modal) {
        auto *dialog = qobject_cast<QFileDialog *>(modal);
        QVERIFY(dialog);
        dialog->setDirectory(m_dir.path());
        if (escape) {
            QTest::keyClick(dialog, Qt::Key_Escape);
            return;
        }
        auto *buttons = dialog->findChild<QDialogButtonBox *>(QStringLiteral("buttonBox"));
        QVERIFY(buttons);
        buttons->button(QDialogButtonBox::Cancel)->click();
    });
    const QString chosen = saving ? m_host.ShowSaveDialog(saveDialogSettings())
                                  : m_host.ShowOpenDialog(openSettings());
    QCOMPARE(chosen, QString());
}
QTEST_MAIN(tst_QtHostDialogs)
#include "tst_qthostdialogs.moc"
