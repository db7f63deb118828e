#include "building/gebprepare.h"

#include "building/gebdata.h"
#include "db/brenvik_config.h"
#include "core/convert.h"
#include "db/indexwerte.h"
#include "platform/dialogs.h"

#include <QDate>

const QString kGebNoIndexMessage = QStringLiteral("Keine Indexwerte gefunden - bitte Gebäudetyp wählen!");

double GebIndexFallback2000(int kategorieNr) {
    switch (kategorieNr) {
    case 894:
        return 26.8966;
    case 895:
        return 26.6957;
    case 900:
        return 6.369;
    case 1021:
        return 4.89872821479039;
    default:
        return 0;
    }
}

double GebDimensionQuantity(const TGebDimension& d) {
    return d.DimEinheit == QStringLiteral("m²") ? d.DimL * d.DimB : d.DimL * d.DimB * d.DimH;
}

double GebMeasureSum(const TGebMeasure& m) {
    return m.MeasureCount * m.Richtpreis;
}

double GebAufzugSumme(const TGebAufzugBestand& a) {
    return a.Anzahl * a.Richtpreis + a.ExtraHaltestelleCount * a.RichtpreisExtra;
}

void ApplyGebTypeUnits(const TGebType& type, TGebBuilding& b, QString& einheit, QString& dimIdentifier) {
    const QString art = type.RICHTPREISART.toUpper();
    if (art.contains(QLatin1String("EUR")))
        einheit = QStringLiteral("EUR");
    else if (art.contains(QLatin1String("MK")))
        einheit = QStringLiteral("MK");
    if (type.RICHTBASISEINH == QLatin1String("m2")) {
        dimIdentifier = QStringLiteral("m²");
        b.DimCaption = QStringLiteral("Fläche");
        b.BerechnungsartDim = QStringLiteral("Berechnung der Wohn-/Nutzfläche");
    } else {
        dimIdentifier = QStringLiteral("m³");
        b.DimCaption = QStringLiteral("Umbauter Raum");
        b.BerechnungsartDim = QStringLiteral("Berechnung des umbauten Raums gem. DIN 277");
    }
    b.Umsatzsteuer = type.UST == QLatin1String("1");
}

bool LoadGebIndexValues(int indexNr, double& idx1970, double& idxActYear, double& idx900ActYear) {
    idx1970 = idxActYear = idx900ActYear = 0;
    if (!ExistsKategorie(indexNr))
        return false;
    idx1970 = GetIndexwert(indexNr, EncodeDate(2000, 6, 1));
    if (!(idx1970 > 0))
        idx1970 = GebIndexFallback2000(indexNr);
    int year = QDate::currentDate().addMonths(-12).year();
    const int maxYear = GetMaxIndexjahr();
    if (maxYear < year)
        year = maxYear;
    idxActYear = GetIndexwert(indexNr, EncodeDate(year, 6, 1));
    idx900ActYear = GetIndexwert(900, EncodeDate(year, 6, 1));
    return true;
}

double GebVatFactor(const TGebObjekt& o) {
    if (!o.UstPflicht)
        return 1 + o.IndVstVal / 100;
    try {
        return GetAktuellerMwstFaktor();
    } catch (const Exception&) {
        platform::dialogs().message(QStringLiteral("Fehler während der Ermittlung des aktuellen Umsatzsteuersatzes "
                                                   "(DB-Fehler). \r\nBitte informieren Sie den Softwarehersteller."),
                                    platform::MsgIcon::Error, platform::MsgButtons::Ok);
        return 0;
    }
}

TGebPreparation PrepareGebCalculation(TGebBuilding& b, const TGebObjekt& o, const TGebType* type,
                                      const QList<TGebDimension>& dims, const QList<TGebMeasure>& measures,
                                      const QList<TGebAufzugBestand>& aufzuege) {
    TGebPreparation p;
    // The line sums as stored: what the line dialogs showed and the user confirmed (two decimals), not a
    // recomputation from the lengths and counts.
    double quantity = 0;
    for (const TGebDimension& d : dims)
        quantity += d.DimFlaeche;
    b.Produkt = quantity * b.Richtpreis;
    b.Kosten = 0;
    for (const TGebMeasure& m : measures)
        b.Kosten += m.MeasureSum;
    b.Aufzugskosten = 0;
    for (const TGebAufzugBestand& a : aufzuege)
        b.Aufzugskosten += a.AufzugSumme;
    // Ancillary costs of 0 % are taken as the usual 14 %.
    if (!(b.VERSSTEUER > 0))
        b.VERSSTEUER = 14;
    if (type) {
        ApplyGebTypeUnits(*type, b, p.params.pEinheit, p.dimIdentifier);
        p.indexFound = LoadGebIndexValues(type->INDEXNR, p.params.pIdxVal1970, p.params.pIdxValActYear,
                                          p.params.pIdxVal900ActYear);
    }
    p.params.pUstPflicht = o.UstPflicht;
    p.params.pCurVAT = GebVatFactor(o);
    return p;
}

bool CalculateGebBuilding(TGebBuilding& b, const TGebObjekt& o, const TGebType* type, const QList<TGebDimension>& dims,
                          const QList<TGebMeasure>& measures, const QList<TGebAufzugBestand>& aufzuege,
                          TGebPreparation* prepared) {
    const TGebPreparation p = PrepareGebCalculation(b, o, type, dims, measures, aufzuege);
    if (prepared)
        *prepared = p;
    if (!p.canCalculate())
        return false;
    const TGebCalcParams& c = p.params;
    return b.Calculate(c.pEinheit, c.pIdxVal1970, c.pIdxValActYear, c.pIdxVal900ActYear, c.pUstPflicht, c.pCurVAT);
}

bool CalculateStoredGebBuilding(TGebBuilding& b, const TGebObjekt& o, const TGebType* type, TGebPreparation* prepared) {
    return CalculateGebBuilding(b, o, type, GetGebDimensions(b.PID), GetGebMeasures(b.PID), GetGebAufzugBestand(b.PID),
                                prepared);
}
