// The client workspace: what the client tab runs, its dialogs, and the main window driven by object names.

#include "session/brenvik_ini.h"
#include "session/client_workspace.h"
#include "app/frm_brenvik.h"
#include "app/frm_editaddress.h"
#include "app/frm_editmeasures.h"
#include "building/frm_gebobjekt.h"
#include "reports/frm_reports.h"
#include "app/frm_select_branch.h"
#include "app/frm_settings.h"
#include "assets/frm_verswerte.h"
#include "building/gebdata.h"
#include "db/brenvik_config.h"
#include "db/mandanten.h"
#include "platform/clipboard.h"
#include "platform/ini.h"
#include "platform/paths.h"
#include "support/fixtures.h"
#include "support/widgets.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDate>
#include <QDir>
#include <QGroupBox>
#include <QGuiApplication>
#include <QScreen>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSplitter>
#include <QTabWidget>
#include <QEventLoop>
#include <QTimer>
#include <QTreeWidget>
#include <QTest>

using platform::MsgButtons;
using platform::MsgIcon;
using platform::MsgResult;
using workspace::ClientFunction;

namespace {

TEST(Workspace, StorageFolderProposal) {
    using workspace::ProposeStorageFolder;
    EXPECT_EQ(
        ProposeStorageFolder(QStringLiteral("Müller & Söhne GmbH"), QStringLiteral("17"), QStringLiteral("1"), "/d/"),
        QStringLiteral("mueller&_17"));
    EXPECT_EQ(ProposeStorageFolder(QStringLiteral("MÜNZ AG"), QStringLiteral("17"), QStringLiteral("1"), "/d/"),
              QStringLiteral("muenzag_17"));
    EXPECT_EQ(ProposeStorageFolder(QStringLiteral("  A/B:C*D\\E"), QStringLiteral("3"), QStringLiteral("0"), "/data/"),
              QStringLiteral("/data/abcd_3"));
}

class WorkspaceDbTest : public SchemaDbTest {
protected:
    QStringList log;
    workspace::SaveResult save(const workspace::ClientForm& f, const QString& bak = {}, const QString& flag = "0") {
        dialogs.calls.clear();
        return workspace::SaveClient(f, bak, flag, [this](const QString& c, const QString& t) { log << c + ": " + t; });
    }
    QString lastMessage() const { return dialogs.calls.isEmpty() ? QString() : dialogs.calls.last().text; }
};

TEST_F(WorkspaceDbTest, SaveChecksInOrderAndStoresTheStoragePath) {
    workspace::ClientForm f;
    f.mandantNr = QStringLiteral("2");
    f.isNew = true;
    const QString lead = QStringLiteral("Fehler bei der Überprüfung der eingegebenen Daten.\r\nSystemmeldung: ");
    auto r = save(f);
    EXPECT_FALSE(r.saved);
    EXPECT_EQ(r.focusField, QStringLiteral("edBetriebsart")); // before the empty firm
    EXPECT_EQ(lastMessage(), lead + QStringLiteral("Die angegebene Betriebsart ist nicht gültig."));
    EXPECT_EQ(dialogs.calls.last().icon, MsgIcon::Error);
    f.betriebsart = QStringLiteral("41");
    f.firma = QStringLiteral("   ");
    EXPECT_EQ(save(f).focusField, QStringLiteral("edFirma"));
    EXPECT_EQ(lastMessage(), lead + QStringLiteral("Es wurde keine gültige Firmenbezeichnung eingegeben."));
    f.firma = QStringLiteral(" Müller & Söhne ");
    f.sicherungspfad = QStringLiteral("  ");
    EXPECT_EQ(save(f).focusField, QStringLiteral("edSicherungspfad"));
    EXPECT_EQ(lastMessage(),
              lead + QStringLiteral("Es wurde keine Pfadangabe zur Sicherung der Importdateien angegeben."));

    // Relative to the backup folder: the folder checked is below it, the path is stored as typed.
    const QString bak = tmp.path() + QStringLiteral("/archiv/");
    f.sicherungspfad = QStringLiteral(" kunde_12 ");
    dialogs.answers = {MsgResult::No};
    r = save(f, bak, QStringLiteral("1"));
    EXPECT_FALSE(r.saved);
    ASSERT_EQ(dialogs.calls.size(), 2);
    EXPECT_EQ(dialogs.calls[0].text,
              QStringLiteral("Das zur Sicherung von Importdateien angegebene Verzeichnis existiert "
                             "nicht:\r\n<") +
                  bak +
                  QStringLiteral("kunde_12/>\r\n\r\nSoll das "
                                 "Verzeichnis jetzt erstellt werden?"));
    EXPECT_EQ(dialogs.calls[0].buttons, MsgButtons::YesNo);
    EXPECT_EQ(lastMessage(), lead + QStringLiteral("Bitte korrigieren Sie zunächst Ihre Pfadangabe."));
    EXPECT_FALSE(QDir(bak + "kunde_12").exists());
    r = save(f, bak, QStringLiteral("1")); // Yes: created, saved
    ASSERT_TRUE(r.saved) << lastMessage().toStdString();
    EXPECT_EQ(r.mandantNr, 2);
    EXPECT_EQ(r.sicherungspfad, QStringLiteral("kunde_12"));
    EXPECT_TRUE(QDir(bak + "kunde_12").exists());
    TBrenvikMandant m;
    GetMandant(2, m);
    EXPECT_EQ(m.sicherungspfad, QStringLiteral("kunde_12"));
    EXPECT_EQ(m.firma, QStringLiteral("Müller & Söhne"));
    EXPECT_EQ(m.mwst_pflicht, QStringLiteral("1"));
    EXPECT_EQ(log.last(), QStringLiteral("BRV001000: Die Daten des Mandanten (2) wurden erfolgreich gespeichert."));

    // A full path is stored with its trailing separator.
    f.isNew = false;
    f.mwstPflicht = false;
    f.sicherungspfad = tmp.path() + QStringLiteral("/daten/kunde_12");
    r = save(f);
    ASSERT_TRUE(r.saved);
    GetMandant(2, m);
    EXPECT_EQ(m.sicherungspfad, tmp.path() + QStringLiteral("/daten/kunde_12/"));
    EXPECT_EQ(m.mwst_pflicht, QStringLiteral("0"));
}

TEST_F(WorkspaceDbTest, NewClientOnATakenNumberTakesTheNextAndFailuresAreReported) {
    workspace::ClientForm f;
    f.betriebsart = QStringLiteral("41");
    f.firma = QStringLiteral("Zweiter Sitz");
    f.sicherungspfad = tmp.path();
    f.isNew = true;
    f.mandantNr = QStringLiteral("1"); // another seat saved client 1 in the meantime
    auto r = save(f);
    ASSERT_TRUE(r.saved);
    EXPECT_EQ(r.mandantNr, 2);
    TBrenvikMandant m;
    GetMandant(1, m);
    EXPECT_EQ(m.firma, QStringLiteral("Muster GmbH"));

    // A write that fails twice is a database error with the log line and the cancel-only box.
    f.isNew = false;
    f.firma = QString(300, QLatin1Char('x'));
    r = save(f);
    EXPECT_FALSE(r.saved);
    EXPECT_EQ(lastMessage(), QStringLiteral("Fehler beim Speichern des Mandanten. (Datenbankfehler).\r\nFehlermeldung: "
                                            "Datensatz/ Primaerschluessel bereits vorhanden."));
    EXPECT_EQ(dialogs.calls.last().buttons, MsgButtons::Cancel);
    EXPECT_EQ(log.last(), QStringLiteral("BRV101000: Fehler beim Speichern des Mandanten.\r\nDatensatz/ "
                                         "Primaerschluessel bereits vorhanden."));

    f.mandantNr.clear();
    save(f);
    EXPECT_EQ(lastMessage(),
              QStringLiteral("Bitte wählen Sie zunächst einen Mandanten zum Bearbeiten aus \r\noder legen "
                             "Sie einen neuen Mandanten an."));
}

TEST_F(WorkspaceDbTest, LockCheckOfTheClientFunctions) {
    exec(QStringLiteral("INSERT INTO BENUTZER (BRV_MANDANT_NR, INSERT_TS, BENUTZER_NR, LOGIN) "
                        "VALUES (1, CURRENT_TIMESTAMP, 2, 'mueller')"));
    exec(QStringLiteral("INSERT INTO MANDANTEN (BRV_MANDANT_NR, MANDANT_NR, FIRMA, BENUTZER_NR_LOCK) "
                        "VALUES (1, 2, 'Gesperrt', 2)"));
    using workspace::ClientLockCheck;
    EXPECT_FALSE(ClientLockCheck(ClientFunction::Datenimport, {}, 1));
    EXPECT_EQ(dialogs.calls.last().text,
              QStringLiteral("Bitte wählen Sie zunächst einen Mandanten für die Verarbeitung aus."));
    EXPECT_EQ(dialogs.calls.last().icon, MsgIcon::Warning);
    EXPECT_FALSE(ClientLockCheck(ClientFunction::Berichte, {true, false, 0}, 1));
    EXPECT_EQ(dialogs.calls.last().text, QStringLiteral("Fehler bei der Ermittlung des aktuellen Mandanten.\r\nBitte "
                                                        "wählen Sie zunächst einen Mandanten aus."));
    EXPECT_EQ(dialogs.calls.last().icon, MsgIcon::Information);
    EXPECT_FALSE(ClientLockCheck(ClientFunction::MandantLoeschen, {true, true, 2}, 1));
    EXPECT_EQ(dialogs.calls.last().text,
              QStringLiteral("Der aktuell gewaehlt Mandant wird bereits von einem \r\nanderen "
                             "Benutzer <mueller> bearbeitet."));
    EXPECT_TRUE(ClientLockCheck(ClientFunction::Versicherungswertermittlung, {true, true, 1}, 1));
    // Held already by this user: the normal answer after a tree click.
    const int before = dialogs.calls.size();
    EXPECT_TRUE(ClientLockCheck(ClientFunction::Datenimport, {true, true, 1}, 1));
    EXPECT_EQ(dialogs.calls.size(), before);
}

TEST_F(WorkspaceDbTest, KeyFigureDialogChecksProposesAndAsksBeforeOverwriting) {
    Tfrm_EditMeasures d;
    d.iClientID = 1;
    d.sClientName = QStringLiteral("Muster GmbH");
    ASSERT_TRUE(d.InitForm_AddMeasures(1));
    EXPECT_EQ(child<QLineEdit>(d, "edBilanzjahr")->text(), QString::number(QDate::currentDate().year()));
    EXPECT_EQ(child<QLineEdit>(d, "edBilanzjahr")->maxLength(), 4);
    d.show();
    type(d, "edBilanzjahr", QStringLiteral("20a8"));
    click(d, "btnSpeichern");
    const QString yearRefused = QStringLiteral("Es trat ein Fehler beim Überprüfen der eingegebenen Werte auf:\r\n"
                                               "Fehlermeldung: Das angegebene Bilanzjahr ist nicht gueltig.\r\nBitte "
                                               "geben Sie ein Jahr zwischen 1900 und %1 an.")
                                    .arg(QDate::currentDate().year() + 1);
    EXPECT_EQ(dialogs.calls.last().text, yearRefused);
    EXPECT_EQ(dialogs.calls.last().icon, MsgIcon::Warning);
    // -1 would stand for "no selection" and could never be edited again; a year far off is no balance year.
    for (const QString& year :
         {QStringLiteral("-1"), QStringLiteral("1899"), QString::number(QDate::currentDate().year() + 2)}) {
        type(d, "edBilanzjahr", year);
        click(d, "btnSpeichern");
        EXPECT_EQ(dialogs.calls.last().text, yearRefused) << year.toStdString();
    }
    // Negative amounts and amounts no sum can carry are refused as well; "5.5" is no German number.
    type(d, "edBilanzjahr", QStringLiteral("2010"));
    for (const char* amount : {"-5", "1e300", "5.5", "1.000.000.000.000"}) {
        type(d, "edFertige_Erz_Bilanz", QString::fromLatin1(amount));
        click(d, "btnSpeichern");
        EXPECT_TRUE(dialogs.calls.last().text.contains(QStringLiteral("<Fertige_Erzeugnisse_Bilanz>"))) << amount;
    }
    EXPECT_EQ(GetMaxBilanzjahr(1), 0);
    type(d, "edBilanzjahr", QStringLiteral("2010"));
    type(d, "edFertige_Erz_Bilanz", QStringLiteral("1.234,5"));
    type(d, "edUnfertige_Erz_Bilanz", QStringLiteral("12x"));
    type(d, "edVorsorgesumme", QStringLiteral("zz"));
    click(d, "btnSpeichern");
    EXPECT_TRUE(dialogs.calls.last().text.endsWith(
        QStringLiteral("Die Kennzahl <Unfertige_Erzeugnisse_Bilanz> ist nicht korrekt.")));
    EXPECT_EQ(GetMaxBilanzjahr(1), 0); // nothing written before every input is valid
    type(d, "edUnfertige_Erz_Bilanz", QString());
    type(d, "edVorsorgesumme", QStringLiteral("250"));
    click(d, "btnSpeichern");
    EXPECT_EQ(d.result(), QDialog::Accepted);
    TBrenvikKennzahlenHist k;
    GetKennzahlenHist(1, 2010, k);
    EXPECT_EQ(k.fertige_erz_bilanz, 1234.5);
    EXPECT_EQ(k.unfertige_erz_bilanz, 0.0);
    EXPECT_EQ(k.vorsorgesumme, 250.0);

    Tfrm_EditMeasures again;
    again.iClientID = 1;
    ASSERT_TRUE(again.InitForm_AddMeasures(1));
    EXPECT_EQ(child<QLineEdit>(again, "edBilanzjahr")->text(), QStringLiteral("2011"));
    again.show();
    type(again, "edBilanzjahr", QStringLiteral("2010"));
    type(again, "edVorsorgesumme", QStringLiteral("999"));
    dialogs.answers = {MsgResult::No};
    click(again, "btnSpeichern");
    EXPECT_EQ(dialogs.calls.last().text,
              QStringLiteral("Es sind bereits Kennzahlen zu diesem Bilanzjahr in der Datenbank "
                             "gespeichert.\r\nWollen Sie die bereits existierenden Daten "
                             "überschreiben?"));
    EXPECT_NE(again.result(), QDialog::Accepted);
    GetKennzahlenHist(1, 2010, k);
    EXPECT_EQ(k.vorsorgesumme, 250.0);

    // Edit mode: the year is fixed and the stored values are shown in the common format.
    Tfrm_EditMeasures edit;
    edit.iClientID = 1;
    edit.bAdd = false;
    edit.iBilanzjahr = 2010;
    edit.show();
    EXPECT_FALSE(child<QLineEdit>(edit, "edBilanzjahr")->isEnabled());
    EXPECT_EQ(child<QLineEdit>(edit, "edFertige_Erz_Bilanz")->text(), QStringLiteral("1.234,50"));
    EXPECT_EQ(edit.findChild<QGroupBox*>(QStringLiteral("grpMandant"))->title(), QStringLiteral("Mandant   (1)"));
}

TEST_F(WorkspaceDbTest, AddressDialogDefaultsAndName) {
    Tfrm_EditAddress d;
    d.iClientID = 1;
    d.sClientName = QStringLiteral("Müller & Söhne");
    ASSERT_TRUE(d.InitForm_AddAddress(1));
    d.show();
    // The caption shows the name as it is ("&" would otherwise underline the next letter and vanish).
    auto* group = d.findChild<QGroupBox*>();
    ASSERT_NE(group, nullptr);
    EXPECT_EQ(group->title(), QStringLiteral("Mandant  Müller && Söhne (1)"));
    EXPECT_EQ(child<QLineEdit>(d, "edAdress_nr")->text(), QStringLiteral("1"));
    EXPECT_FALSE(child<QLineEdit>(d, "edAdress_nr")->isEnabled());
    EXPECT_EQ(child<QComboBox>(d, "cbxStandorttyp_Nr")->currentIndex(), -1);
    EXPECT_GT(child<QComboBox>(d, "cbxStandorttyp_Nr")->count(), 0);
    type(d, "edAdressbezeichnung", QStringLiteral("   "));
    click(d, "btnSpeichern");
    EXPECT_EQ(dialogs.calls.last().text, QStringLiteral("Bitte geben Sie eine Adressbezeichnung ein."));
    EXPECT_NE(d.result(), QDialog::Accepted);
    type(d, "edAdressbezeichnung", QStringLiteral(" Werk Süd "));
    type(d, "edOrt", QStringLiteral(" Köln "));
    child<QComboBox>(d, "cbxStandorttyp_Nr")->setCurrentIndex(1);
    click(d, "btnSpeichern");
    ASSERT_EQ(d.result(), QDialog::Accepted);
    TBrenvikAdresse a;
    GetAdresse(1, 1, a);
    EXPECT_EQ(a.adressbezeichnung, QStringLiteral("Werk Süd"));
    EXPECT_EQ(a.ort, QStringLiteral(" Köln ")); // other texts exactly as typed
    EXPECT_EQ(a.land, QStringLiteral("D"));
    EXPECT_EQ(a.url, QStringLiteral("http://"));
    EXPECT_EQ(a.standorttyp_nr, GetStandortTypen()->at(1).standorttyp_nr);

    Tfrm_EditAddress edit;
    edit.iClientID = 1;
    edit.bAdd = false;
    edit.iAddressNr = 1;
    edit.show();
    EXPECT_EQ(child<QLineEdit>(edit, "edAdressbezeichnung")->text(), QStringLiteral("Werk Süd"));
    EXPECT_EQ(child<QComboBox>(edit, "cbxStandorttyp_Nr")->currentIndex(), 1);
}

TEST_F(WorkspaceDbTest, BusinessTypePicker) {
    Tfrm_select_branch d;
    d.sMandantenBez = QStringLiteral("... noch nicht bekannt");
    d.show();
    auto* list = child<QTreeWidget>(d, "lvBetriebsarten");
    EXPECT_GT(list->topLevelItemCount(), 50);
    type(d, "edSearch", QStringLiteral("Bau"));
    click(d, "btnSearch");
    ASSERT_GT(list->topLevelItemCount(), 0);
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        EXPECT_TRUE(list->topLevelItem(i)->text(1).contains(QStringLiteral("bau"), Qt::CaseInsensitive));
    EXPECT_EQ(child<QLabel>(d, "lbBetriebsartenAnzahl")->text(),
              QStringLiteral("Anzahl: ") + QString::number(list->topLevelItemCount()));
    type(d, "edSearch", QStringLiteral("gibtesnicht"));
    click(d, "btnSearch");
    EXPECT_EQ(list->topLevelItemCount(), 0);
    EXPECT_EQ(child<QLabel>(d, "lbBetriebsartenAnzahl")->text(), QStringLiteral("Anzahl: 0"));
    // Nothing chosen: "Übernehmen" says so and keeps the dialog (the client's business type is not erased).
    click(d, "btnUebernehmen");
    EXPECT_NE(d.result(), QDialog::Accepted);
    EXPECT_EQ(dialogs.calls.last().text,
              QStringLiteral("Bitte wählen Sie zunächst eine Betriebsart aus der Liste aus."));
    EXPECT_TRUE(d.sBetriebsart_nr.isEmpty());
    // Enter in the search field searches and nothing else.
    auto* search = child<QLineEdit>(d, "edSearch");
    search->setFocus();
    search->setText(QStringLiteral("Bau"));
    QTest::keyClick(search, Qt::Key_Return);
    EXPECT_TRUE(d.isVisible());
    EXPECT_NE(d.result(), QDialog::Accepted);
    ASSERT_GT(list->topLevelItemCount(), 0);
    EXPECT_TRUE(d.sBetriebsart_nr.isEmpty());
    // Enter on a chosen row takes it.
    list->setFocus();
    list->setCurrentItem(list->topLevelItem(0));
    list->topLevelItem(0)->setSelected(true);
    QTest::keyClick(list, Qt::Key_Return);
    EXPECT_EQ(d.result(), QDialog::Accepted);
    EXPECT_EQ(d.sBetriebsart_nr, list->topLevelItem(0)->text(0));
}

TEST_F(WorkspaceDbTest, SettingsRoundTrip) {
    const QString ini = tmp.filePath(QStringLiteral("brenvik.ini"));
    platform::IniProfile p(ini);
    p.writeString("BRENVIK-DB", "DATABASE", "C:\\Daten\\brenvik.fdb");
    p.writeString("BRENVIK-DB", "DBTYPE", "EXTERN-2");
    p.writeString("BRENVIK-DB", "DBP", "geheim");
    SetKonfiguration(QStringLiteral("BACKUP_FOLDER"), QStringLiteral("D:\\Archiv"));
    {
        Tfrm_Settings d;
        d.sCommonFilesPath = tmp.path() + QLatin1Char('/');
        d.show();
        EXPECT_EQ(child<QComboBox>(d, "cbDBTyp")->currentIndex(), -1);
        EXPECT_EQ(child<QLineEdit>(d, "edDBUser")->text(), QStringLiteral("SYSDBA"));
        EXPECT_EQ(child<QLineEdit>(d, "edDBSpeicherort")->text(), QStringLiteral("D:\\Archiv"));
        type(d, "edDBSpeicherort", QString());
        child<QCheckBox>(d, "cbxSpeicherort_DB")->setChecked(true);
        click(d, "btnSpeichern"); // Yes to the question, but an empty folder never reaches the database
        EXPECT_EQ(d.result(), QDialog::Accepted);
        EXPECT_EQ(dialogs.calls.last().text,
                  QStringLiteral("Die Einstellungen wurden erfolgreich gespeichert.\r\nBitte "
                                 "starten Sie die Anwendung neu, um die Änderungen zu aktivieren."));
    }
    platform::IniProfile back(ini);
    EXPECT_EQ(back.readString("BRENVIK-DB", "DATABASE", {}), QStringLiteral("C:\\Daten\\brenvik.fdb"));
    EXPECT_EQ(back.readString("BRENVIK-DB", "DBTYPE", "x"), QString());
    EXPECT_EQ(back.readString("BRENVIK-DB", "DBP", {}), QStringLiteral("geheim"));
    EXPECT_EQ(back.readString("BRENVIK-PARAMETER", "BACKUP_FOLDER", "x"), QString());
    EXPECT_EQ(back.readString("BRENVIK-PARAMETER", "USE_BACKUP_FOLDER_DB", {}), QStringLiteral("1"));
    EXPECT_EQ(GetKonfiguration(QStringLiteral("BACKUP_FOLDER")), QStringLiteral("D:\\Archiv"));

    Tfrm_Settings d;
    d.sCommonFilesPath = tmp.path() + QLatin1Char('/');
    d.show();
    type(d, "edDBSpeicherort", QStringLiteral("E:\\Neu"));
    type(d, "edDatenbank", QString());
    click(d, "btnSpeichern");
    EXPECT_EQ(dialogs.calls.last().text, QStringLiteral("Es wurde kein gültiger Wert für die Datenbank angegeben."));
    type(d, "edDatenbank", QStringLiteral("x.fdb"));
    dialogs.answers = {MsgResult::Yes};
    click(d, "btnSpeichern");
    EXPECT_EQ(GetKonfiguration(QStringLiteral("BACKUP_FOLDER")), QStringLiteral("E:\\Neu"));
}

// The main window on a first-use installation.
class WindowTest : public TempDirTest {
protected:
    platform::ScriptedDialogs dialogs;
    std::unique_ptr<platform::ScopedDialogs> scoped;
    std::unique_ptr<TfrmBrenvik> w;

