#include "support/Controls.h"
#include "support/LoopbackPorts.h"
#include "support/SettingsFileText.h"
#include "support/WindowFolder.h"

#include "forms/frmMain.h"
#include "forms/frmTcpRcvComSetting.h"
#include "forms/ui/CenterForm.h"
#include "forms/ui/HexGrid.h"
#include "forms/ui/Lamp.h"
#include "forms/ui/StatusPanel.h"
#include "lib/DisplayTime.h"
#include "lib/HexGridModel.h"
#include "lib/StatusTexts.h"
#include "lib/modSimGeneral.h"
#include "platform/SocketControl.h"

#include <QAccessible>
#include <QClipboard>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScreen>
#include <QScrollBar>
#include <QStatusBar>
#include <QStyleOptionGroupBox>
#include <QTimer>
#include <QtTest>

namespace {
const QString placeholder = QStringLiteral("--/--/-- --:--:--");

QRect fromTwips(int left, int top, int width, int height)
{
    return QRect(left / 15, top / 15, width / 15, height / 15);
}

QString captionOf(const QWidget *control)
{
    if (auto *label = qobject_cast<const QLabel *>(control))
        return label->text();
    if (auto *button = qobject_cast<const QAbstractButton *>(control))
        return button->text();
    if (auto *frame = qobject_cast<const QGroupBox *>(control))
        return frame->title();
    return {};
}

// The control drawn alone on white at the screen's density: what it inks, and where.
QImage drawnAlone(QWidget *control)
{
    const qreal ratio = control->devicePixelRatioF();
    QImage image(control->size() * ratio, QImage::Format_RGB32);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::white);
    control->render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

// The inked part of area (in the control's own pixels), as a rectangle in the window's logical
// pixels; the edges are exact to a device pixel.
QRectF inkOf(QWidget *control, QRect area = {})
{
    const QImage image = drawnAlone(control);
    const qreal ratio = image.devicePixelRatio();
    if (area.isNull())
        area = control->rect();
    const QRect device(area.topLeft() * ratio, area.size() * ratio);
    int left = INT_MAX, top = INT_MAX, right = -1, bottom = -1;
    for (int y = device.top(); y <= device.bottom() && y < image.height(); ++y) {
        for (int x = device.left(); x <= device.right() && x < image.width(); ++x) {
            if (qGray(image.pixel(x, y)) < 200) {
                left = qMin(left, x);
                right = qMax(right, x);
                top = qMin(top, y);
                bottom = qMax(bottom, y);
            }
        }
    }
    if (right < 0)
        return {};
    const QPointF origin = control->mapTo(control->window(), QPoint());
    return QRectF(origin + QPointF(left, top) / ratio,
                  origin + QPointF(right + 1, bottom + 1) / ratio);
}

// The next widget that Tab reaches after from.
QWidget *nextTabStop(QWidget *from)
{
    QWidget *next = from->nextInFocusChain();
    while (next != from && !((next->focusPolicy() & Qt::TabFocus) && next->isEnabled()))
        next = next->nextInFocusChain();
    return next;
}
} // namespace

class tst_FrmMainLayout : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void geometry_data();
    void geometry();
    void windowHasFixedClientArea();
    void nothingTouches();
    void captions_data();
    void captions();
    void initialState();
    void focusAndTabOrder();
    void gridsFitTheirColumns();
    void loadPreparesTheWindow();
    void responseOptionFromSettings_data();
    void responseOptionFromSettings();
    void clockFillsTheCurrentTimeLabels();
    void ctrlLed_data();
    void ctrlLed();
    void ctrlLedWithoutLampLogs();
    void formatDisplayTime_data();
    void formatDisplayTime();
    void formatStatusDate_data();
    void formatStatusDate();
    void centeredClientPosition_data();
    void centeredClientPosition();
    void centerForm_data();
    void centerForm();
    void centerFormOnTheOuterFrame();

private:
    std::unique_ptr<WindowFolder> m_window;
    std::unique_ptr<frmMain> m_form;
};

