#pragma once

#include <QFile>
#include <QString>
#include <QtGlobal>

// Holds the reads of one file up, as a slow disk would, until release() or
// the end of the scope. It works where the test runs with lexivorn_heldread
// preloaded, as CTest runs the window tests.
class HeldRead
{
public:
    static bool isAvailable()
    {
        return qEnvironmentVariable("LD_PRELOAD").contains(QStringLiteral("heldread"));
    }

    // The reads are held while `marker`, an existing file, is there.
    HeldRead(const QString &path, const QString &marker)
        : m_marker(marker)
    {
        qputenv("LEXIVORN_HOLD_FILE", QFile::encodeName(path));
        qputenv("LEXIVORN_HOLD_WHILE", QFile::encodeName(marker));
    }
    ~HeldRead()
    {
        release();
        qunsetenv("LEXIVORN_HOLD_FILE");
    }
    Q_DISABLE_COPY_MOVE(HeldRead)

    // False where the reads were let go already.
    bool release() { return QFile::remove(m_marker); }

private:
    QString m_marker;
};