    void SetUp() override {
        qputenv("BRENVIK_DATA_DIR", tmp.path().toUtf8());
        scoped = std::make_unique<platform::ScopedDialogs>(dialogs);
        brenvik::PrepareFirstUse();
        w = std::make_unique<TfrmBrenvik>();
        w->StartUp();
        ASSERT_TRUE(BrvConnected()) << w->logText().toStdString();
    }
    void TearDown() override {
        w.reset();
        scoped.reset();
        qunsetenv("BRENVIK_DATA_DIR");
        SetBrvConnection(nullptr, nullptr);
    }
    void sql(const QString& s) {
        BrvExec(s);
        BrvCommit();
    }
    QTreeWidget* tree() { return child<QTreeWidget>(*w, "tvBrenvik"); }
    QTreeWidgetItem* clientsNode() { return tree()->topLevelItem(0)->child(0); }
    QTreeWidgetItem* clientNode(int nr) {
        for (int i = 0; i < clientsNode()->childCount(); ++i)
            if (clientsNode()->child(i)->data(0, Qt::UserRole).toString() == QString::number(nr))
                return clientsNode()->child(i);
        return nullptr;
    }
    void clickNode(QTreeWidgetItem* n) {
        tree()->setCurrentItem(n);
        w->TreeClick();
    }
    int lockOf(int client) {
        BrvSql q(QStringLiteral("SELECT BENUTZER_NR_LOCK FROM MANDANTEN WHERE MANDANT_NR = ?"), client);
        const int v = q.next() ? q->asInt(0) : -1;
        q->closeCursor();
        BrvCommit();
        return v;
    }
    QStringList visiblePopupItems() {
        QStringList names;
        for (QAction* a : w->findChild<QMenu*>(QStringLiteral("pmnuClientFunc"))->actions())
            if (a->isVisible() && !a->isSeparator())
                names << a->text();
        return names;
    }
};

TEST_F(WindowTest, TreeClicksTakeAndGiveBackLocksAndThePopupFollows) {
    sql(QStringLiteral("INSERT INTO MANDANTEN (BRV_MANDANT_NR, MANDANT_NR, FIRMA, BETRIEBSART_NR, MWST_PFLICHT) VALUES "
                       "(1, 1, 'Alpha', '41', '0')"));
    sql(QStringLiteral("INSERT INTO MANDANTEN (BRV_MANDANT_NR, MANDANT_NR, FIRMA) VALUES (1, 2, 'Beta')"));
    sql(QStringLiteral(
        "INSERT INTO BENUTZER (BRV_MANDANT_NR, INSERT_TS, BENUTZER_NR, LOGIN) VALUES (1, CURRENT_TIMESTAMP, "
        "99, 'mueller')"));
    sql(QStringLiteral("INSERT INTO MANDANTEN (BRV_MANDANT_NR, MANDANT_NR, FIRMA, BENUTZER_NR_LOCK) VALUES (1, 3, "
                       "'Gamma', 99)"));
    w->LoadClientTree();
    const int me = w->iUserNr;
    clickNode(clientNode(1));
    EXPECT_EQ(lockOf(1), me);
    EXPECT_EQ(child<QLineEdit>(*w, "edFirma")->text(), QStringLiteral("Alpha"));
    EXPECT_FALSE(child<QLabel>(*w, "lbBetriebsart_bez")->text().isEmpty());
    EXPECT_FALSE(child<QCheckBox>(*w, "cbxMwst_Pflicht")->isChecked());
    EXPECT_EQ(child<QLabel>(*w, "lbLetzterImport")->text(), QStringLiteral("./."));
    EXPECT_TRUE(child<QPushButton>(*w, "btnSpeichern")->isEnabled());
    clickNode(clientNode(2));
    EXPECT_EQ(lockOf(1), 0);
    EXPECT_EQ(lockOf(2), me);
    clickNode(clientNode(2)); // again: released and retaken without a warning
    EXPECT_EQ(lockOf(2), me);
    EXPECT_TRUE(dialogs.calls.isEmpty()) << dialogs.messages().join('|').toStdString();

    clickNode(clientNode(3));
    EXPECT_EQ(lockOf(2), 0);
    EXPECT_EQ(lockOf(3), 99);
    ASSERT_EQ(dialogs.calls.size(), 1);
    EXPECT_EQ(dialogs.calls[0].text,
              QStringLiteral("Der aktuell gewaehlt Mandant wird bereits von einem \r\nanderen "
                             "Benutzer <mueller> bearbeitet.\r\n\r\nBitte beachten Sie, dass Ihre "
                             "Eingaben nicht gespeichert werden koennen."));
    EXPECT_EQ(dialogs.calls[0].icon, MsgIcon::Warning);
    EXPECT_FALSE(child<QPushButton>(*w, "btnSpeichern")->isEnabled());
    EXPECT_FALSE(child<QPushButton>(*w, "btnZuruecksetzen")->isEnabled());
    EXPECT_EQ(child<QLineEdit>(*w, "edFirma")->text(), QStringLiteral("Gamma")); // reading is never blocked
    for (const char* b : {"btnAdresseHinzufuegen", "btnAdresseBearbeiten", "btnAdresseLoeschen",
                          "btnKennzahlenHinzufuegen", "btnKennzahlenLoeschen", "btnAnlegen", "btnEntfernen"})
        EXPECT_FALSE(child<QPushButton>(*w, b)->isEnabled()) << b;
    // Writes of a client this seat does not hold are refused below the window as well.
    TBrenvikAdresse foreign;
    foreign.mandant_nr = 3;
    foreign.adress_nr = 1;
    EXPECT_THROW(SaveAdresse(foreign), EBrvException_DBERROR);

    // A click on "Mandanten" gives the shown client back: nothing of it can be saved any more.
    clickNode(clientNode(2));
    EXPECT_TRUE(child<QPushButton>(*w, "btnAdresseHinzufuegen")->isEnabled());
    clickNode(clientsNode());
    EXPECT_EQ(lockOf(2), 0);
    EXPECT_FALSE(child<QPushButton>(*w, "btnSpeichern")->isEnabled());
    EXPECT_FALSE(child<QPushButton>(*w, "btnAdresseHinzufuegen")->isEnabled());
    // And between two clicks the seat holds no transaction open.
    GetMandantenTreeList();
    {
        QEventLoop idle; // waits for events as the application's loop does
        QTimer::singleShot(20, &idle, &QEventLoop::quit);
        idle.exec();
    }
    EXPECT_FALSE(gBrvTrans->active());
    dialogs.calls.clear();

    dialogs.calls.clear();
    tree()->setCurrentItem(clientNode(3));
    w->PreparePopup();
    EXPECT_TRUE(visiblePopupItems().isEmpty());
    EXPECT_EQ(dialogs.calls.last().text,
              QStringLiteral("Der aktuell gewaehlt Mandant wird bereits von einem \r\nanderen "
                             "Benutzer <mueller> bearbeitet."));
    tree()->setCurrentItem(clientNode(1));
    w->PreparePopup();
    EXPECT_EQ(visiblePopupItems(),
              (QStringList{"Mandanten löschen", "Datenimport", "Versicherungswertermittlung", "Berichte"}));
    tree()->setCurrentItem(clientsNode());
    w->PreparePopup();
    EXPECT_EQ(visiblePopupItems(), QStringList{"Mandanten hinzufügen"});
    tree()->setCurrentItem(tree()->topLevelItem(0));
    w->PreparePopup();
    EXPECT_TRUE(visiblePopupItems().isEmpty());

    // The client functions run the lock check, then the seam of their window.
    QList<int> opened;
    w->openClientWindow = [&](ClientFunction, int nr, const QString& name) {
        opened << nr;
        EXPECT_EQ(name, QStringLiteral("Alpha (1)"));
    };
    clickNode(clientNode(1));
    w->RunClientFunction(ClientFunction::Datenimport);
    EXPECT_EQ(opened, QList<int>{1});

    // Without the seam the valuation opens its window for the client.
    w->openClientWindow = nullptr;
    QString shownFor;
    bool vat = true;
    {
        ScopedRunner runner([&](QDialog& d) {
            auto& list = dynamic_cast<Tfrm_VersWerte&>(d);
            shownFor = list.sClientName + QLatin1Char('/') + QString::number(list.iClientID);
            vat = list.bVAT;
            return int(QDialog::Accepted);
        });
        w->findChild<QAction*>(QStringLiteral("mnuVersicherungswert"))->trigger();
    }
    EXPECT_EQ(shownFor, QStringLiteral("Alpha (1)/1"));
    EXPECT_FALSE(vat); // Alpha is not entitled to deduct input tax
    shownFor.clear();
    {
        ScopedRunner runner([&](QDialog& d) {
            auto& reports = dynamic_cast<Tfrm_Reports&>(d);
            shownFor = reports.sClientName + QLatin1Char('/') + QString::number(reports.iClientID);
            return int(QDialog::Rejected);
        });
        w->findChild<QAction*>(QStringLiteral("mnuBerichtsmanagement"))->trigger();
    }
    EXPECT_EQ(shownFor, QStringLiteral("Alpha (1)/1"));
}

TEST_F(WindowTest, NewClientWithAddressAndKeyFiguresThenDeleted) {
    clickNode(clientsNode());
    w->NewMandant();
    EXPECT_EQ(child<QLineEdit>(*w, "edMandant_nr")->text(), QStringLiteral("1"));
    type(*w, "edFirma", QStringLiteral("Müller & Söhne GmbH"));
    type(*w, "edBetriebsart", QStringLiteral("41"));
    click(*w, "btnStandardverzeichnis");
    EXPECT_EQ(child<QLineEdit>(*w, "edSicherungspfad")->text(), tmp.path() + QStringLiteral("/mueller&_1"));
    click(*w, "btnSpeichern"); // the folder question is answered Yes
    EXPECT_TRUE(QDir(tmp.path() + QStringLiteral("/mueller&_1")).exists());
    ASSERT_NE(clientNode(1), nullptr) << dialogs.messages().join('|').toStdString();
    EXPECT_EQ(clientNode(1)->text(0), QStringLiteral("Müller & Söhne GmbH (1)"));
    EXPECT_TRUE(w->logText().contains(
        QStringLiteral("BRV001000: Die Daten des Mandanten (1) wurden erfolgreich gespeichert.")));
    EXPECT_EQ(w->tnSelNode, nullptr);

    // Rows through the dialogs, driven as a user would.
    ScopedRunner runner([](QDialog& d) {
        d.show();
        if (auto* name = d.findChild<QLineEdit*>(QStringLiteral("edAdressbezeichnung")))
            name->setText(QStringLiteral("Hauptsitz"));
        if (auto* v = d.findChild<QLineEdit*>(QStringLiteral("edFertige_Erz_Bilanz")))
            v->setText(QStringLiteral("1.234,5"));
        d.findChild<QPushButton*>(QStringLiteral("btnSpeichern"))->click();
        return d.result();
    });
    click(*w, "btnAdresseHinzufuegen");
    auto* addresses = child<QTreeWidget>(*w, "lvAdressen");
    ASSERT_EQ(addresses->topLevelItemCount(), 1);
    EXPECT_EQ(addresses->topLevelItem(0)->text(1), QStringLiteral("Hauptsitz"));
    EXPECT_EQ(child<QComboBox>(*w, "cmbAdressen")->currentText(), QStringLiteral("Hauptsitz"));
    click(*w, "btnKennzahlenHinzufuegen");
    auto* measures = child<QTreeWidget>(*w, "lvKennzahlen");
    ASSERT_EQ(measures->topLevelItemCount(), 1);
    EXPECT_EQ(measures->topLevelItem(0)->text(0), QString::number(QDate::currentDate().year()));
    EXPECT_EQ(measures->topLevelItem(0)->text(1), QStringLiteral("1.234,50 €"));
    EXPECT_EQ(measures->topLevelItem(0)->text(8), QStringLiteral("0,00%"));
    EXPECT_EQ(measures->topLevelItem(0)->textAlignment(1) & Qt::AlignRight, Qt::AlignRight);

    dialogs.calls.clear();
    click(*w, "btnAdresseLoeschen");
    EXPECT_EQ(dialogs.calls.last().text, QStringLiteral("Bitte wählen Sie zunächst eine Adresse aus."));
    addresses->setCurrentItem(addresses->topLevelItem(0));
    click(*w, "btnAdresseLoeschen");
    EXPECT_EQ(dialogs.calls.last().text, QStringLiteral("Bitte bestätigen Sie das Löschen der ausgewählten Adresse."));
    EXPECT_EQ(addresses->topLevelItemCount(), 0);

    // Deleting needs the client selected in the tree.
    clickNode(clientNode(1));
    dialogs.calls.clear();
    w->DeleteMandantClick();
    ASSERT_EQ(dialogs.calls.size(), 2);
    EXPECT_TRUE(
        dialogs.calls[0].text.startsWith(QStringLiteral("Diese Funktion löscht den ausgewählten Mandanten \r\n\r\n"
                                                        "          Müller & Söhne GmbH (1)\r\n\r\nund alle")));
    EXPECT_EQ(dialogs.calls[1].text, QStringLiteral("Der Mandant wurde erfolgreich vollständig gelöscht."));
    EXPECT_EQ(clientsNode()->childCount(), 0);
    EXPECT_EQ(tree()->currentItem(), clientsNode());
}

TEST_F(WindowTest, ANewClientTakesRowsOnlyOnceSaved) {
    w->NewMandant();
    EXPECT_NE(child<QLineEdit>(*w, "edMandant_nr")->text(), QStringLiteral("0")); // numbered at once on one seat
    for (const char* button : {"btnAdresseHinzufuegen", "btnKennzahlenHinzufuegen"}) {
        dialogs.calls.clear();
        click(*w, button);
        ASSERT_FALSE(dialogs.calls.isEmpty()) << button;
        EXPECT_EQ(dialogs.calls.last().text,
                  QStringLiteral("Bitte speichern Sie zunächst Ihre Eingaben zu dem neu angelegten Mandanten."));
    }
}

TEST_F(WindowTest, ServerClientIsNumberedAtSaveAndRowsWaitForIt) {
    w->bServer = true;
    w->NewMandant();
    EXPECT_EQ(child<QLineEdit>(*w, "edMandant_nr")->text(), QStringLiteral("0"));
    click(*w, "btnAdresseHinzufuegen");
    EXPECT_EQ(dialogs.calls.last().text,
              QStringLiteral("Bitte speichern Sie zunächst Ihre Eingaben zu dem neu angelegten Mandanten."));
    EXPECT_EQ(dialogs.calls.last().icon, MsgIcon::Information);
    type(*w, "edFirma", QStringLiteral("Server AG"));
    type(*w, "edBetriebsart", QStringLiteral("41"));
    type(*w, "edSicherungspfad", tmp.path());
    click(*w, "btnSpeichern");
    EXPECT_EQ(child<QLineEdit>(*w, "edMandant_nr")->text(), QStringLiteral("1"));
    EXPECT_EQ(w->iClientID, 1);
    // Reset reloads what is stored.
    type(*w, "edFirma", QStringLiteral("verworfen"));
    click(*w, "btnZuruecksetzen");
    EXPECT_EQ(child<QLineEdit>(*w, "edFirma")->text(), QStringLiteral("Server AG"));
}

TEST_F(WindowTest, BuildingObjectsOfTheClientAreCreatedOpenedAndRemoved) {
    sql(QStringLiteral("INSERT INTO MANDANTEN (BRV_MANDANT_NR, MANDANT_NR, FIRMA) VALUES (1, 1, 'Alpha')"));
    w->LoadClientTree();
    clickNode(clientNode(1));
    w->NewObjekt();
    EXPECT_EQ(dialogs.calls.last().text, QStringLiteral("Es wurden noch keine Anschriften hinterlegt"));
    sql(QStringLiteral("INSERT INTO ADRESSEN (BRV_MANDANT_NR, MANDANT_NR, ADRESS_NR, ADRESSBEZEICHNUNG, STRASSE, "
                       "HAUSNUMMER, PLZ, ORT) VALUES (1, 1, 1, 'Werk Nord', 'Ringstraße', '7', '12345', 'Neustadt')"));
    w->ReloadObjektAdressen();
    QString shownCaption, shownStreet, shownCreator;
    {
        ScopedRunner runner([&](QDialog& d) {
            auto& frame = dynamic_cast<TFrameBuilding&>(d);
            shownCaption = frame.FGebObjekt->Caption;
            shownStreet = child<QLineEdit>(frame, "txtStrasse")->text();
            shownCreator = child<QLineEdit>(frame, "txtErsteller")->text();
            frame.btnOKClick();
            return frame.result();
        });
        w->NewObjekt();
    }
    EXPECT_EQ(shownCaption, QStringLiteral("Werk Nord"));
    EXPECT_EQ(shownStreet, QStringLiteral("Ringstraße 7"));
    EXPECT_EQ(shownCreator, w->sOwnerName);
    auto* list = child<QTreeWidget>(*w, "lvObjekte");
    ASSERT_EQ(list->topLevelItemCount(), 1);
    EXPECT_EQ(list->topLevelItem(0)->text(0), QStringLiteral("Werk Nord"));
    const QList<TGebObjekt> stored = GetGebObjekte(QStringLiteral("1"));
    ASSERT_EQ(stored.size(), 1);
    EXPECT_EQ(stored[0].Strasse, QStringLiteral("Ringstraße 7")); // the house number survives "OK"
    EXPECT_EQ(stored[0].Ort, QStringLiteral("12345 Neustadt"));

    list->setCurrentItem(list->topLevelItem(0));
    dialogs.answers = {platform::MsgResult::Yes};
    w->DeleteSelectedObjekt();
    EXPECT_EQ(dialogs.calls.last().text, QStringLiteral("Objekt Werk Nord entfernen?"));
    EXPECT_EQ(list->topLevelItemCount(), 0);
    EXPECT_TRUE(GetGebObjekte(QStringLiteral("1")).isEmpty());
}

TEST_F(WindowTest, InventoryTabSumsComputesExportsAndStoresSiteValues) {
    sql(QStringLiteral("INSERT INTO MANDANTEN (BRV_MANDANT_NR, MANDANT_NR, FIRMA) VALUES (1, 1, 'Alpha')"));
    sql(QStringLiteral(
        "INSERT INTO ADRESSEN (BRV_MANDANT_NR, MANDANT_NR, ADRESS_NR, ADRESSBEZEICHNUNG) VALUES (1, 1, 2, 'Werk')"));
    const char* rows[] = {"(1, 1, 1, 0, 100000.49, '0', '0', NULL, 0, 2)",
                          "(1, 1, 2, 0, 20000.25, '0', '0', NULL, 1, 0)",
                          "(1, 1, 3, 0, 10000.25, '0', '0', NULL, 2, 0)", "(1, 1, 4, 0, 999, '1', '0', NULL, 0, 0)",
                          "(1, 1, 5, 0, 888, '0', '0', 2020, 0, 0)"};
    for (const char* r : rows)
        sql(QStringLiteral("INSERT INTO VERSICHERUNGSWERTE (BRV_MANDANT_NR, MANDANT_NR, ANLAGE_NR, ANLAGE_SUB_NR, "
                           "VERSICHERUNGSWERT, GELOESCHT, GEBAEUDE, ABGANGSJAHR, ANLAGENTYP_ID, ADRESS_NR) VALUES ") +
            QLatin1String(r));
    w->LoadClientTree();
    clickNode(clientNode(1));
    auto* tabs = w->findChild<QTabWidget*>(QStringLiteral("PageControl1"));
    tabs->setCurrentIndex(2);
    EXPECT_EQ(child<QComboBox>(*w, "cbAdresse")->currentText(), QStringLiteral("<alle Adressen>"));
    EXPECT_EQ(child<QLineEdit>(*w, "edSummeAnlagen")->text(), QStringLiteral("130.000,99"));
    EXPECT_EQ(child<QLineEdit>(*w, "edSummeKFZ")->text(), QStringLiteral("20.000,25"));
    EXPECT_EQ(child<QLineEdit>(*w, "edSummeFinanzanlagen")->text(), QStringLiteral("10.000,25"));
    EXPECT_EQ(child<QLineEdit>(*w, "edZwischensumme")->text(), QStringLiteral("100.001,00"));
    EXPECT_EQ(child<QLineEdit>(*w, "edSummeInventarRnd")->text(), QStringLiteral("101.000,00"));

    // Typed values: an empty edit is 0, deductions above the sum stop with the warning.
    type(*w, "edSummeAnlagen", QStringLiteral("100.000,49"));
    type(*w, "edSummeVorraete", QString());
    type(*w, "edSummeVorsorge", QStringLiteral("1234,5"));
    EXPECT_TRUE(w->CalcSumValues());
    EXPECT_EQ(child<QLineEdit>(*w, "edSummeVorraete")->text(), QStringLiteral("0,00"));
    EXPECT_EQ(child<QLineEdit>(*w, "edZwischensumme")->text(), QStringLiteral("70.000,00"));
    EXPECT_EQ(child<QLineEdit>(*w, "edSummeInventar")->text(), QStringLiteral("71.234,50"));
    EXPECT_EQ(child<QLineEdit>(*w, "edSummeInventarRnd")->text(), QStringLiteral("72.000,00"));
    type(*w, "edSummeKFZ", QStringLiteral("200.000"));
    EXPECT_FALSE(w->CalcSumValues());
    EXPECT_EQ(dialogs.calls.last().text,
              QStringLiteral("Fehler bei der Berechnung der Summenwerte.\rDie Summe der angegebenen "
                             "Werte zur Ermittlung de Versicherungswertes ist negativ."));
    EXPECT_EQ(child<QLineEdit>(*w, "edZwischensumme")->text(), QStringLiteral("70.000,00")); // unchanged
    type(*w, "edSummeKFZ", QStringLiteral("20.000,25"));

    w->ExportInventory();
    EXPECT_EQ(dialogs.calls.last().text, QStringLiteral("Die Werte wurden in die Zwischenablage kopiert."));
    EXPECT_TRUE(platform::clipboardText().contains(QStringLiteral("Inventarsumme aufgerundet\t72.000,00\r\n")));
    EXPECT_TRUE(platform::clipboardHtml().contains(QStringLiteral("<b>72.000,00</b>")));
    TBrenvikKennzahlenStandort stored;
    GetKennzahlenStandort(1, 0, stored);
    EXPECT_EQ(stored.vorsorgesumme, 1234.5);

    // Another address shows its own values.
    child<QComboBox>(*w, "cbAdresse")->setCurrentIndex(1);
    EXPECT_EQ(child<QLineEdit>(*w, "edSummeAnlagen")->text(), QStringLiteral("100.000,49"));
    EXPECT_EQ(child<QLineEdit>(*w, "edSummeVorsorge")->text(), QStringLiteral("0,00"));
}

} // namespace

