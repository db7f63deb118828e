#include "session/brenvik_ini.h"
#include "app/frm_brenvik.h"
#include "db/brenvik_config.h"
#include "platform/ini.h"
#include "platform/paths.h"
#include "platform/qt_dialogs.h"
#include "support/fixtures.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDate>
#include <QDialog>
#include <QDir>
#include <QLabel>
#include <QTimer>
#include <QRegularExpression>
#include <QTreeWidget>

namespace {

class StartupTest : public TempDirTest {
protected:
    platform::ScriptedDialogs dialogs;
    std::unique_ptr<platform::ScopedDialogs> scoped;
    void SetUp() override {
        qputenv("BRENVIK_DATA_DIR", tmp.path().toUtf8());
        scoped = std::make_unique<platform::ScopedDialogs>(dialogs);
    }
    void TearDown() override {
        scoped.reset();
        qunsetenv("BRENVIK_DATA_DIR");
        SetBrvConnection(nullptr, nullptr);
    }
    // Runs statements on the installation's database through an attachment of its own.
    void sql(const QStringList& statements) {
        const brenvik::DbConfig cfg = brenvik::ReadDbConfig(brenvik::IniFilePath());
        fb::Database db;
        fb::Transaction tr(db);
        db.open(cfg.database, cfg.user, cfg.password);
        for (const QString& s : statements) {
            fb::executeImmediate(db, tr, s);
            tr.commit();
        }
    }
    void setIni(const QString& section, const QString& key, const QString& value) {
        platform::IniProfile(brenvik::IniFilePath()).writeString(section, key, value);
    }
};

TEST_F(StartupTest, WithoutConfigurationTheOpenFailsAndIsLogged) {
    TfrmBrenvik w;
    w.StartUp();
    const QStringList lines = w.logText().split('\n');
    const QString today = QDate::currentDate().toString(QStringLiteral("dd.MM.yyyy"));
    ASSERT_GE(lines.size(), 2);
    EXPECT_EQ(lines[0], today + QStringLiteral(" BRV000100: Angemeldeter Benutzer: ") + platform::loginName());
    EXPECT_EQ(lines[1], today + QStringLiteral(" BRV100010: Fehler beim Öffnen der Datenbank."));
    EXPECT_TRUE(lines[2].startsWith(QStringLiteral("Systemmeldung: ")));
    EXPECT_TRUE(w.logText().contains(QStringLiteral("Database error")));
    EXPECT_FALSE(w.logText().contains(QStringLiteral("BRV000010")));
    EXPECT_EQ(w.findChild<QTreeWidget*>(QStringLiteral("tvBrenvik"))->topLevelItemCount(), 0);
    EXPECT_FALSE(BrvConnected());
}

TEST_F(StartupTest, FirstUseStartsRegistersAndLoadsTheTree) {
    brenvik::PrepareFirstUse();
    sql({QStringLiteral("INSERT INTO MANDANTEN (BRV_MANDANT_NR, MANDANT_NR, FIRMA) VALUES (1, 7, 'Zeta AG')"),
         QStringLiteral("INSERT INTO MANDANTEN (BRV_MANDANT_NR, MANDANT_NR, FIRMA) VALUES (1, 3, 'Alpha KG')")});
    setIni(QStringLiteral("BRENVIK-DB"), QStringLiteral("DBTYPE"), QStringLiteral("extern")); // lower case: local
    setIni(QStringLiteral("BRENVIK-PARAMETER"), QStringLiteral("BACKUP_FOLDER"), QStringLiteral("/srv/seat"));
    {
        TfrmBrenvik w;
        w.StartUp();
        EXPECT_TRUE(w.logText().contains(QStringLiteral("BRV000010: Datenbank erfolgreich geöffnet.")))
            << w.logText().toStdString();
        EXPECT_FALSE(w.bServer);
        EXPECT_GT(w.iUserNr, 0);
        EXPECT_EQ(w.sBAKFLD, QStringLiteral("/srv/seat/")); // no database entry: the seat's ini value
        EXPECT_EQ(w.sUSE_BACKUP_FOLDER_DB, QStringLiteral("0"));
        EXPECT_EQ(w.sCommonFilesPath, tmp.path() + QLatin1Char('/'));
        auto* tree = w.findChild<QTreeWidget*>(QStringLiteral("tvBrenvik"));
        ASSERT_EQ(tree->topLevelItemCount(), 1);
        QTreeWidgetItem* clients = tree->topLevelItem(0)->child(0);
        EXPECT_EQ(tree->topLevelItem(0)->text(0), QStringLiteral("Anwendungen"));
        EXPECT_EQ(clients->text(0), QStringLiteral("Mandanten"));
        ASSERT_EQ(clients->childCount(), 2);
        EXPECT_EQ(clients->child(0)->text(0), QStringLiteral("Alpha KG (3)"));
        EXPECT_EQ(clients->child(1)->data(0, Qt::UserRole).toString(), QStringLiteral("7"));

        // A lock of this run goes at the close; one left over by a seat that ended abnormally stays recorded, but
        // its seat is gone, so the next take of the client succeeds.
        QString holder;
        EXPECT_EQ(MandantLock(true, w.iUserNr, 3, holder), 0);
        BrvExec(QStringLiteral("UPDATE MANDANTEN SET BENUTZER_NR_LOCK = ?, LOCK_ATTACHMENT = 999999, LOCK_DBUSER = "
                               "CURRENT_USER WHERE MANDANT_NR = 7"),
                w.iUserNr);
        BrvCommit();
        w.close();
        EXPECT_FALSE(BrvConnected());
    }
    session::Session session;
    session.open(brenvik::ReadDbConfig(brenvik::IniFilePath()), tmp.path() + QLatin1Char('/'));
    BrvSql q(QStringLiteral("SELECT MANDANT_NR FROM MANDANTEN WHERE BENUTZER_NR_LOCK IS NOT NULL"));
    ASSERT_TRUE(q.next());
    EXPECT_EQ(q->asInt(0), 7);
    EXPECT_FALSE(q.next());
    q->closeCursor();
    EXPECT_TRUE(GetMandantLockInfo(7).holderGone);
    QString holder;
    EXPECT_EQ(MandantLock(true, 1, 7, holder), kLockDone);
    BrvRollback();
}

TEST_F(StartupTest, DatabaseBackupFolderWinsAndServerFlagIsExact) {
    brenvik::PrepareFirstUse();
    sql({QStringLiteral("INSERT INTO KONFIGURATIONEN (BRV_MANDANT_NR, MANDANT_NR, KEY_NAME, VALUE_VARCHAR) "
                        "VALUES (1, 0, 'BACKUP_FOLDER', '/srv/archiv')")});
    setIni(QStringLiteral("BRENVIK-PARAMETER"), QStringLiteral("BACKUP_FOLDER"), QStringLiteral("/srv/seat"));
    setIni(QStringLiteral("BRENVIK-PARAMETER"), QStringLiteral("USE_BACKUP_FOLDER_DB"), QStringLiteral("1"));
    setIni(QStringLiteral("BRENVIK-DB"), QStringLiteral("DBTYPE"), QStringLiteral("EXTERN"));
    TfrmBrenvik w;
    w.StartUp();
    EXPECT_TRUE(w.bServer);
    EXPECT_EQ(w.sBAKFLD, QStringLiteral("/srv/archiv/"));
    EXPECT_EQ(w.sUSE_BACKUP_FOLDER_DB, QStringLiteral("1"));
    w.close();
}

TEST_F(StartupTest, FailedSchemaCheckAndTreeLoadAreReported) {
    brenvik::PrepareFirstUse();
    sql({QStringLiteral("DROP TABLE MANDANTEN")});
    TfrmBrenvik w;
    w.StartUp();
    EXPECT_TRUE(w.logText().contains(QStringLiteral("BRV109000: Die Überprüfung der Datenbankstrukturen ist "
                                                    "fehlgeschlagen.\nBitte informieren Sie den Softwarehersteller.")));
    ASSERT_FALSE(dialogs.calls.isEmpty());
    EXPECT_EQ(dialogs.calls.last().text, QStringLiteral("Die Überprüfung der Datenbankstrukturen ist fehlgeschlagen. "
                                                        "Bitte informieren Sie den Softwarehersteller."));
    EXPECT_EQ(dialogs.calls.last().icon, platform::MsgIcon::Error);
    EXPECT_TRUE(w.logText().contains(QStringLiteral("BRV000010")));
    EXPECT_TRUE(w.logText().contains(QStringLiteral("BRV100100: Initialisierungsfehler")));
    EXPECT_FALSE(w.sLastErrMsg.isEmpty());
    w.close();
}

TEST_F(StartupTest, UserRegistrationFailureStopsBeforeTheTree) {
    brenvik::PrepareFirstUse();
    sql({QStringLiteral("DROP TABLE BENUTZER"),
         QStringLiteral("CREATE TABLE BENUTZER(BRV_MANDANT_NR INTEGER NOT NULL, INSERT_TS TIMESTAMP NOT NULL, "
                        "UPDATE_TS TIMESTAMP, BENUTZER_NR INTEGER NOT NULL, LOGIN VARCHAR(128) NOT NULL CHECK (LOGIN = "
                        "'-'), VORNAME VARCHAR(50), NACHNAME VARCHAR(50), ABTEILUNG VARCHAR(50), LETZTER_LOGIN "
                        "TIMESTAMP)")});
    TfrmBrenvik w;
    w.StartUp();
    if (platform::loginName() != QLatin1String("-")) { // no login but "-" can be registered
        EXPECT_TRUE(w.logText().contains(QStringLiteral("BRV100101: Benutzerinformationen konnten nicht in die "
                                                        "Datenbank eingetragen werden.\nFehlermeldung: ")));
        EXPECT_FALSE(w.logText().contains(QStringLiteral("BRV000010")));
        EXPECT_EQ(w.iUserNr, 0);
    }
    w.close();
}

} // namespace

