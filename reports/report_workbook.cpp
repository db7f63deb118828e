#include "reports/report_workbook.h"

#include "core/exceptions.h"
#include "platform/atomic_file.h"
#include "reports/table_layout.h"

#include <QFile>
#include <QRegularExpression>

#include <xlsxwriter.h>

#include <algorithm>
#include <cmath>

namespace {

// "C12" for row 11, column 2 (both from 0).
QString cellName(lxw_row_t row, lxw_col_t col) {
    QString letters;
    for (int c = int(col) + 1; c > 0; c = (c - 1) / 26)
        letters.prepend(QLatin1Char(char('A' + (c - 1) % 26)));
    return letters + QString::number(row + 1);
}

class Sheet {
public:
    Sheet(const QString& path, const QString& name) {
        lxw_workbook_options options{};
        options.constant_memory = LXW_FALSE;
        book_ = workbook_new_opt(QFile::encodeName(path).constData(), &options);
        if (!book_)
            return;
        sheet_ = workbook_add_worksheet(book_, WorkbookSheetName(name).toUtf8().constData());
        title_ = workbook_add_format(book_);
        format_set_bold(title_);
        format_set_font_size(title_, 14);
        bold_ = workbook_add_format(book_);
        format_set_bold(bold_);
        header_ = workbook_add_format(book_);
        format_set_bold(header_);
        format_set_bottom(header_, LXW_BORDER_THIN);
        format_set_text_wrap(header_);
        format_set_align(header_, LXW_ALIGN_VERTICAL_TOP);
        headerRight_ = workbook_add_format(book_);
        format_set_bold(headerRight_);
        format_set_bottom(headerRight_, LXW_BORDER_THIN);
        format_set_text_wrap(headerRight_);
        format_set_align(headerRight_, LXW_ALIGN_RIGHT);
        format_set_align(headerRight_, LXW_ALIGN_VERTICAL_TOP);
        // Number formats are stored in the file's own notation; a German spreadsheet shows 1.234,56 and 31.12.2024.
        amount_ = workbook_add_format(book_);
        format_set_num_format(amount_, "#,##0.00");
        sum_ = workbook_add_format(book_);
        format_set_num_format(sum_, "#,##0.00");
        format_set_bold(sum_);
        format_set_top(sum_, LXW_BORDER_THIN);
        date_ = workbook_add_format(book_);
        format_set_num_format(date_, "dd.mm.yyyy");
        text_ = workbook_add_format(book_);
        format_set_text_wrap(text_);
        format_set_align(text_, LXW_ALIGN_VERTICAL_TOP);
    }
    ~Sheet() {
        if (book_)
            workbook_close(book_); // only after a failure: close() has taken it otherwise
    }
    Sheet(const Sheet&) = delete;
    Sheet& operator=(const Sheet&) = delete;

    bool ok() const { return book_ && sheet_; }
    lxw_worksheet* ws() const { return sheet_; }
    void text(lxw_row_t r, lxw_col_t c, const QString& s, lxw_format* f = nullptr) {
        if (!s.isEmpty())
            check(worksheet_write_string(sheet_, r, c, s.toUtf8().constData(), f));
    }
    void number(lxw_row_t r, lxw_col_t c, double v, lxw_format* f = nullptr) {
        check(worksheet_write_number(sheet_, r, c, v, f));
    }
    void formula(lxw_row_t r, lxw_col_t c, const QString& f, double cached, lxw_format* format) {
        check(worksheet_write_formula_num(sheet_, r, c, f.toUtf8().constData(), format, cached));
    }
    // Closes the workbook, writing it; the German reason when that failed.
    QString close() {
        const lxw_error e = workbook_close(book_);
        book_ = nullptr;
        if (e != LXW_NO_ERROR)
            return QString::fromUtf8(lxw_strerror(e));
        return failure_;
    }

    lxw_format *title_ = nullptr, *bold_ = nullptr, *header_ = nullptr, *headerRight_ = nullptr, *amount_ = nullptr,
               *sum_ = nullptr, *date_ = nullptr, *text_ = nullptr;

private:
    void check(lxw_error e) {
        if (e != LXW_NO_ERROR && failure_.isEmpty())
            failure_ = QString::fromUtf8(lxw_strerror(e));
    }
    lxw_workbook* book_ = nullptr;
    lxw_worksheet* sheet_ = nullptr;
    QString failure_;
};

} // namespace

QString WorkbookSheetName(const QString& caption) {
    QString name;
    for (const QChar ch : caption)
        name += QStringLiteral("[]:*?/\\").contains(ch) ? QLatin1Char('_') : ch;
    name = name.trimmed().left(31);
    return name.isEmpty() ? QStringLiteral("Bericht") : name;
}

