#pragma once
// The line items of a building: for dimensions, components and elevators a list dialog and a detail dialog for one
// line. The building editor opens a list, and reads its sum after it closed.

#include "building/gebmodel.h"

#include <QDialog>
#include <QList>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;

// ---- Detail dialogs ----

class TFrmBuildingDimensionDetail : public QDialog {
    Q_OBJECT
public:
    explicit TFrmBuildingDimensionDetail(QWidget* parent = nullptr);
    // Raises EBrvCommonException("GebDimObject ist null!") without a line.
    void Initialize(TGebDimension* line, bool isNew);
    void fieldExit(QLineEdit* field);
    void btnOKClick();

    QLineEdit *txtCaption, *txtL, *txtB, *txtH, *txtSum;
    QLabel *lblH, *lblEinheit;

private:
    void recompute();
    TGebDimension* line_ = nullptr;
    bool new_ = false;
};

class TFrmGebMeasureBasicDetails : public QDialog {
    Q_OBJECT
public:
    explicit TFrmGebMeasureBasicDetails(QWidget* parent = nullptr);
    void Initialize(TGebMeasure* line, bool isNew);
    void cmbCaptionSelect(int index);
    void fieldExit(QLineEdit* field);
    void btnOKClick();

    QComboBox* cmbCaption;
    QLineEdit *txtMin, *txtMax, *txtEinheit, *txtCount, *txtRichtpreis, *txtSum;

private:
    void recompute();
    TGebMeasure* line_ = nullptr;
    bool new_ = false;
    QList<TGebBauteil> catalogue_;
};

class TFrmGebAufzugDetail : public QDialog {
    Q_OBJECT
public:
    explicit TFrmGebAufzugDetail(QWidget* parent = nullptr);
    void Initialize(TGebAufzugBestand* line, bool isNew);
    void cmbCaptionSelect(int index);
    void fieldExit(QLineEdit* field);
    void btnOKClick();

    QComboBox* cmbCaption;
    QLineEdit *txtNutzlast, *txtHaltestellen, *txtRichtMin, *txtRichtMax, *txtRichtMinExtra, *txtRichtMaxExtra,
        *txtEinheit, *txtAnzahl, *txtRichtChosen, *txtAnzahlExtra, *txtRichtExtraChosen, *txtSum;

private:
    void recompute();
    TGebAufzugBestand* line_ = nullptr;
    bool new_ = false;
    QList<TGebAufzug> catalogue_;
};

// ---- List dialogs ----

// The part the three lists share: the list with its rows, "Neu", "Bearbeiten", "Entfernen", "OK".
class GebLineList : public QDialog {
    Q_OBJECT
public:
    QTreeWidget* lvItems;
    QPushButton *btnNew, *btnEdit, *btnDelete, *btnOK;

    virtual void btnNewClick() = 0;
    virtual void btnEditClick() = 0;
    virtual void btnDeleteClick() = 0;

protected:
    GebLineList(const QString& caption, const char* listName, const QStringList& columns, QWidget* parent);
    int selectedRow() const;
    // The question before a line is removed; true unless the answer is No.
    bool confirmRemove(const QString& caption);
    void fitColumns();
    QString buildingPid_;
};

class TFrmBuildingDimension : public GebLineList {
    Q_OBJECT
public:
    explicit TFrmBuildingDimension(QWidget* parent = nullptr);
    void Initialize(const QString& buildingPid, const QString& dimIdentifier);
    double GetDimFlaechenSum() const;
    void btnNewClick() override;
    void btnEditClick() override;
    void btnDeleteClick() override;

private:
    void fill();
    QString unit_;
    QList<TGebDimension> lines_;
};

class TFrmMeasure : public GebLineList {
    Q_OBJECT
public:
    explicit TFrmMeasure(QWidget* parent = nullptr);
    void Initialize(const QString& buildingPid);
    double GetMeasureSum() const;
    void btnNewClick() override;
    void btnEditClick() override;
    void btnDeleteClick() override;

private:
    void fill();
    QList<TGebMeasure> lines_;
};

class TFrmGebAufzug : public GebLineList {
    Q_OBJECT
public:
    explicit TFrmGebAufzug(QWidget* parent = nullptr);
    void Initialize(const QString& buildingPid);
    double GetAufzugBestandSum() const;
    void btnNewClick() override;
    void btnEditClick() override;
    void btnDeleteClick() override;

private:
    void fill();
    QList<TGebAufzugBestand> lines_;
};
