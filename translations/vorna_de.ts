<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>vorna</name>
    <message>
        <source>The hex file has problems:</source>
        <translation>Die Hex-Datei hat Probleme:</translation>
    </message>
    <message>
        <source>Download anyway?</source>
        <translation>Trotzdem übertragen?</translation>
    </message>
    <message>
        <source>Board Settings (*.vprof) (*.vprof *.VPROF)</source>
        <translation>Platineneinstellungen (*.vprof) (*.vprof *.VPROF)</translation>
    </message>
    <message>
        <source>The command ended on an unexpected error.</source>
        <translation>Der Befehl wurde durch einen unerwarteten Fehler beendet.</translation>
    </message>
    <message>
        <source>Can not open </source>
        <translation>Fehler beim Öffnen von </translation>
    </message>
    <message>
        <source>Can not write </source>
        <translation>Fehler beim Schreiben von </translation>
    </message>
    <message>
        <source>Reading the registers from </source>
        <translation>Lese die Register von </translation>
    </message>
    <message>
        <source>Writing the registers to </source>
        <translation>Schreibe die Register auf </translation>
    </message>
    <message>
        <source>Hex File (*.hxf;*.hex) (*.hxf *.hex *.HXF *.HEX)</source>
        <translation>Hex-Datei (*.hxf;*.hex) (*.hxf *.hex *.HXF *.HEX)</translation>
    </message>
    <message>
        <source>All Files (*)</source>
        <translation>Alle Dateien (*)</translation>
    </message>
    <message>
        <source>S-Record File (*.s19 *.s28 *.s37 *.srec *.mot) (*.s19 *.s28 *.s37 *.srec *.mot *.S19 *.S28 *.S37 *.SREC *.MOT)</source>
        <translation>S-Record-Datei (*.s19 *.s28 *.s37 *.srec *.mot) (*.s19 *.s28 *.s37 *.srec *.mot *.S19 *.S28 *.S37 *.SREC *.MOT)</translation>
    </message>
    <message>
        <source>A0[0]:Analog circuit Power enable

Switches the analog circuits on or off.
PE=0;Analog circuit power off
PE=1;Analog circuit power on
PE=0 together with PDX=1 is the standby mode (a few microamperes).</source>
        <translation>A0[0]:Versorgung der Analogschaltung

Schaltet die Analogschaltungen ein oder aus.
PE=0;Analogschaltung aus
PE=1;Analogschaltung ein
PE=0 zusammen mit PDX=1 ist der Standby-Betrieb (einige Mikroampere).</translation>
    </message>
    <message>
        <source>A0[1]:Xtal Oscillator enable

Enables the crystal oscillator.
PDX=0;Xtal oscillator enabled
PDX=1;Xtal oscillator disabled
PE=1,PDX=0 is power on; PE=0,PDX=1 is standby.
PE=0,PDX=0 and PE=1,PDX=1 are not to be used.</source>
        <translation>A0[1]:Quarzoszillator freigeben

Gibt den Quarzoszillator frei.
PDX=0;Quarzoszillator ein
PDX=1;Quarzoszillator aus
PE=1,PDX=0 ist Betrieb; PE=0,PDX=1 ist Standby.
PE=0,PDX=0 und PE=1,PDX=1 nicht verwenden.</translation>
    </message>
    <message>
        <source>A0[2]:Muting

Mutes the audio input. Muting this way also drops the pilot,
so a receiver no longer recognises stereo.
MUTE=0;Un-muting
MUTE=1;Muting</source>
        <translation>A0[2]:Stummschaltung

Schaltet den Audioeingang stumm. Dabei entfällt auch der Pilotton,
ein Empfänger erkennt dann kein Stereo mehr.
MUTE=0;Stummschaltung aus
MUTE=1;Stummschaltung ein</translation>
    </message>
    <message>
        <source>A0[4]:Pre-emphasis enable/disable

EM=0;Pre-emphasis on
EM=1;Pre-emphasis off (flat response up to 15kHz)</source>
        <translation>A0[4]:Preemphasis ein/aus

EM=0;Preemphasis ein
EM=1;Preemphasis aus (linearer Frequenzgang bis 15kHz)</translation>
    </message>
    <message>
        <source>A0[5]:Pre-emphasis time constant selection

