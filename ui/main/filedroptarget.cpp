#include "filedroptarget.h"

#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <QWidget>

namespace {

// The files are only read: the program they came from must never take the
// drop for a move, and delete them.
void acceptAsCopy(QDropEvent *event)
{
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

QStringList localFiles(const QMimeData *data)
{
    QStringList fileNames;
    if (!data)
        return fileNames;
    const QList<QUrl> urls = data->urls();
    for (const QUrl &url : urls) {
        if (url.isLocalFile())
            fileNames.append(url.toLocalFile());
    }
    return fileNames;
}

} // namespace

FileDropTarget::FileDropTarget(QWidget *window)
    : QObject(window)
{
    window->setAcceptDrops(true);
    window->installEventFilter(this);
}

bool FileDropTarget::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto *drag = static_cast<QDropEvent *>(event);
        if (localFiles(drag->mimeData()).isEmpty() || !(drag->possibleActions() & Qt::CopyAction))
            drag->ignore();
        else
            acceptAsCopy(drag);
        return true;
    }
    case QEvent::Drop: {
        auto *drop = static_cast<QDropEvent *>(event);
        const QStringList fileNames = localFiles(drop->mimeData());
        if (fileNames.isEmpty() || !(drop->possibleActions() & Qt::CopyAction)) {
            drop->ignore();
            return true;
        }
        acceptAsCopy(drop);
        emit filesDropped(fileNames);
        return true;
    }
    default:
        return QObject::eventFilter(watched, event);
    }
}
