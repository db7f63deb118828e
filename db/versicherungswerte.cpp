#include "db/versicherungswerte.h"

#include <QHash>

#include <algorithm>
#include <numeric>
#include <tuple>
#include <vector>

#include "core/convert.h"
#include "db/brenvik_config.h"
#include "db/dbaccess.h"

#include <QLocale>
#include <QSet>

#include <charconv>
#include <cmath>
#include <variant>

const QString kVersWerteCols = QStringLiteral(
    "BRV_MANDANT_NR, MANDANT_NR, INSERT_TS, UPDATE_TS, ANLAGE_NR, ANLAGE_SUB_NR, KONTO_NR, ANLAGEBEZEICHNUNG, "
    "ANSCHAFFUNGSDATUM, ANSCHAFFUNGSJAHR, AHK, LISTENPREIS, VERSICHERUNGSWERT, GEMEINER_WERT, ZEITWERT, "
    "NUTZUNGSDAUER, ELEKTRONIK_VERS, MASCHINEN_VERS, LAGERUNG_AUSSEN, KATEGORIE_NR, KATEGORIE_NR_UMBASIERT, "
    "ADRESS_NR, GELOESCHT, BEARBEITUNG, GEBAEUDE, SOFTWARE, LEASING, GEMIETET, FESTE_TAXE, ABGANGSJAHR, GRUPPE, "
    "NOTIZTEXT, QUELLE, UPDATE_CHECK, DATEINAME_FOTO, ANLAGENTYP_ID");
const QString kVersWerteColsAll =
    kVersWerteCols + QStringLiteral(", ANLAGEBEZEICHNUNG_ORG, ANSCHAFFUNGSDATUM_ORG, AHK_ORG");

namespace {

const QString kNoData = QStringLiteral("Keine Daten verfuegbar");

// The three filter conditions of the asset window, as they are appended to a WHERE clause.
const QString kUsedAsset =
    QStringLiteral(" AND (AHK <= 1 OR (    upper(anlagebezeichnung) like '%GEBR.%'  or upper(anlagebezeichnung) like "
                   "'%GEBRAUCHT%'  or upper(anlagebezeichnung) like '%GEB.%'))");
const QString kWithoutValue = QStringLiteral(" AND ((VERSICHERUNGSWERT = 0) OR (VERSICHERUNGSWERT IS NULL))");
const QString kTodo = QStringLiteral(" AND BEARBEITUNG = '1'");

QString flagSuffix(bool usedOnly, bool withoutValueOnly, bool todoOnly) {
    return (usedOnly ? kUsedAsset : QString()) + (withoutValueOnly ? kWithoutValue : QString()) +
           (todoOnly ? kTodo : QString());
}

TBrenvikVersWerte readRow(const fb::Statement& s, bool withOrg) {
    TBrenvikVersWerte r;
    r.brv_mandant_nr = s.asInt(0);
    r.mandant_nr = s.asInt(1);
    r.insert_ts = s.asDateTime(2);
    r.update_ts = s.asDateTime(3);
    r.anlage_nr = s.asInt(4);
    r.anlage_sub_nr = s.asInt(5);
    r.konto_nr = s.asText(6);
    r.anlagebezeichnung = s.asText(7);
    r.anschaffungsdatum = s.asDateTime(8);
    r.anschaffungsjahr = s.asInt(9);
    r.ahk = s.asDouble(10);
    r.listenpreis = s.asDouble(11);
    r.versicherungswert = s.asDouble(12);
    r.gemeiner_wert = s.asDouble(13);
    r.zeitwert = s.asDouble(14);
    r.nutzungsdauer = s.asInt(15);
    r.elektronik_vers = s.asText(16);
    r.maschinen_vers = s.asText(17);
    r.lagerung_aussen = s.asText(18);
    r.kategorie_nr = s.asInt(19);
    r.kategorie_nr_umbasiert = s.asInt(20);
    r.adress_nr = s.asInt(21);
    r.geloescht = s.asText(22);
    r.bearbeitung = s.asText(23);
    r.gebaeude = s.asText(24);
    r.software = s.asText(25);
    r.leasing = s.asText(26);
    r.gemietet = s.asText(27);
    r.feste_taxe = s.asText(28);
    r.abgangsjahr = s.asInt(29);
    r.gruppe = s.asText(30);
    r.notiztext = s.asText(31);
    r.quelle = s.asText(32);
    r.update_check = s.asText(33);
    r.dateiname_foto = s.asText(34);
    r.anlagentyp_id = s.asInt(35);
    if (withOrg) {
        r.anlagebezeichnung_org = s.asText(36);
        r.anschaffungsdatum_org = s.asDateTime(37);
        r.ahk_org = s.asDouble(38);
    }
    return r;
}

// "MANDANT_NR, <fields>" for a sort text of column names separated by ";". Names that are no column of the
// register are never put into the statement; such a sort text gives the asset number order.
QString orderBy(const QString& sortField) {
    static const QSet<QString> columns = [] {
        QSet<QString> s;
        for (const QString& c : kVersWerteColsAll.split(QStringLiteral(", ")))
            s.insert(c);
        return s;
    }();
    QStringList fields;
    for (const QString& f : sortField.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QString name = f.trimmed().toUpper();
        if (!columns.contains(name))
            return QStringLiteral(" ORDER BY MANDANT_NR, ANLAGE_NR, ANLAGE_SUB_NR");
        fields << name;
    }
    if (fields.isEmpty())
        return QStringLiteral(" ORDER BY MANDANT_NR, ANLAGE_NR, ANLAGE_SUB_NR");
    return QStringLiteral(" ORDER BY MANDANT_NR, ") + fields.join(QStringLiteral(", "));
}

} // namespace

