#include "assets/csv_export.h"

#include "db/convert.h"
#include "db/mandanten.h"
#include "db/versicherungswerte.h"

#include <QFile>
#include <QStringEncoder>

const QString kRegisterCsvHeader = QStringLiteral(
    "Kontonummer/ Inventarnummer;Anlagebezeichnung;(leere Spalte);Anschaffungs- datum;(leere Spalte);Kennung;"
    "Anschaffungs-/ Herstellungskosten;AHK - Betraege (Zugaenge, alternativ zu Spalte G);;;;;;;;;;;;;;;;;;;"
    "Gruppierung der Anlagen;BEARBEITUNG_KENNUNG;Notizen - Zusatzdaten;Brenvik-Index;Außenbereich - Lagerung im "
    "Freien (X);Elektronikversicherung (X);Maschinen-versicherung (X);Leasing (X);Miete (X);Gebäude (X);Gelöschte "
    "Anlagen (X);Adress Nummer (num.);Feste Taxe (X);;;;;;ANLAGE_NR;ANLAGE_SUB_NR;VERSICHERUNGSWERT;GEMEINER_WERT;"
    "ZEITWERT;NUTZUNGSDAUER;SOFTWARE;ABGANGSJAHR;ADRESSBEZEICHNUNG;ANLAGENTYP_ID");

namespace {

QString noSeparator(QString s) { return s.remove(QLatin1Char(';')); }
QString oneLine(QString s) { return s.remove(QLatin1Char(';')).remove(QStringLiteral("\r\n")); }
QString flag(const QString& f) { return f == QLatin1String("1") ? QStringLiteral("x") : QString(); }

} // namespace

QString RegisterCsvLine(const TBrenvikVersWerte& r, const QList<TBrenvikAdresse>& addresses) {
    QString address;
    if (r.adress_nr > 0) {
        for (const TBrenvikAdresse& a : addresses)
            if (a.adress_nr == r.adress_nr) {
                address = oneLine(a.adressbezeichnung.trimmed());
                break;
            }
    }
    QStringList f;
    f.reserve(54);
    f << r.konto_nr << noSeparator(r.anlagebezeichnung) << QString() << ShortDateText(r.anschaffungsdatum) << QString()
      << QStringLiteral("AHK") << FormatCurrency(r.ahk) << QString();
    for (int i = 0; i < 18; ++i)
        f << QString();
    f << noSeparator(r.gruppe) << flag(r.bearbeitung) << oneLine(r.notiztext) << QString::number(r.kategorie_nr)
      << flag(r.lagerung_aussen) << flag(r.elektronik_vers) << flag(r.maschinen_vers) << flag(r.leasing)
      << flag(r.gemietet) << flag(r.gebaeude) << flag(r.geloescht) << QString::number(r.adress_nr)
      << flag(r.feste_taxe);
    for (int i = 0; i < 5; ++i)
        f << QString();
    f << QString::number(r.anlage_nr) << QString::number(r.anlage_sub_nr) << FormatCurrency(r.versicherungswert)
      << FormatFixed2(r.gemeiner_wert) << FormatCurrency(r.zeitwert) << QString::number(r.nutzungsdauer) << r.software
      << QString::number(r.abgangsjahr) << address << QString::number(r.anlagentyp_id < 1 ? 0 : r.anlagentyp_id);
    return f.join(QLatin1Char(';'));
}

int ExportRegisterCsv(int mandantNr, const QString& path) {
    const auto assets = GetVersWerteList(mandantNr, QString());
    const auto addresses = GetAdressen(mandantNr);
    if (!assets || !addresses)
        throw Exception(QStringLiteral("Keine Verbindung zur Datenbank."));
    QStringEncoder cp1252("windows-1252");
    if (!cp1252.isValid())
        throw Exception(QStringLiteral("Die Zeichenkodierung Windows-1252 ist nicht verfügbar."));
    QFile::remove(path);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw Exception(file.errorString());
    auto write = [&](const QString& line) {
        const QByteArray bytes = cp1252.encode(line + QStringLiteral("\r\n"));
        if (file.write(bytes) != bytes.size())
            throw Exception(file.errorString());
    };
    write(kRegisterCsvHeader);
    for (const TBrenvikVersWerte& r : *assets)
        write(RegisterCsvLine(r, *addresses));
    if (!file.flush())
        throw Exception(file.errorString());
    return int(assets->size());
}
