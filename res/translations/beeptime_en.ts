<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="de">
<context>
    <name>CBeepTimeDlg</name>
    <message>
        <location filename="../BeepTimeDlg.ui" line="6"/>
        <source>Einstellungen</source>
        <translation>Settings</translation>
    </message>
    <message>
        <location filename="../BeepTimeDlg.ui" line="15"/>
        <source>Tonausgabe bei Erfolg</source>
        <translation>Sound output on success</translation>
    </message>
    <message>
        <location filename="../BeepTimeDlg.ui" line="24"/>
        <source>Keine Ausgabe</source>
        <translation>No output</translation>
    </message>
    <message>
        <location filename="../BeepTimeDlg.ui" line="36"/>
        <source>Lautsprecher</source>
        <translation>Speaker</translation>
    </message>
    <message>
        <location filename="../BeepTimeDlg.ui" line="62"/>
        <source>Tondauer</source>
        <translation>Tone length</translation>
    </message>
    <message>
        <location filename="../BeepTimeDlg.ui" line="82"/>
        <location filename="../BeepTimeDlg.ui" line="208"/>
        <source>ms</source>
        <translation>ms</translation>
    </message>
    <message>
        <location filename="../BeepTimeDlg.ui" line="101"/>
        <source>Sound abspielen</source>
        <translation>Play sound</translation>
    </message>
    <message>
        <location filename="../BeepTimeDlg.ui" line="111"/>
        <source>Erfolg:</source>
        <translation>Success:</translation>
    </message>
    <message>
        <location filename="../BeepTimeDlg.ui" line="134"/>
        <location filename="../BeepTimeDlg.ui" line="170"/>
        <source>...</source>
        <translation>...</translation>
    </message>
    <message>
        <location filename="../BeepTimeDlg.ui" line="147"/>
        <source>Fehler:</source>
        <translation>Failure:</translation>
    </message>
    <message>
        <location filename="../BeepTimeDlg.ui" line="188"/>
        <source>Zykluszeit</source>
        <translation>Cycle time</translation>
    </message>
    <message>
        <location filename="../BeepTimeDlg.ui" line="236"/>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <location filename="../BeepTimeDlg.ui" line="249"/>
        <source>Abbrechen</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <location filename="../../app/dialogs/BeepTimeDlg.cpp" line="145"/>
        <source>Öffnen</source>
        <translation>Open</translation>
    </message>
    <message>
        <location filename="../../app/dialogs/BeepTimeDlg.cpp" line="150"/>
        <source>Audiodateien (*.wav)</source>
        <translation>Audio files (*.wav)</translation>
    </message>
</context>
</TS>