bool SortVersWerteLike(QList<TBrenvikVersWerte>& rows, const QString& sortField) {
    using Row = TBrenvikVersWerte;
    using Less = bool (*)(const Row&, const Row&);
    static const QHash<QString, Less> fields = {
        {QStringLiteral("KONTO_NR"), [](const Row& a, const Row& b) { return a.konto_nr < b.konto_nr; }},
        {QStringLiteral("ANLAGEBEZEICHNUNG"),
         [](const Row& a, const Row& b) { return a.anlagebezeichnung < b.anlagebezeichnung; }},
        {QStringLiteral("ANSCHAFFUNGSDATUM"),
         [](const Row& a, const Row& b) { return a.anschaffungsdatum < b.anschaffungsdatum; }},
        {QStringLiteral("AHK"), [](const Row& a, const Row& b) { return a.ahk < b.ahk; }},
        {QStringLiteral("VERSICHERUNGSWERT"),
         [](const Row& a, const Row& b) { return a.versicherungswert < b.versicherungswert; }},
        {QStringLiteral("ELEKTRONIK_VERS"),
         [](const Row& a, const Row& b) { return a.elektronik_vers < b.elektronik_vers; }},
        {QStringLiteral("MASCHINEN_VERS"),
         [](const Row& a, const Row& b) { return a.maschinen_vers < b.maschinen_vers; }},
        {QStringLiteral("KATEGORIE_NR"), [](const Row& a, const Row& b) { return a.kategorie_nr < b.kategorie_nr; }},
        {QStringLiteral("GELOESCHT"), [](const Row& a, const Row& b) { return a.geloescht < b.geloescht; }},
        {QString(), [](const Row&, const Row&) { return false; }}};
    const auto it = fields.constFind(sortField.trimmed().toUpper());
    if (it == fields.cend())
        return false;
    const Less less = *it;
    // Indices are sorted, not the rows themselves: a row holds some thirty texts.
    std::vector<int> order(size_t(rows.size()));
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(), [&](int x, int y) {
        const Row& a = rows[x];
        const Row& b = rows[y];
        if (less(a, b))
            return true;
        if (less(b, a))
            return false;
        return std::tie(a.mandant_nr, a.anlage_nr, a.anlage_sub_nr) <
               std::tie(b.mandant_nr, b.anlage_nr, b.anlage_sub_nr);
    });
    QList<Row> sorted;
    sorted.reserve(rows.size());
    for (int i : order)
        sorted.append(std::move(rows[i]));
    rows = std::move(sorted);
    return true;
}

