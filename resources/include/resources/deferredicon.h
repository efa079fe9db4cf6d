#pragma once

#include <QIcon>
#include <QList>
#include <QSize>

#include <functional>

// An icon that `make` builds only when something first asks for its pixels
// or sizes. Decoding images as a window is made costs more at start-up than
// laying out the whole main window, and many icons are never drawn. `sizes`,
// where known, is what the icon reports as its sizes without being made.
QIcon deferredIcon(std::function<QIcon()> make, const QList<QSize> &sizes = {});
