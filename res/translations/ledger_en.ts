<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="de">
<context>
    <name>StringTable</name>
    <message>
        <source>Gültige Karten, bis zur Sperrung auf der Sperrliste: %1</source>
        <comment>11580</comment>
        <translation>Valid cards, on the block list until revoked: %1</translation>
    </message>
    <message>
        <source>%1 ist ausgeschieden (seit %2); es wird keine Karte ausgegeben</source>
        <comment>11581</comment>
        <translation>%1 has left (since %2); no card is issued</translation>
    </message>
    <message>
        <source>%1 ist unbestätigt: der Schreibvorgang ging hinaus, der Transponder kann die Karte tragen. Freigeben vergibt die Nummer wieder, womöglich ein zweites Mal. Nur freigeben, wenn der Transponder nachweislich leer oder nicht mehr vorhanden ist; sonst als zerstört markieren.

Trotzdem freigeben?</source>
        <comment>11582</comment>
        <translation>%1 is unverified: the write went out, the chip may carry the card. Releasing hands the number out again, possibly a second time. Release only when the chip is known to be blank or gone; otherwise mark it destroyed.

Release anyway?</translation>
    </message>
    <message>
        <source>Zeile %1 ist kein UTF-8; darum wird die ganze Datei als Windows-1252 gelesen und die Umlaute der übrigen Zeilen stimmen nicht. Bitte diese Zeilen berichtigen oder die Kodierung wählen.</source>
        <comment>11583</comment>
        <translation>Line %1 is not UTF-8, so the whole file is read as Windows-1252 and the umlauts of the other lines read wrong. Please mend these lines or choose the encoding.</translation>
    </message>
    <message>
        <source>Neu, aber %1 steht im Register: führende Nullen verloren?</source>
        <comment>11584</comment>
        <translation>New, but %1 is in the register: leading zeros lost?</translation>
    </message>
    <message>
        <source>Warnung</source>
        <comment>11585</comment>
        <translation>Warning</translation>
    </message>
</context>
</TS>
