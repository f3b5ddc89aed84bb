<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="fr_FR">
<context>
    <name>CoreText</name>
    <message>
        <source>Favorites</source>
        <translation>Favoris</translation>
    </message>
    <message>
        <source>Targets</source>
        <translation>Cibles</translation>
    </message>
    <message>
        <source>Met</source>
        <translation>Rencontré</translation>
    </message>
    <message>
        <source>Not Met</source>
        <translation>Non rencontré</translation>
    </message>
    <message>
        <source>Follow-Up</source>
        <translation>Relance</translation>
    </message>
    <message>
        <source>Team Met</source>
        <translation>Vus par l’équipe</translation>
    </message>
    <message>
        <source>Notes</source>
        <translation>Notes</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>Nom</translation>
    </message>
    <message>
        <source>Company</source>
        <translation>Entreprise</translation>
    </message>
    <message>
        <source>Tier</source>
        <translation>Niveau</translation>
    </message>
    <message>
        <source>Score</source>
        <translation>Score</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>Statut</translation>
    </message>
    <message>
        <source>Targets First</source>
        <translation>Cibles d’abord</translation>
    </message>
    <message>
        <source>Recently Met</source>
        <translation>Rencontrés récemment</translation>
    </message>
    <message>
        <source>Highest Rated</source>
        <translation>Mieux notés</translation>
    </message>
    <message>
        <source>Lowest Rated</source>
        <translation>Moins bien notés</translation>
    </message>
    <message>
        <source>A–Z</source>
        <translation>A–Z</translation>
    </message>
    <message>
        <source>Most Contacts</source>
        <translation>Plus de contacts</translation>
    </message>
    <message>
        <source>Best Rated</source>
        <translation>Mieux notées</translation>
    </message>
    <message>
        <source>Most Met</source>
        <translation>Plus rencontrées</translation>
    </message>
    <message>
        <source>Imported</source>
        <translation>Importé</translation>
    </message>
    <message>
        <source>Scanned</source>
        <translation>Scanné</translation>
    </message>
    <message>
        <source>Manual</source>
        <translation>Manuel</translation>
    </message>
    <message>
        <source>Screenshot Import</source>
        <translation>Import de capture d’écran</translation>
    </message>
    <message>
        <source>Declined</source>
        <translation>Refusé</translation>
    </message>
    <message>
        <source>No Show</source>
        <translation>Absent</translation>
    </message>
    <message>
        <source>None</source>
        <translation>Aucun</translation>
    </message>
    <message>
        <source>In Progress</source>
        <translation>En cours</translation>
    </message>
    <message>
        <source>Complete</source>
        <translation>Terminé</translation>
    </message>
    <message>
        <source>Partial</source>
        <translation>Partiel</translation>
    </message>
    <message>
        <source>Failed</source>
        <translation>Échec</translation>
    </message>
    <message>
        <source>Awaiting Domain Verification</source>
        <translation>Vérification du domaine en attente</translation>
    </message>
    <message>
        <source>Met by Teammate</source>
        <translation>Rencontré par l’équipe</translation>
    </message>
    <message>
        <source>Archived</source>
        <translation>Archivé</translation>
    </message>
    <message>
        <source>Text</source>
        <translation>Texte</translation>
    </message>
    <message>
        <source>Voice</source>
        <translation>Voix</translation>
    </message>
    <message>
        <source>Handwriting</source>
        <translation>Écriture manuscrite</translation>
    </message>
    <message>
        <source>Business Card</source>
        <translation>Carte de visite</translation>
    </message>
    <message>
        <source>Badge</source>
        <translation>Badge</translation>
    </message>
    <message>
        <source>Document</source>
        <translation>Document</translation>
    </message>
    <message>
        <source>NFC</source>
        <translation>NFC</translation>
    </message>
    <message>
        <source>Other</source>
        <translation>Autre</translation>
    </message>
    <message>
        <source>Warm</source>
        <translation>Chaleureux</translation>
    </message>
    <message>
        <source>Neutral</source>
        <translation>Neutre</translation>
    </message>
    <message>
        <source>Formal</source>
        <translation>Formel</translation>
    </message>
    <message>
        <source>Draft</source>
        <translation>Brouillon</translation>
    </message>
    <message>
        <source>Approved</source>
        <translation>Approuvé</translation>
    </message>
    <message>
        <source>Sent</source>
        <translation>Envoyé</translation>
    </message>
    <message>
        <source>Dismissed</source>
        <translation>Écarté</translation>
    </message>
    <message>
        <source>This month</source>
        <translation>Ce mois-ci</translation>
    </message>
    <message>
        <source>This quarter</source>
        <translation>Ce trimestre</translation>
    </message>
    <message>
        <source>Next quarter</source>
        <translation>Trimestre prochain</translation>
    </message>
    <message>
        <source>Next year</source>
        <translation>L’an prochain</translation>
    </message>
    <message>
        <source>Low</source>
        <translation>Faible</translation>
    </message>
    <message>
        <source>Medium</source>
        <translation>Moyenne</translation>
    </message>
    <message>
        <source>High</source>
        <translation>Élevée</translation>
    </message>
    <message>
        <source>Executive Summary</source>
        <translation>Synthèse</translation>
    </message>
    <message>
        <source>Performance Overview</source>
        <translation>Vue d’ensemble des résultats</translation>
    </message>
    <message>
        <source>Companies Engaged Table</source>
        <translation>Tableau des entreprises rencontrées</translation>
    </message>
    <message>
        <source>Contacts Met Table</source>
        <translation>Tableau des contacts rencontrés</translation>
    </message>
    <message>
        <source>Top-Priority Follow-Up</source>
        <translation>Relances prioritaires</translation>
    </message>
    <message>
        <source>Account / Company Opportunities</source>
        <translation>Opportunités par compte / entreprise</translation>
    </message>
    <message>
        <source>Team Activity &amp; Coordination</source>
        <translation>Activité et coordination de l’équipe</translation>
    </message>
    <message>
        <source>Missed Targets &amp; Recovery</source>
        <translation>Cibles manquées et rattrapage</translation>
    </message>
    <message>
        <source>Key Themes &amp; Market Insights</source>
        <translation>Thèmes clés et tendances du marché</translation>
    </message>
    <message>
        <source>Data Gaps &amp; Recovery</source>
        <translation>Données manquantes et rattrapage</translation>
    </message>
    <message>
        <source>Recommended Next Actions</source>
        <translation>Prochaines actions recommandées</translation>
    </message>
    <message>
        <source>Contact Appendix</source>
        <translation>Annexe des contacts</translation>
    </message>
    <message>
        <source>Draft Follow-Up Messages</source>
        <translation>Brouillons de messages de relance</translation>
    </message>
    <message>
        <source>System</source>
        <translation>Système</translation>
    </message>
    <message>
        <source>Brief</source>
        <translation>Bref</translation>
    </message>
    <message>
        <source>Standard</source>
        <translation>Standard</translation>
    </message>
    <message>
        <source>Detailed</source>
        <translation>Détaillé</translation>
    </message>
    <message>
        <source>AI proxy</source>
        <translation>Proxy IA</translation>
    </message>
    <message>
        <source>Chat completions (OpenAI-compatible)</source>
        <translation>Chat completions (compatible OpenAI)</translation>
    </message>
    <message>
        <source>CSV (Generic)</source>
        <translation>CSV (générique)</translation>
    </message>
    <message>
        <source>All Contacts</source>
        <translation>Tous les contacts</translation>
    </message>
    <message>
        <source>Met Only</source>
        <translation>Rencontrés uniquement</translation>
    </message>
    <message>
        <source>Targets Only</source>
        <translation>Cibles uniquement</translation>
    </message>
    <message>
        <source>Favorites Only</source>
        <translation>Favoris uniquement</translation>
    </message>
    <message>
        <source>All caught up — no pending actions</source>
        <translation>Tout est à jour — aucune action en attente</translation>
    </message>
    <message numerus="yes">
        <source>Review %n draft</source>
        <translation>
            <numerusform>Relire %Ln brouillon</numerusform>
            <numerusform>Relire %Ln brouillons</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Review %n drafts</source>
        <translation>
            <numerusform>Relire %Ln brouillon</numerusform>
            <numerusform>Relire %Ln brouillons</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Fix %n missing email</source>
        <translation>
            <numerusform>Compléter %Ln e-mail manquant</numerusform>
            <numerusform>Compléter %Ln e-mails manquants</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Fix %n missing emails</source>
        <translation>
            <numerusform>Compléter %Ln e-mail manquant</numerusform>
            <numerusform>Compléter %Ln e-mails manquants</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Follow up with %n high-priority contact</source>
        <translation>
            <numerusform>Relancer %Ln contact prioritaire</numerusform>
            <numerusform>Relancer %Ln contacts prioritaires</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Follow up with %n high-priority contacts</source>
        <translation>
            <numerusform>Relancer %Ln contact prioritaire</numerusform>
            <numerusform>Relancer %Ln contacts prioritaires</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Export %n CRM-ready contact</source>
        <translation>
            <numerusform>Exporter %Ln contact prêt pour le CRM</numerusform>
            <numerusform>Exporter %Ln contacts prêts pour le CRM</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Export %n CRM-ready contacts</source>
        <translation>
            <numerusform>Exporter %Ln contact prêt pour le CRM</numerusform>
            <numerusform>Exporter %Ln contacts prêts pour le CRM</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Review %n contact with data issues</source>
        <translation>
            <numerusform>Vérifier %Ln contact aux données incomplètes</numerusform>
            <numerusform>Vérifier %Ln contacts aux données incomplètes</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Review %n contacts with data issues</source>
        <translation>
            <numerusform>Vérifier %Ln contact aux données incomplètes</numerusform>
            <numerusform>Vérifier %Ln contacts aux données incomplètes</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Assign owners to %n contact</source>
        <translation>
            <numerusform>Attribuer un responsable à %Ln contact</numerusform>
            <numerusform>Attribuer un responsable à %Ln contacts</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Assign owners to %n contacts</source>
        <translation>
            <numerusform>Attribuer un responsable à %Ln contact</numerusform>
            <numerusform>Attribuer un responsable à %Ln contacts</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n event with no meetings yet</source>
        <translation>
            <numerusform>%Ln événement sans rencontre pour l’instant</numerusform>
            <numerusform>%Ln événements sans rencontre pour l’instant</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n events with no meetings yet</source>
        <translation>
            <numerusform>%Ln événement sans rencontre pour l’instant</numerusform>
            <numerusform>%Ln événements sans rencontre pour l’instant</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n contact missing email across %1 event</source>
        <translation>
            <numerusform>%Ln contact sans e-mail dans %1 événement</numerusform>
            <numerusform>%Ln contacts sans e-mail dans %1 événement</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n contact missing email across %1 events</source>
        <translation>
            <numerusform>%Ln contact sans e-mail dans %1 événements</numerusform>
            <numerusform>%Ln contacts sans e-mail dans %1 événements</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n contacts missing email across %1 event</source>
        <translation>
            <numerusform>%Ln contact sans e-mail dans %1 événement</numerusform>
            <numerusform>%Ln contacts sans e-mail dans %1 événement</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n contacts missing email across %1 events</source>
        <translation>
            <numerusform>%Ln contact sans e-mail dans %1 événements</numerusform>
            <numerusform>%Ln contacts sans e-mail dans %1 événements</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n opportunity without next steps</source>
        <translation>
            <numerusform>%Ln opportunité sans prochaine étape</numerusform>
            <numerusform>%Ln opportunités sans prochaine étape</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n opportunities without next steps</source>
        <translation>
            <numerusform>%Ln opportunité sans prochaine étape</numerusform>
            <numerusform>%Ln opportunités sans prochaine étape</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n contact without tier assignment</source>
        <translation>
            <numerusform>%Ln contact sans niveau attribué</numerusform>
            <numerusform>%Ln contacts sans niveau attribué</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n contacts without tier assignment</source>
        <translation>
            <numerusform>%Ln contact sans niveau attribué</numerusform>
            <numerusform>%Ln contacts sans niveau attribué</numerusform>
        </translation>
    </message>
    <message>
        <source>Not paired</source>
        <translation>Non jumelé</translation>
    </message>
    <message>
        <source>Waiting for the phone</source>
        <translation>En attente du téléphone</translation>
    </message>
    <message>
        <source>Connecting</source>
        <translation>Connexion…</translation>
    </message>
    <message>
        <source>Paired</source>
        <translation>Jumelé</translation>
    </message>
    <message>
        <source>Reconnecting</source>
        <translation>Reconnexion…</translation>
    </message>
    <message>
        <source>Pairing failed</source>
        <translation>Échec du jumelage</translation>
    </message>
    <message numerus="yes">
        <source>Restart Claude Desktop after saving. The %n Quillmere tools will appear in the MCP tools menu (🔌 icon).</source>
        <translation>
            <numerusform>Redémarrez Claude Desktop après l’enregistrement. Les %Ln outils Quillmere apparaîtront dans le menu des outils MCP (icône 🔌).</numerusform>
            <numerusform>Redémarrez Claude Desktop après l’enregistrement. Les %Ln outils Quillmere apparaîtront dans le menu des outils MCP (icône 🔌).</numerusform>
        </translation>
    </message>
    <message>
        <source>Restart ChatGPT Desktop after saving. Enable MCP tools in Settings → Beta Features → MCP Servers.</source>
        <translation>Redémarrez ChatGPT Desktop après l’enregistrement. Activez les outils MCP dans Settings → Beta Features → MCP Servers.</translation>
    </message>
    <message>
        <source>No AI endpoint is set up and the phone is not connected. Set up an AI endpoint in Settings ▸ AI, pair the phone, or write from a template</source>
        <translation>Aucun service d’IA n’est configuré et le téléphone n’est pas connecté. Configurez un service d’IA dans Réglages ▸ IA, jumelez le téléphone ou rédigez à partir d’un modèle</translation>
    </message>
    <message>
        <source>Waiting for a phone to pair</source>
        <translation>En attente d’un téléphone à jumeler</translation>
    </message>
    <message>
        <source>Paired with %1, not connected</source>
        <translation>Jumelé avec %1, non connecté</translation>
    </message>
    <message>
        <source>Paired with %1, reconnecting</source>
        <translation>Jumelé avec %1, reconnexion en cours</translation>
    </message>
    <message>
        <source>Connected to %1</source>
        <translation>Connecté à %1</translation>
    </message>
    <message>
        <source>your phone</source>
        <translation>votre téléphone</translation>
    </message>
    <message>
        <source>Last sync: %1</source>
        <translation>Dernière synchronisation : %1</translation>
    </message>
    <message>
        <source>Never synced</source>
        <translation>Jamais synchronisé</translation>
    </message>
    <message>
        <source>A contact needs a first or a last name</source>
        <translation>Un contact a besoin d’un prénom ou d’un nom</translation>
    </message>
    <message>
        <source>Not an e-mail address</source>
        <translation>Ce n’est pas une adresse e-mail</translation>
    </message>
    <message>
        <source>Title</source>
        <translation>Poste</translation>
    </message>
    <message>
        <source>Restart Claude Code. `claude mcp list` shows whether it reaches Quillmere.</source>
        <translation>Redémarrez Claude Code. `claude mcp list` indique s’il joint Quillmere.</translation>
    </message>
    <message>
        <source>Restart Cursor. The Quillmere tools appear in its settings under MCP.</source>
        <translation>Redémarrez Cursor. Les outils de Quillmere apparaissent dans ses réglages, sous MCP.</translation>
    </message>
    <message>
        <source>Reload VS Code. The Quillmere tools appear in the chat&apos;s agent mode.</source>
        <translation>Rechargez VS Code. Les outils de Quillmere apparaissent dans le mode agent du chat.</translation>
    </message>
    <message>
        <source>Zed reads the change at once. The Quillmere tools appear in the Agent Panel.</source>
        <translation>Zed lit la modification aussitôt. Les outils de Quillmere apparaissent dans l’Agent Panel.</translation>
    </message>
    <message>
        <source>Restart goose. Quillmere appears among its extensions.</source>
        <translation>Redémarrez goose. Quillmere apparaît parmi ses extensions.</translation>
    </message>
    <message>
        <source>Restart LM Studio. The Quillmere tools appear with its integrations.</source>
        <translation>Redémarrez LM Studio. Les outils de Quillmere apparaissent avec ses intégrations.</translation>
    </message>
    <message>
        <source>Reload your editor. Continue reads every file in ~/.continue/mcpServers.</source>
        <translation>Rechargez votre éditeur. Continue lit chaque fichier de ~/.continue/mcpServers.</translation>
    </message>
    <message>
        <source>Open Cline&apos;s MCP Servers view in VS Code; Quillmere is listed as installed.</source>
        <translation>Ouvrez la vue MCP Servers de Cline dans VS Code ; Quillmere y figure comme installé.</translation>
    </message>
    <message>
        <source>Press Refresh in the MCP panel of Cascade (the plug icon).</source>
        <translation>Appuyez sur Refresh dans le panneau MCP de Cascade (l’icône de prise).</translation>
    </message>
    <message>
        <source>Restart Codex. `codex mcp list` shows the server.</source>
        <translation>Redémarrez Codex. `codex mcp list` affiche le serveur.</translation>
    </message>
    <message>
        <source>Restart Gemini CLI. `gemini mcp list` shows whether it reaches Quillmere.</source>
        <translation>Redémarrez Gemini CLI. `gemini mcp list` indique s’il joint Quillmere.</translation>
    </message>
