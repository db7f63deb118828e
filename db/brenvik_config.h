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
// lock true takes the client for this seat (this attachment), false gives it back; a client number of 0 or less
// gives back every lock of this seat. Taking a client this seat holds already is done; a lock of another seat
// (also of the same login) is refused with its holder's login, unless that seat is gone: then it is taken over and
// the takeover logged. userNr is the program's user the lock is recorded for.
int MandantLock(bool lock, int userNr, int clientNr, QString& holderLogin);

// The lock of a client as stored.
struct MandantLockInfo {
    bool exists = false; // the client exists
    bool locked = false;
    int userNr = 0;
    QString login;           // of the holder
    qint64 attachment = 0;   // the holder's seat; 0 for a lock of an older release
    bool heldHere = false;   // by this seat
    bool holderGone = false; // the holder's seat no longer exists (as far as this attachment can see)
};
MandantLockInfo GetMandantLockInfo(int clientNr);
// Whether this seat holds the client's lock.
bool MandantLockHeldHere(int clientNr);
// Every write of a client's data: refused with kNotLockedHere unless this seat holds the client's lock.
void RequireMandantLock(int clientNr);
extern const QString kNotLockedHere;
// Frees a lock whose seat is gone (or that names no seat); false when the client is not locked or its holder is
// still there. info tells who held it.
bool UnlockAbandonedMandant(int clientNr, MandantLockInfo& info);
// At a seat's start: frees the locks of the user whose seats are gone (a crash, a power loss) or that name no seat
// (taken by an older release, which bound the lock to the login); returns how many.
int ReleaseAbandonedLocks(int userNr);

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
