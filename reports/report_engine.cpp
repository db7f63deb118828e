#include "reports/report_engine.h"

#include "building/gebbericht.h"
#include "db/brenvik_types.h"
#include "db/convert.h"
#include "db/dbaccess.h"

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
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
        throw Exception(QStringLiteral("Die Berichtsdatei %1 kann nicht gelesen werden: %2").arg(path, f.errorString()));
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
    const QString installed = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("reports/brenvik_reports.rav"));
    if (QFileInfo::exists(installed))
        return installed;
    return QStringLiteral(BRENVIK_SOURCE_DIR "/reports/brenvik_reports.rav");
}

ReportRows FetchReportRows(const ReportSql& s) {
    ReportRows out;
    if (s.isEmpty())
        return out;
    fb::Query q(BrvRequireDb(), s.sql);
    for (int i = 0; i < s.params.size(); ++i)
        q->bindInt(i, s.params[i]);
    q->execute(BrvActiveTrans());
    for (int c = 0; c < q->columnCount(); ++c)
        out.columns << q->columnName(c).toUpper();
    while (q->fetch()) {
        QVariantList row;
        for (int c = 0; c < q->columnCount(); ++c)
            row << q->value(c);
        out.rows << row;
    }
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

QString esc(const QString& s) { return s.toHtmlEscaped(); }

QString header(const QString& title, const QString& clientName, const QMap<QString, QString>& params) {
    QString h = QStringLiteral("<table width=\"100%\"><tr><td><h2>%1</h2><p>Mandant: %2<br/>Stand: %3</p></td>")
                    .arg(esc(title), esc(clientName), QDate::currentDate().toString(QStringLiteral("dd.MM.yyyy")));
    const QString logo = params.value(QStringLiteral("pLogo"));
    if (!logo.isEmpty() && QFileInfo::exists(logo))
        h += QStringLiteral("<td align=\"right\"><img src=\"%1\" height=\"48\"/></td>").arg(esc(QUrl::fromLocalFile(logo).toString()));
    return h + QStringLiteral("</tr></table>");
}

QString footer(const QMap<QString, QString>& params) {
    return QStringLiteral("<p style=\"font-size:7pt; color:#555555\">%1</p>").arg(esc(params.value(QStringLiteral("pFootnoteVersion"))));
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
    bool first = true;
    for (const QVariantList& row : data.rows) {
        if (groupCol >= 0) {
            const QString g = row[groupCol].toString();
            if (first || g != current) {
                if (!first && anySum)
                    t.lines << ReportTableLine{QLatin1Char('S'), sumCells(layout, group, QStringLiteral("Summe"))};
                t.lines << ReportTableLine{QLatin1Char('G'), {layout.groupCaption + g}};
                group.fill(0.0);
                current = g;
            }
        }
        first = false;
        QStringList cells;
        for (int i = 0; i < layout.columns.size(); ++i) {
            const QVariant v = index[i] >= 0 ? row[index[i]] : QVariant();
            cells << cellText(layout.columns[i], v);
            if (layout.columns[i].sum) {
                total[i] += v.toDouble();
                group[i] += v.toDouble();
            }
        }
        t.lines << ReportTableLine{QLatin1Char('R'), cells};
    }
    if (anySum) {
        if (groupCol >= 0 && !data.rows.isEmpty())
            t.lines << ReportTableLine{QLatin1Char('S'), sumCells(layout, group, QStringLiteral("Summe"))};
        t.lines << ReportTableLine{QLatin1Char('T'), sumCells(layout, total, QStringLiteral("Gesamtsumme"))};
    }
    return t;
}

void FillReportDocument(QTextDocument& doc, const ReportLayout& layout, const ReportTable& table,
                        const QMap<QString, QString>& params, const QString& clientName) {
    QString html = header(layout.caption, clientName, params);
    html += QStringLiteral("<table width=\"100%\" cellspacing=\"0\" cellpadding=\"2\" border=\"0\" style=\"font-size:8pt\"><thead><tr>");
    for (int i = 0; i < table.headers.size(); ++i)
        html += QStringLiteral("<th align=\"%1\" width=\"%2%\" style=\"border-bottom:1px solid black\">%3</th>")
                    .arg(layout.columns[i].sum ? QStringLiteral("right") : QStringLiteral("left"))
                    .arg(layout.columns[i].width)
                    .arg(esc(table.headers[i]));
    html += QStringLiteral("</tr></thead>");
    for (const ReportTableLine& line : table.lines) {
        if (line.kind == QLatin1Char('G')) {
            html += QStringLiteral("<tr><td colspan=\"%1\"><b>%2</b></td></tr>").arg(table.headers.size()).arg(esc(line.cells.value(0)));
            continue;
        }
        const bool bold = line.kind != QLatin1Char('R');
        html += QStringLiteral("<tr>");
        for (int i = 0; i < line.cells.size(); ++i) {
            const bool right = layout.columns[i].format == QLatin1String("amount") ||
                               layout.columns[i].format == QLatin1String("number");
            html += QStringLiteral("<td align=\"%1\">%2%3%4</td>")
                        .arg(right ? QStringLiteral("right") : QStringLiteral("left"), bold ? QStringLiteral("<b>") : QString(),
                             esc(line.cells[i]), bold ? QStringLiteral("</b>") : QString());
        }
        html += QStringLiteral("</tr>");
    }
    html += QStringLiteral("</table>");
    // The provision settlement closes with its two amounts.
    if (params.contains(QStringLiteral("pVorsorgeDiff")))
        html += QStringLiteral("<p><b>Saldo Zugänge/Abgänge des Vorjahres: %1<br/>Neue Vorsorgesumme: %2</b></p>")
                    .arg(esc(params.value(QStringLiteral("pVorsorgeDiff"))), esc(params.value(QStringLiteral("pVorsorgeSumNeu"))));
    html += footer(params);
    doc.setHtml(html);
}

void FillImagesDocument(QTextDocument& doc, const ReportRows& pictures, const QString& imageFolder,
                        const QMap<QString, QString>& params, const QString& clientName) {
    QString html = header(QStringLiteral("Bildanlage"), clientName, params);
    html += QStringLiteral("<table width=\"100%\" cellpadding=\"4\">");
    const int konto = pictures.column(QStringLiteral("KONTO_NR"));
    const int caption = pictures.column(QStringLiteral("ANLAGEBEZEICHNUNG"));
    const int foto = pictures.column(QStringLiteral("DATEINAME_FOTO"));
    for (const QVariantList& row : pictures.rows) {
        // A missing folder or photo leaves its row empty; it never stops the attachment.
        const QString file = foto >= 0 && !imageFolder.isEmpty() ? imageFolder + row[foto].toString() : QString();
        if (file.isEmpty() || !QFileInfo::exists(file)) {
            html += QStringLiteral("<tr><td></td><td></td><td></td></tr>");
            continue;
        }
        html += QStringLiteral("<tr><td valign=\"top\">%1</td><td valign=\"top\">%2</td><td><img src=\"%3\" width=\"240\"/></td></tr>")
                    .arg(esc(row.value(konto).toString()), esc(row.value(caption).toString()),
                         esc(QUrl::fromLocalFile(file).toString()));
    }
    html += QStringLiteral("</table>") + footer(params);
    doc.setHtml(html);
}

namespace {
ReportRows fetchGeb(const GebReportSql& s) {
    ReportRows out;
    if (s.isEmpty())
        return out;
    fb::Query q(BrvRequireDb(), s.sql);
    int i = 0;
    for (const auto& p : s.params) {
        std::visit([&](const auto& v) { bindOne(*q, i, v); }, p);
        ++i;
    }
    q->execute(BrvActiveTrans());
    for (int c = 0; c < q->columnCount(); ++c)
        out.columns << q->columnName(c).toUpper();
    while (q->fetch()) {
        QVariantList row;
        for (int c = 0; c < q->columnCount(); ++c)
            row << q->value(c);
        out.rows << row;
    }
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
            {"Bezeichnung", "BCAPTION"},       {"Gebäudetyp", "TCAPTION"},         {"Baujahr", "BBAUJAHR"},
            {"Dachart", "BDACHART"},           {"Zustand", "BZUSTAND"},            {"Lebensdauer", "BLEBENSDAUER"},
            {"Alter", "BGEBALTER"},            {"Ausführung", "BAUSFUEHRUNG"},    {"Begründung", "BAUSFGRUND"},
            {"Produkt (Baukosten)", "BRNDPRODUKT"}, {"Umgerechnet", "BRNDPRODUKTIDX"},
            {"Besonders zu veranschlagende Kosten", "BRNDKOSTEN"}, {"Aufzugsanlagen", "BRNDAUFZUG"},
            {"Wiederbeschaffungspreis ohne Nebenkosten", "BRNDWIEDERKOST"}, {"Nebenkosten", "BSUMMENK"},
            {"Summe", "BSUMMEBAU"},            {"Gerundet", "BSUMMEBAUROUND"},    {"Wertminderung", "BWMSELECTED"},
            {"Zeitwert", "BRNDZEITWERT"},      {"Zeitwert in %", "BZEITWERTPERCENT"}};
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
                             QLocale().toString(dims.rows[i][dims.column(QStringLiteral("DIMFLAECHE"))].toDouble(), 'f', 2));
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

void WriteReportPdf(QTextDocument& doc, bool landscape, const QString& path) {
    QPdfWriter pdf(path);
    pdf.setPageSize(QPageSize(QPageSize::A4));
    pdf.setPageOrientation(landscape ? QPageLayout::Landscape : QPageLayout::Portrait);
    pdf.setPageMargins(QMarginsF(12, 12, 12, 12), QPageLayout::Millimeter);
    pdf.setCreator(QStringLiteral("Brenvik"));
    doc.print(&pdf);
    if (!QFileInfo(path).exists() || QFileInfo(path).size() == 0)
        throw Exception(QStringLiteral("Die Datei %1 konnte nicht geschrieben werden.").arg(path));
}
