#pragma once
// The insured value (index carried forward, VAT corrected) and the current value (degressive over the useful
// life, at least 10 %) of an asset, and the rule by which a stored asset row is valued.

#include "db/brenvik_types.h"

#include <QHash>
#include <QList>

// Index values and useful lives as a valuation reads them. The database source asks the database every time;
// the batch run loads them once.
class IndexSource {
public:
    virtual ~IndexSource() = default;
    // The value of the category for the year; 0 when there is none.
    virtual double indexwert(int kategorieNr, int year) = 0;
    // The useful life of the category; 0 when there is none.
    virtual int nutzungsdauer(int kategorieNr) = 0;
};

class DbIndexSource : public IndexSource {
public:
    double indexwert(int kategorieNr, int year) override;
    int nutzungsdauer(int kategorieNr) override;
};

// All index values and useful lives, read in two statements.
class CachedIndexSource : public IndexSource {
public:
    CachedIndexSource();
    double indexwert(int kategorieNr, int year) override;
    int nutzungsdauer(int kategorieNr) override;

private:
    QHash<qint64, double> values_;
    QHash<int, int> lives_;
};

// The standard VAT rates, read once; gives the same factor as GetMwstFaktor.
class VatRates {
public:
    VatRates();
    double faktor(TDateTime anschaffungsdatum, TDateTime stichtag) const;

private:
    struct Period {
        TDateTime von, bis;
        double rate;
    };
    double rateAt(TDateTime d) const;
    QList<Period> periods_;
};

// Raises EBrvCalcVWError with "Fehler bei der Ermittlung des Versicherungswertes.\r\nSystemmeldung: " + cause.
double CalcVersWert(int mandantNr, int kategorieNr, double ahk, TDateTime anschaffungsdatum, TDateTime bezugsdatum,
                    double faktor);
double CalcVersWert(IndexSource& src, int mandantNr, int kategorieNr, double ahk, TDateTime anschaffungsdatum,
                    TDateTime bezugsdatum, double faktor);
// A useful life of 0 takes the category's. Raises EBrvCalcZWError.
double CalcZeitWert(int nutzungsdauer, int kategorieNr, double versicherungswert, TDateTime anschaffungsdatum);
double CalcZeitWert(IndexSource& src, int nutzungsdauer, int kategorieNr, double versicherungswert,
                    TDateTime anschaffungsdatum);

// "Today" of a valuation: the year that ages count from and the moment the VAT factor is taken for. A batch run
// takes it once.
struct ValuationDay {
    int year;
    TDateTime now;
    static ValuationDay current();
};
double CalcVersWert(IndexSource& src, const ValuationDay& today, int mandantNr, int kategorieNr, double ahk,
                    TDateTime anschaffungsdatum, TDateTime bezugsdatum, double faktor);
double CalcZeitWert(IndexSource& src, const ValuationDay& today, int nutzungsdauer, int kategorieNr,
                    double versicherungswert, TDateTime anschaffungsdatum);

// 1 January of the newest index year, the reference date of every valuation.
TDateTime Bezugsdatum(int maxIndexjahr);

struct RowValuation {
    bool valued = false;   // false: the row is marked deleted (or the mark is unknown) and stays as it is
    bool vwFailed = false; // the insured value could not be computed and is 0
    bool zwFailed = false;
};

// Values a stored row in place: only rows whose deletion mark is exactly "0"; a fixed value takes the cost as
// insured value and keeps the current value; otherwise index and VAT factor (unless the client deducts input
// tax), a failing computation giving 0.
RowValuation ValueStoredRow(TBrenvikVersWerte& r, bool bVAT, TDateTime bezugsdatum, IndexSource& src,
                            const VatRates& rates, const ValuationDay& today = ValuationDay::current());

// The year the index picker starts from for these assets: the earliest year of acquisition; the newest index year
// when one of them has no valid acquisition date.
int ReindexStartYear(const QList<TBrenvikVersWerte>& rows);
// Gives the stored asset another index category and its insured value anew: the acquisition cost carried from the
// acquisition date to the newest index year, with the VAT factor unless the client deducts input tax (bVAT). Saved;
// returns the stored row. Raises EBrvErrorOnGetMaxIndexYear, EBrvCalcVWError or the data layer's exceptions.
TBrenvikVersWerte ReindexVersWert(int mandantNr, int anlageNr, int anlageSubNr, int kategorieNr, bool bVAT);
