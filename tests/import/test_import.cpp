// Reading the four layouts into staging rows, and the takeover into the register with its archive copy.

#include "assets/csv_export.h"
#include "core/convert.h"
#include "db/indexwerte.h"
#include "db/mandanten.h"
#include "db/versicherungswerte.h"
#include "import/importer.h"
#include "import/journal.h"
#include "import/takeover.h"
#include "import/workbook.h"
#include "import/xls_writer.h"
#include "support/fixtures.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QStringEncoder>

#include <variant>

#include <xlsxwriter.h>
#include <zip.h>

using platform::MsgIcon;

namespace {

struct Date {
    int y, m, d;
};
using Value = std::variant<std::monostate, const char*, double, Date>;
using Row = std::vector<Value>;

class ImportTest : public SchemaDbTest {
protected:
    void SetUp() override {
        SchemaDbTest::SetUp();
        exec(QStringLiteral(
            "INSERT INTO INDEXBESCHREIBUNGEN (BRV_MANDANT_NR, KATEGORIE_NR, INDEX_TEXT) VALUES (1, 443, 'Maschinen')"));
        exec(QStringLiteral(
            "INSERT INTO INDEXWERTE (BRV_MANDANT_NR, KATEGORIE_NR, INDEXJAHR, INDEXWERT) VALUES (1, 443, 2024, 100)"));
    }
    // A workbook whose first sheet holds the rows (row 1 first; columns from A).
    QString xlsx(const char* name, const std::vector<Row>& rows, int firstRow = 1) {
        QString file = path(QString::fromLatin1(name));
        lxw_workbook* wb = workbook_new(QFile::encodeName(file).constData());
        lxw_worksheet* ws = workbook_add_worksheet(wb, nullptr);
        lxw_format* date = workbook_add_format(wb);
        format_set_num_format(date, "dd.mm.yyyy");
        for (size_t r = 0; r < rows.size(); ++r)
            for (size_t c = 0; c < rows[r].size(); ++c) {
                const auto row = lxw_row_t(r + firstRow - 1);
                const auto col = lxw_col_t(c);
                const Value& v = rows[r][c];
                if (const auto* s = std::get_if<const char*>(&v))
                    worksheet_write_string(ws, row, col, *s, nullptr);
                else if (const auto* n = std::get_if<double>(&v))
                    worksheet_write_number(ws, row, col, *n, nullptr);
                else if (const auto* d = std::get_if<Date>(&v)) {
                    lxw_datetime dt = {d->y, d->m, d->d, 0, 0, 0};
                    worksheet_write_datetime(ws, row, col, &dt, date);
                }
            }
        EXPECT_EQ(workbook_close(wb), LXW_NO_ERROR);
        return file;
    }
    QList<TBrenvikDatenimport> staged() {
        QList<TBrenvikDatenimport> out;
        for (int z = 1; z <= 70000; ++z) {
            TBrenvikDatenimport d;
            try {
                GetDatenimport(1, z, d);
            } catch (const EBrvException_NODATA&) {
                if (count(QStringLiteral("SELECT COUNT(*) FROM DATENIMPORTE WHERE ZEILE_NR > %1").arg(z)) == 0)
                    break;
                continue;
            }
            out << d;
        }
        return out;
    }
    QStringList texts(const ImportResult& r) {
        QStringList t;
        for (const auto& m : r.messages)
            t << m.text;
        return t;
    }
};

TEST_F(ImportTest, StandardLayoutMarkersDatesLongTextsAndExtras) {
    const std::string longDesc(150, 'x');
    std::vector<Row> rows = {
        {"Kontonummer", "Anlagebezeichnung", {}, "Datum", {}, "Kennung", "AHK"},
        {"0420", "Drehbank", {}, Date{2015, 3, 15}, {}, "AHK", 1234.5},
        {"0421", "Marker in G", {}, {}, Date{2012, 1, 2}, {}, "AHK", 99.0}, // marker G, amount H, date E
        {"0422", "Ohne Datum", {}, "kein Datum", {}, "AHK", "1.000,50"},
        {"0423", longDesc.c_str(), {}, "31.12.2008", {}, "AHK", 5.0},
        {"", "Ohne Konto", {}, "31.12.2008", {}, "AHK", 5.0},
        {"0424", "Marker ohne Betrag", {}, "31.12.2008", {}, "AHK", "x"},
    };
    Row extras = {"0425", "Mit Zusatzdaten", {}, "01.02.2003", {}, "AHK", 10.0};
    extras.resize(40);
    extras[26] = "Gruppe A";
    extras[27] = "x";
    extras[28] = "Notiz";
    extras[29] = 612.0;
    extras[30] = "x";
    extras[36] = "x";
    extras[37] = 3.0;
    extras[38] = "x";
    extras[39] = 1.0;
    rows.push_back(extras);
    Row wrongDateWithNote = {"0426", "Falsches Datum", {}, "13.13.2013", {}, "AHK", 1.0};
    wrongDateWithNote.resize(29);
    wrongDateWithNote[28] = "Hinweis";
    rows.push_back(wrongDateWithNote);
    const QString file = xlsx("standard.xlsx", rows);

    ImportResult r = ReadImportFile(1, file, ImportLayout::Excel, {});
    EXPECT_EQ(r.layout, QStringLiteral("standard"));
    EXPECT_EQ(r.records, 8);
    EXPECT_EQ(r.staged, 6);
    // Marked asset rows without an account or a readable amount are listed, not silently left out.
    ASSERT_EQ(r.failures.size(), 2);
    EXPECT_EQ(r.failures[0].line, 6);
    EXPECT_EQ(r.failures[0].reason, QStringLiteral("Die Kontonummer (Spalte A) fehlt"));
    EXPECT_EQ(r.failures[1].line, 7);
    EXPECT_EQ(r.failures[1].konto, QStringLiteral("0424"));
    EXPECT_EQ(r.failures[1].reason, QStringLiteral("Kein gültiger AHK-Betrag: \"x\""));
    // The heading row is accounted for.
    ASSERT_GE(r.skipped.size(), 1);
    EXPECT_EQ(r.skipped[0].line, 1);
    ASSERT_EQ(r.preview.size(), 6);
    EXPECT_EQ(r.preview[0], (QStringList{"1", "0420", "Drehbank", "15.03.2015", "1.234,50", "", "", "0", "0", "0", "0",
                                         "0", "0", "0", "0", "0", "0", "0"}));
    EXPECT_EQ(r.countText(), QStringLiteral("Anzahl: 6 von 8"));
    ASSERT_EQ(r.longDescriptions.size(), 1);
    EXPECT_EQ(r.longDescriptions[0], QStringLiteral("0423      ") + QString::fromStdString(longDesc));
    EXPECT_EQ(texts(r), QStringList()); // no duplicates, records found
    QList<TBrenvikDatenimport> s = staged();
    ASSERT_EQ(s.size(), 6);
    EXPECT_EQ(s[1].ahk, 99.0);
    EXPECT_EQ(s[1].anschaffungsdatum, EncodeDate(2012, 1, 2));
    EXPECT_EQ(s[2].ahk, 1000.5);
    EXPECT_EQ(s[2].anschaffungsdatum, EncodeDate(1900, 1, 1));
    EXPECT_EQ(s[2].bearbeitung, QStringLiteral("1"));
    EXPECT_EQ(s[2].zusaetze, QStringLiteral("Anschaffungsdatum falsch übernommen, bitte prüfen."));
    EXPECT_EQ(s[3].anlagebezeichnung.size(), 100);
    EXPECT_EQ(s[4].gruppe, QString()); // without the options the extra columns are not read
    EXPECT_EQ(s[4].bearbeitung, QStringLiteral("0"));

    ImportOptions all;
    all.groups = all.extras = all.indexFromFile = true;
    r = ReadImportFile(1, file, ImportLayout::Excel, all);
    s = staged();
    ASSERT_EQ(s.size(), 6);
    const TBrenvikDatenimport& e = s[4];
    EXPECT_EQ(e.gruppe, QStringLiteral("Gruppe A"));
    EXPECT_EQ(e.bearbeitung, QStringLiteral("1"));
    EXPECT_EQ(e.zusaetze, QStringLiteral("Notiz"));
    EXPECT_EQ(e.kategorie_nr, 612);
    EXPECT_EQ(e.lagerung_aussen, QStringLiteral("1"));
    EXPECT_EQ(e.elektronik_vers, QStringLiteral("0"));
    EXPECT_EQ(e.geloescht, QStringLiteral("1"));
    EXPECT_EQ(e.adress_nr, 3);
    EXPECT_EQ(e.feste_taxe, QStringLiteral("1"));
    EXPECT_EQ(e.anlagentyp_id, 1);
    // The wrong date stays marked, the note of the file behind the hint.
    EXPECT_EQ(s[5].bearbeitung, QStringLiteral("1"));
    EXPECT_EQ(s[5].zusaetze, QStringLiteral("Anschaffungsdatum falsch übernommen, bitte prüfen. Hinweis"));
}

TEST_F(ImportTest, ColumnHLayoutAndLayoutDetection) {
    std::vector<Row> rows = {
        {"Konto", {}, "Bezeichnung", {}, {}, {}, {}, "AHK"},
        {"0500", {}, "Presse", {}, {}, "01.01.2001", {}, "AHK", "x", 2500.0},
        {"0501", {}, "Zweizeilig"},
        {{}, {}, {}, {}, {}, {}, {}, "AHK", 300.0, {}, {}, {}, {}},
    };
    rows[3].resize(9);
    rows[3][8] = "31.05.2010";
    rows[3][7] = "AHK";
    rows[3][8] = 300.0;
    rows[3].push_back("31.05.2010"); // column J is no date column; the date is taken from I or F
    // A record of one line right after a blank row and right after a group heading.
    rows.push_back({});
    rows.push_back({"0502", {}, "Nach Leerzeile", {}, {}, "01.01.2002", {}, "AHK", 10.0});
    rows.push_back({{}, {}, "Gruppe Maschinen"});
    rows.push_back({"0503", {}, "Nach Überschrift", {}, {}, "01.01.2003", {}, "AHK", 20.0});
    const ImportResult r = ReadImportFile(1, xlsx("hl.xlsx", rows), ImportLayout::Excel, {});
    EXPECT_EQ(r.layout, QStringLiteral("H/L"));
    const QList<TBrenvikDatenimport> s = staged();
    QStringList why;
    for (const ImportFailure& f : r.failures)
        why << QStringLiteral("%1 %2").arg(f.line).arg(f.reason);
    ASSERT_EQ(s.size(), 4) << texts(r).join('|').toStdString() << why.join('|').toStdString();
    EXPECT_EQ(s[2].konto_nr, QStringLiteral("0502"));
    EXPECT_EQ(s[3].konto_nr, QStringLiteral("0503"));
    EXPECT_EQ(s[3].ahk, 20.0);
    EXPECT_EQ(s[0].ahk, 2500.0);
    EXPECT_EQ(s[0].anschaffungsdatum, EncodeDate(2001, 1, 1));
    EXPECT_EQ(s[1].konto_nr, QStringLiteral("0501"));
    EXPECT_EQ(s[1].ahk, 300.0);
    EXPECT_EQ(s[1].anschaffungsdatum, EncodeDate(1900, 1, 1));

    // "AHK" only in column K selects the layout that then finds nothing.
    const ImportResult k = ReadImportFile(
        1, xlsx("k.xlsx", {{"0600", {}, "Teil", {}, {}, {}, {}, {}, {}, {}, "AHK", 5.0}}), ImportLayout::Excel, {});
    EXPECT_EQ(k.staged, 0);
    EXPECT_EQ(texts(k), QStringList{QStringLiteral("Es wurden keine gültigen Datensätze im Anlagenverzeichnis gefunden."
                                                   "\r\nBitte überprüfen Sie ggf. die Datenstrukturen/ Inhalte der zu "
                                                   "importierenden Datei.")});
    EXPECT_EQ(k.messages[0].icon, MsgIcon::Information);
}

TEST_F(ImportTest, Datev2021Layout) {
    std::vector<Row> rows = {
        {"Konto Bezeichnung", "Datum", {}, "Kennung"},
        {"0700 Neue Maschine", "01.03.2021", {}, "AHK", 500.0},
        {"Einwort", {}, Date{2020, 12, 24}, "AHK", 0.0, 75.0},
        {"0701 Ohne Betrag", "01.03.2021", {}, "AHK", "nichts"},
        {"0702 Ohne Datum", "kein", {}, "AHK", 5.0},
        {"0700 Neue Maschine", "01.03.2021", {}, "AHK", 1.0},
        {"0703 Betrag in F", "01.03.2021", {}, "AHK", {}, 42.5}, // column E empty: the amount of F counts
    };
    const ImportResult r = ReadImportFile(1, xlsx("datev.xlsx", rows), ImportLayout::Datev2021, {});
    EXPECT_EQ(r.layout, QStringLiteral("datev2021"));
    const QList<TBrenvikDatenimport> s = staged();
    ASSERT_EQ(s.size(), 4);
    EXPECT_EQ(s[0].konto_nr, QStringLiteral("0700"));
    EXPECT_EQ(s[0].anlagebezeichnung, QStringLiteral("Neue Maschine"));
    EXPECT_EQ(s[1].konto_nr, QStringLiteral("0"));
    EXPECT_EQ(s[1].anlagebezeichnung, QStringLiteral("Einwort"));
    EXPECT_EQ(s[1].ahk, 75.0);
    EXPECT_EQ(s[1].anschaffungsdatum, EncodeDate(2020, 12, 24));
    // The rows without an amount or date are not staged with guessed ones, and they are listed.
    EXPECT_EQ(r.failed, 2);
    ASSERT_EQ(r.failures.size(), 2);
    EXPECT_EQ(r.failures[0].line, 4);
    EXPECT_EQ(r.failures[0].konto, QStringLiteral("0701"));
    EXPECT_TRUE(r.failures[0].reason.startsWith(QStringLiteral("Fehler, AHK Wert konnte nicht ermittelt werden")));
    EXPECT_EQ(r.failures[1].reason, QStringLiteral("Fehler, kein valides Anschaffungsdatum gefunden"));
    EXPECT_EQ(r.countText(), QStringLiteral("Anzahl: 4 von 6"));
    ASSERT_EQ(s.size(), 4);
    EXPECT_EQ(s[3].konto_nr, QStringLiteral("0703"));
    EXPECT_EQ(s[3].ahk, 42.5);
    ASSERT_EQ(r.messages.size(), 1);
    EXPECT_TRUE(r.messages[0].text.startsWith(QStringLiteral("Es wurden Duplikate (doppelte Kontonummern)")));
    EXPECT_TRUE(r.messages[0].text.contains(QStringLiteral("\r\n\r\n0700\r\n\r\n\r\nBitte korrigieren")));

    const ImportResult none =
        ReadImportFile(1, xlsx("keins.xlsx", {{"x", "y", "z", "kein Marker"}}), ImportLayout::Datev2021, {});
    EXPECT_TRUE(texts(none).first().startsWith(QStringLiteral("Fehler während der Formatprüfung der Excel-Datei")));
}

TEST_F(ImportTest, TextLayoutReadsTheExportBackWithAllOptions) {
    // A register with everything the export writes.
    BrvExec(QStringLiteral(
                "INSERT INTO VERSICHERUNGSWERTE (BRV_MANDANT_NR, MANDANT_NR, ANLAGE_NR, ANLAGE_SUB_NR, KONTO_NR, "
                "ANLAGEBEZEICHNUNG, ANSCHAFFUNGSDATUM, AHK, VERSICHERUNGSWERT, KATEGORIE_NR, ADRESS_NR, GELOESCHT, "
                "BEARBEITUNG, "
                "GEBAEUDE, LEASING, GEMIETET, FESTE_TAXE, LAGERUNG_AUSSEN, ELEKTRONIK_VERS, MASCHINEN_VERS, GRUPPE, "
                "NOTIZTEXT) "
                "VALUES (1, 1, 1, 0, '0420', 'Drehbank \"Spezial\" € äöü', ?, 1234567.89, 10, 612, 2, '1', '1', '0', "
                "'1', '0', '1', "
                "'1', '0', '1', 'Halle 3', 'Notiz mit Umlaut ß')"),
            SqlTs{EncodeDate(2015, 3, 15)});
    BrvExec(QStringLiteral(
                "INSERT INTO VERSICHERUNGSWERTE (BRV_MANDANT_NR, MANDANT_NR, ANLAGE_NR, ANLAGE_SUB_NR, KONTO_NR, "
                "ANLAGEBEZEICHNUNG, ANSCHAFFUNGSDATUM, AHK, KATEGORIE_NR, ADRESS_NR, GELOESCHT, BEARBEITUNG, "
                "GEBAEUDE, LEASING, GEMIETET, FESTE_TAXE, LAGERUNG_AUSSEN, ELEKTRONIK_VERS, MASCHINEN_VERS) "
                "VALUES (1, 1, 2, 0, '0421', 'Zweite', ?, 0.5, 443, 0, '0', '0', '1', '0', '1', '0', '0', "
                "'1', '0')"),
            SqlTs{EncodeDate(1999, 1, 31)});
    BrvCommit();
    const QString file = path(QStringLiteral("export.csv"));
    ExportRegisterCsv(1, file);
    ImportOptions all;
    all.groups = all.extras = all.indexFromFile = true;
    const ImportResult r = ReadImportFile(1, file, ImportLayout::Text, all);
    EXPECT_EQ(texts(r), QStringList{QStringLiteral("Der Import wurde erfolgreich abgeschlossen.")});
    const QList<TBrenvikDatenimport> s = staged();
    ASSERT_EQ(s.size(), 2);
    const auto assets = *GetVersWerteList(1, {});
    for (int i = 0; i < 2; ++i) {
        const TBrenvikVersWerte& a = assets[i];
        const TBrenvikDatenimport& d = s[i];
        EXPECT_EQ(d.konto_nr, a.konto_nr);
        EXPECT_EQ(d.anlagebezeichnung, a.anlagebezeichnung);
        EXPECT_EQ(d.anschaffungsdatum, a.anschaffungsdatum);
        EXPECT_EQ(d.ahk, a.ahk);
        EXPECT_EQ(d.gruppe, a.gruppe);
        EXPECT_EQ(d.bearbeitung, a.bearbeitung);
        EXPECT_EQ(d.zusaetze, a.notiztext);
        EXPECT_EQ(d.kategorie_nr, a.kategorie_nr);
        EXPECT_EQ(d.adress_nr, a.adress_nr);
        for (auto [x, y] : {std::pair{d.lagerung_aussen, a.lagerung_aussen},
                            {d.elektronik_vers, a.elektronik_vers},
                            {d.maschinen_vers, a.maschinen_vers},
                            {d.leasing, a.leasing},
                            {d.gemietet, a.gemietet},
                            {d.gebaeude, a.gebaeude},
                            {d.geloescht, a.geloescht},
                            {d.feste_taxe, a.feste_taxe}})
            EXPECT_EQ(x, y);
        EXPECT_EQ(d.anlagentyp_id, 0); // the export writes the type to BB, the import reads AN
    }
}

TEST_F(ImportTest, TextLinesEncodingsSkipsAndFailures) {
    const QByteArray lines = QByteArray("Kopfzeile\r\n") + "0100;Stuhl " + QByteArray("\xe4") + ";;01.02.2003;;AHK;" +
                             QByteArray("12,50 \x80") + "\r\n" + QByteArray(52, ';') + "\r\n\r\n" +
                             "0101;Zu kurz;;01.02.2003\r\n" + "0102;Ohne Betrag;;01.02.2003;;AHK;kein\r\n" +
                             "0103;Tisch;;03.04.2005;;AHK;1.250\r\n";
    ImportResult r = ReadImportFile(1, writeFile("ansi.txt", lines), ImportLayout::Text, {});
    QList<TBrenvikDatenimport> s = staged();
    ASSERT_EQ(s.size(), 2);
    EXPECT_EQ(s[0].anlagebezeichnung, QStringLiteral("Stuhl ä"));
    EXPECT_EQ(s[0].ahk, 12.5);
    EXPECT_EQ(s[0].zeile_nr, 1);
    EXPECT_EQ(s[1].zeile_nr, 6); // line numbers keep the gaps of skipped and failed lines
    EXPECT_EQ(s[1].ahk, 1250.0);
    EXPECT_EQ(r.failed, 2);
    EXPECT_EQ(r.preview.size(), 4); // failed lines keep their preview row
    EXPECT_EQ(texts(r).first(), QStringLiteral("Der Import ist abgeschlossen.\r\nEs konnten nicht alle Zeilen in die "
                                               "Datenbank übernommen werden. \r\nBitte überprüfen Sie den Import auf "
                                               "Vollständigkeit."));
    // UTF-8 with a byte-order mark.
    r = ReadImportFile(1, writeFile("utf8.txt", "\xef\xbb\xbfKopf\n0200;Bänk €;;05.06.2007;;AHK;3\n"),
                       ImportLayout::Text, {});
    s = staged();
    ASSERT_EQ(s.size(), 1);
    EXPECT_EQ(s[0].anlagebezeichnung, QStringLiteral("Bänk €"));
    // Empty and missing files never crash.
    r = ReadImportFile(1, writeFile("leer.txt", {}), ImportLayout::Text, {});
    EXPECT_EQ(r.staged, 0);
    r = ReadImportFile(1, path(QStringLiteral("fehlt.xlsx")), ImportLayout::Excel, {});
    EXPECT_EQ(r.staged, 0);
    EXPECT_TRUE(texts(r).first().startsWith(QStringLiteral("Die Datei kann nicht gelesen werden")));
}

TEST_F(ImportTest, XlsRowsWhoseValuesAreFormulasAreRead) {
    using namespace biff;
    const QByteArray globals = xf(0) + xf(14);
    QByteArray sheet =
        bof(0x0600, 0x0010) + label(0, 0, QStringLiteral("Konto")) + label(0, 1, QStringLiteral("Bezeichnung"));
    // Account number, date and amount as formulas with their last results.
    sheet += formulaSpecial(1, 0, 0, 0) + record(0x0207, ustr(QStringLiteral("0430"))) +
             label(1, 1, QStringLiteral("Presse")) + formulaNumber(1, 3, 1, 42078) +
             label(1, 5, QStringLiteral("AHK")) + formulaNumber(1, 6, 0, 999.5) + eof();
    const QString file = path(QStringLiteral("formeln.xls"));
    ASSERT_TRUE(writeContainer(file, workbook(globals, {sheet})));
    const ImportResult r = ReadImportFile(1, file, ImportLayout::Excel, {});
    ASSERT_EQ(r.staged, 1) << texts(r).join('|').toStdString();
    const QList<TBrenvikDatenimport> s = staged();
    EXPECT_EQ(s[0].konto_nr, QStringLiteral("0430"));
    EXPECT_EQ(s[0].anschaffungsdatum, EncodeDate(2015, 3, 15));
    EXPECT_EQ(s[0].ahk, 999.5);
}

TEST_F(ImportTest, StandardLayoutEndsAtRow65500) {
    std::vector<Row> rows;
    rows.reserve(65501);
    static std::vector<std::string> names;
    names.reserve(65501);
    for (int i = 1; i <= 65501; ++i)
        names.push_back(std::to_string(i));
    for (int i = 0; i < 65501; ++i)
        rows.push_back({names[i].c_str(), "Anlage", {}, "01.01.2001", {}, "AHK", 1.5});
    const ImportResult r = ReadImportFile(1, xlsx("gross.xlsx", rows), ImportLayout::Excel, {});
    EXPECT_EQ(r.records, 65500);
    EXPECT_EQ(r.staged, 65500);
    // What lies beyond is not read: the read is incomplete, so no takeover treats those assets as gone.
    EXPECT_FALSE(r.complete);
    ASSERT_EQ(r.failures.size(), 1);
    EXPECT_EQ(r.failures[0].line, 65501);
    EXPECT_EQ(r.preview.size(), 100);
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM DATENIMPORTE WHERE KONTO_NR = '65501'")), 0);
}

class TakeoverTest : public ImportTest {
protected:
    void stage(int zeile, const QString& konto, const QString& desc, double ahk, int kategorie = 0,
               const char* festeTaxe = "0", const char* todo = "0") {
        TBrenvikDatenimport d;
        d.mandant_nr = 1;
        d.zeile_nr = zeile;
        d.konto_nr = konto;
        d.anlagebezeichnung = desc;
        d.anschaffungsdatum = EncodeDate(2020, 5, 5);
        d.ahk = ahk;
        d.kategorie_nr = kategorie;
        for (QString* f : {&d.lagerung_aussen, &d.elektronik_vers, &d.maschinen_vers, &d.leasing, &d.gemietet,
                           &d.gebaeude, &d.geloescht})
            *f = QStringLiteral("0");
        d.feste_taxe = QString::fromLatin1(festeTaxe);
        d.bearbeitung = QString::fromLatin1(todo);
        InsertDatenimport(d);
    }
    void registered(int nr, const char* konto, const char* desc, double ahk, const char* quelle,
                    const char* gemietet = "0", const char* leasing = "0") {
        exec(
            QStringLiteral("INSERT INTO VERSICHERUNGSWERTE (BRV_MANDANT_NR, MANDANT_NR, ANLAGE_NR, ANLAGE_SUB_NR, "
                           "KONTO_NR, ANLAGEBEZEICHNUNG, AHK, VERSICHERUNGSWERT, ANSCHAFFUNGSDATUM, GELOESCHT, "
                           "BEARBEITUNG, QUELLE, GEMIETET, LEASING, UPDATE_CHECK) VALUES (1, 1, %1, 0, '%2', '%3', %4, "
                           "77, '01.01.2010', '0', '0', '%5', '%6', '%7', '1')")
                .arg(nr)
                .arg(QLatin1String(konto), QLatin1String(desc))
                .arg(ahk)
                .arg(QLatin1String(quelle), QLatin1String(gemietet), QLatin1String(leasing)));
    }
    QString field(int nr, const char* col) {
        return scalar(QStringLiteral("SELECT %1 FROM VERSICHERUNGSWERTE WHERE MANDANT_NR = 1 AND ANLAGE_NR = %2")
                          .arg(QLatin1String(col))
                          .arg(nr));
    }
};

TEST_F(TakeoverTest, ReconciliationNumberingAndDisposals) {
    registered(10, "0420", "Drehbank", 0.80, "IMPORT");
    registered(20, "0421", "Hand", 500, "MANUELL");
    registered(30, "0422", "Entfallen", 500, "IMPORT");
    registered(40, "0423", "Gemietet", 500, "IMPORT", "1");
    registered(50, "0424", "Geleast", 500, "IMPORT", "0", "1");
    registered(57, "0425", "Von Hand, fehlt", 500, "MANUELL");
    stage(1, QStringLiteral("0420"), QStringLiteral("Drehbank"), 9999);
    stage(2, QStringLiteral("0421"), QStringLiteral("Hand"), 1);
    // Line 3 failed while reading: the rows after the gap still count.
    stage(4, QStringLiteral("0500"), QStringLiteral("Neu Standard"), 1.01, 0, "0", "0");
    stage(5, QStringLiteral("0501"), QStringLiteral("Neu Index"), 1.00, 612);
    stage(6, QStringLiteral("0502"), QStringLiteral("Neu Taxe"), 5000, 0, "1");
    QList<int> seen;
    QList<TakeoverPlan> asked;
    const auto yes = [&](const TakeoverPlan& p) {
        asked << p;
        return true;
    };
    const TakeoverResult t = TakeOverStaged(1, 443, nullptr, yes, [&](int n) { seen << n; });
    EXPECT_EQ(seen, (QList<int>{1, 2, 4, 5, 6}));
    // One of the two imported assets goes: more than a fifth, so the plan was put to the user first.
    ASSERT_EQ(asked.size(), 1);
    EXPECT_EQ(asked[0].text(), QStringLiteral("3 neu, 2 bestätigt, 1 als Abgang markiert, 0 reaktiviert"));
    EXPECT_TRUE(
        asked[0].question().contains(QStringLiteral("1 von 2 importierten Anlagen werden als Abgang markiert.")));
    EXPECT_EQ(t.confirmed, 2);
    EXPECT_EQ(t.added, 3);
    EXPECT_EQ(t.disposed, 1);
    ASSERT_EQ(t.messages.size(), 1);
    EXPECT_EQ(t.messages[0].text, QStringLiteral("Die Datenübernahme wurde erfolgreich beendet.\r\n\r\n3 neu, 2 "
                                                 "bestätigt, 1 als Abgang markiert, 0 reaktiviert."));
    // Confirmed: the stored values stay, the to-do flag follows the stored AHK.
    EXPECT_EQ(field(10, "AHK").toDouble(), 0.8);
    EXPECT_EQ(field(10, "VERSICHERUNGSWERT").toDouble(), 77.0);
    EXPECT_EQ(field(10, "BEARBEITUNG"), QStringLiteral("1"));
    EXPECT_EQ(field(10, "UPDATE_CHECK"), QStringLiteral("1"));
    EXPECT_EQ(field(20, "QUELLE"), QStringLiteral("IMPORT"));
    EXPECT_EQ(field(20, "BEARBEITUNG"), QStringLiteral("0"));
    // New rows after the highest number.
    EXPECT_EQ(field(58, "ANLAGEBEZEICHNUNG"), QStringLiteral("Neu Standard"));
    EXPECT_EQ(field(58, "KATEGORIE_NR"), QStringLiteral("443"));
    EXPECT_EQ(field(58, "BEARBEITUNG"), QStringLiteral("0"));
    EXPECT_EQ(field(58, "LISTENPREIS").toDouble(), 1.01);
    EXPECT_EQ(field(58, "AHK_ORG").toDouble(), 1.01);
    EXPECT_EQ(field(59, "KATEGORIE_NR"), QStringLiteral("612"));
    EXPECT_EQ(field(59, "BEARBEITUNG"), QStringLiteral("1"));
    EXPECT_EQ(field(60, "VERSICHERUNGSWERT").toDouble(), 5000.0);
    EXPECT_EQ(field(58, "VERSICHERUNGSWERT").toDouble(), 0.0);
    EXPECT_EQ(field(60, "QUELLE"), QStringLiteral("IMPORT"));
    for (int nr : {10, 20, 58, 59, 60})
        EXPECT_EQ(field(nr, "UPDATE_CHECK"), QStringLiteral("1")) << nr; // confirmed or added by this run
    EXPECT_EQ(field(30, "UPDATE_CHECK"), QStringLiteral("0"));
    // Disposed: only the imported asset the file no longer lists, neither rented nor leased.
    EXPECT_EQ(field(30, "GELOESCHT"), QStringLiteral("1"));
    EXPECT_EQ(field(30, "ABGANGSJAHR"), QStringLiteral("2024"));
    for (int nr : {40, 50, 57})
        EXPECT_EQ(field(nr, "GELOESCHT"), QStringLiteral("0")) << nr;

    // The same file again confirms what the first run added; nothing more to dispose, so nothing to ask.
    const TakeoverResult again = TakeOverStaged(1, 443);
    EXPECT_FALSE(again.refused);
    EXPECT_EQ(again.added, 0);
    EXPECT_EQ(again.confirmed, 5);
    EXPECT_EQ(field(30, "ABGANGSJAHR"), QStringLiteral("2024"));
}

TEST_F(TakeoverTest, FailedRowsNeverDisposeWhatTheyMayStandFor) {
    for (int i = 0; i < 10; ++i)
        registered(i + 1, qPrintable(QStringLiteral("070%1").arg(i)), "Anlage", 500, "IMPORT");
    for (int i = 0; i < 9; ++i)
        stage(i + 1, QStringLiteral("070%1").arg(i), QStringLiteral("Anlage"), 500);
    // The row of 0709 was read but could not be staged.
    ImportResult read;
    read.records = 10;
    read.staged = 9;
    read.failed = 1;
    read.failures.append(
        {10, QStringLiteral("Kein gültiges Anschaffungsdatum"), QStringLiteral("0709"), QStringLiteral("Anlage")});
    // Declined: nothing at all changes.
    TakeoverResult t = TakeOverStaged(1, 443, &read, [](const TakeoverPlan&) { return false; });
    EXPECT_TRUE(t.refused);
    EXPECT_EQ(t.plan.failedReadRows, 1);
    EXPECT_EQ(t.plan.protectedAssets, 1);
    EXPECT_EQ(t.plan.toDispose, 0);
    EXPECT_TRUE(t.messages.last().text.contains(QStringLiteral("der Bestand ist unverändert")));
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM VERSICHERUNGSWERTE WHERE UPDATE_TS IS NOT NULL")), 0);
    // Without anyone to ask, a plan that needs a confirmation is refused as well.
    EXPECT_TRUE(TakeOverStaged(1, 443, &read).refused);
    // Confirmed: the nine are confirmed, the tenth stays although the file did not confirm it.
    t = TakeOverStaged(1, 443, &read, [](const TakeoverPlan&) { return true; });
    EXPECT_EQ(t.confirmed, 9);
    EXPECT_EQ(t.disposed, 0);
    EXPECT_EQ(field(10, "GELOESCHT"), QStringLiteral("0"));

    // Without failures, one disposal in ten needs no question.
    exec(QStringLiteral("DELETE FROM DATENIMPORTE WHERE ZEILE_NR = 9"));
    t = TakeOverStaged(1, 443);
    EXPECT_FALSE(t.refused);
    EXPECT_EQ(t.disposed, 2); // 0708 and 0709
    EXPECT_EQ(field(9, "GELOESCHT"), QStringLiteral("1"));
    // A file that lists only a few of the register is refused without confirmation.
    exec(QStringLiteral("DELETE FROM DATENIMPORTE WHERE ZEILE_NR > 2"));
    t = TakeOverStaged(1, 443);
    EXPECT_TRUE(t.refused);
    EXPECT_EQ(t.plan.toDispose, 6);
    EXPECT_EQ(field(3, "GELOESCHT"), QStringLiteral("0"));
}

TEST_F(TakeoverTest, ReadFailuresReachTheTakeoverEndToEnd) {
    registered(1, "0800", "Mit langer Notiz", 500, "IMPORT");
    registered(2, "0801", "Falsches Datum", 500, "IMPORT");
    registered(3, "0802", "Lange Bezeichnung", 500, "IMPORT");
    const QString longDesc = QStringLiteral("Lange Bezeichnung ") + QString(150, QLatin1Char('x'));
    QByteArray lines = "Kopf\r\n";
    // Column AC (field 28) with a note longer than the staging column.
    lines += "0800;Mit langer Notiz;;01.02.2003;;AHK;100" + QByteArray(22, ';') + QByteArray(600, 'n') + "\r\n";
    lines += "0801;Falsches Datum;;31.02.2005;;AHK;100\r\n";
    lines += "0802;" + longDesc.toLatin1() + ";;01.02.2003;;AHK;100\r\n";
    ImportOptions extras;
    extras.extras = true;
    const ImportResult r = ReadImportFile(1, writeFile("fehler.txt", lines), ImportLayout::Text, extras);
    EXPECT_EQ(r.records, 3);
    EXPECT_EQ(r.staged, 1);
    EXPECT_EQ(r.failed, 2);
    EXPECT_EQ(r.summaryText(), QStringLiteral("Gelesen: 3, bereitgestellt: 1, fehlgeschlagen: 2"));
    ASSERT_EQ(r.failures.size(), 2);
    EXPECT_EQ(r.failures[0].line, 1);
    EXPECT_EQ(r.failures[0].konto, QStringLiteral("0800"));
    EXPECT_TRUE(r.failures[0].reason.contains(QStringLiteral("zu lang"))) << r.failures[0].reason.toStdString();
    EXPECT_EQ(r.failures[1].line, 2);
    EXPECT_EQ(r.failures[1].reason, QStringLiteral("Kein gültiges Anschaffungsdatum (TT.MM.JJJJ): \"31.02.2005\""));
    // The text layout, the layout of the register export, keeps a long description whole.
    EXPECT_TRUE(r.longDescriptions.isEmpty());
    EXPECT_EQ(staged()[0].anlagebezeichnung, longDesc);

    const TakeoverResult t = TakeOverStaged(1, 443, &r, [](const TakeoverPlan&) { return true; });
    EXPECT_EQ(t.added, 1);
    // The old "Lange Bezeichnung" has another description now, but its account stands in the file: kept.
    EXPECT_EQ(t.disposed, 0);
    EXPECT_EQ(t.plan.protectedAssets, 3);
    EXPECT_EQ(field(1, "GELOESCHT"), QStringLiteral("0"));
    EXPECT_EQ(field(2, "GELOESCHT"), QStringLiteral("0"));
    EXPECT_EQ(field(3, "GELOESCHT"), QStringLiteral("0"));
    EXPECT_EQ(field(4, "ANLAGEBEZEICHNUNG_ORG"), longDesc);
}

TEST_F(TakeoverTest, NothingStagedChangesNothing) {
    registered(1, "0420", "Drehbank", 500, "IMPORT");
    const TakeoverResult t = TakeOverStaged(1, 443);
    EXPECT_TRUE(t.refused);
    EXPECT_EQ(t.messages[0].icon, MsgIcon::Warning);
    EXPECT_EQ(field(1, "GELOESCHT"), QStringLiteral("0"));
    EXPECT_EQ(field(1, "UPDATE_CHECK"), QStringLiteral("1"));
}

TEST_F(TakeoverTest, ArchiveCopyByFolderRules) {
    const QString file = writeFile(QStringLiteral("Anlagen.xlsx"), "inhalt");
    exec(QStringLiteral("UPDATE MANDANTEN SET SICHERUNGSPFAD = 'Kunde_12'"));
    const QString bak = tmp.path() + QStringLiteral("/Archiv/");
    ArchiveResult a = ArchiveImportFile(1, file, bak, QStringLiteral("1"));
    EXPECT_FALSE(a.copied);
    EXPECT_EQ(a.message.text,
              QStringLiteral("Das zur Sicherung von Importdateien angegebene Verzeichnis existiert nicht.\r\n"
                             "Bitte sichern Sie die Datei manuell."));
    QDir().mkpath(bak + QStringLiteral("Kunde_12"));
    a = ArchiveImportFile(1, file, bak, QStringLiteral("1"));
    ASSERT_TRUE(a.copied) << a.message.text.toStdString();
    EXPECT_EQ(a.message.text, QStringLiteral("Die Importdatei wurde erfolgreich kopiert."));
    EXPECT_TRUE(a.target.startsWith(bak + QStringLiteral("Kunde_12/")));
    EXPECT_TRUE(
        QFileInfo(a.target).fileName().contains(QRegularExpression(QStringLiteral("^\\d{8}_\\d{6}_Anlagen\\.xlsx$"))));
    // A full path when the paths are not relative to the backup folder.
    const QString full = tmp.path() + QStringLiteral("/voll");
    QDir().mkpath(full);
    BrvExec(QStringLiteral("UPDATE MANDANTEN SET SICHERUNGSPFAD = ?"), full);
    BrvCommit();
    a = ArchiveImportFile(1, file, bak, QStringLiteral("0"));
    ASSERT_TRUE(a.copied);
    EXPECT_TRUE(a.target.startsWith(full + QLatin1Char('/')));
    // A client without a storage path has no archive: the copy must not land in the root folder.
    exec(QStringLiteral("UPDATE MANDANTEN SET SICHERUNGSPFAD = ''"));
    a = ArchiveImportFile(1, file, bak, QStringLiteral("0"));
    EXPECT_FALSE(a.copied);
    EXPECT_EQ(a.message.icon, MsgIcon::Warning);
    EXPECT_TRUE(
        a.message.text.startsWith(QStringLiteral("Das zur Sicherung von Importdateien angegebene Verzeichnis")));
}

} // namespace

