// The .xlsx reader on any bytes, and the import layouts on what it reads: a worksheet or a German message, never a
// crash.
#include "import/importer.h"
#include "import/workbook.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    try {
        const Worksheet ws = ReadXlsxBytes(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
        for (int r = 1; r <= ws.rowCount() && r <= 50; ++r) {
            (void)ws.rowUsed(r);
            for (int c = 1; c <= 40; ++c)
                (void)ws.cell(r, c);
        }
        if (ws.lastUsedRow() < ws.rowCount() && ws.cellCount() > 0 && ws.rowUsed(ws.rowCount()))
            __builtin_trap(); // a row held with a value is a row used
        (void)ws.cell(Worksheet::kHeldRows, Worksheet::kHeldColumns);
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
