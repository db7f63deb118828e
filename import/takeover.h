#pragma once
// "Daten übernehmen/ Speichern": the staged rows of a client are reconciled with the register (known assets
// confirmed, new ones added, imported assets the file no longer lists marked as disposed), then the import file
// is archived.

#include "import/importer.h"

#include <functional>

// What a takeover will write, computed before anything is written.
struct TakeoverPlan {
    int newRows = 0;
    int confirmed = 0;
    int toDispose = 0;
    int importedAssets = 0; // the client's imported assets not yet marked as disposed
    int reactivated = 0;    // disposals an earlier import inferred, undone because the file lists the asset again
    // Kept although unconfirmed: a row of the file carries their account number, or the file was not read whole.
    int protectedAssets = 0;
    int failedReadRows = 0; // rows of the file that were read but not staged
    bool readIncomplete = false;
    QStringList disposalExamples; // the first assets to be disposed, named for the user
    // "n neu, n bestätigt, n als Abgang markiert, n reaktiviert"
    QString text() const;
    // Failed or missing rows of the file, or more than a fifth of the imported assets disposed.
    bool needsConfirmation() const;
    // The question that asks for the confirmation (plan, reasons, "Sollen die Daten trotzdem übernommen werden?").
    QString question() const;
};

// Asked with the plan before anything is written when the plan needs a confirmation; false keeps everything as
// it is. Without it such a plan is refused.
using ConfirmTakeover = std::function<bool(const TakeoverPlan&)>;

struct TakeoverResult {
    bool refused = false; // nothing staged, or a plan not confirmed: nothing changed
    bool aborted = false; // the database failed: nothing changed
    TakeoverPlan plan;
    int confirmed = 0;
    int added = 0;
    int failedRows = 0;
    int disposed = 0;
    int reactivated = 0;
    int journalNr = 0; // the journal entry of the takeover, 0 when nothing was written
    bool disposalFailed = false;
    QList<ImportMessage> messages;
};

// read: the result of the read that staged the rows, when known; its failed rows protect the assets they may
// stand for from being disposed, and make the plan need a confirmation. The whole takeover is one unit of work:
// it is written completely or not at all. progress gets the number of the staged row being taken over
// ("Akt. Status: n").
TakeoverResult TakeOverStaged(int mandantNr, int standardIndex, const ImportResult* read = nullptr,
                              const ConfirmTakeover& confirm = {}, const std::function<void(int n)>& progress = {});

struct ArchiveResult {
    bool copied = false;
    QString target;
    ImportMessage message;
};

// Copies the import file into the client's archive folder as "YYYYMMDD_HHmmss_<name>".
ArchiveResult ArchiveImportFile(int mandantNr, const QString& file, const QString& sBAKFLD,
                                const QString& useBackupFolderDb);
