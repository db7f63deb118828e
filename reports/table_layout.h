#pragma once
// The pages of a table report, planned before anything is drawn: column widths measured from the titles and the
// widest value, texts that wrap within their column, the heading on every page, continued groups, carried-forward
// sums. The plan is what preview, printer and PDF draw, and what the overlap check examines.

#include "reports/report_engine.h"

#include <QFont>
#include <QLineF>
#include <QList>
#include <QPair>
#include <QRectF>
#include <QString>
#include <QStringList>

class QPaintDevice;

// What every page of a table report names above the table.
struct TableHeading {
    QString caption;
    QString client;   // the client's name and number
    QString basis;    // the price basis ("Preisbasis: Indexjahr 2024"); empty when the report has none
    QString date;     // "Stand: 10.12.2026"
    QString logo;     // a picture file shown at the top right of every page; empty or missing: none
    QString footnote; // left at the foot of every page
    QString closing;  // a last line after the table (the provision settlement's result)
    // A statement of figures after the table (the provision settlement's key figures): its title and its lines of
    // label and value.
    QString figuresTitle;
    QList<QPair<QString, QString>> figures;
};

struct PlacedText {
    QRectF rect; // where the text is drawn (its column, its lines)
    QRectF ink;  // what it covers: the rect narrowed to the text's own width where it is shorter
    QString text;
    int flags = 0; // Qt alignment and wrap flags for QPainter::drawText
    int font = 0;  // 0 body, 1 bold body, 2 title
    // Set in lines within the rect (broken at blanks, a word longer than the rect anywhere): the lines as drawn.
    bool wrap = false;
    QStringList lines = {};
    QList<qreal> lineWidths = {};
};

struct PlannedPage {
    QList<PlacedText> texts;
    QList<QLineF> rules;
    QRectF logo;
};

struct TablePlan {
    QList<PlannedPage> pages;
    QFont body, bold, title;
    // Of body, bold and title on the planned device: drawing needs no font metrics of its own.
    qreal ascent[3] = {0, 0, 0}, lineSpacing[3] = {0, 0, 0};
    QList<qreal> columnX, columnW;
};

// A column's title as printed: amounts name their unit.
QString ReportColumnTitle(const ReportColumn& c);

// The plan of the table on a page of the given size (device pixels, the paint rect), measured with the device's
// font metrics.
TablePlan PlanTableReport(const ReportLayout& layout, const ReportTable& table, const TableHeading& heading,
                          QPaintDevice* device, const QSizeF& page);

// Texts of a page that cover each other, as readable descriptions ("Zeile 12: "31.800,00" / "443""); none when the
// page is clean.
QStringList OverlappingTexts(const PlannedPage& page);
