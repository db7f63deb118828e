#pragma once
// A thin layer over the Firebird client library: one attachment, one transaction with an explicit parameter
// block, prepared statements with typed binds and typed reads. Everything above it (the data-access functions)
// stays short because this layer owns the XSQLDA buffers, the BLOB handling and the status vectors.

#include "db/brenvik_types.h"

#include <ibase.h>

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QVariant>

#include <memory>
#include <vector>

namespace fb {

// A database failure with the codes the client library reported. Derives from the program's general exception
// so that windows catching `Exception` see database failures too.
class Error : public Exception {
public:
    Error(const QString& message, int sqlcode, ISC_STATUS gdscode, std::vector<ISC_STATUS> codes)
        : Exception(message), sqlcode_(sqlcode), gdscode_(gdscode), codes_(std::move(codes)) {}
    int sqlcode() const { return sqlcode_; }
    ISC_STATUS gdscode() const { return gdscode_; }
    const std::vector<ISC_STATUS>& codes() const { return codes_; }
    bool hasCode(ISC_STATUS code) const;
    // Another seat holds an uncommitted change of the row (or committed one while we waited).
    bool isUpdateConflict() const;

private:
    int sqlcode_;
    ISC_STATUS gdscode_;
    std::vector<ISC_STATUS> codes_;
};

// Throws fb::Error when the status vector reports a failure.
void check(const ISC_STATUS* status, const char* what);

class Statement;

class Database {
public:
    Database() = default;
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // Attaches with the character set UTF8, or without transliteration when the database keeps its texts in the
    // character set NONE (an older release: Windows-1252 bytes). The name goes unchanged to the client library.
    void open(const QString& name, const QString& user, const QString& password);
    // Whether texts are exchanged as Windows-1252 bytes (a database with NONE text columns).
    bool legacyWin1252() const { return win1252_; }
    // Texts as the attachment exchanges them; characters Windows-1252 lacks become "?" there.
    QByteArray encode(const QString& text) const;
    // The same into a buffer that keeps its capacity from one call to the next (a parameter bound for every row).
    void encodeInto(const QString& text, QByteArray& out) const;
    QString decode(const char* bytes, qsizetype size) const;
    void close();
    bool isOpen() const { return handle_ != 0; }
    isc_db_handle* handle() { return &handle_; }
    const QString& name() const { return name_; }

    // Creates a new database file (UTF8 unless told otherwise, page size 16384) and leaves this object detached.
    static void create(const QString& path, const QString& user, const QString& password, const char* charset = "UTF8");

    // Prepared statements kept for the life of the attachment, keyed by their text, so that the data-access
    // functions can be written as "prepare, bind, execute" without paying for a prepare on every call.
    std::shared_ptr<Statement> cachedStatement(const QString& sql);
    void dropStatementCache();

private:
    void attach(const QString& name, const QString& user, const QString& password, bool win1252);
    isc_db_handle handle_ = 0;
    QString name_;
    bool win1252_ = false;
    QHash<QString, std::shared_ptr<Statement>> cache_;
};

class Transaction {
public:
    explicit Transaction(Database& db) : db_(db) {}
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    // Read committed with record versions: a seat always reads what others committed. Writes meeting another
    // seat's uncommitted change wait at most lockTimeoutSeconds, then fail with the update conflict.
    void start();
    void commit();
    void rollback();
    bool active() const { return handle_ != 0; }
    isc_tr_handle* handle() { return &handle_; }
    Database& database() { return db_; }

    static int lockTimeoutSeconds();
    static void setLockTimeoutSeconds(int seconds);

private:
    Database& db_;
    isc_tr_handle handle_ = 0;
};

// One prepared statement. Parameters are numbered from 0 in the order of the "?" marks; result columns are
// addressed by number or by (upper-case) name.
class Statement {
public:
    Statement(Database& db, const QString& sql);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    const QString& sql() const { return sql_; }
    int paramCount() const;
    int columnCount() const;
    QString columnName(int col) const;
    int columnIndex(const QString& name) const; // -1 when absent

