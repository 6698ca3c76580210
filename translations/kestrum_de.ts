<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de">
<context>
    <name>AppSettings</name>
    <message>
        <source>The settings file %1 is not used (%2): the settings of this run will not be kept.</source>
        <translation>Die Einstellungsdatei %1 wird nicht verwendet (%2): Die Einstellungen dieser Sitzung werden nicht gespeichert.</translation>
    </message>
    <message>
        <source>The settings file %1 cannot be read, so it is not used: the settings of this run will not be kept.</source>
        <translation>Die Einstellungsdatei %1 kann nicht gelesen werden und wird daher nicht verwendet: Die Einstellungen dieser Sitzung werden nicht gespeichert.</translation>
    </message>
    <message>
        <source>The settings file %1 cannot be read; it is kept as %2 and the settings start anew.</source>
        <translation>Die Einstellungsdatei %1 kann nicht gelesen werden; sie wird als %2 aufbewahrt, und die Einstellungen beginnen neu.</translation>
    </message>
</context>
<context>
    <name>CRecDataModel</name>
    <message>
        <source>Time</source>
        <translation>Zeit</translation>
    </message>
    <message>
        <source>Format</source>
        <translation>Format</translation>
    </message>
    <message>
        <source>Content</source>
        <translation>Inhalt</translation>
    </message>
</context>
<context>
    <name>Dialog</name>
    <message>
        <source>&amp;OK</source>
        <translation>&amp;OK</translation>
    </message>
    <message>
        <source>&amp;Cancel</source>
        <translation>Abbre&amp;chen</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
</context>
<context>
    <name>RuleText</name>
    <message>
        <source>Action : Begin</source>
        <translation>Aktion: Beginn</translation>
    </message>
    <message>
        <source>Action : Pause</source>
        <translation>Aktion: Pause</translation>
    </message>
    <message>
        <source>Action : Resume</source>
        <translation>Aktion: Fortsetzen</translation>
    </message>
    <message>
        <source>Action : Stop</source>
        <translation>Aktion: Stopp</translation>
    </message>
    <message>
        <source>Receive Anything</source>
        <translation>Empfang beliebiger Daten</translation>
    </message>
    <message>
        <source>Time Absolure</source>
        <translation>Uhrzeit</translation>
    </message>
    <message>
        <source>Time From Start</source>
        <translation>Zeit ab Start</translation>
    </message>
    <message>
        <source>Time From Last Send Begin</source>
        <translation>Zeit ab Beginn des letzten Sendens</translation>
    </message>
    <message>
        <source>Time From Last Send End</source>
        <translation>Zeit ab Ende des letzten Sendens</translation>
    </message>
    <message>
        <source>Time From Receive Begin</source>
        <translation>Zeit ab Beginn des Empfangs</translation>
    </message>
    <message>
        <source>Time From Receive End</source>
        <translation>Zeit ab Ende des Empfangs</translation>
    </message>
    <message>
        <source>Empty</source>
        <translation>Leer</translation>
    </message>
    <message>
        <source>%1: Value%2</source>
        <translation>%1: Wert %2</translation>
    </message>
    <message>
        <source>Receive Fixed Length : %1</source>
        <translation>Empfang fester Länge: %1</translation>
    </message>
    <message>
        <source>Receive Spec Data : %1</source>
        <translation>Empfang bestimmter Daten: %1</translation>
    </message>
    <message>
        <source>Single:Always</source>
        <translation>Einzeln:Immer</translation>
    </message>
    <message>
        <source>Single</source>
        <translation>Einzeln</translation>
    </message>
    <message>
        <source>Group</source>
        <translation>Gruppe</translation>
    </message>
    <message>
        <source>%1 | %2</source>
        <translation>%1 | %2</translation>
    </message>
    <message>
        <source>Items count: %1</source>
        <translation>Anzahl der Einträge: %1</translation>
    </message>
</context>
<context>
    <name>StartNotices</name>
    <message>
        <source>When Kestrum last ended:</source>
        <translation>Beim letzten Beenden von Kestrum:</translation>
    </message>
    <message>
        <source>Problems found at start</source>
        <translation>Beim Start gefundene Probleme</translation>
    </message>
</context>
<context>
    <name>TAnswerHistogram</name>
    <message>
        <source>Answer time histogram</source>
        <translation>Histogramm der Antwortzeiten</translation>
    </message>
    <message>
        <source>No answer times.</source>
        <translation>Keine Antwortzeiten.</translation>
    </message>
    <message numerus="yes">
        <source>%n answer(s) from %1 to %2 ms:</source>
        <translation>
            <numerusform>%n Antwort von %1 bis %2 ms:</numerusform>
            <numerusform>%n Antworten von %1 bis %2 ms:</numerusform>
        </translation>
    </message>
    <message>
        <source>%1 from %2 ms;</source>
        <translation>%1 ab %2 ms;</translation>
    </message>
</context>
<context>
    <name>TAnswerTimesCommands</name>
    <message>
        <source>Answer Times</source>
        <translation>Antwortzeiten</translation>
    </message>
</context>
<context>
    <name>TAnswerTimesPanel</name>
    <message>
        <source>Answer times</source>
        <translation>Antwortzeiten</translation>
    </message>
    <message>
        <source>Answer times by unit and function</source>
        <translation>Antwortzeiten nach Gerät und Funktion</translation>
    </message>
    <message>
        <source>Unit</source>
        <translation>Gerät</translation>
    </message>
    <message>
        <source>Function</source>
        <translation>Funktion</translation>
    </message>
    <message>
        <source>Requests</source>
        <translation>Anfragen</translation>
    </message>
    <message>
        <source>Answered</source>
        <translation>Beantwortet</translation>
    </message>
    <message>
        <source>Missing</source>
        <translation>Fehlend</translation>
    </message>
    <message>
        <source>Exceptions</source>
        <translation>Ausnahmen</translation>
    </message>
    <message>
        <source>Min ms</source>
        <translation>Min. ms</translation>
    </message>
    <message>
        <source>Median ms</source>
        <translation>Median ms</translation>
    </message>
    <message>
        <source>99% ms</source>
        <translation>99 % ms</translation>
    </message>
    <message>
        <source>Max ms</source>
        <translation>Max. ms</translation>
    </message>
    <message>
        <source>&amp;Reset</source>
        <translation>&amp;Zurücksetzen</translation>
    </message>
    <message>
        <source>Reset the answer times</source>
        <translation>Die Antwortzeiten zurücksetzen</translation>
    </message>
    <message>
        <source>Copy as &amp;CSV</source>
        <translation>Als &amp;CSV kopieren</translation>
    </message>
    <message>
        <source>Copy the answer times as CSV</source>
        <translation>Die Antwortzeiten als CSV kopieren</translation>
    </message>
</context>
<context>
    <name>TCaptureCommands</name>
    <message>
        <source>&amp;Capture to File…</source>
        <translation>In Datei &amp;mitschneiden…</translation>
    </message>
    <message>
        <source>S&amp;top Capture</source>
        <translation>Mi&amp;tschnitt beenden</translation>
    </message>
</context>
<context>
    <name>TChecksumEdit</name>
    <message>
        <source>Checksum algorithm</source>
        <translation>Prüfsummenverfahren</translation>
    </message>
    <message>
        <source>CRC width</source>
        <translation>CRC-Breite</translation>
    </message>
    <message>
        <source>Polynomial</source>
        <translation>Polynom</translation>
    </message>
    <message>
        <source>Initial value</source>
        <translation>Startwert</translation>
    </message>
    <message>
        <source>Final XOR</source>
        <translation>Abschließendes XOR</translation>
    </message>
    <message>
        <source>Reflect &amp;input</source>
        <translation>E&amp;ingabe spiegeln</translation>
    </message>
    <message>
        <source>Reflect input</source>
        <translation>Eingabe spiegeln</translation>
    </message>
    <message>
        <source>Reflect o&amp;utput</source>
        <translation>A&amp;usgabe spiegeln</translation>
    </message>
    <message>
        <source>Reflect output</source>
        <translation>Ausgabe spiegeln</translation>
    </message>
    <message>
        <source>&amp;Width (bits):</source>
        <translation>&amp;Breite (Bit):</translation>
    </message>
    <message>
        <source>&amp;Polynomial (hex):</source>
        <translation>&amp;Polynom (hex):</translation>
    </message>
    <message>
        <source>I&amp;nitial value (hex):</source>
        <translation>S&amp;tartwert (hex):</translation>
    </message>
    <message>
        <source>&amp;Final XOR (hex):</source>
        <translation>&amp;Abschließendes XOR (hex):</translation>
    </message>
    <message>
        <source>Byte order</source>
        <translation>Bytereihenfolge</translation>
    </message>
    <message>
        <source>High byte first</source>
        <translation>Höherwertiges Byte zuerst</translation>
    </message>
    <message>
        <source>Low byte first</source>
        <translation>Niederwertiges Byte zuerst</translation>
    </message>
    <message>
        <source>&amp;Algorithm:</source>
        <translation>&amp;Verfahren:</translation>
    </message>
    <message>
        <source>&amp;Byte order:</source>
        <translation>B&amp;ytereihenfolge:</translation>
    </message>
    <message>
        <source>The polynomial is not a hex number.</source>
        <translation>Das Polynom ist keine Hexadezimalzahl.</translation>
    </message>
    <message>
        <source>The initial value is not a hex number.</source>
        <translation>Der Startwert ist keine Hexadezimalzahl.</translation>
    </message>
    <message>
        <source>The final XOR is not a hex number.</source>
        <translation>Das abschließende XOR ist keine Hexadezimalzahl.</translation>
    </message>
    <message>
        <source>A value is wider than the CRC.</source>
        <translation>Ein Wert ist breiter als die CRC.</translation>
    </message>
    <message>
        <source>None</source>
        <translation>Keine</translation>
    </message>
</context>
<context>
    <name>TConsoleCommands</name>
    <message>
        <source>&amp;Console</source>
        <translation>&amp;Konsole</translation>
    </message>
    <message>
        <source>Console keys</source>
        <translation>Konsolentasten</translation>
    </message>
    <message>
        <source>Console</source>
        <translation>Konsole</translation>
    </message>
    <message>
        <source>Console Settin&amp;gs...</source>
        <translation>Konsolen&amp;einstellungen...</translation>
    </message>
    <message>
        <source>Console: Ctrl+Shift+T back to the log · Ctrl+Shift+M menus · Ctrl+Shift+C/V copy/paste</source>
        <translation>Konsole: Strg+Umschalt+T zurück zum Protokoll · Strg+Umschalt+M Menüs · Strg+Umschalt+C/V kopieren/einfügen</translation>
    </message>
    <message>
        <source>console: received data came faster than it could be shown, some dropped</source>
        <translation>Konsole: Daten kamen schneller an, als sie angezeigt werden konnten, einige verworfen</translation>
    </message>
    <message>
        <source>console: the device is not taking data, keys dropped</source>
        <translation>Konsole: das Gerät nimmt keine Daten an, Tasten verworfen</translation>
    </message>
    <message>
        <source>console: the port is not open, keys dropped</source>
        <translation>Konsole: der Port ist nicht geöffnet, Tasten verworfen</translation>
    </message>
    <message>
        <source>console: a file is being sent, keys dropped</source>
        <translation>Konsole: eine Datei wird gesendet, Tasten verworfen</translation>
    </message>
</context>
<context>
    <name>TConsoleView</name>
    <message>
        <source>Console</source>
        <translation>Konsole</translation>
    </message>
    <message>
        <source>Paste</source>
        <translation>Einfügen</translation>
    </message>
    <message>
        <source>Paste %1 lines into the console?</source>
        <translation>%1 Zeilen in die Konsole einfügen?</translation>
    </message>
    <message>
        <source>Copy</source>
        <translation>Kopieren</translation>
    </message>
    <message>
        <source>Send Size</source>
        <translation>Fenstergröße senden</translation>
    </message>
    <message>
        <source>Local Echo</source>
        <translation>Lokales Echo</translation>
    </message>
    <message>
        <source>Clear Scrollback</source>
        <translation>Verlauf löschen</translation>
    </message>
</context>
<context>
    <name>TFindBar</name>
    <message>
        <source>F&amp;ind:</source>
        <translation>&amp;Suchen:</translation>
    </message>
    <message>
        <source>Find</source>
        <translation>Suchen</translation>
    </message>
    <message>
        <source>He&amp;x bytes</source>
        <translation>He&amp;x-Bytes</translation>
    </message>
    <message>
        <source>Hex bytes</source>
        <translation>Hex-Bytes</translation>
    </message>
    <message>
        <source>Match &amp;case</source>
        <translation>&amp;Groß-/Kleinschreibung beachten</translation>
    </message>
    <message>
        <source>Match case</source>
        <translation>Groß-/Kleinschreibung beachten</translation>
    </message>
    <message>
        <source>Previous</source>
        <translation>Vorheriges</translation>
    </message>
    <message>
        <source>Find Previous (Shift+F3)</source>
        <translation>Rückwärts suchen (Umschalt+F3)</translation>
    </message>
    <message>
        <source>Next</source>
        <translation>Nächstes</translation>
    </message>
    <message>
        <source>Find Next (F3)</source>
        <translation>Weitersuchen (F3)</translation>
    </message>
    <message>
        <source>Find result</source>
        <translation>Suchergebnis</translation>
    </message>
    <message>
        <source>Close Find Bar</source>
        <translation>Suchleiste schließen</translation>
    </message>
    <message>
        <source>Not valid hex</source>
        <translation>Kein gültiges Hex</translation>
    </message>
    <message>
        <source>Searching...</source>
        <translation>Suche läuft...</translation>
    </message>
    <message>
        <source>Not found</source>
        <translation>Nicht gefunden</translation>
    </message>
</context>
<context>
    <name>TFindCommands</name>
    <message>
        <source>&amp;Find...</source>
        <translation>Su&amp;chen...</translation>
    </message>
    <message>
        <source>Find &amp;Next</source>
        <translation>&amp;Weitersuchen</translation>
    </message>
    <message>
        <source>Find Pre&amp;vious</source>
        <translation>&amp;Rückwärts suchen</translation>
    </message>
