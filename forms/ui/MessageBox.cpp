#include "forms/ui/MessageBox.h"

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
    QMessageBox box(iconOf(style), caption.isEmpty() ? QStringLiteral("Parvel") : caption, text);
    // The text can be copied: a path or an error to pass on.
    box.setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    QPushButton *ok = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    QPushButton *cancel = nullptr;
    if ((style & 0x0F) == MsgBoxStyle::OkCancel)
        cancel = box.addButton(QStringLiteral("キャンセル"), QMessageBox::RejectRole);
    box.setDefaultButton((style & MsgBoxStyle::DefaultButton2) && cancel ? cancel : ok);
    box.setEscapeButton(cancel ? cancel : ok);
    box.exec();
    return cancel && box.clickedButton() == cancel ? MsgBoxResult::Cancel : MsgBoxResult::Ok;
}
