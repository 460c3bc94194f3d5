#include "results/ResultExport.h"

#include <QSaveFile>

QByteArray ResultsFileBytes(ResultLineFormat format, const QList<ExportRow>& rows) {
    QByteArray bytes;
    bytes.reserve(qsizetype(rows.size()) * 200);
    if (format == ResultLineFormat::Csv)
        bytes.append(AssessedCsvHeaderLine().toUtf8()).append('\n');
    for (const ExportRow& row : rows) {
        const QString line = format == ResultLineFormat::Csv
                                 ? CsvLine(row.Path, row.Result, row.Source)
                                 : JsonLine(row.Path, row.Result, row.Source);
        bytes.append(line.toUtf8()).append('\n');
    }
    return bytes;
}

QString WriteResultsFile(const QString& fileName, ResultLineFormat format,
                         const QList<ExportRow>& rows) {
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    const QByteArray bytes = ResultsFileBytes(format, rows);
    if (file.write(bytes) != bytes.size()) {
        const QString why = file.errorString();
        file.cancelWriting();
        return why;
    }
    if (!file.commit())
        return file.errorString();
    return {};
}
