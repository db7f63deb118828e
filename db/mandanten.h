#pragma once
// Clients, their addresses (locations), their yearly key figures and their per-location figures.

#include "db/brenvik_types.h"

#include <QList>

#include <optional>

// Every client, ordered by FIRMA (the database's collation); only the number and the firm name are read.
QList<TBrenvikMandant> GetMandantenTreeList();

// Client number 0 reads the first client of the table. Raises EBrvException_NODATA "No data found".
void GetMandant(int mandantNr, TBrenvikMandant& rec);
int GetMaxMandantNr();
// Writes the client and returns its number, 0 when writing failed. A client number of 0 takes the next free one.
// isNew: the caller creates a client; the row is inserted and a number another seat took meanwhile fails (0)
// instead of overwriting that seat's client.
int SaveMandant(TBrenvikMandant r, bool isNew = false);
// Assets, key-figure years, addresses, then the client row, each step committed.
void DeleteMandant(int mandantNr);

std::optional<QList<TBrenvikAdresse>> GetAdressen(int mandantNr);
void SaveAdresse(TBrenvikAdresse r);
void GetAdresse(int mandantNr, int adressNr, TBrenvikAdresse& rec);
void DeleteAdresse(int mandantNr, int adressNr);
int GetNextAdressNr(int mandantNr);

std::optional<QList<TBrenvikKennzahlenHist>> GetKennzahlenHistList(int mandantNr);
void GetKennzahlenHist(int mandantNr, int bilanzjahr, TBrenvikKennzahlenHist& rec);
void SaveKennzahlenHist(TBrenvikKennzahlenHist r);
void DeleteKennzahlenHist(int mandantNr, int bilanzjahr);
int GetMaxBilanzjahr(int mandantNr);

void GetKennzahlenStandort(int mandantNr, int adressNr, TBrenvikKennzahlenStandort& rec);
void SaveKennzahlenStandort(TBrenvikKennzahlenStandort r);
