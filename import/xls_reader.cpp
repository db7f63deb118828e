// The binary workbook format of Excel 97 to 2003 (BIFF8): the OLE2 container is opened with libgsf, the records of
// its "Workbook" stream are read here. Only what the import needs: the cells of the first worksheet with their
// values (formula cells with their last result) and whether a number is shown as a date.

#include "import/workbook.h"

#include "core/convert.h"

#include <QFile>
#include <QHash>
#include <QVector>

#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-memory.h>
#include <gsf/gsf-input-stdio.h>
#include <gsf/gsf-utils.h>

#include <cmath>
#include <cstring>
#include <mutex>

namespace {

[[noreturn]] void xlsFails(const QString& why) {
    throw EBrvWorkbookError(QStringLiteral("Die Datei ist keine lesbare Excel-Arbeitsmappe (.xls).\r\n") + why);
}

[[noreturn]] void damaged() {
    xlsFails(QStringLiteral("Die Arbeitsmappe ist beschädigt (ein Datensatz reicht über ihr Ende)."));
}

// Record types of BIFF8.
enum : quint16 {
    kBof = 0x0809,
    kEof = 0x000A,
    kFilePass = 0x002F,
    kDateMode = 0x0022,
    kBoundSheet = 0x0085,
    kSst = 0x00FC,
    kContinue = 0x003C,
    kFormat = 0x041E,
    kXf = 0x00E0,
    kLabelSst = 0x00FD,
    kLabel = 0x0204,
    kRString = 0x00D6,
    kNumber = 0x0203,
    kRk = 0x027E,
    kMulRk = 0x00BD,
    kBoolErr = 0x0205,
    kFormula = 0x0006,
    kString = 0x0207,
    kMergedCells = 0x00E5,
};

quint16 u16(const quint8* p) {
    return quint16(p[0] | (p[1] << 8));
}
quint32 u32(const quint8* p) {
    return quint32(p[0]) | (quint32(p[1]) << 8) | (quint32(p[2]) << 16) | (quint32(p[3]) << 24);
}
double f64(const quint8* p) {
    quint64 bits = 0;
    for (int i = 7; i >= 0; --i)
        bits = (bits << 8) | p[i];
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
}

double rkValue(quint32 rk) {
    double v;
    if (rk & 0x02) {
        v = double(qint32(rk) >> 2);
    } else {
        const quint64 bits = quint64(rk & 0xFFFFFFFCu) << 32;
        std::memcpy(&v, &bits, sizeof v);
    }
    return (rk & 0x01) ? v / 100.0 : v;
}

QString errorText(quint8 code) {
    switch (code) {
    case 0x00:
        return QStringLiteral("#NULL!");
    case 0x07:
        return QStringLiteral("#DIV/0!");
    case 0x0F:
        return QStringLiteral("#VALUE!");
    case 0x17:
        return QStringLiteral("#REF!");
    case 0x1D:
        return QStringLiteral("#NAME?");
    case 0x24:
        return QStringLiteral("#NUM!");
    case 0x2A:
        return QStringLiteral("#N/A");
    default:
        return QStringLiteral("#FEHLER");
    }
}

struct Record {
    quint16 type;
    const quint8* data;
    quint16 len;
};

// The records of the stream from a position on, each checked to lie within the stream.
class Records {
public:
    Records(const QByteArray& stream, qsizetype pos)
        : s_(reinterpret_cast<const quint8*>(stream.constData())), size_(stream.size()), pos_(pos) {}
    bool next(Record& r) {
        if (pos_ < 0 || pos_ + 4 > size_)
            return false;
        r.type = u16(s_ + pos_);
        r.len = u16(s_ + pos_ + 2);
        if (pos_ + 4 + r.len > size_)
            damaged();
        r.data = s_ + pos_ + 4;
        pos_ += 4 + r.len;
        return true;
    }
    // The record after the current one, without moving on.
    bool peek(Record& r) const {
        Records copy = *this;
        return copy.next(r);
    }

private:
    const quint8* s_;
    qsizetype size_;
    qsizetype pos_;
};

// Bytes of a record and its CONTINUE records as one sequence. Characters of a string that go on in a CONTINUE
// record are preceded there by a new option byte (compressed or two-byte characters).
class Continued {
public:
    void add(const quint8* p, quint16 len) { parts_.append({p, len}); }
    bool atEnd() const { return part_ >= parts_.size(); }

