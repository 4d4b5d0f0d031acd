<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="de">
<context>
    <name>CLanConfig</name>
    <message>
        <source>LAN Einstellung</source>
        <translation>LAN Settings</translation>
    </message>
    <message>
        <source>IP Adresse automatisch beziehen</source>
        <translation>Obtain an IP address automatically</translation>
    </message>
    <message>
        <source>DHCP Name:</source>
        <translation>DHCP name:</translation>
    </message>
    <message>
        <source>-</source>
        <translation>-</translation>
    </message>
    <message>
        <source>Folgende IP Adresse verwenden</source>
        <translation>Use the following IP address</translation>
    </message>
    <message>
        <source>IP-Adresse:</source>
        <translation>IP address:</translation>
    </message>
    <message>
        <source>Subnetzmaske:</source>
        <translation>Subnet mask:</translation>
    </message>
    <message>
        <source>Gateway:</source>
        <translation>Gateway:</translation>
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
