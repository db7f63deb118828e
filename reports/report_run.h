#pragma once
// A report run without a window: the statements of a report name, its layout and parameters, the table it prints,
// and its picture attachment. The report window and brenvik-cli run reports through these.

#include "reports/report_catalogue.h"
#include "reports/report_engine.h"

#include <QMap>
#include <QString>

#include <memory>

class TGebBerichtSQL;

struct ReportJob {
    int clientNr = 0;
    QString clientName;
    // The newest index year: the price basis of the values.
    int indexYear = 0;
    // The folder whose "Logo.bmp" heads every page.
    QString logoFolder;
    // Further parameters of the run ("pFootnoteVersion").
    QMap<QString, QString> parameters;
    // One site's assets only (its number and the name the heading shows), 0 for all of the client's.
    int addressNr = 0;
    QString addressCaption;
    // Keeps the rows of a table report beside its table, for a workbook of it.
    bool keepRows = false;
};

struct PreparedReport {
    ReportStatements statements;
    ReportLayout layout;
    QMap<QString, QString> params;
    // The table report; null for the building value sheet, whose building the caller chooses.
    std::unique_ptr<TableReportOutput> table;
    // The rows the table was made of, when the job keeps them.
    ReportRows rows;
};

// The file name a report is proposed under: its caption without the characters a file name cannot hold.
QString ReportFileName(const QString& caption);

// The provision settlement's key figures of the previous balance year (its key-figure statement's row) as the
// statement printed after the table; nothing without a row.
void AddKeyFigures(TableReportOutput& report, const ReportRows& rows);

// Prepares the report of a project name for the job. Raises EBrvUnknownReport for a name without a layout or key,
// and the data layer's exceptions.
PreparedReport PrepareReport(const ReportProject& project, const QString& name, const ReportJob& job);

// The building value sheet of a chosen building for a prepared REPORT_11_GEBAEUDEWERT: the creator parameters of
// its object set, the footnote on every page.
std::unique_ptr<DocumentReportOutput> PrepareBuildingSheet(PreparedReport& report, const TGebBerichtSQL& building);

// The picture attachment of a prepared report: every asset with a photo in imageFolder. Null when the report has
// none or no asset names a photo.
std::unique_ptr<DocumentReportOutput> PreparePictureAttachment(const PreparedReport& report, const ReportJob& job,
                                                               const QString& imageFolder, const QString& logo);
