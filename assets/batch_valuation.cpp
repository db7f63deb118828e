#include "assets/batch_valuation.h"

#include "assets/valuation.h"
#include "core/convert.h"
#include "db/brenvik_config.h"
#include "db/dbaccess.h"
#include "db/indexwerte.h"

#include <QHash>

namespace {
qint64 rowKey(int nr, int sub) {
    return (qint64(nr) << 32) | quint32(sub);
}
} // namespace

QList<BatchRow> AllAssetRows(int mandantNr) {
    QList<BatchRow> rows;
    BrvSql q(QStringLiteral("SELECT ANLAGE_NR, ANLAGE_SUB_NR FROM VERSICHERUNGSWERTE WHERE MANDANT_NR = ? "
                            "ORDER BY ANLAGE_NR, ANLAGE_SUB_NR"),
             mandantNr);
    while (q.next())
        rows.append({q->asInt(0), q->asInt(1)});
    return rows;
}

BatchResult RunBatchValuation(const QList<BatchRow>& rows, const BatchOptions& o) {
    BatchResult res;
    RequireMandantLock(o.mandantNr);
    TDateTime bezugsdatum = 0;
    try {
        bezugsdatum = Bezugsdatum(GetMaxIndexjahr());
    } catch (const Exception&) {
        throw EBrvErrorOnGetMaxIndexYear(
            QStringLiteral("Das aktuelle/ maximale Indexjahr konnte nicht ermittelt werden."));
    }
    // Index values, useful lives and rates are read once for the run, and the client's rows in one statement.
    CachedIndexSource index;
    const VatRates rates;
    const ValuationDay today = ValuationDay::current();
    // Only what the valuation reads; the run writes back only what it computes.
    QHash<qint64, TBrenvikVersWerte> stored;
    {
        BrvSql q(QStringLiteral("SELECT ANLAGE_NR, ANLAGE_SUB_NR, ANSCHAFFUNGSDATUM, AHK, ZEITWERT, NUTZUNGSDAUER, "
                                "KATEGORIE_NR, GELOESCHT, FESTE_TAXE, VERSICHERUNGSWERT FROM VERSICHERUNGSWERTE "
                                "WHERE BRV_MANDANT_NR = 1 AND MANDANT_NR = ?"),
                 o.mandantNr);
        while (q.next()) {
            TBrenvikVersWerte r;
            r.brv_mandant_nr = 1;
            r.mandant_nr = o.mandantNr;
            r.anlage_nr = q->asInt(0);
            r.anlage_sub_nr = q->asInt(1);
            r.anschaffungsdatum = q->asDateTime(2);
            r.ahk = q->asDouble(3);
            r.zeitwert = q->asDouble(4);
            r.nutzungsdauer = q->asInt(5);
            r.kategorie_nr = q->asInt(6);
            r.geloescht = q->asText(7);
            r.feste_taxe = q->asText(8);
            r.versicherungswert = q->asDouble(9);
            stored.insert(rowKey(r.anlage_nr, r.anlage_sub_nr), r);
        }
    }
    BrvCommit();
    fb::Query update(BrvRequireDb(),
                     QStringLiteral("UPDATE VERSICHERUNGSWERTE SET UPDATE_TS = ?, ANSCHAFFUNGSJAHR = ?, "
                                    "VERSICHERUNGSWERT = ?, ZEITWERT = ? WHERE BRV_MANDANT_NR = 1 AND MANDANT_NR = ? "
                                    "AND ANLAGE_NR = ? AND ANLAGE_SUB_NR = ?"));
    const int total = rows.size();
    int pending = 0;
    for (int i = 0; i < total; ++i) {
        if (o.progress && !o.progress(i, total)) {
            res.cancelled = true;
            break;
        }
        const BatchRow& row = rows[i];
        try {
            auto it = stored.find(rowKey(row.anlageNr, row.anlageSubNr));
            if (it == stored.end())
                throw EBrvException_NODATA(QStringLiteral("Keine Daten verfuegbar"));
            TBrenvikVersWerte& r = *it;
            const RowValuation v = ValueStoredRow(r, o.bVAT, bezugsdatum, index, rates, today);
            if (!v.valued) {
                ++res.skipped;
                continue;
            }
            bindAll(*update, SqlTs{today.now}, YearOf(r.anschaffungsdatum), r.versicherungswert, r.zeitwert,
                    r.mandant_nr, r.anlage_nr, r.anlage_sub_nr);
            update->execute(BrvActiveTrans());
            ++res.valued;
            if (v.vwFailed || v.zwFailed)
                ++res.withoutValue;
            if (o.rowValued)
                o.rowValued(i, r);
            if (++pending >= o.commitEvery) {
                BrvCommit();
                pending = 0;
            }
        } catch (const Exception& e) {
            if (!o.stopOnError) {
                ++res.failed;
                continue;
            }
            res.stopped = true;
            res.stopIndex = i;
            res.stopAnlageNr = row.anlageNr;
            res.stopMessage = e.message();
            break;
        }
    }
    BrvCommit();
    return res;
}
