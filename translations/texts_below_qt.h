// The English texts that the layers below the windows put together from
// pieces and numbers, as the windows translate them line by line
// (dialogs/shown_text.h), the numbers as %1, %2: listed here for lupdate
// only, this file is never compiled. Texts written whole below are marked
// where they are written (base/translatable.h). The translation tests check
// that these reach their translations.

// The Quick Setting's summary (model/quick_settings.cpp), line by line.
QT_TRANSLATE_NOOP("vorna", "Transmission Freq.")
QT_TRANSLATE_NOOP("vorna", "Output Power")
QT_TRANSLATE_NOOP("vorna", "Audio Input Level")
QT_TRANSLATE_NOOP("vorna", "Pre-emphasis")
QT_TRANSLATE_NOOP("vorna", "Pre-emphasis Time Constant")
QT_TRANSLATE_NOOP("vorna", "test mode (PL=%1)")
QT_TRANSLATE_NOOP("vorna", "test mode (AG=%1)")
QT_TRANSLATE_NOOP("vorna", "%1 mVrms")
QT_TRANSLATE_NOOP("vorna", "%1 usec")
QT_TRANSLATE_NOOP("vorna", "%1 usec (EMS)")

// A download stopped on the way (download/download_procedure.cpp).
QT_TRANSLATE_NOOP("vorna", "Download stopped after %1 of %2 bytes; the board holds an incomplete program")

// The COM Port dialog's line (commands/port_description.cpp).
QT_TRANSLATE_NOOP("vorna", "COM%1: nothing at this number")
