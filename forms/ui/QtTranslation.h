#pragma once

// Loads Qt's own Japanese texts (qtbase_ja, Debian's qt6-translations-l10n), so that the standard
// menus and buttons (a text box's 元に戻す, コピー, 貼り付け) speak the window's language whatever
// the desktop's locale. False when the translation is not installed: Qt's English remains.
bool LoadQtTranslation();
