// What the readers take from a sheet beyond its plain cells (formulas without result, merged ranges, rows beyond
// those held, the sheet chosen), the text file reader, and the memory any file may cost.

#include "import/text_lines.h"
#include "import/workbook.h"
#include "import/xls_writer.h"
#include "support/fixtures.h"

#include <QBuffer>
#include <QFile>

#include <functional>
#include <memory>
#include <new>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xlsxwriter.h>
#include <zip.h>

namespace {

// A part of a zip whose content is made as the archive is written: head, then unit count times, then tail.
struct Generated {
    QByteArray head, unit, tail;
    qint64 count = 0;
    qint64 size() const { return head.size() + unit.size() * count + tail.size(); }
};

struct GeneratedSource {
    Generated g;
    qint64 pos = 0;
    QByteArray chunk; // several units at once
};

zip_int64_t generate(void* state, void* data, zip_uint64_t len, zip_source_cmd_t cmd) {
    auto* s = static_cast<GeneratedSource*>(state);
    switch (cmd) {
    case ZIP_SOURCE_OPEN:
        s->pos = 0;
        return 0;
    case ZIP_SOURCE_READ: {
        const qint64 total = s->g.size();
        auto* out = static_cast<char*>(data);
        zip_uint64_t done = 0;
        while (done < len && s->pos < total) {
            const qint64 unitsEnd = s->g.head.size() + s->g.unit.size() * s->g.count;
            qint64 n;
            if (s->pos < s->g.head.size()) {
                n = std::min<qint64>(s->g.head.size() - s->pos, qint64(len - done));
                std::memcpy(out + done, s->g.head.constData() + s->pos, size_t(n));
            } else if (s->pos < unitsEnd) {
                const qint64 off = (s->pos - s->g.head.size()) % s->chunk.size();
                n = std::min({qint64(s->chunk.size()) - off, qint64(len - done), unitsEnd - s->pos});
                std::memcpy(out + done, s->chunk.constData() + off, size_t(n));
            } else {
                n = std::min<qint64>(total - s->pos, qint64(len - done));
                std::memcpy(out + done, s->g.tail.constData() + (s->pos - unitsEnd), size_t(n));
            }
            s->pos += n;
            done += zip_uint64_t(n);
        }
        return zip_int64_t(done);
    }
    case ZIP_SOURCE_CLOSE:
        return 0;
    case ZIP_SOURCE_STAT: {
        auto* st = static_cast<zip_stat_t*>(data);
        zip_stat_init(st);
        st->size = zip_uint64_t(s->g.size());
        st->valid |= ZIP_STAT_SIZE;
        return sizeof(zip_stat_t);
    }
    case ZIP_SOURCE_ERROR:
        return 2 * sizeof(int);
    case ZIP_SOURCE_FREE:
        delete s;
        return 0;
    case ZIP_SOURCE_SUPPORTS:
        return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE, ZIP_SOURCE_STAT,
                                              ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE, -1);
    default:
        return -1;
    }
}

// Writes a workbook of the given parts; the first sheet is xl/worksheets/sheet1.xml unless a part says otherwise.
bool writeZip(const QString& file, const QList<QPair<QByteArray, Generated>>& parts) {
    int err = 0;
    zip_t* z = zip_open(QFile::encodeName(file).constData(), ZIP_CREATE | ZIP_TRUNCATE, &err);
    if (!z)
        return false;
    for (const auto& [name, g] : parts) {
        auto* state = new GeneratedSource{g, 0, {}};
        state->chunk =
            g.unit.isEmpty() ? QByteArray(1, ' ') : g.unit.repeated(std::max<qsizetype>(1, 65536 / g.unit.size()));
        zip_source_t* src = zip_source_function(z, generate, state);
        const zip_int64_t idx = zip_file_add(z, name.constData(), src, ZIP_FL_OVERWRITE);
        if (idx < 0)
            return false;
        zip_set_file_compression(z, zip_uint64_t(idx), ZIP_CM_DEFLATE, 1);
    }
    return zip_close(z) == 0;
}

Generated fixed(const QByteArray& content) {
    return Generated{content, {}, {}, 0};
}

