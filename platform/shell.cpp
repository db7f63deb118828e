#include "platform/shell.h"

#include <QDesktopServices>
#include <QUrl>

namespace platform {

bool shellOpen(const QString& fileOrUrl) {
    return QDesktopServices::openUrl(QUrl::fromUserInput(fileOrUrl));
}

} // namespace platform
