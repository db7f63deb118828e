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
// Raise Exception with a German message when the file is missing or its size is no multiple of the record size.
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
};

// Replaces all descriptions and the values of the file's year in one transaction: a failure rolls everything back
// and raises Exception. confirm gets the question "Bitte bestätigen Sie den Import der Indexdaten für das Jahr ...";
// without a yes nothing changes.
IndexImportResult ImportIndexFiles(const QString& folder, const std::function<bool(const QString&)>& confirm,
                                   const std::function<void(int descriptions, int values)>& progress = {});

struct IndexExportResult {
    int descriptions = 0;
    int values = 0;
    QString valueFile, descriptionFile;
};

// Writes folder/idx_ex.dat<year> and folder/idxb_ex.dat<year>, replacing them.
IndexExportResult ExportIndexFiles(const QString& folder, int year);
