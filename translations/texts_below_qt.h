// The English texts that the layers below the windows make and the windows
// show translated (dialogs/shown_text.h), listed here for lupdate only: this
// file is never compiled. Each must match its source byte for byte; the
// translation tests check that every one of them reaches a translation.

// Help texts of the register fields (model/transmitter_fields.cpp).
QT_TRANSLATE_NOOP("vorna",
                  "A0[0]:Analog circuit Power enable\n\n"
                  "Switches the analog circuits on or off.\n"
                  "PE=0;Analog circuit power off\n"
                  "PE=1;Analog circuit power on\n"
                  "PE=0 together with PDX=1 is the standby mode (a few microamperes).")
QT_TRANSLATE_NOOP("vorna",
                  "A0[1]:Xtal Oscillator enable\n\n"
                  "Enables the crystal oscillator.\n"
                  "PDX=0;Xtal oscillator enabled\n"
                  "PDX=1;Xtal oscillator disabled\n"
                  "PE=1,PDX=0 is power on; PE=0,PDX=1 is standby.\n"
                  "PE=0,PDX=0 and PE=1,PDX=1 are not to be used.")
QT_TRANSLATE_NOOP("vorna",
                  "A0[2]:Muting\n\n"
                  "Mutes the audio input. Muting this way also drops the pilot,\n"
                  "so a receiver no longer recognises stereo.\n"
                  "MUTE=0;Un-muting\n"
                  "MUTE=1;Muting")
QT_TRANSLATE_NOOP("vorna",
                  "A0[4]:Pre-emphasis enable/disable\n\n"
                  "EM=0;Pre-emphasis on\n"
                  "EM=1;Pre-emphasis off (flat response up to 15kHz)")
QT_TRANSLATE_NOOP("vorna",
                  "A0[5]:Pre-emphasis time constant selection\n\n"
                  "EMS=0;set 50uS\n"
                  "EMS=1;set 75uS")
QT_TRANSLATE_NOOP("vorna",
                  "A0[6:7]:Audio input level selection to reach full level deviation\n\n"
                  "Audio input level that gives full deviation:\n"
                  "AG[7:6]\n"
                  " 0 0 ;AG=0;100mVrms\n"
                  " 0 1 ;AG=1;140mVrms\n"
                  " 1 0 ;AG=2;200mVrms\n"
                  " 1 1 ;AG=3;Test mode (not to be used)")
QT_TRANSLATE_NOOP("vorna",
                  "A1[3]:Pilot tone enable\n\n"
                  "PLT=0;Pilot signal on\n"
                  "PLT=1;Pilot signal off")
QT_TRANSLATE_NOOP("vorna",
                  "A1[6]:Subcarrier enable/disable\n\n"
                  "SUBC=0;Subcarrier on\n"
                  "SUBC=1;Subcarrier off\n"
                  "SUBC=0(Subcarrier ON)  + PLT=0 ;Stereo mode\n"
                  "SUBC=1(Subcarrier OFF) + PLT=1 ;Mono mode")
QT_TRANSLATE_NOOP("vorna",
                  "A2[0:1]:TX Output power selection\n\n"
                  "A2[1:0]\n"
                  " 0 0 ;PL=0;Test mode (not to be used)\n"
                  " 0 1 ;PL=1;Test mode (not to be used)\n"
                  " 1 0 ;PL=2;1.0mW\n"
                  " 1 1 ;PL=3;2.0mW")
QT_TRANSLATE_NOOP("vorna",
                  "A2[2]:Synthesizer Unlock Detection activated\n\n"
                  "ULD=0;Unlock detection off (the carrier is radiated\n"
                  "      even while the PLL is unlocked)\n"
                  "ULD=1;Unlock detection on (output inhibited while unlocked)")
QT_TRANSLATE_NOOP("vorna",
                  "A3[0:7]+A4[0:5]:TX Frequency generation program for the synthesizer\n\n"
                  "14-bit program value of the synthesizer, typed in hexadecimal.\n"
                  "A3 holds bits 0-7, A4 bits 0-5 hold bits 8-13.\n"
                  "Valid values: 0x100 (256) to 0x3FFF (16383).\n"
                  "The program value is for the desired frequency offset by -304kHz.\n"
                  "P=2A58;default program value")
