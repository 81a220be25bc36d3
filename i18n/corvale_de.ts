<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>CallEnder</name>
    <message>
        <source>1 channel</source>
        <translation>1 Kanal</translation>
    </message>
    <message numerus="yes">
        <source>%n channels</source>
        <translation>
            <numerusform>%n Kanal</numerusform>
            <numerusform>%n Kanäle</numerusform>
        </translation>
    </message>
    <message>
        <source>the call from %1 (%2)</source>
        <translation>Gespräch von %1 (%2)</translation>
    </message>
    <message>
        <source>the call from %1 to %2 (%3)</source>
        <translation>Gespräch von %1 an %2 (%3)</translation>
    </message>
    <message>
        <source>End the call from %1 (%2)?</source>
        <translation>Gespräch von %1 beenden (%2)?</translation>
    </message>
    <message>
        <source>End the call from %1 to %2 (%3)?</source>
        <translation>Gespräch von %1 an %2 beenden (%3)?</translation>
    </message>
    <message>
        <source>Hang up the channel %1 of %2?</source>
        <translation>Den Kanal %1 auflegen? Er gehört zum %2.</translation>
    </message>
    <message>
        <source>- %1</source>
        <translation>- %1</translation>
    </message>
    <message>
        <source>- the channel %1</source>
        <translation>- Kanal %1</translation>
    </message>
    <message>
        <source>Hang up %1?</source>
        <translation>%1 auflegen?</translation>
    </message>
    <message>
        <source>Hanging up %1...</source>
        <translation>Auflegen: %1...</translation>
    </message>
    <message>
        <source>%1: %2</source>
        <translation>%1: %2</translation>
    </message>
    <message>
        <source>Hung up %1.</source>
        <translation>Aufgelegt: %1.</translation>
    </message>
    <message>
        <source>Hung up %1 of %2 channels.</source>
        <translation>%1 von %2 Kanälen aufgelegt.</translation>
    </message>
    <message>
        <source>These channels could not be hung up:</source>
        <translation>Diese Kanäle konnten nicht aufgelegt werden:</translation>
    </message>
    <message>
        <source>%1 on %2</source>
        <translation>%1 auf %2</translation>
    </message>
    <message>
        <source>- the channel %1 on %2</source>
        <translation>- Kanal %1 auf %2</translation>
    </message>
    <message>
        <source>its PBX is no longer connected</source>
        <translation>seine TK-Anlage ist nicht mehr verbunden</translation>
    </message>
    <message>
        <source>no answer, the connection ended</source>
        <translation>keine Antwort, die Verbindung wurde beendet</translation>
    </message>
</context>
<context>
    <name>CallPresentation</name>
    <message>
        <source>%1st</source>
        <translation>%1.</translation>
    </message>
    <message>
        <source>%1nd</source>
        <translation>%1.</translation>
    </message>
    <message>
        <source>%1rd</source>
        <translation>%1.</translation>
    </message>
    <message>
        <source>%1th</source>
        <translation>%1.</translation>
    </message>
    <message>
        <source>Waiting in %1, %2</source>
        <translation>Wartet in %1, %2</translation>
    </message>
</context>
<context>
    <name>CallTreeModel</name>
    <message>
        <source>%1, long call</source>
        <translation>%1, langes Gespräch</translation>
    </message>
    <message>
        <source>1 channel</source>
        <translation>1 Kanal</translation>
    </message>
    <message numerus="yes">
        <source>%n channels</source>
        <translation>
            <numerusform>%n Kanal</numerusform>
            <numerusform>%n Kanäle</numerusform>
        </translation>
    </message>
    <message>
        <source>From</source>
        <translation>Von</translation>
    </message>
    <message>
        <source>To</source>
        <translation>An</translation>
    </message>
    <message>
        <source>Channels</source>
        <translation>Kanäle</translation>
    </message>
    <message>
        <source>State</source>
        <translation>Status</translation>
    </message>
    <message>
        <source>Duration</source>
        <translation>Dauer</translation>
    </message>
    <message>
        <source>PBX</source>
        <translation>TK-Anlage</translation>
    </message>
    <message>
        <source>Calling party: number and name</source>
        <translation>Anrufer: Nummer und Name</translation>
    </message>
    <message>
        <source>Called party: extension, or number and name once answered</source>
        <translation>Angerufener: Nebenstelle, nach der Annahme Nummer und Name</translation>
    </message>
    <message>
        <source>Channels: how many a call has, or a channel&apos;s name</source>
        <translation>Kanäle: wie viele ein Gespräch hat, oder der Name eines Kanals</translation>
    </message>
    <message>
        <source>Channel state</source>
        <translation>Kanalstatus</translation>
    </message>
    <message>
        <source>Duration in hours, minutes and seconds</source>
        <translation>Dauer in Stunden, Minuten und Sekunden</translation>
    </message>
    <message>
        <source>PBX the call is on</source>
        <translation>TK-Anlage, über die das Gespräch läuft</translation>
    </message>
</context>
<context>
    <name>CallTreeView</name>
    <message>
        <source>Calls</source>
        <translation>Gespräche</translation>
    </message>
    <message>
        <source>Menu of the current row</source>
        <translation>Menü der aktuellen Zeile</translation>
    </message>
