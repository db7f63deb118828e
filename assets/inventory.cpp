#include "assets/inventory.h"

#include "db/brenvik_types.h"
#include "core/convert.h"
#include "db/mandanten.h"
#include "db/versicherungswerte.h"

#include <cmath>

qint64 RoundHalfEven(double v) {
    const double floor = std::floor(v);
    const double diff = v - floor;
    if (diff > 0.5)
        return qint64(floor) + 1;
    if (diff < 0.5)
        return qint64(floor);
    return std::fmod(floor, 2.0) == 0 ? qint64(floor) : qint64(floor) + 1;
}

InventoryResult CalcInventory(const InventoryInputs& in) {
    InventoryResult r;
    const qint64 z = RoundHalfEven(in.anlagen) - RoundHalfEven(in.kfz + in.finanzanlagen);
    if (z < 0)
        throw Exception(
            QStringLiteral("Die Summe der angegebenen Werte zur Ermittlung de Versicherungswertes ist negativ."));
    r.zwischensumme = double(z);
    r.inventar = double(z) + in.vorraete + in.vorsorge;
    r.aufgerundet = qint64(std::ceil(r.inventar / 1000.0) * 1000.0);
    return r;
}

InventoryInputs LoadInventoryInputs(int mandantNr, int adressNr, QStringList& problems) {
    InventoryInputs in;
    auto sum = [&](double (*get)(int, int), double& out, const QString& problem) {
        try {
            out = get(mandantNr, adressNr);
        } catch (const Exception&) {
            out = 0;
            problems << problem;
        }
    };
    sum(GetSumVersWertAnlagen, in.anlagen, QStringLiteral(" - Die Anlagensumme konnte nicht ermittelt werden."));
    sum(GetSumVersWertKfz, in.kfz,
        QStringLiteral(" - Die Anlagensumme für die Gruppe KFZ konnte nicht ermittelt werden."));
    sum(GetSumVersWertFinanzanlagen, in.finanzanlagen,
        QStringLiteral(" - Die Anlagensumme für Gruppe FINANZANLAGEN konnte nicht ermittelt werden."));
    try {
        TBrenvikKennzahlenStandort s;
        GetKennzahlenStandort(mandantNr, adressNr, s);
        in.vorsorge = s.vorsorgesumme;
        in.vorraete = s.vorraete;
    } catch (const Exception&) {
        in.vorsorge = in.vorraete = 0;
    }
    return in;
}

QStringList InventoryRowTexts() {
    return {QString(),
            QStringLiteral("Anlagensumme ohne gelöschte Anlagen"),
            QStringLiteral("abzgl. KFZ"),
            QStringLiteral("abzgl. Finanzanlagen"),
            QStringLiteral("Versicherungswert der technischen und kaufmännischen Geschäftsausstattung"),
            QStringLiteral("zzgl. Vorräte"),
            QStringLiteral("zzgl. Vorsorge"),
            QStringLiteral("Inventarsumme"),
            QStringLiteral("Inventarsumme aufgerundet")};
}

namespace {
QList<double> values(const InventoryInputs& in, const InventoryResult& r) {
    return {in.anlagen,  in.kfz,      in.finanzanlagen, r.zwischensumme,
            in.vorraete, in.vorsorge, r.inventar,       double(r.aufgerundet)};
}
} // namespace

QString InventoryBlockText(const InventoryInputs& in, const InventoryResult& r) {
    const QStringList texts = InventoryRowTexts();
    const QList<double> v = values(in, r);
    QString out = QLatin1Char('\t') + QStringLiteral("Betrag/ EUR") + QStringLiteral("\r\n");
    for (int i = 1; i < 9; ++i)
        out += texts[i] + QLatin1Char('\t') + FormatAmount(v[i - 1]) + QStringLiteral("\r\n");
    return out;
}

QString InventoryBlockHtml(const InventoryInputs& in, const InventoryResult& r) {
    const QStringList texts = InventoryRowTexts();
    const QList<double> v = values(in, r);
    QString html = QStringLiteral(
        "<html><head><meta charset=\"utf-8\"><style>td.n { mso-number-format:\"\\#\\,\\#\\#0\\.00\"; "
        "text-align:right; }</style></head><body><table>\n<tr><td></td><td class=\"n\">Betrag/ EUR</td></tr>\n");
    for (int i = 1; i < 9; ++i) {
        const bool bold = i >= 7;
        const QString open = bold ? QStringLiteral("<b>") : QString(),
                      close = bold ? QStringLiteral("</b>") : QString();
        html +=
            QStringLiteral("<tr><td>%1%2%3</td><td class=\"n\" x:num=\"%4\">%1%5%3</td></tr>\n")
                .arg(open, texts[i].toHtmlEscaped(), close, QString::number(v[i - 1], 'f', 2), FormatAmount(v[i - 1]));
    }
    html += QStringLiteral("</table></body></html>");
    return html;
}
