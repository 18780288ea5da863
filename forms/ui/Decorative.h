#pragma once

class QWidget;

// Leaves a widget out of what screen readers hear, for text that only decorates (a colon
// between a label and its box): it reports itself invisible and nameless.
void HideFromScreenReaders(QWidget &widget);
