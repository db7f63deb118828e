#pragma once
// The tables of the predecessor's MS-Access file, read whole and front to back. The file is read with mdbtools
// ("mdb-export"), so no Access engine is needed.

#include <QList>
#include <QString>
#include <QStringList>

struct LegacyTable {
    QStringList columns;
    QList<QStringList> rows;
    int column(const QString& name) const { return int(columns.indexOf(name)); }
    bool has(const QString& name) const { return column(name) >= 0; }
    // The value of a column in a row; raises Exception naming the column when the table lacks it.
    QString value(int row, const QString& name) const;
};

class LegacySource {
public:
    virtual ~LegacySource() = default;
    // Raises Exception with a German message when the table cannot be read.
    virtual LegacyTable table(const QString& name) = 0;
};

// Reads the tables with the mdbtools programs. The constructor checks that the file is an Access database.
class MdbToolsSource : public LegacySource {
public:
    explicit MdbToolsSource(const QString& file);
    LegacyTable table(const QString& name) override;

private:
    QString file_;
};

// The CSV that "mdb-export" writes: a header line, fields separated by commas, texts in double quotes with doubled
// quotes inside, line breaks inside quoted texts kept.
LegacyTable ParseMdbExport(const QByteArray& csv);
