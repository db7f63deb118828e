#pragma once
// "Gebäude wählen": the building a building report is made for.

#include "building/gebmodel.h"

#include <QDialog>
#include <QList>

class QListWidget;
class QPushButton;

class TFrmGebChoice : public QDialog {
    Q_OBJECT
public:
    explicit TFrmGebChoice(QWidget* parent = nullptr);
    // One line per building of the client: object caption | street | town | building caption.
    void Initialize(const QString& pOwnerID);
    void btnOKClick();

    QString GetSelectedGebPID() const { return FGebPID; }
    QString GetSelectedObjektPID() const { return FObjektPID; }
    QString GetSelectedGebArt() const { return FGebArt; }
    QString GetSelectedGebAusf() const { return FGebAusf; }

    QListWidget* lbGeb;
    QPushButton *btnOK, *btnCancel;

private:
    QString FOwnerID, FGebPID, FObjektPID, FGebArt, FGebAusf;
    QList<TGebObjektGeb> rows_;
};
