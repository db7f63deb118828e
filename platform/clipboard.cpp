#include "platform/clipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

namespace platform {

void setClipboardBlock(const QString& text, const QString& html) {
    auto* data = new QMimeData;
    data->setText(text);
    data->setHtml(html);
    QGuiApplication::clipboard()->setMimeData(data);
}

QString clipboardText() {
    return QGuiApplication::clipboard()->text();
}

QString clipboardHtml() {
    const QMimeData* d = QGuiApplication::clipboard()->mimeData();
    return d ? d->html() : QString();
}

} // namespace platform
