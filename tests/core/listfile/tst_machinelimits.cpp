#include "listfiletest.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <vector>

using namespace Qt::StringLiterals;
using namespace ListFileTest;

namespace {

struct ProgramRun
{
    int status = 0;
    QByteArray errors;
};

// Runs lexivorn_bench with the arguments as bytes, as a shell passes them,
// under one limit set in the child before it starts.
ProgramRun runBench(const QList<QByteArray> &arguments, int resource, qint64 limit,
                    const QList<QByteArray> &environment = {})
{
    QList<QByteArray> strings = {LEXIVORN_BENCH};
    strings += arguments;
    std::vector<char *> argv;
    for (QByteArray &string : strings)
        argv.push_back(string.data());
    argv.push_back(nullptr);

    ProgramRun run;
    int errors[2];
    if (pipe(errors) != 0)
        return run;
    const pid_t child = fork();
    if (child == 0) {
        dup2(errors[1], STDERR_FILENO);
        close(errors[0]);
        close(errors[1]);
        std::signal(SIGXFSZ, SIG_DFL);
        for (const QByteArray &variable : environment)
            putenv(const_cast<char *>(variable.constData()));
        const rlimit value{rlim_t(limit), rlim_t(limit)};
        setrlimit(resource, &value);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(errors[1]);
    char buffer[4096];
    for (ssize_t got; (got = read(errors[0], buffer, sizeof buffer)) > 0;)
        run.errors.append(buffer, got);
    close(errors[0]);
    waitpid(child, &run.status, 0);
    return run;
}

} // namespace

class tst_MachineLimits : public QObject
{
    Q_OBJECT

private slots:
    void limitsOfTheMachine_data();
    void limitsOfTheMachine();
};

void tst_MachineLimits::limitsOfTheMachine_data()
{
    QTest::addColumn<int>("resource");
    QTest::addColumn<qint64>("limit");
    QTest::addColumn<qsizetype>("inputBytes");
    QTest::addColumn<QByteArray>("outputName");
    QTest::addColumn<QString>("reason");
    // A call that fails once on the list file, or on the new file made to
    // take its place (see failcall.cpp); none when empty.
    QTest::addColumn<QByteArray>("failingCall");
    // The list file has a second name, so it is written in place.
    QTest::addColumn<bool>("inPlace");
    // The call fails on the safety copy rather than on the list file.
    QTest::addColumn<bool>("failsOnCopy");
    // The list file holds the new list all the same.
    QTest::addColumn<bool>("listSaved");

    const QString tooLarge = u"The file is too large for the memory this program can get"_s;
    // Entries go out 512 to a write: the limit cuts one write short, and the
    // next says why.
    QTest::newRow("file size limit, list larger than the write buffer")
            << int(RLIMIT_FSIZE) << qint64(4096) << qsizetype(20 * 1024) << "list.txt"_ba
            << u"File too large"_s << QByteArray() << false << false << false;
    QTest::newRow("file size limit, list smaller than the write buffer")
            << int(RLIMIT_FSIZE) << qint64(4096) << qsizetype(8 * 1024) << "list.txt"_ba
            << u"File too large"_s << QByteArray() << false << false << false;
    // The input is sparse: it takes no room on disk and is never read.
    QTest::newRow("address space limit")
            << int(RLIMIT_AS) << qint64(2) * 1024 * 1024 * 1024 << qsizetype(1024) * 1024 * 1024
            << "list.txt"_ba << tooLarge << QByteArray() << false << false << false;
    QTest::newRow("data size limit")
            << int(RLIMIT_DATA) << qint64(512) * 1024 * 1024 << qsizetype(1024) * 1024 * 1024
            << "list.txt"_ba << tooLarge << QByteArray() << false << false << false;
    QTest::newRow("output name not valid UTF-8")
            << int(RLIMIT_FSIZE) << qint64(RLIM_INFINITY) << qsizetype(60) << "caf\xE9.txt"_ba
            << u"The file name is not valid UTF-8"_s << QByteArray() << false << false << false;
    // A disk that fails only when the data reaches it (thin storage, a
    // quota on a network share) says so in the flush or the close alone.
    const QString failed = u"Input/output error"_s;
    for (const bool inPlace : {false, true}) {
        const char *const how = inPlace ? ", written in place" : ", replaced";
        QTest::addRow("flush fails%s", how)
                << int(RLIMIT_FSIZE) << qint64(RLIM_INFINITY) << qsizetype(60) << "list.txt"_ba
                << failed << "fdatasync"_ba << inPlace << false << false;
        QTest::addRow("close fails%s", how)
                << int(RLIMIT_FSIZE) << qint64(RLIM_INFINITY) << qsizetype(60) << "list.txt"_ba
                << failed << "close"_ba << inPlace << false << false;
    }
    QTest::newRow("rename over the file fails")
            << int(RLIMIT_FSIZE) << qint64(RLIM_INFINITY) << qsizetype(60) << "list.txt"_ba
            << failed << "renameat"_ba << false << false << false;
    QTest::newRow("safety copy's flush fails")
            << int(RLIMIT_FSIZE) << qint64(RLIM_INFINITY) << qsizetype(60) << "list.txt"_ba
            << u"The safety copy could not be made, so nothing was written: Input/output error"_s
            << "fdatasync"_ba << true << true << false;
    // After the rename: the file holds the new list, which may yet be lost.
    QTest::newRow("folder's flush fails after the rename")
            << int(RLIMIT_FSIZE) << qint64(RLIM_INFINITY) << qsizetype(60) << "list.txt"_ba
            << u"The new list is in the file, but the system could not make sure that the "
               u"folder's record of it is on disk (Input/output error)."_s
            << "fsync"_ba << false << false << true;
}

// lexivorn_bench reads and saves as the program does, so it runs here under
// each limit as the program would: the limit set in the child, the signal
// a file-size limit raises left to the program. It must say why it failed
// and leave the old list file whole, with nothing beside it and no copy of
// it left in $TMPDIR.
void tst_MachineLimits::limitsOfTheMachine()
{
    QFETCH(int, resource);
    QFETCH(qint64, limit);
    QFETCH(qsizetype, inputBytes);
    QFETCH(QByteArray, outputName);
    QFETCH(QString, reason);
    QFETCH(QByteArray, failingCall);
    QFETCH(bool, inPlace);
    QFETCH(bool, failsOnCopy);
    QFETCH(bool, listSaved);

    QTemporaryDir dir;
    // On a disk, as a safety copy must be: the temporary folder may be in
    // memory.
    QTemporaryDir aside(QDir::currentPath() + u"/aside-XXXXXX"_s);
    const QString list = dir.filePath(u"list.txt"_s);
    const QByteArray original = "original\r\n"_ba.repeated(20);
    QVERIFY(writeFile(list, original));
    if (inPlace)
        QCOMPARE(::link(QFile::encodeName(list).constData(),
                        QFile::encodeName(dir.filePath(u"second name.txt"_s)).constData()),
                 0);
    // A large input is sparse: it takes no room on disk, and is refused
    // before it is read.
    QFile input(dir.filePath(u"input.txt"_s));
    QVERIFY(input.open(QIODevice::WriteOnly));
    QVERIFY(input.write("line\r\n"_ba.repeated(qMin(inputBytes, qsizetype(32 * 1024)) / 6)) > 0);
    QVERIFY(input.resize(qMax(input.size(), qint64(inputBytes))));
    input.close();
    const QStringList filesBefore = filesIn(dir);

    const QByteArray output = QFile::encodeName(dir.path()) + '/' + outputName;
    QList<QByteArray> environment = {"TMPDIR=" + QFile::encodeName(aside.path())};
    if (!failingCall.isEmpty())
        environment +=
                {"LD_PRELOAD=" LEXIVORN_FAILCALL, "LEXIVORN_FAIL_CALL=" + failingCall,
                 "LEXIVORN_FAIL_FILE="
                         + (failsOnCopy ? QFile::encodeName(aside.filePath(u"x"_s)) : output)};
    const ProgramRun run =
            runBench({output, QFile::encodeName(input.fileName())}, resource, limit, environment);
    QVERIFY2(WIFEXITED(run.status), "lexivorn_bench was killed by a signal");
    QCOMPARE(WEXITSTATUS(run.status), 1);
    QVERIFY2(run.errors.contains(reason.toUtf8()), run.errors.constData());
    QCOMPARE(readFile(list), listSaved ? readFile(input.fileName()) : original);
    QCOMPARE(filesIn(dir), filesBefore);
    QCOMPARE(filesIn(aside), QStringList());
}

QTEST_APPLESS_MAIN(tst_MachineLimits)
#include "tst_machinelimits.moc"
