#include "forms/frmHistory.h"

#include "forms/ui/Contrast.h"
#include "forms/ui/Fonts.h"
#include "forms/ui/MessageBox.h"
#include "lib/ExchangeHistoryModel.h"
#include "lib/HexDumpModel.h"
#include "lib/SettingKeys.h"
#include "lib/modFileIO.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QHideEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QSaveFile>
#include <QScrollBar>
#include <QSplitter>
#include <QTableView>
#include <QVBoxLayout>

namespace {
frmHistory::SavePathFunction &savePathFunction()
{
    static frmHistory::SavePathFunction function = [](QWidget *parent) {
        return QFileDialog::getSaveFileName(parent, QStringLiteral("通信履歴の保存"),
                                            QStringLiteral("通信履歴.txt"),
                                            QStringLiteral("テキスト (*.txt);;すべて (*)"));
    };
    return function;
}

QTableView *table(QWidget *parent, const char *name, const QString &accessibleName)
{
    auto *view = new QTableView(parent);
    view->setObjectName(QLatin1String(name));
    view->setAccessibleName(accessibleName);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setWordWrap(false);
    view->setTabKeyNavigation(false);
    view->setFont(JapaneseFont(QStringLiteral("ＭＳ ゴシック"), 9));
    view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view->verticalHeader()->setDefaultSectionSize(view->fontMetrics().height() + 4);
    // Selected rows keep the desktop's highlight, with text that reads on it (Fusion's white on
    // its blue measures 3.7:1).
    QPalette colours = view->palette();
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive})
        colours.setColor(group, QPalette::HighlightedText,
                         ReadableOn(colours.color(group, QPalette::Highlight),
                                    colours.color(group, QPalette::HighlightedText),
                                    colours.color(group, QPalette::Text)));
    view->setPalette(colours);
    return view;
}

QSize parseSize(const QString &text)
{
    const QStringList parts = text.split(QLatin1Char('x'));
    if (parts.size() != 2)
        return {};
    bool wide = false;
    bool high = false;
    const QSize size(parts[0].toInt(&wide), parts[1].toInt(&high));
    return wide && high && size.width() >= 200 && size.height() >= 150 && size.width() <= 16384
            && size.height() <= 16384
        ? size
        : QSize();
}
} // namespace

