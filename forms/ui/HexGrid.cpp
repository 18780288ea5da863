#include "forms/ui/HexGrid.h"

#include "forms/ui/Contrast.h"
#include "forms/ui/Fonts.h"
#include "lib/HexGridModel.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QEvent>
#include <QGuiApplication>
#include <QHash>
#include <QHeaderView>
#include <QPainter>
#include <QStaticText>
#include <QStyledItemDelegate>
#include <utility>

namespace {
// The sixteen-colour palette's black and grey: digits of the block, and cells past its end.
const QColor byteColor(0, 0, 0);
const QColor emptyColor(128, 128, 128);

// The grid's own look, whatever the desktop's palette: the light desktop's colours (dark digits
// on white cells, light grey headers), so the grid reads the same on a dark desktop. Selection
// keeps the desktop's highlight. A style sheet, where one is given, colours the grid instead.
QPalette gridPalette(QPalette palette)
{
    const std::pair<QPalette::ColorRole, QColor> light[] = {
        {QPalette::Window, QColor(0xEF, 0xEF, 0xEF)},
        {QPalette::WindowText, Qt::black},
        {QPalette::Button, QColor(0xEF, 0xEF, 0xEF)},
        {QPalette::ButtonText, Qt::black},
        {QPalette::Light, Qt::white},
        {QPalette::Midlight, QColor(0xCA, 0xCA, 0xCA)},
        {QPalette::Mid, QColor(0xB8, 0xB8, 0xB8)},
        {QPalette::Dark, QColor(0x9F, 0x9F, 0x9F)},
        {QPalette::Shadow, QColor(0x76, 0x76, 0x76)},
        {QPalette::Base, Qt::white},
        {QPalette::AlternateBase, QColor(0xF7, 0xF7, 0xF7)},
        {QPalette::Text, byteColor},
    };
    // The disabled group too: the corner cell above the line headers is a disabled button.
    for (const auto &[role, color] : light) {
        palette.setColor(QPalette::Active, role, color);
        palette.setColor(QPalette::Inactive, role, color);
        const bool text = role == QPalette::WindowText || role == QPalette::ButtonText
            || role == QPalette::Text;
        palette.setColor(QPalette::Disabled, role, text ? emptyColor : color);
    }
    return palette;
}

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
        // Only the keyboard moves the current cell, so its frame shows where the keys act.
        if (option.state & QStyle::State_HasFocus) {
            QStyleOptionFocusRect focus;
            focus.QStyleOption::operator=(option);
            focus.rect = option.rect.adjusted(1, 1, -1, -1);
            focus.backgroundColor
                = option.palette.color(selected ? QPalette::Highlight : QPalette::Base);
            const QWidget *view = option.widget;
            (view ? view->style() : QApplication::style())
                ->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, painter, view);
        }
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
        const bool holdsByte = index.data(HexGridModel::HoldsByteRole).toBool();
        // Black digits where black reads on the cells, else the palette's or the style sheet's;
        // a selected cell's text where it reads on the highlight (Fusion's white on its blue
        // does not), else the cells' text colour.
        const QColor textColor = option.palette.color(QPalette::Text);
        painter->setPen(
            selected        ? ReadableOn(option.palette.color(QPalette::Highlight),
                                         option.palette.color(QPalette::HighlightedText), textColor)
                : holdsByte ? ReadableOn(option.palette.color(QPalette::Base), byteColor, textColor)
                            : emptyColor);
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
    if (qApp->styleSheet().isEmpty())
        setPalette(gridPalette(palette()));
    setItemDelegate(new HexCellDelegate(this));
    setFont(JapaneseFont(QStringLiteral("ＭＳ ゴシック"), 9));
    setEditTriggers(NoEditTriggers);
    setSelectionMode(ContiguousSelection);
    // Tab leaves the grid for the next control; the arrows move within it.
    setTabKeyNavigation(false);
    setFocusPolicy(Qt::StrongFocus);
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
