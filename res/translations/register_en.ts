<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="de">
<context>
    <name>StringTable</name>
    <message>
        <source>Kartenregister</source>
        <comment>11120</comment>
        <translation>Card register</translation>
    </message>
    <message>
        <source>Kartenregister-Einstellungen...</source>
        <comment>11121</comment>
        <translation>Card register settings...</translation>
    </message>
    <message>
        <source>Nummer bereits ausgegeben: Chip %1 am %2</source>
        <comment>11122</comment>
        <translation>Number issued before: chip %1 on %2</translation>
    </message>
    <message>
        <source>Kartenregister kann nicht schreiben: %1</source>
        <comment>11123</comment>
        <translation>The card register cannot record: %1</translation>
    </message>
    <message>
        <source>Keine freie Nummer im Kartenregister bis zum Ende der Serie</source>
        <comment>11124</comment>
        <translation>No free number in the card register up to the end of the series</translation>
    </message>
    <message>
        <source>%1 wurde bereits ausgegeben:
Chip %2 (%3) am %4.

Diesen Transponder als Ersatzkarte mit derselben Nummer beschreiben?</source>
        <comment>11125</comment>
        <translation>%1 was issued before:
chip %2 (%3) on %4.

Write this transponder as a replacement card with the same number?</translation>
    </message>
    <message>
        <source>Das Kartenregister kann nicht geöffnet werden:
%1

Es wird kein Transponder beschrieben, bis das Register erreichbar ist oder in den Kartenregister-Einstellungen ausgeschaltet wird.</source>
        <comment>11126</comment>
        <translation>The card register cannot be opened:
%1

No transponder is written until the register can be reached or is switched off in the card register settings.</translation>
    </message>
    <message>
        <source>Die Datei %1 konnte nicht geschrieben werden: %2</source>
        <comment>11127</comment>
        <translation>The file %1 could not be written: %2</translation>
    </message>
    <message>
        <source>Das Kartenregister kann nicht gelesen werden: %1</source>
        <comment>11128</comment>
        <translation>The card register cannot be read: %1</translation>
    </message>
    <message>
        <source>Kartenregister exportieren</source>
        <comment>11129</comment>
        <translation>Export the card register</translation>
    </message>
    <message>
        <source>Nummer</source>
        <comment>11130</comment>
        <translation>Number</translation>
    </message>
    <message>
        <source>Format</source>
        <comment>11131</comment>
        <translation>Format</translation>
    </message>
    <message>
        <source>Einrichtung</source>
        <comment>11132</comment>
        <translation>Facility</translation>
    </message>
    <message>
        <source>Festes Feld</source>
        <comment>11133</comment>
        <translation>Extra</translation>
    </message>
    <message>
        <source>Chip</source>
        <comment>11134</comment>
        <translation>Chip</translation>
    </message>
    <message>
        <source>Chip-UID</source>
        <comment>11135</comment>
        <translation>Chip ID</translation>
    </message>
    <message>
        <source>Gesperrt</source>
        <comment>11136</comment>
        <translation>Locked</translation>
    </message>
    <message>
        <source>Geprüft</source>
        <comment>11137</comment>
        <translation>Verified</translation>
    </message>
    <message>
        <source>Ersatzkarte</source>
        <comment>11138</comment>
        <translation>Re-issue</translation>
    </message>
    <message>
        <source>Stand</source>
        <comment>11139</comment>
        <translation>State</translation>
    </message>
    <message>
        <source>Zeit</source>
        <comment>11140</comment>
        <translation>Time</translation>
    </message>
    <message>
        <source>Station</source>
        <comment>11141</comment>
        <translation>Station</translation>
    </message>
    <message>
        <source>Bediener</source>
        <comment>11142</comment>
        <translation>Operator</translation>
    </message>
    <message>
        <source>ja</source>
        <comment>11143</comment>
        <translation>yes</translation>
    </message>
    <message>
        <source>nein</source>
        <comment>11144</comment>
        <translation>no</translation>
    </message>
    <message>
        <source>reserviert, unbestätigt</source>
        <comment>11145</comment>
        <translation>reserved, not confirmed</translation>
    </message>
    <message>
        <source>geschrieben</source>
        <comment>11146</comment>
        <translation>written</translation>
    </message>
    <message>
        <source>Einträge: %1</source>
        <comment>11147</comment>
        <translation>Entries: %1</translation>
    </message>
    <message>
        <source>CSV-Dateien (*.csv);;Alle Dateien (*)</source>
        <comment>11148</comment>
        <translation>CSV files (*.csv);;All files (*)</translation>
    </message>
    <message>
        <source>ungeprüft</source>
        <comment>11149</comment>
        <translation>unverified</translation>
    </message>
    <message>
        <source>ersetzt</source>
        <comment>11240</comment>
        <translation>replaced</translation>
    </message>
    <message>
        <source>widerrufen (%1)</source>
        <comment>11241</comment>
        <translation>revoked (%1)</translation>
    </message>
    <message>
        <source>verloren</source>
        <comment>11242</comment>
        <translation>lost</translation>
    </message>
    <message>
        <source>gestohlen</source>
        <comment>11243</comment>
        <translation>stolen</translation>
    </message>
    <message>
        <source>zurückgegeben</source>
        <comment>11244</comment>
        <translation>returned</translation>
    </message>
    <message>
        <source>zerstört</source>
        <comment>11245</comment>
        <translation>destroyed</translation>
    </message>
    <message>
        <source>reserviert</source>
        <comment>11246</comment>
        <translation>reserved</translation>
    </message>
    <message>
        <source>als Ersatzkarte ausgegeben</source>
        <comment>11247</comment>
        <translation>re-issued</translation>
    </message>
    <message>
        <source>widerrufen</source>
        <comment>11248</comment>
        <translation>revoked</translation>
    </message>
    <message>
        <source>freigegeben</source>
        <comment>11249</comment>
        <translation>released</translation>
    </message>
    <message>
        <source>geklärt</source>
        <comment>11250</comment>
        <translation>resolved</translation>
    </message>
    <message>
        <source>bestätigt</source>
        <comment>11251</comment>
        <translation>confirmed</translation>
    </message>
    <message>
        <source>Widerrufen...</source>
        <comment>11252</comment>
        <translation>Revoke...</translation>
    </message>
    <message>
        <source>Klären...</source>
        <comment>11253</comment>
        <translation>Resolve...</translation>
    </message>
    <message>
        <source>Ereignis</source>
        <comment>11254</comment>
        <translation>Event</translation>
    </message>
    <message>
        <source>Karte widerrufen</source>
        <comment>11255</comment>
        <translation>Revoke card</translation>
    </message>
    <message>
        <source>%1 auf Chip %2 (%3), geschrieben am %4, widerrufen?

