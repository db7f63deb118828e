#pragma once
// A table report as a workbook for consultants who work on in a spreadsheet: one sheet with the report's heading,
// its column titles, the rows with typed numbers and dates in German formats, and the group and total sums as
// formulas over the rows they sum.

#include "reports/report_engine.h"

#include <QString>

// Writes the report (whose table was built from rows) to path; the file appears only when complete. Raises Exception
// with a German message when it cannot be written.
void WriteReportWorkbook(const TableReportOutput& report, const ReportRows& rows, const QString& path);

// The sheet name a caption gives: without the characters a sheet name cannot hold, at most 31 characters.
QString WorkbookSheetName(const QString& caption);
