// Regenerates the files of data/ from the source tables in data/quellen:
//   brenvik-make-data [QUELLORDNER [ZIELORDNER]]
// The defaults are the repository's own folders.
#include "tools/shipped_data.h"

#include "db/dbaccess.h"

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QTextStream>

#include <xlsxwriter.h>

namespace {

// The sample register in the standard layout: account, description, date (a real date cell), the marker "AHK" and
// the amount.
void writeSampleWorkbook(const QList<SampleAsset>& assets, const QString& path) {
    lxw_workbook* wb = workbook_new(QFile::encodeName(path).constData());
    if (!wb)
        throw Exception(QStringLiteral("Die Datei %1 kann nicht angelegt werden.").arg(path));
    lxw_worksheet* ws = workbook_add_worksheet(wb, "Anlagen");
    lxw_format* date = workbook_add_format(wb);
    format_set_num_format(date, "dd.mm.yyyy");
    lxw_format* money = workbook_add_format(wb);
    format_set_num_format(money, "#,##0.00");
    const char* header[] = {"Kontonummer", "Anlagebezeichnung", "", "Anschaffungsdatum", "", "Kennung", "AHK"};
    for (int c = 0; c < 7; ++c)
        if (*header[c])
            worksheet_write_string(ws, 0, lxw_col_t(c), header[c], nullptr);
    lxw_row_t row = 1;
    for (const SampleAsset& a : assets) {
        const QDate d = QDate::fromString(a.datum, QStringLiteral("dd.MM.yyyy"));
        if (!d.isValid())
            throw Exception(QStringLiteral("beispielanlagen.csv: \"%1\" ist kein Datum.").arg(a.datum));
        lxw_datetime dt{d.year(), d.month(), d.day(), 0, 0, 0};
        worksheet_write_string(ws, row, 0, a.konto.toUtf8().constData(), nullptr);
        worksheet_write_string(ws, row, 1, a.bezeichnung.toUtf8().constData(), nullptr);
        worksheet_write_datetime(ws, row, 3, &dt, date);
        worksheet_write_string(ws, row, 5, "AHK", nullptr);
        worksheet_write_number(ws, row, 6, a.ahk, money);
        ++row;
    }
    worksheet_set_column(ws, 1, 1, 36, nullptr);
    worksheet_set_column(ws, 3, 3, 18, nullptr);
    worksheet_set_column(ws, 6, 6, 14, nullptr);
    if (workbook_close(wb) != LXW_NO_ERROR)
        throw Exception(QStringLiteral("Die Datei %1 kann nicht geschrieben werden.").arg(path));
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    const QString repo = QStringLiteral(BRENVIK_SOURCE_DIR);
    const QString sources = args.value(0, repo + QStringLiteral("/data/quellen"));
    const QString target = args.value(1, repo + QStringLiteral("/data"));
    QTextStream out(stdout);
    try {
        QDir().mkpath(target);
        const ShippedData data = ReadShippedDataSources(sources);
        for (const QString& name : WriteShippedDataFiles(data, target))
            out << QDir(target).filePath(name) << '\n';
        const QString workbook = QDir(target).filePath(QStringLiteral("Beispielanlagen.xlsx"));
        writeSampleWorkbook(ReadSampleAssets(sources), workbook);
        out << workbook << '\n';
        out << data.descriptions.size() << " Indexreihen, " << data.values.size() << " Indexwerte, "
            << data.types.size() << " Gebäudetypen, " << data.components.size() << " Bauteile, "
            << data.elevators.size() << " Aufzüge\n";
        return 0;
    } catch (const Exception& e) {
        QTextStream(stderr) << e.message() << '\n';
        return 1;
    }
}
