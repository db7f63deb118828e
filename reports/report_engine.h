#pragma once
// The report engine: the project file with the layouts, the rows of a report statement, the table a layout makes of
// them (as text, grouped, with sums) and the document that preview, printer and PDF share.

#include "reports/report_catalogue.h"

#include <QList>
#include <QMap>
#include <QPageRanges>
#include <QSizeF>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <memory>

class QTextDocument;
class TGebBerichtSQL;

struct ReportColumn {
    QString field; // column name of the statement (upper case)
    QString header;
    int width = 10; // characters
    QString format; // "text", "date", "amount", "number", "flag", "image"
    bool sum = false;
};

struct ReportLayout {
    QString name;    // the report name, matched against the catalogue's keys
    QString caption; // shown in the report list and as the title
    bool landscape = false;
    QString group, groupCaption;
    QList<ReportColumn> columns;
};

struct ReportProject {
    QList<ReportLayout> reports; // in file order
    const ReportLayout* find(const QString& name) const;
};

// Raises Exception with a German message when the file cannot be read or is no report project.
ReportProject LoadReportProject(const QString& path);
// The project of the program folder ("reports/brenvik_reports.rav"), else the one of the source tree it was built from.
QString ReportProjectPath();

struct ReportRows {
    QStringList columns; // upper case
    QList<QVariantList> rows;
    int column(const QString& name) const { return int(columns.indexOf(name.toUpper())); }
};
ReportRows FetchReportRows(const ReportSql& s);

// The printed table as text: one line per row; kind "G" group heading, "R" row, "S" group sum, "T" total.
struct ReportTableLine {
    QChar kind;
    QStringList cells;
    // A row's amounts of the summed columns as printed (rounded to the cent), 0 elsewhere: sums and carried-forward
    // lines add these, so that they agree with the rows on paper.
    QList<double> values = {};
};
struct ReportTable {
    QStringList headers;
    QList<ReportTableLine> lines;
};
ReportTable BuildReportTable(const ReportLayout& layout, const ReportRows& data);

class QPagedPaintDevice;

// What preview, printer and PDF print: pages on a paged device (a printer's page range is honoured).
class ReportOutput {
public:
    virtual ~ReportOutput() = default;
    virtual void print(QPagedPaintDevice* device) = 0;
    bool landscape = false;
};

// A table report drawn page by page: heading, column titles and footnote with "Seite n von m" on every page. Its cost
// grows with the rows alone.
struct TablePlan;
struct TableHeading;

// The parameters a table report reads besides the layout's: "pMandantNr" (shown beside the client's name),
// "pIndexJahr" (the price basis), "pLogo", "pFootnoteVersion", and the provision settlement's "pVorsorgeDiff" and
// "pVorsorgeSumNeu".
class TableReportOutput : public ReportOutput {
public:
    TableReportOutput(ReportLayout layout, ReportTable table, QMap<QString, QString> params, QString clientName);
    ~TableReportOutput() override;
    // Prints the pages a device's page ranges name (all without ranges).
    void print(QPagedPaintDevice* device) override;
    // The pages the table takes on the device.
    int pageCount(QPagedPaintDevice* device);
    // The pages as planned for the device (the report's page set on it first).
    const TablePlan& plan(QPagedPaintDevice* device);
    TableHeading heading() const;
    // A statement of figures printed after the table.
    void setFigures(const QString& title, const QList<QPair<QString, QString>>& figures);

private:
    ReportLayout layout_;
    ReportTable table_;
    QMap<QString, QString> params_;
    QString client_;
    QString figuresTitle_;
    QList<QPair<QString, QString>> figures_;
    std::unique_ptr<TablePlan> plan_;
    QSizeF plannedFor_;
};

// A free-form report (building sheet, picture attachment) laid out as a text document.
class DocumentReportOutput : public ReportOutput {
public:
    DocumentReportOutput();
    ~DocumentReportOutput() override;
    QTextDocument& document() { return *doc_; }
    void print(QPagedPaintDevice* device) override;

private:
    QTextDocument* doc_;
};
// The picture attachment: account, description and the photo of every row that has one in the folder.
void FillImagesDocument(QTextDocument& doc, const ReportRows& pictures, const QString& imageFolder,
                        const QMap<QString, QString>& params, const QString& clientName);
// The building value report from the building report's statements.
void FillBuildingDocument(QTextDocument& doc, const TGebBerichtSQL& sql, const QMap<QString, QString>& params);

// The pages a selection names ("5", "2-3,5", "4-" to the last, "-3" from the first) of a report of pageCount pages;
// empty when the text names none or is no selection (a range running backwards, a page beyond the last).
QPageRanges ParsePageSelection(const QString& text, int pageCount);

// Writes the report as a PDF file (A4, its orientation). Raises Exception when it cannot be written.
void WriteReportPdf(ReportOutput& report, const QString& path);
// A4 with the margins every report uses, in the report's orientation.
void SetReportPage(QPagedPaintDevice* device, bool landscape);