void tst_FrmMainLayout::init()
{
    m_window = std::make_unique<WindowFolder>();
    QVERIFY(m_window->folder.isValid());
    m_form = std::make_unique<frmMain>();
}

void tst_FrmMainLayout::cleanup()
{
    m_form.reset();
    m_window.reset();
}

void tst_FrmMainLayout::geometry_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("expected");

    QTest::newRow("lblRcvData") << "lblRcvData" << fromTwips(600, 720, 1575, 375);
    QTest::newRow("shpRecvLed") << "shpRecvLed" << fromTwips(2400, 720, 375, 255);
    QTest::newRow("lblNowDateTimeForRecvData")
        << "lblNowDateTimeForRecvData" << fromTwips(3960, 600, 1575, 255);
    QTest::newRow("cmdRecvData") << "cmdRecvData" << fromTwips(6120, 600, 2175, 495);
    QTest::newRow("fgrdRecvData") << "fgrdRecvData" << fromTwips(600, 1320, 8775, 2415);
    QTest::newRow("fraResSetting") << "fraResSetting" << fromTwips(5520, 3840, 3855, 735);
    QTest::newRow("optRcvData, inside its frame")
        << "optRcvData" << fromTwips(1200, 240, 1335, 375);
    QTest::newRow("cmdEnd") << "cmdEnd" << fromTwips(3960, 7200, 2175, 615);
}

void tst_FrmMainLayout::geometry()
{
    QFETCH(QString, name);
    QFETCH(QRect, expected);
    auto *control = m_form->findChild<QWidget *>(name);
    QVERIFY(control);
    QCOMPARE(control->geometry(), expected);
}

