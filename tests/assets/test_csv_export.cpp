// The register export against a file written out by hand.

#include "assets/csv_export.h"
#include "core/convert.h"
#include "db/mandanten.h"
#include "db/versicherungswerte.h"
#include "support/fixtures.h"

#include "import/importer.h"

#include <QDir>
#include <QFile>

#include <csignal>
#include <sys/resource.h>

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
                "ELEKTRONIK_VERS, MASCHINEN_VERS, LAGERUNG_AUSSEN, KATEGORIE_NR, ADRESS_NR, GELOESCHT, BEARBEITUNG, "
                "GEBAEUDE, "
                "SOFTWARE, LEASING, GEMIETET, FESTE_TAXE, ABGANGSJAHR, GRUPPE, NOTIZTEXT, ANLAGENTYP_ID) VALUES "
                "(1, 1, 1, 0, '0420', 'Dreh;bank ä €', ?, 1234.5, 2000, 1234.5, 0, 10, '1', '0', '0', 443, 2, '0', "
                "'1', '0', "
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
    EXPECT_EQ(ExportRegisterCsv(1, file).assets, 2);
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();

    const QByteArray header =
        "Kontonummer/ Inventarnummer;Anlagebezeichnung;(leere Spalte);Anschaffungs- datum;(leere Spalte);Kennung;"
        "Anschaffungs-/ Herstellungskosten;AHK - Betraege (Zugaenge, alternativ zu Spalte G);;;;;;;;;;;;;;;;;;;"
        "Gruppierung der Anlagen;BEARBEITUNG_KENNUNG;Notizen - Zusatzdaten;Brenvik-Index;Au\xdf"
        "enbereich - Lagerung "
        "im Freien (X);Elektronikversicherung (X);Maschinen-versicherung (X);Leasing (X);Miete (X);Geb\xe4ude (X);"
        "Gel\xf6schte Anlagen (X);Adress Nummer (num.);Feste Taxe (X);;;;;;ANLAGE_NR;ANLAGE_SUB_NR;VERSICHERUNGSWERT;"
        "GEMEINER_WERT;ZEITWERT;NUTZUNGSDAUER;SOFTWARE;ABGANGSJAHR;ADRESSBEZEICHNUNG;ANLAGENTYP_ID\r\n";
    const QByteArray eighteen(18, ';');
    const QByteArray line1 = "0420;Drehbank \xe4 \x80;;15.03.2015;;AHK;1.234,50 \x80;" + eighteen +
                             ";G1;x;abc;443;;x;;;x;;;2;;;;;;;1;0;2.000,00 \x80;1234,50;0,00 \x80;10;0;0;Werk S\xfc"
                             "d;0\r\n";
    const QByteArray line2 = "0421;Teil;;01.12.2001;;AHK;0,50 \x80;" + eighteen +
                             ";;;;0;;;;;;;x;0;x;;;;;;1;1;1.000.000,00 \x80;0,00;123.456,79 \x80;0;1;2024;;1\r\n";
    EXPECT_EQ(bytes, header + line1 + line2);
    EXPECT_EQ(line1.count(';'), 53);
    EXPECT_EQ(header.count(';'), 53);
}

// An asset without acquisition date reads as day 0; the register shows an empty field, not 30.12.1899.
TEST_F(ExportTest, AnAssetWithoutAcquisitionDateHasAnEmptyDateField) {
    BrvExec(QStringLiteral("INSERT INTO VERSICHERUNGSWERTE (BRV_MANDANT_NR, MANDANT_NR, ANLAGE_NR, ANLAGE_SUB_NR, "
                           "KONTO_NR, ANLAGEBEZEICHNUNG, ANSCHAFFUNGSDATUM, AHK) VALUES (1, 1, ?, 0, ?, 'Ohne', ?, 1)"),
            1, QStringLiteral("0001"), SqlNull{});
    BrvExec(QStringLiteral("INSERT INTO VERSICHERUNGSWERTE (BRV_MANDANT_NR, MANDANT_NR, ANLAGE_NR, ANLAGE_SUB_NR, "
                           "KONTO_NR, ANLAGEBEZEICHNUNG, ANSCHAFFUNGSDATUM, AHK) VALUES (1, 1, ?, 0, ?, 'Mit', ?, 1)"),
            2, QStringLiteral("0002"), SqlTs{EncodeDate(1900, 1, 1)});
    BrvCommit();
    TBrenvikVersWerte v;
    GetVersWert(1, 1, 0, v);
    ASSERT_EQ(v.anschaffungsdatum, 0); // how the record carries the missing date

    const QString file = path(QStringLiteral("ohne_datum.csv"));
    ASSERT_EQ(ExportRegisterCsv(1, file).assets, 2);
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = f.readAll().split('\n');
    ASSERT_GE(lines.size(), 3);
    EXPECT_TRUE(lines[1].startsWith("0001;Ohne;;;;AHK;")) << lines[1].toStdString();
    EXPECT_FALSE(lines[1].contains("1899"));
    EXPECT_TRUE(lines[2].startsWith("0002;Mit;;01.01.1900;;AHK;")) << lines[2].toStdString();
}

