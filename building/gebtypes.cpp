#include "building/gebtypes.h"

#include "db/dbaccess.h"
#include "platform/paths.h"

#include <QFile>
#include <QStringDecoder>

#include <cstring>

namespace {

// The reference files are written on Windows machines with the Western code page.
QString shortText(const char* p) {
    const auto n = static_cast<unsigned char>(p[0]);
    QStringDecoder dec("windows-1252");
    return dec.decode(QByteArrayView(p + 1, n));
}

// 2001 UTF-16LE code units, ending at the first zero unit.
QString wideText(const char* p) {
    QString s;
    s.reserve(64);
    for (int i = 0; i < 2001; ++i) {
        const auto lo = static_cast<unsigned char>(p[2 * i]);
        const auto hi = static_cast<unsigned char>(p[2 * i + 1]);
        const char16_t u = static_cast<char16_t>(lo | (hi << 8));
        if (u == 0)
            break;
        s.append(QChar(u));
    }
    return s;
}

qint32 int32At(const char* p) {
    const auto* u = reinterpret_cast<const unsigned char*>(p);
    return static_cast<qint32>(quint32(u[0]) | (quint32(u[1]) << 8) | (quint32(u[2]) << 16) | (quint32(u[3]) << 24));
}

} // namespace

TGebType DecodeGebTypeRecord(const char* r) {
    TGebType t;
    t.PID = shortText(r + 0);
    t.GEBCAPTION = shortText(r + 256);
    t.LIFETIMEMIN = int32At(r + 512);
    t.LIFETIMEMAX = int32At(r + 516);
    t.DESCRIPTION = wideText(r + 520);
    t.AUSFROHBAU = wideText(r + 4522);
    t.AUSFEINFACH = wideText(r + 8524);
    t.AUSFNORMAL = wideText(r + 12526);
    t.AUSFGUT = wideText(r + 16528);
    t.RICHTPROH = shortText(r + 20530);
    t.RICHTPEINFACH = shortText(r + 20786);
    t.RICHTPNORMAL = shortText(r + 21042);
    t.RICHTPGUT = shortText(r + 21298);
    t.INDEXNR = int32At(r + 21556);
    t.RICHTPREISART = shortText(r + 21560);
    t.RICHTBASISEINH = shortText(r + 21816);
    t.HERKUNFT = shortText(r + 22072);
    t.UST = shortText(r + 22328);
    return t;
}

void DeleteAllGebTypes() {
    BrvExec(QStringLiteral("DELETE FROM TABGEBTYPES;"));
    BrvCommit();
}

void InsertGebType(const TGebType& t) {
    BrvExec(QStringLiteral("INSERT INTO TABGEBTYPES (PID, GEBCAPTION, LIFETIMEMIN, LIFETIMEMAX, DESCRIPTION, "
                           "AUSFROHBAU, AUSFEINFACH, AUSFNORMAL, AUSFGUT, RICHTPROH, RICHTPEINFACH, RICHTPNORMAL, "
                           "RICHTPGUT, INDEXNR, RICHTPREISART, RICHTBASISEINH, HERKUNFT, UST) "
                           "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
            t.PID, t.GEBCAPTION, t.LIFETIMEMIN, t.LIFETIMEMAX, SqlBlob{t.DESCRIPTION}, SqlBlob{t.AUSFROHBAU},
            SqlBlob{t.AUSFEINFACH}, SqlBlob{t.AUSFNORMAL}, SqlBlob{t.AUSFGUT}, t.RICHTPROH, t.RICHTPEINFACH,
            t.RICHTPNORMAL, t.RICHTPGUT, t.INDEXNR, t.RICHTPREISART, t.RICHTBASISEINH, t.HERKUNFT, t.UST);
    BrvCommit();
}

QString ImportGebTypeDAT(const QString& datFileFolder) {
    const QString path = platform::withTrailingSeparator(datFileFolder) + QStringLiteral("DataGebTypes.dat");
    QFile f(path);
    if (!f.exists())
        return {};
    if (!f.open(QIODevice::ReadOnly))
        throw EBrvCommonException(QStringLiteral("Die Datei %1 kann nicht gelesen werden: %2").arg(path, f.errorString()));
    DeleteAllGebTypes();
    int count = 0;
    QByteArray rec(kGebTypeRecordSize, '\0');
    for (;;) {
        const qint64 got = f.read(rec.data(), kGebTypeRecordSize);
        if (got == 0)
            break;
        if (got != kGebTypeRecordSize)
            throw EBrvCommonException(
                QStringLiteral("Die Datei %1 ist unvollständig: Datensatz %2 hat nur %3 von %4 Bytes.")
                    .arg(path)
                    .arg(count + 1)
                    .arg(got < 0 ? 0 : got)
                    .arg(kGebTypeRecordSize));
        InsertGebType(DecodeGebTypeRecord(rec.constData()));
        ++count;
    }
    return QStringLiteral("Es wurden %1 Datensätze in Gebäudetypen importiert.").arg(count);
}
