#include "mainwindow/program.h"

#include "commandline.h"
#include "deferrediconstyle.h"
#include "host/qthostui.h"
#include "mainwindow/entrylistmodel.h"
#include "mainwindow/form1.h"
#include "platformchoice.h"
#include "resources/appinfo.h"
#include "utf8locale.h"

#include <QApplication>
#include <QProcessEnvironment>

#include <csignal>
#include <cstdio>
#include <cstdlib>

using namespace Qt::StringLiterals;

namespace {

void printFailure(const QString &why)
{
    const QByteArray line = (u"lexivorn: "_s + why + u'\n').toLocal8Bit();
    std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
    std::fflush(stderr);
}

QtMessageHandler qtMessageHandler = nullptr;

// Qt ends the program with abort() when it cannot open the window system it
// was given (a DISPLAY whose server is gone), after a text that suggests
// reinstalling the program. The program says what is wrong instead, and
// ends with status 1.
void failWithoutWindowSystem(QtMsgType type, const QMessageLogContext &context,
                             const QString &message)
{
    if (type != QtFatalMsg)
        return qtMessageHandler(type, context, message);
    printFailure(u"could not open the display; a graphical session is needed"_s);
    std::_Exit(1);
}

} // namespace

std::unique_ptr<Form1> startMainWindow(HostUi &host, const QStringList &files)
{
    AppInfo::applyApplicationInfo();
    // The desktop's style, with the menu bar's overflow icon made when drawn;
    // set once, however often the windows are started (the tests start
    // them for every case).
    if (!qobject_cast<DeferredIconStyle *>(QApplication::style()))
        QApplication::setStyle(new DeferredIconStyle);
    // Hiding the main window while the progress window plays, or having no
    // window shown for a moment, must not end the program: only Exit does.
    QApplication::setQuitOnLastWindowClosed(false);
    auto form1 = std::make_unique<Form1>(host);
    form1->show();
    form1->openFiles(files);
    return form1;
}

int runProgram(int argc, char *argv[])
{
#ifdef SIGXFSZ
    // A save past a file-size limit (ulimit -f, LimitFSIZE=) would otherwise
    // kill the program with the list unsaved; ignored, the write fails with
    // "File too large" and the save says so.
    std::signal(SIGXFSZ, SIG_IGN);
#endif
    replaceCLocaleByCUtf8();
    const CommandLine commandLine = readCommandLine(argc, argv);
    if (commandLine.exitStatus)
        return *commandLine.exitStatus;

    // Qt reads the platform when the application object is made.
    const QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (const QString missing = missingDisplay(environment); !missing.isEmpty()) {
        printFailure(missing);
        return 1;
    }
    if (const QString platform = choosePlatform(environment); !platform.isEmpty())
        qputenv("QT_QPA_PLATFORM", platform.toLocal8Bit());
    qtMessageHandler = qInstallMessageHandler(failWithoutWindowSystem);
    QApplication app(argc, argv);
    qInstallMessageHandler(qtMessageHandler);
    QtHostUi host;
    const std::unique_ptr<Form1> form1 = startMainWindow(host, commandLine.files);
    const int status = app.exec();
    // Exit ends the program at once. A file still being read, or one whose
    // read was given up, cannot be stopped part-way, and waiting for it could
    // take minutes: the program ends here instead, and the system closes the
    // file. Nothing is being written: saves run on this thread, and are over
    // by now.
    if (form1->List1().hasReadsRunning()) {
        std::fflush(nullptr);
        std::_Exit(status);
    }
    return status;
}
