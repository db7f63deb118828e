#pragma once
// The tab "Inventar" of the client workspace: the insured values summed per client or address, the deductions and
// additions, and the block for the clipboard.

#include "assets/inventory.h"

#include <QWidget>

class QComboBox;
class QLabel;
class QLineEdit;
class TfrmBrenvik;

class TTabInventar : public QWidget {
    Q_OBJECT
public:
    explicit TTabInventar(TfrmBrenvik& main);

    void InventarShow();
    void ReLoadAddress();
    void ReloadSumValues();
    // False (after the warning) when an input is no number or the deductions exceed the asset sum.
    bool CalcSumValues();
    void ExportInventory();
    void ShowLetzterImport(const QString& text);
    void Clear();

private:
    // Whether the tab is the one the user looks at: the sums are read only for it.
    bool shown() const;
    // The address chosen (0: all addresses of the client).
    int addressNr() const;

    TfrmBrenvik& main_;
    QLabel* lbLetzterImport = nullptr;
    QComboBox* cbAdresse = nullptr;
    QLineEdit *edSummeAnlagen, *edSummeKFZ, *edSummeFinanzanlagen, *edZwischensumme, *edSummeVorraete, *edSummeVorsorge,
        *edSummeInventar, *edSummeInventarRnd;
    // The figures of the last computation, as the fields show them: the clipboard and the stored site values take
    // these, never the formatted texts read back.
    InventoryInputs inputs_;
    InventoryResult result_;
};
