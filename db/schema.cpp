#include "db/schema.h"

#include <functional>

#include "core/convert.h"
#include "db/dbaccess.h"
#include "platform/dialogs.h"

#include <QFileInfo>
#include <QStringList>

QString gCommonFilesPath;

namespace {
std::function<void(const QString&)>& gebTypesImport() {
    static std::function<void(const QString&)> import;
    return import;
}
} // namespace

void SetGebTypesImport(std::function<void(const QString& folder)> import) {
    gebTypesImport() = std::move(import);
}

namespace {

bool tableExists(const QString& table) {
    BrvSql q(QStringLiteral("SELECT 1 FROM RDB$RELATIONS WHERE RDB$RELATION_NAME = ?"), table);
    const bool found = q.next();
    q->closeCursor();
    BrvCommit();
    return found;
}

// Number of columns of an existing table; raises when the table is missing, as opening it would.
int columnCount(const QString& table) {
    if (!tableExists(table))
        throw EBrvException_DBERROR(QStringLiteral("Die Tabelle %1 ist nicht vorhanden.").arg(table));
    BrvSql q(QStringLiteral("SELECT COUNT(*) FROM RDB$RELATION_FIELDS WHERE RDB$RELATION_NAME = ?"), table);
    const int n = q.next() ? q->asInt(0) : 0;
    q->closeCursor();
    BrvCommit();
    return n;
}

// Declared character length of a text column; 0 when the column does not exist.
int declaredSize(const QString& table, const QString& column) {
    BrvSql q(QStringLiteral("SELECT F.RDB$CHARACTER_LENGTH, F.RDB$FIELD_LENGTH FROM RDB$RELATION_FIELDS RF JOIN "
                            "RDB$FIELDS F ON F.RDB$FIELD_NAME = RF.RDB$FIELD_SOURCE WHERE RF.RDB$RELATION_NAME = ? "
                            "AND RF.RDB$FIELD_NAME = ?"),
             table, column);
    int n = 0;
    if (q.next())
        n = q->isNull(0) ? q->asInt(1) : q->asInt(0);
    q->closeCursor();
    BrvCommit();
    return n;
}

void run(const QString& sql) {
    BrvExecDdl(sql);
}

void runAll(const QStringList& statements) {
    for (const QString& s : statements)
        run(s);
}

const QString kTabGebTypes = QStringLiteral(
    "CREATE TABLE \"TABGEBTYPES\"(\"PID\"\t VARCHAR(40) NOT NULL, \"GEBCAPTION\"\t VARCHAR(200), "
    "\"LIFETIMEMIN\"\t INTEGER, \"LIFETIMEMAX\"\t INTEGER, "
    "\"DESCRIPTION\"\t BLOB SUB_TYPE TEXT SEGMENT SIZE 80, \"AUSFROHBAU\"\t BLOB SUB_TYPE TEXT SEGMENT SIZE 80, "
    "\"AUSFEINFACH\"\t BLOB SUB_TYPE TEXT SEGMENT SIZE 80, \"AUSFNORMAL\"\t BLOB SUB_TYPE TEXT SEGMENT SIZE 80, "
    "\"AUSFGUT\"\t BLOB SUB_TYPE TEXT SEGMENT SIZE 80, \"RICHTPROH\"\t VARCHAR(255), "
    "\"RICHTPEINFACH\"\t VARCHAR(255), \"RICHTPNORMAL\"\t VARCHAR(255), \"RICHTPGUT\"\t VARCHAR(255), "
    "\"INDEXNR\"\t INTEGER, \"RICHTPREISART\"\t VARCHAR(10), \"RICHTBASISEINH\"\t VARCHAR(3), "
    "\"HERKUNFT\"\t VARCHAR(255), \"UST\"\t CHAR(1), PRIMARY KEY (\"PID\"));");

// The columns that later releases added to TABGEBBUILDINGA, in the order of its creation statement.
struct AddedColumn {
    const char* name;
    const char* type;
};
const AddedColumn kBuildingA45[] = {{"UMRECHNUNGSART", "VARCHAR(100)"},
                                    {"SUMMENK", "VARCHAR(15)"},
                                    {"SUMMEBAU", "VARCHAR(15)"},
                                    {"SUMMEBAUROUND", "VARCHAR(15)"},
                                    {"WM1", "VARCHAR(10)"},
                                    {"WM2", "VARCHAR(10)"},
                                    {"WM3", "VARCHAR(10)"},
                                    {"WM4", "VARCHAR(10)"},
                                    {"WMSELECTED", "VARCHAR(100)"},
                                    {"CAPTIONCUR", "VARCHAR(20)"},
                                    {"ZEITWERTPERCENT", "VARCHAR(15)"},
                                    {"RNDPRODUKT", "VARCHAR(15)"},
                                    {"RNDPRODUKTIDX", "VARCHAR(15)"},
                                    {"RNDKOSTEN", "VARCHAR(15)"},
                                    {"RNDKOSTENIDX", "VARCHAR(15)"},
                                    {"RNDAUFZUG", "VARCHAR(15)"},
                                    {"RNDAUFZUGIDX", "VARCHAR(15)"},
                                    {"RNDZEITWERT", "VARCHAR(15)"}};
const AddedColumn kBuildingA52[] = {{"CURRICHTPREIS", "VARCHAR(6)"}, {"CURPRODUKT", "VARCHAR(6)"},
                                    {"CURPRODUKTIDX", "VARCHAR(6)"}, {"CURKOSTENIDX", "VARCHAR(6)"},
                                    {"CURAUFZUGIDX", "VARCHAR(6)"},  {"CURBAUPREISE", "VARCHAR(6)"},
                                    {"VERSARTSTR", "VARCHAR(70)"}};
const AddedColumn kBuildingA55[] = {
    {"RNDKOSTENIDXSUM", "VARCHAR(15)"}, {"RNDPRODUKTIDXSUM", "VARCHAR(15)"}, {"RNDAUFZUGIDXSUM", "VARCHAR(15)"}};

template <size_t N>
void addColumns(const AddedColumn (&cols)[N]) {
    for (const auto& c : cols)
        run(QStringLiteral("ALTER TABLE TABGEBBUILDINGA ADD %1 %2;").arg(QLatin1String(c.name), QLatin1String(c.type)));
}
void addColumn(const char* name, const char* type) {
    run(QStringLiteral("ALTER TABLE TABGEBBUILDINGA ADD %1 %2;").arg(QLatin1String(name), QLatin1String(type)));
}

struct RateRow {
    const char* art;
    int von[3];
    int bis[3];
    double rate;
};
// The history of the German rates. The standard and the reduced rate were cut for the second half of 2020.
const RateRow kRates[] = {
    {"REGELSATZ", {1968, 1, 1}, {1968, 6, 30}, 10},          {"REGELSATZ", {1968, 7, 1}, {1977, 12, 31}, 11},
    {"REGELSATZ", {1978, 1, 1}, {1979, 6, 30}, 12},          {"REGELSATZ", {1979, 7, 1}, {1983, 6, 30}, 13},
    {"REGELSATZ", {1983, 7, 1}, {1992, 12, 31}, 14},         {"REGELSATZ", {1993, 1, 1}, {1998, 3, 31}, 15},
    {"REGELSATZ", {1998, 4, 1}, {2006, 12, 31}, 16},         {"REGELSATZ", {2007, 1, 1}, {2020, 6, 30}, 19},
    {"REGELSATZ", {2020, 7, 1}, {2020, 12, 31}, 16},         {"REGELSATZ", {2021, 1, 1}, {9999, 12, 31}, 19},
    {"ERMAESSIGTER_SATZ", {1968, 1, 1}, {1968, 6, 30}, 5},   {"ERMAESSIGTER_SATZ", {1968, 7, 1}, {1977, 12, 31}, 5.5},
    {"ERMAESSIGTER_SATZ", {1978, 1, 1}, {1979, 6, 30}, 6},   {"ERMAESSIGTER_SATZ", {1979, 7, 1}, {1983, 6, 30}, 6.5},
    {"ERMAESSIGTER_SATZ", {1983, 7, 1}, {2020, 6, 30}, 7},   {"ERMAESSIGTER_SATZ", {2020, 7, 1}, {2020, 12, 31}, 5},
    {"ERMAESSIGTER_SATZ", {2021, 1, 1}, {9999, 12, 31}, 7},  {"VERSICHERUNGSSATZ", {1937, 1, 1}, {1988, 12, 31}, 5},
    {"VERSICHERUNGSSATZ", {1989, 1, 1}, {1991, 6, 30}, 7},   {"VERSICHERUNGSSATZ", {1991, 7, 1}, {1993, 6, 30}, 10},
    {"VERSICHERUNGSSATZ", {1993, 7, 1}, {1994, 12, 31}, 12}, {"VERSICHERUNGSSATZ", {1995, 1, 1}, {2001, 12, 31}, 15},
    {"VERSICHERUNGSSATZ", {2002, 1, 1}, {2006, 12, 31}, 16}, {"VERSICHERUNGSSATZ", {2007, 1, 1}, {9999, 12, 31}, 19},
};

void insertRate(const QString& art, TDateTime von, TDateTime bis, double rate, TDateTime stamp) {
    BrvExec(QStringLiteral("INSERT INTO STEUERSAETZE (BRV_MANDANT_NR, INSERT_TS, UPDATE_TS, GUELTIG_VON, GUELTIG_BIS, "
                           "STEUERSATZ_ART, STEUERSATZ) VALUES (1, ?, ?, ?, ?, ?, ?)"),
            SqlTs{stamp}, SqlTs{stamp}, SqlTs{von}, SqlTs{bis}, art, rate);
}

// Splits an open-ended standard or reduced rate row of an older database around the cut of the second half of
// 2020. A database that already has the cut finds no such row, so running it again changes nothing.
void splitRatesOf2020() {
    struct Cut {
        const char* art;
        double normal, cut;
    };
    const Cut cuts[] = {{"REGELSATZ", 19, 16}, {"ERMAESSIGTER_SATZ", 7, 5}};
    const TDateTime cutFrom = EncodeDate(2020, 7, 1), cutTo = EncodeDate(2020, 12, 31);
    const TDateTime after = EncodeDate(2021, 1, 1), before = EncodeDate(2020, 6, 30);
    for (const Cut& c : cuts) {
        TDateTime von = 0, bis = 0;
        bool found = false;
        {
            BrvSql q(QStringLiteral("SELECT GUELTIG_VON, GUELTIG_BIS FROM STEUERSAETZE WHERE BRV_MANDANT_NR = 1 AND "
                                    "STEUERSATZ_ART = ? AND STEUERSATZ = ? AND GUELTIG_VON < ? AND GUELTIG_BIS >= ?"),
                     QString::fromLatin1(c.art), c.normal, SqlTs{cutFrom}, SqlTs{cutTo});
            if (q.next()) {
                von = q->asDateTime(0);
                bis = q->asDateTime(1);
                found = true;
            }
        }
        if (!found)
            continue;
        const TDateTime now = BrvNow();
        BrvExec(QStringLiteral("UPDATE STEUERSAETZE SET GUELTIG_BIS = ?, UPDATE_TS = ? WHERE BRV_MANDANT_NR = 1 AND "
                               "STEUERSATZ_ART = ? AND GUELTIG_VON = ?"),
                SqlTs{before}, SqlTs{now}, QString::fromLatin1(c.art), SqlTs{von});
        insertRate(QString::fromLatin1(c.art), cutFrom, cutTo, c.cut, now);
        if (bis > cutTo)
            insertRate(QString::fromLatin1(c.art), after, bis, c.normal, now);
        BrvCommit(); // the three changes of one kind together, or none of them
    }
    BrvCommit();
}

} // namespace

