<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="de">
<context>
    <name>StringTable</name>
    <message>
        <source>Inf&amp;o über Orvex FSK Programmer</source>
        <comment>101</comment>
        <translation>&amp;About Orvex FSK Programmer</translation>
    </message>
    <message>
        <source>Schnittstelle...</source>
        <comment>102</comment>
        <translation>Interface...</translation>
    </message>
    <message>
        <source>Einstellungen...</source>
        <comment>103</comment>
        <translation>Settings...</translation>
    </message>
    <message>
        <source>Deutsch</source>
        <comment>150</comment>
        <translation>German</translation>
    </message>
    <message>
        <source>Englisch</source>
        <comment>151</comment>
        <translation>English</translation>
    </message>
    <message>
        <source>IP-Adresse...</source>
        <comment>10091</comment>
        <translation>IP address...</translation>
    </message>
    <message>
        <source>Fehler beim Lesen</source>
        <comment>106</comment>
        <translation>Error while reading</translation>
    </message>
    <message>
        <source>keine gültigen FSK Daten vorhanden!</source>
        <comment>107</comment>
        <translation>No valid FSK data present!</translation>
    </message>
    <message>
        <source>Kein Transponder</source>
        <comment>111</comment>
        <translation>No transponder</translation>
    </message>
    <message>
        <source>Schreibvorgang erfolgreich abgeschlossen</source>
        <comment>119</comment>
        <translation>Write operation completed successfully</translation>
    </message>
    <message>
        <source>Lesevorgang erfolgreich abgeschlossen</source>
        <comment>11300</comment>
        <translation>Read operation completed successfully</translation>
    </message>
    <message>
        <source>Der Transponder ist schreibgeschützt</source>
        <comment>128</comment>
        <translation>The transponder is write-protected</translation>
    </message>
    <message>
        <source>Es sind nur Werte bis %I64d erlaubt!</source>
        <comment>136</comment>
        <translation>Only values up to %I64d are allowed!</translation>
    </message>
    <message>
        <source>Timeout Fehler beim Lesen</source>
        <comment>137</comment>
        <translation>Timeout error while reading</translation>
    </message>
    <message>
        <source>Kein FSK Format sondern Manchester Format</source>
        <comment>148</comment>
        <translation>Not FSK format but Manchester format</translation>
    </message>
    <message>
        <source>Kein FSK Format sondern Biphase Format</source>
        <comment>149</comment>
        <translation>Not FSK format but biphase format</translation>
    </message>
    <message>
        <source>Endwert ist kleiner als Startwert (Kunden Nummer)!</source>
        <comment>10086</comment>
        <translation>End value is smaller than start value (customer number)!</translation>
    </message>
    <message>
        <source>Anzahl 0 nicht erlaubt!</source>
        <comment>10087</comment>
        <translation>A count of 0 is not allowed!</translation>
    </message>
    <message>
        <source>Falsche Datenanzahl bei Versionsabfrage</source>
        <comment>108</comment>
        <translation>Wrong amount of data in version query</translation>
    </message>
    <message>
        <source>Achtung: Der Gerätetyp &lt;%s&gt; wird nicht unterstützt!</source>
        <comment>109</comment>
        <translation>Attention: The device type &lt;%s&gt; is not supported!</translation>
    </message>
    <message>
        <source>Gerät meldet sich nicht</source>
        <comment>110</comment>
        <translation>Device does not respond</translation>
    </message>
    <message>
        <source>Schnittstelle konnte nicht geöffnet werden!</source>
        <comment>121</comment>
        <translation>Interface could not be opened!</translation>
    </message>
    <message>
        <source>FW V%d.%02d</source>
        <comment>124</comment>
        <translation>FW V%d.%02d</translation>
    </message>
    <message>
        <source>Timeout ungültig</source>
        <comment>135</comment>
        <translation>Invalid timeout</translation>
    </message>
    <message>
        <source>Logdateiname für &quot;Lesen&quot; wählen</source>
        <comment>122</comment>
        <translation>Choose log file name for &quot;Read&quot;</translation>
    </message>
    <message>
        <source>Logdateiname für &quot;Schreiben&quot; wählen</source>
        <comment>123</comment>
        <translation>Choose log file name for &quot;Write&quot;</translation>
    </message>
    <message>
        <source>Fehler beim Schreiben der Logdatei aufgetreten!
