#pragma once

#include "app/ResultRow.h"

#include <QTableWidget>
#include <functional>

// The result list: one row per analysed file, report style with grid lines,
// whole-row and multiple selection, no editing and no sorting.
class TResultList : public QTableWidget {
    Q_OBJECT
public:
    enum Column {
        colFilename,
        colBitrate,
        colSampleRate,
        colCutoff,
        colResult,
        colReason,
        colCount
    };
    // The image index a cell shows is kept under this role (the row icon on
    // column 0, the verdict's on column 4).
    static constexpr int ImageIndexRole = Qt::UserRole + 1;

    explicit TResultList(QWidget* parent = nullptr);

    // Appends a row showing only its path and the row icon; returns its caption item.
    QTableWidgetItem* appendPendingRow(const QString& path);
    // Fills the five sub-items of the row whose caption item is `caption`.
    void fillRow(QTableWidgetItem* caption, const TResultRowTexts& texts);

    // The first selected row in list order, or -1.
    int chosenRow() const;
    QString caption(int row) const;
    QString subItem(int row, int subItemIndex) const; // 0 = bitrate ... 4 = reason
    QList<int> selectedRowNumbers() const;            // ascending

    // Key presses the list itself does not act on are reported here.
    std::function<void(QKeyEvent*)> onKeyDown;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void applyColumnWidths();
};
