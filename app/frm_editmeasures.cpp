#include "app/frm_editmeasures.h"

#include "platform/ui_common.h"
#include "core/convert.h"
#include "db/mandanten.h"
#include "platform/dialogs.h"

#include <QDate>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

Tfrm_EditMeasures::Tfrm_EditMeasures(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frm_EditMeasures"));
    resize(440, 420);
    auto* top = new QVBoxLayout(this);
    grpMandant_ = new QGroupBox;
    grpMandant_->setObjectName(QStringLiteral("grpMandant"));
    auto* inner = new QVBoxLayout(grpMandant_);
    auto* yearForm = new QFormLayout;
    edBilanzjahr = new QLineEdit;
    edBilanzjahr->setObjectName(QStringLiteral("edBilanzjahr"));
    edBilanzjahr->setMaxLength(4);
    yearForm->addRow(QStringLiteral("Bilanzjahr:"), edBilanzjahr);
    inner->addLayout(yearForm);

    auto group = [&](const QString& caption, std::initializer_list<std::pair<const char*, QLineEdit**>> rows) {
        auto* g = new QGroupBox(caption);
        auto* f = new QFormLayout(g);
        for (const auto& [label, target] : rows) {
            *target = valueEdit(nullptr);
            f->addRow(QString::fromUtf8(label), *target);
        }
        inner->addWidget(g);
    };
    group(QStringLiteral("Werte lt. Bilanz"), {{"Fertige Erzeugnisse in EUR", &edFertige_Erz_Bilanz},
                                               {"Unfertige Erzeugnisse in EUR", &edUnfertige_Erz_Bilanz},
                                               {"Lager Betriebsstoffe in EUR", &edLager_Bstoffe_Bilanz}});
    group(QStringLiteral("Maximale Werte"), {{"Fertige Erzeugnisse in EUR", &edFertige_Erz_Max},
                                             {"Unfertige Erzeugnisse in EUR", &edUnfertige_Erz_Max},
                                             {"Lager Betriebsstoffe in EUR", &edLager_Bstoffe_Max}});
    edFertige_Erz_Bilanz->setObjectName(QStringLiteral("edFertige_Erz_Bilanz"));
    edUnfertige_Erz_Bilanz->setObjectName(QStringLiteral("edUnfertige_Erz_Bilanz"));
    edLager_Bstoffe_Bilanz->setObjectName(QStringLiteral("edLager_Bstoffe_Bilanz"));
    edFertige_Erz_Max->setObjectName(QStringLiteral("edFertige_Erz_Max"));
    edUnfertige_Erz_Max->setObjectName(QStringLiteral("edUnfertige_Erz_Max"));
    edLager_Bstoffe_Max->setObjectName(QStringLiteral("edLager_Bstoffe_Max"));

    auto* rest = new QFormLayout;
    edVorsorgesumme = valueEdit("edVorsorgesumme");
    rest->addRow(QStringLiteral("Vorsorgesumme:"), edVorsorgesumme);
    edEndwertgrenze = valueEdit("edEndwertgrenze");
    edEndwertgrenze->setToolTip(QStringLiteral("Endwertgrenze/ Zeitwertgrenze in %"));
    auto* ewg = new QHBoxLayout;
    ewg->addWidget(edEndwertgrenze);
    ewg->addWidget(new QLabel(QStringLiteral("in %")));
    rest->addRow(QStringLiteral("Endwertgrenze:"), ewg);
    inner->addLayout(rest);
    top->addWidget(grpMandant_);

    connect(AddSaveCancelButtons(this, top), &QPushButton::clicked, this, &Tfrm_EditMeasures::btnSpeichernClick);
}

QLineEdit* Tfrm_EditMeasures::valueEdit(const char* name) {
    auto* e = new QLineEdit;
    if (name)
        e->setObjectName(QString::fromLatin1(name));
    e->setAlignment(Qt::AlignRight);
    // A valid number is shown in the common format once the user leaves the field; anything else stays as typed.
    connect(e, &QLineEdit::editingFinished, this, [e] {
        try {
            e->setText(FormatAmount(TextToFloat(e->text())));
        } catch (const EBrvTypeConversionError&) {
        }
    });
    return e;
}

bool Tfrm_EditMeasures::InitForm_AddMeasures(int clientNr) {
    try {
        const int y = GetMaxBilanzjahr(clientNr);
        iBilanzjahr = y != 0 ? y + 1 : QDate::currentDate().year();
        edBilanzjahr->setText(QString::number(iBilanzjahr));
        return true;
    } catch (const std::exception&) {
        platform::dialogs().message(QStringLiteral("Fehler bei dem Zugriff auf die Datenbank der Kennzahlen.\r\n"
                                                   "Bitte informieren Sie Ihren Administrator."),
                                    platform::MsgIcon::Error, platform::MsgButtons::Cancel, this);
        return false;
    }
}

void Tfrm_EditMeasures::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    FormShow();
}

void Tfrm_EditMeasures::mousePressEvent(QMouseEvent* e) {
    QDialog::mousePressEvent(e);
    FormShow();
}