</context>
<context>
    <name>ConnectDialog</name>
    <message>
        <source>Use &amp;TLS</source>
        <translation>&amp;TLS verwenden</translation>
    </message>
    <message>
        <source>&amp;Browse...</source>
        <translation>&amp;Durchsuchen...</translation>
    </message>
    <message>
        <source>Connect to a PBX</source>
        <translation>Mit einer TK-Anlage verbinden</translation>
    </message>
    <message>
        <source>The system&apos;s authorities</source>
        <translation>Systemzertifikate</translation>
    </message>
    <message>
        <source>Plain: the secret is sent</source>
        <translation>Einfach: das Kennwort wird gesendet</translation>
    </message>
    <message>
        <source>Challenge (md5): the secret stays here</source>
        <translation>Challenge (md5): das Kennwort bleibt hier</translation>
    </message>
    <message>
        <source>Host</source>
        <translation>Host</translation>
    </message>
    <message>
        <source>Port</source>
        <translation>Port</translation>
    </message>
    <message>
        <source>User</source>
        <translation>Benutzer</translation>
    </message>
    <message>
        <source>Secret</source>
        <translation>Kennwort</translation>
    </message>
    <message>
        <source>Use TLS</source>
        <translation>TLS verwenden</translation>
    </message>
    <message>
        <source>File of trusted certificates</source>
        <translation>Datei mit vertrauenswürdigen Zertifikaten</translation>
    </message>
    <message>
        <source>Choose the file of trusted certificates</source>
        <translation>Datei mit vertrauenswürdigen Zertifikaten auswählen</translation>
    </message>
    <message>
        <source>Login method</source>
        <translation>Anmeldeverfahren</translation>
    </message>
    <message>
        <source>What is wrong</source>
        <translation>Was nicht stimmt</translation>
    </message>
    <message>
        <source>&amp;Host:</source>
        <translation>&amp;Host:</translation>
    </message>
    <message>
        <source>&amp;Port:</source>
        <translation>&amp;Port:</translation>
    </message>
    <message>
        <source>&amp;User:</source>
        <translation>&amp;Benutzer:</translation>
    </message>
    <message>
        <source>&amp;Secret:</source>
        <translation>&amp;Kennwort:</translation>
    </message>
    <message>
        <source>&amp;Login:</source>
        <translation>&amp;Anmeldung:</translation>
    </message>
    <message>
        <source>&amp;Connect</source>
        <translation>&amp;Verbinden</translation>
    </message>
    <message>
        <source>The certificates given on the command line</source>
        <translation>Zertifikate von der Kommandozeile</translation>
    </message>
    <message>
        <source>PEM certificates (*.pem *.crt);;All files (*)</source>
        <translation>PEM-Zertifikate (*.pem *.crt);;Alle Dateien (*)</translation>
    </message>
    <message>
        <source>There is no file %1.</source>
        <translation>Die Datei %1 gibt es nicht.</translation>
    </message>
    <message>
        <source>%1 is a folder, not a file.</source>
        <translation>%1 ist ein Ordner, keine Datei.</translation>
    </message>
    <message>
        <source>%1 is not a regular file.</source>
        <translation>%1 ist keine reguläre Datei.</translation>
    </message>
    <message>
        <source>%1 is larger than 1 MiB, too large for certificates.</source>
        <translation>%1 ist größer als 1 MiB, zu groß für Zertifikate.</translation>
    </message>
    <message>
        <source>%1 cannot be read.</source>
        <translation>%1 kann nicht gelesen werden.</translation>
    </message>
    <message>
        <source>%1 holds no PEM certificate.</source>
        <translation>%1 enthält kein PEM-Zertifikat.</translation>
    </message>
    <message>
        <source>The host needs a host name or address.</source>
        <translation>Als Host ist ein Hostname oder eine Adresse nötig.</translation>
    </message>
    <message>
        <source>The host holds a control character.</source>
        <translation>Der Host enthält ein Steuerzeichen.</translation>
    </message>
    <message>
        <source>The port must be a whole number from 1 to 65535.</source>
        <translation>Der Port muss eine ganze Zahl von 1 bis 65535 sein.</translation>
    </message>
    <message>
        <source>The user name holds a control character.</source>
        <translation>Der Benutzername enthält ein Steuerzeichen.</translation>
    </message>
    <message>
        <source>Saved PBX</source>
        <translation>Gespeicherte TK-Anlage</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>&amp;Name:</source>
        <translation>&amp;Name:</translation>
    </message>
    <message>
        <source>&amp;Remember the secret in the keyring</source>
        <translation>Kennwort im Schlüsselbund &amp;merken</translation>
    </message>
    <message>
        <source>R&amp;econnect when the connection is lost</source>
        <translation>Bei Verbindungsverlust neu v&amp;erbinden</translation>
    </message>
    <message>
        <source>Asked at each connect unless remembered</source>
        <translation>Wird bei jeder Verbindung abgefragt, sofern nicht gemerkt</translation>
    </message>
    <message>
        <source>There is already a PBX named %1.</source>
        <translation>Es gibt bereits eine TK-Anlage namens %1.</translation>
    </message>
    <message>
        <source>C&amp;A file:</source>
        <translation>&amp;Zertifikatsdatei:</translation>
    </message>
    <message>
        <source>C&amp;onnect at start</source>
        <translation>Beim Programm&amp;start verbinden</translation>
    </message>
    <message>
        <source>Sa&amp;ve</source>
        <translation>Spei&amp;chern</translation>
    </message>
