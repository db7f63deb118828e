#include "import/workbook.h"

#include "core/convert.h"

#include <QDate>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLocale>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <memory>
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

const Worksheet::Cell* Worksheet::held(int row, int column) const {
    const Row* r = findRow(row);
    if (!r)
        return nullptr;
    const auto it =
        std::lower_bound(r->cells.begin(), r->cells.end(), column, [](const Entry& e, int c) { return e.column < c; });
    return it != r->cells.end() && it->column == column ? &it->cell : nullptr;
}

const Worksheet::Cell* Worksheet::at(int row, int column) const {
    if (row >= 0 && row < mergedRows_.size())
        for (const Span& s : mergedRows_[row])
            if (column >= s.firstColumn && column <= s.lastColumn)
                return held(s.row, s.column);
    return held(row, column);
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
    case Kind::NoValue:
        return {};
    case Kind::Text:
    case Kind::Error:
        return c->text;
    case Kind::Number:
        return NumberCellText(c->number);
    case Kind::Date:
        return dateCellText(c->number);
    case Kind::Bool:
        return c->number != 0 ? QStringLiteral("WAHR") : QStringLiteral("FALSCH");
    }
    return {};
}

namespace {

bool holdsSomething(const Worksheet::Cell& c) {
    return c.kind != Worksheet::Kind::Empty && !(c.kind == Worksheet::Kind::Text && c.text.isEmpty());
}

void cutText(QString& t) {
    if (t.size() <= Worksheet::kMaxCellText)
        return;
    qsizetype n = Worksheet::kMaxCellText;
    if (t[n - 1].isHighSurrogate())
        --n; // no half character at the end
    t.truncate(n);
}

} // namespace

void Worksheet::charge(qint64 characters) {
    spent_ += characters;
    if (spent_ > kTextBudget)
        throw EBrvWorkbookTooLarge(QStringLiteral("Die Arbeitsmappe ist zu groß: ihre Zellen und Texte übersteigen "
                                                  "%1 Zeichen.")
                                       .arg(QLocale(QLocale::German).toString(kTextBudget)));
}

void Worksheet::markUsed(int row) {
    if (row < 1 || row > kMaxRows)
        return;
    if (used_.isEmpty())
        used_.resize(kMaxRows + 1);
    used_.setBit(row);
    lastUsedRow_ = std::max(lastUsedRow_, row);
}

void Worksheet::set(int row, int column, Cell c) {
    if (row < 1 || column < 1 || row > kMaxRows || column > kMaxColumns)
        return;
    if (holdsSomething(c))
        markUsed(row);
    if (row > kHeldRows || column > kHeldColumns)
        return;
    cutText(c.text);
    // A text shared with another string (a table of shared strings) has been counted with it.
    charge(kCellCost + (c.text.isDetached() ? c.text.size() : 0));
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
    if (row < 1 || row > kMaxRows)
        return;
    for (const Entry& e : cells)
        if (e.column >= 1 && e.column <= kMaxColumns && holdsSomething(e.cell)) {
            markUsed(row);
            break;
        }
    if (row > kHeldRows)
        return;
    const auto beyond =
        std::find_if(cells.begin(), cells.end(), [](const Entry& e) { return e.column > kHeldColumns; });
    if (beyond != cells.end())
        cells.erase(beyond, cells.end());
    charge(kCellCost * cells.size());
    rowFor(row)->cells = std::move(cells);
}

void Worksheet::addMerge(int firstRow, int firstColumn, int lastRow, int lastColumn) {
    if (firstRow > lastRow)
        std::swap(firstRow, lastRow);
    if (firstColumn > lastColumn)
        std::swap(firstColumn, lastColumn);
    // The top-left cell of a range that reaches into the cells held is held itself; other ranges show nothing here.
    if (firstRow < 1 || firstColumn < 1 || firstRow > kHeldRows || firstColumn > kHeldColumns ||
        (firstRow == lastRow && firstColumn == lastColumn))
        return;
    charge(kCellCost);
    merges_.append(Merge{firstRow, firstColumn, std::min(lastRow, kMaxRows), std::min(lastColumn, kMaxColumns)});
}

