#include "commandline.h"

#include "resources/appinfo.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

constexpr int UsageError = 2;

// The help, its usage line naming the program by its name rather than by
// the path it was started by.
QString helpText(const QCommandLineParser &parser)
{
    const QString started = QCoreApplication::arguments().value(0);
    QString text = parser.helpText();
    const qsizetype at = text.indexOf(started);
    if (!started.isEmpty() && at >= 0 && at < text.indexOf(u'\n'))
        text.replace(at, started.size(), QFileInfo(started).fileName());
    return text;
}

void print(std::FILE *stream, const QString &text)
{
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}

} // namespace

CommandLine readCommandLine(int &argc, char **argv)
{
    // Every argument is read here, and none is left for Qt: QCoreApplication
    // takes -qmljsdebugger out of its arguments, and QGuiApplication acts on
    // -platform, -display or -stylesheet, even after "--", where they name
    // files. The application objects see the program's name alone.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    argc = qMin(argc, 1);
    argv[argc] = nullptr;
    // Lives only while the arguments are read: it names the program in the
    // usage.
    const QCoreApplication application(argc, argv);

    QCommandLineParser parser;
    // "-platform" is one unknown option, not eight unknown letters.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(AppInfo::Description.toString());
    // Not addHelpOption(): it also offers --help-all, which lists Qt's
    // generic options, and those are refused here like any other.
    const QCommandLineOption help({u"h"_s, u"help"_s}, u"Displays this help."_s);
    parser.addOption(help);
    const QCommandLineOption version = parser.addVersionOption();
    parser.addPositionalArgument(
            u"FILE"_s,
            u"Text files to open together, as one Open: one progress window and one prompt."_s,
            u"[FILE...]"_s);

    CommandLine commandLine;
    if (!parser.parse(arguments)) {
        const QString usage = helpText(parser).section(u'\n', 0, 0);
        print(stderr,
              QCoreApplication::applicationName() % u": "_s % parser.errorText() % u'\n' % usage
                      % u'\n');
        commandLine.exitStatus = UsageError;
    } else if (parser.isSet(help)) {
        print(stdout, helpText(parser));
        commandLine.exitStatus = 0;
    } else if (parser.isSet(version)) {
        print(stdout, AppInfo::Name % u' ' % AppInfo::Version % u'\n');
        commandLine.exitStatus = 0;
    } else {
        // Absolute, as the open dialog gives them: later dialogs start in
        // their folder, and messages name them whole. Nothing is shortened:
        // "docs/../x.txt" is not "x.txt" where docs is a link, and the system
        // alone knows which file it names.
        const QStringList files = parser.positionalArguments();
        const QDir current = QDir::current();
        for (const QString &file : files)
            commandLine.files.append(current.filePath(file));
    }
    return commandLine;
}
