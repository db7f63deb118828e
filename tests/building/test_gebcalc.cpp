#include "building/gebmodel.h"
#include "db/brenvik_types.h"
#include "platform/dialogs.h"

#include <QDate>
#include <QRegularExpression>

#include <cfenv>

#include <gtest/gtest.h>

namespace {

class GebCalcTest : public ::testing::Test {
protected:
    platform::ScriptedDialogs dialogs;
    platform::ScopedDialogs scoped{dialogs};

    // The worked example: EUR guide prices, basis "Neuwert", VAT included and liable.
    static TGebBuilding example() {
        TGebBuilding b(QStringLiteral("OBJ"));
        b.Versart = QStringLiteral("Neuwert");
        b.Produkt = 100000;
        b.Kosten = 1000;
        b.Umsatzsteuer = true;
        b.Alter = 20;
        b.Lebensdauer = 80;
        b.Zustand = QStringLiteral("Normale Instandhaltung");
        return b;
    }
};

TEST_F(GebCalcTest, NewBuildingsIdentifiersAndTheYearOfConstruction) {
    TGebBuilding a(QStringLiteral("OBJ")), b(QStringLiteral("OBJ"));
    EXPECT_NE(a.PID, b.PID);
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^[0-9A-F]{32}$")).match(a.PID).hasMatch());
    EXPECT_EQ(a.GebObj_ID, QStringLiteral("OBJ"));
    EXPECT_EQ(a.VERSSTEUER, 14);
    EXPECT_EQ(a.DimCaption, QStringLiteral("Fläche"));
    EXPECT_EQ(a.CreateDate, QDate::currentDate().toString(QStringLiteral("dd.MM.yyyy")));
    EXPECT_EQ(a.Alter, 0);
    a.setBaujahr(QStringLiteral("1990"));
    EXPECT_EQ(a.Alter, QDate::currentDate().year() - 1990);
    a.setBaujahr(QStringLiteral("   "));
    EXPECT_EQ(a.Alter, 0);
    EXPECT_THROW(a.setBaujahr(QStringLiteral("19x0")), EBrvTypeConversionError);
    EXPECT_EQ(a.Baujahr(), QStringLiteral("19x0"));
    // Two digits, a year in the future or before any building: refused, the age stays as it was.
    a.setBaujahr(QStringLiteral("1990"));
    for (const QString& bad : {QStringLiteral("85"), QString::number(QDate::currentDate().year() + 1),
                               QStringLiteral("0999"), QStringLiteral("19850")})
        EXPECT_THROW(a.setBaujahr(bad), EBrvTypeConversionError) << bad.toStdString();
    EXPECT_EQ(a.Alter, QDate::currentDate().year() - 1990);
    const TGebObjekt o(QStringLiteral("P"), QStringLiteral("12"));
    EXPECT_EQ(o.CreateDate, a.CreateDate);
    EXPECT_FALSE(o.UstPflicht);
}

TEST_F(GebCalcTest, DepreciationStaysWithinItsBoundsAndTheCurrentValueFollowsTheFigures) {
    TGebBuilding b = example();
    // Far beyond the useful life: every curve ends at its end, the current value never below 0.
    b.Alter = 2020;
    for (const char* z : {"Nachlässige Instandhaltung", "Normale Instandhaltung", "Sorgfältige Instandhaltung",
                          "Sehr sorgfältige Instandhaltung"}) {
        b.Zustand = QString::fromUtf8(z);
        ASSERT_TRUE(b.Calculate(QStringLiteral("EUR"), 100, 120, 6.5, true, 1.19));
        EXPECT_GE(b.WertminderungPercent, 80) << z;
        EXPECT_LE(b.WertminderungPercent, 100) << z;
        EXPECT_GE(b.Zeitwert, 0) << z;
        b.DeriveSaveTexts();
        EXPECT_LE(b.ZeitwertPercent.size(), 10) << b.ZeitwertPercent.toStdString();
        EXPECT_FALSE(b.ZeitwertPercent.startsWith(QLatin1Char('-')));
        EXPECT_LE(b.WMSelected.size(), 10);
    }
    // The curve after Vogel no longer falls again past the useful life.
    b.Zustand = QStringLiteral("Nachlässige Instandhaltung");
    b.Alter = 80;
    const double atEnd = b.GetWertminderungPercentByZustand(b.Zustand);
    b.Alter = 240;
    EXPECT_EQ(b.GetWertminderungPercentByZustand(b.Zustand), atEnd);
    // Age or useful life 0: no depreciation, and the current value is the insured value, not the old one.
    b.Alter = 20;
    ASSERT_TRUE(b.Calculate(QStringLiteral("EUR"), 100, 120, 6.5, true, 1.19));
    ASSERT_LT(b.Zeitwert, b.VersWert);
    b.Lebensdauer = 0;
    ASSERT_TRUE(b.Calculate(QStringLiteral("EUR"), 100, 120, 6.5, true, 1.19));
    EXPECT_EQ(b.Wertminderung, 0);
    EXPECT_EQ(b.Zeitwert, b.VersWert);
    // An amount no building has is refused with a message, not stored as an overlong text.
    b.Produkt = 1e18;
    EXPECT_FALSE(b.Calculate(QStringLiteral("EUR"), 100, 120, 6.5, true, 1.19));
    ASSERT_FALSE(dialogs.calls.isEmpty());
    EXPECT_TRUE(dialogs.calls.last().text.contains(QStringLiteral("nicht plausibel")));
}

TEST_F(GebCalcTest, WorkedExampleToTheCentAndText) {
    TGebBuilding b = example();
    ASSERT_TRUE(b.Calculate(QStringLiteral("EUR"), 100, 120, 6.5, true, 1.19));
    EXPECT_EQ(b.ProduktIdx, 120000.00);
    EXPECT_EQ(b.KostenIdx, 6500.00);
    EXPECT_EQ(b.WiederBPreisOrg, 126500.00);
    EXPECT_EQ(b.RNDWiederKost, QStringLiteral("129.771,55"));
    EXPECT_EQ(b.SummeNK, QStringLiteral("18.168,02"));
    EXPECT_EQ(b.SummeBau, QStringLiteral("147.939,57"));
    EXPECT_EQ(b.SummeBauRound, QStringLiteral("148.000,00"));
    EXPECT_EQ(b.VersWert, 147940);
    EXPECT_EQ(b.WertminderungPercent, 25);
    EXPECT_EQ(b.Wertminderung, 36985.00);
    EXPECT_EQ(b.Zeitwert, 110955);
    EXPECT_TRUE(b.UStKorrektur);
    EXPECT_EQ(b.VersArtStr, QStringLiteral("Versicherungswert zum Neuwert"));
    EXPECT_EQ(b.CurRichtpreis, QStringLiteral("EUR"));
    EXPECT_EQ(b.CurBaupreise, QStringLiteral("EUR"));
    EXPECT_EQ(b.RNDProduktIDX, QStringLiteral("120.000,00"));
    EXPECT_EQ(b.RNDKostenIDX, QStringLiteral("6.500,00"));
    EXPECT_EQ(b.RNDAufzugIDX, QStringLiteral("0,00"));
    EXPECT_EQ(b.RNDZeitwert, QStringLiteral("110.955,00"));
    b.DeriveSaveTexts();
    EXPECT_EQ(b.ZeitwertPercent, QStringLiteral("75,00"));
    EXPECT_EQ(b.WM1, QStringLiteral("27,50 %"));
    EXPECT_EQ(b.WM2, QStringLiteral("25,00 %"));
    EXPECT_EQ(b.WM3, QStringLiteral("15,62 %")); // 15.625 with ties to even
    EXPECT_EQ(b.WM4, QStringLiteral("6,25 %"));
    EXPECT_EQ(b.WMSelected, QStringLiteral("25,00 %"));
    EXPECT_EQ(b.CaptionCUR, QStringLiteral("EUR"));
    EXPECT_TRUE(dialogs.calls.isEmpty());
    EXPECT_EQ(std::fegetround(), FE_TONEAREST);
}

TEST_F(GebCalcTest, RoundingsDiffer) {
    EXPECT_EQ(GebRoundCent(0.125), 0.12); // ties to even
    EXPECT_EQ(GebRoundCent(0.375), 0.38);
    EXPECT_EQ(GebRoundCent(-0.125), -0.12);
    // Upwards explicitly, without a switch of the FPU's mode (which the optimizer moves arithmetic across).
    EXPECT_EQ(GebRoundUpDigits(148000.0, -3), 148000.0);
    EXPECT_EQ(GebRoundUpDigits(148000.01, -3), 149000.0);
    EXPECT_DOUBLE_EQ(GebRoundUpDigits(0.121, 2), 0.13);
    EXPECT_EQ(GebRoundDigits(148500.0, -3), 148000.0); // ties to even
    EXPECT_EQ(GebRoundDigits(2.5, 0), 2.0);
    EXPECT_EQ(GebRoundDigits(1500.0, -3), 2000.0);

    // The thousands ceiling of the whole calculation: at a multiple of 1000 and just above it.
    TGebBuilding b(QStringLiteral("OBJ"));
    b.Versart = QStringLiteral("MK (Mark1914)");
    b.VERSSTEUER = 0;
    b.Produkt = 148000;
    ASSERT_TRUE(b.Calculate(QStringLiteral("MK"), 0, 0, 0, false, 1));
    EXPECT_EQ(b.SummeBauRound, QStringLiteral("148.000,00"));
    b.Produkt = 148000.01;
    ASSERT_TRUE(b.Calculate(QStringLiteral("MK"), 0, 0, 0, false, 1));
    EXPECT_EQ(b.SummeBauRound, QStringLiteral("149.000,00"));
    EXPECT_EQ(b.VersWert, 148000); // whole units after the ceiling text
}

TEST_F(GebCalcTest, DepreciationCurves) {
    TGebBuilding b(QStringLiteral("OBJ"));
    b.Alter = 10;
    b.Lebensdauer = 40;
    EXPECT_EQ(b.GetWertminderungPercentByZustand(QStringLiteral("Sorgfältige Instandhaltung")), 15.62);
    EXPECT_EQ(b.GetWertminderungPercentByZustand(QStringLiteral("Nachlässige Instandhaltung")), 27.5);
    EXPECT_EQ(b.GetWertminderungPercentByZustand(QStringLiteral("Normale Instandhaltung")), 25);
    EXPECT_EQ(b.GetWertminderungPercentByZustand(QStringLiteral("Sehr sorgfältige Instandhaltung")), 6.25);
    EXPECT_EQ(b.GetWertminderungPercentByZustand(QStringLiteral("unbekannt")), 0);
    // Older than its useful life: every curve stays at its end, none above 100 % or back towards 0.
    b.Alter = 60;
    EXPECT_EQ(b.GetWertminderungPercentByZustand(QStringLiteral("Normale Instandhaltung")), 100);
    EXPECT_EQ(b.GetWertminderungPercentByZustand(QStringLiteral("Sorgfältige Instandhaltung")), 100);
    EXPECT_EQ(b.GetWertminderungPercentByZustand(QStringLiteral("Sehr sorgfältige Instandhaltung")), 100);
    b.Alter = 120; // r = 3
    EXPECT_EQ(b.GetWertminderungPercentByZustand(QStringLiteral("Nachlässige Instandhaltung")), 80);
    b.Alter = 160; // r = 4
    EXPECT_EQ(b.GetWertminderungPercentByZustand(QStringLiteral("Nachlässige Instandhaltung")), 80);
    b.Zustand = QStringLiteral("Nachlässige Instandhaltung");
    b.Versart = QStringLiteral("MK (Mark1914)");
    b.Produkt = 1000;
    b.VERSSTEUER = 0;
    b.Zeitwert = 5;
    ASSERT_TRUE(b.Calculate(QStringLiteral("MK"), 0, 0, 0, false, 1));
    EXPECT_EQ(b.Wertminderung, 800);
    EXPECT_EQ(b.Zeitwert, 200);
    // No age: percentage and depreciation 0, and the current value is the insured value again.
    b.Alter = 0;
    b.Zeitwert = 7;
    ASSERT_TRUE(b.Calculate(QStringLiteral("MK"), 0, 0, 0, false, 1));
    EXPECT_EQ(b.WertminderungPercent, 0);
    EXPECT_EQ(b.Zeitwert, 1000);
    b.Lebensdauer = 0;
    b.Alter = 10;
    EXPECT_EQ(b.GetWertminderungPercentByZustand(QStringLiteral("Normale Instandhaltung")), 0);
}

TEST_F(GebCalcTest, BasesAndCurrencies) {
    // Neuwert with MK guide prices: everything times the 1914 factor.
    TGebBuilding b(QStringLiteral("OBJ"));
    b.Versart = QStringLiteral("Neuwert");
    b.Produkt = 1000;
    b.Kosten = 100;
    b.Aufzugskosten = 10;
    b.VERSSTEUER = 0;
    ASSERT_TRUE(b.Calculate(QStringLiteral("MK"), 26.8966, 40, 12.345, false, 1));
    EXPECT_EQ(b.ProduktIdx, 12345);
    EXPECT_EQ(b.KostenIdx, 1234.5);
    EXPECT_EQ(b.AufzugskostenIdx, 123.45);
    EXPECT_EQ(b.CurRichtpreis, QStringLiteral("MK"));
    EXPECT_EQ(b.CurProduktIdx, QStringLiteral("EUR"));
    EXPECT_EQ(b.VersWert, 13703); // 13702.95 to whole units
    EXPECT_EQ(b.SummeBau, QStringLiteral("13.702,95"));

    // Gleitender Neuwert with EUR guide prices: carried to today's EUR, then to Mark 1914.
    TGebBuilding m(QStringLiteral("OBJ"));
    m.Versart = QStringLiteral("MK (Mark1914)");
    m.Produkt = 100000;
    m.Kosten = 50.556;
    m.VERSSTEUER = 0;
    ASSERT_TRUE(m.Calculate(QStringLiteral("EUR"), 100, 120, 6.5, false, 1));
    EXPECT_EQ(m.ProduktIdxNeuwertEUR, 120000);
    EXPECT_EQ(m.ProduktIdx, 18461.54);
    EXPECT_EQ(m.KostenIdx, 50.56); // cent-rounded, not converted
    EXPECT_EQ(m.VersArtStr, QStringLiteral("Gleitender Neuwert"));
    EXPECT_EQ(m.CurProduktIdx, QStringLiteral("MK"));
    EXPECT_EQ(m.CurKostenIdx, QString());
    EXPECT_EQ(m.CurBaupreise, QStringLiteral("MK"));
    EXPECT_EQ(m.RNDProduktIDX, QStringLiteral("18.461,54"));
    EXPECT_EQ(m.RNDKostenIDX, QString());
    m.DeriveSaveTexts();
    EXPECT_EQ(m.CaptionCUR, QStringLiteral("MK"));

    // ... with MK guide prices: no index at all.
    TGebBuilding k(QStringLiteral("OBJ"));
    k.Versart = QStringLiteral("MK (Mark1914)");
    k.Produkt = 777.77;
    ASSERT_TRUE(k.Calculate(QStringLiteral("MK"), 0, 0, 0, false, 1));
    EXPECT_EQ(k.ProduktIdx, 777.77);
    EXPECT_EQ(k.CurProduktIdx, QString());
    EXPECT_EQ(k.RNDProduktIDX, QString());

    // A negative index stops after the first step.
    TGebBuilding n(QStringLiteral("OBJ"));
    n.Produkt = 5;
    n.VersWert = 99;
    ASSERT_TRUE(n.Calculate(QStringLiteral("EUR"), -1, 120, 6.5, false, 1));
    EXPECT_EQ(n.ProduktIdx, 5);
    EXPECT_EQ(n.VersWert, 99);
}

TEST_F(GebCalcTest, VatCases) {
    auto run = [](bool ust, bool pflicht, double vat) {
        TGebBuilding b(QStringLiteral("OBJ"));
        b.Versart = QStringLiteral("MK (Mark1914)");
        b.Produkt = 11600;
        b.VERSSTEUER = 0;
        b.Umsatzsteuer = ust;
        b.Calculate(QStringLiteral("MK"), 0, 0, 0, pflicht, vat);
        return std::pair{b.RNDWiederKost, b.UStKorrektur};
    };
    EXPECT_EQ(run(true, true, 1.19), (std::pair{QStringLiteral("11.900,00"), true}));
    EXPECT_EQ(run(true, false, 1.19), (std::pair{QStringLiteral("11.900,00"), true}));
    EXPECT_EQ(run(true, false, 1.0), (std::pair{QStringLiteral("10.000,00"), false})); // net, no correction flag
    EXPECT_EQ(run(false, true, 1.19), (std::pair{QStringLiteral("13.804,00"), true}));
    EXPECT_EQ(run(false, false, 1.19), (std::pair{QStringLiteral("11.600,00"), false}));
}

TEST_F(GebCalcTest, AMissingIndexFailsAndRestoresTheRoundingMode) {
    TGebBuilding b = example();
    b.VersWert = 42;
    EXPECT_FALSE(b.Calculate(QStringLiteral("EUR"), 0, 0, 0, true, 1.19));
    ASSERT_EQ(dialogs.calls.size(), 1);
    EXPECT_EQ(dialogs.calls[0].text, QStringLiteral("Fehler in Calculate: Gleitkommadivision durch Null"));
    EXPECT_EQ(dialogs.calls[0].icon, platform::MsgIcon::Error);
    EXPECT_EQ(b.ProduktIdx, 100000); // what step 1 wrote stays
    EXPECT_EQ(b.VersWert, 42);
    EXPECT_EQ(std::fegetround(), FE_TONEAREST);
    // Gleitender Neuwert without the 1914 factor fails the same way.
    b.Versart = QStringLiteral("MK (Mark1914)");
    EXPECT_FALSE(b.Calculate(QStringLiteral("EUR"), 100, 120, 0, true, 1.19));
    EXPECT_EQ(std::fegetround(), FE_TONEAREST);
}

} // namespace
