#pragma once
// Price-index series (descriptions and yearly values) and the staging table of the asset import.

#include "db/brenvik_types.h"

#include <QList>
#include <QStringList>

#include <memory>
#include <optional>

// One yearly value of an index series (INDEXWERTE).
struct TBrenvikIndexwert {
    int brv_mandant_nr = 0;
    TDateTime insert_ts = 0, update_ts = 0;
    int kategorie_nr = 0;
    qint16 indexjahr = 0;
    double indexwert = 0;
};

// Case-insensitive substring search in the description; all series for an empty text.
std::optional<QList<TBrenvikIndexBeschr>> SearchIndexBeschreibungen(const QString& text);
// The series with a positive value in the given year and in the newest index year (year 0: any pair of years).
std::optional<QList<TBrenvikIndexBeschr>> SearchIndexBeschreibungenMitWerten(const QString& text, int year);
// kategorie_nr 0 in the record means the category does not exist.
void GetIndexBeschreibung(int kategorieNr, TBrenvikIndexBeschr& rec);
int GetNutzungsdauer(int kategorieNr);
bool ExistsKategorie(int kategorieNr);
void InsertIndexBeschreibung(const TBrenvikIndexBeschr& r);
// True when the deletion failed.
bool DeleteAllIndexBeschreibungen();
int GetMaxIndexjahr();
// The value of the category for the calendar year of the date; 0 when there is none.
double GetIndexwert(int kategorieNr, TDateTime date);
void InsertIndexwert(TBrenvikIndexwert r);
// True when the deletion failed. No commit of its own.
bool DeleteIndexwerteJahr(int year);

void DeleteDatenimporte(int mandantNr);
// commit false leaves the commit to the caller (staging a whole file commits in chunks).
void InsertDatenimport(const TBrenvikDatenimport& r, bool commit = true);
// The same for every row of a file: the statement is held and run without asking for its row count; no commit.
class DatenimportInserter {
public:
    DatenimportInserter();
    ~DatenimportInserter();
    DatenimportInserter(const DatenimportInserter&) = delete;
    DatenimportInserter& operator=(const DatenimportInserter&) = delete;
    void insert(const TBrenvikDatenimport& r);

private:
    struct Impl;
    std::unique_ptr<Impl> d_;
};
void GetDatenimport(int mandantNr, int zeileNr, TBrenvikDatenimport& rec);
// Account numbers that occur more than once in the client's staged lines.
QStringList GetDoppelteKontoNr(int mandantNr);
