#include "support/fixtures.h"

#include "db/brenvik_config.h"

#include <QFile>

QString TempDirTest::writeFile(const QString& name, const QByteArray& bytes) const {
    QString p = tmp.filePath(name);
    QFile f(p);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        ADD_FAILURE() << "cannot write " << p.toStdString();
    return p;
}

void BaseDbTest::SetUp() {
    ASSERT_TRUE(tmp.isValid());
    scopedDialogs = std::make_unique<platform::ScopedDialogs>(dialogs);
    dbFile = path(QStringLiteral("test.fdb"));
    CreateNewDatabase(dbFile, QStringLiteral("SYSDBA"), QStringLiteral("x"));
    session = std::make_unique<session::Session>();
    session->open({dbFile, brenvik::kDefaultDbType, QStringLiteral("SYSDBA"), QStringLiteral("x")},
                  tmp.path() + QLatin1Char('/'));
    db = &session->database();
    tr = &session->transaction();
}

void BaseDbTest::TearDown() {
    SetBrvUserNr(0);
    SetBrvConnection(nullptr, nullptr);
    session.reset();
    db = nullptr;
    tr = nullptr;
    scopedDialogs.reset();
}

void BaseDbTest::reopen() {
    // The client locks of this seat go with its attachment; the new attachment takes them over.
    QList<int> held;
    try {
        BrvSql q(QStringLiteral("SELECT MANDANT_NR FROM MANDANTEN WHERE LOCK_ATTACHMENT = CURRENT_CONNECTION"));
        while (q.next())
            held.append(q->asInt(0));
    } catch (const Exception&) {
    }
    session->detach();
    session->attach();
    for (int nr : held)
        lockClient(nr);
}

void BaseDbTest::failOn(const QString& table, const char* event) {
    if (failingTriggers_.isEmpty() &&
        count(QStringLiteral("SELECT COUNT(*) FROM RDB$EXCEPTIONS WHERE RDB$EXCEPTION_NAME = 'BRV_TESTFEHLER'")) == 0)
        BrvExecDdl(QStringLiteral("CREATE EXCEPTION BRV_TESTFEHLER 'Testfehler: die Anweisung scheitert'"));
    const QString name = QStringLiteral("BRV_TEST_%1_%2").arg(failingTriggers_.size()).arg(QLatin1String(event));
    BrvExecDdl(QStringLiteral("CREATE TRIGGER %1 FOR %2 BEFORE %3 AS BEGIN EXCEPTION BRV_TESTFEHLER; END")
                   .arg(name, table, QLatin1String(event)));
    failingTriggers_ << name;
}

void BaseDbTest::stopFailing() {
    for (const QString& name : std::as_const(failingTriggers_))
        BrvExecDdl(QStringLiteral("DROP TRIGGER ") + name);
    failingTriggers_.clear();
}

void BaseDbTest::lockClient(int mandantNr) {
    QString holder;
    ASSERT_EQ(MandantLock(true, BrvUserNr(), mandantNr, holder), kLockDone) << holder.toStdString();
}

OtherSeat::OtherSeat(const QString& dbFile, const QString& sql) {
    db_.open(dbFile, QStringLiteral("SYSDBA"), QStringLiteral("x"));
    tr_ = std::make_unique<fb::Transaction>(db_);
    tr_->start();
    fb::executeImmediate(db_, *tr_, sql);
}

OtherSeat::~OtherSeat() {
    try {
        rollback();
        tr_.reset();
        db_.close();
    } catch (...) {
    }
}

void OtherSeat::commit() {
    if (tr_->active())
        tr_->commit();
}

void OtherSeat::rollback() {
    if (tr_->active())
        tr_->rollback();
}

Seat::Seat(const QString& dbFile) {
    db_.open(dbFile, QStringLiteral("SYSDBA"), QStringLiteral("x"));
    tr_ = std::make_unique<fb::Transaction>(db_);
}

Seat::~Seat() {
    close();
}

void Seat::close() {
    try {
        if (tr_ && tr_->active())
            tr_->rollback();
        tr_.reset();
        if (db_.isOpen())
            db_.close();
    } catch (...) {
    }
}

void BaseDbTest::exec(const QString& sql) {
    BrvExec(sql);
    BrvCommit();
}

QString BaseDbTest::scalar(const QString& sql) {
    BrvSql q(sql);
    QString v = q.next() ? q->asText(0) : QString();
    q->closeCursor();
    BrvCommit();
    return v;
}

int BaseDbTest::columnCount(const QString& table) {
    BrvSql q(QStringLiteral("SELECT COUNT(*) FROM RDB$RELATION_FIELDS WHERE RDB$RELATION_NAME = ?"), table);
    int n = q.next() ? q->asInt(0) : -1;
    q->closeCursor();
    BrvCommit();
    return n;
}

void SchemaDbTest::SetUp() {
    BaseDbTest::SetUp();
    ASSERT_EQ(CheckDatabaseStructure(), 1) << dialogs.messages().join("|").toStdString();
    exec(QStringLiteral("INSERT INTO MANDANTEN (BRV_MANDANT_NR, MANDANT_NR, INSERT_TS, FIRMA, MWST_PFLICHT) "
                        "VALUES (1, 1, CURRENT_TIMESTAMP, 'Muster GmbH', '1')"));
    exec(QStringLiteral("INSERT INTO BENUTZER (BRV_MANDANT_NR, INSERT_TS, BENUTZER_NR, LOGIN) "
                        "VALUES (1, CURRENT_TIMESTAMP, 1, 'tester')"));
    // This seat is user 1 and holds the sample client, as after a click on it in the client tree.
    SetBrvUserNr(1);
    lockClient(1);
}
