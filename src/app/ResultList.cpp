#include "app/ResultList.h"

#include "app/ImageList.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QResizeEvent>
#include <QStyledItemDelegate>
#include <set>

namespace {

// Paths are long and their ends say the most: elide them in the middle.
class PathDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        option->textElideMode = Qt::ElideMiddle;
    }
};

struct ColumnSpec {
    const char16_t* heading;
    int width; // logical pixels; 0 fills the rest
};

constexpr ColumnSpec kColumns[ResultList::colCount] = {
    {u"Filename", 0}, {u"Bitrate", 75}, {u"Sample Rate", 75}, {u"Cutoff", 75},
    {u"Result", 75},  {u"Reason", 250}, {u"Assessment", 160},
};

// The narrowest the file name column gets before the list scrolls sideways.
constexpr int kFilenameFloor = 160;

} // namespace

ResultList::ResultList(QWidget* parent) : QTableWidget(0, colCount, parent) {
    QStringList headings;
    for (const ColumnSpec& column : kColumns)
        headings << QString::fromUtf16(column.heading);
    setHorizontalHeaderLabels(headings);
    setObjectName(QStringLiteral("ListView1"));
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setShowGrid(true);
    setGridStyle(Qt::SolidLine);
    setSortingEnabled(false);
    setWordWrap(false);
    setIconSize(QSize(16, 16));
    setContextMenuPolicy(Qt::CustomContextMenu);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setItemDelegateForColumn(colFilename, new PathDelegate(this));
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->setSectionsClickable(false);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    horizontalHeader()->setMinimumSectionSize(24);
    applyColumnWidths();
    connect(horizontalHeader(), &QHeaderView::sectionResized, this,
            [this](int logicalIndex, int, int) {
                if (logicalIndex != colFilename)
                    fitFilenameColumn();
            });
}

void ResultList::applyColumnWidths() {
    verticalHeader()->setDefaultSectionSize(std::max(20, fontMetrics().height() + 6));
    QHeaderView* header = horizontalHeader();
    header->setSectionResizeMode(colFilename, QHeaderView::Stretch);
    for (int column = colBitrate; column < colCount; ++column) {
        header->setSectionResizeMode(column, QHeaderView::Interactive);
        // The widths are those of the original small font; a larger desktop
        // font must still show the whole heading.
        int needed =
            fontMetrics().horizontalAdvance(QString::fromUtf16(kColumns[column].heading)) + 24;
        if (column == colResult) // the longest verdict word beside its icon
            needed = std::max(needed, fontMetrics().horizontalAdvance(VerdictWord(qvPossible)) +
                                          iconSize().width() + 24);
        if (column == colAssessment) // a common opinion with its source, whole
            needed = std::max(needed, fontMetrics().horizontalAdvance(
                                          QStringLiteral("Transcoded \u00b7 MP3 ~128 kbps")) +
                                          16);
        header->resizeSection(column, std::max(kColumns[column].width, needed));
    }
    fitFilenameColumn();
}

void ResultList::fitFilenameColumn() {
    QHeaderView* header = horizontalHeader();
    int others = 0;
    for (int column = colBitrate; column < colCount; ++column)
        others += header->sectionSize(column);
    const int room = viewport()->width() - others;
    if (room >= kFilenameFloor) {
        if (header->sectionResizeMode(colFilename) != QHeaderView::Stretch)
            header->setSectionResizeMode(colFilename, QHeaderView::Stretch);
        return;
    }
    if (header->sectionResizeMode(colFilename) != QHeaderView::Interactive)
        header->setSectionResizeMode(colFilename, QHeaderView::Interactive);
    if (header->sectionSize(colFilename) != kFilenameFloor)
        header->resizeSection(colFilename, kFilenameFloor);
}

void ResultList::resizeEvent(QResizeEvent* event) {
    QTableWidget::resizeEvent(event);
    fitFilenameColumn();
}

void ResultList::changeEvent(QEvent* event) {
    QTableWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        applyColumnWidths();
}

QTableWidgetItem* ResultList::appendPendingRow(const QString& path) {
    const int row = rowCount();
    insertRow(row);
    auto* item = new QTableWidgetItem(RowImageIcon(riFileSound), path);
    item->setData(ImageIndexRole, int(riFileSound));
    item->setToolTip(path);
    setItem(row, colFilename, item);
    return item;
}

void ResultList::fillRow(QTableWidgetItem* caption, const ResultRowTexts& texts) {
    const int row = caption->row();
    if (row < 0)
        return;
    for (int i = 0; i < 5; ++i) {
        auto* item = new QTableWidgetItem(texts.SubItems[std::size_t(i)]);
        if (i == 4)
            item->setToolTip(texts.SubItems[std::size_t(i)]);
        setItem(row, colBitrate + i, item);
    }
    auto* assessment = new QTableWidgetItem(texts.Assessment);
    if (!texts.AssessmentTip.isEmpty())
        assessment->setToolTip(texts.AssessmentTip);
    setItem(row, colAssessment, assessment);
    if (texts.VerdictImageIndex >= 0) {
        QTableWidgetItem* verdict = item(row, colResult);
        verdict->setIcon(RowImageIcon(texts.VerdictImageIndex));
        verdict->setData(ImageIndexRole, texts.VerdictImageIndex);
    }
}

QList<int> ResultList::selectedRowNumbers() const {
    std::set<int> rows;
    for (const QItemSelectionRange& range : selectionModel()->selection()) {
        for (int row = range.top(); row <= range.bottom(); ++row)
            rows.insert(row);
    }
    return QList<int>(rows.begin(), rows.end());
}

int ResultList::chosenRow() const {
    // Asked ten times a second: look at the ranges, not at every cell.
    int first = -1;
    for (const QItemSelectionRange& range : selectionModel()->selection()) {
        if (first < 0 || range.top() < first)
            first = range.top();
    }
    return first;
}

QString ResultList::caption(int row) const {
    const QTableWidgetItem* cell = item(row, colFilename);
    return cell ? cell->text() : QString();
}

QString ResultList::subItem(int row, int subItemIndex) const {
    const QTableWidgetItem* cell = item(row, colBitrate + subItemIndex);
    return cell ? cell->text() : QString();
}

void ResultList::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Delete && onKeyDown) {
        onKeyDown(event);
        event->accept();
        return;
    }
    // The list's own copy takes the current cell only; whole rows are wanted.
    if (event->matches(QKeySequence::Copy) && onCopy) {
        onCopy();
        event->accept();
        return;
    }
    QTableWidget::keyPressEvent(event);
}

void ResultList::setRowResult(QTableWidgetItem* caption, const QualityAndSource& result) {
    caption->setData(ResultRole, QVariant::fromValue(result));
}

std::optional<QualityAndSource> ResultList::rowResult(int row) const {
    const QTableWidgetItem* caption = item(row, colFilename);
    if (!caption)
        return std::nullopt;
    const QVariant value = caption->data(ResultRole);
    if (!value.canConvert<QualityAndSource>())
        return std::nullopt;
    return value.value<QualityAndSource>();
}

QString ResultList::selectedRowsAsText() const {
    QString text;
    for (int row : selectedRowNumbers()) {
        QStringList cells;
        for (int column = 0; column < colCount; ++column) {
            const QTableWidgetItem* cell = item(row, column);
            QString value = cell ? cell->text() : QString();
            for (QChar& c : value) {
                if (c == u'\t' || c == u'\n' || c == u'\r')
                    c = u' ';
            }
            cells << value;
        }
        text += cells.join(u'\t') + u'\n';
    }
    return text;
}
