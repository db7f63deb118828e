#pragma once
// The one shared connection and transaction, and the small patterns every data-access function follows:
// start the transaction when it is not active, run a prepared statement with bound values, commit.

#include "db/fb.h"

#include <functional>
#include <optional>

// Program-wide globals: set by whoever owns the connection (the main window, the command-line tool) once the
// database is open; null before that.
extern fb::Database* gBrvDB;
extern fb::Transaction* gBrvTrans;

void SetBrvConnection(fb::Database* db, fb::Transaction* tr);
bool BrvConnected();

// The shared connection; raises EBrvException_DBERROR when not connected.
fb::Database& BrvRequireDb();
// The shared transaction, started when it is not active. Raises EBrvException_DBERROR when not connected.
fb::Transaction& BrvActiveTrans();
// Commits the shared transaction when it is active.
void BrvCommit();
void BrvRollback();
// Ends the shared transaction between operations: committed when no unit of work and no read is in progress, so
// an idle seat holds no transaction open (other seats' old record versions can then be collected). Returns
// whether a transaction was ended.
bool BrvEndIdleTransaction();

// Typed values for the variadic helpers below. Dates need their own wrapper because they are doubles too.
struct SqlTs {
    TDateTime v;
};
struct SqlBlob {
    QString v;
};
struct SqlNull {};

inline void bindOne(fb::Statement& s, int i, int v) {
    s.bindInt(i, v);
}
inline void bindOne(fb::Statement& s, int i, qint16 v) {
    s.bindSmallInt(i, v);
}
inline void bindOne(fb::Statement& s, int i, qint64 v) {
    s.bindBigInt(i, v);
}
inline void bindOne(fb::Statement& s, int i, double v) {
    s.bindDouble(i, v);
}
inline void bindOne(fb::Statement& s, int i, const QString& v) {
    s.bindText(i, v);
}
inline void bindOne(fb::Statement& s, int i, const char* v) {
    s.bindText(i, QString::fromUtf8(v));
}
inline void bindOne(fb::Statement& s, int i, SqlTs v) {
    s.bindDateTime(i, v.v);
}
inline void bindOne(fb::Statement& s, int i, const SqlBlob& v) {
    s.bindBlobText(i, v.v);
}
inline void bindOne(fb::Statement& s, int i, SqlNull) {
    s.bindNull(i);
}
template <typename T>
void bindOne(fb::Statement& s, int i, const std::optional<T>& v) {
    if (v)
        bindOne(s, i, *v);
    else
        s.bindNull(i);
}

template <typename... A>
void bindAll(fb::Statement& s, const A&... a) {
    int i = 0;
    (bindOne(s, i++, a), ...);
}

// A statement on the shared pair: prepared once per connection, values bound, executed in the shared
// transaction (started when needed). The caller fetches and commits.
class BrvSql {
public:
    template <typename... A>
    explicit BrvSql(const QString& sql, const A&... a) : q_(BrvRequireDb(), sql) {
        bindAll(*q_, a...);
        q_->execute(BrvActiveTrans());
    }
    fb::Statement* operator->() { return &*q_; }
    fb::Statement& st() { return *q_; }
    bool next() { return q_->fetch(); }

private:
    fb::Query q_;
};

// Runs a writing statement and returns the number of rows it changed; no commit.
template <typename... A>
long BrvExec(const QString& sql, const A&... a) {
    BrvSql q(sql, a...);
    return q->rowsAffected();
}

// The first step of every insert-or-update: whether the read finds the row. No data means insert; any other
// failure of the read becomes EBrvException_DBERROR with its message.
template <typename Read>
bool BrvRowExists(Read read) {
    try {
        read();
        return true;
    } catch (const EBrvException_NODATA&) {
        return false;
    } catch (const Exception& e) {
        throw EBrvException_DBERROR(e.message());
    }
}

// A write of several statements as one unit on the shared transaction. It marks a savepoint when it begins;
// commit() releases the savepoint (and, for the outermost unit, commits the transaction), while leaving the scope
// without commit() (an exception on the way) rolls back to the savepoint, so exactly the unit's statements are
// undone and nothing of it can be made durable by a later, unrelated commit. Units nest: inside one, BrvCommit()
// waits for the outermost unit, and BrvRollback() dooms the whole unit (its commit() then fails).
class BrvUnitOfWork {
public:
    BrvUnitOfWork();
    ~BrvUnitOfWork();
    BrvUnitOfWork(BrvUnitOfWork&& other) noexcept : level_(other.level_) { other.level_ = 0; }
    BrvUnitOfWork& operator=(BrvUnitOfWork&&) = delete;
    BrvUnitOfWork(const BrvUnitOfWork&) = delete;
    BrvUnitOfWork& operator=(const BrvUnitOfWork&) = delete;
    void commit();
    // Whether a unit of work is open on the shared transaction.
    static bool open();

private:
    void undo() noexcept;
    int level_ = 0; // 1 for the outermost unit; 0 once committed, undone or moved from
};

// Runs DDL on the shared transaction and commits, as the schema upgrade needs it.
void BrvExecDdl(const QString& sql);

// A line for the program's log (code and German text): the window's log when one is set, standard error otherwise.
using BrvLogSink = std::function<void(const QString& code, const QString& text)>;
void SetBrvLogSink(BrvLogSink sink);
void BrvLog(const QString& code, const QString& text);

// The program's user of this seat (BENUTZER_NR), once registered; 0 before.
void SetBrvUserNr(int userNr);
int BrvUserNr();

// The current local date and time as a day count.
TDateTime BrvNow();
