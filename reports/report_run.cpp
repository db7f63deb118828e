#include "reports/report_run.h"

#include "building/gebbericht.h"
#include "core/exceptions.h"

#include <QLocale>

QString ReportFileName(const QString& caption) {
    QString name;
    for (const QChar ch : caption)
        name += QStringLiteral("/\\:*?\"<>|").contains(ch) || ch.unicode() < 32 ? QLatin1Char('_') : ch;
    return name;
}

void AddKeyFigures(TableReportOutput& report, const ReportRows& rows) {
    if (rows.rows.isEmpty())
        return;
    const QVariantList& k = rows.rows.first();
    auto figure = [&](const char* column, const QString& unit) {
        const int c = rows.column(QLatin1String(column));
        return c >= 0 && !k[c].isNull() ? QLocale().toString(k[c].toDouble(), 'f', 2) + unit : QStringLiteral("./.");
    };
    const QString eur = QStringLiteral(" EUR");
    const int year = rows.column(QStringLiteral("BILANZJAHR"));
    report.setFigures(
        QStringLiteral("Grundlage: Kennzahlen des Bilanzjahres %1").arg(year >= 0 ? k[year].toString() : QString()),
        {{QStringLiteral("Fertige Erzeugnisse (Bilanz)"), figure("FERTIGE_ERZ_BILANZ", eur)},
         {QStringLiteral("Unfertige Erzeugnisse (Bilanz)"), figure("UNFERTIGE_ERZ_BILANZ", eur)},
         {QStringLiteral("Lager- und Betriebsstoffe (Bilanz)"), figure("LAGER_BSTOFFE_BILANZ", eur)},
         {QStringLiteral("Fertige Erzeugnisse (Höchststand)"), figure("FERTIGE_ERZ_MAX", eur)},
         {QStringLiteral("Unfertige Erzeugnisse (Höchststand)"), figure("UNFERTIGE_ERZ_MAX", eur)},
         {QStringLiteral("Lager- und Betriebsstoffe (Höchststand)"), figure("LAGER_BSTOFFE_MAX", eur)},
         {QStringLiteral("Bisherige Vorsorgesumme"), figure("VORSORGESUMME", eur)},
         {QStringLiteral("Endwertgrenze"), figure("ENDWERTGRENZE", QStringLiteral(" %"))}});
}

PreparedReport PrepareReport(const ReportProject& project, const QString& name, const ReportJob& job) {
    PreparedReport r;
    r.statements = PrepareReportStatements(name, job.clientNr, job.indexYear, job.addressNr);
    const ReportLayout* layout = project.find(name);
    if (!layout)
        throw EBrvUnknownReport(
            QStringLiteral("Bericht ist nicht bekannt. Bitte informieren Sie den Softwarehersteller."));
    r.layout = *layout;
    r.params = job.parameters;
    r.params[QStringLiteral("pLogo")] = job.logoFolder + QStringLiteral("Logo.bmp");
    r.params[QStringLiteral("pMandantNr")] = QString::number(job.clientNr);
    r.params[QStringLiteral("pIndexJahr")] = QString::number(job.indexYear);
    if (job.addressNr > 0 && !IsClientWideReport(name))
        r.params[QStringLiteral("pStandort")] =
            QStringLiteral("Standort %1").arg(job.addressNr) +
            (job.addressCaption.trimmed().isEmpty() ? QString() : QStringLiteral(": ") + job.addressCaption.trimmed());
    if (r.statements.buildingReport)
        return r;
    if (r.statements.key == QLatin1String("REPORT_40_VORSORGEABRECHNUNG")) {
        if (const auto p = ReportVorsorgeParameters(job.clientNr)) {
            r.params[QStringLiteral("pVorsorgeDiff")] = p->first;
            r.params[QStringLiteral("pVorsorgeSumNeu")] = p->second;
        }
    }
    ReportRows rows = FetchReportRows(r.statements.rows);
    r.table = std::make_unique<TableReportOutput>(r.layout, BuildReportTable(r.layout, rows), r.params, job.clientName);
    if (job.keepRows)
        r.rows = std::move(rows);
    if (!r.statements.keyFigures.isEmpty())
        AddKeyFigures(*r.table, FetchReportRows(r.statements.keyFigures));
    return r;
}

std::unique_ptr<DocumentReportOutput> PrepareBuildingSheet(PreparedReport& report, const TGebBerichtSQL& building) {
    const TGebObjekt o = building.GetObjektData();
    report.params[QStringLiteral("pAuf")] = o.Ersteller;
    report.params[QStringLiteral("pAufStr")] = o.ErstellerStr;
    report.params[QStringLiteral("pAufOrt")] = o.ErstellerOrt;
    auto sheet = std::make_unique<DocumentReportOutput>();
    FillBuildingDocument(sheet->document(), building, report.params);
    sheet->footnote = report.params.value(QStringLiteral("pFootnoteVersion"));
    return sheet;
}

std::unique_ptr<DocumentReportOutput> PreparePictureAttachment(const PreparedReport& report, const ReportJob& job,
                                                               const QString& imageFolder, const QString& logo) {
    if (report.statements.pictures.isEmpty())
        return nullptr;
    const ReportRows pictures = FetchReportRows(report.statements.pictures);
    if (pictures.rows.isEmpty())
        return nullptr;
    QMap<QString, QString> params = report.params;
    params[QStringLiteral("pImageReportLogo")] = logo;
    params[QStringLiteral("pLogo")] = logo;
    auto images = std::make_unique<DocumentReportOutput>();
    FillImagesDocument(images->document(), pictures, imageFolder, params, job.clientName);
    images->footnote = params.value(QStringLiteral("pFootnoteVersion"));
    return images;
}
