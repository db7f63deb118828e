#pragma once
// Picks the business type of a client from the classification table.

#include <QDialog>

class QLabel;
class QLineEdit;
class QTreeWidget;

class Tfrm_select_branch : public QDialog {
    Q_OBJECT
public:
    explicit Tfrm_select_branch(QWidget* parent = nullptr);

    QString sMandantenBez;
    QString sBetriebsart_nr;
    QString sBetriebsart_bez;

    void FormShow();
    void Fill(const QString& text);

    // "Übernehmen": only with a business type chosen in the list.
    void TakeSelected();

protected:
    void showEvent(QShowEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    QLabel* lbMandant_ = nullptr;
    QLineEdit* edSearch = nullptr;
    QTreeWidget* lvBetriebsarten = nullptr;
    QLabel* lbBetriebsartenAnzahl = nullptr;
};
