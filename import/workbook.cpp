#include "import/workbook.h"

#include "core/convert.h"

#include <QDate>
#include <QFile>
#include <QFileInfo>
#include <QLocale>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <string>
#include <string_view>

#include <pugixml.hpp>
#include <zip.h>

// ---------------------------------------------------------------------------------------------------------------
// Cells

QString NumberCellText(double v) {
    if (std::isfinite(v) && std::fabs(v) < 1e15 && v == std::floor(v))
        return QString::number(static_cast<qint64>(v));
    static const QLocale plain = [] {
        QLocale l;
        l.setNumberOptions(QLocale::OmitGroupSeparator);
        return l;
    }();
    return plain.toString(v, 'g', 15);
}

namespace {

// A date cell: its day count from 30.12.1899 (the time of day as fraction).
QString dateCellText(double serial) {
    const double day = std::floor(serial);
    const QDate d = TDateTimeToDate(day);
    QString text = QStringLiteral("%1.%2.%3")
                       .arg(d.day(), 2, 10, QLatin1Char('0'))
                       .arg(d.month(), 2, 10, QLatin1Char('0'))
                       .arg(d.year(), 4, 10, QLatin1Char('0'));
    const double fraction = serial - day;
    if (fraction > 1e-9) {
        const int secs = int(std::lround(fraction * 86400.0));
        text += QStringLiteral(" %1:%2:%3")
                    .arg(secs / 3600, 2, 10, QLatin1Char('0'))
                    .arg(secs / 60 % 60, 2, 10, QLatin1Char('0'))
                    .arg(secs % 60, 2, 10, QLatin1Char('0'));
    }
    return text;
}

} // namespace

const Worksheet::Row* Worksheet::findRow(int nr) const {
    // The readers go through a sheet row by row: the row last found, or the one after it, is the usual answer.
    const qsizetype n = rows_.size();
    for (qsizetype i = lastFound_; i < n && i <= lastFound_ + 1; ++i)
        if (rows_[i].nr == nr) {
            lastFound_ = i;
            return &rows_[i];
        }
    if (n > 0 && rows_.last().nr == nr)
        return &rows_.last();
    const auto it = std::lower_bound(rows_.begin(), rows_.end(), nr, [](const Row& r, int v) { return r.nr < v; });
    if (it == rows_.end() || it->nr != nr)
        return nullptr;
    lastFound_ = it - rows_.begin();
    return &*it;
}

Worksheet::Row* Worksheet::rowFor(int nr) {
    if (rows_.isEmpty() || rows_.last().nr < nr) {
        rows_.append(Row{nr, {}});
        return &rows_.last();
    }
    auto it = std::lower_bound(rows_.begin(), rows_.end(), nr, [](const Row& r, int n) { return r.nr < n; });
    if (it == rows_.end() || it->nr != nr)
        it = rows_.insert(it, Row{nr, {}});
    return &*it;
}

const Worksheet::Cell* Worksheet::at(int row, int column) const {
    const Row* r = findRow(row);
    if (!r)
        return nullptr;
    const auto it =
        std::lower_bound(r->cells.begin(), r->cells.end(), column, [](const Entry& e, int c) { return e.column < c; });
    return it != r->cells.end() && it->column == column ? &it->cell : nullptr;
}

qsizetype Worksheet::cellCount() const {
    qsizetype n = 0;
    for (const Row& r : rows_)
        n += r.cells.size();
    return n;
}

QString Worksheet::cell(int row, int column) const {
    const Cell* c = at(row, column);
    if (!c)
        return {};
    switch (c->kind) {
    case Kind::Empty:
        return {};
    case Kind::Text:
    case Kind::Error:
        return c->text;
    case Kind::NoValue:
        return {};
    case Kind::Number:
        return NumberCellText(c->number);
    case Kind::Date:
        return dateCellText(c->number);
    case Kind::Bool:
        return c->number != 0 ? QStringLiteral("WAHR") : QStringLiteral("FALSCH");
    }
    return {};
}

