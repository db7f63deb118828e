#include "building/gebbericht.h"

#include "building/gebdata.h"
#include "db/dbaccess.h"

QList<QVariantList> RunGebReportSql(const GebReportSql& s, QStringList* columns) {
    QList<QVariantList> rows;
    if (s.isEmpty())
        return rows;
    fb::Query q(BrvRequireDb(), s.sql);
    int i = 0;
    for (const auto& p : s.params) {
        std::visit([&](const auto& v) { bindOne(*q, i, v); }, p);
        ++i;
    }
    q->execute(BrvActiveTrans());
    if (columns)
        for (int c = 0; c < q->columnCount(); ++c)
            *columns << q->columnName(c).toUpper();
    while (q->fetch()) {
        QVariantList row;
        for (int c = 0; c < q->columnCount(); ++c)
            row << q->value(c);
        rows << row;
    }
    return rows;
}

TGebBerichtSQL::TGebBerichtSQL(int clientId, const QString& gebAusf, const QString& gebArt, const QString& objId,
                               const QString& gebId)
    : FGebID(gebId), FObjID(objId), FGebArt(gebArt), FGebAusf(gebAusf), FClientID(clientId) {}

GebReportSql TGebBerichtSQL::GEB_Dim_SQL() const {
    return {QStringLiteral("SELECT * from TABGEBDIM WHERE DIMGEB_FK = ?"), {FGebID}};
}

GebReportSql TGebBerichtSQL::GEB_PRODUKT_SQL() const {
    return {QStringLiteral("SELECT * from TABGEBPRODUKT WHERE GEBBUILDING_ID = ?"), {FGebID}};
}

GebReportSql TGebBerichtSQL::GEB_Dim_Sum_SQL() const {
    return {QStringLiteral("SELECT SUM(DIMFLAECHE) AS Summe FROM TABGEBDIM WHERE DIMGEB_FK = ?"), {FGebID}};
}

GebReportSql TGebBerichtSQL::GEB_Aufzug_SQL() const {
    return {QStringLiteral("SELECT * from TABGEBAUFZUGBESTAND WHERE OWNERID = ?"), {FGebID}};
}

GebReportSql TGebBerichtSQL::GEB_Objekt_SQL() const {
    return {QStringLiteral("SELECT * from TABGEBOBJEKT WHERE PID = ?"), {FObjID}};
}

GebReportSql TGebBerichtSQL::GEB_Mandant_SQL() const {
    return {QStringLiteral("SELECT * from MANDANTEN WHERE MANDANT_NR = ?"), {FClientID}};
}

