<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>CallEnder</name>
    <message>
        <source>1 channel</source>
        <translation type="unfinished"></translation>
    </message>
    <message numerus="yes">
        <source>%n channels</source>
        <translation type="unfinished">
            <numerusform></numerusform>
            <numerusform></numerusform>
        </translation>
    </message>
    <message>
        <source>the call from %1 (%2)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the call from %1 to %2 (%3)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>End the call from %1 (%2)?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>End the call from %1 to %2 (%3)?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Hang up the channel %1 of %2?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>- %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>- the channel %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Hang up %1?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Hanging up %1...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1: no answer, the connection ended</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Hung up %1.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Hung up %1 of %2 channels.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>These channels could not be hung up:</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CallTreeModel</name>
    <message>
        <source>%1, long call</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>1 channel</source>
        <translation type="unfinished"></translation>
    </message>
    <message numerus="yes">
        <source>%n channels</source>
        <translation type="unfinished">
            <numerusform></numerusform>
            <numerusform></numerusform>
        </translation>
    </message>
    <message>
        <source>From</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>To</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Channels</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>State</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Duration</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>PBX</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Calling party: number and name</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Called party: extension, or number and name once answered</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Channels: how many a call has, or a channel&apos;s name</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Channel state</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Duration in hours, minutes and seconds</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>PBX the call is on</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ConnectDialog</name>
    <message>
        <source>Use &amp;TLS</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Browse...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Connect to a PBX</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The system&apos;s authorities</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Plain: the secret is sent</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Challenge (md5): the secret stays here</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Host</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Port</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>User</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Secret</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Use TLS</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>File of trusted certificates</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Choose the file of trusted certificates</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Login method</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>What is wrong</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Host:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Port:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;User:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Secret:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;CA file:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Login:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Connect</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The certificates given on the command line</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>PEM certificates (*.pem *.crt);;All files (*)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>There is no file %1.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 is a folder, not a file.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 is not a regular file.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 is larger than 1 MiB, too large for certificates.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 cannot be read.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 holds no PEM certificate.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The host needs a host name or address.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The host holds a control character.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The port must be a whole number from 1 to 65535.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The user name holds a control character.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ConsoleConnection</name>
    <message>
        <source>Corvale Console - %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>no hangup was sent</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Not connected</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Connecting to %1...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Logging in to %1 as %2...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Connected to %1 as %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Reconnecting, attempt %1, next in %2 s</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Disconnected: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Refused: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>TLS, certificate checked, challenge login</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>TLS, certificate checked</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Challenge login, not encrypted</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Not encrypted</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ConsoleWindow</name>
    <message>
        <source>Corvale Console</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Filter calls by number, name, extension or channel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Filter calls</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Shows only the calls holding this text, regardless of case and accents</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Calls</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Not connected</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Hang up</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Do not ask again</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Connect...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Connect to a PBX (Ctrl+N)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Refresh</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>List the calls again (F5)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Hang Up</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Find</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Preferences...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Quit</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Clear the filter</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Show all calls</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Calls</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Hang up this channel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>End the whole call</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>End the selected calls</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source> (Delete)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>1 call</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 calls</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 of 1 call</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 of %2 calls</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>1 long call</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 long calls</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>PreferencesDialog</name>
    <message>
        <source>&amp;Ask before hanging up</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Console Preferences</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source> min</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>A call is long after this many minutes</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ask before hanging up</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>A call is &amp;long after:</source>
        <translation type="unfinished"></translation>
    </message>
</context>
</TS>
