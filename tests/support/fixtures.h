#pragma once
// The fixture ladder: a temporary folder; an embedded database in it with the base tables; the same after the
// schema check, with a sample client.

#include "db/dbaccess.h"
#include "db/schema.h"
#include "platform/dialogs.h"
#include "session/session.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

class TempDirTest : public ::testing::Test {
protected:
    QTemporaryDir tmp;
    QString path(const QString& name) const { return tmp.filePath(name); }
    // Writes bytes to a file in the temporary folder.
    QString writeFile(const QString& name, const QByteArray& bytes) const;
};

// An embedded database file with the base tables, open as the shared connection.
class BaseDbTest : public TempDirTest {
protected:
    void SetUp() override;
    void TearDown() override;
    // Reopens the shared connection (a new attachment sees what others committed); the client locks of the old
    // attachment are taken over by the new one.
    void reopen();
    // Takes the client's lock for this seat, as a click on the client does.
    void lockClient(int mandantNr);
    // Makes every statement of the kind event ("INSERT", "UPDATE", "DELETE") on the table fail, as a statement in
    // the middle of an operation would, until stopFailing().
    void failOn(const QString& table, const char* event);
    void stopFailing();
    QStringList failingTriggers_;
    // Runs one statement on the shared transaction and commits.
    void exec(const QString& sql);
    // First column of the first row, as text ("" when none).
    QString scalar(const QString& sql);
    int count(const QString& sql) { return scalar(sql).toInt(); }
    int columnCount(const QString& table);

    QString dbFile;
    // The test's seat: the database file as the shared connection, as the program's session opens it.
    std::unique_ptr<session::Session> session;
    fb::Database* db = nullptr;
    fb::Transaction* tr = nullptr;
    platform::ScriptedDialogs dialogs;
    std::unique_ptr<platform::ScopedDialogs> scopedDialogs;
};

// A second attachment to the test database, as another seat would have: it holds the change of sql uncommitted
// until commit() or rollback() (rolled back when it goes out of scope).
class OtherSeat {
public:
    OtherSeat(const QString& dbFile, const QString& sql);
    ~OtherSeat();
    void commit();
    void rollback();

private:
    fb::Database db_;
    std::unique_ptr<fb::Transaction> tr_;
};

// Another seat's own attachment to the test database; run() makes it the shared connection for a call, as if
// the data-access functions ran on that seat. close() ends the seat as a crash would (its locks stay behind).
class Seat {
public:
    explicit Seat(const QString& dbFile);
    ~Seat();
    template <typename F>
    auto run(F f) {
        struct Swap {
            fb::Database* db = gBrvDB;
            fb::Transaction* tr = gBrvTrans;
            ~Swap() { SetBrvConnection(db, tr); }
        } swap;
        SetBrvConnection(&db_, tr_.get());
        return f();
    }
    void close();

private:
    fb::Database db_;
    std::unique_ptr<fb::Transaction> tr_;
};

// Writes of this seat wait at most one second for a row another seat holds, for the life of the object.
class ShortLockWait {
public:
    ShortLockWait() { fb::Transaction::setLockTimeoutSeconds(1); }
    ~ShortLockWait() { fb::Transaction::setLockTimeoutSeconds(before_); }

private:
    int before_ = fb::Transaction::lockTimeoutSeconds();
};

// The base tables upgraded by the schema check, plus client 1 "Muster GmbH" with user 1 "tester".
class SchemaDbTest : public BaseDbTest {
protected:
    void SetUp() override;
};
