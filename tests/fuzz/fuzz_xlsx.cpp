// The .xlsx reader on any bytes, and the import layouts on what it reads: a worksheet or a German message, never a
// crash.
#include "import/workbook.h"
#include "run_layouts.h"

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
    RunImportLayouts(data, size);
    return 0;
}
