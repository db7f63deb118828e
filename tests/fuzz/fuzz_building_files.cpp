// The building reference files ("DataGebTypes.dat", "DataBauteile.dat", "DataAufzug.dat") on any bytes.
#include "building/gebtypes.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    try {
        (void)DecodeCatalogueRecords(bytes, kGebBauteilRecordSize, DecodeGebBauteilRecord,
                                     QStringLiteral("DataBauteile.dat"));
    } catch (const Exception&) {
    }
    try {
        (void)DecodeCatalogueRecords(bytes, kGebAufzugRecordSize, DecodeGebAufzugRecord,
                                     QStringLiteral("DataAufzug.dat"));
    } catch (const Exception&) {
    }
    try {
        (void)DecodeCatalogueRecords(bytes, kGebTypeRecordSize, DecodeGebTypeRecord,
                                     QStringLiteral("DataGebTypes.dat"));
    } catch (const Exception&) {
    }
    return 0;
}
