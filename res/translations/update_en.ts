<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US">
<context>
    <name>CAboutDlg</name>
    <message>
        <source>Nach Update suchen</source>
        <translation>Check for updates</translation>
    </message>
    <message>
        <source>automatisch auf neue Version prüfen</source>
        <translation>check for a new version automatically</translation>
    </message>
</context>
<context>
    <name>StringTable</name>
    <message>
        <source>Die heruntergeladene Datei
&quot;%s&quot;
hat nicht die erwartete Prüfsumme und wurde gelöscht.</source>
        <comment>605</comment>
        <translation>The downloaded file
&quot;%s&quot;
does not have the expected checksum and has been deleted.</translation>
    </message>
</context>
</TS>
