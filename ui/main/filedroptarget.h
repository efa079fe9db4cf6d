#pragma once

#include <QObject>
#include <QStringList>

class QWidget;

// Lets a window take files dropped on it from a file manager. Only local
// files are taken; anything else dropped is turned away.
class FileDropTarget final : public QObject
{
    Q_OBJECT

public:
    explicit FileDropTarget(QWidget *window);

signals:
    void filesDropped(const QStringList &fileNames);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
};
