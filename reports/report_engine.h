#pragma once
// The report engine: the project file with the layouts, the rows of a report statement, the table a layout makes of
// them (as text, grouped, with sums) and the document that preview, printer and PDF share.

#include "reports/report_catalogue.h"

#include <QImage>
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
// An amount as printed: rounded to the cent.
double ReportCents(double v);

class QPagedPaintDevice;
class QPainter;

// What preview, printer and PDF print: pages laid out for a paged device, each drawn on its own, so that a preview
// draws only the pages it shows.
class ReportOutput {
public:
    virtual ~ReportOutput() = default;
    // Lays the report out for the device (the report's page set on it first): its number of pages.
    virtual int pageCount(QPagedPaintDevice* device) = 0;
    // Draws page n (from 1) of the layout pageCount made, in the coordinates of that device's paint rect; the
    // painter's device has that device's resolution (or is scaled to it).
    virtual void drawPage(QPainter& painter, int n) = 0;
    // Prints the pages the device's page ranges name (all without ranges): a printer's selection ("2-3,5").
    void print(QPagedPaintDevice* device);
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
    int pageCount(QPagedPaintDevice* device) override;
    void drawPage(QPainter& painter, int n) override;
    // The pages as planned for the device (the report's page set on it first).
    const TablePlan& plan(QPagedPaintDevice* device);
    TableHeading heading() const;
    const ReportLayout& layout() const { return layout_; }
    const ReportTable& table() const { return table_; }
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
    int plannedDpi_ = 0;
    QImage logo_;
};

// A free-form report (building sheet, picture attachment) laid out as a text document, with the footnote and
// "Seite n von m" at the foot of every page.
class DocumentReportOutput : public ReportOutput {
public:
    DocumentReportOutput();
    ~DocumentReportOutput() override;
    QTextDocument& document() { return *doc_; }
    int pageCount(QPagedPaintDevice* device) override;
    void drawPage(QPainter& painter, int n) override;
    // Left at the foot of every page.
    QString footnote;

private:
    QTextDocument* doc_;
    QSizeF page_;
    qreal footHeight_ = 0;
    int pages_ = 0;
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
