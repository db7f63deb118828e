#include "building/gebtypes.h"
#include "core/convert.h"
#include "support/fixtures.h"

namespace {

class SchemaTest : public BaseDbTest {};

TEST_F(SchemaTest, NewDatabaseIsCompletedAndSecondRunChangesNothing) {
    EXPECT_EQ(columnCount(QStringLiteral("VERSICHERUNGSWERTE")), 35);
    EXPECT_EQ(columnCount(QStringLiteral("MANDANTEN")), 14);
    EXPECT_EQ(columnCount(QStringLiteral("DATENIMPORTE")), 22);
    exec(QStringLiteral(
        "INSERT INTO VERSICHERUNGSWERTE (BRV_MANDANT_NR, MANDANT_NR, ANLAGE_NR, ANLAGE_SUB_NR, "
        "ANLAGEBEZEICHNUNG, ANSCHAFFUNGSDATUM, AHK) VALUES (1, 1, 1, 0, 'Drehbank', '15.03.2001', 1000.5)"));
    EXPECT_EQ(CheckDatabaseStructure(), 1) << dialogs.messages().join("|").toStdString();
    EXPECT_EQ(columnCount(QStringLiteral("VERSICHERUNGSWERTE")), 40);
    EXPECT_EQ(columnCount(QStringLiteral("DATENUEBERNAHME_VORHER")), 41);
    EXPECT_EQ(scalar(QStringLiteral("SELECT ANLAGEBEZEICHNUNG_ORG FROM VERSICHERUNGSWERTE")),
              QStringLiteral("Drehbank"));
    EXPECT_EQ(scalar(QStringLiteral("SELECT AHK_ORG FROM VERSICHERUNGSWERTE")), QStringLiteral("1000.5"));
    EXPECT_EQ(scalar(QStringLiteral("SELECT QUELLE FROM VERSICHERUNGSWERTE")), QStringLiteral("IMPORT"));
    EXPECT_EQ(columnCount(QStringLiteral("MANDANTEN")), 17);
    EXPECT_EQ(columnCount(QStringLiteral("DATENIMPORTE")), 23);
    EXPECT_EQ(columnCount(QStringLiteral("TABGEBBUILDINGA")), 61);
    EXPECT_EQ(columnCount(QStringLiteral("TABGEBOBJEKT")), 17);
    EXPECT_EQ(columnCount(QStringLiteral("TABGEBTYPES")), 18);
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM ANLAGENTYPEN")), 3);
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM STEUERSAETZE")), 24);
    for (const char* t : {"KENNZAHLEN_STANDORT", "TABGEBDIM", "TABGEBFILE", "TABGEBBAUTEILE", "TABGEBAUFZUG",
                          "TABGEBAUFZUGBESTAND", "TABGEBPRODUKT", "TABGEBSETTINGS", "BENUTZER"})
        EXPECT_GT(columnCount(QString::fromLatin1(t)), 0) << t;
    EXPECT_EQ(CheckDatabaseStructure(), 1);
    EXPECT_EQ(columnCount(QStringLiteral("VERSICHERUNGSWERTE")), 40);
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM STEUERSAETZE")), 24);
    EXPECT_TRUE(dialogs.calls.isEmpty());
}

TEST_F(SchemaTest, AssetColumnsDependOnTheCount) {
    ASSERT_EQ(CheckDatabaseStructure(), 1);
    // Only the asset type is missing.
    exec(QStringLiteral("ALTER TABLE VERSICHERUNGSWERTE DROP ANLAGENTYP_ID"));
    ASSERT_EQ(CheckDatabaseStructure(), 1);
    EXPECT_EQ(columnCount(QStringLiteral("VERSICHERUNGSWERTE")), 40);
    // The asset type is added, the _ORG columns are not touched again.
    exec(QStringLiteral("ALTER TABLE VERSICHERUNGSWERTE DROP ANLAGENTYP_ID"));
    exec(QStringLiteral("ALTER TABLE VERSICHERUNGSWERTE DROP AHK_ORG"));
    ASSERT_EQ(CheckDatabaseStructure(), 1);
    EXPECT_EQ(columnCount(QStringLiteral("VERSICHERUNGSWERTE")), 39);
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM RDB$RELATION_FIELDS WHERE RDB$RELATION_NAME = "
                                   "'VERSICHERUNGSWERTE' AND RDB$FIELD_NAME = 'AHK_ORG'")),
              0);
}

