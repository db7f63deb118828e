#include "building/gebdata.h"
#include "building/gebprepare.h"
#include "core/convert.h"
#include "support/fixtures.h"

#include <QDate>

namespace {

class GebDataTest : public SchemaDbTest {
protected:
    // A building with one line of each kind; returns its identifier.
    QString buildingWithLines(const QString& objekt, const QString& caption) {
        TGebBuilding b(objekt);
        b.Caption = caption;
        InsertGebBuilding(b);
        TGebDimension d;
        d.PID = NewGuidText();
        d.DimGeb_FK = b.PID;
        InsertGebDimension(d);
        TGebMeasure m;
        m.PID = NewGuidText();
        m.GebBuildingID = b.PID;
        InsertGebMeasure(m);
        TGebAufzugBestand a;
        a.PID = NewGuidText();
        a.OwnerID = b.PID;
        InsertGebAufzugBestand(a);
        return b.PID;
    }
    int rowsOf(const QString& table, const QString& column, const QString& key) {
        BrvSql q(QStringLiteral("SELECT COUNT(*) FROM %1 WHERE %2 = ?").arg(table, column), key);
        return q.next() ? q->asInt(0) : -1;
    }
};

TEST_F(GebDataTest, ObjectsRoundTripWithTheirTaxRule) {
    const QString pid = InsertGebObjekt(QStringLiteral("Werk Süd 'B'"), QStringLiteral("1"), QStringLiteral("12345"),
                                        QStringLiteral("Großstadt"), QStringLiteral("Hauptstraße 1"));
    EXPECT_EQ(pid.size(), 32);
    TGebObjekt o = GetGebObjekt(pid);
    EXPECT_EQ(o.PID, pid);
    EXPECT_EQ(o.OwnerID, QStringLiteral("1"));
    EXPECT_EQ(o.Caption, QStringLiteral("Werk Süd 'B'")); // quotes stored verbatim
    EXPECT_EQ(o.Ort, QStringLiteral("12345 Großstadt"));
    EXPECT_EQ(o.CreateDate, QDate::currentDate().toString(QStringLiteral("dd.MM.yyyy")));
    EXPECT_FALSE(o.UstPflicht); // inserted with an empty text
    EXPECT_EQ(o.IndVstVal, 0);
    EXPECT_EQ(scalar(QStringLiteral("SELECT COUNT(*) FROM TABGEBOBJEKT WHERE INDVSTVAL IS NULL")), QStringLiteral("1"));

    o.UstPflicht = true;
    o.IndVstVal = 7;
    o.Ersteller = QStringLiteral("Gutachter & Söhne");
    o.ErstellerVor = QStringLiteral("Jörg");
    o.Grundbuch = QStringLiteral("Blatt 4711");
    UpdateGebObjekt(o);
    o = GetGebObjekt(pid);
    EXPECT_TRUE(o.UstPflicht);
    EXPECT_EQ(o.IndVstVal, 0); // liable objects store 0
    EXPECT_EQ(o.Ersteller, QStringLiteral("Gutachter & Söhne"));
    EXPECT_EQ(o.ErstellerVor, QStringLiteral("Jörg"));
    o.UstPflicht = false;
    o.IndVstVal = 7;
    UpdateGebObjekt(o);
    EXPECT_EQ(GetGebObjekt(pid).IndVstVal, 7);

    InsertGebObjekt(QStringLiteral("Annex"), QStringLiteral("1"), {}, {}, {});
    InsertGebObjekt(QStringLiteral("Fremd"), QStringLiteral("2"), {}, {}, {});
    const QList<TGebObjekt> list = GetGebObjekte(QStringLiteral("1"));
    ASSERT_EQ(list.size(), 2);
    EXPECT_EQ(list[0].Caption, QStringLiteral("Annex")); // by caption
    const TGebObjekt none = GetGebObjekt(QStringLiteral("x' OR '1'='1"));
    EXPECT_TRUE(none.PID.isEmpty());
    EXPECT_TRUE(none.OwnerID.isEmpty());
}

TEST_F(GebDataTest, BuildingsRoundTripEveryStoredField) {
    const QString obj = InsertGebObjekt(QStringLiteral("Objekt"), QStringLiteral("1"), {}, {}, {});
    TGebBuilding b(obj);
    b.Caption = QStringLiteral("Halle Ä");
    b.Zusatz = QStringLiteral("Zusatz");
    b.setBaujahr(QStringLiteral("1990"));
    b.Alter = 12; // stored age wins over the year on reading
    b.Dachart = QStringLiteral("Flachdach");
    b.Zustand = QStringLiteral("Normale Instandhaltung");
    b.Art = QStringLiteral("Produktionshalle");
    b.Lebensdauer = 60;
    b.Ausf = QStringLiteral("Normale Ausführung");
    b.Grund = QStringLiteral("Begründung");
    b.Aufmassquelle = QStringLiteral("Zeichnungsvorlage");
    b.Richtpreis = 55.5;
    b.Produkt = 12345.678;
    b.Versart = QStringLiteral("Neuwert");
    b.Anmerkung = QStringLiteral("Lange Anmerkung mit Umlauten äöüß € ").repeated(200);
    b.VERSSTEUER = 16;
    b.WM1 = QStringLiteral("27,50 %");
    b.RNDWiederKost = QStringLiteral("999.999.999,99");
    b.SummeBauRound = QStringLiteral("148.000,00");
    b.WiederBPreisOrg = 126500;
    b.BerechnungsartDim = QStringLiteral("Berechnung des umbauten Raums gem. DIN 277");
    InsertGebBuilding(b);

    std::optional<TGebBuilding> r = GetGebBuilding(b.PID);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->GebObj_ID, obj);
    EXPECT_EQ(r->Caption, b.Caption);
    EXPECT_EQ(r->Baujahr(), QStringLiteral("1990"));
    EXPECT_EQ(r->Alter, 12);
    EXPECT_EQ(r->Lebensdauer, 60);
    EXPECT_EQ(r->Ausf, b.Ausf);
    EXPECT_EQ(r->Grund, b.Grund);
    EXPECT_EQ(r->Richtpreis, 55.5);
    EXPECT_EQ(r->Produkt, 12345.678);
    EXPECT_EQ(r->Anmerkung, b.Anmerkung);
    EXPECT_EQ(r->VERSSTEUER, 16);
    EXPECT_EQ(r->WM1, b.WM1);
    EXPECT_EQ(r->RNDWiederKost, b.RNDWiederKost);
    EXPECT_EQ(r->WiederBPreisOrg, 126500);
    EXPECT_EQ(r->BerechnungsartDim, b.BerechnungsartDim);
    EXPECT_EQ(r->CreateDate, b.CreateDate);
    EXPECT_FALSE(r->UStKorrektur);

