#pragma once
// The settings dialog (configuration file and central backup folder) and the about window.

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;

class Tfrm_Settings : public QDialog {
    Q_OBJECT
public:
    explicit Tfrm_Settings(QWidget* parent = nullptr);

    QString sAppPath;
    QString sCommonFilesPath;

    void FormShow();
    void btnSpeicherortClick();
    void btnSpeichernClick();

protected:
    void showEvent(QShowEvent* e) override;

private:
    QString iniPath() const;

    QComboBox* cbDBTyp = nullptr;
    QLineEdit *edDatenbank, *edDBUser, *edDBPass, *edDBSpeicherort;
    QCheckBox* cbxSpeicherort_DB = nullptr;
};

class Tfrm_Tallora : public QDialog {
    Q_OBJECT
public:
    explicit Tfrm_Tallora(QWidget* parent = nullptr);

protected:
    void showEvent(QShowEvent* e) override;

private:
    QLabel* lbInfo_ = nullptr;
};
