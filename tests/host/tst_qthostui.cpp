#include "dialogsettings.h"
#include "qthostui.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>

// The boxes and dialogs block in exec(); the test acts on them from inside
// their own event loop, as the user would.
static void whenModalShown(std::function<void(QWidget *)> act)
{
    QTimer::singleShot(0, [act] {
        QTRY_VERIFY(QApplication::activeModalWidget());
        act(QApplication::activeModalWidget());
        // A failed step must not leave the test waiting on an open dialog.
        for (int i = 0; i < 3 && QApplication::activeModalWidget(); ++i) {
            QWidget *left = QApplication::activeModalWidget();
            if (auto *dialog = qobject_cast<QDialog *>(left))
                dialog->reject();
            left->close();
        }
    });
}

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

// The open dialog as the Open command shows it.
static FileDialogSettings openSettings()
{
    FileDialogSettings settings = openDialogSettings();
    settings.Filter = QStringLiteral("Text Files (*.txt)|*.txt|");
    return settings;
}

static bool writeFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write("b\r\na\r\n") == 6;
}

class tst_QtHostUi : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void messageReply_data();
    void messageReply();
    void messageText_data();
    void messageText();
    void dialogShowsSettings_data();
    void dialogShowsSettings();
    void openDialog_returnsFullPath_data();
    void openDialog_returnsFullPath();
    void saveDialog_typedName_data();
    void saveDialog_typedName();
    void saveDialog_asksBeforeReplacing();
    void cancelledDialogReturnsNoName_data();
    void cancelledDialogReturnsNoName();
    void windowDestroyedUnderneath_data();
    void windowDestroyedUnderneath();

private:
    QtHostUi m_host;
    QTemporaryDir m_dir;
};

void tst_QtHostUi::initTestCase()
{
    // Qt's file dialog keeps its own state in the user's settings.
    QStandardPaths::setTestModeEnabled(true);
    QVERIFY(m_dir.isValid());
}

enum class Closing { ClickYes, ClickNo, ClickOk, PressEscape, PressReturn, CloseWindow };

void tst_QtHostUi::messageReply_data()
{
    QTest::addColumn<MessageStyle>("style");
    QTest::addColumn<Closing>("closing");
    QTest::addColumn<MessageReply>("reply");
    QTest::addColumn<QMessageBox::Icon>("icon");
    QTest::addColumn<QMessageBox::StandardButtons>("buttons");

    const QMessageBox::StandardButtons yesNo = QMessageBox::Yes | QMessageBox::No;
    const QMessageBox::StandardButtons ok = QMessageBox::Ok;
    using enum MessageStyle;
    using enum MessageReply;
    QTest::newRow("Yes button of a Yes/No box")
            << YesNo << Closing::ClickYes << Yes << QMessageBox::NoIcon << yesNo;
    QTest::newRow("No button of a Yes/No box")
            << YesNo << Closing::ClickNo << No << QMessageBox::NoIcon << yesNo;
    QTest::newRow("Escape on a Yes/No box is No")
            << YesNo << Closing::PressEscape << No << QMessageBox::NoIcon << yesNo;
    QTest::newRow("window close of a Yes/No box is No")
            << YesNo << Closing::CloseWindow << No << QMessageBox::NoIcon << yesNo;
    QTest::newRow("Return on a Yes/No box takes Yes")
            << YesNo << Closing::PressReturn << Yes << QMessageBox::NoIcon << yesNo;
    QTest::newRow("OK of a plain box")
            << OkOnly << Closing::ClickOk << Ok << QMessageBox::NoIcon << ok;
    QTest::newRow("Escape on a plain box is OK")
            << OkOnly << Closing::PressEscape << Ok << QMessageBox::NoIcon << ok;
    QTest::newRow("OK of an information box")
            << Information << Closing::ClickOk << Ok << QMessageBox::Information << ok;
    QTest::newRow("window close of an information box is OK")
            << Information << Closing::CloseWindow << Ok << QMessageBox::Information << ok;
    QTest::newRow("OK of a warning box")
            << Warning << Closing::ClickOk << Ok << QMessageBox::Warning << ok;
}

