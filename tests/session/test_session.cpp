// A seat's session from the open to the end: the configured database, its parameters, the user, the locks, and
// what is left behind when the session ends.

#include "db/brenvik_config.h"
#include "platform/ini.h"
#include "session/brenvik_ini.h"
#include "session/session.h"
#include "support/fixtures.h"

namespace {

class SessionTest : public TempDirTest {
protected:
    platform::ScriptedDialogs dialogs;
    std::unique_ptr<platform::ScopedDialogs> scoped;
    QStringList log;
    session::LogFn logger = [this](const QString& code, const QString& text) {
        log << code + QStringLiteral(": ") + text;
    };

    void SetUp() override {
        qputenv("BRENVIK_DATA_DIR", tmp.path().toUtf8());
        scoped = std::make_unique<platform::ScopedDialogs>(dialogs);
        brenvik::PrepareFirstUse();
    }
    void TearDown() override {
        scoped.reset();
        qunsetenv("BRENVIK_DATA_DIR");
        SetBrvConnection(nullptr, nullptr);
    }
    brenvik::DbConfig config() const { return brenvik::ReadDbConfig(brenvik::IniFilePath()); }
};

TEST_F(SessionTest, TheConfiguredDatabaseWithItsParametersUserAndLocksEndsInOrder) {
    platform::IniProfile(brenvik::IniFilePath())
        .writeString(QStringLiteral("BRENVIK-PARAMETER"), QStringLiteral("BACKUP_FOLDER"), QStringLiteral("/srv/seat"));
    {
        session::Session s(logger);
        s.openConfigured();
        EXPECT_TRUE(s.sharesConnection());
        EXPECT_EQ(s.commonFilesPath(), tmp.path() + QLatin1Char('/'));
        EXPECT_EQ(s.checkSchema(), 1);
        s.readParameters();
        EXPECT_EQ(s.backupFolder(), QStringLiteral("/srv/seat/"));
        EXPECT_EQ(s.useBackupFolderDb(), QStringLiteral("0"));
        EXPECT_FALSE(s.server());
        const int me = s.registerUser(QStringLiteral("anna"));
        EXPECT_GT(me, 0);
        EXPECT_EQ(s.registerUser(QStringLiteral("anna")), me);
        BrvExec(QStringLiteral("INSERT INTO MANDANTEN (BRV_MANDANT_NR, MANDANT_NR, FIRMA) VALUES (1, 1, 'Alpha')"));
        BrvExec(QStringLiteral("INSERT INTO MANDANTEN (BRV_MANDANT_NR, MANDANT_NR, FIRMA) VALUES (1, 2, 'Beta')"));
        BrvCommit();
        EXPECT_TRUE(s.takeClient(1).held());
        EXPECT_TRUE(s.takeClient(2).held());
        s.giveBackClient(2);
        EXPECT_FALSE(MandantLockHeldHere(2));

        // Another seat meets the lock and learns who holds it.
        Seat other(config().database);
        const session::ClientLock refused = other.run([] {
            session::ClientLock l;
            l.code = MandantLock(true, 99, 1, l.holder);
            return l;
        });
        EXPECT_EQ(refused.code, kLockHeld);
        EXPECT_EQ(refused.holder, QStringLiteral("anna"));
        EXPECT_TRUE(log.isEmpty()) << log.join('\n').toStdString();
    }
    // The end gave the lock back and left no shared connection behind.
    EXPECT_FALSE(BrvConnected());
    session::Session next;
    next.open(config(), tmp.path() + QLatin1Char('/'));
    EXPECT_EQ(GetMandantLockInfo(1).locked, false);
    // The database's backup folder wins over the seat's.
    BrvExec(QStringLiteral("INSERT INTO KONFIGURATIONEN (BRV_MANDANT_NR, MANDANT_NR, KEY_NAME, VALUE_VARCHAR) VALUES "
                           "(1, 0, 'BACKUP_FOLDER', '/srv/archiv')"));
    BrvCommit();
    EXPECT_EQ(next.checkSchema(), 1);
    next.readParameters();
    EXPECT_EQ(next.backupFolder(), QStringLiteral("/srv/archiv/"));
}

TEST_F(SessionTest, DetachLetsAnotherProcessInAndAttachComesBack) {
    session::Session s;
    s.open(config(), tmp.path() + QLatin1Char('/'));
    BrvExec(QStringLiteral("INSERT INTO MANDANTEN (BRV_MANDANT_NR, MANDANT_NR, FIRMA) VALUES (1, 1, 'Alpha')"));
    // Not committed: a detach is no end in order, the change is rolled back with the attachment.
    s.detach();
    EXPECT_FALSE(BrvConnected());
    EXPECT_FALSE(s.isOpen());
    s.attach();
    EXPECT_TRUE(s.sharesConnection());
    BrvSql q(QStringLiteral("SELECT COUNT(*) FROM MANDANTEN"));
    ASSERT_TRUE(q.next());
    EXPECT_EQ(q->asInt(0), 0);
}

TEST_F(SessionTest, AFailedOpenLeavesNoConnectionAndTheUserFailureIsADatabaseError) {
    session::Session s(logger);
    brenvik::DbConfig missing = config();
    missing.database = tmp.filePath(QStringLiteral("fehlt.fdb"));
    EXPECT_THROW(s.open(missing, tmp.path() + QLatin1Char('/')), Exception);
    EXPECT_FALSE(BrvConnected());
    EXPECT_FALSE(s.isOpen());

    s.open(config(), tmp.path() + QLatin1Char('/'));
    BrvExecDdl(QStringLiteral("DROP TABLE BENUTZER"));
    EXPECT_THROW(s.registerUser(QStringLiteral("anna")), EBrvException_DBERROR);
    EXPECT_EQ(s.userNr(), 0);
}

} // namespace
