#pragma once
// The one shared connection and transaction, and the small patterns every data-access function follows:
// start the transaction when it is not active, run a prepared statement with bound values, commit.

#include "db/fb.h"

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

// Typed values for the variadic helpers below. Dates need their own wrapper because they are doubles too.
struct SqlTs {
    TDateTime v;
};
struct SqlBlob {
    QString v;
};
struct SqlNull {};

inline void bindOne(fb::Statement& s, int i, int v) { s.bindInt(i, v); }
inline void bindOne(fb::Statement& s, int i, qint16 v) { s.bindSmallInt(i, v); }
inline void bindOne(fb::Statement& s, int i, qint64 v) { s.bindBigInt(i, v); }
inline void bindOne(fb::Statement& s, int i, double v) { s.bindDouble(i, v); }
inline void bindOne(fb::Statement& s, int i, const QString& v) { s.bindText(i, v); }
inline void bindOne(fb::Statement& s, int i, const char* v) { s.bindText(i, QString::fromUtf8(v)); }
inline void bindOne(fb::Statement& s, int i, SqlTs v) { s.bindDateTime(i, v.v); }
inline void bindOne(fb::Statement& s, int i, const SqlBlob& v) { s.bindBlobText(i, v.v); }
inline void bindOne(fb::Statement& s, int i, SqlNull) { s.bindNull(i); }
template <typename T> void bindOne(fb::Statement& s, int i, const std::optional<T>& v) {
    if (v)
        bindOne(s, i, *v);
    else
        s.bindNull(i);
}

template <typename... A> void bindAll(fb::Statement& s, const A&... a) {
    int i = 0;
    (bindOne(s, i++, a), ...);
}

// A statement on the shared pair: prepared once per connection, values bound, executed in the shared
// transaction (started when needed). The caller fetches and commits.
class BrvSql {
public:
    template <typename... A> explicit BrvSql(const QString& sql, const A&... a) : q_(BrvRequireDb(), sql) {
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
template <typename... A> long BrvExec(const QString& sql, const A&... a) {
    BrvSql q(sql, a...);
    return q->rowsAffected();
}

// The first step of every insert-or-update: whether the read finds the row. No data means insert; any other
// failure of the read becomes EBrvException_DBERROR with its message.
template <typename Read> bool BrvRowExists(Read read) {
    try {
        read();
        return true;
    } catch (const EBrvException_NODATA&) {
        return false;
    } catch (const Exception& e) {
        throw EBrvException_DBERROR(e.message());
    }
}

// A write of several statements as one unit on the shared transaction: commit() makes all of it durable; leaving
// the scope without commit() (a failure on the way) rolls all of it back.
class BrvUnitOfWork {
public:
    BrvUnitOfWork() { BrvActiveTrans(); }
    ~BrvUnitOfWork() {
        if (!done_)
            try {
                BrvRollback();
            } catch (...) {
            }
    }
    BrvUnitOfWork(const BrvUnitOfWork&) = delete;
    BrvUnitOfWork& operator=(const BrvUnitOfWork&) = delete;
    void commit() {
        BrvCommit();
        done_ = true;
    }

private:
    bool done_ = false;
};

// Runs DDL on the shared transaction and commits, as the schema upgrade needs it.
void BrvExecDdl(const QString& sql);

// The current local date and time as a day count.
TDateTime BrvNow();