</context>
<context>
    <name>QObject</name>
    <message>
        <source>Met</source>
        <translation>Rencontré</translation>
    </message>
    <message>
        <source>Met by team</source>
        <translation>Rencontré par l’équipe</translation>
    </message>
    <message>
        <source>Not met</source>
        <translation>Non rencontré</translation>
    </message>
    <message>
        <source>Archived</source>
        <translation>Archivé</translation>
    </message>
    <message>
        <source>Declined</source>
        <translation>Refusé</translation>
    </message>
    <message>
        <source>No-show</source>
        <translation>Absent</translation>
    </message>
    <message>
        <source>%1 of %2</source>
        <translation>%1 sur %2</translation>
    </message>
</context>
<context>
    <name>qm::desktop::AboutDialog</name>
    <message>
        <source>About Quillmere</source>
        <translation>À propos de Quillmere</translation>
    </message>
    <message>
        <source>Version %1</source>
        <translation>Version %1</translation>
    </message>
    <message>
        <source>The desktop companion of the Quillmere phone app.</source>
        <translation>Le compagnon de bureau de l’application mobile Quillmere.</translation>
    </message>
    <message>
        <source>Store: %1</source>
        <translation>Données : %1</translation>
    </message>
    <message>
        <source>Settings: %1</source>
        <translation>Réglages : %1</translation>
    </message>
    <message>
        <source>Log: %1</source>
        <translation>Journal : %1</translation>
    </message>
</context>
<context>
    <name>qm::desktop::AiSettingsTab</name>
    <message>
        <source>Kind of AI endpoint</source>
        <translation>Type de service d’IA</translation>
    </message>
    <message>
        <source>AI proxy service</source>
        <translation>Service proxy d’IA</translation>
    </message>
    <message>
        <source>Chat completions server (OpenAI-compatible)</source>
        <translation>Serveur chat completions (compatible OpenAI)</translation>
    </message>
    <message>
        <source>AI endpoint address</source>
        <translation>Adresse du service d’IA</translation>
    </message>
    <message>
        <source>https://… (or http:// on this computer)</source>
        <translation>https://… (ou http:// sur cet ordinateur)</translation>
    </message>
    <message>
        <source>Model</source>
        <translation>Modèle</translation>
    </message>
    <message>
        <source>Token</source>
        <translation>Jeton</translation>
    </message>
    <message>
        <source>Stored token</source>
        <translation>Jeton enregistré</translation>
    </message>
    <message>
        <source>Log In</source>
        <translation>Se connecter</translation>
    </message>
    <message>
        <source>Keep the endpoint and its token</source>
        <translation>Enregistrer le service et son jeton</translation>
    </message>
    <message>
        <source>Log Out</source>
        <translation>Se déconnecter</translation>
    </message>
    <message>
        <source>Remove the stored token</source>
        <translation>Supprimer le jeton enregistré</translation>
    </message>
    <message>
        <source>Test Connection</source>
        <translation>Tester la connexion</translation>
    </message>
    <message>
        <source>Send a short request to the endpoint</source>
        <translation>Envoyer une courte requête au service</translation>
    </message>
    <message>
        <source>Connection test result</source>
        <translation>Résultat du test de connexion</translation>
    </message>
    <message>
        <source>Kind:</source>
        <translation>Type :</translation>
    </message>
    <message>
        <source>Address:</source>
        <translation>Adresse :</translation>
    </message>
    <message>
        <source>Model:</source>
        <translation>Modèle :</translation>
    </message>
    <message>
        <source>Token:</source>
        <translation>Jeton :</translation>
    </message>
    <message>
        <source>AI Endpoint</source>
        <translation>Service d’IA</translation>
    </message>
    <message>
        <source>Follow-up drafts are written by this endpoint when one is set; otherwise, or when it fails, by the paired phone.</source>
        <translation>Les brouillons de relance sont rédigés par ce service s’il est défini ; sinon, ou en cas d’échec, par le téléphone jumelé.</translation>
    </message>
    <message>
        <source>The model the server runs</source>
        <translation>Le modèle exécuté par le serveur</translation>
    </message>
    <message>
        <source>Chosen by the proxy</source>
        <translation>Choisi par le proxy</translation>
    </message>
    <message>
        <source>Optional for a server on this computer</source>
        <translation>Facultatif pour un serveur sur cet ordinateur</translation>
    </message>
    <message>
        <source>The proxy&apos;s token</source>
        <translation>Le jeton du proxy</translation>
    </message>
    <message>
        <source>A token is stored in the keychain.</source>
        <translation>Un jeton est enregistré dans le trousseau.</translation>
    </message>
    <message>
        <source>No token is stored.</source>
        <translation>Aucun jeton n’est enregistré.</translation>
    </message>
    <message>
        <source>Saved.</source>
        <translation>Enregistré.</translation>
    </message>
    <message>
        <source>Testing…</source>
        <translation>Test en cours…</translation>
    </message>
    <message>
        <source>✗ %1</source>
        <translation>✗ %1</translation>
    </message>
    <message>
        <source>✓ Connected. The endpoint answered: %1</source>
        <translation>✓ Connecté. Le service a répondu : %1</translation>
    </message>
    <message>
        <source>✓ Connected to %1. It answered: %2</source>
        <translation>✓ Connecté à %1. Réponse : %2</translation>
    </message>
</context>
<context>
    <name>qm::desktop::AppearanceSettingsTab</name>
    <message>
        <source>Appearance</source>
        <translation>Apparence</translation>
    </message>
    <message>
        <source>System</source>
        <translation>Système</translation>
    </message>
    <message>
        <source>Light</source>
        <translation>Clair</translation>
    </message>
    <message>
        <source>Dark</source>
        <translation>Sombre</translation>
    </message>
    <message>
        <source>List density</source>
        <translation>Densité des listes</translation>
    </message>
    <message>
        <source>Comfortable</source>
        <translation>Confortable</translation>
    </message>
    <message>
        <source>Compact</source>
        <translation>Compacte</translation>
    </message>
    <message>
        <source>Appearance:</source>
        <translation>Apparence :</translation>
    </message>
    <message>
        <source>Density:</source>
        <translation>Densité :</translation>
    </message>
    <message>
        <source>Compact fits more rows in the lists.</source>
        <translation>La densité compacte affiche plus de lignes dans les listes.</translation>
    </message>
</context>
<context>
    <name>qm::desktop::CapturePreview</name>
    <message>
        <source>%1 · %2</source>
        <translation>%1 · %2</translation>
    </message>
    <message>
        <source>Capture image</source>
        <translation>Image de la capture</translation>
    </message>
    <message>
        <source>This capture has no image file.</source>
        <translation>Cette capture n’a pas de fichier image.</translation>
    </message>
    <message>
        <source>The image file is missing:
%1</source>
        <translation>Le fichier image est introuvable :
%1</translation>
    </message>
    <message>
        <source>Capture image missing</source>
        <translation>Image de la capture introuvable</translation>
    </message>
    <message>
        <source>Caption</source>
        <translation>Légende</translation>
    </message>
    <message>
        <source>Recognised text</source>
        <translation>Texte reconnu</translation>
    </message>
    <message>
        <source>Fit</source>
        <translation>Ajuster</translation>
    </message>
    <message>
        <source>Scale the image to the window (Ctrl+9)</source>
        <translation>Adapter l’image à la fenêtre (Ctrl+9)</translation>
    </message>
    <message>
        <source>Actual Size</source>
        <translation>Taille réelle</translation>
    </message>
    <message>
        <source>Show the image at its actual size (Ctrl+0)</source>
        <translation>Afficher l’image en taille réelle (Ctrl+0)</translation>
    </message>
</context>
<context>
    <name>qm::desktop::CompaniesView</name>
    <message>
        <source>Search companies or people</source>
        <translation>Rechercher des entreprises ou des personnes</translation>
    </message>
    <message>
        <source>Search companies</source>
        <translation>Rechercher des entreprises</translation>
    </message>
    <message>
        <source>Sort:</source>
        <translation>Trier :</translation>
    </message>
    <message>
        <source>Sort companies by</source>
        <translation>Trier les entreprises par</translation>
    </message>
    <message>
        <source>Companies</source>
        <translation>Entreprises</translation>
    </message>
    <message>
        <source>Company</source>
        <translation>Entreprise</translation>
    </message>
    <message>
        <source>Contacts</source>
        <translation>Contacts</translation>
    </message>
    <message>
        <source>Met</source>
        <translation>Rencontrés</translation>
    </message>
    <message>
        <source>Avg. rating</source>
        <translation>Note moy.</translation>
    </message>
    <message>
        <source>No contacts with company data yet.</source>
        <translation>Aucun contact avec des informations d’entreprise pour l’instant.</translation>
    </message>
</context>
<context>
    <name>qm::desktop::CompanionLink</name>
    <message>
        <source>Could not start the companion (%1).</source>
        <translation>Impossible de démarrer le compagnon (%1).</translation>
    </message>
    <message>
        <source>The companion did not start within %1 seconds.</source>
        <translation>Le compagnon n’a pas démarré en %1 secondes.</translation>
    </message>
    <message>
        <source>The companion sent an answer that is not JSON.</source>
        <translation>Le compagnon a envoyé une réponse qui n’est pas du JSON.</translation>
    </message>
    <message>
        <source>Quillmere refused the request</source>
        <translation>Quillmere a refusé la demande</translation>
    </message>
    <message>
        <source>Quillmere is not running.</source>
        <translation>Quillmere n’est pas lancé.</translation>
    </message>
    <message>
        <source>The companion closed the connection before answering.</source>
        <translation>Le compagnon a fermé la connexion avant de répondre.</translation>
    </message>
</context>
<context>
    <name>qm::desktop::Confirmation</name>
    <message>
        <source>Cancel</source>
        <translation>Annuler</translation>
    </message>
</context>
<context>
    <name>qm::desktop::ContactDetailView</name>
    <message>
        <source>Contact details</source>
        <translation>Fiche du contact</translation>
    </message>
    <message>
        <source>Edit…</source>
        <translation>Modifier…</translation>
    </message>
    <message>
        <source>Not a Target</source>
        <translation>Retirer des cibles</translation>
    </message>
    <message>
        <source>Mark as Target</source>
        <translation>Marquer comme cible</translation>
    </message>
    <message>
        <source>Draft Follow-Up Email</source>
        <translation>Rédiger un e-mail de relance</translation>
    </message>
    <message>
        <source>New Opportunity…</source>
        <translation>Nouvelle opportunité…</translation>
    </message>
    <message>
        <source>Edit of %1</source>
        <translation>Modification de %1</translation>
    </message>
    <message>
        <source>Add Note…</source>
        <translation>Ajouter une note…</translation>
    </message>
    <message>
        <source>Write from Template</source>
        <translation>Rédiger avec un modèle</translation>
    </message>
    <message>
        <source>Write a follow-up e-mail at once from a template, without an AI</source>
        <translation>Rédiger aussitôt un e-mail de relance d’après un modèle, sans IA</translation>
    </message>
    <message>
        <source>Edit this contact (%1)</source>
        <translation>Modifier ce contact (%1)</translation>
    </message>
    <message>
        <source>Mark this contact as a target, or no longer</source>
        <translation>Marquer ce contact comme cible, ou le retirer des cibles</translation>
    </message>
    <message>
        <source>Write a follow-up e-mail to this contact (%1)</source>
        <translation>Rédiger un e-mail de relance à ce contact (%1)</translation>
    </message>
    <message>
        <source>Add a note about this contact (%1)</source>
        <translation>Ajouter une note sur ce contact (%1)</translation>
    </message>
    <message>
        <source>Record an opportunity with this contact</source>
        <translation>Enregistrer une opportunité avec ce contact</translation>
    </message>
    <message>
        <source>No contact selected</source>
        <translation>Aucun contact sélectionné</translation>
    </message>
    <message>
        <source>Choose a contact in the list to see its details.</source>
        <translation>Choisissez un contact dans la liste pour voir ses détails.</translation>
    </message>
</context>
<context>
    <name>qm::desktop::ContactEditDialog</name>
    <message>
        <source>First name</source>
        <translation>Prénom</translation>
    </message>
    <message>
        <source>Last name</source>
        <translation>Nom</translation>
    </message>
    <message>
        <source>Job title</source>
        <translation>Poste</translation>
    </message>
    <message>
        <source>Company</source>
        <translation>Entreprise</translation>
    </message>
    <message>
        <source>E-mail</source>
        <translation>E-mail</translation>
    </message>
    <message>
        <source>Phone</source>
        <translation>Téléphone</translation>
    </message>
    <message>
        <source>LinkedIn</source>
        <translation>LinkedIn</translation>
    </message>
    <message>
        <source>City</source>
        <translation>Ville</translation>
    </message>
    <message>
        <source>Region</source>
        <translation>Région</translation>
    </message>
    <message>
        <source>Postal code</source>
        <translation>Code postal</translation>
    </message>
    <message>
        <source>Country</source>
        <translation>Pays</translation>
    </message>
    <message>
        <source>Owner</source>
        <translation>Responsable</translation>
    </message>
    <message>
        <source>Tier</source>
        <translation>Niveau</translation>
    </message>
    <message>
        <source>Edit %1</source>
        <translation>Modifier %1</translation>
    </message>
    <message>
        <source>Contact</source>
        <translation>Contact</translation>
    </message>
    <message>
        <source>Edit contact</source>
        <translation>Modifier le contact</translation>
    </message>
    <message>
        <source>Person</source>
        <translation>Personne</translation>
    </message>
    <message>
        <source>Reach and place</source>
        <translation>Coordonnées et lieu</translation>
    </message>
    <message>
        <source>Follow-up</source>
        <translation>Relance</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>Statut</translation>
    </message>
    <message>
        <source>None</source>
        <translation>Aucun</translation>
    </message>
    <message>
        <source> of 5</source>
        <translation> sur 5</translation>
    </message>
    <message>
        <source>Rating</source>
        <translation>Note</translation>
    </message>
    <message>
        <source>Target</source>
        <translation>Cible</translation>
    </message>
    <message>
        <source>Favourite</source>
        <translation>Favori</translation>
    </message>
    <message>
        <source>Action plan</source>
        <translation>Plan d’action</translation>
    </message>
    <message>
        <source>Not saved: %1</source>
        <translation>Non enregistré : %1</translation>
    </message>
