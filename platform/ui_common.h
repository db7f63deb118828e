#pragma once
// Small pieces every window of the shell shares: the general error display, the German amount formats, and the
// lookup of a child control by object name.

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class QWidget;

// The application's general error display: a failure that no window handled itself.
void ShowApplicationError(const QString& message, QWidget* parent = nullptr);

class QBoxLayout;
class QDialog;
class QPushButton;
// "Speichern" (the default button, handled by the dialog) and "Abbrechen" (rejects) at the foot of a dialog.
QPushButton* AddSaveCancelButtons(QDialog* dialog, QBoxLayout* layout);

class QHBoxLayout;
class QLabel;
class QKeyEvent;
class QLineEdit;
// The row of an index category: its number, the picker button "..." and the description behind them.
QHBoxLayout* IndexRow(QLineEdit*& edit, QPushButton*& button, QLabel*& description);

// The program version of the build as major.minor.release.build.
QString ProgramVersion();

class QTreeWidget;

// Controls with their object names, as every window builds them.
QLineEdit* UiLineEdit(const char* name);
// A button that is no default button of its dialog.
QPushButton* UiButton(const QString& caption, const char* name);
// The foot row of a dialog: a stretch, then "OK" (btnOK) and the cancel button (btnCancel).
QHBoxLayout* UiOkCancelRow(QPushButton*& ok, QPushButton*& cancel,
                           const QString& cancelCaption = QStringLiteral("Abbrechen"));
// Gives a window the size it wants, as far as the screen it opens on leaves room for it with its title bar and frame,
// and centres it there: a window never opens larger than a 1366 x 768 laptop screen shows.
class QSize;
void UiFitToScreen(QWidget* window, const QSize& wanted);
// Room for an amount of up to "99.999.999,99" in an entry field of its font.
void UiAmountWidth(QLineEdit* field);
// A report list: whole rows selected, no editing, no tree decoration.
QTreeWidget* UiListView(const char* name, const QStringList& headers);

// A number as the user types and reads it: the locale's decimal separator, no thousands separator, no trailing
// zeros ("12,5").
QString PlainNumber(double v);
// Two decimals without thousands separator ("0.00").
QString TwoDecimals(double v);
// The text read as a number of the locale (a plain number with decimal comma, thousands separators allowed);
// nullopt when it is none.
std::optional<double> ReadNumber(const QString& text);
// Enter in a picker dialog: in its search field it searches (the field's returnPressed) and nothing else, so that
// it cannot close the dialog with an old or empty choice; elsewhere it takes the chosen row. True when handled.
bool HandlePickerEnter(QKeyEvent* e, QLineEdit* search, const std::function<void()>& take);
// A name shown in a caption that reads "&" as a shortcut mark (group boxes, buttons): "Müller & Söhne" as it is.
QString LiteralCaption(const QString& text);
// The caption a user sees beside an entry field (its form label), for messages that name the field.
QString FieldCaption(QWidget* field);
// The number in an entry field, or EBrvTypeConversionError with a German message naming the field.
double NumberOfEntry(QLineEdit* field);
// Leaving a number field: blank is 0 (and shows "0"); an unreadable text gives nothing and the message naming the
// field in error, so that the caller says it and changes nothing (never read as 0).
std::optional<double> LeaveNumberEntry(QLineEdit* field, QString& error);
