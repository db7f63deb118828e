#include "migration/frm_datenmigration.h"
#include "core/convert.h"
#include "db/mandanten.h"
#include "db/versicherungswerte.h"
#include "migration/migration.h"
#include "support/fixtures.h"
#include "support/widgets.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMap>
#include <QTextEdit>

namespace {

// The legacy tables as mdb-export writes them.
class MemorySource : public LegacySource {
public:
    QMap<QString, QByteArray> csv;
    LegacyTable table(const QString& name) override {
        if (!csv.contains(name))
            throw Exception(QStringLiteral("Die Tabelle %1 ist nicht vorhanden.").arg(name));
        return ParseMdbExport(csv[name]);
    }
};

class MigrationTest : public SchemaDbTest {
protected:
    void SetUp() override {
        SchemaDbTest::SetUp();
        exec(QStringLiteral("DELETE FROM MANDANTEN"));
    }
    MemorySource legacy() {
        MemorySource s;
        s.csv[QStringLiteral("MANDANTEN")] = "MANDANT-LFD,MANDANT-FIRMA,MANDANT_DIR\n"
                                             "7,\"Meier \"\"Söhne\"\", KG\",\"kunden\\meier\"\n"
                                             "9,\"Schulz\",\"\"\n";
        s.csv[QStringLiteral("ADRESSEN")] = "MANDANT_LFD,ADRESS_NR,INSERT_TS,NAME_1,NAME_2,STRASSE,ADRESSZUSATZ,PLZ_"
                                            "ADR,ORT,POSTFACH,PLZ_PST,TELEFON,FAX,"
                                            "EMAIL,STANDORTTYP\n"
                                            "7,0,\"03.02.2001 10:11:12\",\"Werk Nord\",\"\",\"Ring "
                                            "5\",\"\",\"12345\",\"Neustadt\",\"\",\"\",\"0123\",\"\",\"\",2\n";
        s.csv[QStringLiteral("VORRAETE")] =
            QByteArray("VORRÄTE-LFD,VORRÄTE-JAHR,VORRÄTE-FERTIGE-B,VORRÄTE-UNFERTIG-B,VORRÄTE-LAGER-B,VORRÄTE-FERTIG-M,"
                       "VORRÄTE-UNFERTIG-M,VORRÄTE-LAGER-M\n"
                       "7,2001,1000.5,200,300,4000,500,600\n");
        s.csv[QStringLiteral("TEC_DATENIMPORT")] =
            "MANDANT_LFD,ANLAGE_NR,SUB_NR,INSERT_TS,KONTO_NR,ANLAGEBEZEICHNUNG,DATUM_ANSCHAFFUNG,AHK,LISTENPREIS,VERS_"
            "WERT,"
            "GEMEINER_WERT,ZEITWERT,NUTZUNGSDAUER,ELEKTRONIK_VERS,MASCHINEN_VERS,LAGERUNG_AUSSEN,KATEGORIE_ID,"
            "ALT_KATEGORIE_ID,ADRESS_NR,GELOESCHT,BEARBEITUNG,ABGANG_JAHR,GRUPPE,NOTIZTEXT,QUELLE\n"
            "7,1,0,\"01.01.2002 00:00:00\",420,\"Drehbank\",\"15.03.1999 "
            "00:00:00\",1234.5,1300,1500,0,800,10,1,0,0,443,0,"
            "0,0,1,0,\"A\",\"Notiz\nzweite Zeile\",\"IMPORT\"\n"
            "7,2,0,,421,\"Fräse\",\"01.06.2000 00:00:00\",99,0,0,0,0,0,0,1,0,443,0,,0,0,0,\"\",\"\",\"MANUELL\"\n";
        return s;
    }
    QStringList logLines;
    MigrationCallbacks callbacks() {
        MigrationCallbacks cb;
        cb.log = [this](const QString& l) { logLines << l; };
        return cb;
    }
};

TEST_F(MigrationTest, ExportTextIsReadWithQuotesCommasAndLineBreaks) {
    const LegacyTable t = ParseMdbExport("A,B,GEBÄUDE\r\n1,\"x, \"\"y\"\"\",\"a\nb\"\r\n2,,\r\n");
    EXPECT_EQ(t.columns, (QStringList{"A", "B", "GEBÄUDE"}));
    ASSERT_EQ(t.rows.size(), 2);
    EXPECT_EQ(t.rows[0][1], QStringLiteral("x, \"y\""));
    EXPECT_EQ(t.rows[0][2], QStringLiteral("a\nb"));
    EXPECT_EQ(t.rows[1], (QStringList{"2", "", ""}));
    EXPECT_THROW(t.value(0, QStringLiteral("FEHLT")), Exception);
}

TEST_F(MigrationTest, TheFourSectionsMapTheLegacyRows) {
    SetBrvUserNr(0); // as brenvik-cli migrate runs: no user of the program registered
    MemorySource s = legacy();
    ASSERT_TRUE(MigrationStartRefusal().isEmpty());
    ASSERT_TRUE(RunMigration(s, path(QStringLiteral("programm")), callbacks()))
        << logLines.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(logLines, (QStringList{"Mandantenstammdaten erfolgreich migriert. 2 Datensaetze",
                                     "Adressen zu Mandantenstammdaten erfolgreich migriert. 1 Datensaetze",
                                     "Kennzahlen zu Mandantenstammdaten erfolgreich migriert. 1 Datensaetze",
                                     "Versicherungswerte erfolgreich migriert. 2 Datensaetze"}));
    TBrenvikMandant m;
    GetMandant(7, m);
    EXPECT_EQ(m.firma, QStringLiteral("Meier \"Söhne\", KG"));
    // The storage path leads into the data folder, where the old folders are copied, with this platform's separator.
    EXPECT_EQ(m.sicherungspfad, path(QStringLiteral("programm")) + QStringLiteral("/kunden/meier"));
    // Every migrated row carries the time it was written.
    for (const char* table : {"MANDANTEN", "ADRESSEN", "KENNZAHLEN_HIST", "VERSICHERUNGSWERTE"})
        EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM %1 WHERE UPDATE_TS IS NULL OR UPDATE_TS < CURRENT_DATE")
                            .arg(QLatin1String(table))),
                  0)
            << table;
    TBrenvikAdresse a;
    GetAdresse(7, 1, a); // legacy address 0 becomes 1
    EXPECT_EQ(a.adressbezeichnung, QStringLiteral("Werk Nord, "));
    EXPECT_EQ(a.standorttyp_nr, 2);
    TBrenvikKennzahlenHist k;
    GetKennzahlenHist(7, 2001, k);
    EXPECT_EQ(k.fertige_erz_bilanz, 1000.5);
    EXPECT_EQ(k.lager_bstoffe_max, 600);
    TBrenvikVersWerte v;
    GetVersWert(7, 1, 0, v);
    EXPECT_EQ(v.konto_nr, QStringLiteral("420"));
    EXPECT_EQ(v.anschaffungsdatum, EncodeDate(1999, 3, 15));
    EXPECT_EQ(v.anschaffungsjahr, 1999);
    EXPECT_EQ(v.ahk, 1234.5);
    EXPECT_EQ(v.elektronik_vers, QStringLiteral("1"));
    EXPECT_EQ(v.bearbeitung, QStringLiteral("1"));
    EXPECT_EQ(v.adress_nr, 1);                  // legacy address 0
    EXPECT_EQ(v.gebaeude, QStringLiteral("0")); // the older file has no building column
    EXPECT_EQ(v.notiztext, QStringLiteral("Notiz\nzweite Zeile"));
    EXPECT_EQ(YearOf(v.insert_ts), 2002);
    GetVersWert(7, 2, 0, v);
    EXPECT_EQ(v.adress_nr, 0); // no address
    EXPECT_EQ(v.quelle, QStringLiteral("MANUELL"));
    EXPECT_FALSE(MigrationStartRefusal().isEmpty()); // a second run is refused
    // The clients it wrote under its locks are free again.
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM MANDANTEN WHERE BENUTZER_NR_LOCK IS NOT NULL OR "
                                   "LOCK_ATTACHMENT IS NOT NULL")),
              0);
}