    quint8 byte() {
        skipEmpty();
        if (atEnd())
            damaged();
        const quint8 b = parts_[part_].p[off_++];
        return b;
    }
    quint16 word() {
        const quint8 lo = byte();
        return quint16(lo | (byte() << 8));
    }
    quint32 dword() {
        const quint32 lo = word();
        return lo | (quint32(word()) << 16);
    }
    void skip(quint64 n) {
        while (n > 0) {
            skipEmpty();
            if (atEnd())
                damaged();
            const quint64 here = std::min<quint64>(n, parts_[part_].len - off_);
            off_ += int(here);
            n -= here;
        }
    }
    // cch characters, compressed (one byte each) or not as the option byte says. Characters that go on in the
    // next record start there with a new option byte.
    QString chars(quint32 cch, bool highByte) {
        QString out;
        out.reserve(qsizetype(std::min<quint32>(cch, 65535)));
        while (cch > 0) {
            if (atEnd())
                damaged();
            if (off_ >= parts_[part_].len) {
                ++part_;
                off_ = 0;
                if (atEnd() || parts_[part_].len == 0)
                    damaged();
                highByte = (parts_[part_].p[off_++] & 0x01) != 0;
                continue;
            }
            const int width = highByte ? 2 : 1;
            const quint32 here = std::min<quint32>(cch, quint32((parts_[part_].len - off_) / width));
            if (here == 0)
                damaged(); // half a two-byte character
            const quint8* p = parts_[part_].p + off_;
            for (quint32 i = 0; i < here; ++i)
                out.append(highByte ? QChar(u16(p + 2 * i)) : QChar(p[i])); // compressed: Latin-1
            off_ += int(here) * width;
            cch -= here;
        }
        return out;
    }

private:
    void skipEmpty() {
        while (part_ < parts_.size() && off_ >= parts_[part_].len) {
            ++part_;
            off_ = 0;
        }
    }
    struct Part {
        const quint8* p;
        int len;
    };
    QVector<Part> parts_;
    int part_ = 0;
    int off_ = 0;
};

// A record with the CONTINUE records that follow it, taken from the stream.
Continued withContinues(const Record& r, Records& stream) {
    Continued c;
    c.add(r.data, r.len);
    Record more;
    while (stream.peek(more) && more.type == kContinue) {
        stream.next(more);
        c.add(more.data, more.len);
    }
    return c;
}

// An XLUnicodeRichExtendedString (shared strings) or XLUnicodeString (labels, formats, formula results).
QString unicodeString(Continued& c, bool rich) {
    const quint16 cch = c.word();
    const quint8 flags = c.byte();
    quint16 runs = 0;
    quint32 ext = 0;
    if (rich && (flags & 0x08))
        runs = c.word();
    if (rich && (flags & 0x04))
        ext = c.dword();
    QString s = c.chars(cch, flags & 0x01);
    c.skip(quint64(runs) * 4 + ext);
    return s;
}

// A string inside one record (no continuation).
QString recordString(const Record& r, int offset, bool sixteenBitLength = true) {
    Continued c;
    if (offset > r.len)
        damaged();
    c.add(r.data + offset, quint16(r.len - offset));
    if (sixteenBitLength)
        return unicodeString(c, false);
    const quint8 cch = c.byte();
    const quint8 flags = c.byte();
    return c.chars(cch, flags & 0x01);
}

void ensureGsf() {
    static std::once_flag once;
    std::call_once(once, [] { gsf_init(); });
}

template <typename T>
struct GObjectPtr {
    T* p = nullptr;
    ~GObjectPtr() {
        if (p)
            g_object_unref(p);
    }
};

[[noreturn]] void tooLarge() {
    throw EBrvWorkbookError(
        QStringLiteral("Die Datei ist mit mehr als %1 MB zu groß für eine Excel 97-2003-Arbeitsmappe mit einer "
                       "Anlagenliste.")
            .arg(kMaxXlsFileSize >> 20));
}

// The "Workbook" stream of the container; it is never larger than the container.
QByteArray workbookStream(GsfInput* input) {
    if (gsf_input_size(input) > kMaxXlsFileSize)
        tooLarge();
    GError* err = nullptr;
    GObjectPtr<GsfInfile> ole{gsf_infile_msole_new(input, &err)};
    if (!ole.p) {
        // The library's reason is English and says no more to the user than this.
        if (err)
            g_error_free(err);
        xlsFails(QStringLiteral("Der OLE-Container der Datei ist beschädigt oder unvollständig."));
    }
    GObjectPtr<GsfInput> stream{gsf_infile_child_by_name(ole.p, "Workbook")};
    if (!stream.p) {
        GObjectPtr<GsfInput> book{gsf_infile_child_by_name(ole.p, "Book")};
        if (book.p)
            throw EBrvWorkbookError(QStringLiteral(
                "Die Arbeitsmappe ist im Format von Excel 5.0/95 gespeichert, das nicht gelesen werden kann.\r\nBitte "
                "speichern Sie sie als Excel-Arbeitsmappe (.xlsx) oder als Excel 97-2003-Arbeitsmappe (.xls) und lesen "
                "Sie sie erneut ein."));
        xlsFails(QStringLiteral("Die Datei enthält keine Arbeitsmappe."));
    }
    const gsf_off_t size = gsf_input_size(stream.p);
    if (size < 0 || size > kMaxXlsFileSize)
        xlsFails(QStringLiteral("Die Arbeitsmappe ist zu groß oder beschädigt."));
    QByteArray out(qsizetype(size), Qt::Uninitialized);
    if (size > 0 && !gsf_input_read(stream.p, size_t(size), reinterpret_cast<guint8*>(out.data())))
        xlsFails(QStringLiteral("Die Arbeitsmappe kann nicht gelesen werden."));
    return out;
}

QByteArray workbookStream(const QByteArray& bytes) {
    ensureGsf();
    if (bytes.size() > kMaxXlsFileSize)
        tooLarge();
    GObjectPtr<GsfInput> mem{
        gsf_input_memory_new(reinterpret_cast<const guint8*>(bytes.constData()), bytes.size(), FALSE)};
    if (!mem.p)
        xlsFails(QStringLiteral("Die Datei kann nicht gelesen werden."));
    return workbookStream(mem.p);
}

QByteArray workbookStreamOfFile(const QString& path) {
    ensureGsf();
    GError* err = nullptr;
    GObjectPtr<GsfInput> file{gsf_input_stdio_new(QFile::encodeName(path).constData(), &err)};
    if (!file.p) {
        const QString why = err ? QString::fromUtf8(err->message) : QString();
        if (err)
            g_error_free(err);
        throw EBrvWorkbookError(QStringLiteral("Die Datei kann nicht gelesen werden: ") + why);
    }
    return workbookStream(file.p);
}

Worksheet readXls(const QByteArray& stream);

} // namespace