namespace {

QString likeEscaped(const QString& text) {
    QString p = text;
    p.replace(QLatin1Char('\\'), QLatin1String("\\\\"))
        .replace(QLatin1Char('%'), QLatin1String("\\%"))
        .replace(QLatin1Char('_'), QLatin1String("\\_"));
    return QLatin1Char('%') + p + QLatin1Char('%');
}

QList<TBrenvikVersWerte> readAll(BrvSql& q, bool withOrg) {
    QList<TBrenvikVersWerte> list;
    while (q.next())
        list.append(readRow(q.st(), withOrg));
    return list;
}

int scalarInt(BrvSql& q) {
    const int v = q.next() ? q->asInt(0) : 0;
    q->closeCursor();
    return v;
}

double scalarDouble(BrvSql& q) {
    const double v = q.next() ? q->asDouble(0) : 0.0;
    q->closeCursor();
    return v;
}

// An amount as the register has always stored amounts written by the import: two decimals.
double twoDecimals(double v) {
    char buf[64];
    const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 2);
    if (ec != std::errc())
        return v;
    double out = v;
    std::from_chars(buf, end, out);
    return out;
}

// Runs a bulk update with its fixed failure text and commits.
template <typename... A>
long bulkUpdate(const QString& failure, const QString& sql, const A&... a) {
    try {
        const long n = BrvExec(sql, a...);
        BrvCommit();
        return n;
    } catch (const Exception&) {
        throw EBrvException_DBERROR(failure);
    }
}

} // namespace

std::optional<QList<TBrenvikVersWerte>> GetVersWerteList(int mandantNr, const QString& sortField) {
    if (!BrvConnected())
        return std::nullopt;
    const QString base = QStringLiteral("SELECT ") + kVersWerteCols + QStringLiteral(" FROM VERSICHERUNGSWERTE");
    if (mandantNr != 0) {
        BrvSql q(base + QStringLiteral(" WHERE MANDANT_NR = ?") + orderBy(sortField), mandantNr);
        return readAll(q, false);
    }
    BrvSql q(base + orderBy(sortField));
    return readAll(q, false);
}

std::optional<QList<TBrenvikVersWerte>> GetVersWerteFiltered(int mandantNr, bool usedOnly, bool withoutValueOnly,
                                                             const QString& sortField, bool exactMatch,
                                                             const QString& description, const QString& kontoNr,
                                                             bool todoOnly) {
    if (!BrvConnected())
        return std::nullopt;
    QString where = QStringLiteral(" WHERE 1 = 1");
    QList<std::variant<int, QString>> args;
    if (mandantNr != 0) {
        where += QStringLiteral(" AND MANDANT_NR = ?");
        args << mandantNr;
    }
    where += flagSuffix(usedOnly, withoutValueOnly, todoOnly);
    if (!kontoNr.trimmed().isEmpty()) {
        where += QStringLiteral(" AND KONTO_NR = ?");
        args << kontoNr.trimmed();
    }
    if (!description.trimmed().isEmpty()) {
        if (exactMatch) {
            where += QStringLiteral(" AND ANLAGEBEZEICHNUNG = ?");
            args << description.trimmed();
        } else {
            where += QStringLiteral(" AND ANLAGEBEZEICHNUNG LIKE ? ESCAPE '\\'");
            args << likeEscaped(description.trimmed());
        }
    }
    fb::Query q(BrvRequireDb(), QStringLiteral("SELECT ") + kVersWerteCols +
                                    QStringLiteral(" FROM VERSICHERUNGSWERTE") + where + orderBy(sortField));
    for (int i = 0; i < args.size(); ++i) {
        if (const int* v = std::get_if<int>(&args[i]))
            q->bindInt(i, *v);
        else
            q->bindText(i, std::get<QString>(args[i]));
    }
    q->execute(BrvActiveTrans());
    QList<TBrenvikVersWerte> list;
    while (q->fetch())
        list.append(readRow(*q, false));
    return list;
}

