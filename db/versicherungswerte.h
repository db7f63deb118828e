#pragma once
// The asset register VERSICHERUNGSWERTE: lists, single assets, number look-ups, sums, groups and notes, writes,
// the deletion mark and the reconciliation updates of the asset import.

#include "db/brenvik_types.h"

#include <QList>
#include <QStringList>

#include <memory>
#include <optional>

// Sort field: empty for the asset number order, otherwise column names separated by ";" (after MANDANT_NR).
std::optional<QList<TBrenvikVersWerte>> GetVersWerteList(int mandantNr, const QString& sortField);
// Puts rows read for one client into the order the same read with another single sort field would give (texts in
// code point order as the database's UTF8 texts, ties in asset number order), without reading them again: a
// click on a list's column header at year-end size. False, and the rows untouched, for a field it cannot sort by.
bool SortVersWerteLike(QList<TBrenvikVersWerte>& rows, const QString& sortField);
// The filters are evaluated by the server; the matching rules are those of the asset window: used assets
// (AHK <= 1 or GEBR./GEBRAUCHT/GEB. in the description), without insured value, to-do mark, the account number,
// and the description exactly or as a case-sensitive substring.
std::optional<QList<TBrenvikVersWerte>> GetVersWerteFiltered(int mandantNr, bool usedOnly, bool withoutValueOnly,
                                                             const QString& sortField, bool exactMatch,
                                                             const QString& description, const QString& kontoNr,
                                                             bool todoOnly);
void GetVersWert(int mandantNr, int anlageNr, int anlageSubNr, TBrenvikVersWerte& rec);
// The registered asset with this account number and description (the last one when several match).
void FindVersWert(int mandantNr, const QString& kontoNr, const QString& description, TBrenvikVersWerte& rec);
QStringList GetGruppen(int mandantNr);

int GetMaxAnlageNr(int mandantNr);
int GetMaxAnlageNrFiltered(int mandantNr, bool usedOnly, bool withoutValueOnly, bool todoOnly);
int GetMaxAnlageSubNr(int mandantNr, int anlageNr);
int GetMinAnlageNrFiltered(int mandantNr, bool usedOnly, bool withoutValueOnly, bool todoOnly);
// The next (or previous) asset number under the filters; 0 when there is none.
int GetNeighbourAnlageNr(int mandantNr, int anlageNr, bool next, bool usedOnly, bool withoutValueOnly, bool todoOnly);

// Time of the latest asset import of the client (0 when none). Raises EBrvException_DBERROR on a database failure;
// the caller shows it.
TDateTime GetLetzterImportZeitpunkt(int mandantNr);

// Sums of insured values of present, not deleted assets; address 0 = all addresses.
double GetSumVersWertAnlagen(int mandantNr, int adressNr);
double GetSumVersWertKfz(int mandantNr, int adressNr);
double GetSumVersWertFinanzanlagen(int mandantNr, int adressNr);
// Additions / disposals of the previous calendar year as a number in the user's format ("0" when not connected,
// empty when there is none).
void GetVersWertZugangVorjahr(int mandantNr, QString& value);
void GetVersWertAbgangVorjahr(int mandantNr, QString& value);
// Distinct notes of the client's assets. Raises EBrvException_DBERROR on a database failure; the caller shows it.
QList<TBrenvikNotes> GetNotizen(int mandantNr);

// Removes the asset row and commits.
void DeleteVersWert(int mandantNr, int anlageNr, int anlageSubNr);
// Removes a main asset with all its related assets (every sub number) at once.
void DeleteVersWertMitVerbund(int mandantNr, int anlageNr);
// Inserts or updates the whole row (not the three ..._ORG columns); ANSCHAFFUNGSJAHR follows the date.
void SaveVersWert(TBrenvikVersWerte r);
// Inserts a row of the asset import (UPDATE_CHECK "1", the originals kept); no commit of its own.
void InsertVersWert(const TBrenvikVersWerte& r);
// The same for many rows: the statement is prepared once.
class VersWertInserter {
public:
    VersWertInserter();
    ~VersWertInserter();
    void insert(const TBrenvikVersWerte& r);

private:
    struct Impl;
    std::unique_ptr<Impl> d_;
};
// Sets or clears GELOESCHT for every sub number of the asset number.
void SetLoeschmarkierung(int mandantNr, int anlageNr, int anlageSubNr, bool mark);
void ResetUpdateCheck(int mandantNr);
// Marks imported assets that the latest import did not confirm (and that are neither rented nor leased) as
// deleted and disposed of in the given year.
// Returns the number of assets marked.
int MarkAbgaenge(int mandantNr, int abgangsjahr);
void ExchangeKategorie(int mandantNr, int alteKategorie, int neueKategorie);

// The columns of a register row in the order the readers expect (all but the three ..._ORG columns, or all 39).
extern const QString kVersWerteCols;
extern const QString kVersWerteColsAll;
