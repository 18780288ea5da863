#include "platform/ui/HexGrid.h"

#include "lib/HexGridModel.h"
#include "platform/ui/Fonts.h"

#include <QAction>
#include <QClipboard>
#include <QEvent>
#include <QGuiApplication>
#include <QHash>
#include <QHeaderView>
#include <QPainter>
#include <QStaticText>
#include <QStyledItemDelegate>

namespace {
// Paints a cell's two hexadecimal digits from a text prepared once per value: the style's
// general item painting lays out and shapes every cell's text anew, milliseconds per repaint.
class HexCellDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override
    {
        const bool selected = option.state & QStyle::State_Selected;
        if (selected)
            painter->fillRect(option.rect, option.palette.highlight());
        const QString text = index.data(Qt::DisplayRole).toString();
        if (text.isEmpty())
            return;
        if (option.font != m_font) {
            m_font = option.font;
            m_texts.clear();
        }
        auto found = m_texts.find(text);
        if (found == m_texts.end()) {
            QStaticText prepared(text);
            prepared.setTextFormat(Qt::PlainText);
            prepared.prepare(QTransform(), m_font);
            found = m_texts.insert(text, prepared);
        }
        const QSizeF size = found->size();
        painter->save();
        painter->setFont(m_font);
        painter->setPen(selected ? option.palette.highlightedText().color()
                                 : index.data(Qt::ForegroundRole).value<QBrush>().color());
        painter->drawStaticText(
            QPointF(option.rect.x() + (option.rect.width() - size.width()) / 2,
                    option.rect.y() + (option.rect.height() - size.height()) / 2),
            *found);
        painter->restore();
    }

private:
    mutable QFont m_font;
    mutable QHash<QString, QStaticText> m_texts;
};
} // namespace

HexGrid::HexGrid(QWidget *parent) : QTableView(parent), m_model(new HexGridModel(this))
{
    setModel(m_model);
    setItemDelegate(new HexCellDelegate(this));
    setFont(JapaneseFont(QStringLiteral("ＭＳ ゴシック"), 9));
    setEditTriggers(NoEditTriggers);
    setSelectionMode(ContiguousSelection);
    setTabKeyNavigation(false);
    // Reachable by mouse only: the keyboard's Tab order belongs to the buttons and options.
    setFocusPolicy(Qt::ClickFocus);
    setWordWrap(false);
    setTextElideMode(Qt::ElideNone);
    setCornerButtonEnabled(false);
    // Always there, so the columns keep their widths when the block grows past the view.
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setSectionsClickable(false);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setHighlightSections(false);
    verticalHeader()->setSectionsClickable(false);
    fitSectionsToFont();

    m_copyAction = new QAction(QStringLiteral("コピー"), this);
    m_copyAction->setObjectName(QStringLiteral("copyAction"));
    m_copyAction->setShortcut(QKeySequence::Copy);
    // Each grid copies its own cells: the shortcut works while the grid has the focus.
    m_copyAction->setShortcutContext(Qt::WidgetShortcut);
    connect(m_copyAction, &QAction::triggered, this, &HexGrid::copy);
    addAction(m_copyAction);
    setContextMenuPolicy(Qt::ActionsContextMenu);

    m_repaintTimer.setSingleShot(true);
    connect(&m_repaintTimer, &QTimer::timeout, this, [this] {
        setUpdatesEnabled(true);
        m_sinceRepaint.start();
    });
}

void HexGrid::beginFill()
{
    setUpdatesEnabled(false);
}

void HexGrid::endFill()
{
    if (m_repaintTimer.isActive())
        return; // the repaint already due shows this fill too
    const qint64 since = m_sinceRepaint.isValid() ? m_sinceRepaint.elapsed() : repaintInterval;
    m_repaintTimer.start(int(qMax<qint64>(0, repaintInterval - since)));
}

void HexGrid::copy()
{
    const QString text = m_model->copyText(selectionModel()->selectedIndexes());
    // An empty grid leaves whatever the clipboard held.
    if (!text.isEmpty())
        QGuiApplication::clipboard()->setText(text);
}

void HexGrid::changeEvent(QEvent *event)
{
    QTableView::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        fitSectionsToFont();
}

void HexGrid::fitSectionsToFont()
{
    // Headers take their own class font from the platform theme unless told otherwise.
    horizontalHeader()->setFont(font());
    verticalHeader()->setFont(font());
    const QFontMetrics metrics(font());
    const int rowHeight = metrics.height() + 4;
    verticalHeader()->setMinimumSectionSize(rowHeight);
    verticalHeader()->setDefaultSectionSize(rowHeight);
    horizontalHeader()->setMinimumSectionSize(metrics.horizontalAdvance(QStringLiteral("FF")) + 8);
    horizontalHeader()->setFixedHeight(rowHeight);
    verticalHeader()->setFixedWidth(metrics.horizontalAdvance(QStringLiteral("0000")) + 12);
}