QT_TRANSLATE_NOOP("vorna",
                  "A6[1:2]:Main synthesizer Charge Pump current selecion\n\n"
                  "A6[2:1]\n"
                  " 0 0 ;CIA=0;20uA\n"
                  " 0 1 ;CIA=1;1.25uA\n"
                  " 1 0 ;CIA=2;5uA\n"
                  " 1 1 ;CIA=3;80uA")
QT_TRANSLATE_NOOP("vorna",
                  "A6[3:4]:Clock generator Charge Pump current selection\n\n"
                  "A6[4:3]\n"
                  " 0 0 ;CIB=0;80uA\n"
                  " 0 1 ;CIB=1;5uA\n"
                  " 1 0 ;CIB=2;20uA\n"
                  " 1 1 ;CIB=3;320uA")
QT_TRANSLATE_NOOP("vorna",
                  "A8[0:1]:Local oscillation frequency extension\n\n"
                  "Band of the local oscillator; band 0 has the highest\n"
                  "VCO gain, band 3 the lowest.\n"
                  "A8[1:0]\n"
                  " 0 0 ;CEX=0;Band0\n"
                  " 0 1 ;CEX=1;Band1\n"
                  " 1 0 ;CEX=2;Band2\n"
                  " 1 1 ;CEX=3;Band3")

// The Quick Setting's summary (model/quick_settings.cpp), line by line.
QT_TRANSLATE_NOOP("vorna", "Transmission Freq.")
QT_TRANSLATE_NOOP("vorna", "Output Power")
QT_TRANSLATE_NOOP("vorna", "Audio Input Level")
QT_TRANSLATE_NOOP("vorna", "Pre-emphasis")
QT_TRANSLATE_NOOP("vorna", "Pre-emphasis Time Constant")
QT_TRANSLATE_NOOP("vorna", "On (EM=0)")
QT_TRANSLATE_NOOP("vorna", "Off (EM=1)")
QT_TRANSLATE_NOOP("vorna", "test mode (PL=%1)")
QT_TRANSLATE_NOOP("vorna", "test mode (AG=%1)")
QT_TRANSLATE_NOOP("vorna", "%1 mVrms")
QT_TRANSLATE_NOOP("vorna", "%1 usec")
QT_TRANSLATE_NOOP("vorna", "%1 usec (EMS)")
// The pre-emphasis list of the Quick Setting.
QT_TRANSLATE_NOOP("vorna", "On")
QT_TRANSLATE_NOOP("vorna", "Off")

// Status texts (commands/commands.h, download/download_procedure.h).
QT_TRANSLATE_NOOP("vorna", "Not every register was written; the board may hold other values.")
QT_TRANSLATE_NOOP("vorna", "Hex file is invalid")
QT_TRANSLATE_NOOP("vorna", "Download success")
QT_TRANSLATE_NOOP("vorna", "Download failure")
QT_TRANSLATE_NOOP("vorna", "Download cancelled")
QT_TRANSLATE_NOOP("vorna", "Download stopped before it began; nothing was sent to the board")
QT_TRANSLATE_NOOP("vorna", "Download stopped after %1 of %2 bytes; the board holds an incomplete program")

// Message boxes (link/device_link.cpp, download/hex_file.cpp).
QT_TRANSLATE_NOOP("vorna", "WriteFile error")
QT_TRANSLATE_NOOP("vorna", "ReadFile error")
QT_TRANSLATE_NOOP("vorna", "Write error")
QT_TRANSLATE_NOOP("vorna", "Read error")
QT_TRANSLATE_NOOP("vorna", "ReadData error")
QT_TRANSLATE_NOOP("vorna", "select hex file.")
QT_TRANSLATE_NOOP("vorna", "file open error.")
QT_TRANSLATE_NOOP("vorna", "_filelength error.")
QT_TRANSLATE_NOOP("vorna", "Memory allocation error.")

// The COM Port dialog's line (commands/port_description.cpp).
QT_TRANSLATE_NOOP("vorna", "COM%1: nothing at this number")
