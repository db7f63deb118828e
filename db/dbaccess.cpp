#include "db/dbaccess.h"

#include "core/convert.h"

#include <QDateTime>

#include <cstdio>

fb::Database* gBrvDB = nullptr;
fb::Transaction* gBrvTrans = nullptr;

void SetBrvConnection(fb::Database* db, fb::Transaction* tr) {
    gBrvDB = db;
    gBrvTrans = tr;
}

bool BrvConnected() {
    return gBrvDB && gBrvTrans && gBrvDB->isOpen();
}

static const QString kNotConnected = QStringLiteral("Keine Verbindung zur Datenbank.");

fb::Database& BrvRequireDb() {
    if (!BrvConnected())
        throw EBrvException_DBERROR(kNotConnected);
    return *gBrvDB;
}

fb::Transaction& BrvActiveTrans() {
    if (!BrvConnected())
        throw EBrvException_DBERROR(kNotConnected);
    gBrvTrans->start();
    return *gBrvTrans;
}

namespace {
int gUnitDepth = 0;       // open units of work on the shared transaction
bool gUnitDoomed = false; // a BrvRollback() inside a unit: the outermost unit must not commit

QString savepointName(int level) {
    return QStringLiteral("BRV_UOW_%1").arg(level);
}

void savepointStatement(const QString& sql) {
    fb::executeImmediate(BrvRequireDb(), BrvActiveTrans(), sql);
}

const QString kDoomed = QStringLiteral("Die Änderung wurde nicht gespeichert, weil ein Teil davon fehlgeschlagen ist.");
} // namespace

void BrvCommit() {
    if (gUnitDepth > 0)
        return; // the outermost unit of work decides
    if (gBrvTrans)
        gBrvTrans->commit();
}

void BrvRollback() {
    if (gUnitDepth > 0) {
        gUnitDoomed = true;
        return;
    }
    if (gBrvTrans)
        gBrvTrans->rollback();
}

bool BrvEndIdleTransaction() {
    if (gUnitDepth > 0 || !gBrvTrans || !gBrvTrans->active() || fb::openCursorCount() > 0)
        return false;
    try {
        gBrvTrans->commit();
    } catch (...) {
        try {
            gBrvTrans->rollback();
        } catch (...) {
        }
    }
    return true;
}

BrvUnitOfWork::BrvUnitOfWork() {
    savepointStatement(QStringLiteral("SAVEPOINT ") + savepointName(gUnitDepth + 1));
    level_ = ++gUnitDepth;
    if (level_ == 1)
        gUnitDoomed = false;
}

BrvUnitOfWork::~BrvUnitOfWork() {
    if (level_ > 0)
        undo();
}

bool BrvUnitOfWork::open() {
    return gUnitDepth > 0;
}

void BrvUnitOfWork::commit() {
    if (level_ <= 0)
        return;
    if (level_ != gUnitDepth)
        throw EBrvException_DBERROR(
            QStringLiteral("Interner Fehler: verschachtelte Änderungen in falscher Reihenfolge."));
    if (gUnitDoomed) {
        undo();
        throw EBrvException_DBERROR(kDoomed);
    }
    savepointStatement(QStringLiteral("RELEASE SAVEPOINT ") + savepointName(level_) + QStringLiteral(" ONLY"));
    --gUnitDepth;
    level_ = 0;
    if (gUnitDepth == 0 && gBrvTrans)
        gBrvTrans->commit();
}

void BrvUnitOfWork::undo() noexcept {
    const int level = level_;
    level_ = 0;
    gUnitDepth = level - 1;
    bool undone = false;
    try {
        if (gBrvTrans && gBrvTrans->active()) {
            savepointStatement(QStringLiteral("ROLLBACK TO SAVEPOINT ") + savepointName(level));
            savepointStatement(QStringLiteral("RELEASE SAVEPOINT ") + savepointName(level) + QStringLiteral(" ONLY"));
            undone = true;
        }
    } catch (...) {
    }
    if (gUnitDepth > 0) {
        if (!undone)
            gUnitDoomed = true;
        return;
    }
    // Outermost: what came before the unit was committed already, so the transaction ends here; when the
    // savepoint could not be reached the whole transaction goes.
    try {
        if (gBrvTrans) {
            if (undone)
                gBrvTrans->commit();
            else
                gBrvTrans->rollback();
        }
    } catch (...) {
        try {
            if (gBrvTrans)
                gBrvTrans->rollback();
        } catch (...) {
        }
    }
    gUnitDoomed = false;
}

void BrvExecDdl(const QString& sql) {
    // Prepared statements keep their tables in use, and the engine refuses to change a table in use.
    BrvRequireDb().dropStatementCache();
    fb::executeImmediate(BrvRequireDb(), BrvActiveTrans(), sql);
    BrvCommit();
}

namespace {
BrvLogSink& logSink() {
    static BrvLogSink sink;
    return sink;
}
} // namespace

void SetBrvLogSink(BrvLogSink sink) {
    logSink() = std::move(sink);
}

void BrvLog(const QString& code, const QString& text) {
    if (logSink())
        logSink()(code, text);
    else
        std::fprintf(stderr, "%s: %s\n", code.toUtf8().constData(), text.toUtf8().constData());
}

namespace {
int gUserNr = 0;
}
void SetBrvUserNr(int userNr) {
    gUserNr = userNr;
}
int BrvUserNr() {
    return gUserNr;
}

TDateTime BrvNow() {
    return DateTimeToTDateTime(QDateTime::currentDateTime());
}