const QByteArray kWorkbook = "<workbook><sheets><sheet name=\"Anlagen\" r:id=\"rId1\"/></sheets></workbook>";

QString sheetXml(const QByteArray& rows, const QByteArray& after = {}) {
    return QString::fromUtf8("<worksheet><sheetData>" + rows + "</sheetData>" + after + "</worksheet>");
}

class SheetFactsTest : public TempDirTest {
protected:
    QString xlsx(const QString& name, const QString& sheet, const QByteArray& sharedStrings = {}) {
        QString file = path(name);
        QList<QPair<QByteArray, Generated>> parts{{"xl/workbook.xml", fixed(kWorkbook)},
                                                  {"xl/worksheets/sheet1.xml", fixed(sheet.toUtf8())}};
        if (!sharedStrings.isEmpty())
            parts.append({"xl/sharedStrings.xml", fixed(sharedStrings)});
        EXPECT_TRUE(writeZip(file, parts));
        return file;
    }
    QString xls(const QString& name, const QByteArray& sheetRecords, const QByteArray& globals = {}) {
        using namespace biff;
        QString file = path(name);
        EXPECT_TRUE(writeContainer(file, workbook(globals, {bof(0x0600, 0x0010) + sheetRecords + eof()})));
        return file;
    }
};

TEST_F(SheetFactsTest, FormulaWithoutStoredResultIsNoValue) {
    const Worksheet ws = ReadWorkbook(xlsx("f.xlsx", sheetXml("<row r=\"2\"><c r=\"A2\"><f>B2*2</f></c>"
                                                              "<c r=\"B2\"><f t=\"shared\" si=\"0\"/></c>"
                                                              "<c r=\"C2\" t=\"str\"><f>\"\"</f><v></v></c>"
                                                              "<c r=\"D2\"><f>1+1</f><v>2</v></c></row>")));
    ASSERT_NE(ws.at(2, 1), nullptr);
    EXPECT_EQ(ws.at(2, 1)->kind, Worksheet::Kind::NoValue);
    EXPECT_EQ(ws.at(2, 1)->text, QStringLiteral("=B2*2"));
    EXPECT_EQ(ws.cell(2, 1), QString());
    ASSERT_NE(ws.at(2, 2), nullptr);
    EXPECT_EQ(ws.at(2, 2)->kind, Worksheet::Kind::NoValue);
    // An empty stored result is a value, the empty text.
    EXPECT_TRUE(ws.at(2, 3) == nullptr || ws.at(2, 3)->kind != Worksheet::Kind::NoValue);
    EXPECT_EQ(ws.cell(2, 4), QStringLiteral("2"));
    EXPECT_TRUE(ws.rowUsed(2));

    using namespace biff;
    // A text result whose STRING record is missing, and one that has it.
    const Worksheet old = ReadWorkbook(xls("f.xls", formulaSpecial(1, 0, 0, 0) + formulaSpecial(1, 1, 0, 0) +
                                                        record(0x0207, ustr(QStringLiteral("da")))));
    ASSERT_NE(old.at(2, 1), nullptr);
    EXPECT_EQ(old.at(2, 1)->kind, Worksheet::Kind::NoValue);
    EXPECT_EQ(old.cell(2, 1), QString());
    EXPECT_EQ(old.cell(2, 2), QStringLiteral("da"));
}

