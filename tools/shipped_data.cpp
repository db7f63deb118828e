#include "tools/shipped_data.h"

#include "db/dbaccess.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QMap>

#include <cmath>

namespace {

// A semicolon table: lines starting with "#" are comments, the first other line names the columns.
class SourceTable {
public:
    SourceTable(const QString& folder, const QString& name) : name_(name) {
        QFile f(QDir(folder).filePath(name));
        if (!f.open(QIODevice::ReadOnly))
            throw Exception(
                QStringLiteral("Die Quelltabelle %1 kann nicht gelesen werden: %2").arg(f.fileName(), f.errorString()));
        int lineNo = 0;
        for (const QByteArray& raw : f.readAll().split('\n')) {
            ++lineNo;
            const QString line = QString::fromUtf8(raw).trimmed();
            if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
                continue;
            const QStringList fields = line.split(QLatin1Char(';'));
            if (columns_.isEmpty()) {
                for (int i = 0; i < fields.size(); ++i)
                    columns_.insert(fields[i].trimmed(), i);
                continue;
            }
            if (fields.size() != columns_.size())
                throw Exception(QStringLiteral("%1, Zeile %2: %3 statt %4 Felder.")
                                    .arg(name)
                                    .arg(lineNo)
                                    .arg(fields.size())
                                    .arg(columns_.size()));
            rows_.append({lineNo, fields});
        }
    }
    int size() const { return int(rows_.size()); }
    QString text(int row, const QString& column) const {
        const auto it = columns_.constFind(column);
        if (it == columns_.cend())
            throw Exception(QStringLiteral("%1: Die Spalte %2 fehlt.").arg(name_, column));
        return rows_[row].fields[*it].trimmed();
    }
    int integer(int row, const QString& column) const {
        bool ok = false;
        const int v = text(row, column).toInt(&ok);
        if (!ok)
            fail(row, column);
        return v;
    }
    double number(int row, const QString& column) const {
        bool ok = false;
        const double v = text(row, column).toDouble(&ok);
        if (!ok)
            fail(row, column);
        return v;
    }

private:
    [[noreturn]] void fail(int row, const QString& column) const {
        throw Exception(QStringLiteral("%1, Zeile %2: \"%3\" in %4 ist keine Zahl.")
                            .arg(name_)
                            .arg(rows_[row].line)
                            .arg(text(row, column), column));
    }
    struct Row {
        int line;
        QStringList fields;
    };
    QString name_;
    QHash<QString, int> columns_;
    QList<Row> rows_;
};

double roundTo(double v, int digits) {
    const double f = std::pow(10.0, digits);
    return std::round(v * f) / f;
}

// Every year from the first to the last support point, between two points at a constant yearly rate.
QMap<int, double> interpolate(const QMap<int, double>& support) {
    QMap<int, double> out;
    for (auto it = support.cbegin(); it != support.cend(); ++it) {
        const auto next = std::next(it);
        out.insert(it.key(), it.value());
        if (next == support.cend())
            break;
        const int span = next.key() - it.key();
        const double rate = std::pow(next.value() / it.value(), 1.0 / span);
        for (int y = it.key() + 1; y < next.key(); ++y)
            out.insert(y, it.value() * std::pow(rate, y - it.key()));
    }
    return out;
}

} // namespace

