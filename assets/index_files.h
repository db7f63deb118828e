#pragma once
// The index update files: "idx_ex.dat" (one 16-byte record per index value) and "idxb_ex.dat" (one 784-byte record
// per index description), and their import and export.

#include "db/binrecord.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>

struct IndexValueRecord {
    qint32 kategorie = 0;
    qint32 jahr = 0;
    double wert = 0;
};

struct IndexDescriptionRecord {
    qint32 kategorie = 0, indexNr = 0, indexSubNr = 0;
    QString text, gpSystematik, sichtbar;
    qint32 nutzungsdauer = 0;
};

QByteArray EncodeIndexValue(const IndexValueRecord& r);
QByteArray EncodeIndexDescription(const IndexDescriptionRecord& r);
// Raise Exception with a German message when the file is missing or its size is no multiple of the record size;
// the value file also when a value is no positive number (NaN, infinite, 0 or negative).
QList<IndexValueRecord> ReadIndexValueFile(const QString& path);
QList<IndexDescriptionRecord> ReadIndexDescriptionFile(const QString& path);
// The same on bytes in memory; source names them in the message.
QList<IndexValueRecord> DecodeIndexValues(const QByteArray& bytes, const QString& source);
QList<IndexDescriptionRecord> DecodeIndexDescriptions(const QByteArray& bytes, const QString& source);

struct IndexImportResult {
    int year = 0;
    bool confirmed = false;
    int descriptions = 0;
    int values = 0;
    QString refusedEmptyFile; // a file without records that was not to be taken; nothing changed
};

// The year of a value record as the import takes it (the low 16 bits).
int IndexYear(const IndexValueRecord& r);

// The question before a file without records is taken ("Die Datei ... enthält keine Datensätze. ...").
QString EmptyIndexFileQuestion(const QString& path);

// Replaces all descriptions and the values of the file's years in one transaction: a failure rolls everything back
// and raises Exception. A file with a value that is no positive number is refused before anything changes.
// confirm gets the question "Bitte bestätigen Sie den Import der Indexdaten für das Jahr ..."; without a yes
// nothing changes. A file without records is taken only when emptyAllowed answers yes for its path (an empty
// "idxb_ex.dat" empties the descriptions, an empty "idx_ex.dat" leaves the values alone); otherwise nothing changes
// and refusedEmptyFile names it.
IndexImportResult ImportIndexFiles(const QString& folder, const std::function<bool(const QString&)>& confirm,
                                   const std::function<void(int descriptions, int values)>& progress = {},
                                   const std::function<bool(const QString& path)>& emptyAllowed = {});

struct IndexExportResult {
    int descriptions = 0;
    int values = 0;
    QString valueFile, descriptionFile;
};

// Writes folder/idx_ex.dat<year> and folder/idxb_ex.dat<year>, replacing them.
IndexExportResult ExportIndexFiles(const QString& folder, int year);
