#include "platform/dialogs.h"
#include "platform/ini.h"
#include "platform/paths.h"
#include "support/fixtures.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <utility>

namespace {

class IniTest : public TempDirTest {};

TEST_F(IniTest, ValuesAreReadRawAndDefaultsApply) {
    const QString p = writeFile(QStringLiteral("brenvik.ini"),
                                "[brenvik-db]\r\nDATABASE=server:C:\\Daten\\brenvik.fdb\r\ndbtype = extern\r\n"
                                "DBP=\"geheim\"\r\n[BRENVIK-PARAMETER]\r\nBACKUP_FOLDER=D:\\Archiv\\\r\n"
                                "NAME=M\xfcller\r\n");
    platform::IniProfile ini(p);
    EXPECT_TRUE(ini.loaded());
    EXPECT_EQ(ini.readString("BRENVIK-DB", "database", "x"), QStringLiteral("server:C:\\Daten\\brenvik.fdb"));
    EXPECT_EQ(ini.readString("BRENVIK-DB", "DBTYPE", "LOCAL"), QStringLiteral("extern"));
    EXPECT_EQ(ini.readString("BRENVIK-DB", "DBP", "KORMA"), QStringLiteral("geheim"));
    EXPECT_EQ(ini.readString("BRENVIK-DB", "DBU", "SYSDBA"), QStringLiteral("SYSDBA"));
    EXPECT_EQ(ini.readString("BRENVIK-PARAMETER", "BACKUP_FOLDER", ""), QStringLiteral("D:\\Archiv\\"));
    EXPECT_EQ(ini.readString("BRENVIK-PARAMETER", "NAME", ""), QStringLiteral("Müller")); // Windows-1252 file
    platform::IniProfile missing(path(QStringLiteral("none.ini")));
    EXPECT_FALSE(missing.loaded());
    EXPECT_EQ(missing.readString("A", "B", "default"), QStringLiteral("default"));
}

TEST_F(IniTest, WritingKeepsOtherEntriesAndFailsLoudly) {
    const QString p = path(QStringLiteral("sub/brenvik.ini"));
    {
        platform::IniProfile ini(p);
        ini.writeString("BRENVIK-DB", "DATABASE", "C:\\x.fdb");
        ini.writeString("BRENVIK-PARAMETER", "USE_BACKUP_FOLDER_DB", "1");
    }
    platform::IniProfile ini(p);
    EXPECT_EQ(ini.readString("BRENVIK-DB", "DATABASE", ""), QStringLiteral("C:\\x.fdb"));
    EXPECT_EQ(ini.readString("BRENVIK-PARAMETER", "USE_BACKUP_FOLDER_DB", ""), QStringLiteral("1"));
    QFile f(p);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_TRUE(f.readAll().contains("DATABASE=C:\\x.fdb"));
    platform::IniProfile bad(QStringLiteral("/proc/brenvik/none.ini"));
    EXPECT_THROW(bad.writeString("A", "B", "C"), Exception);
}

TEST(Paths, TrailingSeparatorRule) {
    const QString sep = QDir::separator();
    EXPECT_EQ(platform::withTrailingSeparator(QStringLiteral("/srv/archiv")), QStringLiteral("/srv/archiv") + sep);
    EXPECT_EQ(platform::withTrailingSeparator(QStringLiteral("/srv/archiv/")), QStringLiteral("/srv/archiv/"));
    EXPECT_EQ(platform::withTrailingSeparator(QString()), sep);
}

TEST(Paths, DataFolderFromTheEnvironmentAndLoginName) {
    QTemporaryDir dir;
    qputenv("BRENVIK_DATA_DIR", (dir.path() + "/neu").toUtf8());
    EXPECT_EQ(platform::commonFilesPath(), dir.path() + "/neu/");
    EXPECT_TRUE(QDir(dir.path() + "/neu").exists());
    qunsetenv("BRENVIK_DATA_DIR");
    const QString login = platform::loginName();
    EXPECT_FALSE(login.isEmpty());
    EXPECT_LE(login.size(), 79);
}

// A machine without a locale setting gets German in Qt's own dialogs; a user's own setting is left alone.
TEST(Paths, ABareMachineIsTakenAsGermanAndAUsersLocaleIsKept) {
    const QByteArray lang = qgetenv("LANG"), all = qgetenv("LC_ALL"), time = qgetenv("LC_TIME");
    qunsetenv("LANG");
    qputenv("LC_ALL", "C");
    qunsetenv("LC_TIME");
    platform::preferGermanSystemLocale();
    EXPECT_EQ(qgetenv("LANG"), QByteArray("de_DE.UTF-8"));
    EXPECT_TRUE(qEnvironmentVariableIsEmpty("LC_ALL"));
    qputenv("LANG", "fr_FR.UTF-8");
    qputenv("LC_ALL", "C.UTF-8");
    platform::preferGermanSystemLocale();
    EXPECT_EQ(qgetenv("LANG"), QByteArray("fr_FR.UTF-8"));
    EXPECT_EQ(qgetenv("LC_ALL"), QByteArray("C.UTF-8"));
    for (auto [name, value] : {std::pair{"LANG", lang}, {"LC_ALL", all}, {"LC_TIME", time}}) {
        if (value.isEmpty())
            qunsetenv(name);
        else
            qputenv(name, value);
    }
}

TEST(SingleInstance, SecondGuardOfTheSameLogOnIsRefused) {
    const QString name = QStringLiteral("BrenvikTest-%1").arg(QCoreApplication::applicationPid());
    platform::SingleInstanceGuard first(name);
    ASSERT_TRUE(first.acquire());
    platform::SingleInstanceGuard second(name);
    EXPECT_FALSE(second.acquire());
}

TEST(ScriptedDialogs, RecordsTextsAndGivesQueuedAnswers) {
    platform::ScriptedDialogs d;
    platform::ScopedDialogs scoped(d);
    d.answers << platform::MsgResult::No;
    EXPECT_EQ(platform::dialogs().message("Frage?", platform::MsgIcon::Question, platform::MsgButtons::YesNo),
              platform::MsgResult::No);
    EXPECT_EQ(platform::dialogs().message("Hinweis", platform::MsgIcon::Information, platform::MsgButtons::Ok),
              platform::MsgResult::Ok);
    EXPECT_EQ(d.messages(), QStringList({"Frage?", "Hinweis"}));
    EXPECT_EQ(d.calls[0].icon, platform::MsgIcon::Question);
}

} // namespace