</context>
<context>
    <name>ConsoleConnection</name>
    <message>
        <source>Corvale Console - %1</source>
        <translation>Corvale-Konsole - %1</translation>
    </message>
    <message>
        <source>Not connected</source>
        <translation>Nicht verbunden</translation>
    </message>
    <message>
        <source>Connecting to %1...</source>
        <translation>Verbinde mit %1...</translation>
    </message>
    <message>
        <source>Logging in to %1 as %2...</source>
        <translation>Anmeldung bei %1 als %2...</translation>
    </message>
    <message>
        <source>Connected to %1 as %2</source>
        <translation>Verbunden mit %1 als %2</translation>
    </message>
    <message>
        <source>TLS, certificate checked, challenge login</source>
        <translation>TLS, Zertifikat geprüft, Challenge-Anmeldung</translation>
    </message>
    <message>
        <source>TLS, certificate checked</source>
        <translation>TLS, Zertifikat geprüft</translation>
    </message>
    <message>
        <source>Challenge login, not encrypted</source>
        <translation>Challenge-Anmeldung, unverschlüsselt</translation>
    </message>
    <message>
        <source>Not encrypted</source>
        <translation>Unverschlüsselt</translation>
    </message>
    <message>
        <source>%1: %2</source>
        <translation>%1: %2</translation>
    </message>
    <message>
        <source>not connected</source>
        <translation>nicht verbunden</translation>
    </message>
    <message>
        <source>connecting</source>
        <translation>verbindet</translation>
    </message>
    <message>
        <source>logging in</source>
        <translation>meldet sich an</translation>
    </message>
    <message>
        <source>connected</source>
        <translation>verbunden</translation>
    </message>
    <message>
        <source>%1 (%2)</source>
        <translation>%1 (%2)</translation>
    </message>
    <message>
        <source>Reconnecting since %1, attempt %2, next in %3 s</source>
        <translation>Verbindung wird seit %1 wiederhergestellt, Versuch %2, nächster in %3 s</translation>
    </message>
    <message>
        <source>Disconnected</source>
        <translation>Getrennt</translation>
    </message>
    <message>
        <source>Calls listed with CoreShowChannels</source>
        <translation>Gespräche aufgelistet mit CoreShowChannels</translation>
    </message>
    <message>
        <source>Calls listed with Status: this manager user may not use CoreShowChannels</source>
        <translation>Gespräche aufgelistet mit Status: dieser Manager-Benutzer darf CoreShowChannels nicht verwenden</translation>
    </message>
    <message>
        <source>Calls listed with Status</source>
        <translation>Gespräche aufgelistet mit Status</translation>
    </message>
    <message>
        <source>reconnecting since %1, attempt %2, next in %3 s</source>
        <translation>verbindet seit %1 neu, Versuch %2, nächster in %3 s</translation>
    </message>
    <message>
        <source>disconnected</source>
        <translation>getrennt</translation>
    </message>
    <message>
        <source>failed</source>
        <translation>fehlgeschlagen</translation>
    </message>
    <message>
        <source>Corvale Console</source>
        <translation>Corvale-Konsole</translation>
    </message>
    <message>
        <source>Corvale Console - %1 (reconnecting)</source>
        <translation>Corvale-Konsole - %1 (verbindet neu)</translation>
    </message>
</context>
<context>
    <name>ConsoleStatusBar</name>
    <message>
        <source>Not connected</source>
        <translation>Nicht verbunden</translation>
    </message>
    <message>
        <source>State of the PBX %1</source>
        <translation>Status der TK-Anlage %1</translation>
    </message>
    <message>
        <source>1 call</source>
        <translation>1 Gespräch</translation>
    </message>
    <message>
        <source>%1 calls</source>
        <translation>%1 Gespräche</translation>
    </message>
    <message>
        <source>%1 of 1 call</source>
        <translation>%1 von 1 Gespräch</translation>
    </message>
    <message>
        <source>%1 of %2 calls</source>
        <translation>%1 von %2 Gesprächen</translation>
    </message>
    <message>
        <source>1 long call</source>
        <translation>1 langes Gespräch</translation>
    </message>
    <message>
        <source>%1 long calls</source>
        <translation>%1 lange Gespräche</translation>
    </message>
</context>
<context>
    <name>ConsoleWindow</name>
    <message>
        <source>History</source>
        <translation>Verlauf</translation>
    </message>
    <message>
        <source>Corvale Console</source>
        <translation>Corvale-Konsole</translation>
    </message>
    <message>
        <source>Filter calls by number, name, extension or channel</source>
        <translation>Gespräche nach Nummer, Name, Nebenstelle oder Kanal filtern</translation>
    </message>
    <message>
        <source>Filter calls</source>
        <translation>Gespräche filtern</translation>
    </message>
    <message>
        <source>Shows only the calls holding this text, regardless of case and accents</source>
        <translation>Zeigt nur die Gespräche mit diesem Text, ohne Rücksicht auf Groß- und Kleinschreibung und Akzente</translation>
    </message>
    <message>
        <source>Calls</source>
        <translation>Gespräche</translation>
    </message>
    <message>
        <source>&amp;Hang up</source>
        <translation>&amp;Auflegen</translation>
    </message>
    <message>
        <source>&amp;Do not ask again</source>
        <translation>&amp;Nicht mehr fragen</translation>
    </message>
    <message>
        <source>&amp;Connect...</source>
        <translation>&amp;Verbinden...</translation>
    </message>
    <message>
        <source>Connect to a PBX (Ctrl+N)</source>
        <translation>Mit einer TK-Anlage verbinden (Strg+N)</translation>
    </message>
    <message>
        <source>&amp;Refresh</source>
        <translation>A&amp;ktualisieren</translation>
    </message>
    <message>
        <source>List the calls again (F5)</source>
        <translation>Die Gespräche neu auflisten (F5)</translation>
    </message>
    <message>
        <source>&amp;Hang Up</source>
        <translation>&amp;Auflegen</translation>
    </message>
    <message>
        <source>&amp;Find</source>
        <translation>&amp;Suchen</translation>
    </message>
    <message>
        <source>&amp;Preferences...</source>
        <translation>&amp;Einstellungen...</translation>
    </message>
    <message>
        <source>&amp;Quit</source>
        <translation>&amp;Beenden</translation>
    </message>
    <message>
        <source>Clear the filter</source>
        <translation>Filter leeren</translation>
    </message>
    <message>
        <source>Show all calls</source>
        <translation>Alle Gespräche zeigen</translation>
    </message>
    <message>
        <source>&amp;Calls</source>
        <translation>&amp;Gespräche</translation>
    </message>
    <message>
        <source>&amp;File</source>
        <translation>&amp;Datei</translation>
    </message>
    <message>
        <source>Hang up this channel</source>
        <translation>Diesen Kanal auflegen</translation>
    </message>
    <message>
        <source>End the whole call</source>
        <translation>Das ganze Gespräch beenden</translation>
    </message>
    <message>
        <source>End the selected calls</source>
        <translation>Die ausgewählten Gespräche beenden</translation>
    </message>
    <message>
        <source> (Delete)</source>
        <translation> (Entf)</translation>
    </message>
    <message>
        <source>P&amp;BXs</source>
        <translation>&amp;TK-Anlagen</translation>
    </message>
    <message>
        <source>Go to the calls</source>
        <translation>Zu den Gesprächen</translation>
    </message>
    <message>
        <source>&amp;View</source>
        <translation>&amp;Ansicht</translation>
    </message>
    <message>
        <source>Sort by &amp;From</source>
        <translation>Nach &amp;Von sortieren</translation>
    </message>
    <message>
        <source>Sort by &amp;To</source>
        <translation>Nach &amp;An sortieren</translation>
    </message>
    <message>
        <source>Sort by C&amp;hannels</source>
        <translation>Nach &amp;Kanälen sortieren</translation>
    </message>
    <message>
        <source>Sort by &amp;State</source>
        <translation>Nach &amp;Status sortieren</translation>
    </message>
    <message>
        <source>Sort by &amp;Duration</source>
        <translation>Nach &amp;Dauer sortieren</translation>
    </message>
    <message>
        <source>Sort by &amp;PBX</source>
        <translation>Nach &amp;TK-Anlage sortieren</translation>
    </message>
    <message>
        <source>Hang up this &amp;channel</source>
        <translation>Diesen &amp;Kanal auflegen</translation>
    </message>
    <message>
        <source>End the &amp;whole call</source>
        <translation>Das &amp;ganze Gespräch beenden</translation>
    </message>
    <message>
        <source>End the &amp;selected calls</source>
        <translation>Die &amp;ausgewählten Gespräche beenden</translation>
    </message>
    <message>
        <source>Queues</source>
        <translation>Warteschlangen</translation>
    </message>
