#include "host/dialogsettings.h"
#include "host/qthostui.h"
#include "modaltest.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QLayout>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QStandardPaths>
#include <QTest>

using namespace Qt::StringLiterals;

class tst_QtHostMessages : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void messageReply_data();
    void messageReply();
    void messageText_data();
    void messageText();
    void windowDestroyedUnderneath_data();
    void windowDestroyedUnderneath();

private:
    QtHostUi m_host;
};

void tst_QtHostMessages::initTestCase()
{
    // Qt's file dialog keeps its own state in the user's settings.
    QStandardPaths::setTestModeEnabled(true);
}

enum class Closing { ClickYes, ClickNo, ClickOk, PressEscape, PressReturn, CloseWindow };

void tst_QtHostMessages::messageReply_data()
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
    QTest::newRow("Return on a question whether to replace takes No")
            << YesNoWarningDefaultNo << Closing::PressReturn << No << QMessageBox::Warning << yesNo;
}

void tst_QtHostMessages::messageReply()
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

void tst_QtHostMessages::messageText_data()
{
    QTest::addColumn<QString>("prompt");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("shown");

    QTest::newRow("CR LF breaks the line")
            << QStringLiteral("Sorting done.\r\nSave it?") << QStringLiteral("Finished")
            << QStringLiteral("Sorting done.\nSave it?");
    QTest::newRow("blank lines and trailing breaks kept")
            << QStringLiteral("One\r\n\r\nReport bugs to:  x@y\r\n\r\n")
            << QStringLiteral("About Lexivorn v1.0")
            << QStringLiteral("One\n\nReport bugs to:  x@y\n\n");
    QTest::newRow("markup shown as written")
            << QStringLiteral("<b>C:\\a&b.txt</b> <br>") << QStringLiteral("<i>Error</i>")
            << QStringLiteral("<b>C:\\a&b.txt</b> <br>");
    QString manyLines;
    for (int line = 1; line <= 200; ++line)
        manyLines += u"/home/user/lists/list %1.txt: the file could not be read.\r\n"_s.arg(line);
    QTest::newRow("text taller than the screen scrolls")
            << manyLines << QStringLiteral("Error")
            << QString(manyLines).replace(u"\r\n"_s, u"\n"_s);
    QTest::newRow("non-ASCII text and empty title")
            << u"Bücherliste – “fertig”"_s << QString() << u"Bücherliste – “fertig”"_s;
}

void tst_QtHostMessages::messageText()
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
        // The title fits between the buttons of any window manager's title
        // bar: up to four of 24 pixels a side, in a font of 14 pixels or more.
        QFont titleFont = QGuiApplication::font();
        titleFont.setBold(true);
        titleFont.setPixelSize(14);
        QVERIFY(modal->width() >= QFontMetrics(titleFont).horizontalAdvance(title) + 2 * 4 * 24);
        // However long the text, the box and its button stay on the screen.
        const QRect screen = modal->screen()->availableGeometry();
        QVERIFY(modal->height() <= screen.height());
        const auto *ok = qobject_cast<QMessageBox *>(modal)->button(QMessageBox::Ok);
        QVERIFY(ok->isVisible());
        QVERIFY(ok->mapTo(modal, ok->rect().bottomRight()).y() < modal->height());
        QTest::keyClick(modal, Qt::Key_Escape);
    });
    m_host.ShowMessage(prompt, MessageStyle::Information, title);

    QCOMPARE(seenTitle, title);
    QCOMPARE(seenText, shown);
    QCOMPARE(seenFormat, Qt::PlainText);
}

void tst_QtHostMessages::windowDestroyedUnderneath_data()
{
    QTest::addColumn<int>("kind");
    QTest::newRow("Yes/No box") << 0;
    QTest::newRow("open dialog") << 1;
    QTest::newRow("save dialog") << 2;
}

// A box sits over the window in use; if that window goes away while the box
// is up, the call still returns, as a refusal.
void tst_QtHostMessages::windowDestroyedUnderneath()
{
    QFETCH(int, kind);
    auto *window = new QWidget;
    window->show();
    window->activateWindow();
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

QTEST_MAIN(tst_QtHostMessages)
#include "tst_qthostmessages.moc"
