#include "core/convert.h"
#include "db/indexwerte.h"
#include "db/versicherungswerte.h"
#include "support/fixtures.h"

#include <QDate>

namespace {

class RegisterTest : public SchemaDbTest {
protected:
    TBrenvikVersWerte asset(int nr, int sub, const QString& desc, double ahk = 1000) {
        TBrenvikVersWerte r;
        r.brv_mandant_nr = 1;
        r.mandant_nr = 1;
        r.anlage_nr = nr;
        r.anlage_sub_nr = sub;
        r.konto_nr = QStringLiteral("0420");
        r.anlagebezeichnung = desc;
        r.anschaffungsdatum = EncodeDate(2015, 3, 1);
        r.anschaffungsjahr = 2015;
        r.ahk = ahk;
        r.insert_ts = BrvNow();
        for (QString* f : {&r.elektronik_vers, &r.maschinen_vers, &r.lagerung_aussen, &r.geloescht, &r.bearbeitung,
                           &r.gebaeude, &r.software, &r.leasing, &r.gemietet, &r.feste_taxe})
            *f = QStringLiteral("0");
        r.quelle = QStringLiteral("IMPORT");
        return r;
    }
    QList<int> numbers(const std::optional<QList<TBrenvikVersWerte>>& list) {
        QList<int> n;
        for (const auto& r : *list)
            n << r.anlage_nr * 10 + r.anlage_sub_nr;
        return n;
    }
};

TEST_F(RegisterTest, InsertSaveReadAndFindWithQuotesAndUmlauts) {
    TBrenvikVersWerte r = asset(1, 0, QStringLiteral("Drehbank \"Müller\" O'Neil's"), 1234.567);
    r.gruppe = QStringLiteral("Gruppe 'A'");
    r.notiztext = QStringLiteral("Notiz ä'");
    r.konto_nr = QStringLiteral("04'20");
    InsertVersWert(r);
    BrvCommit();
    TBrenvikVersWerte back;
    FindVersWert(1, QStringLiteral("04'20"), QStringLiteral("Drehbank \"Müller\" O'Neil's"), back);
    EXPECT_EQ(back.anlage_nr, 1);
    EXPECT_EQ(back.ahk, 1234.57); // written with two decimals
    EXPECT_EQ(back.ahk_org, 1234.57);
    EXPECT_EQ(back.anlagebezeichnung_org, r.anlagebezeichnung);
    EXPECT_EQ(back.anschaffungsdatum_org, r.anschaffungsdatum);
    EXPECT_EQ(back.update_check, QStringLiteral("1"));
    EXPECT_EQ(back.gruppe, QStringLiteral("Gruppe 'A'"));
    EXPECT_EQ(back.zeitwert, 0.0);
    EXPECT_EQ(GetGruppen(1), QStringList{QStringLiteral("Gruppe 'A'")});
    EXPECT_THROW(FindVersWert(1, QStringLiteral("0420"), r.anlagebezeichnung, back), EBrvException_NODATA);

    // A save keeps the originals and follows the date with the year.
    back.anlagebezeichnung = QStringLiteral("geändert");
    back.anschaffungsdatum = EncodeDate(2018, 7, 1);
    back.anschaffungsjahr = 1;
    back.versicherungswert = 99.5;
    SaveVersWert(back);
    GetVersWert(1, 1, 0, back);
    EXPECT_EQ(back.anlagebezeichnung, QStringLiteral("geändert"));
    EXPECT_EQ(back.anschaffungsjahr, 2018);
    EXPECT_EQ(back.anlagebezeichnung_org, r.anlagebezeichnung);
    EXPECT_GT(back.update_ts, 0);
    TBrenvikVersWerte manual = asset(2, 0, QStringLiteral("Handeingabe"));
    manual.quelle = QStringLiteral("MANUELL");
    SaveVersWert(manual); // insert
    GetVersWert(1, 2, 0, back);
    EXPECT_EQ(back.quelle, QStringLiteral("MANUELL"));
    EXPECT_EQ(back.ahk_org, 0.0);
    try {
        GetVersWert(1, 3, 0, back);
        FAIL();
    } catch (const EBrvException_NODATA& e) {
        EXPECT_EQ(e.message(), QStringLiteral("Keine Daten verfuegbar"));
    }

    // Durable without a later commit: the transaction is thrown away right after.
    DeleteVersWert(1, 2, 0);
    reopen();
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM VERSICHERUNGSWERTE")), 1);
}

TEST_F(RegisterTest, FiltersNumbersAndNeighboursOnTheServer) {
    InsertVersWert(asset(1, 0, QStringLiteral("Pumpe gebr.")));
    InsertVersWert(asset(2, 0, QStringLiteral("Pumpe neu")));
    InsertVersWert(asset(3, 0, QStringLiteral("Regal"), 1));
    InsertVersWert(asset(3, 1, QStringLiteral("pumpe 100%_x")));
    InsertVersWert(asset(5, 0, QStringLiteral("Schrank GEBRAUCHT")));
    BrvCommit();
    exec(QStringLiteral("UPDATE VERSICHERUNGSWERTE SET VERSICHERUNGSWERT = 10 WHERE ANLAGE_NR IN (2, 5)"));
    exec(QStringLiteral("UPDATE VERSICHERUNGSWERTE SET BEARBEITUNG = '1', KONTO_NR = '0800' WHERE ANLAGE_NR = 5"));
    exec(QStringLiteral("INSERT INTO MANDANTEN (BRV_MANDANT_NR, MANDANT_NR, FIRMA) VALUES (1, 2, 'Andere')"));
    TBrenvikVersWerte other = asset(1, 0, QStringLiteral("Pumpe"));
    other.mandant_nr = 2;
    InsertVersWert(other);
    BrvCommit();

    EXPECT_EQ(numbers(GetVersWerteFiltered(0, false, false, {}, false, {}, {}, false)).size(), 6);
    EXPECT_EQ(numbers(GetVersWerteFiltered(1, true, false, {}, false, {}, {}, false)), (QList<int>{10, 30, 50}));
    EXPECT_EQ(numbers(GetVersWerteFiltered(1, true, false, {}, false, QStringLiteral("Pumpe"), {}, false)),
              QList<int>{10});
    EXPECT_EQ(numbers(GetVersWerteFiltered(1, false, false, {}, false, QStringLiteral("Pumpe"), {}, false)),
              (QList<int>{10, 20}));
    EXPECT_EQ(numbers(GetVersWerteFiltered(1, false, false, {}, false, QStringLiteral("100%_"), {}, false)),
              QList<int>{31});
    EXPECT_EQ(numbers(GetVersWerteFiltered(1, false, false, {}, true, QStringLiteral(" Pumpe neu "), {}, false)),
              QList<int>{20});
    EXPECT_EQ(numbers(GetVersWerteFiltered(1, false, true, {}, false, {}, {}, false)), (QList<int>{10, 30, 31}));
    EXPECT_EQ(numbers(GetVersWerteFiltered(1, false, false, {}, false, {}, QStringLiteral(" 0800 "), true)),
              QList<int>{50});
    EXPECT_EQ(numbers(GetVersWerteFiltered(1, false, false, QStringLiteral("ANLAGEBEZEICHNUNG"), false, {}, {}, false)),
              (QList<int>{10, 20, 30, 50, 31}));
    // A sort text that is no column list falls back to the number order instead of reaching the statement.
    EXPECT_EQ(numbers(GetVersWerteList(1, QStringLiteral("1; DROP TABLE X"))), (QList<int>{10, 20, 30, 31, 50}));
    EXPECT_EQ(GetVersWerteList(0, {})->size(), 6);

    EXPECT_EQ(GetMaxAnlageNr(1), 5);
    EXPECT_EQ(GetMaxAnlageNrFiltered(1, false, true, false), 3);
    EXPECT_EQ(GetMinAnlageNrFiltered(1, false, false, true), 5);
    EXPECT_EQ(GetMaxAnlageSubNr(1, 3), 1);
    EXPECT_EQ(GetNeighbourAnlageNr(1, 3, true, false, false, false), 5);
    EXPECT_EQ(GetNeighbourAnlageNr(1, 5, true, false, false, false), 0);
    EXPECT_EQ(GetNeighbourAnlageNr(1, 5, false, true, true, false), 3);
    EXPECT_EQ(GetMaxAnlageNr(7), 0);
}

TEST_F(RegisterTest, MarksSumsReconciliationAndYearFigures) {
    for (int nr = 1; nr <= 6; ++nr)
        InsertVersWert(asset(nr, 0, QStringLiteral("Anlage %1").arg(nr)));
    InsertVersWert(asset(6, 1, QStringLiteral("Teil")));
    InsertVersWert(asset(6, 2, QStringLiteral("Teil 2")));
    BrvCommit();
    exec(QStringLiteral("UPDATE VERSICHERUNGSWERTE SET VERSICHERUNGSWERT = ANLAGE_NR * 100"));
    exec(QStringLiteral("UPDATE VERSICHERUNGSWERTE SET QUELLE = 'MANUELL' WHERE ANLAGE_NR = 2"));
    exec(QStringLiteral("UPDATE VERSICHERUNGSWERTE SET GEMIETET = '1', ADRESS_NR = 2 WHERE ANLAGE_NR = 3"));
    exec(QStringLiteral("UPDATE VERSICHERUNGSWERTE SET LEASING = '1', ANLAGENTYP_ID = 1 WHERE ANLAGE_NR = 4"));
    exec(QStringLiteral("UPDATE VERSICHERUNGSWERTE SET GEBAEUDE = NULL, ANLAGENTYP_ID = 2 WHERE ANLAGE_NR = 5"));

    EXPECT_EQ(GetSumVersWertAnlagen(1, 0), 100 + 200 + 300 + 400 + 3 * 600.0); // the null building flag does not count
    EXPECT_EQ(GetSumVersWertAnlagen(1, 2), 300.0);
    EXPECT_EQ(GetSumVersWertKfz(1, 0), 400.0);
    EXPECT_EQ(GetSumVersWertFinanzanlagen(1, 0), 500.0);

    SetLoeschmarkierung(1, 6, 1, true);
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM VERSICHERUNGSWERTE WHERE ANLAGE_NR = 6 AND GELOESCHT = '1'")),
              3);
    SetLoeschmarkierung(1, 6, 0, false);
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM VERSICHERUNGSWERTE WHERE GELOESCHT = '1'")), 0);

