#include "MessageBoxRecorder.h"

MessageBoxRecorder::MessageBoxRecorder()
{
    m_previous
        = SetMessageBoxFunction([this](const QString &text, int style, const QString &caption) {
              boxes.append({text, style, caption});
              return answers.isEmpty() ? MsgBoxResult::Ok : answers.takeFirst();
          });
}

MessageBoxRecorder::~MessageBoxRecorder()
{
    SetMessageBoxFunction(std::move(m_previous));
}

QStringList MessageBoxRecorder::texts() const
{
    QStringList result;
    for (const Box &box : boxes)
        result.append(box.text);
    return result;
}