</context>
<context>
    <name>TFirstStartHint</name>
    <message>
        <source>How to begin</source>
        <translation>Wie Sie beginnen</translation>
    </message>
    <message>
        <source>Nothing has been received yet. To begin, open a port with Operate &gt; Open Port. To try the program without a device, open the demo board, a small board it plays itself.</source>
        <translation>Es wurde noch nichts empfangen. Öffnen Sie zum Beginnen einen Port mit Betrieb &gt; Port öffnen. Um das Programm ohne Gerät auszuprobieren, öffnen Sie das Demo-Board, ein kleines Board, das es selbst spielt.</translation>
    </message>
    <message>
        <source>Open the demo board...</source>
        <translation>Demo-Board öffnen...</translation>
    </message>
    <message>
        <source>Open the demo board</source>
        <translation>Demo-Board öffnen</translation>
    </message>
</context>
<context>
    <name>TFrameLineCommands</name>
    <message>
        <source>One Line per Frame</source>
        <translation>Eine Zeile je Frame</translation>
    </message>
    <message>
        <source>While the traffic is framed, each frame gets one log line; without framing the log is as before</source>
        <translation>Solange der Verkehr in Frames geteilt wird, bekommt jeder Frame eine Protokollzeile; ohne Framing bleibt das Protokoll wie bisher</translation>
    </message>
</context>
<context>
    <name>TFramesCommands</name>
    <message>
        <source>&amp;Frames</source>
        <translation>Frame-&amp;Übersicht</translation>
    </message>
    <message>
        <source>Frames &amp;Without the Log</source>
        <translation>Frames statt Protokoll &amp;wiedergeben</translation>
    </message>
</context>
<context>
    <name>TFramesModel</name>
    <message>
        <source>Rx</source>
        <translation>Rx</translation>
    </message>
    <message>
        <source>Tx</source>
        <translation>Tx</translation>
    </message>
    <message>
        <source>A→B</source>
        <translation>A→B</translation>
    </message>
    <message>
        <source>B→A</source>
        <translation>B→A</translation>
    </message>
    <message>
        <source>ok</source>
        <translation>ok</translation>
    </message>
    <message>
        <source>bad</source>
        <translation>fehlerhaft</translation>
    </message>
    <message>
        <source>none</source>
        <translation>keine</translation>
    </message>
    <message>
        <source>timed out</source>
        <translation>Zeit abgelaufen</translation>
    </message>
    <message>
        <source>cut at max length</source>
        <translation>bei Höchstlänge abgeschnitten</translation>
    </message>
    <message>
        <source>bad encoding</source>
        <translation>fehlerhafte Kodierung</translation>
    </message>
    <message>
        <source>at silence floor</source>
        <translation>an der Ruhegrenze</translation>
    </message>
    <message>
        <source>stray</source>
        <translation>verirrt</translation>
    </message>
    <message>
        <source>Time (ms)</source>
        <translation>Zeit (ms)</translation>
    </message>
    <message>
        <source>Gap (ms)</source>
        <translation>Pause (ms)</translation>
    </message>
    <message>
        <source>Gap (chars)</source>
        <translation>Pause (Zeichen)</translation>
    </message>
    <message>
        <source>Direction</source>
        <translation>Richtung</translation>
    </message>
    <message>
        <source>Length</source>
        <translation>Länge</translation>
    </message>
    <message>
        <source>Bytes</source>
        <translation>Bytes</translation>
    </message>
    <message>
        <source>Check</source>
        <translation>Prüfung</translation>
    </message>
    <message>
        <source>Summary</source>
        <translation>Zusammenfassung</translation>
    </message>
    <message>
        <source>%1 ms</source>
        <translation>%1 ms</translation>
    </message>
    <message>
        <source>no answer</source>
        <translation>keine Antwort</translation>
    </message>
    <message>
        <source>from the wrong unit</source>
        <translation>vom falschen Gerät</translation>
    </message>
    <message>
        <source>to the wrong function</source>
        <translation>auf die falsche Funktion</translation>
    </message>
    <message>
        <source>late: %1 ms</source>
        <translation>verspätet: %1 ms</translation>
    </message>
    <message>
        <source>unasked</source>
        <translation>ungefragt</translation>
    </message>
    <message>
        <source>decoder error: %1</source>
        <translation>Decoder-Fehler: %1</translation>
    </message>
</context>
<context>
    <name>TFramesView</name>
    <message>
        <source>Frames</source>
        <translation>Frames</translation>
    </message>
    <message>
        <source>Framing hint</source>
        <translation>Hinweis zur Rahmung</translation>
    </message>
    <message>
        <source>Direction filter</source>
        <translation>Richtungsfilter</translation>
    </message>
    <message>
        <source>All directions</source>
        <translation>Alle Richtungen</translation>
    </message>
    <message>
        <source>Check filter</source>
        <translation>Prüfungsfilter</translation>
    </message>
    <message>
        <source>All checks</source>
        <translation>Alle Prüfungen</translation>
    </message>
    <message>
        <source>Filter text</source>
        <translation>Filtertext</translation>
    </message>
    <message>
        <source>Filter: hex or text</source>
        <translation>Filter: Hex oder Text</translation>
    </message>
    <message>
        <source>Find in frames</source>
        <translation>In Frames suchen</translation>
    </message>
    <message>
        <source>Find: hex or text</source>
        <translation>Suchen: Hex oder Text</translation>
    </message>
    <message>
        <source>Find previous frame</source>
        <translation>Vorherigen Frame suchen</translation>
    </message>
    <message>
        <source>Find next frame</source>
        <translation>Nächsten Frame suchen</translation>
    </message>
    <message>
        <source>Save CSV...</source>
        <translation>Als CSV speichern...</translation>
    </message>
    <message>
        <source>Save the frames shown as CSV</source>
        <translation>Die gezeigten Frames als CSV speichern</translation>
    </message>
    <message>
        <source>Frames table</source>
        <translation>Frame-Tabelle</translation>
    </message>
    <message>
        <source>Frame columns</source>
        <translation>Frame-Spalten</translation>
    </message>
    <message>
        <source>Frames note</source>
        <translation>Hinweis zu den Frames</translation>
    </message>
    <message>
        <source>&amp;Copy as CSV</source>
        <translation>Als CSV &amp;kopieren</translation>
    </message>
    <message>
        <source>Copy as &amp;Text</source>
        <translation>Als &amp;Text kopieren</translation>
    </message>
    <message>
        <source>Framing is off: choose a framing for this link (View &gt; Framing) to see its frames.</source>
        <translation>Die Rahmung ist aus: Wählen Sie eine Rahmung für diese Verbindung (Ansicht &gt; Rahmung), um ihre Frames zu sehen.</translation>
    </message>
    <message>
        <source>The gap asked for (%1 ms) is below the adapter&apos;s latency timer (%2 ms): frames closer than that may run together. The timer can be lowered with:</source>
        <translation>Die verlangte Pause (%1 ms) liegt unter dem Latenz-Timer des Adapters (%2 ms): Frames mit kürzerem Abstand können zusammenlaufen. Der Timer lässt sich senken mit:</translation>
    </message>
    <message numerus="yes">
        <source>%n older frame(s) dropped (memory limit)</source>
        <translation>
            <numerusform>%n älterer Frame verworfen (Speichergrenze)</numerusform>
            <numerusform>%n ältere Frames verworfen (Speichergrenze)</numerusform>
        </translation>
    </message>
    <message>
        <source>No frame holds &quot;%1&quot;.</source>
        <translation>Kein Frame enthält „%1“.</translation>
    </message>
    <message numerus="yes">
        <source>%n frame(s) saved to %1</source>
        <translation>
            <numerusform>%n Frame in %1 gespeichert</numerusform>
            <numerusform>%n Frames in %1 gespeichert</numerusform>
        </translation>
    </message>
    <message>
        <source>The frames could not be saved: %1</source>
        <translation>Die Frames konnten nicht gespeichert werden: %1</translation>
    </message>
    <message>
        <source>Save Frames</source>
        <translation>Frames speichern</translation>
    </message>
    <message>
        <source>CSV files (*.csv);;All files (*)</source>
        <translation>CSV-Dateien (*.csv);;Alle Dateien (*)</translation>
    </message>
    <message>
        <source>The gap asked for (%1 ms) is below the floor set for this network port (%2 ms): frames closer than that may run together.</source>
        <translation>Die verlangte Pause (%1 ms) liegt unter der für diesen Netzwerk-Port eingestellten Untergrenze (%2 ms): Frames mit kürzerem Abstand können zusammenlaufen.</translation>
    </message>
    <message>
        <source>The frames are not decoded: %1</source>
        <translation>Die Frames werden nicht dekodiert: %1</translation>
    </message>
</context>
<context>
    <name>TFramingCommands</name>
    <message>
        <source>Framing...</source>
        <translation>Rahmenprofile...</translation>
    </message>
</context>
<context>
    <name>THelpWindow</name>
    <message>
        <source>Help file not found!</source>
        <translation>Hilfedatei nicht gefunden!</translation>
    </message>
    <message>
        <source>Kestrum Help</source>
        <translation>Kestrum-Hilfe</translation>
    </message>
    <message>
        <source>&amp;Contents</source>
        <translation>&amp;Inhalt</translation>
    </message>
    <message>
        <source>&amp;Back</source>
        <translation>&amp;Zurück</translation>
    </message>
    <message>
        <source>&amp;Forward</source>
        <translation>&amp;Vor</translation>
    </message>
    <message>
        <source>F&amp;ind:</source>
        <translation>&amp;Suchen:</translation>
    </message>
    <message>
        <source>Find in page</source>
        <translation>Auf der Seite suchen</translation>
    </message>
    <message>
        <source>Not found</source>
        <translation>Nicht gefunden</translation>
    </message>
    <message>
        <source>Help page</source>
        <translation>Hilfeseite</translation>
    </message>
</context>
<context>
    <name>TInstantSend</name>
    <message>
        <source>Line ending</source>
        <translation>Zeilenende</translation>
    </message>
    <message>
        <source>Line ending added to instant sends in STRING format</source>
        <translation>Zeilenende, das an sofort Gesendetes im Format STRING angehängt wird</translation>
    </message>
    <message>
        <source>Enter sends; Up and Down recall earlier sends; Tab moves on; Ctrl+I types a TAB</source>
        <translation>Eingabetaste sendet; Auf und Ab holen früher Gesendetes zurück; Tab geht weiter; Strg+I schreibt ein TAB</translation>
    </message>
    <message>
        <source>None</source>
        <translation>Keines</translation>
    </message>
</context>
<context>
    <name>TLanguageCommands</name>
    <message>
        <source>Language</source>
        <translation>Sprache</translation>
    </message>
    <message>
        <source>&amp;System</source>
        <translation>&amp;System</translation>
    </message>
    <message>
        <source>The language changes at the next start of Kestrum.</source>
        <translation>Die Sprache wechselt beim nächsten Start von Kestrum.</translation>
    </message>
    <message>
        <source>Lang&amp;uage</source>
        <translation>Spra&amp;che</translation>
    </message>
</context>
<context>
    <name>TLogCapture</name>
    <message>
        <source>the disk did not keep up, and more than %1 waited to be written</source>
        <translation>die Festplatte kam nicht nach, und mehr als %1 warteten darauf, geschrieben zu werden</translation>
    </message>
    <message>
        <source>it is a link, and a capture never writes through one</source>
        <translation>es ist eine symbolische Verknüpfung, und ein Mitschnitt schreibt nie über eine Verknüpfung</translation>
    </message>
    <message>
        <source>it is another user&apos;s file</source>
        <translation>es ist die Datei eines anderen Benutzers</translation>
    </message>
    <message>
        <source>Capture</source>
        <translation>Mitschnitt</translation>
    </message>
    <message>
        <source>Capture to %1 stopped: %2.
Data received from now on is not captured.</source>
        <translation>Mitschnitt in %1 beendet: %2.
Ab jetzt empfangene Daten werden nicht mitgeschnitten.</translation>
    </message>
    <message>
        <source>Capture: %1 %2</source>
        <translation>Mitschnitt: %1 %2</translation>
    </message>
    <message>
        <source>Capture: waiting for %1</source>
        <translation>Mitschnitt: wartet auf %1</translation>
    </message>
</context>
<context>
    <name>TLogViewCommands</name>
    <message>
        <source>Date a&amp;nd Time</source>
        <translation>Datum u&amp;nd Uhrzeit</translation>
    </message>
    <message>
        <source>&amp;Milliseconds</source>
        <translation>&amp;Millisekunden</translation>
    </message>
    <message>
        <source>Split Received &amp;Lines</source>
        <translation>Empfangene Zeilen &amp;trennen</translation>
    </message>
    <message>
        <source>&amp;Latin-1</source>
        <translation>&amp;Latin-1</translation>
    </message>
    <message>
        <source>&amp;UTF-8</source>
        <translation>&amp;UTF-8</translation>
    </message>
    <message>
        <source>ANSI C&amp;olours</source>
        <translation>ANSI-Far&amp;ben</translation>
    </message>
    <message>
        <source>&amp;Off</source>
        <translation>&amp;Aus</translation>
    </message>
    <message>
        <source>&amp;Strip</source>
        <translation>&amp;Entfernen</translation>
    </message>
    <message>
        <source>S&amp;how</source>
        <translation>An&amp;zeigen</translation>
    </message>
    <message>
        <source>Time Since Pre&amp;vious</source>
        <translation>Zeit seit dem &amp;Vorigen</translation>
    </message>
    <message>
        <source>Text Encod&amp;ing</source>
        <translation>Zeichenkodier&amp;ung</translation>
    </message>
    <message>
        <source>Log file(*.log)</source>
        <translation>Protokolldatei(*.log)</translation>
    </message>
    <message>
        <source>Text file(*.txt)</source>
        <translation>Textdatei(*.txt)</translation>
    </message>
</context>
<context>
    <name>TModemLines</name>
    <message>
        <source>&amp;DTR</source>
        <translation>&amp;DTR</translation>
    </message>
    <message>
        <source>&amp;RTS</source>
        <translation>&amp;RTS</translation>
    </message>
    <message>
        <source>Send &amp;Break</source>
        <translation>&amp;Break senden</translation>
    </message>
    <message>
        <source>DTR line</source>
        <translation>DTR-Leitung</translation>
    </message>
    <message>
        <source>RTS line</source>
        <translation>RTS-Leitung</translation>
    </message>
    <message>
        <source>Send Break</source>
        <translation>Break senden</translation>
    </message>
    <message>
        <source>: on</source>
        <translation>: an</translation>
    </message>
    <message>
        <source>: off</source>
        <translation>: aus</translation>
    </message>
    <message>
        <source>: not available</source>
        <translation>: nicht verfügbar</translation>
    </message>
