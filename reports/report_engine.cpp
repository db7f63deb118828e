#include "reports/report_engine.h"

#include "reports/table_layout.h"

#include "platform/atomic_file.h"

#include "building/gebbericht.h"
#include "db/brenvik_types.h"
#include "core/convert.h"
#include "db/dbaccess.h"
#include "platform/atomic_file.h"

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QPageLayout>
#include <QPageSize>
#include <QImage>
#include <QPainter>
#include <QPdfWriter>
#include <QPageRanges>
#include <QTextDocument>
#include <QUrl>
#include <QXmlStreamReader>

const ReportLayout* ReportProject::find(const QString& name) const {
    for (const ReportLayout& r : reports)
        if (r.name == name)
            return &r;
    return nullptr;
}

ReportProject LoadReportProject(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw Exception(
            QStringLiteral("Die Berichtsdatei %1 kann nicht gelesen werden: %2").arg(path, f.errorString()));
    ReportProject p;
    QXmlStreamReader x(&f);
    while (!x.atEnd()) {
        if (x.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (x.name() == QLatin1String("report")) {
            ReportLayout r;
            const auto a = x.attributes();
            r.name = a.value(QLatin1String("name")).toString();
            r.caption = a.value(QLatin1String("caption")).toString();
            r.landscape = a.value(QLatin1String("orientation")) == QLatin1String("landscape");
            r.group = a.value(QLatin1String("group")).toString().toUpper();
            r.groupCaption = a.value(QLatin1String("groupCaption")).toString();
            p.reports << r;
        } else if (x.name() == QLatin1String("column") && !p.reports.isEmpty()) {
            const auto a = x.attributes();
            ReportColumn c;
            c.field = a.value(QLatin1String("field")).toString().toUpper();
            c.header = a.value(QLatin1String("header")).toString();
            c.width = a.value(QLatin1String("width")).toInt();
            c.format = a.value(QLatin1String("format")).toString();
            c.sum = a.value(QLatin1String("sum")) == QLatin1String("1");
            p.reports.last().columns << c;
        }
    }
    if (x.hasError() || p.reports.isEmpty())
        throw Exception(QStringLiteral("Die Berichtsdatei %1 ist fehlerhaft: %2").arg(path, x.errorString()));
    return p;
}

QString ReportProjectPath() {
    QString installed =
        QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("reports/brenvik_reports.rav"));
    if (QFileInfo::exists(installed))
        return installed;
    return QStringLiteral(BRENVIK_SOURCE_DIR "/reports/brenvik_reports.rav");
}

ReportRows FetchReportRows(const ReportSql& s) {
    GebReportSql statement{s.sql, {}};
    for (int p : s.params)
        statement.params << p;
    ReportRows out;
    out.rows = RunGebReportSql(statement, &out.columns);
    return out;
}

namespace {

QString cellText(const ReportColumn& c, const QVariant& v) {
    if (v.isNull())
        return {};
    if (c.format == QLatin1String("amount"))
        return QLocale().toString(v.toDouble(), 'f', 2);
    if (c.format == QLatin1String("number"))
        return QLocale().toString(v.toDouble(), 'f', QLocale::FloatingPointShortest);
    if (c.format == QLatin1String("date"))
        return v.toDouble() == 0 ? QString() : TDateTimeToDate(v.toDouble()).toString(QStringLiteral("dd.MM.yyyy"));
    if (c.format == QLatin1String("flag"))
        return v.toString().trimmed() == QLatin1String("1") ? QStringLiteral("x") : QString();
    return v.toString();
}

QStringList sumCells(const ReportLayout& l, const QList<double>& sums, const QString& label) {
    QStringList cells;
    for (int i = 0; i < l.columns.size(); ++i)
        cells << (l.columns[i].sum ? QLocale().toString(sums[i], 'f', 2) : QString());
    if (!cells.isEmpty() && cells[0].isEmpty())
        cells[0] = label;
    return cells;
}

QString esc(const QString& s) {
    return s.toHtmlEscaped();
}

QString header(const QString& title, const QString& clientName, const QMap<QString, QString>& params) {
    QString h = QStringLiteral("<table width=\"100%\"><tr><td><h2>%1</h2><p>Mandant: %2<br/>Stand: %3</p></td>")
                    .arg(esc(title), esc(clientName), QDate::currentDate().toString(QStringLiteral("dd.MM.yyyy")));
    const QString logo = params.value(QStringLiteral("pLogo"));
    if (!logo.isEmpty() && QFileInfo::exists(logo))
        h += QStringLiteral("<td align=\"right\"><img src=\"%1\" height=\"48\"/></td>")
                 .arg(esc(QUrl::fromLocalFile(logo).toString()));
    return h + QStringLiteral("</tr></table>");
}

QString footer(const QMap<QString, QString>& params) {
    return QStringLiteral("<p style=\"font-size:7pt; color:#555555\">%1</p>")
        .arg(esc(params.value(QStringLiteral("pFootnoteVersion"))));
}

} // namespace

