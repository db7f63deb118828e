// Measures the data layer against the bare client library on an embedded database: N inserts with a prepared
// statement in one transaction, then one fetch of all rows. Prints both timings and their ratio.

#include "db/dbaccess.h"
#include "db/schema.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdio>
#include <cstring>

namespace {

void rawCheck(const ISC_STATUS* st) {
    if (st[0] == 1 && st[1]) {
        isc_print_status(st);
        std::exit(1);
    }
}

struct Raw {
    isc_db_handle db = 0;
    isc_tr_handle tr = 0;
    ISC_STATUS_ARRAY st{};
};

double rawInsert(Raw& r, int n) {
    QElapsedTimer t;
    t.start();
    static const char tpb[] = {isc_tpb_version3, isc_tpb_write, isc_tpb_read_committed, isc_tpb_rec_version,
                               isc_tpb_wait};
    isc_start_transaction(r.st, &r.tr, 1, &r.db, sizeof tpb, tpb);
    rawCheck(r.st);
    isc_stmt_handle h = 0;
    isc_dsql_allocate_statement(r.st, &r.db, &h);
    isc_dsql_prepare(r.st, &r.tr, &h, 0, "INSERT INTO RAWT (ID, NAME, V) VALUES (?, ?, ?)", 3, nullptr);
    rawCheck(r.st);
    std::vector<char> buf(XSQLDA_LENGTH(3));
    auto* da = reinterpret_cast<XSQLDA*>(buf.data());
    da->version = SQLDA_VERSION1;
    da->sqln = 3;
    isc_dsql_describe_bind(r.st, &h, 1, da);
    qint32 id = 0;
    char name[64];
    double v = 0;
    short ind = 0;
    da->sqlvar[0].sqltype = SQL_LONG + 1;
    da->sqlvar[0].sqldata = reinterpret_cast<char*>(&id);
    da->sqlvar[0].sqlind = &ind;
    da->sqlvar[1].sqltype = SQL_TEXT + 1;
    da->sqlvar[1].sqldata = name;
    da->sqlvar[1].sqlind = &ind;
    da->sqlvar[2].sqltype = SQL_DOUBLE + 1;
    da->sqlvar[2].sqldata = reinterpret_cast<char*>(&v);
    da->sqlvar[2].sqlind = &ind;
    for (int i = 0; i < n; ++i) {
        id = i;
        v = i * 1.5;
        int len = std::snprintf(name, sizeof name, "Anlage Nummer %d", i);
        da->sqlvar[1].sqllen = static_cast<short>(len);
        isc_dsql_execute(r.st, &r.tr, &h, 1, da);
        rawCheck(r.st);
    }
    isc_dsql_free_statement(r.st, &h, DSQL_drop);
    isc_commit_transaction(r.st, &r.tr);
    rawCheck(r.st);
    return double(t.nsecsElapsed()) / 1e6;
}

double rawFetch(Raw& r, long& sum) {
    QElapsedTimer t;
    t.start();
    static const char tpb[] = {isc_tpb_version3, isc_tpb_read, isc_tpb_read_committed, isc_tpb_rec_version};
    isc_start_transaction(r.st, &r.tr, 1, &r.db, sizeof tpb, tpb);
    isc_stmt_handle h = 0;
    isc_dsql_allocate_statement(r.st, &r.db, &h);
    std::vector<char> buf(XSQLDA_LENGTH(3));
    auto* da = reinterpret_cast<XSQLDA*>(buf.data());
    da->version = SQLDA_VERSION1;
    da->sqln = 3;
    isc_dsql_prepare(r.st, &r.tr, &h, 0, "SELECT ID, NAME, V FROM RAWT", 3, da);
    rawCheck(r.st);
    qint32 id;
    char name[402];
    double v;
    short ind[3];
    da->sqlvar[0].sqldata = reinterpret_cast<char*>(&id);
    da->sqlvar[1].sqldata = name;
    da->sqlvar[2].sqldata = reinterpret_cast<char*>(&v);
    for (int i = 0; i < 3; ++i)
        da->sqlvar[i].sqlind = &ind[i];
    isc_dsql_execute(r.st, &r.tr, &h, 1, nullptr);
    rawCheck(r.st);
    while (isc_dsql_fetch(r.st, &h, 1, da) == 0) {
        short len;
        std::memcpy(&len, name, 2);
        sum += id + len + long(v);
    }
    isc_dsql_free_statement(r.st, &h, DSQL_drop);
    isc_commit_transaction(r.st, &r.tr);
    return double(t.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int n = argc > 1 ? std::atoi(argv[1]) : 65500;
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("bench.fdb"));
    fb::Database::create(file, QStringLiteral("SYSDBA"), QStringLiteral("x"));
    fb::Database db;
    fb::Transaction tr(db);
    db.open(file, QStringLiteral("SYSDBA"), QStringLiteral("x"));
    SetBrvConnection(&db, &tr);
    for (const char* t : {"RAWT", "OURT"})
        BrvExecDdl(QStringLiteral("CREATE TABLE %1 (ID INTEGER NOT NULL PRIMARY KEY, NAME VARCHAR(100), V DOUBLE "
                                  "PRECISION)")
                       .arg(QLatin1String(t)));

    Raw raw;
    raw.db = *db.handle();
    const double rawIns = rawInsert(raw, n);

    QElapsedTimer t;
    t.start();
    for (int i = 0; i < n; ++i)
        BrvExec(QStringLiteral("INSERT INTO OURT (ID, NAME, V) VALUES (?, ?, ?)"), i,
                QStringLiteral("Anlage Nummer %1").arg(i), i * 1.5);
    BrvCommit();
    const double ourIns = double(t.nsecsElapsed()) / 1e6;

    long rawSum = 0, ourSum = 0;
    const double rawRead = rawFetch(raw, rawSum);
    t.restart();
    {
        BrvSql q(QStringLiteral("SELECT ID, NAME, V FROM OURT"));
        while (q.next())
            ourSum += q->asInt(0) + q->asText(1).size() + long(q->asDouble(2));
    }
    BrvCommit();
    const double ourRead = double(t.nsecsElapsed()) / 1e6;

    std::printf("rows: %d\n", n);
    std::printf("insert  raw %8.1f ms   layer %8.1f ms   ratio %.2f\n", rawIns, ourIns, ourIns / rawIns);
    std::printf("fetch   raw %8.1f ms   layer %8.1f ms   ratio %.2f\n", rawRead, ourRead, ourRead / rawRead);
    if (rawSum != ourSum)
        std::printf("checksums differ: %ld / %ld\n", rawSum, ourSum);
    SetBrvConnection(nullptr, nullptr);
    return 0;
}
