#include "reports/report_catalogue.h"

#include "db/brenvik_types.h"
#include "db/mandanten.h"
#include "db/versicherungswerte.h"

#include <QDate>
#include <QLocale>
#include <QMap>
#include <QRegularExpression>

namespace {

const QString kBase = QStringLiteral(
    "m.mandant_nr, m.firma, v.konto_nr, v.anlagebezeichnung, v.anschaffungsdatum, v.ahk, v.versicherungswert");
const QString kIndexColumns = QStringLiteral(
    "iAns.kategorie_nr, iAns.indexwert, bAns.index_nr, bAns.gp_systematik , bAns.index_text, iAkt.kategorie_nr as "
    "kategorie_nr_akt, iAkt.indexwert as indexwert_akt, bAkt.index_text as index_text_akt");
const QString kAssetJoin =
    QStringLiteral("from (MANDANTEN m left join VERSICHERUNGSWERTE v on m.mandant_nr = v.mandant_nr)");
const QString kAddressJoin =
    QStringLiteral("left join ADRESSEN a on (v.mandant_nr = a.mandant_nr and v.adress_nr = a.adress_nr)");
const QString kIndexJoins = QStringLiteral(
    "left join INDEXWERTE iAns on (v.kategorie_nr = iAns.kategorie_nr and v.anschaffungsjahr = iAns.indexjahr) left "
    "join INDEXBESCHREIBUNGEN bAns on iAns.kategorie_nr = bAns.kategorie_nr left join INDEXWERTE iAkt on "
    "(v.kategorie_nr = iAkt.kategorie_nr and iAkt.indexjahr = #AKTIDXJAHR#) inner join INDEXBESCHREIBUNGEN bAkt on "
    "iAkt.kategorie_nr = bAkt.kategorie_nr");
const QString kActive = QStringLiteral("v.geloescht <> '1' and (v.abgangsjahr is null or v.abgangsjahr = 0)");
const QString kUsed =
    QStringLiteral("(upper(v.anlagebezeichnung) like '%GEBR.%' or upper(v.anlagebezeichnung) like '%GEBRAUCHT%' or "
                   "upper(v.anlagebezeichnung) like '%GEB.%' )");

QString plus(std::initializer_list<QString> parts) {
    QStringList l;
    for (const QString& p : parts)
        l << p;
    return l.join(QLatin1Char(' '));
}

QString indexFamily(const QString& extra, bool addressJoin, const QString& conditions, const QString& order) {
    QString s = QStringLiteral("select ") + kBase + QStringLiteral(", ") + extra + QStringLiteral(", ") +
                kIndexColumns + QLatin1Char(' ') + kAssetJoin;
    if (addressJoin)
        s += QLatin1Char(' ') + kAddressJoin;
    return s + QLatin1Char(' ') + kIndexJoins + QStringLiteral(" #WHERE# ") + conditions +
           QStringLiteral(" order by ") + order;
}

QString simpleFamily(const QString& extra, const QString& conditions) {
    return QStringLiteral("select ") + kBase + QStringLiteral(", ") + extra + QLatin1Char(' ') + kAssetJoin +
           QStringLiteral(" #WHERE# ") + conditions + QStringLiteral(" order by m.mandant_nr, v.konto_nr");
}

const QString kKennzahlenJoin =
    QStringLiteral(" left join KENNZAHLEN_HIST k on (k.mandant_nr = m.mandant_nr and k.bilanzjahr = #AKTIDXJAHR#)");

// The report statements, with their placeholders.
const QMap<QString, QString>& catalogue() {
    static const QMap<QString, QString> c = [] {
        QMap<QString, QString> m;
        const QString addr = QStringLiteral("v.notiztext, a.adress_nr, a.adressbezeichnung, a.plz, a.ort");
        const QString note = QStringLiteral("v.notiztext");
        const QString byAddress = QStringLiteral("m.mandant_nr, a.adress_nr, konto_nr");
        const QString byAccount = QStringLiteral("m.mandant_nr, v.konto_nr");
        m[QStringLiteral("REPORT_10_POSITION_I_GEBAEUDE")] = indexFamily(
            addr, true, plus({QStringLiteral("and v.gebaeude = '1' and v.ahk > 0 and"), kActive}), byAddress);
        m[QStringLiteral("REPORT_20_POSITION_II_OHNE_GRUPPIERUNG")] =
            indexFamily(note, false, plus({QStringLiteral("and v.gebaeude <> '1' and v.ahk > 0 and"), kActive}),
                        QStringLiteral("m.mandant_nr, konto_nr"));
        m[QStringLiteral("REPORT_21_POSITION_II_ANLAGENGRUPPIERUNG")] =
            indexFamily(QStringLiteral("v.notiztext, v.gruppe"), false,
                        plus({QStringLiteral("and v.gebaeude <> '1' and v.ahk > 0 and"), kActive}),
                        QStringLiteral("m.mandant_nr, v.gruppe, konto_nr"));
        m[QStringLiteral("REPORT_22_POSITION_II_STANDORTGRUPPIERUNG")] = indexFamily(
            addr, true, plus({QStringLiteral("and v.ahk > 0 and v.gebaeude <> '1' and"), kActive}), byAddress);
        m[QStringLiteral("REPORT_23_BEARBEITETE_POSITIONEN")] =
            indexFamily(addr, true, QStringLiteral("and v.ahk >= 0 and v.bearbeitung = '1'"), byAddress);
        const std::pair<const char*, const char*> flagged[] = {
            {"REPORT_50_ELEKTRONIKVERSICHERUNG", "v.elektronik_vers"},
            {"REPORT_51_MASCHINENVERSICHERUNG", "v.maschinen_vers"},
            {"REPORT_52_LAGERUNG_IM_FREIEN", "v.lagerung_aussen"},
            {"REPORT_54_MIETE", "v.gemietet"},
            {"REPORT_55_FESTETAXE", "v.feste_taxe"}};
        for (const auto& [key, flag] : flagged)
            m[QString::fromLatin1(key)] =
                indexFamily(note, false,
                            plus({QStringLiteral("and"), kActive,
                                  QStringLiteral("and %1 = '1' and v.ahk > 0").arg(QLatin1String(flag))}),
                            byAccount);
        m[QStringLiteral("REPORT_53_LEASING")] = indexFamily(
            note, false, QStringLiteral("and v.geloescht <> '1' and v.leasing = '1' and v.ahk > 0"), byAccount);

        const QString mverse = QStringLiteral("v.maschinen_vers, v.elektronik_vers");
        const QString soft = QStringLiteral("v.zeitwert, v.software, v.leasing");
        m[QStringLiteral("REPORT_24_GEBRAUCHTE_ANLAGEN_1EUR")] =
            simpleFamily(QStringLiteral("v.notiztext, v.maschinen_vers, v.elektronik_vers"),
                         plus({QStringLiteral("and (v.abgangsjahr = 0 or v.abgangsjahr is null) and"), kActive,
                               QStringLiteral("and (v.ahk <= 1 or"), kUsed, QStringLiteral(")")}));
        m[QStringLiteral("REPORT_28_AKTIVE_ANLAGEN")] = simpleFamily(mverse, plus({QStringLiteral("and"), kActive}));
        m[QStringLiteral("REPORT_29_AKTIVE_ANLAGEN_MVERS_EVERS")] =
            simpleFamily(mverse, plus({QStringLiteral("and"), kActive,
                                       QStringLiteral("and (v.maschinen_vers = '1' or v.elektronik_vers = '1')")}));
        m[QStringLiteral("REPORT_30_AKTIVE_ANLAGEN_OHNE_INDEX")] = simpleFamily(
            mverse,
            plus({QStringLiteral("and"), kActive, QStringLiteral("and (kategorie_nr = 0 or kategorie_nr is null)")}));
        m[QStringLiteral("REPORT_31_AKTIVE_GEBRAUCHTE_ANLAGEN")] =
            simpleFamily(mverse, plus({QStringLiteral("and"), kActive, QStringLiteral("and"), kUsed}));
        m[QStringLiteral("REPORT_45_AKTIVE_ANLAGEN_SOFTWARE")] =
            simpleFamily(soft, plus({QStringLiteral("and"), kActive, QStringLiteral("and v.software = '1'")}));
        m[QStringLiteral("REPORT_46_AKTIVE_ANLAGEN_LEASING")] =
            simpleFamily(soft, plus({QStringLiteral("and"), kActive, QStringLiteral("and v.leasing = '1'")}));

        m[QStringLiteral("ANLAGEVERZEICHNIS")] = QStringLiteral(
            "select m.mandant_nr, m.firma, v.konto_nr, v.anlagebezeichnung, v.anschaffungsdatum, v.ahk, "
            "v.versicherungswert from MANDANTEN m left outer join VERSICHERUNGSWERTE v on m.mandant_nr = v.mandant_nr "
            "#WHERE# and v.geloescht <> '1' and (v.abgangsjahr is null or v.abgangsjahr = 0) order by m.mandant_nr, "
            "v.konto_nr");
        m[QStringLiteral("ANLAGEVERZEICHNIS_INDEXZUORDNUNG")] = QStringLiteral(
            "select m.mandant_nr, m.firma, v.konto_nr, v.anlagebezeichnung, v.anschaffungsdatum, v.ahk, "
            "i.kategorie_nr, "
            "i.indexwert, b.index_text from ((MANDANTEN m left join VERSICHERUNGSWERTE v on m.mandant_nr = "
            "v.mandant_nr) left join INDEXWERTE i on (v.kategorie_nr = i.kategorie_nr and v.anschaffungsjahr = "
            "i.indexjahr)) left join INDEXBESCHREIBUNGEN b on i.kategorie_nr = b.kategorie_nr and v.geloescht <> '1' "
            "and (v.abgangsjahr is null or v.abgangsjahr = 0) #WHERE# order by m.mandant_nr, v.konto_nr");
        m[QStringLiteral("REPORT_27_ZEITWERT")] =
            QStringLiteral(
                "select m.mandant_nr, m.firma, v.konto_nr, v.anlagebezeichnung, v.anschaffungsdatum, v.ahk, "
                "v.versicherungswert, v.zeitwert, v.notiztext, iAns.kategorie_nr, iAns.indexwert, bAns.index_nr, "
                "bAns.gp_systematik , bAns.index_text, iAkt.kategorie_nr as kategorie_nr_akt, iAkt.indexwert as "
                "indexwert_akt, bAkt.index_text as index_text_akt, v.zeitwert as endwert from (MANDANTEN m left join "
                "VERSICHERUNGSWERTE v on m.mandant_nr = v.mandant_nr) left join INDEXWERTE iAns on (v.kategorie_nr = "
                "iAns.kategorie_nr and v.anschaffungsjahr = iAns.indexjahr) left join INDEXBESCHREIBUNGEN bAns on "
                "iAns.kategorie_nr = bAns.kategorie_nr left join INDEXWERTE iAkt on (v.kategorie_nr = "
                "iAkt.kategorie_nr and "
                "iAkt.indexjahr = #AKTIDXJAHR#) inner join INDEXBESCHREIBUNGEN bAkt on iAkt.kategorie_nr = "
                "bAkt.kategorie_nr") +
            kKennzahlenJoin +
            QStringLiteral(
                " #WHERE# and v.ahk > 0 and v.zeitwert > 0 and v.gebaeude <> '1' and v.geloescht <> '1' and "
                "(v.abgangsjahr is null or v.abgangsjahr = 0) and v.zeitwert > 0 order by m.mandant_nr, v.konto_nr");
        m[QStringLiteral("REPORT_32_AKTIVE_ABGEGANGENE_GEL_ANLAGEN")] = QStringLiteral(
            "select m.mandant_nr, m.firma, v.konto_nr, v.anlagebezeichnung, v.anschaffungsdatum, v.ahk "
            ",v.versicherungswert, v.abgangsjahr, v.geloescht, v1.GRP from (MANDANTEN m left join VERSICHERUNGSWERTE v "
            "on m.mandant_nr = v.mandant_nr) inner join (SELECT MANDANT_NR, ANLAGE_NR, ANLAGE_SUB_NR, 'ABGANG' as GRP "
            "FROM VERSICHERUNGSWERTE vSUB WHERE vSUB.GELOESCHT = '1' OR (vSUB.ABGANGSJAHR is not null and "
            "vSUB.ABGANGSJAHR > 0) UNION ALL SELECT MANDANT_NR, ANLAGE_NR, ANLAGE_SUB_NR, 'AKTIV' as GRP FROM "
            "VERSICHERUNGSWERTE vSUB WHERE vSUB.GELOESCHT = '0' AND (vSUB.ABGANGSJAHR is null or vSUB.ABGANGSJAHR = 0) "
            ") v1 on v.mandant_nr = v1.mandant_nr and v.anlage_nr = v1.anlage_nr and v.anlage_sub_nr = "
            "v1.anlage_sub_nr "
            "#WHERE# order by m.mandant_nr, v1.GRP, v.anlage_nr, v.anlage_sub_nr");
        m[QStringLiteral("REPORT_40_VORSORGEABRECHNUNG")] = QStringLiteral(
            "select m.mandant_nr, m.firma, v.konto_nr, v.anlagebezeichnung, v.anschaffungsdatum, v.abgangsjahr, v.ahk, "
            "v.versicherungswert, v.maschinen_vers, v.elektronik_vers, vZ.verswert_zugang, vA.verswert_abgang from "
            "MANDANTEN m left outer join VERSICHERUNGSWERTE v on m.mandant_nr = v.mandant_nr left outer join (select "
            "mandant_nr, anlage_nr, anlage_sub_nr, versicherungswert as verswert_zugang from versicherungswerte where "
            "(abgangsjahr is null or abgangsjahr = 0) and (EXTRACT(YEAR from anschaffungsdatum) = EXTRACT(YEAR from "
            "Current_date) -1)) vZ on v.mandant_nr = vZ.mandant_nr and v.anlage_nr = vZ.anlage_nr and v.anlage_sub_nr "
            "= vZ.anlage_sub_nr left outer join (select mandant_nr, anlage_nr, anlage_sub_nr, versicherungswert as "
            "verswert_abgang from versicherungswerte where (abgangsjahr is not null and abgangsjahr > 0) and "
            "(abgangsjahr = EXTRACT(YEAR from Current_date) - 1)) vA on v.mandant_nr = vA.mandant_nr and v.anlage_nr = "
            "vA.anlage_nr and v.anlage_sub_nr = vA.anlage_sub_nr #WHERE# and v.geloescht <> '1' order by "
            "m.mandant_nr, v.konto_nr");
        m[QStringLiteral("REPORT_41_VORSORGESUMME")] = QStringLiteral(
            "select m.mandant_nr, m.firma, v.anlage_nr, v.konto_nr, v.anlagebezeichnung, v.anschaffungsdatum, "
            "v.abgangsjahr, v.anschaffungsjahr, v.ahk, v.versicherungswert, v.maschinen_vers, v.elektronik_vers, "
            "vZ.verswert_zugang, vA.verswert_abgang from MANDANTEN m left outer join VERSICHERUNGSWERTE v on "
            "m.mandant_nr = v.mandant_nr left outer join (select mandant_nr, anlage_nr, anlage_sub_nr, "
            "versicherungswert as verswert_zugang from versicherungswerte where (abgangsjahr is null or abgangsjahr = "
            "0)) vZ on v.mandant_nr = vZ.mandant_nr and v.anlage_nr = vZ.anlage_nr and v.anlage_sub_nr = "
            "vZ.anlage_sub_nr left outer join (select mandant_nr, anlage_nr, anlage_sub_nr, versicherungswert as "
            "verswert_abgang from versicherungswerte where (abgangsjahr is not null and abgangsjahr > 0) ) vA on "
            "v.mandant_nr = vA.mandant_nr and v.anlage_nr = vA.anlage_nr and v.anlage_sub_nr = vA.anlage_sub_nr inner "
            "join (select mandant_nr, max(anschaffungsjahr) as maxadat from versicherungswerte group by mandant_nr) "
            "vad on v.mandant_nr = vad.mandant_nr and v.anschaffungsjahr = vad.maxadat #WHERE# and v.geloescht <> '1' "
            "order by m.mandant_nr, v.konto_nr");
        return m;
    }();
    return c;
}

const QString kKeyFigures = QStringLiteral(
    "select m.mandant_nr, m.bilanzjahr, m.fertige_erz_bilanz, m.unfertige_erz_bilanz, m.lager_bstoffe_bilanz, "
    "m.fertige_erz_max, m.unfertige_erz_max, m.lager_bstoffe_max, m.vorsorgesumme, m.endwertgrenze from "
    "kennzahlen_hist m #WHERE# and m.bilanzjahr = (EXTRACT(YEAR from Current_date) - 1)");

// The picture attachment: the photo file name as an extra column, only rows that have one.
QString picturesOf(const QString& key, QString sql) {
    if (key == QLatin1String("REPORT_23_BEARBEITETE_POSITIONEN"))
        sql.replace(QStringLiteral("v.ahk >= 0"), QStringLiteral("v.ahk > 0"));
    if (key == QLatin1String("REPORT_27_ZEITWERT"))
        sql.remove(kKennzahlenJoin);
    sql.insert(sql.indexOf(QStringLiteral(" from ")), QStringLiteral(", v.DATEINAME_FOTO"));
    const QString condition = QStringLiteral("and v.DATEINAME_FOTO <> '' ");
    if (key == QLatin1String("ANLAGEVERZEICHNIS_INDEXZUORDNUNG"))
        sql.insert(sql.indexOf(QStringLiteral("#WHERE#")), condition);
    else
        sql.insert(sql.lastIndexOf(QStringLiteral("order by")), condition);
    return sql;
}

// The placeholders become "?" marks; their values follow in the order they stand in the text.
ReportSql bind(const QString& sql, int clientId, int year, int addressNr = 0) {
    static const QRegularExpression marks(QStringLiteral("#WHERE#|#AKTIDXJAHR#"),
                                          QRegularExpression::CaseInsensitiveOption);
    ReportSql out;
    qsizetype at = 0;
    for (QRegularExpressionMatchIterator it = marks.globalMatch(sql); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        out.sql += sql.mid(at, m.capturedStart() - at);
        if (m.captured().compare(QLatin1String("#WHERE#"), Qt::CaseInsensitive) == 0) {
            out.sql += QStringLiteral("where m.mandant_nr = ?");
            out.params << clientId;
            if (addressNr > 0) {
                out.sql += QStringLiteral(" and v.adress_nr = ?");
                out.params << addressNr;
            }
        } else {
            out.sql += QStringLiteral("?");
            out.params << year;
        }
        at = m.capturedEnd();
    }
    out.sql += sql.mid(at);
    return out;
}

} // namespace

