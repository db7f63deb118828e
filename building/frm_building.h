#pragma once
// The building editor "Gebäude": one building's description, its type with the type details beside, and its
// valuation recomputed after every change.

#include "building/gebhelper.h"
#include "building/gebmodel.h"

#include <QDialog>
#include <QList>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTextEdit;

// One building type, read-only.
class TFrmGebTypeInfo : public QWidget {
    Q_OBJECT
public:
    explicit TFrmGebTypeInfo(QWidget* parent = nullptr);
    void ShowType(const TGebType& t, const QString& versart);

    QLineEdit *txtNummer, *txtIndexNr, *txtBezeichnung, *txtArtRichtwerte, *txtLebensdauerMin, *txtLebensdauerMax,
        *txtRichtEinfach, *txtRichtNormal, *txtRichtGut, *txtHerkunft;
    QTextEdit *memDescription, *memRohbau, *memEinfach, *memNormal, *memGut;
    QCheckBox* cbxUst;
};

class TFrmBuilding : public QDialog {
    Q_OBJECT
public:
    explicit TFrmBuilding(QWidget* parent = nullptr);

    // Prepares the window for a building of the object (both owned by the caller). Errors are shown as
    // "Initialize: ..."; the window still opens.
    void Initialize(TGebBuilding* pBuilding, TGebObjekt* pObjekt, bool pIsNew);
    // Takes the controls into the building, checks and stores it; true when stored.
    bool SaveBuilding();
    void DoCalculateWithSelectedVSArt();

    void txtCaptionExit();
    void txtZusatzExit();
    void txtGrundExit();
    void txtBaujahrExit();
    void txtChosenRichtpreisExit();
    void txtLebensdauerChosenExit();
    void txtNebenkostenExit();
    void cmbGebTypSelect();
    void cmbAusfSelect();
    void cmbDachSelect();
    void cmbZustandSelect();
    void cmbAufmassquelleSelect();
    void cmbVSArtSelect();
    void btnProduktkostenClick();
    void btnKostenClick();
    void btnAufzugskostenClick();
    void btnShowGebTypeInfoClick();
    void btnHideGebTypeDetailsClick();
    void btnOKClick();

    TGebBuilding* FBuilding = nullptr;
    TGebObjekt* FObjekt = nullptr;
    bool FIsNew = false;
    double FIdxVal1970 = 0, FIdxValActYear = 0, FIdxVal900ActYear = 0;
    QString FEinheitIdentifier;
    QString FDimIdentifier;
    bool FVSArtChanging = false;
    bool FSetVersArt = false;
    bool FGebTypeSelected = false;
    bool FTypeMissing = false; // the stored type is not in the catalogue: no recalculation until one is chosen
    bool FCalcDetailsVisible = false;
    int FWideWidth = 1295;
    int FSmallWidth = 685;
    TGlobalBuildingHelper FGlobalBuildingHelper;
    TFrmGebTypeInfo* FFrmGebTypeInfo = nullptr;

    QLabel* lblTypFehlt = nullptr;
    QLabel *lblCreateDate, *lblIndexNotFound, *lblCurProdukt, *lblUmrechnungProdukt, *lblCurProduktIdx,
        *lblCalcDetailText, *lblCalcDetailCur, *lblUmrechnungBesondereKosten, *lblCurKostenIdx,
        *lblUmrechnungAufzugskosten, *lblCurAufzugIdx, *imgVAT, *lblVersArtStr, *lblWmNachl, *lblWmNorm, *lblWmSorg,
        *lblWmSehrSorg, *lblWmChosen, *lblWiederKostCur, *lblNKCur, *lblCurVersWert, *lblCurVersWertRound,
        *lblCurZeitwert;
    QLineEdit *txtCaption, *txtZusatz, *txtBaujahr, *txtLebensdauer, *txtEinheit, *txtRichtpreisVorschlag,
        *txtChosenRichtpreis, *txtLebensdauerChosen, *txtGrund, *txtProdukt, *txtProduktIdx, *txtCalcDetail, *txtKosten,
        *txtKostenIdx, *txtAufzugkosten, *txtAufzugskostenIdx, *txtWiederKost, *txtNebenkosten, *txtNKSumme,
        *txtVersWert, *txtVersWertRound, *txtWertMinderung, *txtZeitwert;
    QComboBox *cmbDach, *cmbZustand, *cmbGebTyp, *cmbAusf, *cmbAufmassquelle, *cmbVSArt;
    QPushButton *btnShowGebTypeInfo, *btnProduktkosten, *btnKosten, *btnAufzugskosten, *btnOK, *btnCancel,
        *btnHideGebTypeDetails;
    QWidget* pnlCalcDetail;
    QGroupBox* pnlGebTypeDetails;

private:
    void buildUi();
    const TGebType* selectedType() const;
    // Applies the selected type; with a basis text only the labels and index values for that basis.
    void applyType(const QString* basis);
    void recalc();
    void showResults();
    void markInputs();
    void showBuilding(); // steps 4 to 8 of Initialize
    bool saveFirst();
    double storedDimensionSum() const;
    QList<TGebType> types_;
};
