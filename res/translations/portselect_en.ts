<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="de">
<context>
    <name>CPortSelectDlg</name>
    <message>
        <source>Schnittstelle</source>
        <translation>Interface</translation>
    </message>
    <message>
        <source>Schnittstelle auswählen</source>
        <translation>Select interface</translation>
    </message>
    <message>
        <source>Pfad:</source>
        <translation>Path:</translation>
    </message>
    <message>
        <source>Eine Leitung, die die Liste nicht zeigt, mit ihrem Pfad eingeben</source>
        <translation>Type the path of a line the list does not show</translation>
    </message>
    <message>
        <source>Ethernet aktivieren</source>
        <translation>Enable Ethernet</translation>
    </message>
    <message>
        <source>IP ?</source>
        <translation>IP ?</translation>
    </message>
    <message>
        <source>HID Mode</source>
        <translation>HID Mode</translation>
    </message>
    <message>
        <source>Virtual Com</source>
        <translation>Virtual Com</translation>
    </message>
    <message>
        <source>Baudrate</source>
        <translation>Baud rate</translation>
    </message>
    <message>
        <source>Parität</source>
        <translation>Parity</translation>
    </message>
    <message>
        <source>keine</source>
        <translation>none</translation>
    </message>
    <message>
        <source>gerade</source>
        <translation>even</translation>
    </message>
    <message>
        <source>ungerade</source>
        <translation>odd</translation>
    </message>
    <message>
        <source>Stopbits:</source>
        <translation>Stop bits:</translation>
    </message>
    <message>
        <source>Timeout in [ms]</source>
        <translation>Timeout in [ms]</translation>
    </message>
    <message>
        <source>Geräteadresse [dez.]</source>
        <translation>Device address [dec.]</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Abbrechen</source>
        <translation>Cancel</translation>
    </message>
</context>
</TS>
