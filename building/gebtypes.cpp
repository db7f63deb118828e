#include "building/gebtypes.h"
#include "db/schema.h"

#include "db/binrecord.h"
#include "db/dbaccess.h"
#include "platform/paths.h"

#include <QDir>
#include <QFile>

#include <cstring>
#include <functional>
#include <optional>

TGebType DecodeGebTypeRecord(const char* r) {
    TGebType t;
    t.PID = DecodeShortText(r + 0);
    t.GEBCAPTION = DecodeShortText(r + 256);
    t.LIFETIMEMIN = Int32At(r + 512);
    t.LIFETIMEMAX = Int32At(r + 516);
    t.DESCRIPTION = DecodeWideText(r + 520);
    t.AUSFROHBAU = DecodeWideText(r + 4522);
    t.AUSFEINFACH = DecodeWideText(r + 8524);
    t.AUSFNORMAL = DecodeWideText(r + 12526);
    t.AUSFGUT = DecodeWideText(r + 16528);
    t.RICHTPROH = DecodeShortText(r + 20530);
    t.RICHTPEINFACH = DecodeShortText(r + 20786);
    t.RICHTPNORMAL = DecodeShortText(r + 21042);
    t.RICHTPGUT = DecodeShortText(r + 21298);
    t.INDEXNR = Int32At(r + 21556);
    t.RICHTPREISART = DecodeShortText(r + 21560);
    t.RICHTBASISEINH = DecodeShortText(r + 21816);
    t.HERKUNFT = DecodeShortText(r + 22072);
    t.UST = DecodeShortText(r + 22328);
    return t;
}

void DeleteAllGebTypes() {
    BrvExec(QStringLiteral("DELETE FROM TABGEBTYPES;"));
    BrvCommit();
}