// ---------------------------------------------------------------------------------------------------------------
// An asset the file lists is never taken for a disposal.

class ProofTest : public TakeoverTest {
protected:
    // Reads the file and takes it over; confirms every question.
    TakeoverResult importFile(const QString& file, ImportLayout layout, ImportResult* read = nullptr) {
        ImportResult r = ReadImportFile(1, file, layout, {});
        TakeoverResult t = TakeOverStaged(1, 443, &r, [](const TakeoverPlan&) { return true; });
        if (read)
            *read = std::move(r);
        return t;
    }
    QString disposedList() {
        QStringList out;
        BrvSql q(QStringLiteral("SELECT KONTO_NR FROM VERSICHERUNGSWERTE WHERE MANDANT_NR = 1 AND GELOESCHT = '1' "
                                "ORDER BY ANLAGE_NR"));
        while (q.next())
            out << q->asText(0);
        BrvCommit();
        return out.join(QLatin1Char(','));
    }
    // Every column of every register row of the client, as text.
    QString dump() {
        QStringList out;
        BrvSql q(QStringLiteral("SELECT * FROM VERSICHERUNGSWERTE WHERE MANDANT_NR = 1 ORDER BY ANLAGE_NR, "
                                "ANLAGE_SUB_NR"));
        while (q.next()) {
            QStringList row;
            for (int c = 0; c < q->columnCount(); ++c)
                row << (q->isNull(c) ? QStringLiteral("<null>") : q->asText(c));
            out << row.join(QLatin1Char('|'));
        }
        BrvCommit();
        return out.join(QLatin1Char('\n'));
    }
};

