#pragma once
// Picking an index category, and exchanging one category for another in all assets of a client.

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QTreeWidget;

class Tfrm_SelectIdxCategory : public QDialog {
    Q_OBJECT
public:
    explicit Tfrm_SelectIdxCategory(QWidget* parent = nullptr);

    // In: list only the categories that can value an asset of this year (unless all are wanted).
    int iIndexJahr = 0;
    // In: the asset the category is picked for (or a hint of the caller).
    QLabel* lbAnlagebezeichnung = nullptr;
    QCheckBox* cbxAlleIndizes = nullptr;
    // Out.
    int iKategorieNr = 0;
    int iDestatisIndexNr = 0;

    void FormShow();
    void Fill();

    // "Übernehmen": only with a category chosen in the list.
    void TakeSelected();

protected:
    void showEvent(QShowEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    QLineEdit* edSearch = nullptr;
    QLabel* lbIndexJahr = nullptr;
    QTreeWidget* lvIndizes = nullptr;
    QLabel* lbIdxAnzahl = nullptr;
};

class Tfrm_ExChgIdx : public QDialog {
    Q_OBJECT
public:
    explicit Tfrm_ExChgIdx(QWidget* parent = nullptr);
    ~Tfrm_ExChgIdx() override;

    int iClientID = 0;

    void LookUp(bool newIndex);
    void ShowDescription(bool newIndex);
    void btnOkClick();

private:
    QLineEdit *edIdxOld, *edIdxNew;
    QLabel *lbDescOldIdx, *lbDescNewIdx;
};