TEST_F(MigrationTest, ADuplicateLegacyKeyEndsItsSectionInsteadOfReplacingARow) {
    MemorySource s = legacy();
    s.csv[QStringLiteral("TEC_DATENIMPORT")] +=
        "7,1,0,,999,\"Doppelt\",,1,0,0,0,0,0,0,0,0,443,0,,0,0,0,\"\",\"\",\"IMPORT\"\n";
    EXPECT_FALSE(RunMigration(s, path(QStringLiteral("programm")), callbacks()));
    ASSERT_EQ(logLines.size(), 4);
    EXPECT_EQ(logLines[3], QStringLiteral("Fehler bei der Migration der Versicherungswerte. \r\nSystemmeldung: Der "
                                          "Schlüssel 7/1/0 kommt in der Tabelle TEC_DATENIMPORT mehrfach vor."));
    TBrenvikVersWerte v;
    GetVersWert(7, 1, 0, v);
    EXPECT_EQ(v.anlagebezeichnung, QStringLiteral("Drehbank")); // the first row is not replaced
    EXPECT_EQ(LegacyRelativePath(QStringLiteral("\\kunden\\a b\\")), QStringLiteral("kunden/a b/"));
    EXPECT_EQ(LegacyRelativePath(QString()), QString());
}

// mdb-export prints a date it cannot convert (before 1900, the year 9999) as day 0 of January 1900.
TEST_F(MigrationTest, ADateTheExportCannotPrintMarksTheAssetInsteadOfEndingTheMigration) {
    MemorySource s = legacy();
    s.csv[QStringLiteral("TEC_DATENIMPORT")] +=
        "7,3,0,\"00.01.1900 00:00:00\",422,\"Uralt\",\"00.01.1900 00:00:00\",5,0,0,0,0,0,0,0,0,443,0,,0,0,0,"
        "\"\",\"\",\"IMPORT\"\n"
        "7,4,0,,423,\"Unlesbar\",\"31.02.2003\",5,0,0,0,0,0,0,0,0,443,0,,0,0,0,\"\",\"\",\"IMPORT\"\n";
    ASSERT_TRUE(RunMigration(s, path(QStringLiteral("programm")), callbacks()))
        << logLines.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(logLines.last(), QStringLiteral("Versicherungswerte erfolgreich migriert. 4 Datensaetze"));
    for (int anlage : {3, 4}) {
        SCOPED_TRACE(anlage);
        TBrenvikVersWerte v;
        GetVersWert(7, anlage, 0, v);
        EXPECT_EQ(v.anschaffungsdatum, EncodeDate(1900, 1, 1));
        EXPECT_EQ(v.anschaffungsjahr, 1900);
        EXPECT_EQ(v.bearbeitung, QStringLiteral("1"));               // to be worked on
        EXPECT_EQ(YearOf(v.insert_ts), QDate::currentDate().year()); // an unreadable stamp: the takeover's time
    }
    // Readable dates and an empty one keep their flag as the old file had it.
    TBrenvikVersWerte v;
    GetVersWert(7, 2, 0, v);
    EXPECT_EQ(v.bearbeitung, QStringLiteral("0"));
    EXPECT_EQ(v.anschaffungsdatum, EncodeDate(2000, 6, 1));
}

