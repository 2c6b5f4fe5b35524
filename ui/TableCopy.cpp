#include "ui/TableCopy.h"

#include <QAbstractItemView>
#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QItemSelectionModel>
#include <QKeyEvent>

#include <algorithm>
#include <climits>

namespace kelmo::ui {

namespace {

void copySelection(const QAbstractItemView* view) {
    const QString text = selectionText(view);
    if (!text.isEmpty()) {
        QGuiApplication::clipboard()->setText(text);
    }
}

class CopyKeyFilter final : public QObject {
public:
    explicit CopyKeyFilter(QAbstractItemView* view)
        : QObject(view)
        , m_view(view) {}

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == m_view &&
            (event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress)) {
            auto* key = static_cast<QKeyEvent*>(event);
            if (key->matches(QKeySequence::Copy)) {
                // Claim the key from any shortcut, then copy on the key press itself.
                if (event->type() == QEvent::KeyPress) {
                    copySelection(m_view);
                }
                event->accept();
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QAbstractItemView* m_view;
};

} // namespace

QString selectionText(const QAbstractItemView* view) {
    const QItemSelectionModel* selection = view->selectionModel();
    if (selection == nullptr || view->model() == nullptr) {
        return {};
    }
    const QModelIndexList cells = selection->selectedIndexes();
    if (cells.isEmpty()) {
        return {};
    }
    int top = INT_MAX;
    int bottom = -1;
    int left = INT_MAX;
    int right = -1;
    for (const QModelIndex& cell : cells) {
        top = std::min(top, cell.row());
        bottom = std::max(bottom, cell.row());
        left = std::min(left, cell.column());
        right = std::max(right, cell.column());
    }
    QString text;
    for (int row = top; row <= bottom; ++row) {
        for (int column = left; column <= right; ++column) {
            if (column > left) {
                text += QLatin1Char('\t');
            }
            const QModelIndex index = view->model()->index(row, column, view->rootIndex());
            if (selection->isSelected(index)) {
                text += index.data(Qt::DisplayRole).toString();
            }
        }
        text += QLatin1Char('\n');
    }
    return text;
}

void installTableCopy(QAbstractItemView* view) {
    view->installEventFilter(new CopyKeyFilter(view));
    auto* copy = new QAction(QStringLiteral("Копировать"), view);
    copy->setObjectName(QStringLiteral("actCopyCells"));
    QObject::connect(copy, &QAction::triggered, view, [view] { copySelection(view); });
    view->addAction(copy);
    view->setContextMenuPolicy(Qt::ActionsContextMenu);
}

} // namespace kelmo::ui
