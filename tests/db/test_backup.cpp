// Backup and restore of the whole database through the service manager of the embedded engine.

#include "db/backup.h"
#include "db/brenvik_config.h"
#include "db/mandanten.h"
#include "support/fixtures.h"

#include <QFile>

namespace {

class BackupTest : public SchemaDbTest {
protected:
    backup::Target target() const { return {dbFile, QStringLiteral("SYSDBA"), QStringLiteral("x")}; }
    void detach() { session->detach(); }
    void attach() { session->attach(); }
    QString rows() {
        return scalar(
            QStringLiteral("SELECT (SELECT COUNT(*) FROM MANDANTEN) || '/' || (SELECT COUNT(*) FROM ADRESSEN) "
                           "|| '/' || (SELECT COUNT(*) FROM VERSICHERUNGSWERTE) || '/' || (SELECT LIST(FIRMA, "
                           "'|') FROM MANDANTEN) FROM RDB$DATABASE"));
    }
};

TEST_F(BackupTest, BackUpDamageRestoreAndFindEveryRow) {
    for (int nr = 1; nr <= 3; ++nr) {
        TBrenvikAdresse a;
        a.mandant_nr = 1;
        a.adress_nr = nr;
        a.ort = QStringLiteral("Köln 'Süd'");
        SaveAdresse(a);
    }
    for (int nr = 1; nr <= 500; ++nr)
        BrvExec(QStringLiteral("INSERT INTO VERSICHERUNGSWERTE (BRV_MANDANT_NR, MANDANT_NR, ANLAGE_NR, ANLAGE_SUB_NR, "
                               "ANLAGEBEZEICHNUNG) VALUES (1, 1, ?, 0, 'Drehbank Ä')"),
                nr);
    BrvCommit();
    const QString before = rows();
    EXPECT_EQ(before, QStringLiteral("1/3/500/Muster GmbH"));

    // The backup runs while this seat is attached, as "Datensicherung" does.
    const QString bak = path(QStringLiteral("sicherung.fbk"));
    int lines = 0;
    backup::Backup(target(), bak, [&lines](const QString&) { ++lines; });
    EXPECT_GT(QFile(bak).size(), 0);
    EXPECT_GT(lines, 10);
    EXPECT_FALSE(QFile::exists(bak + QStringLiteral(".entsteht")));

    // A backup into a folder that does not exist fails with a message and leaves nothing.
    EXPECT_THROW(backup::Backup(target(), path(QStringLiteral("fehlt/x.fbk"))), Exception);

    // Damage the live file: a stretch of its pages overwritten.
    detach();
    {
        QFile f(dbFile);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        ASSERT_TRUE(f.seek(16384 * 3));
        f.write(QByteArray(16384 * 40, '\xA5'));
    }
    backup::RestoreHooks hooks;
    bool checked = false, detached = false;
    hooks.check = [&] {
        checked = true;
        return CheckDatabaseStructure() == 1;
    };
    hooks.detach = [&] { detached = true; };
    // A backup that is no backup is refused before anything is replaced.
    const QString junk = writeFile(QStringLiteral("kaputt.fbk"), QByteArray(5000, 'x'));
    backup::RestoreResult r = backup::Restore(target(), junk, hooks);
    EXPECT_FALSE(r.restored);
    EXPECT_TRUE(r.message.startsWith(QStringLiteral("Die Sicherung konnte nicht zurückgelesen werden.")))
        << r.message.toStdString();
    EXPECT_FALSE(checked);

    r = backup::Restore(target(), bak, hooks);
    ASSERT_TRUE(r.restored) << r.message.toStdString();
    EXPECT_TRUE(checked);
    EXPECT_TRUE(detached);
    EXPECT_FALSE(QFile::exists(dbFile + QStringLiteral(".ruecksicherung")));
    EXPECT_FALSE(QFile::exists(dbFile + QStringLiteral(".vor_ruecksicherung")));
    attach();
    EXPECT_EQ(rows(), before);
    TBrenvikAdresse back;
    GetAdresse(1, 2, back);
    EXPECT_EQ(back.ort, QStringLiteral("Köln 'Süd'"));
}

TEST_F(BackupTest, RestoreRefusesADatabaseInUseAndACopyThatFailsTheCheck) {
    const QString bak = path(QStringLiteral("sicherung.fbk"));
    backup::Backup(target(), bak);
    exec(QStringLiteral("INSERT INTO ADRESSEN (BRV_MANDANT_NR, MANDANT_NR, ADRESS_NR) VALUES (1, 1, 9)"));
    // This seat is still attached: another user of the file, as far as the restore can tell.
    Seat other(dbFile);
    backup::RestoreHooks own;
    own.ownAttachments = 1;
    backup::RestoreResult r = backup::Restore(target(), bak, own);
    EXPECT_FALSE(r.restored);
    EXPECT_TRUE(r.message.startsWith(QStringLiteral("Die Datenbank wird von einem anderen Arbeitsplatz verwendet.")));
    other.close();
    detach();
    backup::RestoreHooks hooks;
    hooks.check = [] { return false; };
    r = backup::Restore(target(), bak, hooks);
    EXPECT_FALSE(r.restored);
    EXPECT_TRUE(r.message.contains(QStringLiteral("Prüfung der Datenbankstruktur nicht bestanden")));
    attach();
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM ADRESSEN WHERE ADRESS_NR = 9")), 1); // unchanged
}

} // namespace
