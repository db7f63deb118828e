#pragma once
// The building module's data: a client owns objects (insured properties), an object owns buildings and
// attachments, a building owns dimension, component and elevator lines. Dates are texts "dd.mm.yyyy".

#include "building/gebtypes.h"

#include <QString>

// One insured property of a client.
class TGebObjekt {
public:
    TGebObjekt() = default;
    // Today as creation date; every other text empty.
    TGebObjekt(const QString& pid, const QString& ownerId);

    QString Ersteller;
    QString CreateDate;
    QString Flur;
    bool UstPflicht = false; // values are gross: the insured party may not deduct input tax
    double IndVstVal = 0;    // individual input-tax percentage when UstPflicht is clear
    QString PID;
    QString OwnerID; // the client number as text
    QString Gemarkung;
    QString Caption;
    QString Strasse;
    QString VersNehmer;
    QString Ort;
    QString Grundbuch;
    QString ErstellerStr;
    QString ErstellerOrt;
    QString ErstellerNach;
    QString ErstellerVor;
};

// The inputs a calculation needs besides the building's own fields.
struct TGebCalcParams {
    QString pEinheit;             // currency of the type's guide prices: "EUR" or "MK"
    double pIdxVal1970 = 0;       // the type's building-price index for the year 2000
    double pIdxValActYear = 0;    // ... for the current index year
    double pIdxVal900ActYear = 0; // Mark 1914 to today's EUR
    bool pUstPflicht = false;
    double pCurVAT = 0; // 1 + rate / 100
};

// One building with its valuation.
class TGebBuilding {
public:
    // A new building of the object: a new identifier, today as creation date, "Fläche", 14 % ancillary costs.
    explicit TGebBuilding(const QString& objektPid);

    QString PID;
    QString GebObj_ID;
    QString Caption;
    QString Zusatz;
    QString Art;
    QString Ausf;
    double Wertminderung = 0;
    double WertminderungPercent = 0; // of the last calculation; not stored
    double Kosten = 0;
    QString Grund;
    double VersWert = 0;
    double WiederBPreisOrg = 0;
    double Richtpreis = 0;
    double Zeitwert = 0;
    double Produkt = 0;
    QString Zustand;
    QString Dachart;
    QString CreateDate;
    double Lebensdauer = 0;
    double Alter = 0;
    double Aufzugskosten = 0;
    QString Aufmassquelle;
    double KostenIdx = 0;
    double AufzugskostenIdx = 0;
    double ProduktIdx = 0;
    QString Anmerkung;
    QString Versart;
    QString SummeBauRound;
    QString ZeitwertPercent;
    QString CaptionCUR;
    QString SummeNK;
    QString Umrechnungsart;
    QString WM2, WM3, WMSelected, WM1, WM4;
    QString SummeBau;
    QString RNDZeitwert, RNDProduktIDX, RNDProdukt, RNDKostenIDX, RNDKosten, RNDAufzugIDX, RNDAufzug;
    QString CurRichtpreis, CurProduktIdx, CurKostenIdx, CurAufzugIdx, CurBaupreise, CurProdukt;
    QString VersArtStr;
    QString RNDKostenIDXSum, RNDAufzugIDXSum, RNDProduktIDXSum;
    double VERSSTEUER = 14; // ancillary costs in percent
    QString RNDWiederKost;
    QString DimCaption;
    QString UmrechnungsartSonst;
    QString BerechnungsartDim;
    double ProduktIdxNeuwertEUR = 0; // not stored
    bool Umsatzsteuer = false;       // the type's guide prices include VAT; not stored
    bool UStKorrektur = false;       // the last calculation corrected the VAT; not stored

    const QString& Baujahr() const { return baujahr_; }
    // Stores the year and sets Alter to the years since then (0 for a blank text). Raises EBrvTypeConversionError
    // for a text that is no number; the year is stored all the same.
    void setBaujahr(const QString& year);

    // The valuation: writes the converted sums, the insured value, the depreciation and the display texts.
    // A failure is shown as "Fehler in Calculate: ..." and returns false; the fields keep what was written.
    bool Calculate(const QString& pEinheit, double pIdxVal1970, double pIdxValActYear, double pIdxVal900ActYear,
                   bool pUstPflicht, double pCurVAT);
    bool Calculate(const TGebCalcParams& p) {
        return Calculate(p.pEinheit, p.pIdxVal1970, p.pIdxValActYear, p.pIdxVal900ActYear, p.pUstPflicht, p.pCurVAT);
    }
    // The depreciation percentage of a maintenance condition for the building's age and useful life.
    double GetWertminderungPercentByZustand(const QString& pZustand) const;
    // The texts stored with a saved building: ZeitwertPercent, WM1 to WM4, WMSelected and CaptionCUR.
    void DeriveSaveTexts();

private:
    QString baujahr_;
};

class TGebDimension {
public:
    QString DimCaption;
    QString PID;
    int DimPos = 0;
    double DimFlaeche = 0;
    QString DimGeb_FK;
    double DimH = 0;
    double DimL = 0;
    double DimB = 0;
    QString DimEinheit; // "m²" or "m³"
};

class TGebMeasure {
public:
    QString Einheit;
    double MeasureCount = 0;
    double MeasureZ = 0;
    QString PID;
    double MeasureX = 0; // minimum guide price of the catalogue
    double MeasureY = 0; // maximum guide price of the catalogue
    int PosNr = 0;
    QString Caption;
    double MeasureSum = 0;
    double Richtpreis = 0;
    int MeasureCanCount = 0;
    QString GebBuildingID;
    QString Zusatz;
};

class TGebAufzugBestand {
public:
    QString Einheit;
    QString PID;
    QString Nutzlast;
    QString OwnerID;
    double Richtpreis = 0;
    int Haltestellen = 0;
    double AufzugSumme = 0;
    int ExtraHaltestelleCount = 0;
    QString AufzugCaption;
    double RichtpreisExtra = 0;
    int Anzahl = 0;
};

class TGebFile {
public:
    QString GebFilename;
    QString PID;
    QString Owner_ID;
};

// An object and one of its buildings, for the building choice.
class TGebObjektGeb {
public:
    QString ObjOrt, GebCaption, ObjCaption, ObjStrasse, GebPID, ObjektPID, GebArt, GebAusf;
};

// The three roundings of the valuation.
// Cent rounding: to two places, ties to even.
double GebRoundCent(double v);
// Digit rounding: to d places (d < 0: to tens, hundreds, ...), ties to even.
double GebRoundDigits(double v, int d);
// The same, always upwards (the rounded-up building sum).
double GebRoundUpDigits(double v, int d);
// "%.2n": two decimals with the locale's thousands separator.
QString GebFmt(double v);
// A depreciation percentage as stored and shown: "0.00" and " %" ("25,00 %").
QString GebPercentText(double v);
