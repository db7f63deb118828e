#include "app/ui_common.h"

#include "platform/dialogs.h"

#include <QLocale>

void ShowApplicationError(const QString& message, QWidget* parent) {
    platform::dialogs().message(message, platform::MsgIcon::Error, platform::MsgButtons::Ok, parent);
}

QString FormatAmount(double value) { return QLocale().toString(value, 'f', 2); }

QString FormatCurrency(double value) { return QLocale().toCurrencyString(value, QLocale().currencySymbol(), 2); }

#ifndef BRENVIK_VERSION
#define BRENVIK_VERSION "2.5.6.0"
#endif

QString ProgramVersion() { return QStringLiteral(BRENVIK_VERSION); }