int CheckDatabaseStructure() {
    if (!BrvConnected())
        return 0;
    int result = 0;
    auto success = [&result] {
        if (result <= 1)
            result = 1;
    };
    // A step with its own failure handler: counts the failure and leaves nothing of it pending.
    auto handled = [&result](auto&& step) {
        try {
            step();
        } catch (...) {
            try {
                BrvRollback();
            } catch (...) {
            }
            result += 10;
        }
    };
    try {
        // 1. Assets: the columns that keep the first imported values, and the asset type.
        handled([&] {
            const int count = columnCount(QStringLiteral("VERSICHERUNGSWERTE"));
            if (count < 36) {
                runAll({QStringLiteral("ALTER TABLE VERSICHERUNGSWERTE ADD ANLAGEBEZEICHNUNG_ORG VARCHAR(100);"),
                        QStringLiteral("ALTER TABLE VERSICHERUNGSWERTE ADD ANSCHAFFUNGSDATUM_ORG TIMESTAMP;"),
                        QStringLiteral("ALTER TABLE VERSICHERUNGSWERTE ADD AHK_ORG DOUBLE PRECISION;"),
                        QStringLiteral("UPDATE VERSICHERUNGSWERTE SET ANLAGEBEZEICHNUNG_ORG = ANLAGEBEZEICHNUNG;"),
                        QStringLiteral("UPDATE VERSICHERUNGSWERTE SET ANSCHAFFUNGSDATUM_ORG = ANSCHAFFUNGSDATUM;"),
                        QStringLiteral("UPDATE VERSICHERUNGSWERTE SET AHK_ORG = AHK;")});
                success();
            }
            // Columns added later than the asset type would make a count wrong here: asked by name.
            if (declaredSize(QStringLiteral("VERSICHERUNGSWERTE"), QStringLiteral("ANLAGENTYP_ID")) == 0) {
                run(QStringLiteral("ALTER TABLE VERSICHERUNGSWERTE ADD ANLAGENTYP_ID INTEGER;"));
                success();
            }
        });
        // 2. Asset types.
        handled([&] {
            if (tableExists(QStringLiteral("ANLAGENTYPEN")))
                return;
            run(QStringLiteral("CREATE TABLE ANLAGENTYPEN ( ID INTEGER NOT NULL, BEZEICHNUNG VARCHAR(50) NOT NULL, "
                               "CONSTRAINT PK_ANLAGENTYPEN PRIMARY KEY (ID) );"));
            const QStringList names = {QStringLiteral("<keine Zuordnung>"), QStringLiteral("KFZ"),
                                       QStringLiteral("Finanzanlagen")};
            for (int id = 0; id < names.size(); ++id)
                BrvExec(QStringLiteral("INSERT INTO ANLAGENTYPEN (ID, BEZEICHNUNG) VALUES (?, ?)"), id, names[id]);
            BrvCommit();
            success();
        });
        // 3. Figures per location.
        handled([&] {
            if (tableExists(QStringLiteral("KENNZAHLEN_STANDORT")))
                return;
            run(QStringLiteral("CREATE TABLE KENNZAHLEN_STANDORT ( BRV_MANDANT_NR INTEGER NOT NULL, MANDANT_NR "
                               "INTEGER NOT NULL, INSERT_TS TIMESTAMP NOT NULL, UPDATE_TS TIMESTAMP, ADRESS_NR INTEGER "
                               "NOT NULL, VORSORGESUMME DOUBLE PRECISION, VORRAETE DOUBLE PRECISION, CONSTRAINT "
                               "PK_KENNZAHLEN_STD PRIMARY KEY (BRV_MANDANT_NR, MANDANT_NR, ADRESS_NR) );"));
            success();
        });
        // 4. Building objects.
        handled([&] {
            if (tableExists(QStringLiteral("TABGEBOBJEKT")))
                return;
            runAll({QStringLiteral("CREATE TABLE TABGEBOBJEKT(PID VARCHAR(40) NOT NULL,  Owner_ID VARCHAR(40),  "
                                   "VersNehmer VARCHAR(200),  Auftraggeber VARCHAR(200),  Caption VARCHAR(80),  "
                                   "Strasse VARCHAR(150),  Ort VARCHAR(80),  Grundbuch VARCHAR(50),  Gemarkung "
                                   "VARCHAR(50),  Flur VARCHAR(50),  CreateDate VARCHAR(30));"),
                    QStringLiteral("ALTER TABLE TABGEBOBJEKT ADD PRIMARY KEY (PID);")});
            success();
        });
        // 5. Building object columns of later releases.
        handled([&] {
            const int count = columnCount(QStringLiteral("TABGEBOBJEKT"));
            if (count < 13)
                runAll({QStringLiteral("ALTER TABLE TABGEBOBJEKT ADD AUFSTRASSE VARCHAR(150);"),
                        QStringLiteral("ALTER TABLE TABGEBOBJEKT ADD AUFORT VARCHAR(150);")});
            if (count < 15)
                runAll({QStringLiteral("ALTER TABLE TABGEBOBJEKT ADD ERSTELLERVOR VARCHAR(50);"),
                        QStringLiteral("ALTER TABLE TABGEBOBJEKT ADD ERSTELLERNACH VARCHAR(100);")});
            if (count < 16)
                run(QStringLiteral("ALTER TABLE TABGEBOBJEKT ADD USTPFLICHT CHAR(1) DEFAULT '1';"));
            if (count < 17)
                run(QStringLiteral("ALTER TABLE TABGEBOBJEKT ADD INDVSTVAL DOUBLE PRECISION;"));
        });
        // 6. Buildings.
        handled([&] {
            if (tableExists(QStringLiteral("TABGEBBUILDINGA")))
                return;
            run(QStringLiteral(
                "CREATE TABLE TABGEBBUILDINGA(PID VARCHAR(40) NOT NULL,  GebObj_ID VARCHAR(40),  Caption "
                "VARCHAR(100),  Zusatz VARCHAR(100),  Baujahr VARCHAR(4),  Dachart VARCHAR(50),  Zustand "
                "VARCHAR(100),  Art VARCHAR(100),  Lebensdauer INTEGER,  GebAlter INTEGER,  Ausf VARCHAR(50),  "
                "Ausf_Grund VARCHAR(200),  Aufmassquelle VARCHAR(35),  Richtpreis DOUBLE PRECISION,  Produkt DOUBLE "
                "PRECISION,  ProduktIdx DOUBLE PRECISION,  Kosten DOUBLE PRECISION,  KostenIdx DOUBLE PRECISION,  "
                "Aufzugskosten DOUBLE PRECISION,  AufzugskostenIdx DOUBLE PRECISION,  VersWert DOUBLE PRECISION,  "
                "Wertminderung DOUBLE PRECISION,  Zeitwert DOUBLE PRECISION,  BuildingPos INTEGER,  CreateDate "
                "VARCHAR(30),  Versart VARCHAR(15),  Anmerkung BLOB SUB_TYPE 1 CHARACTER SET NONE,  UMRECHNUNGSART "
                "VARCHAR(100),  SUMMENK VARCHAR(15),  SUMMEBAU VARCHAR(15),  SUMMEBAUROUND VARCHAR(15),  WM1 "
                "VARCHAR(10),  WM2 VARCHAR(10),  WM3 VARCHAR(10),  WM4 VARCHAR(10),  WMSELECTED VARCHAR(100),  "
                "CAPTIONCUR VARCHAR(20),  ZEITWERTPERCENT VARCHAR(15),  RNDPRODUKT VARCHAR(15),  RNDPRODUKTIDX "
                "VARCHAR(15),  RNDKOSTEN VARCHAR(15),  RNDKOSTENIDX VARCHAR(15),  RNDAUFZUG VARCHAR(15),  "
                "RNDAUFZUGIDX VARCHAR(15),  RNDZEITWERT VARCHAR(15),  CURRICHTPREIS VARCHAR(6),  CURPRODUKT "
                "VARCHAR(6),  CURPRODUKTIDX VARCHAR(6),  CURKOSTENIDX VARCHAR(6),  CURAUFZUGIDX VARCHAR(6),  "
                "CURBAUPREISE VARCHAR(6),  VERSARTSTR VARCHAR(70),  RNDKOSTENIDXSUM VARCHAR(15),  RNDPRODUKTIDXSUM "
                "VARCHAR(15),  RNDAUFZUGIDXSUM VARCHAR(15),  VERSSTEUER DOUBLE PRECISION,  RNDWIEDERKOST "
                "VARCHAR(20),  DIMCAPTION VARCHAR(40),  UMRECHNUNGSARTSONST VARCHAR(100),  BERECHNUNGSARTDIM "
                "VARCHAR(50),  WIEDERBPREISORG DOUBLE PRECISION);"));
            run(QStringLiteral("ALTER TABLE TABGEBBUILDINGA ADD PRIMARY KEY (PID);"));
            success();
        });
        // 7. Building columns of later releases, group by group.
        handled([&] {
            const int count = columnCount(QStringLiteral("TABGEBBUILDINGA"));
            if (count < 45)
                addColumns(kBuildingA45);
            if (count < 52) {
                addColumns(kBuildingA52);
                success();
            }
            if (count < 55) {
                addColumns(kBuildingA55);
                success();
            }
            if (count < 56) {
                addColumn("VERSSTEUER", "DOUBLE PRECISION");
                success();
            }
            if (count < 57) {
                addColumn("RNDWIEDERKOST", "VARCHAR(20)");
                success();
            }
            if (count < 58) {
                addColumn("DIMCAPTION", "VARCHAR(40)");
                success();
            }
            if (count < 59) {
                addColumn("UMRECHNUNGSARTSONST", "VARCHAR(100)");
                success();
            }
            if (count < 60) {
                addColumn("BERECHNUNGSARTDIM", "VARCHAR(50)");
                success();
            }
            if (count == 60) {
                addColumn("WIEDERBPREISORG", "DOUBLE PRECISION");
                success();
            }
        });
        // 7a. The amounts of a building kept as text are wide enough for any amount the valuation accepts.
        handled([&] {
            if (!tableExists(QStringLiteral("TABGEBBUILDINGA")))
                return;
            for (const char* c :
                 {"SUMMENK", "SUMMEBAU", "SUMMEBAUROUND", "ZEITWERTPERCENT", "RNDPRODUKT", "RNDPRODUKTIDX", "RNDKOSTEN",
                  "RNDKOSTENIDX", "RNDAUFZUG", "RNDAUFZUGIDX", "RNDZEITWERT", "RNDKOSTENIDXSUM", "RNDPRODUKTIDXSUM",
                  "RNDAUFZUGIDXSUM", "RNDWIEDERKOST"}) {
                const int size = declaredSize(QStringLiteral("TABGEBBUILDINGA"), QString::fromLatin1(c));
                if (size > 0 && size < 30)
                    run(QStringLiteral("ALTER TABLE TABGEBBUILDINGA ALTER COLUMN %1 TYPE VARCHAR(30);")
                            .arg(QLatin1String(c)));
            }
        });
        // 8.-12. Line items, attachments and the two catalogues.
        const std::pair<const char*, const char*> simpleTables[] = {
            {"TABGEBDIM", "CREATE TABLE TABGEBDIM(PID VARCHAR(40) NOT NULL,  DimGeb_FK VARCHAR(40),  DimCaption "
                          "VARCHAR(150),  DimL DOUBLE PRECISION,  DimB DOUBLE PRECISION,  DimH DOUBLE PRECISION,  "
                          "DimFlaeche DOUBLE PRECISION,  DimEinheit VARCHAR(10),  DimPos INTEGER);"},
            {"TABGEBFILE", "CREATE TABLE TABGEBFILE(PID VARCHAR(40) NOT NULL,  Owner_ID VARCHAR(40),  GebFilename "
                           "VARCHAR(150));"},
            {"TABGEBBAUTEILE", "CREATE TABLE TABGEBBAUTEILE(PID VARCHAR(40) NOT NULL,  Caption VARCHAR(200),  "
                               "Minrichtpreis DOUBLE PRECISION,  Maxrichtpreis DOUBLE PRECISION,  Einheit "
                               "VARCHAR(50),  POS INTEGER,  Sonst VARCHAR(200));"},
            {"TABGEBAUFZUG", "CREATE TABLE TABGEBAUFZUG(PID VARCHAR(40) NOT NULL,  AufzugCaption VARCHAR(200),  "
                             "Nutzlast VARCHAR(50),  Haltestellen INTEGER,  MinRichtpreis DOUBLE PRECISION,  "
                             "MaxRichtpreis DOUBLE PRECISION,  ExtraHaltestelleMin DOUBLE PRECISION,  "
                             "ExtraHaltestelleMax DOUBLE PRECISION,  Einheit VARCHAR(15));"},
            {"TABGEBAUFZUGBESTAND",
             "CREATE TABLE TABGEBAUFZUGBESTAND(PID VARCHAR(40) NOT NULL,  AufzugCaption VARCHAR(200),  Nutzlast "
             "VARCHAR(50),  Haltestellen INTEGER,  Anzahl INTEGER,  Richtpreis DOUBLE PRECISION,  RichtpreisExtra "
             "DOUBLE PRECISION,  ExtraHaltestelleCount INTEGER,  Einheit VARCHAR(15),  AufzugSumme DOUBLE "
             "PRECISION,  OwnerID VARCHAR(40));"},
        };
        for (const auto& t : simpleTables) {
            handled([&] {
                const QString table = QString::fromLatin1(t.first);
                if (tableExists(table))
                    return;
                run(QString::fromLatin1(t.second));
                run(QStringLiteral("ALTER TABLE %1 ADD PRIMARY KEY (PID);").arg(table));
                success();
            });
        }
        // 13. Building components: the caption was widened in a later release.
        handled([&] {
            if (tableExists(QStringLiteral("TABGEBPRODUKT"))) {
                if (declaredSize(QStringLiteral("TABGEBPRODUKT"), QStringLiteral("CAPTION")) < 200)
                    run(QStringLiteral("ALTER TABLE TABGEBPRODUKT ALTER CAPTION TYPE varchar(200);"));
                return;
            }
            run(QStringLiteral("CREATE TABLE TABGEBPRODUKT(PID VARCHAR(40) NOT NULL,  GebBuilding_ID VARCHAR(40),  "
                               "Caption VARCHAR(200),  Zusatz VARCHAR(50),  MeasureX DOUBLE PRECISION,  MeasureY "
                               "DOUBLE PRECISION,  MeasureZ DOUBLE PRECISION,  Einheit VARCHAR(50),  MeasureCount "
                               "DOUBLE PRECISION,  MeasureCanCount INTEGER,  Richtpreis DOUBLE PRECISION,  "
                               "MeasureSum DOUBLE PRECISION,  PosNr INTEGER);"));
            run(QStringLiteral("ALTER TABLE TABGEBPRODUKT ADD PRIMARY KEY (PID);"));
            success();
        });
        // 14. ... and so was the unit (no handler of its own: a failure ends the check).
        columnCount(QStringLiteral("TABGEBPRODUKT"));
        if (declaredSize(QStringLiteral("TABGEBPRODUKT"), QStringLiteral("EINHEIT")) < 50)
            run(QStringLiteral("ALTER TABLE TABGEBPRODUKT ALTER EINHEIT TYPE varchar(50);"));
        // 15. Building settings.
        handled([&] {
            if (tableExists(QStringLiteral("TABGEBSETTINGS")))
                return;
            runAll({QStringLiteral("CREATE TABLE TABGEBSETTINGS(SettingID VARCHAR(20) NOT NULL,  SettingTypeID "
                                   "VARCHAR(20),  SettingValue VARCHAR(100),  SettingOrderKey INTEGER);"),
                    QStringLiteral("ALTER TABLE TABGEBSETTINGS ADD PRIMARY KEY (SettingID);")});
            success();
        });
        // 16. Building types: a table of an older layout is replaced and refilled from the reference file.
        {
            bool exists = tableExists(QStringLiteral("TABGEBTYPES"));
            const int count = exists ? columnCount(QStringLiteral("TABGEBTYPES")) : 0;
            if (count < 18 && exists) {
                run(QStringLiteral("DROP TABLE TABGEBTYPES;"));
                exists = false;
            }
            if (count < 18 && !exists) {
                handled([&] {
                    run(kTabGebTypes);
                    if (gebTypesImport())
                        gebTypesImport()(gCommonFilesPath);
                    success();
                });
            }
        }
        // 17. Users.
        handled([&] {
            if (tableExists(QStringLiteral("BENUTZER")))
                return;
            runAll({QStringLiteral("CREATE TABLE BENUTZER(BRV_MANDANT_NR INTEGER NOT NULL,  INSERT_TS TIMESTAMP NOT "
                                   "NULL,  UPDATE_TS TIMESTAMP,  BENUTZER_NR INTEGER NOT NULL,  LOGIN VARCHAR(20) NOT "
                                   "NULL,  VORNAME VARCHAR(50),  NACHNAME VARCHAR(50),  ABTEILUNG VARCHAR(50),  "
                                   "LETZTER_LOGIN TIMESTAMP);"),
                    QStringLiteral("ALTER TABLE BENUTZER ADD PRIMARY KEY (BRV_MANDANT_NR, BENUTZER_NR);")});
            success();
        });
        // 17a. Room for the login names of real networks ("vorname.nachname@firma.de").
        handled([&] {
            if (!tableExists(QStringLiteral("BENUTZER")) ||
                declaredSize(QStringLiteral("BENUTZER"), QStringLiteral("LOGIN")) >= 128)
                return;
            run(QStringLiteral("ALTER TABLE BENUTZER ALTER COLUMN LOGIN TYPE VARCHAR(128);"));
        });
        // 18. Clients: the entitlement to deduct input tax.
        handled([&] {
            if (columnCount(QStringLiteral("MANDANTEN")) < 15) {
                runAll({QStringLiteral("ALTER TABLE MANDANTEN ADD MWST_PFLICHT CHAR(1) DEFAULT '1';"),
                        QStringLiteral("UPDATE MANDANTEN SET MWST_PFLICHT = '1';")});
                success();
            }
        });
        // 18a. The client lock belongs to a seat: its attachment and database user beside the program's user, so
        // that a lock whose seat has gone (a crash, a power loss) can be recognised and taken over.
        handled([&] {
            if (!tableExists(QStringLiteral("MANDANTEN")) ||
                declaredSize(QStringLiteral("MANDANTEN"), QStringLiteral("LOCK_DBUSER")) > 0)
                return;
            run(QStringLiteral("ALTER TABLE MANDANTEN ADD LOCK_ATTACHMENT BIGINT, ADD LOCK_DBUSER VARCHAR(63);"));
        });
        // 19. Tax rates.
        handled([&] {
            if (tableExists(QStringLiteral("STEUERSAETZE")))
                return;
            runAll({QStringLiteral("CREATE TABLE STEUERSAETZE(BRV_MANDANT_NR INTEGER NOT NULL,  INSERT_TS TIMESTAMP "
                                   "NOT NULL,  UPDATE_TS TIMESTAMP,  GUELTIG_VON TIMESTAMP NOT NULL,  GUELTIG_BIS "
                                   "TIMESTAMP NOT NULL,  STEUERSATZ_ART VARCHAR(30) NOT NULL,  STEUERSATZ DOUBLE "
                                   "PRECISION);"),
                    QStringLiteral("ALTER TABLE STEUERSAETZE ADD PRIMARY KEY (BRV_MANDANT_NR, GUELTIG_VON, "
                                   "STEUERSATZ_ART);")});
            const TDateTime stamp = EncodeDate(2009, 4, 1);
            for (const RateRow& r : kRates)
                insertRate(QString::fromLatin1(r.art), EncodeDate(r.von[0], r.von[1], r.von[2]),
                           EncodeDate(r.bis[0], r.bis[1], r.bis[2]), r.rate, stamp);
            BrvCommit();
            success();
        });
        // 20. An early release wrote the open end of the 19 % row as 31.12.1999.
        handled([&] {
            bool broken = false;
            {
                BrvSql q(QStringLiteral("SELECT 1 FROM STEUERSAETZE WHERE STEUERSATZ_ART = 'REGELSATZ' AND "
                                        "GUELTIG_VON = ? AND GUELTIG_BIS = ?"),
                         SqlTs{EncodeDate(2007, 1, 1)}, SqlTs{EncodeDate(1999, 12, 31)});
                broken = q.next();
            }
            BrvCommit();
            if (broken)
                run(QStringLiteral("UPDATE STEUERSAETZE SET GUELTIG_BIS = '31.12.9999' WHERE STEUERSATZ_ART = "
                                   "'REGELSATZ' AND GUELTIG_VON = '01.01.2007' AND GUELTIG_BIS = '31.12.1999';"));
        });
        // 20a. Rate tables written before the cut of 2020 lack the second half of that year.
        handled([&] { splitRatesOf2020(); });
        // 21. Import staging: the asset type (no handler of its own).
        if (columnCount(QStringLiteral("DATENIMPORTE")) < 23) {
            run(QStringLiteral("ALTER TABLE DATENIMPORTE ADD ANLAGENTYP_ID INTEGER;"));
            success();
        }
        // 22. Assets of releases that did not record their source came from the import.
        run(QStringLiteral("UPDATE VERSICHERUNGSWERTE SET QUELLE = 'IMPORT'  WHERE QUELLE IS NULL;"));
        success();
        // 23. Takeovers that can be undone: a disposal the import inferred is told apart from one entered by hand,
        // the imported description is kept as long as the register keeps it, and each takeover keeps its journal
        // with the register as it was before.
        handled([&] {
            if (declaredSize(QStringLiteral("VERSICHERUNGSWERTE"), QStringLiteral("ABGANG_IMPORT")) == 0)
                run(QStringLiteral("ALTER TABLE VERSICHERUNGSWERTE ADD ABGANG_IMPORT CHAR(1);"));
            if (declaredSize(QStringLiteral("VERSICHERUNGSWERTE"), QStringLiteral("ANLAGEBEZEICHNUNG_ORG")) < 500)
                run(QStringLiteral("ALTER TABLE VERSICHERUNGSWERTE ALTER COLUMN ANLAGEBEZEICHNUNG_ORG TYPE "
                                   "VARCHAR(500);"));
            if (!tableExists(QStringLiteral("DATENUEBERNAHMEN")))
                runAll({QStringLiteral("CREATE TABLE DATENUEBERNAHMEN (MANDANT_NR INTEGER NOT NULL, UEBERNAHME_NR "
                                       "INTEGER NOT NULL, ZEITPUNKT TIMESTAMP, LOGIN VARCHAR(128), DATEINAME "
                                       "VARCHAR(1000), ARCHIVDATEI VARCHAR(1000), NEU INTEGER, BESTAETIGT INTEGER, "
                                       "ABGAENGE INTEGER, REAKTIVIERT INTEGER, STATUS CHAR(1), RUECKGAENGIG_TS "
                                       "TIMESTAMP, RUECKGAENGIG_LOGIN VARCHAR(128), BILD CHAR(1), PRUEFSUMME BIGINT, "
                                       "ZEILEN INTEGER, CONSTRAINT PK_DATENUEBERNAHMEN PRIMARY KEY (MANDANT_NR, "
                                       "UEBERNAHME_NR));"),
                        // The register rows of the client as they were before the takeover, column for column.
                        QStringLiteral(
                            "CREATE TABLE DATENUEBERNAHME_VORHER (UEBERNAHME_NR INTEGER NOT NULL, "
                            "BRV_MANDANT_NR INTEGER NOT NULL, MANDANT_NR INTEGER NOT NULL, INSERT_TS TIMESTAMP, "
                            "UPDATE_TS TIMESTAMP, ANLAGE_NR INTEGER NOT NULL, ANLAGE_SUB_NR INTEGER NOT NULL, "
                            "KONTO_NR VARCHAR(50), ANLAGEBEZEICHNUNG VARCHAR(500), ANSCHAFFUNGSDATUM TIMESTAMP, "
                            "ANSCHAFFUNGSJAHR INTEGER, AHK DOUBLE PRECISION, LISTENPREIS DOUBLE PRECISION, "
                            "VERSICHERUNGSWERT DOUBLE PRECISION, GEMEINER_WERT DOUBLE PRECISION, ZEITWERT DOUBLE "
                            "PRECISION, NUTZUNGSDAUER INTEGER, ELEKTRONIK_VERS CHAR(1), MASCHINEN_VERS CHAR(1), "
                            "LAGERUNG_AUSSEN CHAR(1), KATEGORIE_NR INTEGER, KATEGORIE_NR_UMBASIERT INTEGER, ADRESS_NR "
                            "INTEGER, GELOESCHT CHAR(1), BEARBEITUNG CHAR(1), GEBAEUDE CHAR(1), SOFTWARE CHAR(1), "
                            "LEASING CHAR(1), GEMIETET CHAR(1), FESTE_TAXE CHAR(1), ABGANGSJAHR INTEGER, GRUPPE "
                            "VARCHAR(100), NOTIZTEXT VARCHAR(2000), QUELLE VARCHAR(20), UPDATE_CHECK CHAR(1), "
                            "DATEINAME_FOTO VARCHAR(500), ANLAGEBEZEICHNUNG_ORG VARCHAR(500), ANSCHAFFUNGSDATUM_ORG "
                            "TIMESTAMP, AHK_ORG DOUBLE PRECISION, ANLAGENTYP_ID INTEGER, ABGANG_IMPORT CHAR(1));"),
                        QStringLiteral("CREATE INDEX IX_DU_VORHER ON DATENUEBERNAHME_VORHER (MANDANT_NR, "
                                       "UEBERNAHME_NR);")});
        });
    } catch (const Exception& e) {
        try {
            BrvRollback();
        } catch (...) {
        }
        platform::dialogs().message(e.message(), platform::MsgIcon::Warning, platform::MsgButtons::Ok);
        result = 100;
    } catch (const std::exception& e) {
        platform::dialogs().message(QString::fromUtf8(e.what()), platform::MsgIcon::Warning, platform::MsgButtons::Ok);
        result = 100;
    }
    return result;
}