TEST_F(SchemaTest, BuildingColumnsAreAddedOverTwoStarts) {
    ASSERT_EQ(CheckDatabaseStructure(), 1);
    exec(QStringLiteral("ALTER TABLE TABGEBBUILDINGA DROP WIEDERBPREISORG"));
    exec(QStringLiteral("ALTER TABLE TABGEBBUILDINGA DROP BERECHNUNGSARTDIM"));
    ASSERT_EQ(columnCount(QStringLiteral("TABGEBBUILDINGA")), 59);
    EXPECT_EQ(CheckDatabaseStructure(), 1);
    EXPECT_EQ(columnCount(QStringLiteral("TABGEBBUILDINGA")), 60);
    EXPECT_EQ(CheckDatabaseStructure(), 1);
    EXPECT_EQ(columnCount(QStringLiteral("TABGEBBUILDINGA")), 61);
}

TEST_F(SchemaTest, OldBuildingTypeTableIsReplacedAndRefilled) {
    ASSERT_EQ(CheckDatabaseStructure(), 1);
    exec(QStringLiteral("DROP TABLE TABGEBTYPES"));
    exec(QStringLiteral("CREATE TABLE TABGEBTYPES (PID VARCHAR(40) NOT NULL, GEBCAPTION VARCHAR(200), C3 INTEGER, "
                        "C4 INTEGER, C5 INTEGER, C6 INTEGER, C7 INTEGER, C8 INTEGER, C9 INTEGER, C10 INTEGER, C11 "
                        "INTEGER, C12 INTEGER, C13 INTEGER, C14 INTEGER, C15 INTEGER, C16 INTEGER, C17 INTEGER)"));
    exec(QStringLiteral("INSERT INTO TABGEBTYPES (PID, GEBCAPTION) VALUES ('old', 'alt')"));
    QByteArray rec(kGebTypeRecordSize, '\0');
    rec[0] = 2;
    rec[1] = 'T';
    rec[2] = '1';
    rec[256] = 3;
    rec.replace(257, 3, "Bau");
    writeFile(QStringLiteral("DataGebTypes.dat"), rec);
    EXPECT_EQ(CheckDatabaseStructure(), 1);
    EXPECT_EQ(columnCount(QStringLiteral("TABGEBTYPES")), 18);
    EXPECT_EQ(scalar(QStringLiteral("SELECT PID || '/' || GEBCAPTION FROM TABGEBTYPES")), QStringLiteral("T1/Bau"));
    // 18 columns: left alone.
    exec(QStringLiteral("DELETE FROM TABGEBTYPES"));
    EXPECT_EQ(CheckDatabaseStructure(), 1);
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM TABGEBTYPES")), 0);
}