    r->Caption = QStringLiteral("Halle B");
    r->VersWert = 147940;
    r->CreateDate = QStringLiteral("01.01.1999"); // not written by an update
    UpdateGebBuilding(*r);
    const std::optional<TGebBuilding> u = GetGebBuilding(b.PID);
    EXPECT_EQ(u->Caption, QStringLiteral("Halle B"));
    EXPECT_EQ(u->VersWert, 147940);
    EXPECT_EQ(u->CreateDate, b.CreateDate);

    // No value in VERSSTEUER reads as 0; a display text wider than its column fails the update.
    exec(QStringLiteral("UPDATE TABGEBBUILDINGA SET VERSSTEUER = NULL"));
    EXPECT_EQ(GetGebBuilding(b.PID)->VERSSTEUER, 0);
    r->WM2 = QStringLiteral("12345678901 %");
    EXPECT_THROW(UpdateGebBuilding(*r), Exception);
    BrvRollback();
    EXPECT_FALSE(GetGebBuilding(QStringLiteral("unbekannt")));
}

TEST_F(GebDataTest, ListsComeInTheirOrder) {
    const QString obj = InsertGebObjekt(QStringLiteral("Objekt"), QStringLiteral("1"), {}, {}, {});
    for (const char* c : {"Zeta", "Alpha", "Mitte"}) {
        TGebBuilding b(obj);
        b.Caption = QString::fromLatin1(c);
        InsertGebBuilding(b);
    }
    QStringList captions;
    for (const TGebBuilding& b : GetGebBuildings(obj))
        captions << b.Caption;
    EXPECT_EQ(captions, (QStringList{"Alpha", "Mitte", "Zeta"}));
    const QString pid = GetGebBuildings(obj).first().PID;

    for (auto [pos, caption] : {std::pair{1, "B"}, {0, "Z"}, {1, "A"}}) {
        TGebDimension d;
        d.PID = NewGuidText();
        d.DimGeb_FK = pid;
        d.DimPos = pos;
        d.DimCaption = QString::fromLatin1(caption);
        d.DimEinheit = QStringLiteral("m³");
        d.DimL = 2;
        InsertGebDimension(d);
        TGebMeasure m;
        m.PID = NewGuidText();
        m.GebBuildingID = pid;
        m.PosNr = pos;
        m.Caption = QString::fromLatin1(caption);
        InsertGebMeasure(m);
        TGebAufzugBestand a;
        a.PID = NewGuidText();
        a.OwnerID = pid;
        a.AufzugCaption = QString::fromLatin1(caption);
        InsertGebAufzugBestand(a);
    }
    BrvCommit();
    QStringList dims, measures, lifts;
    for (const TGebDimension& d : GetGebDimensions(pid))
        dims << d.DimCaption;
    for (const TGebMeasure& m : GetGebMeasures(pid))
        measures << m.Caption;
    for (const TGebAufzugBestand& a : GetGebAufzugBestand(pid))
        lifts << a.AufzugCaption;
    EXPECT_EQ(dims, (QStringList{"Z", "A", "B"}));
    EXPECT_EQ(measures, (QStringList{"Z", "A", "B"}));
    EXPECT_EQ(lifts, (QStringList{"A", "B", "Z"}));
    EXPECT_EQ(GetGebDimensions(pid)[0].DimEinheit, QStringLiteral("m³"));

    // Every field of the line items comes back after an update.
    TGebDimension d = GetGebDimensions(pid)[0];
    d.DimCaption = QStringLiteral("Erdgeschoss Süd");
    d.DimL = 12.5, d.DimB = 8.25, d.DimH = 3.1, d.DimFlaeche = 319.6875;
    UpdateGebDimension(d);
    TGebMeasure m = GetGebMeasures(pid)[0];
    m.Caption = QStringLiteral("Dachgaube"), m.Zusatz = QStringLiteral("Größe €"), m.Einheit = QStringLiteral("Stück");
    m.MeasureX = 180, m.MeasureY = 420, m.MeasureCount = 2.5, m.Richtpreis = 300, m.MeasureSum = 750;
    UpdateGebMeasure(m);
    TGebAufzugBestand a = GetGebAufzugBestand(pid)[0];
    a.AufzugCaption = QStringLiteral("Aufzug Nord"), a.Nutzlast = QStringLiteral("630 kg"),
    a.Einheit = QStringLiteral("MK");
    a.Haltestellen = 2, a.Anzahl = 1, a.Richtpreis = 2400, a.RichtpreisExtra = 280, a.ExtraHaltestelleCount = 3;
    a.AufzugSumme = 3240;
    UpdateGebAufzugBestand(a);
    BrvCommit();
    const TGebDimension d2 = GetGebDimensions(pid)[0];
    EXPECT_EQ(d2.DimCaption, d.DimCaption);
    EXPECT_EQ(d2.DimFlaeche, 319.6875);
    EXPECT_EQ(d2.DimH, 3.1);
    const TGebMeasure m2 = GetGebMeasures(pid)[0];
    EXPECT_EQ(m2.Zusatz, m.Zusatz);
    EXPECT_EQ(m2.Einheit, m.Einheit);
    EXPECT_EQ(m2.MeasureCount, 2.5);
    EXPECT_EQ(m2.MeasureSum, 750);
    EXPECT_EQ(m2.MeasureY, 420);
    QList<TGebAufzugBestand> lifted = GetGebAufzugBestand(pid);
    const auto a2 =
        std::find_if(lifted.cbegin(), lifted.cend(), [&](const TGebAufzugBestand& x) { return x.PID == a.PID; });
    ASSERT_NE(a2, lifted.cend());
    EXPECT_EQ(a2->Nutzlast, a.Nutzlast);
    EXPECT_EQ(a2->ExtraHaltestelleCount, 3);
    EXPECT_EQ(a2->AufzugSumme, 3240);
    EXPECT_EQ(a2->OwnerID, pid);
    DeleteGebAufzugBestand(a.PID);
    DeleteGebMeasure(m.PID);
    DeleteGebDimension(d.PID);
    BrvCommit();
    EXPECT_EQ(GetGebAufzugBestand(pid).size(), 2);
    EXPECT_EQ(GetGebMeasures(pid).size(), 2);
    EXPECT_EQ(GetGebDimensions(pid).size(), 2);

    QList<TGebObjektGeb> pairs = GetGebObjektGebList(QStringLiteral("1"));
    ASSERT_EQ(pairs.size(), 3);
    EXPECT_EQ(pairs[0].ObjektPID, obj);
    EXPECT_EQ(GetGebObjektGebList(QStringLiteral("2")).size(), 0);

    InsertGebFile(QStringLiteral("F2"), obj, QStringLiteral("zeichnung.pdf"));
    InsertGebFile(QStringLiteral("F1"), obj, QStringLiteral("angebot.pdf"));
    BrvCommit();
    const QList<TGebFile> files = GetGebFiles(obj);
    ASSERT_EQ(files.size(), 2);
    EXPECT_EQ(files[0].GebFilename, QStringLiteral("angebot.pdf"));
    DeleteGebFile(QStringLiteral("F1"));
    BrvCommit();
    EXPECT_EQ(GetGebFiles(obj).size(), 1);
}