</context>
<context>
    <name>TMonitorCommands</name>
    <message>
        <source>The monitor takes the place of this window&apos;s port. Close the port and start the monitor?</source>
        <translation>Die Überwachung tritt an die Stelle des Ports dieses Fensters. Port schließen und Überwachung starten?</translation>
    </message>
    <message>
        <source>The monitor did not start: %1</source>
        <translation>Die Überwachung ist nicht gestartet: %1</translation>
    </message>
    <message>
        <source>Starting the monitor...</source>
        <translation>Überwachung startet...</translation>
    </message>
    <message>
        <source>Close Port stops the start</source>
        <translation>Port schließen bricht den Start ab</translation>
    </message>
    <message>
        <source>Monitoring two ports, bridged</source>
        <translation>Zwei Ports werden überwacht, mit Brücke</translation>
    </message>
    <message>
        <source>Monitoring two ports</source>
        <translation>Zwei Ports werden überwacht</translation>
    </message>
    <message>
        <source>; port B is the virtual port %1 on %2</source>
        <translation>; Port B ist der virtuelle Port %1 an %2</translation>
    </message>
    <message>
        <source>Kestrum - %1</source>
        <translation>Kestrum - %1</translation>
    </message>
    <message>
        <source>Can not Open %1: %2</source>
        <translation>%1 kann nicht geöffnet werden: %2</translation>
    </message>
    <message>
        <source>Can not Open %1</source>
        <translation>%1 kann nicht geöffnet werden</translation>
    </message>
    <message>
        <source>Error Port Setting: %1: %2</source>
        <translation>Fehlerhafte Porteinstellung: %1: %2</translation>
    </message>
    <message>
        <source>Can not start the monitor: %1</source>
        <translation>Die Überwachung kann nicht starten: %1</translation>
    </message>
    <message>
        <source>The monitor was stopped before it started</source>
        <translation>Die Überwachung wurde beendet, bevor sie gestartet war</translation>
    </message>
    <message>
        <source>The monitor is already running</source>
        <translation>Die Überwachung läuft bereits</translation>
    </message>
    <message>
        <source>Port A and port B are the same port: %1</source>
        <translation>Port A und Port B sind derselbe Port: %1</translation>
    </message>
    <message>
        <source>The virtual port path must be a full path (starting with / or ~/): &quot;%1&quot;</source>
        <translation>Der Pfad des virtuellen Ports muss ein vollständiger Pfad sein (beginnend mit / oder ~/): „%1“</translation>
    </message>
    <message>
        <source>Can not make a pseudo-terminal: %1</source>
        <translation>Es kann kein Pseudo-Terminal angelegt werden: %1</translation>
    </message>
    <message>
        <source>Can not set up the pseudo-terminal %1: %2</source>
        <translation>Das Pseudo-Terminal %1 kann nicht eingerichtet werden: %2</translation>
    </message>
    <message>
        <source>The virtual port path %1 is in use by another monitor</source>
        <translation>Der Pfad %1 des virtuellen Ports wird von einer anderen Überwachung benutzt</translation>
    </message>
    <message>
        <source>The virtual port path %1 is taken by a file that is not a symbolic link</source>
        <translation>Der Pfad %1 des virtuellen Ports ist von einer Datei belegt, die keine symbolische Verknüpfung ist</translation>
    </message>
    <message>
        <source>The virtual port path %1 is a symbolic link to %2, not one left by an earlier monitor</source>
        <translation>Der Pfad %1 des virtuellen Ports ist eine symbolische Verknüpfung auf %2, keine von einer früheren Überwachung hinterlassene</translation>
    </message>
    <message>
        <source>The virtual port path %1 is a symbolic link to %2, a pseudo-terminal another program still holds open</source>
        <translation>Der Pfad %1 des virtuellen Ports ist eine symbolische Verknüpfung auf %2, ein Pseudo-Terminal, das ein anderes Programm noch geöffnet hält</translation>
    </message>
    <message>
        <source>Can not use the virtual port path %1: %2</source>
        <translation>Der Pfad %1 des virtuellen Ports kann nicht verwendet werden: %2</translation>
    </message>
    <message>
        <source>Can not make the virtual port at %1: %2</source>
        <translation>Der virtuelle Port kann nicht unter %1 angelegt werden: %2</translation>
    </message>
</context>
<context>
    <name>TOpenAtStart</name>
    <message>
        <source>Open This &amp;Link at Start</source>
        <translation>Diese Verbindung beim S&amp;tart öffnen</translation>
    </message>
</context>
<context>
    <name>TPcapngExport</name>
    <message>
        <source>&amp;Wireshark Capture (pcapng)…</source>
        <translation>&amp;Wireshark-Mitschnitt (pcapng)…</translation>
    </message>
    <message>
        <source>Wireshark capture(*.pcapng)</source>
        <translation>Wireshark-Mitschnitt(*.pcapng)</translation>
    </message>
    <message>
        <source>&amp;Frames as Wireshark Capture (pcapng)…</source>
        <translation>&amp;Frames als Wireshark-Mitschnitt (pcapng)…</translation>
    </message>
    <message>
        <source>There are no frames to export: View &gt; Frames shows the frames of a framed link.</source>
        <translation>Es gibt keine Frames zu exportieren: Ansicht &gt; Frames zeigt die Frames einer Verbindung mit Rahmung.</translation>
    </message>
    <message>
        <source>Export the Selection (pcapng)</source>
        <translation>Auswahl exportieren (pcapng)</translation>
    </message>
    <message>
        <source>The selection in the log holds no traffic that is still kept for an export. Clear the selection to export everything.</source>
        <translation>Die Auswahl im Protokoll enthält keinen Datenverkehr, der für einen Export noch aufbewahrt wird. Heben Sie die Auswahl auf, um alles zu exportieren.</translation>
    </message>
    <message>
        <source>Packets exported from the selection: %1</source>
        <translation>Aus der Auswahl exportierte Pakete: %1</translation>
    </message>
</context>
<context>
    <name>TPlotCanvas</name>
    <message>
        <source>Plot</source>
        <translation>Diagramm</translation>
    </message>
    <message>
        <source>Left out, not finite: %1</source>
        <translation>Ausgelassen, nicht endlich: %1</translation>
    </message>
    <message>
        <source>Drag across the plot to zoom into a span of time</source>
        <translation>Über das Diagramm ziehen, um einen Zeitabschnitt zu vergrößern</translation>
    </message>
</context>
<context>
    <name>TPlotCommands</name>
    <message>
        <source>&amp;Plot</source>
        <translation>Diag&amp;ramm</translation>
    </message>
</context>
<context>
    <name>TPortCommands</name>
    <message>
        <source>Port</source>
        <translation>Port</translation>
    </message>
    <message>
        <source>Baud rate</source>
        <translation>Baudrate</translation>
    </message>
    <message>
        <source>Data bits</source>
        <translation>Datenbits</translation>
    </message>
    <message>
        <source>Parity</source>
        <translation>Parität</translation>
    </message>
    <message>
        <source>Stop bits</source>
        <translation>Stoppbits</translation>
    </message>
    <message>
        <source>Flow control</source>
        <translation>Flusssteuerung</translation>
    </message>
    <message>
        <source>%1: %2</source>
        <translation>%1: %2</translation>
    </message>
    <message>
        <source>%1: %2 on port A (%3), %4 on port B (%5)</source>
        <translation>%1: %2 an Port A (%3), %4 an Port B (%5)</translation>
    </message>
    <message>
        <source>%1: %2 on port A (%3); port B is virtual</source>
        <translation>%1: %2 an Port A (%3); Port B ist virtuell</translation>
    </message>
    <message>
        <source>Port: </source>
        <translation>Port: </translation>
    </message>
    <message>
        <source>Baud Rate: </source>
        <translation>Baudrate: </translation>
    </message>
    <message>
        <source>Data Bits: </source>
        <translation>Datenbits: </translation>
    </message>
    <message>
        <source>Parity: </source>
        <translation>Parität: </translation>
    </message>
    <message>
        <source>Stop Bits: </source>
        <translation>Stoppbits: </translation>
    </message>
    <message>
        <source>DTC: </source>
        <translation>Flusssteuerung: </translation>
    </message>
    <message>
        <source>Rec  :</source>
        <translation>RX:</translation>
    </message>
    <message>
        <source>Send :</source>
        <translation>TX:</translation>
    </message>
    <message>
        <source>Connecting to %1...</source>
        <translation>Verbinde mit %1...</translation>
    </message>
    <message>
        <source>Close Port stops connecting</source>
        <translation>Port schließen bricht das Verbinden ab</translation>
    </message>
    <message>
        <source>Error Port Setting: %1</source>
        <translation>Fehlerhafte Porteinstellung: %1</translation>
    </message>
    <message>
        <source>Can not Open %1</source>
        <translation>%1 kann nicht geöffnet werden</translation>
    </message>
    <message>
        <source>: the port is open in window %1</source>
        <translation>: der Port ist in Fenster %1 geöffnet</translation>
    </message>
    <message>
        <source>Port: lost</source>
        <translation>Port: getrennt</translation>
    </message>
    <message>
        <source>The port was lost: %1</source>
        <translation>Die Verbindung zum Port ist abgebrochen: %1</translation>
    </message>
    <message>
        <source>server&apos;s</source>
        <translation>Server</translation>
    </message>
    <message>
        <source>A raw TCP port carries data only: the line settings are the server&apos;s</source>
        <translation>Ein reiner TCP-Port überträgt nur Daten: die Leitungseinstellungen bestimmt der Server</translation>
    </message>
    <message>
        <source>Opening %1...</source>
        <translation>Öffne %1...</translation>
    </message>
    <message>
        <source>Close Port stops opening</source>
        <translation>Port schließen bricht das Öffnen ab</translation>
    </message>
</context>
<context>
    <name>TReceiveCounters</name>
    <message>
        <source>Received: %1 bytes in %2 blocks</source>
        <translation>Empfangen: %1 Bytes in %2 Blöcken</translation>
    </message>
    <message>
        <source>Rec:%1/%2</source>
        <translation>RX:%1/%2</translation>
    </message>
    <message>
        <source>Errors:%1</source>
        <translation>Fehler:%1</translation>
    </message>
    <message>
        <source>Paused:%1</source>
        <translation>Angehalten:%1</translation>
    </message>
    <message>
        <source>%1 overrun</source>
        <translation>%1 Überlauf</translation>
    </message>
    <message>
        <source>%1 framing</source>
        <translation>%1 Rahmenfehler</translation>
    </message>
    <message>
        <source>%1 parity</source>
        <translation>%1 Paritätsfehler</translation>
    </message>
    <message>
        <source>%1 buffer overflow</source>
        <translation>%1 Pufferüberlauf</translation>
    </message>
    <message>
        <source>Line errors: %1</source>
        <translation>Leitungsfehler: %1</translation>
    </message>
    <message>
        <source>, </source>
        <translation>, </translation>
    </message>
    <message>
        <source>Reading paused %1 times: the window fell %2 MiB behind the port</source>
        <translation>Lesen %1-mal angehalten: Das Fenster lag %2 MiB hinter dem Port zurück</translation>
    </message>
    <message>
        <source>Reading paused: the window fell %1 MiB behind the port</source>
        <translation>Lesen angehalten: Das Fenster lag %1 MiB hinter dem Port zurück</translation>
    </message>
</context>
<context>
    <name>TReceiveFileCommands</name>
    <message>
        <source>&amp;Receive File...</source>
        <translation>Datei &amp;empfangen...</translation>
    </message>
    <message>
        <source>Start &amp;ZMODEM transfers when the device asks</source>
        <translation>&amp;ZMODEM-Übertragungen starten, wenn das Gerät sie anfordert</translation>
    </message>
    <message>
        <source>The port is not open; nothing is received.</source>
        <translation>Der Port ist nicht geöffnet; es wird nichts empfangen.</translation>
    </message>
    <message>
        <source>This build cannot receive files by %1.</source>
        <translation>Diese Version kann keine Dateien per %1 empfangen.</translation>
    </message>
    <message>
        <source>The port is not taking data; nothing is received.</source>
        <translation>Der Port nimmt keine Daten an; es wird nichts empfangen.</translation>
    </message>
    <message>
        <source>The device on %1 starts sending files by ZMODEM, into %2. Their names and sizes show as they come.</source>
        <translation>Das Gerät an %1 beginnt, Dateien per ZMODEM nach %2 zu senden. Ihre Namen und Größen erscheinen, sobald sie kommen.</translation>
    </message>
</context>
<context>
    <name>TReconnect</name>
    <message>
        <source>Reconnect &amp;Automatically</source>
        <translation>&amp;Automatisch neu verbinden</translation>
    </message>
    <message>
        <source>Port: lost</source>
        <translation>Port: getrennt</translation>
    </message>
    <message>
        <source>The port was lost: %1</source>
        <translation>Die Verbindung zum Port ist abgebrochen: %1</translation>
    </message>
    <message>
        <source>It is reopened when the server answers again.</source>
        <translation>Er wird wieder geöffnet, sobald der Server wieder antwortet.</translation>
    </message>
    <message>
        <source>It is reopened when %1 is back.</source>
        <translation>Er wird wieder geöffnet, sobald %1 wieder da ist.</translation>
    </message>
    <message>
        <source>It is reopened when %1 is back with the same device (%2).</source>
        <translation>Er wird wieder geöffnet, sobald %1 mit demselben Gerät (%2) wieder da ist.</translation>
    </message>
    <message>
        <source>The last try: %1</source>
        <translation>Der letzte Versuch: %1</translation>
    </message>
    <message>
        <source>The device is back but did not open: %1</source>
        <translation>Das Gerät ist wieder da, ließ sich aber nicht öffnen: %1</translation>
    </message>
    <message>
        <source>Waiting for %1 to come back</source>
        <translation>Warte auf die Rückkehr von %1</translation>
    </message>
    <message>
        <source>The device is back but could not be opened. Kestrum tries again every 5 seconds; Close Port stops waiting.</source>
        <translation>Das Gerät ist wieder da, ließ sich aber nicht öffnen. Kestrum versucht es alle 5 Sekunden erneut; Port schließen beendet das Warten.</translation>
    </message>
</context>
<context>
    <name>TRecvChecksum</name>
    <message>
        <source>Check Chec&amp;ksum…</source>
        <translation>Prüfsumme prü&amp;fen…</translation>
    </message>
    <message>
        <source>Checksum counts</source>
        <translation>Prüfsummenzähler</translation>
    </message>
    <message>
        <source>Checksum: %1 ok, %2 bad</source>
        <translation>Prüfsumme: %1 richtig, %2 falsch</translation>
    </message>