TEST_F(ProofTest, UnreadableAmountsMissingMarkersAndGapsNeverDispose) {
    registered(1, "6001", "Maschine", 500, "IMPORT");
    registered(2, "6002", "Presse", 500, "IMPORT");
    registered(3, "6003", "Drucker", 500, "IMPORT");
    registered(4, "6004", "Nach der Lücke", 500, "IMPORT");
    registered(5, "6005", "Verkauft", 500, "IMPORT");
    // The first data row's amount in the wrong format: no heading, a failed row. A row with another marker than
    // "AHK" and a row after more than 100 empty rows are assets the file lists, too.
    std::vector<Row> rows = {
        {"6001", "Maschine", {}, Date{2015, 3, 15}, {}, "AHK", "12.5"},
        {"6002", "Presse", {}, Date{2015, 3, 15}, {}, "AHK", 100.0},
        {"6003", "Drucker", {}, Date{2015, 3, 15}, {}, "AfA", 300.0},
    };
    rows.resize(rows.size() + 101);
    rows.push_back({"6004", "Nach der Lücke", {}, Date{2016, 1, 1}, {}, "AHK", 200.0});
    ImportResult r;
    const TakeoverResult t = importFile(xlsx("beweis.xlsx", rows), ImportLayout::Excel, &r);
    EXPECT_FALSE(r.complete);
    ASSERT_GE(r.failures.size(), 3);
    EXPECT_EQ(r.failures[0].line, 1);
    EXPECT_TRUE(r.failures[0].reason.contains(QStringLiteral("\"12.5\""))) << r.failures[0].reason.toStdString();
    EXPECT_EQ(r.failures[1].konto, QStringLiteral("6003"));
    EXPECT_TRUE(r.failures[1].reason.contains(QStringLiteral("Kennung")));
    EXPECT_EQ(r.failures[2].line, 105);
    EXPECT_EQ(r.failed, 2);
    EXPECT_TRUE(t.plan.readIncomplete);
    // Not read to its end: nothing is disposed, not even the asset the file no longer lists.
    EXPECT_EQ(t.disposed, 0);
    EXPECT_EQ(disposedList(), QString());

    // Read whole, with the same unreadable rows: only the asset whose account stands nowhere in the file goes.
    rows.erase(rows.begin() + 3, rows.begin() + 104);
    const TakeoverResult t2 = importFile(xlsx("beweis2.xlsx", rows), ImportLayout::Excel, &r);
    EXPECT_TRUE(r.complete);
    EXPECT_EQ(t2.disposed, 1);
    EXPECT_EQ(disposedList(), QStringLiteral("6005"));
}

