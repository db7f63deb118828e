// The asset list, the editor and the index dialogs, driven headless by object names with scripted answers.

#include "assets/frm_editasset.h"
#include "assets/frm_index.h"
#include "assets/frm_verswerte.h"
#include "assets/picture.h"
#include "core/convert.h"
#include "db/indexwerte.h"
#include "db/versicherungswerte.h"
#include "support/fixtures.h"
#include "support/widgets.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTreeWidget>
#include <QTest>

using platform::MsgButtons;
using platform::MsgIcon;
using platform::MsgResult;

namespace {

const int Y = QDate::currentDate().year();

class AssetWindowTest : public SchemaDbTest {
protected:
    void SetUp() override {
        SchemaDbTest::SetUp();
        for (int year = Y - 10; year < Y; ++year) {
            exec(QStringLiteral("INSERT INTO INDEXWERTE (BRV_MANDANT_NR, KATEGORIE_NR, INDEXJAHR, INDEXWERT) VALUES "
                                "(1, 443, %1, %2)")
                     .arg(year)
                     .arg(100 + (year - (Y - 10)) * 5));
            exec(QStringLiteral("INSERT INTO INDEXWERTE (BRV_MANDANT_NR, KATEGORIE_NR, INDEXJAHR, INDEXWERT) VALUES "
                                "(1, 612, %1, 100)")
                     .arg(year));
        }
        exec(QStringLiteral("INSERT INTO INDEXBESCHREIBUNGEN (BRV_MANDANT_NR, KATEGORIE_NR, INDEX_NR, INDEX_TEXT, "
                            "NUTZUNGSDAUER) VALUES (1, 443, 4430, 'Maschinen für die Metallbearbeitung', 10)"));
        exec(QStringLiteral("INSERT INTO INDEXBESCHREIBUNGEN (BRV_MANDANT_NR, KATEGORIE_NR, INDEX_NR, INDEX_TEXT, "
                            "NUTZUNGSDAUER) VALUES (1, 612, 6120, 'BÜROMÖBEL', 8)"));
    }
    // Asset nr/sub of client 1 bought five years ago for 1000.
    void asset(int nr, int sub, const QString& desc, const char* quelle = "IMPORT", const char* geloescht = "0",
               const char* bearbeitung = "0", double ahk = 1000, int client = 1) {
        BrvExec(QStringLiteral("INSERT INTO VERSICHERUNGSWERTE (BRV_MANDANT_NR, MANDANT_NR, ANLAGE_NR, ANLAGE_SUB_NR, "
                               "KONTO_NR, ANLAGEBEZEICHNUNG, ANSCHAFFUNGSDATUM, AHK, KATEGORIE_NR, NUTZUNGSDAUER, "
                               "GELOESCHT, BEARBEITUNG, FESTE_TAXE, QUELLE, ZEITWERT, LISTENPREIS, UPDATE_CHECK, "
                               "GEMIETET, LEASING) VALUES "
                               "(1, ?, ?, ?, '0420', ?, ?, ?, 443, 10, ?, ?, '0', ?, 7, 99, '1', '0', '0')"),
                client, nr, sub, desc, SqlTs{EncodeDate(Y - 5, 6, 1)}, ahk, QString::fromLatin1(geloescht),
                QString::fromLatin1(bearbeitung), QString::fromLatin1(quelle));
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
    QString storedText(int nr, int sub, const char* col) {
        return scalar(QStringLiteral("SELECT %1 FROM VERSICHERUNGSWERTE WHERE MANDANT_NR = 1 AND ANLAGE_NR = %2 AND "
                                     "ANLAGE_SUB_NR = %3")
                          .arg(QLatin1String(col))
                          .arg(nr)
                          .arg(sub));
    }
    std::unique_ptr<Tfrm_VersWerte> open() {
        auto w = std::make_unique<Tfrm_VersWerte>();
        w->iClientID = 1;
        w->sClientName = QStringLiteral("Muster GmbH (1)");
        w->show();
        return w;
    }
    QStringList column(Tfrm_VersWerte& w, int c) {
        QStringList out;
        for (int r = 0; r < w.model()->rowCount(); ++r)
            out << w.model()->data(w.model()->index(r, c), Qt::DisplayRole).toString();
        return out;
    }
    void select(Tfrm_VersWerte& w, std::initializer_list<int> rows) {
        w.grid()->clearSelection();
        for (int r : rows) {
            w.grid()->selectionModel()->setCurrentIndex(w.model()->index(r, 0), QItemSelectionModel::NoUpdate);
            w.grid()->selectionModel()->select(w.model()->index(r, 0),
                                               QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
        w.grid()->selectionModel()->setCurrentIndex(w.model()->index(*rows.begin(), 0), QItemSelectionModel::NoUpdate);
    }
    QString lastMessage() const { return dialogs.calls.isEmpty() ? QString() : dialogs.calls.last().text; }
};

TEST_F(AssetWindowTest, EmptyRegisterFiltersSortingAndColours) {
    {
        auto w = open();
        EXPECT_EQ(w->model()->rowCount(), 1);
        EXPECT_EQ(child<QLabel>(*w, "lbAnzahl")->text(), QStringLiteral("  / Anzahl selektierter Anlagen: 1"));
        EXPECT_FALSE(child<QPushButton>(*w, "btnExport")->isEnabled());
    }
    asset(1, 0, QStringLiteral("Drehbank gebr."));
    asset(2, 0, QStringLiteral("Bohrmaschine"), "IMPORT", "1");
    asset(2, 1, QStringLiteral("Aufsatz"));
    asset(3, 0, QStringLiteral("Anlage & Co"), "MANUELL", "0", "1", 0.5);
    asset(1, 0, QStringLiteral("fremd"), "IMPORT", "0", "0", 1, 2);
    auto w = open();
    EXPECT_EQ(column(*w, 0), (QStringList{"1", "2", "2", "3"}));
    EXPECT_TRUE(child<QPushButton>(*w, "btnExport")->isEnabled());
    EXPECT_EQ(child<QLabel>(*w, "lbAnzahl")->text(), QStringLiteral("  / Anzahl selektierter Anlagen: 4"));
    EXPECT_EQ(column(*w, 5)[0], QStringLiteral("1.000,00 €"));
    EXPECT_EQ(column(*w, 4)[0], QStringLiteral("01.06.%1").arg(Y - 5));
    // Colours: deleted red, to-do bold, related grey.
    auto role = [&](int row, int r) { return w->model()->data(w->model()->index(row, 3), r); };
    EXPECT_EQ(role(1, Qt::BackgroundRole).value<QColor>(), QColor(255, 113, 113));
    EXPECT_TRUE(role(3, Qt::FontRole).value<QFont>().bold());
    EXPECT_EQ(role(2, Qt::ForegroundRole).value<QColor>(), QColor(128, 128, 128));
    EXPECT_EQ(role(0, Qt::ForegroundRole).value<QColor>(), QColor(Qt::black));

    child<QCheckBox>(*w, "cbxAHK1EUR")->click(); // used: "gebr." or AHK <= 1
    EXPECT_EQ(column(*w, 0), (QStringList{"1", "3"}));
    child<QCheckBox>(*w, "cbxToDoAnlagen")->click();
    EXPECT_EQ(column(*w, 0), QStringList{"3"});
    child<QCheckBox>(*w, "cbxAHK1EUR")->click();
    child<QCheckBox>(*w, "cbxToDoAnlagen")->click();
    type(*w, "edAnlagebezeichnung", QStringLiteral("bohr"));
    EXPECT_EQ(column(*w, 0).size(), 4); // text filters wait for the button
    click(*w, "btn_ActivateFilter");
    EXPECT_TRUE(w->model()->rows().isEmpty()); // the substring match minds the case
    type(*w, "edAnlagebezeichnung", QStringLiteral("ohr"));
    click(*w, "btn_ActivateFilter");
    EXPECT_EQ(column(*w, 3), QStringList{"Bohrmaschine"});
    type(*w, "edAnlagebezeichnung", QStringLiteral("Aufsatz"));
    child<QCheckBox>(*w, "cbxFindWord")->setChecked(true);
    click(*w, "btn_ActivateFilter");
    EXPECT_EQ(column(*w, 3), QStringList{"Aufsatz"});
    click(*w, "btn_ClearFields");
    EXPECT_TRUE(child<QLineEdit>(*w, "edAnlagebezeichnung")->text().isEmpty());
    EXPECT_FALSE(child<QCheckBox>(*w, "cbxFindWord")->isChecked());
    EXPECT_EQ(column(*w, 3), QStringList{"Aufsatz"}); // no reload
    click(*w, "btn_ActivateFilter");

    // Sorting by header; the current asset is found again.
    select(*w, {2});
    w->HeaderClick(3);
    EXPECT_EQ(w->sortField(), QStringLiteral("ANLAGEBEZEICHNUNG"));
    EXPECT_EQ(column(*w, 3), (QStringList{"Anlage & Co", "Aufsatz", "Bohrmaschine", "Drehbank gebr."}));
    EXPECT_EQ(w->grid()->currentIndex().row(), 1);
    w->HeaderClick(11); // "Bearbeitung" keeps the order
    EXPECT_EQ(w->sortField(), QStringLiteral("ANLAGEBEZEICHNUNG"));
    w->HeaderClick(0);
    EXPECT_EQ(column(*w, 0), (QStringList{"1", "2", "2", "3"}));

    // Selection rules.
    select(*w, {0, 1});
    EXPECT_FALSE(child<QPushButton>(*w, "btnBearbeiten")->isEnabled());
    EXPECT_FALSE(child<QPushButton>(*w, "btnLoeschen")->isEnabled());
    select(*w, {1});
    EXPECT_TRUE(child<QPushButton>(*w, "btnBearbeiten")->isEnabled());
    EXPECT_FALSE(child<QPushButton>(*w, "btnLoeschen")->isEnabled()); // marked deleted
    EXPECT_TRUE(child<QPushButton>(*w, "btnVerbund")->isEnabled());
    select(*w, {2});
    EXPECT_FALSE(child<QPushButton>(*w, "btnVerbund")->isEnabled()); // a related asset
}

TEST_F(AssetWindowTest, DeletionMarkAndCompleteRemoval) {
    asset(1, 0, QStringLiteral("Import"));
    asset(1, 1, QStringLiteral("Import Teil"));
    asset(5, 0, QStringLiteral("Hand"), "MANUELL");
    asset(5, 1, QStringLiteral("Hand Teil"), "MANUELL");
    auto w = open();
    w->DeleteClick();
    EXPECT_EQ(lastMessage(), QStringLiteral("Bitte wählen Sie zunächst die zu löschende Anlage aus."));
    select(*w, {0});
    dialogs.calls.clear();
    w->DeleteClick(); // Yes
    EXPECT_EQ(dialogs.calls[0].text, QStringLiteral("Wollen Sie mit dem Setzen einer Löschmarkierung fortfahren? "));
    EXPECT_EQ(lastMessage(), QStringLiteral("Die Anlage wurde erfolgreich als gelöscht markiert."));
    EXPECT_EQ(storedText(1, 0, "GELOESCHT"), QStringLiteral("1"));
    EXPECT_EQ(storedText(1, 1, "GELOESCHT"), QStringLiteral("1")); // related assets alike

    select(*w, {2});
    dialogs.calls.clear();
    dialogs.answers = {MsgResult::No, MsgResult::Ok};
    w->DeleteClick();
    ASSERT_EQ(dialogs.calls.size(), 3);
    EXPECT_TRUE(dialogs.calls[0].text.startsWith(QStringLiteral("Es besteht die Möglichkeit, die Anlage vollständig")));
    EXPECT_EQ(dialogs.calls[1].text,
              QStringLiteral("Bitte bestätigen Sie das vollständige Entfernen der gewählten Anlage "
                             "aus der Datenbank: \r\n(5) Hand\r\nAchtung, eine Reaktivierung dieser "
                             "Anlage ist anschliessend nicht mehr möglich!"));
    EXPECT_EQ(dialogs.calls[1].buttons, MsgButtons::OkCancel);
    EXPECT_EQ(dialogs.calls[2].text, QStringLiteral("Die Anlage wurde erfolgreich gelöscht."));
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM VERSICHERUNGSWERTE WHERE ANLAGE_NR = 5")), 0);
    EXPECT_EQ(column(*w, 0), (QStringList{"1", "1"}));
}

TEST_F(AssetWindowTest, BatchValuationAndReindexing) {
    asset(1, 0, QStringLiteral("A"));
    asset(2, 0, QStringLiteral("B gelöscht"), "IMPORT", "1");
    asset(3, 0, QStringLiteral("C feste Taxe"));
    exec(QStringLiteral("UPDATE VERSICHERUNGSWERTE SET FESTE_TAXE = '1' WHERE ANLAGE_NR = 3"));
    asset(4, 0, QStringLiteral("D ohne Index"));
    exec(QStringLiteral("UPDATE VERSICHERUNGSWERTE SET KATEGORIE_NR = 999 WHERE ANLAGE_NR = 4"));
    auto w = open();
    w->bVAT = true;
    dialogs.answers = {MsgResult::No};
    w->StartValuation();
    EXPECT_EQ(dialogs.calls[0].buttons, MsgButtons::YesNoCancel);
    EXPECT_EQ(lastMessage(),
              QStringLiteral("Die Berechnung ist abgeschlossen.\r\nEs wurden keine Probleme festgestellt."));
    const double vw = (145.0 / 125.0) * 1000; // index of last year over the acquisition year's
    EXPECT_DOUBLE_EQ(stored(1, 0, "VERSICHERUNGSWERT"), vw);
    EXPECT_EQ(stored(2, 0, "VERSICHERUNGSWERT"), 0.0);
    EXPECT_EQ(stored(3, 0, "VERSICHERUNGSWERT"), 1000.0);
    EXPECT_EQ(stored(3, 0, "ZEITWERT"), 7.0);
    EXPECT_EQ(stored(4, 0, "VERSICHERUNGSWERT"), 0.0);
    EXPECT_EQ(column(*w, 6)[0], FormatCurrency(vw)); // the grid shows the new value without a reload

    // Re-indexing the selected rows writes category and insured value, also into deleted and fixed rows.
    select(*w, {1, 2});
    ScopedRunner pick([](QDialog& d) {
        auto& p = static_cast<Tfrm_SelectIdxCategory&>(d);
        EXPECT_EQ(p.iIndexJahr, Y - 5);
        EXPECT_EQ(p.lbAnlagebezeichnung->text(), QStringLiteral("B gelöscht"));
        p.iKategorieNr = 612;
        return int(QDialog::Accepted);
    });
    {
        // A picker that comes back without a category changes nothing.
        ScopedRunner none([](QDialog& d) {
            static_cast<Tfrm_SelectIdxCategory&>(d).iKategorieNr = 0;
            return int(QDialog::Accepted);
        });
        w->ReindexSelected();
        EXPECT_NE(stored(2, 0, "KATEGORIE_NR"), 0.0);
        EXPECT_EQ(dialogs.calls.last().text,
                  QStringLiteral("Es wurde kein Index ausgewählt. Die Anlagen bleiben unverändert."));
    }
    ScopedRunner pick612([](QDialog& d) {
        static_cast<Tfrm_SelectIdxCategory&>(d).iKategorieNr = 612;
        return int(QDialog::Accepted);
    });
    w->ReindexSelected();
    EXPECT_EQ(stored(2, 0, "KATEGORIE_NR"), 612.0);
    EXPECT_EQ(stored(3, 0, "KATEGORIE_NR"), 612.0);
    EXPECT_DOUBLE_EQ(stored(2, 0, "VERSICHERUNGSWERT"), 1000.0);
    EXPECT_EQ(stored(3, 0, "ZEITWERT"), 7.0);
    EXPECT_EQ(column(*w, 9)[1], QStringLiteral("612"));

    // An index exchange of 443 for 612 reaches the whole client.
    Tfrm_ExChgIdx x;
    x.iClientID = 1;
    type(x, "edIdxOld", QStringLiteral("443"));
    type(x, "edIdxNew", QStringLiteral("777"));
    click(x, "btnOk");
    EXPECT_EQ(lastMessage(), QStringLiteral("Der Index konnte nicht in der Referenz-Datenbank gefunden werden."));
    EXPECT_EQ(x.result(), QDialog::Accepted);
    type(x, "edIdxNew", QStringLiteral("612"));
    click(x, "btnOk");
    EXPECT_EQ(lastMessage(), QStringLiteral("Der Index wurde erfolgreich im Bestand ersetzt."));
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM VERSICHERUNGSWERTE WHERE KATEGORIE_NR = 443")), 0);
}

TEST_F(AssetWindowTest, ExportAsksBeforeReplacing) {
    asset(1, 0, QStringLiteral("A"));
    auto w = open();
    const QString file = writeFile(QStringLiteral("alt.csv"), "bleibt");
    dialogs.paths = {tmp.filePath(QStringLiteral("alt"))};
    dialogs.answers = {MsgResult::No};
    dialogs.calls.clear();
    w->ExportClick();
    EXPECT_EQ(dialogs.calls.size(), 2); // the save dialog and the question, nothing after No
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("bleibt"));
    f.close();
    dialogs.paths = {file};
    w->ExportClick();
    EXPECT_EQ(lastMessage(), QStringLiteral("Der Export wurde erfolgreich abgeschlossen."));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_TRUE(f.readAll().startsWith("Kontonummer/ Inventarnummer;"));
}

TEST_F(AssetWindowTest, EditorChecksSavesAndKeepsTheImportMarks) {
    asset(1, 0, QStringLiteral("A"));
    asset(4, 0, QStringLiteral("B"));
    asset(9, 0, QStringLiteral("C"));
    Tfrm_EditAsset d;
    d.iClientID = 1;
    d.iAnlageNr = 4;
    d.show();
    EXPECT_EQ(child<QLineEdit>(d, "edAHK")->text(), QStringLiteral("1.000,00"));
    EXPECT_EQ(child<QLabel>(d, "lbIndexbezeichnung")->text(), QStringLiteral("Maschinen für die Metallbearbeitung"));
    EXPECT_EQ(child<QLabel>(d, "lbOrgAHK")->text(), QStringLiteral("n.v."));
    EXPECT_TRUE(child<QPushButton>(d, "btnVoriger")->isEnabled());
    EXPECT_TRUE(child<QPushButton>(d, "btnNaechster")->isEnabled());
    const QString lead =
        QStringLiteral("Es trat ein Fehler beim Überprüfen der eingegebenen Werte auf:\r\nFehlermeldung: ");
    type(d, "edKonto_nr", QStringLiteral("  "));
    type(d, "edAnschaffungsdatum", QStringLiteral("kein Datum"));
    click(d, "btnSpeichern");
    EXPECT_EQ(lastMessage(), lead + QStringLiteral("Das Feld Kontonummer enthaelt keinen gueltigen Wert."));
    EXPECT_EQ(dialogs.calls.last().buttons, MsgButtons::Cancel);
    type(d, "edKonto_nr", QStringLiteral(" 0500 "));
    click(d, "btnSpeichern");
    EXPECT_TRUE(lastMessage().startsWith(lead + QStringLiteral("Das Anlagedatum enthaelt keinen korrekten Wert.\r\n")));
    type(d, "edAnschaffungsdatum", QStringLiteral("3/4/2019"));
    type(d, "edKategorieNr", QStringLiteral("5"));
    click(d, "btnSpeichern");
    EXPECT_EQ(lastMessage(),
              lead + QStringLiteral("Der Index konnte nicht in der Referenz-Datenbank gefunden werden."));
    EXPECT_EQ(child<QLineEdit>(d, "edAnschaffungsdatum")->text(), QStringLiteral("3.4.2019"));
    type(d, "edKategorieNr", QStringLiteral("612"));
    type(d, "edAHK", QStringLiteral("2.500,5"));
    child<QCheckBox>(d, "cbxFeste_Taxe")->click();
    EXPECT_FALSE(child<QLineEdit>(d, "edVersWert")->isEnabled());
    type(d, "edAHK", QStringLiteral("3.000")); // changed after ticking: the AHK still counts
    click(d, "btnSpeichern");
    ASSERT_EQ(d.result(), QDialog::Accepted) << lastMessage().toStdString();
    EXPECT_TRUE(d.bSave);
    EXPECT_EQ(storedText(4, 0, "KONTO_NR"), QStringLiteral("0500"));
    EXPECT_EQ(stored(4, 0, "VERSICHERUNGSWERT"), 3000.0);
    EXPECT_EQ(stored(4, 0, "ANSCHAFFUNGSJAHR"), 2019.0);
    // What the window does not show survives the edit.
    EXPECT_EQ(storedText(4, 0, "QUELLE"), QStringLiteral("IMPORT"));
    EXPECT_EQ(storedText(4, 0, "UPDATE_CHECK"), QStringLiteral("1"));
    EXPECT_EQ(stored(4, 0, "LISTENPREIS"), 99.0);
}

TEST_F(AssetWindowTest, EditorValuesBrowsesAtBothEndsAndNumbersNewAssets) {
    asset(1, 0, QStringLiteral("A"));
    asset(4, 0, QStringLiteral("B"));
    asset(9, 0, QStringLiteral("C"));
    Tfrm_EditAsset d;
    d.iClientID = 1;
    d.bVAT = true;
    d.iAnlageNr = 9;
    d.show();
    EXPECT_FALSE(child<QPushButton>(d, "btnNaechster")->isEnabled()); // the highest number
    click(d, "btnVersWert");
    EXPECT_EQ(child<QLineEdit>(d, "edVersWert")->text(), FormatAmount((145.0 / 125.0) * 1000));
    type(d, "edNutzungsdauer", QStringLiteral("0"));
    click(d, "btnZeitwert"); // the category's ten years: age 5 gives half
    EXPECT_EQ(child<QLineEdit>(d, "edZeitwert")->text(), FormatAmount((145.0 / 125.0) * 1000 * 0.5));
    type(d, "edKategorieNr", QStringLiteral("x"));
    click(d, "btnVersWert");
    EXPECT_EQ(lastMessage(),
              QStringLiteral("Der Versicherungswert kann nicht errechnet werden.\r\nBitte prüfen Sie die "
                             "Anschaffungs-/ Herstellungskosten und den gewählten Index."));
    type(d, "edKategorieNr", QStringLiteral("443"));
    d.NaechsterClick(); // disabled at the end: nothing happens
    EXPECT_EQ(d.iAnlageNr, 9);
    child<QPushButton>(d, "btnNaechster")->setEnabled(true);
    d.NaechsterClick(); // from the highest: on with the lowest number above 1
    EXPECT_EQ(d.iAnlageNr, 4);
    EXPECT_DOUBLE_EQ(stored(9, 0, "VERSICHERUNGSWERT"), std::round((145.0 / 125.0) * 1000 * 100) / 100);
    d.VorigerClick();
    EXPECT_EQ(d.iAnlageNr, 1);
    EXPECT_FALSE(child<QPushButton>(d, "btnVoriger")->isEnabled());
    child<QPushButton>(d, "btnVoriger")->setEnabled(true);
    d.VorigerClick(); // from the lowest: the client's highest number
    EXPECT_EQ(d.iAnlageNr, 9);

    // A new asset, then the next one: each takes its own number.
    Tfrm_EditAsset n;
    n.iClientID = 1;
    n.iAnlageNr = GetMaxAnlageNr(1) + 1;
    n.bAdd = true;
    n.show();
    auto fill = [&](const QString& desc) {
        type(n, "edKonto_nr", QStringLiteral("0700"));
        type(n, "edAnlagebezeichnung", desc);
        type(n, "edAnschaffungsdatum", QStringLiteral("01.02.%1").arg(Y));
        type(n, "edAHK", QStringLiteral("100"));
        type(n, "edKategorieNr", QStringLiteral("443"));
    };
    fill(QStringLiteral("Neu 1"));
    n.NaechsterClick();
    EXPECT_EQ(n.iAnlageNr, 11);
    EXPECT_TRUE(child<QLineEdit>(n, "edAnlagebezeichnung")->text().isEmpty());
    fill(QStringLiteral("Neu 2"));
    click(n, "btnSpeichern");
    EXPECT_EQ(storedText(10, 0, "ANLAGEBEZEICHNUNG"), QStringLiteral("Neu 1"));
    EXPECT_EQ(storedText(11, 0, "ANLAGEBEZEICHNUNG"), QStringLiteral("Neu 2"));
    EXPECT_EQ(storedText(11, 0, "QUELLE"), QStringLiteral("MANUELL"));
}

TEST_F(AssetWindowTest, PictureOfAJpegIsStoredAsBitmap) {
    asset(17, 0, QStringLiteral("Mit Bild"));
    asset(17, 1, QStringLiteral("Teil mit Bild"));
    const QString folder = tmp.filePath(QStringLiteral("kunde_1"));
    QDir().mkpath(folder);
    BrvExec(QStringLiteral("UPDATE MANDANTEN SET SICHERUNGSPFAD = ?"), folder);
    BrvCommit();
    qputenv("BRENVIK_DATA_DIR", tmp.path().toUtf8());
    QImage img(40, 30, QImage::Format_RGB32);
    img.fill(QColor(200, 30, 30));
    const QString jpeg = tmp.filePath(QStringLiteral("foto.JPG"));
    ASSERT_TRUE(img.save(jpeg, "JPG"));
    EXPECT_EQ(DecodeJpeg(jpeg).size(), QSize(40, 30));
    EXPECT_THROW(DecodeJpeg(writeFile(QStringLiteral("kaputt.jpg"), "keine Bilddaten")), Exception);

    Tfrm_EditAsset d;
    d.iClientID = 1;
    d.iAnlageNr = 17;
    d.iAnlageSubNr = 1;
    d.show();
    dialogs.paths = {jpeg};
    click(d, "btnBildAuswaehlen");
    const QString target = folder + QStringLiteral("/pic_17.bmp");
    ASSERT_TRUE(QFile::exists(target)) << lastMessage().toStdString();
    QFile bmp(target);
    ASSERT_TRUE(bmp.open(QIODevice::ReadOnly));
    EXPECT_EQ(bmp.read(2), QByteArray("BM"));
    EXPECT_EQ(d.fileNamePicture, QStringLiteral("pic_17.bmp"));
    EXPECT_FALSE(child<QLabel>(d, "imgAsset")->pixmap().isNull());
    click(d, "btnBildOriginal");
    EXPECT_TRUE(child<QWidget>(d, "pnlOriginal")->isVisible());
    click(d, "btnAusblenden");
    click(d, "btnSpeichern");
    EXPECT_EQ(storedText(17, 1, "DATEINAME_FOTO"), QStringLiteral("pic_17.bmp"));
    qunsetenv("BRENVIK_DATA_DIR");
}

TEST_F(AssetWindowTest, IndexPickerListsOnlyUsableSeriesUnlessAllAreWanted) {
    exec(QStringLiteral(
        "INSERT INTO INDEXBESCHREIBUNGEN (BRV_MANDANT_NR, KATEGORIE_NR, INDEX_TEXT) VALUES (1, 900, 'Alt')"));
    exec(QStringLiteral(
             "INSERT INTO INDEXWERTE (BRV_MANDANT_NR, KATEGORIE_NR, INDEXJAHR, INDEXWERT) VALUES (1, 900, %1, 50)")
             .arg(Y - 1));
    Tfrm_SelectIdxCategory d;
    d.iIndexJahr = Y - 20; // no series has a value for that year
    d.show();
    auto* list = child<QTreeWidget>(d, "lvIndizes");
    EXPECT_EQ(list->topLevelItemCount(), 0);
    EXPECT_EQ(child<QLabel>(d, "lbIdxAnzahl")->text(), QStringLiteral("Anzahl: 0"));
    child<QCheckBox>(d, "cbxAlleIndizes")->click();
    EXPECT_EQ(list->topLevelItemCount(), 3);
    type(d, "edSearch", QStringLiteral("büromöbel"));
    click(d, "btnSearch");
    ASSERT_EQ(list->topLevelItemCount(), 1);
    list->setCurrentItem(list->topLevelItem(0));
    EXPECT_EQ(d.iKategorieNr, 612);
    EXPECT_EQ(d.iDestatisIndexNr, 6120);
    child<QCheckBox>(d, "cbxAlleIndizes")->click();
    d.iIndexJahr = Y - 5;
    click(d, "btnSearch");
    EXPECT_EQ(list->topLevelItemCount(), 1); // 612 has values for both years

    // Enter in the search field searches; it never takes an old or empty choice.
    Tfrm_SelectIdxCategory e;
    e.iKategorieNr = 4711; // what the caller had before
    e.show();
    auto* search = child<QLineEdit>(e, "edSearch");
    search->setFocus();
    search->setText(QStringLiteral("büromöbel"));
    QTest::keyClick(search, Qt::Key_Return);
    EXPECT_TRUE(e.isVisible());
    EXPECT_NE(e.result(), QDialog::Accepted);
    click(e, "btnUebernehmen");
    EXPECT_NE(e.result(), QDialog::Accepted);
    EXPECT_EQ(dialogs.calls.last().text, QStringLiteral("Bitte wählen Sie zunächst einen Index aus der Liste aus."));
}

} // namespace

#include "import/frm_importassets.h"

namespace {

TEST_F(AssetWindowTest, ImportWindowChecksReadsTakesOverAndArchives) {
    const QString folder = tmp.filePath(QStringLiteral("kunde_1"));
    QDir().mkpath(folder);
    BrvExec(QStringLiteral("UPDATE MANDANTEN SET SICHERUNGSPFAD = ?"), folder);
    BrvCommit();
    asset(1, 0, QStringLiteral("Bleibt"));
    Tfrm_ImportAssets w;
    w.iClientID = 1;
    w.sClientName = QStringLiteral("Muster GmbH (1)");
    w.sUSE_BACKUP_FOLDER_DB = QStringLiteral("0");
    w.show();
    EXPECT_EQ(child<QLabel>(w, "lbIndexbezeichnung")->text(), QStringLiteral("Maschinen für die Metallbearbeitung"));
    const QString lead = QStringLiteral("Fehlerhafte Angaben:\r\nFehlernachricht: ");
    click(w, "btnPruefen");
    EXPECT_EQ(lastMessage(), lead + QStringLiteral("Es ist kein gültiger Dateityp ausgewählt."));
    child<QComboBox>(w, "cbbxFiletype")->setCurrentIndex(1);
    click(w, "btnPruefen");
    EXPECT_EQ(lastMessage(), lead + QStringLiteral("Es ist kein gültiger Dateiname angegeben."));
    type(w, "edFileName", tmp.filePath(QStringLiteral("fehlt.txt")));
    click(w, "btnPruefen");
    EXPECT_TRUE(lastMessage().startsWith(lead + QStringLiteral("Die angegebene Datei existiert nicht")));
    const QString file = writeFile(QStringLiteral("Anlagen.txt"),
                                   "Kopf\r\n0430;A;;01.02.2003;;AHK;100\r\n0421;Neu;;01.02.2003;;AHK;250,5\r\n");
    type(w, "edFileName", QStringLiteral("  ") + file + QStringLiteral("  "));
    type(w, "edKategorieNr", QStringLiteral("12x"));
    click(w, "btnPruefen");
    EXPECT_TRUE(
        lastMessage().startsWith(lead + QStringLiteral("Der angegebene Index ist kein gültiger numerischer Wert")));
    type(w, "edKategorieNr", QStringLiteral("999"));
    EXPECT_EQ(child<QLabel>(w, "lbIndexbezeichnung")->text(), QStringLiteral("<unbekannt>"));
    click(w, "btnPruefen");
    EXPECT_TRUE(
        lastMessage().startsWith(lead + QStringLiteral("Der angegebene Index wurde nicht in der Referenzliste")));
    type(w, "edKategorieNr", QStringLiteral("612"));
    dialogs.calls.clear();
    click(w, "btnPruefen");
    EXPECT_EQ(child<QLineEdit>(w, "edFileName")->text(), file);
    EXPECT_EQ(child<QTreeWidget>(w, "lvImportData")->topLevelItemCount(), 2);
    EXPECT_EQ(child<QLabel>(w, "lbListviewSum")->text(), QStringLiteral("Anzahl: 2 von 2"));
    EXPECT_EQ(lastMessage(), QStringLiteral("Der Import wurde erfolgreich abgeschlossen."));
    EXPECT_EQ(child<QLabel>(w, "lbImportSumme")->text(),
              QStringLiteral("Gelesen: 2, bereitgestellt: 2, fehlgeschlagen: 0"));
    // Nothing failed; the list only says which line was taken as the header.
    ASSERT_EQ(child<QTreeWidget>(w, "lvImportFehler")->topLevelItemCount(), 1);
    EXPECT_EQ(child<QTreeWidget>(w, "lvImportFehler")->topLevelItem(0)->text(1),
              QStringLiteral("Zeile 1 wurde als Überschrift übersprungen: \"Kopf\""));
    // The standard index is checked again before anything is taken over.
    type(w, "edKategorieNr", QStringLiteral("abc"));
    dialogs.calls.clear();
    click(w, "btnUebernehmen");
    ASSERT_EQ(dialogs.calls.size(), 1);
    EXPECT_TRUE(
        lastMessage().startsWith(lead + QStringLiteral("Der angegebene Index ist kein gültiger numerischer Wert")));
    EXPECT_EQ(dialogs.calls[0].icon, MsgIcon::Error);
    EXPECT_EQ(storedText(1, 0, "GELOESCHT"), QStringLiteral("0"));
    type(w, "edKategorieNr", QStringLiteral("612"));
    // The one imported asset that the file no longer lists is all there was: the plan is put to the user first.
    dialogs.calls.clear();
    dialogs.answers = {platform::MsgResult::No};
    click(w, "btnUebernehmen");
    ASSERT_EQ(dialogs.calls.size(), 2);
    EXPECT_EQ(dialogs.calls[0].icon, MsgIcon::Question);
    EXPECT_EQ(dialogs.calls[0].text,
              QStringLiteral(
                  "Die Datenübernahme wird folgende Änderungen vornehmen:\r\n2 neu, 0 bestätigt, 1 als Abgang "
                  "markiert, 0 reaktiviert.\r\n\r\n1 von 1 importierten Anlagen werden als Abgang markiert.\r\nAls "
                  "Abgang markiert werden: Anlage 1 (0420 Bleibt)\r\n\r\nSollen die Daten trotzdem übernommen "
                  "werden?"));
    EXPECT_TRUE(dialogs.calls[1].text.startsWith(QStringLiteral("Die Datenübernahme wurde nicht ausgeführt")));
    EXPECT_EQ(storedText(1, 0, "GELOESCHT"), QStringLiteral("0"));
    EXPECT_EQ(QDir(folder).entryList({QStringLiteral("*_Anlagen.txt")}).size(), 0);
    dialogs.calls.clear();
    dialogs.answers = {platform::MsgResult::Yes};
    click(w, "btnUebernehmen");
    ASSERT_EQ(dialogs.calls.size(), 3);
    EXPECT_EQ(dialogs.calls[1].text, QStringLiteral("Die Datenübernahme wurde erfolgreich beendet.\r\n\r\n2 neu, 0 "
                                                    "bestätigt, 1 als Abgang markiert, 0 reaktiviert."));
    EXPECT_EQ(dialogs.calls[2].text, QStringLiteral("Die Importdatei wurde erfolgreich kopiert."));
    EXPECT_EQ(child<QLabel>(w, "lbDBCount")->text(),
              QStringLiteral("2 neu, 0 bestätigt, 1 als Abgang markiert, 0 reaktiviert"));
    EXPECT_EQ(QDir(folder).entryList({QStringLiteral("*_Anlagen.txt")}).size(), 1);
    EXPECT_EQ(storedText(2, 0, "ANLAGEBEZEICHNUNG"), QStringLiteral("A"));
    EXPECT_EQ(storedText(3, 0, "ANLAGEBEZEICHNUNG"), QStringLiteral("Neu"));
    EXPECT_EQ(stored(3, 0, "KATEGORIE_NR"), 612.0);
    EXPECT_EQ(storedText(1, 0, "GELOESCHT"), QStringLiteral("1")); // imported before, not in this file
    // The takeover is in the client's list of takeovers, and the asset list can undo it, after a question.
    auto* journal = child<QTreeWidget>(w, "lvUebernahmen");
    ASSERT_EQ(journal->topLevelItemCount(), 1);
    EXPECT_EQ(journal->topLevelItem(0)->text(1), QStringLiteral("Anlagen.txt"));
    EXPECT_EQ(journal->topLevelItem(0)->text(2), QStringLiteral("2"));
    EXPECT_EQ(journal->topLevelItem(0)->text(6), QStringLiteral("übernommen"));
    {
        auto list = open();
        EXPECT_EQ(list->model()->rowCount(), 3);
        if (const QByteArray dir = qgetenv("BRENVIK_SCREENSHOT_DIR"); !dir.isEmpty())
            list->grab().save(QString::fromLocal8Bit(dir) + QStringLiteral("/anlagen_rueckgaengig.png"));
        dialogs.calls.clear();
        dialogs.answers = {platform::MsgResult::No};
        click(*list, "btnImportUndo");
        ASSERT_EQ(dialogs.calls.size(), 1);
        EXPECT_EQ(dialogs.calls[0].icon, MsgIcon::Question);
        EXPECT_TRUE(dialogs.calls[0].text.startsWith(
            QStringLiteral("Soll die letzte Datenübernahme rückgängig gemacht werden?\r\n\r\nDatei: ") + file));
        EXPECT_EQ(storedText(1, 0, "GELOESCHT"), QStringLiteral("1"));
        dialogs.answers = {platform::MsgResult::Yes};
        click(*list, "btnImportUndo");
        ASSERT_EQ(dialogs.calls.size(), 3);
        EXPECT_EQ(dialogs.calls[2].icon, MsgIcon::Information);
        EXPECT_TRUE(dialogs.calls[2].text.contains(QStringLiteral("wurde rückgängig gemacht")));
        EXPECT_EQ(list->model()->rowCount(), 1);
        EXPECT_EQ(storedText(1, 0, "GELOESCHT"), QStringLiteral("0"));
    }
    w.LoadTakeovers();
    EXPECT_EQ(journal->topLevelItem(0)->text(6), QStringLiteral("rückgängig gemacht"));

    // A read with rows that cannot be staged lists them with their reasons.
    const QString faulty = writeFile(QStringLiteral("Fehler.txt"), "Kopf\r\n0420;A;;01.02.2003;;AHK;100\r\n"
                                                                   "0421;Neu;;31.02.2005;;AHK;250,5\r\n0422;Kurz\r\n");
    type(w, "edFileName", faulty);
    dialogs.calls.clear();
    click(w, "btnPruefen");
    EXPECT_EQ(child<QLabel>(w, "lbImportSumme")->text(),
              QStringLiteral("Gelesen: 3, bereitgestellt: 1, fehlgeschlagen: 2"));
    auto* failures = child<QTreeWidget>(w, "lvImportFehler");
    ASSERT_EQ(failures->topLevelItemCount(), 3); // the two failed lines, then the header line
    const QTreeWidgetItem* first = failures->topLevelItem(0);
    EXPECT_EQ((QStringList{first->text(0), first->text(1), first->text(2), first->text(3)}),
              (QStringList{"2", "Kein gültiges Anschaffungsdatum (TT.MM.JJJJ): \"31.02.2005\"", "0421", "Neu"}));
    EXPECT_EQ(failures->topLevelItem(1)->text(2), QStringLiteral("0422"));
    if (const QByteArray dir = qgetenv("BRENVIK_SCREENSHOT_DIR"); !dir.isEmpty()) {
        w.resize(1200, 700);
        w.grab().save(QString::fromLocal8Bit(dir) + QStringLiteral("/import_fehlerliste.png"));
    }
    // The plan of such a read is put to the user; declined, nothing changes.
    dialogs.calls.clear();
    dialogs.answers = {platform::MsgResult::No};
    click(w, "btnUebernehmen");
    ASSERT_FALSE(dialogs.calls.isEmpty());
    EXPECT_TRUE(dialogs.calls[0].text.contains(
        QStringLiteral("2 Zeile(n) der Importdatei konnten nicht bereitgestellt werden.")));
    EXPECT_EQ(storedText(1, 0, "GELOESCHT"), QStringLiteral("0"));
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM VERSICHERUNGSWERTE")), 1);
}

} // namespace

#include "assets/frm_indexupdate.h"
#include "assets/index_files.h"

namespace {

TEST_F(AssetWindowTest, IndexUpdateWindowImportsAndExports) {
    const QString folder = tmp.filePath(QStringLiteral("update"));
    QDir().mkpath(folder);
    QFile only(folder + QStringLiteral("/idx_ex.dat"));
    ASSERT_TRUE(only.open(QIODevice::WriteOnly));
    only.write(EncodeIndexValue({777, Y - 1, 88.0}));
    only.close();
    Tfrm_Indexaktualisierung w;
    w.show();
    EXPECT_EQ(child<QLabel>(w, "lbDateinameIdx")->text(), QStringLiteral("./."));
    dialogs.paths = {folder};
    click(w, "btnFolder");
    EXPECT_EQ(child<QLabel>(w, "lbDateinameIdx")->text(), QStringLiteral("keine Indexdaten vorhanden..."));
    dialogs.calls.clear();
    click(w, "btnUebernehmen");
    EXPECT_TRUE(dialogs.calls.isEmpty()); // neither index nor building files: nothing to do

    QFile desc(folder + QStringLiteral("/idxb_ex.dat"));
    ASSERT_TRUE(desc.open(QIODevice::WriteOnly));
    desc.write(EncodeIndexDescription({777, 7770, 0, QStringLiteral("Neue Reihe"), {}, QStringLiteral("1"), 6}));
    desc.close();
    dialogs.paths = {folder};
    click(w, "btnFolder");
    EXPECT_EQ(child<QLabel>(w, "lbDateinameIdx")->text(), folder + QStringLiteral("/idx_ex.dat"));
    dialogs.calls.clear();
    click(w, "btnUebernehmen"); // Yes to the question
    ASSERT_EQ(dialogs.calls.size(), 2);
    EXPECT_EQ(dialogs.calls[0].text,
              QStringLiteral("Bitte bestätigen Sie den Import der Indexdaten für das Jahr %1.").arg(Y - 1));
    EXPECT_EQ(dialogs.calls[1].text, QStringLiteral("Die Indexaktualisierung wurde erfolgreich abgeschlossen. "));
    EXPECT_EQ(child<QLabel>(w, "lbStatus")->text(), QStringLiteral("Anzahl Indizes: 1  / Anzahl Indexwerte: 1"));
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM INDEXBESCHREIBUNGEN")), 1); // all descriptions replaced
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM INDEXWERTE WHERE KATEGORIE_NR = 443")), 9); // other years stay

    dialogs.inputs = {QString::number(Y - 1)};
    dialogs.calls.clear();
    click(w, "btnExport");
    EXPECT_TRUE(QFile::exists(folder + QStringLiteral("/idx_ex.dat%1").arg(Y - 1)));
    EXPECT_EQ(dialogs.calls.last().text, QStringLiteral("Export erfolgreich beendet.\r\nEs wurden 1 Datensätze der "
                                                        "Indexwerte \r\nfür das Jahr %1 exportiert.")
                                             .arg(Y - 1));
}

} // namespace
