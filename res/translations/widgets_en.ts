<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US">
<context>
    <name>CAboutDlg</name>
    <message>
        <location filename="../AboutDlg.ui" line="6"/>
        <source>Info über Orvex FSK Programmer</source>
        <translation>About Orvex FSK Programmer</translation>
    </message>
    <message>
        <location filename="../AboutDlg.ui" line="40"/>
        <source>Orvex FSK Programmer V</source>
        <translation>Orvex FSK Programmer V</translation>
    </message>
    <message>
        <location filename="../AboutDlg.ui" line="78"/>
        <source>E-Mail:</source>
        <translation>E-mail:</translation>
    </message>
    <message>
        <location filename="../AboutDlg.ui" line="95"/>
        <source>Internet:</source>
        <translation>Web:</translation>
    </message>
    <message>
        <location filename="../AboutDlg.ui" line="133"/>
        <source>OK</source>
        <translation>OK</translation>
    </message>
</context>
<context>
    <name>CShowErrorLog</name>
    <message>
        <location filename="../ShowErrorLog.ui" line="14"/>
        <source>Fehleranzeige</source>
        <translation>Error Log</translation>
    </message>
    <message>
        <location filename="../ShowErrorLog.ui" line="57"/>
        <source>Schließen</source>
        <translation>Close</translation>
    </message>
</context>
</TS>
