// lexivorn_open_probe FILE
// One Open of FILE through the main window, started as the program starts
// it, with the open dialog answered by FILE, until the list is painted. The
// progress window is closed at once (which brings the main window back, as
// any early close does), so the figure is the work, not the 6 s the
// progress window plays.

#include "firstpaint.h"
#include "host/hostui.h"
#include "mainwindow/entrylistmodel.h"
#include "mainwindow/form1.h"
#include "mainwindow/program.h"

#include <QApplication>
#include <QEventLoop>
#include <QFile>
#include <QListView>

#include <cstdio>
#include <memory>
#include <utility>

using namespace Qt::StringLiterals;

namespace {

// Chooses FILE in the open dialog, cancels any other dialog and answers
// every message with No. A message means the Open failed; it is counted
// so that the probe fails instead of timing an error path.
class ScriptedHostUi final : public HostUi
{
public:
    explicit ScriptedHostUi(QString fileName)
        : m_fileName(std::move(fileName))
    { }

    int messages = 0;

    MessageReply ShowMessage(const QString &prompt, MessageStyle, const QString &title) override
    {
        std::fprintf(stderr, "lexivorn_open_probe: %s: %s\n", qPrintable(title),
                     qPrintable(prompt));
        ++messages;
        return MessageReply::No;
    }
    QString ShowOpenDialog(const FileDialogSettings &) override { return m_fileName; }
    QString ShowSaveDialog(const FileDialogSettings &) override { return {}; }

private:
    QString m_fileName;
};

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: lexivorn_open_probe FILE\n");
        return 2;
    }
    ScriptedHostUi host(QFile::decodeName(argv[1]));
    const std::unique_ptr<Form1> started = startMainWindow(host);
    Form1 &form1 = *started;
    form1.mnuOpen_Click();
    // The file is read on a thread of its own; the probe goes on once it is
    // in the list.
    QEventLoop reading;
    QObject::connect(&form1.List1(), &EntryListModel::filesAdded, &reading, &QEventLoop::quit);
    if (form1.List1().isAddingFiles())
        reading.exec();
    if (host.messages > 0 || form1.List1().rowCount() == 0)
        return 1;
    for (QWidget *window : QApplication::topLevelWidgets()) {
        if (window->objectName() == u"Form2")
            window->close();
    }

    auto *list = form1.findChild<QListView *>(u"List1"_s);
    new ExitOnFirstPaint(list->viewport());
    failIfNoPaintWithin(10000, "lexivorn_open_probe");
    return app.exec();
}