void Worksheet::finishMerges() {
    if (merges_.isEmpty())
        return;
    // Rows of the ranges whose top-left cell holds a value count as used, beyond the rows held too.
    QVector<Merge> shown;
    for (const Merge& m : std::as_const(merges_)) {
        const Cell* c = held(m.r1, m.c1);
        if (c && holdsSomething(*c))
            shown.append(m);
    }
    merges_ = QVector<Merge>();
    std::sort(shown.begin(), shown.end(), [](const Merge& a, const Merge& b) { return a.r1 < b.r1; });
    int from = 0, to = -1;
    auto flush = [&] {
        if (to < from)
            return;
        if (used_.isEmpty())
            used_.resize(kMaxRows + 1);
        used_.fill(true, from, to + 1);
        lastUsedRow_ = std::max(lastUsedRow_, to);
    };
    for (const Merge& m : std::as_const(shown)) {
        if (m.r1 > to + 1) {
            flush();
            from = m.r1;
        }
        to = std::max(to, m.r2);
    }
    flush();
    // Each range gives a span in every row held it covers; a range over a whole sheet costs one span a row. The
    // spans are counted against the budget, so that overlapping hostile ranges cannot grow without end.
    if (!shown.isEmpty())
        mergedRows_.resize(kHeldRows + 1);
    for (const Merge& m : std::as_const(shown)) {
        const int lastRow = std::min(m.r2, kHeldRows), lastColumn = std::min(m.c2, kHeldColumns);
        charge(qint64(lastRow - m.r1 + 1) * 8);
        for (int r = m.r1; r <= lastRow; ++r)
            mergedRows_[r].append(Span{m.c1, lastColumn, m.r1, m.c1});
        lastMergedRow_ = std::max(lastMergedRow_, lastRow);
    }
}

// ---------------------------------------------------------------------------------------------------------------
// .xlsx: a zip of XML parts

namespace {

[[noreturn]] void xlsxFails(const QString& why) {
    throw EBrvWorkbookError(QStringLiteral("Die Datei ist keine lesbare Excel-Arbeitsmappe (.xlsx).\r\n") + why);
}

// The small parts (workbook, relationships, styles) are read whole; none of an honest workbook comes near this.
constexpr size_t kMaxSmallPart = size_t(16) << 20;

// A part of the archive, inflated as it is read.
class PartStream {
public:
    PartStream(zip_file_t* f, QString name) : f_(f), name_(std::move(name)) {}
    PartStream(const PartStream&) = delete;
    PartStream& operator=(const PartStream&) = delete;
    ~PartStream() { zip_fclose(f_); }
    // Up to n bytes; 0 at the end.
    size_t read(char* to, size_t n) {
        const zip_int64_t got = zip_fread(f_, to, n);
        if (got < 0)
            xlsxFails(QStringLiteral("Der Bestandteil %1 ist beschädigt.").arg(name_));
        return size_t(got);
    }
    const QString& name() const { return name_; }

private:
    zip_file_t* f_;
    QString name_;
};

class Zip {
public:
    // The archive in memory; bytes must outlive the object.
    explicit Zip(const QByteArray& bytes) {
        zip_error_t e;
        zip_error_init(&e);
        zip_source_t* src = zip_source_buffer_create(bytes.constData(), zip_uint64_t(bytes.size()), 0, &e);
        if (src)
            z_ = zip_open_from_source(src, ZIP_RDONLY, &e);
        if (!z_ && src)
            zip_source_free(src);
        failIfClosed(e);
    }
    // The archive in a file, read where its parts lie.
    explicit Zip(const QString& path) {
        zip_error_t e;
        zip_error_init(&e);
        int code = 0;
        z_ = zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY, &code);
        if (!z_)
            zip_error_init_with_code(&e, code);
        failIfClosed(e);
    }
    Zip(const Zip&) = delete;
    Zip& operator=(const Zip&) = delete;
    ~Zip() {
        if (z_)
            zip_discard(z_);
    }
    bool has(const QString& name) const { return zip_name_locate(z_, name.toUtf8().constData(), 0) >= 0; }
    std::unique_ptr<PartStream> open(const QString& name) const {
        zip_file_t* f = zip_fopen(z_, name.toUtf8().constData(), 0);
        if (!f)
            xlsxFails(QStringLiteral("Der Bestandteil %1 kann nicht gelesen werden.").arg(name));
        return std::make_unique<PartStream>(f, name);
    }
    // A small part whole, with room for the XML parser to work in place. Its size is what it inflates to, not what
    // the archive claims.
    std::vector<char> read(const QString& name) const {
        if (!has(name))
            xlsxFails(QStringLiteral("Der Bestandteil %1 fehlt.").arg(name));
        const auto part = open(name);
        std::vector<char> buf;
        size_t filled = 0;
        for (;;) {
            if (filled == buf.size()) {
                if (buf.size() > kMaxSmallPart)
                    xlsxFails(QStringLiteral("Der Bestandteil %1 ist größer als %2 MB und keiner einer Anlagenliste.")
                                  .arg(name)
                                  .arg(kMaxSmallPart >> 20));
                buf.resize(std::min(kMaxSmallPart + 1, std::max<size_t>(buf.size() * 2, 262144)));
            }
            const size_t got = part->read(buf.data() + filled, buf.size() - filled);
            if (got == 0)
                break;
            filled += got;
        }
        if (filled > kMaxSmallPart)
            xlsxFails(QStringLiteral("Der Bestandteil %1 ist größer als %2 MB und keiner einer Anlagenliste.")
                          .arg(name)
                          .arg(kMaxSmallPart >> 20));
        buf.resize(filled);
        return buf;
    }

private:
    void failIfClosed(zip_error_t& e) {
        if (!z_) {
            const QString why = QString::fromUtf8(zip_error_strerror(&e));
            zip_error_fini(&e);
            xlsxFails(QStringLiteral("Das ZIP-Archiv kann nicht geöffnet werden: ") + why);
        }
        zip_error_fini(&e);
    }
    zip_t* z_ = nullptr;
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
        if (col > Worksheet::kMaxColumns)
            return 0;
    }
    return col;
}

