#include "db/brenvik_config.h"
#include "db/mandanten.h"
#include "support/fixtures.h"

namespace {

using MandantenTest = SchemaDbTest;

// Every text field gets quotes, umlauts and something that would end a literal.
const QString kNasty = QStringLiteral("O'Brien & Söhne \"Ä\" '); DELETE FROM MANDANTEN; --");

TEST_F(MandantenTest, ClientNumberingUpsertAndLockSurvival) {
    exec(QStringLiteral("DELETE FROM MANDANTEN"));
    EXPECT_EQ(GetMaxMandantNr(), 0);
    TBrenvikMandant r;
    r.firma = kNasty;
    r.name1 = QStringLiteral("Zusatz ß");
    r.betriebsart_nr = QStringLiteral("41");
    r.sicherungspfad = QStringLiteral("C:\\Daten\\kunde_1\\");
    r.mwst_pflicht = QStringLiteral("0");
    r.endwertgrenze = 12.5;
    EXPECT_EQ(SaveMandant(r), 1); // number 0 on an empty table
    r.mandant_nr = 7;
    EXPECT_EQ(SaveMandant(r), 7); // unknown number: inserted with it
    EXPECT_EQ(GetMaxMandantNr(), 7);

    TBrenvikMandant back;
    GetMandant(1, back);
    EXPECT_EQ(back.firma, kNasty);
    EXPECT_EQ(back.name1, QStringLiteral("Zusatz ß"));
    EXPECT_EQ(back.sicherungspfad, QStringLiteral("C:\\Daten\\kunde_1\\"));
    EXPECT_EQ(back.mwst_pflicht, QStringLiteral("0"));
    EXPECT_EQ(back.endwertgrenze, 0.0); // always written as 0
    EXPECT_GT(back.insert_ts, 0);
    EXPECT_EQ(back.update_ts, 0);

    // An update keeps the lock of whoever holds the client.
    exec(QStringLiteral("UPDATE MANDANTEN SET BENUTZER_NR_LOCK = 1 WHERE MANDANT_NR = 7"));
    r.firma = QStringLiteral("Neu");
    EXPECT_EQ(SaveMandant(r), 7);
    GetMandant(7, back);
    EXPECT_EQ(back.firma, QStringLiteral("Neu"));
    EXPECT_EQ(back.benutzer_nr_lock, 1);
    EXPECT_GT(back.update_ts, 0);

    // A new client never overwrites the client that holds its number.
    r.firma = QStringLiteral("Zweiter Sitz");
    EXPECT_EQ(SaveMandant(r, true), 0);
    GetMandant(7, back);
    EXPECT_EQ(back.firma, QStringLiteral("Neu"));
    r.mandant_nr = 0;
    EXPECT_EQ(SaveMandant(r, true), 8);

    try {
        GetMandant(99, back);
        FAIL();
    } catch (const EBrvException_NODATA& e) {
        EXPECT_EQ(e.message(), QStringLiteral("No data found"));
    }
    GetMandant(0, back); // the first client of the table
    EXPECT_EQ(back.mandant_nr, 1);
}

TEST_F(MandantenTest, AddressesNumberedStoredVerbatimAndDurable) {
    EXPECT_EQ(GetNextAdressNr(1), 1);
    TBrenvikAdresse a;
    a.mandant_nr = 1;
    QString* texts[] = {&a.adressbezeichnung,
                        &a.strasse,
                        &a.hausnummer,
                        &a.zusatz,
                        &a.plz,
                        &a.ort,
                        &a.land,
                        &a.postfach,
                        &a.postfach_plz,
                        &a.telefon1,
                        &a.telefon2,
                        &a.fax,
                        &a.mobil,
                        &a.email1,
                        &a.email2,
                        &a.url,
                        &a.ansprechpartner,
                        &a.zusatzinformation};
    int i = 0;
    for (QString* t : texts)
        *t = kNasty.left(15) + QString::number(i++);
    a.standorttyp_nr = 2;
    for (int nr : {1, 2, 5}) {
        a.adress_nr = nr;
        SaveAdresse(a);
    }
    EXPECT_EQ(GetNextAdressNr(1), 6);
    // The save is durable on its own: nothing is lost when the transaction is thrown away.
    reopen();
    TBrenvikAdresse back;
    GetAdresse(1, 5, back);
    i = 0;
    QString* backTexts[] = {&back.adressbezeichnung,
                            &back.strasse,
                            &back.hausnummer,
                            &back.zusatz,
                            &back.plz,
                            &back.ort,
                            &back.land,
                            &back.postfach,
                            &back.postfach_plz,
                            &back.telefon1,
                            &back.telefon2,
                            &back.fax,
                            &back.mobil,
                            &back.email1,
                            &back.email2,
                            &back.url,
                            &back.ansprechpartner,
                            &back.zusatzinformation};
    for (QString* t : backTexts)
        EXPECT_EQ(*t, kNasty.left(15) + QString::number(i++));
    EXPECT_EQ(back.standorttyp_nr, 2);

    a.adress_nr = 5;
    a.ort = QStringLiteral("Köln");
    SaveAdresse(a); // update
    GetAdresse(1, 5, back);
    EXPECT_EQ(back.ort, QStringLiteral("Köln"));
    EXPECT_GT(back.update_ts, 0);

    exec(QStringLiteral("INSERT INTO MANDANTEN (BRV_MANDANT_NR, MANDANT_NR, FIRMA) VALUES (1, 2, 'Zwei')"));
    lockClient(2);
    a.mandant_nr = 2;
    a.adress_nr = 1;
    SaveAdresse(a);
    EXPECT_EQ(GetAdressen(1)->size(), 3);
    EXPECT_EQ(GetAdressen(0)->size(), 4);

    DeleteAdresse(1, 2);
    EXPECT_EQ(GetAdressen(1)->size(), 2);
    try {
        DeleteAdresse(1, 2);
        FAIL();
    } catch (const EBrvException_NODATA& e) {
        EXPECT_EQ(e.message(), QStringLiteral("Es wurden keine Datensaetze zur Loeschung gefunden."));
    }
    try {
        GetAdresse(1, 2, back);
        FAIL();
    } catch (const EBrvException_NODATA& e) {
        EXPECT_EQ(e.message(), QStringLiteral("Keine Daten verfuegbar"));
    }
}

TEST_F(MandantenTest, KeyFigureYearsAndLocationFigures) {
    EXPECT_EQ(GetMaxBilanzjahr(1), 0);
    TBrenvikKennzahlenHist k;
    k.mandant_nr = 1;
    k.bilanzjahr = 2008;
    k.fertige_erz_bilanz = 1234.5;
    k.endwertgrenze = 12.75;
    SaveKennzahlenHist(k);
    k.bilanzjahr = 2010;
    k.vorsorgesumme = 0.01;
    SaveKennzahlenHist(k);
    EXPECT_EQ(GetMaxBilanzjahr(1), 2010);
    k.vorsorgesumme = 99;
    SaveKennzahlenHist(k); // update of 2010
    const auto list = GetKennzahlenHistList(1);
    ASSERT_EQ(list->size(), 2);
    EXPECT_EQ(list->at(1).bilanzjahr, 2010);
    EXPECT_EQ(list->at(1).vorsorgesumme, 99.0);
    EXPECT_EQ(list->at(1).mandant_nr, 1);
    EXPECT_EQ(list->at(0).fertige_erz_bilanz, 1234.5);
    EXPECT_EQ(list->at(0).endwertgrenze, 12.75);
    TBrenvikKennzahlenHist back;
    GetKennzahlenHist(1, 2010, back);
    EXPECT_EQ(back.mandant_nr, 0); // the keys are the caller's
    EXPECT_GT(back.update_ts, 0);
    DeleteKennzahlenHist(1, 2008);
    EXPECT_THROW(DeleteKennzahlenHist(1, 2008), EBrvException_NODATA);
    EXPECT_THROW(GetKennzahlenHist(1, 2008, back), EBrvException_NODATA);

    TBrenvikKennzahlenStandort s;
    s.mandant_nr = 1;
    s.adress_nr = 0;
    s.vorraete = 5000;
    s.vorsorgesumme = 250;
    SaveKennzahlenStandort(s);
    TBrenvikKennzahlenStandort first;
    GetKennzahlenStandort(1, 0, first);
    s.vorraete = 6000;
    SaveKennzahlenStandort(s);
    TBrenvikKennzahlenStandort second;
    GetKennzahlenStandort(1, 0, second);
    EXPECT_EQ(second.vorraete, 6000.0);
    EXPECT_EQ(second.vorsorgesumme, 250.0);
    EXPECT_EQ(second.insert_ts, first.insert_ts);
    EXPECT_GT(second.update_ts, 0);
    EXPECT_THROW(GetKennzahlenStandort(1, 3, second), EBrvException_NODATA);
}

TEST_F(MandantenTest, DeleteClientRemovesEveryRowOfTheClientAtOnce) {
    exec(QStringLiteral("INSERT INTO MANDANTEN (BRV_MANDANT_NR, MANDANT_NR, FIRMA) VALUES (1, 2, 'Bleibt')"));
    lockClient(2);
    for (int m : {1, 2}) {
        TBrenvikAdresse a;
        a.mandant_nr = m;
        a.adress_nr = 1;
        SaveAdresse(a);
        TBrenvikKennzahlenHist k;
        k.mandant_nr = m;
        k.bilanzjahr = 2020;
        SaveKennzahlenHist(k);
        TBrenvikKennzahlenStandort s;
        s.mandant_nr = m;
        SaveKennzahlenStandort(s);
        BrvExec(QStringLiteral("INSERT INTO VERSICHERUNGSWERTE (BRV_MANDANT_NR, MANDANT_NR, ANLAGE_NR, ANLAGE_SUB_NR) "
                               "VALUES (1, ?, 1, 0)"),
                m);
        BrvExec(QStringLiteral("INSERT INTO DATENIMPORTE (BRV_MANDANT_NR, MANDANT_NR, ZEILE_NR) VALUES (1, ?, 1)"), m);
        // A building object with a building, its three kinds of line items and an attachment row.
        const QString o = QStringLiteral("O%1"), b = QStringLiteral("B%1");
        BrvExec(QStringLiteral("INSERT INTO TABGEBOBJEKT (PID, OWNER_ID) VALUES (?, ?)"), o.arg(m), QString::number(m));
        BrvExec(QStringLiteral("INSERT INTO TABGEBBUILDINGA (PID, GEBOBJ_ID) VALUES (?, ?)"), b.arg(m), o.arg(m));
        BrvExec(QStringLiteral("INSERT INTO TABGEBDIM (PID, DIMGEB_FK) VALUES (?, ?)"), QStringLiteral("D%1").arg(m),
                b.arg(m));
        BrvExec(QStringLiteral("INSERT INTO TABGEBPRODUKT (PID, GEBBUILDING_ID) VALUES (?, ?)"),
                QStringLiteral("P%1").arg(m), b.arg(m));
        BrvExec(QStringLiteral("INSERT INTO TABGEBAUFZUGBESTAND (PID, OWNERID) VALUES (?, ?)"),
                QStringLiteral("A%1").arg(m), b.arg(m));
        BrvExec(QStringLiteral("INSERT INTO TABGEBFILE (PID, OWNER_ID) VALUES (?, ?)"), QStringLiteral("F%1").arg(m),
                o.arg(m));
        BrvCommit();
    }
    DeleteMandant(1);
    for (const char* t :
         {"VERSICHERUNGSWERTE", "KENNZAHLEN_HIST", "KENNZAHLEN_STANDORT", "ADRESSEN", "DATENIMPORTE", "MANDANTEN"}) {
        EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM %1 WHERE MANDANT_NR = 1").arg(QLatin1String(t))), 0) << t;
        EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM %1 WHERE MANDANT_NR = 2").arg(QLatin1String(t))), 1) << t;
    }
    for (const char* t :
         {"TABGEBOBJEKT", "TABGEBBUILDINGA", "TABGEBDIM", "TABGEBPRODUKT", "TABGEBAUFZUGBESTAND", "TABGEBFILE"}) {
        EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM %1 WHERE PID LIKE '%_1'").arg(QLatin1String(t))), 0) << t;
        EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM %1 WHERE PID LIKE '%_2'").arg(QLatin1String(t))), 1) << t;
    }
    // The next client of that number starts empty.
    exec(QStringLiteral("INSERT INTO MANDANTEN (BRV_MANDANT_NR, MANDANT_NR, FIRMA) VALUES (1, 1, 'Neu')"));
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM TABGEBOBJEKT WHERE OWNER_ID = '1'")), 0);
}

TEST_F(MandantenTest, AFailingClientDeleteChangesNothing) {
    exec(QStringLiteral("INSERT INTO ADRESSEN (BRV_MANDANT_NR, MANDANT_NR, ADRESS_NR) VALUES (1, 1, 1)"));
    exec(QStringLiteral("INSERT INTO TABGEBOBJEKT (PID, OWNER_ID) VALUES ('O', '1')"));
    // Another seat holds an uncommitted change of the client row: the last statement of the delete fails.
    {
        OtherSeat other(dbFile, QStringLiteral("UPDATE MANDANTEN SET FIRMA = 'anderer Platz' WHERE MANDANT_NR = 1"));
        ShortLockWait wait;
        BrvCommit();
        EXPECT_THROW(DeleteMandant(1), EBrvException_DBERROR);
    }
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM ADRESSEN WHERE MANDANT_NR = 1")), 1);
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM TABGEBOBJEKT WHERE OWNER_ID = '1'")), 1);
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM MANDANTEN WHERE MANDANT_NR = 1")), 1);
}

TEST(MandantenClosed, NotConnectedListsAreNullAndReadsLeaveTheRecord) {
    SetBrvConnection(nullptr, nullptr);
    EXPECT_FALSE(GetAdressen(0).has_value());
    EXPECT_FALSE(GetKennzahlenHistList(0).has_value());
    TBrenvikMandant m;
    m.firma = QStringLiteral("unverändert");
    GetMandant(1, m);
    EXPECT_EQ(m.firma, QStringLiteral("unverändert"));
    EXPECT_THROW(GetMaxMandantNr(), EBrvException_DBERROR);
}

} // namespace