frmHistory::frmHistory(const ExchangeHistory &history, const QString &iniFile, QWidget *parent)
    : QWidget(parent, Qt::Window), m_history(history), m_iniFile(iniFile)
{
    setObjectName(QStringLiteral("frmHistory"));
    setWindowTitle(QStringLiteral("通信履歴"));
    setFont(JapaneseFont(QStringLiteral("ＭＳ Ｐゴシック"), 9));

    m_model = new ExchangeHistoryModel(history, this);
    m_filtered = new ExchangeFilterModel(this);
    m_filtered->setSourceModel(m_model);
    m_dump = new HexDumpModel(this);

    auto *lblFilter = new QLabel(QStringLiteral("検索(&F)："), this);
    txtFilter = new QLineEdit(this);
    txtFilter->setObjectName(QStringLiteral("txtFilter"));
    txtFilter->setAccessibleName(QStringLiteral("検索"));
    txtFilter->setAccessibleDescription(
        QStringLiteral("16進（0D 0A）または文字を含むデータだけを表示します"));
    txtFilter->setPlaceholderText(QStringLiteral("16進（例：0D 0A）または文字"));
    txtFilter->setClearButtonEnabled(true);
    lblFilter->setBuddy(txtFilter);
    auto *lblDirection = new QLabel(QStringLiteral("方向(&D)："), this);
    cboDirection = new QComboBox(this);
    cboDirection->setObjectName(QStringLiteral("cboDirection"));
    cboDirection->setAccessibleName(QStringLiteral("方向"));
    cboDirection->addItems(
        {QStringLiteral("すべて"), QStringLiteral("受信"), QStringLiteral("送信")});
    lblDirection->setBuddy(cboDirection);
    cmdCopy = new QPushButton(QStringLiteral("コピー(&C)"), this);
    cmdCopy->setObjectName(QStringLiteral("cmdCopy"));
    cmdCopy->setAccessibleName(QStringLiteral("コピー"));
    cmdCopy->setAccessibleDescription(QStringLiteral("選択した行をデータ記録の形式でコピーします"));
    cmdSave = new QPushButton(QStringLiteral("保存(&S)..."), this);
    cmdSave->setObjectName(QStringLiteral("cmdSave"));
    cmdSave->setAccessibleName(QStringLiteral("保存"));
    cmdSave->setAccessibleDescription(
        QStringLiteral("履歴のすべてのデータをデータ記録の形式でファイルに保存します"));
    for (QPushButton *button : {cmdCopy, cmdSave})
        button->setAutoDefault(true);

    tblHistory = table(this, "tblHistory", QStringLiteral("通信履歴"));
    tblHistory->setAccessibleDescription(QStringLiteral("時刻 方向 相手 長さ データ"));
    tblHistory->setModel(m_filtered);
    tblHistory->setSelectionBehavior(QAbstractItemView::SelectRows);
    tblHistory->setSelectionMode(QAbstractItemView::ExtendedSelection);
    tblHistory->verticalHeader()->hide();
    QHeaderView *columns = tblHistory->horizontalHeader();
    const QFontMetrics metrics = tblHistory->fontMetrics();
    const auto width = [&](const QString &sample) {
        return metrics.horizontalAdvance(sample) + 12;
    };
    columns->resizeSection(ExchangeHistoryModel::TimeColumn,
                           width(QStringLiteral("00/00/00 00:00:00.000")));
    columns->resizeSection(ExchangeHistoryModel::DirectionColumn, width(QStringLiteral("受信・")));
    columns->resizeSection(ExchangeHistoryModel::PeerColumn,
                           width(QStringLiteral("127.000.000.001:00000")));
    columns->resizeSection(ExchangeHistoryModel::LengthColumn, width(QStringLiteral("1048576")));
    columns->resizeSection(ExchangeHistoryModel::HexColumn, width(QString(52, QLatin1Char('0'))));
    columns->setStretchLastSection(true);

    lblDetail = new QLabel(QStringLiteral("選択したデータ(&B)"), this);
    lblDetail->setObjectName(QStringLiteral("lblDetail"));
    tblDetail = table(this, "tblDetail", QStringLiteral("選択したデータ"));
    tblDetail->setModel(m_dump);
    tblDetail->setSelectionMode(QAbstractItemView::ExtendedSelection);
    tblDetail->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    tblDetail->horizontalHeader()->setDefaultSectionSize(width(QStringLiteral("00")));
    for (int column = HexDumpModel::bytesPerLine; column < HexDumpModel::columns; ++column)
        tblDetail->horizontalHeader()->resizeSection(column, width(QStringLiteral("W")));
    lblDetail->setBuddy(tblDetail);
    lblRows = new QLabel(this);
    lblRows->setObjectName(QStringLiteral("lblRows"));

    auto *top = new QHBoxLayout;
    top->addWidget(lblFilter);
    top->addWidget(txtFilter, 1);
    top->addWidget(lblDirection);
    top->addWidget(cboDirection);
    top->addWidget(cmdCopy);
    top->addWidget(cmdSave);
    auto *detail = new QWidget(this);
    auto *detailLayout = new QVBoxLayout(detail);
    detailLayout->setContentsMargins(0, 0, 0, 0);
    auto *detailTop = new QHBoxLayout;
    detailTop->addWidget(lblDetail);
    detailTop->addStretch();
    detailTop->addWidget(lblRows);
    detailLayout->addLayout(detailTop);
    detailLayout->addWidget(tblDetail);
    auto *splitter = new QSplitter(Qt::Vertical, this);
    splitter->addWidget(tblHistory);
    splitter->addWidget(detail);
    splitter->setStretchFactor(0, 3);
    splitter->setStretchFactor(1, 2);
    splitter->setChildrenCollapsible(false);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(splitter, 1);

    setTabOrder(txtFilter, cboDirection);
    setTabOrder(cboDirection, cmdCopy);
    setTabOrder(cmdCopy, cmdSave);
    setTabOrder(cmdSave, tblHistory);
    setTabOrder(tblHistory, tblDetail);

    auto *copyAction = new QAction(QStringLiteral("コピー"), tblHistory);
    copyAction->setShortcut(QKeySequence::Copy);
    copyAction->setShortcutContext(Qt::WidgetShortcut);
    tblHistory->addAction(copyAction);
    tblHistory->setContextMenuPolicy(Qt::ActionsContextMenu);
    auto *escape = new QAction(this);
    escape->setShortcut(Qt::Key_Escape);
    addAction(escape);

    connect(copyAction, &QAction::triggered, this, &frmHistory::copySelected);
    connect(escape, &QAction::triggered, this, &QWidget::close);
    connect(cmdCopy, &QPushButton::clicked, this, &frmHistory::copySelected);
    connect(cmdSave, &QPushButton::clicked, this, &frmHistory::save);
    connect(txtFilter, &QLineEdit::textChanged, this, &frmHistory::filterChanged);
    connect(cboDirection, &QComboBox::currentIndexChanged, this, &frmHistory::filterChanged);
    connect(tblHistory->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &frmHistory::showSelected);
    connect(m_filtered, &QAbstractItemModel::modelReset, this, &frmHistory::showSelected);

    resize(QSize(880, 560));
    catchUp();
}