</context>
<context>
    <name>qm::desktop::ContactListHeader</name>
    <message>
        <source>Columns</source>
        <translation>Colonnes</translation>
    </message>
</context>
<context>
    <name>qm::desktop::ContactListModel</name>
    <message>
        <source>Name</source>
        <translation>Nom</translation>
    </message>
    <message>
        <source>Company</source>
        <translation>Entreprise</translation>
    </message>
    <message>
        <source>Title</source>
        <translation>Poste</translation>
    </message>
    <message>
        <source>Meeting</source>
        <translation>Rencontre</translation>
    </message>
    <message>
        <source>Tier</source>
        <translation>Niv.</translation>
    </message>
    <message>
        <source>Score</source>
        <translation>Score</translation>
    </message>
    <message>
        <source>Rating</source>
        <translation>Note</translation>
    </message>
</context>
<context>
    <name>qm::desktop::ContactsView</name>
    <message>
        <source>Filter: %1</source>
        <translation>Filtre : %1</translation>
    </message>
    <message>
        <source>Clear</source>
        <translation>Effacer</translation>
    </message>
    <message>
        <source>Clear filters</source>
        <translation>Effacer les filtres</translation>
    </message>
    <message>
        <source>Export…</source>
        <translation>Exporter…</translation>
    </message>
    <message>
        <source>Export the contacts to a file (Ctrl+E)</source>
        <translation>Exporter les contacts dans un fichier (Ctrl+E)</translation>
    </message>
    <message>
        <source>Search name, company, title or e-mail</source>
        <translation>Rechercher un nom, une entreprise, un poste ou un e-mail</translation>
    </message>
    <message>
        <source>Search contacts</source>
        <translation>Rechercher des contacts</translation>
    </message>
    <message>
        <source>Sort:</source>
        <translation>Trier :</translation>
    </message>
    <message>
        <source>Sort contacts by</source>
        <translation>Trier les contacts par</translation>
    </message>
    <message>
        <source>Sort direction</source>
        <translation>Sens du tri</translation>
    </message>
    <message>
        <source>Show All</source>
        <translation>Tout afficher</translation>
    </message>
    <message>
        <source>Contacts</source>
        <translation>Contacts</translation>
    </message>
    <message>
        <source>Clear Filters</source>
        <translation>Effacer les filtres</translation>
    </message>
    <message>
        <source>Mark as Target</source>
        <translation>Marquer comme cible</translation>
    </message>
    <message>
        <source>Mark as Met</source>
        <translation>Marquer comme rencontré</translation>
    </message>
    <message>
        <source>Showing: %1</source>
        <translation>Affichage : %1</translation>
    </message>
    <message>
        <source>This event has no contacts yet. Pair with your iPhone to sync.</source>
        <translation>Cet événement n’a pas encore de contacts. Jumelez votre iPhone pour synchroniser.</translation>
    </message>
    <message>
        <source>No contacts match the current filters.</source>
        <translation>Aucun contact ne correspond aux filtres.</translation>
    </message>
    <message>
        <source>Ascending</source>
        <translation>Croissant</translation>
    </message>
    <message>
        <source>Descending</source>
        <translation>Décroissant</translation>
    </message>
    <message>
        <source>Generating drafts…</source>
        <translation>Rédaction des brouillons…</translation>
    </message>
    <message>
        <source>%1 of %2</source>
        <translation>%1 sur %2</translation>
    </message>
    <message numerus="yes">
        <source>%Ln contacts selected</source>
        <translation>
            <numerusform>%Ln contact sélectionné</numerusform>
            <numerusform>%Ln contacts sélectionnés</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Generate %Ln Drafts</source>
        <translation>
            <numerusform>Générer %Ln brouillon</numerusform>
            <numerusform>Générer %Ln brouillons</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Generate Drafts for %Ln</source>
        <translation>
            <numerusform>Générer un brouillon pour %Ln</numerusform>
            <numerusform>Générer des brouillons pour %Ln</numerusform>
        </translation>
    </message>
    <message>
        <source>Drafts for the first %1 of the %2 selected contacts, in a neutral tone</source>
        <translation>Brouillons pour les %1 premiers des %2 contacts sélectionnés, sur un ton neutre</translation>
    </message>
    <message>
        <source>Drafts in a neutral tone</source>
        <translation>Brouillons sur un ton neutre</translation>
    </message>
    <message>
        <source>Edit ▸ Undo (Ctrl+Z) takes the change back.</source>
        <translation>Édition ▸ Annuler (Ctrl+Z) revient sur ce changement.</translation>
    </message>
    <message numerus="yes">
        <source>Mark %Ln contacts as targets?</source>
        <translation>
            <numerusform>Marquer %Ln contact comme cible ?</numerusform>
            <numerusform>Marquer %Ln contacts comme cibles ?</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Mark %Ln contacts as met?</source>
        <translation>
            <numerusform>Marquer %Ln contact comme rencontré ?</numerusform>
            <numerusform>Marquer %Ln contacts comme rencontrés ?</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%Ln drafts written from templates (no AI endpoint is set up and the phone is not connected), %1 failed.</source>
        <translation>
            <numerusform>%Ln brouillon rédigé d’après les modèles (aucun service d’IA n’est configuré et le téléphone n’est pas connecté), %1 en échec.</numerusform>
            <numerusform>%Ln brouillons rédigés d’après les modèles (aucun service d’IA n’est configuré et le téléphone n’est pas connecté), %1 en échec.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%Ln drafts written, %1 failed.</source>
        <translation>
            <numerusform>%Ln brouillon rédigé, %1 en échec.</numerusform>
            <numerusform>%Ln brouillons rédigés, %1 en échec.</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>qm::desktop::DashboardView</name>
    <message>
        <source>Dashboard</source>
        <translation>Tableau de bord</translation>
    </message>
    <message>
        <source>This event is no longer on this computer.</source>
        <translation>Cet événement n’est plus sur cet ordinateur.</translation>
    </message>
    <message>
        <source>NEXT ACTIONS</source>
        <translation>PROCHAINES ACTIONS</translation>
    </message>
    <message>
        <source>PIPELINE</source>
        <translation>PIPELINE</translation>
    </message>
    <message>
        <source>No opportunities yet.</source>
        <translation>Aucune opportunité pour l’instant.</translation>
    </message>
    <message>
        <source>Met %1 · %2</source>
        <translation>%1 · rencontré le %2</translation>
    </message>
    <message>
        <source>PRIORITY CONTACTS</source>
        <translation>CONTACTS PRIORITAIRES</translation>
    </message>
    <message>
        <source>No targets or tier-A contacts waiting for a meeting.</source>
        <translation>Aucune cible ni aucun contact de niveau A en attente de rencontre.</translation>
    </message>
    <message>
        <source>RECENT ACTIVITY</source>
        <translation>ACTIVITÉ RÉCENTE</translation>
    </message>
    <message>
        <source>No meetings recorded yet.</source>
        <translation>Aucune rencontre enregistrée pour l’instant.</translation>
    </message>
    <message>
        <source>All Events</source>
        <translation>Tous les événements</translation>
    </message>
    <message>
        <source>ATTENTION ITEMS</source>
        <translation>POINTS D’ATTENTION</translation>
    </message>
    <message>
        <source>EVENTS</source>
        <translation>ÉVÉNEMENTS</translation>
    </message>
    <message>
        <source>No events yet. Pair with your iPhone and import its events.</source>
        <translation>Aucun événement pour l’instant. Jumelez votre iPhone et importez ses événements.</translation>
    </message>
    <message>
        <source>Event</source>
        <translation>Événement</translation>
    </message>
    <message>
        <source>Date</source>
        <translation>Date</translation>
    </message>
    <message>
        <source>Contacts</source>
        <translation>Contacts</translation>
    </message>
    <message>
        <source>Met</source>
        <translation>Rencontrés</translation>
    </message>
    <message>
        <source>Opportunities</source>
        <translation>Opportunités</translation>
    </message>
    <message numerus="yes">
        <source>%Ln contacts</source>
        <translation>
            <numerusform>%Ln contact</numerusform>
            <numerusform>%Ln contacts</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%Ln met</source>
        <translation>
            <numerusform>%Ln rencontré</numerusform>
            <numerusform>%Ln rencontrés</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%Ln targets</source>
        <translation>
            <numerusform>%Ln cible</numerusform>
            <numerusform>%Ln cibles</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%1 in %Ln opportunities</source>
        <translation>
            <numerusform>%1 dans %Ln opportunité</numerusform>
            <numerusform>%1 dans %Ln opportunités</numerusform>
        </translation>
    </message>
    <message>
        <source>MEETINGS</source>
        <translation>RENCONTRES</translation>
    </message>
    <message>
        <source>FUNNEL</source>
        <translation>ENTONNOIR</translation>
    </message>
    <message>
        <source>TIERS</source>
        <translation>NIVEAUX</translation>
    </message>
    <message>
        <source>RATINGS</source>
        <translation>NOTES</translation>
    </message>
    <message>
        <source>TEAM</source>
        <translation>ÉQUIPE</translation>
    </message>
    <message>
        <source>EVENTS SIDE BY SIDE</source>
        <translation>ÉVÉNEMENTS CÔTE À CÔTE</translation>
    </message>
</context>
<context>
    <name>qm::desktop::DetailCaptures</name>
    <message>
        <source>Captures</source>
        <translation>Captures</translation>
    </message>
    <message>
        <source>missing</source>
        <translation>introuvable</translation>
    </message>
    <message>
        <source>Capture image missing: %1</source>
        <translation>Image de la capture introuvable : %1</translation>
    </message>
    <message>
        <source>Capture image: %1</source>
        <translation>Image de la capture : %1</translation>
    </message>
</context>
<context>
    <name>qm::desktop::DetailDrafts</name>
    <message>
        <source>Drafts</source>
        <translation>Brouillons</translation>
    </message>
    <message>
        <source>(no subject)</source>
        <translation>(sans objet)</translation>
    </message>
    <message>
        <source>Draft: %1</source>
        <translation>Brouillon : %1</translation>
    </message>
    <message>
        <source>Show this draft</source>
        <translation>Afficher ce brouillon</translation>
    </message>
</context>
<context>
    <name>qm::desktop::DetailEdits</name>
    <message>
        <source>Last edit</source>
        <translation>Dernière modification</translation>
    </message>
    <message>
        <source>Not saved: %1</source>
        <translation>Non enregistré : %1</translation>
    </message>
    <message>
        <source>Saved and sent to the phone.</source>
        <translation>Enregistré et envoyé au téléphone.</translation>
    </message>
    <message>
        <source>Saved. %1 — the change is sent when the phone is back.</source>
        <translation>Enregistré. %1 — la modification sera envoyée au retour du téléphone.</translation>
    </message>
    <message>
        <source>Saved here only: %1</source>
        <translation>Enregistré ici seulement : %1</translation>
    </message>
</context>
<context>
    <name>qm::desktop::DetailFields</name>
    <message>
        <source>Contact</source>
        <translation>Contact</translation>
    </message>
    <message>
        <source>E-mail</source>
        <translation>E-mail</translation>
    </message>
    <message>
        <source>Phone</source>
        <translation>Téléphone</translation>
    </message>
    <message>
        <source>LinkedIn</source>
        <translation>LinkedIn</translation>
    </message>
    <message>
        <source>Location</source>
        <translation>Lieu</translation>
    </message>
    <message>
        <source>Company</source>
        <translation>Entreprise</translation>
    </message>
    <message>
        <source>Industry</source>
        <translation>Secteur</translation>
    </message>
    <message>
        <source>Size</source>
        <translation>Taille</translation>
    </message>
    <message>
        <source>Website</source>
        <translation>Site web</translation>
    </message>
    <message>
        <source>Summary</source>
        <translation>Résumé</translation>
    </message>
    <message>
        <source>Meeting</source>
        <translation>Rencontre</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>Statut</translation>
    </message>
    <message>
        <source>Met at</source>
        <translation>Rencontré le</translation>
    </message>
    <message>
        <source>Rating</source>
        <translation>Note</translation>
    </message>
    <message>
        <source>Owner</source>
        <translation>Responsable</translation>
    </message>
    <message>
        <source>Tier</source>
        <translation>Niveau</translation>
    </message>
    <message>
        <source>Score</source>
        <translation>Score</translation>
    </message>
    <message>
        <source>Also met by</source>
        <translation>Également rencontré par</translation>
    </message>
    <message>
        <source>Talking points</source>
        <translation>Points à aborder</translation>
    </message>
    <message>
        <source>About them</source>
        <translation>À propos de la personne</translation>
    </message>
    <message>
        <source>About the company</source>
        <translation>À propos de l’entreprise</translation>
    </message>
</context>
<context>
    <name>qm::desktop::DetailHeader</name>
    <message>
        <source>Name</source>
        <translation>Nom</translation>
    </message>
    <message>
        <source>Title and company</source>
        <translation>Poste et entreprise</translation>
    </message>
    <message>
        <source>Meeting status</source>
        <translation>État de la rencontre</translation>
    </message>
    <message>
        <source>◎ Target</source>
        <translation>◎ Cible</translation>
    </message>
    <message>
        <source>★ Favourite</source>
        <translation>★ Favori</translation>
    </message>
    <message>
        <source>Unnamed contact</source>
        <translation>Contact sans nom</translation>
    </message>
</context>
<context>
    <name>qm::desktop::DetailNotes</name>
    <message>
        <source>Notes</source>
        <translation>Notes</translation>
    </message>
    <message>
        <source>No notes yet.</source>
        <translation>Aucune note pour l’instant.</translation>
    </message>
    <message>
        <source>Edit…</source>
        <translation>Modifier…</translation>
    </message>
    <message>
        <source>Edit note</source>
        <translation>Modifier la note</translation>
    </message>
    <message>
        <source>Delete…</source>
        <translation>Supprimer…</translation>
    </message>
    <message>
        <source>Delete note</source>
        <translation>Supprimer la note</translation>
    </message>
    <message>
        <source>Add Note</source>
        <translation>Ajouter une note</translation>
    </message>
    <message>
        <source>Note about %1:</source>
        <translation>Note sur %1 :</translation>
    </message>
    <message>
        <source>Edit Note</source>
        <translation>Modifier la note</translation>
    </message>
    <message>
        <source>Note:</source>
        <translation>Note :</translation>
    </message>
    <message>
        <source>Note Edit</source>
        <translation>Modification de la note</translation>
    </message>
    <message>
        <source>Delete Note?</source>
        <translation>Supprimer la note ?</translation>
    </message>
    <message>
        <source>This note will be deleted from this computer. This cannot be undone.</source>
        <translation>Cette note sera supprimée de cet ordinateur. Cette action est irréversible.</translation>
    </message>
    <message>
        <source>Delete Note</source>
        <translation>Supprimer la note</translation>
    </message>
    <message>
        <source>Note deleted.</source>
        <translation>Note supprimée.</translation>
    </message>
</context>
<context>
    <name>qm::desktop::DetailOpportunities</name>
    <message>
        <source>Opportunities</source>
        <translation>Opportunités</translation>
    </message>
    <message>
        <source>Untitled opportunity</source>
        <translation>Opportunité sans titre</translation>
    </message>
    <message>
        <source>Edit…</source>
        <translation>Modifier…</translation>
    </message>
    <message>
        <source>Edit opportunity</source>
        <translation>Modifier l’opportunité</translation>
    </message>
    <message>
        <source>Delete…</source>
        <translation>Supprimer…</translation>
    </message>
    <message>
        <source>Delete opportunity</source>
        <translation>Supprimer l’opportunité</translation>
    </message>
    <message>
        <source>Opportunity saved.</source>
        <translation>Opportunité enregistrée.</translation>
    </message>
    <message>
        <source>Edit of %1</source>
        <translation>Modification de %1</translation>
    </message>
    <message>
        <source>Delete Opportunity?</source>
        <translation>Supprimer l’opportunité ?</translation>
    </message>
    <message>
        <source>“%1” and its links to contacts will be deleted. This cannot be undone.</source>
        <translation>« %1 » et ses liens avec les contacts seront supprimés. Cette action est irréversible.</translation>
    </message>
    <message>
        <source>Delete Opportunity</source>
        <translation>Supprimer l’opportunité</translation>
    </message>
    <message>
        <source>Opportunity deleted.</source>
        <translation>Opportunité supprimée.</translation>
    </message>
