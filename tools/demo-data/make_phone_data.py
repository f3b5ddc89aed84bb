#!/usr/bin/env python3
"""Writes a demo data set for `quillmere-phone --data`: three trade-show events
with their contacts, notes, opportunities and pipeline stages as event
snapshots in sync JSON (events.json), and small PNG business-card images
beside it. The output is the same on every run (fixed seed).

    make_phone_data.py OUT_DIR            # a few hundred contacts
    make_phone_data.py OUT_DIR --small    # a dozen contacts, a few images
"""

import argparse
import json
import os
import random
import struct
import uuid
import zlib
from datetime import datetime, timedelta, timezone

SEED = 20260314

FIRST_NAMES = [
    "Anna", "Jürgen", "Øystein", "Søren", "Zoë", "François", "Chloé", "José", "Łukasz",
    "Małgorzata", "Radek", "Ayşe", "Mehmet", "Ingrid", "Björn", "Aoife", "Siobhán",
    "Priya", "Arjun", "Mei", "Wei", "Yuki", "Haruto", "Minh", "Linh", "Olumide",
    "Chiara", "Giulia", "Mateus", "Inês", "Nikolaos", "Eleni", "Kateřina", "Ilse",
    "Tomás", "Sofía", "Dana", "Kwame", "Fatima", "Youssef",
]
LAST_NAMES = [
    "Müller", "Schäfer", "Nguyễn", "Trần", "田中", "佐藤", "高橋", "王", "李", "김",
    "Østergaard", "Kowalczyk", "Dvořáková", "Öztürk", "Fernández", "García", "Gonçalves",
    "O'Brien", "Ní Bhriain", "Rossi", "Bianchi", "Papadopoulos", "Haraldsen", "Lindqvist",
    "Okafor", "Mensah", "Benali", "Sharma", "Iyer", "Dubois", "Lefèvre", "van der Berg",
]
COMPANIES = [
    ("Nordlicht Robotik GmbH", "Industrial Automation", "Berlin", "Germany", "DE"),
    ("Fjordkraft Analytics AS", "Energy", "Bergen", "Norway", "NO"),
    ("株式会社サクラ技研", "Electronics", "Osaka", "Japan", "JP"),
    ("Sông Hồng Logistics", "Logistics", "Hà Nội", "Vietnam", "VN"),
    ("Lumière Médical SAS", "Medical Devices", "Lyon", "France", "FR"),
    ("Vltava Software s.r.o.", "Software", "Praha", "Czechia", "CZ"),
    ("Anatolia Tekstil A.Ş.", "Textiles", "İzmir", "Türkiye", "TR"),
    ("Cloudberry Labs Ltd", "Software", "Cork", "Ireland", "IE"),
    ("Bengaluru Biosystems Pvt Ltd", "Biotech", "Bengaluru", "India", "IN"),
    ("Porto Marítimo Lda", "Shipping", "Porto", "Portugal", "PT"),
    ("Kente Solar Ltd", "Energy", "Accra", "Ghana", "GH"),
    ("Olympia Foods S.A.", "Food & Beverage", "Αθήνα", "Greece", "GR"),
]
TITLES = [
    "Head of Procurement", "CTO", "VP Sales", "Operations Manager", "Founder & CEO",
    "Product Lead", "Purchasing Manager", "Director of Engineering", "Partner Manager",
]
NOTES = [
    "Interested in a pilot for Q3; wants pricing for 50 seats.",
    "Met at the booth — asked about offline mode and data residency.",
    "Follow up with the integration guide. Prefers e-mail over calls.",
    "Gesprächspartner für Einkauf; Entscheidung bis Ende des Quartals.",
    "Budget approved, needs a security questionnaire first.",
    "展示会で名刺交換。来月デモを希望。",
    "Knows our distributor in Lyon — ask for an introduction.",
]
NEXT_STEPS = ["Send proposal", "Book a demo", "Intro call with their CTO", "Share references"]
STAGES = [("Exploring", "2D5F3F"), ("Interested", "C4654A"), ("Committed", "4A6B8A"),
          ("Closed-Won", "D4953D")]
EVENTS = [
    ("Hannover Industrial Fair 2026", "Hannover, Germany", datetime(2026, 4, 20, 8, tzinfo=timezone.utc), 5),
    ("Nordic Energy Summit", "Oslo, Norway", datetime(2026, 5, 12, 8, tzinfo=timezone.utc), 2),
    ("Tokyo Smart Manufacturing Expo", "東京ビッグサイト, Tokyo", datetime(2026, 6, 3, 1, tzinfo=timezone.utc), 3),
]


