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
</context>
</TS>
