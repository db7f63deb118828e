#pragma once
// The fields of the fixed-size binary records of the update files: little-endian integers and doubles, short texts
// (a length byte and up to 255 Windows-1252 characters in 256 bytes) and wide texts (2001 UTF-16LE units).

#include <QByteArray>
#include <QString>

constexpr int kShortTextSize = 256;
constexpr int kWideTextUnits = 2001;
constexpr int kWideTextSize = 2 * kWideTextUnits;

// Characters beyond 255 are cut; characters outside Windows-1252 become "?".
QByteArray EncodeShortText(const QString& s);
QString DecodeShortText(const char* bytes256);
// Fills the text's units and zero units after it; a text of 2001 units or more fills all of them.
QByteArray EncodeWideText(const QString& s);
QString DecodeWideText(const char* bytes4002);

void PutInt32(char* p, qint32 v);
qint32 Int32At(const char* p);
void PutDouble(char* p, double v);
double DoubleAt(const char* p);
// Writes a field's bytes at an offset of a record.
void PutBytes(QByteArray& record, int offset, const QByteArray& field);
