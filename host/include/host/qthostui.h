#pragma once

#include "host/hostui.h"

// HostUi on Qt's own widgets: QMessageBox and QFileDialog, every one modal
// to the whole program.
class QtHostUi final : public HostUi
{
public:
    MessageReply ShowMessage(const QString &prompt, MessageStyle style,
                             const QString &title) override;
    QString ShowOpenDialog(const FileDialogSettings &settings) override;
    QString ShowSaveDialog(const FileDialogSettings &settings) override;
};