</context>
<context>
    <name>CsvExport</name>
    <message>
        <source>%1 is a folder. Choose a file name for the export.</source>
        <translation>%1 ist ein Ordner. Wählen Sie einen Dateinamen für den Export.</translation>
    </message>
    <message>
        <source>The folder %1 does not exist. Choose another folder for the export.</source>
        <translation>Der Ordner %1 existiert nicht. Wählen Sie einen anderen Ordner für den Export.</translation>
    </message>
    <message>
        <source>Corvale may not write in the folder %1. Choose another folder for the export.</source>
        <translation>Corvale darf nicht in den Ordner %1 schreiben. Wählen Sie einen anderen Ordner für den Export.</translation>
    </message>
    <message>
        <source>The export could not be written to %1: %2</source>
        <translation>Der Export konnte nicht nach %1 geschrieben werden: %2</translation>
    </message>
    <message>
        <source>%1 in seconds</source>
        <translation>%1 in Sekunden</translation>
    </message>
</context>
<context>
    <name>HangupCauses</name>
    <message>
        <source>unallocated number</source>
        <translation>Nummer nicht vergeben</translation>
    </message>
    <message>
        <source>no route to the number</source>
        <translation>kein Weg zur Nummer</translation>
    </message>
    <message>
        <source>ended normally</source>
        <translation>normal beendet</translation>
    </message>
    <message>
        <source>busy</source>
        <translation>besetzt</translation>
    </message>
    <message>
        <source>no answer</source>
        <translation>keine Antwort</translation>
    </message>
    <message>
        <source>phone not reachable</source>
        <translation>Telefon nicht erreichbar</translation>
    </message>
    <message>
        <source>rejected</source>
        <translation>abgewiesen</translation>
    </message>
    <message>
        <source>number changed</source>
        <translation>Nummer geändert</translation>
    </message>
    <message>
        <source>answered elsewhere</source>
        <translation>anderswo angenommen</translation>
    </message>
    <message>
        <source>phone out of order</source>
        <translation>Telefon außer Betrieb</translation>
    </message>
    <message>
        <source>incomplete number</source>
        <translation>unvollständige Nummer</translation>
    </message>
    <message>
        <source>no circuit available</source>
        <translation>keine Leitung frei</translation>
    </message>
    <message>
        <source>network congested</source>
        <translation>Netz überlastet</translation>
    </message>
    <message>
        <source>network out of order</source>
        <translation>Netz außer Betrieb</translation>
    </message>
    <message>
        <source>temporary failure</source>
        <translation>vorübergehende Störung</translation>
    </message>
    <message>
        <source>cause %1</source>
        <translation>Ursache %1</translation>
    </message>
</context>
<context>
    <name>HistoryModel</name>
    <message>
        <source>abandoned in %1 after %2 at position %3</source>
        <translation>in %1 nach %2 an Position %3 aufgegeben</translation>
    </message>
    <message>
        <source>abandoned in %1 after %2</source>
        <translation>in %1 nach %2 aufgegeben</translation>
    </message>
    <message>
        <source>ended from this console</source>
        <translation>von dieser Konsole beendet</translation>
    </message>
    <message>
        <source>answered after %1</source>
        <translation>nach %1 angenommen</translation>
    </message>
    <message>
        <source>answered by %1 after %2</source>
        <translation>nach %2 von %1 angenommen</translation>
    </message>
    <message>
        <source>The history holds the calls that ended while connected in the last %1 hours, at most %2 of them, in memory for this run only: nothing is written to disk unless you export it.</source>
        <translation>Der Verlauf enthält die Gespräche, die während der Verbindung in den letzten %1 Stunden endeten, höchstens %2, nur im Arbeitsspeicher und nur für diese Sitzung: Nichts wird auf die Festplatte geschrieben, außer Sie exportieren es.</translation>
    </message>
    <message>
        <source>%1, abandoned</source>
        <translation>%1, aufgegeben</translation>
    </message>
    <message>
        <source>%1 (the PBX said: %2, cause %3)</source>
        <translation>%1 (die TK-Anlage meldete: %2, Ursache %3)</translation>
    </message>
    <message>
        <source>Ended</source>
        <translation>Beendet</translation>
    </message>
    <message>
        <source>From</source>
        <translation>Von</translation>
    </message>
    <message>
        <source>To</source>
        <translation>An</translation>
    </message>
    <message>
        <source>PBX</source>
        <translation>TK-Anlage</translation>
    </message>
    <message>
        <source>Duration</source>
        <translation>Dauer</translation>
    </message>
    <message>
        <source>How it ended</source>
        <translation>Wie es endete</translation>
    </message>
