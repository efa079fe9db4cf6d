#pragma once

#include "listfile/listfile.h"

#include <QList>
#include <QObject>
#include <QStringList>

class QWidget;

// Lets a window take files dropped on it from a file manager. Only files on
// this computer are taken: file URLs of no host or of "localhost". File URLs
// of another host, or whose name holds a NUL, are refused with the reason;
// anything else dropped is turned away. While files that would be taken are
// dragged over the window, it is drawn framed in the highlight colour.
class FileDropTarget final : public QObject
{
    Q_OBJECT

public:
    explicit FileDropTarget(QWidget *window);

signals:
    void filesDropped(const QStringList &fileNames, const QList<listfile::FileResult> &refused);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void showWelcome(bool shown);

    QWidget *m_window;
    QWidget *m_welcome = nullptr;
};