void tst_FrmMainLayout::windowHasFixedClientArea()
{
    m_form->Show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
    // 9975 x 8520 twips below the menu bar, the status bar included.
    // Measured with the font the set-up installs, not a fallback.
    QVERIFY2(QFontInfo(m_form->font()).family().startsWith(QLatin1String("IPA")),
             qPrintable(QFontInfo(m_form->font()).family()));
    QWidget *client = m_form->centralWidget();
    QCOMPARE(client->width(), 665);
    // The status panels share the width; they never widen the window.
    QCOMPARE(m_form->width(), 665);
    QCOMPARE(client->height() + Ctl<QStatusBar>(*m_form, "sbStatusBar")->height(), 568);
    QVERIFY(Ctl<QStatusBar>(*m_form, "sbStatusBar")->height() >= 17);
    QCOMPARE(Ctl<QStatusBar>(*m_form, "sbStatusBar")->geometry().top(),
             client->geometry().bottom() + 1);
    QCOMPARE(m_form->height(), m_form->menuBar()->height() + 568);
    QCOMPARE(m_form->minimumSize(), m_form->maximumSize());
    // Nothing is hidden under the status bar.
    for (QWidget *control : client->findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
        QVERIFY2(client->rect().contains(control->geometry()), qPrintable(control->objectName()));
}

void tst_FrmMainLayout::nothingTouches()
{
    // Run at 1x, and by ctest again at 1.5x and 2x (QT_SCALE_FACTOR). Ink is measured from each
    // control drawn alone, in the window's logical pixels.
    m_form->Show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
    auto *clock = Ctl<QLabel>(*m_form, "lblNowDateTimeForSendData");
    clock->setText(QStringLiteral("26/12/07 19:15:09"));
    QCOMPARE(clock->geometry(), fromTwips(3960, 3960, 1575, 255));
    auto *frame = Ctl<QGroupBox>(*m_form, "fraResSetting");
    QStyleOptionGroupBox option;
    option.initFrom(frame);
    option.text = frame->title();
    option.subControls = QStyle::SC_GroupBoxLabel | QStyle::SC_GroupBoxFrame;
    const QRect title = frame->style()->subControlRect(QStyle::CC_GroupBox, &option,
                                                       QStyle::SC_GroupBoxLabel, frame);
    const QRectF clockInk = inkOf(clock);
    const QRectF captionInk = inkOf(frame, title);
    QVERIFY2(captionInk.left() - clockInk.right() >= 4,
             qPrintable(QStringLiteral("%1 px").arg(captionInk.left() - clockInk.right())));

    // The notes, for the longest block a count can name, clear of the buttons and the grids.
    const QString note = QStringLiteral("999,999,999 バイト中 先頭 2,048 バイトを表示");
    auto *recvNote = Ctl<QLabel>(*m_form, "lblRecvShown");
    auto *sendNote = Ctl<QLabel>(*m_form, "lblSendShown");
    recvNote->setText(note);
    sendNote->setText(note);
    const QRectF recvInk = inkOf(recvNote);
    const QRectF sendInk = inkOf(sendNote);
    const QRectF startInk = inkOf(Ctl<QWidget>(*m_form, "cmdRecvData"));
    const QRectF endInk = inkOf(Ctl<QWidget>(*m_form, "cmdEnd"));
    const QRectF sendGrid = inkOf(Ctl<QWidget>(*m_form, "fgrdSendData"));
    const QRectF client = QRectF(m_form->centralWidget()->geometry());
    QVERIFY2(startInk.top() - recvInk.bottom() >= 4,
             qPrintable(QString::number(startInk.top() - recvInk.bottom())));
    QVERIFY2(sendInk.top() - sendGrid.bottom() >= 4,
             qPrintable(QString::number(sendInk.top() - sendGrid.bottom())));
    QVERIFY2(sendInk.left() - endInk.right() >= 4,
             qPrintable(QString::number(sendInk.left() - endInk.right())));
    // Whole: nothing of either note is cut at its edges.
    for (QLabel *shown : {recvNote, sendNote}) {
        QVERIFY(client.contains(QRectF(shown->geometry()).translated(client.topLeft())));
        QVERIFY(shown->heightForWidth(shown->width()) <= shown->height());
        QVERIFY(shown->fontMetrics()
                    .boundingRect(shown->rect(), int(shown->alignment()) | Qt::TextWordWrap, note)
                    .width()
                <= shown->width());
    }

    // The widest counts keep their unit in view.
    for (const char *name : {"sbReceived", "sbSent"}) {
        auto *panel = Ctl<StatusPanel>(*m_form, name);
        const QString widest = StatusTexts::ReceivedShort(999999, 999LL << 30);
        panel->setFullText(StatusTexts::Received(999999, 999LL << 30), widest);
        QCOMPARE(panel->text(), widest);
    }
    for (const auto &[name, widest] :
         {std::pair("sbListening", StatusTexts::Listening(65535, false)),
          std::pair("sbConnection", StatusTexts::Connection(QStringLiteral("127.0.0.1"), 65535))}) {
        auto *panel = Ctl<StatusPanel>(*m_form, name);
        panel->setFullText(widest);
        QCOMPARE(panel->text(), widest);
    }

    // The dialog's colon stays clear of its text box.
    auto *dialog = new frmTcpRcvComSetting;
    auto closeDialog = qScopeGuard([dialog] { delete dialog; });
    dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(dialog));
    const QRectF colonInk = inkOf(Ctl<QLabel>(*dialog, "lblColon"));
    const QRectF box = QRectF(Ctl<QWidget>(*dialog, "txtRcvPort")->geometry());
    QVERIFY2(box.left() - colonInk.right() >= 2,
             qPrintable(QString::number(box.left() - colonInk.right())));
    qInfo("at %gx: clock to caption %g px, note to button %g px, note to grid %g px, note to "
          "button %g px, colon to box %g px",
          clock->devicePixelRatioF(), captionInk.left() - clockInk.right(),
          startInk.top() - recvInk.bottom(), sendInk.top() - sendGrid.bottom(),
          sendInk.left() - endInk.right(), box.left() - colonInk.right());
}