namespace {
double cents(double v) {
    return std::round(v * 100.0) / 100.0;
}
QString assetsText(int n) {
    return n == 1 ? QStringLiteral("1 Anlage") : QStringLiteral("%1 Anlagen").arg(n);
}
} // namespace

ReportTable BuildReportTable(const ReportLayout& layout, const ReportRows& data) {
    ReportTable t;
    QList<int> index;
    for (const ReportColumn& c : layout.columns) {
        t.headers << c.header;
        index << data.column(c.field);
    }
    const int groupCol = layout.group.isEmpty() ? -1 : data.column(layout.group);
    QList<double> total(layout.columns.size(), 0.0), group(layout.columns.size(), 0.0);
    bool anySum = false;
    for (const ReportColumn& c : layout.columns)
        anySum = anySum || c.sum;
    QString current;
    int inGroup = 0;
    bool first = true;
    // A subtotal names its group and how many assets it sums.
    const auto groupSum = [&] {
        return ReportTableLine{
            QLatin1Char('S'),
            sumCells(layout, group,
                     QStringLiteral("Summe %1%2 (%3)").arg(layout.groupCaption, current, assetsText(inGroup))),
            {}};
    };
    for (const QVariantList& row : data.rows) {
        if (groupCol >= 0) {
            // Rows without a group stand together under a name that says so.
            QString g = row[groupCol].toString().trimmed();
            if (g.isEmpty())
                g = QStringLiteral("(ohne Angabe)");
            if (first || g != current) {
                if (!first && anySum)
                    t.lines << groupSum();
                t.lines << ReportTableLine{QLatin1Char('G'), {layout.groupCaption + g}, {}};
                group.fill(0.0);
                current = g;
                inGroup = 0;
            }
        }
        first = false;
        ++inGroup;
        ReportTableLine line{QLatin1Char('R'), {}, QList<double>(layout.columns.size(), 0.0)};
        for (int i = 0; i < layout.columns.size(); ++i) {
            const QVariant v = index[i] >= 0 ? row[index[i]] : QVariant();
            line.cells << cellText(layout.columns[i], v);
            if (layout.columns[i].sum) {
                // The sums are those of the amounts as printed, so that they agree with the rows to the cent.
                const double shown = v.isNull() ? 0.0 : cents(v.toDouble());
                line.values[i] = shown;
                total[i] += shown;
                group[i] += shown;
            }
        }
        t.lines << line;
    }
    if (anySum) {
        if (groupCol >= 0 && !data.rows.isEmpty())
            t.lines << groupSum();
        t.lines << ReportTableLine{QLatin1Char('T'), sumCells(layout, total, QStringLiteral("Gesamtsumme")), {}};
    }
    return t;
}

TableReportOutput::TableReportOutput(ReportLayout layout, ReportTable table, QMap<QString, QString> params,
                                     QString clientName)
    : layout_(std::move(layout)), table_(std::move(table)), params_(std::move(params)), client_(std::move(clientName)) {
    landscape = layout_.landscape;
}

TableReportOutput::~TableReportOutput() = default;