void Worksheet::set(int row, int column, Cell c) {
    if (row < 1 || column < 1)
        return;
    QVector<Entry>& cells = rowFor(row)->cells;
    if (cells.isEmpty() || cells.last().column < column) {
        cells.append(Entry{column, std::move(c)});
        return;
    }
    auto it =
        std::lower_bound(cells.begin(), cells.end(), column, [](const Entry& e, int col) { return e.column < col; });
    if (it != cells.end() && it->column == column)
        it->cell = std::move(c);
    else
        cells.insert(it, Entry{column, std::move(c)});
}

void Worksheet::setRow(int row, QVector<Entry>&& cells) {
    if (row < 1)
        return;
    rowFor(row)->cells = std::move(cells);
}

// ---------------------------------------------------------------------------------------------------------------
// .xlsx: a zip of XML parts

namespace {

[[noreturn]] void xlsxFails(const QString& why) {
    throw EBrvWorkbookError(QStringLiteral("Die Datei ist keine lesbare Excel-Arbeitsmappe (.xlsx).\r\n") + why);
}

class Zip {
public:
    // The archive in memory; bytes must outlive the object.
    explicit Zip(const QByteArray& bytes) : archiveSize_(zip_uint64_t(bytes.size())) {
        zip_error_t e;
        zip_error_init(&e);
        zip_source_t* src = zip_source_buffer_create(bytes.constData(), zip_uint64_t(bytes.size()), 0, &e);
        if (src)
            z_ = zip_open_from_source(src, ZIP_RDONLY, &e);
        if (!z_) {
            const QString why = QString::fromUtf8(zip_error_strerror(&e));
            if (src)
                zip_source_free(src);
            zip_error_fini(&e);
            xlsxFails(QStringLiteral("Das ZIP-Archiv kann nicht geöffnet werden: ") + why);
        }
        zip_error_fini(&e);
    }
    ~Zip() {
        if (z_)
            zip_discard(z_);
    }
    bool has(const QString& name) const { return zip_name_locate(z_, name.toUtf8().constData(), 0) >= 0; }
    // The part as bytes, with room for the XML parser to work in place.
    std::vector<char> read(const QString& name) const {
        const QByteArray n = name.toUtf8();
        zip_stat_t st;
        if (zip_stat(z_, n.constData(), 0, &st) != 0)
            xlsxFails(QStringLiteral("Der Bestandteil %1 fehlt.").arg(name));
        // Far beyond any register; a damaged or hostile archive must not make us allocate what it claims.
        // Deflate packs at most about 1:1032, so no honest part is much larger than a thousand times the archive.
        const zip_uint64_t plausible = std::min<zip_uint64_t>(zip_uint64_t(1) << 30, archiveSize_ * 1100 + 65536);
        if (!(st.valid & ZIP_STAT_SIZE) || st.size > plausible)
            xlsxFails(QStringLiteral("Der Bestandteil %1 ist zu groß oder beschädigt.").arg(name));
        zip_file_t* f = zip_fopen(z_, n.constData(), 0);
        if (!f)
            xlsxFails(QStringLiteral("Der Bestandteil %1 kann nicht gelesen werden.").arg(name));
        std::vector<char> buf(st.size + 1);
        zip_int64_t got = zip_fread(f, buf.data(), st.size);
        zip_fclose(f);
        if (got < 0 || zip_uint64_t(got) != st.size)
            xlsxFails(QStringLiteral("Der Bestandteil %1 ist beschädigt.").arg(name));
        buf.resize(st.size);
        return buf;
    }

private:
    zip_t* z_ = nullptr;
    zip_uint64_t archiveSize_;
};

void parse(pugi::xml_document& doc, std::vector<char>& bytes, const QString& name) {
    const pugi::xml_parse_result r =
        doc.load_buffer_inplace(bytes.data(), bytes.size(), pugi::parse_default, pugi::encoding_utf8);
    if (!r)
        xlsxFails(QStringLiteral("Der Bestandteil %1 ist kein gültiges XML (%2).")
                      .arg(name, QString::fromUtf8(r.description())));
}

// Element name without namespace prefix.
bool named(const pugi::xml_node& n, const char* local) {
    const char* name = n.name();
    const char* colon = std::strchr(name, ':');
    return std::strcmp(colon ? colon + 1 : name, local) == 0;
}

pugi::xml_node child(const pugi::xml_node& n, const char* local) {
    for (pugi::xml_node c = n.first_child(); c; c = c.next_sibling())
        if (named(c, local))
            return c;
    return {};
}

// The text of a shared or inline string: every <t> of it, phonetic runs left out.
QString stringItem(const pugi::xml_node& si) {
    QString out;
    for (pugi::xml_node c = si.first_child(); c; c = c.next_sibling()) {
        if (named(c, "t"))
            out += QString::fromUtf8(c.child_value());
        else if (named(c, "r"))
            out += QString::fromUtf8(child(c, "t").child_value());
    }
    return out;
}

} // namespace