namespace {
TEST_F(WindowTest, BackupAndRestoreFromTheFileMenu) {
    sql(QStringLiteral("INSERT INTO MANDANTEN (BRV_MANDANT_NR, MANDANT_NR, FIRMA) VALUES (1, 1, 'Vorher')"));
    if (const QString dir = qEnvironmentVariable("BRENVIK_SCREENSHOT_DIR"); !dir.isEmpty()) {
        auto* menu = w->findChild<QMenu*>(QStringLiteral("mnuDatei"));
        menu->adjustSize();
        menu->grab().save(dir + QStringLiteral("/menu_datei.png"));
    }
    const QString bak = tmp.filePath(QStringLiteral("stand.fbk"));
    dialogs.paths << bak;
    w->findChild<QAction*>(QStringLiteral("mnuDatensicherung"))->trigger();
    ASSERT_FALSE(dialogs.calls.isEmpty());
    EXPECT_EQ(dialogs.calls.last().text, QStringLiteral("Die Datensicherung wurde erfolgreich erstellt:\r\n") + bak);
    EXPECT_EQ(dialogs.calls.last().icon, MsgIcon::Information);

    sql(QStringLiteral("UPDATE MANDANTEN SET FIRMA = 'Nachher'"));
    w->LoadClientTree();
    clickNode(clientNode(1));
    EXPECT_EQ(child<QLineEdit>(*w, "edFirma")->text(), QStringLiteral("Nachher"));
    // "No" to the question changes nothing.
    dialogs.calls.clear();
    dialogs.paths << bak;
    dialogs.answers << MsgResult::No;
    w->findChild<QAction*>(QStringLiteral("mnuDatenruecksicherung"))->trigger();
    ASSERT_EQ(dialogs.calls.size(), 2);
    EXPECT_EQ(dialogs.calls[1].icon, MsgIcon::Warning);
    EXPECT_EQ(dialogs.calls[1].buttons, MsgButtons::YesNo);
    EXPECT_TRUE(BrvConnected());

    dialogs.calls.clear();
    dialogs.paths << bak;
    dialogs.answers << MsgResult::Yes;
    w->findChild<QAction*>(QStringLiteral("mnuDatenruecksicherung"))->trigger();
    ASSERT_FALSE(dialogs.calls.isEmpty());
    EXPECT_EQ(dialogs.calls.last().text, QStringLiteral("Die Datenrücksicherung wurde erfolgreich beendet."))
        << dialogs.messages().join('|').toStdString();
    ASSERT_TRUE(BrvConnected());
    ASSERT_NE(clientNode(1), nullptr);
    EXPECT_EQ(clientNode(1)->text(0), QStringLiteral("Vorher (1)"));
    EXPECT_EQ(lockOf(1), 0); // the lock of the replaced database went with it
}
} // namespace

