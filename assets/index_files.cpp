#include "assets/index_files.h"

#include "db/binrecord.h"
#include "db/dbaccess.h"
#include "platform/atomic_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

const int kValueSize = 16;
const int kDescriptionSize = 784;

void putInt(char* p, qint32 v) {
    PutInt32(p, v);
}
qint32 getInt(const char* p) {
    return Int32At(p);
}

QByteArray readWhole(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw Exception(QStringLiteral("Die Datei %1 kann nicht gelesen werden: %2").arg(path, f.errorString()));
    return f.readAll();
}

void checkSize(const QByteArray& bytes, int recordSize, const QString& source) {
    if (bytes.size() % recordSize != 0)
        throw Exception(QStringLiteral("Die Datei %1 ist unvollständig (%2 Bytes sind kein Vielfaches von %3).")
                            .arg(source)
                            .arg(bytes.size())
                            .arg(recordSize));
}

// The whole file or none: a failure leaves a file of that name as it was.
void writeWhole(const QString& path, const QByteArray& bytes) {
    if (const QString why = platform::WriteFileAtomically(path, bytes); !why.isEmpty())
        throw Exception(why);
}

} // namespace

QByteArray EncodeIndexValue(const IndexValueRecord& r) {
    QByteArray out(kValueSize, '\0');
    putInt(out.data(), r.kategorie);
    putInt(out.data() + 4, r.jahr);
    qToLittleEndian(r.wert, out.data() + 8);
    return out;
}

QByteArray EncodeIndexDescription(const IndexDescriptionRecord& r) {
    QByteArray out(kDescriptionSize, '\0');
    putInt(out.data(), r.kategorie);
    putInt(out.data() + 4, r.indexNr);
    putInt(out.data() + 8, r.indexSubNr);
    std::memcpy(out.data() + 12, EncodeShortText(r.text).constData(), 256);
    std::memcpy(out.data() + 268, EncodeShortText(r.gpSystematik).constData(), 256);
    std::memcpy(out.data() + 524, EncodeShortText(r.sichtbar).constData(), 256);
    putInt(out.data() + 780, r.nutzungsdauer);
    return out;
}

int IndexYear(const IndexValueRecord& r) {
    return qint16(r.jahr & 0xFFFF);
}

QList<IndexValueRecord> ReadIndexValueFile(const QString& path) {
    return DecodeIndexValues(readWhole(path), path);
}

QList<IndexDescriptionRecord> ReadIndexDescriptionFile(const QString& path) {
    return DecodeIndexDescriptions(readWhole(path), path);
}

QList<IndexValueRecord> DecodeIndexValues(const QByteArray& bytes, const QString& source) {
    checkSize(bytes, kValueSize, source);
    QList<IndexValueRecord> out;
    out.reserve(bytes.size() / kValueSize);
    for (qsizetype at = 0; at < bytes.size(); at += kValueSize) {
        const char* p = bytes.constData() + at;
        const IndexValueRecord r{getInt(p), getInt(p + 4), qFromLittleEndian<double>(p + 8)};
        // The valuation divides by the index of the acquisition year and multiplies by the current one: a value
        // that is no positive number would give every asset of the category an insured value of 0 or none at all,
        // without a word. Such a file is refused as a whole.
        if (!std::isfinite(r.wert) || r.wert <= 0)
            throw Exception(
                QStringLiteral("Die Datei %1 enthält im Datensatz %2 (Kategorie %3, Jahr %4) den "
                               "ungültigen Indexwert %5; ein Indexwert muss eine Zahl größer als 0 sein.\r\n"
                               "Die Indexdaten wurden nicht geändert.")
                    .arg(source)
                    .arg(at / kValueSize + 1)
                    .arg(r.kategorie)
                    .arg(IndexYear(r))
                    .arg(std::isnan(r.wert) ? QStringLiteral("NaN")
                         : std::isinf(r.wert)
                             ? (r.wert > 0 ? QStringLiteral("+unendlich") : QStringLiteral("-unendlich"))
                             : QString::number(r.wert)));
        out.append(r);
    }
    return out;
}

QList<IndexDescriptionRecord> DecodeIndexDescriptions(const QByteArray& bytes, const QString& source) {
    checkSize(bytes, kDescriptionSize, source);
    QList<IndexDescriptionRecord> out;
    out.reserve(bytes.size() / kDescriptionSize);
    for (qsizetype at = 0; at < bytes.size(); at += kDescriptionSize) {
        const char* p = bytes.constData() + at;
        out.append({getInt(p), getInt(p + 4), getInt(p + 8), DecodeShortText(p + 12), DecodeShortText(p + 268),
                    DecodeShortText(p + 524), getInt(p + 780)});
    }
    return out;
}

