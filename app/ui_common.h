#pragma once
// Small pieces every window of the shell shares: the general error display, the German amount formats, and the
// lookup of a child control by object name.

#include <QString>

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
class QLineEdit;
// The row of an index category: its number, the picker button "..." and the description behind them.
QHBoxLayout* IndexRow(QLineEdit*& edit, QPushButton*& button, QLabel*& description);

// The program version of the build as major.minor.release.build.
QString ProgramVersion();
