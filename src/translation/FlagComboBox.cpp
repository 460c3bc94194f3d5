#include "translation/FlagComboBox.h"

#include "translation/LanguageChoice.h"

#include <QAbstractItemView>
#include <QPainter>
#include <QStyleOptionComboBox>
#include <QStylePainter>

QIcon FlagIcon(const QString& languageName) {
    return QIcon(QStringLiteral(":/translation/flags/") + FlagImageName(languageName) +
                 QStringLiteral(".svg"));
}

void FlagItemDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                             const QModelIndex& index) const {
    const QString name = index.data(Qt::DisplayRole).toString();
    const bool selected = option.state & QStyle::State_Selected;
    const QPalette& palette = option.palette;
    painter->save();
    painter->fillRect(option.rect, palette.brush(selected ? QPalette::Highlight : QPalette::Base));
    const QRect image(option.rect.topLeft(), QSize(kImageSize, kImageSize));
    FlagIcon(name).paint(painter, image);
    painter->setPen(palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
    painter->setFont(option.font);
    const QRect text = option.rect.adjusted(kImageSize, 0, 0, 0);
    painter->drawText(text, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, name);
    painter->restore();
}

QSize FlagItemDelegate::sizeHint(const QStyleOptionViewItem& option,
                                 const QModelIndex& index) const {
    const QSize natural = QStyledItemDelegate::sizeHint(option, index);
    return QSize(natural.width() + kImageSize, kItemHeight);
}

FlagComboBox::FlagComboBox(QWidget* parent) : QComboBox(parent) {
    setItemDelegate(new FlagItemDelegate(this));
    setIconSize(QSize(FlagItemDelegate::kImageSize, FlagItemDelegate::kImageSize));
}

int FlagComboBox::AddSorted(const QString& languageName) {
    QStringList names;
    for (int i = 0; i < count(); ++i) {
        names.append(itemText(i));
    }
    const int at = static_cast<int>(InsertSorted(names, languageName));
    insertItem(at, languageName);
    return at;
}

void FlagComboBox::paintEvent(QPaintEvent*) {
    // The closed box shows the chosen language with its flag, as the list does.
    QStylePainter painter(this);
    QStyleOptionComboBox option;
    initStyleOption(&option);
    painter.drawComplexControl(QStyle::CC_ComboBox, option);
    if (currentIndex() >= 0) {
        option.currentIcon = FlagIcon(currentText());
        option.iconSize = iconSize();
    }
    painter.drawControl(QStyle::CE_ComboBoxLabel, option);
}
