<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="en">
<context>
    <name>CoreText</name>
    <message numerus="yes">
        <source>Restart Claude Desktop after saving. The %n Quillmere tools will appear in the MCP tools menu (🔌 icon).</source>
        <translation>
            <numerusform>Restart Claude Desktop after saving. The %Ln Quillmere tool will appear in the MCP tools menu (🔌 icon).</numerusform>
            <numerusform>Restart Claude Desktop after saving. The %Ln Quillmere tools will appear in the MCP tools menu (🔌 icon).</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Review %n draft</source>
        <translation>
            <numerusform>Review %Ln draft</numerusform>
            <numerusform>Review %Ln draft</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Review %n drafts</source>
        <translation>
            <numerusform>Review %Ln drafts</numerusform>
            <numerusform>Review %Ln drafts</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Fix %n missing email</source>
        <translation>
            <numerusform>Fix %Ln missing email</numerusform>
            <numerusform>Fix %Ln missing email</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Fix %n missing emails</source>
        <translation>
            <numerusform>Fix %Ln missing emails</numerusform>
            <numerusform>Fix %Ln missing emails</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Follow up with %n high-priority contact</source>
        <translation>
            <numerusform>Follow up with %Ln high-priority contact</numerusform>
            <numerusform>Follow up with %Ln high-priority contact</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Follow up with %n high-priority contacts</source>
        <translation>
            <numerusform>Follow up with %Ln high-priority contacts</numerusform>
            <numerusform>Follow up with %Ln high-priority contacts</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Export %n CRM-ready contact</source>
        <translation>
            <numerusform>Export %Ln CRM-ready contact</numerusform>
            <numerusform>Export %Ln CRM-ready contact</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Export %n CRM-ready contacts</source>
        <translation>
            <numerusform>Export %Ln CRM-ready contacts</numerusform>
            <numerusform>Export %Ln CRM-ready contacts</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Review %n contact with data issues</source>
        <translation>
            <numerusform>Review %Ln contact with data issues</numerusform>
            <numerusform>Review %Ln contact with data issues</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Review %n contacts with data issues</source>
        <translation>
            <numerusform>Review %Ln contacts with data issues</numerusform>
            <numerusform>Review %Ln contacts with data issues</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Assign owners to %n contact</source>
        <translation>
            <numerusform>Assign owners to %Ln contact</numerusform>
            <numerusform>Assign owners to %Ln contact</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Assign owners to %n contacts</source>
        <translation>
            <numerusform>Assign owners to %Ln contacts</numerusform>
            <numerusform>Assign owners to %Ln contacts</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n event with no meetings yet</source>
        <translation>
            <numerusform>%Ln event with no meetings yet</numerusform>
            <numerusform>%Ln event with no meetings yet</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n events with no meetings yet</source>
        <translation>
            <numerusform>%Ln events with no meetings yet</numerusform>
            <numerusform>%Ln events with no meetings yet</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n contact missing email across %1 event</source>
        <translation>
            <numerusform>%Ln contact missing email across %1 event</numerusform>
            <numerusform>%Ln contact missing email across %1 event</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n contact missing email across %1 events</source>
        <translation>
            <numerusform>%Ln contact missing email across %1 events</numerusform>
            <numerusform>%Ln contact missing email across %1 events</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n contacts missing email across %1 event</source>
        <translation>
            <numerusform>%Ln contacts missing email across %1 event</numerusform>
            <numerusform>%Ln contacts missing email across %1 event</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n contacts missing email across %1 events</source>
        <translation>
            <numerusform>%Ln contacts missing email across %1 events</numerusform>
            <numerusform>%Ln contacts missing email across %1 events</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n opportunity without next steps</source>
        <translation>
            <numerusform>%Ln opportunity without next steps</numerusform>
            <numerusform>%Ln opportunity without next steps</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n opportunities without next steps</source>
        <translation>
            <numerusform>%Ln opportunities without next steps</numerusform>
            <numerusform>%Ln opportunities without next steps</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n contact without tier assignment</source>
        <translation>
            <numerusform>%Ln contact without tier assignment</numerusform>
            <numerusform>%Ln contact without tier assignment</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n contacts without tier assignment</source>
        <translation>
            <numerusform>%Ln contacts without tier assignment</numerusform>
            <numerusform>%Ln contacts without tier assignment</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>qm::desktop::ContactsView</name>
    <message numerus="yes">
        <source>%Ln contacts selected</source>
        <translation>
            <numerusform>%Ln contact selected</numerusform>
            <numerusform>%Ln contacts selected</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Generate %Ln Drafts</source>
        <translation>
            <numerusform>Generate %Ln Draft</numerusform>
            <numerusform>Generate %Ln Drafts</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Generate Drafts for %Ln</source>
        <translation>
            <numerusform>Generate Draft for %Ln</numerusform>
            <numerusform>Generate Drafts for %Ln</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Mark %Ln contacts as targets?</source>
        <translation>
            <numerusform>Mark %Ln contact as a target?</numerusform>
            <numerusform>Mark %Ln contacts as targets?</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Mark %Ln contacts as met?</source>
        <translation>
            <numerusform>Mark %Ln contact as met?</numerusform>
            <numerusform>Mark %Ln contacts as met?</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%Ln drafts written from templates (no AI endpoint is set up and the phone is not connected), %1 failed.</source>
        <translation>
            <numerusform>%Ln draft written from templates (no AI endpoint is set up and the phone is not connected), %1 failed.</numerusform>
            <numerusform>%Ln drafts written from templates (no AI endpoint is set up and the phone is not connected), %1 failed.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%Ln drafts written, %1 failed.</source>
        <translation>
            <numerusform>%Ln draft written, %1 failed.</numerusform>
            <numerusform>%Ln drafts written, %1 failed.</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>qm::desktop::DashboardView</name>
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
            <numerusform>%Ln met</numerusform>
            <numerusform>%Ln met</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%Ln targets</source>
        <translation>
            <numerusform>%Ln target</numerusform>
            <numerusform>%Ln targets</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%1 in %Ln opportunities</source>
        <translation>
            <numerusform>%1 in %Ln opportunity</numerusform>
            <numerusform>%1 in %Ln opportunities</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>qm::desktop::DraftSending</name>
    <message numerus="yes">
        <source>Sent %1 of %Ln drafts.</source>
        <translation>
            <numerusform>Sent %1 of %Ln draft.</numerusform>
            <numerusform>Sent %1 of %Ln drafts.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Cancelled: %Ln drafts were left as they were.</source>
        <translation>
            <numerusform>Cancelled: %Ln draft was left as it was.</numerusform>
            <numerusform>Cancelled: %Ln drafts were left as they were.</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>qm::desktop::DraftsView</name>
    <message numerus="yes">
        <source>Generate for %1 of %Ln contacts</source>
        <translation>
            <numerusform>Generate for %1 of %Ln contact</numerusform>
            <numerusform>Generate for %1 of %Ln contacts</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Generate for %Ln contacts</source>
        <translation>
            <numerusform>Generate for %Ln contact</numerusform>
            <numerusform>Generate for %Ln contacts</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Export %Ln as .eml</source>
        <translation>
            <numerusform>Export %Ln as .eml</numerusform>
            <numerusform>Export %Ln as .eml</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Exported %Ln drafts as .eml to %1</source>
        <translation>
            <numerusform>Exported %Ln draft as .eml to %1</numerusform>
            <numerusform>Exported %Ln drafts as .eml to %1</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>qm::desktop::EventChartViews</name>
    <message numerus="yes">
        <source>%Ln meetings from %1 to %2</source>
        <translation>
            <numerusform>%Ln meeting from %1 to %2</numerusform>
            <numerusform>%Ln meetings from %1 to %2</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%Ln meetings on %1</source>
        <translation>
            <numerusform>%Ln meeting on %1</numerusform>
            <numerusform>%Ln meetings on %1</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%1: %Ln contacts</source>
        <translation>
            <numerusform>%1: %Ln contact</numerusform>
            <numerusform>%1: %Ln contacts</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%Ln opportunities</source>
        <translation>
            <numerusform>%Ln opportunity</numerusform>
            <numerusform>%Ln opportunities</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%1 met %Ln contacts</source>
        <translation>
            <numerusform>%1 met %Ln contact</numerusform>
            <numerusform>%1 met %Ln contacts</numerusform>
        </translation>
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
    <name>qm::desktop::EventSidebar</name>
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
    <message numerus="yes">
        <source>Exported %Ln contacts to %1</source>
        <translation>
            <numerusform>Exported %Ln contact to %1</numerusform>
            <numerusform>Exported %Ln contacts to %1</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>qm::desktop::ExportSettingsTab</name>
    <message numerus="yes">
        <source>day(s) after the meeting</source>
        <translation>
            <numerusform>day after the meeting</numerusform>
            <numerusform>days after the meeting</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>qm::desktop::ExportSheet</name>
    <message numerus="yes">
        <source>%Ln contacts will be exported</source>
        <translation>
            <numerusform>%Ln contact will be exported</numerusform>
            <numerusform>%Ln contacts will be exported</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%Ln to-dos will be put in the calendar</source>
        <translation>
            <numerusform>%Ln to-do will be put in the calendar</numerusform>
            <numerusform>%Ln to-dos will be put in the calendar</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Put %Ln to-dos in the calendar %1</source>
        <translation>
            <numerusform>Put %Ln to-do in the calendar %1</numerusform>
            <numerusform>Put %Ln to-dos in the calendar %1</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>qm::desktop::ImportSheet</name>
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
            <numerusform>Bringing %Ln event from the phone…</numerusform>
            <numerusform>Bringing %Ln events from the phone…</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Imported %Ln events</source>
        <translation>
            <numerusform>Imported %Ln event</numerusform>
            <numerusform>Imported %Ln events</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%1 of %Ln contacts</source>
        <translation>
            <numerusform>%1 of %Ln contact</numerusform>
            <numerusform>%1 of %Ln contacts</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>qm::desktop::MainWindow</name>
    <message numerus="yes">
        <source>%Ln changes waiting for the phone</source>
        <translation>
            <numerusform>%Ln change waiting for the phone</numerusform>
            <numerusform>%Ln changes waiting for the phone</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Importing %1 of %Ln events</source>
        <translation>
            <numerusform>Importing %1 of %Ln event</numerusform>
            <numerusform>Importing %1 of %Ln events</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>qm::desktop::McpSettingsTab</name>
    <message numerus="yes">
        <source>%Ln seconds</source>
        <translation>
            <numerusform>%Ln second</numerusform>
            <numerusform>%Ln seconds</numerusform>
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
            <numerusform>%Ln hour</numerusform>
            <numerusform>%Ln hours</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%Ln days</source>
        <translation>
            <numerusform>%Ln day</numerusform>
            <numerusform>%Ln days</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%Ln results</source>
        <translation>
            <numerusform>%Ln result</numerusform>
            <numerusform>%Ln results</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>qm::desktop::SendApprovedPanel</name>
    <message numerus="yes">
        <source>Send %Ln approved</source>
        <translation>
            <numerusform>Send %Ln approved</numerusform>
            <numerusform>Send %Ln approved</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Send %Ln Follow-Ups?</source>
        <translation>
            <numerusform>Send %Ln Follow-Up?</numerusform>
            <numerusform>Send %Ln Follow-Ups?</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>qm::desktop::ShowReport</name>
    <message numerus="yes">
        <source>Of %Ln met contacts: </source>
        <translation>
            <numerusform>Of %Ln met contact: </numerusform>
            <numerusform>Of %Ln met contacts: </numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>… and %Ln more.</source>
        <translation>
            <numerusform>… and %Ln more.</numerusform>
            <numerusform>… and %Ln more.</numerusform>
        </translation>
    </message>
</context>
</TS>