Der Transponder wurde richtig beschrieben, ist aber nicht in der Logdatei protokolliert.</source>
        <comment>133</comment>
        <translation>An error occurred while writing the log file!
The transponder was written correctly but has not been recorded in the log file.</translation>
    </message>
    <message>
        <source>Neue Version:</source>
        <comment>600</comment>
        <translation>New version:</translation>
    </message>
    <message>
        <source> ist aktuell</source>
        <comment>601</comment>
        <translation> is up to date</translation>
    </message>
    <message>
        <source>Keine Internet Verbindung: Update Prüfung nicht möglich!</source>
        <comment>602</comment>
        <translation>No internet connection: update check not possible!</translation>
    </message>
    <message>
        <source>Keine Datei gefunden: Update Prüfung nicht möglich!</source>
        <comment>603</comment>
        <translation>No file found: update check not possible!</translation>
    </message>
    <message>
        <source>Update wird gestartet, bitte warten!</source>
        <comment>604</comment>
        <translation>Update is being started, please wait!</translation>
    </message>
    <message>
        <source>Nicht genügend Systemresourcen vorhanden!</source>
        <comment>10000</comment>
        <translation>Not enough system resources available!</translation>
    </message>
    <message>
        <source>Zum Anzeigen des Handbuchs wird ein PDF-Betrachter gebraucht. Die Distribution bringt einen mit, zum Beispiel:

sudo apt install evince
(oder okular, atril, qpdfview)</source>
        <comment>10001</comment>
        <translation>The manual needs a PDF viewer. The distribution has one, for example:

sudo apt install evince
(or okular, atril, qpdfview)</translation>
    </message>
    <message>
        <source>Unbekannter Fehler %d</source>
        <comment>10002</comment>
        <translation>Unknown error %d</translation>
    </message>
    <message>
        <source>Gültige IP Adresse eingeben!</source>
        <comment>10128</comment>
        <translation>Enter a valid IP address!</translation>
    </message>
    <message>
        <source>Liste aller gefundenen IP-Adressen</source>
        <comment>10129</comment>
        <translation>List of all IP addresses found</translation>
    </message>
    <message>
        <source>IP-Adresse, Subnetzmaske oder Gateway konnte nicht gesetzt werden!</source>
        <comment>10130</comment>
        <translation>IP address, subnet mask or gateway could not be set!</translation>
    </message>
    <message>
        <source>Keine Geräte gefunden!
Bitte prüfen Sie die Firewall-Einstellungen!
Evtl. muss das Programm manuell in der Firewall freigegeben werden.</source>
        <comment>10131</comment>
        <translation>No devices found!
