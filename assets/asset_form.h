#pragma once
// What the asset editor saves, without widgets: the texts of its entry fields and its choices, checked field by field
// in the editor's order and assembled into the row to store.

#include "db/brenvik_types.h"

#include <QString>

#include <optional>

struct AssetForm {
    // The texts as typed (the acquisition date with "." or "/" between its parts).
    QString kontoNr, anlagebezeichnung, anschaffungsdatum, ahk, versWert, gemeinerWert, zeitwert, nutzungsdauer,
        kategorieNr, abgangsjahr;
    QString gruppe, notiztext, dateinameFoto;
    int adressNr = 0;
    int anlagentypId = 0;
    bool elektronikVers = false, maschinenVers = false, lagerungAussen = false, bearbeitung = false, gebaeude = false,
         software = false, leasing = false, gemietet = false, festeTaxe = false, geloescht = false;
};

// A refused entry: the German reason and the object name of the field the editor focuses.
struct AssetFormError {
    QString text;
    QString field;
};

// Fills the row's fields from the form: blank amounts and counts are 0, everything else must be a number of the
// locale, the acquisition date a valid date, the index category one of the reference data. A fixed value ("Feste
// Taxe") insures the acquisition cost. The keys, the client and the origin of the row are the caller's. Returns the
// first refusal; the row is then incomplete and must not be stored.
std::optional<AssetFormError> AssembleAssetRecord(const AssetForm& form, TBrenvikVersWerte& r);