</context>
<context>
    <name>TReplayCommands</name>
    <message>
        <source>Re&amp;play Capture…</source>
        <translation>Mitschnitt &amp;wiedergeben…</translation>
    </message>
    <message>
        <source>Reading %1…</source>
        <translation>%1 wird gelesen…</translation>
    </message>
    <message>
        <source>Cannot replay %1: %2</source>
        <translation>%1 kann nicht wiedergegeben werden: %2</translation>
    </message>
    <message>
        <source>Played all %1 frames</source>
        <translation>Alle %1 Frames wiedergegeben</translation>
    </message>
    <message>
        <source>Answered %1 requests, %2 without a recorded answer</source>
        <translation>%1 Anfragen beantwortet, %2 ohne aufgezeichnete Antwort</translation>
    </message>
    <message>
        <source>Played %1 of %2 frames</source>
        <translation>%1 von %2 Frames wiedergegeben</translation>
    </message>
    <message>
        <source>Virtual port %1: %2</source>
        <translation>Virtueller Port %1: %2</translation>
    </message>
</context>
<context>
    <name>TScriptCommands</name>
    <message>
        <source>Run &amp;Script...</source>
        <translation>S&amp;kript ausführen...</translation>
    </message>
    <message>
        <source>Recen&amp;t Scripts</source>
        <translation>Zuletzt &amp;verwendete Skripte</translation>
    </message>
    <message>
        <source>Sto&amp;p Script</source>
        <translation>Skri&amp;pt beenden</translation>
    </message>
    <message>
        <source>Run Script</source>
        <translation>Skript ausführen</translation>
    </message>
    <message>
        <source>Lua scripts (*.lua);;All files (*)</source>
        <translation>Lua-Skripte (*.lua);;Alle Dateien (*)</translation>
    </message>
    <message>
        <source>The port is not open; the script was not started.</source>
        <translation>Der Port ist nicht geöffnet; das Skript wurde nicht gestartet.</translation>
    </message>
</context>
<context>
    <name>TSendChecksum</name>
    <message>
        <source>Checksum</source>
        <translation>Prüfsumme</translation>
    </message>
    <message>
        <source>Checksum of the typed bytes added to instant sends</source>
        <translation>Prüfsumme der getippten Bytes, an sofort Gesendetes angehängt</translation>
    </message>
    <message>
        <source>Custom CRC...</source>
        <translation>Eigene CRC...</translation>
    </message>
    <message>
        <source>Checksum place</source>
        <translation>Position der Prüfsumme</translation>
    </message>
    <message>
        <source>Where the checksum goes when a line ending is added</source>
        <translation>Wohin die Prüfsumme kommt, wenn ein Zeilenende angehängt wird</translation>
    </message>
    <message>
        <source>After line ending</source>
        <translation>Nach dem Zeilenende</translation>
    </message>
    <message>
        <source>Before line ending</source>
        <translation>Vor dem Zeilenende</translation>
    </message>
    <message>
        <source>Checksum:</source>
        <translation>Prüfsumme:</translation>
    </message>
    <message>
        <source>Append Checksum</source>
        <translation>Prüfsumme anhängen</translation>
    </message>
    <message>
        <source>, low byte first</source>
        <translation>, niederwertiges Byte zuerst</translation>
    </message>
    <message>
        <source>, high byte first</source>
        <translation>, höherwertiges Byte zuerst</translation>
    </message>
    <message>
        <source>None</source>
        <translation>Keine</translation>
    </message>
</context>
<context>
    <name>TSendFileCommands</name>
    <message>
        <source>Send &amp;File...</source>
        <translation>Datei sen&amp;den...</translation>
    </message>
    <message>
        <source>File transfer progress</source>
        <translation>Fortschritt der Dateiübertragung</translation>
    </message>
    <message>
        <source>Cancel the file transfer</source>
        <translation>Dateiübertragung abbrechen</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>The port is not open; the file was not sent.</source>
        <translation>Der Port ist nicht geöffnet; die Datei wurde nicht gesendet.</translation>
    </message>
    <message>
        <source>The port is not taking data; the file was not sent.</source>
        <translation>Der Port nimmt keine Daten an; die Datei wurde nicht gesendet.</translation>
    </message>
    <message>
        <source>%1: %2 of %3 bytes, %4 bytes/s</source>
        <translation>%1: %2 von %3 Bytes, %4 Bytes/s</translation>
    </message>
    <message>
        <source>file receive: %1</source>
        <translation>Datei empfangen: %1</translation>
    </message>
    <message>
        <source>file send: %1</source>
        <translation>Datei senden: %1</translation>
    </message>
    <message>
        <source>%1 (the port was lost)</source>
        <translation>%1 (die Verbindung zum Port ist abgebrochen)</translation>
    </message>
    <message>
        <source>%1: %2</source>
        <translation>%1: %2</translation>
    </message>
    <message>
        <source>%1 (the receiver did not acknowledge the end)</source>
        <translation>%1 (der Empfänger hat das Ende nicht bestätigt)</translation>
    </message>
</context>
<context>
    <name>TSendMenus</name>
    <message>
        <source>Line &amp;Ending</source>
        <translation>&amp;Zeilenende</translation>
    </message>
    <message>
        <source>&amp;None</source>
        <translation>&amp;Keines</translation>
    </message>
    <message>
        <source>&amp;CR</source>
        <translation>&amp;CR</translation>
    </message>
    <message>
        <source>&amp;LF</source>
        <translation>&amp;LF</translation>
    </message>
    <message>
        <source>CR L&amp;F</source>
        <translation>CR L&amp;F</translation>
    </message>
    <message>
        <source>Send &amp;Format</source>
        <translation>Sendefor&amp;mat</translation>
    </message>
    <message>
        <source>&amp;String</source>
        <translation>&amp;Text</translation>
    </message>
    <message>
        <source>&amp;Hex</source>
        <translation>&amp;Hex</translation>
    </message>
    <message>
        <source>&amp;Decimal</source>
        <translation>&amp;Dezimal</translation>
    </message>
    <message>
        <source>String and S&amp;ymbol</source>
        <translation>Text mit S&amp;ymbolen</translation>
    </message>
</context>
<context>
    <name>TSendReports</name>
    <message>
        <source>waiting for the line (Close Port abandons the send)</source>
        <translation>wartet auf die Leitung (Port schließen bricht das Senden ab)</translation>
    </message>
    <message>
        <source>the port was lost; sends are dropped until a port is open</source>
        <translation>die Verbindung zum Port ist abgebrochen; Gesendetes wird verworfen, bis ein Port geöffnet ist</translation>
    </message>
    <message>
        <source>%1 of %2 bytes sent</source>
        <translation>%1 von %2 Bytes gesendet</translation>
    </message>
    <message>
        <source>send abandoned, %1</source>
        <translation>Senden abgebrochen, %1</translation>
    </message>
    <message>
        <source>the port was lost</source>
        <translation>die Verbindung zum Port ist abgebrochen</translation>
    </message>
    <message>
        <source>send failed, %1</source>
        <translation>Senden fehlgeschlagen, %1</translation>
    </message>
    <message>
        <source>Send failed, %1</source>
        <translation>Senden fehlgeschlagen, %1</translation>
    </message>
    <message>
        <source>auto send: %1</source>
        <translation>automatisches Senden: %1</translation>
    </message>
</context>
<context>
    <name>TStatusArea</name>
    <message>
        <source>Sent: %1 bytes in %2 blocks</source>
        <translation>Gesendet: %1 Bytes in %2 Blöcken</translation>
    </message>
    <message>
        <source>Send:%1/%2</source>
        <translation>TX:%1/%2</translation>
    </message>
</context>
<context>
    <name>TThemeCommands</name>
    <message>
        <source>Th&amp;eme</source>
        <translation>Des&amp;ign</translation>
    </message>
    <message>
        <source>Theme</source>
        <translation>Design</translation>
    </message>
    <message>
        <source>&amp;System</source>
        <translation>&amp;System</translation>
    </message>
    <message>
        <source>&amp;Light</source>
        <translation>&amp;Hell</translation>
    </message>
    <message>
        <source>&amp;Dark</source>
        <translation>&amp;Dunkel</translation>
    </message>
</context>
<context>
    <name>TTransferAskBar</name>
    <message>
        <source>Transfer started by the device</source>
        <translation>Vom Gerät begonnene Übertragung</translation>
    </message>
    <message>
        <source>What the device sends</source>
        <translation>Was das Gerät sendet</translation>
    </message>
    <message>
        <source>&amp;Accept</source>
        <translation>&amp;Annehmen</translation>
    </message>
    <message>
        <source>Accept the transfer</source>
        <translation>Übertragung annehmen</translation>
    </message>
    <message>
        <source>Re&amp;fuse</source>
        <translation>A&amp;blehnen</translation>
    </message>
    <message>
        <source>Refuse the transfer</source>
        <translation>Übertragung ablehnen</translation>
    </message>
    <message>
        <source>Accept without asking on this link</source>
        <translation>Auf dieser Verbindung ohne Nachfrage annehmen</translation>
    </message>
</context>
<context>
    <name>TWindowManager</name>
    <message>
        <source>New Window</source>
        <translation>Neues Fenster</translation>
    </message>
</context>
<context>
    <name>TZoomCommands</name>
    <message>
        <source>&amp;Zoom</source>
        <translation>Z&amp;oom</translation>
    </message>
    <message>
        <source>Zoom</source>
        <translation>Zoom</translation>
    </message>
    <message>
        <source>Zoom &amp;In</source>
        <translation>&amp;Vergrößern</translation>
    </message>
    <message>
        <source>Zoom &amp;Out</source>
        <translation>Ver&amp;kleinern</translation>
    </message>
    <message>
        <source>&amp;Reset Zoom</source>
        <translation>&amp;Zoom zurücksetzen</translation>
    </message>
</context>
<context>
    <name>TfrmAbout</name>
    <message>
        <source>About</source>
        <translation>Über</translation>
    </message>
    <message>
        <source>&amp;Ok</source>
        <translation>&amp;OK</translation>
    </message>
</context>
<context>
    <name>TfrmAscTable</name>
    <message>
        <source>ASCII Table</source>
        <translation>ASCII-Tabelle</translation>
    </message>
    <message>
        <source>No</source>
        <translation>Nr.</translation>
    </message>
    <message>
        <source>Hex</source>
        <translation>Hex</translation>
    </message>
    <message>
        <source>ASCII</source>
        <translation>ASCII</translation>
    </message>
    <message>
        <source>Symbol</source>
        <translation>Symbol</translation>
    </message>
    <message>
        <source>&amp;Edit Symbol</source>
        <translation>Symbol &amp;bearbeiten</translation>
    </message>
    <message>
        <source>&amp;Load ...</source>
        <translation>&amp;Laden ...</translation>
    </message>
    <message>
        <source>Save &amp;As...</source>
        <translation>Speichern &amp;unter...</translation>
    </message>
    <message>
        <source>&amp;Insert</source>
        <translation>&amp;Einfügen</translation>
    </message>
    <message>
        <source>&amp;OK</source>
        <translation>&amp;OK</translation>
    </message>
    <message>
        <source>&amp;Cancel</source>
        <translation>Abbre&amp;chen</translation>
    </message>
    <message>
        <source>Symbol File (*.sym)|*.sym|Text File(*.txt)|*.txt|All Files(*.*)|*.*</source>
        <translation>Symboldatei (*.sym)|*.sym|Textdatei(*.txt)|*.txt|Alle Dateien(*.*)|*.*</translation>
    </message>
</context>
<context>
    <name>TfrmAutoSendSetting</name>
    <message>
        <source>Auto Send Rule Setting</source>
        <translation>Regeln für automatisches Senden</translation>
    </message>
    <message>
        <source>Priority</source>
        <translation>Priorität</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>Type</source>
        <translation>Art</translation>
    </message>
    <message>
        <source>Comment</source>
        <translation>Kommentar</translation>
    </message>
    <message>
        <source>&amp;New</source>
        <translation>&amp;Neu</translation>
    </message>
    <message>
        <source>&amp;Edit</source>
        <translation>&amp;Bearbeiten</translation>
    </message>
    <message>
        <source>&amp;Delete</source>
        <translation>&amp;Löschen</translation>
    </message>
    <message>
        <source>Delete &amp;All</source>
        <translation>&amp;Alle löschen</translation>
    </message>
    <message>
        <source>&amp;Up</source>
        <translation>Nach ob&amp;en</translation>
    </message>
    <message>
        <source>Do&amp;wn</source>
        <translation>Nach &amp;unten</translation>
    </message>
    <message>
        <source>&amp;Load</source>
        <translation>La&amp;den</translation>
    </message>
    <message>
        <source>&amp;Save</source>
        <translation>&amp;Speichern</translation>
    </message>
    <message>
        <source>&amp;OK</source>
        <translation>&amp;OK</translation>
    </message>
    <message>
        <source>&amp;Cancel</source>
        <translation>Abbre&amp;chen</translation>
    </message>
    <message>
        <source>Auto Send Setting (*.ass)|*.ass|Text File(*.txt)|*.txt|All Files(*.*)|*.*</source>
        <translation>Einstellung für automatisches Senden (*.ass)|*.ass|Textdatei(*.txt)|*.txt|Alle Dateien(*.*)|*.*</translation>
    </message>
