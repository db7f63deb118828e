#include "building/gebtypes.h"

#include "db/dbaccess.h"
#include "platform/paths.h"

#include <QDir>
#include <QFile>
#include <QStringDecoder>

#include <cstring>
#include <functional>

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

namespace {
// Replaces a catalogue table by the records of one reference file; empty when the file is absent.
QString importRecords(const QString& folder, const char* fileName, int recordSize, void (*deleteAll)(),
                      const std::function<void(const char*)>& insert, const char* what) {
    const QString path = platform::withTrailingSeparator(folder) + QString::fromLatin1(fileName);
    QFile f(path);
    if (!f.exists())
        return {};
    if (!f.open(QIODevice::ReadOnly))
        throw EBrvCommonException(QStringLiteral("Die Datei %1 kann nicht gelesen werden: %2").arg(path, f.errorString()));
    deleteAll();
    int count = 0;
    QByteArray rec(recordSize, '\0');
    for (;;) {
        const qint64 got = f.read(rec.data(), recordSize);
        if (got == 0)
            break;
        if (got != recordSize)
            throw EBrvCommonException(
                QStringLiteral("Die Datei %1 ist unvollständig: Datensatz %2 hat nur %3 von %4 Bytes.")
                    .arg(path)
                    .arg(count + 1)
                    .arg(got < 0 ? 0 : got)
                    .arg(recordSize));
        insert(rec.constData());
        ++count;
    }
    return QStringLiteral("Es wurden %1 Datensätze in %2 importiert.").arg(count).arg(QString::fromUtf8(what));
}

double doubleAt(const char* p) {
    double v;
    std::memcpy(&v, p, sizeof v); // the files are little-endian, as is every machine this runs on
    return v;
}
} // namespace

QString ImportGebTypeDAT(const QString& datFileFolder) {
    return importRecords(datFileFolder, "DataGebTypes.dat", kGebTypeRecordSize, DeleteAllGebTypes,
                         [](const char* r) { InsertGebType(DecodeGebTypeRecord(r)); }, "Gebäudetypen");
}

QString ImportBauteileDAT(const QString& datFileFolder) {
    return importRecords(datFileFolder, "DataBauteile.dat", kGebBauteilRecordSize, DeleteAllGebBauteile,
                         [](const char* r) { InsertGebBauteil(DecodeGebBauteilRecord(r)); }, "Bauteile");
}

QString ImportAufzugDat(const QString& datFileFolder) {
    return importRecords(datFileFolder, "DataAufzug.dat", kGebAufzugRecordSize, DeleteAllGebAufzuege,
                         [](const char* r) { InsertGebAufzug(DecodeGebAufzugRecord(r)); }, "Aufzugsanlagen");
}

QString TGebDataImport::ImportUpdateData(const QString& folderName) {
    if (!QDir(folderName).exists())
        return {};
    QString report;
    for (const QString& part : {::ImportBauteileDAT(folderName), ::ImportAufzugDat(folderName), ::ImportGebTypeDAT(folderName)})
        if (!part.isEmpty())
            report += part + QStringLiteral("\r\n");
    return report.isEmpty() ? QStringLiteral("Keine Daten importiert") : report;
}

TGebBauteil DecodeGebBauteilRecord(const char* r) {
    TGebBauteil b;
    b.PID = shortText(r);
    b.Caption = shortText(r + 256);
    b.Minpreis = doubleAt(r + 512);
    b.Maxpreis = doubleAt(r + 520);
    b.Einheit = shortText(r + 528);
    b.Pos = int32At(r + 784);
    b.Sonst = shortText(r + 788);
    return b;
}

TGebAufzug DecodeGebAufzugRecord(const char* r) {
    TGebAufzug a;
    a.PID = shortText(r);
    a.AufzugCaption = shortText(r + 256);
    a.Nutzlast = shortText(r + 512);
    a.Haltestellen = int32At(r + 768);
    a.Minpreis = doubleAt(r + 776);
    a.Maxpreis = doubleAt(r + 784);
    a.ExtrahaltestelleMin = doubleAt(r + 792);
    a.ExtrahaltestelleMax = doubleAt(r + 800);
    a.Einheit = shortText(r + 808);
    return a;
}

void DeleteAllGebBauteile() {
    BrvExec(QStringLiteral("DELETE FROM TABGEBBAUTEILE;"));
    BrvCommit();
}

void InsertGebBauteil(const TGebBauteil& b) {
    BrvExec(QStringLiteral("INSERT INTO TABGEBBAUTEILE (PID, Caption, Minrichtpreis, Maxrichtpreis, Einheit, POS, Sonst) "
                           "VALUES (?, ?, ?, ?, ?, ?, ?)"),
            b.PID, b.Caption, b.Minpreis, b.Maxpreis, b.Einheit, b.Pos, b.Sonst);
    BrvCommit();
}

QList<TGebBauteil> GetGebBauteile() {
    QList<TGebBauteil> list;
    BrvSql q(QStringLiteral("SELECT PID, Caption, Minrichtpreis, Maxrichtpreis, Einheit, POS, Sonst FROM TABGEBBAUTEILE "
                            "ORDER BY POS"));
    while (q.next()) {
        TGebBauteil b;
        b.PID = q->asText(0);
        b.Caption = q->asText(1);
        b.Minpreis = q->asDouble(2);
        b.Maxpreis = q->asDouble(3);
        b.Einheit = q->asText(4);
        b.Pos = q->asInt(5);
        b.Sonst = q->asText(6);
        list.append(b);
    }
    return list;
}

void DeleteAllGebAufzuege() {
    BrvExec(QStringLiteral("DELETE FROM TABGEBAUFZUG;"));
    BrvCommit();
}

void InsertGebAufzug(const TGebAufzug& a) {
    BrvExec(QStringLiteral("INSERT INTO TABGEBAUFZUG (PID, AufzugCaption, Nutzlast, Haltestellen, MinRichtpreis, "
                           "MaxRichtpreis, ExtraHaltestelleMin, ExtraHaltestelleMax, Einheit) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"),
            a.PID, a.AufzugCaption, a.Nutzlast, a.Haltestellen, a.Minpreis, a.Maxpreis, a.ExtrahaltestelleMin,
            a.ExtrahaltestelleMax, a.Einheit);
    BrvCommit();
}

QList<TGebAufzug> GetGebAufzuege() {
    QList<TGebAufzug> list;
    BrvSql q(QStringLiteral("SELECT PID, AufzugCaption, Nutzlast, Haltestellen, MinRichtpreis, MaxRichtpreis, "
                            "ExtraHaltestelleMin, ExtraHaltestelleMax, Einheit FROM TABGEBAUFZUG ORDER BY PID, AufzugCaption"));
    while (q.next()) {
        TGebAufzug a;
        a.PID = q->asText(0);
        a.AufzugCaption = q->asText(1);
        a.Nutzlast = q->asText(2);
        a.Haltestellen = q->asInt(3);
        a.Minpreis = q->asDouble(4);
        a.Maxpreis = q->asDouble(5);
        a.ExtrahaltestelleMin = q->asDouble(6);
        a.ExtrahaltestelleMax = q->asDouble(7);
        a.Einheit = q->asText(8);
        list.append(a);
    }
    return list;
}
