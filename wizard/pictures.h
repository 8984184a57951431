// The wizard's decoration, painted in code: the side panel, the pictures of
// the progress and completion pages, and the window icon.
#pragma once

#include <QIcon>
#include <QPixmap>
#include <QSize>

namespace tabellix {

QPixmap SidePanelPicture(QSize size);
QPixmap ProgressPicture(QSize size);
QPixmap CompletionPicture(QSize size);
QIcon WindowIcon();

} // namespace tabellix
