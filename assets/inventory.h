#pragma once
// The inventory sum of a client ("Inventar"): the insured values of the register less vehicles and financial
// assets, plus stock and provision, rounded up to full thousands; and the 9 x 2 block that is handed on.

#include <QString>
#include <QStringList>

struct InventoryInputs {
    double anlagen = 0, kfz = 0, finanzanlagen = 0, vorraete = 0, vorsorge = 0;
};

struct InventoryResult {
    double zwischensumme = 0; // the insured value of the technical and commercial equipment
    double inventar = 0;
    qint64 aufgerundet = 0; // 64 bits: a client worth billions must not wrap to a negative sum
};

// Rounds to the nearest integer, halves to the even neighbour.
qint64 RoundHalfEven(double v);

// Raises Exception "Die Summe der angegebenen Werte zur Ermittlung de Versicherungswertes ist negativ." when
// the deductions exceed the asset sum.
InventoryResult CalcInventory(const InventoryInputs& in);

// The asset sums of the register and the stored site values of the client and address (0 = all addresses).
// problems collects the texts of the sums that could not be read (their value is then 0).
InventoryInputs LoadInventoryInputs(int mandantNr, int adressNr, QStringList& problems);

// The block: row texts and values, as plain text (tab-separated, German numbers, CR LF) and as an HTML table that
// spreadsheet programs paste with the number format "#.##0,00", rows 8 and 9 bold, the amounts right-aligned.
QStringList InventoryRowTexts();
QString InventoryBlockText(const InventoryInputs& in, const InventoryResult& r);
QString InventoryBlockHtml(const InventoryInputs& in, const InventoryResult& r);
