#pragma once

#include "fakehostui.h"
#include "filesread.h"
#include "mainwindow/entrylistmodel.h"
#include "mainwindow/form1.h"
#include "progress/form2.h"
#include "shownwindow.h"
#include "testfiles.h"

#include <QLabel>
#include <QPointer>
#include <QTimer>

// What the tests of the progress window share.
namespace ProgressTest {

using namespace Qt::StringLiterals;

inline const QString SavePrompt =
        u"Text was sorted successfully.\r\n\r\n   Would you like to save?"_s;

// The state an Open leaves behind once its file is read: the main window hidden with its list, and
// its progress window showing with the timer stopped, so the test drives
// the ticks. What the Open asked of the host is forgotten.
struct ProgressRun
{
    FakeHostUi host;
    Form1 form1{host};
    TestFolder dir;
    QPointer<Form2> form2;

    explicit ProgressRun(const QByteArray &listFile = {})
    {
        host.openNames.enqueue(dir.writeFile(u"input.txt"_s, listFile));
        form1.mnuOpen_Click();
        form2 = shownWindow<Form2>();
        if (!FilesRead::waitUntilRead(form1.List1()) || !form2 || !host.messages().isEmpty())
            qFatal("the Open did not put up the progress window");
        timer()->stop();
        host.calls.clear();
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
