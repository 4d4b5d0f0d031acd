<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US">
<context>
    <name>COrvexFSKDlg</name>
    <message>
        <source>Orvex FSK Programmer</source>
        <translation>Orvex FSK Programmer</translation>
    </message>
    <message>
        <source>Hersteller UID (hex)</source>
        <translation>Manufacturer UID (hex)</translation>
    </message>
    <message>
        <source>Typ</source>
        <translation>Type</translation>
    </message>
    <message>
        <source>26 Bit Standard (H10301)</source>
        <translation>26 Bit Standard (H10301)</translation>
    </message>
    <message>
        <source>26 Bit Huge </source>
        <translation>26 Bit Huge </translation>
    </message>
    <message>
        <source>34 Bit Standard </source>
        <translation>34 Bit Standard </translation>
    </message>
    <message>
        <source>34 Bit NC </source>
        <translation>34 Bit NC </translation>
    </message>
    <message>
        <source>35 Bit Standard </source>
        <translation>35 Bit Standard </translation>
    </message>
    <message>
        <source>36 Bit Standard </source>
        <translation>36 Bit Standard </translation>
    </message>
    <message>
        <source>37 Bit Standard (H10304)</source>
        <translation>37 Bit Standard (H10304)</translation>
    </message>
    <message>
        <source>37 Bit Huge (H10302)</source>
        <translation>37 Bit Huge (H10302)</translation>
    </message>
    <message>
        <source>Festes Feld</source>
        <translation>Fixed field</translation>
    </message>
    <message>
        <source>Einrichtungsnummer (Facility code)</source>
        <translation>Facility code</translation>
    </message>
    <message>
        <source>Kunden Nummer (Customer Nr.)</source>
        <translation>Customer number</translation>
    </message>
    <message>
        <source>Auto increment</source>
        <translation>Auto increment</translation>
    </message>
    <message>
        <source>Sperren</source>
        <translation>Lock</translation>
    </message>
    <message>
        <source>Prüfen nach dem Schreiben</source>
        <translation>Verify after writing</translation>
    </message>
    <message>
        <source>Anzahl:</source>
        <translation>Count:</translation>
    </message>
    <message>
        <source>Stop bei Anzahl:</source>
        <translation>Stop at count:</translation>
    </message>
    <message>
        <source>Stop bei Endwert:</source>
        <translation>Stop at end value:</translation>
    </message>
    <message>
        <source>Lesen</source>
        <translation>Read</translation>
    </message>
    <message>
        <source>Einmalig</source>
        <translation>Once</translation>
    </message>
    <message>
        <source>Zyklisch</source>
        <translation>Cyclic</translation>
    </message>
    <message>
        <source>Schreiben</source>
        <translation>Write</translation>
    </message>
    <message>
        <source>Logdateien</source>
        <translation>Log files</translation>
    </message>
    <message>
        <source>Schreiben protokollieren</source>
        <translation>Log writes</translation>
    </message>
    <message>
        <source>...</source>
        <translation>...</translation>
    </message>
    <message>
        <source>Lesen protokollieren</source>
        <translation>Log reads</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>Status</translation>
    </message>
    <message>
        <source>Schließen</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>Kennung des Chips auf dem Lesegerät, vom Lesen und Schreiben eingetragen</source>
        <translation>Identification of the chip on the reader, filled in by reading and writing</translation>
    </message>
    <message>
        <source>Kartenformat, das geschrieben und gelesen wird</source>
        <translation>Card format to write and read</translation>
    </message>
    <message>
        <source>Festes Feld des 36-Bit-Formats (0 bis 1023)</source>
        <translation>Fixed field of the 36-bit format (0 to 1023)</translation>
    </message>
    <message>
        <source>Einrichtungsnummer der Karte; gleich für alle Karten einer Serie</source>
        <translation>The card&apos;s facility code; the same for every card of a series</translation>
    </message>
    <message>
        <source>Nummer der nächsten Karte; Enter springt zum nächsten Feld</source>
        <translation>Number of the next card; Enter moves to the next field</translation>
    </message>
    <message>
        <source>Nach jedem geschriebenen Transponder die Nummer um 1 erhöhen</source>
        <translation>Raise the number by 1 after each transponder written</translation>
    </message>
    <message>
        <source>Transponder nach dem Schreiben sperren: Er kann nie wieder beschrieben werden</source>
        <translation>Lock the transponder after writing: it can never be written again</translation>
    </message>
    <message>
        <source>Nach dem Schreiben zurücklesen und vergleichen</source>
        <translation>Read back and compare after writing</translation>
    </message>
    <message>
        <source>Transponder, die diese Serie geschrieben hat</source>
        <translation>Transponders this series has written</translation>
    </message>
    <message>
        <source>Serie nach dieser Anzahl Transponder beenden</source>
        <translation>End the series after this many transponders</translation>
    </message>
    <message>
        <source>Serie nach dem Transponder mit dieser Nummer beenden</source>
        <translation>End the series after the transponder with this number</translation>
    </message>
    <message>
        <source>Karte auf dem Lesegerät einmal lesen; ihre Werte ersetzen die Felder</source>
        <translation>Read the card on the reader once; its values replace the fields</translation>
    </message>
    <message>
        <source>Laufend lesen und jede neue Karte zeigen, bis zum nächsten Klick oder Esc</source>
        <translation>Read continually and show each new card, until the next click or Esc</translation>
    </message>
    <message>
        <source>Transponder auf dem Lesegerät einmal mit den Feldern beschreiben</source>
        <translation>Write the transponder on the reader once with the fields</translation>
    </message>
    <message>
        <source>Serie: jeden neu aufgelegten Transponder beschreiben, bis zum nächsten Klick oder Esc</source>
        <translation>Series: write each transponder laid on the reader, until the next click or Esc</translation>
    </message>
    <message>
        <source>Jeden geschriebenen Transponder in die Logdatei eintragen</source>
        <translation>Record each transponder written in the log file</translation>
    </message>
    <message>
        <source>Jede gelesene Karte in die Logdatei eintragen</source>
        <translation>Record each card read in the log file</translation>
    </message>
    <message>
        <source>Logdatei wählen</source>
        <translation>Choose the log file</translation>
    </message>
    <message>
        <source>Felder speichern und das Programm beenden</source>
        <translation>Store the fields and end the program</translation>
    </message>
</context>
</TS>