</context>
<context>
    <name>qm::desktop::DraftEditor</name>
    <message>
        <source>Export Email Draft</source>
        <translation>Exporter le brouillon d’e-mail</translation>
    </message>
    <message>
        <source>E-mail message (*.eml)</source>
        <translation>Message e-mail (*.eml)</translation>
    </message>
    <message>
        <source>Choose a draft to read and edit it.</source>
        <translation>Choisissez un brouillon pour le lire et le modifier.</translation>
    </message>
    <message>
        <source>Subject</source>
        <translation>Objet</translation>
    </message>
    <message>
        <source>&amp;Subject:</source>
        <translation>&amp;Objet :</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>Statut</translation>
    </message>
    <message>
        <source>Draft</source>
        <translation>Brouillon</translation>
    </message>
    <message>
        <source>Approved</source>
        <translation>Approuvé</translation>
    </message>
    <message>
        <source>Sent</source>
        <translation>Envoyé</translation>
    </message>
    <message>
        <source>Dismissed</source>
        <translation>Écarté</translation>
    </message>
    <message>
        <source>&amp;Tone:</source>
        <translation>&amp;Ton :</translation>
    </message>
    <message>
        <source>Tone</source>
        <translation>Ton</translation>
    </message>
    <message>
        <source>Warm</source>
        <translation>Chaleureux</translation>
    </message>
    <message>
        <source>Neutral</source>
        <translation>Neutre</translation>
    </message>
    <message>
        <source>Formal</source>
        <translation>Formel</translation>
    </message>
    <message>
        <source>Regenerate draft with selected tone</source>
        <translation>Réécrire le brouillon dans le ton choisi</translation>
    </message>
    <message>
        <source>S&amp;tatus:</source>
        <translation>S&amp;tatut :</translation>
    </message>
    <message>
        <source>Body</source>
        <translation>Corps du message</translation>
    </message>
    <message>
        <source>Preview as the e-mail shows it</source>
        <translation>Aperçu tel que l’e-mail l’affiche</translation>
    </message>
    <message>
        <source>Working</source>
        <translation>En cours</translation>
    </message>
    <message>
        <source>Draft message</source>
        <translation>Message du brouillon</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>Enregistrer</translation>
    </message>
    <message>
        <source>Save the subject and body (Ctrl+S)</source>
        <translation>Enregistrer l’objet et le corps (Ctrl+S)</translation>
    </message>
    <message>
        <source>Save .eml</source>
        <translation>Enregistrer en .eml</translation>
    </message>
    <message>
        <source>Copy to Clipboard</source>
        <translation>Copier dans le presse-papiers</translation>
    </message>
    <message>
        <source>Open in Mail</source>
        <translation>Ouvrir dans la messagerie</translation>
    </message>
    <message>
        <source>This draft no longer exists.</source>
        <translation>Ce brouillon n’existe plus.</translation>
    </message>
    <message>
        <source>No contact</source>
        <translation>Aucun contact</translation>
    </message>
    <message>
        <source>Saved.</source>
        <translation>Enregistré.</translation>
    </message>
    <message>
        <source>Marked %1.</source>
        <translation>Statut : %1.</translation>
    </message>
    <message>
        <source>Regenerate Draft</source>
        <translation>Réécrire le brouillon</translation>
    </message>
    <message>
        <source>A new draft replaces the subject and body, with your unsaved edits. Regenerate anyway?</source>
        <translation>Un nouveau brouillon remplacera l’objet et le corps, ainsi que vos modifications non enregistrées. Réécrire quand même ?</translation>
    </message>
    <message>
        <source>This draft has no contact to write to.</source>
        <translation>Ce brouillon n’a pas de destinataire.</translation>
    </message>
    <message>
        <source>Writing the draft…</source>
        <translation>Rédaction du brouillon…</translation>
    </message>
    <message>
        <source>Written again in a %1 tone.</source>
        <translation>Réécrit dans un ton %1.</translation>
    </message>
    <message>
        <source>Failed to save: </source>
        <translation>Échec de l’enregistrement : </translation>
    </message>
    <message>
        <source>Saved %1</source>
        <translation>Enregistré : %1</translation>
    </message>
    <message>
        <source>Copied the subject and body to the clipboard.</source>
        <translation>Objet et corps copiés dans le presse-papiers.</translation>
    </message>
    <message>
        <source>Opened in your mail program.</source>
        <translation>Ouvert dans votre messagerie.</translation>
    </message>
    <message>
        <source>Could not open the message in a mail program: %1</source>
        <translation>Impossible d’ouvrir le message dans une messagerie : %1</translation>
    </message>
    <message>
        <source>To</source>
        <translation>Destinataire</translation>
    </message>
    <message>
        <source>The contact has no e-mail address: type one</source>
        <translation>Le contact n’a pas d’adresse e-mail : saisissez-en une</translation>
    </message>
    <message>
        <source>T&amp;o:</source>
        <translation>&amp;Destinataire :</translation>
    </message>
    <message>
        <source>Send</source>
        <translation>Envoyer</translation>
    </message>
    <message>
        <source>Send through your mail server (Settings ▸ Mail), saving the edits first</source>
        <translation>Envoyer par votre serveur de messagerie (Réglages ▸ Messagerie), après avoir enregistré les modifications</translation>
    </message>
    <message>
        <source>Sending…</source>
        <translation>Envoi…</translation>
    </message>
</context>
<context>
    <name>qm::desktop::DraftSending</name>
    <message>
        <source>Sending to %1…</source>
        <translation>Envoi à %1…</translation>
    </message>
    <message>
        <source>Sent to %1</source>
        <translation>Envoyé à %1</translation>
    </message>
    <message>
        <source>Not sent to %1: %2</source>
        <translation>Non envoyé à %1 : %2</translation>
    </message>
    <message>
        <source>Sent.</source>
        <translation>Envoyé.</translation>
    </message>
    <message>
        <source>Sent to %1.</source>
        <translation>Envoyé à %1.</translation>
    </message>
    <message numerus="yes">
        <source>Sent %1 of %Ln drafts.</source>
        <translation>
            <numerusform>%1 brouillon sur %Ln envoyé.</numerusform>
            <numerusform>%1 brouillons sur %Ln envoyés.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Cancelled: %Ln drafts were left as they were.</source>
        <translation>
            <numerusform>Annulé : %Ln brouillon est resté tel quel.</numerusform>
            <numerusform>Annulé : %Ln brouillons sont restés tels quels.</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>qm::desktop::DraftsView</name>
    <message>
        <source>Status:</source>
        <translation>Statut :</translation>
    </message>
    <message>
        <source>Show drafts with status</source>
        <translation>Afficher les brouillons au statut</translation>
    </message>
    <message>
        <source>All</source>
        <translation>Tous</translation>
    </message>
    <message>
        <source>Draft</source>
        <translation>Brouillon</translation>
    </message>
    <message>
        <source>Approved</source>
        <translation>Approuvé</translation>
    </message>
    <message>
        <source>Sent</source>
        <translation>Envoyé</translation>
    </message>
    <message>
        <source>Dismissed</source>
        <translation>Écarté</translation>
    </message>
    <message>
        <source>Save the chosen drafts, or all that are not dismissed, as .eml files into a folder</source>
        <translation>Enregistrer les brouillons choisis, ou tous ceux qui ne sont pas écartés, en fichiers .eml dans un dossier</translation>
    </message>
    <message>
        <source>Tone of the new drafts</source>
        <translation>Ton des nouveaux brouillons</translation>
    </message>
    <message>
        <source>Warm</source>
        <translation>Chaleureux</translation>
    </message>
    <message>
        <source>Neutral</source>
        <translation>Neutre</translation>
    </message>
    <message>
        <source>Formal</source>
        <translation>Formel</translation>
    </message>
    <message>
        <source>Write drafts for the met contacts that have none, ten at a time</source>
        <translation>Rédiger des brouillons pour les contacts rencontrés qui n’en ont pas, dix à la fois</translation>
    </message>
    <message>
        <source>Resumed batch</source>
        <translation>Lot repris</translation>
    </message>
    <message>
        <source>Batch progress</source>
        <translation>Avancement du lot</translation>
    </message>
    <message>
        <source>Batch state</source>
        <translation>État du lot</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Annuler</translation>
    </message>
    <message>
        <source>Cancel the batch</source>
        <translation>Annuler le lot</translation>
    </message>
    <message>
        <source>Drafts message</source>
        <translation>Message des brouillons</translation>
    </message>
    <message>
        <source>Drafts</source>
        <translation>Brouillons</translation>
    </message>
    <message>
        <source>Contact</source>
        <translation>Contact</translation>
    </message>
    <message>
        <source>Subject</source>
        <translation>Objet</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>Statut</translation>
    </message>
    <message>
        <source>Tone</source>
        <translation>Ton</translation>
    </message>
    <message>
        <source>Written</source>
        <translation>Rédigé</translation>
    </message>
    <message>
        <source>No drafts yet. Select met contacts and choose Generate Drafts.</source>
        <translation>Aucun brouillon pour l’instant. Sélectionnez des contacts rencontrés et choisissez Générer les brouillons.</translation>
    </message>
    <message>
        <source>Failed to save: </source>
        <translation>Échec de l’enregistrement : </translation>
    </message>
    <message>
        <source>Cancelling after the draft being written…</source>
        <translation>Annulation après le brouillon en cours…</translation>
    </message>
    <message>
        <source>Batch finished: %1 written, %2 failed of %3</source>
        <translation>Lot terminé : %1 rédigés, %2 en échec sur %3</translation>
    </message>
    <message>
        <source>Writing the draft to %1 · %2 written, %3 failed of %4</source>
        <translation>Rédaction du brouillon pour %1 · %2 rédigés, %3 en échec sur %4</translation>
    </message>
    <message>
        <source>the next contact</source>
        <translation>le contact suivant</translation>
    </message>
    <message>
        <source>Resuming batch: %1 remaining for &apos;%2&apos;</source>
        <translation>Reprise du lot : %1 restants pour « %2 »</translation>
    </message>
    <message>
        <source>Choose Export Folder</source>
        <translation>Choisir le dossier d’export</translation>
    </message>
    <message>
        <source>Export Here</source>
        <translation>Exporter ici</translation>
    </message>
    <message>
        <source>Writing from templates: no AI endpoint is set up and the phone is not connected.</source>
        <translation>Rédaction d’après les modèles : aucun service d’IA n’est configuré et le téléphone n’est pas connecté.</translation>
    </message>
    <message>
        <source>Written from templates</source>
        <translation>Rédigé d’après les modèles</translation>
    </message>
    <message numerus="yes">
        <source>Generate for %1 of %Ln contacts</source>
        <translation>
            <numerusform>Générer pour %1 des %Ln contacts</numerusform>
            <numerusform>Générer pour %1 des %Ln contacts</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Generate for %Ln contacts</source>
        <translation>
            <numerusform>Générer pour %Ln contact</numerusform>
            <numerusform>Générer pour %Ln contacts</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Export %Ln as .eml</source>
        <translation>
            <numerusform>Exporter %Ln en .eml</numerusform>
            <numerusform>Exporter %Ln en .eml</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Exported %Ln drafts as .eml to %1</source>
        <translation>
            <numerusform>%Ln brouillon exporté en .eml dans %1</numerusform>
            <numerusform>%Ln brouillons exportés en .eml dans %1</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>qm::desktop::EventChartViews</name>
    <message>
        <source>%1%</source>
        <extracomment>A percentage; French puts a narrow no-break space before the sign.</extracomment>
        <translation>%1 %</translation>
    </message>
    <message>
        <source>Meetings per hour</source>
        <translation>Rencontres par heure</translation>
    </message>
    <message>
        <source>Meetings per day</source>
        <translation>Rencontres par jour</translation>
    </message>
    <message>
        <source>No meetings recorded yet.</source>
        <translation>Aucune rencontre enregistrée pour l’instant.</translation>
    </message>
    <message numerus="yes">
        <source>%Ln meetings from %1 to %2</source>
        <translation>
            <numerusform>%Ln rencontre de %1 à %2</numerusform>
            <numerusform>%Ln rencontres de %1 à %2</numerusform>
        </translation>
    </message>
    <message>
        <source>Met from %1 to %2</source>
        <translation>Rencontrés de %1 à %2</translation>
    </message>
    <message numerus="yes">
        <source>%Ln meetings on %1</source>
        <translation>
            <numerusform>%Ln rencontre le %1</numerusform>
            <numerusform>%Ln rencontres le %1</numerusform>
        </translation>
    </message>
    <message>
        <source>Met on %1</source>
        <translation>Rencontrés le %1</translation>
    </message>
    <message>
        <source>From capture to opportunity</source>
        <translation>De la capture à l’opportunité</translation>
    </message>
    <message>
        <source>No contacts yet.</source>
        <translation>Aucun contact pour l’instant.</translation>
    </message>
    <message>
        <source>Captured</source>
        <translation>Capturés</translation>
    </message>
    <message>
        <source>Met</source>
        <translation>Rencontrés</translation>
    </message>
    <message>
        <source>Rated 4–5</source>
        <translation>Notés 4–5</translation>
    </message>
    <message>
        <source>Follow-up drafted</source>
        <translation>Relance rédigée</translation>
    </message>
    <message>
        <source>Approved or sent</source>
        <translation>Approuvée ou envoyée</translation>
    </message>
    <message>
        <source>With an opportunity</source>
        <translation>Avec une opportunité</translation>
    </message>
    <message>
        <source>%1 · %2</source>
        <translation>%1 · %2</translation>
    </message>
    <message numerus="yes">
        <source>%1: %Ln contacts</source>
        <translation>
            <numerusform>%1 : %Ln contact</numerusform>
            <numerusform>%1 : %Ln contacts</numerusform>
        </translation>
    </message>
    <message>
        <source>Pipeline by stage</source>
        <translation>Pipeline par étape</translation>
    </message>
    <message>
        <source>No opportunities yet.</source>
        <translation>Aucune opportunité pour l’instant.</translation>
    </message>
    <message numerus="yes">
        <source>%Ln opportunities</source>
        <translation>
            <numerusform>%Ln opportunité</numerusform>
            <numerusform>%Ln opportunités</numerusform>
        </translation>
    </message>
    <message>
        <source>%1: %2</source>
        <translation>%1 : %2</translation>
    </message>
    <message>
        <source>Contacts of the opportunities in %1</source>
        <translation>Contacts des opportunités à l’étape « %1 »</translation>
    </message>
    <message>
        <source>Tiers</source>
        <translation>Niveaux</translation>
    </message>
    <message>
        <source>No tier</source>
        <translation>Sans niveau</translation>
    </message>
    <message>
        <source>Tier %1</source>
        <translation>Niveau %1</translation>
    </message>
    <message>
        <source>Ratings</source>
        <translation>Notes</translation>
    </message>
    <message>
        <source>No ratings yet.</source>
        <translation>Aucune note pour l’instant.</translation>
    </message>
    <message>
        <source>Rated %1</source>
        <translation>Noté %1</translation>
    </message>
    <message>
        <source>Met by the team</source>
        <translation>Rencontrés par l’équipe</translation>
    </message>
    <message numerus="yes">
        <source>%1 met %Ln contacts</source>
        <translation>
            <numerusform>%1 a rencontré %Ln contact</numerusform>
            <numerusform>%1 a rencontré %Ln contacts</numerusform>
        </translation>
    </message>
    <message>
        <source>Met by %1</source>
        <translation>Rencontrés par %1</translation>
    </message>
    <message>
        <source>Events side by side</source>
        <translation>Les événements côte à côte</translation>
    </message>
    <message>
        <source>No events yet.</source>
        <translation>Aucun événement pour l’instant.</translation>
    </message>
    <message numerus="yes">
        <source>%Ln contacts</source>
        <translation>
            <numerusform>%Ln contact</numerusform>
            <numerusform>%Ln contacts</numerusform>
        </translation>
    </message>
    <message>
        <source>%1 met</source>
        <translation>%1 rencontrés</translation>
    </message>
    <message>
        <source>%1 (%2): %3</source>
        <translation>%1 (%2) : %3</translation>
    </message>