    // A new import confirmed asset 1 only.
    ResetUpdateCheck(1);
    exec(QStringLiteral("UPDATE VERSICHERUNGSWERTE SET UPDATE_CHECK = '1' WHERE ANLAGE_NR = 1"));
    MarkAbgaenge(1, 2024);
    EXPECT_EQ(
        scalar(QStringLiteral("SELECT LIST(ANLAGE_NR || '/' || ANLAGE_SUB_NR, ',') FROM (SELECT ANLAGE_NR, "
                              "ANLAGE_SUB_NR FROM VERSICHERUNGSWERTE WHERE GELOESCHT = '1' AND ABGANGSJAHR = 2024 "
                              "ORDER BY 1, 2)")),
        QStringLiteral("5/0,6/0,6/1,6/2")); // hand-entered, rented and leased assets stay

    ExchangeKategorie(1, 0, 443);
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM VERSICHERUNGSWERTE WHERE KATEGORIE_NR = 443")), 8);

    // Additions of last year, disposals of last year.
    const int last = QDate::currentDate().year() - 1;
    BrvExec(QStringLiteral("UPDATE VERSICHERUNGSWERTE SET ANSCHAFFUNGSDATUM = ? WHERE ANLAGE_NR = 1"),
            SqlTs{EncodeDate(last, 5, 1)});
    BrvExec(QStringLiteral("UPDATE VERSICHERUNGSWERTE SET ABGANGSJAHR = ?, GELOESCHT = '0' WHERE ANLAGE_NR = 2"), last);
    BrvCommit();
    QString zugang, abgang;
    GetVersWertZugangVorjahr(1, zugang);
    GetVersWertAbgangVorjahr(1, abgang);
    EXPECT_EQ(zugang, QStringLiteral("100"));
    EXPECT_EQ(abgang, QStringLiteral("200"));
    GetVersWertZugangVorjahr(9, zugang);
    EXPECT_EQ(zugang, QString());