void WriteReportWorkbook(const TableReportOutput& report, const ReportRows& rows, const QString& path) {
    const ReportLayout& layout = report.layout();
    const ReportTable& table = report.table();
    const TableHeading heading = report.heading();
    const QString temporary = platform::TemporarySibling(path);
    QString why;
    {
        Sheet s(temporary, layout.caption);
        if (!s.ok()) {
            QFile::remove(temporary);
            throw Exception(QStringLiteral("Die Datei %1 konnte nicht geschrieben werden.").arg(path));
        }
        lxw_row_t r = 0;
        s.text(r++, 0, heading.caption, s.title_);
        s.text(r++, 0, heading.client);
        s.text(r++, 0,
               QStringList({heading.basis, heading.date})
                   .filter(QRegularExpression(QStringLiteral("\\S")))
                   .join(QStringLiteral("    ")));
        ++r;
        const int columns = int(layout.columns.size());
        QList<int> source;
        QList<int> widths;
        for (int c = 0; c < columns; ++c) {
            const ReportColumn& col = layout.columns[c];
            const bool right = col.format == QLatin1String("amount") || col.format == QLatin1String("number");
            s.text(r, lxw_col_t(c), ReportColumnTitle(col), right ? s.headerRight_ : s.header_);
            source << rows.column(col.field);
            widths << std::max<int>(int(ReportColumnTitle(col).size()) / 2 + 2,
                                    col.format == QLatin1String("date") ? 11 : 8);
        }
        const lxw_row_t headerRow = r++;
        worksheet_freeze_panes(s.ws(), lxw_row_t(headerRow + 1), 0);

        // The rows of the table stand in the order of the rows they were made of.
        qsizetype next = 0;
        lxw_row_t groupStart = r, firstRow = 0;
        bool anyRow = false;
        QList<double> groupSums(columns, 0.0), totals(columns, 0.0);
        for (const ReportTableLine& line : table.lines) {
            const QChar kind = line.kind;
            if (kind == QLatin1Char('G')) {
                s.text(r++, 0, line.cells.value(0), s.bold_);
                groupStart = r;
                groupSums.fill(0.0);
                continue;
            }
            if (kind == QLatin1Char('R')) {
                if (!anyRow)
                    firstRow = r;
                anyRow = true;
                const QVariantList& row = next < rows.rows.size() ? rows.rows[next] : QVariantList();
                ++next;
                for (int c = 0; c < columns; ++c) {
                    const ReportColumn& col = layout.columns[c];
                    const QVariant v = source[c] >= 0 ? row.value(source[c]) : QVariant();
                    if (v.isNull())
                        continue;
                    const lxw_col_t cc = lxw_col_t(c);
                    if (col.format == QLatin1String("amount")) {
                        const double shown = ReportCents(v.toDouble());
                        s.number(r, cc, shown, s.amount_);
                        groupSums[c] += shown;
                        totals[c] += shown;
                    } else if (col.format == QLatin1String("number")) {
                        s.number(r, cc, v.toDouble());
                    } else if (col.format == QLatin1String("date")) {
                        // Stored as days since 30 December 1899: the spreadsheet's own date numbers.
                        if (v.toDouble() != 0)
                            s.number(r, cc, std::floor(v.toDouble()), s.date_);
                    } else {
                        const QString t = line.cells.value(c);
                        s.text(r, cc, t, col.format == QLatin1String("flag") ? nullptr : s.text_);
                        widths[c] = std::max(widths[c], std::min(int(t.size()) + 1, 50));
                    }
                }
                ++r;
                continue;
            }
            // A subtotal sums the rows of its group, the total every row; a sum over rows that hold subtotals
            // leaves those out.
            const bool total = kind == QLatin1Char('T');
            const lxw_row_t from = total ? (anyRow ? firstRow : r) : groupStart;
            for (int c = 0; c < columns; ++c) {
                if (!layout.columns[c].sum)
                    continue;
                const QString range = cellName(from, lxw_col_t(c)) + QLatin1Char(':') + cellName(r - 1, lxw_col_t(c));
                s.formula(r, lxw_col_t(c),
                          r > from ? QStringLiteral("=SUBTOTAL(9,%1)").arg(range) : QStringLiteral("=0"),
                          ReportCents(total ? totals[c] : groupSums[c]), s.sum_);
                widths[c] = std::max(widths[c], 16);
            }
            s.text(r++, 0, line.cells.value(0), s.bold_);
        }
        if (!heading.closing.isEmpty()) {
            ++r;
            s.text(r++, 0, heading.closing, s.bold_);
        }
        if (!heading.figures.isEmpty()) {
            ++r;
            s.text(r++, 0, heading.figuresTitle, s.bold_);
            for (const auto& [label, value] : heading.figures) {
                s.text(r, 0, label);
                s.text(r++, 1, value);
            }
        }
        for (int c = 0; c < columns; ++c)
            worksheet_set_column(s.ws(), lxw_col_t(c), lxw_col_t(c), widths[c], nullptr);
        s.text(r + 1, 0, heading.footnote);
        why = s.close();
    }
    if (!why.isEmpty()) {
        QFile::remove(temporary);
        throw Exception(QStringLiteral("Die Datei %1 konnte nicht geschrieben werden: %2").arg(path, why));
    }
    if (const QString failed = platform::ReplaceFile(temporary, path); !failed.isEmpty())
        throw Exception(failed);
}
