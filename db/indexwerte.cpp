#include "db/indexwerte.h"

#include "core/convert.h"
#include "db/dbaccess.h"

#include <QDate>

namespace {

const QString kBeschrCols = QStringLiteral("BRV_MANDANT_NR, INSERT_TS, UPDATE_TS, KATEGORIE_NR, INDEX_NR, INDEX_SUBNR, "
                                           "GP_SYSTEMATIK, SICHTBAR, INDEX_TEXT, NUTZUNGSDAUER");

TBrenvikIndexBeschr readBeschr(const fb::Statement& s) {
    return {s.asInt(0), s.asDateTime(1), s.asDateTime(2), s.asInt(3),  s.asInt(4),
            s.asInt(5), s.asText(6),     s.asText(7),     s.asText(8), s.asInt(9)};
}

QString lowerPattern(const QString& text) {
    QString p = text.toLower();
    p.replace(QLatin1Char('\\'), QLatin1String("\\\\"))
        .replace(QLatin1Char('%'), QLatin1String("\\%"))
        .replace(QLatin1Char('_'), QLatin1String("\\_"));
    return QLatin1Char('%') + p + QLatin1Char('%');
}

} // namespace

std::optional<QList<TBrenvikIndexBeschr>> SearchIndexBeschreibungen(const QString& text) {
    if (!BrvConnected())
        return std::nullopt;
    QList<TBrenvikIndexBeschr> list;
    const QString sql = QStringLiteral("SELECT ") + kBeschrCols + QStringLiteral(" FROM INDEXBESCHREIBUNGEN");
    const QString order = QStringLiteral(" ORDER BY KATEGORIE_NR");
    BrvSql q = text.isEmpty() ? BrvSql(sql + order)
                              : BrvSql(sql + QStringLiteral(" WHERE LOWER(INDEX_TEXT) LIKE ? ESCAPE '\\'") + order,
                                       lowerPattern(text));
    while (q.next())
        list.append(readBeschr(q.st()));
    return list;
}

std::optional<QList<TBrenvikIndexBeschr>> SearchIndexBeschreibungenMitWerten(const QString& text, int year) {
    int newest = 0;
    try {
        newest = GetMaxIndexjahr();
    } catch (const Exception&) {
        newest = QDate::currentDate().year() - 1;
    }
    if (!BrvConnected())
        return std::nullopt;
    QString sql = QStringLiteral(
        "SELECT INDEXWERTE.BRV_MANDANT_NR, INDEXBESCHREIBUNGEN.INSERT_TS, INDEXBESCHREIBUNGEN.UPDATE_TS, "
        "INDEXBESCHREIBUNGEN.KATEGORIE_NR, INDEXBESCHREIBUNGEN.INDEX_NR, INDEXBESCHREIBUNGEN.INDEX_SUBNR, "
        "INDEXBESCHREIBUNGEN.GP_SYSTEMATIK, INDEXBESCHREIBUNGEN.SICHTBAR, INDEXBESCHREIBUNGEN.INDEX_TEXT, "
        "INDEXBESCHREIBUNGEN.NUTZUNGSDAUER FROM INDEXWERTE INNER JOIN INDEXBESCHREIBUNGEN ON "
        "INDEXWERTE.BRV_MANDANT_NR = INDEXBESCHREIBUNGEN.BRV_MANDANT_NR AND INDEXWERTE.KATEGORIE_NR = "
        "INDEXBESCHREIBUNGEN.KATEGORIE_NR INNER JOIN INDEXWERTE INDEXWERTE_AKT ON INDEXWERTE.BRV_MANDANT_NR = "
        "INDEXWERTE_AKT.BRV_MANDANT_NR AND INDEXWERTE.KATEGORIE_NR = INDEXWERTE_AKT.KATEGORIE_NR"
        " WHERE INDEXWERTE.INDEXWERT > 0 AND INDEXWERTE_AKT.INDEXWERT > 0");
    if (year > 0)
        sql += QStringLiteral(" AND INDEXWERTE.INDEXJAHR = ? AND INDEXWERTE_AKT.INDEXJAHR = ?");
    if (!text.isEmpty())
        sql += QStringLiteral(" AND LOWER(INDEXBESCHREIBUNGEN.INDEX_TEXT) LIKE ? ESCAPE '\\'");
    sql += QStringLiteral(" ORDER BY INDEXWERTE.KATEGORIE_NR ");
    fb::Query q(BrvRequireDb(), sql);
    int i = 0;
    if (year > 0) {
        q->bindInt(i++, year);
        q->bindInt(i++, newest);
    }
    if (!text.isEmpty())
        q->bindText(i++, lowerPattern(text));
    q->execute(BrvActiveTrans());
    QList<TBrenvikIndexBeschr> list;
    while (q->fetch())
        list.append(readBeschr(*q));
    return list;
}

