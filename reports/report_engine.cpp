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
#include <QRegularExpression>
#include <QPageRanges>
#include <QAbstractTextDocumentLayout>
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

QFont footFont() {
    QFont f(QStringLiteral("Sans Serif"));
    f.setPointSizeF(7);
    return f;
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

double ReportCents(double v) {
    return cents(v);
}

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
    if (const QString site = params_.value(QStringLiteral("pStandort")); !site.isEmpty())
        h.client += QStringLiteral(", ") + site;
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
    if (!plan_ || plannedFor_ != page.size() || plannedDpi_ != device->logicalDpiY()) {
        const TableHeading h = heading();
        plan_ = std::make_unique<TablePlan>(PlanTableReport(layout_, table_, h, device, page.size()));
        plannedFor_ = page.size();
        plannedDpi_ = device->logicalDpiY();
    }
    return *plan_;
}

int TableReportOutput::pageCount(QPagedPaintDevice* device) {
    return int(plan(device).pages.size());
}

void TableReportOutput::drawPage(QPainter& p, int n) {
    if (!plan_ || n < 1 || n > plan_->pages.size())
        return;
    const TablePlan& plan = *plan_;
    const PlannedPage& page = plan.pages[n - 1];
    const QFont* fonts[3] = {&plan.body, &plan.bold, &plan.title};
    if (!page.logo.isNull()) {
        if (logo_.isNull())
            logo_.load(params_.value(QStringLiteral("pLogo")));
        p.drawImage(page.logo, logo_);
    }
    for (const QLineF& l : page.rules)
        p.drawLine(l);
    int current = -1;
    for (const PlacedText& t : page.texts) {
        const int f = std::clamp(t.font, 0, 2);
        // A change of type costs the PDF engine: set only when it changes.
        if (f != current) {
            p.setFont(*fonts[f]);
            current = f;
        }
        const qreal ascent = plan.ascent[f];
        if (!t.wrap) {
            p.drawText(QPointF(t.ink.left(), t.rect.top() + ascent), t.text);
            continue;
        }
        for (int i = 0; i < t.lines.size(); ++i) {
            const qreal x = (t.flags & Qt::AlignRight) ? t.rect.right() - t.lineWidths.value(i) : t.rect.left();
            p.drawText(QPointF(x, t.rect.top() + ascent + i * plan.lineSpacing[f]), t.lines[i]);
        }
    }
}

void ReportOutput::print(QPagedPaintDevice* device) {
    const int pages = pageCount(device);
    const QPageRanges ranges = device->pageRanges();
    QPainter p(device);
    bool first = true;
    for (int n = 1; n <= pages; ++n) {
        if (!ranges.isEmpty() && !ranges.contains(n))
            continue;
        if (!first)
            device->newPage();
        first = false;
        drawPage(p, n);
    }
}

DocumentReportOutput::DocumentReportOutput() : doc_(new QTextDocument) {}
DocumentReportOutput::~DocumentReportOutput() {
    delete doc_;
}

int DocumentReportOutput::pageCount(QPagedPaintDevice* device) {
    SetReportPage(device, landscape);
    const QRectF paint = device->pageLayout().paintRectPixels(device->logicalDpiY());
    // Measured on the device itself, so that fonts and pictures take the same room in the preview and on paper.
    doc_->documentLayout()->setPaintDevice(device);
    footHeight_ = QFontMetricsF(footFont(), device).lineSpacing() * 2;
    page_ = QSizeF(paint.width(), paint.height() - footHeight_);
    doc_->setPageSize(page_);
    pages_ = doc_->pageCount();
    return pages_;
}