Please check the firewall settings!
The program may have to be allowed through the firewall manually.</translation>
    </message>
    <message>
        <source>https://www.qor.example/treiber</source>
        <comment>10170</comment>
        <translation>https://www.qor.example/treiber</translation>
    </message>
    <message>
        <source>Kein Qor USB Treiber für Tiberon installiert!</source>
        <comment>10171</comment>
        <translation>No Qor USB driver for Tiberon installed!</translation>
    </message>
    <message>
        <source>Kein Qor USB Treiber für Kestrin VCOM installiert!</source>
        <comment>10172</comment>
        <translation>No Qor USB driver for Kestrin VCOM installed!</translation>
    </message>
    <message>
        <source>Treiber laden und installieren?</source>
        <comment>10173</comment>
        <translation>Download and install the driver?</translation>
    </message>
    <message>
        <source>Kein Zugriff auf %1: Ist das Paket des Programms installiert? Gerät abziehen und wieder einstecken.</source>
        <comment>10174</comment>
        <translation>No access to %1: is the program's package installed? Unplug the reader and plug it in again.</translation>
    </message>
    <message>
        <source>Orvex FSK Programmer</source>
        <comment>57344</comment>
        <translation>Orvex FSK Programmer</translation>
    </message>
    <message>
        <source>Geben Sie eine ganze Zahl ein.</source>
        <comment>61712</comment>
        <translation>Enter an integer.</translation>
    </message>
    <message>
        <source>Geben Sie eine positive ganze Zahl ein.</source>
        <comment>61713</comment>
        <translation>Enter a positive integer.</translation>
    </message>
    <message>
        <source>Geben Sie eine ganze Zahl zwischen %1 und %2 ein.</source>
        <comment>61714</comment>
        <translation>Enter an integer between %1 and %2.</translation>
    </message>
    <message>
        <source>Geben Sie höchstens %1 Zeichen ein.</source>
        <comment>61715</comment>
        <translation>Enter no more than %1 characters.</translation>
    </message>
    <message>
        <source>Beim Zugriff auf %1 ist ein unbekannter Fehler aufgetreten.</source>
        <comment>61856</comment>
        <translation>An unknown error occurred while accessing %1.</translation>
    </message>
    <message>
        <source>Beim Zugriff auf %1 ist ein Fehler aufgetreten.</source>
        <comment>61857</comment>
        <translation>An error occurred while accessing %1.</translation>
    </message>
    <message>
        <source>%1 wurde nicht gefunden.</source>
        <comment>61858</comment>
        <translation>%1 was not found.</translation>
    </message>
    <message>
        <source>%1 enthält einen ungültigen Pfad.</source>
        <comment>61859</comment>
        <translation>%1 contains an invalid path.</translation>
    </message>
    <message>
        <source>%1 konnte nicht geöffnet werden, weil zu viele Dateien geöffnet sind.</source>
        <comment>61860</comment>
        <translation>%1 could not be opened because too many files are open.</translation>
    </message>
    <message>
        <source>Der Zugriff auf %1 wurde verweigert.</source>
        <comment>61861</comment>
        <translation>Access to %1 was denied.</translation>
    </message>
    <message>
        <source>%1 ist keine gültige geöffnete Datei.</source>
        <comment>61862</comment>
        <translation>%1 is not a valid open file.</translation>
    </message>
    <message>
        <source>%1 konnte nicht entfernt werden, weil es das aktuelle Verzeichnis ist.</source>
        <comment>61863</comment>
        <translation>%1 could not be removed because it is the current directory.</translation>
    </message>
    <message>
        <source>%1 konnte nicht erstellt werden, weil das Verzeichnis voll ist.</source>
        <comment>61864</comment>
        <translation>%1 could not be created because the directory is full.</translation>
    </message>
    <message>
        <source>Die Positionierung in %1 ist fehlgeschlagen.</source>
        <comment>61865</comment>
        <translation>Positioning in %1 failed.</translation>
    </message>
    <message>
        <source>Beim Zugriff auf %1 wurde ein Hardware-Ein-/Ausgabefehler gemeldet.</source>
        <comment>61866</comment>
        <translation>A hardware input/output error was reported while accessing %1.</translation>
    </message>
    <message>
        <source>Beim Zugriff auf %1 ist eine Zugriffsverletzung bei gemeinsamer Nutzung aufgetreten.</source>
        <comment>61867</comment>
        <translation>A sharing violation occurred while accessing %1.</translation>
    </message>
    <message>
        <source>Beim Zugriff auf %1 ist eine Sperrverletzung aufgetreten.</source>
        <comment>61868</comment>
        <translation>A locking violation occurred while accessing %1.</translation>
    </message>
    <message>
        <source>Beim Zugriff auf %1 war der Datenträger voll.</source>
        <comment>61869</comment>
        <translation>The disk was full while accessing %1.</translation>
    </message>
    <message>
        <source>Es wurde versucht, über das Ende von %1 hinaus zuzugreifen.</source>
        <comment>61870</comment>
        <translation>An attempt was made to access %1 past its end.</translation>
    </message>
    <message>
        <source>Kein Lesegerät verbunden. Wählen Sie die Schnittstelle im Menü.</source>
        <comment>11101</comment>
        <translation>No reader connected. Choose the interface in the menu.</translation>
    </message>
    <message>
        <source>Das Lesegerät antwortet nicht</source>
        <comment>11102</comment>
        <translation>The reader does not answer</translation>
    </message>
    <message>
        <source>Prüfsummenfehler in der Antwort des Lesegeräts</source>
        <comment>11103</comment>
        <translation>Checksum error in the reader's reply</translation>
    </message>
    <message>
        <source>Falscher Transpondertyp</source>
        <comment>11104</comment>
        <translation>Wrong transponder type</translation>
    </message>
    <message>
        <source>Der Transponder ist gesperrt</source>
        <comment>11105</comment>
        <translation>The transponder is locked</translation>
    </message>
    <message>
        <source>Transponder erkannt, aber nicht beschreibbar (Passwort oder fremde Konfiguration)</source>
        <comment>11106</comment>
        <translation>Transponder found but not writable (password or foreign configuration)</translation>
    </message>
    <message>
        <source>Fehler beim Schreiben (%1)</source>
        <comment>11107</comment>
        <translation>Write error (%1)</translation>
    </message>
    <message>
        <source>Prüfung fehlgeschlagen: Der Transponder enthält nicht die geschriebenen Daten</source>
        <comment>11108</comment>
        <translation>Verification failed: the transponder does not hold the data written</translation>
    </message>
    <message>
        <source>Prüfung fehlgeschlagen: Der Transponder konnte nicht zurückgelesen werden</source>
        <comment>11109</comment>
        <translation>Verification failed: the transponder could not be read back</translation>
    </message>
    <message>
        <source>%1, Einrichtung %2, Nummer %3</source>
        <comment>11110</comment>
        <translation>%1, facility %2, number %3</translation>
    </message>
    <message>
        <source>%1, Nummer %2</source>
        <comment>11111</comment>
        <translation>%1, number %2</translation>
    </message>
    <message>
        <source>geprüft</source>
        <comment>11112</comment>
        <translation>verified</translation>
    </message>
    <message>
        <source>Serie beendet: %1 Transponder geschrieben</source>
        <comment>11113</comment>
        <translation>Series finished: %1 transponders written</translation>
    </message>
    <message>
        <source>Transponder wegnehmen und erneut auflegen</source>
        <comment>11114</comment>
        <translation>Take the transponder away and lay it again</translation>
    </message>
    <message>
        <source>Transponder ohne Karte im gewählten Format (leer?)</source>
        <comment>11190</comment>
        <translation>Transponder without a card in the chosen format (blank?)</translation>
    </message>
    <message>
        <source>Handbuch</source>
        <comment>11191</comment>
        <translation>Manual</translation>
    </message>
    <message>
        <source>Menü: Schnittstelle, Einstellungen, Kartenregister, Sprache, Handbuch (F1)</source>
        <comment>11192</comment>
        <translation>Menu: interface, settings, card register, language, manual (F1)</translation>
    </message>
    <message>
        <source>Chiptyp des Transponders, der beschrieben oder gelesen wird</source>
        <comment>11302</comment>
        <translation>Chip type of the transponder to write or read</translation>
    </message>
    <message>
        <source>CSV für Tabellenkalkulation, Semikolon (*.csv)</source>
        <comment>11193</comment>
        <translation>CSV for spreadsheets, semicolon (*.csv)</translation>
    </message>
    <message>
        <source>CSV mit Komma (*.csv)</source>
        <comment>11194</comment>
        <translation>CSV with commas (*.csv)</translation>
    </message>
    <message>
        <source>Serie beendet: 1 Transponder geschrieben</source>
        <comment>11195</comment>
        <translation>Series finished: 1 transponder written</translation>
    </message>
    <message>
        <source>Nicht protokolliert: %1</source>
        <comment>11115</comment>
        <translation>Not logged: %1</translation>
    </message>
    <message>
        <source>Die nächste Nummer kann nicht gespeichert werden (%1); die Serie hält vor dem nächsten Transponder an</source>
        <comment>11116</comment>
        <translation>The next number cannot be stored (%1); the series stops before the next transponder</translation>
    </message>
    <message>
        <source>Die Einstellungen konnten nicht in %1 gespeichert werden</source>
        <comment>11117</comment>
        <translation>The settings could not be saved in %1</translation>
    </message>
    <message>
        <source>Schnittstelle: %1</source>
        <comment>11310</comment>
        <translation>Interface: %1</translation>
    </message>
    <message>
        <source>Die Leitung %1 gibt es nicht.</source>
        <comment>11311</comment>
        <translation>There is no line %1.</translation>
    </message>
    <message>
        <source>Geschrieben, aber im Kartenregister nicht bestätigt: %1 (%2)</source>
        <comment>11210</comment>
        <translation>Written but not confirmed in the card register: %1 (%2)</translation>
    </message>
    <message>
        <source>Auf diesem Transponder steht die gültige Karte %1 des Kartenregisters (geschrieben am %2).

