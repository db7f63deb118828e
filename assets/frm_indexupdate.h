#pragma once
// "Aktualisierung der Indexwerte": replaces the index series from the update files of a folder, hands them on as
// files of one year, and offers the update of the building reference data.

#include <QDialog>

class QLabel;
class QLineEdit;

class Tfrm_Indexaktualisierung : public QDialog {
    Q_OBJECT
public:
    explicit Tfrm_Indexaktualisierung(QWidget* parent = nullptr);

    void FolderClick();
    void ShowFiles();
    void UebernehmenClick();
    void ExportClick();

private:
    void importIndex();
    void updateBuildingData();
    // The question before a file without records empties a table; No is the default.
    bool askEmpty(const QString& question);

    QLineEdit* edFoldername = nullptr;
    QLabel *lbDateinameIdxB, *lbDateinameIdx, *lblGebTypes, *lblGebBauteile, *lblGebAufzug, *lbStatus;
};
