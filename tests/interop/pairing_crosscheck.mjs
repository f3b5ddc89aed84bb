// Plays the phone's side of pairing with nothing but node's own crypto module,
// so that the companion's X25519, HKDF-SHA256, HMAC-SHA256 and envelope form
// are checked against an implementation that shares no code with them.
//
//   node pairing_crosscheck.mjs phone <QR string>
//     Scans the QR string with a fresh key pair and prints one JSON object:
//     { sharedSecretBase64, phoneDeviceUUID, handshake, note, notePayload }
//     where `handshake` and `note` are envelope texts as sent on the wire
//     ("pair.handshake" and a signed "delta.note") and `notePayload` is the
//     note's payload record as built.
//
//   node pairing_crosscheck.mjs verify <shared secret Base64>  < envelope
//     Reads one envelope text from standard input, checks its HMAC under the
//     secret and prints { accepted, type, payload }. Exit status 0 when the tag
//     is right, 1 when it is not, 2 for unusable input.
import crypto from "node:crypto";
import { readFileSync } from "node:fs";

const SALT = Buffer.from("quillmere-bond-v1", "ascii");

function fail(message) {
  process.stderr.write(`pairing_crosscheck: ${message}\n`);
  process.exit(2);
}

// Node's Base64 decoder skips characters it does not know; the wire wants
// strict standard Base64, so a text that does not re-encode to itself is refused.
function decodeBase64(text) {
  if (typeof text !== "string") return null;
  const bytes = Buffer.from(text, "base64");
  return bytes.toString("base64") === text ? bytes : null;
}

function strictBase64(text, what) {
  const bytes = decodeBase64(text);
  if (bytes === null) fail(`${what} is not strict Base64`);
  return bytes;
}

const toBase64Url = (bytes) => Buffer.from(bytes).toString("base64url");

// JSON with object keys in ascending order at every level, no white space.
function sortedJSON(value) {
  if (Array.isArray(value)) return `[${value.map(sortedJSON).join(",")}]`;
  if (value !== null && typeof value === "object") {
    const keys = Object.keys(value).sort();
    return `{${keys.map((k) => `${JSON.stringify(k)}:${sortedJSON(value[k])}`).join(",")}}`;
  }
  return JSON.stringify(value);
}

// Whole-second UTC date-time, the only form the desktop reads.
const wireDate = (date) => date.toISOString().replace(/\.\d{3}Z$/, "Z");
const wireUUID = () => crypto.randomUUID().toUpperCase();

function hmac(secret, bytes) {
  return crypto.createHmac("sha256", secret).update(bytes).digest();
}

function envelope(type, payloadRecord, secret) {
  const payload = Buffer.from(sortedJSON(payloadRecord), "utf8");
  return sortedJSON({
    hmac: hmac(secret, payload).toString("base64"),
    messageID: wireUUID(),
    payload: payload.toString("base64"),
    timestamp: wireDate(new Date()),
    type,
  });
}

function phone(qrString) {
  const qr = JSON.parse(strictBase64(qrString, "the QR string").toString("utf8"));
  if (qr.version !== 1) fail(`unexpected QR version ${JSON.stringify(qr.version)}`);
  const desktopKey = strictBase64(qr.publicKey, "the desktop public key");
  if (desktopKey.length !== 32) fail(`the desktop public key has ${desktopKey.length} bytes`);
  const nonce = strictBase64(qr.nonce, "the nonce");

  const { publicKey, privateKey } = crypto.generateKeyPairSync("x25519");
  const ownPublic = Buffer.from(publicKey.export({ format: "jwk" }).x, "base64url");
  const desktopPublic = crypto.createPublicKey({
    key: { kty: "OKP", crv: "X25519", x: toBase64Url(desktopKey) },
    format: "jwk",
  });
  const agreed = crypto.diffieHellman({ privateKey, publicKey: desktopPublic });
  const secret = Buffer.from(crypto.hkdfSync("sha256", agreed, SALT, Buffer.alloc(0), 32));

  const phoneDeviceUUID = wireUUID();
  const handshake = envelope(
    "pair.handshake",
    {
      iPhoneDeviceUUID: phoneDeviceUUID,
      iPhoneDisplayName: "Node's phone ☎",
      publicKeyBase64: ownPublic.toString("base64"),
      signedNonce: hmac(secret, nonce).toString("base64"),
    },
    secret,
  );
  const createdAt = wireDate(new Date(Date.now() - 3_600_000));
  const notePayload = {
    contactSyncID: wireUUID(),
    eventID: wireUUID(),
    note: {
      authorName: "Node",
      createdAt,
      id: wireUUID(),
      noteType: "text",
      syncID: wireUUID(),
      textContent: `Met at the stand — wants a demo (${crypto.randomBytes(4).toString("hex")})`,
    },
    senderName: "Node's phone ☎",
  };
  const note = envelope("delta.note", notePayload, secret);
  process.stdout.write(
    JSON.stringify({
      sharedSecretBase64: secret.toString("base64"),
      phoneDeviceUUID,
      handshake,
      note,
      notePayload,
    }) + "\n",
  );
}

function verify(secretBase64) {
  const secret = strictBase64(secretBase64, "the shared secret");
  if (secret.length !== 32) fail(`the shared secret has ${secret.length} bytes`);
  let message;
  try {
    message = JSON.parse(readFileSync(0, "utf8"));
  } catch (error) {
    fail(`the envelope is not JSON: ${error.message}`);
  }
  const payload = strictBase64(message.payload, "the payload");
  const tag = decodeBase64(message.hmac);
  const expected = hmac(secret, payload);
  const accepted =
    tag !== null && tag.length === expected.length && crypto.timingSafeEqual(tag, expected);
  let record = null;
  try {
    record = JSON.parse(payload.toString("utf8"));
  } catch {
    // a changed byte may leave the payload unreadable; the verdict stands alone
  }
  process.stdout.write(JSON.stringify({ accepted, type: message.type, payload: record }) + "\n");
  process.exit(accepted ? 0 : 1);
}

const [mode, argument] = process.argv.slice(2);
if (mode === "phone" && argument) phone(argument);
else if (mode === "verify" && argument) verify(argument);
else fail("usage: pairing_crosscheck.mjs phone <QR string> | verify <secret Base64> < envelope");
