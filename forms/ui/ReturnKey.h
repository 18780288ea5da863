#pragma once

class QKeyEvent;
class QWidget;

// Return (or Enter) presses the window's focused push button, as Space does, and nothing else
// happens on it. True when the key was taken.
bool PressFocusedButtonOnReturn(QWidget &window, QKeyEvent &event);
