<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="de">
<context>
    <name>StringTable</name>
    <message>
        <source>Die Person hat inzwischen eine gültige Karte; nichts wurde geschrieben</source>
        <comment>11600</comment>
        <translation>The holder has a valid card by now; nothing was written</translation>
    </message>
</context>
</TS>
