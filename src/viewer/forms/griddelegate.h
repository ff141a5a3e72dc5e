#pragma once

#include <QStyledItemDelegate>

namespace shelvix::viewer {

class ViewerGrid;

// Cells of the viewer grid: the lines between columns and rows as the
// settings ask (the view's own grid switch draws both or neither), and the
// in-cell editors: a drop-down for the nine data-list fields, a check box
// for CheckOut, a line edit as long as the field for the rest.
class GridDelegate : public QStyledItemDelegate {
    Q_OBJECT

public:
    explicit GridDelegate(ViewerGrid* grid);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override;

private:
    QWidget* makeEditor(QWidget* parent, const QModelIndex& index) const;

    ViewerGrid* grid_;
};

} // namespace shelvix::viewer
