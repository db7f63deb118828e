// The valuation rules against values computed by hand, and the batch run over stored rows.

#include "assets/batch_valuation.h"
#include "assets/valuation.h"
#include "db/brenvik_config.h"
#include "core/convert.h"
#include "db/indexwerte.h"
#include "db/versicherungswerte.h"
#include "support/fixtures.h"

#include <QDate>

namespace {

const int Y = QDate::currentDate().year();
const QString kVwPrefix = QStringLiteral("Fehler bei der Ermittlung des Versicherungswertes.\r\nSystemmeldung: ");

TDateTime jan(int year) {
    return EncodeDate(year, 1, 1);
}
TDateTime mid(int year) {
    return EncodeDate(year, 6, 15);
}

class ValuationTest : public SchemaDbTest {
protected:
    void SetUp() override {
        SchemaDbTest::SetUp();
        // Series 10 runs up to last year (the newest index year), series 11 stops three years ago.
        for (int year = Y - 12; year <= Y - 1; ++year)
            value(10, year, 80.0 + (year - (Y - 12)) * 2.0);
        for (int year = Y - 12; year <= Y - 3; ++year)
            value(11, year, 90.0);
        describe(10, 10, QStringLiteral("Maschinen Stahlbau"));
        describe(11, 8, QStringLiteral("Büromöbel"));
        describe(12, 0, QStringLiteral("Ohne Nutzungsdauer"));
    }
    void value(int kat, int year, double v) {
        TBrenvikIndexwert w;
        w.kategorie_nr = kat;
        w.indexjahr = static_cast<qint16>(year);
        w.indexwert = v;
        w.insert_ts = BrvNow();
        InsertIndexwert(w);
    }
    void describe(int kat, int nd, const QString& text) {
        TBrenvikIndexBeschr b;
        b.kategorie_nr = kat;
        b.nutzungsdauer = nd;
        b.index_text = text;
        b.sichtbar = QStringLiteral("1");
        InsertIndexBeschreibung(b);
    }
    double idx10(int year) const { return 80.0 + (year - (Y - 12)) * 2.0; }
    QString vwError(int kat, double ahk, TDateTime date) {
        try {
            CalcVersWert(1, kat, ahk, date, jan(GetMaxIndexjahr()), 1.0);
        } catch (const EBrvCalcVWError& e) {
            return e.message();
        }
        return {};
    }
};

TEST_F(ValuationTest, InsuredValueFollowsTheIndexRatioAndTheFailureTexts) {
    ASSERT_EQ(GetMaxIndexjahr(), Y - 1);
    const TDateTime ref = Bezugsdatum(GetMaxIndexjahr());
    EXPECT_EQ(ref, jan(Y - 1));
    // This and last year: cost times factor, whatever the category.
    EXPECT_DOUBLE_EQ(CalcVersWert(1, 0, 1000, mid(Y), ref, 1.19 / 1.16), 1000 * (1.19 / 1.16));
    EXPECT_DOUBLE_EQ(CalcVersWert(1, 99, 1000, mid(Y - 1), ref, 1.0), 1000);
    // Older: carried forward with the ratio of the newest and the acquisition year's value.
    EXPECT_DOUBLE_EQ(CalcVersWert(1, 10, 1000, mid(Y - 5), ref, 1.0), (idx10(Y - 1) / idx10(Y - 5)) * 1000);
    EXPECT_DOUBLE_EQ(CalcVersWert(1, 10, 0.5, mid(Y - 5), ref, 1.1), ((idx10(Y - 1) / idx10(Y - 5)) * 0.5) * 1.1);
    EXPECT_EQ(vwError(10, 0, mid(Y)), kVwPrefix + QStringLiteral("Ungueltige Parameter (Mandantenschluessel, AHK)"));
    EXPECT_THROW(CalcVersWert(0, 10, 100, mid(Y), ref, 1.0), EBrvCalcVWError);
    EXPECT_EQ(vwError(0, 100, mid(Y - 2)), kVwPrefix + QStringLiteral("Ungueltige Parameter (Indexnummer)"));
    const QString noIndex = kVwPrefix + QStringLiteral("Es konnten keine gueltigen Indexwerte ermittelt werden.");
    EXPECT_EQ(vwError(11, 100, mid(Y - 5)), noIndex);  // series ends before the newest year
    EXPECT_EQ(vwError(10, 100, mid(Y - 30)), noIndex); // before the series
    EXPECT_EQ(vwError(10, 100, mid(Y + 1)), noIndex);  // a future year has no value
    EXPECT_EQ(vwError(77, 100, mid(Y - 5)), noIndex);  // no rows at all
    value(10, Y + 1, 120);                             // ... unless it has one
    EXPECT_DOUBLE_EQ(CalcVersWert(1, 10, 100, mid(Y + 1), jan(Y + 1), 1.0), 100);
}

TEST_F(ValuationTest, CurrentValueCurveFloorAndUsefulLife) {
    const double vw = 1000;
    auto zw = [&](int nd, int kat, int age) { return CalcZeitWert(nd, kat, vw, mid(Y - age)); };
    EXPECT_DOUBLE_EQ(zw(10, 0, 2), 1000);
    EXPECT_NEAR(zw(10, 0, 3), 676, 1e-9);
    EXPECT_NEAR(zw(10, 0, 5), 500, 1e-9);
    EXPECT_NEAR(zw(10, 0, 10), 200, 1e-9);
    EXPECT_DOUBLE_EQ(zw(10, 0, 11), 100);
    EXPECT_DOUBLE_EQ(zw(2, 0, 3), 100);                          // a short life: every age above 2 is the floor
    EXPECT_DOUBLE_EQ(CalcZeitWert(10, 0, vw, mid(Y + 3)), 1000); // future acquisition: unchanged
    // Useful life from the category when the asset has none.
    EXPECT_NEAR(zw(0, 11, 4), 1000 * (1 - 1.2 * 0.5 + 0.4 * 0.25), 1e-9);
    EXPECT_DOUBLE_EQ(zw(0, 12, 2), 1000);
    try {
        zw(0, 12, 5);
        FAIL();
    } catch (const EBrvCalcZWError& e) {
        EXPECT_EQ(e.message(), QStringLiteral("Der Parameter Nutzungsdauer ist ungueltig oder nicht vorhanden"));
    }
    EXPECT_THROW(zw(0, 77, 5), EBrvCalcZWError);
}

TEST_F(ValuationTest, VatFactorFromTheRateHistoryCachedAlike) {
    const TDateTime today = BrvNow();
    const VatRates rates;
    struct Case {
        TDateTime acquired;
        double expected;
    } cases[] = {
        {EncodeDate(1967, 12, 31), 1.0},       // before the table
        {EncodeDate(1968, 1, 1), 1.19 / 1.10}, // first row
        {EncodeDate(2006, 5, 1), 1.19 / 1.16},  {EncodeDate(1992, 5, 1), 1.19 / 1.14},
        {EncodeDate(2020, 8, 15), 1.19 / 1.16}, // the cut of the second half of 2020
        {EncodeDate(2021, 1, 1), 1.0},          // same period as today
    };
    for (const Case& c : cases) {
        EXPECT_DOUBLE_EQ(GetMwstFaktor(c.acquired, today), c.expected)
            << FormatDateTimeLocal("DD.MM.YYYY", c.acquired).toStdString();
        EXPECT_DOUBLE_EQ(rates.faktor(c.acquired, today), c.expected);
    }
    exec(QStringLiteral("DELETE FROM STEUERSAETZE WHERE GUELTIG_VON < '01.01.1990'"));
    const VatRates gap;
    EXPECT_DOUBLE_EQ(GetMwstFaktor(EncodeDate(1985, 1, 1), today), 1.0); // no rate row covers the date
    EXPECT_DOUBLE_EQ(gap.faktor(EncodeDate(1985, 1, 1), today), 1.0);
}

TEST_F(ValuationTest, StoredRowRule) {
    CachedIndexSource src;
    const VatRates rates;
    const TDateTime ref = Bezugsdatum(Y - 1);
    TBrenvikVersWerte r;
    r.mandant_nr = 1;
    r.ahk = 1000;
    r.kategorie_nr = 10;
    r.anschaffungsdatum = mid(Y - 5);
    r.nutzungsdauer = 10;
    r.zeitwert = 42;
    for (const QString& mark : {QStringLiteral("1"), QString()}) {
        r.geloescht = mark;
        EXPECT_FALSE(ValueStoredRow(r, true, ref, src, rates).valued);
        EXPECT_EQ(r.versicherungswert, 0.0);
    }
    r.geloescht = QStringLiteral("0");
    r.feste_taxe = QStringLiteral("1");
    EXPECT_TRUE(ValueStoredRow(r, false, ref, src, rates).valued);
    EXPECT_EQ(r.versicherungswert, 1000.0);
    EXPECT_EQ(r.zeitwert, 42.0);
    r.feste_taxe = QStringLiteral("0");
    ValueStoredRow(r, true, ref, src, rates); // deducts input tax: no factor
    const double expectedVw = (idx10(Y - 1) / idx10(Y - 5)) * 1000;
    EXPECT_DOUBLE_EQ(r.versicherungswert, expectedVw);
    EXPECT_NEAR(r.zeitwert, expectedVw * 0.5, 1e-9);
    r.anschaffungsdatum = EncodeDate(Y - 5, 3, 1);
    ValueStoredRow(r, false, ref, src, rates);
    EXPECT_DOUBLE_EQ(r.versicherungswert, expectedVw * GetMwstFaktor(r.anschaffungsdatum, BrvNow()));
    r.kategorie_nr = 11;
    r.nutzungsdauer = 0;
    const RowValuation v = ValueStoredRow(r, true, ref, src, rates);
    EXPECT_TRUE(v.vwFailed);
    EXPECT_EQ(r.versicherungswert, 0.0);
    EXPECT_EQ(r.zeitwert, 0.0);
}

class BatchTest : public ValuationTest {
protected:
    void addAsset(int nr, int sub, int kat, int yearsAgo, const char* geloescht = "0", const char* feste = "0") {
        BrvExec(QStringLiteral("INSERT INTO VERSICHERUNGSWERTE (BRV_MANDANT_NR, MANDANT_NR, ANLAGE_NR, ANLAGE_SUB_NR, "
                               "AHK, KATEGORIE_NR, ANSCHAFFUNGSDATUM, NUTZUNGSDAUER, GELOESCHT, FESTE_TAXE, ZEITWERT) "
                               "VALUES (1, 1, ?, ?, 1000, ?, ?, 10, ?, ?, 7)"),
                nr, sub, kat, SqlTs{mid(Y - yearsAgo)}, QString::fromLatin1(geloescht), QString::fromLatin1(feste));
        BrvCommit();
    }
    double stored(int nr, int sub, const char* col) {
        return scalar(QStringLiteral("SELECT %1 FROM VERSICHERUNGSWERTE WHERE MANDANT_NR = 1 AND ANLAGE_NR = %2 AND "
                                     "ANLAGE_SUB_NR = %3")
                          .arg(QLatin1String(col))
                          .arg(nr)
                          .arg(sub))
            .toDouble();
    }
};

TEST_F(BatchTest, ValuesListedRowsCountsAndStopsOrCancels) {
    addAsset(1, 0, 10, 5);
    addAsset(2, 0, 10, 5, "1");      // marked deleted: skipped
    addAsset(3, 0, 11, 5);           // no index value: valued as 0
    addAsset(4, 0, 10, 5, "0", "1"); // fixed value
    QList<BatchRow> rows = AllAssetRows(1);
    ASSERT_EQ(rows.size(), 4);
    rows.insert(1, {99, 0}); // gone from the register meanwhile
    BatchOptions o;
    o.mandantNr = 1;
    o.bVAT = true;
    QList<int> seen;
    o.rowValued = [&](int n, const TBrenvikVersWerte&) { seen << n; };
    BatchResult r = RunBatchValuation(rows, o);
    EXPECT_EQ(r.valued, 3);
    EXPECT_EQ(r.skipped, 1);
    EXPECT_EQ(r.failed, 1);
    EXPECT_EQ(r.withoutValue, 1);
    EXPECT_EQ(seen, (QList<int>{0, 3, 4}));
    reopen(); // what the run wrote is committed
    const double vw = (idx10(Y - 1) / idx10(Y - 5)) * 1000;
    EXPECT_DOUBLE_EQ(stored(1, 0, "VERSICHERUNGSWERT"), vw);
    EXPECT_NEAR(stored(1, 0, "ZEITWERT"), vw * 0.5, 1e-9);
    EXPECT_EQ(stored(2, 0, "VERSICHERUNGSWERT"), 0.0);
    EXPECT_EQ(stored(3, 0, "VERSICHERUNGSWERT"), 0.0);
    EXPECT_EQ(stored(4, 0, "VERSICHERUNGSWERT"), 1000.0);
    EXPECT_EQ(stored(4, 0, "ZEITWERT"), 7.0);
    EXPECT_EQ(stored(1, 0, "ANSCHAFFUNGSJAHR"), Y - 5);

    exec(QStringLiteral("UPDATE VERSICHERUNGSWERTE SET VERSICHERUNGSWERT = 0"));
    o.stopOnError = true;
    r = RunBatchValuation(rows, o);
    EXPECT_TRUE(r.stopped);
    EXPECT_EQ(r.stopIndex, 1);
    EXPECT_EQ(r.stopAnlageNr, 99);
    EXPECT_EQ(r.valued, 1);
    reopen();
    EXPECT_DOUBLE_EQ(stored(1, 0, "VERSICHERUNGSWERT"), vw); // valued before the stop: kept
    EXPECT_EQ(stored(4, 0, "VERSICHERUNGSWERT"), 0.0);

    o.stopOnError = false;
    o.commitEvery = 1;
    o.progress = [](int n, int) { return n < 3; };
    exec(QStringLiteral("UPDATE VERSICHERUNGSWERTE SET VERSICHERUNGSWERT = 0"));
    r = RunBatchValuation(rows, o);
    EXPECT_TRUE(r.cancelled);
    reopen();
    EXPECT_DOUBLE_EQ(stored(1, 0, "VERSICHERUNGSWERT"), vw);
    EXPECT_EQ(stored(4, 0, "VERSICHERUNGSWERT"), 0.0);
}

} // namespace