</context>
<context>
    <name>HistoryView</name>
    <message>
        <source>C&amp;all-back list</source>
        <translation>&amp;Rückrufliste</translation>
    </message>
    <message>
        <source>Filter the history by number, name, PBX or how it ended</source>
        <translation>Verlauf nach Nummer, Name, TK-Anlage oder Ende filtern</translation>
    </message>
    <message>
        <source>Filter the history</source>
        <translation>Verlauf filtern</translation>
    </message>
    <message>
        <source>Shows only the calls holding this text, regardless of case and accents</source>
        <translation>Zeigt nur die Gespräche mit diesem Text, ohne Rücksicht auf Groß- und Kleinschreibung und Akzente</translation>
    </message>
    <message>
        <source>Only the callers who gave up waiting in a queue, to call them back</source>
        <translation>Nur die Anrufer, die das Warten in einer Warteschlange aufgegeben haben, zum Zurückrufen</translation>
    </message>
    <message>
        <source>History</source>
        <translation>Verlauf</translation>
    </message>
</context>
<context>
    <name>KeychainSecretStore</name>
    <message>
        <source>No keyring is available on this computer, so the secret cannot be remembered: you will be asked for it at each connect.</source>
        <translation>Auf diesem Computer ist kein Schlüsselbund verfügbar, daher kann das Kennwort nicht gespeichert werden: Sie werden bei jeder Verbindung danach gefragt.</translation>
    </message>
    <message>
        <source>Corvale Console</source>
        <translation>Corvale-Konsole</translation>
    </message>
</context>
<context>
    <name>PauseDialog</name>
    <message>
        <source>In &amp;every queue of this member</source>
        <translation>In &amp;jeder Warteschlange dieses Mitglieds</translation>
    </message>
    <message>
        <source>Pause a Queue Member</source>
        <translation>Mitglied einer Warteschlange pausieren</translation>
    </message>
    <message>
        <source>No reason</source>
        <translation>Kein Grund</translation>
    </message>
    <message>
        <source>Reason for the pause</source>
        <translation>Grund der Pause</translation>
    </message>
    <message>
        <source>Member:</source>
        <translation>Mitglied:</translation>
    </message>
    <message>
        <source>Queue:</source>
        <translation>Warteschlange:</translation>
    </message>
    <message>
        <source>&amp;Reason:</source>
        <translation>&amp;Grund:</translation>
    </message>
    <message>
        <source>&amp;Pause</source>
        <translation>&amp;Pausieren</translation>
    </message>
    <message>
        <source>A reason cannot hold a line break.</source>
        <translation>Ein Grund darf keinen Zeilenumbruch enthalten.</translation>
    </message>
    <message>
        <source>A reason cannot hold a NUL character.</source>
        <translation>Ein Grund darf kein NUL-Zeichen enthalten.</translation>
    </message>
</context>
<context>
    <name>PbxProfile</name>
    <message>
        <source>The PBX needs a name.</source>
        <translation>Die TK-Anlage braucht einen Namen.</translation>
    </message>
    <message>
        <source>The name cannot begin or end with a space.</source>
        <translation>Der Name darf nicht mit einem Leerzeichen beginnen oder enden.</translation>
    </message>
    <message>
        <source>The name cannot hold / or \.</source>
        <translation>Der Name darf weder / noch \ enthalten.</translation>
    </message>
    <message>
        <source>The name holds a control character.</source>
        <translation>Der Name enthält ein Steuerzeichen.</translation>
    </message>
</context>
<context>
    <name>PreferencesDialog</name>
    <message>
        <source>&amp;Ask before hanging up</source>
        <translation>Vor dem &amp;Auflegen fragen</translation>
    </message>
    <message>
        <source>Console Preferences</source>
        <translation>Einstellungen der Konsole</translation>
    </message>
    <message>
        <source> min</source>
        <translation> min</translation>
    </message>
    <message>
        <source>A call is long after this many minutes</source>
        <translation>Ein Gespräch gilt nach so vielen Minuten als lang</translation>
    </message>
    <message>
        <source>Ask before hanging up</source>
        <translation>Vor dem Auflegen fragen</translation>
    </message>
    <message>
        <source>A call is &amp;long after:</source>
        <translation>Ein Gespräch gilt als &amp;lang nach:</translation>
    </message>
    <message>
        <source>&amp;Notify the desktop of long waits</source>
        <translation>Lange Wartezeiten am Desktop &amp;melden</translation>
    </message>
    <message>
        <source> s</source>
        <translation> s</translation>
    </message>
    <message>
        <source>the queue&apos;s service level, else 60 s</source>
        <translation>Servicelevel der Warteschlange, sonst 60 s</translation>
    </message>
    <message>
        <source>A caller has waited long after this many seconds</source>
        <translation>Ein Anrufer wartet nach so vielen Sekunden lange</translation>
    </message>
    <message>
        <source>A &amp;wait in a queue is long after:</source>
        <translation>Eine &amp;Wartezeit ist lang nach:</translation>
    </message>
</context>
<context>
    <name>ProfileConnections</name>
    <message>
        <source>Secret</source>
        <translation>Kennwort</translation>
    </message>
    <message>
        <source>The secret for the PBX %1:</source>
        <translation>Das Kennwort für die TK-Anlage %1:</translation>
    </message>
    <message>
        <source>&amp;Add a PBX...</source>
        <translation>TK-Anlage &amp;hinzufügen...</translation>
    </message>
    <message>
        <source>%1 (connected)</source>
        <translation>%1 (verbunden)</translation>
    </message>
    <message>
        <source>&amp;Connect</source>
        <translation>&amp;Verbinden</translation>
    </message>
    <message>
        <source>&amp;Disconnect</source>
        <translation>&amp;Trennen</translation>
    </message>
    <message>
        <source>&amp;Edit...</source>
        <translation>&amp;Bearbeiten...</translation>
    </message>
    <message>
        <source>&amp;Remove</source>
        <translation>&amp;Entfernen</translation>
    </message>
    <message>
        <source>No PBX is saved under the name %1.</source>
        <translation>Unter dem Namen %1 ist keine TK-Anlage gespeichert.</translation>
    </message>
    <message>
        <source>No keyring is available: the secret will be asked for at each connect.</source>
        <translation>Kein Schlüsselbund verfügbar: Das Kennwort wird bei jeder Verbindung abgefragt.</translation>
    </message>
    <message>
        <source>New PBX</source>
        <translation>Neue TK-Anlage</translation>
    </message>
