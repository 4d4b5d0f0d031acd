<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="de">
<context>
    <name>CIPAddrSuche</name>
    <message>
        <source>IP-Adressen</source>
        <translation>IP Addresses</translation>
    </message>
    <message>
        <source>IP-Adresse ändern</source>
        <translation>Change IP Address</translation>
    </message>
    <message>
        <source>Schließen</source>
        <translation>Close</translation>
    </message>
</context>
</TS>
