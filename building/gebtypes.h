#pragma once
// The building catalogues (types, components, elevators) and their import from the reference files
// "DataGebTypes.dat", "DataBauteile.dat" and "DataAufzug.dat".

#include "db/brenvik_types.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>

// One building type of the catalogue.
class TGebType {
public:
    QString GEBCAPTION;
    QString AUSFGUT;
    QString DESCRIPTION;
    QString AUSFROHBAU;
    int LIFETIMEMAX = 0;
    QString AUSFEINFACH;
    QString AUSFNORMAL;
    int LIFETIMEMIN = 0;
    QString RICHTPEINFACH;
    QString RICHTPNORMAL;
    QString RICHTPROH;
    QString RICHTPGUT;
    QString PID;
    int INDEXNR = 0;
    QString RICHTPREISART;
    QString RICHTBASISEINH;
    QString HERKUNFT;
    QString UST;
};

void DeleteAllGebTypes();
// commit: false inside a caller's unit of work.
void InsertGebType(const TGebType& t, bool commit = true);

// Size of one record of "DataGebTypes.dat".
constexpr int kGebTypeRecordSize = 22584;

// Decodes one record of the reference file.
TGebType DecodeGebTypeRecord(const char* record);

// Every record of a reference file held in memory; raises EBrvCommonException naming the file (source) and the
// record that is incomplete when the size is no multiple of the record size.
template <typename T>
QList<T> DecodeCatalogueRecords(const QByteArray& bytes, int recordSize, T (*decode)(const char*),
                                const QString& source) {
    if (bytes.size() % recordSize != 0)
        throw EBrvCommonException(
            QStringLiteral("Die Datei %1 ist unvollständig: Datensatz %2 hat nur %3 von %4 Bytes.\r\n"
                           "Die bisherigen Daten bleiben unverändert.")
                .arg(source)
                .arg(bytes.size() / recordSize + 1)
                .arg(bytes.size() % recordSize)
                .arg(recordSize));
    QList<T> out;
    out.reserve(bytes.size() / recordSize);
    for (qsizetype at = 0; at < bytes.size(); at += recordSize)
        out.append(decode(bytes.constData() + at));
    return out;
}

// Replaces TABGEBTYPES by the records of "DataGebTypes.dat" in the folder. Returns the count message, or an
// empty text when the file is absent (the table is then left alone). A read error stops the import and is raised.
QString ImportGebTypeDAT(const QString& datFileFolder);
// Registers the building module's part of the schema check (filling a new building-type table); every program that
// runs the schema check calls it once at start.
void RegisterGebSchemaHooks();

// One component of the catalogue.
class TGebBauteil {
public:
    QString Einheit;
    double Minpreis = 0;
    QString PID;
    QString Caption;
    QString Sonst;
    double Maxpreis = 0;
    int Pos = 0;
};

// One elevator of the catalogue.
class TGebAufzug {
public:
    QString Einheit;
    double Minpreis = 0;
    QString PID;
    QString Nutzlast;
    double ExtrahaltestelleMin = 0;
    double ExtrahaltestelleMax = 0;
    double Maxpreis = 0;
    int Haltestellen = 0;
    QString AufzugCaption;
};

void DeleteAllGebBauteile();
void InsertGebBauteil(const TGebBauteil& b, bool commit = true);
QList<TGebBauteil> GetGebBauteile();
void DeleteAllGebAufzuege();
void InsertGebAufzug(const TGebAufzug& a, bool commit = true);
QList<TGebAufzug> GetGebAufzuege();

constexpr int kGebBauteilRecordSize = 1048;
constexpr int kGebAufzugRecordSize = 1064;
TGebBauteil DecodeGebBauteilRecord(const char* record);
TGebAufzug DecodeGebAufzugRecord(const char* record);
// One record of the reference file, as the importer reads it back.
QByteArray EncodeGebTypeRecord(const TGebType& t);
QByteArray EncodeGebBauteilRecord(const TGebBauteil& b);
QByteArray EncodeGebAufzugRecord(const TGebAufzug& a);

QString ImportBauteileDAT(const QString& datFileFolder);
QString ImportAufzugDat(const QString& datFileFolder);

// Raised when a reference or index file without records is not to replace its table; nothing was changed.
class EBrvEmptyFileRefused : public EBrvCommonException {
public:
    using EBrvCommonException::EBrvCommonException;
};

// The question before a file without records empties its table ("Die Datei ... enthält keine Datensätze. ...").
QString EmptyCatalogueQuestion(const QString& path);
// Answers for a file of the update that holds no records (path): true empties its table all the same.
using EmptyFileAnswer = std::function<bool(const QString& path)>;

// Imports whichever of the three reference files the folder holds; the report lists one count line each, or
// "Keine Daten importiert". All files are read and checked first and the three tables replaced together: any
// failure raises EBrvCommonException and leaves all three as they were. A file without records empties its table
// only when emptyAllowed answers yes; otherwise EBrvEmptyFileRefused is raised before anything is changed.
class TGebDataImport {
public:
    QString ImportUpdateData(const QString& folderName, const EmptyFileAnswer& emptyAllowed = {});
    QString ImportBauteileDAT(const QString& folder) { return ::ImportBauteileDAT(folder); }
    QString ImportAufzugDat(const QString& folder) { return ::ImportAufzugDat(folder); }
    QString ImportGebTypeDAT(const QString& folder) { return ::ImportGebTypeDAT(folder); }
};