TEST_F(SheetFactsTest, MergedCellsShowTheTopLeftValue) {
    const Worksheet ws = ReadWorkbook(
        xlsx("m.xlsx",
             sheetXml("<row r=\"2\"><c r=\"A2\" t=\"inlineStr\"><is><t>0420</t></is></c><c r=\"B2\"><v>1</v></c></row>"
                      "<row r=\"3\"><c r=\"A3\"><v>99</v></c><c r=\"B3\"><v>2</v></c></row>"
                      "<row r=\"4\"><c r=\"C4\"><v>7</v></c></row>",
                      "<mergeCells count=\"3\"><mergeCell ref=\"A2:A3\"/><mergeCell ref=\"C4:D6\"/>"
                      "<mergeCell ref=\"E1:E9\"/></mergeCells>")));
    EXPECT_EQ(ws.cell(2, 1), QStringLiteral("0420"));
    EXPECT_EQ(ws.cell(3, 1), QStringLiteral("0420")); // the range's value, not what the file left in the cell
    EXPECT_EQ(ws.cell(3, 2), QStringLiteral("2"));
    EXPECT_EQ(ws.cell(6, 4), QStringLiteral("7"));
    EXPECT_EQ(ws.cell(7, 4), QString());
    EXPECT_EQ(ws.cell(5, 5), QString()); // a range with an empty top-left cell shows nothing
    EXPECT_EQ(ws.rowCount(), 6);
    EXPECT_TRUE(ws.rowUsed(5));
    EXPECT_FALSE(ws.rowUsed(7));

    using namespace biff;
    // MERGEDCELLS: count, then first row, last row, first column, last column (from 0).
    const Worksheet old = ReadWorkbook(xls(
        "m.xls", label(1, 0, QStringLiteral("0420")) + number(2, 1, 0, 5) +
                     record(0x00E5, u16(2) + u16(1) + u16(2) + u16(0) + u16(0) + u16(0) + u16(0) + u16(3) + u16(3))));
    EXPECT_EQ(old.cell(3, 1), QStringLiteral("0420"));
    EXPECT_EQ(old.cell(3, 2), QStringLiteral("5"));

    // A range over the whole sheet costs a span a row held, not a cell each.
    const Worksheet all =
        ReadWorkbook(xlsx("alles.xlsx", sheetXml("<row r=\"1\"><c r=\"A1\"><v>3</v></c></row>",
                                                 "<mergeCells><mergeCell ref=\"A1:XFD1048576\"/></mergeCells>")));
    EXPECT_EQ(all.cell(Worksheet::kHeldRows, Worksheet::kHeldColumns), QStringLiteral("3"));
    EXPECT_EQ(all.cell(Worksheet::kHeldRows + 1, 1), QString());
    EXPECT_EQ(all.cellCount(), 1);
    EXPECT_EQ(all.lastUsedRow(), Worksheet::kMaxRows);
    EXPECT_EQ(all.rowCount(), Worksheet::kHeldRows);
}

TEST_F(SheetFactsTest, RowsUsedBeyondTheCellsHeld) {
    const QString longText(40000, QLatin1Char('x'));
    const Worksheet ws =
        ReadWorkbook(xlsx("weit.xlsx",
                          sheetXml("<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>" + longText.toUtf8() +
                                   "</t></is></c></row>"
                                   "<row r=\"5\"><c r=\"AX5\"><v>1</v></c></row>"
                                   "<row r=\"6\"><c r=\"CV6\" t=\"s\"><v>0</v></c></row>"
                                   "<row r=\"7\"><c r=\"CV7\" t=\"s\"><v>1</v></c></row>"
                                   "<row r=\"8\"><c r=\"A8\"/></row>"
                                   "<row r=\"70000\"><c r=\"B70000\"><v>1</v></c></row>"),
                          "<sst><si><t>voll</t></si><si><t></t></si></sst>"));
    EXPECT_EQ(ws.cell(1, 1).size(), Worksheet::kMaxCellText);
    EXPECT_EQ(ws.cell(5, 50), QStringLiteral("1"));
    EXPECT_TRUE(ws.rowUsed(5));
    EXPECT_TRUE(ws.rowUsed(6)); // column 100, not held
    EXPECT_EQ(ws.cell(6, 100), QString());
    EXPECT_FALSE(ws.rowUsed(7)); // an empty text
    EXPECT_FALSE(ws.rowUsed(8));
    EXPECT_TRUE(ws.rowUsed(70000));
    EXPECT_FALSE(ws.rowUsed(69999));
    EXPECT_EQ(ws.lastUsedRow(), 70000);
    EXPECT_EQ(ws.rowCount(), 5);
    EXPECT_EQ(ws.cellCount(), 2);

    using namespace biff;
    const Worksheet old = ReadWorkbook(
        xls("weit.xls", number(3, 49, 0, 1) + number(4, 200, 0, 1) + number(65535, 0, 0, 1) + label(6, 0, QString())));
    EXPECT_TRUE(old.rowUsed(4));
    EXPECT_TRUE(old.rowUsed(5));
    EXPECT_FALSE(old.rowUsed(7));
    EXPECT_EQ(old.lastUsedRow(), 65536);
    EXPECT_EQ(old.cell(4, 50), QStringLiteral("1"));
    EXPECT_EQ(old.cellCount(), 3);
}

