#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

// Files as the tests write and read them back. Qt Core only, so that every
// test may use them.

// Writes `bytes` as the whole of the file at `path`; false when that fails.
[[nodiscard]] inline bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// The file's bytes. A file that cannot be read matches no content, not even
// an empty file's.
inline QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

// A fresh folder that is removed with it, for the files of one test.
class TestFolder : public QTemporaryDir
{
public:
    // Writes the file `name` in this folder and gives its full path. A test
    // cannot go on without its file, so a failure ends the run.
    QString writeFile(const QString &name, const QByteArray &bytes) const
    {
        const QString path = filePath(name);
        if (!isValid() || !::writeFile(path, bytes))
            qFatal("cannot write the test file %s", qPrintable(path));
        return path;
    }
};
