#pragma once

#include <QString>
#include <functional>

// Style words of a message box: one button set, plus one icon, plus a default-button choice.
namespace MsgBoxStyle {
constexpr int OkOnly = 0;
constexpr int OkCancel = 1;
constexpr int Critical = 16;
constexpr int Question = 32;
constexpr int Exclamation = 48;
constexpr int Information = 64;
constexpr int DefaultButton2 = 256;
} // namespace MsgBoxStyle

namespace MsgBoxResult {
constexpr int Ok = 1;
constexpr int Cancel = 2;
} // namespace MsgBoxResult

// Shows a modal box and returns the button pressed. An empty caption means the application's title.
using MessageBoxFunction
    = std::function<int(const QString &text, int style, const QString &caption)>;

int MsgBox(const QString &text, int style = MsgBoxStyle::OkOnly, const QString &caption = {});

// Replaces the function behind MsgBox (tests install a recorder); returns the previous one.
MessageBoxFunction SetMessageBoxFunction(MessageBoxFunction function);

// The real thing: a QMessageBox titled "Parvel" unless a caption is given.
int ShowQtMessageBox(const QString &text, int style, const QString &caption);