TEST_F(SheetFactsTest, HiddenFirstSheetIsReadChartSheetIsPassedOver) {
    const QByteArray rels =
        "<Relationships>"
        "<Relationship Id=\"rId1\" Type=\"http://x/relationships/chartsheet\" Target=\"chartsheets/sheet1.xml\"/>"
        "<Relationship Id=\"rId2\" Type=\"http://x/relationships/worksheet\" Target=\"worksheets/sheet1.xml\"/>"
        "<Relationship Id=\"rId3\" Type=\"http://x/relationships/worksheet\" Target=\"worksheets/sheet2.xml\"/>"
        "</Relationships>";
    const QByteArray one = sheetXml("<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>").toUtf8();
    const QByteArray two = sheetXml("<row r=\"1\"><c r=\"A1\"><v>2</v></c></row>").toUtf8();
    auto book = [&](const QString& name, const QByteArray& sheets) {
        QString file = path(name);
        EXPECT_TRUE(writeZip(file, {{"xl/workbook.xml", fixed("<workbook><sheets>" + sheets + "</sheets></workbook>")},
                                    {"xl/_rels/workbook.xml.rels", fixed(rels)},
                                    {"xl/worksheets/sheet1.xml", fixed(one)},
                                    {"xl/worksheets/sheet2.xml", fixed(two)}}));
        return ReadWorkbook(file);
    };
    const Worksheet hidden = book("versteckt.xlsx", "<sheet name=\"Alt\" state=\"hidden\" r:id=\"rId2\"/>"
                                                    "<sheet name=\"Neu\" r:id=\"rId3\"/>");
    EXPECT_EQ(hidden.cell(1, 1), QStringLiteral("1"));
    EXPECT_EQ(hidden.sheetName, QStringLiteral("Alt"));
    EXPECT_EQ(hidden.sheetNotice,
              QStringLiteral("Das erste Tabellenblatt \"Alt\" ist ausgeblendet; es wurde trotzdem gelesen."));
    const Worksheet chart = book("diagramm.xlsx", "<sheet name=\"Grafik\" r:id=\"rId1\"/>"
                                                  "<sheet name=\"Liste\" r:id=\"rId3\"/>");
    EXPECT_EQ(chart.cell(1, 1), QStringLiteral("2"));
    EXPECT_EQ(chart.sheetName, QStringLiteral("Liste"));
    EXPECT_TRUE(chart.sheetNotice.contains(QStringLiteral("\"Grafik\""))) << chart.sheetNotice.toStdString();
    EXPECT_TRUE(chart.sheetNotice.contains(QStringLiteral("\"Liste\"")));
    const Worksheet plain = book("normal.xlsx", "<sheet name=\"Liste\" r:id=\"rId3\"/>");
    EXPECT_EQ(plain.sheetName, QStringLiteral("Liste"));
    EXPECT_TRUE(plain.sheetNotice.isEmpty());

    // A chart sheet as libxlsxwriter writes it.
    const QString file = path(QStringLiteral("lxw.xlsx"));
    lxw_workbook* wb = workbook_new(QFile::encodeName(file).constData());
    lxw_chartsheet* cs = workbook_add_chartsheet(wb, "Diagramm");
    lxw_worksheet* ws = workbook_add_worksheet(wb, "Anlagen");
    worksheet_write_number(ws, 0, 0, 5, nullptr);
    worksheet_write_number(ws, 1, 0, 6, nullptr);
    lxw_chart* c = workbook_add_chart(wb, LXW_CHART_COLUMN);
    chart_add_series(c, nullptr, "=Anlagen!$A$1:$A$2");
    chartsheet_set_chart(cs, c);
    ASSERT_EQ(workbook_close(wb), LXW_NO_ERROR);
    const Worksheet lxw = ReadWorkbook(file);
    EXPECT_EQ(lxw.cell(1, 1), QStringLiteral("5"));
    EXPECT_EQ(lxw.sheetName, QStringLiteral("Anlagen"));
    EXPECT_FALSE(lxw.sheetNotice.isEmpty());

    using namespace biff;
    // .xls: a chart first, then a hidden worksheet (BOUNDSHEET option byte 1).
    const QByteArray sheet = bof(0x0600, 0x0010) + number(0, 0, 0, 3) + eof();
    const QByteArray chartStream = bof(0x0600, 0x0020) + eof();
    QByteArray stream = workbook({}, {chartStream, sheet}, {2, 0});
    const int second = stream.indexOf("Blatt2");
    ASSERT_GT(second, 0);
    stream[second - 4] = 1; // hidden
    const QString oldFile = path(QStringLiteral("alt.xls"));
    ASSERT_TRUE(writeContainer(oldFile, stream));
    const Worksheet old = ReadWorkbook(oldFile);
    EXPECT_EQ(old.cell(1, 1), QStringLiteral("3"));
    EXPECT_EQ(old.sheetName, QStringLiteral("Blatt2"));
    EXPECT_TRUE(old.sheetNotice.contains(QStringLiteral("\"Blatt1\""))) << old.sheetNotice.toStdString();
    EXPECT_TRUE(old.sheetNotice.contains(QStringLiteral("ausgeblendet")));
}