</context>
<context>
    <name>qm::desktop::EventSidebar</name>
    <message>
        <source>Events</source>
        <translation>Événements</translation>
    </message>
    <message>
        <source>All Events</source>
        <translation>Tous les événements</translation>
    </message>
    <message>
        <source>Portfolio and attention items</source>
        <translation>Portefeuille et points d’attention</translation>
    </message>
    <message>
        <source>Every event that is not archived, with what needs attention</source>
        <translation>Tous les événements non archivés, avec ce qui demande votre attention</translation>
    </message>
    <message>
        <source>archived</source>
        <translation>archivé</translation>
    </message>
    <message numerus="yes">
        <source>%Ln contacts</source>
        <translation>
            <numerusform>%Ln contact</numerusform>
            <numerusform>%Ln contacts</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>qm::desktop::ExportDone</name>
    <message>
        <source>Export Contacts</source>
        <translation>Exporter les contacts</translation>
    </message>
    <message numerus="yes">
        <source>Exported %Ln contacts to %1</source>
        <translation>
            <numerusform>%Ln contact exporté vers %1</numerusform>
            <numerusform>%Ln contacts exportés vers %1</numerusform>
        </translation>
    </message>
    <message>
        <source>Show in Folder</source>
        <translation>Afficher dans le dossier</translation>
    </message>
</context>
<context>
    <name>qm::desktop::ExportSettingsTab</name>
    <message>
        <source>Default export format</source>
        <translation>Format d’export par défaut</translation>
    </message>
    <message>
        <source>Default export folder</source>
        <translation>Dossier d’export par défaut</translation>
    </message>
    <message>
        <source>None chosen: exports ask each time</source>
        <translation>Aucun : chaque export le demande</translation>
    </message>
    <message>
        <source>Choose…</source>
        <translation>Choisir…</translation>
    </message>
    <message>
        <source>Choose the default export folder</source>
        <translation>Choisir le dossier d’export par défaut</translation>
    </message>
    <message>
        <source>Clear</source>
        <translation>Effacer</translation>
    </message>
    <message>
        <source>Clear the default export folder</source>
        <translation>Effacer le dossier d’export par défaut</translation>
    </message>
    <message>
        <source>Format:</source>
        <translation>Format :</translation>
    </message>
    <message>
        <source>Folder:</source>
        <translation>Dossier :</translation>
    </message>
    <message>
        <source>Export Defaults</source>
        <translation>Export par défaut</translation>
    </message>
    <message>
        <source>Choose the folder exports go to</source>
        <translation>Choisir le dossier des exports</translation>
    </message>
    <message>
        <source>Days from the meeting to a follow-up&apos;s due date</source>
        <translation>Jours entre la rencontre et l’échéance d’une relance</translation>
    </message>
    <message>
        <source>Follow-ups due:</source>
        <translation>Échéance des relances&#xa0;:</translation>
    </message>
    <message>
        <source>What contact exports propose: the format and the folder they go to. In the follow-up calendar (.ics), each met contact&apos;s follow-up is due some days after the meeting.</source>
        <translation>Ce que proposent les exports de contacts&#xa0;: le format et le dossier de destination. Dans le calendrier des relances (.ics), la relance de chaque contact rencontré est due quelques jours après la rencontre.</translation>
    </message>
    <message numerus="yes">
        <source>day(s) after the meeting</source>
        <translation>
            <numerusform>jour après la rencontre</numerusform>
            <numerusform>jours après la rencontre</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>qm::desktop::ExportSheet</name>
    <message>
        <source>Generic CSV</source>
        <translation>CSV générique</translation>
    </message>
    <message>
        <source>HubSpot CSV</source>
        <translation>CSV HubSpot</translation>
    </message>
    <message>
        <source>Salesforce CSV</source>
        <translation>CSV Salesforce</translation>
    </message>
    <message>
        <source>Pipedrive CSV</source>
        <translation>CSV Pipedrive</translation>
    </message>
    <message>
        <source>Excel workbooks (*.xlsx)</source>
        <translation>Classeurs Excel (*.xlsx)</translation>
    </message>
    <message>
        <source>vCard files (*.vcf)</source>
        <translation>Fichiers vCard (*.vcf)</translation>
    </message>
    <message>
        <source>CSV files (*.csv)</source>
        <translation>Fichiers CSV (*.csv)</translation>
    </message>
    <message>
        <source>Export Contacts</source>
        <translation>Exporter les contacts</translation>
    </message>
    <message>
        <source>Format</source>
        <translation>Format</translation>
    </message>
    <message>
        <source>Scope</source>
        <translation>Périmètre</translation>
    </message>
    <message>
        <source>vCard 3.0 for older address books</source>
        <translation>vCard 3.0 pour les anciens carnets d’adresses</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Annuler</translation>
    </message>
    <message>
        <source>Export</source>
        <translation>Exporter</translation>
    </message>
    <message>
        <source>Cannot read the contacts: %1</source>
        <translation>Impossible de lire les contacts : %1</translation>
    </message>
    <message>
        <source>Shown in the List</source>
        <translation>Affichés dans la liste</translation>
    </message>
    <message>
        <source>Selected Contacts</source>
        <translation>Contacts sélectionnés</translation>
    </message>
    <message numerus="yes">
        <source>%Ln contacts will be exported</source>
        <translation>
            <numerusform>%Ln contact sera exporté</numerusform>
            <numerusform>%Ln contacts seront exportés</numerusform>
        </translation>
    </message>
    <message>
        <source>Failed to save: %1</source>
        <translation>Échec de l’enregistrement : %1</translation>
    </message>
    <message>
        <source>iCalendar files (*.ics)</source>
        <translation>Fichiers iCalendar (*.ics)</translation>
    </message>
    <message>
        <source>Follow-up calendar (.ics)</source>
        <translation>Calendrier des relances (.ics)</translation>
    </message>
    <message>
        <source>No follow-ups to put in the calendar</source>
        <translation>Aucune relance à mettre dans le calendrier</translation>
    </message>
    <message numerus="yes">
        <source>%Ln to-dos will be put in the calendar</source>
        <translation>
            <numerusform>%Ln tâche sera mise dans le calendrier</numerusform>
            <numerusform>%Ln tâches seront mises dans le calendrier</numerusform>
        </translation>
    </message>
    <message>
        <source>No follow-ups to put in the calendar: an empty calendar was saved to %1</source>
        <translation>Aucune relance à mettre dans le calendrier&#xa0;: un calendrier vide a été enregistré dans %1</translation>
    </message>
    <message numerus="yes">
        <source>Put %Ln to-dos in the calendar %1</source>
        <translation>
            <numerusform>%Ln tâche mise dans le calendrier %1</numerusform>
            <numerusform>%Ln tâches mises dans le calendrier %1</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>qm::desktop::FollowUpDialog</name>
    <message>
        <source>Draft Follow-Up Email</source>
        <translation>Rédiger un e-mail de relance</translation>
    </message>
    <message>
        <source>this contact</source>
        <translation>ce contact</translation>
    </message>
    <message>
        <source>Write a follow-up e-mail to %1.</source>
        <translation>Rédiger un e-mail de relance à %1.</translation>
    </message>
    <message>
        <source>Tone</source>
        <translation>Ton</translation>
    </message>
    <message>
        <source>Warm</source>
        <translation>Chaleureux</translation>
    </message>
    <message>
        <source>Neutral</source>
        <translation>Neutre</translation>
    </message>
    <message>
        <source>Formal</source>
        <translation>Formel</translation>
    </message>
    <message>
        <source>&amp;Tone:</source>
        <translation>&amp;Ton :</translation>
    </message>
    <message>
        <source>Writing the draft…</source>
        <translation>Rédaction du brouillon…</translation>
    </message>
    <message>
        <source>Writing the draft</source>
        <translation>Rédaction du brouillon</translation>
    </message>
    <message>
        <source>Why no draft was written</source>
        <translation>Pourquoi aucun brouillon n’a été rédigé</translation>
    </message>
    <message>
        <source>Generate</source>
        <translation>Générer</translation>
    </message>
    <message>
        <source>The companion wrote no draft.</source>
        <translation>Le compagnon n’a rédigé aucun brouillon.</translation>
    </message>
    <message>
        <source>Write from Template</source>
        <translation>Rédiger avec un modèle</translation>
    </message>
    <message>
        <source>Write the draft at once from the tone&apos;s template (Settings ▸ Templates), without an AI</source>
        <translation>Rédiger aussitôt le brouillon d’après le modèle du ton choisi (Réglages ▸ Modèles), sans IA</translation>
    </message>
</context>
<context>
    <name>qm::desktop::GeneralSettingsTab</name>
    <message>
        <source>Display name</source>
        <translation>Nom affiché</translation>
    </message>
    <message>
        <source>Shown to your phone and on the notes you write</source>
        <translation>Affiché sur votre téléphone et sur les notes que vous écrivez</translation>
    </message>
    <message>
        <source>Organisation</source>
        <translation>Organisation</translation>
    </message>
    <message>
        <source>E-mail signature</source>
        <translation>Signature des e-mails</translation>
    </message>
    <message>
        <source>Language</source>
        <translation>Langue</translation>
    </message>
    <message>
        <source>System</source>
        <translation>Système</translation>
    </message>
    <message>
        <source>Display name:</source>
        <translation>Nom affiché :</translation>
    </message>
    <message>
        <source>Organisation:</source>
        <translation>Organisation :</translation>
    </message>
    <message>
        <source>E-mail signature:</source>
        <translation>Signature des e-mails :</translation>
    </message>
    <message>
        <source>Language:</source>
        <translation>Langue :</translation>
    </message>
    <message>
        <source>Change Language?</source>
        <translation>Changer de langue ?</translation>
    </message>
    <message>
        <source>Quillmere will restart to switch to </source>
        <translation>Quillmere va redémarrer pour passer en </translation>
    </message>
    <message>
        <source>Change &amp;&amp; Restart</source>
        <translation>Changer et redémarrer</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Annuler</translation>
    </message>
    <message>
        <source>Sender name</source>
        <translation>Nom de l’expéditeur</translation>
    </message>
    <message>
        <source>Your name as your follow-ups show it</source>
        <translation>Votre nom tel que vos relances l’affichent</translation>
    </message>
    <message>
        <source>Sender address</source>
        <translation>Adresse de l’expéditeur</translation>
    </message>
    <message>
        <source>The address replies reach, such as dana@example.com</source>
        <translation>L’adresse où arrivent les réponses, par exemple dana@example.com</translation>
    </message>
    <message>
        <source>Sender name:</source>
        <translation>Nom de l’expéditeur :</translation>
    </message>
    <message>
        <source>Sender address:</source>
        <translation>Adresse de l’expéditeur :</translation>
    </message>
    <message>
        <source>Check for updates once a day when the window opens</source>
        <translation>Rechercher les mises à jour une fois par jour à l’ouverture de la fenêtre</translation>
    </message>
    <message>
        <source>Updates:</source>
        <translation>Mises à jour :</translation>
    </message>
</context>
<context>
    <name>qm::desktop::ImportSheet</name>
    <message>
        <source>Import Events</source>
        <translation>Importer des événements</translation>
    </message>
    <message>
        <source>Import state</source>
        <translation>État de l’import</translation>
    </message>
    <message>
        <source>Import details</source>
        <translation>Détails de l’import</translation>
    </message>
    <message>
        <source>Waiting for the phone</source>
        <translation>En attente du téléphone</translation>
    </message>
    <message>
        <source>Events on the phone</source>
        <translation>Événements du téléphone</translation>
    </message>
    <message>
        <source>Import progress</source>
        <translation>Avancement de l’import</translation>
    </message>
    <message>
        <source>Last event received</source>
        <translation>Dernier événement reçu</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Annuler</translation>
    </message>
    <message>
        <source>Try Again</source>
        <translation>Réessayer</translation>
    </message>
    <message>
        <source>Import Selected</source>
        <translation>Importer la sélection</translation>
    </message>
    <message>
        <source>Import the selected events</source>
        <translation>Importer les événements sélectionnés</translation>
    </message>
    <message>
        <source>Done</source>
        <translation>Terminé</translation>
    </message>
    <message>
        <source>Requesting events from iPhone...</source>
        <translation>Demande des événements à l’iPhone...</translation>
    </message>
    <message>
        <source>Already on this computer</source>
        <translation>Déjà sur cet ordinateur</translation>
    </message>
    <message>
        <source>Untitled event</source>
        <translation>Événement sans titre</translation>
    </message>
    <message>
        <source>This event is already on this computer.</source>
        <translation>Cet événement est déjà sur cet ordinateur.</translation>
    </message>
    <message>
        <source>No events available</source>
        <translation>Aucun événement disponible</translation>
    </message>
    <message>
        <source>The paired phone has no events yet.</source>
        <translation>Le téléphone jumelé n’a pas encore d’événements.</translation>
    </message>
    <message>
        <source>All events imported</source>
        <translation>Tous les événements sont importés</translation>
    </message>
    <message>
        <source>Every event on the paired iPhone is already on this computer.</source>
        <translation>Tous les événements de l’iPhone jumelé sont déjà sur cet ordinateur.</translation>
    </message>
    <message>
        <source>Choose the events to bring from the phone to this computer.</source>
        <translation>Choisissez les événements à transférer du téléphone vers cet ordinateur.</translation>
    </message>
    <message>
        <source>Importing Events</source>
        <translation>Import des événements</translation>
    </message>
    <message>
        <source>Received %1</source>
        <translation>Reçu : %1</translation>
    </message>
    <message>
        <source>Import Complete</source>
        <translation>Import terminé</translation>
    </message>
    <message>
        <source>Import Incomplete</source>
        <translation>Import incomplet</translation>
    </message>
    <message>
        <source>Not imported: %1 (%2)</source>
        <translation>Non importé : %1 (%2)</translation>
    </message>
    <message>
        <source>Import stopped</source>
        <translation>Import interrompu</translation>
    </message>
    <message>
        <source>Cannot get the phone&apos;s events</source>
        <translation>Impossible d’obtenir les événements du téléphone</translation>
    </message>
    <message numerus="yes">
        <source>%Ln contacts</source>
        <translation>
            <numerusform>%Ln contact</numerusform>
            <numerusform>%Ln contacts</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Bringing %Ln events from the phone…</source>
        <translation>
            <numerusform>Transfert de %Ln événement depuis le téléphone…</numerusform>
            <numerusform>Transfert de %Ln événements depuis le téléphone…</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Imported %Ln events</source>
        <translation>
            <numerusform>%Ln événement importé</numerusform>
            <numerusform>%Ln événements importés</numerusform>
        </translation>
    </message>
    <message>
        <source>Event %1 of %2</source>
        <translation>Événement %1 sur %2</translation>
    </message>
    <message numerus="yes">
        <source>%1 of %Ln contacts</source>
        <translation>
            <numerusform>%1 sur %Ln contact</numerusform>
            <numerusform>%1 sur %Ln contacts</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>qm::desktop::MailSettingsTab</name>
    <message>
        <source>Certificate Authority</source>
        <translation>Autorité de certification</translation>
    </message>
    <message>
        <source>Certificates (*.pem *.crt);;All files (*)</source>
        <translation>Certificats (*.pem *.crt);;Tous les fichiers (*)</translation>
    </message>
    <message>
        <source>Mail server</source>
        <translation>Serveur de messagerie</translation>
    </message>
    <message>
        <source>Security</source>
        <translation>Sécurité</translation>
    </message>
    <message>
        <source>STARTTLS (usually port 587)</source>
        <translation>STARTTLS (port 587 en général)</translation>
    </message>
    <message>
        <source>TLS (usually port 465)</source>
        <translation>TLS (port 465 en général)</translation>
    </message>
    <message>
        <source>None: only a server on this computer</source>
        <translation>Aucune : seulement un serveur sur cet ordinateur</translation>
    </message>
    <message>
        <source>Port</source>
        <translation>Port</translation>
    </message>
    <message>
        <source>User name</source>
        <translation>Nom d&apos;utilisateur</translation>
    </message>
    <message>
        <source>Often your e-mail address</source>
        <translation>Souvent votre adresse e-mail</translation>
    </message>
    <message>
        <source>Password</source>
        <translation>Mot de passe</translation>
    </message>
    <message>
        <source>Certificate authority file</source>
        <translation>Fichier de l&apos;autorité de certification</translation>
    </message>
    <message>
        <source>Only for a company server with its own authority</source>
        <translation>Seulement pour un serveur d&apos;entreprise ayant sa propre autorité</translation>
    </message>
    <message>
        <source>Choose…</source>
        <translation>Choisir…</translation>
    </message>
    <message>
        <source>Choose the certificate authority file</source>
        <translation>Choisir le fichier de l&apos;autorité de certification</translation>
    </message>
    <message>
        <source>Mail account state</source>
        <translation>État du compte de messagerie</translation>
    </message>
    <message>
        <source>Sign In</source>
        <translation>Se connecter</translation>
    </message>
    <message>
        <source>Log in to the mail server and keep the account</source>
        <translation>Se connecter au serveur de messagerie et garder le compte</translation>
    </message>
    <message>
        <source>Sign Out</source>
        <translation>Se déconnecter</translation>
    </message>
    <message>
        <source>Forget the mail account and its password</source>
        <translation>Oublier le compte de messagerie et son mot de passe</translation>
    </message>
    <message>
        <source>Port:</source>
        <translation>Port :</translation>
    </message>
    <message>
        <source>Server:</source>
        <translation>Serveur :</translation>
    </message>
    <message>
        <source>Security:</source>
        <translation>Sécurité :</translation>
    </message>
    <message>
        <source>User:</source>
        <translation>Utilisateur :</translation>
    </message>
    <message>
        <source>Password:</source>
        <translation>Mot de passe :</translation>
    </message>
    <message>
        <source>Extra authority:</source>
        <translation>Autorité supplémentaire :</translation>
    </message>
    <message>
        <source>Mail Server</source>
        <translation>Serveur de messagerie</translation>
    </message>
    <message>
        <source>Follow-ups are sent through your own mail server, from the sender address set in General. The password stays in Quillmere&apos;s keychain.</source>
        <translation>Les relances partent par votre propre serveur de messagerie, depuis l&apos;adresse d&apos;expéditeur indiquée dans Général. Le mot de passe reste dans le trousseau de Quillmere.</translation>
    </message>
    <message>
        <source>Stored; type a new one to replace it</source>
        <translation>Enregistré ; saisissez-en un nouveau pour le remplacer</translation>
    </message>
    <message>
        <source>Password or app password</source>
        <translation>Mot de passe ou mot de passe d&apos;application</translation>
    </message>
    <message>
        <source>Ready: follow-ups go through %1 from %2.</source>
        <translation>Prêt : les relances partent par %1 depuis %2.</translation>
    </message>
    <message>
        <source>Signing in…</source>
        <translation>Connexion…</translation>
    </message>
    <message>
        <source>✓ Signed in to %1.</source>
        <translation>✓ Connecté à %1.</translation>
    </message>
    <message>
        <source>Signed out.</source>
        <translation>Déconnecté.</translation>
    </message>