</context>
<context>
    <name>TfrmCapture</name>
    <message>
        <source>Capture to File</source>
        <translation>In Datei mitschneiden</translation>
    </message>
    <message>
        <source>Capture file</source>
        <translation>Mitschnittdatei</translation>
    </message>
    <message>
        <source>The file name may hold {link}, {port}, {window}, {date}, {time} and {seq}</source>
        <translation>Der Dateiname darf {link}, {port}, {window}, {date}, {time} und {seq} enthalten</translation>
    </message>
    <message>
        <source>&amp;Browse...</source>
        <translation>&amp;Durchsuchen...</translation>
    </message>
    <message>
        <source>Browse</source>
        <translation>Durchsuchen</translation>
    </message>
    <message>
        <source>&amp;Lines as shown in the log</source>
        <translation>&amp;Zeilen wie im Protokoll angezeigt</translation>
    </message>
    <message>
        <source>&amp;Raw received bytes</source>
        <translation>&amp;Rohe empfangene Bytes</translation>
    </message>
    <message>
        <source>In the file name: {link} {port} {window} {date} {time} {seq}</source>
        <translation>Im Dateinamen: {link} {port} {window} {date} {time} {seq}</translation>
    </message>
    <message>
        <source>&amp;New file:</source>
        <translation>&amp;Neue Datei:</translation>
    </message>
    <message>
        <source>New file</source>
        <translation>Neue Datei</translation>
    </message>
    <message>
        <source>Never</source>
        <translation>Nie</translation>
    </message>
    <message>
        <source>Each day</source>
        <translation>Jeden Tag</translation>
    </message>
    <message>
        <source>At a size of</source>
        <translation>Ab einer Größe von</translation>
    </message>
    <message>
        <source>At each connect</source>
        <translation>Bei jedem Verbinden</translation>
    </message>
    <message>
        <source>New file size in MB</source>
        <translation>Größe für neue Datei in MB</translation>
    </message>
    <message>
        <source>Com&amp;press finished files</source>
        <translation>Fertige Dateien &amp;komprimieren</translation>
    </message>
    <message>
        <source>Compress finished files</source>
        <translation>Fertige Dateien komprimieren</translation>
    </message>
    <message>
        <source>&amp;Keep at most</source>
        <translation>&amp;Höchstens behalten</translation>
    </message>
    <message>
        <source>Keep at most</source>
        <translation>Höchstens behalten</translation>
    </message>
    <message>
        <source>How many to keep</source>
        <translation>Wie viele behalten</translation>
    </message>
    <message>
        <source>Keep files or MB</source>
        <translation>Dateien oder MB behalten</translation>
    </message>
    <message>
        <source>files</source>
        <translation>Dateien</translation>
    </message>
    <message>
        <source>Start &amp;with this link</source>
        <translation>Mit dieser Verbindung &amp;starten</translation>
    </message>
    <message>
        <source>Start &amp;with this link (%1)</source>
        <translation>Mit dieser Verbindung &amp;starten (%1)</translation>
    </message>
    <message>
        <source>Start with this link</source>
        <translation>Mit dieser Verbindung starten</translation>
    </message>
    <message>
        <source>Cannot create file %1: %2</source>
        <translation>Datei %1 kann nicht angelegt werden: %2</translation>
    </message>
    <message>
        <source>Wireshark capture (pc&amp;apng), both directions</source>
        <translation>Wireshark-Mitschnitt (pc&amp;apng), beide Richtungen</translation>
    </message>
    <message>
        <source>Log file(*.log);;Text file(*.txt);;Wireshark capture(*.pcapng);;All files(*)</source>
        <translation>Protokolldatei(*.log);;Textdatei(*.txt);;Wireshark-Mitschnitt(*.pcapng);;Alle Dateien(*)</translation>
    </message>
</context>
<context>
    <name>TfrmCheckChecksum</name>
    <message>
        <source>Check Checksum</source>
        <translation>Prüfsumme prüfen</translation>
    </message>
    <message>
        <source>Check received checksums</source>
        <translation>Empfangene Prüfsummen prüfen</translation>
    </message>
    <message>
        <source>Checksum</source>
        <translation>Prüfsumme</translation>
    </message>
    <message>
        <source>The checksum ends</source>
        <translation>Die Prüfsumme steht am Ende</translation>
    </message>
    <message>
        <source>Each &amp;line</source>
        <translation>Jeder &amp;Zeile</translation>
    </message>
    <message>
        <source>Choose the checksum the received frames carry.</source>
        <translation>Wählen Sie die Prüfsumme, die die empfangenen Rahmen tragen.</translation>
    </message>
    <message>
        <source>Check &amp;received checksums</source>
        <translation>Empfangene Prüfsummen p&amp;rüfen</translation>
    </message>
    <message>
        <source>&amp;Each received block</source>
        <translation>Jedes &amp;empfangenen Blocks</translation>
    </message>
</context>
<context>
    <name>TfrmChecksumSetting</name>
    <message>
        <source>Checksum</source>
        <translation>Prüfsumme</translation>
    </message>
</context>
<context>
    <name>TfrmConsoleSettings</name>
    <message>
        <source>Console Settings</source>
        <translation>Konsoleneinstellungen</translation>
    </message>
    <message>
        <source>Echo typed keys locally</source>
        <translation>Getippte Tasten lokal anzeigen</translation>
    </message>
    <message>
        <source>Enter sends</source>
        <translation>Eingabetaste sendet</translation>
    </message>
    <message>
        <source>Backspace sends</source>
        <translation>Rücktaste sendet</translation>
    </message>
    <message>
        <source>Scrollback lines</source>
        <translation>Zeilen im Verlauf</translation>
    </message>
    <message>
        <source> lines</source>
        <translation> Zeilen</translation>
    </message>
    <message>
        <source>Echo t&amp;yped keys locally</source>
        <translation>Getippte Tasten &amp;lokal anzeigen</translation>
    </message>
    <message>
        <source>Pause after each pasted character</source>
        <translation>Pause nach jedem eingefügten Zeichen</translation>
    </message>
    <message>
        <source> ms</source>
        <translation> ms</translation>
    </message>
    <message>
        <source>Pause after each pasted line</source>
        <translation>Pause nach jeder eingefügten Zeile</translation>
    </message>
    <message>
        <source>&amp;Enter sends:</source>
        <translation>&amp;Eingabetaste sendet:</translation>
    </message>
    <message>
        <source>&amp;Backspace sends:</source>
        <translation>&amp;Rücktaste sendet:</translation>
    </message>
    <message>
        <source>&amp;Scrollback:</source>
        <translation>&amp;Verlauf:</translation>
    </message>
    <message>
        <source>Paste: pause after each c&amp;haracter:</source>
        <translation>Einfügen: Pause nach jedem Zeic&amp;hen:</translation>
    </message>
    <message>
        <source>Paste: pause after each &amp;line:</source>
        <translation>Einfügen: Pause nach jeder &amp;Zeile:</translation>
    </message>
    <message>
        <source>Received text encoding</source>
        <translation>Kodierung des empfangenen Texts</translation>
    </message>
    <message>
        <source>Received te&amp;xt:</source>
        <translation>Empfangener &amp;Text:</translation>
    </message>
</context>
<context>
    <name>TfrmDataEdit</name>
    <message>
        <source>Data Edit</source>
        <translation>Daten bearbeiten</translation>
    </message>
    <message>
        <source>Data</source>
        <translation>Daten</translation>
    </message>
    <message>
        <source>Format</source>
        <translation>Format</translation>
    </message>
    <message>
        <source>&amp;ASCII</source>
        <translation>&amp;ASCII</translation>
    </message>
    <message>
        <source>&amp;Hex</source>
        <translation>&amp;Hex</translation>
    </message>
    <message>
        <source>&amp;Dec</source>
        <translation>&amp;Dez</translation>
    </message>
    <message>
        <source>ASCII &amp;&amp; &amp;Symbol</source>
        <translation>ASCII &amp;&amp; &amp;Symbol</translation>
    </message>
    <message>
        <source>&amp;Insert Symbol</source>
        <translation>Symbol &amp;einfügen</translation>
    </message>
    <message>
        <source>Append Chec&amp;ksum</source>
        <translation>&amp;Prüfsumme anhängen</translation>
    </message>
    <message>
        <source>Append Checksum</source>
        <translation>Prüfsumme anhängen</translation>
    </message>
    <message>
        <source>&amp;OK</source>
        <translation>&amp;OK</translation>
    </message>
    <message>
        <source>&amp;Cancel</source>
        <translation>Abbre&amp;chen</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>Wrong Name. There are should no &quot; in name</source>
        <translation>Falscher Name. Der Name darf kein &quot; enthalten</translation>
    </message>
    <message>
        <source>Tab moves on; Ctrl+I types a TAB</source>
        <translation>Tab geht weiter; Strg+I schreibt ein TAB</translation>
    </message>
    <message>
        <source>Wrong data, please check</source>
        <translation>Falsche Daten, bitte prüfen</translation>
    </message>
</context>
<context>
    <name>TfrmEditSymbol</name>
    <message>
        <source>Edit Symbol</source>
        <translation>Symbol bearbeiten</translation>
    </message>
    <message>
        <source>Use Symbol</source>
        <translation>Symbol verwenden</translation>
    </message>
    <message>
        <source>Symbol</source>
        <translation>Symbol</translation>
    </message>
    <message>
        <source>Show Nothing</source>
        <translation>Nichts anzeigen</translation>
    </message>
    <message>
        <source>Show As Symbol String</source>
        <translation>Als Symboltext anzeigen</translation>
    </message>
    <message>
        <source>ASCII Char:</source>
        <translation>ASCII-Zeichen:</translation>
    </message>
    <message>
        <source>ASCII Code(Hex):</source>
        <translation>ASCII-Code (hex):</translation>
    </message>
</context>
<context>
    <name>TfrmEventEdit</name>
    <message>
        <source>Event Edit</source>
        <translation>Ereignis bearbeiten</translation>
    </message>
    <message>
        <source>On &amp;Receive</source>
        <translation>Bei &amp;Empfang</translation>
    </message>
    <message>
        <source>&amp;Fix Length</source>
        <translation>&amp;Feste Länge</translation>
    </message>
    <message>
        <source>&amp;Spec Data</source>
        <translation>Be&amp;stimmte Daten</translation>
    </message>
    <message>
        <source>Edit</source>
        <translation>Bearbeiten</translation>
    </message>
    <message>
        <source>On &amp;Time (hh:mm:ss.sss)</source>
        <translation>Zu einer &amp;Zeit (hh:mm:ss.sss)</translation>
    </message>
    <message>
        <source>AbsoluteTime</source>
        <translation>Uhrzeit</translation>
    </message>
    <message>
        <source>From Start</source>
        <translation>Ab Start</translation>
    </message>
    <message>
        <source>From Last Send Begin</source>
        <translation>Ab Beginn des letzten Sendens</translation>
    </message>
    <message>
        <source>From Last Send End</source>
        <translation>Ab Ende des letzten Sendens</translation>
    </message>
    <message>
        <source>From Last Receive Begin</source>
        <translation>Ab Beginn des letzten Empfangs</translation>
    </message>
    <message>
        <source>From Last Receive End</source>
        <translation>Ab Ende des letzten Empfangs</translation>
    </message>
    <message>
        <source>Time</source>
        <translation>Zeit</translation>
    </message>
    <message>
        <source>Type</source>
        <translation>Art</translation>
    </message>
    <message>
        <source>On &amp;Action</source>
        <translation>Bei &amp;Aktion</translation>
    </message>
    <message>
        <source>Begin</source>
        <translation>Beginn</translation>
    </message>
    <message>
        <source>Pause</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>Resume</source>
        <translation>Fortsetzen</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>Stopp</translation>
    </message>
    <message>
        <source>Type %1</source>
        <translation>Art %1</translation>
    </message>
    <message>
        <source>&apos;%1&apos; is not a valid time of day (hh:mm:ss.sss)</source>
        <translation>„%1“ ist keine gültige Uhrzeit (hh:mm:ss.sss)</translation>
    </message>
    <message>
        <source>A&amp;nything</source>
        <translation>&amp;Beliebige Daten</translation>
    </message>
