#include "building/frm_building.h"
#include "building/frm_gebchoice.h"
#include "building/frm_gebitems.h"
#include "building/frm_gebobjekt.h"
#include "building/gebbericht.h"
#include "building/gebdata.h"
#include "core/convert.h"
#include "support/fixtures.h"
#include "support/widgets.h"
#include "session/brenvik_ini.h"
#include "platform/ini.h"
#include "platform/paths.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QTreeWidget>
#include <QProcess>
#include <QGuiApplication>
#include <QScreen>
#include <QPushButton>
#include <QScrollArea>

namespace {

class BuildingWindowTest : public SchemaDbTest {
protected:
    QString objekt;
    TGebObjekt obj;

    void SetUp() override {
        SchemaDbTest::SetUp();
        const int y = QDate::currentDate().year() - 1;
        exec(QStringLiteral(
            "INSERT INTO INDEXBESCHREIBUNGEN (BRV_MANDANT_NR, KATEGORIE_NR, INDEX_TEXT) VALUES (1, 894, 'W')"));
        for (auto [kat, jahr, wert] : {std::tuple{894, 2000, 100.0}, {894, y, 120.0}, {900, y, 6.5}})
            BrvExec(
                QStringLiteral(
                    "INSERT INTO INDEXWERTE (BRV_MANDANT_NR, KATEGORIE_NR, INDEXJAHR, INDEXWERT) VALUES (1, ?, ?, ?)"),
                kat, jahr, wert);
        for (auto [caption, art, einh] : {std::tuple{"Wohnhaus", "EUR 2000", "m2"}, {"Halle", "MK 1914", "m3"}}) {
            TGebType t;
            t.PID = QString::fromLatin1(caption);
            t.GEBCAPTION = QString::fromLatin1(caption);
            t.INDEXNR = 894;
            t.RICHTPREISART = QString::fromLatin1(art);
            t.RICHTBASISEINH = QString::fromLatin1(einh);
            t.UST = QStringLiteral("1");
            t.LIFETIMEMIN = 60;
            t.LIFETIMEMAX = 100;
            t.RICHTPEINFACH = QStringLiteral("900,00");
            t.RICHTPNORMAL = QStringLiteral("1.150,00");
            t.RICHTPGUT = QStringLiteral("1.500,00");
            InsertGebType(t);
        }
        objekt = InsertGebObjekt(QStringLiteral("Werk"), QStringLiteral("1"), QStringLiteral("12345"),
                                 QStringLiteral("Stadt"), QStringLiteral("Weg 1"));
        obj = GetGebObjekt(objekt);
        obj.UstPflicht = true;
        UpdateGebObjekt(obj);
    }