</context>
<context>
    <name>QueueTreeModel</name>
    <message>
        <source>%1% within %2 s</source>
        <translation>%1% in %2 s</translation>
    </message>
    <message>
        <source>%1%</source>
        <translation>%1%</translation>
    </message>
    <message>
        <source>Free</source>
        <translation>Frei</translation>
    </message>
    <message>
        <source>Ringing</source>
        <translation>Klingelt</translation>
    </message>
    <message>
        <source>On a call</source>
        <translation>Im Gespräch</translation>
    </message>
    <message>
        <source>Unavailable</source>
        <translation>Nicht erreichbar</translation>
    </message>
    <message>
        <source>Paused</source>
        <translation>Pausiert</translation>
    </message>
    <message>
        <source>Paused (%1)</source>
        <translation>Pausiert (%1)</translation>
    </message>
    <message>
        <source>Paused since %1</source>
        <translation>Pausiert seit %1</translation>
    </message>
    <message>
        <source>Paused (%1) since %2</source>
        <translation>Pausiert (%1) seit %2</translation>
    </message>
    <message>
        <source>No queue events come from this PBX for this user: its queues are listed every %1 s.</source>
        <translation>Diese TK-Anlage sendet diesem Benutzer keine Warteschlangen-Ereignisse: ihre Warteschlangen werden alle %1 s abgefragt.</translation>
    </message>
    <message>
        <source>Not current</source>
        <translation>Nicht aktuell</translation>
    </message>
    <message>
        <source>%1, long wait</source>
        <translation>%1, lange Wartezeit</translation>
    </message>
    <message>
        <source>Time since the last call ended</source>
        <translation>Zeit seit dem Ende des letzten Gesprächs</translation>
    </message>
    <message>
        <source>Queue</source>
        <translation>Warteschlange</translation>
    </message>
    <message>
        <source>State</source>
        <translation>Status</translation>
    </message>
    <message>
        <source>Waiting</source>
        <translation>Wartend</translation>
    </message>
    <message>
        <source>Wait</source>
        <translation>Wartezeit</translation>
    </message>
    <message>
        <source>Answered</source>
        <translation>Angenommen</translation>
    </message>
    <message>
        <source>Abandoned</source>
        <translation>Aufgegeben</translation>
    </message>
    <message>
        <source>Service level</source>
        <translation>Servicelevel</translation>
    </message>
    <message>
        <source>Logged in</source>
        <translation>Angemeldet</translation>
    </message>
    <message>
        <source>PBX</source>
        <translation>TK-Anlage</translation>
    </message>
    <message>
        <source>A queue, a caller waiting in it, or one of its members</source>
        <translation>Eine Warteschlange, ein darin wartender Anrufer oder eines ihrer Mitglieder</translation>
    </message>
    <message>
        <source>A caller&apos;s place in the queue, or what a member is doing</source>
        <translation>Der Platz eines Anrufers in der Warteschlange, oder was ein Mitglied tut</translation>
    </message>
    <message>
        <source>Callers waiting</source>
        <translation>Wartende Anrufer</translation>
    </message>
    <message>
        <source>The longest wait, a caller&apos;s wait, or the time since a member&apos;s last call</source>
        <translation>Die längste Wartezeit, die Wartezeit eines Anrufers oder die Zeit seit dem letzten Gespräch eines Mitglieds</translation>
    </message>
    <message>
        <source>Calls answered, or taken by a member</source>
        <translation>Angenommene Anrufe, oder die eines Mitglieds</translation>
    </message>
    <message>
        <source>Callers who gave up waiting</source>
        <translation>Anrufer, die das Warten aufgegeben haben</translation>
    </message>
    <message>
        <source>Calls answered within the service level, as the PBX reports it</source>
        <translation>Innerhalb des Servicelevels angenommene Anrufe, wie die TK-Anlage sie meldet</translation>
    </message>
    <message>
        <source>Members logged in</source>
        <translation>Angemeldete Mitglieder</translation>
    </message>
    <message>
        <source>Members free for a call</source>
        <translation>Für einen Anruf freie Mitglieder</translation>
    </message>
    <message>
        <source>Members on a call</source>
        <translation>Mitglieder im Gespräch</translation>
    </message>
    <message>
        <source>Members paused</source>
        <translation>Pausierte Mitglieder</translation>
    </message>
    <message>
        <source>PBX the queue is on</source>
        <translation>TK-Anlage der Warteschlange</translation>
    </message>
</context>
<context>
    <name>QueuesView</name>
    <message>
        <source>&amp;Pause Member...</source>
        <translation>Mitglied &amp;pausieren...</translation>
    </message>
    <message>
        <source>&amp;Unpause Member</source>
        <translation>Pause des Mitglieds &amp;beenden</translation>
    </message>
    <message>
        <source>Filter queues by queue, caller or member</source>
        <translation>Warteschlangen nach Warteschlange, Anrufer oder Mitglied filtern</translation>
    </message>
    <message>
        <source>Filter queues</source>
        <translation>Warteschlangen filtern</translation>
    </message>
    <message>
        <source>Queues</source>
        <translation>Warteschlangen</translation>
    </message>
    <message>
        <source>Pause the selected member, with a reason (Ctrl+P)</source>
        <translation>Das gewählte Mitglied mit einem Grund pausieren (Strg+P)</translation>
    </message>
    <message>
        <source>Unpause the selected member (Ctrl+Shift+P)</source>
        <translation>Die Pause des gewählten Mitglieds beenden (Strg+Umschalt+P)</translation>
    </message>
    <message>
        <source>A caller</source>
        <translation>Ein Anrufer</translation>
    </message>
    <message>
        <source>%1 on %2</source>
        <translation>%1 auf %2</translation>
    </message>
    <message>
        <source>Long wait in %1</source>
        <translation>Lange Wartezeit in %1</translation>
    </message>
    <message>
        <source>%1 has waited %2.</source>
        <translation>%1 wartet seit %2.</translation>
    </message>
    <message>
        <source>Pausing %1...</source>
        <translation>%1 wird pausiert...</translation>
    </message>
    <message>
        <source>Unpausing %1...</source>
        <translation>Pause von %1 wird beendet...</translation>
    </message>
    <message>
        <source>The PBX refused to pause or unpause %1: the manager user needs the write class &quot;agent&quot;.</source>
        <translation>Die TK-Anlage hat das Pausieren oder Fortsetzen von %1 abgelehnt: der Manager-Benutzer braucht die Schreibklasse &quot;agent&quot;.</translation>
    </message>
    <message>
        <source>%1: done</source>
        <translation>%1: erledigt</translation>
    </message>
    <message>
        <source>%1: %2</source>
        <translation>%1: %2</translation>
    </message>
    <message>
        <source>%1 could not be paused or unpaused: %2</source>
        <translation>%1 konnte nicht pausiert oder fortgesetzt werden: %2</translation>
    </message>