bool SerialIsDate(double serial, bool date1904) {
    // A spreadsheet shows a date for 0 (1904: 0) up to 31.12.9999; anything else in a date format is no date.
    return std::isfinite(serial) && serial >= 0 && serial < (date1904 ? 2957004.0 : 2958466.0);
}

bool NumberFormatIsDate(int id, const QString& code) {
    if ((id >= 14 && id <= 22) || (id >= 27 && id <= 36) || (id >= 45 && id <= 47) || (id >= 50 && id <= 58))
        return true;
    if (code.isEmpty())
        return false;
    bool quoted = false, bracket = false;
    for (int i = 0; i < code.size(); ++i) {
        const QChar c = code[i];
        if (c == QLatin1Char('"'))
            quoted = !quoted;
        else if (quoted)
            continue;
        else if (c == QLatin1Char('\\') || c == QLatin1Char('_') || c == QLatin1Char('*'))
            ++i; // the next character is literal
        else if (c == QLatin1Char('['))
            bracket = true;
        else if (c == QLatin1Char(']'))
            bracket = false;
        else if (!bracket && QStringLiteral("dDmMyYhHsSjJtT").contains(c))
            return true;
    }
    return false;
}

namespace {

// "AB12" -> column 28; the row part is ignored. Anything beyond the last column (XFD, 16,384) gives 0.
int columnOf(std::string_view ref) {
    int col = 0;
    for (const char c : ref) {
        int digit = 0;
        if (c >= 'A' && c <= 'Z')
            digit = c - 'A' + 1;
        else if (c >= 'a' && c <= 'z')
            digit = c - 'a' + 1;
        else
            break;
        col = col * 26 + digit;
        if (col > 16384)
            return 0;
    }
    return col;
}

QString relsTarget(const pugi::xml_document& rels, const char* id) {
    for (pugi::xml_node r = rels.first_child().first_child(); r; r = r.next_sibling())
        if (std::strcmp(r.attribute("Id").value(), id) == 0)
            return QString::fromUtf8(r.attribute("Target").value());
    return {};
}

// The sheet part is by far the largest: it is scanned in place instead of being built into a document tree, which
// for a year-end register would cost hundreds of megabytes and most of the reading time.
class SheetScanner {
public:
    SheetScanner(const char* begin, const char* end) : p_(begin), end_(end) {}

    // The next tag: its local name (prefix dropped), whether it closes or closes itself, and its attributes.
    struct Tag {
        std::string_view name;
        bool closing = false;
        bool selfClosing = false;
        const char* attrBegin = nullptr;
        const char* attrEnd = nullptr;
    };

