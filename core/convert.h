#pragma once
// Conversion functions of the windows' input checks, the date-time day count and the identifier function.

#include "core/exceptions.h"

#include <QDateTime>

#include <optional>

bool IsInteger(const QString& text);
bool IsFloat(const QString& text);
// The one number parser of the program: the forms a German user types (grouping dots only between groups of three
// digits, one decimal comma), following the locale's separators; nullopt for anything else and for empty text.
std::optional<double> ParseNumber(const QString& text);
// ParseNumber, or EBrvTypeConversionError.
double TextToFloat(const QString& text);
// ParseNumber of an entry field, or EBrvTypeConversionError with a German message that names the field.
double NumberOfField(const QString& text, const QString& field);
// Date in day, month, year order with the locale's date separator. Raises EBrvTypeConversionError.
TDateTime TextToDate(const QString& text);
// Formats with a pattern of the classic form (DD.MM.YYYY, YYYYMMDD_HHmmss, ...); empty when it cannot.
QString FormatDateTimeLocal(const QString& pattern, TDateTime dt);
// The user's short date with a four-digit year (German: DD.MM.YYYY).
QString ShortDateText(TDateTime dt);
// Amount with thousands separators and exactly two decimals in the user's format ("1.234,50").
QString FormatAmount(double value);
// Amount in the currency format: amount, a blank and the currency sign ("1.234,50 €").
QString FormatCurrency(double value);
// Fixed point with two decimals and no thousands separator ("1234,50").
QString FormatFixed2(double value);
// Whether the code page Windows-1252 has the character (what the register export and the text import can hold).
bool InWindows1252(char32_t c);
// 32 upper-case hexadecimal digits of a new GUID.
QString NewGuidText();

TDateTime DateTimeToTDateTime(const QDateTime& dt);
TDateTime DateToTDateTime(const QDate& d);
QDateTime TDateTimeToDateTime(TDateTime dt);
QDate TDateTimeToDate(TDateTime dt);
TDateTime EncodeDate(int year, int month, int day);
int YearOf(TDateTime dt);
