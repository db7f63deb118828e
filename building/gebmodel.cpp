#include "building/gebmodel.h"

#include "db/brenvik_types.h"
#include "core/convert.h"
#include "platform/dialogs.h"

#include <QDate>
#include <QLocale>

#include <algorithm>
#include <cmath>

namespace {

QString todayText() {
    return QDate::currentDate().toString(QStringLiteral("dd.MM.yyyy"));
}

// Division as the valuation expects it: a zero divisor is a failure, not an infinity.
double divide(double a, double b) {
    if (b == 0)
        throw EBrvCommonException(a == 0 ? QStringLiteral("Ungültige Gleitkommaoperation")
                                         : QStringLiteral("Gleitkommadivision durch Null"));
    return a / b;
}

const QString kNeuwert = QStringLiteral("Neuwert");
const QString kEUR = QStringLiteral("EUR");
const QString kMK = QStringLiteral("MK");

} // namespace

double GebRoundCent(double v) {
    // Half to even on the cent, computed explicitly: no switch of the FPU's rounding mode, which the optimizer
    // does not treat as a barrier and moves arithmetic across.
    const double x = v * 100;
    const double f = std::floor(x);
    const double frac = x - f;
    double r = f;
    if (frac > 0.5 || (frac == 0.5 && std::fmod(f, 2.0) != 0))
        r = f + 1;
    return r / 100;
}

namespace {
double powerOfTen(int d) {
    double f = 1;
    for (int i = 0; i < std::abs(d); ++i)
        f *= 10; // exact, unlike pow
    return f;
}
} // namespace

double GebRoundDigits(double v, int d) {
    // Powers of ten are exact as divisors and factors, so whole thousands stay whole thousands.
    const double f = powerOfTen(d);
    return d >= 0 ? std::nearbyint(v * f) / f : std::nearbyint(v / f) * f;
}

double GebRoundUpDigits(double v, int d) {
    const double f = powerOfTen(d);
    return d >= 0 ? std::ceil(v * f) / f : std::ceil(v / f) * f;
}

QString GebFmt(double v) {
    return QLocale().toString(v, 'f', 2);
}

QString GebPercentText(double v) {
    QLocale l;
    l.setNumberOptions(QLocale::OmitGroupSeparator);
    return l.toString(v, 'f', 2) + QStringLiteral(" %");
}

TGebObjekt::TGebObjekt(const QString& pid, const QString& ownerId)
    : CreateDate(todayText()), PID(pid), OwnerID(ownerId) {}

TGebBuilding::TGebBuilding(const QString& objektPid)
    : PID(NewGuidText()), GebObj_ID(objektPid), CreateDate(todayText()), DimCaption(QStringLiteral("Fläche")) {}

void TGebBuilding::setBaujahr(const QString& year) {
    baujahr_ = year;
    const QString t = year.trimmed();
    if (t.isEmpty()) {
        Alter = 0;
        return;
    }
    bool ok = false;
    const int y = t.toInt(&ok);
    if (!ok)
        throw EBrvTypeConversionError(QStringLiteral("'%1' ist kein gültiger ganzzahliger Wert.").arg(year));
    // "85" is no year of construction, and a building from the future has no age.
    const int now = QDate::currentDate().year();
    if (t.size() != 4 || y < 1000 || y > now)
        throw EBrvTypeConversionError(
            QStringLiteral("Das Baujahr '%1' ist nicht plausibel. Bitte geben Sie ein vierstelliges Jahr bis %2 an.")
                .arg(t)
                .arg(now));
    Alter = now - y;
}

double TGebBuilding::GetWertminderungPercentByZustand(const QString& pZustand) const {
    if (Lebensdauer <= 0 || Alter <= 0)
        return 0;
    // Past its useful life a building stays at the end of its curve (the curve after Vogel would fall again and
    // give an old neglected building less depreciation than a young one).
    const double r = std::min(Alter / Lebensdauer, 1.0);
    double p;
    if (pZustand == QStringLiteral("Nachlässige Instandhaltung"))
        p = (1.2 * r - 0.4 * r * r) * 100; // after Vogel
    else if (pZustand == QLatin1String("Normale Instandhaltung"))
        p = r * 100; // linear
    else if (pZustand == QStringLiteral("Sorgfältige Instandhaltung"))
        p = ((r * r + r) * 0.5) * 100; // after Ross
    else if (pZustand == QStringLiteral("Sehr sorgfältige Instandhaltung"))
        p = r * r * 100; // parabola
    else
        return 0;
    // A building past its useful life has lost all of its value, never more: the current value stays at 0 or above.
    return GebRoundDigits(std::clamp(p, 0.0, 100.0), 2);
}

