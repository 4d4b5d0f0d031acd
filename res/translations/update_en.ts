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
    <message>
        <source>Abbrechen</source>
        <translation>Cancel</translation>
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
    <message>
        <source>Das Update-Angebot nennt keine gültige Prüfsumme oder kein Installationsprogramm auf dem Update-Server. Es wird nicht heruntergeladen.</source>
        <comment>606</comment>
        <translation>The update offer names no valid checksum or no installer on the update server. It is not downloaded.</translation>
    </message>
    <message>
        <source>Die Signatur des Update-Angebots ist ungültig. Es wird nicht heruntergeladen.</source>
        <comment>607</comment>
        <translation>The signature of the update offer is invalid. It is not downloaded.</translation>
    </message>
    <message>
        <source>Das Installationsprogramm konnte nicht heruntergeladen werden.</source>
        <comment>608</comment>
        <translation>The installer could not be downloaded.</translation>
    </message>
    <message>
        <source>Ohne Update-Server gebaut: keine Update-Prüfung</source>
        <comment>11301</comment>
        <translation>Built without an update server: no update check</translation>
    </message>
</context>
</TS>