Die Nummer wird danach nicht wieder vergeben; nur eine Ersatzkarte beschreibt sie erneut.</source>
        <comment>11256</comment>
        <translation>Revoke %1 on chip %2 (%3), written on %4?

The number is never handed out again afterwards; only a re-issue writes it again.</translation>
    </message>
    <message>
        <source>Grund:</source>
        <comment>11257</comment>
        <translation>Reason:</translation>
    </message>
    <message>
        <source>Widerrufen</source>
        <comment>11258</comment>
        <translation>Revoke</translation>
    </message>
    <message>
        <source>Abbrechen</source>
        <comment>11259</comment>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Karte klären</source>
        <comment>11260</comment>
        <translation>Resolve card</translation>
    </message>
    <message>
        <source>%1 ist %2 (%3, Station %4). Was ist mit dem Transponder?</source>
        <comment>11261</comment>
        <translation>%1 is %2 (%3, station %4). What became of the transponder?</translation>
    </message>
    <message>
        <source>Transponder auflegen und zurücklesen</source>
        <comment>11262</comment>
        <translation>Lay the transponder on the reader and read it back</translation>
    </message>
    <message>
        <source>Nummer freigeben: kein Transponder trägt sie</source>
        <comment>11263</comment>
        <translation>Release the number: no transponder carries it</translation>
    </message>
    <message>
        <source>Transponder zerstört: die Nummer bleibt belegt</source>
        <comment>11264</comment>
        <translation>Transponder destroyed: the number stays held</translation>
    </message>
    <message>
        <source>Grund</source>
        <comment>11265</comment>
        <translation>Reason</translation>
    </message>
    <message>
        <source>Der Transponder trägt nicht %1: %2</source>
        <comment>11266</comment>
        <translation>The transponder does not carry %1: %2</translation>
    </message>
    <message>
        <source>gelesen: %1</source>
        <comment>11267</comment>
        <translation>read: %1</translation>
    </message>
    <message>
        <source>Kein Leser zum Zurücklesen bereit</source>
        <comment>11268</comment>
        <translation>No reader ready to read the chip back</translation>
    </message>
    <message>
        <source>Der Leser ist mit einem Lauf beschäftigt; erst den Lauf beenden</source>
        <comment>11269</comment>
        <translation>The reader is busy with a run; stop the run first</translation>
    </message>
    <message>
        <source>Vorgabe des Clients</source>
        <comment>11450</comment>
        <translation>Client default</translation>
    </message>
    <message>
        <source>Einträge: mindestens %1</source>
        <comment>11400</comment>
        <translation>Entries: at least %1</translation>
    </message>
