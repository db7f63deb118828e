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
    enum class Kind : quint8 { Empty, Text, Number, Date, Bool, Error };
    struct Cell {
        Kind kind = Kind::Empty;
        double number = 0;
        QString text;
    };

    // Row and column count from 1, as in the spreadsheet; a cell outside the used range is empty.
    QString cell(int row, int column) const;
    const Cell* at(int row, int column) const;
    int rowCount() const { return int(rows_.size()) - 1; }

    void set(int row, int column, Cell c);
    // Puts a whole row at once (column 1 first); replaces what the row held.
    void setRow(int row, QVector<Cell>&& cells);
    void reserveRows(int n) { rows_.reserve(n + 1); }

private:
    QVector<QVector<Cell>> rows_{1};
};

// Reads the first worksheet; raises EBrvWorkbookError with a German message naming the cause when the file is no
// readable workbook. The kind is taken from the file's content, not from its name.
Worksheet ReadWorkbook(const QString& path);
Worksheet ReadXlsx(const QString& path);
Worksheet ReadXls(const QString& path);

// The text of a number as a cell gives it ("1234,5").
QString NumberCellText(double v);
