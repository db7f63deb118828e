#include "assets/asset_form.h"

#include "core/convert.h"
#include "db/indexwerte.h"

namespace {

struct Refusal {
    QString text;
    const char* field;
};

QString flag(bool ticked) {
    return ticked ? QStringLiteral("1") : QStringLiteral("0");
}

// A blank amount is 0.
double amount(const QString& text, const QString& failure, const char* field) {
    const QString t = text.trimmed();
    if (t.isEmpty())
        return 0.0;
    if (!IsFloat(t))
        throw Refusal{failure, field};
    return TextToFloat(t);
}

int count(const QString& text, const QString& failure, const char* field) {
    const QString t = text.trimmed();
    if (t.isEmpty())
        return 0;
    if (!IsInteger(t))
        throw Refusal{failure, field};
    return t.toInt();
}

} // namespace

std::optional<AssetFormError> AssembleAssetRecord(const AssetForm& f, TBrenvikVersWerte& r) {
    try {
        r.konto_nr = f.kontoNr.trimmed();
        if (r.konto_nr.isEmpty())
            throw Refusal{QStringLiteral("Das Feld Kontonummer enthaelt keinen gueltigen Wert."), "edKonto_nr"};
        if (f.anlagebezeichnung.trimmed().isEmpty())
            throw Refusal{QStringLiteral("Die Anlagebezeichnung ist nicht korrekt eingegeben."), "edAnlagebezeichnung"};
        r.anlagebezeichnung = f.anlagebezeichnung;
        try {
            r.anschaffungsdatum = TextToDate(QString(f.anschaffungsdatum).replace(QLatin1Char('/'), QLatin1Char('.')));
        } catch (const EBrvTypeConversionError& e) {
            throw Refusal{QStringLiteral("Das Anlagedatum enthaelt keinen korrekten Wert.\r\n") + e.message(),
                          "edAnschaffungsdatum"};
        }
        if (!IsFloat(f.ahk))
            throw Refusal{QStringLiteral("Die Anschaffungs- /Herstellungskosten weisen keinen korrekten Betrag auf."),
                          "edAHK"};
        r.ahk = TextToFloat(f.ahk);
        r.versicherungswert =
            f.festeTaxe ? r.ahk
                        : amount(f.versWert, QStringLiteral("Der Versicherungswert enthaelt keinen korrekt Betrag."),
                                 "edVersWert");
        r.gemeiner_wert =
            amount(f.gemeinerWert, QStringLiteral("Das Feld <Gemeiner Wert> enthaelt keinen korrekten Wert."),
                   "edGemeiner_Wert");
        r.zeitwert =
            amount(f.zeitwert, QStringLiteral("Das Feld Zeitwert enthaelt keinen korrekten Betrag."), "edZeitwert");
        r.nutzungsdauer =
            count(f.nutzungsdauer, QStringLiteral("Die angebenen Nutzungsdauer ist nicht gueltig."), "edNutzungsdauer");
        r.gruppe = f.gruppe;
        r.notiztext = f.notiztext;
        r.adress_nr = f.adressNr;
        if (!IsInteger(f.kategorieNr))
            throw Refusal{QStringLiteral("Es ist kein korrekter Indexwert angegeben."), "edKategorieNr"};
        r.kategorie_nr = f.kategorieNr.trimmed().toInt();
        if (!ExistsKategorie(r.kategorie_nr))
            throw Refusal{QStringLiteral("Der Index konnte nicht in der Referenz-Datenbank gefunden werden."),
                          "edKategorieNr"};
        r.anlagentyp_id = f.anlagentypId;
        r.elektronik_vers = flag(f.elektronikVers);
        r.maschinen_vers = flag(f.maschinenVers);
        r.lagerung_aussen = flag(f.lagerungAussen);
        r.bearbeitung = flag(f.bearbeitung);
        r.gebaeude = flag(f.gebaeude);
        r.software = flag(f.software);
        r.leasing = flag(f.leasing);
        r.gemietet = flag(f.gemietet);
        r.feste_taxe = flag(f.festeTaxe);
        r.geloescht = flag(f.geloescht);
        r.dateiname_foto = f.dateinameFoto;
        r.abgangsjahr =
            count(f.abgangsjahr, QStringLiteral("Das angegebene Abgangsjahr ist nicht gueltig."), "edAbgangsjahr");
    } catch (const Refusal& x) {
        return AssetFormError{x.text, QString::fromLatin1(x.field)};
    }
    return std::nullopt;
}
