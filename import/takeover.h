#pragma once
// "Daten übernehmen/ Speichern": the staged rows of a client are reconciled with the register (known assets
// confirmed, new ones added, imported assets the file no longer lists marked as disposed), then the import file
// is archived.

#include "import/importer.h"

#include <functional>

struct TakeoverResult {
    bool refused = false;  // nothing staged: nothing changed
    bool aborted = false;  // the preparation failed: nothing changed
    int confirmed = 0;
    int added = 0;
    int failedRows = 0;
    int disposed = 0;
    bool disposalFailed = false;
    QList<ImportMessage> messages;
};

// progress gets the number of the staged row being taken over ("Akt. Status: n").
TakeoverResult TakeOverStaged(int mandantNr, int standardIndex, const std::function<void(int n)>& progress = {});

struct ArchiveResult {
    bool copied = false;
    QString target;
    ImportMessage message;
};

// Copies the import file into the client's archive folder as "YYYYMMDD_HHmmss_<name>".
ArchiveResult ArchiveImportFile(int mandantNr, const QString& file, const QString& sBAKFLD,
                                const QString& useBackupFolderDb);
