#pragma once
// Row records and holder classes shared by every subsystem.

#include "core/exceptions.h"

#include <QString>

struct TBrenvikKonfigurationen {
    int brv_mandant_nr = 0;
    int mandant_nr = 0;
    TDateTime insert_ts = 0, update_ts = 0;
    QString key_name, value_varchar;
};

struct TBrenvikBenutzer {
    int brv_mandant_nr = 0;
    TDateTime insert_ts = 0, update_ts = 0;
    int benutzer_nr = 0;
    QString login, vorname, nachname, abteilung;
    TDateTime letzter_login = 0;
};

struct TBrenvikMandant {
    int brv_mandant_nr = 0;
    int mandant_nr = 0;
    TDateTime insert_ts = 0, update_ts = 0;
    int benutzer_nr_lock = 0;
    QString firma, name1, name2;
    int mandant_nr_parent = 0;
    double mandant_sb = 0;
    TDateTime mandant_sb_datum = 0;
    QString sicherungspfad;
    double endwertgrenze = 0;
    QString betriebsart_nr, mwst_pflicht;
};

// One balance-sheet year of a client (KENNZAHLEN_HIST).
struct TBrenvikKennzahlenHist {
    int brv_mandant_nr = 0, mandant_nr = 0;
    qint16 bilanzjahr = 0;
    TDateTime insert_ts = 0, update_ts = 0;
    double fertige_erz_bilanz = 0, unfertige_erz_bilanz = 0, lager_bstoffe_bilanz = 0, fertige_erz_max = 0,
           unfertige_erz_max = 0, lager_bstoffe_max = 0, vorsorgesumme = 0, endwertgrenze = 0;
};

// Stock and provision of one location of a client (KENNZAHLEN_STANDORT); address 0 stands for all locations.
struct TBrenvikKennzahlenStandort {
    int brv_mandant_nr = 0, mandant_nr = 0, adress_nr = 0;
    TDateTime insert_ts = 0, update_ts = 0;
    double vorraete = 0, vorsorgesumme = 0;
};

struct TBrenvikAnlagentyp {
    int id = 0;
    QString bezeichnung;
};

struct TBrenvikAdresse {
    int brv_mandant_nr = 0, mandant_nr = 0, adress_nr = 0;
    TDateTime insert_ts = 0, update_ts = 0;
    QString adressbezeichnung, strasse, hausnummer, zusatz, plz, ort, land, postfach, postfach_plz, telefon1, telefon2,
        fax, mobil, email1, email2, url, ansprechpartner;
    qint16 standorttyp_nr = 0;
    QString zusatzinformation;
};

struct TBrenvikVersWerte {
    int brv_mandant_nr = 0, mandant_nr = 0;
    TDateTime insert_ts = 0, update_ts = 0;
    int anlage_nr = 0, anlage_sub_nr = 0;
    QString konto_nr, anlagebezeichnung;
    TDateTime anschaffungsdatum = 0;
    int anschaffungsjahr = 0;
    double ahk = 0, listenpreis = 0, versicherungswert = 0, gemeiner_wert = 0, zeitwert = 0;
    int nutzungsdauer = 0;
    QString elektronik_vers, maschinen_vers, lagerung_aussen;
    int kategorie_nr = 0, kategorie_nr_umbasiert = 0, adress_nr = 0;
    QString geloescht, bearbeitung, gebaeude, software, leasing, gemietet, feste_taxe;
    int abgangsjahr = 0;
    QString gruppe, notiztext, quelle, update_check, dateiname_foto, anlagebezeichnung_org;
    TDateTime anschaffungsdatum_org = 0;
    double ahk_org = 0;
    int anlagentyp_id = 0;
};

struct TBrenvikDatenimport {
    int brv_mandant_nr = 0, mandant_nr = 0;
    TDateTime insert_ts = 0, update_ts = 0;
    int zeile_nr = 0;
    QString konto_nr, anlagebezeichnung;
    TDateTime anschaffungsdatum = 0;
    double ahk = 0;
    QString gruppe, zusaetze;
    int kategorie_nr = 0;
    QString lagerung_aussen, elektronik_vers, maschinen_vers, leasing, gemietet, gebaeude, geloescht;
    int adress_nr = 0;
    QString feste_taxe, bearbeitung;
    int anlagentyp_id = 0;
};

struct TBrenvikIndexBeschr {
    int brv_mandant_nr = 0;
    TDateTime insert_ts = 0, update_ts = 0;
    int kategorie_nr = 0, index_nr = 0, index_subnr = 0;
    QString gp_systematik, sichtbar, index_text;
    int nutzungsdauer = 0;
};

struct TBrenvikStandortTypen {
    int brv_mandant_nr = 0, standorttyp_nr = 0;
    TDateTime insert_ts = 0, update_ts = 0;
    QString standort_bezeichnung;
};

struct TBrenvikBetriebsarten {
    int brv_mandant_nr = 0;
    QString betriebsart_nr;
    TDateTime insert_ts = 0, update_ts = 0;
    QString betriebsart_bez;
};

struct TBrenvikNotes {
    QString notiztext_kurz, notiztext;
};

// The key of the row a list or combo-box entry stands for; fields not needed stay 0.
struct TBrenvikKeys {
    int brv_mandant_nr = 0, mandant_nr = 0, adress_nr = 0, standorttyp_nr = 0, anlage_nr = 0, anlage_sub_nr = 0, id = 0;
};

struct TBrenvikNotiz {
    QString sNotizText;
};

struct TBrenvikReport {
    QString sReportName, sFullName;
};
