#pragma once
// Marks an English text that the desktop application shows in the user's
// language, where the text is written: the program gets the text itself,
// and lupdate, told that this is Qt's QT_TRANSLATE_NOOP
// (app/CMakeLists.txt), collects it into translations/. The layers below
// the windows know no Qt; the windows look the text up in `context`
// ("vorna", dialogs/shown_text.h).
#define TRANSLATABLE(context, text) text
