#include "support/Controls.h"
#include "support/SettingsFileText.h"
#include "support/WindowFolder.h"

#include "forms/frmHistory.h"
#include "forms/frmMain.h"
#include "forms/frmTcpRcvComSetting.h"
#include "forms/frmTcpRcvCustomData.h"
#include "forms/frmTcpRcvRules.h"
#include "forms/ui/HexGrid.h"
#include "forms/ui/Lamp.h"
#include "forms/ui/QtTranslation.h"
#include "lib/ExchangeHistory.h"
#include "lib/HexGridModel.h"
#include "lib/modSimGeneral.h"

#include <QAccessible>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QTableWidget>
#include <QtTest>

namespace {
// What a screen reader or a UI automation tool reads as the widget's name.
QString accessibleNameOf(QObject *object)
{
    QAccessibleInterface *face = QAccessible::queryAccessibleInterface(object);
    return face ? face->text(QAccessible::Name) : QString();
}

// The widgets a user sees and works with; containers, scroll bars and the parts Qt builds into
// its own widgets (a grid's corner button, the menu bar's overflow button) are not among them.
bool isControl(QWidget *widget)
{
    for (QWidget *part = widget->parentWidget(); part; part = part->parentWidget()) {
        if (qobject_cast<QAbstractItemView *>(part) || qobject_cast<QLineEdit *>(part))
            return false;
    }
    if (widget->objectName().startsWith(QLatin1String("qt_")))
        return false;
    // Text that only decorates is left out on purpose.
    QAccessibleInterface *face = QAccessible::queryAccessibleInterface(widget);
    if (face && face->state().invisible && !widget->isHidden())
        return false;
    return qobject_cast<QLabel *>(widget) || qobject_cast<QAbstractButton *>(widget)
        || qobject_cast<QLineEdit *>(widget) || qobject_cast<QPlainTextEdit *>(widget)
        || qobject_cast<QGroupBox *>(widget) || qobject_cast<HexGrid *>(widget)
        || qobject_cast<Lamp *>(widget) || qobject_cast<QComboBox *>(widget)
        || qobject_cast<QTableView *>(widget);
}

QStringList controlsWithoutName(QWidget *window)
{
    QStringList missing;
    for (QWidget *widget : window->findChildren<QWidget *>()) {
        if (isControl(widget) && accessibleNameOf(widget).isEmpty())
            missing.append(widget->objectName() + QLatin1Char(' ')
                           + QLatin1String(widget->metaObject()->className()));
    }
    return missing;
}
} // namespace

class tst_Accessibility : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void controls_data();
    void controls();
    void noNamelessControl();
    void menuItemsAreNamed();
    void gridCellsReadTheirBytes();
    void portBoxIsLabelledByItsCaption();
    void statesAreHeard_data();
    void statesAreHeard();
    void standardTextsAreJapanese();

private:
    std::unique_ptr<WindowFolder> m_window;
};

void tst_Accessibility::init()
{
    m_window = std::make_unique<WindowFolder>();
    QVERIFY(m_window->folder.isValid());
    m_window->folder.writeSettings(SettingsFileText(5000));
}

void tst_Accessibility::cleanup()
{
    m_window.reset();
}

void tst_Accessibility::controls_data()
{
    QTest::addColumn<bool>("inDialog");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("accessibleName");

    // Main window controls without a caption of their own; captioned ones read their caption
    // (layout test).
    QTest::newRow("window") << false << QString() << QStringLiteral("Parvel");
    QTest::newRow("shpRecvLed") << false << "shpRecvLed" << QStringLiteral("受信ランプ");
    QTest::newRow("fgrdRecvData") << false << "fgrdRecvData" << QStringLiteral("受信データ");
    QTest::newRow("shpSendLed") << false << "shpSendLed" << QStringLiteral("送信ランプ");
    QTest::newRow("fgrdSendData") << false << "fgrdSendData" << QStringLiteral("送信データ");
    // Every dialog control.
    QTest::newRow("dialog") << true << QString() << QStringLiteral("通信設定");
    QTest::newRow("lblRcvPort") << true << "lblRcvPort" << QStringLiteral("受信ポート");
    // The colon only decorates: screen readers skip it.
    QTest::newRow("lblColon") << true << "lblColon" << QString();
    QTest::newRow("txtRcvPort") << true << "txtRcvPort" << QStringLiteral("受信ポート");
    QTest::newRow("cmdApply") << true << "cmdApply" << QStringLiteral("設定");
    QTest::newRow("cmdCancel") << true << "cmdCancel" << QStringLiteral("キャンセル");
}

void tst_Accessibility::controls()
{
    QFETCH(bool, inDialog);
    QFETCH(QString, name);
    QFETCH(QString, accessibleName);
    QWidget *window = nullptr;
    if (inDialog) {
        ComSettingForm().Load();
        window = &ComSettingForm();
    } else {
        MainForm().Show();
        window = &MainForm();
    }
    QWidget *control = name.isEmpty() ? window : window->findChild<QWidget *>(name);
    QVERIFY(control);
    QCOMPARE(accessibleNameOf(control), accessibleName);
}

void tst_Accessibility::noNamelessControl()
{
    MainForm().Show();
    ComSettingForm().Load();
    frmTcpRcvCustomData replyDialog({}, {});
    frmTcpRcvRules rulesDialog({{true, RuleKind::Starts, "02", "06"}}, {});
    ExchangeHistory history;
    frmHistory historyWindow(history, {}, nullptr);
    historyWindow.show();
    for (QWidget *window :
         {static_cast<QWidget *>(&MainForm()), static_cast<QWidget *>(&ComSettingForm()),
          static_cast<QWidget *>(&replyDialog), static_cast<QWidget *>(&rulesDialog),
          static_cast<QWidget *>(&historyWindow)}) {
        const QStringList missing = controlsWithoutName(window);
        QVERIFY2(missing.isEmpty(), qPrintable(missing.join(QLatin1String(", "))));
    }
}

