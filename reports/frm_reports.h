#pragma once
// "Berichtsmanagement": the reports of the project for one client, run into a preview (and from there to a printer)
// or into a PDF file, optionally with the picture attachment.

#include "db/brenvik_types.h"
#include "reports/report_engine.h"
#include "reports/report_run.h"

#include <QDialog>
#include <QPrinter>
#include <QMap>

#include <memory>

class QCheckBox;
class QLabel;
class QLineEdit;
class ReportPageView;
class QPrinter;
class QPushButton;
class QRadioButton;
class QTextDocument;
class QTreeWidget;

// "Ausgabeoptionen": printer or preview before a run, copies and pages before printing from the preview.
class Tfrm_RaveCustomSetup : public QDialog {
    Q_OBJECT
public:
    // pageCount > 0: called from the preview's print button (the page range is offered).
    explicit Tfrm_RaveCustomSetup(int pageCount = 0, QWidget* parent = nullptr);
    bool toPrinter() const;
    int copies() const;
    int firstPage() const;
    int lastPage() const;
    // The pages chosen of a report of pageCount pages: all, from-to, or the selection's list; empty when the
    // selection names none.
    QPageRanges pageRanges(int pageCount) const;
    // The printer to print on: the one chosen under "Eigenschaften" (the system's print dialog: printer and its
    // properties), the default printer otherwise, with the copies, collation and duplex of this dialog.
    QPrinter& printer();

    QLabel* lblPrinter;
    QLineEdit *edCopies, *edSelection, *edFrom, *edTo;
    QCheckBox *cbxCollate, *cbxDuplex;
    QRadioButton *rbPrinter, *rbPreview, *rbAll, *rbSelection, *rbPages;
    QPushButton *btnOK, *btnCancel, *btnProperties;

private:
    void destinationChanged();
    void rangeChanged();
    bool hasPrinter_ = false;
    std::unique_ptr<QPrinter> printer_;
};

// "Vorschau": the pages of a report with page and zoom controls, and printing.
class Tfrm_RaveCustomPreview : public QDialog {
    Q_OBJECT
public:
    // The window names the report (caption) it shows.
    explicit Tfrm_RaveCustomPreview(ReportOutput* report, QWidget* parent = nullptr, const QString& caption = {});
    ~Tfrm_RaveCustomPreview() override;
    int pageCount() const;
    int currentPage() const;
    void goToPage(int page);
    void pageEditDone();
    void zoomEditDone();
    void printClick();

    ReportPageView* preview;
    QLineEdit *edPage, *edZoom;
    QLabel* lblPages;

private:
    void showState();
    ReportOutput* report_;
    QPrinter* printer_;
};

class Tfrm_Reports : public QDialog {
    Q_OBJECT
public:
    explicit Tfrm_Reports(QWidget* parent = nullptr);

    void InitializeReportEnv(const QString& sAppPath, const QString& sDataPath);
    void FormShow();
    void btnStartClick();
    void RunReport(const QString& name, const QString& caption);
    // The client's picture folder, or empty after the German message.
    QString GetMandantImageFolder();

    int iClientID = 0;
    QString sClientName;
    QString sPath;
    QString sDatPath;
    QString projectFile;
    QMap<QString, QString> parameters;

    QLabel* lbMandant;
    QTreeWidget* lvReports;
    QCheckBox *cbxPDF, *cbxOpen, *cbxImages, *cbxXLSX;
    QPushButton *btnStart, *btnClose;

protected:
    void showEvent(QShowEvent* e) override;

private:
    // Shows the document (screen) or writes it (file); false when the user cancelled.
    bool output(ReportOutput& report, const QString& fileCaption, const QString& title);
    QList<TBrenvikReport> reports_;
};
