#include "assets/valuation.h"

#include "db/brenvik_config.h"
#include "core/convert.h"
#include "db/dbaccess.h"
#include "db/indexwerte.h"
#include "db/versicherungswerte.h"

#include <QDate>

#include <cmath>

namespace {
qint64 key(int kategorieNr, int year) {
    return (qint64(kategorieNr) << 20) | (year & 0xFFFFF);
}
} // namespace

double DbIndexSource::indexwert(int kategorieNr, int year) {
    return GetIndexwert(kategorieNr, EncodeDate(year, 1, 1));
}
int DbIndexSource::nutzungsdauer(int kategorieNr) {
    return GetNutzungsdauer(kategorieNr);
}

CachedIndexSource::CachedIndexSource() {
    {
        BrvSql q(QStringLiteral("SELECT KATEGORIE_NR, INDEXJAHR, INDEXWERT FROM INDEXWERTE"));
        while (q.next())
            values_.insert(key(q->asInt(0), q->asInt(1)), q->asDouble(2));
    }
    BrvSql q(QStringLiteral("SELECT KATEGORIE_NR, NUTZUNGSDAUER FROM INDEXBESCHREIBUNGEN"));
    while (q.next())
        lives_.insert(q->asInt(0), q->asInt(1));
}

double CachedIndexSource::indexwert(int kategorieNr, int year) {
    return values_.value(key(kategorieNr, year), 0.0);
}
int CachedIndexSource::nutzungsdauer(int kategorieNr) {
    return lives_.value(kategorieNr, 0);
}

VatRates::VatRates() {
    try {
        BrvSql q(QStringLiteral("SELECT GUELTIG_VON, GUELTIG_BIS, STEUERSATZ FROM STEUERSAETZE WHERE STEUERSATZ_ART = "
                                "'REGELSATZ' ORDER BY GUELTIG_VON"));
        while (q.next())
            periods_.append({q->asDateTime(0), q->asDateTime(1), q->asDouble(2)});
    } catch (const Exception&) {
        periods_.clear(); // no rate: the factor is 1.0, as for a failing rate query
    }
}

double VatRates::rateAt(TDateTime d) const {
    const TDateTime day = std::floor(d);
    for (const Period& p : periods_)
        if (p.von <= day && day <= p.bis)
            return p.rate;
    return 0.0;
}

double VatRates::faktor(TDateTime anschaffungsdatum, TDateTime stichtag) const {
    if (anschaffungsdatum < EncodeDate(1968, 1, 1))
        return 1.0;
    const double rA = rateAt(anschaffungsdatum), rR = rateAt(stichtag);
    if (rA <= 0 || rR <= 0)
        return 1.0;
    return (rR / 100 + 1) / (rA / 100 + 1);
}

ValuationDay ValuationDay::current() {
    return {QDate::currentDate().year(), BrvNow()};
}

double CalcVersWert(IndexSource& src, int mandantNr, int kategorieNr, double ahk, TDateTime anschaffungsdatum,
                    TDateTime bezugsdatum, double faktor) {
    return CalcVersWert(src, ValuationDay::current(), mandantNr, kategorieNr, ahk, anschaffungsdatum, bezugsdatum,
                        faktor);
}

double CalcVersWert(IndexSource& src, const ValuationDay& today, int mandantNr, int kategorieNr, double ahk,
                    TDateTime anschaffungsdatum, TDateTime bezugsdatum, double faktor) {
    try {
        if (mandantNr <= 0 || ahk <= 0)
            throw Exception(QStringLiteral("Ungueltige Parameter (Mandantenschluessel, AHK)"));
        const int age = today.year - YearOf(anschaffungsdatum);
        if (age == 0 || age == 1)
            return ahk * faktor;
        if (kategorieNr == 0)
            throw Exception(QStringLiteral("Ungueltige Parameter (Indexnummer)"));
        const double iRef = src.indexwert(kategorieNr, YearOf(bezugsdatum));
        const double iAns = src.indexwert(kategorieNr, YearOf(anschaffungsdatum));
        if (!(iRef > 0) || !(iAns > 0))
            throw Exception(QStringLiteral("Es konnten keine gueltigen Indexwerte ermittelt werden."));
        const double carried = (iRef / iAns) * ahk;
        return carried * faktor;
    } catch (const std::exception& e) {
        throw EBrvCalcVWError(QStringLiteral("Fehler bei der Ermittlung des Versicherungswertes.\r\nSystemmeldung: ") +
                              QString::fromUtf8(e.what()));
    }
}