void GetVersWert(int mandantNr, int anlageNr, int anlageSubNr, TBrenvikVersWerte& rec) {
    if (!BrvConnected())
        return;
    BrvSql q(
        QStringLiteral("SELECT ") + kVersWerteColsAll +
            QStringLiteral(" FROM VERSICHERUNGSWERTE WHERE MANDANT_NR = ? AND ANLAGE_NR = ? AND ANLAGE_SUB_NR = ?"),
        mandantNr, anlageNr, anlageSubNr);
    if (!q.next())
        throw EBrvException_NODATA(kNoData);
    rec = readRow(q.st(), true);
    q->closeCursor();
}

void FindVersWert(int mandantNr, const QString& kontoNr, const QString& description, TBrenvikVersWerte& rec) {
    if (!BrvConnected())
        return;
    // Of several matching rows the one with the highest number counts, the one a full read delivers last.
    BrvSql q(QStringLiteral("SELECT FIRST 1 ") + kVersWerteColsAll +
                 QStringLiteral(" FROM VERSICHERUNGSWERTE WHERE MANDANT_NR = ? AND KONTO_NR = ? AND "
                                "ANLAGEBEZEICHNUNG = ? ORDER BY ANLAGE_NR DESC, ANLAGE_SUB_NR DESC"),
             mandantNr, kontoNr, description);
    if (!q.next())
        throw EBrvException_NODATA(kNoData);
    rec = readRow(q.st(), true);
    q->closeCursor();
}

QStringList GetGruppen(int mandantNr) {
    QStringList list;
    BrvSql q(
        QStringLiteral("SELECT DISTINCT GRUPPE FROM VERSICHERUNGSWERTE WHERE MANDANT_NR = ? AND GRUPPE IS NOT NULL"),
        mandantNr);
    while (q.next())
        list << q->asText(0);
    BrvCommit();
    return list;
}

int GetMaxAnlageNr(int mandantNr) {
    BrvSql q(QStringLiteral("SELECT MAX(ANLAGE_NR) FROM VERSICHERUNGSWERTE WHERE MANDANT_NR = ?"), mandantNr);
    return scalarInt(q);
}

int GetMaxAnlageNrFiltered(int mandantNr, bool usedOnly, bool withoutValueOnly, bool todoOnly) {
    BrvSql q(QStringLiteral("SELECT MAX(ANLAGE_NR) FROM VERSICHERUNGSWERTE WHERE MANDANT_NR = ?") +
                 flagSuffix(usedOnly, withoutValueOnly, todoOnly),
             mandantNr);
    return scalarInt(q);
}

int GetMaxAnlageSubNr(int mandantNr, int anlageNr) {
    BrvSql q(QStringLiteral("SELECT MAX(ANLAGE_SUB_NR) FROM VERSICHERUNGSWERTE WHERE MANDANT_NR = ? AND ANLAGE_NR = ?"),
             mandantNr, anlageNr);
    return scalarInt(q);
}

int GetMinAnlageNrFiltered(int mandantNr, bool usedOnly, bool withoutValueOnly, bool todoOnly) {
    BrvSql q(QStringLiteral("SELECT MIN(ANLAGE_NR) FROM VERSICHERUNGSWERTE WHERE MANDANT_NR = ?") +
                 flagSuffix(usedOnly, withoutValueOnly, todoOnly),
             mandantNr);
    return scalarInt(q);
}

int GetNeighbourAnlageNr(int mandantNr, int anlageNr, bool next, bool usedOnly, bool withoutValueOnly, bool todoOnly) {
    try {
        BrvSql q((next ? QStringLiteral(
                             "SELECT MIN(ANLAGE_NR) FROM VERSICHERUNGSWERTE WHERE MANDANT_NR = ? AND ANLAGE_NR > ?")
                       : QStringLiteral(
                             "SELECT MAX(ANLAGE_NR) FROM VERSICHERUNGSWERTE WHERE MANDANT_NR = ? AND ANLAGE_NR < ?")) +
                     flagSuffix(usedOnly, withoutValueOnly, todoOnly),
                 mandantNr, anlageNr);
        return scalarInt(q);
    } catch (const Exception& e) {
        throw EBrvException_DBERROR(QStringLiteral("Datenbankfehler: ") + e.message());
    }
}

