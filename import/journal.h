#pragma once
// The journal of the takeovers: who took over which file when, with what result, and the register as it was
// before, so that the last takeover of a client can be undone exactly.

#include "db/brenvik_types.h"

#include <QList>
#include <QString>

struct TakeoverJournalEntry {
    int nr = 0;
    TDateTime zeitpunkt = 0;
    QString login;
    QString datei;  // the file taken over
    QString archiv; // its archive copy, when one was made
    int neu = 0, bestaetigt = 0, abgaenge = 0, reaktiviert = 0;
    bool undone = false;   // undone later
    bool undoable = false; // its picture of the register before is still kept
};

// The client's takeovers, newest first.
QList<TakeoverJournalEntry> GetDatenuebernahmen(int mandantNr, int max = 10);

// Inside the takeover's unit of work: a new journal entry and the register as it is now; returns its number.
int JournalTakeoverBegin(int mandantNr, TDateTime start, const QString& file);
// Inside the takeover's unit of work, after its last write: the counts, and a check sum of every register row as
// the takeover leaves it. Keeps the pictures of the last few takeovers only.
void JournalTakeoverEnd(int mandantNr, int nr, int neu, int bestaetigt, int abgaenge, int reaktiviert);
// The archive copy made after the takeover.
void JournalSetArchive(int mandantNr, int nr, const QString& archiv);

struct UndoTakeoverResult {
    bool done = false;
    TakeoverJournalEntry entry; // the takeover undone, or the one that could not be
    QString message;            // German, for the user: what was undone, or why not
};

// Restores the register of the client as it was before its last takeover that is not yet undone: refused, with
// the reason, when there is none, when its picture is no longer kept, or when a register row was changed, added
// or deleted after it. Takes and needs the client's lock like every write to the register.
UndoTakeoverResult UndoLastTakeover(int mandantNr);
