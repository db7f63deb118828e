#pragma once
// The clipboard: a block that spreadsheet programs paste as a table and text editors as tab-separated text.

#include <QString>

namespace platform {

void setClipboardBlock(const QString& text, const QString& html);
QString clipboardText();
QString clipboardHtml();

} // namespace platform