TEST_F(MigrationTest, StoragePathsStayInsideTheDataFolder) {
    const struct {
        const char* legacy;
        const char* relative;
    } cases[] = {{"kunden\\meier", "kunden/meier"},
                 {"..\\..\\Windows\\System32", "Windows/System32"},
                 {"kunden\\..\\..\\..\\etc", "etc"},
                 {"kunden\\.\\alt\\..\\neu\\", "kunden/neu/"},
                 {"C:\\Programme\\Tallora\\kunden\\x", "Programme/Tallora/kunden/x"},
                 {"c:kunden", "kunden"},
                 {"C:\\", ""},
                 {"\\\\server\\share\\kunden\\y", "kunden/y"},
                 {"//server/share", ""},
                 {"/etc/passwd", "etc/passwd"},
                 {"..", ""},
                 {"  ..  /x", "x"}};
    for (const auto& c : cases)
        EXPECT_EQ(LegacyRelativePath(QString::fromUtf8(c.legacy)), QString::fromUtf8(c.relative)) << c.legacy;

    MemorySource s = legacy();
    s.csv[QStringLiteral("MANDANTEN")] = "MANDANT-LFD,MANDANT-FIRMA,MANDANT_DIR\n"
                                         "7,\"Meier\",\"..\\..\\..\\fremd\"\n"
                                         "9,\"Schulz\",\"D:\\Daten\\schulz\"\n";
    const QString data = path(QStringLiteral("programm"));
    ASSERT_TRUE(RunMigration(s, data, callbacks())) << logLines.join(QLatin1Char('\n')).toStdString();
    TBrenvikMandant m;
    GetMandant(7, m);
    EXPECT_EQ(m.sicherungspfad, data + QStringLiteral("/fremd"));
    GetMandant(9, m);
    EXPECT_EQ(m.sicherungspfad, data + QStringLiteral("/Daten/schulz"));
    EXPECT_TRUE(QDir::cleanPath(m.sicherungspfad).startsWith(QDir::cleanPath(data) + QLatin1Char('/')));
}

