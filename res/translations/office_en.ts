<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="de">
<context>
    <name>StringTable</name>
    <message>
        <source>OK</source>
        <comment>11901</comment>
        <translation>OK</translation>
    </message>
    <message>
        <source>Welche Karte von %1 ist verloren? Sie wird gesperrt und eine Ersatzkarte mit der nächsten freien Nummer geschrieben.

Bitte einen Transponder auf das Lesegerät legen.</source>
        <comment>11902</comment>
        <translation>Which card of %1 was lost? It is revoked and a replacement with the next free number is written.

Please lay a chip on the reader.</translation>
    </message>
    <message>
        <source>Die Karte %1 bleibt gültig; nichts wurde gesperrt</source>
        <comment>11903</comment>
        <translation>Card %1 stays valid; nothing was revoked</translation>
    </message>
    <message>
        <source>kartenregister.csv</source>
        <comment>11904</comment>
        <translation>card-register.csv</translation>
    </message>
    <message>
        <source>gueltige-karten.csv</source>
        <comment>11905</comment>
        <translation>valid-cards.csv</translation>
    </message>
    <message>
        <source>sperrliste.csv</source>
        <comment>11906</comment>
        <translation>block-list.csv</translation>
    </message>
    <message>
        <source>1 Person</source>
        <comment>11908</comment>
        <translation>1 holder</translation>
    </message>
    <message>
        <source>Abteilung</source>
        <comment>11909</comment>
        <translation>Department</translation>
    </message>
    <message>
        <source>Dieselbe Nummer ist dasselbe Kartenwort: eine verlorene Karte öffnet damit weiterhin. Für eine verlorene Karte im Fenster Karteninhaber „Karte verloren“ wählen; das sperrt sie und schreibt eine neue Nummer.</source>
        <comment>11910</comment>
        <translation>The same number is the same card word: a lost badge keeps opening doors with it. For a lost card choose "Card lost" in the holders window; it revokes the card and writes a new number.</translation>
    </message>
    <message>
        <source>Auf diesem Transponder steht vielleicht die ungeprüfte Karte %1 des Kartenregisters (geschrieben am %2).

Den Transponder mit %3 überschreiben? Die bisherige Karte gilt dann als ersetzt.</source>
        <comment>11911</comment>
        <translation>This transponder may carry the unverified card %1 of the card register (written on %2).

Write %3 over it? The earlier card then counts as replaced.</translation>
    </message>
    <message>
        <source>Neue Person</source>
        <comment>11912</comment>
        <translation>New holder</translation>
    </message>
    <message>
        <source>Person bearbeiten</source>
        <comment>11913</comment>
        <translation>Edit holder</translation>
    </message>
    <message>
        <source>Die Abteilung „%1“ neu anlegen? Es gibt bereits „%2“.

Nein nimmt „%2“.</source>
        <comment>11914</comment>
        <translation>Add "%1" as a department of its own? There is "%2" already.

No takes "%2".</translation>
    </message>
    <message>
        <source>Liste importiert: %1 neu, %2 geändert, %3 als ausgeschieden markiert</source>
        <comment>11915</comment>
        <translation>List imported: %1 added, %2 changed, %3 marked as left</translation>
    </message>
    <message>
        <source>Lesegerät getrennt: Die Station öffnet die Schnittstelle wieder, sobald es zurück ist (oder im Menü eine andere wählen)</source>
        <comment>11916</comment>
        <translation>Reader gone: the station opens the interface again once it is back (or choose another in the menu)</translation>
    </message>
    <message>
        <source>Lesegerät wieder verbunden</source>
        <comment>11917</comment>
        <translation>Reader connected again</translation>
    </message>
    <message>
        <source>Karten mit dieser Nummer (keine gültige):</source>
        <comment>11918</comment>
        <translation>Cards with this number (none valid):</translation>
    </message>
    <message>
        <source>Gültige Karte, darunter die von ihr ersetzten:</source>
        <comment>11919</comment>
        <translation>The valid card, below it the cards it replaced:</translation>
    </message>
    <message>
        <source>%1 (durch den Sprachwechsel beendet)</source>
        <comment>11920</comment>
        <translation>%1 (ended by the language switch)</translation>
    </message>
</context>
</TS>
