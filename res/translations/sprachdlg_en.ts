<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="de">
<context>
    <name>CSprachDlg</name>
    <message>
        <source>Orvex FSK Programmer</source>
        <translation>Orvex FSK Programmer</translation>
    </message>
    <message>
        <source>Bitte wählen sie die gewünschte Dialogsprache aus.

Please select the desired dialog language.</source>
        <translation>Bitte wählen sie die gewünschte Dialogsprache aus.

Please select the desired dialog language.</translation>
    </message>
    <message>
        <source>Deutsch</source>
        <translation>Deutsch</translation>
    </message>
    <message>
        <source>English</source>
        <translation>English</translation>
    </message>
</context>
</TS>
