#include "commondialog.h"

#include <utility>

CommonDialog::CommonDialog(HostUi &host, FileDialogSettings settings)
    : m_host(host)
    , m_settings(std::move(settings))
{ }

void CommonDialog::ShowOpen()
{
    m_chosenName = m_host.ShowOpenDialog(m_settings);
    // A cancelled showing keeps the name proposed before it.
    if (!m_chosenName.isEmpty())
        m_settings.FileName = m_chosenName;
}

void CommonDialog::ShowSave()
{
    m_chosenName = m_host.ShowSaveDialog(m_settings);
    if (!m_chosenName.isEmpty())
        m_settings.FileName = m_chosenName;
}