    // The worked example: 100 m² at 1000 EUR, components 1000 MK, 20 of 80 years, normal maintenance.
    TGebBuilding example() {
        TGebBuilding b(objekt);
        b.Caption = QStringLiteral("Haus A");
        b.Art = QStringLiteral("Wohnhaus");
        b.Versart = QStringLiteral("Neuwert");
        b.Zustand = QStringLiteral("Normale Instandhaltung");
        b.setBaujahr(QString::number(QDate::currentDate().year() - 20));
        b.Lebensdauer = 80;
        b.Richtpreis = 1000;
        b.Produkt = 100000;
        b.Kosten = 1000;
        b.VERSSTEUER = 0; // shown and used as 14
        InsertGebBuilding(b);
        TGebDimension d;
        d.PID = NewGuidText();
        d.DimGeb_FK = b.PID;
        d.DimEinheit = QStringLiteral("m²");
        d.DimL = 10, d.DimB = 10, d.DimFlaeche = 100;
        InsertGebDimension(d);
        TGebMeasure m;
        m.PID = NewGuidText();
        m.GebBuildingID = b.PID;
        m.MeasureCount = 10, m.Richtpreis = 100, m.MeasureSum = 1000;
        InsertGebMeasure(m);
        BrvCommit();
        return b;
    }
    QString text(QWidget& w, const char* name) { return child<QLineEdit>(w, name)->text(); }
};

TEST_F(BuildingWindowTest, EditorShowsTheWorkedExampleAndFollowsTheBasis) {
    TGebBuilding b = example();
    TFrmBuilding w;
    w.Initialize(&b, &obj, false);
    EXPECT_EQ(text(w, "txtNebenkosten"), QStringLiteral("14"));
    EXPECT_EQ(text(w, "txtLebensdauer"), QStringLiteral("60/100"));
    EXPECT_EQ(text(w, "txtEinheit"), QStringLiteral("EUR 2000"));
    EXPECT_EQ(text(w, "txtProduktIdx"), QStringLiteral("120.000,00"));
    EXPECT_EQ(text(w, "txtWiederKost"), QStringLiteral("129.771,55"));
    EXPECT_EQ(text(w, "txtNKSumme"), QStringLiteral("18.168,02"));
    EXPECT_EQ(text(w, "txtVersWert"), QStringLiteral("147.940,00"));
    EXPECT_EQ(text(w, "txtVersWertRound"), QStringLiteral("148.000,00"));
    EXPECT_EQ(text(w, "txtZeitwert"), QStringLiteral("110.955,00"));
    EXPECT_EQ(child<QLabel>(w, "lblWmChosen")->text(), QStringLiteral("25,00 %"));
    EXPECT_EQ(child<QLabel>(w, "lblWmSorg")->text(), QStringLiteral("15,62 %"));
    EXPECT_EQ(child<QLabel>(w, "lblVersArtStr")->text(), QStringLiteral("Versicherungswert zum Neuwert"));
    EXPECT_EQ(child<QLabel>(w, "lblUmrechnungProdukt")->text(),
              QStringLiteral("Auf Preisbasis des Jahres 2000 und wird somit umgerechnet auf"));
    EXPECT_FALSE(child<QLabel>(w, "imgVAT")->isHidden());
    EXPECT_TRUE(child<QLabel>(w, "lblIndexNotFound")->isHidden());
    EXPECT_TRUE(dialogs.calls.isEmpty());

    // The sliding new value: equivalent in 1914, the detail line with today's EUR, every total in MK.
    auto* vsart = child<QComboBox>(w, "cmbVSArt");
    vsart->setCurrentIndex(1);
    w.cmbVSArtSelect();
    EXPECT_EQ(child<QLabel>(w, "lblUmrechnungProdukt")->text(), QStringLiteral("Entspricht Wert 1914"));
    EXPECT_EQ(child<QLabel>(w, "lblCurProduktIdx")->text(), QStringLiteral("MK"));
    EXPECT_FALSE(child<QLineEdit>(w, "txtCalcDetail")->isHidden());
    EXPECT_EQ(text(w, "txtCalcDetail"), QStringLiteral("120.000,00"));
    EXPECT_EQ(text(w, "txtProduktIdx"), QStringLiteral("18.461,54"));
    for (const char* cur : {"lblWiederKostCur", "lblNKCur", "lblCurVersWert", "lblCurVersWertRound", "lblCurZeitwert"})
        EXPECT_EQ(child<QLabel>(w, cur)->text(), QStringLiteral("MK")) << cur;
    EXPECT_TRUE(child<QLineEdit>(w, "txtKostenIdx")->isHidden());
    EXPECT_EQ(child<QLabel>(w, "lblUmrechnungBesondereKosten")->text(), QString());

    // Saving stores the values and the texts as shown.
    ASSERT_TRUE(w.SaveBuilding());
    const std::optional<TGebBuilding> stored = GetGebBuilding(b.PID);
    EXPECT_EQ(stored->Versart, QStringLiteral("MK (Mark1914)"));
    EXPECT_EQ(stored->VERSSTEUER, 14);
    EXPECT_EQ(stored->WMSelected, QStringLiteral("25,00 %"));
    EXPECT_EQ(stored->CaptionCUR, QStringLiteral("MK"));
    EXPECT_EQ(stored->Umrechnungsart, QStringLiteral("Entspricht Wert 1914"));
}

TEST_F(BuildingWindowTest, EditorInputRulesAndTheSaveChecks) {
    TGebBuilding b = example();
    TFrmBuilding w;
    w.Initialize(&b, &obj, false);
    // An emptied guide price becomes 0, the product 0, and the field is marked.
    auto* price = child<QLineEdit>(w, "txtChosenRichtpreis");
    price->setText(QString());
    w.txtChosenRichtpreisExit();
    EXPECT_EQ(price->text(), QStringLiteral("0"));
    EXPECT_EQ(b.Produkt, 0);
    EXPECT_EQ(price->palette().color(QPalette::Base), QColor(244, 91, 74));
    price->setText(QStringLiteral("1000"));
    w.txtChosenRichtpreisExit();
    EXPECT_EQ(b.Produkt, 100000); // the stored dimension lines times the price
    EXPECT_NE(price->palette().color(QPalette::Base), QColor(244, 91, 74));

    // An area type with a height in a dimension line is refused until the height is 0.
    TGebDimension d = GetGebDimensions(b.PID)[0];
    d.DimH = 2.5;
    UpdateGebDimension(d);
    EXPECT_FALSE(w.SaveBuilding());
    ASSERT_FALSE(dialogs.calls.isEmpty());
    EXPECT_EQ(
        dialogs.calls.last().text,
        QStringLiteral("Bei \"Produkt\" sind Datensätze mit Höhen-Angaben \r\nhinterlegt, Gebäude-Einheit ist aber "
                       "m².\r\n\r\nKorrigieren Sie die Höhen-Angaben auf \"0\" !"));
    d.DimH = 0;
    UpdateGebDimension(d);
    EXPECT_TRUE(w.SaveBuilding());
    child<QLineEdit>(w, "txtCaption")->setText(QStringLiteral("  "));
    EXPECT_FALSE(w.SaveBuilding());
    EXPECT_EQ(dialogs.calls.last().text, QStringLiteral("Bezeichnung muss angegeben werden"));

    // A finish shows its guide price; a type change applies the type's units.
    auto* ausf = child<QComboBox>(w, "cmbAusf");
    ausf->setCurrentIndex(2);
    w.cmbAusfSelect();
    EXPECT_EQ(text(w, "txtRichtpreisVorschlag"), QStringLiteral("1.500,00"));
    auto* typ = child<QComboBox>(w, "cmbGebTyp");
    typ->setCurrentIndex(typ->findText(QStringLiteral("Halle")));
    w.cmbGebTypSelect();
    EXPECT_EQ(b.DimCaption, QStringLiteral("Umbauter Raum"));
    EXPECT_EQ(w.FEinheitIdentifier, QStringLiteral("MK"));
    EXPECT_FALSE(child<QWidget>(w, "pnlGebTypeDetails")->isHidden());
    EXPECT_EQ(child<QLineEdit>(w, "txtIndexNr")->text(), QStringLiteral("894"));
}

TEST_F(BuildingWindowTest, ANewBuildingIsSavedBeforeItsLinesOrNotAtAll) {
    TGebBuilding b(objekt);
    TFrmBuilding w;
    w.Initialize(&b, &obj, true);
    int opened = 0;
    ScopedRunner runner([&](QDialog&) {
        ++opened;
        return int(QDialog::Accepted);
    });
    dialogs.answers = {platform::MsgResult::No};
    w.btnKostenClick();
    EXPECT_EQ(opened, 0);
    EXPECT_FALSE(GetGebBuilding(b.PID));
    EXPECT_EQ(dialogs.calls.last().text, QStringLiteral("Das Gebäude muss zuvor gespeichert werden! Jetzt speichern?"));
    child<QLineEdit>(w, "txtCaption")->setText(QStringLiteral("Neu"));
    dialogs.answers = {platform::MsgResult::Yes};
    w.btnKostenClick();
    EXPECT_EQ(opened, 1);
    EXPECT_TRUE(GetGebBuilding(b.PID));
    EXPECT_FALSE(w.FIsNew);
}

TEST_F(BuildingWindowTest, LineDetailsComputeTheirSums) {
    TGebDimension d;
    d.DimEinheit = QStringLiteral("m³");
    d.PID = NewGuidText();
    {
        TFrmBuildingDimensionDetail w;
        w.Initialize(&d, true);
        for (auto [name, v] : {std::pair{"txtL", "10"}, {"txtB", "8"}, {"txtH", "3"}}) {
            type(w, name, QString::fromLatin1(v));
            w.fieldExit(child<QLineEdit>(w, name));
        }
        EXPECT_EQ(text(w, "txtSum"), QStringLiteral("240,00"));
    }
    TGebDimension area;
    area.DimEinheit = QStringLiteral("m²");
    {
        TFrmBuildingDimensionDetail w;
        w.Initialize(&area, true);
        EXPECT_FALSE(child<QLineEdit>(w, "txtH")->isEnabled());
        for (auto [name, v] : {std::pair{"txtL", "10"}, {"txtB", "8"}, {"txtH", "3"}}) {
            type(w, name, QString::fromLatin1(v));
            w.fieldExit(child<QLineEdit>(w, name));
        }
        EXPECT_EQ(text(w, "txtSum"), QStringLiteral("80,00"));
        // Unreadable, or a dot that is no grouping: said with the field's name, and nothing is read as 0 or 85.
        for (const char* bad : {"acht", "8.5"}) {
            dialogs.calls.clear();
            type(w, "txtB", QString::fromLatin1(bad));
            w.fieldExit(child<QLineEdit>(w, "txtB"));
            EXPECT_EQ(text(w, "txtB"), QString::fromLatin1(bad));
            EXPECT_EQ(text(w, "txtSum"), QStringLiteral("80,00"));
            ASSERT_FALSE(dialogs.calls.isEmpty());
            EXPECT_TRUE(dialogs.calls.last().text.startsWith(QStringLiteral("Das Feld \"Breite\" enthält keine gültige "
                                                                            "Zahl")))
                << dialogs.calls.last().text.toStdString();
        }
        type(w, "txtB", QStringLiteral("8,5"));
        w.fieldExit(child<QLineEdit>(w, "txtB"));
        EXPECT_EQ(text(w, "txtSum"), QStringLiteral("85,00"));
    }
    TGebAufzugBestand a;
    a.AufzugCaption = QStringLiteral("Nicht mehr im Katalog");
    {
        TFrmGebAufzugDetail w;
        w.Initialize(&a, true);
        EXPECT_EQ(child<QComboBox>(w, "cmbCaption")->currentIndex(), -1);
        for (auto [name, v] : {std::pair{"txtAnzahl", "2"},
                               {"txtRichtChosen", "30000"},
                               {"txtAnzahlExtra", "3"},
                               {"txtRichtExtraChosen", "1500"}}) {
            type(w, name, QString::fromLatin1(v));
            w.fieldExit(child<QLineEdit>(w, name));
        }
        EXPECT_EQ(text(w, "txtSum"), QStringLiteral("64500,00"));
        a.OwnerID = QStringLiteral("B1");
        a.PID = NewGuidText();
        w.btnOKClick();
        EXPECT_EQ(w.result(), QDialog::Accepted);
    }
    const QList<TGebAufzugBestand> stored = GetGebAufzugBestand(QStringLiteral("B1"));
    ASSERT_EQ(stored.size(), 1);
    EXPECT_EQ(stored[0].AufzugCaption, QString()); // no catalogue entry chosen
    EXPECT_EQ(stored[0].AufzugSumme, 64500);
}

TEST_F(BuildingWindowTest, ListsEditCancelAndDelete) {
    TGebMeasure m;
    m.PID = NewGuidText();
    m.GebBuildingID = QStringLiteral("B1");
    m.Caption = QStringLiteral("Gaube");
    m.MeasureCount = 2, m.Richtpreis = 100, m.MeasureSum = 200;
    InsertGebMeasure(m);
    TFrmMeasure list;
    list.Initialize(QStringLiteral("B1"));
    auto* lv = child<QTreeWidget>(list, "lvMeasures");
    ASSERT_EQ(lv->topLevelItemCount(), 1);
    lv->setCurrentItem(lv->topLevelItem(0));
    {
        // Editing, changing the count and cancelling leaves the row as it was.
        ScopedRunner runner([&](QDialog& d) {
            auto& detail = dynamic_cast<TFrmGebMeasureBasicDetails&>(d);
            type(detail, "txtCount", QStringLiteral("5"));
            detail.fieldExit(child<QLineEdit>(detail, "txtCount"));
            return int(QDialog::Rejected);
        });
        list.btnEditClick();
    }
    EXPECT_EQ(list.GetMeasureSum(), 200);
    EXPECT_EQ(lv->topLevelItem(0)->text(4), QStringLiteral("200"));
    {
        ScopedRunner runner([&](QDialog& d) {
            auto& detail = dynamic_cast<TFrmGebMeasureBasicDetails&>(d);
            type(detail, "txtCount", QStringLiteral("3"));
            detail.fieldExit(child<QLineEdit>(detail, "txtCount"));
            detail.btnOKClick();
            return detail.result();
        });
        list.btnEditClick();
    }
    EXPECT_EQ(list.GetMeasureSum(), 300);
    lv->setCurrentItem(lv->topLevelItem(0));
    dialogs.answers = {platform::MsgResult::No};
    list.btnDeleteClick();
    EXPECT_EQ(lv->topLevelItemCount(), 1);
    EXPECT_EQ(dialogs.calls.last().text, QStringLiteral("Datensatz \"Gaube\" entfernen?"));
    dialogs.answers = {platform::MsgResult::Yes};
    list.btnDeleteClick();
    EXPECT_EQ(lv->topLevelItemCount(), 0);
    EXPECT_EQ(GetGebMeasures(QStringLiteral("B1")).size(), 0);
}

TEST_F(BuildingWindowTest, ABuildingIsEditedWithTheObjectsVatSituationAsShown) {
    TGebBuilding b = example();
    {
        TFrmBuilding calc;
        calc.Initialize(&b, &obj, false);
        ASSERT_TRUE(calc.SaveBuilding());
    }
    ASSERT_EQ(GetGebBuilding(b.PID)->VersWert, 147940);
    TFrameBuilding w;
    w.Initialize(&obj, tmp.path());
    // Not entitled any more, at 7 %: the box is changed, then a building is opened before "OK".
    child<QCheckBox>(w, "cbUstPflicht")->setChecked(false);
    w.cbUstPflichtClick();
    type(w, "edIndVstVal", QStringLiteral("7"));
    auto* list = child<QTreeWidget>(w, "lvBuildings");
    list->setCurrentItem(list->topLevelItem(0));
    list->topLevelItem(0)->setSelected(true);
    QString shown;
    {
        ScopedRunner runner([&](QDialog& d) {
            shown = child<QLineEdit>(d, "txtVersWert")->text();
            return int(QDialog::Rejected);
        });
        w.btnEditClick();
    }
    const double net = std::nearbyint(GebRoundCent(126500 / 1.16 * 1.07 * 0.14) + 126500 / 1.16 * 1.07);
    EXPECT_EQ(shown, GebFmt(net));
    EXPECT_EQ(GetGebBuilding(b.PID)->VersWert, net);
    EXPECT_FALSE(GetGebObjekt(objekt).UstPflicht);
}

TEST_F(BuildingWindowTest, AMissingTypeKeepsTheBuildingAndItsValuesUntilOneIsChosen) {
    TGebBuilding b = example();
    {
        TFrmBuilding calc;
        calc.Initialize(&b, &obj, false);
        ASSERT_TRUE(calc.SaveBuilding());
    }
    exec(QStringLiteral("UPDATE TABGEBBUILDINGA SET ART = 'Garage alt'"));
    TGebBuilding stored = *GetGebBuilding(b.PID);
    TFrmBuilding w;
    w.Initialize(&stored, &obj, false);
    ASSERT_FALSE(dialogs.calls.isEmpty());
    EXPECT_EQ(dialogs.calls.last().icon, platform::MsgIcon::Warning);
    EXPECT_TRUE(dialogs.calls.last().text.startsWith(
        QStringLiteral("Der Gebäudetyp \"Garage alt\" des Gebäudes ist nicht im Katalog vorhanden.")));
    EXPECT_FALSE(child<QLabel>(w, "lblTypFehlt")->isHidden());
    EXPECT_EQ(text(w, "txtVersWert"), QStringLiteral("147.940,00")); // not revalued as another type
    if (const QString dir = qEnvironmentVariable("BRENVIK_SCREENSHOT_DIR"); !dir.isEmpty()) {
        w.show();
        w.grab().save(dir + QStringLiteral("/gebaeude_typ_fehlt.png"));
    }
    ASSERT_TRUE(w.SaveBuilding());
    EXPECT_EQ(GetGebBuilding(b.PID)->Art, QStringLiteral("Garage alt"));
    EXPECT_EQ(GetGebBuilding(b.PID)->VersWert, 147940);
    // Choosing a type revalues with it.
    auto* types = child<QComboBox>(w, "cmbGebTyp");
    types->setCurrentIndex(types->findText(QStringLiteral("Wohnhaus")));
    w.cmbGebTypSelect();
    EXPECT_TRUE(child<QLabel>(w, "lblTypFehlt")->isHidden());
    ASSERT_TRUE(w.SaveBuilding());
    EXPECT_EQ(GetGebBuilding(b.PID)->Art, QStringLiteral("Wohnhaus"));
}

TEST_F(BuildingWindowTest, ObjectWindowTaxRulesRecalculationAndAttachments) {
    EXPECT_EQ(GebListAmount(750), QStringLiteral("0.750,00"));
    EXPECT_EQ(GebListAmount(1234567.891), QStringLiteral("1.234.567,89"));
    TGebBuilding b = example();
    {
        TFrmBuilding calc;
        calc.Initialize(&b, &obj, false);
        ASSERT_TRUE(calc.SaveBuilding());
    }
    const QString folder = path(QStringLiteral("ablage/"));
    QDir().mkpath(folder);
    TFrameBuilding w;
    w.Initialize(&obj, folder);
    EXPECT_EQ(child<QLabel>(w, "lblVersWerteGesamt")->text(), QStringLiteral("147.940,00"));
    EXPECT_TRUE(child<QLineEdit>(w, "edIndVstVal")->isHidden());

    // An individual rate above today's regular rate is refused; "OK" then closes without storing.
    auto* box = child<QCheckBox>(w, "cbUstPflicht");
    box->setChecked(false);
    w.cbUstPflichtClick();
    EXPECT_FALSE(child<QLineEdit>(w, "edIndVstVal")->isHidden());
    type(w, "edIndVstVal", QStringLiteral("25"));
    w.edIndVstValExit();
    EXPECT_EQ(
        dialogs.calls.last().text,
        QStringLiteral("Der angegebene Steuersatz kann nicht höher als der aktuell gesetzlich festgelegte Wert sein."));
    EXPECT_TRUE(GetGebObjekt(objekt).UstPflicht);
    // The refused rate reaches nothing: not the object the buildings are valued with, not a building.
    EXPECT_TRUE(obj.UstPflicht);
    EXPECT_EQ(obj.IndVstVal, 0);
    EXPECT_EQ(GetGebBuilding(b.PID)->VersWert, 147940);
    // "OK" with the refused rate says so and stays open.
    dialogs.calls.clear();
    w.btnOKClick();
    EXPECT_NE(w.result(), QDialog::Accepted);
    ASSERT_FALSE(dialogs.calls.isEmpty());
    EXPECT_TRUE(dialogs.calls.last().text.contains(QStringLiteral("nicht höher als der aktuell gesetzlich")));
    EXPECT_EQ(obj.IndVstVal, 0);

    // An empty rate means gross values again.
    type(w, "edIndVstVal", QString());
    w.edIndVstValExit();
    EXPECT_EQ(dialogs.calls.last().text,
              QStringLiteral("Bitte beachten Sie, dass im Falle des Wertes 0 die Berechnung auf Bruttobasis erfolgt."));
    EXPECT_TRUE(GetGebObjekt(objekt).UstPflicht);
    EXPECT_EQ(scalar(QStringLiteral("SELECT INDVSTVAL FROM TABGEBOBJEKT")).toDouble(), 0);

    // A net object at 7 %: "OK" stores it and recalculates its buildings.
    type(w, "edIndVstVal", QStringLiteral("7"));
    box->setChecked(false);
    w.btnOKClick();
    EXPECT_EQ(w.result(), QDialog::Accepted);
    EXPECT_FALSE(GetGebObjekt(objekt).UstPflicht);
    EXPECT_EQ(GetGebObjekt(objekt).IndVstVal, 7);
    // 126,500 / 1.16 × 1.07 plus 14 %
    EXPECT_EQ(GetGebBuilding(b.PID)->VersWert,
              std::nearbyint(GebRoundCent(126500 / 1.16 * 1.07 * 0.14) + 126500 / 1.16 * 1.07));

    // Attachments: a name already in the folder is refused; a row whose file is gone is still removed.
    const QString source = writeFile(QStringLiteral("plan.pdf"), "pdf");
    dialogs.paths = {source};
    w.btnAddFileClick();
    ASSERT_EQ(child<QTreeWidget>(w, "lvAttachment")->topLevelItemCount(), 1);
    EXPECT_TRUE(QFileInfo::exists(folder + QStringLiteral("plan.pdf")));
    dialogs.paths = {source};
    w.btnAddFileClick();
    EXPECT_EQ(dialogs.calls.last().text, QStringLiteral("Datei \"plan.pdf\" ist im Zielverzeichnis bereits vorhanden. "
                                                        "\r\nBenennen Sie die zu kopierende Datei zunächst um."));
    EXPECT_EQ(child<QTreeWidget>(w, "lvAttachment")->topLevelItemCount(), 1);
    QFile::remove(folder + QStringLiteral("plan.pdf"));
    auto* files = child<QTreeWidget>(w, "lvAttachment");
    files->setCurrentItem(files->topLevelItem(0));
    dialogs.answers = {platform::MsgResult::Yes};
    w.btnDeleteFileClick();
    EXPECT_EQ(files->topLevelItemCount(), 0);
    EXPECT_TRUE(dialogs.calls.last().text.endsWith(QStringLiteral("\" :\r\nLöschen fehlgeschlagen.")));

    // Deleting a building asks first.
    auto* buildings = child<QTreeWidget>(w, "lvBuildings");
    buildings->setCurrentItem(buildings->topLevelItem(0));
    dialogs.answers = {platform::MsgResult::Yes};
    w.btnDeleteClick();
    EXPECT_EQ(dialogs.calls.last().text, QStringLiteral("Gebäude \"Haus A\" entfernen?"));
    EXPECT_FALSE(GetGebBuilding(b.PID));
    EXPECT_EQ(GetGebDimensions(b.PID).size(), 0);
}

TEST_F(BuildingWindowTest, AMissingStorageFolderDisablesTheAttachments) {
    TFrameBuilding w;
    w.Initialize(&obj, path(QStringLiteral("fehlt/")));
    EXPECT_TRUE(dialogs.calls.last().text.startsWith(QStringLiteral("Verzeichnis \"")));
    EXPECT_FALSE(child<QPushButton>(w, "btnAddFile")->isEnabled());
    EXPECT_FALSE(child<QTreeWidget>(w, "lvAttachment")->isEnabled());
}

TEST_F(BuildingWindowTest, ReportChoiceAndItsStatements) {
    {
        TFrmGebChoice none;
        none.Initialize(QStringLiteral("2"));
        EXPECT_EQ(none.lbGeb->count(), 0);
        none.btnOKClick();
        EXPECT_EQ(dialogs.calls.last().text, QStringLiteral("Bitte Gebäude wählen."));
        EXPECT_NE(none.result(), QDialog::Accepted);
    }
    TGebBuilding b = example();
    b.Ausf = QStringLiteral("Normale Ausführung");
    b.SummeBau = QStringLiteral("147.939,57");
    UpdateGebBuilding(b);
    TFrmGebChoice choice;
    choice.Initialize(QStringLiteral("1"));
    ASSERT_EQ(choice.lbGeb->count(), 1);
    EXPECT_EQ(choice.lbGeb->item(0)->text(), QStringLiteral("Werk | Weg 1 | 12345 Stadt | Haus A"));
    choice.lbGeb->setCurrentRow(0);
    choice.btnOKClick();
    EXPECT_EQ(choice.result(), QDialog::Accepted);
    EXPECT_EQ(choice.GetSelectedGebPID(), b.PID);
    EXPECT_EQ(choice.GetSelectedObjektPID(), objekt);
    EXPECT_EQ(choice.GetSelectedGebAusf(), QStringLiteral("Normale Ausführung"));

    const TGebBerichtSQL sql(1, choice.GetSelectedGebAusf(), choice.GetSelectedGebArt(), choice.GetSelectedObjektPID(),
                             choice.GetSelectedGebPID());
    EXPECT_TRUE(sql.GEB_Ausf_SQL().sql.contains(QStringLiteral("TABGEBTYPES.AUSFNORMAL as TAUSFUEHRUNG")));
    EXPECT_EQ(sql.GEB_Ausf_SQL().params.size(), 1);
    EXPECT_EQ(std::get<QString>(sql.GEB_Richtpreis_SQL().params[0]), QStringLiteral("Wohnhaus"));
    const QList<QVariantList> price = RunGebReportSql(sql.GEB_Richtpreis_SQL());
    ASSERT_EQ(price.size(), 1);
    EXPECT_EQ(price[0][0].toString(), QStringLiteral("1.150,00"));
    const QList<QVariantList> building = RunGebReportSql(sql.GEB_Building_SQL());
    ASSERT_EQ(building.size(), 1); // joined with its type, its object and today's regular rate
    EXPECT_EQ(building[0][0].toString(), QStringLiteral("Haus A"));
    EXPECT_TRUE(building[0].contains(QVariant(QStringLiteral("147.939,57"))));
    EXPECT_EQ(building[0].last().toDouble(), 19);
    EXPECT_EQ(RunGebReportSql(sql.GEB_Dim_Sum_SQL())[0][0].toDouble(), 100);
    EXPECT_EQ(RunGebReportSql(sql.GEB_Mandant_SQL()).size(), 1);
    EXPECT_EQ(RunGebReportSql(sql.GEB_Objekt_SQL()).size(), 1);
    EXPECT_EQ(sql.GetObjektData().PID, objekt);
    // An unknown finish gives no finish statements; a building of an unknown type no building row.
    const TGebBerichtSQL other(1, QStringLiteral("Sonder"), QStringLiteral("Unbekannt"), objekt, b.PID);
    EXPECT_TRUE(other.GEB_Ausf_SQL().isEmpty());
    EXPECT_TRUE(other.GEB_Richtpreis_SQL().isEmpty());
    b.Art = QStringLiteral("Unbekannt");
    UpdateGebBuilding(b);
    EXPECT_TRUE(RunGebReportSql(sql.GEB_Building_SQL()).isEmpty());
}

} // namespace