</context>
<context>
    <name>TfrmFramingProfiles</name>
    <message>
        <source>Framing Profiles</source>
        <translation>Rahmenprofile</translation>
    </message>
    <message>
        <source>Framing profiles</source>
        <translation>Rahmenprofile</translation>
    </message>
    <message>
        <source>Profiles</source>
        <translation>Profile</translation>
    </message>
    <message>
        <source>&amp;New</source>
        <translation>&amp;Neu</translation>
    </message>
    <message>
        <source>Co&amp;py</source>
        <translation>&amp;Kopieren</translation>
    </message>
    <message>
        <source>&amp;Delete</source>
        <translation>&amp;Löschen</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>N&amp;ame:</source>
        <translation>N&amp;ame:</translation>
    </message>
    <message>
        <source>Mode</source>
        <translation>Art</translation>
    </message>
    <message>
        <source>Silence</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>Delimiter</source>
        <translation>Trennzeichen</translation>
    </message>
    <message>
        <source>Length field</source>
        <translation>Längenfeld</translation>
    </message>
    <message>
        <source>Fixed length</source>
        <translation>Feste Länge</translation>
    </message>
    <message>
        <source>COBS</source>
        <translation>COBS</translation>
    </message>
    <message>
        <source>SLIP</source>
        <translation>SLIP</translation>
    </message>
    <message>
        <source>&amp;Mode:</source>
        <translation>&amp;Art:</translation>
    </message>
    <message>
        <source>Gap in character times</source>
        <translation>Pause in Zeichenzeiten</translation>
    </message>
    <message>
        <source>Floor in milliseconds</source>
        <translation>Untergrenze in Millisekunden</translation>
    </message>
    <message>
        <source>Automatic</source>
        <translation>Automatisch</translation>
    </message>
    <message>
        <source>No gap shorter than this is seen. Automatic: the latency timer of a USB adapter; on a network port, none.</source>
        <translation>Kürzere Pausen sind nicht zu sehen. Automatisch: der Latenz-Timer eines USB-Adapters; an einem Netzwerkport keine.</translation>
    </message>
    <message>
        <source>&amp;Gap (characters):</source>
        <translation>&amp;Pause (Zeichen):</translation>
    </message>
    <message>
        <source>&amp;Floor (ms):</source>
        <translation>&amp;Untergrenze (ms):</translation>
    </message>
    <message>
        <source>Delimiters</source>
        <translation>Trennzeichen</translation>
    </message>
    <message>
        <source>End only</source>
        <translation>Nur Ende</translation>
    </message>
    <message>
        <source>Start and end</source>
        <translation>Anfang und Ende</translation>
    </message>
    <message>
        <source>Start only</source>
        <translation>Nur Anfang</translation>
    </message>
    <message>
        <source>Delimiters written as</source>
        <translation>Trennzeichen geschrieben als</translation>
    </message>
    <message>
        <source>Hex</source>
        <translation>Hex</translation>
    </message>
    <message>
        <source>Text</source>
        <translation>Text</translation>
    </message>
    <message>
        <source>Start delimiter</source>
        <translation>Anfangszeichen</translation>
    </message>
    <message>
        <source>End delimiter</source>
        <translation>Endzeichen</translation>
    </message>
    <message>
        <source>&amp;Keep the delimiters in the frame</source>
        <translation>Trennzeichen im Rahmen &amp;behalten</translation>
    </message>
    <message>
        <source>Keep the delimiters in the frame</source>
        <translation>Trennzeichen im Rahmen behalten</translation>
    </message>
    <message>
        <source>De&amp;limiters:</source>
        <translation>&amp;Trennzeichen:</translation>
    </message>
    <message>
        <source>&amp;Written as:</source>
        <translation>&amp;Geschrieben als:</translation>
    </message>
    <message>
        <source>&amp;Start:</source>
        <translation>Anfan&amp;g:</translation>
    </message>
    <message>
        <source>&amp;End:</source>
        <translation>&amp;Ende:</translation>
    </message>
    <message>
        <source>Field offset</source>
        <translation>Position des Feldes</translation>
    </message>
    <message>
        <source>Field size</source>
        <translation>Größe des Feldes</translation>
    </message>
    <message>
        <source>Byte order</source>
        <translation>Bytereihenfolge</translation>
    </message>
    <message>
        <source>Big endian</source>
        <translation>Höherwertiges Byte zuerst</translation>
    </message>
    <message>
        <source>Little endian</source>
        <translation>Niederwertiges Byte zuerst</translation>
    </message>
    <message>
        <source>Added to the value</source>
        <translation>Zum Wert addiert</translation>
    </message>
    <message>
        <source>What the value counts</source>
        <translation>Was der Wert zählt</translation>
    </message>
    <message>
        <source>The whole frame</source>
        <translation>Den ganzen Rahmen</translation>
    </message>
    <message>
        <source>The bytes after the field</source>
        <translation>Die Bytes nach dem Feld</translation>
    </message>
    <message>
        <source>From the field on</source>
        <translation>Ab dem Feld</translation>
    </message>
    <message>
        <source>O&amp;ffset:</source>
        <translation>&amp;Position:</translation>
    </message>
    <message>
        <source>Si&amp;ze (bytes):</source>
        <translation>&amp;Größe (Bytes):</translation>
    </message>
    <message>
        <source>&amp;Byte order:</source>
        <translation>&amp;Bytereihenfolge:</translation>
    </message>
    <message>
        <source>Added to the va&amp;lue:</source>
        <translation>Zum &amp;Wert addiert:</translation>
    </message>
    <message>
        <source>Count&amp;s:</source>
        <translation>&amp;Zählt:</translation>
    </message>
    <message>
        <source>Frame length</source>
        <translation>Rahmenlänge</translation>
    </message>
    <message>
        <source>&amp;Length (bytes):</source>
        <translation>&amp;Länge (Bytes):</translation>
    </message>
    <message>
        <source>Check</source>
        <translation>Prüfung</translation>
    </message>
    <message>
        <source>None</source>
        <translation>Keine</translation>
    </message>
    <message>
        <source>Bytes at the start not checked</source>
        <translation>Ungeprüfte Bytes am Anfang</translation>
    </message>
    <message>
        <source>Bytes after the check value</source>
        <translation>Bytes nach dem Prüfwert</translation>
    </message>
    <message>
        <source>C&amp;heck:</source>
        <translation>P&amp;rüfung:</translation>
    </message>
    <message>
        <source>Not checked at the s&amp;tart:</source>
        <translation>Am Anfang ungeprü&amp;ft:</translation>
    </message>
    <message>
        <source>After the check &amp;value:</source>
        <translation>Nach dem Prüf&amp;wert:</translation>
    </message>
    <message>
        <source>Maximum frame length</source>
        <translation>Größte Rahmenlänge</translation>
    </message>
    <message>
        <source>Time-out in milliseconds</source>
        <translation>Zeitüberschreitung in Millisekunden</translation>
    </message>
    <message>
        <source>Ma&amp;ximum length:</source>
        <translation>Größte Lä&amp;nge:</translation>
    </message>
    <message>
        <source>T&amp;ime-out (ms):</source>
        <translation>Zeitüberschre&amp;itung (ms):</translation>
    </message>
    <message>
        <source>&amp;Use for link:</source>
        <translation>Für &amp;Verbindung verwenden:</translation>
    </message>
    <message>
        <source>Use for link</source>
        <translation>Für Verbindung verwenden</translation>
    </message>
    <message>
        <source>Link</source>
        <translation>Verbindung</translation>
    </message>
    <message>
        <source>Preview</source>
        <translation>Vorschau</translation>
    </message>
    <message>
        <source>Gap (ms)</source>
        <translation>Pause (ms)</translation>
    </message>
    <message>
        <source>Length</source>
        <translation>Länge</translation>
    </message>
    <message>
        <source>Bytes</source>
        <translation>Bytes</translation>
    </message>
    <message>
        <source>The last received bytes, framed by this profile:</source>
        <translation>Die zuletzt empfangenen Bytes, nach diesem Profil in Rahmen geteilt:</translation>
    </message>
    <message>
        <source>Save the profiles</source>
        <translation>Profile speichern</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>%1 (built-in)</source>
        <translation>%1 (eingebaut)</translation>
    </message>
    <message>
        <source>This delimiter is needed.</source>
        <translation>Dieses Trennzeichen wird gebraucht.</translation>
    </message>
    <message>
        <source>A profile needs a name.</source>
        <translation>Ein Profil braucht einen Namen.</translation>
    </message>
    <message>
        <source>A built-in profile has this name.</source>
        <translation>Ein eingebautes Profil hat diesen Namen.</translation>
    </message>
    <message>
        <source>Another profile has this name.</source>
        <translation>Ein anderes Profil hat diesen Namen.</translation>
    </message>
    <message>
        <source>Profile</source>
        <translation>Profil</translation>
    </message>
    <message>
        <source>copy</source>
        <translation>Kopie</translation>
    </message>
    <message>
        <source>none</source>
        <translation>keine</translation>
    </message>
    <message>
        <source>ok</source>
        <translation>gut</translation>
    </message>
    <message>
        <source>bad</source>
        <translation>falsch</translation>
    </message>
    <message>
        <source>Decoder</source>
        <translation>Decoder</translation>
    </message>
    <message>
        <source>Modbus RTU</source>
        <translation>Modbus RTU</translation>
    </message>
    <message>
        <source>Modbus ASCII</source>
        <translation>Modbus ASCII</translation>
    </message>
    <message>
        <source>NMEA 0183</source>
        <translation>NMEA 0183</translation>
    </message>
    <message>
        <source>Layouts of this profile</source>
        <translation>Layouts dieses Profils</translation>
    </message>
    <message>
        <source>Lua file</source>
        <translation>Lua-Datei</translation>
    </message>
    <message>
        <source>Automatic: a built-in&apos;s own decoder, or the profile&apos;s layouts when it declares some</source>
        <translation>Automatisch: der eigene Decoder eines eingebauten Profils, oder die Layouts des Profils, wenn es welche angibt</translation>
    </message>
    <message>
        <source>Lua decoder file</source>
        <translation>Lua-Decoder-Datei</translation>
    </message>
    <message>
        <source>File beside the profiles file</source>
        <translation>Datei neben der Profildatei</translation>
    </message>
    <message>
        <source>Decoder:</source>
        <translation>Decoder:</translation>
    </message>
    <message>
        <source>Answer time-out in milliseconds</source>
        <translation>Antwort-Zeitlimit in Millisekunden</translation>
    </message>
    <message>
        <source>Until the next request</source>
        <translation>Bis zur nächsten Anfrage</translation>
    </message>
    <message>
        <source>Answer time-out (ms):</source>
        <translation>Antwort-Zeitlimit (ms):</translation>
    </message>
    <message>
        <source>A Lua decoder needs the name of its file.</source>
        <translation>Ein Lua-Decoder braucht den Namen seiner Datei.</translation>
    </message>
</context>
<context>
    <name>TfrmGroupRecord</name>
    <message>
        <source>Group Data Rule</source>
        <translation>Gruppenregel</translation>
    </message>
    <message>
        <source>Start Event</source>
        <translation>Startereignis</translation>
    </message>
    <message>
        <source>Edit</source>
        <translation>Bearbeiten</translation>
    </message>
    <message>
        <source>Delay(ms)</source>
        <translation>Verzögerung (ms)</translation>
    </message>
    <message>
        <source>Stop Event</source>
        <translation>Stoppereignis</translation>
    </message>
    <message>
        <source>Set Stop Event</source>
        <translation>Stoppereignis setzen</translation>
    </message>
    <message>
        <source>Step Event</source>
        <translation>Schrittereignis</translation>
    </message>
    <message>
        <source>Loop</source>
        <translation>Wiederholen</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>Type</source>
        <translation>Art</translation>
    </message>
    <message>
        <source>Content</source>
        <translation>Inhalt</translation>
    </message>
    <message>
        <source>&amp;New</source>
        <translation>&amp;Neu</translation>
    </message>
    <message>
        <source>&amp;Edit</source>
        <translation>&amp;Bearbeiten</translation>
    </message>
    <message>
        <source>&amp;Delete</source>
        <translation>&amp;Löschen</translation>
    </message>
    <message>
        <source>Delete &amp;All</source>
        <translation>&amp;Alle löschen</translation>
    </message>
    <message>
        <source>&amp;Up</source>
        <translation>Nach ob&amp;en</translation>
    </message>
    <message>
        <source>Do&amp;wn</source>
        <translation>Nach &amp;unten</translation>
    </message>
    <message>
        <source>&amp;Load</source>
        <translation>La&amp;den</translation>
    </message>
    <message>
        <source>&amp;Save</source>
        <translation>&amp;Speichern</translation>
    </message>
</context>
<context>
    <name>TfrmMain</name>
    <message>
        <source>More tools</source>
        <translation>Weitere Werkzeuge</translation>
    </message>
    <message>
        <source>Save Log to file</source>
        <translation>Protokoll in Datei speichern</translation>
    </message>
    <message>
        <source>Copy Log to Clipboard</source>
        <translation>Protokoll in die Zwischenablage kopieren</translation>
    </message>
    <message>
        <source>Erase Log</source>
        <translation>Protokoll löschen</translation>
    </message>
    <message>
        <source>Show Send Data</source>
        <translation>Gesendete Daten anzeigen</translation>
    </message>
    <message>
        <source>Show Time</source>
        <translation>Zeit anzeigen</translation>
    </message>
    <message>
        <source>View in Text Format</source>
        <translation>Als Text anzeigen</translation>
    </message>
    <message>
        <source>Show in Hex format</source>
        <translation>Hexadezimal anzeigen</translation>
    </message>
    <message>
        <source>Show in Decimal format</source>
        <translation>Dezimal anzeigen</translation>
    </message>
    <message>
        <source>Show in String and Symbol format</source>
        <translation>Als Text mit Symbolen anzeigen</translation>
    </message>
    <message>
        <source>Link Setting Manager</source>
        <translation>Verbindungsverwaltung</translation>
    </message>
    <message>
        <source>Close Port</source>
        <translation>Port schließen</translation>
    </message>
    <message>
        <source>Quick Open</source>
        <translation>Schnell öffnen</translation>
    </message>
    <message>
        <source>Start Auto Send</source>
        <translation>Automatisches Senden starten</translation>
    </message>
    <message>
        <source>Pause</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>Stop Auto Send</source>
        <translation>Automatisches Senden beenden</translation>
    </message>
    <message>
        <source>Send Current Data in  List and Go Next</source>
        <translation>Aktuelle Daten der Liste senden und weiter</translation>
    </message>
    <message>
        <source>&amp;File</source>
        <translation>&amp;Datei</translation>
    </message>
    <message>
        <source>&amp;New</source>
        <translation>&amp;Neu</translation>
    </message>
    <message>
        <source>&amp;Open</source>
        <translation>Ö&amp;ffnen</translation>
    </message>
    <message>
        <source>&amp;Save</source>
        <translation>&amp;Speichern</translation>
    </message>
    <message>
        <source>Save &amp;As</source>
        <translation>Speichern &amp;unter</translation>
    </message>
    <message>
        <source>&amp;Export</source>
        <translation>E&amp;xportieren</translation>
    </message>
    <message>
        <source>&amp;Import</source>
        <translation>&amp;Importieren</translation>
    </message>
    <message>
        <source>E&amp;xit</source>
        <translation>&amp;Beenden</translation>
    </message>
    <message>
        <source>&amp;View</source>
        <translation>&amp;Ansicht</translation>
    </message>
    <message>
        <source>Show &amp;Time</source>
        <translation>&amp;Zeit anzeigen</translation>
    </message>
    <message>
        <source>Show &amp;SendData</source>
        <translation>&amp;Gesendete Daten anzeigen</translation>
    </message>
    <message>
        <source>Te&amp;xt</source>
        <translation>Te&amp;xt</translation>
    </message>
    <message>
        <source>&amp;Hex</source>
        <translation>&amp;Hex</translation>
    </message>
    <message>
        <source>&amp;Decimal</source>
        <translation>&amp;Dezimal</translation>
    </message>
    <message>
        <source>&amp;ASCII Table</source>
        <translation>&amp;ASCII-Tabelle</translation>
    </message>
    <message>
        <source>&amp;Edit</source>
        <translation>&amp;Bearbeiten</translation>
    </message>
    <message>
        <source>&amp;Auto Send</source>
        <translation>&amp;Automatisches Senden</translation>
    </message>
    <message>
        <source>Send Data &amp;List</source>
        <translation>&amp;Sendeliste</translation>
    </message>
    <message>
        <source>&amp;Receivd Data List</source>
        <translation>&amp;Empfangsliste</translation>
    </message>
    <message>
        <source>&amp;Operate</source>
        <translation>Be&amp;trieb</translation>
    </message>
    <message>
        <source>&amp;Open Port</source>
        <translation>Port ö&amp;ffnen</translation>
    </message>
    <message>
        <source>&amp;Close Port</source>
        <translation>Port &amp;schließen</translation>
    </message>
    <message>
        <source>&amp;Quick Open</source>
        <translation>S&amp;chnell öffnen</translation>
    </message>
    <message>
        <source>&amp;Monitor Two Ports...</source>
        <translation>Zwei Ports &amp;überwachen...</translation>
    </message>
    <message>
        <source>Pause Auto Send</source>
        <translation>Automatisches Senden anhalten</translation>
    </message>
    <message>
        <source>Send &amp;Item</source>
        <translation>&amp;Eintrag senden</translation>
    </message>
    <message>
        <source>Send and Go Next</source>
        <translation>Senden und weiter</translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation>&amp;Hilfe</translation>
    </message>
    <message>
        <source>&amp;About</source>
        <translation>Ü&amp;ber</translation>
    </message>
    <message>
        <source>&amp;Content</source>
        <translation>&amp;Inhalt</translation>
    </message>
    <message>
        <source>&amp;Send Current</source>
        <translation>Aktuellen &amp;senden</translation>
    </message>
    <message>
        <source>&amp;Copy to Instant Send Edit</source>
        <translation>In das Sofort-Sendefeld &amp;kopieren</translation>
    </message>
    <message>
        <source>Send And Go Next</source>
        <translation>Senden und weiter</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>Format</source>
        <translation>Format</translation>
    </message>
    <message>
        <source>Content</source>
        <translation>Inhalt</translation>
    </message>
    <message>
        <source>Send</source>
        <translation>Senden</translation>
    </message>
    <message>
        <source>Edit</source>
        <translation>Bearbeiten</translation>
    </message>
    <message>
        <source>Line errors</source>
        <translation>Leitungsfehler</translation>
    </message>
    <message>
        <source>Traffic log</source>
        <translation>Verkehrsprotokoll</translation>
    </message>
    <message>
        <source>Send list</source>
        <translation>Sendeliste</translation>
    </message>
    <message>
        <source>Instant send data</source>
        <translation>Sofort zu sendende Daten</translation>
    </message>
    <message>
        <source>Instant send format</source>
        <translation>Format des Sofort-Sendens</translation>
    </message>
    <message>
        <source>TextS&amp;ymbol</source>
        <translation>Text mit &amp;Symbolen</translation>
    </message>
    <message>
        <source>Clea&amp;r Display</source>
        <translation>Anzeige &amp;leeren</translation>
    </message>
    <message>
        <source>Copy to Clip&amp;board</source>
        <translation>In die Zwischenablage ko&amp;pieren</translation>
    </message>
    <message>
        <source>Send &amp;Data Setting</source>
        <translation>Sende&amp;daten einstellen</translation>
    </message>
    <message>
        <source> - Window %1</source>
        <translation> - Fenster %1</translation>
    </message>
    <message>
        <source>The port is not taking data; the send was not queued.</source>
        <translation>Der Port nimmt keine Daten an; das Senden wurde nicht eingereiht.</translation>
    </message>
    <message>
        <source>A file is being sent; the send was not queued.</source>
        <translation>Eine Datei wird gesendet; das Senden wurde nicht eingereiht.</translation>
    </message>
