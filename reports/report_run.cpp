#include "reports/report_run.h"

#include "core/exceptions.h"

#include <QLocale>

QString ReportFileName(const QString& caption) {
    return QString(caption).replace(QLatin1Char('/'), QLatin1Char('_'));
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
    r.statements = PrepareReportStatements(name, job.clientNr, job.indexYear);
    const ReportLayout* layout = project.find(name);
    if (!layout)
        throw EBrvUnknownReport(
            QStringLiteral("Bericht ist nicht bekannt. Bitte informieren Sie den Softwarehersteller."));
    r.layout = *layout;
    r.params = job.parameters;
    r.params[QStringLiteral("pLogo")] = job.logoFolder + QStringLiteral("Logo.bmp");
    r.params[QStringLiteral("pMandantNr")] = QString::number(job.clientNr);
    r.params[QStringLiteral("pIndexJahr")] = QString::number(job.indexYear);
    if (r.statements.buildingReport)
        return r;
    if (r.statements.key == QLatin1String("REPORT_40_VORSORGEABRECHNUNG")) {
        if (const auto p = ReportVorsorgeParameters(job.clientNr)) {
            r.params[QStringLiteral("pVorsorgeDiff")] = p->first;
            r.params[QStringLiteral("pVorsorgeSumNeu")] = p->second;
        }
    }
    r.table = std::make_unique<TableReportOutput>(
        r.layout, BuildReportTable(r.layout, FetchReportRows(r.statements.rows)), r.params, job.clientName);
    if (!r.statements.keyFigures.isEmpty())
        AddKeyFigures(*r.table, FetchReportRows(r.statements.keyFigures));
    return r;
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
    return images;
}
