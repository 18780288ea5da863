#pragma once

#include "forms/ui/MessageBox.h"

#include <QList>
#include <QStringList>

// Stands in for the message-box function while it lives: records every box and answers from a
// queue, then with OK.
class MessageBoxRecorder
{
public:
    struct Box
    {
        QString text;
        int style;
        QString caption;
    };

    MessageBoxRecorder();
    ~MessageBoxRecorder();
    MessageBoxRecorder(const MessageBoxRecorder &) = delete;
    MessageBoxRecorder &operator=(const MessageBoxRecorder &) = delete;

    QStringList texts() const;

    QList<Box> boxes;
    QList<int> answers;

private:
    MessageBoxFunction m_previous;
};