// "AB12" -> row 12 and column 28; false for anything else ("$" signs allowed).
bool cellRef(std::string_view ref, int& row, int& col) {
    size_t i = 0;
    if (i < ref.size() && ref[i] == '$')
        ++i;
    const size_t letters = i;
    while (i < ref.size() && ((ref[i] >= 'A' && ref[i] <= 'Z') || (ref[i] >= 'a' && ref[i] <= 'z')))
        ++i;
    if (i == letters)
        return false;
    col = columnOf(ref.substr(letters, i - letters));
    if (i < ref.size() && ref[i] == '$')
        ++i;
    row = 0;
    const auto [ptr, ec] = std::from_chars(ref.data() + i, ref.data() + ref.size(), row);
    return ec == std::errc() && ptr == ref.data() + ref.size() && col >= 1 && row >= 1 && row <= Worksheet::kMaxRows;
}

// An XML part read as it is inflated, tag by tag. What the scanner hands out (names, attributes) points into its
// buffer and lives until the next call. A tag longer than kMaxTag is no spreadsheet's: the part is refused.
class XmlStream {
public:
    explicit XmlStream(PartStream& in) : in_(in), buf_(kChunk) {}

    struct Tag {
        std::string_view name; // local name, prefix dropped
        bool closing = false;
        bool selfClosing = false;
        const char* attrBegin = nullptr;
        const char* attrEnd = nullptr;
    };

