#pragma once
// The first worksheet of a workbook (.xlsx or .xls) without a spreadsheet program. Cells keep their type and are
// turned into text the way the user's locale writes them when they are asked for: numbers with the decimal comma
// and no thousands separator, dates as DD.MM.YYYY, empty cells empty.
//
// Whatever the file, a sheet holds a bounded amount: only the cells of rows 1..kHeldRows and columns
// 1..kHeldColumns are kept, a text is cut to kMaxCellText characters, and a workbook whose cells and texts would
// exceed kTextBudget characters is refused. Which rows hold anything is known for the whole sheet.

#include "db/brenvik_types.h"

#include <QBitArray>
#include <QList>
#include <QString>
#include <QVector>

// A file that is no readable workbook.
class EBrvWorkbookError : public Exception {
public:
    using Exception::Exception;
};
// A workbook whose cells and texts exceed what a sheet may hold (Worksheet::kTextBudget).
class EBrvWorkbookTooLarge : public EBrvWorkbookError {
public:
    using EBrvWorkbookError::EBrvWorkbookError;
};

class Worksheet {
public:
    // NoValue: a formula whose result the file does not hold; its text is the formula when the file gives it.
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

    // The import reads up to row 65,500 plus one row ahead, and columns up to AN.
    static constexpr int kHeldRows = 65600;
    static constexpr int kHeldColumns = 64;
    static constexpr int kMaxRows = 1048576;
    static constexpr int kMaxColumns = 16384;
    // Excel's own limit of a cell.
    static constexpr int kMaxCellText = 32767;
    // What the cells and texts held may cost, counted in characters (a cell or string counts some on its own).
    static constexpr qint64 kTextBudget = 100'000'000;

    // Row and column count from 1, as in the spreadsheet; a cell outside the used range is empty. A cell of a
    // merged range gives the value of the range's top-left cell.
    QString cell(int row, int column) const;
    const Cell* at(int row, int column) const;
    // The number of the last row held that holds a cell (at most kHeldRows).
    int rowCount() const { return std::max(rows_.isEmpty() ? 0 : rows_.last().nr, lastMergedRow_); }
    // The last row of the sheet with a non-empty cell, in any column, also beyond the rows held.
    int lastUsedRow() const { return lastUsedRow_; }
    // Whether the row holds a non-empty cell in any column, also in columns not held.
    bool rowUsed(int row) const { return row >= 1 && row < used_.size() && used_.testBit(row); }
    // Cells held, whatever their rows and columns: the memory of a sheet grows with these only.
    qsizetype cellCount() const;

    // The name of the sheet read, and a German notice when it is not simply the first sheet (empty normally).
    QString sheetName;
    QString sheetNotice;

    // Cells beyond the rows and columns held only count as used; a text is cut to kMaxCellText. Its characters are
    // counted against the budget unless the text is shared with another string (a table of shared strings, which
    // was counted as it was read).
    void set(int row, int column, Cell c);
    // Puts a whole row at once, its entries in ascending columns; replaces what the row held. Only the cells are
    // counted against the budget here: their texts are counted by whoever made them.
    void setRow(int row, QVector<Entry>&& cells);

    // For the readers: marks a row as used without holding a cell of it.
    void markUsed(int row);
    // For the readers: counts characters against kTextBudget; raises EBrvWorkbookError beyond it.
    void charge(qint64 characters);
    // For the readers: the range's cells show its top-left cell (once the reading is done, see finishMerges).
    void addMerge(int firstRow, int firstColumn, int lastRow, int lastColumn);
    void finishMerges();
    // What a cell itself costs against the budget (its text counted apart).
    static constexpr qint64 kCellCost = 16;
    // What a string costs apart from its characters.
    static constexpr qint64 kStringCost = 24;

private:
    struct Row {
        int nr;
        QVector<Entry> cells;
    };
    struct Span { // columns of a merged range in one row, and its top-left cell
        int firstColumn, lastColumn, row, column;
    };
    struct Merge {
        int r1, c1, r2, c2;
    };
    Row* rowFor(int nr); // created when missing
    const Row* findRow(int nr) const;
    const Cell* held(int row, int column) const;
    void usedUpTo(int row);
    QVector<Row> rows_; // ascending row numbers
    mutable qsizetype lastFound_ = 0;
    QBitArray used_;
    int lastUsedRow_ = 0;
    qint64 spent_ = 0;
    QVector<Merge> merges_;
    QVector<QVector<Span>> mergedRows_; // by row, only once there are merges
    int lastMergedRow_ = 0;
};

// Reads the first worksheet; raises EBrvWorkbookError with a German message naming the cause when the file is no
// readable workbook. The kind is taken from the file's content, not from its name. The file is read as it goes,
// not held whole.
Worksheet ReadWorkbook(const QString& path);
// The same for a workbook held in memory (the file's bytes).
Worksheet ReadWorkbookBytes(const QByteArray& bytes);
Worksheet ReadXlsxBytes(const QByteArray& bytes);
Worksheet ReadXlsBytes(const QByteArray& bytes);
// .xls from a file: the container is read from the file, its workbook stream copied into memory once. A file (or
// bytes) beyond kMaxXlsFileSize is refused: a register of 65,536 rows takes far less.
Worksheet ReadXlsFile(const QString& path);
inline constexpr qint64 kMaxXlsFileSize = qint64(64) << 20;

// Whether a number format (built-in id, or its format code) shows a date or time.
bool NumberFormatIsDate(int id, const QString& code);
// Whether a number in a date format is a date at all (within the years a spreadsheet shows).
bool SerialIsDate(double serial, bool date1904);

// The text of a number as a cell gives it ("1234,5").
QString NumberCellText(double v);