TEST_F(ProofTest, MergedAccountCellsAndFormulasWithoutResultAreAssetsTheFileLists) {
    registered(1, "6001", "Maschine", 500, "IMPORT");
    registered(2, "6001", "Zubehoer", 500, "IMPORT");
    registered(3, "6002", "Formel", 500, "IMPORT");
    registered(4, "6003", "Verkauft", 500, "IMPORT");
    registered(5, "6004", "Bleibt", 500, "IMPORT");
    registered(6, "6005", "Bleibt auch", 500, "IMPORT");
    const QString file = path(QStringLiteral("merge.xlsx"));
    lxw_workbook* wb = workbook_new(QFile::encodeName(file).constData());
    lxw_worksheet* ws = workbook_add_worksheet(wb, nullptr);
    // The account stands once for two rows; the second amount is a formula the writer left without its result.
    worksheet_merge_range(ws, 0, 0, 1, 0, "6001", nullptr);
    worksheet_write_string(ws, 0, 1, "Maschine", nullptr);
    worksheet_write_string(ws, 1, 1, "Zubehoer", nullptr);
    for (lxw_row_t r = 0; r < 5; ++r) {
        worksheet_write_string(ws, r, 3, "01.02.2010", nullptr);
        worksheet_write_string(ws, r, 5, "AHK", nullptr);
    }
    worksheet_write_number(ws, 0, 6, 100, nullptr);
    worksheet_write_number(ws, 1, 6, 50, nullptr);
    worksheet_write_string(ws, 2, 0, "6002", nullptr);
    worksheet_write_string(ws, 2, 1, "Formel", nullptr);
    worksheet_write_formula(ws, 2, 6, "=G1*2", nullptr);
    worksheet_write_string(ws, 3, 0, "6004", nullptr);
    worksheet_write_string(ws, 3, 1, "Bleibt", nullptr);
    worksheet_write_number(ws, 3, 6, 10, nullptr);
    worksheet_write_string(ws, 4, 0, "6005", nullptr);
    worksheet_write_string(ws, 4, 1, "Bleibt auch", nullptr);
    worksheet_write_number(ws, 4, 6, 10, nullptr);
    ASSERT_EQ(workbook_close(wb), LXW_NO_ERROR);
    // As many generators write it: the formula without a cached value.
    {
        int error = 0;
        zip_t* z = zip_open(QFile::encodeName(file).constData(), 0, &error);
        ASSERT_NE(z, nullptr);
        zip_stat_t st;
        ASSERT_EQ(zip_stat(z, "xl/worksheets/sheet1.xml", 0, &st), 0);
        QByteArray xml(qsizetype(st.size), '\0');
        zip_file_t* f = zip_fopen(z, "xl/worksheets/sheet1.xml", 0);
        ASSERT_EQ(zip_fread(f, xml.data(), st.size), zip_int64_t(st.size));
        zip_fclose(f);
        ASSERT_TRUE(xml.contains("<f>G1*2</f><v>0</v>"));
        xml.replace("<f>G1*2</f><v>0</v>", "<f>G1*2</f>");
        static QByteArray kept;
        kept = xml;
        zip_source_t* src = zip_source_buffer(z, kept.constData(), zip_uint64_t(kept.size()), 0);
        ASSERT_GE(zip_file_add(z, "xl/worksheets/sheet1.xml", src, ZIP_FL_OVERWRITE), 0);
        ASSERT_EQ(zip_close(z), 0);
    }
    ImportResult r;
    const TakeoverResult t = importFile(file, ImportLayout::Excel, &r);
    EXPECT_EQ(r.staged, 4);
    ASSERT_EQ(r.failures.size(), 1);
    EXPECT_EQ(r.failures[0].konto, QStringLiteral("6002"));
    EXPECT_TRUE(r.failures[0].reason.contains(QStringLiteral("Formel ohne gespeicherten Wert")));
    EXPECT_EQ(t.added, 0);
    EXPECT_EQ(t.confirmed, 4);
    EXPECT_EQ(disposedList(), QStringLiteral("6003"));
}

