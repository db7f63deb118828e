#pragma once
// The first worksheet of a workbook (.xlsx or .xls) without a spreadsheet program. Cells keep their type and are
// turned into text the way the user's locale writes them when they are asked for: numbers with the decimal comma
// and no thousands separator, dates as DD.MM.YYYY, empty cells empty.

#include "db/brenvik_types.h"

#include <QList>
#include <QString>
#include <QVector>

// A file that is no readable workbook.
class EBrvWorkbookError : public Exception {
public:
    using Exception::Exception;
};

class Worksheet {
public:
    // NoValue: a formula whose result the file does not hold.
    enum class Kind : quint8 { Empty, Text, Number, Date, Bool, Error, NoValue };
    struct Cell {
        Kind kind = Kind::Empty;
        double number = 0;
        QString text;
    };

    // A cell that is not empty, with its column.
    struct Entry {
        int column;
        Cell cell;
    };

    // Row and column count from 1, as in the spreadsheet; a cell outside the used range is empty.
    QString cell(int row, int column) const;
    const Cell* at(int row, int column) const;
    // The number of the last row that holds a cell.
    int rowCount() const { return rows_.isEmpty() ? 0 : rows_.last().nr; }
    // The last row of the sheet with a non-empty cell, also beyond the rows held.
    int lastUsedRow() const { return rowCount(); }
    // Whether the row holds a non-empty cell in any column.
    bool rowUsed(int row) const {
        const Row* r = findRow(row);
        return r && !r->cells.isEmpty();
    }
    QString sheetName;   // the worksheet read
    QString sheetNotice; // German, when the sheet read is not simply the first one shown
    // Cells held, whatever their rows and columns: the memory of a sheet grows with these only.
    qsizetype cellCount() const;

    void set(int row, int column, Cell c);
    // Puts a whole row at once, its entries in ascending columns; replaces what the row held.
    void setRow(int row, QVector<Entry>&& cells);

private:
    struct Row {
        int nr;
        QVector<Entry> cells;
    };
    Row* rowFor(int nr); // created when missing
    const Row* findRow(int nr) const;
    QVector<Row> rows_; // ascending row numbers
    mutable qsizetype lastFound_ = 0;
};

// Reads the first worksheet; raises EBrvWorkbookError with a German message naming the cause when the file is no
// readable workbook. The kind is taken from the file's content, not from its name.
Worksheet ReadWorkbook(const QString& path);
// The same for a workbook held in memory (the file's bytes).
Worksheet ReadWorkbookBytes(const QByteArray& bytes);
Worksheet ReadXlsxBytes(const QByteArray& bytes);
Worksheet ReadXlsBytes(const QByteArray& bytes);

// Whether a number format (built-in id, or its format code) shows a date or time.
bool NumberFormatIsDate(int id, const QString& code);
// Whether a number in a date format is a date at all (within the years a spreadsheet shows).
bool SerialIsDate(double serial, bool date1904);

// The text of a number as a cell gives it ("1234,5").
QString NumberCellText(double v);