void tst_QtHostUi::messageReply()
{
    QFETCH(MessageStyle, style);
    QFETCH(Closing, closing);
    QFETCH(MessageReply, reply);
    QFETCH(QMessageBox::Icon, icon);
    QFETCH(QMessageBox::StandardButtons, buttons);

    whenModalShown([&](QWidget *modal) {
        auto *box = qobject_cast<QMessageBox *>(modal);
        QVERIFY(box);
        QCOMPARE(box->objectName(), QStringLiteral("messageBox"));
        QCOMPARE(box->windowModality(), Qt::ApplicationModal);
        QCOMPARE(box->icon(), icon);
        QCOMPARE(box->standardButtons(), buttons);
        // Without an icon the text starts at the margin, not after an empty
        // column.
        const auto *text = box->findChild<QLabel *>(QStringLiteral("qt_msgbox_label"));
        const int margin = box->layout()->contentsMargins().left();
        QCOMPARE(text->x() == margin, icon == QMessageBox::NoIcon);
        switch (closing) {
        case Closing::ClickYes:
            QTest::mouseClick(box->button(QMessageBox::Yes), Qt::LeftButton);
            break;
        case Closing::ClickNo:
            QTest::mouseClick(box->button(QMessageBox::No), Qt::LeftButton);
            break;
        case Closing::ClickOk:
            QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
            break;
        case Closing::PressEscape:
            QTest::keyClick(box, Qt::Key_Escape);
            break;
        case Closing::PressReturn:
            QTest::keyClick(box, Qt::Key_Return);
            break;
        case Closing::CloseWindow:
            box->close();
            break;
        }
        QVERIFY(!box->isVisible());
    });
    QCOMPARE(m_host.ShowMessage(QStringLiteral("Save the list?"), style, QStringLiteral("Done")),
             reply);
}

void tst_QtHostUi::messageText_data()
{
    QTest::addColumn<QString>("prompt");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("shown");

    QTest::newRow("CR LF breaks the line")
            << QStringLiteral("Sorting done.\r\nSave it?") << QStringLiteral("Done")
            << QStringLiteral("Sorting done.\nSave it?");
    QTest::newRow("blank lines and trailing breaks kept")
            << QStringLiteral("One\r\n\r\nReport bugs to:  x@y\r\n\r\n")
            << QStringLiteral("About Lexivorn v1.0")
            << QStringLiteral("One\n\nReport bugs to:  x@y\n\n");
    QTest::newRow("markup shown as written")
            << QStringLiteral("<b>C:\\a&b.txt</b> <br>") << QStringLiteral("<i>Error</i>")
            << QStringLiteral("<b>C:\\a&b.txt</b> <br>");
    QTest::newRow("non-ASCII text and empty title")
            << u"Bücherliste – “fertig”"_qs << QString() << u"Bücherliste – “fertig”"_qs;
}

void tst_QtHostUi::messageText()
{
    QFETCH(QString, prompt);
    QFETCH(QString, title);
    QFETCH(QString, shown);

    QString seenTitle;
    QString seenText;
    Qt::TextFormat seenFormat = Qt::AutoText;
    whenModalShown([&](QWidget *modal) {
        auto *label = modal->findChild<QLabel *>(QStringLiteral("qt_msgbox_label"));
        QVERIFY(label);
        seenTitle = modal->windowTitle();
        seenText = label->text();
        seenFormat = label->textFormat();
        QTest::keyClick(modal, Qt::Key_Escape);
    });
    m_host.ShowMessage(prompt, MessageStyle::Information, title);

    QCOMPARE(seenTitle, title);
    QCOMPARE(seenText, shown);
    QCOMPARE(seenFormat, Qt::PlainText);
}