TEST_F(GebDataTest, DeletionsCascadeToTheLines) {
    const QString obj = InsertGebObjekt(QStringLiteral("Objekt"), QStringLiteral("1"), {}, {}, {});
    const QString keep = InsertGebObjekt(QStringLiteral("Anderes"), QStringLiteral("1"), {}, {}, {});
    const QString a = buildingWithLines(obj, QStringLiteral("A"));
    const QString b = buildingWithLines(obj, QStringLiteral("B"));
    const QString other = buildingWithLines(keep, QStringLiteral("C"));
    InsertGebFile(NewGuidText(), obj, QStringLiteral("plan.pdf"));
    BrvCommit();

    DeleteGebBuilding(a);
    EXPECT_EQ(rowsOf(QStringLiteral("TABGEBDIM"), QStringLiteral("DimGeb_FK"), a), 0);
    EXPECT_EQ(rowsOf(QStringLiteral("TABGEBPRODUKT"), QStringLiteral("GebBuilding_ID"), b), 1);

    DeleteGebObjekt(obj);
    reopen(); // committed for everybody
    for (const QString& pid : {a, b}) {
        EXPECT_EQ(rowsOf(QStringLiteral("TABGEBBUILDINGA"), QStringLiteral("PID"), pid), 0);
        EXPECT_EQ(rowsOf(QStringLiteral("TABGEBDIM"), QStringLiteral("DimGeb_FK"), pid), 0);
        EXPECT_EQ(rowsOf(QStringLiteral("TABGEBPRODUKT"), QStringLiteral("GebBuilding_ID"), pid), 0);
        EXPECT_EQ(rowsOf(QStringLiteral("TABGEBAUFZUGBESTAND"), QStringLiteral("OwnerID"), pid), 0);
    }
    EXPECT_EQ(rowsOf(QStringLiteral("TABGEBFILE"), QStringLiteral("Owner_ID"), obj), 1); // attachments stay
    EXPECT_EQ(rowsOf(QStringLiteral("TABGEBDIM"), QStringLiteral("DimGeb_FK"), other), 1);
    EXPECT_EQ(GetGebObjekte(QStringLiteral("1")).size(), 1);
}