Den Transponder mit %3 überschreiben? Die bisherige Karte gilt dann als ersetzt.</source>
        <comment>11211</comment>
        <translation>This transponder carries the valid card %1 of the card register (written on %2).

Write %3 over it? The earlier card then counts as replaced.</translation>
    </message>
    <message>
        <source>Ersatzkarte</source>
        <comment>11212</comment>
        <translation>Replacement card</translation>
    </message>
    <message>
        <source>Grund der Ersatzkarte (zum Beispiel defekt):</source>
        <comment>11213</comment>
        <translation>Reason for the replacement card (for example broken):</translation>
    </message>
    <message>
        <source>Transponder trägt bereits die gültige Karte %1 (seit %2); er wird nicht überschrieben</source>
        <comment>11214</comment>
        <translation>The transponder carries the valid card %1 (since %2); it is not written over</translation>
    </message>
    <message>
        <source>Die Nummer ist nur reserviert: Station %1 schreibt sie gerade (seit %2); keine Ersatzkarte möglich</source>
        <comment>11215</comment>
        <translation>The number is only reserved: station %1 is writing it (since %2); no replacement card possible</translation>
    </message>
    <message>
        <source>Kartenregister: %1</source>
        <comment>11216</comment>
        <translation>Card register: %1</translation>
    </message>
    <message>
        <source>Diagnose…</source>
        <comment>11950</comment>
        <translation>Diagnose…</translation>
    </message>
    <message>
        <source>Diagnose der Schnittstelle</source>
        <comment>11951</comment>
        <translation>Interface diagnosis</translation>
    </message>
    <message>
        <source>Was zwischen diesem Benutzer und dem Lesegerät steht, eine Prüfung je Zeile. Es wird nichts verändert; die Abhilfe führt der Administrator aus.</source>
        <comment>11952</comment>
        <translation>What stands between this user and the reader, one check per line. Nothing is changed; the administrator carries out the fix.</translation>
    </message>
    <message>
        <source>Ergebnis</source>
        <comment>11953</comment>
        <translation>Verdict</translation>
    </message>
    <message>
        <source>Prüfung</source>
        <comment>11954</comment>
        <translation>Check</translation>
    </message>
    <message>
        <source>Befund</source>
        <comment>11955</comment>
        <translation>Finding</translation>
    </message>
    <message>
        <source>Abhilfe</source>
        <comment>11956</comment>
        <translation>Fix</translation>
    </message>
    <message>
        <source>in Ordnung</source>
        <comment>11957</comment>
        <translation>ok</translation>
    </message>
    <message>
        <source>Problem</source>
        <comment>11958</comment>
        <translation>problem</translation>
    </message>
    <message>
        <source>unklar</source>
        <comment>11959</comment>
        <translation>cannot tell</translation>
    </message>
    <message>
        <source>Erneut prüfen</source>
        <comment>11960</comment>
        <translation>Check again</translation>
    </message>
    <message>
        <source>Kopieren</source>
        <comment>11961</comment>
        <translation>Copy</translation>
    </message>
    <message>
        <source>Schließen</source>
        <comment>11962</comment>
        <translation>Close</translation>
    </message>
    <message>
        <source>Kein Problem gefunden</source>
        <comment>11963</comment>
        <translation>No problem found</translation>
    </message>
    <message>
        <source>Probleme gefunden: %1</source>
        <comment>11964</comment>
        <translation>Problems found: %1</translation>
    </message>
    <message>
        <source>Prüfung läuft...</source>
        <comment>11965</comment>
        <translation>Checking...</translation>
    </message>
</context>
</TS>
