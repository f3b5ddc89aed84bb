#!/usr/bin/env bash
# Takes the desktop window's screenshots into docs/screenshots/:
#   dashboard.png           an event's dashboard with its charts
#   portfolio.png           All Events with the events side by side
#   dashboard-dark.png, portfolio-dark.png
#                           the same in the dark appearance
#   dashboard-fr-1024.png   an event's dashboard in a French session at 1024x640
#   report-page-1.png, report-page-2.png
#                           the first pages of an event's post-show report (PDF)
#   contacts.png            an event's contacts with one selected
#   contacts-dark.png       the same with the dark appearance
#   contacts-compact.png    the same with the compact density
#   companies.png           an event's companies
#   contact-detail-cjk.png  a contact with a Chinese name, in an event of CJK
#                           and very long names
#   search.png              the search (Ctrl+K) with a query
#   pairing.png             the pairing window
#   settings-<tab>.png      each tab of the settings (general, appearance, ai,
#                           templates, export, pipeline, mcp, pairing, privacy); the MCP
#                           tab with two clients and their calls
#   settings-mcp-dark.png, settings-pipeline-compact.png
#                           two of them in the dark appearance, compact density
#   export-sheet.png        the export sheet, from the contacts with one selected
#   contact-edit.png        the editor of a contact, in the dark appearance
#   opportunity-new.png     a new opportunity for a contact, with the pipeline's stages
#   contacts-fr.png         the contacts in a French session (appLanguage system)
#   contacts-1024.png       the contacts and a contact with a CJK name in a window of
#                           1024x640, the smallest the window is laid out for
#   contact-detail-fr.png   the detail pane of a contact with very long names and a
#                           draft, in a French session
#   draft-editor.png        a draft to a contact with a CJK name in the editor,
#                           with its e-mail preview
#   reports.png             an event's reports, one with its text and a PDF
#   capture-preview.png     a business card at full size with its recognised text
#   drafts.png              the drafts list while a batch is being written
#                           (by a stand-in AI server), in the dark appearance
#
# It installs what is missing (scripts/setup.sh), builds `quillmere` and
# `quillmere-desktop` (the dev preset; QUILLMERE_BUILD_DIR=DIR builds there
# instead), fills a temporary QUILLMERE_HOME with demo events and one crafted
# event (restored from an export), starts the companion on it and shows each
# view on a private Xvfb screen of 1440x900, photographing the screen once the
# window reports its first paint. Everything it starts is stopped and the
# temporary home removed on the way out, whatever happens. QUILLMERE_SHOTS="a.png b.png"
# takes only those.
set -euo pipefail

cd "$(dirname "$0")/.."
root=$(pwd)
out="$root/docs/screenshots"
build="${QUILLMERE_BUILD_DIR:-build/dev}"
width=1440
height=900

log() { echo "screenshots: $*" >&2; }

if [ -f scripts/setup.sh ]; then
  bash scripts/setup.sh
fi
cmake --preset dev -B "$build" >/dev/null
cmake --build "$build" --target quillmere quillmere-desktop
quillmere="$root/$build/quillmere"
desktop="$root/$build/quillmere-desktop"

home=$(mktemp -d /tmp/quillmere-screenshots.XXXXXX)
xvfb_pid=""
companion_pid=""
window_pid=""
ai_pid=""

stop() {
  local pid=$1
  if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then
    kill -TERM "$pid" 2>/dev/null || true
    for _ in $(seq 50); do
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.1
    done
    kill -KILL "$pid" 2>/dev/null || true
  fi
  if [ -n "$pid" ]; then wait "$pid" 2>/dev/null || true; fi
}

