#include "forms/frmMain.h"

#include "forms/ui/Fonts.h"
#include "forms/ui/FrameThrottle.h"
#include "forms/ui/Heading.h"
#include "forms/ui/HexGrid.h"
#include "forms/ui/Lamp.h"
#include "forms/ui/StatusPanel.h"
#include "forms/ui/Twips.h"
#include "lib/DisplayTime.h"
#include "lib/ReceiverSession.h"
#include "platform/Clock.h"

#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QStatusBar>
#include <QTimer>

namespace {
template<typename Control>
Control *place(Control *control, const char *name, const QString &accessibleName, const QRect &area)
{
    control->setObjectName(QLatin1String(name));
    control->setAccessibleName(accessibleName);
    control->setGeometry(area);
    return control;
}

QLabel *label(QWidget *parent, const char *name, const QString &text, const QRect &area,
              const QString &accessibleName = {})
{
    auto *control = place(new QLabel(text, parent), name,
                          accessibleName.isEmpty() ? text : accessibleName, area);
    control->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return control;
}

// A time stamp label. Fixed-width digits keep the ticking clock from jiggling and fit the stamp
// into its box; with a wider fallback font the label grows to the right rather than cut it off.
// Screen readers read the stamp itself; what it stamps is its description.
QLabel *stampLabel(QWidget *parent, const char *name, const QRect &area, const QString &description)
{
    QLabel *control = label(parent, name, displayTimePlaceholder, area);
    control->setAccessibleName(QString());
    control->setAccessibleDescription(description);
    // A touch narrower than the font's own spacing, so the stamp ends clear of the response
    // frame's caption beside it.
    QFont font = JapaneseFont(QStringLiteral("ＭＳ ゴシック"), 9);
    font.setLetterSpacing(QFont::PercentageSpacing, 97);
    control->setFont(font);
    const int needed
        = control->fontMetrics().horizontalAdvance(QStringLiteral("00/00/00 00:00:00")) + 1;
    control->resize(qMax(area.width(), needed), area.height());
    return control;
}

QLabel *heading(QWidget *parent, const char *name, const QString &text, const QRect &area)
{
    auto *control = place(new Heading(text, parent), name, text, area);
    control->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    control->setFont(JapaneseFont(QStringLiteral("ＭＳ Ｐゴシック"), 15.75, true));
    return control;
}

// How much of a long block a grid shows. Screen readers hear the whole note as the description.
// Two lines at most, in a size smaller than the labels: a long block's count still fits whole.
QLabel *shownNote(QWidget *parent, const char *name, const QString &accessibleName,
                  const QRect &area, Qt::Alignment vertical)
{
    QLabel *control = label(parent, name, QString(), area, accessibleName);
    control->setAlignment(Qt::AlignRight | vertical);
    control->setWordWrap(true);
    control->setFont(JapaneseFont(QStringLiteral("ＭＳ Ｐゴシック"), 8));
    return control;
}

// A push button that Return presses while it has the focus, as Space does.
QPushButton *button(QWidget *parent, const char *name, const QString &caption, const QRect &area)
{
    auto *control = place(new QPushButton(caption, parent), name, caption, area);
    control->setAutoDefault(true);
    return control;
}

// The date and time panels keep themselves current; nothing else writes to the status bar.
void addClockPanels(QStatusBar *statusBar)
{
    auto panel = [statusBar](const char *name, const QString &accessibleName, int widthTwips) {
        auto *control = new QLabel(statusBar);
        control->setObjectName(QLatin1String(name));
        control->setAccessibleName(accessibleName);
        control->setAlignment(Qt::AlignCenter);
        control->setMinimumWidth(widthTwips / twipsPerPixel);
        statusBar->addPermanentWidget(control);
        return control;
    };
    QLabel *date = panel("sbStatusBarDate", QStringLiteral("日付"), 1100);
    QLabel *time = panel("sbStatusBarTime", QStringLiteral("時刻"), 600);
    // Screen readers hear the panel's name and, as its description, what it shows.
    auto refresh = [date, time] {
        const QDateTime now = CurrentDateTime();
        for (const auto &[panel, text] : {std::pair {date, FormatStatusDate(now.date())},
                                          std::pair {time, FormatStatusTime(now.time())}}) {
            panel->setText(text);
            panel->setAccessibleDescription(text);
        }
    };
    auto *timer = new QTimer(statusBar);
    timer->setObjectName(QStringLiteral("sbStatusBarClock"));
    timer->setInterval(1000);
    QObject::connect(timer, &QTimer::timeout, statusBar, refresh);
    timer->start();
    refresh();
}
} // namespace