TEST_F(SchemaTest, RateTableOfOlderReleasesIsRepairedAndSplitOnce) {
    ASSERT_EQ(CheckDatabaseStructure(), 1);
    exec(QStringLiteral("DELETE FROM STEUERSAETZE"));
    auto row = [](const char* art, TDateTime von, TDateTime bis, double rate) {
        BrvExec(QStringLiteral("INSERT INTO STEUERSAETZE VALUES (1, ?, ?, ?, ?, ?, ?)"), SqlTs{EncodeDate(2009, 4, 1)},
                SqlTs{EncodeDate(2009, 4, 1)}, SqlTs{von}, SqlTs{bis}, QString::fromLatin1(art), rate);
        BrvCommit();
    };
    row("REGELSATZ", EncodeDate(1998, 4, 1), EncodeDate(2006, 12, 31), 16);
    row("REGELSATZ", EncodeDate(2007, 1, 1), EncodeDate(1999, 12, 31), 19); // the broken row of an early release
    row("ERMAESSIGTER_SATZ", EncodeDate(1983, 7, 1), EncodeDate(9999, 12, 31), 7);
    row("VERSICHERUNGSSATZ", EncodeDate(2007, 1, 1), EncodeDate(9999, 12, 31), 19);
    EXPECT_EQ(CheckDatabaseStructure(), 1);
    const QString list = QStringLiteral(
        "SELECT LIST(STEUERSATZ_ART || ' ' || EXTRACT(YEAR FROM GUELTIG_VON) || '-' || EXTRACT(MONTH FROM GUELTIG_VON) "
        "|| '/' || EXTRACT(YEAR FROM GUELTIG_BIS) || '-' || EXTRACT(MONTH FROM GUELTIG_BIS) || ' ' || "
        "CAST(STEUERSATZ AS INTEGER), ', ') FROM (SELECT * FROM STEUERSAETZE ORDER BY STEUERSATZ_ART, GUELTIG_VON)");
    const QString expected = QStringLiteral(
        "ERMAESSIGTER_SATZ 1983-7/2020-6 7, ERMAESSIGTER_SATZ 2020-7/2020-12 5, ERMAESSIGTER_SATZ 2021-1/9999-12 7, "
        "REGELSATZ 1998-4/2006-12 16, REGELSATZ 2007-1/2020-6 19, REGELSATZ 2020-7/2020-12 16, "
        "REGELSATZ 2021-1/9999-12 19, VERSICHERUNGSSATZ 2007-1/9999-12 19");
    EXPECT_EQ(scalar(list), expected);
    EXPECT_EQ(CheckDatabaseStructure(), 1);
    EXPECT_EQ(scalar(list), expected);
}

TEST_F(SchemaTest, FailuresAreCountedOrCutTheCheckOff) {
    exec(QStringLiteral("DROP TABLE VERSICHERUNGSWERTE"));
    // Step 1 fails (+10); step 22 then meets the missing table outside any handler: cut off with the warning.
    EXPECT_EQ(CheckDatabaseStructure(), 100);
    ASSERT_EQ(dialogs.calls.size(), 1);
    EXPECT_EQ(dialogs.calls[0].icon, platform::MsgIcon::Warning);
    EXPECT_TRUE(dialogs.calls[0].text.contains(QStringLiteral("VERSICHERUNGSWERTE")));
}

TEST_F(SchemaTest, FailedStepAddsTenAndTheRestRuns) {
    exec(QStringLiteral("DROP TABLE MANDANTEN"));
    EXPECT_EQ(CheckDatabaseStructure(), 11);
    EXPECT_EQ(columnCount(QStringLiteral("DATENIMPORTE")), 23);
}

TEST_F(SchemaTest, ClosedConnectionReturnsZero) {
    SetBrvConnection(nullptr, nullptr);
    EXPECT_EQ(CheckDatabaseStructure(), 0);
    SetBrvConnection(db, tr);
    EXPECT_EQ(columnCount(QStringLiteral("VERSICHERUNGSWERTE")), 35);
}

TEST_F(SchemaTest, NewDatabaseRefusesAnExistingFile) {
    try {
        CreateNewDatabase(dbFile, QStringLiteral("SYSDBA"), QStringLiteral("x"));
        FAIL();
    } catch (const EBrvCommonException& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("bereits vorhanden")));
    }
    EXPECT_GT(count(QStringLiteral("SELECT COUNT(*) FROM BETRIEBSARTEN")), 300);
    EXPECT_EQ(scalar(QStringLiteral("SELECT BETRIEBSART_BEZ FROM BETRIEBSARTEN WHERE BETRIEBSART_NR = '41.2'")),
              QStringLiteral("Bau von Gebäuden"));
}

} // namespace