</context>
<context>
    <name>qm::desktop::MainWindow</name>
    <message>
        <source>&amp;File</source>
        <translation>&amp;Fichier</translation>
    </message>
    <message>
        <source>Export Contacts…</source>
        <translation>Exporter les contacts…</translation>
    </message>
    <message>
        <source>Main</source>
        <translation>Barre principale</translation>
    </message>
    <message>
        <source>Sync Now</source>
        <translation>Synchroniser</translation>
    </message>
    <message>
        <source>Ask the phone for everything new (Ctrl+R)</source>
        <translation>Demander au téléphone tout ce qui est nouveau (Ctrl+R)</translation>
    </message>
    <message>
        <source>Import Events…</source>
        <translation>Importer des événements…</translation>
    </message>
    <message>
        <source>Pairing…</source>
        <translation>Jumelage…</translation>
    </message>
    <message>
        <source>Search…</source>
        <translation>Rechercher…</translation>
    </message>
    <message>
        <source>Search everything (Ctrl+K)</source>
        <translation>Tout rechercher (Ctrl+K)</translation>
    </message>
    <message>
        <source>Settings…</source>
        <translation>Réglages…</translation>
    </message>
    <message>
        <source>Settings (Ctrl+,)</source>
        <translation>Réglages (Ctrl+,)</translation>
    </message>
    <message>
        <source>Last error</source>
        <translation>Dernière erreur</translation>
    </message>
    <message>
        <source>Pairing and sync state</source>
        <translation>État du jumelage et de la synchronisation</translation>
    </message>
    <message>
        <source>List mode</source>
        <translation>Liste affichée</translation>
    </message>
    <message>
        <source>Dashboard</source>
        <translation>Tableau de bord</translation>
    </message>
    <message>
        <source>Contacts</source>
        <translation>Contacts</translation>
    </message>
    <message>
        <source>Companies</source>
        <translation>Entreprises</translation>
    </message>
    <message>
        <source>Opportunities</source>
        <translation>Opportunités</translation>
    </message>
    <message>
        <source>Drafts</source>
        <translation>Brouillons</translation>
    </message>
    <message>
        <source>Reports</source>
        <translation>Rapports</translation>
    </message>
    <message>
        <source>Choose an event in the sidebar to see its lists.</source>
        <translation>Choisissez un événement dans la barre latérale pour voir ses listes.</translation>
    </message>
    <message>
        <source>Lost the connection to the companion; reconnecting…</source>
        <translation>Connexion au compagnon perdue ; reconnexion…</translation>
    </message>
    <message>
        <source>Not connected</source>
        <translation>Non connecté</translation>
    </message>
    <message>
        <source>Syncing…</source>
        <translation>Synchronisation…</translation>
    </message>
    <message>
        <source>Writing drafts %1 of %2%3</source>
        <translation>Rédaction des brouillons : %1 sur %2%3</translation>
    </message>
    <message>
        <source>&amp;Edit</source>
        <translation>É&amp;dition</translation>
    </message>
    <message>
        <source>Undo</source>
        <translation>Annuler</translation>
    </message>
    <message>
        <source>Undo %1</source>
        <translation>Annuler « %1 »</translation>
    </message>
    <message>
        <source>Cannot undo: %1</source>
        <translation>Impossible d’annuler : %1</translation>
    </message>
    <message>
        <source>&amp;Quit</source>
        <translation>&amp;Quitter</translation>
    </message>
    <message>
        <source>&amp;View</source>
        <translation>&amp;Présentation</translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation>&amp;Aide</translation>
    </message>
    <message>
        <source>&amp;Keyboard Shortcuts</source>
        <translation>&amp;Raccourcis clavier</translation>
    </message>
    <message>
        <source>&amp;About Quillmere</source>
        <translation>À &amp;propos de Quillmere</translation>
    </message>
    <message>
        <source>The window shows the new language when it is reopened.</source>
        <translation>La fenêtre passe à la nouvelle langue à sa réouverture.</translation>
    </message>
    <message numerus="yes">
        <source>%Ln changes waiting for the phone</source>
        <translation>
            <numerusform>%Ln modification en attente du téléphone</numerusform>
            <numerusform>%Ln modifications en attente du téléphone</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Importing %1 of %Ln events</source>
        <translation>
            <numerusform>Import de l’événement %1 sur %Ln</numerusform>
            <numerusform>Import de l’événement %1 sur %Ln</numerusform>
        </translation>
    </message>
    <message>
        <source>No events yet</source>
        <translation>Aucun événement pour l’instant</translation>
    </message>
    <message>
        <source>Pair your phone and import its events, or try the demo data on the Dashboard.</source>
        <translation>Jumelez votre téléphone et importez ses événements, ou essayez les données de démonstration dans le tableau de bord.</translation>
    </message>
    <message>
        <source>Check for &amp;Updates…</source>
        <translation>Rechercher les &amp;mises à jour…</translation>
    </message>
    <message>
        <source>Check for Updates</source>
        <translation>Rechercher les mises à jour</translation>
    </message>
    <message>
        <source>Export Report…</source>
        <translation>Exporter le rapport…</translation>
    </message>
    <message>
        <source>Export Report</source>
        <translation>Exporter le rapport</translation>
    </message>
    <message>
        <source>PDF documents (*.pdf)</source>
        <translation>Documents PDF (*.pdf)</translation>
    </message>
    <message>
        <source>Cannot write the report: %1</source>
        <translation>Impossible d’écrire le rapport : %1</translation>
    </message>
</context>
<context>
    <name>qm::desktop::McpSettingsTab</name>
    <message>
        <source>MCP Server</source>
        <translation>Serveur MCP</translation>
    </message>
    <message>
        <source>Allow AI applications to read your Quillmere data via the Model Context Protocol.</source>
        <translation>Permettre aux applications d’IA de lire vos données Quillmere via le Model Context Protocol.</translation>
    </message>
    <message>
        <source>Enable MCP Server</source>
        <translation>Activer le serveur MCP</translation>
    </message>
    <message>
        <source>MCP server state</source>
        <translation>État du serveur MCP</translation>
    </message>
    <message>
        <source>Available Tools — Read-Only (%1)</source>
        <translation>Outils disponibles — lecture seule (%1)</translation>
    </message>
    <message>
        <source>Available Tools — Write (%1)</source>
        <translation>Outils disponibles — écriture (%1)</translation>
    </message>
    <message>
        <source>Connected Tools</source>
        <translation>Outils connectés</translation>
    </message>
    <message>
        <source>Client</source>
        <translation>Client</translation>
    </message>
    <message>
        <source>Access</source>
        <translation>Accès</translation>
    </message>
    <message>
        <source>Revoke</source>
        <translation>Révoquer</translation>
    </message>
    <message>
        <source>Revoke the chosen client</source>
        <translation>Révoquer le client choisi</translation>
    </message>
    <message>
        <source>Restore</source>
        <translation>Rétablir</translation>
    </message>
    <message>
        <source>Restore the chosen client</source>
        <translation>Rétablir le client choisi</translation>
    </message>
    <message>
        <source>Activity Log</source>
        <translation>Journal d’activité</translation>
    </message>
    <message>
        <source>Time</source>
        <translation>Heure</translation>
    </message>
    <message>
        <source>Tool</source>
        <translation>Outil</translation>
    </message>
    <message>
        <source>Results</source>
        <translation>Résultats</translation>
    </message>
    <message>
        <source>Add to your config file:</source>
        <translation>Ajoutez à votre fichier de configuration :</translation>
    </message>
    <message>
        <source>Copy</source>
        <translation>Copier</translation>
    </message>
    <message>
        <source>Install</source>
        <translation>Installer</translation>
    </message>
    <message>
        <source>Copied.</source>
        <translation>Copié.</translation>
    </message>
    <message>
        <source>Created %1.</source>
        <translation>%1 créé.</translation>
    </message>
    <message>
        <source>Updated %1 (the old file is kept beside it).</source>
        <translation>%1 mis à jour (l’ancien fichier est conservé à côté).</translation>
    </message>
    <message>
        <source>%1 is already set up.</source>
        <translation>%1 est déjà configuré.</translation>
    </message>
    <message>
        <source>Active on localhost:%1</source>
        <translation>Actif sur localhost:%1</translation>
    </message>
    <message>
        <source>Revoked</source>
        <translation>Révoqué</translation>
    </message>
    <message>
        <source>Active, reads and writes</source>
        <translation>Actif, lecture et écriture</translation>
    </message>
    <message>
        <source>Active, reads only</source>
        <translation>Actif, lecture seule</translation>
    </message>
    <message>
        <source>Last access: %1 ago</source>
        <translation>Dernier accès : il y a %1</translation>
    </message>
    <message>
        <source>Enable MCP Server?</source>
        <translation>Activer le serveur MCP ?</translation>
    </message>
    <message>
        <source>This allows AI applications on this computer to read your Quillmere data (contacts, notes, drafts). No data leaves your local network.</source>
        <translation>Les applications d’IA de cet ordinateur pourront lire vos données Quillmere (contacts, notes, brouillons). Aucune donnée ne quitte votre réseau local.</translation>
    </message>
    <message>
        <source>Enable</source>
        <translation>Activer</translation>
    </message>
    <message numerus="yes">
        <source>%Ln seconds</source>
        <translation>
            <numerusform>%Ln seconde</numerusform>
            <numerusform>%Ln secondes</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%Ln minutes</source>
        <translation>
            <numerusform>%Ln minute</numerusform>
            <numerusform>%Ln minutes</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%Ln hours</source>
        <translation>
            <numerusform>%Ln heure</numerusform>
            <numerusform>%Ln heures</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%Ln days</source>
        <translation>
            <numerusform>%Ln jour</numerusform>
            <numerusform>%Ln jours</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%Ln results</source>
        <translation>
            <numerusform>%Ln résultat</numerusform>
            <numerusform>%Ln résultats</numerusform>
        </translation>
    </message>
    <message>
        <source>Connect an AI assistant</source>
        <translation>Connecter un assistant IA</translation>
    </message>
    <message>
        <source>Install adds Quillmere to the assistant&apos;s own configuration file (the old file is kept beside it); restart the assistant afterwards.</source>
        <translation>Installer ajoute Quillmere au fichier de configuration de l’assistant (l’ancien fichier est conservé à côté) ; redémarrez ensuite l’assistant.</translation>
    </message>
    <message>
        <source>AI assistants</source>
        <translation>Assistants IA</translation>
    </message>
    <message>
        <source>Assistant</source>
        <translation>Assistant</translation>
    </message>
    <message>
        <source>State</source>
        <translation>État</translation>
    </message>
    <message>
        <source>File</source>
        <translation>Fichier</translation>
    </message>
    <message>
        <source>Configuration for the chosen assistant</source>
        <translation>Configuration pour l’assistant choisi</translation>
    </message>
    <message>
        <source>Copy the configuration for the chosen assistant</source>
        <translation>Copier la configuration pour l’assistant choisi</translation>
    </message>
    <message>
        <source>Add Quillmere to the chosen assistant&apos;s configuration file</source>
        <translation>Ajouter Quillmere au fichier de configuration de l’assistant choisi</translation>
    </message>
    <message>
        <source>Remove</source>
        <translation>Retirer</translation>
    </message>
    <message>
        <source>Take Quillmere out of the chosen assistant&apos;s configuration file</source>
        <translation>Retirer Quillmere du fichier de configuration de l’assistant choisi</translation>
    </message>
    <message>
        <source>Not installed</source>
        <translation>Non installé</translation>
    </message>
    <message>
        <source>Installed</source>
        <translation>Installé</translation>
    </message>
    <message>
        <source>Points elsewhere (port %1)</source>
        <translation>Pointe ailleurs (port %1)</translation>
    </message>
    <message>
        <source>Points elsewhere</source>
        <translation>Pointe ailleurs</translation>
    </message>
    <message>
        <source>Unreadable file</source>
        <translation>Fichier illisible</translation>
    </message>
    <message>
        <source>Removed Quillmere from %1 (the old file is kept beside it).</source>
        <translation>Quillmere a été retiré de %1 (l’ancien fichier est conservé à côté).</translation>
    </message>
    <message>
        <source>%1 has no Quillmere entry.</source>
        <translation>%1 ne contient aucune entrée Quillmere.</translation>
    </message>