TEST_F(ProofTest, DatevFailedOneWordRowsAndLineBreaksInCellA) {
    registered(1, "0", "Werkbank", 500, "IMPORT");
    registered(2, "6001", "Maschine", 500, "IMPORT");
    registered(3, "6002", "Fraese gross", 500, "IMPORT");
    // One word without a date: failed, and it keeps the account "0" it would have had. A bare LF (Alt+Enter) and a
    // bare CR count as blanks.
    const std::vector<Row> rows = {
        {"Werkbank", {}, "kein Datum", "AHK", 100.0},
        {"6001\nMaschine", {}, Date{2010, 1, 1}, "AHK", 100.0},
        {"6002 Fraese\rgross", {}, Date{2010, 1, 1}, "AHK", 100.0},
    };
    ImportResult r;
    const TakeoverResult t = importFile(xlsx("datev.xlsx", rows), ImportLayout::Datev2021, &r);
    ASSERT_EQ(r.failures.size(), 1);
    EXPECT_EQ(r.failures[0].konto, QStringLiteral("0"));
    // A spreadsheet stores the carriage return as the escape "_x000D_"; a literal "_x" stays.
    EXPECT_EQ(ReadWorkbook(xlsx("cr.xlsx", {{"a\rb_x_y"}})).cell(1, 1), QStringLiteral("a\rb_x_y"));
    EXPECT_EQ(t.added, 0);
    EXPECT_EQ(t.confirmed, 2);
    EXPECT_EQ(t.disposed, 0);
    EXPECT_EQ(disposedList(), QString());
}