TEST_F(SheetFactsTest, SmallPartsHaveALimit) {
    // Styles of 17 MB: no workbook of a register has them; the part is refused before it is parsed.
    const QString file = path(QStringLiteral("stile.xlsx"));
    ASSERT_TRUE(writeZip(
        file, {{"xl/workbook.xml", fixed(kWorkbook)},
               {"xl/worksheets/sheet1.xml", fixed(sheetXml({}).toUtf8())},
               {"xl/styles.xml", Generated{"<styleSheet>", "<!-- Stil -->", "</styleSheet>", 17 * 1024 * 1024 / 12}}}));
    try {
        ReadWorkbook(file);
        FAIL() << "accepted";
    } catch (const EBrvWorkbookError& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("xl/styles.xml ist größer als 16 MB"))) << e.what();
    }
    // An .xls container beyond what a register takes is refused before its stream is copied.
    const QString big = writeFile(QStringLiteral("gross.xls"), QByteArray::fromHex("D0CF11E0A1B11AE1"));
    QFile f(big);
    ASSERT_TRUE(f.resize(kMaxXlsFileSize + 1)); // sparse: costs no disk
    try {
        ReadWorkbook(big);
        FAIL() << "accepted";
    } catch (const EBrvWorkbookError& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("mehr als 64 MB"))) << e.what();
    }
}

// ---------------------------------------------------------------------------------------------------------------
// Text files

QStringList linesOf(const QByteArray& bytes, TextLineReader::Encoding* encoding = nullptr) {
    QBuffer buf;
    buf.setData(bytes);
    buf.open(QIODevice::ReadOnly);
    TextLineReader reader(buf);
    if (encoding)
        *encoding = reader.encoding();
    QStringList out;
    QString line;
    while (reader.next(line)) {
        out << line;
        EXPECT_EQ(reader.lineNumber(), out.size());
    }
    return out;
}

TEST(TextLineReaderTest, EveryLineEndEndsALine) {
    EXPECT_EQ(linesOf("a;b\r\nc\nd\re\r\n\r\nf"), (QStringList{"a;b", "c", "d", "e", "", "f"}));
    EXPECT_EQ(linesOf("a\n"), QStringList{"a"});
    EXPECT_EQ(linesOf("a\n\n"), (QStringList{"a", ""}));
    EXPECT_EQ(linesOf("a\r\r\n"), (QStringList{"a", ""}));
    EXPECT_EQ(linesOf(""), QStringList());
    // A CR LF cut between two reads of the device is still one line end.
    const QByteArray first = QByteArray(65535, 'x') + "\r\ny";
    const QStringList lines = linesOf(first);
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[1], QStringLiteral("y"));
}