void frmMain::CreateControls()
{
    // The layout was drawn for this proportional Gothic at 9 pt; its metric twin keeps it fitting.
    setFont(JapaneseFont(QStringLiteral("ＭＳ Ｐゴシック"), 9));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                   | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
                   | Qt::WindowCloseButtonHint);

    Admin = menuBar()->addMenu(QStringLiteral("設定"));
    Admin->setObjectName(QStringLiteral("Admin"));
    ComSetting = Admin->addAction(QStringLiteral("通信"));
    ComSetting->setObjectName(QStringLiteral("ComSetting"));
    CustomData = Admin->addAction(QStringLiteral("応答データ..."));
    CustomData->setObjectName(QStringLiteral("CustomData"));
    ResponseRules = Admin->addAction(QStringLiteral("応答ルール..."));
    ResponseRules->setObjectName(QStringLiteral("ResponseRules"));
    CaptureData = Admin->addAction(QStringLiteral("データ記録"));
    CaptureData->setObjectName(QStringLiteral("CaptureData"));
    CaptureData->setCheckable(true);
    ReceiveLoneByte = Admin->addAction(QStringLiteral("1バイトのデータも受信する"));
    ReceiveLoneByte->setObjectName(QStringLiteral("ReceiveLoneByte"));
    ReceiveLoneByte->setCheckable(true);
    OpenLogFolder = Admin->addAction(QStringLiteral("ログフォルダを開く"));
    OpenLogFolder->setObjectName(QStringLiteral("OpenLogFolder"));
    History = Admin->addAction(QStringLiteral("通信履歴..."));
    History->setObjectName(QStringLiteral("History"));

    auto *client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    setCentralWidget(client);

    const QString nowCaption = QStringLiteral("現在時刻：");
    const QString nowName = QStringLiteral("現在時刻");

    lblRcvData
        = heading(client, "lblRcvData", QStringLiteral("受信データ"), twips(600, 720, 1575, 375));
    shpRecvLed = place(new Lamp(client), "shpRecvLed", QStringLiteral("受信ランプ"),
                       twips(2400, 720, 375, 255));
    lblNowDateTimeForRecv
        = label(client, "lblNowDateTimeForRecv", nowCaption, twips(3000, 600, 975, 375));
    lblNowDateTimeForRecvData
        = stampLabel(client, "lblNowDateTimeForRecvData", twips(3960, 600, 1575, 255), nowName);
    lblLastRecvDateTime = label(client, "lblLastRecvDateTime", QStringLiteral("受信時刻："),
                                twips(3000, 960, 975, 375));
    lblLastRecvDateTimeData = stampLabel(client, "lblLastRecvDateTimeData",
                                         twips(3960, 960, 1575, 255), QStringLiteral("受信時刻"));
    cmdRecvData
        = button(client, "cmdRecvData", QStringLiteral("受信待ち"), twips(6120, 600, 2175, 495));
    fgrdRecvData = place(new HexGrid(client), "fgrdRecvData", QStringLiteral("受信データ"),
                         twips(600, 1320, 8775, 2415));
    // Above the start button, at the grid's right end: the band under the button is too thin
    // to keep a line of text clear of the button and the grid.
    lblRecvShown = shownNote(client, "lblRecvShown", QStringLiteral("受信データの表示範囲"),
                             twips(5640, 60, 3735, 465), Qt::AlignBottom);

    lblSendData
        = heading(client, "lblSendData", QStringLiteral("送信データ"), twips(600, 4080, 1575, 375));
    shpSendLed = place(new Lamp(client), "shpSendLed", QStringLiteral("送信ランプ"),
                       twips(2400, 4080, 375, 255));
    lblNowDateTimeForSend
        = label(client, "lblNowDateTimeForSend", nowCaption, twips(3000, 3960, 975, 375));
    lblNowDateTimeForSendData
        = stampLabel(client, "lblNowDateTimeForSendData", twips(3960, 3960, 1575, 255), nowName);
    lblLastSentDateTime = label(client, "lblLastSentDateTime", QStringLiteral("送信時刻："),
                                twips(3000, 4320, 975, 375));
    lblLastSentDateTimeData = stampLabel(client, "lblLastSentDateTimeData",
                                         twips(3960, 4320, 1575, 255), QStringLiteral("送信時刻"));

    fraResSetting = place(new QGroupBox(QStringLiteral("応答設定"), client), "fraResSetting",
                          QStringLiteral("応答設定"), twips(5520, 3840, 3855, 735));
    optNothing = place(new QRadioButton(QStringLiteral("無応答"), fraResSetting), "optNothing",
                       QStringLiteral("無応答"), twips(120, 240, 855, 375));
    optRcvData = place(new QRadioButton(QStringLiteral("受信データ"), fraResSetting), "optRcvData",
                       QStringLiteral("受信データ"), twips(1200, 240, 1335, 375));
    optCustom = place(new QRadioButton(QStringLiteral("カスタム"), fraResSetting), "optCustom",
                      QStringLiteral("カスタム"), twips(2520, 240, 1215, 375));
    optCustom->setEnabled(false);

    fgrdSendData = place(new HexGrid(client), "fgrdSendData", QStringLiteral("送信データ"),
                         twips(600, 4680, 8775, 2415));
    cmdEnd = button(client, "cmdEnd", QStringLiteral("終了"), twips(3960, 7200, 2175, 615));
    // Under the send grid's right end, right of the exit button.
    lblSendShown = shownNote(client, "lblSendShown", QStringLiteral("送信データの表示範囲"),
                             twips(6240, 7200, 3135, 465), Qt::AlignTop);

    sbStatusBar = new QStatusBar(this);
    sbStatusBar->setObjectName(QStringLiteral("sbStatusBar"));
    sbStatusBar->setSizeGripEnabled(false);
    setStatusBar(sbStatusBar);
    // The connection panels, left of the date and time; the window's refresh keeps them current.
    // They share what the date and time leave, in proportion to "停止中 65535",
    // "接続中 127.0.0.1:65535" and "受信 999,999件 999 GB".
    sbListening = new StatusPanel("sbListening", QStringLiteral("待受"), 72, sbStatusBar);
    sbConnection = new StatusPanel("sbConnection", QStringLiteral("接続"), 128, sbStatusBar);
    sbReceived = new StatusPanel("sbReceived", QStringLiteral("受信件数"), 116, sbStatusBar);
    sbSent = new StatusPanel("sbSent", QStringLiteral("送信件数"), 116, sbStatusBar);
    // While capture is on the status bar says so first: a capture left on fills the disk.
    sbCapture = new QLabel(QStringLiteral("記録中"), sbStatusBar);
    sbCapture->setObjectName(QStringLiteral("sbCapture"));
    sbCapture->setAccessibleName(QStringLiteral("データ記録"));
    sbCapture->setAccessibleDescription(sbCapture->text());
    sbCapture->setToolTip(QStringLiteral("受信データをデータ記録ファイルに記録しています"));
    sbCapture->hide();
    sbStatusBar->addPermanentWidget(sbCapture);
    for (StatusPanel *panel : {sbListening, sbConnection, sbReceived, sbSent})
        sbStatusBar->addPermanentWidget(panel, panel->share());
    addClockPanels(sbStatusBar);
    // Room on the right for the style's panel frame, which is drawn just outside the panel.
    sbStatusBar->setContentsMargins(0, 0, 3, 0);
    // Client area 9975 x 8520 twips. The status bar takes the 255 twips drawn for it, or the
    // height its panels need in this font; the controls above keep their room either way.
    const QSize clientArea = twips(0, 0, 9975, 8520).size();
    const int statusHeight
        = qMax(twips(0, 8265, 9975, 255).height(), sbStatusBar->sizeHint().height());
    sbStatusBar->setFixedHeight(statusHeight);
    client->setFixedSize(clientArea.width(), clientArea.height() - statusHeight);

    tmrNowDateTime = new QTimer(this);
    tmrNowDateTime->setObjectName(QStringLiteral("tmrNowDateTime"));
    tmrNowDateTime->setInterval(500);

    m_session = new ReceiverSession(this);
    m_displayThrottle = new FrameThrottle([this] { RefreshDisplay(); }, this);
    ConnectSession();

    connect(cmdRecvData, &QPushButton::clicked, this, &frmMain::cmdRecvData_Click);
    connect(cmdEnd, &QPushButton::clicked, this, &frmMain::cmdEnd_Click);
    connect(ComSetting, &QAction::triggered, this, &frmMain::ComSetting_Click);
    connect(CustomData, &QAction::triggered, this, &frmMain::CustomData_Click);
    connect(ResponseRules, &QAction::triggered, this, &frmMain::ResponseRules_Click);
    connect(CaptureData, &QAction::triggered, this, &frmMain::CaptureData_Click);
    connect(ReceiveLoneByte, &QAction::triggered, this, &frmMain::ReceiveLoneByte_Click);
    connect(OpenLogFolder, &QAction::triggered, this, &frmMain::OpenLogFolder_Click);
    connect(History, &QAction::triggered, this, &frmMain::History_Click);
    connect(tmrNowDateTime, &QTimer::timeout, this, &frmMain::tmrNowDateTime_Timer);

    setTabOrder(cmdRecvData, optNothing);
    setTabOrder(optNothing, optRcvData);
    setTabOrder(optRcvData, optCustom);
    setTabOrder(optCustom, cmdEnd);
    // The grids last, so the specified order stays as it was; then Ctrl+A and Ctrl+C copy.
    setTabOrder(cmdEnd, fgrdRecvData);
    setTabOrder(fgrdRecvData, fgrdSendData);
    // Tab enters the response options at the checked one; the arrows move within them.
    for (QRadioButton *option : {optNothing, optRcvData, optCustom})
        connect(option, &QRadioButton::toggled, this, [this] { TabToCheckedOption(); });
    TabToCheckedOption();
    cmdRecvData->setFocus();
    // F10 opens the menu, as on other desktops.
    auto *menuKey = new QShortcut(QKeySequence(Qt::Key_F10), this);
    // F10 opens the menu with its first item active, so Return chooses it at once.
    connect(menuKey, &QShortcut::activated, this, [this] {
        menuBar()->setActiveAction(Admin->menuAction());
        Admin->setActiveAction(ComSetting);
    });

    // The window keeps the size of its layout: menu bar, client area and status bar.
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    layout()->activate();
}

void frmMain::TabToCheckedOption()
{
    const QList<QRadioButton *> options {optNothing, optRcvData, optCustom};
    QRadioButton *stop = nullptr;
    for (QRadioButton *option : options) {
        if (option->isChecked() || (!stop && option->isEnabled()))
            stop = option;
        if (option->isChecked())
            break;
    }
    for (QRadioButton *option : options)
        option->setFocusPolicy(option == stop ? Qt::StrongFocus : Qt::ClickFocus);
}
