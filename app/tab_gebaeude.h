#pragma once
// The tab "Gebäude" of the client workspace: the building objects of the client, created from its addresses.

#include "building/gebmodel.h"
#include "db/brenvik_types.h"

#include <QList>
#include <QWidget>

#include <optional>

class QComboBox;
class QPushButton;
class QTreeWidget;
class TfrmBrenvik;

class TTabGebaeude : public QWidget {
    Q_OBJECT
public:
    explicit TTabGebaeude(TfrmBrenvik& main);

    void ReloadObjektAdressen();
    void ReloadObjekte();
    void Clear();
    std::optional<TGebObjekt> GetSelectedObjekt() const;
    void NewObjekt();
    void OpenSelectedObjekt();
    void DeleteSelectedObjekt();
    void ShowObjekt(TGebObjekt& o);

    QList<QPushButton*> writeButtons() const { return writeButtons_; }

private:
    TfrmBrenvik& main_;
    QComboBox* cmbAdressen = nullptr;
    QTreeWidget* lvObjekte = nullptr;
    QList<TBrenvikAdresse> FAdressListe;
    QList<TGebObjekt> FObjekte;
    QList<QPushButton*> writeButtons_;
};