    bool next(Tag& tag) {
        for (;;) {
            while (p_ < end_ && *p_ != '<')
                ++p_;
            if (p_ >= end_)
                return false;
            ++p_;
            if (p_ < end_ && (*p_ == '?' || *p_ == '!')) {
                skipSpecial();
                continue;
            }
            tag = Tag{};
            if (p_ < end_ && *p_ == '/') {
                tag.closing = true;
                ++p_;
            }
            const char* nameBegin = p_;
            while (p_ < end_ && !isSpace(*p_) && *p_ != '>' && *p_ != '/')
                ++p_;
            std::string_view name(nameBegin, size_t(p_ - nameBegin));
            if (const size_t colon = name.find(':'); colon != std::string_view::npos)
                name.remove_prefix(colon + 1);
            tag.name = name;
            tag.attrBegin = p_;
            char quote = 0;
            while (p_ < end_ && (quote || *p_ != '>')) {
                if (quote) {
                    if (*p_ == quote)
                        quote = 0;
                } else if (*p_ == '"' || *p_ == '\'') {
                    quote = *p_;
                }
                ++p_;
            }
            if (p_ >= end_)
                throw EBrvWorkbookError(QStringLiteral("unvollständiges XML"));
            tag.attrEnd = p_;
            if (p_ > tag.attrBegin && p_[-1] == '/') {
                tag.selfClosing = true;
                --tag.attrEnd;
            }
            ++p_;
            return true;
        }
    }

    // The raw text up to the next tag.
    std::string_view text() {
        const char* b = p_;
        while (p_ < end_ && *p_ != '<')
            ++p_;
        return {b, size_t(p_ - b)};
    }

    // Calls f(name, value) for every attribute of the tag (values raw, without quotes).
    template <typename F>
    static void attributes(const Tag& t, F f) {
        const char* q = t.attrBegin;
        while (q < t.attrEnd) {
            while (q < t.attrEnd && isSpace(*q))
                ++q;
            const char* nb = q;
            while (q < t.attrEnd && *q != '=' && !isSpace(*q))
                ++q;
            std::string_view name(nb, size_t(q - nb));
            while (q < t.attrEnd && (*q == '=' || isSpace(*q)))
                ++q;
            if (q >= t.attrEnd || (*q != '"' && *q != '\''))
                return;
            const char quote = *q++;
            const char* vb = q;
            while (q < t.attrEnd && *q != quote)
                ++q;
            f(name, std::string_view(vb, size_t(q - vb)));
            ++q;
        }
    }

private:
    static bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
    void skipSpecial() {
        static const char cdataEnd[] = "]]>", commentEnd[] = "-->";
        const char* stop = ">";
        if (end_ - p_ >= 8 && std::memcmp(p_, "![CDATA[", 8) == 0)
            stop = cdataEnd;
        else if (end_ - p_ >= 3 && std::memcmp(p_, "!--", 3) == 0)
            stop = commentEnd;
        const size_t n = std::strlen(stop);
        while (p_ < end_ && !(size_t(end_ - p_) >= n && std::memcmp(p_, stop, n) == 0))
            ++p_;
        p_ += n;
    }
    const char* p_;
    const char* end_;
};

// Text of the XML with its character references resolved.
QString xmlText(std::string_view raw) {
    if (raw.find('&') == std::string_view::npos)
        return QString::fromUtf8(raw.data(), qsizetype(raw.size()));
    std::string out;
    out.reserve(raw.size());
    for (size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] != '&') {
            out += raw[i];
            continue;
        }
        const size_t semi = raw.find(';', i);
        if (semi == std::string_view::npos) {
            out += raw[i];
            continue;
        }
        const std::string_view ent = raw.substr(i + 1, semi - i - 1);
        char32_t code = 0;
        if (ent == "amp")
            code = '&';
        else if (ent == "lt")
            code = '<';
        else if (ent == "gt")
            code = '>';
        else if (ent == "quot")
            code = '"';
        else if (ent == "apos")
            code = '\'';
        else if (ent.size() > 1 && ent[0] == '#') {
            const bool hex = ent[1] == 'x' || ent[1] == 'X';
            unsigned v = 0;
            std::from_chars(ent.data() + (hex ? 2 : 1), ent.data() + ent.size(), v, hex ? 16 : 10);
            code = char32_t(v);
        }
        if (!code) {
            out += raw[i];
            continue;
        }
        out += QString::fromUcs4(&code, 1).toStdString();
        i = semi;
    }
    return QString::fromStdString(out);
}

} // namespace

