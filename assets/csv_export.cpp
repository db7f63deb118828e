#include "assets/csv_export.h"

#include "core/convert.h"
#include "db/mandanten.h"
#include "db/versicherungswerte.h"

#include "platform/atomic_file.h"

#include <QFile>
#include <QStringEncoder>

#include <algorithm>
#include <iterator>

const QString kRegisterCsvHeader = QStringLiteral(
    "Kontonummer/ Inventarnummer;Anlagebezeichnung;(leere Spalte);Anschaffungs- datum;(leere Spalte);Kennung;"
    "Anschaffungs-/ Herstellungskosten;AHK - Betraege (Zugaenge, alternativ zu Spalte G);;;;;;;;;;;;;;;;;;;"
    "Gruppierung der Anlagen;BEARBEITUNG_KENNUNG;Notizen - Zusatzdaten;Brenvik-Index;Außenbereich - Lagerung im "
    "Freien (X);Elektronikversicherung (X);Maschinen-versicherung (X);Leasing (X);Miete (X);Gebäude (X);Gelöschte "
    "Anlagen (X);Adress Nummer (num.);Feste Taxe (X);;;;;;ANLAGE_NR;ANLAGE_SUB_NR;VERSICHERUNGSWERT;GEMEINER_WERT;"
    "ZEITWERT;NUTZUNGSDAUER;SOFTWARE;ABGANGSJAHR;ADRESSBEZEICHNUNG;ANLAGENTYP_ID");

namespace {

// A text field as the file can hold it: no field separator and no line break (either would split the record), and
// "?" for every character the code page lacks. Counts the fields that lost characters that way.
class TextField {
public:
    QString operator()(const QString& s) {
        QString out;
        out.reserve(s.size());
        bool replaced = false;
        for (const char32_t c : s.toUcs4()) {
            if (c == U';' || c == U'\r' || c == U'\n')
                continue;
            if (!InWindows1252(c)) {
                out += QLatin1Char('?');
                replaced = true;
            } else {
                out += QString::fromUcs4(&c, 1);
            }
        }
        if (replaced)
            ++replacedFields;
        return out;
    }
    int replacedFields = 0;
};

QString flag(const QString& f) {
    return f == QLatin1String("1") ? QStringLiteral("x") : QString();
}

QString line(const TBrenvikVersWerte& r, const QList<TBrenvikAdresse>& addresses, TextField& text) {
    QString address;
    if (r.adress_nr > 0) {
        for (const TBrenvikAdresse& a : addresses)
            if (a.adress_nr == r.adress_nr) {
                address = text(a.adressbezeichnung.trimmed());
                break;
            }
    }
    QStringList f;
    f.reserve(54);
    // An asset without acquisition date (NULL reads as 0) has an empty field, not the day 0 of the calendar.
    const QString acquired = r.anschaffungsdatum == 0 ? QString() : ShortDateText(r.anschaffungsdatum);
    f << text(r.konto_nr) << text(r.anlagebezeichnung) << QString() << acquired << QString() << QStringLiteral("AHK")
      << FormatCurrency(r.ahk) << QString();
    for (int i = 0; i < 18; ++i)
        f << QString();
    f << text(r.gruppe) << flag(r.bearbeitung) << text(r.notiztext) << QString::number(r.kategorie_nr)
      << flag(r.lagerung_aussen) << flag(r.elektronik_vers) << flag(r.maschinen_vers) << flag(r.leasing)
      << flag(r.gemietet) << flag(r.gebaeude) << flag(r.geloescht) << QString::number(r.adress_nr)
      << flag(r.feste_taxe);
    for (int i = 0; i < 5; ++i)
        f << QString();
    f << QString::number(r.anlage_nr) << QString::number(r.anlage_sub_nr) << FormatCurrency(r.versicherungswert)
      << FormatFixed2(r.gemeiner_wert) << FormatCurrency(r.zeitwert) << QString::number(r.nutzungsdauer)
      << text(r.software) << QString::number(r.abgangsjahr) << address
      << QString::number(r.anlagentyp_id < 1 ? 0 : r.anlagentyp_id);
    return f.join(QLatin1Char(';'));
}

} // namespace

QString RegisterCsvLine(const TBrenvikVersWerte& r, const QList<TBrenvikAdresse>& addresses) {
    TextField text;
    return line(r, addresses, text);
}

RegisterExport ExportRegisterCsv(int mandantNr, const QString& path) {
    const auto assets = GetVersWerteList(mandantNr, QString());
    const auto addresses = GetAdressen(mandantNr);
    if (!assets || !addresses)
        throw Exception(QStringLiteral("Keine Verbindung zur Datenbank."));
    QStringEncoder cp1252("windows-1252");
    if (!cp1252.isValid())
        throw Exception(QStringLiteral("Die Zeichenkodierung Windows-1252 ist nicht verfügbar."));
    TextField text;
    QString content = kRegisterCsvHeader + QStringLiteral("\r\n");
    for (const TBrenvikVersWerte& r : *assets)
        content += line(r, *addresses, text) + QStringLiteral("\r\n");
    // The whole file or none: a failure leaves a file of that name as it was.
    if (const QString why = platform::WriteFileAtomically(path, cp1252.encode(content)); !why.isEmpty())
        throw Exception(why);
    return {int(assets->size()), text.replacedFields};
}

QString RegisterExport::notice() const {
    if (replacedFields == 0)
        return {};
    return QStringLiteral("In %1 Feldern wurden Zeichen, die der Zeichensatz Windows-1252 nicht enthält, durch \"?\" "
                          "ersetzt.")
        .arg(replacedFields);
}
