// The .xls reader (OLE2 container and BIFF8 records) on any bytes: a worksheet or a German message, never a crash.
#include "import/importer.h"
#include "import/workbook.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    try {
        const Worksheet ws = ReadXlsBytes(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
        for (int r = 1; r <= ws.rowCount() && r <= 50; ++r)
            for (int c = 1; c <= 40; ++c)
                (void)ws.cell(r, c);
    } catch (const Exception&) {
    }
    // The layouts on the same sheet: every row staged or listed, never a crash, never more records than rows.
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    for (const ImportLayout layout : {ImportLayout::Excel, ImportLayout::Datev2021}) {
        ImportResult res;
        int staged = 0;
        ParseImportData(bytes, layout, {}, res, [&staged](const TBrenvikDatenimport&) { ++staged; });
        if (staged != res.staged || res.staged > res.records)
            __builtin_trap();
    }
    return 0;
}