void tst_FrmMainLayout::captions_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");

    QTest::newRow("lblRcvData") << "lblRcvData" << QStringLiteral("受信データ");
    QTest::newRow("lblSendData") << "lblSendData" << QStringLiteral("送信データ");
    QTest::newRow("lblNowDateTimeForRecv")
        << "lblNowDateTimeForRecv" << QStringLiteral("現在時刻：");
    QTest::newRow("lblNowDateTimeForSend")
        << "lblNowDateTimeForSend" << QStringLiteral("現在時刻：");
    QTest::newRow("lblLastRecvDateTime") << "lblLastRecvDateTime" << QStringLiteral("受信時刻：");
    QTest::newRow("lblLastSentDateTime") << "lblLastSentDateTime" << QStringLiteral("送信時刻：");
    for (const char *name : {"lblNowDateTimeForRecvData", "lblLastRecvDateTimeData",
                             "lblNowDateTimeForSendData", "lblLastSentDateTimeData"})
        QTest::newRow(name) << name << placeholder;
    QTest::newRow("cmdRecvData") << "cmdRecvData" << QStringLiteral("受信待ち");
    QTest::newRow("cmdEnd") << "cmdEnd" << QStringLiteral("終了");
    QTest::newRow("fraResSetting") << "fraResSetting" << QStringLiteral("応答設定");
    QTest::newRow("optNothing") << "optNothing" << QStringLiteral("無応答");
    QTest::newRow("optRcvData") << "optRcvData" << QStringLiteral("受信データ");
    QTest::newRow("optCustom") << "optCustom" << QStringLiteral("カスタム");
}

void tst_FrmMainLayout::captions()
{
    QFETCH(QString, name);
    QFETCH(QString, caption);
    auto *control = m_form->findChild<QWidget *>(name);
    QVERIFY(control);
    QCOMPARE(captionOf(control), caption);
    // A screen reader reads the caption as the control's name.
    QCOMPARE(QAccessible::queryAccessibleInterface(control)->text(QAccessible::Name), caption);
}

void tst_FrmMainLayout::initialState()
{
    QCOMPARE(Ctl<QMenu>(*m_form, "Admin")->title(), QStringLiteral("設定"));
    QCOMPARE(Ctl<QAction>(*m_form, "ComSetting")->text(), QStringLiteral("通信"));
    QCOMPARE(Ctl<QAction>(*m_form, "CustomData")->text(), QStringLiteral("応答データ..."));
    QCOMPARE(m_form->menuBar()->actions(),
             QList<QAction *>({Ctl<QMenu>(*m_form, "Admin")->menuAction()}));

    for (QLabel *heading :
         {Ctl<QLabel>(*m_form, "lblRcvData"), Ctl<QLabel>(*m_form, "lblSendData")}) {
        QCOMPARE(heading->font().pointSizeF(), 15.75);
        QVERIFY(heading->font().bold());
        QCOMPARE(heading->palette().color(QPalette::WindowText), QColor(Qt::black));
    }
    for (QRadioButton *option :
         {Ctl<QRadioButton>(*m_form, "optNothing"), Ctl<QRadioButton>(*m_form, "optRcvData"),
          Ctl<QRadioButton>(*m_form, "optCustom")})
        QVERIFY(!option->isChecked());
    QVERIFY(!Ctl<QRadioButton>(*m_form, "optCustom")->isEnabled());

    QCOMPARE(Ctl<QTimer>(*m_form, "tmrNowDateTime")->interval(), 500);
    QVERIFY(!Ctl<QTimer>(*m_form, "tmrNowDateTime")->isActive());
    QCOMPARE(SocketCount(*m_form), std::size_t(1));
    QCOMPARE(Socket(*m_form, 0)->state(), int(SocketControl::sckClosed));

    for (HexGrid *grid :
         {Ctl<HexGrid>(*m_form, "fgrdRecvData"), Ctl<HexGrid>(*m_form, "fgrdSendData")}) {
        QCOMPARE(grid->hexModel().lineCount(), 1);
        QCOMPARE(grid->editTriggers(), QAbstractItemView::NoEditTriggers);
        QCOMPARE(grid->font().pointSizeF(), 9.0);
        // Monospaced: narrow and wide letters take the same room.
        QCOMPARE(grid->fontMetrics().horizontalAdvance(QStringLiteral("iiii")),
                 grid->fontMetrics().horizontalAdvance(QStringLiteral("MMMM")));
        QCOMPARE(grid->horizontalHeader()->font(), grid->font());
    }
}

