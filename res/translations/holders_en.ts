<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="de">
<context>
    <name>StringTable</name>
    <message>
        <source>Karteninhaber</source>
        <comment>11530</comment>
        <translation>Holders</translation>
    </message>
    <message>
        <source>Suche (Name oder Personalnummer):</source>
        <comment>11531</comment>
        <translation>Search (name or personnel number):</translation>
    </message>
    <message>
        <source>Abteilung:</source>
        <comment>11532</comment>
        <translation>Department:</translation>
    </message>
    <message>
        <source>Alle Abteilungen</source>
        <comment>11533</comment>
        <translation>All departments</translation>
    </message>
    <message>
        <source>Nur ohne gültige Karte</source>
        <comment>11534</comment>
        <translation>Only without a valid card</translation>
    </message>
    <message>
        <source>Personalnummer</source>
        <comment>11535</comment>
        <translation>Personnel number</translation>
    </message>
    <message>
        <source>Name</source>
        <comment>11536</comment>
        <translation>Name</translation>
    </message>
    <message>
        <source>Gültige Karte</source>
        <comment>11537</comment>
        <translation>Valid card</translation>
    </message>
    <message>
        <source>Karte</source>
        <comment>11538</comment>
        <translation>Card</translation>
    </message>
    <message>
        <source>Zustand</source>
        <comment>11539</comment>
        <translation>State</translation>
    </message>
    <message>
        <source>Zeit</source>
        <comment>11540</comment>
        <translation>Time</translation>
    </message>
    <message>
        <source>Ereignis</source>
        <comment>11541</comment>
        <translation>Event</translation>
    </message>
    <message>
        <source>Grund</source>
        <comment>11542</comment>
        <translation>Reason</translation>
    </message>
    <message>
        <source>Neu...</source>
        <comment>11543</comment>
        <translation>New...</translation>
    </message>
    <message>
        <source>Bearbeiten...</source>
        <comment>11544</comment>
        <translation>Edit...</translation>
    </message>
    <message>
        <source>Liste importieren...</source>
        <comment>11545</comment>
        <translation>Import list...</translation>
    </message>
    <message>
        <source>Karte verloren</source>
        <comment>11546</comment>
        <translation>Card lost</translation>
    </message>
    <message>
        <source>Karten für alle ohne gültige Karte</source>
        <comment>11547</comment>
        <translation>Cards for all holders without a valid card</translation>
    </message>
    <message>
        <source>%1 Personen</source>
        <comment>11548</comment>
        <translation>%1 holders</translation>
    </message>
    <message>
        <source>Die Karteninhaber können nicht gelesen werden: %1</source>
        <comment>11549</comment>
        <translation>The holders cannot be read: %1</translation>
    </message>
    <message>
        <source>Notizen:</source>
        <comment>11550</comment>
        <translation>Notes:</translation>
    </message>
    <message>
        <source>Personalnummer:</source>
        <comment>11551</comment>
        <translation>Personnel number:</translation>
    </message>
    <message>
        <source>Die Personalnummer fehlt</source>
        <comment>11552</comment>
        <translation>The personnel number is missing</translation>
    </message>
    <message>
        <source>Nicht gespeichert: %1</source>
        <comment>11553</comment>
        <translation>Not saved: %1</translation>
    </message>
    <message>
        <source>Karteninhaber:</source>
        <comment>11554</comment>
        <translation>Holder:</translation>
    </message>
    <message>
        <source>für %1</source>
        <comment>11555</comment>
        <translation>for %1</translation>
    </message>
    <message>
        <source>%1 hat bereits die gültige Karte %2. Was ist die neue Karte?</source>
        <comment>11556</comment>
        <translation>%1 already has the valid card %2. What is the new card?</translation>
    </message>
    <message>
        <source>Ersatz, die bisherige ist verloren</source>
        <comment>11557</comment>
        <translation>A replacement, the old one is lost</translation>
    </message>
    <message>
        <source>Ersatz, die bisherige ist gestohlen</source>
        <comment>11558</comment>
        <translation>A replacement, the old one is stolen</translation>
    </message>
    <message>
        <source>Ersatz, die bisherige ist zurückgegeben</source>
        <comment>11559</comment>
        <translation>A replacement, the old one is returned</translation>
    </message>
    <message>
        <source>Ersatz, die bisherige ist zerstört</source>
        <comment>11560</comment>
        <translation>A replacement, the old one is destroyed</translation>
    </message>
    <message>
        <source>Eine zweite Karte</source>
        <comment>11561</comment>
        <translation>A second card</translation>
    </message>
    <message>
        <source>Die Karte %1 von %2 wird als verloren gesperrt und eine Ersatzkarte mit der nächsten freien Nummer geschrieben.

Bitte einen Transponder auf das Lesegerät legen.</source>
        <comment>11562</comment>
        <translation>Card %1 of %2 is revoked as lost and a replacement with the next free number is written.

Please lay a chip on the reader.</translation>
    </message>
    <message>
        <source>%1 hat keine gültige Karte</source>
        <comment>11563</comment>
        <translation>%1 has no valid card</translation>
    </message>
    <message>
        <source>Die Karte kann nicht gesperrt werden: %1</source>
        <comment>11564</comment>
        <translation>The card cannot be revoked: %1</translation>
    </message>
    <message>
        <source>Niemand ohne gültige Karte</source>
        <comment>11565</comment>
        <translation>Nobody is without a valid card</translation>
    </message>
    <message>
        <source>Die Karte %1 bleibt gesperrt (verloren); keine Ersatzkarte geschrieben</source>
        <comment>11566</comment>
        <translation>Card %1 stays revoked (lost); no replacement written</translation>
    </message>
    <message>
        <source>Karten für Personen brauchen das Kartenregister</source>
        <comment>11567</comment>
        <translation>Cards for holders need the card register</translation>
    </message>
    <message>
        <source>Nächster Transponder für:</source>
        <comment>11568</comment>
        <translation>Next chip for:</translation>
    </message>
    <message>
        <source>Gültige Karten exportieren...</source>
        <comment>11570</comment>
        <translation>Export valid cards...</translation>
    </message>
    <message>
        <source>Sperrliste exportieren...</source>
        <comment>11571</comment>
        <translation>Export block list...</translation>
    </message>
</context>
</TS>