</context>
<context>
    <name>TfrmMonitorSetting</name>
    <message>
        <source>Monitor Two Ports</source>
        <translation>Zwei Ports überwachen</translation>
    </message>
    <message>
        <source>Virtual port</source>
        <translation>Virtueller Port</translation>
    </message>
    <message>
        <source>Bridge</source>
        <translation>Brücke</translation>
    </message>
    <message>
        <source>Pass what arrives on each port on to the other</source>
        <translation>Was an einem Port ankommt, an den anderen weitergeben</translation>
    </message>
    <message>
        <source>Port A</source>
        <translation>Port A</translation>
    </message>
    <message>
        <source>Port B</source>
        <translation>Port B</translation>
    </message>
    <message>
        <source>Virtual port path</source>
        <translation>Pfad des virtuellen Ports</translation>
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
        <source>There is no link for Port A: make one with Open Port first</source>
        <translation>Für Port A gibt es keine Verbindung: Legen Sie zuerst mit „Port öffnen“ eine an</translation>
    </message>
    <message>
        <source>Enter the full path of the virtual port, such as </source>
        <translation>Geben Sie den vollständigen Pfad des virtuellen Ports ein, etwa </translation>
    </message>
    <message>
        <source>Port A and Port B are the same port</source>
        <translation>Port A und Port B sind derselbe Port</translation>
    </message>
    <message>
        <source>A</source>
        <translation>A</translation>
    </message>
    <message>
        <source>B</source>
        <translation>B</translation>
    </message>
    <message>
        <source>Master side</source>
        <translation>Master-Seite</translation>
    </message>
    <message>
        <source>The side whose frames are requests, paired with the other side&apos;s answers</source>
        <translation>Die Seite, deren Frames Anfragen sind, gepaart mit den Antworten der anderen Seite</translation>
    </message>
</context>
<context>
    <name>TfrmOpenPort</name>
    <message>
        <source>LinkName</source>
        <translation>Verbindungsname</translation>
    </message>
    <message>
        <source>Port Name</source>
        <translation>Portname</translation>
    </message>
    <message>
        <source>Baud Rate</source>
        <translation>Baudrate</translation>
    </message>
    <message>
        <source>Byte Size</source>
        <translation>Datenbits</translation>
    </message>
    <message>
        <source>Parity</source>
        <translation>Parität</translation>
    </message>
    <message>
        <source>Stop Bits</source>
        <translation>Stoppbits</translation>
    </message>
    <message>
        <source>Data Flow Control</source>
        <translation>Flusssteuerung</translation>
    </message>
    <message>
        <source>InputBuf</source>
        <translation>Eingangspuffer</translation>
    </message>
    <message>
        <source>OutputBuf</source>
        <translation>Ausgangspuffer</translation>
    </message>
    <message>
        <source>Port Setting(*.cps)|*.cps|Text File(*.txt)|*.txt|All Files(*)|*</source>
        <translation>Port-Einstellung (*.cps)|*.cps|Textdatei (*.txt)|*.txt|Alle Dateien (*)|*</translation>
    </message>
    <message>
        <source>Open Port</source>
        <translation>Port öffnen</translation>
    </message>
    <message>
        <source>&amp;Open</source>
        <translation>Ö&amp;ffnen</translation>
    </message>
    <message>
        <source>&amp;Cancel</source>
        <translation>Abbre&amp;chen</translation>
    </message>
    <message>
        <source>&amp;New</source>
        <translation>&amp;Neu</translation>
    </message>
    <message>
        <source>&amp;Edit</source>
        <translation>&amp;Bearbeiten</translation>
    </message>
    <message>
        <source>&amp;Load</source>
        <translation>La&amp;den</translation>
    </message>
    <message>
        <source>&amp;Save As</source>
        <translation>Speichern &amp;unter</translation>
    </message>
    <message>
        <source>&amp;Delete</source>
        <translation>&amp;Löschen</translation>
    </message>
    <message>
        <source>Delete &amp;All</source>
        <translation>&amp;Alle löschen</translation>
    </message>
    <message>
        <source>No link yet</source>
        <translation>Noch keine Verbindung</translation>
    </message>
    <message>
        <source>No serial port was found on this machine. Attach the device&apos;s adapter, or start kestrum-vport for a virtual port, then press New to make a link for it.</source>
        <translation>Auf diesem Rechner wurde kein serieller Port gefunden. Schließen Sie den Adapter des Geräts an oder starten Sie kestrum-vport für einen virtuellen Port, und legen Sie dann mit „Neu“ eine Verbindung dafür an.</translation>
    </message>
    <message>
        <source>There is no link yet. Press New to make one for a port of this machine.</source>
        <translation>Es gibt noch keine Verbindung. Legen Sie mit „Neu“ eine für einen Port dieses Rechners an.</translation>
    </message>
    <message>
        <source>Demo devices</source>
        <translation>Demo-Geräte</translation>
    </message>
    <message>
        <source>To try Kestrum without a device, open one of the demo devices below.</source>
        <translation>Um Kestrum ohne Gerät auszuprobieren, öffnen Sie eines der Demo-Geräte unten.</translation>
    </message>
</context>
<context>
    <name>TfrmPlot</name>
    <message>
        <source>&amp;Decoded values:</source>
        <translation>&amp;Dekodierte Werte:</translation>
    </message>
    <message>
        <source>Decoded values</source>
        <translation>Dekodierte Werte</translation>
    </message>
    <message>
        <source>Values of the decoded frames to plot, by name, separated by commas</source>
        <translation>Werte der dekodierten Frames, die gezeichnet werden, nach Namen, durch Kommas getrennt</translation>
    </message>
    <message>
        <source>Plot</source>
        <translation>Diagramm</translation>
    </message>
    <message>
        <source>10 s</source>
        <translation>10 s</translation>
    </message>
    <message>
        <source>30 s</source>
        <translation>30 s</translation>
    </message>
    <message>
        <source>1 min</source>
        <translation>1 min</translation>
    </message>
    <message>
        <source>5 min</source>
        <translation>5 min</translation>
    </message>
    <message>
        <source>Time span</source>
        <translation>Zeitspanne</translation>
    </message>
    <message>
        <source>How much of the newest data the plot shows</source>
        <translation>Wie viel der neuesten Daten das Diagramm zeigt</translation>
    </message>
    <message>
        <source>&amp;Span:</source>
        <translation>&amp;Spanne:</translation>
    </message>
    <message>
        <source>&amp;Auto scale</source>
        <translation>&amp;Automatisch skalieren</translation>
    </message>
    <message>
        <source>Auto scale</source>
        <translation>Automatisch skalieren</translation>
    </message>
    <message>
        <source>Lowest value shown</source>
        <translation>Kleinster angezeigter Wert</translation>
    </message>
    <message>
        <source>Highest value shown</source>
        <translation>Größter angezeigter Wert</translation>
    </message>
    <message>
        <source>&amp;Pause</source>
        <translation>&amp;Pause</translation>
    </message>
    <message>
        <source>C&amp;lear</source>
        <translation>&amp;Leeren</translation>
    </message>
    <message>
        <source>Export &amp;CSV…</source>
        <translation>&amp;CSV exportieren…</translation>
    </message>
    <message>
        <source>Export P&amp;NG…</source>
        <translation>P&amp;NG exportieren…</translation>
    </message>
    <message>
        <source>Pause</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>Reset zoom</source>
        <translation>Zoom zurücksetzen</translation>
    </message>
    <message>
        <source>Clear plot</source>
        <translation>Diagramm leeren</translation>
    </message>
    <message>
        <source>Export shown data as CSV</source>
        <translation>Angezeigte Daten als CSV exportieren</translation>
    </message>
    <message>
        <source>Export picture as PNG</source>
        <translation>Bild als PNG exportieren</translation>
    </message>
    <message>
        <source>to</source>
        <translation>bis</translation>
    </message>
    <message>
        <source>Series</source>
        <translation>Datenreihen</translation>
    </message>
    <message>
        <source>Untick a series to hide it</source>
        <translation>Haken entfernen, um eine Datenreihe auszublenden</translation>
    </message>
    <message>
        <source>&amp;Resume</source>
        <translation>&amp;Fortsetzen</translation>
    </message>
    <message>
        <source>CSV file (*.csv)|*.csv</source>
        <translation>CSV-Datei (*.csv)|*.csv</translation>
    </message>
    <message>
        <source>PNG image (*.png)|*.png</source>
        <translation>PNG-Bild (*.png)|*.png</translation>
    </message>
    <message>
        <source>Plot - Window %1</source>
        <translation>Diagramm - Fenster %1</translation>
    </message>
    <message>
        <source>Reset &amp;Zoom</source>
        <translation>&amp;Zoom zurücksetzen</translation>
    </message>
</context>
<context>
    <name>TfrmPortSetting</name>
    <message>
        <source>Port Setting</source>
        <translation>Port-Einstellung</translation>
    </message>
    <message>
        <source>LinkName</source>
        <translation>Verbindungsname</translation>
    </message>
    <message>
        <source>Port Name</source>
        <translation>Portname</translation>
    </message>
    <message>
        <source>Baud Rate</source>
        <translation>Baudrate</translation>
    </message>
    <message>
        <source>Byte Size</source>
        <translation>Datenbits</translation>
    </message>
    <message>
        <source>Parity</source>
        <translation>Parität</translation>
    </message>
    <message>
        <source>Stop Bits</source>
        <translation>Stoppbits</translation>
    </message>
    <message>
        <source>Data Flow Control</source>
        <translation>Flusssteuerung</translation>
    </message>
    <message>
        <source>Input Buffer</source>
        <translation>Eingangspuffer</translation>
    </message>
    <message>
        <source>Output Buffer</source>
        <translation>Ausgangspuffer</translation>
    </message>
</context>
<context>
    <name>TfrmRecDataList</name>
    <message>
        <source>Receive Data List</source>
        <translation>Empfangsliste</translation>
    </message>
    <message>
        <source>Received data</source>
        <translation>Empfangene Daten</translation>
    </message>
    <message>
        <source>&amp;Add to Send Data</source>
        <translation>Zur Sendeliste &amp;hinzufügen</translation>
    </message>
    <message>
        <source>Delete All</source>
        <translation>Alle löschen</translation>
    </message>
    <message>
        <source>&amp;Delete</source>
        <translation>&amp;Löschen</translation>
    </message>
    <message>
        <source>&amp;Save</source>
        <translation>&amp;Speichern</translation>
    </message>
    <message>
        <source>Exit</source>
        <translation>Schließen</translation>
    </message>
    <message>
        <source>&amp;Merge Up</source>
        <translation>Mit vorigem &amp;zusammenführen</translation>
    </message>
    <message>
        <source>&amp;Edit</source>
        <translation>&amp;Bearbeiten</translation>
    </message>
    <message>
        <source>The edited block is no longer in the list; nothing was changed.</source>
        <translation>Der bearbeitete Block ist nicht mehr in der Liste; nichts wurde geändert.</translation>
    </message>
    <message>
        <source>Some lines of %1 cannot be read.</source>
        <translation>Einige Zeilen von %1 können nicht gelesen werden.</translation>
    </message>
    <message>
        <source>The file is kept as %1; the list goes on with what could be read.</source>
        <translation>Die Datei wird als %1 aufbewahrt; die Liste fährt mit dem fort, was gelesen werden konnte.</translation>
    </message>
</context>
<context>
    <name>TfrmReceiveFile</name>
    <message>
        <source>Receive File</source>
        <translation>Datei empfangen</translation>
    </message>
    <message>
        <source>Protocol</source>
        <translation>Protokoll</translation>
    </message>
    <message>
        <source>&amp;Protocol:</source>
        <translation>&amp;Protokoll:</translation>
    </message>
    <message>
        <source>Folder</source>
        <translation>Ordner</translation>
    </message>
    <message>
        <source>&amp;Browse...</source>
        <translation>&amp;Durchsuchen...</translation>
    </message>
    <message>
        <source>Browse</source>
        <translation>Durchsuchen</translation>
    </message>
    <message>
        <source>F&amp;older:</source>
        <translation>&amp;Ordner:</translation>
    </message>
    <message>
        <source>File</source>
        <translation>Datei</translation>
    </message>
    <message>
        <source>&amp;File:</source>
        <translation>Da&amp;tei:</translation>
    </message>
    <message>
        <source>&amp;Receive</source>
        <translation>&amp;Empfangen</translation>
    </message>
    <message>
        <source>Receive</source>
        <translation>Empfangen</translation>
    </message>
    <message>
        <source>The folder %1 does not exist.</source>
        <translation>Der Ordner %1 existiert nicht.</translation>
    </message>
    <message>
        <source>%1 sends no file name: name the file.</source>
        <translation>%1 sendet keinen Dateinamen: Geben Sie der Datei einen Namen.</translation>
    </message>
    <message>
        <source>Largest file of unknown size</source>
        <translation>Größte Datei unbekannter Größe</translation>
    </message>
    <message>
        <source> MiB</source>
        <translation> MiB</translation>
    </message>
    <message>
        <source>File of unknown size &amp;at most:</source>
        <translation>Datei unbekannter Größe &amp;höchstens:</translation>
    </message>
    <message>
        <source>&amp;Keep what a broken receive got, for a sender that resumes</source>
        <translation>Bei abgebrochenem Empfang das Erhaltene &amp;behalten, zum Fortsetzen durch den Sender</translation>
    </message>
    <message>
        <source>Keep broken receives for resuming</source>
        <translation>Abgebrochene Empfänge zum Fortsetzen behalten</translation>
    </message>
    <message>
        <source>Kept parts are hidden files in the folder, named .&lt;file&gt;.part.</source>
        <translation>Behaltene Teile sind verborgene Dateien im Ordner, benannt .&lt;Datei&gt;.part.</translation>
    </message>
    <message>
        <source>Where kept parts are</source>
        <translation>Wo behaltene Teile liegen</translation>
    </message>