QString EmptyIndexFileQuestion(const QString& path) {
    if (QFileInfo(path).fileName().compare(QLatin1String("idx_ex.dat"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("Die Datei %1 enthält keine Datensätze. Sollen trotzdem die Indexbeschreibungen "
                              "übernommen werden? Die Indexwerte bleiben unverändert.")
            .arg(path);
    return QStringLiteral("Die Datei %1 enthält keine Datensätze. Soll die Tabelle trotzdem geleert werden?").arg(path);
}

IndexImportResult ImportIndexFiles(const QString& folder, const std::function<bool(const QString&)>& confirm,
                                   const std::function<void(int, int)>& progress,
                                   const std::function<bool(const QString&)>& emptyAllowed) {
    IndexImportResult res;
    const QDir dir(folder);
    const QString descriptionPath = dir.filePath(QStringLiteral("idxb_ex.dat"));
    const QString valuePath = dir.filePath(QStringLiteral("idx_ex.dat"));
    // Both files are read and checked whole before the question: a bad value anywhere refuses the update.
    const QList<IndexDescriptionRecord> descriptions = ReadIndexDescriptionFile(descriptionPath);
    const QList<IndexValueRecord> values = ReadIndexValueFile(valuePath);
    // An empty description file would leave every category without its name; an empty value file carries no year.
    // Either is taken only on request.
    for (const QString& empty :
         {descriptions.isEmpty() ? descriptionPath : QString(), values.isEmpty() ? valuePath : QString()})
        if (!empty.isEmpty() && !(emptyAllowed && emptyAllowed(empty))) {
            res.refusedEmptyFile = empty;
            return res;
        }
    if (!values.isEmpty()) {
        res.year = IndexYear(values.first());
        if (res.year <= 0)
            return res;
    }
    // An update carries one year; the files a new installation starts from carry every year of the series. Each
    // year the file holds replaces that year, so a repeated import never meets its own rows.
    QList<int> years;
    for (const IndexValueRecord& v : values) {
        const int y = IndexYear(v);
        if (!years.contains(y))
            years.append(y);
    }
    std::sort(years.begin(), years.end());
    // Taking an empty value file was the answer to its own question already.
    res.confirmed = true;
    if (!years.isEmpty() && confirm)
        res.confirmed = confirm(
            years.size() == 1
                ? QStringLiteral("Bitte bestätigen Sie den Import der Indexdaten für das Jahr %1.").arg(res.year)
                : QStringLiteral("Bitte bestätigen Sie den Import der Indexdaten für die Jahre %1 bis %2.")
                      .arg(years.first())
                      .arg(years.last()));
    if (!res.confirmed)
        return res;
    // The whole replacement is one transaction: a file that breaks halfway leaves the series as they were.
    {
        BrvUnitOfWork work;
        for (int y : years)
            BrvExec(QStringLiteral("DELETE FROM INDEXWERTE WHERE INDEXJAHR = ?"), y);
        BrvExec(QStringLiteral("DELETE FROM INDEXBESCHREIBUNGEN"));
        const SqlTs now{BrvNow()};
        {
            fb::Query q(BrvRequireDb(),
                        QStringLiteral("INSERT INTO INDEXBESCHREIBUNGEN (BRV_MANDANT_NR, INSERT_TS, "
                                       "KATEGORIE_NR, INDEX_NR, INDEX_SUBNR, GP_SYSTEMATIK, SICHTBAR, "
                                       "INDEX_TEXT, NUTZUNGSDAUER) VALUES (1, ?, ?, ?, ?, ?, ?, ?, ?)"));
            for (const IndexDescriptionRecord& d : descriptions) {
                bindAll(*q, now, d.kategorie, d.indexNr, d.indexSubNr, d.gpSystematik.trimmed(), d.sichtbar,
                        d.text.trimmed(), d.nutzungsdauer);
                q->execute(BrvActiveTrans());
                if (progress && ++res.descriptions % 500 == 0)
                    progress(res.descriptions, 0);
            }
            res.descriptions = int(descriptions.size());
        }
        fb::Query q(BrvRequireDb(), QStringLiteral("INSERT INTO INDEXWERTE (BRV_MANDANT_NR, INSERT_TS, UPDATE_TS, "
                                                   "KATEGORIE_NR, INDEXJAHR, INDEXWERT) VALUES (1, ?, ?, ?, ?, ?)"));
        for (const IndexValueRecord& v : values) {
            bindAll(*q, now, now, v.kategorie, IndexYear(v), v.wert);
            q->execute(BrvActiveTrans());
            if (progress && ++res.values % 2000 == 0)
                progress(res.descriptions, res.values);
        }
        res.values = int(values.size());
        work.commit();
    }
    if (progress)
        progress(res.descriptions, res.values);
    return res;
}

IndexExportResult ExportIndexFiles(const QString& folder, int year) {
    IndexExportResult res;
    const QDir dir(folder);
    res.valueFile = dir.filePath(QStringLiteral("idx_ex.dat%1").arg(year));
    res.descriptionFile = dir.filePath(QStringLiteral("idxb_ex.dat%1").arg(year));
    QByteArray descriptions, values;
    {
        BrvSql q(QStringLiteral("SELECT KATEGORIE_NR, INDEX_NR, INDEX_SUBNR, INDEX_TEXT, GP_SYSTEMATIK, SICHTBAR, "
                                "NUTZUNGSDAUER FROM INDEXBESCHREIBUNGEN ORDER BY KATEGORIE_NR"));
        while (q.next()) {
            descriptions += EncodeIndexDescription(
                {q->asInt(0), q->asInt(1), q->asInt(2), q->asText(3), q->asText(4), q->asText(5), q->asInt(6)});
            ++res.descriptions;
        }
    }
    {
        BrvSql q(QStringLiteral("SELECT KATEGORIE_NR, INDEXJAHR, INDEXWERT FROM INDEXWERTE WHERE INDEXJAHR = ? "
                                "ORDER BY KATEGORIE_NR"),
                 year);
        while (q.next()) {
            values += EncodeIndexValue({q->asInt(0), q->asInt(1), q->asDouble(2)});
            ++res.values;
        }
    }
    BrvCommit();
    writeWhole(res.valueFile, values);
    writeWhole(res.descriptionFile, descriptions);
    return res;
}