TableHeading TableReportOutput::heading() const {
    TableHeading h;
    h.caption = layout_.caption;
    const QString nr = params_.value(QStringLiteral("pMandantNr"));
    h.client = QStringLiteral("Mandant: ") + client_ + (nr.isEmpty() ? QString() : QStringLiteral(" (Nr. %1)").arg(nr));
    const QString year = params_.value(QStringLiteral("pIndexJahr"));
    if (!year.isEmpty())
        h.basis = QStringLiteral("Preisbasis: Indexjahr ") + year;
    h.date = QStringLiteral("Stand: ") + QDate::currentDate().toString(QStringLiteral("dd.MM.yyyy"));
    h.logo = params_.value(QStringLiteral("pLogo"));
    h.footnote = params_.value(QStringLiteral("pFootnoteVersion"));
    // The provision settlement closes with its two amounts.
    if (params_.contains(QStringLiteral("pVorsorgeDiff")))
        h.closing =
            QStringLiteral("Saldo Zugänge/Abgänge des Vorjahres: %1    Neue Vorsorgesumme: %2")
                .arg(params_.value(QStringLiteral("pVorsorgeDiff")), params_.value(QStringLiteral("pVorsorgeSumNeu")));
    h.figuresTitle = figuresTitle_;
    h.figures = figures_;
    return h;
}

void TableReportOutput::setFigures(const QString& title, const QList<QPair<QString, QString>>& figures) {
    figuresTitle_ = title;
    figures_ = figures;
    plan_.reset();
}

const TablePlan& TableReportOutput::plan(QPagedPaintDevice* device) {
    SetReportPage(device, landscape);
    QRectF page = device->pageLayout().paintRectPixels(device->logicalDpiY());
    if (!plan_ || plannedFor_ != page.size()) {
        const TableHeading h = heading();
        plan_ = std::make_unique<TablePlan>(PlanTableReport(layout_, table_, h, device, page.size()));
        plannedFor_ = page.size();
    }
    return *plan_;
}

int TableReportOutput::pageCount(QPagedPaintDevice* device) {
    return int(plan(device).pages.size());
}

void TableReportOutput::print(QPagedPaintDevice* device) {
    const TablePlan& plan = this->plan(device);
    // A printer's chosen pages arrive as the device's page ranges ("2-3,5"); a PDF file has none.
    const QPageRanges ranges = device->pageRanges();
    QPainter p(device);
    const QFont* fonts[3] = {&plan.body, &plan.bold, &plan.title};
    const QFontMetricsF body(plan.body, device), bold(plan.bold, device), title(plan.title, device);
    const QFontMetricsF* metrics[3] = {&body, &bold, &title};
    QImage logo;
    bool first = true;
    for (int n = 1; n <= plan.pages.size(); ++n) {
        if (!ranges.isEmpty() && !ranges.contains(n))
            continue;
        if (!first)
            device->newPage();
        first = false;
        const PlannedPage& page = plan.pages[n - 1];
        int current = -1;
        if (!page.logo.isNull()) {
            if (logo.isNull())
                logo.load(params_.value(QStringLiteral("pLogo")));
            p.drawImage(page.logo, logo);
        }
        for (const QLineF& l : page.rules)
            p.drawLine(l);
        for (const PlacedText& t : page.texts) {
            const int f = std::clamp(t.font, 0, 2);
            // A change of type costs the PDF engine: set only when it changes.
            if (f != current) {
                p.setFont(*fonts[f]);
                current = f;
            }
            const qreal ascent = metrics[f]->ascent();
            if (!t.wrap) {
                p.drawText(QPointF(t.ink.left(), t.rect.top() + ascent), t.text);
                continue;
            }
            for (int i = 0; i < t.lines.size(); ++i) {
                const qreal x = (t.flags & Qt::AlignRight) ? t.rect.right() - metrics[f]->horizontalAdvance(t.lines[i])
                                                           : t.rect.left();
                p.drawText(QPointF(x, t.rect.top() + ascent + i * metrics[f]->lineSpacing()), t.lines[i]);
            }
        }
    }
}

DocumentReportOutput::DocumentReportOutput() : doc_(new QTextDocument) {}
DocumentReportOutput::~DocumentReportOutput() {
    delete doc_;
}

