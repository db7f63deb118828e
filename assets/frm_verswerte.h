#pragma once
// "Versicherungswertermittlung": the register of one client's assets with filters, sorting, the batch valuation,
// re-indexing, deletion, the editor, the index exchange and the export.

#include "db/brenvik_types.h"

#include <QAbstractTableModel>
#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;

// The loaded rows of the register as the grid shows them: 12 columns, the row colours of the register.
class VersWerteModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;
    void setRows(QList<TBrenvikVersWerte> rows);
    // Puts the rows in the order of the database's ORDER BY on the field, where they are (false: a field it cannot
    // sort by; the rows stay as they were).
    bool sortLike(const QString& sortField);
    const QList<TBrenvikVersWerte>& rows() const { return rows_; }
    // A grid row that stands for an asset (an empty register still shows one empty row).
    bool isDataRow(int row) const { return row >= 0 && row < rows_.size(); }
    const TBrenvikVersWerte& at(int row) const { return rows_[row]; }
    void updateRow(int row, const TBrenvikVersWerte& r);
    // The values of a batch run, taken in without a signal per row; shown() tells the views about rows first..last.
    void setValues(int row, double versicherungswert, double zeitwert);
    void shown(int first, int last);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    static QString cellText(const TBrenvikVersWerte& r, int column);

private:
    QList<TBrenvikVersWerte> rows_;
};

class Tfrm_VersWerte : public QDialog {
    Q_OBJECT
public:
    explicit Tfrm_VersWerte(QWidget* parent = nullptr);

    int iClientID = 0;
    QString sClientName;
    bool bVAT = false;

    void FormShow();
    void LoadList();
    void HeaderClick(int column);
    void UpdateButtons();
    void ReindexSelected();
    void StartValuation();
    void DeleteClick();
    void AddClick();
    void EditClick(bool fromDoubleClick = false);
    void RelatedClick();
    void ExchangeClick();
    void ExportClick();
    // "Letzte Datenübernahme rückgängig machen".
    void UndoImportClick();

    VersWerteModel* model() const { return model_; }
    QTableView* grid() const { return gridVersWerte; }
    const QString& sortField() const { return sortField_; }

protected:
    void showEvent(QShowEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    int currentRow() const;
    QList<int> selectedRows() const;
    void rememberCurrent();
    void scrollToRow(int row);

    QLabel* lbMandant_ = nullptr;
    QCheckBox *cbxAHK1EUR, *cbxToDoAnlagen, *cbxOhneVWert, *cbxFindWord;
    QLineEdit *edKontoNr, *edAnlagebezeichnung;
    QLabel* lbAnzahl_ = nullptr;
    QTableView* gridVersWerte = nullptr;
    VersWerteModel* model_ = nullptr;
    QLabel *sttHintBearbeitung, *sstGeloescht;
    QPushButton *btnHinzufuegen, *btnBearbeiten, *btnLoeschen, *btnVerbund, *btnIndextausch, *btnWertermittlung,
        *btnExport, *btnImportUndo, *btnBeenden;
    QString sortField_;
    QString rememberedNr_;
};