namespace {
TEST_F(WindowTest, ANewClientStartsEmptyOnEveryTabAndResetDiscardsIt) {
    sql(QStringLiteral(
        "INSERT INTO MANDANTEN (BRV_MANDANT_NR, MANDANT_NR, FIRMA, MWST_PFLICHT) VALUES (1, 1, 'Alt', '0')"));
    sql(QStringLiteral(
        "INSERT INTO TABGEBOBJEKT (PID, OWNER_ID, CAPTION) VALUES ('O1', '1', 'Halle des alten Mandanten')"));
    w->LoadClientTree();
    clickNode(clientNode(1));
    ASSERT_FALSE(child<QCheckBox>(*w, "cbxMwst_Pflicht")->isChecked());
    ASSERT_EQ(child<QTreeWidget>(*w, "lvObjekte")->topLevelItemCount(), 1);
    w->NewMandant();
    EXPECT_TRUE(child<QCheckBox>(*w, "cbxMwst_Pflicht")->isChecked());
    EXPECT_EQ(child<QTreeWidget>(*w, "lvObjekte")->topLevelItemCount(), 0);
    EXPECT_EQ(child<QComboBox>(*w, "cmbAdressen")->count(), 0);
    EXPECT_TRUE(child<QLineEdit>(*w, "edSummeAnlagen")->text().isEmpty());
    // "Zurücksetzen" of the unsaved client: its entries go, without errors about removed clients.
    type(*w, "edFirma", QStringLiteral("verworfen"));
    dialogs.calls.clear();
    click(*w, "btnZuruecksetzen");
    EXPECT_TRUE(dialogs.calls.isEmpty()) << dialogs.messages().join('|').toStdString();
    EXPECT_TRUE(child<QLineEdit>(*w, "edFirma")->text().isEmpty());
}
} // namespace

