#pragma once
// Adds or edits the key figures of one balance-sheet year of a client.

#include <QDialog>

class QGroupBox;
class QLineEdit;

class Tfrm_EditMeasures : public QDialog {
    Q_OBJECT
public:
    explicit Tfrm_EditMeasures(QWidget* parent = nullptr);

    int iClientID = 0;
    QString sClientName;
    bool bAdd = true;
    int iBilanzjahr = 0;

    // Proposes the year after the newest stored one (this year for the first); false after an error message.
    bool InitForm_AddMeasures(int clientNr);
    void FormShow();
    void btnSpeichernClick();

protected:
    void showEvent(QShowEvent* e) override;
    // A click on a free area of the dialog shows the stored values again.
    void mousePressEvent(QMouseEvent* e) override;

private:
    QLineEdit* valueEdit(const char* name);

    QGroupBox* grpMandant_ = nullptr;
    QLineEdit* edBilanzjahr = nullptr;
    QLineEdit *edFertige_Erz_Bilanz, *edUnfertige_Erz_Bilanz, *edLager_Bstoffe_Bilanz, *edFertige_Erz_Max,
        *edUnfertige_Erz_Max, *edLager_Bstoffe_Max, *edVorsorgesumme, *edEndwertgrenze;
};