namespace {
// A building with lines whose sums the dialogs round to two decimals: the editor, the object window and
// brenvik-cli value it from the same inputs by the same routine and store the same figures.
TEST_F(BuildingWindowTest, EditorObjectWindowAndCommandLineStoreTheSameFigures) {
    TGebBuilding b(objekt);
    b.Caption = QStringLiteral("Halle krumm");
    b.Art = QStringLiteral("Wohnhaus");
    b.Versart = QStringLiteral("Neuwert");
    b.Zustand = QStringLiteral("Sorgfältige Instandhaltung");
    b.setBaujahr(QString::number(QDate::currentDate().year() - 33));
    b.Lebensdauer = 90;
    b.Richtpreis = 1234.56;
    b.VERSSTEUER = 0; // taken as 14 by every path
    InsertGebBuilding(b);
    for (auto [l, w] : {std::pair{12.345, 7.891}, {3.333, 3.333}}) {
        TGebDimension d;
        d.PID = NewGuidText();
        d.DimGeb_FK = b.PID;
        d.DimEinheit = QStringLiteral("m²");
        d.DimL = l, d.DimB = w;
        d.DimFlaeche = std::round(l * w * 100) / 100; // as the dialog stores what it shows
        InsertGebDimension(d);
    }
    TGebMeasure m;
    m.PID = NewGuidText();
    m.GebBuildingID = b.PID;
    m.MeasureCount = 3.5, m.Richtpreis = 111.11, m.MeasureSum = 388.89;
    InsertGebMeasure(m);
    const auto stored = [&b] {
        const TGebBuilding s = *GetGebBuilding(b.PID);
        return QStringLiteral("%1|%2|%3|%4")
            .arg(s.VersWert, 0, 'f', 2)
            .arg(s.Zeitwert, 0, 'f', 2)
            .arg(s.SummeBau, s.SummeNK);
    };

    TFrmBuilding editor;
    editor.Initialize(&b, &obj, false);
    ASSERT_TRUE(editor.SaveBuilding());
    const QString byEditor = stored();

    exec(QStringLiteral("UPDATE TABGEBBUILDINGA SET VERSWERT = 1, ZEITWERT = 1, SUMMEBAU = 'x', SUMMENK = 'x'"));
    {
        TFrameBuilding w;
        w.Initialize(&obj, tmp.path());
        click(w, "btnOK");
    }
    const QString byObjectWindow = stored();

    exec(QStringLiteral("UPDATE TABGEBBUILDINGA SET VERSWERT = 1, ZEITWERT = 1, SUMMEBAU = 'x', SUMMENK = 'x'"));
    QTemporaryDir data;
    {
        platform::IniProfile ini(data.filePath(QStringLiteral("brenvik.ini")));
        ini.writeString("BRENVIK-DB", "DATABASE", dbFile);
        ini.writeString("BRENVIK-DB", "DBTYPE", "LOCAL");
    }
    const QList<int> held{1};
    session->detach(); // the embedded file belongs to one process at a time
    QProcess cli;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("BRENVIK_DATA_DIR"), data.path());
    cli.setProcessEnvironment(env);
    cli.start(QStringLiteral(BRENVIK_CLI), {QStringLiteral("building-calc"), QStringLiteral("--pid"), b.PID});
    ASSERT_TRUE(cli.waitForFinished(60000));
    session->attach();
    ASSERT_EQ(cli.exitCode(), 0) << cli.readAllStandardError().toStdString();
    const QString byCli = stored();