    bool next(Tag& tag) {
        for (;;) {
            // Text before the tag is of no interest here; between the tags of a sheet there is little of it.
            const char* b = buf_.data();
            size_t i = pos_;
            while (i < end_ && b[i] != '<')
                ++i;
            pos_ = i;
            if (i == end_) {
                if (!refill())
                    return false;
                continue;
            }
            if (i + 1 < end_ && (b[i + 1] == '?' || b[i + 1] == '!')) {
                skipSpecial();
                continue;
            }
            // The whole tag in the buffer, from its '<' to its '>'; else it is scanned again after a refill.
            size_t j = i + 1;
            char quote = 0;
            for (; j < end_; ++j) {
                const char c = b[j];
                if (quote) {
                    if (c == quote)
                        quote = 0;
                } else if (c == '>') {
                    break;
                } else if (c == '"' || c == '\'') {
                    quote = c;
                }
            }
            if (j == end_) {
                if (!refill())
                    throw EBrvWorkbookError(QStringLiteral("unvollständiges XML"));
                continue;
            }
            const char* p = b + i + 1;
            const char* e = b + j;
            tag = Tag{};
            if (*p == '/') {
                tag.closing = true;
                ++p;
            }
            const char* nameBegin = p;
            while (p < e && !isSpace(*p) && *p != '/')
                ++p;
            std::string_view name(nameBegin, size_t(p - nameBegin));
            if (const size_t colon = name.find(':'); colon != std::string_view::npos)
                name.remove_prefix(colon + 1);
            tag.name = name;
            tag.attrBegin = p;
            tag.attrEnd = e;
            if (e > p && e[-1] == '/') {
                tag.selfClosing = true;
                --tag.attrEnd;
            }
            pos_ = j + 1;
            return true;
        }
    }