ShippedData ReadShippedDataSources(const QString& folder) {
    ShippedData d;
    QHash<QString, QMap<int, double>> profiles;
    const SourceTable verlaeufe(folder, QStringLiteral("verlaeufe.csv"));
    for (int i = 0; i < verlaeufe.size(); ++i) {
        const double v = verlaeufe.number(i, QStringLiteral("WERT"));
        if (v <= 0)
            throw Exception(QStringLiteral("verlaeufe.csv: Werte müssen größer als 0 sein."));
        profiles[verlaeufe.text(i, QStringLiteral("VERLAUF"))].insert(verlaeufe.integer(i, QStringLiteral("JAHR")), v);
    }
    QHash<QString, QMap<int, double>> yearly;
    for (auto it = profiles.cbegin(); it != profiles.cend(); ++it)
        yearly.insert(it.key(), interpolate(it.value()));

    const SourceTable reihen(folder, QStringLiteral("indexreihen.csv"));
    for (int i = 0; i < reihen.size(); ++i) {
        IndexDescriptionRecord r;
        r.kategorie = reihen.integer(i, QStringLiteral("KATEGORIE_NR"));
        r.indexNr = reihen.integer(i, QStringLiteral("INDEX_NR"));
        r.indexSubNr = reihen.integer(i, QStringLiteral("INDEX_SUBNR"));
        r.gpSystematik = reihen.text(i, QStringLiteral("GP_SYSTEMATIK"));
        r.sichtbar = reihen.text(i, QStringLiteral("SICHTBAR"));
        r.nutzungsdauer = reihen.integer(i, QStringLiteral("NUTZUNGSDAUER"));
        r.text = reihen.text(i, QStringLiteral("INDEX_TEXT"));
        d.descriptions.append(r);

        const QString name = reihen.text(i, QStringLiteral("VERLAUF"));
        if (!yearly.contains(name))
            throw Exception(QStringLiteral("indexreihen.csv: Der Verlauf %1 fehlt in verlaeufe.csv.").arg(name));
        const QMap<int, double>& series = yearly[name];
        const bool scaled = !reihen.text(i, QStringLiteral("BEZUG_JAHR")).isEmpty();
        int refYear = 0;
        double refValue = 0;
        if (scaled) {
            refYear = reihen.integer(i, QStringLiteral("BEZUG_JAHR"));
            refValue = reihen.number(i, QStringLiteral("BEZUG_WERT"));
            if (!series.contains(refYear))
                throw Exception(QStringLiteral("indexreihen.csv: Das Bezugsjahr %1 liegt außerhalb von %2.")
                                    .arg(refYear)
                                    .arg(name));
        }
        for (auto y = series.cbegin(); y != series.cend(); ++y) {
            double v;
            if (!scaled)
                v = roundTo(y.value(), 1);
            else if (y.key() == refYear)
                v = refValue;
            else
                v = roundTo(refValue * y.value() / series[refYear], 6);
            d.values.append({r.kategorie, y.key(), v});
        }
    }

    const SourceTable typen(folder, QStringLiteral("gebaeudetypen.csv"));
    for (int i = 0; i < typen.size(); ++i) {
        TGebType t;
        for (auto [field, column] : {std::pair{&t.PID, "PID"},
                                     {&t.GEBCAPTION, "GEBCAPTION"},
                                     {&t.RICHTPREISART, "RICHTPREISART"},
                                     {&t.RICHTBASISEINH, "RICHTBASISEINH"},
                                     {&t.UST, "UST"},
                                     {&t.HERKUNFT, "HERKUNFT"},
                                     {&t.RICHTPROH, "RICHTPROH"},
                                     {&t.RICHTPEINFACH, "RICHTPEINFACH"},
                                     {&t.RICHTPNORMAL, "RICHTPNORMAL"},
                                     {&t.RICHTPGUT, "RICHTPGUT"},
                                     {&t.DESCRIPTION, "DESCRIPTION"},
                                     {&t.AUSFROHBAU, "AUSFROHBAU"},
                                     {&t.AUSFEINFACH, "AUSFEINFACH"},
                                     {&t.AUSFNORMAL, "AUSFNORMAL"},
                                     {&t.AUSFGUT, "AUSFGUT"}})
            *field = typen.text(i, QString::fromLatin1(column));
        t.LIFETIMEMIN = typen.integer(i, QStringLiteral("LIFETIMEMIN"));
        t.LIFETIMEMAX = typen.integer(i, QStringLiteral("LIFETIMEMAX"));
        t.INDEXNR = typen.integer(i, QStringLiteral("INDEXNR"));
        d.types.append(t);
    }

    const SourceTable bauteile(folder, QStringLiteral("bauteile.csv"));
    for (int i = 0; i < bauteile.size(); ++i) {
        TGebBauteil b;
        b.Pos = bauteile.integer(i, QStringLiteral("POS"));
        b.PID = bauteile.text(i, QStringLiteral("PID"));
        b.Caption = bauteile.text(i, QStringLiteral("CAPTION"));
        b.Minpreis = bauteile.number(i, QStringLiteral("MINPREIS"));
        b.Maxpreis = bauteile.number(i, QStringLiteral("MAXPREIS"));
        b.Einheit = bauteile.text(i, QStringLiteral("EINHEIT"));
        b.Sonst = bauteile.text(i, QStringLiteral("SONST"));
        d.components.append(b);
    }

    const SourceTable aufzuege(folder, QStringLiteral("aufzuege.csv"));
    for (int i = 0; i < aufzuege.size(); ++i) {
        TGebAufzug a;
        a.PID = aufzuege.text(i, QStringLiteral("PID"));
        a.AufzugCaption = aufzuege.text(i, QStringLiteral("AUFZUGCAPTION"));
        a.Nutzlast = aufzuege.text(i, QStringLiteral("NUTZLAST"));
        a.Haltestellen = aufzuege.integer(i, QStringLiteral("HALTESTELLEN"));
        a.Minpreis = aufzuege.number(i, QStringLiteral("MINPREIS"));
        a.Maxpreis = aufzuege.number(i, QStringLiteral("MAXPREIS"));
        a.ExtrahaltestelleMin = aufzuege.number(i, QStringLiteral("EXTRAHALTESTELLEMIN"));
        a.ExtrahaltestelleMax = aufzuege.number(i, QStringLiteral("EXTRAHALTESTELLEMAX"));
        a.Einheit = aufzuege.text(i, QStringLiteral("EINHEIT"));
        d.elevators.append(a);
    }
    return d;
}

