#pragma once
// The register export: 54 ";"-separated columns in Windows-1252 with CR LF, the layout the asset import reads back.

#include "db/brenvik_types.h"

#include <QList>

extern const QString kRegisterCsvHeader;

// One data line (without the line end).
QString RegisterCsvLine(const TBrenvikVersWerte& r, const QList<TBrenvikAdresse>& addresses);

struct RegisterExport {
    int assets = 0;
    int replacedFields = 0; // text fields in which characters outside Windows-1252 became "?"
    // The sentence that tells the user about replaced characters; empty when there were none.
    QString notice() const;
};

// Writes every asset of the client (deleted ones included, by asset and sub number) to path, replacing the file.
// Text fields lose ";" and line breaks. Raises Exception with the cause when the file cannot be written; a file of
// that name is then left as it was.
RegisterExport ExportRegisterCsv(int mandantNr, const QString& path);
