#pragma once

#include "entrylistmodel.h"
#include "fakehostui.h"
#include "form1.h"
#include "form2.h"

#include <QFile>
#include <QLabel>
#include <QPointer>
#include <QTemporaryDir>
#include <QTimer>

// What the tests of the progress window share.
namespace ProgressTest {

using namespace Qt::StringLiterals;

inline const QString SavePrompt =
        u"Text was sorted successfully.\r\n\r\n   Would you like to save?"_s;

inline bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// The state an Open leaves behind: the main window hidden with its list, and
// a progress window showing with its timer stopped, so the test drives the
// ticks.
struct ProgressRun
{
    FakeHostUi host;
    Form1 form1{host};
    QTemporaryDir dir;
    QPointer<Form2> form2;

    explicit ProgressRun(const QByteArray &listFile = {})
    {
        if (!listFile.isNull()) {
            const QString input = dir.filePath(u"input.txt"_s);
            if (!writeFile(input, listFile) || !form1.List1().addFile(input).ok())
                qFatal("cannot prepare the list");
        }
        form2 = new Form2(form1, host);
        timer()->stop();
        form2->show();
    }
    ~ProgressRun() { delete form2.data(); }

    QTimer *timer() const { return form2->findChild<QTimer *>(u"Timer1"_s); }
    QLabel *label() const { return form2->findChild<QLabel *>(u"Label1"_s); }
    void tick(int count)
    {
        for (int i = 0; i < count && form2; ++i)
            form2->Timer1_Timer();
    }
};

} // namespace ProgressTest