TDateTime GetLetzterImportZeitpunkt(int mandantNr) {
    try {
        BrvSql q(QStringLiteral("SELECT MIN(UPDATE_TS) FROM VERSICHERUNGSWERTE   WHERE MANDANT_NR = ?    AND "
                                "UPDATE_CHECK = '1'    AND QUELLE = 'IMPORT'"),
                 mandantNr);
        const TDateTime v = q.next() ? q->asDateTime(0) : 0;
        q->closeCursor();
        BrvCommit();
        return v;
    } catch (const Exception& e) {
        throw EBrvException_DBERROR(e.message());
    }
}

namespace {
double sumQuery(const QString& failure, const QString& sql, int mandantNr, int adressNr) {
    try {
        const QString address = adressNr != 0 ? QStringLiteral(" AND ADRESS_NR = ?") : QString();
        BrvSql q = adressNr != 0 ? BrvSql(sql + address, mandantNr, adressNr) : BrvSql(sql, mandantNr);
        const double v = scalarDouble(q);
        BrvCommit();
        return v;
    } catch (const Exception& e) {
        throw Exception(failure + e.message());
    }
}
} // namespace

double GetSumVersWertAnlagen(int mandantNr, int adressNr) {
    return sumQuery(QStringLiteral("Fehler bei der Query (Anlagensumme): \r"),
                    QStringLiteral("SELECT SUM(VERSICHERUNGSWERT) FROM VERSICHERUNGSWERTE  WHERE MANDANT_NR = ? AND "
                                   "GELOESCHT = '0' AND GEBAEUDE = '0' AND (ABGANGSJAHR IS NULL OR ABGANGSJAHR = 0)"),
                    mandantNr, adressNr);
}

double GetSumVersWertKfz(int mandantNr, int adressNr) {
    return sumQuery(
        QStringLiteral("Fehler bei der Query (Anlagen - KFZ): \r"),
        QStringLiteral("SELECT SUM(VERSICHERUNGSWERT) FROM VERSICHERUNGSWERTE  WHERE MANDANT_NR = ? AND "
                       "GELOESCHT = '0' AND (ABGANGSJAHR IS NULL OR ABGANGSJAHR = 0) AND ANLAGENTYP_ID = 1"),
        mandantNr, adressNr);
}

double GetSumVersWertFinanzanlagen(int mandantNr, int adressNr) {
    return sumQuery(
        QStringLiteral("Fehler bei der Query (Anlagen - Finance): \r"),
        QStringLiteral("SELECT SUM(VERSICHERUNGSWERT) FROM VERSICHERUNGSWERTE  WHERE MANDANT_NR = ? AND "
                       "GELOESCHT = '0' AND (ABGANGSJAHR IS NULL OR ABGANGSJAHR = 0) AND ANLAGENTYP_ID = 2"),
        mandantNr, adressNr);
}

namespace {
void yearSum(const QString& sql, int mandantNr, QString& value) {
    value = QStringLiteral("0");
    if (!BrvConnected())
        return;
    BrvSql q(sql, mandantNr);
    if (q.next()) {
        QLocale plain;
        plain.setNumberOptions(QLocale::OmitGroupSeparator);
        value = q->isNull(0) ? QString() : plain.toString(q->asDouble(0), 'g', 15);
    }
    q->closeCursor();
    BrvCommit();
}
} // namespace

void GetVersWertZugangVorjahr(int mandantNr, QString& value) {
    yearSum(QStringLiteral(" select sum(versicherungswert) as verswert_zugang  from versicherungswerte  where "
                           "(abgangsjahr is null or abgangsjahr = 0)  and (EXTRACT(YEAR from anschaffungsdatum) = "
                           "EXTRACT(YEAR from Current_date) -1)   and mandant_nr = ?  and geloescht <> '1'"),
            mandantNr, value);
}

void GetVersWertAbgangVorjahr(int mandantNr, QString& value) {
    yearSum(QStringLiteral(" select sum(versicherungswert) as verswert_abgang  from versicherungswerte  where "
                           "(abgangsjahr is not null and abgangsjahr > 0)  and (abgangsjahr = EXTRACT(YEAR from "
                           "Current_date) - 1)   and mandant_nr = ?  and geloescht <> '1'"),
            mandantNr, value);
}

