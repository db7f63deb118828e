#pragma once
// Writes binary workbooks (BIFF8 records in an OLE2 container made with libgsf) for the tests, record by record,
// so that every kind of cell record and every way of continuing a string can be put into a file.

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>

#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-outfile.h>
#include <gsf/gsf-output-stdio.h>
#include <gsf/gsf-utils.h>

#include <cstring>

namespace biff {

inline QByteArray u16(int v) {
    return QByteArray(1, char(v & 0xFF)) + char((v >> 8) & 0xFF);
}
inline QByteArray u32(quint32 v) {
    return u16(int(v & 0xFFFF)) + u16(int(v >> 16));
}
inline QByteArray f64(double d) {
    QByteArray b(8, 0);
    std::memcpy(b.data(), &d, 8); // little-endian machine
    return b;
}
inline QByteArray record(int type, const QByteArray& data) {
    return u16(type) + u16(int(data.size())) + data;
}

// The characters of a string: compressed (Latin-1) when every character fits a byte, else two bytes each.
inline QByteArray chars(const QString& s, bool high) {
    QByteArray out;
    for (const QChar c : s)
        out += high ? u16(c.unicode()) : QByteArray(1, char(c.unicode()));
    return out;
}
inline bool needsHigh(const QString& s) {
    for (const QChar c : s)
        if (c.unicode() > 0xFF)
            return true;
    return false;
}
// XLUnicodeString: length, option byte, characters.
inline QByteArray ustr(const QString& s) {
    const bool high = needsHigh(s);
    return u16(int(s.size())) + char(high ? 1 : 0) + chars(s, high);
}

inline QByteArray bof(int version = 0x0600, int kind = 0x0005) {
    return record(0x0809, u16(version) + u16(kind) + u16(0) + u16(0) + u32(0) + u32(0));
}
inline QByteArray eof() {
    return record(0x000A, {});
}
inline QByteArray cell(int row, int col, int xf) {
    return u16(row) + u16(col) + u16(xf);
}
inline QByteArray number(int row, int col, int xf, double v) {
    return record(0x0203, cell(row, col, xf) + f64(v));
}
inline QByteArray rk(int row, int col, int xf, quint32 v) {
    return record(0x027E, cell(row, col, xf) + u32(v));
}
inline QByteArray label(int row, int col, const QString& s) {
    return record(0x0204, cell(row, col, 0) + ustr(s));
}
inline QByteArray labelSst(int row, int col, int index, int xf = 0) {
    return record(0x00FD, cell(row, col, xf) + u32(quint32(index)));
}
// A formula (its tokens do not matter to a reader of results) with an 8-byte result.
inline QByteArray formula(int row, int col, int xf, const QByteArray& result) {
    return record(0x0006, cell(row, col, xf) + result + u16(0) + u32(0) + u16(3) + QByteArray("\x1e\x01\x00", 3));
}
inline QByteArray formulaNumber(int row, int col, int xf, double v) {
    return formula(row, col, xf, f64(v));
}
// type 0 text (a STRING record follows), 1 boolean, 2 error, 3 empty text
inline QByteArray formulaSpecial(int row, int col, int type, int value) {
    return formula(row, col, 0, QByteArray(1, char(type)) + char(0) + char(value) + QByteArray(3, 0) + u16(0xFFFF));
}
inline QByteArray xf(int format) {
    return record(0x00E0, u16(0) + u16(format) + QByteArray(16, 0));
}
inline QByteArray format(int id, const QString& code) {
    return record(0x041E, u16(id) + ustr(code));
}

// A workbook stream: globals (before the sheet list) and the substream of each sheet. kinds: 0 worksheet, 2 chart.
inline QByteArray workbook(const QByteArray& globals, const QList<QByteArray>& sheets, const QList<int>& kinds = {}) {
    auto boundsheets = [&](const QList<quint32>& offsets) {
        QByteArray b;
        for (int i = 0; i < sheets.size(); ++i) {
            const QString name = QStringLiteral("Blatt%1").arg(i + 1);
            b += record(0x0085, u32(offsets.value(i)) + char(0) + char(kinds.value(i, 0)) + char(name.size()) +
                                    char(0) + chars(name, false));
        }
        return b;
    };
    QList<quint32> offsets;
    quint32 pos =
        quint32(bof().size() + globals.size() + boundsheets(QList<quint32>(sheets.size(), 0)).size() + eof().size());
    for (const QByteArray& s : sheets) {
        offsets << pos;
        pos += quint32(s.size());
    }
    QByteArray out = bof() + globals + boundsheets(offsets) + eof();
    for (const QByteArray& s : sheets)
        out += s;
    return out;
}

// Writes the stream into an OLE2 container; false when libgsf could not.
inline bool writeContainer(const QString& path, const QByteArray& stream, const char* streamName = "Workbook") {
    static const bool initialised = [] {
        gsf_init();
        return true;
    }();
    (void)initialised;
    GError* err = nullptr;
    GsfOutput* sink = gsf_output_stdio_new(QFile::encodeName(path).constData(), &err);
    if (!sink)
        return false;
    GsfOutfile* ole = gsf_outfile_msole_new(sink);
    GsfOutput* child = gsf_outfile_new_child(ole, streamName, FALSE);
    const bool ok = gsf_output_write(child, size_t(stream.size()), reinterpret_cast<const guint8*>(stream.constData()));
    gsf_output_close(child);
    g_object_unref(child);
    gsf_output_close(GSF_OUTPUT(ole));
    g_object_unref(ole); // closing the container closed the file too
    g_object_unref(sink);
    return ok;
}

} // namespace biff