    EXPECT_EQ(byEditor, byObjectWindow);
    EXPECT_EQ(byEditor, byCli);
    EXPECT_FALSE(byEditor.startsWith(QStringLiteral("1.00")));
}
} // namespace

TEST_F(BuildingWindowTest, ElevatorsOfOneNameAreToldApartInTheirList) {
    for (auto [count, load, sum] : {std::tuple{1, "630 kg", 9000.0}, {2, "1000 kg", 21000.0}}) {
        TGebAufzugBestand a;
        a.PID = NewGuidText();
        a.OwnerID = QStringLiteral("B1");
        a.AufzugCaption = QStringLiteral("Personenaufzug");
        a.Anzahl = count;
        a.Nutzlast = QString::fromLatin1(load);
        a.AufzugSumme = sum;
        InsertGebAufzugBestand(a);
    }
    TFrmGebAufzug list;
    list.Initialize(QStringLiteral("B1"));
    auto* lv = child<QTreeWidget>(list, "lvAufzuege");
    ASSERT_EQ(lv->topLevelItemCount(), 2);
    QStringList lines;
    for (int i = 0; i < 2; ++i) {
        const QTreeWidgetItem* item = lv->topLevelItem(i);
        lines << QStringList({item->text(0), item->text(1), item->text(2), item->text(3)}).join(QLatin1Char('|'));
    }
    lines.sort();
    EXPECT_EQ(lines, (QStringList{QStringLiteral("Personenaufzug|1000 kg|2|21000"),
                                  QStringLiteral("Personenaufzug|630 kg|1|9000")}));
}

namespace {

// On a small screen the editor's fields scroll while "OK" stays in sight, and a seven-digit amount is whole.
TEST_F(BuildingWindowTest, EditorButtonsStayInSightAndAmountsFitTheirFields) {
    TGebBuilding b = example();
    TFrmBuilding w;
    w.Initialize(&b, &obj, false);
    w.show();
    auto* scroll = w.findChild<QScrollArea*>(QStringLiteral("scrlGebaeude"));
    ASSERT_NE(scroll, nullptr);
    EXPECT_FALSE(scroll->widget()->isAncestorOf(child<QPushButton>(w, "btnOK")));
    EXPECT_LE(w.height(), QGuiApplication::primaryScreen()->availableGeometry().height() - 40);
    for (const char* name : {"txtVersWert", "txtWiederKost", "txtProdukt", "txtZeitwert"}) {
        auto* field = child<QLineEdit>(w, name);
        EXPECT_GE(field->width(), field->fontMetrics().horizontalAdvance(QStringLiteral("9.999.999,99"))) << name;
    }
}

} // namespace