GebReportSql TGebBerichtSQL::GEB_Building_SQL() const {
    return {
        QStringLiteral(
            "SELECT TABGEBBUILDINGA.CAPTION AS BCAPTION, TABGEBBUILDINGA.BAUJAHR AS BBAUJAHR, "
            "TABGEBBUILDINGA.RICHTPREIS "
            "AS BRICHTPREIS, TABGEBBUILDINGA.DACHART AS BDACHART, TABGEBBUILDINGA.ZUSTAND AS BZUSTAND, "
            "TABGEBBUILDINGA.LEBENSDAUER AS BLEBENSDAUER, TABGEBBUILDINGA.GEBALTER AS BGEBALTER, TABGEBBUILDINGA.AUSF "
            "AS BAUSFUEHRUNG, TABGEBBUILDINGA.AUSF_GRUND AS BAUSFGRUND, TABGEBBUILDINGA.PRODUKT AS BPRODUKT, "
            "TABGEBBUILDINGA.PRODUKTIDX AS BPRODUKTIDX, TABGEBBUILDINGA.KOSTEN AS BKOSTEN, TABGEBBUILDINGA.KOSTENIDX "
            "AS BKOSTENIDX, TABGEBBUILDINGA.AUFZUGSKOSTEN AS BAUFZUGSKOSTEN, TABGEBBUILDINGA.AUFZUGSKOSTENIDX AS "
            "BAUFZUGSKOSTENIDX, TABGEBBUILDINGA.VERSWERT AS BVERSWERT, TABGEBBUILDINGA.WERTMINDERUNG AS "
            "BWERTMINDERUNG, TABGEBBUILDINGA.ZEITWERT AS BZEITWERT, TABGEBBUILDINGA.UMRECHNUNGSART AS "
            "BUMRECHNUNGSART, TABGEBBUILDINGA.SUMMENK AS BSUMMENK, TABGEBBUILDINGA.SUMMEBAU AS BSUMMEBAU, "
            "TABGEBBUILDINGA.SUMMEBAUROUND AS BSUMMEBAUROUND, TABGEBBUILDINGA.WM1 AS BWM1, TABGEBBUILDINGA.WM2 AS "
            "BWM2, TABGEBBUILDINGA.WM3 AS BWM3, TABGEBBUILDINGA.WM4 AS BWM4, TABGEBBUILDINGA.WMSELECTED AS "
            "BWMSELECTED, TABGEBBUILDINGA.CAPTIONCUR AS BCAPTIONCUR, TABGEBBUILDINGA.ZEITWERTPERCENT AS "
            "BZEITWERTPERCENT, TABGEBBUILDINGA.RNDPRODUKT AS BRNDPRODUKT, TABGEBBUILDINGA.RNDPRODUKTIDX AS "
            "BRNDPRODUKTIDX, TABGEBBUILDINGA.RNDKOSTEN AS BRNDKOSTEN, TABGEBBUILDINGA.RNDKOSTENIDX AS BRNDKOSTENIDX, "
            "TABGEBBUILDINGA.RNDAUFZUG AS BRNDAUFZUG, TABGEBBUILDINGA.RNDAUFZUGIDX AS BRNDAUFZUGIDX, "
            "TABGEBBUILDINGA.RNDZEITWERT AS BRNDZEITWERT, TABGEBBUILDINGA.WIEDERBPREISORG AS WIEDERBPREISORG, "
            "TABGEBTYPES.AUSFROHBAU AS TROHBAU, TABGEBTYPES.GEBCAPTION AS TCAPTION, TABGEBTYPES.DESCRIPTION AS "
            "TDESCRIPTION, TABGEBTYPES.RICHTPREISART AS TRICHTPREISART, TABGEBTYPES.LIFETIMEMIN AS TLIFEMIN, "
            "TABGEBTYPES.LIFETIMEMAX AS TLIFEMAX, TABGEBTYPES.HERKUNFT AS HERKUNFT, TABGEBTYPES.UST AS UST, "
            "TABGEBBUILDINGA.RNDKOSTENIDXSUM AS BRNDKOSTENIDXSUM, TABGEBBUILDINGA.RNDPRODUKTIDXSUM AS "
            "BRNDPRODUKTIDXSUM, TABGEBBUILDINGA.RNDAUFZUGIDXSUM AS BRNDAUFZUGIDXSUM, TABGEBBUILDINGA.VERSSTEUER AS "
            "BVERSSTEUER, TABGEBBUILDINGA.RNDWIEDERKOST AS BRNDWIEDERKOST, TABGEBBUILDINGA.DIMCAPTION AS "
            "BDIMCAPTION, TABGEBBUILDINGA.UMRECHNUNGSARTSONST AS BUMRECHNUNGSARTSONST, "
            "TABGEBBUILDINGA.BERECHNUNGSARTDIM AS BBERECHNUNGSARTDIM, TABGEBOBJEKT.USTPFLICHT AS USTPFLICHT, "
            "TABGEBOBJEKT.INDVSTVAL AS INDVSTVAL, STEUERSAETZE.STEUERSATZ as REGELSTEUERSATZ FROM  TABGEBTYPES, "
            "TABGEBBUILDINGA, TABGEBOBJEKT , STEUERSAETZE WHERE  TABGEBBUILDINGA.PID = ? "
            " AND TABGEBTYPES.GEBCAPTION = TABGEBBUILDINGA.ART "
            " AND TABGEBBUILDINGA.GEBOBJ_ID = TABGEBOBJEKT.PID "
            " AND STEUERSAETZE.STEUERSATZ_ART = 'REGELSATZ' "
            " AND CAST('NOW' AS DATE) BETWEEN STEUERSAETZE.GUELTIG_VON AND STEUERSAETZE.GUELTIG_BIS"),
        {FGebID}};
}