void DocumentReportOutput::drawPage(QPainter& p, int n) {
    if (n < 1 || n > pages_)
        return;
    p.save();
    const QRectF clip(0, (n - 1) * page_.height(), page_.width(), page_.height());
    p.translate(0, -clip.top());
    p.setClipRect(clip);
    QAbstractTextDocumentLayout::PaintContext context;
    context.clip = clip;
    doc_->documentLayout()->draw(&p, context);
    p.restore();
    p.save();
    p.setFont(footFont());
    p.setPen(QColor(0x55, 0x55, 0x55));
    const QRectF foot(0, page_.height() + footHeight_ / 2, page_.width(), footHeight_ / 2);
    p.drawText(foot, int(Qt::AlignLeft | Qt::AlignBottom), footnote);
    p.drawText(foot, int(Qt::AlignRight | Qt::AlignBottom), QStringLiteral("Seite %1 von %2").arg(n).arg(pages_));
    p.restore();
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
    html += QStringLiteral("</table>");
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

namespace {
QString amount(double v) {
    return QLocale().toString(v, 'f', 2);
}
QString quantity(const QVariant& v) {
    return v.isNull() ? QString() : QLocale().toString(v.toDouble(), 'f', 2);
}
// The rows of a line-item statement in the order the user gave them (the statements themselves have no order).
QList<int> byPosition(const ReportRows& r, const char* position) {
    QList<int> order;
    for (int i = 0; i < r.rows.size(); ++i)
        order << i;
    const int c = r.column(QLatin1String(position));
    if (c >= 0)
        std::stable_sort(order.begin(), order.end(),
                         [&](int a, int b) { return r.rows[a][c].toInt() < r.rows[b][c].toInt(); });
    return order;
}
double number(const ReportRows& r, const char* name, int row = 0) {
    const int c = r.column(QLatin1String(name));
    return c >= 0 && row < r.rows.size() ? r.rows[row][c].toDouble() : 0.0;
}
// A value the calculation stored as display text, else the number it comes from.
QString shown(const ReportRows& r, const char* text, const char* value) {
    const QString t = field(r, text).trimmed();
    return !t.isEmpty() ? t : amount(number(r, value));
}

const QString kSection = QStringLiteral("<h3 style=\"margin-top:14px; margin-bottom:4px\">%1</h3>");
const QString kItems = QStringLiteral("<table width=\"100%\" border=\"0.5\" cellspacing=\"0\" cellpadding=\"3\" "
                                      "style=\"border-collapse:collapse; border-color:#999999\">");
QString headRow(const QStringList& cells, const QList<bool>& right) {
    QString h = QStringLiteral("<tr style=\"background-color:#e8e8e8\">");
    for (int i = 0; i < cells.size(); ++i)
        h += QStringLiteral("<th align=\"%1\">%2</th>")
                 .arg(right.value(i) ? QStringLiteral("right") : QStringLiteral("left"), esc(cells[i]));
    return h + QStringLiteral("</tr>");
}
QString itemRow(const QStringList& cells, const QList<bool>& right, bool bold = false) {
    QString h = QStringLiteral("<tr>");
    for (int i = 0; i < cells.size(); ++i)
        h += QStringLiteral("<td align=\"%1\">%2%3%4</td>")
                 .arg(right.value(i) ? QStringLiteral("right") : QStringLiteral("left"),
                      bold ? QStringLiteral("<b>") : QString(), esc(cells[i]),
                      bold ? QStringLiteral("</b>") : QString());
    return h + QStringLiteral("</tr>");
}
// Label and value lines without rules; empty values are left out.
QString facts(const QList<QPair<QString, QString>>& lines) {
    QString h = QStringLiteral("<table cellspacing=\"0\" cellpadding=\"2\">");
    for (const auto& [label, value] : lines)
        if (!value.trimmed().isEmpty())
            h += QStringLiteral("<tr><td width=\"230\" valign=\"top\">%1</td><td valign=\"top\">%2</td></tr>")
                     .arg(esc(label), esc(value).replace(QLatin1Char('\n'), QStringLiteral("<br/>")));
    return h + QStringLiteral("</table>");
}
// A price the building types keep as text ("1.150,00"), shown as stored; a number formatted.
QString storedAmount(const ReportRows& r, const char* name) {
    const int c = r.column(QLatin1String(name));
    if (c < 0 || r.rows.isEmpty())
        return {};
    const QVariant v = r.rows[0][c];
    return v.typeId() == QMetaType::QString ? v.toString().trimmed() : amount(v.toDouble());
}
QString years(const QString& n) {
    return n.trimmed().isEmpty() ? QString() : n.trimmed() + QStringLiteral(" Jahre");
}
} // namespace

void FillBuildingDocument(QTextDocument& doc, const TGebBerichtSQL& sql, const QMap<QString, QString>& params) {
    const TGebObjekt o = sql.GetObjektData();
    const ReportRows client = fetchGeb(sql.GEB_Mandant_SQL());
    const QString nr = params.value(QStringLiteral("pMandantNr"));
    // The sheet is about one object of the client: it names the object as such and the client as the client.
    QString html = QStringLiteral("<table width=\"100%\"><tr><td><h2>Gebäudewertermittlung</h2><p>Objekt: %1<br/>"
                                  "Mandant: %2%3<br/>Stand: %4</p></td>")
                       .arg(esc(o.Caption), esc(field(client, "FIRMA")),
                            nr.isEmpty() ? QString() : QStringLiteral(" (Nr. %1)").arg(esc(nr)),
                            QDate::currentDate().toString(QStringLiteral("dd.MM.yyyy")));
    const QString logo = params.value(QStringLiteral("pLogo"));
    if (!logo.isEmpty() && QFileInfo::exists(logo))
        html += QStringLiteral("<td align=\"right\" valign=\"top\"><img src=\"%1\" height=\"48\"/></td>")
                    .arg(esc(QUrl::fromLocalFile(logo).toString()));
    html += QStringLiteral("</tr></table>");

    html += kSection.arg(QStringLiteral("Objekt"));
    html += facts({{QStringLiteral("Bezeichnung"), o.Caption},
                   {QStringLiteral("Anschrift"), QStringList({o.Strasse, o.Ort}).join(QStringLiteral(", "))},
                   {QStringLiteral("Versicherungsnehmer"), o.VersNehmer},
                   {QStringLiteral("Gemarkung / Flur"), QStringList({o.Gemarkung, o.Flur})
                                                            .filter(QRegularExpression(QStringLiteral("\\S")))
                                                            .join(QStringLiteral(" / "))},
                   {QStringLiteral("Grundbuch"), o.Grundbuch}});

    const ReportRows b = fetchGeb(sql.GEB_Building_SQL());
    if (b.rows.isEmpty()) {
        html += QStringLiteral("<p>Keine Gebäudedaten vorhanden.</p>");
        doc.setHtml(html);
        return;
    }
    const ReportRows cur = fetchGeb(sql.GEB_Cur_SQL());
    const ReportRows guide = fetchGeb(sql.GEB_Richtpreis_SQL());
    const ReportRows ausf = fetchGeb(sql.GEB_Ausf_SQL());
    const ReportRows dims = fetchGeb(sql.GEB_Dim_SQL());
    const ReportRows dimSum = fetchGeb(sql.GEB_Dim_Sum_SQL());
    const ReportRows products = fetchGeb(sql.GEB_PRODUKT_SQL());
    const ReportRows lifts = fetchGeb(sql.GEB_Aufzug_SQL());
    // The unit of the measured quantity follows from what is measured: an area or the enclosed volume.
    const QString dimCaption = field(b, "BDIMCAPTION").trimmed();
    const QString unit = dimCaption == QLatin1String("Fläche") ? QStringLiteral("m²") : QStringLiteral("m³");
    const QString guideCurrency = field(cur, "BCURRICHTPREIS").trimmed();
    const QString perUnit = (guideCurrency.isEmpty() ? QStringLiteral("EUR") : guideCurrency) + QLatin1Char('/') + unit;
    const QString lifeRange =
        field(b, "TLIFEMIN").isEmpty()
            ? QString()
            : QStringLiteral(" (Gebäudetyp: %1 bis %2 Jahre)").arg(field(b, "TLIFEMIN"), field(b, "TLIFEMAX"));

    html += kSection.arg(QStringLiteral("Gebäude"));
    html += facts({{QStringLiteral("Bezeichnung"), field(b, "BCAPTION")},
                   {QStringLiteral("Gebäudetyp"), field(b, "TCAPTION")},
                   {QStringLiteral("Beschreibung des Typs"), field(b, "TDESCRIPTION")},
                   {QStringLiteral("Rohbau / Bauart"), field(b, "TROHBAU")},
                   {QStringLiteral("Baujahr"), field(b, "BBAUJAHR")},
                   {QStringLiteral("Alter"), years(field(b, "BGEBALTER"))},
                   {QStringLiteral("Lebensdauer"), years(field(b, "BLEBENSDAUER")) + lifeRange},
                   {QStringLiteral("Dachart"), field(b, "BDACHART")},
                   {QStringLiteral("Zustand"), field(b, "BZUSTAND")},
                   {QStringLiteral("Ausführung"), field(b, "BAUSFUEHRUNG")},
                   {QStringLiteral("Merkmale der Ausführung"), field(ausf, "TAUSFUEHRUNG")},
                   {QStringLiteral("Begründung der Ausführung"), field(b, "BAUSFGRUND")},
                   {QStringLiteral("Herkunft der Richtwerte"), field(b, "HERKUNFT")}});

    // The measured quantity: every dimension line, and their sum the value is based on.
    const QString method = field(b, "BBERECHNUNGSARTDIM").trimmed();
    html += kSection.arg(method.isEmpty() ? QStringLiteral("Aufmaß") : method);
    if (dims.rows.isEmpty()) {
        html += QStringLiteral("<p>Keine Maße erfasst.</p>");
    } else {
        const QList<bool> right = {false, true, true, true, true};
        html +=
            kItems + headRow({QStringLiteral("Bezeichnung"), QStringLiteral("Länge m"), QStringLiteral("Breite m"),
                              QStringLiteral("Höhe m"), (dimCaption.isEmpty() ? QStringLiteral("Menge") : dimCaption)},
                             right);
        for (int i : byPosition(dims, "DIMPOS")) {
            const QString lineUnit = field(dims, "DIMEINHEIT", i).trimmed();
            const bool area = lineUnit == QLatin1String("m²");
            const auto v = [&](const char* c) { return quantity(dims.rows[i][dims.column(QLatin1String(c))]); };
            html += itemRow({field(dims, "DIMCAPTION", i), v("DIML"), v("DIMB"), area ? QString() : v("DIMH"),
                             v("DIMFLAECHE") + QLatin1Char(' ') + (lineUnit.isEmpty() ? unit : lineUnit)},
                            right);
        }
        html +=
            itemRow({QStringLiteral("Summe"), {}, {}, {}, amount(number(dimSum, "SUMME")) + QLatin1Char(' ') + unit},
                    right, true);
        html += QStringLiteral("</table>");
    }

    html += kSection.arg(QStringLiteral("Richtpreis"));
    html += facts(
        {{QStringLiteral("Richtpreis des Gebäudetyps (%1)").arg(field(b, "BAUSFUEHRUNG")),
          guide.rows.isEmpty() ? QString() : storedAmount(guide, "TRICHTPREIS") + QLatin1Char(' ') + perUnit},
         {QStringLiteral("Angesetzter Richtpreis"), amount(number(b, "BRICHTPREIS")) + QLatin1Char(' ') + perUnit},
         {QStringLiteral("Art der Richtwerte"), field(b, "TRICHTPREISART")},
         {QStringLiteral("Gebäude (Menge × Richtpreis)"),
          shown(b, "BRNDPRODUKT", "BPRODUKT") + QLatin1Char(' ') + field(cur, "BCURPRODUKT")}});

    // Components and elevators are priced in Mark 1914.
    html += kSection.arg(QStringLiteral("Besonders zu veranschlagende Bauteile"));
    if (products.rows.isEmpty()) {
        html += QStringLiteral("<p>Keine Bauteile erfasst.</p>");
    } else {
        const QList<bool> right = {true, false, true, false, true, true};
        html +=
            kItems + headRow({QStringLiteral("Pos."), QStringLiteral("Bauteil"), QStringLiteral("Menge"),
                              QStringLiteral("Einheit"), QStringLiteral("Richtpreis MK"), QStringLiteral("Betrag MK")},
                             right);
        double sum = 0;
        for (int i : byPosition(products, "POSNR")) {
            const QString extra = field(products, "ZUSATZ", i).trimmed();
            const double line = number(products, "MEASURESUM", i);
            sum += line;
            html += itemRow({field(products, "POSNR", i),
                             field(products, "CAPTION", i) +
                                 (extra.isEmpty() ? QString() : QStringLiteral(" (") + extra + QLatin1Char(')')),
                             quantity(products.rows[i][products.column(QStringLiteral("MEASURECOUNT"))]),
                             field(products, "EINHEIT", i), amount(number(products, "RICHTPREIS", i)), amount(line)},
                            right);
        }
        html += itemRow({{}, QStringLiteral("Summe Bauteile"), {}, {}, {}, amount(sum)}, right, true);
        html += QStringLiteral("</table>");
    }

    html += kSection.arg(QStringLiteral("Aufzugsanlagen"));
    if (lifts.rows.isEmpty()) {
        html += QStringLiteral("<p>Keine Aufzugsanlagen erfasst.</p>");
    } else {
        const QList<bool> right = {false, false, true, true, true, true, true, true};
        html += kItems + headRow({QStringLiteral("Aufzug"), QStringLiteral("Nutzlast"), QStringLiteral("Haltestellen"),
                                  QStringLiteral("Anzahl"), QStringLiteral("Richtpreis MK"),
                                  QStringLiteral("Weitere Haltestellen"), QStringLiteral("Richtpreis je weitere MK"),
                                  QStringLiteral("Summe MK")},
                                 right);
        double sum = 0;
        for (int i = 0; i < lifts.rows.size(); ++i) {
            const double line = number(lifts, "AUFZUGSUMME", i);
            sum += line;
            html += itemRow({field(lifts, "AUFZUGCAPTION", i), field(lifts, "NUTZLAST", i),
                             field(lifts, "HALTESTELLEN", i), field(lifts, "ANZAHL", i),
                             amount(number(lifts, "RICHTPREIS", i)), field(lifts, "EXTRAHALTESTELLECOUNT", i),
                             amount(number(lifts, "RICHTPREISEXTRA", i)), amount(line)},
                            right);
        }
        html += itemRow({QStringLiteral("Summe"), {}, {}, {}, {}, {}, {}, amount(sum)}, right, true);
        html += QStringLiteral("</table>");
    }

    // The calculation from the sums to the insured and the current value, in the currencies it used.
    const QString basis = field(cur, "BCURBAUPREISE").trimmed();
    const auto withUnit = [](const QString& v, const QString& u) {
        return v.trimmed().isEmpty()
                   ? QString()
                   : v.trimmed() + (u.trimmed().isEmpty() ? QString() : QLatin1Char(' ') + u.trimmed());
    };
    html += kSection.arg(QStringLiteral("Wertermittlung: ") + field(cur, "BVERSARTSTR"));
    {
        const QList<bool> right = {false, true, true};
        html += kItems +
                headRow({QString(), QStringLiteral("Preisbasis der Richtwerte"), QStringLiteral("Umgerechnet")}, right);
        html += itemRow({QStringLiteral("Gebäude"),
                         withUnit(shown(b, "BRNDPRODUKT", "BPRODUKT"), field(cur, "BCURPRODUKT")),
                         withUnit(field(b, "BRNDPRODUKTIDX"), field(cur, "BCURPRODUKTIDX"))},
                        right);
        html += itemRow({QStringLiteral("Besonders zu veranschlagende Bauteile"),
                         withUnit(shown(b, "BRNDKOSTEN", "BKOSTEN"), QStringLiteral("MK")),
                         withUnit(field(b, "BRNDKOSTENIDX"), field(cur, "BCURKOSTENIDX"))},
                        right);
        html += itemRow({QStringLiteral("Aufzugsanlagen"),
                         withUnit(shown(b, "BRNDAUFZUG", "BAUFZUGSKOSTEN"), QStringLiteral("MK")),
                         withUnit(field(b, "BRNDAUFZUGIDX"), field(cur, "BCURAUFZUGIDX"))},
                        right);
        const bool vat = field(b, "USTPFLICHT").trimmed() == QLatin1String("1");
        html += itemRow(
            {vat ? QStringLiteral("Wiederbeschaffungspreis (brutto, Umsatzsteuer %1 %)")
                       .arg(QLocale().toString(number(b, "REGELSTEUERSATZ"), 'f', QLocale::FloatingPointShortest))
                 : QStringLiteral("Wiederbeschaffungspreis"),
             {},
             withUnit(field(b, "BRNDWIEDERKOST"), basis)},
            right);
        html += itemRow({QStringLiteral("Nebenkosten (%1 %)")
                             .arg(QLocale().toString(number(b, "BVERSSTEUER"), 'f', QLocale::FloatingPointShortest)),
                         {},
                         withUnit(field(b, "BSUMMENK"), basis)},
                        right);
        html += itemRow({QStringLiteral("Versicherungswert"), {}, withUnit(field(b, "BSUMMEBAU"), basis)}, right);
        html += itemRow({QStringLiteral("Versicherungswert, auf volle Tausend aufgerundet"),
                         {},
                         withUnit(field(b, "BSUMMEBAUROUND"), basis)},
                        right, true);
        html += itemRow({QStringLiteral("Wertminderung (%1, %2)").arg(field(b, "BZUSTAND"), field(b, "BWMSELECTED")),
                         {},
                         withUnit(amount(number(b, "BWERTMINDERUNG")), basis)},
                        right);
        html += itemRow({QStringLiteral("Zeitwert (%1 % des Versicherungswertes)").arg(field(b, "BZEITWERTPERCENT")),
                         {},
                         withUnit(shown(b, "BRNDZEITWERT", "BZEITWERT"), basis)},
                        right, true);
        html += QStringLiteral("</table>");
    }

    // Who made the valuation, and room for the signature.
    html += kSection.arg(QStringLiteral("Erstellt von"));
    html += facts({{QStringLiteral("Sachverständiger"), params.value(QStringLiteral("pAuf"))},
                   {QStringLiteral("Anschrift"),
                    QStringList({params.value(QStringLiteral("pAufStr")), params.value(QStringLiteral("pAufOrt"))})
                        .filter(QRegularExpression(QStringLiteral("\\S")))
                        .join(QStringLiteral(", "))}});
    const QString rule(34, QLatin1Char('_'));
    html += QStringLiteral("<table width=\"100%\" style=\"margin-top:36px\"><tr><td width=\"50%\">%1<br/>Ort, "
                           "Datum</td><td width=\"50%\">%1<br/>Unterschrift</td></tr></table>")
                .arg(rule);
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