Worksheet ReadXlsxBytes(const QByteArray& bytes) {
    Zip zip(bytes);
    if (!zip.has(QStringLiteral("xl/workbook.xml")))
        xlsxFails(QStringLiteral("Die Arbeitsmappe (xl/workbook.xml) fehlt."));

    // The first sheet of the workbook, and the date system.
    QString sheetPart = QStringLiteral("xl/worksheets/sheet1.xml");
    bool date1904 = false;
    {
        std::vector<char> wbBytes = zip.read(QStringLiteral("xl/workbook.xml"));
        pugi::xml_document wb;
        parse(wb, wbBytes, QStringLiteral("xl/workbook.xml"));
        const pugi::xml_node root = wb.first_child();
        const pugi::xml_node pr = child(root, "workbookPr");
        const QString d1904 = QString::fromUtf8(pr.attribute("date1904").value());
        date1904 = d1904 == QLatin1String("1") || d1904.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0;
        const pugi::xml_node first = child(child(root, "sheets"), "sheet");
        if (!first)
            xlsxFails(QStringLiteral("Die Arbeitsmappe enthält kein Tabellenblatt."));
        const char* rid = nullptr;
        for (pugi::xml_attribute a = first.first_attribute(); a; a = a.next_attribute())
            if (std::strcmp(a.name(), "r:id") == 0 || (std::strstr(a.name(), ":id") && std::strlen(a.name()) > 3))
                rid = a.value();
        if (rid && zip.has(QStringLiteral("xl/_rels/workbook.xml.rels"))) {
            std::vector<char> relBytes = zip.read(QStringLiteral("xl/_rels/workbook.xml.rels"));
            pugi::xml_document rels;
            parse(rels, relBytes, QStringLiteral("xl/_rels/workbook.xml.rels"));
            QString target = relsTarget(rels, rid);
            if (!target.isEmpty())
                sheetPart = target.startsWith(QLatin1Char('/')) ? target.mid(1) : QStringLiteral("xl/") + target;
        }
    }

    QVector<QString> shared;
    if (zip.has(QStringLiteral("xl/sharedStrings.xml"))) {
        std::vector<char> bytes = zip.read(QStringLiteral("xl/sharedStrings.xml"));
        pugi::xml_document doc;
        parse(doc, bytes, QStringLiteral("xl/sharedStrings.xml"));
        const pugi::xml_node sst = doc.first_child();
        // The declared count is only a hint: a damaged file must not make us reserve more than the part can hold.
        shared.reserve(std::clamp<qsizetype>(sst.attribute("uniqueCount").as_llong(), 0, qsizetype(bytes.size() / 8)));
        for (pugi::xml_node si = sst.first_child(); si; si = si.next_sibling())
            if (named(si, "si"))
                shared.append(stringItem(si));
    }

    // Style index -> shows a date.
    QVector<bool> dateStyle;
    if (zip.has(QStringLiteral("xl/styles.xml"))) {
        std::vector<char> bytes = zip.read(QStringLiteral("xl/styles.xml"));
        pugi::xml_document doc;
        parse(doc, bytes, QStringLiteral("xl/styles.xml"));
        const pugi::xml_node root = doc.first_child();
        QHash<int, QString> codes;
        for (pugi::xml_node f = child(root, "numFmts").first_child(); f; f = f.next_sibling())
            codes.insert(f.attribute("numFmtId").as_int(), QString::fromUtf8(f.attribute("formatCode").value()));
        for (pugi::xml_node xf = child(root, "cellXfs").first_child(); xf; xf = xf.next_sibling()) {
            const int id = xf.attribute("numFmtId").as_int();
            dateStyle.append(NumberFormatIsDate(id, codes.value(id)));
        }
    }

    if (!zip.has(sheetPart))
        xlsxFails(QStringLiteral("Das erste Tabellenblatt (%1) fehlt.").arg(sheetPart));
    std::vector<char> sheetBytes = zip.read(sheetPart);
    Worksheet ws;
    const double dayShift = date1904 ? 1462.0 : 0.0;
    SheetScanner scan(sheetBytes.data(), sheetBytes.data() + sheetBytes.size());
    SheetScanner::Tag tag;
    bool inData = false, closed = false;
    int rowNr = 0, colNr = 0;
    QVector<Worksheet::Entry> cells;
    auto flushRow = [&] {
        if (cells.isEmpty())
            return;
        // Cells normally come in ascending columns; a file that does not keep that order is put in order here.
        if (!std::is_sorted(cells.begin(), cells.end(),
                            [](const Worksheet::Entry& a, const Worksheet::Entry& b) { return a.column < b.column; })) {
            std::stable_sort(cells.begin(), cells.end(),
                             [](const Worksheet::Entry& a, const Worksheet::Entry& b) { return a.column < b.column; });
            // A column given twice: the later cell counts, as it would overwrite the earlier one.
            QVector<Worksheet::Entry> unique;
            for (Worksheet::Entry& e : cells) {
                if (!unique.isEmpty() && unique.last().column == e.column)
                    unique.last() = std::move(e);
                else
                    unique.append(std::move(e));
            }
            cells = std::move(unique);
        }
        ws.setRow(rowNr, std::move(cells));
        cells = QVector<Worksheet::Entry>();
    };
    try {
        while (scan.next(tag)) {
            if (!inData) {
                inData = tag.name == "sheetData" && !tag.closing && !tag.selfClosing;
                continue;
            }
            if (tag.closing) {
                if (tag.name == "row")
                    flushRow();
                else if (tag.name == "sheetData") {
                    closed = true;
                    break;
                }
                continue;
            }
            if (tag.name == "row") {
                int r = 0;
                SheetScanner::attributes(tag, [&](std::string_view n, std::string_view v) {
                    if (n == "r")
                        std::from_chars(v.data(), v.data() + v.size(), r);
                });
                rowNr = r > 0 ? r : rowNr + 1;
                if (rowNr > 1048576)
                    xlsxFails(QStringLiteral("Zeilennummer %1 außerhalb des gültigen Bereichs.").arg(rowNr));
                colNr = 0;
                cells = QVector<Worksheet::Entry>();
                if (tag.selfClosing)
                    flushRow();
                continue;
            }
            if (tag.name != "c")
                continue;
            std::string_view ref, t;
            int style = -1;
            SheetScanner::attributes(tag, [&](std::string_view n, std::string_view v) {
                if (n == "r")
                    ref = v;
                else if (n == "t")
                    t = v;
                else if (n == "s")
                    std::from_chars(v.data(), v.data() + v.size(), style);
            });
            const int col = !ref.empty() ? columnOf(ref) : std::min(colNr, 16384) + 1;
            colNr = col;
            if (tag.selfClosing)
                continue;
            // The children of the cell: its value, an inline string, a formula.
            std::string_view v;
            QString inlineText;
            bool hasInline = false;
            while (scan.next(tag)) {
                if (tag.closing && tag.name == "c")
                    break;
                if (tag.closing || tag.selfClosing)
                    continue;
                if (tag.name == "v") {
                    v = scan.text();
                } else if (tag.name == "is") {
                    hasInline = true;
                    bool phonetic = false;
                    while (scan.next(tag) && !(tag.closing && tag.name == "is")) {
                        if (tag.name == "rPh")
                            phonetic = !tag.closing && !tag.selfClosing;
                        else if (tag.name == "t" && !tag.closing && !tag.selfClosing && !phonetic)
                            inlineText += xmlText(scan.text());
                    }
                }
            }
            if (col < 1 || col > 16384)
                continue;
            Worksheet::Cell cell;
            if (t == "s") {
                int idx = -1;
                std::from_chars(v.data(), v.data() + v.size(), idx);
                if (idx >= 0 && idx < shared.size()) {
                    cell.kind = Worksheet::Kind::Text;
                    cell.text = shared[idx];
                }
            } else if (t == "inlineStr" || hasInline) {
                cell.kind = Worksheet::Kind::Text;
                cell.text = inlineText;
            } else if (t == "str") {
                cell.kind = Worksheet::Kind::Text;
                cell.text = xmlText(v);
            } else if (t == "b") {
                cell.kind = Worksheet::Kind::Bool;
                cell.number = v == "1" ? 1 : 0;
            } else if (t == "e") {
                cell.kind = Worksheet::Kind::Error;
                cell.text = xmlText(v);
            } else if (!v.empty()) {
                double num = 0;
                const std::string_view trimmed = v.substr(0, v.find_last_not_of(" \t\r\n") + 1);
                auto [ptr, ec] = std::from_chars(trimmed.data(), trimmed.data() + trimmed.size(), num);
                const bool numeric = t != "d" && ec == std::errc() && ptr == trimmed.data() + trimmed.size();
                if (numeric) {
                    const bool isDate =
                        style >= 0 && style < dateStyle.size() && dateStyle[style] && SerialIsDate(num, date1904);
                    cell.kind = isDate ? Worksheet::Kind::Date : Worksheet::Kind::Number;
                    // The 1900 system counts the 29th of February 1900 that never was.
                    cell.number = isDate ? (date1904 ? num + dayShift : (num < 61 ? num + 1 : num)) : num;
                } else if (t == "d") {
                    const QDate d = QDate::fromString(xmlText(v).left(10), Qt::ISODate);
                    if (d.isValid()) {
                        cell.kind = Worksheet::Kind::Date;
                        cell.number = DateToTDateTime(d);
                    }
                } else {
                    cell.kind = Worksheet::Kind::Text;
                    cell.text = xmlText(v);
                }
            }
            if (cell.kind == Worksheet::Kind::Empty)
                continue;
            if (!cells.isEmpty() && cells.last().column == col)
                cells.last().cell = std::move(cell);
            else
                cells.append(Worksheet::Entry{col, std::move(cell)});
        }
    } catch (const EBrvWorkbookError& e) {
        xlsxFails(QStringLiteral("Der Bestandteil %1 ist kein gültiges XML (%2).").arg(sheetPart, e.message()));
    }
    if (!inData)
        xlsxFails(QStringLiteral("Der Bestandteil %1 ist kein gültiges Tabellenblatt.").arg(sheetPart));
    if (!closed)
        xlsxFails(QStringLiteral("Der Bestandteil %1 ist kein gültiges XML (es bricht vorzeitig ab).").arg(sheetPart));
    flushRow();
    return ws;
}

