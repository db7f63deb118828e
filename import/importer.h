#pragma once
// Reading an asset list from a file into the staging rows of a client: the three workbook layouts and the text
// layout, with the checks, the preview rows and the messages of the import window. One unattended entry point,
// used by the window and by brenvik-cli.

#include "db/brenvik_types.h"
#include "platform/dialogs.h"

#include <QList>
#include <QSet>
#include <QStringList>

#include <functional>

enum class ImportLayout { Excel, Text, Datev2021 };

struct ImportOptions {
    bool groups = false;        // "Daten zu Anlagegruppen importieren": column AA
    bool extras = false;        // "Zusatzdaten importieren": columns AB, AC, AE to AN
    bool indexFromFile = false; // "Index aus Datei ermitteln": column AD
};

struct ImportMessage {
    QString text;
    platform::MsgIcon icon;
};

// A row of the file that was read as an asset but could not be staged.
struct ImportFailure {
    int line = 0;        // row of the worksheet or line of the text file
    QString reason;      // German, for the user
    QString konto;       // the account number as it stands in the file
    QString description; // the description as it stands in the file
};

struct ImportResult {
    QString layout;  // "standard", "H/L", "datev2021", "text" or empty when nothing could be read
    int records = 0; // records found in the file, failed ones included (text layout: lines read)
    int staged = 0;  // staging rows written
    int failed = 0;  // lines or rows that could not be staged
    // False when reading stopped before the end of the file: the staged rows are then not the whole register.
    bool complete = true;
    QList<ImportFailure> failures; // every row read but not staged, and why reading stopped early
    // Non-empty rows that are no asset (headings, notes, sums), each with the reason it was passed over.
    QList<ImportFailure> skipped;
    // The account texts (as ImportMatchText gives them) of every non-empty row read, whatever became of the row: an
    // asset whose account number stands anywhere in the file is never taken for a disposal.
    QSet<QString> seenKonten;
    // What the user should know about how the file was read: the worksheet, the header line, the encoding.
    QStringList notices;
    QString sheetName;             // the worksheet read (workbook layouts)
    QString file;                  // the file read
    QList<QStringList> preview;    // "ZeilenNr" ... "Anlagentyp_ID"
    QStringList longDescriptions;  // account number padded to 10 + the full description
    QList<ImportMessage> messages; // in the order the window shows them
    QString countText() const;     // "Anzahl: <preview rows> von <records>"
    QString summaryText() const;   // "Gelesen: n, bereitgestellt: n, fehlgeschlagen: n"
    // Whether the staged rows may stand for less than the file lists.
    bool lossy() const { return failed > 0 || !complete || !failures.isEmpty(); }
};

// The description length the workbook layouts keep (longer ones are cut and listed).
constexpr int kMaxImportDescription = 100;
// The longest texts the staging and the register hold.
constexpr int kMaxKontoLength = 50;
constexpr int kMaxDescriptionLength = 500;

// An account number or description as the file formats can carry it, for matching the file with the register: line
// breaks and ";" dropped and characters outside Windows-1252 as "?" (as the register export writes them), blanks at
// either end dropped, cut to the 100 characters the workbook layouts keep.
QString ImportMatchText(QStringView text);

// The checks of the standard index ("Standardindex") before a read and again before a takeover: the empty text
// when it names a category of the reference list, else the German reason.
QString CheckStandardIndex(const QString& text);

// The 18 preview columns.
extern const QStringList kImportPreviewHeaders;

// Empties the client's staging rows, reads the file and stages every accepted record. status gets the current
// row of the file. Never raises: every failure becomes a message of the result.
ImportResult ReadImportFile(int mandantNr, const QString& path, ImportLayout layout, const ImportOptions& options,
                            const std::function<void(const QString& status)>& status = {});

// Stages one accepted record (zeile_nr set, client fields not); raises Exception when it cannot.
using StageRecord = std::function<void(const TBrenvikDatenimport&)>;

// The reading and checking of ReadImportFile on a file's bytes, without the database: every accepted record goes
// to stage. Never raises; false when the file is no readable workbook.
bool ParseImportData(const QByteArray& bytes, ImportLayout layout, const ImportOptions& options, ImportResult& res,
                     const StageRecord& stage, const std::function<void(const QString& status)>& status = {});