TEST(Paths, AClientsFolderIsNeverTheRootOrTheWorkingFolder) {
    QTemporaryDir data;
    qputenv("BRENVIK_DATA_DIR", data.path().toUtf8());
    const QString d = platform::withTrailingSeparator(data.path());
    // Absolute paths stand as they are, also where folders are kept relative to the backup folder.
    EXPECT_EQ(platform::resolveClientFolder(QStringLiteral("/srv/kunden/meier"), true, QStringLiteral("/srv/archiv/")),
              QStringLiteral("/srv/kunden/meier/"));
    EXPECT_EQ(platform::resolveClientFolder(QStringLiteral("/srv/kunden/meier/"), false, {}),
              QStringLiteral("/srv/kunden/meier/"));
    // Relative: in the backup folder when so configured, else in the data folder.
    EXPECT_EQ(platform::resolveClientFolder(QStringLiteral("meier_7"), true, QStringLiteral("/srv/archiv/")),
              QStringLiteral("/srv/archiv/meier_7/"));
    EXPECT_EQ(platform::resolveClientFolder(QStringLiteral("meier_7"), false, QStringLiteral("/srv/archiv/")),
              d + QStringLiteral("meier_7/"));
    EXPECT_EQ(platform::resolveClientFolder(QStringLiteral("meier_7"), true, QString()),
              d + QStringLiteral("meier_7/"));
    // No folder at all: the data folder, not "/" (pictures once landed in "/pic_33.bmp").
    EXPECT_EQ(platform::resolveClientFolder(QString(), false, {}), d);
    EXPECT_EQ(platform::resolveClientFolder(QStringLiteral("  "), true, QStringLiteral("/srv/archiv/")),
              QStringLiteral("/srv/archiv/"));
    qunsetenv("BRENVIK_DATA_DIR");
}
