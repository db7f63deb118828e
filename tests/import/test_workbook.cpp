// The workbook readers on files made in the tests.

#include "core/convert.h"
#include "import/workbook.h"
#include "import/xls_writer.h"
#include "support/fixtures.h"

#include <QDir>
#include <QFile>

#include <cmath>

#include <xlsxwriter.h>
#include <zip.h>

namespace {

class WorkbookTest : public TempDirTest {
protected:
    // The German reason a file is refused for; empty when it is read.
    static QString message(const QString& file) {
        try {
            ReadWorkbook(file);
        } catch (const EBrvWorkbookError& e) {
            return e.message();
        }
        return QString();
    }
    // Replaces one part of a zip file.
    void replacePart(const QString& file, const char* name, const QByteArray& content) {
        int err = 0;
        zip_t* z = zip_open(QFile::encodeName(file).constData(), 0, &err);
        ASSERT_NE(z, nullptr);
        QByteArray* keep = new QByteArray(content);
        zip_source_t* src = zip_source_buffer(z, keep->constData(), keep->size(), 0);
        ASSERT_GE(zip_file_add(z, name, src, ZIP_FL_OVERWRITE), 0);
        ASSERT_EQ(zip_close(z), 0);
        delete keep;
    }
    QByteArray part(const QString& file, const char* name) {
        int err = 0;
        zip_t* z = zip_open(QFile::encodeName(file).constData(), ZIP_RDONLY, &err);
        zip_stat_t st;
        zip_stat(z, name, 0, &st);
        QByteArray out(int(st.size), 0);
        zip_file_t* f = zip_fopen(z, name, 0);
        zip_fread(f, out.data(), st.size);
        zip_fclose(f);
        zip_discard(z);
        return out;
    }
    QString sample(bool inlineStrings) {
        QString file = path(inlineStrings ? "inline.xlsx" : "shared.xlsx");
        lxw_workbook_options opt = {};
        opt.constant_memory = inlineStrings ? LXW_TRUE : LXW_FALSE;
        lxw_workbook* wb = workbook_new_opt(QFile::encodeName(file).constData(), &opt);
        lxw_worksheet* ws = workbook_add_worksheet(wb, "Anlagen");
        lxw_worksheet* other = workbook_add_worksheet(wb, "Andere");
        worksheet_write_string(other, 0, 0, "nicht lesen", nullptr);
        lxw_format* date = workbook_add_format(wb);
        format_set_num_format(date, "dd.mm.yyyy");
        lxw_format* money = workbook_add_format(wb);
        format_set_num_format(money, "#,##0.00 \"€\"");
        worksheet_write_string(ws, 0, 0, "Kontonummer", nullptr);
        worksheet_write_string(ws, 1, 0, "0420", nullptr);
        worksheet_write_string(ws, 1, 1, "Drehbank Müller & Söhne", nullptr);
        lxw_datetime dt = {2015, 3, 15, 0, 0, 0};
        worksheet_write_datetime(ws, 1, 3, &dt, date);
        worksheet_write_string(ws, 1, 5, "AHK", nullptr);
        worksheet_write_number(ws, 1, 6, 1234.5, money);
        worksheet_write_number(ws, 1, 7, 42, nullptr);
        worksheet_write_boolean(ws, 1, 8, 1, nullptr);
        worksheet_write_formula_num(ws, 1, 9, "=G2*2", nullptr, 2469);
        worksheet_write_number(ws, 1, 10, 1e-7, nullptr);
        lxw_datetime dt2 = {1900, 1, 1, 12, 0, 0};
        worksheet_write_datetime(ws, 2, 3, &dt2, date);
        // A sparse row far below (rows in order: the inline-string mode streams them).
        worksheet_write_string(ws, 999, 29, "AD1000", nullptr);
        EXPECT_EQ(workbook_close(wb), LXW_NO_ERROR);
        return file;
    }
};

TEST_F(WorkbookTest, XlsxCellsAsTheLocaleWritesThem) {
    for (bool inlineStrings : {false, true}) {
        const Worksheet ws = ReadWorkbook(sample(inlineStrings));
        EXPECT_EQ(ws.cell(1, 1), QStringLiteral("Kontonummer"));
        EXPECT_EQ(ws.cell(2, 1), QStringLiteral("0420"));
        EXPECT_EQ(ws.cell(2, 2), QStringLiteral("Drehbank Müller & Söhne"));
        EXPECT_EQ(ws.cell(2, 3), QString());
        EXPECT_EQ(ws.cell(2, 4), QStringLiteral("15.03.2015"));
        EXPECT_EQ(ws.cell(2, 6), QStringLiteral("AHK"));
        EXPECT_EQ(ws.cell(2, 7), QStringLiteral("1234,5")); // a currency format is no date
        EXPECT_EQ(ws.cell(2, 8), QStringLiteral("42"));
        EXPECT_EQ(ws.cell(2, 9), QStringLiteral("WAHR"));
        EXPECT_EQ(ws.cell(2, 10), QStringLiteral("2469")); // the formula's last result
        EXPECT_EQ(ws.cell(2, 11), QStringLiteral("1E-07"));
        EXPECT_EQ(ws.cell(3, 4), QStringLiteral("01.01.1900 12:00:00"));
        EXPECT_EQ(ws.cell(1000, 30), QStringLiteral("AD1000"));
        EXPECT_EQ(ws.cell(999, 30), QString());
        EXPECT_EQ(ws.rowCount(), 1000);
    }
}

TEST_F(WorkbookTest, XlsxMemoryFollowsTheCellsNotTheirAddresses) {
    const QString file = sample(false);
    replacePart(file, "xl/worksheets/sheet1.xml",
                "<worksheet><sheetData>"
                "<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>erste</t></is></c>"
                "<c r=\"XFD1\"><v>7</v></c></row>"
                // Beyond the last column, and a column name long enough to overflow any counter.
                "<row r=\"2\"><c r=\"XFE2\"><v>1</v></c><c r=\"ZZZZZZZZZZZZZZ2\"><v>2</v></c>"
                "<c r=\"C2\"><v>3</v></c><c r=\"B2\"><v>4</v></c><c r=\"C2\"><v>5</v></c></row>"
                "<row r=\"1048576\"><c r=\"XFD1048576\"><v>9</v></c></row>"
                "</sheetData></worksheet>");
    const Worksheet ws = ReadWorkbook(file);
    EXPECT_EQ(ws.cellCount(), 3); // the last column and the last row are beyond those held
    EXPECT_EQ(ws.cell(1, 1), QStringLiteral("erste"));
    EXPECT_EQ(ws.cell(1, 16384), QString());
    EXPECT_EQ(ws.cell(2, 2), QStringLiteral("4")); // cells out of order are put in order
    EXPECT_EQ(ws.cell(2, 3), QStringLiteral("5")); // a cell given twice: the later one counts
    EXPECT_EQ(ws.rowCount(), 2);
    EXPECT_EQ(ws.lastUsedRow(), 1048576);
    EXPECT_TRUE(ws.rowUsed(1048576));
}

TEST_F(WorkbookTest, DateSystemOf1904) {
    const QString file = sample(false);
    QByteArray wb = part(file, "xl/workbook.xml");
    ASSERT_TRUE(wb.contains("<workbookPr"));
    wb.replace("<workbookPr", "<workbookPr date1904=\"1\"");
    // The stored number of 15.03.2015 in the 1904 system is 1462 days smaller.
    QByteArray sheet = part(file, "xl/worksheets/sheet1.xml");
    ASSERT_TRUE(sheet.contains("<v>42078</v>"));
    sheet.replace("<v>42078</v>", "<v>40616</v>");
    replacePart(file, "xl/workbook.xml", wb);
    replacePart(file, "xl/worksheets/sheet1.xml", sheet);
    EXPECT_EQ(ReadWorkbook(file).cell(2, 4), QStringLiteral("15.03.2015"));
}

// Globals with the cell formats: 0 general, 1 built-in date (14), 2 custom date (164), 3 amounts (4).
QByteArray xlsGlobals(bool date1904 = false) {
    using namespace biff;
    return (date1904 ? record(0x0022, u16(1)) : QByteArray()) + format(164, QStringLiteral("dd.mm.yyyy")) + xf(0) +
           xf(14) + xf(164) + xf(4);
}

TEST_F(WorkbookTest, XlsRecordsOfEveryKind) {
    using namespace biff;
    // Shared strings; one of them goes on in a CONTINUE record with two-byte characters, one has formatting runs,
    // one phonetic data.
    QByteArray strings = ustr(QStringLiteral("AHK")) + ustr(QStringLiteral("0420")) +
                         ustr(QStringLiteral("Drehbank Müller")) + u16(4) + char(0x08) + u16(1) + QByteArray("Fett") +
                         u32(0) + u16(3) + char(0x04) + u32(6) + QByteArray("Ext") + QByteArray(6, 'p') + u16(22) +
                         char(0) + QByteArray("Fräse mit ").replace("ä", "\xe4");
    const QByteArray continued =
        QByteArray(1, 1) + chars(QStringLiteral("Łódź-Antrieb"), true) + ustr(QStringLiteral("0421"));
    const QByteArray sst = record(0x00FC, u32(7) + u32(7) + strings) + record(0x003C, continued);
    QByteArray sheet = bof(0x0600, 0x0010);
    sheet += labelSst(0, 0, 1) + labelSst(0, 1, 2) + number(0, 3, 1, 42078) + labelSst(0, 5, 0) +
             formulaNumber(0, 6, 3, 1234.5);
    sheet += labelSst(1, 0, 6) + labelSst(1, 1, 5) + rk(1, 3, 2, (40000u << 2) | 2) +
             label(1, 5, QStringLiteral("AHK")) + formulaSpecial(1, 6, 0, 0) +
             record(0x0207, ustr(QStringLiteral("250,50")));
    sheet += record(0x00BD, u16(2) + u16(6) + u16(0) + u32((150u << 2) | 3) + u16(0) + u32((7u << 2) | 2) + u16(7)) +
             rk(2, 8, 0, 0x3FE00000u);
    sheet += record(0x0205, cell(3, 0, 0) + char(1) + char(0)) + record(0x0205, cell(3, 1, 0) + char(0x07) + char(1)) +
             formulaSpecial(3, 2, 1, 1) + formulaSpecial(3, 3, 2, 0x2A) + formulaSpecial(3, 4, 3, 0);
    sheet += labelSst(4, 2, 3) + labelSst(4, 3, 4) + labelSst(4, 5, 99);
    sheet += bof(0x0600, 0x0020) + number(9, 9, 0, 99) + eof(); // an embedded chart
    sheet += eof();
    const QByteArray chart = bof(0x0600, 0x0020) + number(0, 0, 0, 1) + eof();
    const QString file = path(QStringLiteral("alle.xls"));
    ASSERT_TRUE(writeContainer(file, workbook(xlsGlobals() + sst, {chart, sheet}, {2, 0})));

    const Worksheet ws = ReadWorkbook(file);
    const QStringList row1 = {ws.cell(1, 1), ws.cell(1, 2), ws.cell(1, 4), ws.cell(1, 6), ws.cell(1, 7)};
    EXPECT_EQ(row1, (QStringList{"0420", "Drehbank Müller", "15.03.2015", "AHK", "1234,5"}));
    EXPECT_EQ(ws.cell(2, 1), QStringLiteral("0421"));
    EXPECT_EQ(ws.cell(2, 2), QStringLiteral("Fräse mit Łódź-Antrieb"));
    EXPECT_EQ(ws.cell(2, 4), QStringLiteral("06.07.2009"));
    EXPECT_EQ(ws.cell(2, 6), QStringLiteral("AHK"));
    EXPECT_EQ(ws.cell(2, 7), QStringLiteral("250,50")); // a formula's text result
    EXPECT_EQ(ws.cell(3, 7), QStringLiteral("1,5"));
    EXPECT_EQ(ws.cell(3, 8), QStringLiteral("7"));
    EXPECT_EQ(ws.cell(3, 9), QStringLiteral("0,5"));
    const QStringList row4 = {ws.cell(4, 1), ws.cell(4, 2), ws.cell(4, 3), ws.cell(4, 4), ws.cell(4, 5)};
    EXPECT_EQ(row4, (QStringList{"WAHR", "#DIV/0!", "WAHR", "#N/A", ""}));
    EXPECT_EQ(ws.cell(5, 3), QStringLiteral("Fett"));
    EXPECT_EQ(ws.cell(5, 4), QStringLiteral("Ext"));
    EXPECT_EQ(ws.cell(5, 6), QString());   // a shared string that does not exist
    EXPECT_EQ(ws.cell(10, 10), QString()); // the chart's cells are not the sheet's
    EXPECT_EQ(ws.rowCount(), 5);

    // The 1904 date system.
    const QString old = path(QStringLiteral("1904.xls"));
    ASSERT_TRUE(
        writeContainer(old, workbook(xlsGlobals(true), {bof(0x0600, 0x0010) + number(0, 0, 1, 40616) + eof()})));
    EXPECT_EQ(ReadWorkbook(old).cell(1, 1), QStringLiteral("15.03.2015"));
}

TEST_F(WorkbookTest, XlsFilesThatCannotBeReadSayWhy) {
    using namespace biff;
    const QByteArray sheet = bof(0x0600, 0x0010) + number(0, 0, 0, 1) + eof();
    const QString excel95 = path(QStringLiteral("95.xls"));
    ASSERT_TRUE(writeContainer(excel95, bof(0x0500) + eof()));
    EXPECT_TRUE(
        message(excel95).startsWith(QStringLiteral("Die Arbeitsmappe ist im Format von Excel 5.0/95 gespeichert")));
    const QString book = path(QStringLiteral("book.xls"));
    ASSERT_TRUE(writeContainer(book, workbook({}, {sheet}), "Book"));
    EXPECT_TRUE(
        message(book).startsWith(QStringLiteral("Die Arbeitsmappe ist im Format von Excel 5.0/95 gespeichert")));
    const QString locked = path(QStringLiteral("kennwort.xls"));
    ASSERT_TRUE(writeContainer(locked, workbook(record(0x002F, u16(1)), {sheet})));
    EXPECT_TRUE(message(locked).contains(QStringLiteral("Kennwort")));
    // Cut in the middle of a record, and a string table that claims far more strings than it holds.
    const QByteArray whole = workbook(xlsGlobals(), {sheet});
    const QString cut = path(QStringLiteral("halb.xls"));
    ASSERT_TRUE(writeContainer(cut, whole.left(whole.size() - 7)));
    EXPECT_TRUE(message(cut).contains(QStringLiteral("beschädigt"))) << message(cut).toStdString();
    const QString claims = path(QStringLiteral("sst.xls"));
    ASSERT_TRUE(
        writeContainer(claims, workbook(record(0x00FC, u32(0xFFFFFFFF) + u32(0xFFFFFFFF) + ustr("a")), {sheet})));
    EXPECT_TRUE(message(claims).contains(QStringLiteral("beschädigt")));
    const QString noSheet = path(QStringLiteral("ohne.xls"));
    ASSERT_TRUE(writeContainer(noSheet, workbook({}, {sheet}, {2})));
    EXPECT_TRUE(message(noSheet).contains(QStringLiteral("kein Tabellenblatt")));
}

// Files the fuzzers found a fault with: each is read (or refused) without a crash, every cell turned into text.
TEST_F(WorkbookTest, FilesFoundByTheFuzzersAreReadOrRefused) {
    const QDir dir(QStringLiteral(BRENVIK_TEST_DATA "/fuzz"));
    const QStringList files = dir.entryList(QDir::Files);
    ASSERT_FALSE(files.isEmpty());
    for (const QString& name : files) {
        try {
            const Worksheet ws = ReadWorkbook(dir.filePath(name));
            for (int r = 1; r <= std::min(ws.rowCount(), 100); ++r)
                for (int c = 1; c <= 64; ++c)
                    (void)ws.cell(r, c);
        } catch (const EBrvWorkbookError&) {
        }
    }
    // A number in a date format beyond the years a spreadsheet shows is a number, not a date.
    using namespace biff;
    const QString file = path(QStringLiteral("riesig.xls"));
    ASSERT_TRUE(
        writeContainer(file, workbook(xlsGlobals(), {bof(0x0600, 0x0010) + number(0, 0, 1, -1.27743e292) +
                                                     number(0, 1, 1, 3e6) + number(0, 2, 1, 2958465) + eof()})));
    const Worksheet ws = ReadWorkbook(file);
    EXPECT_EQ(ws.at(1, 1)->kind, Worksheet::Kind::Number);
    EXPECT_EQ(ws.cell(1, 2), QStringLiteral("3000000"));
    EXPECT_EQ(ws.cell(1, 3), QStringLiteral("31.12.9999"));
    EXPECT_FALSE(TDateTimeToDate(1e300).isValid());
    EXPECT_FALSE(TDateTimeToDateTime(std::nan("")).isValid());
}

TEST_F(WorkbookTest, XlsFixtureOfTheOlderFormat) {
    const Worksheet ws = ReadWorkbook(QStringLiteral(BRENVIK_TEST_DATA "/anlagen.xls"));
    EXPECT_EQ(ws.cell(2, 1), QStringLiteral("0420"));
    EXPECT_EQ(ws.cell(2, 2), QStringLiteral("Drehbank Müller"));
    EXPECT_EQ(ws.cell(2, 4), QStringLiteral("15.03.2015"));
    EXPECT_EQ(ws.cell(2, 7), QStringLiteral("1234,5"));
    EXPECT_EQ(ws.cell(3, 7), QStringLiteral("0,5"));
    EXPECT_EQ(ws.cell(4, 1), QStringLiteral("4711"));
    EXPECT_EQ(ws.rowCount(), 4);
}

TEST_F(WorkbookTest, FilesThatAreNoWorkbookAreNamedForWhatTheyAre) {
    EXPECT_EQ(message(writeFile("leer.xlsx", {})), QStringLiteral("Die Datei ist leer und keine Excel-Arbeitsmappe."));
    EXPECT_EQ(message(writeFile("text.xlsx", "Konto;Bezeichnung\r\n")),
              QStringLiteral("Die Datei ist keine Excel-Arbeitsmappe (weder .xlsx noch .xls)."));
    QFile good(sample(false));
    ASSERT_TRUE(good.open(QIODevice::ReadOnly));
    const QByteArray bytes = good.readAll();
    EXPECT_TRUE(message(writeFile("halb.xlsx", bytes.left(bytes.size() / 2)))
                    .startsWith(QStringLiteral("Die Datei ist keine lesbare Excel-Arbeitsmappe (.xlsx).")));
    const QString broken = sample(false);
    replacePart(broken, "xl/worksheets/sheet1.xml", "<worksheet><sheetData><row><c t=\"s\"><v>0");
    EXPECT_TRUE(message(broken).contains(QStringLiteral("kein gültiges XML")));
    const QString bad = sample(false);
    replacePart(bad, "xl/sharedStrings.xml", "<sst><si><t>nur</t></si></sst>"); // indexes beyond the table
    EXPECT_NO_THROW(ReadWorkbook(bad));
    EXPECT_TRUE(message(writeFile("falsch.xls", QByteArray::fromHex("D0CF11E0A1B11AE1") + QByteArray(100, 'x')))
                    .startsWith(QStringLiteral("Die Datei ist keine lesbare Excel-Arbeitsmappe (.xls).")));
}

} // namespace