EMS=0;set 50uS
EMS=1;set 75uS</source>
        <translation>A0[5]:Wahl der Preemphasis-Zeitkonstante

EMS=0;50µs
EMS=1;75µs</translation>
    </message>
    <message>
        <source>A0[6:7]:Audio input level selection to reach full level deviation

Audio input level that gives full deviation:
AG[7:6]
 0 0 ;AG=0;100mVrms
 0 1 ;AG=1;140mVrms
 1 0 ;AG=2;200mVrms
 1 1 ;AG=3;Test mode (not to be used)</source>
        <translation>A0[6:7]:Wahl des Audio-Eingangspegels für vollen Hub

Audio-Eingangspegel, der den vollen Hub ergibt:
AG[7:6]
 0 0 ;AG=0;100mVeff
 0 1 ;AG=1;140mVeff
 1 0 ;AG=2;200mVeff
 1 1 ;AG=3;Testmodus (nicht verwenden)</translation>
    </message>
    <message>
        <source>A1[3]:Pilot tone enable

PLT=0;Pilot signal on
PLT=1;Pilot signal off</source>
        <translation>A1[3]:Pilotton freigeben

PLT=0;Pilotton ein
PLT=1;Pilotton aus</translation>
    </message>
    <message>
        <source>A1[6]:Subcarrier enable/disable

SUBC=0;Subcarrier on
SUBC=1;Subcarrier off
SUBC=0(Subcarrier ON)  + PLT=0 ;Stereo mode
SUBC=1(Subcarrier OFF) + PLT=1 ;Mono mode</source>
        <translation>A1[6]:Hilfsträger ein/aus

SUBC=0;Hilfsträger ein
SUBC=1;Hilfsträger aus
SUBC=0(Hilfsträger EIN) + PLT=0 ;Stereobetrieb
SUBC=1(Hilfsträger AUS) + PLT=1 ;Monobetrieb</translation>
    </message>
    <message>
        <source>A2[0:1]:TX Output power selection

A2[1:0]
 0 0 ;PL=0;Test mode (not to be used)
 0 1 ;PL=1;Test mode (not to be used)
 1 0 ;PL=2;1.0mW
 1 1 ;PL=3;2.0mW</source>
        <translation>A2[0:1]:Wahl der Sendeleistung

A2[1:0]
 0 0 ;PL=0;Testmodus (nicht verwenden)
 0 1 ;PL=1;Testmodus (nicht verwenden)
 1 0 ;PL=2;1.0mW
 1 1 ;PL=3;2.0mW</translation>
    </message>
    <message>
        <source>A2[2]:Synthesizer Unlock Detection activated

ULD=0;Unlock detection off (the carrier is radiated
      even while the PLL is unlocked)
ULD=1;Unlock detection on (output inhibited while unlocked)</source>
        <translation>A2[2]:Lock-Überwachung des Synthesizers

ULD=0;Lock-Überwachung aus (der Träger wird auch bei
      nicht eingerastetem PLL abgestrahlt)
ULD=1;Lock-Überwachung ein (Ausgang gesperrt, solange
      der PLL nicht eingerastet ist)</translation>
    </message>
    <message>
        <source>A3[0:7]+A4[0:5]:TX Frequency generation program for the synthesizer

14-bit program value of the synthesizer, typed in hexadecimal.
A3 holds bits 0-7, A4 bits 0-5 hold bits 8-13.
Valid values: 0x100 (256) to 0x3FFF (16383).
The program value is for the desired frequency offset by -304kHz.
P=2A58;default program value</source>
        <translation>A3[0:7]+A4[0:5]:Programmwert des Synthesizers für die Sendefrequenz

14-Bit-Programmwert des Synthesizers, hexadezimal einzugeben.
A3 enthält die Bits 0-7, A4 in den Bits 0-5 die Bits 8-13.
Gültige Werte: 0x100 (256) bis 0x3FFF (16383).
Der Programmwert gilt für die gewünschte Frequenz, versetzt um -304kHz.
P=2A58;Standard-Programmwert</translation>
    </message>
    <message>
        <source>A6[1:2]:Main synthesizer Charge Pump current selecion