TEST_F(ExportTest, TextsThatWouldBreakTheFileComeBackThroughTheImport) {
    auto add = [](int nr, const QString& konto, const QString& desc, const QString& note) {
        BrvExec(QStringLiteral("INSERT INTO VERSICHERUNGSWERTE (BRV_MANDANT_NR, MANDANT_NR, ANLAGE_NR, ANLAGE_SUB_NR, "
                               "KONTO_NR, ANLAGEBEZEICHNUNG, ANSCHAFFUNGSDATUM, AHK, NOTIZTEXT, KATEGORIE_NR) VALUES "
                               "(1, 1, ?, 0, ?, ?, ?, 100, ?, 443)"),
                nr, konto, desc, SqlTs{EncodeDate(2010, 1, 1)}, note);
    };
    add(1, QStringLiteral("0420"), QStringLiteral("Zeile eins\nZeile zwei"), QStringLiteral("Notiz\nmit LF"));
    add(2, QStringLiteral("04;21"), QStringLiteral("Alt+Enter\rim Blatt"), QStringLiteral("x\r\ny"));
    add(3, QStringLiteral("0422"), QStringLiteral("Łódź ş Москва"), QStringLiteral("€ bleibt"));
    add(4, QStringLiteral("0423"), QStringLiteral("Smiley 😀"), QString());
    BrvCommit();
    const QString file = path(QStringLiteral("export.csv"));
    const RegisterExport r = ExportRegisterCsv(1, file);
    EXPECT_EQ(r.assets, 4);
    EXPECT_EQ(r.replacedFields, 2);
    EXPECT_EQ(r.notice(), QStringLiteral("In 2 Feldern wurden Zeichen, die der Zeichensatz Windows-1252 nicht enthält, "
                                         "durch \"?\" ersetzt."));
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = f.readAll().split('\n');
    ASSERT_EQ(lines.size(), 6); // header, four records, nothing after the last line end
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(lines[i].count(';'), 53) << i;
        EXPECT_TRUE(lines[i].endsWith('\r'));
        EXPECT_FALSE(lines[i].contains('\x1a'));
    }
    // Read back by the text import: every asset again.
    ImportOptions all;
    all.extras = true;
    ImportResult back;
    QList<TBrenvikDatenimport> staged;
    ParseImportData(QFile::exists(file) ? [&] {
        QFile g(file);
        g.open(QIODevice::ReadOnly);
        return g.readAll();
    }() : QByteArray(), ImportLayout::Text, all, back, [&](const TBrenvikDatenimport& d) { staged << d; });
    EXPECT_EQ(back.failed, 0);
    ASSERT_EQ(staged.size(), 4);
    EXPECT_EQ(staged[0].anlagebezeichnung, QStringLiteral("Zeile einsZeile zwei"));
    EXPECT_EQ(staged[0].zusaetze, QStringLiteral("Notizmit LF"));
    EXPECT_EQ(staged[1].konto_nr, QStringLiteral("0421"));
    EXPECT_EQ(staged[1].anlagebezeichnung, QStringLiteral("Alt+Enterim Blatt"));
    EXPECT_EQ(staged[2].anlagebezeichnung, QStringLiteral("?ód? ? ??????"));
    EXPECT_EQ(staged[2].zusaetze, QStringLiteral("€ bleibt"));
    EXPECT_EQ(staged[3].anlagebezeichnung, QStringLiteral("Smiley ?"));
}

TEST_F(ExportTest, AFailedWriteLeavesTheOldFile) {
    BrvExec(QStringLiteral("INSERT INTO VERSICHERUNGSWERTE (BRV_MANDANT_NR, MANDANT_NR, ANLAGE_NR, ANLAGE_SUB_NR, "
                           "KONTO_NR, ANLAGEBEZEICHNUNG, AHK) VALUES (1, 1, 1, 0, '1', ?, 1)"),
            QStringLiteral("x").repeated(400));
    BrvCommit();
    const QString file = writeFile(QStringLiteral("alt.csv"), "die alte Datei");
    // A target the user marked read-only is not replaced, whoever runs the program.
    QFile(file).setPermissions(QFileDevice::ReadOwner | QFileDevice::ReadGroup);
    try {
        ExportRegisterCsv(1, file);
        FAIL() << "a read-only file was replaced";
    } catch (const Exception& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("ist schreibgeschützt und wurde nicht ersetzt")))
            << e.message().toStdString();
    }
    QFile(file).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    // A disk that is full halfway (here: a file size limit of the process).
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit small = old;
    small.rlim_cur = 200;
    setrlimit(RLIMIT_FSIZE, &small);
    QString message;
    try {
        ExportRegisterCsv(1, file);
    } catch (const Exception& e) {
        message = e.message();
    }
    setrlimit(RLIMIT_FSIZE, &old);
    EXPECT_TRUE(message.contains(QStringLiteral("konnte nicht geschrieben werden"))) << message.toStdString();
    EXPECT_TRUE(message.contains(QStringLiteral("bleibt unverändert")));
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("die alte Datei"));
    EXPECT_TRUE(
        QDir(tmp.path()).entryList({QStringLiteral("*.tmp")}, QDir::Files | QDir::Hidden).isEmpty()); // none left
}

} // namespace
