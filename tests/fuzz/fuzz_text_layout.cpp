// The text layout of the import with its checks (no database: accepted records are only counted). The first byte
// chooses the options. The same bytes go through the line reader, which gives lines or refuses the file.
#include "import/importer.h"
#include "import/text_lines.h"

#include <QBuffer>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    ImportOptions o;
    o.groups = data[0] & 1;
    o.extras = data[0] & 2;
    o.indexFromFile = data[0] & 4;
    ImportResult res;
    int staged = 0;
    ParseImportData(QByteArray(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1)), ImportLayout::Text, o,
                    res, [&staged](const TBrenvikDatenimport&) { ++staged; });
    (void)res.summaryText();

    QBuffer buf;
    buf.setData(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    buf.open(QIODevice::ReadOnly);
    try {
        TextLineReader reader(buf);
        QString line;
        qsizetype chars = 0;
        while (reader.next(line))
            chars += line.size() + 1;
        if (chars > qsizetype(size) * 2 + 2) // never more characters than bytes (two per byte at most, UTF-16)
            __builtin_trap();
        (void)reader.encodingNotice();
    } catch (const ETextFileError&) {
    }
    return 0;
}
