<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="de">
<context>
    <name>StringTable</name>
    <message>
        <source>Personenliste importieren</source>
        <comment>11500</comment>
        <translation>Import holder list</translation>
    </message>
    <message>
        <source>Datei:</source>
        <comment>11501</comment>
        <translation>File:</translation>
    </message>
    <message>
        <source>Zeichensatz:</source>
        <comment>11502</comment>
        <translation>Encoding:</translation>
    </message>
    <message>
        <source>Automatisch</source>
        <comment>11503</comment>
        <translation>Automatic</translation>
    </message>
    <message>
        <source>Trennzeichen:</source>
        <comment>11504</comment>
        <translation>Separator:</translation>
    </message>
    <message>
        <source>Tabulator</source>
        <comment>11505</comment>
        <translation>Tab</translation>
    </message>
    <message>
        <source>(keine)</source>
        <comment>11506</comment>
        <translation>(none)</translation>
    </message>
    <message>
        <source>Personalnummer</source>
        <comment>11507</comment>
        <translation>Personnel number</translation>
    </message>
    <message>
        <source>Name</source>
        <comment>11508</comment>
        <translation>Name</translation>
    </message>
    <message>
        <source>Vorname</source>
        <comment>11509</comment>
        <translation>First name</translation>
    </message>
    <message>
        <source>Nachname</source>
        <comment>11510</comment>
        <translation>Last name</translation>
    </message>
    <message>
        <source>Abteilung</source>
        <comment>11511</comment>
        <translation>Department</translation>
    </message>
    <message>
        <source>Bemerkung</source>
        <comment>11512</comment>
        <translation>Notes</translation>
    </message>
    <message>
        <source>Personen, die in der Liste fehlen, als ausgeschieden markieren</source>
        <comment>11513</comment>
        <translation>Mark people missing from the list as left</translation>
    </message>
    <message>
        <source>Zeile</source>
        <comment>11514</comment>
        <translation>Line</translation>
    </message>
    <message>
        <source>Aktion</source>
        <comment>11515</comment>
        <translation>Action</translation>
    </message>
    <message>
        <source>neu</source>
        <comment>11516</comment>
        <translation>add</translation>
    </message>
    <message>
        <source>geändert</source>
        <comment>11517</comment>
        <translation>change</translation>
    </message>
    <message>
        <source>ausgeschieden</source>
        <comment>11518</comment>
        <translation>left</translation>
    </message>
    <message>
        <source>abgelehnt</source>
        <comment>11519</comment>
        <translation>refused</translation>
    </message>
    <message>
        <source>Hinweis</source>
        <comment>11520</comment>
        <translation>Note</translation>
    </message>
    <message>
        <source>Ein Anführungszeichen wird nie geschlossen; ab hier ist die Datei nicht lesbar</source>
        <comment>11521</comment>
        <translation>A quote is never closed; the file cannot be read from here on</translation>
    </message>
    <message>
        <source>%1 Felder, die Kopfzeile hat %2 (Trennzeichen in einem Wert ohne Anführungszeichen?)</source>
        <comment>11522</comment>
        <translation>%1 fields, the header has %2 (a separator in an unquoted value?)</translation>
    </message>
    <message>
        <source>Keine Personalnummer</source>
        <comment>11523</comment>
        <translation>No personnel number</translation>
    </message>
    <message>
        <source>Kein Name</source>
        <comment>11524</comment>
        <translation>No name</translation>
    </message>
    <message>
        <source>Dieselbe Personalnummer wie Zeile %1</source>
        <comment>11525</comment>
        <translation>The same personnel number as line %1</translation>
    </message>
    <message>
        <source>%1 neu, %2 geändert, %3 unverändert, %4 ausgeschieden, %5 Zeilen abgelehnt (mit abgelehnten Zeilen wird nichts importiert)</source>
        <comment>11526</comment>
        <translation>%1 to add, %2 to change, %3 unchanged, %4 left, %5 lines refused (with refused lines nothing is imported)</translation>
    </message>
    <message>
        <source>Importieren</source>
        <comment>11527</comment>
        <translation>Import</translation>
    </message>
    <message>
        <source>Bitte die Spalten für Personalnummer und Name wählen</source>
        <comment>11528</comment>
        <translation>Choose the columns for personnel number and name</translation>
    </message>
    <message>
        <source>Das Kartenregister kann die Liste nicht importieren: %1</source>
        <comment>11529</comment>
        <translation>The card register cannot import the list: %1</translation>
    </message>
</context>
</TS>
