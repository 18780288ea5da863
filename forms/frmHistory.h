#pragma once

#include <QWidget>
#include <functional>

class ExchangeFilterModel;
class ExchangeHistory;
class ExchangeHistoryModel;
class HexDumpModel;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;

// 通信履歴: the exchanges since 受信待ち, newest last, with the selected block whole below as a
// hexdump. Not modal: it stays open beside the main window while traffic flows, and catches up
// when the main window's display pass calls catchUp(). Closing only hides it; it keeps its size,
// also for the next run (the settings file's [Maintenance] HistoryWindowSize).
class frmHistory : public QWidget
{
    Q_OBJECT

public:
    // Asks where to save ("" when cancelled); tests replace it.
    using SavePathFunction = std::function<QString(QWidget *parent)>;

    frmHistory(const ExchangeHistory &history, const QString &iniFile, QWidget *parent);
    ~frmHistory() override;

    void catchUp();
    // Shows the window, at its remembered size the first time.
    void open();

    // The selected rows in the capture file's layout, events as lines of their own.
    QByteArray selectedText() const;
    void copySelected();
    // Saves every block of the history; false, with a box, when the file could not be written.
    bool saveTo(const QString &path);
    static SavePathFunction setSavePathFunction(SavePathFunction function);

protected:
    void hideEvent(QHideEvent *event) override;

private:
    void showSelected();
    void save();
    void filterChanged();

    const ExchangeHistory &m_history;
    QString m_iniFile;
    bool m_sized = false;
    ExchangeHistoryModel *m_model = nullptr;
    ExchangeFilterModel *m_filtered = nullptr;
    HexDumpModel *m_dump = nullptr;

    QLineEdit *txtFilter = nullptr;
    QComboBox *cboDirection = nullptr;
    QPushButton *cmdCopy = nullptr;
    QPushButton *cmdSave = nullptr;
    QTableView *tblHistory = nullptr;
    QLabel *lblDetail = nullptr;
    QTableView *tblDetail = nullptr;
    QLabel *lblRows = nullptr;
};
