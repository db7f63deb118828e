#pragma once
// The bare client library as the benchmarks' baseline: a statement with output buffers as described and input
// parameters of the caller's choosing, and nothing of the program's data layer.

#include <QtGlobal>

#include <ibase.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

inline void rawCheck(const ISC_STATUS* st) {
    if (st[0] == 1 && st[1]) {
        isc_print_status(st);
        std::exit(1);
    }
}

// A statement over the bare client library: output buffers as described, input parameters of our choosing.
struct RawStmt {
    ISC_STATUS_ARRAY st{};
    isc_db_handle* db;
    isc_tr_handle* tr;
    isc_stmt_handle h = 0;
    std::vector<char> outBuf, inBuf;
    std::vector<std::vector<char>> data;
    std::vector<short> ind;
    XSQLDA* out = nullptr;
    XSQLDA* in = nullptr;

    RawStmt(isc_db_handle* d, isc_tr_handle* t, const char* sql, int nIn) : db(d), tr(t) {
        isc_dsql_allocate_statement(st, db, &h);
        outBuf.resize(XSQLDA_LENGTH(60));
        out = reinterpret_cast<XSQLDA*>(outBuf.data());
        out->version = SQLDA_VERSION1;
        out->sqln = 60;
        isc_dsql_prepare(st, tr, &h, 0, sql, 3, out);
        rawCheck(st);
        data.resize(out->sqld);
        ind.resize(out->sqld);
        for (int i = 0; i < out->sqld; ++i) {
            XSQLVAR& v = out->sqlvar[i];
            data[i].resize(v.sqllen + 2);
            v.sqldata = data[i].data();
            v.sqlind = &ind[i];
        }
        if (nIn) {
            inBuf.resize(XSQLDA_LENGTH(nIn));
            in = reinterpret_cast<XSQLDA*>(inBuf.data());
            in->version = SQLDA_VERSION1;
            in->sqln = short(nIn);
            isc_dsql_describe_bind(st, &h, 1, in);
            rawCheck(st);
        }
    }
    ~RawStmt() { isc_dsql_free_statement(st, &h, DSQL_drop); }
    void param(int i, short type, void* p, short len) {
        in->sqlvar[i].sqltype = type;
        in->sqlvar[i].sqldata = static_cast<char*>(p);
        in->sqlvar[i].sqllen = len;
        in->sqlvar[i].sqlind = nullptr;
    }
    void execute() {
        isc_dsql_execute(st, tr, &h, 1, in);
        rawCheck(st);
    }
    bool fetch() { return isc_dsql_fetch(st, &h, 1, out) == 0; }
    void close() { isc_dsql_free_statement(st, &h, DSQL_close); }
    qint32 intAt(int i) const { return *reinterpret_cast<const qint32*>(data[i].data()); }
};