A6[2:1]
 0 0 ;CIA=0;20uA
 0 1 ;CIA=1;1.25uA
 1 0 ;CIA=2;5uA
 1 1 ;CIA=3;80uA</source>
        <translation>A6[1:2]:Ladungspumpenstrom des Hauptsynthesizers

A6[2:1]
 0 0 ;CIA=0;20µA
 0 1 ;CIA=1;1.25µA
 1 0 ;CIA=2;5µA
 1 1 ;CIA=3;80µA</translation>
    </message>
    <message>
        <source>A6[3:4]:Clock generator Charge Pump current selection

A6[4:3]
 0 0 ;CIB=0;80uA
 0 1 ;CIB=1;5uA
 1 0 ;CIB=2;20uA
 1 1 ;CIB=3;320uA</source>
        <translation>A6[3:4]:Ladungspumpenstrom des Taktgenerators

A6[4:3]
 0 0 ;CIB=0;80µA
 0 1 ;CIB=1;5µA
 1 0 ;CIB=2;20µA
 1 1 ;CIB=3;320µA</translation>
    </message>
    <message>
        <source>A8[0:1]:Local oscillation frequency extension

Band of the local oscillator; band 0 has the highest
VCO gain, band 3 the lowest.
A8[1:0]
 0 0 ;CEX=0;Band0
 0 1 ;CEX=1;Band1
 1 0 ;CEX=2;Band2
 1 1 ;CEX=3;Band3</source>
        <translation>A8[0:1]:Frequenzbereich des Lokaloszillators

Band des Lokaloszillators; Band 0 hat die höchste
VCO-Steilheit, Band 3 die niedrigste.
A8[1:0]
 0 0 ;CEX=0;Band0
 0 1 ;CEX=1;Band1
 1 0 ;CEX=2;Band2
 1 1 ;CEX=3;Band3</translation>
    </message>
    <message>
        <source>Transmission Freq.</source>
        <translation>Sendefrequenz</translation>
    </message>
    <message>
        <source>Output Power</source>
        <translation>Ausgangsleistung</translation>
    </message>
    <message>
        <source>Audio Input Level</source>
        <translation>Audio-Eingangspegel</translation>
    </message>
    <message>
        <source>Pre-emphasis</source>
        <translation>Preemphasis</translation>
    </message>
    <message>
        <source>Pre-emphasis Time Constant</source>
        <translation>Preemphasis-Zeitkonstante</translation>
    </message>
    <message>
        <source>On (EM=0)</source>
        <translation>Ein (EM=0)</translation>
    </message>
    <message>
        <source>Off (EM=1)</source>
        <translation>Aus (EM=1)</translation>
    </message>
    <message>
        <source>test mode (PL=%1)</source>
        <translation>Testmodus (PL=%1)</translation>
    </message>
    <message>
        <source>test mode (AG=%1)</source>
        <translation>Testmodus (AG=%1)</translation>
    </message>
    <message>
        <source>On</source>
        <translation>Ein</translation>
    </message>
    <message>
        <source>Off</source>
        <translation>Aus</translation>
    </message>
    <message>
        <source>Not every register was written; the board may hold other values.</source>
        <translation>Nicht alle Register wurden geschrieben; die Platine kann andere Werte enthalten.</translation>
    </message>
    <message>
        <source>Hex file is invalid</source>
        <translation>Hex-Datei ist ungültig</translation>
    </message>
    <message>
        <source>Download success</source>
        <translation>Übertragung erfolgreich</translation>
    </message>
    <message>
        <source>Download failure</source>
        <translation>Übertragung fehlgeschlagen</translation>
    </message>
    <message>
        <source>Download cancelled</source>
        <translation>Übertragung abgebrochen</translation>
    </message>
    <message>
        <source>Download stopped before it began; nothing was sent to the board</source>
        <translation>Übertragung vor dem Beginn gestoppt; es wurde nichts an die Platine gesendet</translation>
    </message>
    <message>
        <source>Download stopped after %1 of %2 bytes; the board holds an incomplete program</source>
        <translation>Übertragung nach %1 von %2 Bytes gestoppt; die Platine enthält ein unvollständiges Programm</translation>
    </message>
    <message>
        <source>WriteFile error</source>
        <translation>Schreibfehler (WriteFile)</translation>
    </message>
    <message>
        <source>ReadFile error</source>
        <translation>Lesefehler (ReadFile)</translation>
    </message>
    <message>
        <source>Write error</source>
        <translation>Schreibfehler</translation>
    </message>
    <message>
        <source>Read error</source>
        <translation>Lesefehler</translation>
    </message>
    <message>
        <source>ReadData error</source>
        <translation>Fehler beim Lesen der Daten (ReadData)</translation>
    </message>
    <message>
        <source>select hex file.</source>
        <translation>Bitte eine Hex-Datei wählen.</translation>
    </message>
    <message>
        <source>file open error.</source>
        <translation>Fehler beim Öffnen der Datei.</translation>
    </message>
    <message>
        <source>_filelength error.</source>
        <translation>Fehler beim Ermitteln der Dateilänge.</translation>
    </message>
    <message>
        <source>Memory allocation error.</source>
        <translation>Fehler bei der Speicherreservierung.</translation>
    </message>
    <message>
        <source>COM%1: nothing at this number</source>
        <translation>COM%1: unter dieser Nummer ist nichts angeschlossen</translation>
    </message>
    <message>
        <source>%1 mVrms</source>
        <translation>%1 mVeff</translation>
    </message>
    <message>
        <source>%1 usec</source>
        <translation>%1 µs</translation>
    </message>
    <message>
        <source>%1 usec (EMS)</source>
        <translation>%1 µs (EMS)</translation>
    </message>