    // Typed binds. A null optional or bindNull stores NULL.
    void bindNull(int i);
    void bindInt(int i, qint32 v);
    void bindSmallInt(int i, qint16 v);
    void bindBigInt(int i, qint64 v);
    void bindDouble(int i, double v);
    void bindText(int i, const QString& v);
    void bindDateTime(int i, TDateTime v); // day count from 30.12.1899, time as fraction
    void bindDate(int i, TDateTime v);
    void bindBlobText(int i, const QString& v);
    void clearBinds();

    // Runs the statement in the transaction. Statements with result rows leave a cursor open for fetch().
    void execute(Transaction& tr);
    bool fetch(); // false at the end; closes the cursor then
    void closeCursor();
    // Rows changed by the last INSERT, UPDATE or DELETE.
    long rowsAffected();

    bool isNull(int col) const;
    qint32 asInt(int col) const; // NULL gives 0
    qint64 asBigInt(int col) const;
    double asDouble(int col) const;
    QString asText(int col) const;       // NULL gives empty; CHAR columns lose their padding
    TDateTime asDateTime(int col) const; // NULL gives 0
    QVariant value(int col) const;

    bool isNull(const QString& c) const { return isNull(col(c)); }
    qint32 asInt(const QString& c) const { return asInt(col(c)); }
    qint64 asBigInt(const QString& c) const { return asBigInt(col(c)); }
    double asDouble(const QString& c) const { return asDouble(col(c)); }
    QString asText(const QString& c) const { return asText(col(c)); }
    TDateTime asDateTime(const QString& c) const { return asDateTime(col(c)); }

    bool inUse() const { return inUse_; }
    void setInUse(bool v) { inUse_ = v; }

private:
    struct Param {
        short type = SQL_NULL; // what we bind, before the null flag
        short ind = 0;
        QByteArray buf;
        bool isBlob = false;
        QString blobText;
    };
    int col(const QString& name) const;
    XSQLVAR& outVar(int col) const;
    void describeOutput();
    // The parameter i, made ready for a new value of the type (nullptr for a negative number).
    Param* slot(int i, short type);
    void setParam(int i, short type, const void* data, int len);
    void checkTextFits(const Param& p, const XSQLVAR& described, int i) const;
    QString readBlob(ISC_QUAD id) const;

    Database& db_;
    Transaction* tr_ = nullptr;
    QString sql_;
    isc_stmt_handle handle_ = 0;
    int stmtType_ = 0;
    std::vector<char> inDa_, inDaDescribed_, outDa_;
    std::vector<Param> params_;
    std::vector<ISC_QUAD> blobIds_;
    std::vector<std::vector<char>> outBufs_;
    std::vector<short> outInd_;
    QHash<QString, int> colIndex_;
    bool cursorOpen_ = false;
    bool singletonPending_ = false;
    bool inUse_ = false;
};

// Borrows a cached prepared statement of the connection (or a private one while the cached one is busy, as in
// a nested use of the same text) and closes its cursor when it goes out of scope.
class Query {
public:
    Query(Database& db, const QString& sql);
    ~Query();
    Query(const Query&) = delete;
    Query& operator=(const Query&) = delete;
    Statement* operator->() { return st_.get(); }
    Statement& operator*() { return *st_; }

private:
    std::shared_ptr<Statement> st_;
};

// Result cursors open on any statement of the process (a read in progress).
int openCursorCount();

// Executes one statement without parameters and without result (DDL and the like).
void executeImmediate(Database& db, Transaction& tr, const QString& sql);

// Whether a failing statement is logged (category "brenvik.db") with its text, codes and the library's English
// status text. On unless turned off: the command-line tool shows it only when asked to be verbose, since its
// German messages already say what failed.
void setStatementLog(bool on);
bool statementLog();

// Stops the client library's engine and its threads before the process ends, so that nothing of it runs while
// the process tears down (the embedded engine keeps worker threads otherwise).
void shutdownClient();

// ISC timestamp <-> day count from 30.12.1899.
TDateTime fromIscTimestamp(const ISC_TIMESTAMP& ts);
ISC_TIMESTAMP toIscTimestamp(TDateTime dt);

} // namespace fb
