// The workbook readers on files made in the tests.

#include "import/workbook.h"
#include "support/fixtures.h"

#include <QFile>

#include <xlsxwriter.h>
#include <zip.h>

namespace {

class WorkbookTest : public TempDirTest {
protected:
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
        const QString file = path(inlineStrings ? "inline.xlsx" : "shared.xlsx");
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
    EXPECT_EQ(ws.cellCount(), 5);
    EXPECT_EQ(ws.cell(1, 16384), QStringLiteral("7"));
    EXPECT_EQ(ws.cell(2, 2), QStringLiteral("4")); // cells out of order are put in order
    EXPECT_EQ(ws.cell(2, 3), QStringLiteral("5")); // a cell given twice: the later one counts
    EXPECT_EQ(ws.cell(1048576, 16384), QStringLiteral("9"));
    EXPECT_EQ(ws.rowCount(), 1048576);
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
    auto message = [](const QString& file) {
        try {
            ReadWorkbook(file);
        } catch (const EBrvWorkbookError& e) {
            return e.message();
        }
        return QString();
    };
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
