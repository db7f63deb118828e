// The asset editor's checks and the row they assemble, without the window.

#include "assets/asset_form.h"
#include "core/convert.h"
#include "db/indexwerte.h"
#include "support/fixtures.h"

#include <functional>

namespace {

class AssetFormTest : public SchemaDbTest {
protected:
    void SetUp() override {
        SchemaDbTest::SetUp();
        TBrenvikIndexBeschr b;
        b.kategorie_nr = 443;
        b.index_text = QStringLiteral("Maschinen");
        b.sichtbar = QStringLiteral("1");
        InsertIndexBeschreibung(b);
        BrvCommit();
    }
    static AssetForm filled() {
        AssetForm f;
        f.kontoNr = QStringLiteral(" 0410 ");
        f.anlagebezeichnung = QStringLiteral("Drehbank \"Typ 5\"");
        f.anschaffungsdatum = QStringLiteral("15/06/2020");
        f.ahk = QStringLiteral("31.800,00");
        f.versWert = QStringLiteral("40.000,5");
        f.kategorieNr = QStringLiteral("443");
        f.nutzungsdauer = QStringLiteral("10");
        f.gruppe = QStringLiteral("Maschinen");
        f.adressNr = 2;
        f.anlagentypId = 1;
        f.leasing = true;
        return f;
    }
    // The field a form is refused for (empty when it is taken).
    static QString refusedField(const AssetForm& f) {
        TBrenvikVersWerte r;
        const std::optional<AssetFormError> e = AssembleAssetRecord(f, r);
        return e ? e->field : QString();
    }
};

TEST_F(AssetFormTest, AFilledFormGivesTheRowBlanksAreZero) {
    TBrenvikVersWerte r;
    ASSERT_FALSE(AssembleAssetRecord(filled(), r).has_value());
    EXPECT_EQ(r.konto_nr, QStringLiteral("0410"));
    EXPECT_EQ(r.anlagebezeichnung, QStringLiteral("Drehbank \"Typ 5\""));
    EXPECT_EQ(r.anschaffungsdatum, EncodeDate(2020, 6, 15));
    EXPECT_DOUBLE_EQ(r.ahk, 31800.0);
    EXPECT_DOUBLE_EQ(r.versicherungswert, 40000.5);
    EXPECT_EQ(r.gemeiner_wert, 0.0);
    EXPECT_EQ(r.zeitwert, 0.0);
    EXPECT_EQ(r.abgangsjahr, 0);
    EXPECT_EQ(r.nutzungsdauer, 10);
    EXPECT_EQ(r.kategorie_nr, 443);
    EXPECT_EQ(r.adress_nr, 2);
    EXPECT_EQ(r.leasing, QStringLiteral("1"));
    EXPECT_EQ(r.gemietet, QStringLiteral("0"));
    EXPECT_EQ(r.feste_taxe, QStringLiteral("0"));

    // A fixed value insures the acquisition cost, whatever the value field says.
    AssetForm f = filled();
    f.festeTaxe = true;
    f.versWert = QStringLiteral("kein Betrag");
    ASSERT_FALSE(AssembleAssetRecord(f, r).has_value());
    EXPECT_DOUBLE_EQ(r.versicherungswert, 31800.0);
    EXPECT_EQ(r.feste_taxe, QStringLiteral("1"));
}

TEST_F(AssetFormTest, EachRefusalNamesItsField) {
    const std::pair<const char*, std::function<void(AssetForm&)>> cases[] = {
        {"edKonto_nr", [](AssetForm& f) { f.kontoNr = QStringLiteral("  "); }},
        {"edAnlagebezeichnung", [](AssetForm& f) { f.anlagebezeichnung.clear(); }},
        {"edAnschaffungsdatum", [](AssetForm& f) { f.anschaffungsdatum = QStringLiteral("31.02.2020"); }},
        {"edAHK", [](AssetForm& f) { f.ahk = QStringLiteral("12.5"); }},
        {"edAHK", [](AssetForm& f) { f.ahk.clear(); }},
        {"edVersWert", [](AssetForm& f) { f.versWert = QStringLiteral("1e5"); }},
        {"edGemeiner_Wert", [](AssetForm& f) { f.gemeinerWert = QStringLiteral("viel"); }},
        {"edZeitwert", [](AssetForm& f) { f.zeitwert = QStringLiteral("5.5"); }},
        {"edNutzungsdauer", [](AssetForm& f) { f.nutzungsdauer = QStringLiteral("3,5"); }},
        {"edKategorieNr", [](AssetForm& f) { f.kategorieNr = QStringLiteral("x"); }},
        {"edKategorieNr", [](AssetForm& f) { f.kategorieNr = QStringLiteral("444"); }},
        {"edAbgangsjahr", [](AssetForm& f) { f.abgangsjahr = QStringLiteral("20x"); }},
    };
    for (const auto& [field, spoil] : cases) {
        AssetForm f = filled();
        spoil(f);
        EXPECT_EQ(refusedField(f), QString::fromLatin1(field)) << field;
    }
    AssetForm f = filled();
    f.kategorieNr = QStringLiteral("444");
    TBrenvikVersWerte r;
    EXPECT_EQ(AssembleAssetRecord(f, r)->text,
              QStringLiteral("Der Index konnte nicht in der Referenz-Datenbank gefunden werden."));
}

} // namespace
