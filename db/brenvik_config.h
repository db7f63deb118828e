#pragma once
// Configuration entries, users, the client lock, the look-up lists and the VAT factors.

#include "db/brenvik_types.h"

#include <QList>

#include <optional>

QString GetKonfiguration(const QString& keyName);
void SetKonfiguration(const QString& keyName, const QString& value);

std::optional<QList<TBrenvikAnlagentyp>> GetAnlagentypen();
std::optional<QList<TBrenvikStandortTypen>> GetStandortTypen();

// Result codes of MandantLock.
enum : int { kLockDone = 0, kLockNoHolder = 1, kLockHeld = 2, kLockDbError = 100 };
// lock true takes the client, false gives it back; a client number of 0 or less releases every lock of the user.
int MandantLock(bool lock, int userNr, int clientNr, QString& holderLogin);

std::optional<QList<TBrenvikBetriebsarten>> SearchBetriebsarten(const QString& searchText);
void GetBetriebsart(const QString& code, TBrenvikBetriebsarten& rec);
bool ExistsBetriebsart(const QString& code);

int GetMaxBenutzerNr();
bool RegisterBenutzerLogin(const QString& login);
void GetBenutzer(const QString& login, TBrenvikBenutzer& rec);

// The factor that turns an amount including the standard VAT rate at the acquisition date into the same amount
// including the standard rate at the reference date.
double GetMwstFaktor(TDateTime acquisitionDate, TDateTime referenceDate);
double GetAktuellerMwstFaktor();