</context>
<context>
    <name>qm::desktop::NoteDialog</name>
    <message>
        <source>Note text</source>
        <translation>Texte de la note</translation>
    </message>
    <message>
        <source>Save the note (%1)</source>
        <translation>Enregistrer la note (%1)</translation>
    </message>
</context>
<context>
    <name>qm::desktop::Open</name>
    <message>
        <source>xdg-open is not installed, so nothing opens it.</source>
        <translation>xdg-open n’est pas installé : rien ne peut l’ouvrir.</translation>
    </message>
    <message>
        <source>No program opens this kind of file (xdg-open ended with %1).</source>
        <translation>Aucun programme n’ouvre ce type de fichier (xdg-open a renvoyé %1).</translation>
    </message>
</context>
<context>
    <name>qm::desktop::OpportunitiesView</name>
    <message>
        <source>Opportunities</source>
        <translation>Opportunités</translation>
    </message>
    <message>
        <source>Opportunity</source>
        <translation>Opportunité</translation>
    </message>
    <message>
        <source>Company</source>
        <translation>Entreprise</translation>
    </message>
    <message>
        <source>Stage</source>
        <translation>Étape</translation>
    </message>
    <message>
        <source>Value</source>
        <translation>Valeur</translation>
    </message>
    <message>
        <source>Timeline</source>
        <translation>Échéance</translation>
    </message>
    <message>
        <source>Confidence</source>
        <translation>Confiance</translation>
    </message>
    <message>
        <source>Next step</source>
        <translation>Prochaine étape</translation>
    </message>
    <message>
        <source>No opportunities for this event yet.</source>
        <translation>Aucune opportunité pour cet événement pour l’instant.</translation>
    </message>
</context>
<context>
    <name>qm::desktop::OpportunityEditDialog</name>
    <message>
        <source>None</source>
        <translation>Aucun</translation>
    </message>
    <message>
        <source>New Opportunity</source>
        <translation>Nouvelle opportunité</translation>
    </message>
    <message>
        <source>Edit Opportunity</source>
        <translation>Modifier l’opportunité</translation>
    </message>
    <message>
        <source>Title</source>
        <translation>Titre</translation>
    </message>
    <message>
        <source>What could be sold</source>
        <translation>Ce qui pourrait être vendu</translation>
    </message>
    <message>
        <source>Company</source>
        <translation>Entreprise</translation>
    </message>
    <message>
        <source>Value</source>
        <translation>Valeur</translation>
    </message>
    <message>
        <source>Currency</source>
        <translation>Devise</translation>
    </message>
    <message>
        <source>Stage</source>
        <translation>Étape</translation>
    </message>
    <message>
        <source>%1 (not in the pipeline)</source>
        <translation>%1 (hors pipeline)</translation>
    </message>
    <message>
        <source>Timeline</source>
        <translation>Échéance</translation>
    </message>
    <message>
        <source>Confidence</source>
        <translation>Confiance</translation>
    </message>
    <message>
        <source>Next step</source>
        <translation>Prochaine étape</translation>
    </message>
    <message>
        <source>Notes</source>
        <translation>Notes</translation>
    </message>
</context>
<context>
    <name>qm::desktop::PairingSettingsTab</name>
    <message>
        <source>Pairing state</source>
        <translation>État du jumelage</translation>
    </message>
    <message>
        <source>Paired phone</source>
        <translation>Téléphone jumelé</translation>
    </message>
    <message>
        <source>Pairing…</source>
        <translation>Jumelage…</translation>
    </message>
    <message>
        <source>Open the pairing window</source>
        <translation>Ouvrir la fenêtre de jumelage</translation>
    </message>
    <message>
        <source>Forget Phone…</source>
        <translation>Oublier le téléphone…</translation>
    </message>
    <message>
        <source>Forget the paired phone</source>
        <translation>Oublier le téléphone jumelé</translation>
    </message>
    <message>
        <source>Phone</source>
        <translation>Téléphone</translation>
    </message>
    <message>
        <source>The phone this computer syncs events, contacts and drafts with. Pairing shows a code for the phone to scan.</source>
        <translation>Le téléphone avec lequel cet ordinateur synchronise événements, contacts et brouillons. Le jumelage affiche un code à scanner avec le téléphone.</translation>
    </message>
    <message>
        <source>Paired with %1</source>
        <translation>Jumelé avec %1</translation>
    </message>
    <message>
        <source>a phone</source>
        <translation>un téléphone</translation>
    </message>
    <message>
        <source>No phone is paired.</source>
        <translation>Aucun téléphone n’est jumelé.</translation>
    </message>
    <message>
        <source>Last connected %1</source>
        <translation>Dernière connexion : %1</translation>
    </message>
</context>
<context>
    <name>qm::desktop::PairingWindow</name>
    <message>
        <source>Pairing</source>
        <translation>Jumelage</translation>
    </message>
    <message>
        <source>Pairing QR code</source>
        <translation>QR code de jumelage</translation>
    </message>
    <message>
        <source>Pairing state</source>
        <translation>État du jumelage</translation>
    </message>
    <message>
        <source>Paired phone</source>
        <translation>Téléphone jumelé</translation>
    </message>
    <message>
        <source>Last connected</source>
        <translation>Dernière connexion</translation>
    </message>
    <message>
        <source>Pairing error</source>
        <translation>Erreur de jumelage</translation>
    </message>
    <message>
        <source>On the phone, open the app&apos;s pairing screen and scan this code. Both devices must be on the same network.</source>
        <translation>Sur le téléphone, ouvrez l’écran de jumelage de l’app et scannez ce code. Les deux appareils doivent être sur le même réseau.</translation>
    </message>
    <message>
        <source>Start Pairing</source>
        <translation>Démarrer le jumelage</translation>
    </message>
    <message>
        <source>Stop Pairing</source>
        <translation>Arrêter le jumelage</translation>
    </message>
    <message>
        <source>Pair a Phone…</source>
        <translation>Jumeler un téléphone…</translation>
    </message>
    <message>
        <source>Reconnect</source>
        <translation>Reconnecter</translation>
    </message>
    <message>
        <source>Reconnect to the paired phone</source>
        <translation>Se reconnecter au téléphone jumelé</translation>
    </message>
    <message>
        <source>Forget Phone</source>
        <translation>Oublier le téléphone</translation>
    </message>
    <message>
        <source>Forget the paired phone</source>
        <translation>Oublier le téléphone jumelé</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Fermer</translation>
    </message>
    <message>
        <source>Last connected %1</source>
        <translation>Dernière connexion : %1</translation>
    </message>
    <message>
        <source>QR code for the phone to scan</source>
        <translation>QR code à scanner avec le téléphone</translation>
    </message>
    <message>
        <source>The pairing code cannot be drawn as a QR code.</source>
        <translation>Le code de jumelage ne peut pas être affiché en QR code.</translation>
    </message>
    <message>
        <source>%1 is paired.

Pair a Phone… shows a new code for a different phone.</source>
        <translation>%1 est jumelé.

Jumeler un téléphone… affiche un nouveau code pour un autre téléphone.</translation>
    </message>
    <message>
        <source>A phone</source>
        <translation>Un téléphone</translation>
    </message>
    <message>
        <source>The code for the phone to scan appears here once pairing starts.</source>
        <translation>Le code à scanner avec le téléphone apparaît ici dès que le jumelage démarre.</translation>
    </message>
    <message>
        <source>Stop waiting for a phone</source>
        <translation>Ne plus attendre de téléphone</translation>
    </message>
    <message>
        <source>Pair a different phone</source>
        <translation>Jumeler un autre téléphone</translation>
    </message>
    <message>
        <source>Start pairing a phone</source>
        <translation>Commencer le jumelage d’un téléphone</translation>
    </message>
    <message>
        <source>the paired phone</source>
        <translation>le téléphone jumelé</translation>
    </message>
    <message>
        <source>Pair a different phone?</source>
        <translation>Jumeler un autre téléphone ?</translation>
    </message>
    <message>
        <source>Forget %1?</source>
        <translation>Oublier %1 ?</translation>
    </message>
    <message>
        <source>This computer stops syncing with %1 and drops the changes still waiting to be sent to it. The events and contacts already here stay. To sync with it again, pair it anew.</source>
        <translation>Cet ordinateur cesse de se synchroniser avec %1 et abandonne les modifications qui attendaient de lui être envoyées. Les événements et contacts déjà présents restent. Pour vous synchroniser à nouveau, jumelez-le une nouvelle fois.</translation>
    </message>
    <message>
        <source>Only one phone can be paired at a time. </source>
        <translation>Un seul téléphone peut être jumelé à la fois. </translation>
    </message>
    <message>
        <source>Forget and Pair</source>
        <translation>Oublier et jumeler</translation>
    </message>
</context>
<context>
    <name>qm::desktop::PipelineSettingsTab</name>
    <message>
        <source>Pipeline stages</source>
        <translation>Étapes du pipeline</translation>
    </message>
    <message>
        <source>Add Stage</source>
        <translation>Ajouter une étape</translation>
    </message>
    <message>
        <source>Rename</source>
        <translation>Renommer</translation>
    </message>
    <message>
        <source>Rename the chosen stage</source>
        <translation>Renommer l’étape choisie</translation>
    </message>
    <message>
        <source>Colour…</source>
        <translation>Couleur…</translation>
    </message>
    <message>
        <source>Choose the chosen stage&apos;s colour</source>
        <translation>Choisir la couleur de l’étape choisie</translation>
    </message>
    <message>
        <source>Move Up</source>
        <translation>Monter</translation>
    </message>
    <message>
        <source>Move Down</source>
        <translation>Descendre</translation>
    </message>
    <message>
        <source>Remove</source>
        <translation>Supprimer</translation>
    </message>
    <message>
        <source>Remove the chosen stage</source>
        <translation>Supprimer l’étape choisie</translation>
    </message>
    <message>
        <source>Pipeline Stages</source>
        <translation>Étapes du pipeline</translation>
    </message>
    <message>
        <source>The stages an opportunity moves through, first to last. An opportunity whose stage is removed keeps its stage&apos;s name.</source>
        <translation>Les étapes que franchit une opportunité, de la première à la dernière. Une opportunité dont l’étape est supprimée garde le nom de son étape.</translation>
    </message>
    <message>
        <source>A stage needs a name.</source>
        <translation>Une étape doit avoir un nom.</translation>
    </message>
    <message>
        <source>There is already a stage called “%1”.</source>
        <translation>Il existe déjà une étape appelée « %1 ».</translation>
    </message>
    <message>
        <source>New Stage</source>
        <translation>Nouvelle étape</translation>
    </message>
    <message>
        <source>New Stage %1</source>
        <translation>Nouvelle étape %1</translation>
    </message>
    <message>
        <source>Colour of %1</source>
        <translation>Couleur de %1</translation>
    </message>
</context>
<context>
    <name>qm::desktop::PrivacySettingsTab</name>
    <message>
        <source>Choose where to save your data export</source>
        <translation>Choisissez où enregistrer l’export de vos données</translation>
    </message>
    <message>
        <source>JSON files (*.json)</source>
        <translation>Fichiers JSON (*.json)</translation>
    </message>
    <message>
        <source>Export...</source>
        <translation>Exporter…</translation>
    </message>
    <message>
        <source>Export all data to a JSON file</source>
        <translation>Exporter toutes les données dans un fichier JSON</translation>
    </message>
    <message>
        <source>✓ Data exported successfully.</source>
        <translation>✓ Données exportées.</translation>
    </message>
    <message>
        <source>Reset...</source>
        <translation>Réinitialiser…</translation>
    </message>
    <message>
        <source>Reset All Local Data</source>
        <translation>Réinitialiser toutes les données locales</translation>
    </message>
    <message>
        <source>Export All Data</source>
        <translation>Exporter toutes les données</translation>
    </message>
    <message>
        <source>Export a JSON file containing all local event, contact, and draft data.</source>
        <translation>Exporter un fichier JSON contenant tous les événements, contacts et brouillons locaux.</translation>
    </message>
    <message>
        <source>Permanently deletes all events, contacts, drafts, and settings from this computer. This cannot be undone.</source>
        <translation>Supprime définitivement tous les événements, contacts, brouillons et réglages de cet ordinateur. Cette action est irréversible.</translation>
    </message>
    <message>
        <source>The data could not be exported: %1</source>
        <translation>Les données n’ont pas pu être exportées : %1</translation>
    </message>
    <message>
        <source>Reset All Data?</source>
        <translation>Réinitialiser toutes les données ?</translation>
    </message>
    <message>
        <source>This will permanently delete all events, contacts, drafts, and settings from this computer. You will need to re-pair with your iPhone to restore data.</source>
        <translation>Tous les événements, contacts, brouillons et réglages de cet ordinateur seront définitivement supprimés. Vous devrez jumeler à nouveau votre iPhone pour retrouver les données.</translation>
    </message>
    <message>
        <source>Reset Everything</source>
        <translation>Tout réinitialiser</translation>
    </message>
</context>
<context>
    <name>qm::desktop::ReportsView</name>
    <message>
        <source>Brief</source>
        <translation>Bref</translation>
    </message>
    <message>
        <source>Standard</source>
        <translation>Standard</translation>
    </message>
    <message>
        <source>Detailed</source>
        <translation>Détaillé</translation>
    </message>
    <message>
        <source>Reports</source>
        <translation>Rapports</translation>
    </message>
    <message>
        <source>Report</source>
        <translation>Rapport</translation>
    </message>
    <message>
        <source>Written</source>
        <translation>Rédigé</translation>
    </message>
    <message>
        <source>Provider</source>
        <translation>Fournisseur</translation>
    </message>
    <message>
        <source>Detail</source>
        <translation>Détail</translation>
    </message>
    <message>
        <source>Report text</source>
        <translation>Texte du rapport</translation>
    </message>
    <message>
        <source>Report message</source>
        <translation>Message du rapport</translation>
    </message>
    <message>
        <source>Open PDF</source>
        <translation>Ouvrir le PDF</translation>
    </message>
    <message>
        <source>Copy to Clipboard</source>
        <translation>Copier dans le presse-papiers</translation>
    </message>
    <message>
        <source>No reports for this event yet. Reports written on the phone appear here once it has synced.</source>
        <translation>Aucun rapport pour cet événement pour l’instant. Les rapports rédigés sur le téléphone apparaissent ici après la synchronisation.</translation>
    </message>
    <message>
        <source>Open the report&apos;s PDF in the PDF viewer</source>
        <translation>Ouvrir le PDF du rapport dans la visionneuse PDF</translation>
    </message>
    <message>
        <source>The phone sent no PDF of this report</source>
        <translation>Le téléphone n’a pas envoyé de PDF de ce rapport</translation>
    </message>
    <message>
        <source>Copied the report to the clipboard.</source>
        <translation>Rapport copié dans le presse-papiers.</translation>
    </message>
    <message>
        <source>This report has no PDF.</source>
        <translation>Ce rapport n’a pas de PDF.</translation>
    </message>
    <message>
        <source>Failed to save: </source>
        <translation>Échec de l’enregistrement : </translation>
    </message>
    <message>
        <source>Opened the PDF.</source>
        <translation>PDF ouvert.</translation>
    </message>
    <message>
        <source>Could not open the PDF: %1</source>
        <translation>Impossible d’ouvrir le PDF : %1</translation>
    </message>