TEST(TextLineReaderTest, EncodingFromMarkOrContent) {
    TextLineReader::Encoding e;
    EXPECT_EQ(linesOf("K\xC3\xBC"
                      "che;\xE2\x82\xAC\n",
                      &e),
              QStringList{QStringLiteral("Küche;€")});
    EXPECT_EQ(e, TextLineReader::Encoding::Utf8);
    // Windows-1252: not valid UTF-8, or plain ASCII.
    EXPECT_EQ(linesOf("K\xFC"
                      "che;\x80\n",
                      &e),
              QStringList{QStringLiteral("Küche;€")});
    EXPECT_EQ(e, TextLineReader::Encoding::Windows1252);
    // Valid at first, but a byte far on breaks it: the whole file is Windows-1252.
    EXPECT_EQ(linesOf("\xC3\xBC\n" + QByteArray(100000, 'a') + "\n\xFC", &e).last(), QStringLiteral("ü"));
    EXPECT_EQ(e, TextLineReader::Encoding::Windows1252);
    EXPECT_EQ(linesOf("\xED\xA0\x80", &e).size(), 1); // a surrogate is no UTF-8
    EXPECT_EQ(e, TextLineReader::Encoding::Windows1252);
    linesOf("abc", &e);
    EXPECT_EQ(e, TextLineReader::Encoding::Windows1252);
    EXPECT_EQ(linesOf("\xEF\xBB\xBF\xC3\xBC\r\n", &e), QStringList{QStringLiteral("ü")});
    EXPECT_EQ(e, TextLineReader::Encoding::Utf8WithBom);
    QByteArray utf16("\xFF\xFE");
    for (const QChar c : QStringLiteral("ä\r\nb"))
        utf16 += char(c.unicode() & 0xFF) + QByteArray(1, char(c.unicode() >> 8));
    EXPECT_EQ(linesOf(utf16, &e), (QStringList{QStringLiteral("ä"), QStringLiteral("b")}));
    EXPECT_EQ(e, TextLineReader::Encoding::Utf16LE);

    QBuffer buf;
    buf.setData("\xC3\xA4");
    buf.open(QIODevice::ReadOnly);
    EXPECT_EQ(TextLineReader(buf).encodingNotice(), QStringLiteral("Die Datei wurde als UTF-8 gelesen."));
}

TEST(TextLineReaderTest, OverlongLineRefusesTheFile) {
    const QByteArray bytes = "a\nb\n" + QByteArray(TextLineReader::kMaxLineLength + 1, 'x') + "\nc\n";
    QBuffer buf;
    buf.setData(bytes);
    buf.open(QIODevice::ReadOnly);
    TextLineReader reader(buf);
    QString line;
    ASSERT_TRUE(reader.next(line));
    ASSERT_TRUE(reader.next(line));
    try {
        reader.next(line);
        FAIL() << "accepted";
    } catch (const ETextFileError& e) {
        EXPECT_EQ(e.message(),
                  QStringLiteral("Zeile 3 ist länger als 1.048.576 Zeichen; die Datei ist keine Anlagenliste."));
    }
    // Just the limit is a line.
    EXPECT_EQ(linesOf(QByteArray(TextLineReader::kMaxLineLength, 'y')).first().size(), TextLineReader::kMaxLineLength);
}

// ---------------------------------------------------------------------------------------------------------------
// Memory

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kAddressSanitizer = true;
#else
constexpr bool kAddressSanitizer = false;
#endif
#else
constexpr bool kAddressSanitizer = false;
#endif

qint64 addressSpaceKb() {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmSize:"))
            return line.mid(7).trimmed().split(' ').first().toLongLong();
    return -1;
}

