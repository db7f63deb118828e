// The register export against a file written out by hand.

#include "assets/csv_export.h"
#include "db/convert.h"
#include "db/mandanten.h"
#include "db/versicherungswerte.h"
#include "support/fixtures.h"

#include <QFile>

namespace {

using ExportTest = SchemaDbTest;

TEST_F(ExportTest, RegisterFileByteForByte) {
    TBrenvikAdresse a;
    a.mandant_nr = 1;
    a.adress_nr = 2;
    a.adressbezeichnung = QStringLiteral(" Werk; Süd\r\n ");
    SaveAdresse(a);
    BrvExec(QStringLiteral(
        "INSERT INTO VERSICHERUNGSWERTE (BRV_MANDANT_NR, MANDANT_NR, ANLAGE_NR, ANLAGE_SUB_NR, KONTO_NR, "
        "ANLAGEBEZEICHNUNG, ANSCHAFFUNGSDATUM, AHK, VERSICHERUNGSWERT, GEMEINER_WERT, ZEITWERT, NUTZUNGSDAUER, "
        "ELEKTRONIK_VERS, MASCHINEN_VERS, LAGERUNG_AUSSEN, KATEGORIE_NR, ADRESS_NR, GELOESCHT, BEARBEITUNG, GEBAEUDE, "
        "SOFTWARE, LEASING, GEMIETET, FESTE_TAXE, ABGANGSJAHR, GRUPPE, NOTIZTEXT, ANLAGENTYP_ID) VALUES "
        "(1, 1, 1, 0, '0420', 'Dreh;bank ä €', ?, 1234.5, 2000, 1234.5, 0, 10, '1', '0', '0', 443, 2, '0', '1', '0', "
        "'0', '0', '1', '0', 0, 'G;1', ?, NULL)"),
        SqlTs{EncodeDate(2015, 3, 15)}, QStringLiteral("a;b\r\nc"));
    BrvExec(QStringLiteral(
        "INSERT INTO VERSICHERUNGSWERTE (BRV_MANDANT_NR, MANDANT_NR, ANLAGE_NR, ANLAGE_SUB_NR, KONTO_NR, "
        "ANLAGEBEZEICHNUNG, ANSCHAFFUNGSDATUM, AHK, VERSICHERUNGSWERT, GEMEINER_WERT, ZEITWERT, NUTZUNGSDAUER, "
        "KATEGORIE_NR, ADRESS_NR, GELOESCHT, FESTE_TAXE, SOFTWARE, ABGANGSJAHR, ANLAGENTYP_ID) VALUES "
        "(1, 1, 1, 1, '0421', 'Teil', ?, 0.5, 1000000, 0, 123456.789, 0, 0, 0, '1', '1', '1', 2024, 1)"),
        SqlTs{EncodeDate(2001, 12, 1)});
    BrvCommit();

    const QString file = path(QStringLiteral("export.csv"));
    writeFile(QStringLiteral("export.csv"), "old content that is replaced");
    EXPECT_EQ(ExportRegisterCsv(1, file), 2);
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();

    const QByteArray header =
        "Kontonummer/ Inventarnummer;Anlagebezeichnung;(leere Spalte);Anschaffungs- datum;(leere Spalte);Kennung;"
        "Anschaffungs-/ Herstellungskosten;AHK - Betraege (Zugaenge, alternativ zu Spalte G);;;;;;;;;;;;;;;;;;;"
        "Gruppierung der Anlagen;BEARBEITUNG_KENNUNG;Notizen - Zusatzdaten;Brenvik-Index;Au\xdf" "enbereich - Lagerung "
        "im Freien (X);Elektronikversicherung (X);Maschinen-versicherung (X);Leasing (X);Miete (X);Geb\xe4ude (X);"
        "Gel\xf6schte Anlagen (X);Adress Nummer (num.);Feste Taxe (X);;;;;;ANLAGE_NR;ANLAGE_SUB_NR;VERSICHERUNGSWERT;"
        "GEMEINER_WERT;ZEITWERT;NUTZUNGSDAUER;SOFTWARE;ABGANGSJAHR;ADRESSBEZEICHNUNG;ANLAGENTYP_ID\r\n";
    const QByteArray eighteen(18, ';');
    const QByteArray line1 = "0420;Drehbank \xe4 \x80;;15.03.2015;;AHK;1.234,50 \x80;" + eighteen +
                             ";G1;x;abc;443;;x;;;x;;;2;;;;;;;1;0;2.000,00 \x80;1234,50;0,00 \x80;10;0;0;Werk S\xfc" "d;0\r\n";
    const QByteArray line2 = "0421;Teil;;01.12.2001;;AHK;0,50 \x80;" + eighteen +
                             ";;;;0;;;;;;;x;0;x;;;;;;1;1;1.000.000,00 \x80;0,00;123.456,79 \x80;0;1;2024;;1\r\n";
    EXPECT_EQ(bytes, header + line1 + line2);
    EXPECT_EQ(line1.count(';'), 53);
    EXPECT_EQ(header.count(';'), 53);
}

} // namespace
