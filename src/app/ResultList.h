#pragma once

#include "analysis/SourceAssessment.h"
#include "app/ResultRow.h"

#include <QTableWidget>
#include <functional>
#include <optional>

// The result list: one row per analysed file, report style with grid lines,
// whole-row and multiple selection, no editing and no sorting.
class ResultList : public QTableWidget {
    Q_OBJECT
public:
    enum Column {
        colFilename,
        colBitrate,
        colSampleRate,
        colCutoff,
        colResult,
        colReason,
        colAssessment, // the second opinion, after the six that mirror the verdict
        colCount
    };
    // The image index a cell shows is kept under this role (the row icon on
    // column 0, the verdict's on column 4).
    static constexpr int ImageIndexRole = Qt::UserRole + 1;
    // The analysis result behind a filled row, on its caption item.
    static constexpr int ResultRole = Qt::UserRole + 2;

    explicit ResultList(QWidget* parent = nullptr);

    // Appends a row showing only its path and the row icon; returns its caption item.
    QTableWidgetItem* appendPendingRow(const QString& path);
    // Fills the five sub-items of the row whose caption item is `caption`.
    void fillRow(QTableWidgetItem* caption, const ResultRowTexts& texts);

    // Keeps the result behind the row of `caption` for the export.
    void setRowResult(QTableWidgetItem* caption, const QualityAndSource& result);
    // The result behind `row`; nothing while the row waits for its analysis.
    std::optional<QualityAndSource> rowResult(int row) const;
    // The selected rows as the list shows them: one line per row, the
    // columns separated by tabs (tabs and line breaks inside a text become
    // blanks), for pasting into a spreadsheet. The assessment comes last, so
    // the first six fields stay where they always were.
    QString selectedRowsAsText() const;

    // The first selected row in list order, or -1.
    int chosenRow() const;
    QString caption(int row) const;
    QString subItem(int row, int subItemIndex) const; // 0 = bitrate ... 4 = reason, 5 = assessment
    QList<int> selectedRowNumbers() const;            // ascending

    // Key presses the list itself does not act on are reported here.
    std::function<void(QKeyEvent*)> onKeyDown;
    // Ctrl+C (the platform's copy keys) in the list.
    std::function<void()> onCopy;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void applyColumnWidths();
    // The file name fills what the other columns leave, but never shrinks
    // below a readable width: a narrower list scrolls sideways instead.
    void fitFilenameColumn();
};