def write_atomically(path, data):
    """Writes `data` to a temporary file beside `path`, then renames it into place."""
    temporary = path + ".tmp"
    with open(temporary, "wb") as f:
        f.write(data)
        f.flush()
        os.fsync(f.fileno())
    os.replace(temporary, path)


def iso(moment):
    return moment.strftime("%Y-%m-%dT%H:%M:%SZ")


def new_uuid(rng):
    return str(uuid.UUID(int=rng.getrandbits(128), version=4)).upper()


def png(width, height, pixel):
    """A truecolour PNG; `pixel(x, y)` gives an (r, g, b) triple."""
    rows = b"".join(
        b"\x00" + b"".join(bytes(pixel(x, y)) for x in range(width)) for y in range(height))

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(rows, 9)) + chunk(b"IEND", b""))


def card_image(rng, width, height):
    """A business card: pale paper, a coloured logo block, a few grey text lines."""
    logo = (rng.randrange(40, 200), rng.randrange(40, 200), rng.randrange(40, 200))
    lines = [(height * (4 + 2 * i) // 12, rng.randrange(width // 3, width * 5 // 6))
             for i in range(3)]

    def pixel(x, y):
        if x < width // 5 and y < height // 3:
            return logo
        for top, length in lines:
            if top <= y < top + max(1, height // 24) and width // 12 <= x < length:
                return (90, 90, 90)
        return (246, 244, 238)

    return png(width, height, pixel)


def contact(rng, event_start, stage_names, image_names):
    first, last = rng.choice(FIRST_NAMES), rng.choice(LAST_NAMES)
    company, industry, city, country, code = rng.choice(COMPANIES)
    domain = "".join(c for c in company.split()[0].lower() if c.isascii() and c.isalnum())
    met = event_start + timedelta(hours=rng.randrange(0, 60), minutes=rng.randrange(60))
    notes = [{
        "id": new_uuid(rng), "syncID": new_uuid(rng), "createdAt": iso(met + timedelta(minutes=5)),
        "noteType": "text", "textContent": rng.choice(NOTES), "authorName": "Dana",
    } for _ in range(rng.choice([0, 1, 1, 2]))]
    opportunities = []
    if rng.random() < 0.3:
        opportunities.append({
            "id": new_uuid(rng), "createdAt": iso(met), "updatedAt": iso(met + timedelta(hours=1)),
            "title": f"{company.split()[0]} rollout", "companyName": company,
            "value": float(rng.randrange(5, 250) * 1000), "currency": "EUR",
            "stage": rng.choice(stage_names), "nextStep": rng.choice(NEXT_STEPS),
            "timeline": rng.choice(["This month", "This quarter", "Next quarter"]),
            "confidence": rng.choice(["Low", "Medium", "High"]), "suggestedByAI": False,
        })
    return {
        "id": new_uuid(rng), "syncID": new_uuid(rng), "firstName": first, "lastName": last,
        "company": company, "title": rng.choice(TITLES),
        "email": f"{rng.choice(['info', 'sales', 'contact'])}{rng.randrange(100)}@{domain or 'example'}.example",
        "phone": f"+{rng.randrange(30, 90)} {rng.randrange(100, 999)} {rng.randrange(1000000, 9999999)}",
        "city": city, "country": country, "countryCode": code, "companyIndustry": industry,
        "source": rng.choice(["scanned", "scanned", "manual", "imported"]),
        "status": rng.choice(["met", "met", "notMet"]),
        "isTarget": rng.random() < 0.2, "isFavorite": rng.random() < 0.1,
        "metAt": iso(met), "interactionRating": rng.randrange(1, 6),
        "actionPlanEditedByUser": False, "alsoMetBy": [], "capturedBy": "Dana",
        "notes": notes, "opportunities": opportunities, "captureFileNames": image_names,
    }


def later_changes(rng, snapshot, stage_names):
    """What the phone records after the first event's snapshot: a contact met
    late, a note and an opportunity for contacts it already sent, and a report."""
    event, contacts = snapshot["event"], snapshot["contacts"]
    when = datetime.fromisoformat(event["endDate"].replace("Z", "+00:00")) + timedelta(days=2)
    late = contact(rng, when - timedelta(days=3), stage_names, [])
    late.update({"firstName": "Øystein", "lastName": "Håland", "notes": [], "opportunities": []})
    first, second = contacts[0], contacts[1]
    return {
        "contacts": [{"eventID": event["id"], "contact": late, "senderName": "Dana's phone",
                      "senderDeviceID": "demo-phone"}],
        "notes": [{"eventID": event["id"], "contactSyncID": first["syncID"],
                   "senderName": "Dana's phone", "note": {
                       "id": new_uuid(rng), "syncID": new_uuid(rng), "createdAt": iso(when),
                       "noteType": "text", "authorName": "Dana",
                       "textContent": "Called after the show: wants a pilot before the summer."}}],
        "opportunities": [{"eventID": event["id"], "companyName": second["company"],
                           "senderName": "Dana's phone", "opportunity": {
                               "id": new_uuid(rng), "createdAt": iso(when),
                               "updatedAt": iso(when), "title": f"{second['company']} pilot",
                               "companyName": second["company"], "value": 48000.0,
                               "currency": "EUR", "stage": stage_names[0],
                               "nextStep": "Send the pilot proposal",
                               "timeline": "Next quarter", "confidence": "Medium",
                               "suggestedByAI": False}}],
        "reports": [{"eventID": event["id"], "reportID": new_uuid(rng),
                     "reportType": "eventSummary", "generatedAt": iso(when),
                     "providerUsed": "phone", "detailLevel": "detailed",
                     "selectedSections": "overview,followUps",
                     "reportContent": f"# {event['name']}\n\n{len(contacts)} people met. "
                                      "Follow up with the targets first."}],
    }


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("out_dir")
    parser.add_argument("--small", action="store_true",
                        help="a dozen contacts and a few images, for tests")
    args = parser.parse_args()
    rng = random.Random(SEED)
    os.makedirs(args.out_dir, exist_ok=True)

    per_event = [6, 4, 2] if args.small else [140, 90, 70]
    image_every = 3 if args.small else 2
    card_size = (24, 14) if args.small else (168, 96)
    stages = [{"id": new_uuid(rng), "name": name, "sortOrder": i, "colorHex": color}
              for i, (name, color) in enumerate(STAGES)]
    snapshots, image_count = [], 0
    for (name, location, start, days), count in zip(EVENTS, per_event):
        created = start - timedelta(days=30)
        event = {
            "id": new_uuid(rng), "name": name, "location": location,
            "eventDate": iso(start), "startDate": iso(start),
            "endDate": iso(start + timedelta(days=days - 1, hours=10)),
            "createdAt": iso(created), "updatedAt": iso(start + timedelta(days=days)),
            "isAdminDevice": True, "teamMemberDeviceIDs": [], "isArchived": False,
            "ourBoothNumber": f"Hall {rng.randrange(1, 27)}, {rng.choice('ABCDE')}{rng.randrange(1, 60)}",
        }
        contacts = []
        for i in range(count):
            images = []
            if i % image_every == 0:
                image_count += 1
                images.append(f"card-{image_count:04d}.png")
                write_atomically(os.path.join(args.out_dir, images[-1]),
                                 card_image(rng, *card_size))
            contacts.append(contact(rng, start, [s["name"] for s in stages], images))
        snapshots.append({"event": event, "contacts": contacts, "pipelineStages": stages})

    captures = []
    for snapshot in snapshots:
        for person in snapshot["contacts"]:
            for image in person["captureFileNames"]:
                captures.append({
                    "fileName": image, "captureType": "businessCard",
                    "caption": f"Card of {person['firstName']} {person['lastName']}",
                    "ocrExtractedText": "\n".join([
                        f"{person['firstName']} {person['lastName']}", person["title"],
                        person["company"], person["email"], person["phone"]]),
                })
    data = {"events": snapshots, "captures": captures,
            "later": later_changes(rng, snapshots[0], [s["name"] for s in stages])}
    text = json.dumps(data, ensure_ascii=False, indent=1, sort_keys=True)
    write_atomically(os.path.join(args.out_dir, "events.json"), (text + "\n").encode("utf-8"))
    print(f"{sum(per_event)} contacts in {len(snapshots)} events, {image_count} images "
          f"in {args.out_dir}")


if __name__ == "__main__":
    main()