TEST_F(ProofTest, OwnExportWithHostileTextsComesBackUnchanged) {
    const QString longDesc = QStringLiteral("Sehr lange Bezeichnung ") + QString(140, QLatin1Char('y'));
    const QStringList descriptions = {QStringLiteral("Regal; Stahl"), QStringLiteral("Zeile eins\r\nZeile zwei"),
                                      QStringLiteral("Träger Ω-Profil"), longDesc, QStringLiteral("Schlicht")};
    for (int i = 0; i < descriptions.size(); ++i) {
        TBrenvikVersWerte v;
        v.brv_mandant_nr = 1;
        v.mandant_nr = 1;
        v.anlage_nr = i + 1;
        v.konto_nr = QStringLiteral("70%1;%1").arg(i);
        v.anlagebezeichnung = descriptions[i];
        v.anschaffungsdatum = EncodeDate(2012, 2, 3);
        v.ahk = 1000.25 + i;
        v.quelle = QStringLiteral("IMPORT");
        v.kategorie_nr = 443;
        for (QString* f : {&v.elektronik_vers, &v.maschinen_vers, &v.lagerung_aussen, &v.geloescht, &v.bearbeitung,
                           &v.gebaeude, &v.software, &v.leasing, &v.gemietet, &v.feste_taxe})
            *f = QStringLiteral("0");
        InsertVersWert(v);
    }
    BrvCommit();
    const QString before = dump();
    const QString csv = path(QStringLiteral("export.csv"));
    ExportRegisterCsv(1, csv);
    ImportResult r;
    const TakeoverResult t = importFile(csv, ImportLayout::Text, &r);
    EXPECT_EQ(r.failed, 0);
    EXPECT_EQ(t.added, 0);
    EXPECT_EQ(t.disposed, 0);
    EXPECT_EQ(t.confirmed, 5);
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM VERSICHERUNGSWERTE")), 5);
    // The text layout stages a description whole.
    EXPECT_EQ(count(QStringLiteral("SELECT MAX(CHAR_LENGTH(ANLAGEBEZEICHNUNG)) FROM DATENIMPORTE")), 163);
    // Undone, the register is as it was, column for column.
    const UndoTakeoverResult u = UndoLastTakeover(1);
    EXPECT_TRUE(u.done) << u.message.toStdString();
    EXPECT_EQ(dump(), before);
    // A deleted client leaves no journal behind for the next client of its number to undo.
    importFile(csv, ImportLayout::Text);
    EXPECT_GT(count(QStringLiteral("SELECT COUNT(*) FROM DATENUEBERNAHME_VORHER")), 0);
    DeleteMandant(1);
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM DATENUEBERNAHMEN")), 0);
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM DATENUEBERNAHME_VORHER")), 0);
}