namespace {

// The texts of the buttons and labels of the modal window the program shows next, which is then closed with the
// button of the given text (or rejected).
struct ModalLook {
    QStringList buttons, labels;
    QString title;
};
void lookAtNextModal(ModalLook& look, const QString& press, int tries = 200) {
    QTimer::singleShot(10, [&look, press, tries] {
        QWidget* w = QApplication::activeModalWidget();
        if (!w || !w->isVisible()) {
            if (tries > 0)
                lookAtNextModal(look, press, tries - 1);
            return;
        }
        look.title = w->windowTitle();
        QAbstractButton* chosen = nullptr;
        for (QAbstractButton* b : w->findChildren<QAbstractButton*>()) {
            look.buttons << b->text();
            if (!press.isEmpty() && b->text() == press)
                chosen = b;
        }
        for (QLabel* l : w->findChildren<QLabel*>())
            look.labels << l->text();
        if (chosen)
            chosen->click();
        else if (auto* d = qobject_cast<QDialog*>(w))
            d->reject();
    });
}

} // namespace

TEST(QtTexts, StandardButtonsAndFileDialogsAreGerman) {
    platform::QtDialogs qt;
    ModalLook question;
    lookAtNextModal(question, QStringLiteral("&Nein"));
    EXPECT_EQ(qt.message(QStringLiteral("Änderungen speichern?"), platform::MsgIcon::Question,
                         platform::MsgButtons::YesNoCancel, nullptr, QStringLiteral("Frage")),
              platform::MsgResult::No);
    EXPECT_TRUE(question.buttons.contains(QStringLiteral("&Ja"))) << question.buttons.join(',').toStdString();
    EXPECT_TRUE(question.buttons.contains(QStringLiteral("&Nein")));
    EXPECT_TRUE(question.buttons.contains(QStringLiteral("Abbrechen")));

    ModalLook open;
    lookAtNextModal(open, QString());
    EXPECT_TRUE(qt.openFile(QStringLiteral("Importdatei wählen"), QDir::tempPath(), QStringLiteral("Alle (*)"), nullptr)
                    .isEmpty());
    EXPECT_EQ(open.title, QStringLiteral("Importdatei wählen"));
    EXPECT_TRUE(open.buttons.contains(QStringLiteral("&Öffnen"))) << open.buttons.join(',').toStdString();
    EXPECT_TRUE(open.labels.contains(QStringLiteral("Suchen in:"))) << open.labels.join(',').toStdString();
    EXPECT_FALSE(open.labels.contains(QStringLiteral("Look in:")));
}
