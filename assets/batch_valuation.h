#pragma once
// "Wertermittlung starten": values the rows of an asset list one after the other by the stored-row rule, writing
// each back. Used by the asset list window and by brenvik-cli.

#include "db/brenvik_types.h"

#include <QList>

#include <functional>

struct BatchRow {
    int anlageNr = 0;
    int anlageSubNr = 0;
};

struct BatchOptions {
    int mandantNr = 0;
    // The client deducts input tax: no VAT correction.
    bool bVAT = false;
    // Stop at the first row that cannot be read or written; otherwise count such rows and go on.
    bool stopOnError = false;
    // Rows written per commit: a cancel or a failure keeps every row valued before it.
    int commitEvery = 2000;
    // Called before row n (0-based) of total; returning false cancels the run there.
    std::function<bool(int n, int total)> progress;
    // Called for every valued row with its new values (the fields the valuation reads and writes).
    std::function<void(int n, const TBrenvikVersWerte& row)> rowValued;
};

struct BatchResult {
    int valued = 0;
    int skipped = 0;      // marked deleted
    int failed = 0;       // rows that could not be read or written
    int withoutValue = 0; // valued rows whose insured or current value could not be computed (stored as 0)
    bool cancelled = false;
    bool stopped = false;
    int stopIndex = -1; // the row the run stopped at
    int stopAnlageNr = 0;
    QString stopMessage;
};

// Raises EBrvErrorOnGetMaxIndexYear when the newest index year cannot be read.
BatchResult RunBatchValuation(const QList<BatchRow>& rows, const BatchOptions& options);

// Every asset of the client in asset-number order.
QList<BatchRow> AllAssetRows(int mandantNr);
