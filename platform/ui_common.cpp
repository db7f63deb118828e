#include "platform/ui_common.h"
#include "core/convert.h"
#include <QFormLayout>
#include <QKeyEvent>

#include "platform/dialogs.h"

#include <QBoxLayout>
#include <QDialog>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QGuiApplication>
#include <QLocale>
#include <QPushButton>
#include <QScreen>
#include <QTreeWidget>

void ShowApplicationError(const QString& message, QWidget* parent) {
    platform::dialogs().message(message, platform::MsgIcon::Error, platform::MsgButtons::Ok, parent);
}

#ifndef BRENVIK_VERSION
#define BRENVIK_VERSION "2.5.6.0"
#endif

QString ProgramVersion() {
    return QStringLiteral(BRENVIK_VERSION);
}

QPushButton* AddSaveCancelButtons(QDialog* dialog, QBoxLayout* layout) {
    auto* buttons = new QDialogButtonBox;
    auto* save = buttons->addButton(QStringLiteral("Speichern"), QDialogButtonBox::AcceptRole);
    save->setObjectName(QStringLiteral("btnSpeichern"));
    save->setDefault(true);
    auto* cancel = buttons->addButton(QStringLiteral("Abbrechen"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("btnAbbrechen"));
    layout->addWidget(buttons);
    QObject::connect(cancel, &QPushButton::clicked, dialog, &QDialog::reject);
    return save;
}

QHBoxLayout* IndexRow(QLineEdit*& edit, QPushButton*& button, QLabel*& description) {
    auto* row = new QHBoxLayout;
    edit = new QLineEdit;
    edit->setObjectName(QStringLiteral("edKategorieNr"));
    edit->setMinimumWidth(edit->fontMetrics().horizontalAdvance(QStringLiteral("99999")) + 16);
    edit->setMaximumWidth(90);
    row->addWidget(edit);
    button = new QPushButton(QStringLiteral("..."));
    button->setObjectName(QStringLiteral("btnIndex"));
    button->setAutoDefault(false);
    button->setMaximumWidth(32);
    row->addWidget(button);
    description = new QLabel;
    description->setObjectName(QStringLiteral("lbIndexbezeichnung"));
    // A long series name wraps instead of widening its window beyond the screen.
    description->setWordWrap(true);
    description->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    description->setMinimumWidth(160);
    row->addWidget(description, 1);
    return row;
}

QLineEdit* UiLineEdit(const char* name) {
    auto* e = new QLineEdit;
    e->setObjectName(QString::fromLatin1(name));
    return e;
}

void UiFitToScreen(QWidget* window, const QSize& wanted) {
    const QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen) {
        window->resize(wanted);
        return;
    }
    // The title bar and the frame that the window system adds around the window.
    const QRect free = screen->availableGeometry().adjusted(0, 0, -16, -40);
    const QSize size = wanted.boundedTo(free.size()).expandedTo(window->minimumSize());
    window->resize(size);
    window->move(free.center() - QPoint(size.width() / 2, size.height() / 2));
}

void UiAmountWidth(QLineEdit* field) {
    field->setMinimumWidth(field->fontMetrics().horizontalAdvance(QStringLiteral("99.999.999,99")) + 16);
}

QPushButton* UiButton(const QString& caption, const char* name) {
    auto* b = new QPushButton(caption);
    b->setObjectName(QString::fromLatin1(name));
    b->setAutoDefault(false);
    return b;
}

QTreeWidget* UiListView(const char* name, const QStringList& headers) {
    auto* l = new QTreeWidget;
    l->setObjectName(QString::fromLatin1(name));
    l->setHeaderLabels(headers);
    l->setRootIsDecorated(false);
    l->setUniformRowHeights(true);
    l->setSelectionBehavior(QAbstractItemView::SelectRows);
    l->setEditTriggers(QAbstractItemView::NoEditTriggers);
    l->setAllColumnsShowFocus(true);
    return l;
}

namespace {
QLocale plainLocale() {
    QLocale l;
    l.setNumberOptions(QLocale::OmitGroupSeparator);
    return l;
}
} // namespace

QString PlainNumber(double v) {
    return plainLocale().toString(v, 'f', QLocale::FloatingPointShortest);
}
QString TwoDecimals(double v) {
    return plainLocale().toString(v, 'f', 2);
}

std::optional<double> ReadNumber(const QString& text) {
    return ParseNumber(text);
}

bool HandlePickerEnter(QKeyEvent* e, QLineEdit* search, const std::function<void()>& take) {
    if (e->key() != Qt::Key_Return && e->key() != Qt::Key_Enter)
        return false;
    if (search && search->hasFocus()) {
        e->accept();
        return true;
    }
    if (e->modifiers() != Qt::NoModifier)
        return false;
    take();
    return true;
}

QString LiteralCaption(const QString& text) {
    QString t = text;
    return t.replace(QLatin1Char('&'), QStringLiteral("&&"));
}

namespace {
QString captionIn(QLayout* layout, QWidget* field) {
    if (!layout)
        return {};
    if (auto* form = qobject_cast<QFormLayout*>(layout)) {
        for (int i = 0; i < form->rowCount(); ++i) {
            QLayoutItem* item = form->itemAt(i, QFormLayout::FieldRole);
            if (!item)
                continue;
            const bool here = item->widget() == field || (item->layout() && item->layout()->indexOf(field) >= 0);
            if (!here)
                continue;
            QWidget* label = item->widget() ? form->labelForField(item->widget()) : form->labelForField(item->layout());
            if (auto* l = qobject_cast<QLabel*>(label))
                return l->text();
        }
    }
    for (int i = 0; i < layout->count(); ++i)
        if (QLayout* inner = layout->itemAt(i)->layout())
            if (QString c = captionIn(inner, field); !c.isEmpty())
                return c;
    return {};
}
} // namespace

QString FieldCaption(QWidget* field) {
    QString c;
    for (QWidget* w = field->parentWidget(); w && c.isEmpty(); w = w->parentWidget())
        c = captionIn(w->layout(), field);
    if (c.isEmpty()) {
        c = field->accessibleName();
        if (c.isEmpty())
            c = field->objectName();
    }
    c.remove(QLatin1Char('&'));
    c = c.trimmed();
    if (c.endsWith(QLatin1Char(':')))
        c.chop(1);
    return c;
}

std::optional<double> LeaveNumberEntry(QLineEdit* field, QString& error) {
    if (field->text().trimmed().isEmpty()) {
        field->setText(QStringLiteral("0"));
        return 0.0;
    }
    try {
        return NumberOfEntry(field);
    } catch (const Exception& e) {
        error = e.message();
        return std::nullopt;
    }
}

double NumberOfEntry(QLineEdit* field) {
    return NumberOfField(field->text(), FieldCaption(field));
}

QHBoxLayout* UiOkCancelRow(QPushButton*& ok, QPushButton*& cancel, const QString& cancelCaption) {
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    ok = UiButton(QStringLiteral("OK"), "btnOK");
    cancel = UiButton(cancelCaption, "btnCancel");
    row->addWidget(ok);
    row->addWidget(cancel);
    return row;
}
