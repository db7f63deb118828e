#pragma once
// "Objekt Details": one building object of a client with its land-register and party data, its VAT situation, its
// buildings with their values and the files attached to it.

#include "building/gebhelper.h"
#include "building/gebmodel.h"

#include <QDialog>
#include <QList>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;
class QTreeWidget;

// An amount with at least four integer digits, as the object lists show them ("0.750,00").
QString GebListAmount(double v);

class TFrameBuilding : public QDialog {
    Q_OBJECT
public:
    explicit TFrameBuilding(QWidget* parent = nullptr);

    // The object is owned by the caller; the folder is the client's storage folder, ending with a separator.
    void Initialize(TGebObjekt* pGebObjekt, const QString& pFileFolder);

    void btnNewClick();
    void btnEditClick();
    void btnDeleteClick();
    void btnAddFileClick();
    void btnOpenFileClick();
    void btnDeleteFileClick();
    void cbUstPflichtClick();
    void edIndVstValExit();
    void btnOKClick();
    void btnCancelClick();
    void FormShow();

    // Takes the first page into the object; raises Exception with the German message of a wrong tax rate.
    void TakeFirstPage();
    struct VatSituation {
        bool ustPflicht;
        double indVstVal;
    };
    // The VAT box and the individual rate as entered, checked; raises EBrvCommonException when refused.
    VatSituation readVatSituation();
    // Stores the object and recalculates and stores every building of the list with its VAT settings.
    void SaveAndRecalculate();
    void FillBuildingList();
    void FillAttachmentList();

    TGebObjekt* FGebObjekt = nullptr;
    QString FFileFolder;
    TGlobalBuildingHelper FGlobalBuildingHelper;
    QList<TGebBuilding> buildings_;
    QList<TGebFile> files_;

    QLabel *lblVersWerteGesamt, *lblZeitwerteGesamt, *lblCreateDate, *lblIndVstVal;
    QTabWidget* PageControl;
    QLineEdit *txtObjektcaption, *txtVersNehmer, *txtErsteller, *txtErstellerVorname, *txtErstellerNachname,
        *txtErstellerStrasse, *txtErstellerOrt, *txtStrasse, *txtOrt, *txtGrundbuch, *txtGemarkung, *txtFlur,
        *edIndVstVal;
    QCheckBox* cbUstPflicht;
    QTreeWidget *lvBuildings, *lvAttachment;
    QPushButton *btnNew, *btnEdit, *btnDelete, *btnAddFile, *btnOpenFile, *btnDeleteFile, *btnOK, *btnCancel;

protected:
    void showEvent(QShowEvent* e) override;

private:
    int selectedBuilding() const;
    int selectedFile() const;
    void openBuilding(TGebBuilding& b, bool isNew);
};