</context>
<context>
    <name>SessionTexts</name>
    <message>
        <source>The PBX refused the user name or the password.</source>
        <translation>Die TK-Anlage hat den Benutzernamen oder das Kennwort abgelehnt.</translation>
    </message>
    <message>
        <source>The PBX gave no challenge, so the login could not be sent.</source>
        <translation>Die TK-Anlage hat keine Challenge geliefert, daher konnte die Anmeldung nicht gesendet werden.</translation>
    </message>
    <message>
        <source>The PBX refused the challenge login: %1</source>
        <translation>Die TK-Anlage hat die Challenge-Anmeldung abgelehnt: %1</translation>
    </message>
    <message>
        <source>The user name or the password holds a line break or NUL, so the login was not sent.</source>
        <translation>Der Benutzername oder das Kennwort enthält einen Zeilenumbruch oder NUL, daher wurde die Anmeldung nicht gesendet.</translation>
    </message>
    <message>
        <source>Not connected to the PBX: reconnecting.</source>
        <translation>Nicht mit der TK-Anlage verbunden: neue Verbindung wird aufgebaut.</translation>
    </message>
    <message>
        <source>The PBX refused the list of calls: %1</source>
        <translation>Die TK-Anlage hat die Liste der Gespräche verweigert: %1</translation>
    </message>
    <message>
        <source>Lost the connection to %1: %2</source>
        <translation>Verbindung zu %1 verloren: %2</translation>
    </message>
    <message>
        <source>Could not connect to %1: %2</source>
        <translation>Keine Verbindung zu %1: %2</translation>
    </message>
    <message>
        <source>The PBX&apos;s certificate is not trusted: it is not one of the certificates in the chosen file, nor issued by one of them.</source>
        <translation>Dem Zertifikat der TK-Anlage wird nicht vertraut: Es ist keines der Zertifikate in der gewählten Datei und wurde von keinem davon ausgestellt.</translation>
    </message>
    <message>
        <source>The PBX&apos;s certificate is not trusted: no certificate authority this computer trusts issued it. Choose the PBX&apos;s own certificate as the file of trusted certificates.</source>
        <translation>Dem Zertifikat der TK-Anlage wird nicht vertraut: Keine Zertifizierungsstelle, der dieser Computer vertraut, hat es ausgestellt. Wählen Sie das eigene Zertifikat der TK-Anlage als Datei mit vertrauenswürdigen Zertifikaten.</translation>
    </message>
    <message>
        <source>The PBX&apos;s certificate has expired, or is not valid yet.</source>
        <translation>Das Zertifikat der TK-Anlage ist abgelaufen oder noch nicht gültig.</translation>
    </message>
    <message>
        <source>The PBX&apos;s certificate is for another host name, not for %1.</source>
        <translation>Das Zertifikat der TK-Anlage gilt für einen anderen Hostnamen, nicht für %1.</translation>
    </message>
    <message>
        <source>No secure connection to %1:%2 could be set up. Does the PBX offer TLS on this port?</source>
        <translation>Zu %1:%2 konnte keine sichere Verbindung aufgebaut werden. Bietet die TK-Anlage TLS auf diesem Port an?</translation>
    </message>
    <message>
        <source>Nothing was sent.</source>
        <translation>Es wurde nichts gesendet.</translation>
    </message>
    <message>
        <source>Ended the call on %1.</source>
        <translation>Das Gespräch auf %1 wurde beendet.</translation>
    </message>
    <message>
        <source>The call on %1 could not be ended: %2</source>
        <translation>Das Gespräch auf %1 konnte nicht beendet werden: %2</translation>
    </message>
    <message>
        <source>The PBX did not answer the request to end the call on %1.</source>
        <translation>Die TK-Anlage hat die Bitte, das Gespräch auf %1 zu beenden, nicht beantwortet.</translation>
    </message>
    <message>
        <source>The connection was lost before the PBX answered the request to end the call on %1.</source>
        <translation>Die Verbindung ging verloren, bevor die TK-Anlage die Bitte beantwortete, das Gespräch auf %1 zu beenden.</translation>
    </message>
    <message>
        <source>The call on %1 had already ended.</source>
        <translation>Das Gespräch auf %1 war bereits beendet.</translation>
    </message>
    <message>
        <source>The list of calls did not arrive, so the call on %1 was not ended.</source>
        <translation>Die Liste der Gespräche kam nicht an, daher wurde das Gespräch auf %1 nicht beendet.</translation>
    </message>
    <message>
        <source>The call names no channel, so nothing was sent.</source>
        <translation>Das Gespräch nennt keinen Kanal, daher wurde nichts gesendet.</translation>
    </message>
    <message>
        <source>The channel %1 holds a line break or NUL, so nothing was sent.</source>
        <translation>Der Kanal %1 enthält einen Zeilenumbruch oder NUL, daher wurde nichts gesendet.</translation>
    </message>
    <message>
        <source>The channel %1 begins with &quot;/&quot;, which the PBX would read as a pattern for many calls, so nothing was sent.</source>
        <translation>Der Kanal %1 beginnt mit „/“, was die TK-Anlage als Muster für viele Gespräche lesen würde, daher wurde nichts gesendet.</translation>
    </message>
    <message>
        <source>Not connected to the PBX, so the call on %1 was not ended.</source>
        <translation>Nicht mit der TK-Anlage verbunden, daher wurde das Gespräch auf %1 nicht beendet.</translation>
    </message>
    <message>
        <source>Not logged in yet, so the call on %1 was not ended.</source>
        <translation>Noch nicht angemeldet, daher wurde das Gespräch auf %1 nicht beendet.</translation>
    </message>
    <message>
        <source>The connection ended before the call on %1 was ended.</source>
        <translation>Die Verbindung endete, bevor das Gespräch auf %1 beendet war.</translation>
    </message>
    <message>
        <source>the PBX did not answer</source>
        <translation>die TK-Anlage hat nicht geantwortet</translation>
    </message>
    <message>
        <source>the connection was lost before the PBX answered</source>
        <translation>die Verbindung ging vor der Antwort der TK-Anlage verloren</translation>
    </message>
    <message>
        <source>the list of calls did not arrive</source>
        <translation>die Liste der Gespräche kam nicht an</translation>
    </message>
    <message>
        <source>no channel is named</source>
        <translation>kein Kanal genannt</translation>
    </message>
    <message>
        <source>the name holds a line break or NUL</source>
        <translation>der Name enthält einen Zeilenumbruch oder NUL</translation>
    </message>
    <message>
        <source>the name begins with &quot;/&quot;, which the PBX would read as a pattern</source>
        <translation>der Name beginnt mit „/“, was die TK-Anlage als Muster lesen würde</translation>
    </message>
    <message>
        <source>not connected, reconnecting</source>
        <translation>nicht verbunden, neue Verbindung wird aufgebaut</translation>
    </message>
    <message>
        <source>not logged in yet</source>
        <translation>noch nicht angemeldet</translation>
    </message>
    <message>
        <source>the connection ended</source>
        <translation>die Verbindung wurde beendet</translation>
    </message>
    <message>
        <source>the host name could not be looked up</source>
        <translation>der Hostname konnte nicht aufgelöst werden</translation>
    </message>
    <message>
        <source>the connection was refused</source>
        <translation>die Verbindung wurde abgelehnt</translation>
    </message>
    <message>
        <source>the PBX closed the connection</source>
        <translation>die TK-Anlage hat die Verbindung geschlossen</translation>
    </message>
    <message>
        <source>the PBX shut down</source>
        <translation>die TK-Anlage wurde heruntergefahren</translation>
    </message>
    <message>
        <source>no answer in time</source>
        <translation>keine Antwort in der Zeit</translation>
    </message>
    <message>
        <source>no greeting within %1 s</source>
        <translation>keine Begrüßung innerhalb von %1 s</translation>
    </message>
    <message>
        <source>no secure connection within %1 s</source>
        <translation>keine sichere Verbindung innerhalb von %1 s</translation>
    </message>
    <message>
        <source>no answer to the login within %1 s</source>
        <translation>keine Antwort auf die Anmeldung innerhalb von %1 s</translation>
    </message>
    <message>
        <source>the PBX did not take the login: %1</source>
        <translation>die TK-Anlage hat die Anmeldung nicht angenommen: %1</translation>
    </message>
    <message>
        <source>no answer to the request for the calls within %1 s</source>
        <translation>keine Antwort auf die Abfrage der Gespräche innerhalb von %1 s</translation>
    </message>
    <message>
        <source>no sign of life within %1 s</source>
        <translation>kein Lebenszeichen innerhalb von %1 s</translation>
    </message>
    <message>
        <source>the certificate is not trusted</source>
        <translation>dem Zertifikat wird nicht vertraut</translation>
    </message>
    <message>
        <source>the certificate has expired or is not valid yet</source>
        <translation>das Zertifikat ist abgelaufen oder noch nicht gültig</translation>
    </message>
    <message>
        <source>the certificate is for another host name</source>
        <translation>das Zertifikat gilt für einen anderen Hostnamen</translation>
    </message>
    <message>
        <source>no secure connection could be set up</source>
        <translation>es konnte keine sichere Verbindung aufgebaut werden</translation>
    </message>
