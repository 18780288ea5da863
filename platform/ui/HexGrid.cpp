#include "platform/ui/HexGrid.h"

#include "lib/HexGridModel.h"
#include "platform/ui/Fonts.h"

#include <QAction>
#include <QClipboard>
#include <QEvent>
#include <QGuiApplication>
#include <QHeaderView>

HexGrid::HexGrid(QWidget *parent) : QTableView(parent), m_model(new HexGridModel(this))
{
    setModel(m_model);
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
