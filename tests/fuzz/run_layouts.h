#pragma once
// The import layouts on a workbook's bytes, for the workbook fuzz targets: every row staged or listed, never a
// crash, never more records staged than read.
#include "import/importer.h"

#include <cstddef>
#include <cstdint>

inline void RunImportLayouts(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    for (const ImportLayout layout : {ImportLayout::Excel, ImportLayout::Datev2021}) {
        ImportResult res;
        int staged = 0;
        ParseImportData(bytes, layout, {}, res, [&staged](const TBrenvikDatenimport&) { ++staged; });
        if (staged != res.staged || res.staged > res.records)
            __builtin_trap();
    }
}