</context>
<context>
    <name>ViewExport</name>
    <message>
        <source>&amp;Export...</source>
        <translation>&amp;Exportieren...</translation>
    </message>
    <message>
        <source>&amp;Copy</source>
        <translation>&amp;Kopieren</translation>
    </message>
    <message>
        <source>Write the rows in view to a CSV file (Ctrl+E)</source>
        <translation>Die angezeigten Zeilen in eine CSV-Datei schreiben (Strg+E)</translation>
    </message>
    <message>
        <source>Copy the selected rows as tab-separated text (Ctrl+C)</source>
        <translation>Die ausgewählten Zeilen als tabulatorgetrennten Text kopieren (Strg+C)</translation>
    </message>
    <message>
        <source>Export</source>
        <translation>Exportieren</translation>
    </message>
    <message>
        <source>CSV files (*.csv)</source>
        <translation>CSV-Dateien (*.csv)</translation>
    </message>
    <message>
        <source>Corvale Console</source>
        <translation>Corvale-Konsole</translation>
    </message>
    <message numerus="yes">
        <source>Exported %n rows to %1</source>
        <translation>
            <numerusform>%n Zeile nach %1 exportiert</numerusform>
            <numerusform>%n Zeilen nach %1 exportiert</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>corvale::QueueFeed</name>
    <message>
        <source>The connection has ended.</source>
        <translation>Die Verbindung ist beendet.</translation>
    </message>
    <message>
        <source>The connection to the PBX was lost.</source>
        <translation>Die Verbindung zur TK-Anlage ist verloren gegangen.</translation>
    </message>
    <message>
        <source>The reason, interface or queue holds a line break or NUL, so nothing was sent.</source>
        <translation>Der Grund, die Schnittstelle oder die Warteschlange enthält einen Zeilenumbruch oder ein NUL-Zeichen, daher wurde nichts gesendet.</translation>
    </message>
    <message>
        <source>Not connected to the PBX.</source>
        <translation>Nicht mit der TK-Anlage verbunden.</translation>
    </message>
    <message>
        <source>This session does not follow the queues.</source>
        <translation>Diese Verbindung verfolgt die Warteschlangen nicht.</translation>
    </message>
    <message>
        <source>Nothing was sent.</source>
        <translation>Es wurde nichts gesendet.</translation>
    </message>
    <message>
        <source>The PBX did not answer.</source>
        <translation>Die TK-Anlage hat nicht geantwortet.</translation>
    </message>
</context>
</TS>