Worksheet ReadWorkbookBytes(const QByteArray& bytes) {
    if (bytes.startsWith("PK\x03\x04"))
        return ReadXlsxBytes(bytes);
    if (bytes.startsWith(QByteArray::fromHex("D0CF11E0A1B11AE1")))
        return ReadXlsBytes(bytes);
    if (bytes.isEmpty())
        throw EBrvWorkbookError(QStringLiteral("Die Datei ist leer und keine Excel-Arbeitsmappe."));
    throw EBrvWorkbookError(QStringLiteral("Die Datei ist keine Excel-Arbeitsmappe (weder .xlsx noch .xls)."));
}

Worksheet ReadWorkbook(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw EBrvWorkbookError(QStringLiteral("Die Datei kann nicht gelesen werden: ") + f.errorString());
    // A workbook is read whole; far larger files are no register.
    if (f.size() > (qint64(1) << 30))
        throw EBrvWorkbookError(QStringLiteral("Die Datei ist zu groß für eine Excel-Arbeitsmappe."));
    const QByteArray bytes = f.readAll();
    if (f.error() != QFileDevice::NoError)
        throw EBrvWorkbookError(QStringLiteral("Die Datei kann nicht gelesen werden: ") + f.errorString());
    return ReadWorkbookBytes(bytes);
}