void GetIndexBeschreibung(int kategorieNr, TBrenvikIndexBeschr& rec) {
    if (!BrvConnected() || kategorieNr == 0)
        return;
    BrvSql q(QStringLiteral("SELECT ") + kBeschrCols +
                 QStringLiteral(" FROM INDEXBESCHREIBUNGEN WHERE KATEGORIE_NR = ?"),
             kategorieNr);
    if (q.next()) {
        rec = readBeschr(q.st());
        q->closeCursor();
    } else {
        rec.kategorie_nr = 0;
        rec.gp_systematik.clear();
        rec.sichtbar.clear();
        rec.index_text.clear();
    }
}

int GetNutzungsdauer(int kategorieNr) {
    try {
        BrvSql q(QStringLiteral("SELECT NUTZUNGSDAUER FROM INDEXBESCHREIBUNGEN WHERE KATEGORIE_NR = ?"), kategorieNr);
        const int v = q.next() ? q->asInt(0) : 0;
        q->closeCursor();
        return v;
    } catch (...) {
        return 0;
    }
}

bool ExistsKategorie(int kategorieNr) {
    try {
        BrvSql q(QStringLiteral("SELECT KATEGORIE_NR FROM INDEXBESCHREIBUNGEN WHERE KATEGORIE_NR = ?"), kategorieNr);
        const bool found = q.next() && q->asInt(0) > 0;
        q->closeCursor();
        return found;
    } catch (...) {
        return false;
    }
}

void InsertIndexBeschreibung(const TBrenvikIndexBeschr& r) {
    BrvExec(QStringLiteral("INSERT INTO INDEXBESCHREIBUNGEN (") + kBeschrCols +
                QStringLiteral(") VALUES (1, ?, NULL, ?, ?, ?, ?, ?, ?, ?)"),
            SqlTs{BrvNow()}, r.kategorie_nr, r.index_nr, r.index_subnr, r.gp_systematik, r.sichtbar, r.index_text,
            r.nutzungsdauer);
    BrvCommit();
}

bool DeleteAllIndexBeschreibungen() {
    try {
        if (!BrvConnected() || !gBrvTrans->active())
            return true;
        BrvExec(QStringLiteral("DELETE FROM INDEXBESCHREIBUNGEN"));
        BrvCommit();
        return false;
    } catch (...) {
        return true;
    }
}

int GetMaxIndexjahr() {
    BrvSql q(QStringLiteral("SELECT MAX(INDEXJAHR) FROM INDEXWERTE"));
    const int v = q.next() ? q->asInt(0) : 0;
    q->closeCursor();
    BrvCommit();
    return v;
}

double GetIndexwert(int kategorieNr, TDateTime date) {
    BrvSql q(QStringLiteral("SELECT INDEXWERT FROM INDEXWERTE WHERE INDEXJAHR = ? AND KATEGORIE_NR = ?"), YearOf(date),
             kategorieNr);
    const double v = q.next() ? q->asDouble(0) : 0.0;
    q->closeCursor();
    BrvCommit();
    return v;
}

void InsertIndexwert(TBrenvikIndexwert r) {
    BrvExec(QStringLiteral("INSERT INTO INDEXWERTE (BRV_MANDANT_NR, INSERT_TS, UPDATE_TS, KATEGORIE_NR, INDEXJAHR, "
                           "INDEXWERT) VALUES (1, ?, ?, ?, ?, ?)"),
            SqlTs{r.insert_ts}, r.update_ts != 0 ? std::optional<SqlTs>(SqlTs{r.update_ts}) : std::nullopt,
            r.kategorie_nr, int(r.indexjahr), r.indexwert);
    BrvCommit();
}

bool DeleteIndexwerteJahr(int year) {
    try {
        if (!BrvConnected() || !gBrvTrans->active())
            return true;
        BrvExec(QStringLiteral("DELETE FROM INDEXWERTE WHERE INDEXJAHR = ?"), year);
        return false;
    } catch (...) {
        return true;
    }
}

void DeleteDatenimporte(int mandantNr) {
    BrvExec(QStringLiteral("DELETE FROM DATENIMPORTE WHERE MANDANT_NR = ?"), mandantNr);
    BrvCommit();
}

