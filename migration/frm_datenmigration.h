#pragma once
// "Migration der Datenbasis": takes the predecessor's MS-Access data over into a new, empty database once.

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;
class QTextEdit;

class Tfrm_Datenmigration : public QDialog {
    Q_OBJECT
public:
    explicit Tfrm_Datenmigration(QWidget* parent = nullptr);
    // The start check: refuses (picture, bold log, disabled start) when the database already holds a client.
    void FormCreate();
    void btnBrowseClick();
    void btnStartClick();

    bool bCheckMigStart = true;
    QString sCon;
    QString sAppPath;

    QLineEdit* edDBFile;
    QTextEdit* redMigLog;
    QLabel *lbRecCount, *imgNoImport;
    QPushButton *btnBrowse, *btnStart, *btnClose;

private:
    void log(const QString& line);
};
