// Commands on the rows of the result list.
#include "app/AppForm.h"
#include "app/ResultList.h"
#include "platform/FileManager.h"

#include <QAction>
#include <QKeyEvent>
#include <algorithm>

void TAppForm::Open1Click() {
    const int row = ListView1->chosenRow();
    if (row < 0)
        return;
    m_environment.OpenUrl(QUrl::fromLocalFile(ListView1->caption(row)));
}

void TAppForm::ShowinExplorer1Click() {
    const int row = ListView1->chosenRow();
    if (row < 0)
        return;
    const QString path = ListView1->caption(row);
    if (m_environment.ShowInFileManager)
        m_environment.ShowInFileManager(path);
    else
        ShowInFileManager(path, this, m_environment.OpenUrl);
}

void TAppForm::Delete1Click() {
    const QList<int> rows = ListView1->selectedRowNumbers();
    if (rows.isEmpty())
        return;
    for (int row : rows) {
        if (ListView1->item(row, ResultList::colFilename) == m_pendingRow)
            m_pendingRow = nullptr; // the load sees this and drops the result
    }
    dropRenderOf(rows);
    // Remove runs of neighbouring rows at once, from the bottom up, so the
    // row numbers still to come stay valid.
    int last = rows.size() - 1;
    while (last >= 0) {
        int first = last;
        while (first > 0 && rows[first - 1] == rows[first] - 1)
            --first;
        ListView1->model()->removeRows(rows[first], rows[last] - rows[first] + 1);
        last = first - 1;
    }
}

void TAppForm::SelectAll1Click() {
    ListView1->selectAll();
}

void TAppForm::Clear1Click() {
    // Clearing ends the load under way too: its rows would have no list to go to.
    StopLoading();
    m_pendingRow = nullptr;
    QList<int> all;
    for (int row = 0; row < ListView1->rowCount(); ++row)
        all << row;
    dropRenderOf(all);
    ListView1->setRowCount(0);
}

void TAppForm::ListView1DblClick() {
    Open1->trigger();
}

void TAppForm::ListView1KeyDown(QKeyEvent* event) {
    if (event->key() == Qt::Key_Delete)
        Delete1->trigger();
}
