<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>InstallerWindow</name>
    <message>
        <source>Finish</source>
        <translation>Abschluss</translation>
    </message>
    <message>
        <source>Check status</source>
        <translation>Status prüfen</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Schließen</translation>
    </message>
    <message>
        <source>All set ✅</source>
        <translation>Alles bereit ✅</translation>
    </message>
    <message>
        <source>Restart DaVinci Resolve, then run:</source>
        <translation>Starten Sie DaVinci Resolve neu und wählen Sie dann:</translation>
    </message>
    <message>
        <source>Workspace → Scripts → Utility → ZEPH_Export_Gallery_Stills</source>
        <translation>Workspace → Scripts → Utility → ZEPH_Export_Gallery_Stills</translation>
    </message>
    <message>
        <source>Close is enabled once Python is detected, the script is installed, and the token is saved.</source>
        <translation>„Schließen“ ist verfügbar, sobald Python erkannt, das Skript installiert und das Token gespeichert ist.</translation>
    </message>
    <message>
        <source>Lumerra × Resolve Installer</source>
        <translation>Lumerra × Resolve – Installationsprogramm</translation>
    </message>
    <message>
        <source>Installs the Resolve script and saves your token. No Terminal.</source>
        <translation>Installiert das Resolve-Skript und speichert Ihr Token. Kein Terminal nötig.</translation>
    </message>
    <message>
        <source>Python</source>
        <translation>Python</translation>
    </message>
    <message>
        <source>Install Python</source>
        <translation>Python installieren</translation>
    </message>
    <message>
        <source>Re-check</source>
        <translation>Erneut prüfen</translation>
    </message>
    <message>
        <source>DaVinci Resolve needs Python installed to run scripts.</source>
        <translation>DaVinci Resolve braucht ein installiertes Python, um Skripte auszuführen.</translation>
    </message>
    <message>
        <source>Detected</source>
        <translation>Erkannt</translation>
    </message>
    <message>
        <source>Required</source>
        <translation>Erforderlich</translation>
    </message>
    <message>
        <source>Resolve Script</source>
        <translation>Resolve-Skript</translation>
    </message>
    <message>
        <source>Install Script</source>
        <translation>Skript installieren</translation>
    </message>
    <message>
        <source>Open Scripts Folder</source>
        <translation>Scripts-Ordner öffnen</translation>
    </message>
    <message>
        <source>Installed ✅</source>
        <translation>Installiert ✅</translation>
    </message>
    <message>
        <source>Installs the latest script into Resolve’s Scripts folder.</source>
        <translation>Installiert die neueste Version des Skripts im Scripts-Ordner von Resolve.</translation>
    </message>
    <message>
        <source>Update Script</source>
        <translation>Skript aktualisieren</translation>
    </message>
    <message>
        <source>Resolve API Token</source>
        <translation>Resolve-API-Token</translation>
    </message>
    <message>
        <source>Save Token</source>
        <translation>Token speichern</translation>
    </message>
    <message>
        <source>Open Token File</source>
        <translation>Token-Datei öffnen</translation>
    </message>
    <message>
        <source>Saved ✅</source>
        <translation>Gespeichert ✅</translation>
    </message>
    <message>
        <source>Copy it from Lumerra → Account → Resolve API Token</source>
        <translation>Kopieren Sie es aus Lumerra → Account → Resolve API Token</translation>
    </message>
    <message>
        <source>Paste token here…</source>
        <translation>Token hier einfügen…</translation>
    </message>
    <message>
        <source>Script version</source>
        <translation>Skriptversion</translation>
    </message>
    <message>
        <source>Refresh version</source>
        <translation>Version neu laden</translation>
    </message>
    <message>
        <source>Checks whether Python can be started.</source>
        <translation>Prüft, ob sich Python starten lässt.</translation>
    </message>
    <message>
        <source>Checks Python, the script and the token again.</source>
        <translation>Prüft Python, das Skript und das Token erneut.</translation>
    </message>
</context>
<context>
    <name>ZEPHInstallerApp</name>
    <message>
        <source>New Window</source>
        <translation>Neues Fenster</translation>
    </message>
    <message>
        <source>File</source>
        <translation>Ablage</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Schließen</translation>
    </message>
</context>
</TS>