QStringList ReportKeys() {
    QStringList keys = catalogue().keys();
    keys << QStringLiteral("REPORT_11_GEBAEUDEWERT");
    keys.sort();
    return keys;
}

bool IsReportListed(const QString& name) {
    if (name.toUpper() == QLatin1String("REPORT_IMAGES"))
        return false;
    static const QStringList hidden = {
        QStringLiteral("Report_45_Aktive_Anlagen_Software"), QStringLiteral("Anlageverzeichnis"),
        QStringLiteral("Anlageverzeichnis_Indexzuordnung"), QStringLiteral("Report_41_Vorsorgesumme"),
        QStringLiteral("Report_46_Aktive_Anlagen_Leasing")};
    return !hidden.contains(name);
}

bool IsClientWideReport(const QString& name) {
    const QString key = name.toUpper();
    return key == QLatin1String("REPORT_40_VORSORGEABRECHNUNG") || key == QLatin1String("REPORT_41_VORSORGESUMME") ||
           key == QLatin1String("REPORT_11_GEBAEUDEWERT");
}

ReportStatements PrepareReportStatements(const QString& reportName, int clientId, int newestIndexYear, int addressNr) {
    ReportStatements r;
    r.key = reportName.toUpper();
    if (r.key == QLatin1String("REPORT_11_GEBAEUDEWERT")) {
        r.buildingReport = true;
        return r;
    }
    const auto it = catalogue().constFind(r.key);
    if (it == catalogue().cend())
        throw EBrvUnknownReport(
            QStringLiteral("Bericht ist nicht bekannt. Bitte informieren Sie den Softwarehersteller."));
    // The provision settlement is the client's as a whole: its key figures and provision sum belong to no site.
    if (IsClientWideReport(r.key))
        addressNr = 0;
    r.rows = bind(*it, clientId, newestIndexYear, addressNr);
    // The key figures are the client's own, whatever site the rows come from.
    if (r.key == QLatin1String("REPORT_40_VORSORGEABRECHNUNG"))
        r.keyFigures = bind(kKeyFigures, clientId, newestIndexYear);
    else
        r.pictures = bind(picturesOf(r.key, *it), clientId, newestIndexYear, addressNr);
    return r;
}

std::optional<std::pair<QString, QString>> ReportVorsorgeParameters(int clientId) {
    TBrenvikKennzahlenHist k;
    try {
        GetKennzahlenHist(clientId, QDate::currentDate().year() - 1, k);
    } catch (const Exception&) {
        return std::nullopt;
    }
    try {
        QString zugang, abgang;
        GetVersWertZugangVorjahr(clientId, zugang);
        GetVersWertAbgangVorjahr(clientId, abgang);
        // No additions or disposals at all count as 0.
        bool ok1 = false, ok2 = false;
        const double z = zugang.isEmpty() ? (ok1 = true, 0.0) : QLocale().toDouble(zugang, &ok1);
        const double a = abgang.isEmpty() ? (ok2 = true, 0.0) : QLocale().toDouble(abgang, &ok2);
        if (!ok1 || !ok2)
            return std::nullopt;
        const double d = z - a;
        const double n = k.vorsorgesumme - d;
        const auto euro = [](double v) { return QLocale().toString(v, 'f', 2) + QStringLiteral(" €"); };
        return std::pair{euro(d), euro(n)};
    } catch (const Exception&) {
        return std::nullopt;
    }
}