double CalcVersWert(int mandantNr, int kategorieNr, double ahk, TDateTime anschaffungsdatum, TDateTime bezugsdatum,
                    double faktor) {
    DbIndexSource src;
    return CalcVersWert(src, mandantNr, kategorieNr, ahk, anschaffungsdatum, bezugsdatum, faktor);
}

double CalcZeitWert(IndexSource& src, int nutzungsdauer, int kategorieNr, double versicherungswert,
                    TDateTime anschaffungsdatum) {
    return CalcZeitWert(src, ValuationDay::current(), nutzungsdauer, kategorieNr, versicherungswert, anschaffungsdatum);
}

double CalcZeitWert(IndexSource& src, const ValuationDay& today, int nutzungsdauer, int kategorieNr,
                    double versicherungswert, TDateTime anschaffungsdatum) {
    try {
        int nd = nutzungsdauer;
        if (nd == 0)
            nd = src.nutzungsdauer(kategorieNr);
        const int age = today.year - YearOf(anschaffungsdatum);
        if (age <= 2)
            return versicherungswert;
        if (nd <= 0)
            throw Exception(QStringLiteral("Der Parameter Nutzungsdauer ist ungueltig oder nicht vorhanden"));
        if (age > nd)
            return 0.1 * versicherungswert;
        const double t = double(age) / double(nd);
        const double q = 1 - 1.2 * t + 0.4 * std::pow(t, 2.0);
        const double candidate = versicherungswert * q;
        return 0.1 * versicherungswert > candidate ? 0.1 * versicherungswert : candidate;
    } catch (const std::exception& e) {
        throw EBrvCalcZWError(QString::fromUtf8(e.what()));
    }
}

double CalcZeitWert(int nutzungsdauer, int kategorieNr, double versicherungswert, TDateTime anschaffungsdatum) {
    DbIndexSource src;
    return CalcZeitWert(src, nutzungsdauer, kategorieNr, versicherungswert, anschaffungsdatum);
}

TDateTime Bezugsdatum(int maxIndexjahr) {
    return EncodeDate(maxIndexjahr > 0 ? maxIndexjahr : 1, 1, 1);
}

RowValuation ValueStoredRow(TBrenvikVersWerte& r, bool bVAT, TDateTime bezugsdatum, IndexSource& src,
                            const VatRates& rates, const ValuationDay& today) {
    RowValuation v;
    if (r.geloescht != QLatin1String("0"))
        return v;
    v.valued = true;
    if (r.feste_taxe == QLatin1String("1")) {
        r.versicherungswert = r.ahk;
        return v;
    }
    const double faktor = bVAT ? 1.0 : rates.faktor(r.anschaffungsdatum, today.now);
    try {
        r.versicherungswert =
            CalcVersWert(src, today, r.mandant_nr, r.kategorie_nr, r.ahk, r.anschaffungsdatum, bezugsdatum, faktor);
    } catch (const EBrvCalcVWError&) {
        r.versicherungswert = 0;
        v.vwFailed = true;
    }
    try {
        r.zeitwert =
            CalcZeitWert(src, today, r.nutzungsdauer, r.kategorie_nr, r.versicherungswert, r.anschaffungsdatum);
    } catch (const EBrvCalcZWError&) {
        r.zeitwert = 0;
        v.zwFailed = true;
    }
    return v;
}

int ReindexStartYear(const QList<TBrenvikVersWerte>& rows) {
    int earliest = 0;
    for (const TBrenvikVersWerte& r : rows) {
        const QDate d = TDateTimeToDate(r.anschaffungsdatum);
        if (!d.isValid())
            return GetMaxIndexjahr();
        earliest = earliest == 0 ? d.year() : std::min(earliest, d.year());
    }
    return earliest;
}

TBrenvikVersWerte ReindexVersWert(int mandantNr, int anlageNr, int anlageSubNr, int kategorieNr, bool bVAT) {
    TBrenvikVersWerte r;
    GetVersWert(mandantNr, anlageNr, anlageSubNr, r);
    TDateTime bezugsdatum = 0;
    try {
        bezugsdatum = Bezugsdatum(GetMaxIndexjahr());
    } catch (const Exception&) {
        throw EBrvErrorOnGetMaxIndexYear(
            QStringLiteral("Das aktuelle/ maximale Indexjahr konnte nicht ermittelt werden."));
    }
    const double faktor = bVAT ? 1.0 : GetMwstFaktor(r.anschaffungsdatum, BrvNow());
    r.versicherungswert = CalcVersWert(mandantNr, kategorieNr, r.ahk, r.anschaffungsdatum, bezugsdatum, faktor);
    r.kategorie_nr = kategorieNr;
    SaveVersWert(r);
    return r;
}
