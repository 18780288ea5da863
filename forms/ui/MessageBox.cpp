#include "forms/ui/MessageBox.h"

#include <QGridLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

namespace {
MessageBoxFunction &currentFunction()
{
    static MessageBoxFunction function = ShowQtMessageBox;
    return function;
}

QMessageBox::Icon iconOf(int style)
{
    switch (style & 0x70) {
    case MsgBoxStyle::Critical:
        return QMessageBox::Critical;
    case MsgBoxStyle::Question:
        return QMessageBox::Question;
    case MsgBoxStyle::Exclamation:
        return QMessageBox::Warning;
    case MsgBoxStyle::Information:
        return QMessageBox::Information;
    default:
        return QMessageBox::NoIcon;
    }
}
} // namespace

int MsgBox(const QString &text, int style, const QString &caption)
{
    return currentFunction()(text, style, caption);
}

MessageBoxFunction SetMessageBoxFunction(MessageBoxFunction function)
{
    MessageBoxFunction previous = std::move(currentFunction());
    currentFunction() = std::move(function);
    return previous;
}

int ShowQtMessageBox(const QString &text, int style, const QString &caption)
{
    // A last line that is a path goes into a read-only line of its own, which Tab reaches and
    // Ctrl+C copies from whole.
    const qsizetype lastBreak = text.lastIndexOf(QLatin1Char('\n'));
    const QString lastLine = text.mid(lastBreak + 1);
    const bool path = lastBreak > 0 && lastLine.startsWith(QLatin1Char('/'));
    QString body = path ? text.left(lastBreak) : text;
    if (path && body.endsWith(QLatin1Char('\r')))
        body.chop(1);
    QMessageBox box(iconOf(style), caption.isEmpty() ? QStringLiteral("Parvel") : caption, body);
    // The text can be copied: a path or an error to pass on.
    box.setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    if (path) {
        auto *line = new QLineEdit(lastLine, &box);
        line->setObjectName(QStringLiteral("txtPath"));
        line->setAccessibleName(QStringLiteral("パス"));
        line->setReadOnly(true);
        line->setMinimumWidth(line->fontMetrics().horizontalAdvance(lastLine) + 16);
        // Below the text, beside the icon, above the buttons.
        if (auto *grid = qobject_cast<QGridLayout *>(box.layout()))
            grid->addWidget(line, 1, 1);
    }
    QPushButton *ok = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    QPushButton *cancel = nullptr;
    if ((style & 0x0F) == MsgBoxStyle::OkCancel)
        cancel = box.addButton(QStringLiteral("キャンセル"), QMessageBox::RejectRole);
    box.setDefaultButton((style & MsgBoxStyle::DefaultButton2) && cancel ? cancel : ok);
    box.setEscapeButton(cancel ? cancel : ok);
    box.exec();
    return cancel && box.clickedButton() == cancel ? MsgBoxResult::Cancel : MsgBoxResult::Ok;
}
