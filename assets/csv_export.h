#pragma once
// The register export: 54 ";"-separated columns in Windows-1252 with CR LF, the layout the asset import reads back.

#include "db/brenvik_types.h"

#include <QList>

extern const QString kRegisterCsvHeader;

// One data line (without the line end).
QString RegisterCsvLine(const TBrenvikVersWerte& r, const QList<TBrenvikAdresse>& addresses);

// Writes every asset of the client (deleted ones included, by asset and sub number) to path, replacing the file.
// Returns the number of assets written; raises Exception with the cause when the file cannot be written (what was
// written until then stays).
int ExportRegisterCsv(int mandantNr, const QString& path);