</context>
<context>
    <name>vorna::AboutDialog</name>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>About %1</source>
        <translation>Über %1</translation>
    </message>
    <message>
        <source>%1 Version %2</source>
        <translation>%1 Version %2</translation>
    </message>
    <message>
        <source>%1 icon</source>
        <translation>Symbol von %1</translation>
    </message>
</context>
<context>
    <name>vorna::AdvancedSettingDialog</name>
    <message>
        <source>Advanced Setting</source>
        <translation>Erweiterte Einstellung</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>&amp;Restore default values.</source>
        <translation>&amp;Standardwerte wiederherstellen.</translation>
    </message>
    <message>
        <source>Register field</source>
        <translation>Registerfeld</translation>
    </message>
    <message>
        <source>Value of the field</source>
        <translation>Wert des Feldes</translation>
    </message>
    <message>
        <source>P (hexadecimal)</source>
        <translation>P (hexadezimal)</translation>
    </message>
</context>
<context>
    <name>vorna::ComPortDialog</name>
    <message>
        <source>COM Port</source>
        <translation>COM-Anschluss</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>&amp;COM</source>
        <translation>&amp;COM</translation>
    </message>
    <message>
        <source>COM port number</source>
        <translation>Nummer des COM-Anschlusses</translation>
    </message>
    <message>
        <source>Device at this port number</source>
        <translation>Gerät an dieser Anschlussnummer</translation>
    </message>
</context>
<context>
    <name>vorna::DownloadDialog</name>
    <message>
        <source>Download user program</source>
        <translation>Anwenderprogramm übertragen</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>&amp;File Name</source>
        <translation>&amp;Dateiname</translation>
    </message>
    <message>
        <source>Hex file name</source>
        <translation>Name der Hex-Datei</translation>
    </message>
    <message>
        <source>Browse for the hex file</source>
        <translation>Hex-Datei suchen</translation>
    </message>
