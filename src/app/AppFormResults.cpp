// The results beyond the list: exported to a file, copied to the clipboard,
// and the stored results of earlier runs forgotten.
#include "app/AppForm.h"
#include "app/ResultList.h"
#include "results/ResultCache.h"
#include "results/ResultExport.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>

void TAppForm::ExportResults1Click() {
    const FileDialogs::ResultsFile target = m_environment.Dialogs.SaveResults(this);
    if (target.FileName.isEmpty())
        return;
    // Rows still waiting for their analysis have nothing to tell yet.
    QList<ExportRow> rows;
    rows.reserve(ListView1->rowCount());
    for (int row = 0; row < ListView1->rowCount(); ++row) {
        if (const std::optional<QualityAndSource> result = ListView1->rowResult(row))
            rows.append({ListView1->caption(row), result->Quality, result->Source});
    }
    const QString failure = WriteResultsFile(target.FileName, target.Format, rows);
    if (!failure.isEmpty()) {
        m_environment.ShowError(this, QStringLiteral("Could not export the results to \"%1\":\n%2")
                                          .arg(QDir::toNativeSeparators(target.FileName), failure));
        return;
    }
    setStatusText(QStringLiteral("%1 results exported.").arg(rows.size()));
}

void TAppForm::ForgetStoredResults1Click() {
    if (m_environment.Cache && !m_environment.Cache->clear()) {
        m_environment.ShowError(this,
                                QStringLiteral("Could not forget the stored results in \"%1\".")
                                    .arg(QDir::toNativeSeparators(m_environment.Cache->path())));
        return;
    }
    setStatusText(QStringLiteral("Stored results forgotten; files are analysed again."));
}

void TAppForm::CopySelectedRows() {
    const QString text = ListView1->selectedRowsAsText();
    if (!text.isEmpty())
        QApplication::clipboard()->setText(text);
}