struct DatenimportInserter::Impl {
    fb::Query q{
        BrvRequireDb(),
        QStringLiteral(
            "INSERT INTO DATENIMPORTE (BRV_MANDANT_NR, MANDANT_NR, INSERT_TS, ZEILE_NR, KONTO_NR, "
            "ANLAGEBEZEICHNUNG, ANSCHAFFUNGSDATUM, AHK, GRUPPE, ZUSAETZE, KATEGORIE_NR, LAGERUNG_AUSSEN, "
            "ELEKTRONIK_VERS, MASCHINEN_VERS, LEASING, GEMIETET, GEBAEUDE, GELOESCHT, ADRESS_NR, FESTE_TAXE, "
            "BEARBEITUNG, ANLAGENTYP_ID) VALUES (1, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)")};
    // The rows of one file are stamped with the time their reading began: asking the clock (and its time zone)
    // for every row costs more than the rest of the row's binding.
    SqlTs now{BrvNow()};
};

DatenimportInserter::DatenimportInserter() : d_(std::make_unique<Impl>()) {}
DatenimportInserter::~DatenimportInserter() = default;

void DatenimportInserter::insert(const TBrenvikDatenimport& r) {
    bindAll(*d_->q, r.mandant_nr, d_->now, r.zeile_nr, r.konto_nr, r.anlagebezeichnung, SqlTs{r.anschaffungsdatum},
            r.ahk, r.gruppe, r.zusaetze, r.kategorie_nr, r.lagerung_aussen, r.elektronik_vers, r.maschinen_vers,
            r.leasing, r.gemietet, r.gebaeude, r.geloescht, r.adress_nr, r.feste_taxe, r.bearbeitung, r.anlagentyp_id);
    d_->q->execute(BrvActiveTrans());
}

void InsertDatenimport(const TBrenvikDatenimport& r, bool commit) {
    DatenimportInserter().insert(r);
    if (commit)
        BrvCommit();
}

void GetDatenimport(int mandantNr, int zeileNr, TBrenvikDatenimport& rec) {
    if (!BrvConnected())
        return;
    BrvSql q(
        QStringLiteral("SELECT BRV_MANDANT_NR, MANDANT_NR, INSERT_TS, ZEILE_NR, KONTO_NR, ANLAGEBEZEICHNUNG, "
                       "ANSCHAFFUNGSDATUM, AHK, GRUPPE, ZUSAETZE, KATEGORIE_NR, LAGERUNG_AUSSEN, ELEKTRONIK_VERS, "
                       "MASCHINEN_VERS, LEASING, GEMIETET, GEBAEUDE, GELOESCHT, ADRESS_NR, FESTE_TAXE, BEARBEITUNG, "
                       "ANLAGENTYP_ID FROM DATENIMPORTE WHERE MANDANT_NR = ? AND ZEILE_NR = ?"),
        mandantNr, zeileNr);
    if (!q.next())
        throw EBrvException_NODATA(QStringLiteral("Keine Daten verfuegbar"));
    const fb::Statement& s = q.st();
    rec.brv_mandant_nr = s.asInt(0);
    rec.mandant_nr = s.asInt(1);
    rec.insert_ts = s.asDateTime(2);
    rec.zeile_nr = s.asInt(3);
    rec.konto_nr = s.asText(4);
    rec.anlagebezeichnung = s.asText(5);
    rec.anschaffungsdatum = s.asDateTime(6);
    rec.ahk = s.asDouble(7);
    rec.gruppe = s.asText(8);
    rec.zusaetze = s.asText(9);
    rec.kategorie_nr = s.asInt(10);
    rec.lagerung_aussen = s.asText(11);
    rec.elektronik_vers = s.asText(12);
    rec.maschinen_vers = s.asText(13);
    rec.leasing = s.asText(14);
    rec.gemietet = s.asText(15);
    rec.gebaeude = s.asText(16);
    rec.geloescht = s.asText(17);
    rec.adress_nr = s.asInt(18);
    rec.feste_taxe = s.asText(19);
    rec.bearbeitung = s.asText(20);
    rec.anlagentyp_id = s.asInt(21);
    q->closeCursor();
    BrvCommit();
}

QStringList GetDoppelteKontoNr(int mandantNr) {
    QStringList list;
    BrvSql q(
        QStringLiteral("SELECT KONTO_NR FROM DATENIMPORTE WHERE MANDANT_NR = ? GROUP BY KONTO_NR HAVING COUNT(*) > 1"),
        mandantNr);
    while (q.next())
        list << q->asText(0);
    BrvCommit();
    return list;
}
