#include "form1.h"
#include "qthostui.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QtHostUi host;
    Form1 form1(host);
    form1.show();
    return app.exec();
}