void DocumentReportOutput::print(QPagedPaintDevice* device) {
    SetReportPage(device, landscape);
    doc_->print(device);
}

void SetReportPage(QPagedPaintDevice* device, bool landscape) {
    device->setPageSize(QPageSize(QPageSize::A4));
    device->setPageOrientation(landscape ? QPageLayout::Landscape : QPageLayout::Portrait);
    device->setPageMargins(QMarginsF(12, 12, 12, 12), QPageLayout::Millimeter);
}

void FillImagesDocument(QTextDocument& doc, const ReportRows& pictures, const QString& imageFolder,
                        const QMap<QString, QString>& params, const QString& clientName) {
    QString html = header(QStringLiteral("Bildanlage"), clientName, params);
    html += QStringLiteral("<table width=\"100%\" cellpadding=\"4\">");
    const int konto = pictures.column(QStringLiteral("KONTO_NR"));
    const int caption = pictures.column(QStringLiteral("ANLAGEBEZEICHNUNG"));
    const int foto = pictures.column(QStringLiteral("DATEINAME_FOTO"));
    for (const QVariantList& row : pictures.rows) {
        // An asset without a photo, or whose photo is missing, is left out; it never stops the attachment. A name
        // that is empty would name the folder itself, which is no photo.
        const QString name = foto >= 0 ? row[foto].toString().trimmed() : QString();
        const QString file = !name.isEmpty() && !imageFolder.isEmpty() ? imageFolder + name : QString();
        if (file.isEmpty() || !QFileInfo(file).isFile())
            continue;
        html +=
            QStringLiteral(
                "<tr><td valign=\"top\">%1</td><td valign=\"top\">%2</td><td><img src=\"%3\" width=\"240\"/></td></tr>")
                .arg(esc(row.value(konto).toString()), esc(row.value(caption).toString()),
                     esc(QUrl::fromLocalFile(file).toString()));
    }
    html += QStringLiteral("</table>") + footer(params);
    doc.setHtml(html);
}

namespace {
ReportRows fetchGeb(const GebReportSql& s) {
    ReportRows out;
    out.rows = RunGebReportSql(s, &out.columns);
    return out;
}

QString field(const ReportRows& r, const char* name, int row = 0) {
    const int c = r.column(QString::fromLatin1(name));
    return c >= 0 && row < r.rows.size() ? r.rows[row][c].toString() : QString();
}
} // namespace