QList<TBrenvikNotes> GetNotizen(int mandantNr) {
    QList<TBrenvikNotes> list;
    try {
        BrvSql q(QStringLiteral("SELECT CAST(SUBSTRING(NOTIZTEXT FROM 1 FOR 50) AS VARCHAR(50)), NOTIZTEXT FROM (   "
                                "SELECT DISTINCT NOTIZTEXT FROM VERSICHERUNGSWERTE   WHERE MANDANT_NR = ?    AND "
                                "NOTIZTEXT IS NOT NULL AND NOTIZTEXT <> '')"),
                 mandantNr);
        while (q.next()) {
            QString kurz = q->asText(0);
            if (kurz.isEmpty() || kurz == QLatin1String("\r\n"))
                continue;
            kurz.remove(QStringLiteral("\r\n"));
            list.append({kurz, q->asText(1)});
        }
        BrvCommit();
    } catch (const Exception& e) {
        throw EBrvException_DBERROR(e.message());
    }
    return list;
}

void DeleteVersWert(int mandantNr, int anlageNr, int anlageSubNr) {
    RequireMandantLock(mandantNr);
    try {
        BrvExec(QStringLiteral(
                    "DELETE FROM VERSICHERUNGSWERTE WHERE MANDANT_NR = ? AND ANLAGE_NR = ? AND ANLAGE_SUB_NR = ?"),
                mandantNr, anlageNr, anlageSubNr);
        // The window reports the asset as deleted: make it so at once.
        BrvCommit();
    } catch (const Exception& e) {
        throw EBrvException_DBERROR(QStringLiteral("Datenbankfehler: ") + e.message());
    }
}

void DeleteVersWertMitVerbund(int mandantNr, int anlageNr) {
    RequireMandantLock(mandantNr);
    try {
        // One statement: the main asset and its related assets go together or not at all.
        BrvExec(QStringLiteral("DELETE FROM VERSICHERUNGSWERTE WHERE MANDANT_NR = ? AND ANLAGE_NR = ?"), mandantNr,
                anlageNr);
        BrvCommit();
    } catch (const Exception& e) {
        BrvRollback();
        throw EBrvException_DBERROR(QStringLiteral("Datenbankfehler: ") + e.message());
    }
}