cleanup() {
  stop "$window_pid"
  stop "$ai_pid"
  stop "$companion_pid"
  stop "$xvfb_pid"
  rm -rf "$home"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# --- the records -------------------------------------------------------------

export QUILLMERE_HOME="$home/scratch"
mkdir -p "$QUILLMERE_HOME"
"$quillmere" demo-data -n 140 --event "Web Summit Lisbon" >/dev/null
"$quillmere" demo-data -n 60 --event "CES Las Vegas" >/dev/null
"$quillmere" demo-data -n 36 --event "Asia Tech Expo Tokyo" >/dev/null
"$quillmere" demo-data -n 12 --event "Nordic Growth Summit 2025" >/dev/null
"$quillmere" export all -o "$home/demo.json" >/dev/null

# Dates for the events, CJK and very long names, companies, titles and the
# enrichment a contact's detail shows, so the lists and the detail pane show
# the texts that are hardest to lay out.
python3 - "$home/demo.json" "$home/crafted.json" <<'EOF'
import json, sys

data = json.load(open(sys.argv[1], encoding="utf-8"))
events = {e["name"]: e for e in data["Event"]}
dates = {
    "Web Summit Lisbon": ("2026-11-10T09:00:00Z", "2026-11-13T18:00:00Z", "Altice Arena, Lisbon"),
    "CES Las Vegas": ("2026-01-06T09:00:00Z", "2026-01-09T18:00:00Z", "Las Vegas Convention Center"),
    "Asia Tech Expo Tokyo": ("2026-10-14T09:00:00Z", "2026-10-16T18:00:00Z", "東京ビッグサイト"),
    "Nordic Growth Summit 2025": ("2025-05-20T09:00:00Z", "2025-05-21T18:00:00Z", "Oslo Spektrum"),
}
for name, (start, end, place) in dates.items():
    events[name]["startDate"] = start
    events[name]["endDate"] = end
    events[name]["location"] = place
events["Asia Tech Expo Tokyo"]["name"] = "Asia Tech Expo 東京"
events["Nordic Growth Summit 2025"]["isArchived"] = True

long_company = "Consolidated International Precision Manufacturing Group Ltd"  # 60 characters
assert len(long_company) == 60, len(long_company)
people = [
    ("秀英", "王", "深圳华星光电技术有限公司", "首席技术官", "wang.xiuying@example.cn"),
    ("健太郎", "佐藤", "株式会社ソニーセミコンダクタ", "営業部長", "k.sato@example.jp"),
    ("민준", "김", "삼성전자 주식회사", "수석 엔지니어", "minjun.kim@example.kr"),
    ("Maximiliana Alexandrina", "von Hohenzollern-Sigmaringen", long_company,
     "Senior Vice President of Strategic Partnerships and Business Development",
     "maximiliana.von.hohenzollern-sigmaringen@international-consolidated.example.com"),
    ("美咲", "高橋", long_company, "Director, Asia-Pacific", "misaki.takahashi@example.jp"),
    ("伟", "李", "阿里巴巴集团", "产品总监", "li.wei@example.cn"),
    ("Nguyễn Thị", "Phương Thảo", "Công ty Cổ phần Công nghệ Sao Việt", "Giám đốc", "thao@example.vn"),
    ("Bartholomew", "Featherstonehaugh-Cholmondeley", "Umbrella Labs", "CTO", "bart@example.co.uk"),
]

tokyo = events["Asia Tech Expo Tokyo"]["id"]
lisbon = events["Web Summit Lisbon"]["id"]
tokyo_contacts = [c for c in data["Contact"] if c["eventID"] == tokyo]
lisbon_contacts = [c for c in data["Contact"] if c["eventID"] == lisbon]

def dress(contact, person, rich):
    first, last, company, title, email = person
    contact.update(firstName=first, lastName=last, company=company, title=title, email=email)
    if rich:
        contact.update(
            phone="+81 3-1234-5678", city="東京", country="Japan", countryCode="JP",
            tier="A", priorityTier="high", overallScore=92, fitScore=88, valueScore=90,
            whyMeet="アジア市場向けのパートナー候補。決定権を持つ。",
            approachAngle="Lead with the Osaka pilot; she asked for a Japanese-language demo.",
            companySummary="大手ディスプレイメーカー。年間売上高は約2兆円。",
            isTarget=True)

for contact, person in zip(tokyo_contacts, people):
    dress(contact, person, True)
for contact, person in zip(lisbon_contacts[1::9], people):
    dress(contact, person, False)

# Meetings with times for the recent activity, tiers for the lists, and a few
# opportunities in each stage for the pipeline.
import uuid
tiers = ["A", "B", "B", "C", None]
for n, contact in enumerate(lisbon_contacts + tokyo_contacts):
    if contact["status"] == "met":
        day = 10 + n % 3 if contact["eventID"] == lisbon else 14 + n % 2
        month = "11" if contact["eventID"] == lisbon else "10"
        contact["metAt"] = f"2026-{month}-{day:02d}T{9 + n % 8:02d}:{(n * 7) % 60:02d}:00Z"
    if contact.get("tier") is None:
        contact["tier"] = tiers[n % len(tiers)]
# Who of the team met them, for the dashboard's TEAM chart.
team = ["Dana", "Luís", "Mei-Ling", "Tomasz"]
lisbon_met = [c for c in lisbon_contacts if c["status"] == "met"]
for n, contact in enumerate(lisbon_met):
    contact["capturedBy"] = team[n % 3 if n % 5 else 3]
    if n % 4 == 0:
        contact["alsoMetBy"] = [team[(n + 1) % 4]]
deals = [
    ("Fleet pilot, 40 robots", "Acme Robotics", 180000, "Interested", "Send the pilot proposal"),
    ("Regional distribution", "Initech", 65000, "Exploring", "Intro call with procurement"),
    ("Platform licence renewal", "Globex", 240000, "Committed", "Legal review of the MSA"),
    ("Data integration", "Umbrella Labs", 42000, "Closed-Won", "Kick-off on Monday"),
    ("Display panels for the 2027 line", long_company, 1250000, "Interested", "Samples to Osaka"),
]
data.setdefault("Opportunity", [])
for n, (title, company, value, stage, step) in enumerate(deals):
    stamp = f"2026-11-1{n % 4}T15:00:00Z"
    data["Opportunity"].append({
        "id": str(uuid.UUID(int=0x5C0 + n)).upper(), "createdAt": stamp, "updatedAt": stamp,
        "title": title, "value": value, "currency": "EUR", "stage": stage,
        "timeline": "Q1 2027", "nextStep": step, "confidence": "medium", "notes": None,
        "notesFromScan": False, "cleanedNotes": None, "cleanedNotesAt": None,
        "originalScannedNotes": None, "companyName": company, "eventID": lisbon,
        "hubspotDealId": None, "exportedAt": None, "suggestedByAI": False,
        "sourceNoteID": None, "originContactID": lisbon_met[n * 3]["id"]})

json.dump(data, open(sys.argv[2], "w", encoding="utf-8"), ensure_ascii=False, indent=1)
EOF

# Drafts, reports and a business card for the Tokyo event.
python3 - "$home/crafted.json" "$home/capture.txt" <<'EOF'
import base64, json, sys, uuid

data = json.load(open(sys.argv[1], encoding="utf-8"))
tokyo = next(e for e in data["Event"] if e["name"] == "Asia Tech Expo 東京")
people = {c["firstName"] + c["lastName"]: c for c in data["Contact"] if c["eventID"] == tokyo["id"]}
drafts = [
    ("秀英王", "深圳华星光电 — 大阪试点的后续", "王总，您好：\n\n感谢您在展会上抽出时间与我们交流。\n\n- **大阪试点**：我们可以在十一月安排现场演示\n- 日文版演示资料已在准备中\n\n期待您的回复。", "approved", "formal"),
    ("Maximiliana Alexandrinavon Hohenzollern-Sigmaringen", "Following up on strategic partnerships in the Asia-Pacific region after our conversation", "Dear Maximiliana,\n\nThank you for the conversation at the booth about *strategic partnerships*.\n\n- **Samples** to Osaka by the end of the month\n- A call with your procurement team\n\nBest regards", "draft", "warm"),
    ("健太郎佐藤", "ソニーセミコンダクタ様 — デモのご案内", "佐藤様\n\n先日はブースにお立ち寄りいただき、ありがとうございました。\n\n- デモ環境のご案内\n- **価格表**を添付いたします", "sent", "neutral"),
    ("민준김", "삼성전자 — 후속 미팅 제안", "김민준 님께,\n\n부스 방문 감사합니다.\n\n다음 주에 **후속 미팅**을 제안드립니다.", "draft", "neutral"),
]
data.setdefault("FollowUpDraft", [])
for n, (who, subject, body, status, tone) in enumerate(drafts):
    data["FollowUpDraft"].append({
        "id": str(uuid.UUID(int=0xD0 + n)).upper(), "subject": subject, "body": body,
        "tone": tone, "language": "en", "status": status, "aiProvider": "claude",
        "generatedAt": f"2026-10-{15 + n % 2}T{8 + n:02d}:30:00Z", "editedAt": None,
        "batchID": None, "contactID": people[who]["id"]})
summary = """# Asia Tech Expo 東京 — Executive Summary

We met **24 of 36** contacts over three days; six are *tier A* targets.

## Top-Priority Follow-Up

- **王秀英** (深圳华星光电): Osaka pilot, decision in November
- **佐藤健太郎** (ソニーセミコンダクタ): Japanese-language demo requested
- Maximiliana von Hohenzollern-Sigmaringen: samples to Osaka

## Recommended Next Actions

1. Send the pilot proposal this week
2. Book the demo with the Tokyo team
"""
pdf = b"%PDF-1.4\n1 0 obj<</Type/Catalog/Pages 2 0 R>>endobj\n2 0 obj<</Type/Pages/Kids[]/Count 0>>endobj\ntrailer<</Root 1 0 R>>\n%%EOF\n"
data.setdefault("SavedReport", [])
for n, (kind, when, provider, level, content, with_pdf) in enumerate([
        ("Executive Report", "2026-10-16T19:05:00Z", "claude", "detailed", summary, True),
        ("Team Activity", "2026-10-15T18:40:00Z", "gpt-4o", "standard", "## Team Activity\n\nThree people covered the booth.", False),
        ("Quick Recap", "2026-10-14T20:10:00Z", None, "brief", "A short recap of the first day.", False)]):
    data["SavedReport"].append({
        "id": str(uuid.UUID(int=0xE0 + n)).upper(), "reportType": kind, "generatedAt": when,
        "reportContent": content, "providerUsed": provider, "eventID": tokyo["id"],
        "selectedSections": "executiveSummary,topPriorityFollowUp", "detailLevel": level,
        "pdfData": base64.b64encode(pdf).decode() if with_pdf else None,
        "companyTableJSON": None, "contactTableJSON": None})
data.setdefault("CaptureMedia", [])
data["CaptureMedia"].append({
    "id": str(uuid.UUID(int=0xF0)).upper(), "contactID": people["秀英王"]["id"],
    "capturedAt": "2026-10-15T10:12:00Z", "captureType": "businessCard",
    "imageFileName": "card-wang.jpg", "caption": "名片 — 深圳华星光电, booth 4B",
    "ocrExtractedText": "王秀英 Wang Xiuying\n首席技术官 Chief Technology Officer\n深圳华星光电技术有限公司\nwang.xiuying@example.cn · +86 755 1234 5678",
    "ocrParsedData": None, "syncedFrom": "iPhone"})
json.dump(data, open(sys.argv[1], "w", encoding="utf-8"), ensure_ascii=False, indent=1)
open(sys.argv[2], "w").write(tokyo["id"].upper() + "\n")
EOF

export QUILLMERE_HOME="$home/home"
# No fixed peer-link port: other companions may run on this machine.
export QUILLMERE_PEER_PORT=0
# Nor a fixed MCP port.
QUILLMERE_MCP_PORT=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
export QUILLMERE_MCP_PORT
mkdir -p "$QUILLMERE_HOME"
"$quillmere" restore "$home/crafted.json" >/dev/null
photos="$QUILLMERE_HOME/data/documents/events/$(cat "$home/capture.txt")/photos"
mkdir -p "$photos"
latin=$(fc-match -f '%{file}' 'DejaVu Sans')
cjk=$(fc-match -f '%{file}' 'Noto Sans CJK SC:bold')
convert -size 1800x1050 xc:'#fbfaf5' -fill '#b91c1c' -draw 'rectangle 0,0 1800,36' \
  -fill '#1f2937' -font "$cjk" -pointsize 110 -annotate +140+300 '王秀英' \
  -font "$latin" -pointsize 64 -annotate +140+400 'Wang Xiuying' \
  -pointsize 44 -annotate +140+480 'Chief Technology Officer' \
  -font "$cjk" -pointsize 44 -annotate +140+560 '深圳华星光电技术有限公司' \
  -fill '#4b5563' -font "$latin" -annotate +140+820 'wang.xiuying@example.cn' \
  -annotate +140+900 '+86 755 1234 5678' "$photos/card-wang.jpg"

# --- the screen and the companion ------------------------------------------

display=""
for n in $(seq 99 140); do
  if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then
    display=$n
    break
  fi
done
[ -n "$display" ] || { log "no free X display"; exit 1; }
Xvfb ":$display" -screen 0 "${width}x${height}x24" -nolisten tcp >"$home/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do
  [ -e "/tmp/.X11-unix/X$display" ] && break
  kill -0 "$xvfb_pid" 2>/dev/null || { cat "$home/xvfb.log" >&2; exit 1; }
  sleep 0.05
done
export DISPLAY=":$display"
export QT_QPA_PLATFORM=xcb
# The same look on every machine: no desktop's theme, one scale, an American English
# session (the French shots say otherwise).
unset QT_QPA_PLATFORMTHEME QT_STYLE_OVERRIDE QT_SCALE_FACTOR
export QT_AUTO_SCREEN_SCALE_FACTOR=0 LANG=en_US.UTF-8
export XDG_RUNTIME_DIR="$home/runtime"
mkdir -m 0700 -p "$XDG_RUNTIME_DIR"

"$quillmere" run >"$home/companion.log" 2>&1 &
companion_pid=$!
for _ in $(seq 150); do
  "$quillmere" status >/dev/null 2>&1 && break
  kill -0 "$companion_pid" 2>/dev/null || { cat "$home/companion.log" >&2; exit 1; }
  sleep 0.1
done

# --- the views ---------------------------------------------------------------

mkdir -p "$out"

# [capture=TITLE] [size=WxH] shot FILE SETTLE_SECONDS -- OPTIONS...: shows
# the window with OPTIONS (at WxH, else the whole screen), waits for its first
# paint and a short settle, and photographs it (or the window titled TITLE).
shot() {
  local file=$1 settle=$2
  shift 3
  if [ -n "${QUILLMERE_SHOTS:-}" ] && [[ " $QUILLMERE_SHOTS " != *" $file "* ]]; then return; fi
  local report="$home/paint.log"
  local geometry=${size:-${width}x${height}}
  : >"$report"
  "$desktop" -geometry "${geometry}+0+0" --report-first-paint "$@" \
    >"$report" 2>"$home/window.log" &
  window_pid=$!
  local painted=""
  for _ in $(seq 300); do
    if grep -q '^first-paint-ms' "$report"; then painted=1; break; fi
    kill -0 "$window_pid" 2>/dev/null || break
    sleep 0.05
  done
  if [ -z "$painted" ]; then
    log "the window did not paint for $file:"
    cat "$home/window.log" >&2
    exit 1
  fi
  sleep "$settle"
  # A dialog alone when one is named (there is no window manager to frame it
  # over the main window), else the window's area of the screen.
  if [ -n "${capture:-}" ]; then
    import -window "$capture" "$out/$file"
  else
    import -window root -crop "${geometry}+0+0" +repage "$out/$file"
  fi
  log "$file ($(cut -d' ' -f2 "$report" | head -n1) ms to first paint)"
  stop "$window_pid"
  window_pid=""
}

setting() { "$quillmere" settings set "$1" "$2" >/dev/null; }

setting appearance light
setting density comfortable
shot dashboard.png 0.8 -- --event "Web Summit Lisbon" --mode dashboard
shot portfolio.png 0.8 -- --mode dashboard
setting appearance dark
shot dashboard-dark.png 0.8 -- --event "Web Summit Lisbon" --mode dashboard
shot portfolio-dark.png 0.8 -- --mode dashboard
setting appearance light
LC_ALL= LANG=fr_FR.UTF-8 size=1024x640 shot dashboard-fr-1024.png 0.8 -- \
  --event "Web Summit Lisbon" --mode dashboard
if [ -z "${QUILLMERE_SHOTS:-}" ] || [[ " $QUILLMERE_SHOTS " == *" report-page-1.png "* ]]; then
  # The report as `quillmere report` writes it, its first two pages as pictures.
  "$quillmere" report "Web Summit Lisbon" -o "$home/report.pdf" >/dev/null
  pdftoppm -png -r 70 -f 1 -l 2 "$home/report.pdf" "$home/report"
  for page in 1 2; do
    cp "$(ls "$home"/report-*"$page".png | head -n1)" "$out/report-page-$page.png"
  done
  log "report-page-1.png, report-page-2.png"
fi
shot contacts.png 0.8 -- --event "Web Summit Lisbon" --contact "Ada Lovelace"
shot companies.png 0.8 -- --event "Web Summit Lisbon" --mode companies
shot contact-detail-cjk.png 0.8 -- --event "Asia Tech Expo 東京" --contact "王秀英"
shot search.png 1.2 -- --event "Web Summit Lisbon" --mode contacts --search "acme"
capture=Pairing shot pairing.png 1.2 -- --pairing
capture="Export Contacts" shot export-sheet.png 1.2 -- --event "Web Summit Lisbon" \
  --contact "Ada Lovelace" --export
setting appearance dark
capture="Edit Ada Lovelace" shot contact-edit.png 1.2 -- --event "Web Summit Lisbon" \
  --contact "Ada Lovelace" --edit contact
setting appearance light
capture="New Opportunity" shot opportunity-new.png 1.2 -- --event "Web Summit Lisbon" \
  --contact "Ada Lovelace" --edit opportunity
LC_ALL= LANG=fr_FR.UTF-8 shot contacts-fr.png 0.8 -- --event "Web Summit Lisbon" \
  --contact "Ada Lovelace"
size=1024x640 shot contacts-1024.png 0.8 -- --event "Asia Tech Expo 東京" --contact "王秀英"
LC_ALL= LANG=fr_FR.UTF-8 size=1280x800 shot contact-detail-fr.png 0.8 -- \
  --event "Asia Tech Expo 東京" --contact "Maximiliana Alexandrina von Hohenzollern-Sigmaringen"

# The settings: a long organisation, a CJK name, an AI endpoint, and two MCP
# clients that called tools (one of them revoked since).
setting displayName "王秀英"
setting organizationName "Consolidated International Precision Manufacturing Group Ltd"
setting emailSignature "$(printf 'Best regards,\n王秀英 · Director, Asia-Pacific\n+81 3-1234-5678')"
setting defaultExportFolder "/home/dana/Documents/Quillmere Exports"
printf 'example-token\n' | "$quillmere" ai login --endpoint https://ai.example.com --kind proxy >/dev/null
"$quillmere" mcp enable --yes >/dev/null
mcp_post() {  # SESSION BODY: posts BODY to the MCP server, printing the headers
  curl -s -D - -o /dev/null -X POST -H 'Content-Type: application/json' \
    ${1:+-H "Mcp-Session-Id: $1"} --data "$2" "http://127.0.0.1:$QUILLMERE_MCP_PORT/mcp"
}
mcp_client() {  # NAME TOOL...: shakes hands as NAME and calls each TOOL
  local name=$1 session=""
  shift
  for _ in $(seq 50); do
    session=$(mcp_post "" '{"jsonrpc":"2.0","id":1,"method":"initialize","params":{"protocolVersion":"2025-03-26","capabilities":{},"clientInfo":{"name":"'"$name"'","version":"1.0"}}}' |
      tr -d '\r' | awk -F': ' 'tolower($1) == "mcp-session-id" { print $2 }')
    [ -n "$session" ] && break
    sleep 0.1
  done
  [ -n "$session" ] || { log "the MCP server did not answer"; exit 1; }
  for tool in "$@"; do
    mcp_post "$session" '{"jsonrpc":"2.0","id":2,"method":"tools/call","params":{"name":"'"$tool"'","arguments":{}}}' >/dev/null
  done
}
mcp_client "Claude Desktop" list_events list_drafts list_reports
mcp_client "Gemini CLI" list_events
"$quillmere" mcp revoke "Gemini CLI" >/dev/null
for tab in general appearance ai templates mail export pipeline mcp pairing privacy; do
  capture=Settings shot "settings-$tab.png" 1.0 -- --settings "$tab"
done
# No AI endpoint for the views after these: drafts come from the phone there.
"$quillmere" ai logout >/dev/null

setting appearance dark
capture=Settings shot settings-mcp-dark.png 1.0 -- --settings mcp
shot contacts-dark.png 0.8 -- --event "Web Summit Lisbon" --contact "Ada Lovelace"
setting appearance light
setting density compact
shot contacts-compact.png 0.8 -- --event "Web Summit Lisbon" --contact "Ada Lovelace"
capture=Settings shot settings-pipeline-compact.png 1.0 -- --settings pipeline
setting density comfortable

# The drafts: one in the editor, the reports, a card, and a batch being written
# by a stand-in AI server that takes a second per draft.
shot draft-editor.png 0.8 -- --event "Asia Tech Expo 東京" --draft "王秀英"
shot reports.png 0.8 -- --event "Asia Tech Expo 東京" --mode reports
shot capture-preview.png 1.0 -- --event "Asia Tech Expo 東京" --contact "王秀英" --capture "王秀英"
python3 - "$home/ai-port" >"$home/ai.log" 2>&1 <<'EOF' &
import http.server, json, sys, time

class Model(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        self.rfile.read(int(self.headers.get("Content-Length", 0)))
        time.sleep(1.0)
        text = "SUBJECT: Following up on our conversation at the booth\n---\nHello,\n\nthank you for stopping by.\n\n- **Pilot** proposal\n- Demo in your office"
        body = json.dumps({"choices": [{"message": {"content": text}}]}).encode()
        self.send_response(200)
        self.send_header("Content-Type", "application/json")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

server = http.server.HTTPServer(("127.0.0.1", 0), Model)
open(sys.argv[1], "w").write(str(server.server_port))
server.serve_forever()
EOF
ai_pid=$!
for _ in $(seq 100); do [ -s "$home/ai-port" ] && break; sleep 0.05; done
"$quillmere" ai login --kind chatCompletions --endpoint "http://127.0.0.1:$(cat "$home/ai-port")/v1" \
  --model stand-in >/dev/null
setting appearance dark
shot drafts.png 2.6 -- --event "Asia Tech Expo 東京" --draft "Maximiliana Alexandrina von Hohenzollern-Sigmaringen" \
  --generate-drafts
setting appearance light
stop "$ai_pid"
ai_pid=""

log "wrote $(ls "$out"/*.png | wc -l) screenshots to docs/screenshots/"