</context>
<context>
    <name>qm::desktop::SearchPopup</name>
    <message>
        <source>Search</source>
        <translation>Rechercher</translation>
    </message>
    <message>
        <source>Search everything</source>
        <translation>Tout rechercher</translation>
    </message>
    <message>
        <source>Search contacts, companies, opportunities, drafts and events</source>
        <translation>Rechercher contacts, entreprises, opportunités, brouillons et événements</translation>
    </message>
    <message>
        <source>Search results</source>
        <translation>Résultats de la recherche</translation>
    </message>
    <message>
        <source>Type at least two characters to search.</source>
        <translation>Tapez au moins deux caractères pour lancer la recherche.</translation>
    </message>
    <message>
        <source>Searching…</source>
        <translation>Recherche…</translation>
    </message>
    <message>
        <source>No results</source>
        <translation>Aucun résultat</translation>
    </message>
</context>
<context>
    <name>qm::desktop::SendApprovedPanel</name>
    <message>
        <source>Send the approved drafts through your mail server (Settings ▸ Mail)</source>
        <translation>Envoyer les brouillons approuvés par votre serveur de messagerie (Réglages ▸ Messagerie)</translation>
    </message>
    <message>
        <source>Sending progress</source>
        <translation>Progression de l&apos;envoi</translation>
    </message>
    <message>
        <source>Sending state</source>
        <translation>État de l&apos;envoi</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Annuler</translation>
    </message>
    <message>
        <source>Cancel sending</source>
        <translation>Annuler l&apos;envoi</translation>
    </message>
    <message>
        <source>Each approved draft goes to its contact through your mail server, and is marked sent once the server takes it.</source>
        <translation>Chaque brouillon approuvé part vers son contact par votre serveur de messagerie, et il est marqué envoyé dès que le serveur l&apos;accepte.</translation>
    </message>
    <message>
        <source>Send</source>
        <translation>Envoyer</translation>
    </message>
    <message>
        <source>Sending…</source>
        <translation>Envoi…</translation>
    </message>
    <message>
        <source>Cancelling after the draft on its way…</source>
        <translation>Annulation après le brouillon en cours d&apos;envoi…</translation>
    </message>
    <message numerus="yes">
        <source>Send %Ln approved</source>
        <translation>
            <numerusform>Envoyer %Ln approuvé</numerusform>
            <numerusform>Envoyer %Ln approuvés</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Send %Ln Follow-Ups?</source>
        <translation>
            <numerusform>Envoyer %Ln relance ?</numerusform>
            <numerusform>Envoyer %Ln relances ?</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>qm::desktop::SettingsPage</name>
    <message>
        <source>Error</source>
        <translation>Erreur</translation>
    </message>
</context>
<context>
    <name>qm::desktop::SettingsWindow</name>
    <message>
        <source>Settings</source>
        <translation>Réglages</translation>
    </message>
    <message>
        <source>Settings sections</source>
        <translation>Sections des réglages</translation>
    </message>
    <message>
        <source>General</source>
        <translation>Général</translation>
    </message>
    <message>
        <source>Appearance</source>
        <translation>Apparence</translation>
    </message>
    <message>
        <source>AI</source>
        <translation>IA</translation>
    </message>
    <message>
        <source>Export</source>
        <translation>Export</translation>
    </message>
    <message>
        <source>Pipeline</source>
        <translation>Pipeline</translation>
    </message>
    <message>
        <source>MCP</source>
        <translation>MCP</translation>
    </message>
    <message>
        <source>Pairing</source>
        <translation>Jumelage</translation>
    </message>
    <message>
        <source>Privacy</source>
        <translation>Confidentialité</translation>
    </message>
    <message>
        <source>Mail</source>
        <translation>Messagerie</translation>
    </message>
    <message>
        <source>Templates</source>
        <translation>Modèles</translation>
    </message>
</context>
<context>
    <name>qm::desktop::ShortcutsDialog</name>
    <message>
        <source>Keyboard Shortcuts</source>
        <translation>Raccourcis clavier</translation>
    </message>
    <message>
        <source>Action</source>
        <translation>Action</translation>
    </message>
    <message>
        <source>Keys</source>
        <translation>Touches</translation>
    </message>
    <message>
        <source>Keyboard shortcuts</source>
        <translation>Raccourcis clavier</translation>
    </message>
</context>
<context>
    <name>qm::desktop::ShowReport</name>
    <message>
        <source>%1 Report</source>
        <translation>Rapport %1</translation>
    </message>
    <message>
        <source>%1 — Post-show report</source>
        <translation>%1 — Rapport après le salon</translation>
    </message>
    <message>
        <source>%1 – %2</source>
        <translation>%1 – %2</translation>
    </message>
    <message>
        <source>Report of %1</source>
        <translation>Rapport du %1</translation>
    </message>
    <message>
        <source>contacts captured</source>
        <translation>contacts capturés</translation>
    </message>
    <message>
        <source>met (%1)</source>
        <translation>rencontrés (%1)</translation>
    </message>
    <message>
        <source>rated 4–5</source>
        <translation>notés 4–5</translation>
    </message>
    <message>
        <source>followed up (approved or sent)</source>
        <translation>relancés (approuvée ou envoyée)</translation>
    </message>
    <message>
        <source>opportunities</source>
        <translation>opportunités</translation>
    </message>
    <message>
        <source>in the pipeline</source>
        <translation>dans le pipeline</translation>
    </message>
    <message>
        <source>Priority contacts</source>
        <translation>Contacts prioritaires</translation>
    </message>
    <message>
        <source>No targets or tier-A contacts waiting for a meeting.</source>
        <translation>Aucune cible ni aucun contact de niveau A en attente d’une rencontre.</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>Nom</translation>
    </message>
    <message>
        <source>Company</source>
        <translation>Entreprise</translation>
    </message>
    <message>
        <source>Tier</source>
        <translation>Niveau</translation>
    </message>
    <message>
        <source>Rank</source>
        <translation>Rang</translation>
    </message>
    <message>
        <source>Score</source>
        <translation>Score</translation>
    </message>
    <message>
        <source>Pipeline</source>
        <translation>Pipeline</translation>
    </message>
    <message>
        <source>No opportunities yet.</source>
        <translation>Aucune opportunité pour l’instant.</translation>
    </message>
    <message>
        <source>Opportunity</source>
        <translation>Opportunité</translation>
    </message>
    <message>
        <source>Stage</source>
        <translation>Étape</translation>
    </message>
    <message>
        <source>Value</source>
        <translation>Valeur</translation>
    </message>
    <message>
        <source>Next step</source>
        <translation>Prochaine étape</translation>
    </message>
    <message>
        <source>Follow-up status</source>
        <translation>Où en sont les relances</translation>
    </message>
    <message numerus="yes">
        <source>Of %Ln met contacts: </source>
        <translation>
            <numerusform>Sur %Ln contact rencontré : </numerusform>
            <numerusform>Sur %Ln contacts rencontrés : </numerusform>
        </translation>
    </message>
    <message>
        <source>%1 without a draft</source>
        <translation>%1 sans brouillon</translation>
    </message>
    <message>
        <source>%1 drafted</source>
        <translation>%1 en brouillon</translation>
    </message>
    <message>
        <source>%1 approved</source>
        <translation>%1 approuvés</translation>
    </message>
    <message>
        <source>%1 sent</source>
        <translation>%1 envoyés</translation>
    </message>
    <message>
        <source>No draft</source>
        <translation>Aucun brouillon</translation>
    </message>
    <message>
        <source>Approved, not sent</source>
        <translation>Approuvé, pas envoyé</translation>
    </message>
    <message>
        <source>Draft</source>
        <translation>Brouillon</translation>
    </message>
    <message>
        <source>Still waiting for a follow-up</source>
        <translation>Attendent encore une relance</translation>
    </message>
    <message>
        <source>Follow-up</source>
        <translation>Relance</translation>
    </message>
    <message>
        <source>Met</source>
        <translation>Rencontrés</translation>
    </message>
    <message numerus="yes">
        <source>… and %Ln more.</source>
        <translation>
            <numerusform>… et %Ln autre.</numerusform>
            <numerusform>… et %Ln autres.</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>qm::desktop::TemplatesSettingsTab</name>
    <message>
        <source>first name (the full name when there is none)</source>
        <translation>prénom (à défaut, le nom complet)</translation>
    </message>
    <message>
        <source>full name</source>
        <translation>nom complet</translation>
    </message>
    <message>
        <source>company</source>
        <translation>entreprise</translation>
    </message>
    <message>
        <source>job title</source>
        <translation>fonction</translation>
    </message>
    <message>
        <source>the event&apos;s name</source>
        <translation>nom de l’événement</translation>
    </message>
    <message>
        <source>the day you met, in the draft&apos;s language</source>
        <translation>date de la rencontre, dans la langue du brouillon</translation>
    </message>
    <message>
        <source>first line of your newest note about them</source>
        <translation>première ligne de votre note la plus récente sur ce contact</translation>
    </message>
    <message>
        <source>your name (sender name, else display name)</source>
        <translation>votre nom (nom d’expéditeur, sinon nom affiché)</translation>
    </message>
    <message>
        <source>Tone of the template</source>
        <translation>Ton du modèle</translation>
    </message>
    <message>
        <source>Warm</source>
        <translation>Chaleureux</translation>
    </message>
    <message>
        <source>Neutral</source>
        <translation>Neutre</translation>
    </message>
    <message>
        <source>Formal</source>
        <translation>Formel</translation>
    </message>
    <message>
        <source>Restore Default</source>
        <translation>Rétablir par défaut</translation>
    </message>
    <message>
        <source>Restore the built-in template of this tone</source>
        <translation>Rétablir le modèle intégré de ce ton</translation>
    </message>
    <message>
        <source>Template</source>
        <translation>Modèle</translation>
    </message>
    <message>
        <source>Placeholders</source>
        <translation>Variables</translation>
    </message>
    <message>
        <source>Double-click or press Enter to insert %1</source>
        <translation>Double-cliquez ou appuyez sur Entrée pour insérer %1</translation>
    </message>
    <message>
        <source>“Write from Template” writes a follow-up at once from the tone&apos;s template, and a batch does when no AI endpoint is set up and the phone is not connected. The first line is the subject (“Subject: …”), then a blank line and the message. A line whose placeholder has no value for a contact is left out. Changes are kept as you type.</source>
        <translation>« Rédiger avec un modèle » rédige aussitôt une relance d’après le modèle du ton choisi, tout comme un lot lorsqu’aucun service d’IA n’est configuré et que le téléphone n’est pas connecté. La première ligne donne l’objet (« Objet : … » ou « Subject: … »), suivie d’une ligne vide puis du message. Une ligne dont une variable n’a pas de valeur pour un contact est omise. Les modifications sont enregistrées au fil de la saisie.</translation>
    </message>
    <message>
        <source>&amp;Tone:</source>
        <translation>&amp;Ton :</translation>
    </message>
    <message>
        <source>&amp;Placeholders:</source>
        <translation>&amp;Variables :</translation>
    </message>
    <message>
        <source>Follow-Up Templates</source>
        <translation>Modèles de relance</translation>
    </message>
    <message>
        <source>The first line must give the subject, as “Subject: …”.</source>
        <translation>La première ligne doit donner l’objet, sous la forme « Objet : … ».</translation>
    </message>
    <message>
        <source>The subject line is empty.</source>
        <translation>La ligne d’objet est vide.</translation>
    </message>
    <message>
        <source>The template has no message: write it below the subject, after a blank line.</source>
        <translation>Le modèle n’a pas de message : écrivez-le sous l’objet, après une ligne vide.</translation>
    </message>
    <message>
        <source>Unknown placeholder %1 on line %2. The placeholders are those of the list.</source>
        <translation>Variable inconnue %1 à la ligne %2. Les variables sont celles de la liste.</translation>
    </message>
    <message>
        <source>The placeholder %1 on line %2 has no closing }.</source>
        <translation>La variable %1 à la ligne %2 n’a pas d’accolade fermante }.</translation>
    </message>
    <message>
        <source>The } on line %1 closes no placeholder; write }} for a brace.</source>
        <translation>L’accolade } à la ligne %1 ne ferme aucune variable ; écrivez }} pour une accolade.</translation>
    </message>
</context>
<context>
    <name>qm::desktop::TrayIcon</name>
    <message>
        <source>Open Quillmere</source>
        <translation>Ouvrir Quillmere</translation>
    </message>
    <message>
        <source>Sync Now</source>
        <translation>Synchroniser</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>Quitter</translation>
    </message>
    <message>
        <source>Not connected to the companion</source>
        <translation>Non connecté au compagnon</translation>
    </message>
    <message>
        <source>Not connected</source>
        <translation>Non connecté</translation>
    </message>
    <message>
        <source>Syncing…</source>
        <translation>Synchronisation…</translation>
    </message>
</context>
<context>
    <name>qm::desktop::UpdateChecker</name>
    <message>
        <source>Quillmere %1 is available (this is %2). Install it from the Updates of your software centre, or in a terminal with:

sudo apt install quillmere</source>
        <translation>Quillmere %1 est disponible (celui-ci est en version %2). Installez-le depuis les mises à jour de votre logithèque, ou dans un terminal avec :

sudo apt install quillmere</translation>
    </message>
    <message>
        <source>Quillmere %1 is the newest version available.</source>
        <translation>Quillmere %1 est la version la plus récente disponible.</translation>
    </message>
    <message>
        <source>This Quillmere runs from a build tree (%1), not from the package. Update it in its source folder with:

git pull
bash scripts/run.sh</source>
        <translation>Ce Quillmere tourne depuis un dossier de compilation (%1), et non depuis le paquet. Mettez-le à jour dans son dossier source avec :

git pull
bash scripts/run.sh</translation>
    </message>
    <message>
        <source>This Quillmere (%1) was not installed from the package; update it the way it was installed.</source>
        <translation>Ce Quillmere (%1) n’a pas été installé par le paquet ; mettez-le à jour de la façon dont il a été installé.</translation>
    </message>
    <message>
        <source>Quillmere could not ask the package manager for updates: %1</source>
        <translation>Quillmere n’a pas pu interroger le gestionnaire de paquets sur les mises à jour : %1</translation>
    </message>
    <message>
        <source>%1 could not be started.</source>
        <translation>%1 n’a pas pu être lancé.</translation>
    </message>
</context>
<context>
    <name>qm::desktop::WelcomeView</name>
    <message>
        <source>Demo data error</source>
        <translation>Erreur des données de démonstration</translation>
    </message>
    <message>
        <source>Try with Demo Data</source>
        <translation>Essayer avec des données de démo</translation>
    </message>
    <message>
        <source>Add a made-up event with 25 contacts to look around</source>
        <translation>Ajoute un événement fictif de 25 contacts pour découvrir l’application</translation>
    </message>
    <message>
        <source>Your phone is paired</source>
        <translation>Votre téléphone est jumelé</translation>
    </message>
    <message>
        <source>Import the phone&apos;s events to see their contacts here, or look around with a demo event first.</source>
        <translation>Importez les événements du téléphone pour voir leurs contacts ici, ou découvrez d’abord l’application avec un événement de démonstration.</translation>
    </message>
    <message>
        <source>Import Events…</source>
        <translation>Importer des événements…</translation>
    </message>
    <message>
        <source>Welcome to Quillmere</source>
        <translation>Bienvenue dans Quillmere</translation>
    </message>
    <message>
        <source>Pair your phone to bring over the contacts you capture at trade shows, or look around with a demo event first.</source>
        <translation>Jumelez votre téléphone pour retrouver ici les contacts saisis sur les salons, ou découvrez d’abord l’application avec un événement de démonstration.</translation>
    </message>
    <message>
        <source>Pair Your Phone…</source>
        <translation>Jumeler votre téléphone…</translation>
    </message>
    <message>
        <source>Cannot add the demo data: %1</source>
        <translation>Impossible d’ajouter les données de démonstration : %1</translation>
    </message>
    <message>
        <source>the companion did not name the new event</source>
        <translation>le compagnon n’a pas indiqué le nouvel événement</translation>
    </message>
</context>
</TS>
