#include "viewer/forms/griddelegate.h"

#include "db/datalists.h"
#include "db/fieldtable.h"
#include "viewer/forms/viewergrid.h"
#include "viewer/gridmodel.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPainter>

namespace shelvix::viewer {

namespace {

QString yesNo(bool on) {
    return on ? QStringLiteral("Yes") : QStringLiteral("No");
}

} // namespace

GridDelegate::GridDelegate(ViewerGrid* grid) : QStyledItemDelegate(grid), grid_(grid) {}

void GridDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                         const QModelIndex& index) const {
    QStyledItemDelegate::paint(painter, option, index);
    if (!grid_->columnLines() && !grid_->rowLines())
        return;
    QStyleOptionViewItem opt(option);
    const QStyle* style = option.widget ? option.widget->style() : QApplication::style();
    QColor color = QColor::fromRgba(
        QRgb(style->styleHint(QStyle::SH_Table_GridLineColor, &opt, option.widget)));
    painter->save();
    painter->setPen(color);
    const QRect& r = option.rect;
    if (grid_->columnLines())
        painter->drawLine(r.topRight(), r.bottomRight());
    if (grid_->rowLines())
        painter->drawLine(r.bottomLeft(), r.bottomRight());
    painter->restore();
}

QWidget* GridDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&,
                                    const QModelIndex& index) const {
    QWidget* editor = makeEditor(parent, index);
    if (editor)
        grid_->editorOpened(editor);
    return editor;
}

QWidget* GridDelegate::makeEditor(QWidget* parent, const QModelIndex& index) const {
    const int field = grid_->gridModel()->fieldAt(index.column());
    if (field < 1 || field > db::kFieldCount)
        return nullptr;
    const int width = db::fieldInfo(field).width;
    if (field == db::field::CheckOut) {
        auto* box = new QCheckBox(parent);
        box->setObjectName(QStringLiteral("CheckOutBox"));
        box->setFont(grid_->cellFont());
        box->setAutoFillBackground(true);
        return box;
    }
    if (int list = db::dataListOfField(field)) {
        auto* combo = new QComboBox(parent);
        combo->setObjectName(
            QString::fromLatin1(db::dataListTable()[std::size_t(list - 1)].gridEditor));
        combo->setEditable(true);
        combo->setInsertPolicy(QComboBox::NoInsert);
        // What is typed is what is stored: no completion behind the user's back.
        combo->setCompleter(nullptr);
        combo->setFont(grid_->cellFont());
        combo->addItems(grid_->dropDownList(field));
        combo->lineEdit()->setMaxLength(width);
        // The list opens wide enough for its longest entry, not as narrow as
        // the column ("Non…ion").
        QAbstractItemView* view = combo->view();
        int listWidth = view->sizeHintForColumn(0) + 2 * view->frameWidth();
        if (combo->count() > combo->maxVisibleItems())
            listWidth += view->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, view);
        view->setMinimumWidth(listWidth);
        return combo;
    }
    auto* line = new QLineEdit(parent);
    line->setFont(grid_->cellFont());
    line->setMaxLength(width);
    line->setFrame(false);
    return line;
}

void GridDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const {
    QString text = grid_->pendingText(index).value_or(index.data(Qt::EditRole).toString());
    if (auto* box = qobject_cast<QCheckBox*>(editor)) {
        box->setChecked(text == QLatin1String("Yes"));
        box->setProperty("shownText", text);
    } else if (auto* combo = qobject_cast<QComboBox*>(editor)) {
        combo->setCurrentIndex(combo->findText(text, Qt::MatchExactly));
        combo->setEditText(text);
        combo->lineEdit()->selectAll();
    } else if (auto* line = qobject_cast<QLineEdit*>(editor)) {
        line->setText(text);
        line->selectAll();
    }
}

void GridDelegate::setModelData(QWidget* editor, QAbstractItemModel* model,
                                const QModelIndex& index) const {
    QString text;
    if (auto* box = qobject_cast<QCheckBox*>(editor)) {
        // Leaving the box untouched keeps whatever the field held ("", "no").
        QString shown = box->property("shownText").toString();
        if (box->isChecked() == (shown == QLatin1String("Yes")))
            return;
        text = yesNo(box->isChecked());
    } else if (auto* combo = qobject_cast<QComboBox*>(editor))
        text = combo->currentText();
    else if (auto* line = qobject_cast<QLineEdit*>(editor))
        text = line->text();
    else
        return;
    if (!model->setData(index, text, Qt::EditRole))
        grid_->refuse(index, text);
    else if (qobject_cast<QComboBox*>(editor))
        grid_->listValueStored(index.column(), text);
}

} // namespace shelvix::viewer