</context>
<context>
    <name>vorna::MainWindow</name>
    <message>
        <source>&amp;Setting</source>
        <translation>&amp;Einstellung</translation>
    </message>
    <message>
        <source>&amp;Quick</source>
        <translation>&amp;Schnell</translation>
    </message>
    <message>
        <source>&amp;Advanced</source>
        <translation>&amp;Erweitert</translation>
    </message>
    <message>
        <source>&amp;Option</source>
        <translation>&amp;Optionen</translation>
    </message>
    <message>
        <source>&amp;COM Port</source>
        <translation>&amp;COM-Anschluss</translation>
    </message>
    <message>
        <source>&amp;Download</source>
        <translation>Ü&amp;bertragen</translation>
    </message>
    <message>
        <source>&amp;Save Board Settings...</source>
        <translation>Platineneinstellungen s&amp;peichern...</translation>
    </message>
    <message>
        <source>&amp;Load Board Settings...</source>
        <translation>Platineneinstellungen &amp;laden...</translation>
    </message>
    <message>
        <source>O&amp;ther</source>
        <translation>&amp;Sonstiges</translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation>&amp;Hilfe</translation>
    </message>
    <message>
        <source>&amp;About VORNA...</source>
        <translation>Ü&amp;ber VORNA...</translation>
    </message>
    <message>
        <source>FM Transmitter Setting</source>
        <translation>FM-Sender-Einstellung</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Schließen</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>%v of %m bytes</source>
        <translation>%v von %m Bytes</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>Stopp</translation>
    </message>
    <message>
        <source>Can not open the help file %1</source>
        <translation>Die Hilfedatei %1 kann nicht geöffnet werden</translation>
    </message>
    <message>
        <source>no such file</source>
        <translation>Datei nicht vorhanden</translation>
    </message>
    <message>
        <source>No program to open the help file %1 was found</source>
        <translation>Es wurde kein Programm zum Öffnen der Hilfedatei %1 gefunden</translation>
    </message>
    <message>
        <source>A download is running. Stop it and close?</source>
        <translation>Eine Übertragung läuft. Abbrechen und schließen?</translation>
    </message>
    <message>
        <source>Downloading %1 to</source>
        <translation>Übertrage %1 an</translation>
    </message>
    <message>
        <source>Write these settings to the board?</source>
        <translation>Diese Einstellungen auf die Platine schreiben?</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>Status</translation>
    </message>
    <message>
        <source>Download progress</source>
        <translation>Fortschritt der Übertragung</translation>
    </message>
    <message>
        <source>Stop the download</source>
        <translation>Übertragung abbrechen</translation>
    </message>
</context>
<context>
    <name>vorna::QuickSettingDialog</name>
    <message>
        <source>Quick Setting</source>
        <translation>Schnelleinstellung</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>MHz</source>
        <translation>MHz</translation>
    </message>
    <message>
        <source>mW</source>
        <translation>mW</translation>
    </message>
    <message>
        <source>mVrms</source>
        <translation>mVeff</translation>
    </message>
    <message>
        <source>Pre-emphasis</source>
        <translation>Preemphasis</translation>
    </message>
    <message>
        <source>uSec</source>
        <translation>µs</translation>
    </message>
    <message>
        <source>&amp;Transmission Freq.</source>
        <translation>&amp;Sendefrequenz</translation>
    </message>
    <message>
        <source>&amp;Output Power</source>
        <translation>Ausgangs&amp;leistung</translation>
    </message>
    <message>
        <source>&amp;Audio Input Level</source>
        <translation>&amp;Audio-Eingangspegel</translation>
    </message>
    <message>
        <source>&amp;Pre-emphasis</source>
        <translation>&amp;Preemphasis</translation>
    </message>
    <message>
        <source>Pre-emphasis Time &amp;Constant</source>
        <translation>Preemphasis-&amp;Zeitkonstante</translation>
    </message>
    <message>
        <source>&amp;Set as default values</source>
        <translation>Als Standard&amp;werte speichern</translation>
    </message>
    <message>
        <source>Transmission frequency, MHz</source>
        <translation>Sendefrequenz, MHz</translation>
    </message>
    <message>
        <source>Transmission frequency, tenths of a MHz</source>
        <translation>Sendefrequenz, Zehntel-MHz</translation>
    </message>
    <message>
        <source>Output power, mW</source>
        <translation>Ausgangsleistung, mW</translation>
    </message>
    <message>
        <source>Audio input level, mVrms</source>
        <translation>Audio-Eingangspegel, mVeff</translation>
    </message>
    <message>
        <source>Pre-emphasis time constant, microseconds</source>
        <translation>Preemphasis-Zeitkonstante, Mikrosekunden</translation>
    </message>
</context>
</TS>