void tst_FrmMainLayout::focusAndTabOrder()
{
    auto *start = Ctl<QPushButton>(*m_form, "cmdRecvData");
    auto *nothing = Ctl<QRadioButton>(*m_form, "optNothing");
    auto *echo = Ctl<QRadioButton>(*m_form, "optRcvData");
    auto *end = Ctl<QPushButton>(*m_form, "cmdEnd");
    auto *received = Ctl<HexGrid>(*m_form, "fgrdRecvData");
    auto *sent = Ctl<HexGrid>(*m_form, "fgrdSendData");
    QCOMPARE(m_form->focusWidget(), start);
    // With no option checked Tab enters the options at the first, then goes on to the exit
    // button and the two grids.
    QCOMPARE(nextTabStop(start), nothing);
    QCOMPARE(nextTabStop(nothing), end);
    QCOMPARE(nextTabStop(end), received);
    QCOMPARE(nextTabStop(received), sent);
    QCOMPARE(nextTabStop(sent), start);

    // Through real keys: Tab lands on the checked option, an arrow moves to (and checks) the next.
    m_form->Show();
    QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
    echo->setChecked(true);
    start->setFocus();
    // The focus shows before any key is pressed.
    QStyleOption focusShown;
    focusShown.initFrom(start);
    QVERIFY(focusShown.state & QStyle::State_HasFocus);
    QVERIFY(focusShown.state & QStyle::State_KeyboardFocusChange);
    QTest::keyClick(start, Qt::Key_Tab);
    QCOMPARE(m_form->focusWidget(), echo);
    QTest::keyClick(echo, Qt::Key_Left);
    QCOMPARE(m_form->focusWidget(), nothing);
    QVERIFY(nothing->isChecked());
    QTest::keyClick(nothing, Qt::Key_Tab);
    QCOMPARE(m_form->focusWidget(), end);

    // In a grid, Ctrl+A and Ctrl+C copy the block without a mouse.
    SetGridFromByteArray(received->hexModel(), QByteArray("\x01\xAB"));
    QTest::keyClick(end, Qt::Key_Tab);
    QCOMPARE(m_form->focusWidget(), received);
    QTest::keyClick(received, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(received, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("01 AB"));

    // Return, and the keypad's Enter, press the focused button (a port that can listen).
    m_window->folder.writeSettings(SettingsFileText(FreeLoopbackPort()));
    m_form->ReadSetting(m_window->folder.settingsFile());
    start->setFocus();
    QTest::keyClick(start, Qt::Key_Return);
    QCOMPARE(start->text(), QStringLiteral("受信停止"));
    QTest::keyClick(start, Qt::Key_Enter, Qt::KeypadModifier);
    QCOMPARE(start->text(), QStringLiteral("受信待ち"));

    // F10 opens the menu with its first item active.
    QTest::keyClick(start, Qt::Key_F10);
    QTRY_VERIFY(Ctl<QMenu>(*m_form, "Admin")->isVisible());
    QCOMPARE(m_form->menuBar()->activeAction(), Ctl<QMenu>(*m_form, "Admin")->menuAction());
    QCOMPARE(Ctl<QMenu>(*m_form, "Admin")->activeAction(), Ctl<QAction>(*m_form, "ComSetting"));
    Ctl<QMenu>(*m_form, "Admin")->close();
}

void tst_FrmMainLayout::gridsFitTheirColumns()
{
    m_form->Show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
    SetGridFromByteArray(Ctl<HexGrid>(*m_form, "fgrdRecvData")->hexModel(),
                         QByteArray(2048, char(0xFF)));
    for (HexGrid *grid :
         {Ctl<HexGrid>(*m_form, "fgrdRecvData"), Ctl<HexGrid>(*m_form, "fgrdSendData")}) {
        // All 16 columns side by side, none narrower than "FF".
        QVERIFY(grid->horizontalHeader()->length() <= grid->viewport()->width());
        const int widthOfFF = grid->fontMetrics().horizontalAdvance(QStringLiteral("FF"));
        for (int column = 0; column < 16; ++column)
            QVERIFY(grid->columnWidth(column) > widthOfFF);
        QVERIFY(grid->verticalHeader()->width()
                > grid->fontMetrics().horizontalAdvance(QStringLiteral("0000")));
        QVERIFY(grid->rowHeight(0) >= grid->fontMetrics().height());
    }
    // Scrolling the data leaves both headers in place.
    HexGrid *grid = Ctl<HexGrid>(*m_form, "fgrdRecvData");
    grid->scrollToBottom();
    const int scrolled = grid->verticalScrollBar()->value();
    QVERIFY(scrolled > 0);
    QCOMPARE(grid->horizontalHeader()->geometry().top(), grid->contentsRect().top());
    // The next block of the same length keeps the user where they were.
    SetGridFromByteArray(grid->hexModel(), QByteArray(2048, char(0x11)));
    QCOMPARE(grid->verticalScrollBar()->value(), scrolled);
}

void tst_FrmMainLayout::loadPreparesTheWindow()
{
    // Lamps lit beforehand must be off after the load.
    Ctl<Lamp>(*m_form, "shpRecvLed")->setFillColor(65280);
    Ctl<Lamp>(*m_form, "shpSendLed")->setFillColor(255);
    QVERIFY(!Ctl<HexGrid>(*m_form, "fgrdRecvData")->hexModel().headersPrepared());

    m_form->Show();

    QCOMPARE(m_form->windowTitle(), QStringLiteral("Parvel"));
    QCOMPARE(Ctl<Lamp>(*m_form, "shpRecvLed")->fillColor(), 0u);
    QCOMPARE(Ctl<Lamp>(*m_form, "shpSendLed")->fillColor(), 0u);
    QVERIFY(Ctl<QTimer>(*m_form, "tmrNowDateTime")->isActive());
    for (HexGrid *grid :
         {Ctl<HexGrid>(*m_form, "fgrdRecvData"), Ctl<HexGrid>(*m_form, "fgrdSendData")}) {
        QVERIFY(grid->hexModel().headersPrepared());
        QCOMPARE(grid->model()->headerData(15, Qt::Horizontal).toString(), QStringLiteral("0F"));
        QCOMPARE(grid->model()->headerData(0, Qt::Vertical).toString(), QStringLiteral("0000"));
    }
    QCOMPARE(Ctl<QLabel>(*m_form, "lblLastRecvDateTimeData")->text(), placeholder);
    QCOMPARE(Ctl<QLabel>(*m_form, "lblLastSentDateTimeData")->text(), placeholder);
    QCOMPARE(Socket(*m_form, 0)->state(), int(SocketControl::sckClosed));
    QCOMPARE(m_window->folder.logMessages(), QStringList());
}

void tst_FrmMainLayout::responseOptionFromSettings_data()
{
    QTest::addColumn<QString>("resSetting");
    QTest::addColumn<QString>("customData");
    QTest::addColumn<bool>("nothing");
    QTest::addColumn<bool>("rcvData");
    QTest::addColumn<bool>("custom");

    QTest::newRow("0: no response") << "0" << QString() << true << false << false;
    QTest::newRow("1: echo") << "1" << QString() << false << true << false;
    QTest::newRow("2: none selected") << "2" << QString() << false << false << false;
    QTest::newRow("-1: none selected") << "-1" << QString() << false << false << false;
    QTest::newRow("2 with a reply: custom") << "2"
                                            << "06" << false << false << true;
    QTest::newRow("1 with a reply: echo") << "1"
                                          << "06" << false << true << false;
    QTest::newRow("2 with a bad reply: none selected") << "2"
                                                       << "0G" << false << false << false;
}

void tst_FrmMainLayout::responseOptionFromSettings()
{
    QFETCH(QString, resSetting);
    QFETCH(QString, customData);
    QFETCH(bool, nothing);
    QFETCH(bool, rcvData);
    QFETCH(bool, custom);

    m_window->folder.writeSettings(QStringLiteral("[Port]\r\nTcpPort=50000\r\n[Maintenance]\r\n"
                                                  "ResSetting=%1\r\nCustomData=%2\r\n")
                                       .arg(resSetting, customData)
                                       .toUtf8());
    m_form->ReadSetting(m_window->folder.settingsFile());
    QCOMPARE(m_form->ResSetting(), qint16(resSetting.toInt()));
    m_form->Show();

    QCOMPARE(Ctl<QRadioButton>(*m_form, "optNothing")->isChecked(), nothing);
    QCOMPARE(Ctl<QRadioButton>(*m_form, "optRcvData")->isChecked(), rcvData);
    QCOMPARE(Ctl<QRadioButton>(*m_form, "optCustom")->isChecked(), custom);
    // The custom option can be chosen exactly when a valid reply is set.
    QCOMPARE(Ctl<QRadioButton>(*m_form, "optCustom")->isEnabled(), customData == "06");
}

void tst_FrmMainLayout::clockFillsTheCurrentTimeLabels()
{
    QSignalSpy ticks(Ctl<QTimer>(*m_form, "tmrNowDateTime"), &QTimer::timeout);
    m_form->Show();
    // The first tick comes half a second after the load.
    QCOMPARE(Ctl<QLabel>(*m_form, "lblNowDateTimeForRecvData")->text(), placeholder);
    QVERIFY(ticks.wait(2000));

    const QRegularExpression stamp(QStringLiteral("^\\d\\d/\\d\\d/\\d\\d \\d\\d:\\d\\d:\\d\\d$"));
    for (QLabel *label : {Ctl<QLabel>(*m_form, "lblNowDateTimeForRecvData"),
                          Ctl<QLabel>(*m_form, "lblNowDateTimeForSendData")})
        QVERIFY2(stamp.match(label->text()).hasMatch(), qPrintable(label->text()));
    QCOMPARE(Ctl<QLabel>(*m_form, "lblLastRecvDateTimeData")->text(), placeholder);
    QCOMPARE(Ctl<QLabel>(*m_form, "lblLastSentDateTimeData")->text(), placeholder);
}

void tst_FrmMainLayout::ctrlLed_data()
{
    QTest::addColumn<int>("state");
    QTest::addColumn<quint32>("expected");

    constexpr quint32 before = 0x123456;
    QTest::newRow("0 off") << 0 << 0u;
    QTest::newRow("1 green") << 1 << 65280u;
    QTest::newRow("2 red") << 2 << 255u;
    QTest::newRow("3 unchanged") << 3 << before;
    QTest::newRow("-1 unchanged") << -1 << before;
}

void tst_FrmMainLayout::ctrlLed()
{
    QFETCH(int, state);
    QFETCH(quint32, expected);

    Lamp lamp;
    lamp.setFillColor(0x123456);
    CtrlLed(lamp, qint16(state));
    QCOMPARE(lamp.fillColor(), expected);
    QCOMPARE(m_window->folder.logMessages(), QStringList());
}

void tst_FrmMainLayout::ctrlLedWithoutLampLogs()
{
    QObject notALamp;
    CtrlLed(notALamp, 1);
    const QStringList messages = m_window->folder.logMessages();
    QCOMPARE(messages.size(), 1);
    QVERIFY2(messages[0].endsWith(QStringLiteral("(CtrlLed)")), qPrintable(messages[0]));
    QVERIFY(messages[0].size() > int(qstrlen("(CtrlLed)")));
    QVERIFY(notALamp.dynamicPropertyNames().isEmpty());
}

void tst_FrmMainLayout::formatDisplayTime_data()
{
    QTest::addColumn<QDateTime>("time");
    QTest::addColumn<QString>("expected");

    QTest::newRow("afternoon") << QDateTime(QDate(2013, 3, 31), QTime(11, 56, 4))
                               << QStringLiteral("13/03/31 11:56:04");
    QTest::newRow("leading zeros")
        << QDateTime(QDate(2009, 1, 2), QTime(9, 5, 7)) << QStringLiteral("09/01/02 09:05:07");
    QTest::newRow("24-hour clock") << QDateTime(QDate(2000, 12, 31), QTime(23, 59, 59, 999))
                                   << QStringLiteral("00/12/31 23:59:59");
}

void tst_FrmMainLayout::formatDisplayTime()
{
    QFETCH(QDateTime, time);
    QFETCH(QString, expected);
    QCOMPARE(FormatDisplayTime(time), expected);
}

void tst_FrmMainLayout::formatStatusDate_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QString>("expected");

    QTest::newRow("Japanese") << QLocale(QLocale::Japanese, QLocale::Japan)
                              << QStringLiteral("2026/12/07");
    QTest::newRow("two-digit year widened")
        << QLocale(QLocale::English, QLocale::UnitedStates) << QStringLiteral("12/7/2026");
}