// Runs body in a child whose address space may grow by 500 MB; the child's exit code (0: the body returned),
// or -1 when it crashed.
int inBoundedChild(const std::function<int()>& body) {
    const pid_t pid = fork();
    if (pid == 0) {
        const qint64 kb = addressSpaceKb();
        if (kb <= 0)
            _exit(10);
        const rlim_t limit = rlim_t(kb) * 1024 + (rlim_t(500) << 20);
        rlimit rl{limit, limit};
        if (setrlimit(RLIMIT_AS, &rl) != 0)
            _exit(11);
        int code = 0;
        try {
            code = body();
        } catch (const std::bad_alloc&) {
            code = 20;
        } catch (...) {
            code = 21;
        }
        _exit(code);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(SheetFactsTest, HostileFilesStayWithinMemory) {
    if (kAddressSanitizer)
        GTEST_SKIP() << "AddressSanitizer reserves far more address space than the reader needs";
    // Shared strings that inflate to 1 GB from a few MB.
    const QString strings = path(QStringLiteral("strings.xlsx"));
    ASSERT_TRUE(writeZip(strings,
                         {{"xl/workbook.xml", fixed(kWorkbook)},
                          {"xl/worksheets/sheet1.xml", fixed(sheetXml("<row r=\"1\"><c r=\"A1\" t=\"s\"><v>0"
                                                                      "</v></c></row>")
                                                                 .toUtf8())},
                          {"xl/sharedStrings.xml",
                           Generated{"<sst>", "<si><t>" + QByteArray(1000, 'x') + "</t></si>", "</sst>", 1'000'000}}}));
    // Sheets that inflate to 1 GB together: one cell of 300 MB; 700,000 cells of a kilobyte in one row.
    const QString sheet = path(QStringLiteral("sheet.xlsx"));
    ASSERT_TRUE(
        writeZip(sheet, {{"xl/workbook.xml", fixed(kWorkbook)},
                         {"xl/worksheets/sheet1.xml",
                          Generated{"<worksheet><sheetData><row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>",
                                    QByteArray(1000, 'y'), "</t></is></c></row></sheetData></worksheet>", 300'000}}}));
    const QString cells = path(QStringLiteral("cells.xlsx"));
    ASSERT_TRUE(writeZip(cells, {{"xl/workbook.xml", fixed(kWorkbook)},
                                 {"xl/worksheets/sheet1.xml",
                                  Generated{"<worksheet><sheetData><row r=\"1\">",
                                            "<c t=\"inlineStr\"><is><t>" + QByteArray(1000, 'z') + "</t></is></c>",
                                            "</row></sheetData></worksheet>", 700'000}}}));
    const QString merged = xlsx("merged.xlsx", sheetXml("<row r=\"1\"><c r=\"A1\"><v>3</v></c></row>",
                                                        "<mergeCells><mergeCell ref=\"A1:XFD1048576\"/></mergeCells>"));
    // A text file with a line of 300 MB.
    const QString text = path(QStringLiteral("lang.csv"));
    {
        QFile f(text);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("Konto;Bezeichnung\r\n");
        const QByteArray block(1 << 20, 'a');
        for (int i = 0; i < 300; ++i)
            ASSERT_EQ(f.write(block), block.size());
        f.write("\r\n");
    }

    EXPECT_EQ(inBoundedChild([&] {
                  try {
                      ReadWorkbook(strings);
                      return 1; // a gigabyte of strings is no register
                  } catch (const EBrvWorkbookTooLarge& e) {
                      return e.message().startsWith(QStringLiteral("Die Arbeitsmappe ist zu groß")) ? 0 : 2;
                  }
              }),
              0);
    EXPECT_EQ(inBoundedChild([&] {
                  if (ReadWorkbook(sheet).cell(1, 1).size() != Worksheet::kMaxCellText)
                      return 3;
                  const Worksheet ws = ReadWorkbook(cells);
                  return ws.rowUsed(1) && ws.cell(1, 64).size() == 1000 && ws.cellCount() == 64 ? 0 : 1;
              }),
              0);
    EXPECT_EQ(inBoundedChild([&] {
                  const Worksheet ws = ReadWorkbook(merged);
                  return ws.cell(Worksheet::kHeldRows, Worksheet::kHeldColumns) == QStringLiteral("3") ? 0 : 1;
              }),
              0);
    EXPECT_EQ(inBoundedChild([&] {
                  QFile f(text);
                  if (!f.open(QIODevice::ReadOnly))
                      return 3;
                  TextLineReader reader(f);
                  QString line;
                  try {
                      while (reader.next(line)) {
                      }
                  } catch (const ETextFileError& e) {
                      return e.message().startsWith(QStringLiteral("Zeile 2 ist länger")) ? 0 : 2;
                  }
                  return 1;
              }),
              0);
}

} // namespace