</context>
<context>
    <name>CRegisterDlg</name>
    <message>
        <source>Kartenregister</source>
        <translation>Card register</translation>
    </message>
    <message>
        <source>Filter</source>
        <translation>Filter</translation>
    </message>
    <message>
        <source>Nummer:</source>
        <translation>Number:</translation>
    </message>
    <message>
        <source>Chip-UID:</source>
        <translation>Chip ID:</translation>
    </message>
    <message>
        <source>Von:</source>
        <translation>From:</translation>
    </message>
    <message>
        <source>Bis:</source>
        <translation>To:</translation>
    </message>
    <message>
        <source>Anzeigen</source>
        <translation>Show</translation>
    </message>
    <message>
        <source>Karte</source>
        <translation>Card</translation>
    </message>
    <message>
        <source>Gültige Karte, darunter die von ihr ersetzten:</source>
        <translation>The valid card, below it the cards it replaced:</translation>
    </message>
    <message>
        <source>Verlauf der Nummer:</source>
        <translation>History of the number:</translation>
    </message>
    <message>
        <source>Exportieren...</source>
        <translation>Export...</translation>
    </message>
    <message>
        <source>Abbrechen</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Schließen</source>
        <translation>Close</translation>
    </message>
</context>
<context>
    <name>CRegisterSettingsDlg</name>
    <message>
        <source>Kartenregister-Einstellungen</source>
        <translation>Card register settings</translation>
    </message>
    <message>
        <source>Jeden geschriebenen Transponder im Kartenregister festhalten</source>
        <translation>Record every written transponder in the card register</translation>
    </message>
    <message>
        <source>Datenbank</source>
        <translation>Database</translation>
    </message>
    <message>
        <source>SQLite-Datei (eine Station)</source>
        <translation>SQLite file (one station)</translation>
    </message>
    <message>
        <source>Datei:</source>
        <translation>File:</translation>
    </message>
    <message>
        <source>...</source>
        <translation>...</translation>
    </message>
    <message>
        <source>Leer lassen für die Vorgabe:</source>
        <translation>Leave empty for the default:</translation>
    </message>
    <message>
        <source>PostgreSQL-Server (mehrere Stationen)</source>
        <translation>PostgreSQL server (several stations)</translation>
    </message>
    <message>
        <source>Server:</source>
        <translation>Server:</translation>
    </message>
    <message>
        <source>Port:</source>
        <translation>Port:</translation>
    </message>
    <message>
        <source>Datenbank:</source>
        <translation>Database:</translation>
    </message>
    <message>
        <source>Benutzer:</source>
        <translation>User:</translation>
    </message>
    <message>
        <source>Anmeldename</source>
        <translation>Login name</translation>
    </message>
    <message>
        <source>TLS:</source>
        <translation>TLS:</translation>
    </message>
    <message>
        <source>Zertifizierungsstelle (Datei):</source>
        <translation>Certificate authority (file):</translation>
    </message>
    <message>
        <source>Das Passwort wird nie gespeichert: der Server-Zugang nimmt es aus der Umgebungsvariablen PGPASSWORD oder aus der Datei ~/.pgpass.</source>
        <translation>The password is never stored: the server connection takes it from the environment variable PGPASSWORD or from the file ~/.pgpass.</translation>
    </message>
    <message>
        <source>Seriennummern aus dem Register nehmen (nächste freie Nummer)</source>
        <translation>Take series numbers from the register (next free number)</translation>
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