frmHistory::~frmHistory() = default;

void frmHistory::open()
{
    if (!m_sized) {
        m_sized = true;
        const QSize remembered = parseSize(ReadIniString(
            SettingKeys::maintenanceSection, SettingKeys::historyWindowSize, m_iniFile));
        if (remembered.isValid())
            resize(remembered);
    }
    catchUp();
    show();
    raise();
    activateWindow();
}

void frmHistory::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    if (event->spontaneous() || m_iniFile.isEmpty())
        return;
    const QString size = QStringLiteral("%1x%2").arg(width()).arg(height());
    // Only a nicety: a settings file that cannot be written costs the size, nothing else.
    if (ReadIniString(SettingKeys::maintenanceSection, SettingKeys::historyWindowSize, m_iniFile)
        != size)
        (void)WriteIniString(SettingKeys::maintenanceSection, SettingKeys::historyWindowSize,
                             m_iniFile, size);
}

void frmHistory::catchUp()
{
    QScrollBar *scroll = tblHistory->verticalScrollBar();
    // Follow the newest rows unless the user scrolled up to read older ones.
    const bool following = scroll->value() == scroll->maximum();
    m_model->catchUp();
    if (following)
        tblHistory->scrollToBottom();
    const qint64 rows = m_history.size();
    lblRows->setText(
        m_filtered->rowCount() == m_model->rowCount()
            ? QStringLiteral("%1 件").arg(rows)
            : QStringLiteral("%1 件中 %2 件を表示").arg(rows).arg(m_filtered->rowCount()));
}

void frmHistory::filterChanged()
{
    m_filtered->setPattern(txtFilter->text());
    m_filtered->setDirection(ExchangeFilterModel::Direction(cboDirection->currentIndex()));
    catchUp();
}

void frmHistory::showSelected()
{
    const QModelIndex current = m_filtered->mapToSource(tblHistory->currentIndex());
    const Exchange *exchange = current.isValid() ? m_model->exchangeAt(current.row()) : nullptr;
    m_dump->setBytes(exchange ? exchange->bytes : QByteArray());
    const QString speech = current.isValid() ? m_model->rowSpeech(current.row()) : QString();
    tblDetail->setAccessibleDescription(speech);
    lblDetail->setToolTip(speech);
    QString caption = QStringLiteral("選択したデータ(&B)");
    if (exchange && exchange->bytes.size() > HexDumpModel::maxBytes)
        caption += QStringLiteral("：%1 バイト中 先頭 %2 バイト")
                       .arg(exchange->bytes.size())
                       .arg(HexDumpModel::maxBytes);
    lblDetail->setText(caption);
}

QByteArray frmHistory::selectedText() const
{
    QList<quint64> serials;
    const QModelIndexList rows = tblHistory->selectionModel()->selectedRows();
    for (const QModelIndex &row : rows) {
        const QVariant serial = row.data(ExchangeHistoryModel::SerialRole);
        if (serial.isValid())
            serials += serial.toULongLong();
    }
    std::sort(serials.begin(), serials.end());
    return ExchangeCaptureText(m_history, serials, true);
}

void frmHistory::copySelected()
{
    const QByteArray text = selectedText();
    if (!text.isEmpty())
        QGuiApplication::clipboard()->setText(QString::fromUtf8(text));
}

bool frmHistory::saveTo(const QString &path)
{
    QList<quint64> serials;
    for (quint64 serial = m_history.firstSerial(); serial < m_history.endSerial(); ++serial)
        serials += serial;
    QSaveFile file(path);
    const QByteArray text = ExchangeCaptureText(m_history, serials, false);
    if (file.open(QIODevice::WriteOnly) && file.write(text) == text.size() && file.commit())
        return true;
    MsgBox(QStringLiteral("通信履歴を保存できませんでした。\r\n") + file.errorString(),
           MsgBoxStyle::Critical);
    return false;
}

void frmHistory::save()
{
    const QString path = savePathFunction()(this);
    if (!path.isEmpty())
        saveTo(path);
}

frmHistory::SavePathFunction frmHistory::setSavePathFunction(SavePathFunction function)
{
    SavePathFunction previous = std::move(savePathFunction());
    savePathFunction() = std::move(function);
    return previous;
}
