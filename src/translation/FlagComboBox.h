#pragma once

#include <QComboBox>
#include <QIcon>
#include <QStyledItemDelegate>

// The flag picture of a language name at 16 x 16 (scaled with the screen).
QIcon FlagIcon(const QString& languageName);

// Draws one row of the language list: the row filled with the current
// brush (highlighted when selected), the flag at the top-left corner and the
// name right after it, at the row's top.
class FlagItemDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    static constexpr int kItemHeight = 18;
    static constexpr int kImageSize = 16;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

// A drop-down list of language names that keeps its entries sorted and
// shows each with its flag.
class FlagComboBox : public QComboBox {
    Q_OBJECT
public:
    explicit FlagComboBox(QWidget* parent = nullptr);

    // Adds a language name where the sorting puts it; returns its index.
    int AddSorted(const QString& languageName);

protected:
    void paintEvent(QPaintEvent* event) override;
};
