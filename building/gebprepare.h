#pragma once
// What the building editor gathers before a calculation: the units of the building type, the index values, the
// VAT factor and the sums of the line items. Shared by the editor and brenvik-cli.

#include "building/gebmodel.h"

#include <QList>

// Built-in year-2000 values of the building-price series, used when the database has none for 2000.
double GebIndexFallback2000(int kategorieNr);

// The line sums as the editor keeps them: DimFlaeche (L × B, times H unless the unit is "m²"), MeasureSum and
// AufzugSumme.
double GebDimensionQuantity(const TGebDimension& d);
double GebMeasureSum(const TGebMeasure& m);
double GebAufzugSumme(const TGebAufzugBestand& a);

// The currency and quantity of the type's guide prices: einheit keeps its previous value when the type names
// neither "EUR" nor "MK". Sets DimCaption, BerechnungsartDim and Umsatzsteuer of the building.
void ApplyGebTypeUnits(const TGebType& type, TGebBuilding& b, QString& einheit, QString& dimIdentifier);

// The three index values of a type's series. False (all three 0) when the category does not exist; the editor then
// shows "Keine Indexwerte gefunden - bitte Gebäudetyp wählen!".
bool LoadGebIndexValues(int indexNr, double& idx1970, double& idxActYear, double& idx900ActYear);
extern const QString kGebNoIndexMessage;

// The VAT factor of the object: today's regular rate when the object is liable, else its individual rate. A failed
// look-up shows the German error box and gives 0, so that no calculation runs.
double GebVatFactor(const TGebObjekt& o);

struct TGebPreparation {
    TGebCalcParams params;
    QString dimIdentifier; // "m²" or "m³"
    bool indexFound = false;
    bool canCalculate() const { return params.pCurVAT > 0; }
};

// All of the above for a stored building: the stored line sums into Produkt, Kosten and Aufzugskosten, 0 %
// ancillary costs as 14 %, units and index values of the type (none when type is null), the object's VAT factor.
TGebPreparation PrepareGebCalculation(TGebBuilding& b, const TGebObjekt& o, const TGebType* type,
                                      const QList<TGebDimension>& dims, const QList<TGebMeasure>& measures,
                                      const QList<TGebAufzugBestand>& aufzuege);

// The one valuation of a building, used by the building editor, the object window and brenvik-cli alike:
// PrepareGebCalculation, then Calculate with its parameters. False when it cannot run (no VAT factor) or fails.
bool CalculateGebBuilding(TGebBuilding& b, const TGebObjekt& o, const TGebType* type, const QList<TGebDimension>& dims,
                          const QList<TGebMeasure>& measures, const QList<TGebAufzugBestand>& aufzuege,
                          TGebPreparation* prepared = nullptr);
// The same with the building's line items as stored.
bool CalculateStoredGebBuilding(TGebBuilding& b, const TGebObjekt& o, const TGebType* type,
                                TGebPreparation* prepared = nullptr);
