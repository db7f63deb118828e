#include "support/fixtures.h"

#include <QProcess>

namespace {

struct CliRun {
    int code;
    QString out, err;
};

class CliTest : public TempDirTest {
protected:
    CliRun cli(const QStringList& args) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("BRENVIK_DATA_DIR"), tmp.path());
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(BRENVIK_CLI), args);
        p.waitForFinished(120000);
        return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
    }
};

TEST_F(CliTest, InitDbAndCheckDb) {
    CliRun r = cli({QStringLiteral("check-db")});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.out.startsWith(QStringLiteral("Fehler beim Öffnen der Datenbank.\nSystemmeldung: "))) << r.out.toStdString();

    const QString file = path(QStringLiteral("neu.fdb"));
    r = cli({QStringLiteral("init-db"), file});
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    r = cli({QStringLiteral("init-db"), file});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("bereits vorhanden")));

    writeFile(QStringLiteral("brenvik.ini"), "[BRENVIK-DB]\r\nDATABASE=" + file.toUtf8() + "\r\n");
    for (int i = 0; i < 2; ++i) {
        r = cli({QStringLiteral("check-db")});
        EXPECT_EQ(r.code, 0) << r.out.toStdString() << r.err.toStdString();
        EXPECT_EQ(r.out.trimmed().split('\n').last(), QStringLiteral("1"));
    }
    EXPECT_EQ(cli({QStringLiteral("frobnicate")}).code, 2);
}

TEST_F(CliTest, PrepareInstallationMakesIniAndDatabaseOnce) {
    CliRun r = cli({QStringLiteral("prepare-installation")});
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_TRUE(QFileInfo::exists(path(QStringLiteral("brenvik.ini"))));
    EXPECT_TRUE(QFileInfo::exists(path(QStringLiteral("brenvik.fdb"))));
    r = cli({QStringLiteral("prepare-installation")});
    EXPECT_EQ(r.code, 0);
    EXPECT_TRUE(r.out.contains(QStringLiteral("vorhanden")));
    EXPECT_EQ(cli({QStringLiteral("check-db")}).code, 0);
}

} // namespace
