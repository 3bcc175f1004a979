<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="fr_FR">
<context>
    <name>InstallerWindow</name>
    <message>
        <source>Finish</source>
        <translation>Finalisation</translation>
    </message>
    <message>
        <source>Check status</source>
        <translation>Vérifier l’état</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Fermer</translation>
    </message>
    <message>
        <source>All set ✅</source>
        <translation>Tout est prêt ✅</translation>
    </message>
    <message>
        <source>Restart DaVinci Resolve, then run:</source>
        <translation>Redémarrez DaVinci Resolve, puis lancez&#xa0;:</translation>
    </message>
    <message>
        <source>Workspace → Scripts → Utility → ZEPH_Export_Gallery_Stills</source>
        <translation>Workspace → Scripts → Utility → ZEPH_Export_Gallery_Stills</translation>
    </message>
    <message>
        <source>Close is enabled once Python is detected, the script is installed, and the token is saved.</source>
        <translation>«&#xa0;Fermer&#xa0;» devient disponible une fois Python détecté, le script installé et le jeton enregistré.</translation>
    </message>
    <message>
        <source>Lumerra × Resolve Installer</source>
        <translation>Programme d’installation Lumerra × Resolve</translation>
    </message>
    <message>
        <source>Installs the Resolve script and saves your token. No Terminal.</source>
        <translation>Installe le script Resolve et enregistre votre jeton. Sans passer par le Terminal.</translation>
    </message>
    <message>
        <source>Python</source>
        <translation>Python</translation>
    </message>
    <message>
        <source>Install Python</source>
        <translation>Installer Python</translation>
    </message>
    <message>
        <source>Re-check</source>
        <translation>Vérifier à nouveau</translation>
    </message>
    <message>
        <source>DaVinci Resolve needs Python installed to run scripts.</source>
        <translation>Python doit être installé pour que DaVinci Resolve puisse exécuter des scripts.</translation>
    </message>
    <message>
        <source>Detected</source>
        <translation>Détecté</translation>
    </message>
    <message>
        <source>Required</source>
        <translation>Requis</translation>
    </message>
    <message>
        <source>Resolve Script</source>
        <translation>Script Resolve</translation>
    </message>
    <message>
        <source>Install Script</source>
        <translation>Installer le script</translation>
    </message>
    <message>
        <source>Open Scripts Folder</source>
        <translation>Ouvrir le dossier Scripts</translation>
    </message>
    <message>
        <source>Installed ✅</source>
        <translation>Installé ✅</translation>
    </message>
    <message>
        <source>Installs the latest script into Resolve’s Scripts folder.</source>
        <translation>Installe la dernière version du script dans le dossier Scripts de Resolve.</translation>
    </message>
    <message>
        <source>Update Script</source>
        <translation>Mettre à jour le script</translation>
    </message>
    <message>
        <source>Resolve API Token</source>
        <translation>Jeton d’API Resolve</translation>
    </message>
    <message>
        <source>Save Token</source>
        <translation>Enregistrer le jeton</translation>
    </message>
    <message>
        <source>Open Token File</source>
        <translation>Ouvrir le fichier du jeton</translation>
    </message>
    <message>
        <source>Saved ✅</source>
        <translation>Enregistré ✅</translation>
    </message>
    <message>
        <source>Copy it from Lumerra → Account → Resolve API Token</source>
        <translation>Copiez-le depuis Lumerra → Account → Resolve API Token</translation>
    </message>
    <message>
        <source>Paste token here…</source>
        <translation>Collez le jeton ici…</translation>
    </message>
    <message>
        <source>Script version</source>
        <translation>Version du script</translation>
    </message>
    <message>
        <source>Refresh version</source>
        <translation>Actualiser la version</translation>
    </message>
    <message>
        <source>Checks whether Python can be started.</source>
        <translation>Vérifie si Python peut être lancé.</translation>
    </message>
    <message>
        <source>Checks Python, the script and the token again.</source>
        <translation>Vérifie à nouveau Python, le script et le jeton.</translation>
    </message>
</context>
<context>
    <name>ZEPHInstallerApp</name>
    <message>
        <source>New Window</source>
        <translation>Nouvelle fenêtre</translation>
    </message>
    <message>
        <source>File</source>
        <translation>Fichier</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Fermer</translation>
    </message>
</context>
</TS>