TEST_F(GebDataTest, ADeletionThatFailsMidwayChangesNothing) {
    const QString obj = InsertGebObjekt(QStringLiteral("Objekt"), QStringLiteral("1"), {}, {}, {});
    const QString a = buildingWithLines(obj, QStringLiteral("A"));
    BrvCommit();
    // Another seat holds an uncommitted change of a dimension line of the building.
    {
        OtherSeat other(dbFile, QStringLiteral("UPDATE TABGEBDIM SET DIMPOS = 9 WHERE DIMGEB_FK = '%1'").arg(a));
        ShortLockWait wait;
        EXPECT_ANY_THROW(DeleteGebObjekt(obj));
    }
    // The next unrelated commit makes nothing of the failed deletion durable.
    exec(QStringLiteral("UPDATE TABGEBSETTINGS SET SETTINGID = SETTINGID"));
    reopen();
    EXPECT_EQ(rowsOf(QStringLiteral("TABGEBOBJEKT"), QStringLiteral("PID"), obj), 1);
    EXPECT_EQ(rowsOf(QStringLiteral("TABGEBBUILDINGA"), QStringLiteral("PID"), a), 1);
    EXPECT_EQ(rowsOf(QStringLiteral("TABGEBDIM"), QStringLiteral("DimGeb_FK"), a), 1);
}

TEST_F(GebDataTest, AFailingListReadIsReported) {
    exec(QStringLiteral("DROP TABLE TABGEBDIM"));
    EXPECT_THROW(GetGebDimensions(QStringLiteral("x")), EBrvException_DBERROR);
}