bool TGebBuilding::Calculate(const QString& pEinheit, double pIdxVal1970, double pIdxValActYear,
                             double pIdxVal900ActYear, bool pUstPflicht, double pCurVAT) {
    try {
        ProduktIdx = Produkt;
        KostenIdx = Kosten;
        AufzugskostenIdx = Aufzugskosten;
        if (pIdxVal1970 < 0 || pIdxValActYear < 0)
            return true;
        const bool neuwert = Versart == kNeuwert;
        if (neuwert) {
            if (pEinheit == kEUR) {
                ProduktIdx = GebRoundCent(divide(Produkt, pIdxVal1970) * pIdxValActYear);
                CurRichtpreis = CurProdukt = kEUR;
            } else {
                ProduktIdx = GebRoundCent(Produkt * pIdxVal900ActYear);
                CurRichtpreis = CurProdukt = kMK;
            }
            CurProduktIdx = CurKostenIdx = CurAufzugIdx = CurBaupreise = kEUR;
            KostenIdx = GebRoundCent(Kosten * pIdxVal900ActYear);
            AufzugskostenIdx = GebRoundCent(Aufzugskosten * pIdxVal900ActYear);
            VersArtStr = QStringLiteral("Versicherungswert zum Neuwert");
        } else {
            if (pEinheit == kEUR) {
                const double t = divide(Produkt, pIdxVal1970) * pIdxValActYear;
                ProduktIdxNeuwertEUR = t;
                ProduktIdx = GebRoundCent(divide(t, pIdxVal900ActYear));
                CurRichtpreis = CurProdukt = kEUR;
                CurProduktIdx = kMK;
            } else {
                ProduktIdx = Produkt;
                CurRichtpreis = CurProdukt = kMK;
                CurProduktIdx.clear();
            }
            CurKostenIdx.clear();
            CurAufzugIdx.clear();
            CurBaupreise = kMK;
            KostenIdx = GebRoundCent(Kosten);
            AufzugskostenIdx = GebRoundCent(Aufzugskosten);
            VersArtStr = QStringLiteral("Gleitender Neuwert");
        }
        VersWert = GebRoundCent(ProduktIdx + KostenIdx + AufzugskostenIdx);
        WiederBPreisOrg = VersWert;
        // The guide prices of the catalogue were made with 16 % VAT.
        if (Umsatzsteuer) {
            VersWert = VersWert / 1.16 * pCurVAT;
            if (pUstPflicht || pCurVAT > 1)
                UStKorrektur = true;
        } else if (pUstPflicht) {
            VersWert = VersWert * pCurVAT;
            UStKorrektur = true;
        }
        RNDWiederKost = GebFmt(VersWert);
        SummeNK = GebFmt(VERSSTEUER / 100 * VersWert);
        VersWert = GebRoundCent(VERSSTEUER / 100 * VersWert) + VersWert;
        SummeBau = GebFmt(VersWert);
        SummeBauRound = GebFmt(GebRoundUpDigits(VersWert, -3));
        VersWert = GebRoundDigits(VersWert, 0);
        // Beyond any building the catalogue knows: refused rather than stored as a figure nobody can read.
        if (!std::isfinite(VersWert) || std::fabs(VersWert) >= 1e15)
            throw Exception(QStringLiteral("Der berechnete Versicherungswert ist nicht plausibel. Bitte prüfen Sie "
                                           "Richtpreis, Maße und Kosten."));
        WertminderungPercent = 0;
        Wertminderung = 0;
        // Without a useful life or an age there is no depreciation: the current value is the insured value.
        Zeitwert = VersWert;
        if (Lebensdauer > 0 && Alter > 0) {
            WertminderungPercent = GetWertminderungPercentByZustand(Zustand);
            if (WertminderungPercent > 0)
                Wertminderung = GebRoundDigits(VersWert * WertminderungPercent / 100, 2);
            Zeitwert = GebRoundDigits(VersWert - Wertminderung, 0);
        }
        RNDKostenIDXSum = GebFmt(KostenIdx);
        RNDProduktIDXSum = GebFmt(ProduktIdx);
        RNDAufzugIDXSum = GebFmt(AufzugskostenIdx);
        RNDProdukt = GebFmt(Produkt);
        RNDKosten = GebFmt(Kosten);
        RNDAufzug = GebFmt(Aufzugskosten);
        RNDZeitwert = GebFmt(Zeitwert);
        if (neuwert) {
            RNDProduktIDX = GebFmt(ProduktIdx);
            RNDKostenIDX = GebFmt(KostenIdx);
            RNDAufzugIDX = GebFmt(AufzugskostenIdx);
        } else {
            RNDProduktIDX.clear();
            RNDKostenIDX.clear();
            RNDAufzugIDX.clear();
        }
        if (Versart == QLatin1String("MK (Mark1914)") && pEinheit == kEUR)
            RNDProduktIDX = GebFmt(ProduktIdx);
        return true;
    } catch (const std::exception& e) {
        const auto* ours = dynamic_cast<const Exception*>(&e);
        platform::dialogs().message(QStringLiteral("Fehler in Calculate: ") +
                                        (ours ? ours->message() : QString::fromLocal8Bit(e.what())),
                                    platform::MsgIcon::Error, platform::MsgButtons::Ok);
        return false;
    }
}

void TGebBuilding::DeriveSaveTexts() {
    const double p = Zeitwert > 0 && VersWert > 0 ? GebRoundCent(Zeitwert / (VersWert / 100)) : 0;
    ZeitwertPercent = GebFmt(p);
    try {
        WM1 = GebPercentText(GetWertminderungPercentByZustand(QStringLiteral("Nachlässige Instandhaltung")));
        WM2 = GebPercentText(GetWertminderungPercentByZustand(QStringLiteral("Normale Instandhaltung")));
        WM3 = GebPercentText(GetWertminderungPercentByZustand(QStringLiteral("Sorgfältige Instandhaltung")));
        WM4 = GebPercentText(GetWertminderungPercentByZustand(QStringLiteral("Sehr sorgfältige Instandhaltung")));
        WMSelected = GebPercentText(GetWertminderungPercentByZustand(Zustand));
    } catch (...) {
        WM1 = WM2 = WM3 = WM4 = WMSelected = QStringLiteral("%");
    }
    CaptionCUR = Versart == kNeuwert ? kEUR : kMK;
}