void tst_QtHostUi::dialogShowsSettings_data()
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

void tst_QtHostUi::dialogShowsSettings()
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
        QVERIFY(dialog->testOption(QFileDialog::DontUseNativeDialog));
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

void tst_QtHostUi::openDialog_returnsFullPath_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QString>("typed");

    QTest::newRow("plain name") << QStringLiteral("names.txt") << QStringLiteral("names.txt");
    QTest::newRow("spaces and non-ASCII letters")
            << u"Größe Bücher Ærø.txt"_qs << u"Größe Bücher Ærø.txt"_qs;
    QTest::newRow("default suffix added") << QStringLiteral("words.txt") << QStringLiteral("words");
}

void tst_QtHostUi::openDialog_returnsFullPath()
{
    QFETCH(QString, fileName);
    QFETCH(QString, typed);
    const QString path = m_dir.filePath(fileName);
    QVERIFY(writeFile(path));

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

void tst_QtHostUi::saveDialog_typedName_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("saved");

    QTest::newRow("preset name gets the suffix")
            << QStringLiteral("Alphabetized File") << QStringLiteral("Alphabetized File.txt");
    QTest::newRow("spaces and non-ASCII letters") << u"Liste für Åsa"_qs << u"Liste für Åsa.txt"_qs;
    QTest::newRow("own extension kept")
            << QStringLiteral("sorted.lst") << QStringLiteral("sorted.lst");
}

void tst_QtHostUi::saveDialog_typedName()
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
    QVERIFY(writeFile(chosen));
    QVERIFY(QFileInfo::exists(dir.filePath(saved)));
}

void tst_QtHostUi::saveDialog_asksBeforeReplacing()
{
    const QString path = m_dir.filePath(QStringLiteral("existing list.txt"));
    QVERIFY(writeFile(path));
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

void tst_QtHostUi::cancelledDialogReturnsNoName_data()
{
    QTest::addColumn<bool>("saving");
    QTest::addColumn<bool>("escape");

    QTest::newRow("open, Cancel button") << false << false;
    QTest::newRow("open, Escape") << false << true;
    QTest::newRow("save with preset name, Cancel button") << true << false;
    QTest::newRow("save with preset name, Escape") << true << true;
}

void tst_QtHostUi::cancelledDialogReturnsNoName()
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

void tst_QtHostUi::windowDestroyedUnderneath_data()
{
    QTest::addColumn<int>("kind");
    QTest::newRow("Yes/No box") << 0;
    QTest::newRow("open dialog") << 1;
    QTest::newRow("save dialog") << 2;
}

// A box sits over the window in use; if that window goes away while the box
// is up, the call still returns, as a refusal.
void tst_QtHostUi::windowDestroyedUnderneath()
{
    QFETCH(int, kind);
    auto *window = new QWidget;
    window->show();
    QApplication::setActiveWindow(window);
    QTRY_COMPARE(QApplication::activeWindow(), window);

    QPointer<QWidget> boxSeen;
    bool overWindow = false;
    whenModalShown([&](QWidget *modal) {
        boxSeen = modal;
        overWindow = modal->parentWidget() == window;
        delete window;
        // Nothing else closed it: it went with its window.
        QVERIFY(boxSeen.isNull());
    });
    switch (kind) {
    case 0:
        QCOMPARE(m_host.ShowMessage(QStringLiteral("Save?"), MessageStyle::YesNo, QString()),
                 MessageReply::No);
        break;
    case 1:
        QCOMPARE(m_host.ShowOpenDialog(openSettings()), QString());
        break;
    default:
        QCOMPARE(m_host.ShowSaveDialog(saveDialogSettings()), QString());
        break;
    }
    QVERIFY(overWindow);
    QCOMPARE(QApplication::activeModalWidget(), nullptr);
}

QTEST_MAIN(tst_QtHostUi)
#include "tst_qthostui.moc"