Worksheet ReadXlsBytes(const QByteArray& bytes) {
    return readXls(workbookStream(bytes));
}

Worksheet ReadXlsFile(const QString& path) {
    return readXls(workbookStreamOfFile(path));
}

namespace {

Worksheet readXls(const QByteArray& stream) {
    Records rec(stream, 0);
    Record r;
    if (!rec.next(r) || r.type != kBof || r.len < 4)
        xlsFails(QStringLiteral("Der Anfang der Arbeitsmappe fehlt."));
    if (u16(r.data) != 0x0600)
        throw EBrvWorkbookError(QStringLiteral("Die Arbeitsmappe ist im Format von Excel 5.0/95 gespeichert, das nicht "
                                               "gelesen werden kann.\r\nBitte speichern "
                                               "Sie sie als Excel-Arbeitsmappe (.xlsx) oder als Excel "
                                               "97-2003-Arbeitsmappe (.xls) und lesen Sie sie erneut ein."));

    // Workbook globals: date system, sheets, shared strings, number formats and cell formats.
    bool date1904 = false;
    qint64 firstSheet = -1;
    QString firstName; // of the first sheet, whatever it is
    Worksheet ws;
    QVector<QString> sst;
    QHash<int, QString> formats;
    QVector<int> xfFormat;
    while (rec.next(r) && r.type != kEof) {
        switch (r.type) {
        case kFilePass:
            throw EBrvWorkbookError(QStringLiteral("Die Arbeitsmappe ist mit einem Kennwort geschützt und kann nicht "
                                                   "gelesen werden.\r\nBitte speichern Sie sie ohne Kennwort."));
        case kDateMode:
            if (r.len >= 2)
                date1904 = u16(r.data) == 1;
            break;
        case kBoundSheet: {
            // The first sheet that is a worksheet (not a chart or macro sheet); a hidden one is read all the same.
            if (r.len < 8 || firstSheet >= 0)
                break;
            const QString name = recordString(r, 6, false);
            const bool first = firstName.isNull();
            if (first)
                firstName = name.isNull() ? QStringLiteral("") : name;
            if (r.data[5] != 0)
                break;
            firstSheet = u32(r.data);
            ws.sheetName = name;
            if (!first)
                ws.sheetNotice = QStringLiteral("Das erste Blatt \"%1\" der Arbeitsmappe ist kein Tabellenblatt "
                                                "(sondern ein Diagramm); gelesen wurde das Tabellenblatt \"%2\".")
                                     .arg(firstName, name);
            if (r.data[4] & 0x03)
                ws.sheetNotice += (ws.sheetNotice.isEmpty() ? QString() : QStringLiteral(" ")) +
                                  QStringLiteral("Das %1 Tabellenblatt \"%2\" ist ausgeblendet; es wurde trotzdem "
                                                 "gelesen.")
                                      .arg(first ? QStringLiteral("erste") : QStringLiteral("gelesene"), name);
            break;
        }
        case kFormat:
            if (r.len >= 2)
                formats.insert(u16(r.data), recordString(r, 2));
            break;
        case kXf:
            if (r.len >= 4)
                xfFormat.append(u16(r.data + 2));
            break;
        case kSst: {
            Continued c = withContinues(r, rec);
            if (r.len < 8)
                damaged();
            const quint32 unique = u32(r.data + 4);
            // Each string takes at least three bytes: the declared count cannot exceed what the records hold. Beyond
            // a register's strings the table grows as it is read, counted against the budget.
            sst.reserve(qsizetype(std::min<quint64>({unique, quint64(stream.size()) / 3, quint64(1) << 16})));
            c.skip(8);
            for (quint32 i = 0; i < unique && !c.atEnd(); ++i) {
                QString s = unicodeString(c, true);
                if (s.size() > Worksheet::kMaxCellText)
                    s.truncate(Worksheet::kMaxCellText - (s[Worksheet::kMaxCellText - 1].isHighSurrogate() ? 1 : 0));
                ws.charge(Worksheet::kStringCost + s.size());
                sst.append(std::move(s));
            }
            break;
        }
        default:
            break;
        }
    }
    if (firstSheet < 0)
        xlsFails(QStringLiteral("Die Arbeitsmappe enthält kein Tabellenblatt."));

    auto isDate = [&](int xf) {
        if (xf < 0 || xf >= xfFormat.size())
            return false;
        const int id = xfFormat[xf];
        return NumberFormatIsDate(id, formats.value(id));
    };
    auto put = [&](int row, int col, Worksheet::Cell cell) { ws.set(row + 1, col + 1, std::move(cell)); };
    auto number = [&](int row, int col, int xf, double v) {
        Worksheet::Cell cell;
        if (!std::isfinite(v))
            return;
        if (isDate(xf) && SerialIsDate(v, date1904)) {
            cell.kind = Worksheet::Kind::Date;
            // The 1900 system counts the 29th of February 1900 that never was.
            cell.number = date1904 ? v + 1462.0 : (v < 61 ? v + 1 : v);
        } else {
            cell.kind = Worksheet::Kind::Number;
            cell.number = v;
        }
        put(row, col, std::move(cell));
    };
    auto text = [&](int row, int col, QString t) {
        Worksheet::Cell cell;
        cell.kind = Worksheet::Kind::Text;
        cell.text = std::move(t);
        put(row, col, std::move(cell));
    };

    Records sheet(stream, qsizetype(firstSheet));
    if (!sheet.next(r) || r.type != kBof)
        xlsFails(QStringLiteral("Das erste Tabellenblatt ist beschädigt."));
    while (sheet.next(r) && r.type != kEof) {
        if (r.type == kBof) // an embedded chart or object: skip to its end
        {
            int depth = 1;
            while (depth > 0 && sheet.next(r))
                depth += r.type == kBof ? 1 : r.type == kEof ? -1 : 0;
            continue;
        }
        if (r.type == kMergedCells && r.len >= 2) {
            const int n = std::min<int>(u16(r.data), (r.len - 2) / 8);
            for (int i = 0; i < n; ++i) {
                const quint8* p = r.data + 2 + 8 * i;
                ws.addMerge(u16(p) + 1, u16(p + 4) + 1, u16(p + 2) + 1, u16(p + 6) + 1);
            }
            continue;
        }
        if (r.len < 6)
            continue;
        const int row = u16(r.data), col = u16(r.data + 2), xf = u16(r.data + 4);
        switch (r.type) {
        case kLabelSst:
            if (r.len >= 10) {
                const quint32 i = u32(r.data + 6);
                if (i < quint32(sst.size()))
                    text(row, col, sst[int(i)]);
            }
            break;
        case kLabel:
        case kRString:
            text(row, col, recordString(r, 6));
            break;
        case kNumber:
            if (r.len >= 14)
                number(row, col, xf, f64(r.data + 6));
            break;
        case kRk:
            if (r.len >= 10)
                number(row, col, xf, rkValue(u32(r.data + 6)));
            break;
        case kMulRk: {
            // Row, first column, then (format, value) six bytes each, then the last column.
            const int n = (r.len - 6) / 6;
            for (int i = 0; i < n; ++i) {
                const quint8* p = r.data + 4 + 6 * i;
                number(row, col + i, u16(p), rkValue(u32(p + 2)));
            }
            break;
        }
        case kBoolErr:
            if (r.len >= 8) {
                Worksheet::Cell cell;
                if (r.data[7]) {
                    cell.kind = Worksheet::Kind::Error;
                    cell.text = errorText(r.data[6]);
                } else {
                    cell.kind = Worksheet::Kind::Bool;
                    cell.number = r.data[6] ? 1 : 0;
                }
                put(row, col, std::move(cell));
            }
            break;
        case kFormula: {
            if (r.len < 14)
                break;
            const quint8* res = r.data + 6;
            if (u16(res + 6) != 0xFFFF) {
                number(row, col, xf, f64(res));
                break;
            }
            Worksheet::Cell cell;
            switch (res[0]) {
            case 0: { // a text: its value follows in a STRING record
                Record s;
                if (sheet.peek(s) && s.type == kString) {
                    sheet.next(s);
                    Continued c = withContinues(s, sheet);
                    cell.kind = Worksheet::Kind::Text;
                    cell.text = unicodeString(c, false);
                } else {
                    cell.kind = Worksheet::Kind::NoValue; // the file does not hold the result
                }
                break;
            }
            case 1:
                cell.kind = Worksheet::Kind::Bool;
                cell.number = res[2] ? 1 : 0;
                break;
            case 2:
                cell.kind = Worksheet::Kind::Error;
                cell.text = errorText(res[2]);
                break;
            default: // 3: an empty text
                break;
            }
            if (cell.kind != Worksheet::Kind::Empty)
                put(row, col, std::move(cell));
            break;
        }
        default:
            break;
        }
    }
    ws.finishMerges();
    return ws;
}

} // namespace
