#pragma once
// Conversion functions of the windows' input checks, the date-time day count and the identifier function.

#include "db/brenvik_types.h"

#include <QDateTime>

bool IsInteger(const QString& text);
bool IsFloat(const QString& text);
// Number in the user's format; thousands separators are dropped first. Raises EBrvTypeConversionError.
double TextToFloat(const QString& text);
// Date in day, month, year order with the locale's date separator. Raises EBrvTypeConversionError.
TDateTime TextToDate(const QString& text);
// Formats with a pattern of the classic form (DD.MM.YYYY, YYYYMMDD_HHmmss, ...); empty when it cannot.
QString FormatDateTimeLocal(const QString& pattern, TDateTime dt);
// 32 upper-case hexadecimal digits of a new GUID.
QString NewGuidText();

TDateTime DateTimeToTDateTime(const QDateTime& dt);
TDateTime DateToTDateTime(const QDate& d);
QDateTime TDateTimeToDateTime(TDateTime dt);
QDate TDateTimeToDate(TDateTime dt);
TDateTime EncodeDate(int year, int month, int day);
int YearOf(TDateTime dt);