</context>
<context>
    <name>TfrmRecordTypeSelect</name>
    <message>
        <source>Rule Type Select</source>
        <translation>Regelart wählen</translation>
    </message>
    <message>
        <source>Rule Type</source>
        <translation>Regelart</translation>
    </message>
    <message>
        <source>Single Data Rule</source>
        <translation>Einzelregel</translation>
    </message>
    <message>
        <source>Group Data Rule</source>
        <translation>Gruppenregel</translation>
    </message>
</context>
<context>
    <name>TfrmReplay</name>
    <message>
        <source>Replay Capture</source>
        <translation>Mitschnitt wiedergeben</translation>
    </message>
    <message>
        <source>Recording to replay</source>
        <translation>Wiederzugebende Aufzeichnung</translation>
    </message>
    <message>
        <source>A pcapng file this program wrote, or a text or raw capture</source>
        <translation>Eine von diesem Programm geschriebene pcapng-Datei oder ein Text- oder Rohdaten-Mitschnitt</translation>
    </message>
    <message>
        <source>&amp;Browse...</source>
        <translation>&amp;Durchsuchen...</translation>
    </message>
    <message>
        <source>Browse</source>
        <translation>Durchsuchen</translation>
    </message>
    <message>
        <source>&amp;File:</source>
        <translation>Da&amp;tei:</translation>
    </message>
    <message>
        <source>Where the recording plays</source>
        <translation>Wohin die Aufzeichnung gespielt wird</translation>
    </message>
    <message>
        <source>Into this window, as received data</source>
        <translation>In dieses Fenster, als empfangene Daten</translation>
    </message>
    <message>
        <source>Out of a virtual port, for another program</source>
        <translation>Aus einem virtuellen Port, für ein anderes Programm</translation>
    </message>
    <message>
        <source>&amp;Play:</source>
        <translation>&amp;Wiedergabe:</translation>
    </message>
    <message>
        <source>Replay speed</source>
        <translation>Wiedergabegeschwindigkeit</translation>
    </message>
    <message>
        <source>At the recorded pace</source>
        <translation>Im aufgezeichneten Tempo</translation>
    </message>
    <message>
        <source>2 times as fast</source>
        <translation>2-mal so schnell</translation>
    </message>
    <message>
        <source>10 times as fast</source>
        <translation>10-mal so schnell</translation>
    </message>
    <message>
        <source>As fast as possible</source>
        <translation>So schnell wie möglich</translation>
    </message>
    <message>
        <source>Frame by frame</source>
        <translation>Frame für Frame</translation>
    </message>
    <message>
        <source>&amp;Speed:</source>
        <translation>&amp;Geschwindigkeit:</translation>
    </message>
    <message>
        <source>&amp;Answer requests with the recorded answers</source>
        <translation>&amp;Anfragen mit den aufgezeichneten Antworten beantworten</translation>
    </message>
    <message>
        <source>Answer requests with the recorded answers</source>
        <translation>Anfragen mit den aufgezeichneten Antworten beantworten</translation>
    </message>
    <message>
        <source>The recording plays a device: each request of the program under test gets the answer recorded for it</source>
        <translation>Die Aufzeichnung spielt ein Gerät: Jede Anfrage des getesteten Programms erhält die dafür aufgezeichnete Antwort</translation>
    </message>
    <message>
        <source>Replay status</source>
        <translation>Wiedergabestatus</translation>
    </message>
    <message>
        <source>S&amp;tart</source>
        <translation>Sta&amp;rten</translation>
    </message>
    <message>
        <source>Start the replay</source>
        <translation>Wiedergabe starten</translation>
    </message>
    <message>
        <source>St&amp;ep</source>
        <translation>&amp;Schritt</translation>
    </message>
    <message>
        <source>Play the next frame</source>
        <translation>Nächsten Frame wiedergeben</translation>
    </message>
    <message>
        <source>St&amp;op</source>
        <translation>Sto&amp;ppen</translation>
    </message>
    <message>
        <source>Stop the replay</source>
        <translation>Wiedergabe stoppen</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Schließen</translation>
    </message>
    <message>
        <source>Captures(*.pcapng *.pcapng.gz *.log *.txt *.bin *.raw *.gz)</source>
        <translation>Mitschnitte(*.pcapng *.pcapng.gz *.log *.txt *.bin *.raw *.gz)</translation>
    </message>
    <message>
        <source>All files(*)</source>
        <translation>Alle Dateien(*)</translation>
    </message>
</context>
<context>
    <name>TfrmSendDataList</name>
    <message>
        <source>Send Data List</source>
        <translation>Sendeliste</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>ShowFormat</source>
        <translation>Anzeigeformat</translation>
    </message>
    <message>
        <source>Content</source>
        <translation>Inhalt</translation>
    </message>
    <message>
        <source>&amp;New</source>
        <translation>&amp;Neu</translation>
    </message>
    <message>
        <source>&amp;Edit</source>
        <translation>&amp;Bearbeiten</translation>
    </message>
    <message>
        <source>&amp;Delete</source>
        <translation>&amp;Löschen</translation>
    </message>
    <message>
        <source>Delete  &amp;All</source>
        <translation>&amp;Alle löschen</translation>
    </message>
    <message>
        <source>&amp;Up</source>
        <translation>Nach ob&amp;en</translation>
    </message>
    <message>
        <source>Do&amp;wn</source>
        <translation>Nach &amp;unten</translation>
    </message>
    <message>
        <source>&amp;Load</source>
        <translation>La&amp;den</translation>
    </message>
    <message>
        <source>&amp;Save</source>
        <translation>&amp;Speichern</translation>
    </message>
    <message>
        <source>&amp;OK</source>
        <translation>&amp;OK</translation>
    </message>
    <message>
        <source>&amp;Cancel</source>
        <translation>Abbre&amp;chen</translation>
    </message>
    <message>
        <source>SendDataSetting (*.sds)|*.sds|Text File(*.txt)|*.txt|All Files(*.*)|*.*</source>
        <translation>Sendeliste (*.sds)|*.sds|Textdatei(*.txt)|*.txt|Alle Dateien(*.*)|*.*</translation>
    </message>
</context>
<context>
    <name>TfrmSendFile</name>
    <message>
        <source>Send File</source>
        <translation>Datei senden</translation>
    </message>
    <message>
        <source>File</source>
        <translation>Datei</translation>
    </message>
    <message>
        <source>&amp;Browse...</source>
        <translation>&amp;Durchsuchen...</translation>
    </message>
    <message>
        <source>Browse</source>
        <translation>Durchsuchen</translation>
    </message>
    <message>
        <source>&amp;File:</source>
        <translation>Da&amp;tei:</translation>
    </message>
    <message>
        <source>Protocol</source>
        <translation>Protokoll</translation>
    </message>
    <message>
        <source>&amp;Protocol:</source>
        <translation>&amp;Protokoll:</translation>
    </message>
    <message>
        <source>Line delay (ms)</source>
        <translation>Zeilenverzögerung (ms)</translation>
    </message>
    <message>
        <source>&amp;Line delay (ms):</source>
        <translation>&amp;Zeilenverzögerung (ms):</translation>
    </message>
    <message>
        <source>&amp;Escape every control character</source>
        <translation>Jedes Steuerzeichen &amp;maskieren</translation>
    </message>
    <message>
        <source>Escape every control character</source>
        <translation>Jedes Steuerzeichen maskieren</translation>
    </message>
    <message>
        <source>&amp;Send</source>
        <translation>&amp;Senden</translation>
    </message>
    <message>
        <source>Send</source>
        <translation>Senden</translation>
    </message>
</context>
<context>
    <name>TfrmSingleRecord</name>
    <message>
        <source>Single Data Rule</source>
        <translation>Einzelregel</translation>
    </message>
    <message>
        <source>Single Record</source>
        <translation>Einzelregel</translation>
    </message>
    <message>
        <source>Edit</source>
        <translation>Bearbeiten</translation>
    </message>
    <message>
        <source>Always </source>
        <translation>Immer </translation>
    </message>
    <message>
        <source>Delay Before Send Data (ms)</source>
        <translation>Verzögerung vor dem Senden (ms)</translation>
    </message>
    <message>
        <source>Event</source>
        <translation>Ereignis</translation>
    </message>
    <message>
        <source>Send Data</source>
        <translation>Sendedaten</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>Name</translation>
    </message>
</context>
<context>
    <name>core</name>
    <message>
        <source>the port was opened without time-outs</source>
        <translation>der Port wurde ohne Zeitlimits geöffnet</translation>
    </message>
    <message>
        <source>the port is not open</source>
        <translation>der Port ist nicht geöffnet</translation>
    </message>
    <message>
        <source>the driver does not support these settings</source>
        <translation>der Treiber unterstützt diese Einstellungen nicht</translation>
    </message>
    <message>
        <source>the port is already open</source>
        <translation>der Port ist bereits geöffnet</translation>
    </message>
    <message>
        <source>the operation timed out</source>
        <translation>die Zeit für den Vorgang ist abgelaufen</translation>
    </message>
    <message>
        <source>invalid argument</source>
        <translation>ungültiges Argument</translation>
    </message>
    <message>
        <source>permission denied (is the user in the dialout group?)</source>
        <translation>Zugriff verweigert (ist der Benutzer in der Gruppe dialout?)</translation>
    </message>
    <message>
        <source>the port is in use by another program</source>
        <translation>der Port wird von einem anderen Programm benutzt</translation>
    </message>
    <message>
        <source>no such port</source>
        <translation>diesen Port gibt es nicht</translation>
    </message>
    <message>
        <source>no device behind this port</source>
        <translation>an diesem Port ist kein Gerät</translation>
    </message>
    <message>
        <source>the device stopped answering (was it unplugged?)</source>
        <translation>das Gerät antwortet nicht mehr (wurde es abgezogen?)</translation>
    </message>
    <message>
        <source>not a serial port</source>
        <translation>kein serieller Port</translation>
    </message>
    <message>
        <source>the port cannot take these settings</source>
        <translation>der Port kann diese Einstellungen nicht übernehmen</translation>
    </message>
    <message>
        <source>Received</source>
        <translation>Empfangen</translation>
    </message>
    <message>
        <source>Sent</source>
        <translation>Gesendet</translation>
    </message>
    <message>
        <source>Cancelled</source>
        <translation>Abgebrochen</translation>
    </message>
    <message>
        <source>Cancelled by the receiver</source>
        <translation>Vom Empfänger abgebrochen</translation>
    </message>
    <message>
        <source>The receiver does not answer</source>
        <translation>Der Empfänger antwortet nicht</translation>
    </message>
    <message>
        <source>The receiver refused a block too often</source>
        <translation>Der Empfänger hat einen Block zu oft abgelehnt</translation>
    </message>
    <message>
        <source>The port failed to write</source>
        <translation>Der Port konnte nicht schreiben</translation>
    </message>
    <message>
        <source>The file could not be read</source>
        <translation>Die Datei konnte nicht gelesen werden</translation>
    </message>
    <message>
        <source>Cancelled by the sender</source>
        <translation>Vom Sender abgebrochen</translation>
    </message>
    <message>
        <source>A received file could not be written</source>
        <translation>Eine empfangene Datei konnte nicht geschrieben werden</translation>
    </message>
    <message>
        <source>A file ended short of its size</source>
        <translation>Eine Datei endete, bevor ihre Größe erreicht war</translation>
    </message>
    <message>
        <source>&apos;%1&apos; is not a valid integer value</source>
        <translation>„%1“ ist keine gültige Ganzzahl</translation>
    </message>
    <message>
        <source>Cannot create file %1</source>
        <translation>Datei %1 kann nicht angelegt werden</translation>
    </message>
    <message>
        <source>Cannot open file %1</source>
        <translation>Datei %1 kann nicht geöffnet werden</translation>
    </message>
    <message>
        <source>Cannot create file %1: %2</source>
        <translation>Datei %1 kann nicht angelegt werden: %2</translation>
    </message>
    <message>
        <source>Cannot open file %1: %2</source>
        <translation>Datei %1 kann nicht geöffnet werden: %2</translation>
    </message>
    <message>
        <source>Demo board (simulated)</source>
        <translation>Demo-Board (simuliert)</translation>
    </message>
    <message>
        <source>Demo echo (simulated)</source>
        <translation>Demo-Echo (simuliert)</translation>
    </message>
    <message>
        <source>Demo Modbus server (simulated)</source>
        <translation>Demo-Modbus-Server (simuliert)</translation>
    </message>
    <message>
        <source>Demo GPS receiver (simulated)</source>
        <translation>Demo-GPS-Empfänger (simuliert)</translation>
    </message>
</context>
<context>
    <name>main</name>
    <message>
        <source>Kestrum cannot tell whether another Kestrum is working on the folder %1: %2, which it leaves as it is.</source>
        <translation>Kestrum kann nicht feststellen, ob ein anderes Kestrum mit dem Ordner %1 arbeitet: %2; es lässt ihn, wie er ist.</translation>
    </message>
    <message>
        <source>Another Kestrum is working on the folder %1 but does not answer.</source>
        <translation>Ein anderes Kestrum arbeitet mit dem Ordner %1, antwortet aber nicht.</translation>
    </message>
    <message>
        <source>This one keeps its working files and settings in %1, so neither overwrites the other&apos;s.</source>
        <translation>Dieses hier legt seine Arbeitsdateien und Einstellungen in %1 ab, damit keines die des anderen überschreibt.</translation>
    </message>
</context>
</TS>
