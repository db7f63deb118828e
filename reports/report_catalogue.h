#pragma once
// The report catalogue: for every report key the statement of its rows, the statement of its picture attachment and
// its extra statements. The client number and the newest index year are bound parameters.

#include <QList>
#include <QString>

#include <optional>
#include <utility>

// A statement with its values in the order of its "?" marks.
struct ReportSql {
    QString sql;
    QList<int> params;
    bool isEmpty() const { return sql.isEmpty(); }
};

struct ReportStatements {
    QString key;                 // the report key the name matched
    ReportSql rows;              // the report's rows
    ReportSql pictures;          // the picture attachment; empty for reports without one
    ReportSql keyFigures;        // REPORT_40_VORSORGEABRECHNUNG only
    bool buildingReport = false; // REPORT_11_GEBAEUDEWERT: its statements come from the building report builder
};

// Every key of the catalogue.
QStringList ReportKeys();
// Whether a report of the project appears in the report list (some are only run by others or kept out).
bool IsReportListed(const QString& projectReportName);
// Whether a report covers the client as a whole, whatever site is asked for (the provision settlement and sum, the
// building value sheet).
bool IsClientWideReport(const QString& name);
// The statements of a report name (compared in upper case), of one site's assets when addressNr > 0. Raises
// EBrvUnknownReport for a name that matches no key.
ReportStatements PrepareReportStatements(const QString& reportName, int clientId, int newestIndexYear,
                                         int addressNr = 0);
// "pVorsorgeDiff" and "pVorsorgeSumNeu" of the provision settlement ("##,##0.00 €"); none without key figures for the
// previous year or when a sum cannot be read.
std::optional<std::pair<QString, QString>> ReportVorsorgeParameters(int clientId);