void InsertGebType(const TGebType& t, bool commit) {
    BrvExec(QStringLiteral("INSERT INTO TABGEBTYPES (PID, GEBCAPTION, LIFETIMEMIN, LIFETIMEMAX, DESCRIPTION, "
                           "AUSFROHBAU, AUSFEINFACH, AUSFNORMAL, AUSFGUT, RICHTPROH, RICHTPEINFACH, RICHTPNORMAL, "
                           "RICHTPGUT, INDEXNR, RICHTPREISART, RICHTBASISEINH, HERKUNFT, UST) "
                           "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
            t.PID, t.GEBCAPTION, t.LIFETIMEMIN, t.LIFETIMEMAX, SqlBlob{t.DESCRIPTION}, SqlBlob{t.AUSFROHBAU},
            SqlBlob{t.AUSFEINFACH}, SqlBlob{t.AUSFNORMAL}, SqlBlob{t.AUSFGUT}, t.RICHTPROH, t.RICHTPEINFACH,
            t.RICHTPNORMAL, t.RICHTPGUT, t.INDEXNR, t.RICHTPREISART, t.RICHTBASISEINH, t.HERKUNFT, t.UST);
    if (commit)
        BrvCommit();
}

namespace {
// The records of one reference file, read and checked whole.
template <typename T>
struct CatalogueFile {
    QString path;
    QList<T> records;
};

// Empty when the file is absent; raises EBrvCommonException naming the file when it cannot be read or is damaged.
template <typename T>
std::optional<CatalogueFile<T>> readCatalogue(const QString& folder, const char* fileName, int recordSize,
                                              T (*decode)(const char*)) {
    const QString path = platform::withTrailingSeparator(folder) + QString::fromLatin1(fileName);
    QFile f(path);
    if (!f.exists())
        return std::nullopt;
    if (!f.open(QIODevice::ReadOnly))
        throw EBrvCommonException(
            QStringLiteral("Die Datei %1 kann nicht gelesen werden: %2").arg(path, f.errorString()));
    const QByteArray bytes = f.readAll();
    if (f.error() != QFileDevice::NoError)
        throw EBrvCommonException(
            QStringLiteral("Die Datei %1 kann nicht gelesen werden: %2").arg(path, f.errorString()));
    return CatalogueFile<T>{path, DecodeCatalogueRecords(bytes, recordSize, decode, path)};
}

// Replaces the table by the file's records in one unit of work: a record the database refuses leaves the table as
// it was. Returns the count message.
template <typename T>
QString replaceCatalogue(const CatalogueFile<T>& file, const char* table, void (*insert)(const T&), const char* what) {
    int count = 0;
    try {
        BrvUnitOfWork work;
        BrvExec(QStringLiteral("DELETE FROM %1").arg(QLatin1String(table)));
        for (const T& r : file.records) {
            insert(r);
            ++count;
        }
        work.commit();
    } catch (const Exception& e) {
        throw EBrvCommonException(
            QStringLiteral("Die Datei %1 konnte nicht übernommen werden: Datensatz %2 wurde von der "
                           "Datenbank abgewiesen.\r\nDie bisherigen Daten bleiben unverändert.\r\n"
                           "Systemmeldung: %3")
                .arg(file.path)
                .arg(count + 1)
                .arg(e.message()));
    }
    return QStringLiteral("Es wurden %1 Datensätze in %2 importiert.").arg(count).arg(QString::fromUtf8(what));
}

void insertGebTypeRow(const TGebType& t) {
    InsertGebType(t, false);
}
void insertGebBauteilRow(const TGebBauteil& b) {
    InsertGebBauteil(b, false);
}
void insertGebAufzugRow(const TGebAufzug& a) {
    InsertGebAufzug(a, false);
}

auto readGebTypes(const QString& folder) {
    return readCatalogue<TGebType>(folder, "DataGebTypes.dat", kGebTypeRecordSize, DecodeGebTypeRecord);
}
auto readBauteile(const QString& folder) {
    return readCatalogue<TGebBauteil>(folder, "DataBauteile.dat", kGebBauteilRecordSize, DecodeGebBauteilRecord);
}
auto readAufzuege(const QString& folder) {
    return readCatalogue<TGebAufzug>(folder, "DataAufzug.dat", kGebAufzugRecordSize, DecodeGebAufzugRecord);
}
QString replaceGebTypes(const CatalogueFile<TGebType>& f) {
    return replaceCatalogue(f, "TABGEBTYPES", insertGebTypeRow, "Gebäudetypen");
}
QString replaceBauteile(const CatalogueFile<TGebBauteil>& f) {
    return replaceCatalogue(f, "TABGEBBAUTEILE", insertGebBauteilRow, "Bauteile");
}
QString replaceAufzuege(const CatalogueFile<TGebAufzug>& f) {
    return replaceCatalogue(f, "TABGEBAUFZUG", insertGebAufzugRow, "Aufzugsanlagen");
}

} // namespace

// Each single import reads and checks its whole file before it replaces the table; an absent file leaves it alone.
QString ImportGebTypeDAT(const QString& datFileFolder) {
    const auto f = readGebTypes(datFileFolder);
    return f ? replaceGebTypes(*f) : QString();
}

QString ImportBauteileDAT(const QString& datFileFolder) {
    const auto f = readBauteile(datFileFolder);
    return f ? replaceBauteile(*f) : QString();
}

QString ImportAufzugDat(const QString& datFileFolder) {
    const auto f = readAufzuege(datFileFolder);
    return f ? replaceAufzuege(*f) : QString();
}

QString EmptyCatalogueQuestion(const QString& path) {
    return QStringLiteral("Die Datei %1 enthält keine Datensätze. Soll die Tabelle trotzdem geleert werden?").arg(path);
}

QString TGebDataImport::ImportUpdateData(const QString& folderName, const EmptyFileAnswer& emptyAllowed) {
    if (!QDir(folderName).exists())
        return {};
    // Every file present is read and checked before any table is replaced: a damaged file of the update leaves all
    // three catalogues as they were.
    const auto bauteile = readBauteile(folderName);
    const auto aufzuege = readAufzuege(folderName);
    const auto typen = readGebTypes(folderName);
    // A file without records would empty a catalogue the building editor depends on; that happens only on request.
    const auto checkEmpty = [&emptyAllowed](const auto& file) {
        if (file && file->records.isEmpty() && !(emptyAllowed && emptyAllowed(file->path)))
            throw EBrvEmptyFileRefused(
                QStringLiteral("Die Datei %1 enthält keine Datensätze und wurde nicht übernommen.\r\n"
                               "Die Gebäudetypen, Bauteile und Aufzugsanlagen bleiben unverändert.")
                    .arg(file->path));
    };
    checkEmpty(bauteile);
    checkEmpty(aufzuege);
    checkEmpty(typen);
    // The three catalogues belong together (a type names its components and elevators): one unit of work replaces
    // them, so a record the database refuses in the last file leaves the first two as they were as well.
    QString report;
    try {
        BrvUnitOfWork work;
        for (const QString& part :
             {bauteile ? replaceBauteile(*bauteile) : QString(), aufzuege ? replaceAufzuege(*aufzuege) : QString(),
              typen ? replaceGebTypes(*typen) : QString()})
            if (!part.isEmpty())
                report += part + QStringLiteral("\r\n");
        work.commit();
    } catch (const EBrvCommonException& e) {
        throw EBrvCommonException(e.message() + QStringLiteral("\r\nKeiner der Gebäude-Kataloge wurde geändert."));
    } catch (const Exception& e) {
        throw EBrvCommonException(QStringLiteral("Die Gebäudedaten konnten nicht gespeichert werden; keiner der "
                                                 "Gebäude-Kataloge wurde geändert.\r\nSystemmeldung: ") +
                                  e.message());
    }
    return report.isEmpty() ? QStringLiteral("Keine Daten importiert") : report;
}

TGebBauteil DecodeGebBauteilRecord(const char* r) {
    TGebBauteil b;
    b.PID = DecodeShortText(r);
    b.Caption = DecodeShortText(r + 256);
    b.Minpreis = DoubleAt(r + 512);
    b.Maxpreis = DoubleAt(r + 520);
    b.Einheit = DecodeShortText(r + 528);
    b.Pos = Int32At(r + 784);
    b.Sonst = DecodeShortText(r + 788);
    return b;
}

TGebAufzug DecodeGebAufzugRecord(const char* r) {
    TGebAufzug a;
    a.PID = DecodeShortText(r);
    a.AufzugCaption = DecodeShortText(r + 256);
    a.Nutzlast = DecodeShortText(r + 512);
    a.Haltestellen = Int32At(r + 768);
    a.Minpreis = DoubleAt(r + 776);
    a.Maxpreis = DoubleAt(r + 784);
    a.ExtrahaltestelleMin = DoubleAt(r + 792);
    a.ExtrahaltestelleMax = DoubleAt(r + 800);
    a.Einheit = DecodeShortText(r + 808);
    return a;
}

QByteArray EncodeGebTypeRecord(const TGebType& t) {
    QByteArray r(kGebTypeRecordSize, '\0');
    PutBytes(r, 0, EncodeShortText(t.PID));
    PutBytes(r, 256, EncodeShortText(t.GEBCAPTION));
    PutInt32(r.data() + 512, t.LIFETIMEMIN);
    PutInt32(r.data() + 516, t.LIFETIMEMAX);
    PutBytes(r, 520, EncodeWideText(t.DESCRIPTION));
    PutBytes(r, 4522, EncodeWideText(t.AUSFROHBAU));
    PutBytes(r, 8524, EncodeWideText(t.AUSFEINFACH));
    PutBytes(r, 12526, EncodeWideText(t.AUSFNORMAL));
    PutBytes(r, 16528, EncodeWideText(t.AUSFGUT));
    PutBytes(r, 20530, EncodeShortText(t.RICHTPROH));
    PutBytes(r, 20786, EncodeShortText(t.RICHTPEINFACH));
    PutBytes(r, 21042, EncodeShortText(t.RICHTPNORMAL));
    PutBytes(r, 21298, EncodeShortText(t.RICHTPGUT));
    PutInt32(r.data() + 21556, t.INDEXNR);
    PutBytes(r, 21560, EncodeShortText(t.RICHTPREISART));
    PutBytes(r, 21816, EncodeShortText(t.RICHTBASISEINH));
    PutBytes(r, 22072, EncodeShortText(t.HERKUNFT));
    PutBytes(r, 22328, EncodeShortText(t.UST));
    return r;
}

QByteArray EncodeGebBauteilRecord(const TGebBauteil& b) {
    QByteArray r(kGebBauteilRecordSize, '\0');
    PutBytes(r, 0, EncodeShortText(b.PID));
    PutBytes(r, 256, EncodeShortText(b.Caption));
    PutDouble(r.data() + 512, b.Minpreis);
    PutDouble(r.data() + 520, b.Maxpreis);
    PutBytes(r, 528, EncodeShortText(b.Einheit));
    PutInt32(r.data() + 784, b.Pos);
    PutBytes(r, 788, EncodeShortText(b.Sonst));
    return r;
}

QByteArray EncodeGebAufzugRecord(const TGebAufzug& a) {
    QByteArray r(kGebAufzugRecordSize, '\0');
    PutBytes(r, 0, EncodeShortText(a.PID));
    PutBytes(r, 256, EncodeShortText(a.AufzugCaption));
    PutBytes(r, 512, EncodeShortText(a.Nutzlast));
    PutInt32(r.data() + 768, a.Haltestellen);
    PutDouble(r.data() + 776, a.Minpreis);
    PutDouble(r.data() + 784, a.Maxpreis);
    PutDouble(r.data() + 792, a.ExtrahaltestelleMin);
    PutDouble(r.data() + 800, a.ExtrahaltestelleMax);
    PutBytes(r, 808, EncodeShortText(a.Einheit));
    return r;
}

void DeleteAllGebBauteile() {
    BrvExec(QStringLiteral("DELETE FROM TABGEBBAUTEILE;"));
    BrvCommit();
}

void InsertGebBauteil(const TGebBauteil& b, bool commit) {
    BrvExec(
        QStringLiteral("INSERT INTO TABGEBBAUTEILE (PID, Caption, Minrichtpreis, Maxrichtpreis, Einheit, POS, Sonst) "
                       "VALUES (?, ?, ?, ?, ?, ?, ?)"),
        b.PID, b.Caption, b.Minpreis, b.Maxpreis, b.Einheit, b.Pos, b.Sonst);
    if (commit)
        BrvCommit();
}

QList<TGebBauteil> GetGebBauteile() {
    QList<TGebBauteil> list;
    BrvSql q(
        QStringLiteral("SELECT PID, Caption, Minrichtpreis, Maxrichtpreis, Einheit, POS, Sonst FROM TABGEBBAUTEILE "
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

void InsertGebAufzug(const TGebAufzug& a, bool commit) {
    BrvExec(QStringLiteral(
                "INSERT INTO TABGEBAUFZUG (PID, AufzugCaption, Nutzlast, Haltestellen, MinRichtpreis, "
                "MaxRichtpreis, ExtraHaltestelleMin, ExtraHaltestelleMax, Einheit) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"),
            a.PID, a.AufzugCaption, a.Nutzlast, a.Haltestellen, a.Minpreis, a.Maxpreis, a.ExtrahaltestelleMin,
            a.ExtrahaltestelleMax, a.Einheit);
    if (commit)
        BrvCommit();
}

QList<TGebAufzug> GetGebAufzuege() {
    QList<TGebAufzug> list;
    BrvSql q(QStringLiteral(
        "SELECT PID, AufzugCaption, Nutzlast, Haltestellen, MinRichtpreis, MaxRichtpreis, "
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

void RegisterGebSchemaHooks() {
    SetGebTypesImport([](const QString& folder) { ImportGebTypeDAT(folder); });
}