void tst_FrmMainLayout::formatStatusDate()
{
    QFETCH(QLocale, locale);
    QFETCH(QString, expected);
    QCOMPARE(FormatStatusDate(QDate(2026, 12, 7), locale), expected);
    QCOMPARE(FormatStatusTime(QTime(9, 5, 59)), QStringLiteral("09:05"));
}

void tst_FrmMainLayout::centeredClientPosition_data()
{
    QTest::addColumn<QRect>("screen");
    QTest::addColumn<QSize>("client");
    QTest::addColumn<QMargins>("frame");
    QTest::addColumn<QPoint>("expected");

    const QRect screen(0, 0, 1280, 1024);
    QTest::newRow("no frame, odd margin drops the remainder")
        << screen << QSize(1179, 983) << QMargins() << QPoint(50, 20);
    // The outer frame 667x621 is centred at (306, 201); its client sits inside the borders.
    QTest::newRow("title bar and borders")
        << screen << QSize(665, 600) << QMargins(1, 20, 1, 1) << QPoint(307, 221);
    QTest::newRow("larger than the screen")
        << screen << QSize(1379, 1044) << QMargins(1, 20, 1, 1) << QPoint(-49, 0);
    QTest::newRow("second screen") << QRect(1280, -100, 800, 600) << QSize(198, 179)
                                   << QMargins(1, 20, 1, 1) << QPoint(1280 + 301, -100 + 220);
}