// ------------------------------------------------------------------ a new database

namespace {

const char* const kBaseTables[] = {
    "CREATE TABLE KONFIGURATIONEN (BRV_MANDANT_NR INTEGER NOT NULL, MANDANT_NR INTEGER, INSERT_TS TIMESTAMP, "
    "UPDATE_TS TIMESTAMP, KEY_NAME VARCHAR(100) NOT NULL, VALUE_VARCHAR VARCHAR(1000), "
    "CONSTRAINT PK_KONFIGURATIONEN PRIMARY KEY (KEY_NAME))",

    "CREATE TABLE BETRIEBSARTEN (BRV_MANDANT_NR INTEGER NOT NULL, BETRIEBSART_NR VARCHAR(20) NOT NULL, "
    "INSERT_TS TIMESTAMP, UPDATE_TS TIMESTAMP, BETRIEBSART_BEZ VARCHAR(250), "
    "CONSTRAINT PK_BETRIEBSARTEN PRIMARY KEY (BETRIEBSART_NR))",

    "CREATE TABLE STANDORTTYPEN (BRV_MANDANT_NR INTEGER NOT NULL, STANDORTTYP_NR INTEGER NOT NULL, "
    "INSERT_TS TIMESTAMP, UPDATE_TS TIMESTAMP, STANDORT_BEZEICHNUNG VARCHAR(100), "
    "CONSTRAINT PK_STANDORTTYPEN PRIMARY KEY (STANDORTTYP_NR))",

    "CREATE TABLE MANDANTEN (BRV_MANDANT_NR INTEGER NOT NULL, MANDANT_NR INTEGER NOT NULL, INSERT_TS TIMESTAMP, "
    "UPDATE_TS TIMESTAMP, BENUTZER_NR_LOCK INTEGER, FIRMA VARCHAR(200), NAME1 VARCHAR(200), NAME2 VARCHAR(200), "
    "MANDANT_NR_PARENT INTEGER, MANDANT_SB DOUBLE PRECISION, MANDANT_SB_DATUM TIMESTAMP, SICHERUNGSPFAD "
    "VARCHAR(500), ENDWERTGRENZE DOUBLE PRECISION, BETRIEBSART_NR VARCHAR(20), "
    "CONSTRAINT PK_MANDANTEN PRIMARY KEY (MANDANT_NR))",

    "CREATE TABLE ADRESSEN (BRV_MANDANT_NR INTEGER NOT NULL, MANDANT_NR INTEGER NOT NULL, ADRESS_NR INTEGER NOT "
    "NULL, INSERT_TS TIMESTAMP, UPDATE_TS TIMESTAMP, ADRESSBEZEICHNUNG VARCHAR(200), STRASSE VARCHAR(200), "
    "HAUSNUMMER VARCHAR(30), ZUSATZ VARCHAR(200), PLZ VARCHAR(20), ORT VARCHAR(200), LAND VARCHAR(100), "
    "POSTFACH VARCHAR(50), POSTFACH_PLZ VARCHAR(20), TELEFON1 VARCHAR(50), TELEFON2 VARCHAR(50), FAX VARCHAR(50), "
    "MOBIL VARCHAR(50), EMAIL1 VARCHAR(200), EMAIL2 VARCHAR(200), URL VARCHAR(250), ANSPRECHPARTNER VARCHAR(200), "
    "STANDORTTYP_NR SMALLINT, ZUSATZINFORMATION VARCHAR(2000), "
    "CONSTRAINT PK_ADRESSEN PRIMARY KEY (MANDANT_NR, ADRESS_NR))",

    "CREATE TABLE KENNZAHLEN_HIST (BRV_MANDANT_NR INTEGER NOT NULL, MANDANT_NR INTEGER NOT NULL, BILANZJAHR "
    "INTEGER NOT NULL, INSERT_TS TIMESTAMP, UPDATE_TS TIMESTAMP, FERTIGE_ERZ_BILANZ DOUBLE PRECISION, "
    "UNFERTIGE_ERZ_BILANZ DOUBLE PRECISION, LAGER_BSTOFFE_BILANZ DOUBLE PRECISION, FERTIGE_ERZ_MAX DOUBLE "
    "PRECISION, UNFERTIGE_ERZ_MAX DOUBLE PRECISION, LAGER_BSTOFFE_MAX DOUBLE PRECISION, VORSORGESUMME DOUBLE "
    "PRECISION, ENDWERTGRENZE DOUBLE PRECISION, CONSTRAINT PK_KENNZAHLEN_HIST PRIMARY KEY (MANDANT_NR, BILANZJAHR))",

    "CREATE TABLE VERSICHERUNGSWERTE (BRV_MANDANT_NR INTEGER NOT NULL, MANDANT_NR INTEGER NOT NULL, INSERT_TS "
    "TIMESTAMP, UPDATE_TS TIMESTAMP, ANLAGE_NR INTEGER NOT NULL, ANLAGE_SUB_NR INTEGER NOT NULL, KONTO_NR "
    "VARCHAR(50), ANLAGEBEZEICHNUNG VARCHAR(500), ANSCHAFFUNGSDATUM TIMESTAMP, ANSCHAFFUNGSJAHR INTEGER, AHK DOUBLE "
    "PRECISION, LISTENPREIS DOUBLE PRECISION, VERSICHERUNGSWERT DOUBLE PRECISION, GEMEINER_WERT DOUBLE PRECISION, "
    "ZEITWERT DOUBLE PRECISION, NUTZUNGSDAUER INTEGER, ELEKTRONIK_VERS CHAR(1), MASCHINEN_VERS CHAR(1), "
    "LAGERUNG_AUSSEN CHAR(1), KATEGORIE_NR INTEGER, KATEGORIE_NR_UMBASIERT INTEGER, ADRESS_NR INTEGER, GELOESCHT "
    "CHAR(1), BEARBEITUNG CHAR(1), GEBAEUDE CHAR(1), SOFTWARE CHAR(1), LEASING CHAR(1), GEMIETET CHAR(1), "
    "FESTE_TAXE CHAR(1), ABGANGSJAHR INTEGER, GRUPPE VARCHAR(100), NOTIZTEXT VARCHAR(2000), QUELLE VARCHAR(20), "
    "UPDATE_CHECK CHAR(1), DATEINAME_FOTO VARCHAR(500), "
    "CONSTRAINT PK_VERSICHERUNGSWERTE PRIMARY KEY (MANDANT_NR, ANLAGE_NR, ANLAGE_SUB_NR))",

    "CREATE TABLE INDEXBESCHREIBUNGEN (BRV_MANDANT_NR INTEGER NOT NULL, INSERT_TS TIMESTAMP, UPDATE_TS TIMESTAMP, "
    "KATEGORIE_NR INTEGER NOT NULL, INDEX_NR INTEGER, INDEX_SUBNR INTEGER, GP_SYSTEMATIK VARCHAR(100), SICHTBAR "
    "CHAR(1), INDEX_TEXT VARCHAR(500), NUTZUNGSDAUER INTEGER, "
    "CONSTRAINT PK_INDEXBESCHREIBUNGEN PRIMARY KEY (KATEGORIE_NR))",

    "CREATE TABLE INDEXWERTE (BRV_MANDANT_NR INTEGER NOT NULL, INSERT_TS TIMESTAMP, UPDATE_TS TIMESTAMP, "
    "KATEGORIE_NR INTEGER NOT NULL, INDEXJAHR INTEGER NOT NULL, INDEXWERT DOUBLE PRECISION, "
    "CONSTRAINT PK_INDEXWERTE PRIMARY KEY (KATEGORIE_NR, INDEXJAHR))",

    "CREATE TABLE DATENIMPORTE (BRV_MANDANT_NR INTEGER NOT NULL, MANDANT_NR INTEGER NOT NULL, INSERT_TS TIMESTAMP, "
    "UPDATE_TS TIMESTAMP, ZEILE_NR INTEGER NOT NULL, KONTO_NR VARCHAR(50), ANLAGEBEZEICHNUNG VARCHAR(500), "
    "ANSCHAFFUNGSDATUM TIMESTAMP, AHK DOUBLE PRECISION, GRUPPE VARCHAR(100), ZUSAETZE VARCHAR(500), KATEGORIE_NR "
    "INTEGER, LAGERUNG_AUSSEN CHAR(1), ELEKTRONIK_VERS CHAR(1), MASCHINEN_VERS CHAR(1), LEASING CHAR(1), GEMIETET "
    "CHAR(1), GEBAEUDE CHAR(1), GELOESCHT CHAR(1), ADRESS_NR INTEGER, FESTE_TAXE CHAR(1), BEARBEITUNG CHAR(1), "
    "CONSTRAINT PK_DATENIMPORTE PRIMARY KEY (MANDANT_NR, ZEILE_NR))",

    // The import reconciliation looks assets up by client, account and description; the list windows filter
    // by client and account, and the index exchange by client and category.
    "CREATE INDEX IX_VERSWERTE_KONTO_BEZ ON VERSICHERUNGSWERTE (MANDANT_NR, KONTO_NR, ANLAGEBEZEICHNUNG)",
    "CREATE INDEX IX_VERSWERTE_KATEGORIE ON VERSICHERUNGSWERTE (MANDANT_NR, KATEGORIE_NR)",
    "CREATE INDEX IX_VERSWERTE_ADRESSE ON VERSICHERUNGSWERTE (MANDANT_NR, ADRESS_NR)",
    "CREATE INDEX IX_MANDANTEN_FIRMA ON MANDANTEN (FIRMA)",
    "CREATE INDEX IX_MANDANTEN_LOCK ON MANDANTEN (BENUTZER_NR_LOCK)",
};

const char* const kStandorttypen[] = {"Hauptsitz / Verwaltung",
                                      "Produktion / Fertigung",
                                      "Lager",
                                      "Vertrieb / Verkaufsstelle",
                                      "Niederlassung / Filiale",
                                      "Werkstatt",
                                      "Büro",
                                      "Außenlager",
                                      "Baustelle",
                                      "Sonstiger Standort"};

} // namespace

