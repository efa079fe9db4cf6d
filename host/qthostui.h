#pragma once

#include "hostui.h"

// HostUi on Qt's own widgets: QMessageBox and QFileDialog, every one modal
// to the whole program.
class QtHostUi final : public HostUi
{
public:
    int ShowMessage(const QString &prompt, int style, const QString &title) override;
    QString ShowOpenDialog(const FileDialogSettings &settings) override;
    QString ShowSaveDialog(const FileDialogSettings &settings) override;
};
