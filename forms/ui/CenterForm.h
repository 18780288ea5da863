#pragma once

class QWidget;

// Centres a window, frame and caption included, on its screen. A window larger than the screen
// gets a negative position. Run-time errors reach the caller.
void CenterForm(QWidget &window);
