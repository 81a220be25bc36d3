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
        <translation>Anruf von %1 (%2)</translation>
    </message>
    <message>
        <source>the call from %1 to %2 (%3)</source>
        <translation>Anruf von %1 an %2 (%3)</translation>
    </message>
    <message>
        <source>End the call from %1 (%2)?</source>
        <translation>Anruf von %1 beenden (%2)?</translation>
    </message>
    <message>
        <source>End the call from %1 to %2 (%3)?</source>
        <translation>Anruf von %1 an %2 beenden (%3)?</translation>
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
        <source>%1: no answer, the connection ended</source>
        <translation>%1: keine Antwort, die Verbindung wurde beendet</translation>
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
        <source>&amp;CA file:</source>
        <translation>&amp;CA-Datei:</translation>
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
        <source>Connect at &amp;start</source>
        <translation>Beim Pr&amp;ogrammstart verbinden</translation>
    </message>
    <message>
        <source>Asked at each connect unless remembered</source>
        <translation>Wird bei jeder Verbindung abgefragt, sofern nicht gemerkt</translation>
    </message>
    <message>
        <source>&amp;Save</source>
        <translation>&amp;Speichern</translation>
    </message>
    <message>
        <source>There is already a PBX named %1.</source>
        <translation>Es gibt bereits eine TK-Anlage namens %1.</translation>
    </message>
</context>
<context>
    <name>ConsoleConnection</name>
    <message>
        <source>Corvale Console - %1</source>
        <translation>Corvale-Konsole - %1</translation>
    </message>
    <message>
        <source>no hangup was sent</source>
        <translation>es wurde kein Auflegen gesendet</translation>
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
        <source>Reconnecting, attempt %1, next in %2 s</source>
        <translation>Verbindung wird wiederhergestellt, Versuch %1, nächster in %2 s</translation>
    </message>
    <message>
        <source>Disconnected: %1</source>
        <translation>Getrennt: %1</translation>
    </message>
    <message>
        <source>Refused: %1</source>
        <translation>Abgelehnt: %1</translation>
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
        <source>reconnecting, attempt %1, next in %2 s</source>
        <translation>verbindet neu, Versuch %1, nächster in %2 s</translation>
    </message>
    <message>
        <source>disconnected: %1</source>
        <translation>getrennt: %1</translation>
    </message>
    <message>
        <source>refused: %1</source>
        <translation>abgelehnt: %1</translation>
    </message>
</context>
<context>
    <name>ConsoleWindow</name>
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
        <source>Not connected</source>
        <translation>Nicht verbunden</translation>
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
    <message>
        <source>P&amp;BXs</source>
        <translation>&amp;TK-Anlagen</translation>
    </message>
    <message>
        <source>the connection to its PBX ended</source>
        <translation>die Verbindung zu seiner TK-Anlage wurde beendet</translation>
    </message>
    <message>
        <source>%1: %2</source>
        <translation>%1: %2</translation>
    </message>
    <message>
        <source>State of the PBX %1</source>
        <translation>Status der TK-Anlage %1</translation>
    </message>
    <message>
        <source>Queues</source>
        <translation>Warteschlangen</translation>
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
    <message>
        <source>its PBX is no longer connected</source>
        <translation>seine TK-Anlage ist nicht mehr verbunden</translation>
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
</TS>