namespace {

TEST_F(BatchTest, ReindexingStartsAtTheEarliestYearAndStoresTheNewSeries) {
    addAsset(1, 0, 11, 5);
    addAsset(2, 0, 11, 8);
    TBrenvikVersWerte a, b;
    GetVersWert(1, 1, 0, a);
    GetVersWert(1, 2, 0, b);
    EXPECT_EQ(ReindexStartYear({a, b}), Y - 8);
    b.anschaffungsdatum = 1e12; // no date a calendar has
    EXPECT_EQ(ReindexStartYear({a, b}), GetMaxIndexjahr());

    const TBrenvikVersWerte r = ReindexVersWert(1, 1, 0, 10, true);
    const double expected = CalcVersWert(1, 10, 1000, mid(Y - 5), Bezugsdatum(GetMaxIndexjahr()), 1.0);
    EXPECT_EQ(r.kategorie_nr, 10);
    EXPECT_DOUBLE_EQ(r.versicherungswert, expected);
    EXPECT_EQ(stored(1, 0, "KATEGORIE_NR"), 10);
    EXPECT_DOUBLE_EQ(stored(1, 0, "VERSICHERUNGSWERT"), expected);
    EXPECT_EQ(stored(1, 0, "ZEITWERT"), 7); // only the insured value follows the series

    // Without the input-tax deduction the VAT factor applies.
    const TBrenvikVersWerte withVat = ReindexVersWert(1, 2, 0, 10, false);
    EXPECT_DOUBLE_EQ(withVat.versicherungswert, CalcVersWert(1, 10, 1000, mid(Y - 8), Bezugsdatum(GetMaxIndexjahr()),
                                                             GetMwstFaktor(mid(Y - 8), BrvNow())));

    // A series without a value for the acquisition year changes nothing.
    EXPECT_THROW(ReindexVersWert(1, 2, 0, 99, true), EBrvCalcVWError);
    EXPECT_EQ(stored(2, 0, "KATEGORIE_NR"), 10);
}

} // namespace