namespace {
// The column of the type that belongs to a finish: 0 simple, 1 normal, 2 good, -1 none.
int finishIndex(const QString& ausf) {
    if (ausf == QStringLiteral("Einfache Ausführung"))
        return 0;
    if (ausf == QStringLiteral("Normale Ausführung"))
        return 1;
    if (ausf == QStringLiteral("Gute / sehr gute Ausführung"))
        return 2;
    return -1;
}
} // namespace

GebReportSql TGebBerichtSQL::GEB_Richtpreis_SQL() const {
    static const char* const columns[] = {"RICHTPEINFACH", "RICHTPNORMAL", "RICHTPGUT"};
    const int i = finishIndex(FGebAusf);
    if (i < 0)
        return {};
    return {QStringLiteral("SELECT TABGEBTYPES.%1 AS TRICHTPREIS FROM TABGEBTYPES WHERE TABGEBTYPES.GEBCAPTION = ?")
                .arg(QLatin1String(columns[i])),
            {FGebArt}};
}

GebReportSql TGebBerichtSQL::GEB_Ausf_SQL() const {
    static const char* const columns[] = {"AUSFEINFACH", "AUSFNORMAL", "AUSFGUT"};
    const int i = finishIndex(FGebAusf);
    if (i < 0)
        return {};
    return {QStringLiteral("SELECT TABGEBTYPES.%1 as TAUSFUEHRUNG FROM TABGEBTYPES WHERE TABGEBTYPES.GEBCAPTION = ?")
                .arg(QLatin1String(columns[i])),
            {FGebArt}};
}

GebReportSql TGebBerichtSQL::GEB_Cur_SQL() const {
    return {
        QStringLiteral("SELECT TABGEBBUILDINGA.CURRICHTPREIS AS BCURRICHTPREIS, TABGEBBUILDINGA.CURPRODUKT AS "
                       "BCURPRODUKT, TABGEBBUILDINGA.CURPRODUKTIDX AS BCURPRODUKTIDX, TABGEBBUILDINGA.CURKOSTENIDX AS "
                       "BCURKOSTENIDX, TABGEBBUILDINGA.CURAUFZUGIDX AS BCURAUFZUGIDX, TABGEBBUILDINGA.CURBAUPREISE AS "
                       "BCURBAUPREISE, TABGEBBUILDINGA.VERSARTSTR AS BVERSARTSTR FROM TABGEBBUILDINGA WHERE "
                       "TABGEBBUILDINGA.PID = ?"),
        {FGebID}};
}

GebReportSql TGebBerichtSQL::GEB_Description() const {
    return {QStringLiteral(
                "SELECT TABGEBTYPES.DESCRIPTION AS TGEBCAPTION FROM TABGEBTYPES WHERE TABGEBTYPES.GEBCAPTION = ?"),
            {FGebArt}};
}

GebReportSql TGebBerichtSQL::GEB_Rohbau_SQL() const {
    return {
        QStringLiteral("SELECT TABGEBTYPES.AUSFROHBAU AS TROHBAU FROM TABGEBTYPES WHERE TABGEBTYPES.GEBCAPTION = ?"),
        {FGebArt}};
}

TGebObjekt TGebBerichtSQL::GetObjektData() const {
    return GetGebObjekt(FObjID);
}