void Tfrm_EditMeasures::FormShow() {
    grpMandant_->setTitle(QStringLiteral("Mandant  ") + LiteralCaption(sClientName) + QStringLiteral(" (") +
                          QString::number(iClientID) + QLatin1Char(')'));
    if (bAdd)
        return;
    try {
        TBrenvikKennzahlenHist k;
        GetKennzahlenHist(iClientID, iBilanzjahr, k);
        edBilanzjahr->setEnabled(false);
        edBilanzjahr->setText(QString::number(iBilanzjahr));
        edFertige_Erz_Bilanz->setText(FormatAmount(k.fertige_erz_bilanz));
        edUnfertige_Erz_Bilanz->setText(FormatAmount(k.unfertige_erz_bilanz));
        edLager_Bstoffe_Bilanz->setText(FormatAmount(k.lager_bstoffe_bilanz));
        edFertige_Erz_Max->setText(FormatAmount(k.fertige_erz_max));
        edUnfertige_Erz_Max->setText(FormatAmount(k.unfertige_erz_max));
        edLager_Bstoffe_Max->setText(FormatAmount(k.lager_bstoffe_max));
        edVorsorgesumme->setText(FormatAmount(k.vorsorgesumme));
        edEndwertgrenze->setText(FormatAmount(k.endwertgrenze));
    } catch (const Exception& e) {
        ShowApplicationError(e.message(), this);
    }
}

namespace {
constexpr double kMaxKeyFigure = 1e12;
}

void Tfrm_EditMeasures::btnSpeichernClick() {
    TBrenvikKennzahlenHist k;
    try {
        edBilanzjahr->setText(edBilanzjahr->text().trimmed());
        // A balance year of a real balance: -1 would double as "no selection" in the list and could never be
        // edited or deleted again.
        const int nextYear = QDate::currentDate().year() + 1;
        if (!IsInteger(edBilanzjahr->text()) || edBilanzjahr->text().toInt() < 1900 ||
            edBilanzjahr->text().toInt() > nextYear) {
            edBilanzjahr->setFocus();
            throw EBrvTypeConversionError(QStringLiteral("Das angegebene Bilanzjahr ist nicht gueltig.\r\nBitte geben "
                                                         "Sie ein Jahr zwischen 1900 und %1 an.")
                                              .arg(nextYear));
        }
        const std::pair<const char*, QLineEdit*> values[] = {{"Fertige_Erzeugnisse_Bilanz", edFertige_Erz_Bilanz},
                                                             {"Unfertige_Erzeugnisse_Bilanz", edUnfertige_Erz_Bilanz},
                                                             {"Lager_Betriebsstoffe_Bilanz", edLager_Bstoffe_Bilanz},
                                                             {"Fertige_Erzeugnisse_Max", edFertige_Erz_Max},
                                                             {"Unfertige_Erzeugnisse_Max", edUnfertige_Erz_Max},
                                                             {"Lager_Betriebsstoffe_Max", edLager_Bstoffe_Max},
                                                             {"Vorsorgesumme", edVorsorgesumme},
                                                             {"Endwertgrenze", edEndwertgrenze}};
        double* targets[] = {&k.fertige_erz_bilanz, &k.unfertige_erz_bilanz, &k.lager_bstoffe_bilanz,
                             &k.fertige_erz_max,    &k.unfertige_erz_max,    &k.lager_bstoffe_max,
                             &k.vorsorgesumme,      &k.endwertgrenze};
        for (int i = 0; i < 8; ++i) {
            QLineEdit* e = values[i].second;
            e->setText(e->text().trimmed());
            if (e->text().isEmpty()) {
                *targets[i] = 0;
                continue;
            }
            if (!IsFloat(e->text())) {
                e->setFocus();
                throw EBrvTypeConversionError(QStringLiteral("Die Kennzahl <") + QLatin1String(values[i].first) +
                                              QStringLiteral("> ist nicht korrekt."));
            }
            *targets[i] = TextToFloat(e->text());
            // Amounts a balance can show: none negative, none the sums of the inventory cannot carry.
            if (*targets[i] < 0 || *targets[i] >= kMaxKeyFigure) {
                e->setFocus();
                throw EBrvTypeConversionError(QStringLiteral("Die Kennzahl <") + QLatin1String(values[i].first) +
                                              QStringLiteral("> muss zwischen 0 und 999.999.999.999,99 liegen."));
            }
        }
    } catch (const EBrvTypeConversionError& e) {
        platform::dialogs().message(QStringLiteral("Es trat ein Fehler beim Überprüfen der eingegebenen Werte "
                                                   "auf:\r\nFehlermeldung: ") +
                                        e.message(),
                                    platform::MsgIcon::Warning, platform::MsgButtons::Ok, this);
        return;
    } catch (const std::exception& e) {
        platform::dialogs().message(QStringLiteral("Während der Plausibilitätsprüfung trat ein schwerer Fehler "
                                                   "auf.\r\nSystemmeldung: ") +
                                        QString::fromUtf8(e.what()),
                                    platform::MsgIcon::Error, platform::MsgButtons::Ok, this);
        return;
    }
    k.brv_mandant_nr = 1;
    k.mandant_nr = iClientID;
    const int year = edBilanzjahr->text().toInt();
    k.bilanzjahr = static_cast<qint16>(year);
    try {
        if (bAdd) {
            try {
                TBrenvikKennzahlenHist existing;
                GetKennzahlenHist(iClientID, year, existing);
                if (platform::dialogs().message(
                        QStringLiteral("Es sind bereits Kennzahlen zu diesem Bilanzjahr in der Datenbank "
                                       "gespeichert.\r\nWollen Sie die bereits existierenden Daten überschreiben?"),
                        platform::MsgIcon::Warning, platform::MsgButtons::YesNo, this) != platform::MsgResult::Yes)
                    return;
            } catch (const EBrvException_NODATA&) {
            }
        }
        SaveKennzahlenHist(k);
    } catch (const std::exception&) {
        platform::dialogs().message(QStringLiteral("Fehler beim Zugriff auf die Datenbank. Bitte wiederholen Sie den "
                                                   "Vorgang.\r\nSollte das Problem weiterhin bestehen, informieren "
                                                   "Sie bitte Ihren Administrator."),
                                    platform::MsgIcon::Error, platform::MsgButtons::Ok, this);
        return;
    }
    iBilanzjahr = year;
    accept();
}