TEST_F(ProofTest, AssetsThatReadAlikeOnlyOnceConvertedStayTwoAssets) {
    // Two assets of one account whose descriptions differ only in what the export would drop or replace.
    stage(1, QStringLiteral("5001"), QStringLiteral("Regal; Metall"), 100);
    stage(2, QStringLiteral("5001"), QStringLiteral("Regal Metall"), 101);
    stage(3, QStringLiteral("5000"), QStringLiteral("Widerstand 5 Ω"), 5);
    stage(4, QStringLiteral("5000"), QStringLiteral("Widerstand 5 ?"), 6);
    TakeoverResult t = TakeOverStaged(1, 443);
    EXPECT_EQ(t.added, 4);
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM VERSICHERUNGSWERTE")), 4);
    // Again: each is confirmed by its own row, none twice, nothing new.
    t = TakeOverStaged(1, 443);
    EXPECT_EQ(t.added, 0);
    EXPECT_EQ(t.confirmed, 4);
    // A file naming one of the two exactly confirms that one only; the other keeps its place (its account stands
    // in the file).
    exec(QStringLiteral("DELETE FROM DATENIMPORTE"));
    stage(1, QStringLiteral("5001"), QStringLiteral("Regal Metall"), 100);
    t = TakeOverStaged(1, 443, nullptr, [](const TakeoverPlan&) { return true; });
    EXPECT_EQ(t.added, 0);
    EXPECT_EQ(t.confirmed, 1);
    EXPECT_EQ(t.plan.protectedAssets, 1);
    EXPECT_EQ(disposedList(), QStringLiteral("5000,5000"));
}