QList<SampleAsset> ReadSampleAssets(const QString& folder) {
    QList<SampleAsset> out;
    const SourceTable t(folder, QStringLiteral("beispielanlagen.csv"));
    for (int i = 0; i < t.size(); ++i)
        out.append({t.text(i, QStringLiteral("KONTO")), t.text(i, QStringLiteral("BEZEICHNUNG")),
                    t.text(i, QStringLiteral("DATUM")), t.number(i, QStringLiteral("AHK"))});
    return out;
}

namespace {
void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
        throw Exception(QStringLiteral("Die Datei %1 kann nicht geschrieben werden: %2").arg(path, f.errorString()));
}
} // namespace

QStringList WriteShippedDataFiles(const ShippedData& d, const QString& outFolder) {
    QByteArray values, descriptions, types, components, elevators;
    for (const IndexValueRecord& v : d.values)
        values += EncodeIndexValue(v);
    for (const IndexDescriptionRecord& r : d.descriptions)
        descriptions += EncodeIndexDescription(r);
    for (const TGebType& t : d.types)
        types += EncodeGebTypeRecord(t);
    for (const TGebBauteil& b : d.components)
        components += EncodeGebBauteilRecord(b);
    for (const TGebAufzug& a : d.elevators)
        elevators += EncodeGebAufzugRecord(a);
    const QDir dir(outFolder);
    const QList<std::pair<QString, const QByteArray*>> files = {{QStringLiteral("idx_ex.dat"), &values},
                                                                {QStringLiteral("idxb_ex.dat"), &descriptions},
                                                                {QStringLiteral("DataGebTypes.dat"), &types},
                                                                {QStringLiteral("DataBauteile.dat"), &components},
                                                                {QStringLiteral("DataAufzug.dat"), &elevators}};
    QStringList names;
    for (const auto& [name, bytes] : files) {
        writeFile(dir.filePath(name), *bytes);
        names << name;
    }
    return names;
}