void tst_FrmMainLayout::centeredClientPosition()
{
    QFETCH(QRect, screen);
    QFETCH(QSize, client);
    QFETCH(QMargins, frame);
    QFETCH(QPoint, expected);
    QCOMPARE(CenteredClientPosition(screen, client, frame), expected);
}

void tst_FrmMainLayout::centerForm_data()
{
    QTest::addColumn<int>("widthMargin");
    QTest::addColumn<int>("heightMargin");
    QTest::addColumn<QPoint>("expected");

    // Margins in pixels; the halves are taken in twips and truncated toward zero.
    QTest::newRow("odd margin drops the remainder") << 101 << 41 << QPoint(50, 20);
    QTest::newRow("larger than the screen") << -101 << -40 << QPoint(-50, -20);
}

void tst_FrmMainLayout::centerForm()
{
    QFETCH(int, widthMargin);
    QFETCH(int, heightMargin);
    QFETCH(QPoint, expected);

    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    QWidget window;
    window.setFixedSize(screen.width() - widthMargin, screen.height() - heightMargin);
    CenterForm(window);
    QCOMPARE(window.pos(), screen.topLeft() + expected);
}

void tst_FrmMainLayout::centerFormOnTheOuterFrame()
{
    // Centred before the frame is known, the window is centred again once shown in one.
    QWidget window;
    window.setFixedSize(301, 201);
    CenterForm(window);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QRect screen = window.screen()->geometry();
    const QSize outer = window.frameGeometry().size();
    QVERIFY2(outer != window.size(), "the platform reports no frame");
    QTRY_COMPARE(
        window.frameGeometry().topLeft(),
        screen.topLeft()
            + QPoint((screen.width() - outer.width()) / 2, (screen.height() - outer.height()) / 2));
}

QTEST_MAIN(tst_FrmMainLayout)
#include "tst_frmmain_layout.moc"