namespace {

// The client tree opens at 193 pixels and keeps the width the user dragged it to from one start to the next; the
// window opens within the screen's height (the test screen is narrower than any window of the program).
TEST_F(WindowTest, TheClientTreeKeepsItsWidthAndTheWindowFitsTheScreen) {
    EXPECT_LE(w->height(), QGuiApplication::primaryScreen()->availableGeometry().height() - 40);
    w->resize(1300, 700);
    w->show();
    auto* split = w->findChild<QSplitter*>(QStringLiteral("splitterTree"));
    EXPECT_EQ(split->sizes().first(), 193);
    split->setSizes({260, split->sizes().last() + split->sizes().first() - 260});
    w->close();
    EXPECT_EQ(platform::IniProfile(brenvik::IniFilePath())
                  .readString(QStringLiteral("BRENVIK-FENSTER"), QStringLiteral("BAUMBREITE"), QString()),
              QStringLiteral("260"));
    w = std::make_unique<TfrmBrenvik>();
    w->StartUp();
    w->resize(1300, 700);
    w->show();
    EXPECT_EQ(w->findChild<QSplitter*>(QStringLiteral("splitterTree"))->sizes().first(), 260);
    // The database settings stay as they were beside the new key.
    EXPECT_TRUE(BrvConnected());
}

} // namespace