void tst_Accessibility::menuItemsAreNamed()
{
    frmMain &form = MainForm();
    form.Show();
    QAccessibleInterface *bar = QAccessible::queryAccessibleInterface(form.menuBar());
    QVERIFY(bar);
    QCOMPARE(bar->childCount(), 1);
    QCOMPARE(bar->child(0)->text(QAccessible::Name), QStringLiteral("設定"));
    QAccessibleInterface *menu = QAccessible::queryAccessibleInterface(Ctl<QMenu>(form, "Admin"));
    QVERIFY(menu);
    const QStringList items {QStringLiteral("通信"),
                             QStringLiteral("応答データ..."),
                             QStringLiteral("応答ルール..."),
                             QStringLiteral("データ記録"),
                             QStringLiteral("1バイトのデータも受信する"),
                             QStringLiteral("ログフォルダを開く"),
                             QStringLiteral("通信履歴...")};
    QCOMPARE(menu->childCount(), items.size());
    for (int item = 0; item < items.size(); ++item)
        QCOMPARE(menu->child(item)->text(QAccessible::Name), items.at(item));
}

void tst_Accessibility::gridCellsReadTheirBytes()
{
    frmMain &form = MainForm();
    form.Show();
    Ctl<HexGrid>(form, "fgrdRecvData")->hexModel().setBytes("\x10\xAB");
    QAccessibleInterface *grid
        = QAccessible::queryAccessibleInterface(Ctl<HexGrid>(form, "fgrdRecvData"));
    QVERIFY(grid && grid->tableInterface());
    QAccessibleTableInterface *table = grid->tableInterface();
    QCOMPARE(table->columnCount(), 16);
    QCOMPARE(table->cellAt(0, 1)->text(QAccessible::Name), QStringLiteral("AB"));
    QCOMPARE(table->columnDescription(15), QStringLiteral("0F"));
}

void tst_Accessibility::portBoxIsLabelledByItsCaption()
{
    frmTcpRcvComSetting &dialog = ComSettingForm();
    QAccessibleInterface *box
        = QAccessible::queryAccessibleInterface(Ctl<QLineEdit>(dialog, "txtRcvPort"));
    QVERIFY(box);
    const auto labels = box->relations(QAccessible::Label);
    QCOMPARE(labels.size(), 1);
    QCOMPARE(labels.first().first->object(), Ctl<QLabel>(dialog, "lblRcvPort"));
}

void tst_Accessibility::statesAreHeard_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("lamp"); // -1: not a lamp
    QTest::addColumn<QString>("description");
    QTest::newRow("receive lamp off") << "shpRecvLed" << -1 << QStringLiteral("消灯");
    QTest::newRow("receive lamp lit") << "shpRecvLed" << 1 << QStringLiteral("点灯");
    QTest::newRow("send lamp lit") << "shpSendLed" << 1 << QStringLiteral("点灯");
    QTest::newRow("send lamp off again") << "shpSendLed" << 0 << QStringLiteral("消灯");
    QTest::newRow("date panel") << "sbStatusBarDate" << -1 << QString();
    QTest::newRow("time panel") << "sbStatusBarTime" << -1 << QString();
}

void tst_Accessibility::statesAreHeard()
{
    QFETCH(QString, name);
    QFETCH(int, lamp);
    QFETCH(QString, description);
    frmMain &form = MainForm();
    form.Show();
    auto *control = form.findChild<QWidget *>(name);
    QVERIFY(control);
    if (lamp == 0) {
        CtrlLed(*qobject_cast<Lamp *>(control), 1);
        CtrlLed(*qobject_cast<Lamp *>(control), 0);
    } else if (lamp > 0) {
        CtrlLed(*qobject_cast<Lamp *>(control), qint16(lamp));
    }
    // A panel's description is what it shows.
    if (description.isEmpty())
        description = qobject_cast<QLabel *>(control)->text();
    QVERIFY(!description.isEmpty());
    QCOMPARE(QAccessible::queryAccessibleInterface(control)->text(QAccessible::Description),
             description);
}

void tst_Accessibility::standardTextsAreJapanese()
{
    QVERIFY(LoadQtTranslation());
    // A text box's own context menu.
    QCOMPARE(QCoreApplication::translate("QLineEdit", "&Undo"), QStringLiteral("元に戻す(&U)"));
    // The colon is hidden; the disabled カスタム says where a reply is set; the reply box shows
    // an example.
    frmMain &form = MainForm();
    form.Show();
    auto *custom = Ctl<QRadioButton>(form, "optCustom");
    QVERIFY(!custom->isEnabled());
    QVERIFY(custom->toolTip().contains(QStringLiteral("応答データ...")));
    frmTcpRcvCustomData replyDialog({}, {});
    QVERIFY(Ctl<QPlainTextEdit>(replyDialog, "txtCustomData")
                ->placeholderText()
                .startsWith(QStringLiteral("例：")));
    ComSettingForm().Load();
    QVERIFY(QAccessible::queryAccessibleInterface(Ctl<QLabel>(ComSettingForm(), "lblColon"))
                ->state()
                .invisible);
}

QTEST_MAIN(tst_Accessibility)
#include "tst_accessibility.moc"