TEST_F(MigrationTest, AFailingSectionStopsWithItsErrorLineAndKeepsWhatWasWritten) {
    MemorySource s = legacy();
    s.csv.remove(QStringLiteral("VORRAETE"));
    EXPECT_FALSE(RunMigration(s, path(QStringLiteral("programm")), callbacks()));
    ASSERT_EQ(logLines.size(), 3);
    EXPECT_EQ(logLines[2], QStringLiteral("Fehler bei der Migration der Kennzahlen zu Mandanten. \r\nSystemmeldung: "
                                          "Die Tabelle VORRAETE ist nicht vorhanden."));
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM MANDANTEN")), 2);
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM VERSICHERUNGSWERTE")), 0);
}

TEST_F(MigrationTest, TheWindowRefusesAFilledDatabaseAndNonAccessFiles) {
    exec(QStringLiteral("INSERT INTO MANDANTEN (BRV_MANDANT_NR, MANDANT_NR, FIRMA) VALUES (1, 1, 'Da')"));
    {
        Tfrm_Datenmigration w;
        EXPECT_FALSE(child<QPushButton>(w, "btnStart")->isEnabled());
        EXPECT_FALSE(child<QLabel>(w, "imgNoImport")->isHidden());
        EXPECT_TRUE(child<QTextEdit>(w, "redMigLog")->font().bold());
        EXPECT_TRUE(child<QTextEdit>(w, "redMigLog")
                        ->toPlainText()
                        .startsWith(QStringLiteral("Ein Start der Migration ist nicht mehr möglich.")));
    }
    exec(QStringLiteral("DELETE FROM MANDANTEN"));
    Tfrm_Datenmigration w;
    EXPECT_TRUE(child<QPushButton>(w, "btnStart")->isEnabled());
    w.edDBFile->setText(writeFile(QStringLiteral("keine.mdb"), "kein Access"));
    w.btnStartClick();
    ASSERT_FALSE(dialogs.calls.isEmpty());
    EXPECT_TRUE(dialogs.calls.last().text.startsWith(QStringLiteral("Die Datei ")))
        << dialogs.calls.last().text.toStdString();
    EXPECT_EQ(child<QTextEdit>(w, "redMigLog")->toPlainText(), QString()); // the log stays empty
}

TEST_F(MigrationTest, TheOldFolderIsCopiedWithoutReplacingProgramFiles) {
    QDir().mkpath(path(QStringLiteral("alt/kunden/meier")));
    writeFile(QStringLiteral("alt/VersWert_2002.mde"), "db");
    writeFile(QStringLiteral("alt/kunden/meier/pic_1.bmp"), "bild");
    writeFile(QStringLiteral("alt/brenvik.exe"), "alt");
    QDir().mkpath(path(QStringLiteral("neu")));
    writeFile(QStringLiteral("neu/brenvik.exe"), "neu");
    EXPECT_TRUE(CopyLegacyFolder(path(QStringLiteral("alt/VersWert_2002.mde")), path(QStringLiteral("neu"))));
    EXPECT_TRUE(QFileInfo::exists(path(QStringLiteral("neu/kunden/meier/pic_1.bmp"))));
    QFile exe(path(QStringLiteral("neu/brenvik.exe")));
    ASSERT_TRUE(exe.open(QIODevice::ReadOnly));
    EXPECT_EQ(exe.readAll(), QByteArray("neu"));
}

} // namespace