    // Appends the raw text up to the next tag to out, keeping at most cap bytes of it (the rest is passed over).
    void text(std::string& out, size_t cap) {
        for (;;) {
            const char* b = buf_.data();
            size_t i = pos_;
            while (i < end_ && b[i] != '<')
                ++i;
            if (out.size() < cap)
                out.append(b + pos_, std::min(i - pos_, cap - out.size()));
            pos_ = i;
            if (i < end_ || !refill())
                return;
        }
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
    static constexpr size_t kChunk = size_t(1) << 18;
    static constexpr size_t kMaxTag = size_t(1) << 20;
    static bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

    // Moves what is left from pos_ on to the front and reads more behind it; false at the end of the part.
    bool refill() {
        const size_t keep = end_ - pos_;
        if (keep > kMaxTag)
            throw EBrvWorkbookError(QStringLiteral("ein Element ist länger als %1 Bytes").arg(kMaxTag));
        if (pos_ > 0 && keep > 0)
            std::memmove(buf_.data(), buf_.data() + pos_, keep);
        pos_ = 0;
        end_ = keep;
        if (buf_.size() - end_ < kChunk / 2)
            buf_.resize(buf_.size() + kChunk);
        const size_t got = in_.read(buf_.data() + end_, buf_.size() - end_);
        end_ += got;
        return got > 0;
    }

    // From pos_ at "<!" or "<?" to behind the end of the declaration, comment or CDATA section.
    void skipSpecial() {
        const char* stop = ">";
        auto ahead = [&](const char* s) {
            const size_t n = std::strlen(s);
            while (end_ - pos_ < n + 1)
                if (!refill())
                    return false;
            return std::memcmp(buf_.data() + pos_ + 1, s, n) == 0;
        };
        if (ahead("![CDATA["))
            stop = "]]>";
        else if (ahead("!--"))
            stop = "-->";
        pos_ += 2;
        const size_t n = std::strlen(stop);
        for (;;) {
            const std::string_view rest(buf_.data() + pos_, end_ - pos_);
            const size_t at = rest.find(stop);
            if (at != std::string_view::npos) {
                pos_ += at + n;
                return;
            }
            // Keep the last bytes: the end mark may be cut between two reads.
            pos_ = end_ - std::min(end_ - pos_, n - 1);
            if (!refill()) {
                pos_ = end_;
                return;
            }
        }
    }

    PartStream& in_;
    std::vector<char> buf_;
    size_t pos_ = 0, end_ = 0;
};

// A spreadsheet writes characters XML cannot hold (a carriage return, control characters) as "_xHHHH_", and a
// literal "_x" that would read as such an escape as "_x005F_x".
void decodeEscapes(QString& s) {
    qsizetype at = s.indexOf(QLatin1String("_x"));
    if (at < 0)
        return;
    QString out;
    out.reserve(s.size());
    qsizetype from = 0;
    const auto hex = [](QChar c) { return c.isDigit() || (c.toLower() >= u'a' && c.toLower() <= u'f'); };
    while (at >= 0) {
        if (at + 7 <= s.size() && s[at + 6] == u'_' && hex(s[at + 2]) && hex(s[at + 3]) && hex(s[at + 4]) &&
            hex(s[at + 5])) {
            out += QStringView(s).mid(from, at - from);
            out += QChar(char16_t(QStringView(s).mid(at + 2, 4).toUShort(nullptr, 16)));
            from = at + 7;
            at = s.indexOf(QLatin1String("_x"), from);
        } else {
            at = s.indexOf(QLatin1String("_x"), at + 1);
        }
    }
    out += QStringView(s).mid(from);
    s = std::move(out);
}

// Text of the XML with its character references and escapes resolved, cut to what a cell holds.
QString xmlText(std::string_view raw) {
    if (raw.find('&') == std::string_view::npos) {
        QString s = QString::fromUtf8(raw.data(), qsizetype(raw.size()));
        decodeEscapes(s);
        cutText(s);
        return s;
    }
    std::string out;
    out.reserve(raw.size());
    for (size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] != '&') {
            out += raw[i];
            continue;
        }
        const size_t semi = raw.find(';', i);
        if (semi == std::string_view::npos || semi - i > 12) {
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
    QString s = QString::fromStdString(out);
    decodeEscapes(s);
    cutText(s);
    return s;
}

// Raw bytes enough for the longest cell text, whatever its characters and references.
constexpr size_t kMaxRawText = size_t(Worksheet::kMaxCellText) * 8;

// The text of a string item (<si> or <is>) up to its closing tag: every <t> of it, phonetic runs left out.
QString stringItem(XmlStream& scan, std::string_view closing, std::string& raw, size_t cap = kMaxRawText) {
    raw.clear();
    bool phonetic = false;
    XmlStream::Tag tag;
    while (scan.next(tag) && !(tag.closing && tag.name == closing)) {
        if (tag.name == "rPh")
            phonetic = !tag.closing && !tag.selfClosing;
        else if (tag.name == "t" && !tag.closing && !tag.selfClosing && !phonetic)
            scan.text(raw, cap);
    }
    return xmlText(raw);
}

struct SheetChoice {
    QString part = QStringLiteral("xl/worksheets/sheet1.xml");
    QString name;
    QString notice;
    bool date1904 = false;
};

// The first worksheet of the workbook: a chart sheet before it is passed over, a hidden one is read all the same.
SheetChoice chooseSheet(const Zip& zip) {
    SheetChoice out;
    std::vector<char> wbBytes = zip.read(QStringLiteral("xl/workbook.xml"));
    pugi::xml_document wb;
    parse(wb, wbBytes, QStringLiteral("xl/workbook.xml"));
    const pugi::xml_node root = wb.first_child();
    const pugi::xml_node pr = child(root, "workbookPr");
    const QString d1904 = QString::fromUtf8(pr.attribute("date1904").value());
    out.date1904 = d1904 == QLatin1String("1") || d1904.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0;

    std::vector<char> relBytes;
    pugi::xml_document rels;
    if (zip.has(QStringLiteral("xl/_rels/workbook.xml.rels"))) {
        relBytes = zip.read(QStringLiteral("xl/_rels/workbook.xml.rels"));
        parse(rels, relBytes, QStringLiteral("xl/_rels/workbook.xml.rels"));
    }
    QString firstName;
    bool first = true, any = false;
    for (pugi::xml_node s = child(root, "sheets").first_child(); s; s = s.next_sibling()) {
        if (!named(s, "sheet"))
            continue;
        any = true;
        const QString name = QString::fromUtf8(s.attribute("name").value());
        const char* rid = nullptr;
        for (pugi::xml_attribute a = s.first_attribute(); a; a = a.next_attribute())
            if (std::strcmp(a.name(), "r:id") == 0 || (std::strstr(a.name(), ":id") && std::strlen(a.name()) > 3))
                rid = a.value();
        QString target, type;
        if (rid)
            for (pugi::xml_node r = rels.first_child().first_child(); r; r = r.next_sibling())
                if (std::strcmp(r.attribute("Id").value(), rid) == 0) {
                    target = QString::fromUtf8(r.attribute("Target").value());
                    type = QString::fromUtf8(r.attribute("Type").value());
                }
        const bool worksheet = type.isEmpty() ? !target.contains(QLatin1String("chartsheets/"))
                                              : type.endsWith(QLatin1String("/worksheet"));
        if (!worksheet) {
            if (first)
                firstName = name;
            first = false;
            continue;
        }
        if (!target.isEmpty())
            out.part = target.startsWith(QLatin1Char('/')) ? target.mid(1) : QStringLiteral("xl/") + target;
        out.name = name;
        const QString state = QString::fromUtf8(s.attribute("state").value());
        const bool hidden = state == QLatin1String("hidden") || state == QLatin1String("veryHidden");
        if (!first)
            out.notice = QStringLiteral("Das erste Blatt \"%1\" der Arbeitsmappe ist kein Tabellenblatt (sondern ein "
                                        "Diagramm); gelesen wurde das Tabellenblatt \"%2\".")
                             .arg(firstName, name);
        if (hidden)
            out.notice += (out.notice.isEmpty() ? QString() : QStringLiteral(" ")) +
                          QStringLiteral("Das %1 Tabellenblatt \"%2\" ist ausgeblendet; es wurde trotzdem gelesen.")
                              .arg(first ? QStringLiteral("erste") : QStringLiteral("gelesene"), name);
        return out;
    }
    xlsxFails(any ? QStringLiteral("Die Arbeitsmappe enthält kein Tabellenblatt, nur Diagramme.")
                  : QStringLiteral("Die Arbeitsmappe enthält kein Tabellenblatt."));
}

// The shared strings, each cut to what a cell holds, all counted against the sheet's budget.
QVector<QString> sharedStrings(const Zip& zip, Worksheet& ws) {
    QVector<QString> shared;
    const QString name = QStringLiteral("xl/sharedStrings.xml");
    if (!zip.has(name))
        return shared;
    const auto part = zip.open(name);
    XmlStream scan(*part);
    XmlStream::Tag tag;
    std::string raw;
    try {
        while (scan.next(tag)) {
            if (tag.closing || tag.name != "si")
                continue;
            QString s = tag.selfClosing ? QString() : stringItem(scan, "si", raw);
            ws.charge(Worksheet::kStringCost + s.size());
            shared.append(std::move(s));
        }
    } catch (const EBrvWorkbookTooLarge&) {
        throw;
    } catch (const EBrvWorkbookError& e) {
        xlsxFails(QStringLiteral("Der Bestandteil %1 ist kein gültiges XML (%2).").arg(name, e.message()));
    }
    shared.squeeze();
    return shared;
}

// Style index -> shows a date.
QVector<bool> dateStyles(const Zip& zip) {
    QVector<bool> dateStyle;
    if (!zip.has(QStringLiteral("xl/styles.xml")))
        return dateStyle;
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
    return dateStyle;
}

Worksheet readXlsx(const Zip& zip) {
    if (!zip.has(QStringLiteral("xl/workbook.xml")))
        xlsxFails(QStringLiteral("Die Arbeitsmappe (xl/workbook.xml) fehlt."));
    const SheetChoice choice = chooseSheet(zip);
    Worksheet ws;
    ws.sheetName = choice.name;
    ws.sheetNotice = choice.notice;
    const QVector<QString> shared = sharedStrings(zip, ws);
    const QVector<bool> dateStyle = dateStyles(zip);
    const bool date1904 = choice.date1904;
    const QString& sheetPart = choice.part;

    if (!zip.has(sheetPart))
        xlsxFails(QStringLiteral("Das erste Tabellenblatt (%1) fehlt.").arg(sheetPart));
    const auto part = zip.open(sheetPart);
    const double dayShift = date1904 ? 1462.0 : 0.0;
    XmlStream scan(*part);
    XmlStream::Tag tag;
    bool inData = false, closed = false;
    int rowNr = 0, colNr = 0;
    bool rowUsed = false;
    QVector<Worksheet::Entry> cells;
    qsizetype rowWidth = 0; // of the row before: rows of a register are alike, growing each one costs

    std::string v, raw, formula;
    auto flushRow = [&] {
        if (rowUsed)
            ws.markUsed(rowNr);
        rowUsed = false;
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
        rowWidth = cells.size();
        ws.setRow(rowNr, std::move(cells));
        cells = QVector<Worksheet::Entry>();
    };
    try {
        while (scan.next(tag)) {
            if (!inData) {
                if (closed && tag.name == "mergeCell" && !tag.closing) {
                    std::string_view ref;
                    XmlStream::attributes(tag, [&](std::string_view n, std::string_view val) {
                        if (n == "ref")
                            ref = val;
                    });
                    const size_t colon = ref.find(':');
                    int r1 = 0, c1 = 0, r2 = 0, c2 = 0;
                    if (colon != std::string_view::npos && cellRef(ref.substr(0, colon), r1, c1) &&
                        cellRef(ref.substr(colon + 1), r2, c2))
                        ws.addMerge(r1, c1, r2, c2);
                    continue;
                }
                inData = !closed && tag.name == "sheetData" && !tag.closing && !tag.selfClosing;
                if (!closed && tag.name == "sheetData" && tag.selfClosing)
                    closed = true;
                continue;
            }
            if (tag.closing) {
                if (tag.name == "row")
                    flushRow();
                else if (tag.name == "sheetData") {
                    closed = true;
                    inData = false;
                    flushRow();
                }
                continue;
            }
            if (tag.name == "row") {
                int r = 0;
                XmlStream::attributes(tag, [&](std::string_view n, std::string_view val) {
                    if (n == "r")
                        std::from_chars(val.data(), val.data() + val.size(), r);
                });
                rowNr = r > 0 ? r : rowNr + 1;
                if (rowNr > Worksheet::kMaxRows)
                    xlsxFails(QStringLiteral("Zeilennummer %1 außerhalb des gültigen Bereichs.").arg(rowNr));
                colNr = 0;
                cells = QVector<Worksheet::Entry>();
                if (rowNr <= Worksheet::kHeldRows)
                    cells.reserve(rowWidth);
                rowUsed = false;
                if (tag.selfClosing)
                    flushRow();
                continue;
            }
            if (tag.name != "c")
                continue;
            std::string_view ref, tv;
            int style = -1;
            XmlStream::attributes(tag, [&](std::string_view n, std::string_view val) {
                if (n == "r")
                    ref = val;
                else if (n == "t")
                    tv = val;
                else if (n == "s")
                    std::from_chars(val.data(), val.data() + val.size(), style);
            });
            const int col = !ref.empty() ? columnOf(ref) : std::min(colNr, Worksheet::kMaxColumns) + 1;
            colNr = col;
            if (tag.selfClosing)
                continue;
            // The type is taken now: what the scanner handed out is gone after its next tag.
            enum class Type { Number, Shared, Inline, Str, Bool, Error, IsoDate, Other } t = Type::Number;
            if (tv == "s")
                t = Type::Shared;
            else if (tv == "inlineStr")
                t = Type::Inline;
            else if (tv == "str")
                t = Type::Str;
            else if (tv == "b")
                t = Type::Bool;
            else if (tv == "e")
                t = Type::Error;
            else if (tv == "d")
                t = Type::IsoDate;
            else if (!tv.empty() && tv != "n")
                t = Type::Other;
            const bool heldCell = col >= 1 && col <= Worksheet::kHeldColumns && rowNr <= Worksheet::kHeldRows;
            // Of a cell not held only whether it holds anything matters.
            const size_t cap = heldCell ? kMaxRawText : 16;
            // The children of the cell: its value, an inline string, a formula.
            v.clear();
            formula.clear();
            bool hasValue = false, hasInline = false, hasFormula = false;
            QString inlineText;
            while (scan.next(tag)) {
                if (tag.closing && tag.name == "c")
                    break;
                if (tag.closing)
                    continue;
                if (tag.name == "f") {
                    hasFormula = true;
                    if (!tag.selfClosing)
                        scan.text(formula, cap);
                } else if (tag.selfClosing) {
                    if (tag.name == "v")
                        hasValue = true;
                } else if (tag.name == "v") {
                    hasValue = true;
                    scan.text(v, cap);
                } else if (tag.name == "is") {
                    hasInline = true;
                    inlineText = stringItem(scan, "is", raw, cap);
                }
            }
            if (col < 1 || col > Worksheet::kMaxColumns)
                continue;
            Worksheet::Cell cell;
            if (hasFormula && !hasValue && !hasInline) {
                cell.kind = Worksheet::Kind::NoValue;
                if (heldCell && !formula.empty()) {
                    cell.text = QLatin1Char('=') + xmlText(formula);
                    cutText(cell.text);
                    ws.charge(cell.text.size());
                }
            } else if (t == Type::Shared) {
                int idx = -1;
                std::from_chars(v.data(), v.data() + v.size(), idx);
                if (idx >= 0 && idx < shared.size()) {
                    cell.kind = Worksheet::Kind::Text;
                    cell.text = shared[idx];
                }
            } else if (t == Type::Inline || hasInline) {
                cell.kind = Worksheet::Kind::Text;
                cell.text = std::move(inlineText);
                if (heldCell)
                    ws.charge(cell.text.size());
            } else if (t == Type::Str) {
                cell.kind = Worksheet::Kind::Text;
                cell.text = xmlText(v);
                if (heldCell)
                    ws.charge(cell.text.size());
            } else if (t == Type::Bool) {
                cell.kind = Worksheet::Kind::Bool;
                cell.number = v == "1" ? 1 : 0;
            } else if (t == Type::Error) {
                cell.kind = Worksheet::Kind::Error;
                cell.text = xmlText(v);
            } else if (!v.empty()) {
                double num = 0;
                const std::string_view trimmed = std::string_view(v).substr(0, v.find_last_not_of(" \t\r\n") + 1);
                auto [ptr, ec] = std::from_chars(trimmed.data(), trimmed.data() + trimmed.size(), num);
                const bool numeric = t != Type::IsoDate && ec == std::errc() && ptr == trimmed.data() + trimmed.size();
                if (numeric) {
                    const bool isDate =
                        style >= 0 && style < dateStyle.size() && dateStyle[style] && SerialIsDate(num, date1904);
                    cell.kind = isDate ? Worksheet::Kind::Date : Worksheet::Kind::Number;
                    // The 1900 system counts the 29th of February 1900 that never was.
                    cell.number = isDate ? (date1904 ? num + dayShift : (num < 61 ? num + 1 : num)) : num;
                } else if (t == Type::IsoDate) {
                    const QDate d = QDate::fromString(xmlText(v).left(10), Qt::ISODate);
                    if (d.isValid()) {
                        cell.kind = Worksheet::Kind::Date;
                        cell.number = DateToTDateTime(d);
                    }
                } else {
                    cell.kind = Worksheet::Kind::Text;
                    cell.text = xmlText(v);
                    if (heldCell)
                        ws.charge(cell.text.size());
                }
            }
            if (!holdsSomething(cell))
                continue;
            rowUsed = true;
            if (!heldCell)
                continue;
            if (!cells.isEmpty() && cells.last().column == col)
                cells.last().cell = std::move(cell);
            else
                cells.append(Worksheet::Entry{col, std::move(cell)});
        }
    } catch (const EBrvWorkbookTooLarge&) {
        throw;
    } catch (const EBrvWorkbookError& e) {
        xlsxFails(QStringLiteral("Der Bestandteil %1 ist kein gültiges XML (%2).").arg(sheetPart, e.message()));
    }
    if (!closed && !inData)
        xlsxFails(QStringLiteral("Der Bestandteil %1 ist kein gültiges Tabellenblatt.").arg(sheetPart));
    if (!closed)
        xlsxFails(QStringLiteral("Der Bestandteil %1 ist kein gültiges XML (es bricht vorzeitig ab).").arg(sheetPart));
    ws.finishMerges();
    return ws;
}

} // namespace

Worksheet ReadXlsxBytes(const QByteArray& bytes) {
    const Zip zip(bytes);
    return readXlsx(zip);
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
    const QByteArray head = f.read(8);
    if (f.error() != QFileDevice::NoError)
        throw EBrvWorkbookError(QStringLiteral("Die Datei kann nicht gelesen werden: ") + f.errorString());
    f.close();
    if (head.startsWith("PK\x03\x04")) {
        const Zip zip(path);
        return readXlsx(zip);
    }
    if (head.startsWith(QByteArray::fromHex("D0CF11E0A1B11AE1")))
        return ReadXlsFile(path);
    return ReadWorkbookBytes(head);
}