TEST_F(GebDataTest, PreparationGathersIndexValuesVatAndSums) {
    const int y = QDate::currentDate().year() - 1;
    exec(QStringLiteral(
        "INSERT INTO INDEXBESCHREIBUNGEN (BRV_MANDANT_NR, KATEGORIE_NR, INDEX_TEXT) VALUES (1, 894, 'W')"));
    exec(QStringLiteral(
             "INSERT INTO INDEXWERTE (BRV_MANDANT_NR, KATEGORIE_NR, INDEXJAHR, INDEXWERT) VALUES (1, 894, %1, 120)")
             .arg(y));
    exec(QStringLiteral(
             "INSERT INTO INDEXWERTE (BRV_MANDANT_NR, KATEGORIE_NR, INDEXJAHR, INDEXWERT) VALUES (1, 900, %1, 6.5)")
             .arg(y));
    TGebType t;
    t.INDEXNR = 894;
    t.RICHTPREISART = QStringLiteral("eur 2000");
    t.RICHTBASISEINH = QStringLiteral("m2");
    t.UST = QStringLiteral("1");
    TGebBuilding b(QStringLiteral("OBJ"));
    b.Richtpreis = 1000;
    TGebDimension d1, d2;
    d1.DimEinheit = QStringLiteral("m²");
    d1.DimL = 10, d1.DimB = 5, d1.DimH = 3; // area: height ignored
    d2.DimEinheit = QStringLiteral("m³");
    d2.DimL = 2, d2.DimB = 2, d2.DimH = 2;
    EXPECT_EQ(GebDimensionQuantity(d1), 50);
    EXPECT_EQ(GebDimensionQuantity(d2), 8);
    // The calculation takes the sums as the line dialogs stored them, not a recomputation of the lengths.
    d1.DimFlaeche = 50, d2.DimFlaeche = 8.004;
    TGebMeasure m;
    m.MeasureCount = 2, m.Richtpreis = 250;
    EXPECT_EQ(GebMeasureSum(m), 500);
    m.MeasureSum = 500;
    TGebAufzugBestand a;
    a.Anzahl = 1, a.Richtpreis = 3000, a.ExtraHaltestelleCount = 2, a.RichtpreisExtra = 300;
    EXPECT_EQ(GebAufzugSumme(a), 3600);
    a.AufzugSumme = 3600;
    b.VERSSTEUER = 0;
    TGebObjekt o(QStringLiteral("OBJ"), QStringLiteral("1"));
    o.IndVstVal = 7;
    TGebPreparation p = PrepareGebCalculation(b, o, &t, {d1, d2}, {m}, {a});
    EXPECT_EQ(b.Produkt, 58004);
    EXPECT_EQ(b.VERSSTEUER, 14); // 0 % ancillary costs are taken as 14 %
    EXPECT_EQ(b.Kosten, 500);
    EXPECT_EQ(b.Aufzugskosten, 3600);
    EXPECT_EQ(p.params.pEinheit, QStringLiteral("EUR"));
    EXPECT_EQ(p.dimIdentifier, QStringLiteral("m²"));
    EXPECT_EQ(b.DimCaption, QStringLiteral("Fläche"));
    EXPECT_TRUE(b.Umsatzsteuer);
    EXPECT_TRUE(p.indexFound);
    EXPECT_EQ(p.params.pIdxVal1970, 26.8966); // no value for 2000: the built-in one
    EXPECT_EQ(p.params.pIdxValActYear, 120);
    EXPECT_EQ(p.params.pIdxVal900ActYear, 6.5);
    EXPECT_NEAR(p.params.pCurVAT, 1.07, 1e-12); // not liable: the individual rate
    o.UstPflicht = true;
    p = PrepareGebCalculation(b, o, &t, {}, {}, {});
    EXPECT_NEAR(p.params.pCurVAT, 1.19, 1e-12);
    // An older newest year limits the year looked up; an unknown category gives nothing.
    exec(QStringLiteral("DELETE FROM INDEXWERTE"));
    exec(QStringLiteral(
        "INSERT INTO INDEXWERTE (BRV_MANDANT_NR, KATEGORIE_NR, INDEXJAHR, INDEXWERT) VALUES (1, 894, 2000, 100)"));
    exec(QStringLiteral(
        "INSERT INTO INDEXWERTE (BRV_MANDANT_NR, KATEGORIE_NR, INDEXJAHR, INDEXWERT) VALUES (1, 894, 2010, 110)"));
    double v1970, vAct, v900;
    EXPECT_TRUE(LoadGebIndexValues(894, v1970, vAct, v900));
    EXPECT_EQ(v1970, 100);
    EXPECT_EQ(vAct, 110);
    EXPECT_EQ(v900, 0);
    EXPECT_FALSE(LoadGebIndexValues(777, v1970, vAct, v900));
    t.RICHTPREISART = QStringLiteral("Sonstige");
    t.RICHTBASISEINH = QStringLiteral("m3");
    QString einheit = QStringLiteral("MK"), dim;
    ApplyGebTypeUnits(t, b, einheit, dim);
    EXPECT_EQ(einheit, QStringLiteral("MK")); // kept
    EXPECT_EQ(dim, QStringLiteral("m³"));
    EXPECT_EQ(b.DimCaption, QStringLiteral("Umbauter Raum"));
}

} // namespace