    exec(QStringLiteral("UPDATE VERSICHERUNGSWERTE SET NOTIZTEXT = 'Kurz' WHERE ANLAGE_NR = 1"));
    BrvExec(QStringLiteral("UPDATE VERSICHERUNGSWERTE SET NOTIZTEXT = ? WHERE ANLAGE_NR = 2"),
            QStringLiteral("Zeile eins\r\nZeile zwei, die ziemlich lang ist und weit über fünfzig Zeichen hinausgeht"));
    BrvExec(QStringLiteral("UPDATE VERSICHERUNGSWERTE SET NOTIZTEXT = ? WHERE ANLAGE_NR = 3"), QStringLiteral("\r\n"));
    BrvCommit();
    const QList<TBrenvikNotes> notes = GetNotizen(1);
    ASSERT_EQ(notes.size(), 2);
    QStringList shorts;
    for (const auto& n : notes)
        shorts << n.notiztext_kurz;
    shorts.sort();
    EXPECT_EQ(shorts, (QStringList{"Kurz", "Zeile einsZeile zwei, die ziemlich lang ist und "}));
}

TEST_F(RegisterTest, IndexSeriesAndStagingRows) {
    EXPECT_EQ(GetMaxIndexjahr(), 0);
    for (auto [kat, text] : {std::pair{1, "Stahlbau"}, std::pair{2, "Werkzeuge aus stahl"}, std::pair{3, "Holz"}}) {
        TBrenvikIndexBeschr b;
        b.kategorie_nr = kat;
        b.index_text = QString::fromUtf8(text);
        b.nutzungsdauer = kat * 5;
        InsertIndexBeschreibung(b);
    }
    EXPECT_EQ(SearchIndexBeschreibungen(QStringLiteral("STAHL"))->size(), 2);
    EXPECT_EQ(SearchIndexBeschreibungen({})->size(), 3);
    auto value = [](int kat, int year, double v) {
        TBrenvikIndexwert w;
        w.kategorie_nr = kat;
        w.indexjahr = static_cast<qint16>(year);
        w.indexwert = v;
        InsertIndexwert(w);
    };
    value(1, 2001, 80);
    value(1, 2009, 100);
    value(2, 2001, 0);
    value(2, 2009, 100);
    value(3, 2001, 50);
    value(3, 2009, 60);
    EXPECT_EQ(GetMaxIndexjahr(), 2009);
    const auto with = SearchIndexBeschreibungenMitWerten({}, 2001);
    ASSERT_EQ(with->size(), 2);
    EXPECT_EQ(with->at(0).kategorie_nr, 1);
    EXPECT_EQ(with->at(1).kategorie_nr, 3);
    EXPECT_EQ(SearchIndexBeschreibungenMitWerten(QStringLiteral("HOLZ"), 2001)->size(), 1);
    EXPECT_EQ(GetIndexwert(1, EncodeDate(2009, 12, 31)), 100.0);
    EXPECT_EQ(GetIndexwert(1, EncodeDate(2005, 1, 1)), 0.0);
    EXPECT_EQ(GetNutzungsdauer(3), 15);
    EXPECT_EQ(GetNutzungsdauer(9), 0);
    EXPECT_TRUE(ExistsKategorie(2));
    EXPECT_FALSE(ExistsKategorie(9));
    TBrenvikIndexBeschr b;
    GetIndexBeschreibung(3, b);
    EXPECT_EQ(b.index_text, QStringLiteral("Holz"));
    GetIndexBeschreibung(9, b);
    EXPECT_EQ(b.kategorie_nr, 0);
    EXPECT_TRUE(b.index_text.isEmpty());

    BrvActiveTrans();
    EXPECT_FALSE(DeleteIndexwerteJahr(2001));
    EXPECT_FALSE(DeleteAllIndexBeschreibungen());
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM INDEXWERTE")), 3);
    EXPECT_TRUE(DeleteIndexwerteJahr(2009)); // the transaction is not active: reported, not raised

    int line = 0;
    for (const char* konto : {"100", "100", "200"}) {
        TBrenvikDatenimport d;
        d.mandant_nr = 1;
        d.zeile_nr = ++line;
        d.konto_nr = QString::fromLatin1(konto);
        d.anlagebezeichnung = QStringLiteral("Zeile '%1' ü").arg(line);
        d.ahk = 10.5;
        InsertDatenimport(d);
    }
    EXPECT_EQ(GetDoppelteKontoNr(1), QStringList{QStringLiteral("100")});
    TBrenvikDatenimport d;
    GetDatenimport(1, 3, d);
    EXPECT_EQ(d.anlagebezeichnung, QStringLiteral("Zeile '3' ü"));
    EXPECT_EQ(d.ahk, 10.5);
    EXPECT_THROW(GetDatenimport(1, 4, d), EBrvException_NODATA);
    DeleteDatenimporte(1);
    EXPECT_THROW(GetDatenimport(1, 1, d), EBrvException_NODATA);
}

} // namespace