void CreateBaseTables() {
    for (const char* ddl : kBaseTables)
        BrvExecDdl(QString::fromUtf8(ddl));
    const TDateTime now = BrvNow();
    for (int i = 0; i < kBetriebsartenCount; ++i)
        BrvExec(QStringLiteral("INSERT INTO BETRIEBSARTEN (BRV_MANDANT_NR, BETRIEBSART_NR, INSERT_TS, BETRIEBSART_BEZ) "
                               "VALUES (1, ?, ?, ?)"),
                QString::fromUtf8(kBetriebsarten[i].nr), SqlTs{now}, QString::fromUtf8(kBetriebsarten[i].bez));
    int nr = 0;
    for (const char* bez : kStandorttypen)
        BrvExec(QStringLiteral("INSERT INTO STANDORTTYPEN (BRV_MANDANT_NR, STANDORTTYP_NR, INSERT_TS, "
                               "STANDORT_BEZEICHNUNG) VALUES (1, ?, ?, ?)"),
                ++nr, SqlTs{now}, QString::fromUtf8(bez));
    BrvCommit();
}

void CreateNewDatabase(const QString& path, const QString& user, const QString& password) {
    if (QFileInfo::exists(path))
        throw EBrvCommonException(
            QStringLiteral("Die Datei %1 ist bereits vorhanden und wird nicht überschrieben.").arg(path));
    fb::Database db;
    fb::Transaction tr(db);
    fb::Database* oldDb = gBrvDB;
    fb::Transaction* oldTr = gBrvTrans;
    try {
        fb::Database::create(path, user, password);
        db.open(path, user, password);
        SetBrvConnection(&db, &tr);
        CreateBaseTables();
        SetBrvConnection(oldDb, oldTr);
        tr.commit();
        db.close();
    } catch (const Exception& e) {
        SetBrvConnection(oldDb, oldTr);
        throw EBrvCommonException(QStringLiteral("Die Datenbank %1 konnte nicht angelegt werden.\r\nSystemmeldung: %2")
                                      .arg(path, e.message()));
    }
}