void FillBuildingDocument(QTextDocument& doc, const TGebBerichtSQL& sql, const QMap<QString, QString>& params) {
    const TGebObjekt o = sql.GetObjektData();
    QString html = header(QStringLiteral("Gebäudewertermittlung"), o.Caption, params);
    html += QStringLiteral("<p>Objekt: %1<br/>%2, %3<br/>Versicherungsnehmer: %4</p>")
                .arg(esc(o.Caption), esc(o.Strasse), esc(o.Ort), esc(o.VersNehmer));
    html += QStringLiteral("<p>Ersteller: %1<br/>%2<br/>%3</p>")
                .arg(esc(params.value(QStringLiteral("pAuf"))), esc(params.value(QStringLiteral("pAufStr"))),
                     esc(params.value(QStringLiteral("pAufOrt"))));
    const ReportRows b = fetchGeb(sql.GEB_Building_SQL());
    if (b.rows.isEmpty()) {
        html += QStringLiteral("<p>Keine Gebäudedaten vorhanden.</p>");
    } else {
        const ReportRows cur = fetchGeb(sql.GEB_Cur_SQL());
        const std::pair<const char*, const char*> lines[] = {
            {"Bezeichnung", "BCAPTION"},
            {"Gebäudetyp", "TCAPTION"},
            {"Baujahr", "BBAUJAHR"},
            {"Dachart", "BDACHART"},
            {"Zustand", "BZUSTAND"},
            {"Lebensdauer", "BLEBENSDAUER"},
            {"Alter", "BGEBALTER"},
            {"Ausführung", "BAUSFUEHRUNG"},
            {"Begründung", "BAUSFGRUND"},
            {"Produkt (Baukosten)", "BRNDPRODUKT"},
            {"Umgerechnet", "BRNDPRODUKTIDX"},
            {"Besonders zu veranschlagende Kosten", "BRNDKOSTEN"},
            {"Aufzugsanlagen", "BRNDAUFZUG"},
            {"Wiederbeschaffungspreis ohne Nebenkosten", "BRNDWIEDERKOST"},
            {"Nebenkosten", "BSUMMENK"},
            {"Summe", "BSUMMEBAU"},
            {"Gerundet", "BSUMMEBAUROUND"},
            {"Wertminderung", "BWMSELECTED"},
            {"Zeitwert", "BRNDZEITWERT"},
            {"Zeitwert in %", "BZEITWERTPERCENT"}};
        html += QStringLiteral("<p><b>%1</b></p><table cellpadding=\"2\">").arg(esc(field(cur, "BVERSARTSTR")));
        for (const auto& [label, name] : lines)
            html += QStringLiteral("<tr><td>%1</td><td align=\"right\">%2</td></tr>")
                        .arg(QString::fromUtf8(label), esc(field(b, name)));
        html += QStringLiteral("</table>");
    }
    const ReportRows dims = fetchGeb(sql.GEB_Dim_SQL());
    if (!dims.rows.isEmpty()) {
        html += QStringLiteral("<h3>Maße</h3><table cellpadding=\"2\">");
        for (int i = 0; i < dims.rows.size(); ++i)
            html += QStringLiteral("<tr><td>%1</td><td align=\"right\">%2</td></tr>")
                        .arg(esc(field(dims, "DIMCAPTION", i)),
                             QLocale().toString(dims.rows[i][dims.column(QStringLiteral("DIMFLAECHE"))].toDouble(), 'f',
                                                2));
        html += QStringLiteral("</table>");
    }
    const ReportRows desc = fetchGeb(sql.GEB_Description());
    if (!desc.rows.isEmpty())
        html += QStringLiteral("<h3>Beschreibung</h3><p>%1</p>").arg(esc(field(desc, "TGEBCAPTION")));
    const ReportRows ausf = fetchGeb(sql.GEB_Ausf_SQL());
    if (!ausf.rows.isEmpty())
        html += QStringLiteral("<h3>Ausführung</h3><p>%1</p>").arg(esc(field(ausf, "TAUSFUEHRUNG")));
    html += footer(params);
    doc.setHtml(html);
}

QPageRanges ParsePageSelection(const QString& text, int pageCount) {
    QPageRanges ranges;
    for (const QString& item : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QString t = item.trimmed();
        const qsizetype dash = t.indexOf(QLatin1Char('-'));
        bool okFrom = true, okTo = true;
        int from = 0, to = 0;
        if (dash < 0) {
            from = to = t.toInt(&okFrom);
        } else {
            const QString a = t.left(dash).trimmed(), b = t.mid(dash + 1).trimmed();
            from = a.isEmpty() ? 1 : a.toInt(&okFrom);
            to = b.isEmpty() ? pageCount : b.toInt(&okTo);
        }
        if (!okFrom || !okTo || from < 1 || to < from || to > pageCount)
            return {};
        ranges.addRange(from, to);
    }
    return ranges;
}

void WriteReportPdf(ReportOutput& report, const QString& path) {
    // Drawn into a temporary file beside the target and put in its place only when complete: a PDF that could not
    // be written never replaces an older one, and is never reported as written.
    const QString temporary = platform::TemporarySibling(path);
    bool complete = false;
    {
        QPdfWriter pdf(temporary);
        pdf.setCreator(QStringLiteral("Brenvik"));
        pdf.setResolution(300);
        report.print(&pdf);
    }
    {
        QFile written(temporary);
        if (written.open(QIODevice::ReadOnly) && written.size() > 8) {
            written.seek(written.size() - std::min<qint64>(written.size(), 1024));
            complete = written.readAll().contains("%%EOF");
        }
    }
    if (!complete) {
        QFile::remove(temporary);
        throw Exception(QStringLiteral("Die Datei %1 konnte nicht geschrieben werden.").arg(path));
    }
    if (const QString why = platform::ReplaceFile(temporary, path); !why.isEmpty())
        throw Exception(why);
}