void SaveVersWert(TBrenvikVersWerte r) {
    RequireMandantLock(r.mandant_nr);
    TBrenvikVersWerte current;
    const bool update = BrvRowExists([&] { GetVersWert(r.mandant_nr, r.anlage_nr, r.anlage_sub_nr, current); });
    const int year = YearOf(r.anschaffungsdatum);
    const SqlTs now{BrvNow()};
    if (update)
        BrvExec(QStringLiteral(
                    "UPDATE VERSICHERUNGSWERTE SET BRV_MANDANT_NR = 1, UPDATE_TS = ?, KONTO_NR = ?, "
                    "ANLAGEBEZEICHNUNG = ?, ANSCHAFFUNGSDATUM = ?, ANSCHAFFUNGSJAHR = ?, AHK = ?, LISTENPREIS = ?, "
                    "VERSICHERUNGSWERT = ?, GEMEINER_WERT = ?, ZEITWERT = ?, NUTZUNGSDAUER = ?, ELEKTRONIK_VERS = ?, "
                    "MASCHINEN_VERS = ?, LAGERUNG_AUSSEN = ?, KATEGORIE_NR = ?, KATEGORIE_NR_UMBASIERT = ?, "
                    "ADRESS_NR = ?, GELOESCHT = ?, BEARBEITUNG = ?, GEBAEUDE = ?, SOFTWARE = ?, LEASING = ?, "
                    "GEMIETET = ?, FESTE_TAXE = ?, ABGANGSJAHR = ?, GRUPPE = ?, NOTIZTEXT = ?, QUELLE = ?, "
                    "UPDATE_CHECK = ?, DATEINAME_FOTO = ?, ANLAGENTYP_ID = ?, "
                    // A disposal changed by hand is the user's own: no later import undoes it.
                    "ABGANG_IMPORT = CASE WHEN GELOESCHT IS NOT DISTINCT FROM ? AND ABGANGSJAHR IS NOT DISTINCT FROM "
                    "? THEN ABGANG_IMPORT ELSE NULL END "
                    "WHERE BRV_MANDANT_NR = 1 AND MANDANT_NR = ? AND ANLAGE_NR = ?  AND ANLAGE_SUB_NR = ?"),
                now, r.konto_nr, r.anlagebezeichnung, SqlTs{r.anschaffungsdatum}, year, r.ahk, r.listenpreis,
                r.versicherungswert, r.gemeiner_wert, r.zeitwert, r.nutzungsdauer, r.elektronik_vers, r.maschinen_vers,
                r.lagerung_aussen, r.kategorie_nr, r.kategorie_nr_umbasiert, r.adress_nr, r.geloescht, r.bearbeitung,
                r.gebaeude, r.software, r.leasing, r.gemietet, r.feste_taxe, r.abgangsjahr, r.gruppe, r.notiztext,
                r.quelle, r.update_check, r.dateiname_foto, r.anlagentyp_id, r.geloescht, r.abgangsjahr, r.mandant_nr,
                r.anlage_nr, r.anlage_sub_nr);
    else
        BrvExec(QStringLiteral(
                    "INSERT INTO VERSICHERUNGSWERTE (BRV_MANDANT_NR, INSERT_TS, MANDANT_NR, ANLAGE_NR, ANLAGE_SUB_NR, "
                    "KONTO_NR, ANLAGEBEZEICHNUNG, ANSCHAFFUNGSDATUM, ANSCHAFFUNGSJAHR, AHK, LISTENPREIS, "
                    "VERSICHERUNGSWERT, GEMEINER_WERT, ZEITWERT, NUTZUNGSDAUER, ELEKTRONIK_VERS, MASCHINEN_VERS, "
                    "LAGERUNG_AUSSEN, KATEGORIE_NR, KATEGORIE_NR_UMBASIERT, ADRESS_NR, GELOESCHT, BEARBEITUNG, "
                    "GEBAEUDE, SOFTWARE, LEASING, GEMIETET, FESTE_TAXE, ABGANGSJAHR, GRUPPE, NOTIZTEXT, QUELLE, "
                    "UPDATE_CHECK, DATEINAME_FOTO, ANLAGENTYP_ID) VALUES (1, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, "
                    "?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
                now, r.mandant_nr, r.anlage_nr, r.anlage_sub_nr, r.konto_nr, r.anlagebezeichnung,
                SqlTs{r.anschaffungsdatum}, year, r.ahk, r.listenpreis, r.versicherungswert, r.gemeiner_wert,
                r.zeitwert, r.nutzungsdauer, r.elektronik_vers, r.maschinen_vers, r.lagerung_aussen, r.kategorie_nr,
                r.kategorie_nr_umbasiert, r.adress_nr, r.geloescht, r.bearbeitung, r.gebaeude, r.software, r.leasing,
                r.gemietet, r.feste_taxe, r.abgangsjahr, r.gruppe, r.notiztext, r.quelle, r.update_check,
                r.dateiname_foto, r.anlagentyp_id);
    BrvCommit();
}

struct VersWertInserter::Impl {
    fb::Query q{
        BrvRequireDb(),
        QStringLiteral(
            "INSERT INTO VERSICHERUNGSWERTE ( BRV_MANDANT_NR, MANDANT_NR, ANLAGE_NR, ANLAGE_SUB_NR, INSERT_TS, "
            "KONTO_NR, ANLAGEBEZEICHNUNG, ANSCHAFFUNGSDATUM, ANSCHAFFUNGSJAHR, AHK, LISTENPREIS, "
            "VERSICHERUNGSWERT, GEMEINER_WERT, ZEITWERT, NUTZUNGSDAUER, ELEKTRONIK_VERS, MASCHINEN_VERS, "
            "LAGERUNG_AUSSEN, KATEGORIE_NR, KATEGORIE_NR_UMBASIERT, ADRESS_NR, GELOESCHT, BEARBEITUNG, GEBAEUDE, "
            "SOFTWARE, LEASING, GEMIETET, FESTE_TAXE, ABGANGSJAHR, GRUPPE, NOTIZTEXT, QUELLE, UPDATE_CHECK, "
            "ANLAGEBEZEICHNUNG_ORG, ANSCHAFFUNGSDATUM_ORG, AHK_ORG, ANLAGENTYP_ID ) VALUES ( ?, ?, ?, ?, ?, ?, "
            "?, ?, ?, ?, ?, ?, 0, 0, 0, ?, ?, ?, ?, 0, ?, ?, ?, ?, ?, ?, ?, ?, 0, ?, ?, ?, '1', ?, ?, ?, ? )")};
};

VersWertInserter::VersWertInserter() : d_(std::make_unique<Impl>()) {}
VersWertInserter::~VersWertInserter() = default;

void VersWertInserter::insert(const TBrenvikVersWerte& r) {
    const SqlTs insertDay{std::floor(r.insert_ts)};
    const SqlTs acquired{std::floor(r.anschaffungsdatum)};
    bindAll(*d_->q, r.brv_mandant_nr, r.mandant_nr, r.anlage_nr, r.anlage_sub_nr, insertDay, r.konto_nr,
            r.anlagebezeichnung, acquired, r.anschaffungsjahr, twoDecimals(r.ahk), twoDecimals(r.listenpreis),
            twoDecimals(r.versicherungswert), r.elektronik_vers, r.maschinen_vers, r.lagerung_aussen, r.kategorie_nr,
            r.adress_nr, r.geloescht, r.bearbeitung, r.gebaeude, r.software, r.leasing, r.gemietet, r.feste_taxe,
            r.gruppe, r.notiztext, r.quelle, r.anlagebezeichnung, acquired, twoDecimals(r.ahk), r.anlagentyp_id);
    d_->q->execute(BrvActiveTrans());
}

void InsertVersWert(const TBrenvikVersWerte& r) {
    VersWertInserter().insert(r);
}

void SetLoeschmarkierung(int mandantNr, int anlageNr, int /*anlageSubNr*/, bool mark) {
    // Every sub number of the asset number: related assets share the mark of their main asset.
    bulkUpdate(
        QStringLiteral("Fehler waehrend Update auf Loeschmarkierung."),
        QStringLiteral("UPDATE VERSICHERUNGSWERTE SET GELOESCHT = ?, ABGANG_IMPORT = NULL WHERE MANDANT_NR = ? AND "
                       "ANLAGE_NR = ?"),
        mark ? QStringLiteral("1") : QStringLiteral("0"), mandantNr, anlageNr);
}

void ResetUpdateCheck(int mandantNr) {
    bulkUpdate(QStringLiteral("Fehler waehrend Initialisierungsschritten in der Datenbank."),
               QStringLiteral("UPDATE VERSICHERUNGSWERTE SET UPDATE_CHECK = '0' WHERE MANDANT_NR = ?"), mandantNr);
}

int MarkAbgaenge(int mandantNr, int abgangsjahr) {
    return bulkUpdate(
        QStringLiteral("Fehler waehrend der Ermittlung von Anlagenabgaengen in der Datenbank."),
        QStringLiteral("UPDATE VERSICHERUNGSWERTE SET ABGANGSJAHR = ?, GELOESCHT = '1', ABGANG_IMPORT = '1' WHERE "
                       "MANDANT_NR = ? AND UPDATE_CHECK = '0' AND QUELLE = 'IMPORT' AND GEMIETET = '0' AND LEASING = "
                       "'0'"),
        abgangsjahr, mandantNr);
}

void ExchangeKategorie(int mandantNr, int alteKategorie, int neueKategorie) {
    bulkUpdate(
        QStringLiteral("Datenbankfehler waehrend der Operation (Update) zur Anpassung der Indizes im Bestand."),
        QStringLiteral("UPDATE VERSICHERUNGSWERTE SET KATEGORIE_NR = ? WHERE MANDANT_NR = ? AND KATEGORIE_NR = ?"),
        neueKategorie, mandantNr, alteKategorie);
}
