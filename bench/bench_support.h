#pragma once
// What every benchmark starts from: a new embedded database in a temporary folder, its schema brought up to date,
// open as the shared connection for the life of the object.

#include "db/dbaccess.h"
#include "db/schema.h"

#include <QTemporaryDir>

class BenchDatabase {
public:
    BenchDatabase() : tr_(db_) {
        file_ = dir_.filePath(QStringLiteral("bench.fdb"));
        CreateNewDatabase(file_, QStringLiteral("SYSDBA"), QStringLiteral("x"));
        db_.open(file_, QStringLiteral("SYSDBA"), QStringLiteral("x"));
        SetBrvConnection(&db_, &tr_);
        CheckDatabaseStructure();
    }
    ~BenchDatabase() { SetBrvConnection(nullptr, nullptr); }
    BenchDatabase(const BenchDatabase&) = delete;
    BenchDatabase& operator=(const BenchDatabase&) = delete;

    fb::Database& db() { return db_; }
    const QString& file() const { return file_; }
    QString path(const QString& name) const { return dir_.filePath(name); }

private:
    QTemporaryDir dir_;
    QString file_;
    fb::Database db_;
    fb::Transaction tr_;
};