TEST_F(ProofTest, TwinsAreConfirmedTogetherAndImportedDisposalsComeBack) {
    registered(1, "6001", "Maschine", 500, "IMPORT");
    registered(2, "6001", "Maschine", 500, "MANUELL"); // entered by hand beside the imported one
    registered(3, "6002", "Presse", 500, "IMPORT");
    registered(4, "6003", "Von Hand ausgebucht", 500, "IMPORT");
    registered(5, "6004", "Bleibt", 500, "IMPORT");
    registered(6, "6005", "Bleibt auch", 500, "IMPORT");
    // Disposed by hand: no import undoes that.
    TBrenvikVersWerte v;
    GetVersWert(1, 4, 0, v);
    v.geloescht = QStringLiteral("1");
    v.abgangsjahr = 2023;
    SaveVersWert(v);
    BrvCommit();
    const auto file = [&](const char* name, bool withPresse) {
        std::vector<Row> rows = {{"6001", "Maschine", {}, Date{2015, 3, 15}, {}, "AHK", 100.0},
                                 {"6003", "Von Hand ausgebucht", {}, Date{2015, 3, 15}, {}, "AHK", 100.0},
                                 {"6004", "Bleibt", {}, Date{2015, 3, 15}, {}, "AHK", 100.0},
                                 {"6005", "Bleibt auch", {}, Date{2015, 3, 15}, {}, "AHK", 100.0}};
        if (withPresse)
            rows.push_back({"6002", "Presse", {}, Date{2015, 3, 15}, {}, "AHK", 100.0});
        return xlsx(name, rows);
    };
    const QString before = dump();
    TakeoverResult t = importFile(file("ohne.xlsx", false), ImportLayout::Excel);
    EXPECT_EQ(t.confirmed, 5);
    EXPECT_EQ(t.disposed, 1);
    EXPECT_EQ(disposedList(), QStringLiteral("6002,6003"));
    EXPECT_EQ(field(2, "UPDATE_CHECK"), QStringLiteral("1"));
    // The unchanged file again: both twins stay.
    t = importFile(file("ohne2.xlsx", false), ImportLayout::Excel);
    EXPECT_EQ(t.disposed, 0);
    EXPECT_EQ(field(1, "GELOESCHT"), QStringLiteral("0"));
    const QString afterSecond = dump();
    // The next file lists the press again: the disposal the import inferred is undone, the hand-made one stays.
    t = importFile(file("mit.xlsx", true), ImportLayout::Excel);
    EXPECT_EQ(t.reactivated, 1);
    EXPECT_EQ(t.plan.reactivated, 1);
    EXPECT_TRUE(t.messages.last().text.contains(QStringLiteral("1 reaktiviert")));
    EXPECT_EQ(disposedList(), QStringLiteral("6003"));
    EXPECT_EQ(field(3, "ABGANGSJAHR"), QStringLiteral("0"));

    // Undo, step by step, back to the register before the first takeover.
    const QList<TakeoverJournalEntry> journal = GetDatenuebernahmen(1);
    ASSERT_EQ(journal.size(), 3);
    EXPECT_EQ(journal[0].reaktiviert, 1);
    EXPECT_TRUE(journal[0].datei.endsWith(QStringLiteral("mit.xlsx")));
    EXPECT_TRUE(UndoLastTakeover(1).done);
    EXPECT_EQ(dump(), afterSecond);
    EXPECT_TRUE(UndoLastTakeover(1).done);
    EXPECT_TRUE(UndoLastTakeover(1).done);
    EXPECT_EQ(dump(), before);
    UndoTakeoverResult u = UndoLastTakeover(1);
    EXPECT_FALSE(u.done);
    EXPECT_EQ(u.message, QStringLiteral("Es gibt keine Datenübernahme dieses Mandanten, die rückgängig gemacht werden "
                                        "kann."));
    EXPECT_TRUE(GetDatenuebernahmen(1)[0].undone);
    // A change after a takeover blocks its undo: also one the program did not stamp, and with the asset named when
    // it did.
    importFile(file("wieder.xlsx", true), ImportLayout::Excel);
    const QString afterImport = dump();
    exec(QStringLiteral("UPDATE VERSICHERUNGSWERTE SET NOTIZTEXT = 'still' WHERE MANDANT_NR = 1 AND ANLAGE_NR = 6"));
    u = UndoLastTakeover(1);
    EXPECT_FALSE(u.done);
    EXPECT_TRUE(u.message.contains(QStringLiteral("das Anlagenverzeichnis wurde danach geändert.")))
        << u.message.toStdString();
    exec(QStringLiteral("UPDATE VERSICHERUNGSWERTE SET NOTIZTEXT = 'geprüft', UPDATE_TS = '31.12.2099' WHERE "
                        "MANDANT_NR = 1 AND ANLAGE_NR = 5"));
    u = UndoLastTakeover(1);
    EXPECT_FALSE(u.done);
    EXPECT_TRUE(u.message.contains(QStringLiteral("z. B. Anlage 5"))) << u.message.toStdString();
    exec(QStringLiteral("DELETE FROM VERSICHERUNGSWERTE WHERE MANDANT_NR = 1 AND ANLAGE_NR = 5"));
    u = UndoLastTakeover(1);
    EXPECT_FALSE(u.done);
    EXPECT_TRUE(u.message.contains(QStringLiteral("1 Anlage(n) danach gelöscht"))) << u.message.toStdString();
    EXPECT_NE(dump(), afterImport);
}