namespace {

TEST_F(RegisterTest, AMainAssetGoesWithItsRelatedAssetsAtOnce) {
    for (const auto& [nr, sub] : {std::pair{7, 0}, {7, 1}, {7, 2}, {8, 0}})
        BrvExec(QStringLiteral("INSERT INTO VERSICHERUNGSWERTE (BRV_MANDANT_NR, MANDANT_NR, ANLAGE_NR, ANLAGE_SUB_NR) "
                               "VALUES (1, 1, ?, ?)"),
                nr, sub);
    BrvCommit();
    DeleteVersWertMitVerbund(1, 7);
    reopen();
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM VERSICHERUNGSWERTE WHERE ANLAGE_NR = 7")), 0);
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM VERSICHERUNGSWERTE WHERE ANLAGE_NR = 8")), 1);
}

} // namespace

TEST_F(RegisterTest, AnInMemorySortGivesTheOrderOfTheDatabase) {
    const QStringList texts = {QStringLiteral("Zange"),    QStringLiteral("Äxte"),    QStringLiteral("axt"),
                               QStringLiteral("Öl-Pumpe"), QStringLiteral("Ölpumpe"), QStringLiteral("Übergabe"),
                               QStringLiteral("Zange"),    QStringLiteral("  Band"),  QStringLiteral("Bänder"),
                               QStringLiteral("ß-Teil"),   QStringLiteral("Euro €"),  QString()};
    for (int i = 0; i < texts.size(); ++i) {
        TBrenvikVersWerte r = asset(20 - i, i % 3, texts[i], (i * 37) % 5 * 100.5);
        r.konto_nr = QStringLiteral("0%1").arg(400 + (i * 7) % 4);
        r.anschaffungsdatum = EncodeDate(2010 + i % 4, 1 + i % 12, 1);
        r.versicherungswert = (i % 3) * 10.25;
        r.elektronik_vers = QString::number(i % 2);
        r.maschinen_vers = QString::number((i / 2) % 2);
        r.kategorie_nr = i % 5;
        r.geloescht = i == 4 ? QStringLiteral("1") : QStringLiteral("0");
        InsertVersWert(r);
    }
    BrvCommit();
    for (const char* field : {"", "KONTO_NR", "ANLAGEBEZEICHNUNG", "ANSCHAFFUNGSDATUM", "AHK", "VERSICHERUNGSWERT",
                              "ELEKTRONIK_VERS", "MASCHINEN_VERS", "KATEGORIE_NR", "GELOESCHT"}) {
        QList<TBrenvikVersWerte> rows = *GetVersWerteList(1, QString());
        ASSERT_TRUE(SortVersWerteLike(rows, QString::fromLatin1(field))) << field;
        // The database's order of the field with the asset number among equal values.
        const QString order =
            *field ? QString::fromLatin1(field) + QStringLiteral(";ANLAGE_NR;ANLAGE_SUB_NR") : QString();
        EXPECT_EQ(numbers(rows), numbers(GetVersWerteList(1, order))) << field;
    }
    QList<TBrenvikVersWerte> rows = *GetVersWerteList(1, QString());
    EXPECT_FALSE(SortVersWerteLike(rows, QStringLiteral("BEARBEITUNG; DROP TABLE")));
    EXPECT_EQ(numbers(rows), numbers(GetVersWerteList(1, QString())));
}
