#include "db/dbaccess.h"

#include "db/convert.h"

#include <QDateTime>

fb::Database* gBrvDB = nullptr;
fb::Transaction* gBrvTrans = nullptr;

void SetBrvConnection(fb::Database* db, fb::Transaction* tr) {
    gBrvDB = db;
    gBrvTrans = tr;
}

bool BrvConnected() { return gBrvDB && gBrvTrans && gBrvDB->isOpen(); }

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

void BrvCommit() {
    if (gBrvTrans)
        gBrvTrans->commit();
}

void BrvRollback() {
    if (gBrvTrans)
        gBrvTrans->rollback();
}

void BrvExecDdl(const QString& sql) {
    // Prepared statements keep their tables in use, and the engine refuses to change a table in use.
    BrvRequireDb().dropStatementCache();
    fb::executeImmediate(BrvRequireDb(), BrvActiveTrans(), sql);
    BrvCommit();
}

TDateTime BrvNow() { return DateTimeToTDateTime(QDateTime::currentDateTime()); }
