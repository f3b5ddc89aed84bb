#!/usr/bin/env node
// Quillmere MCP bridge: AI desktop clients start this script and speak MCP to it
// over standard input and output (one JSON-RPC message per line). Each message
// is forwarded as an HTTP POST to the Quillmere companion's MCP endpoint on the
// loopback interface, and the replies are written back one message per line.
//
// Standard output carries nothing but MCP messages; diagnostics go to standard
// error. Uses node's built-in modules only.
//
// Environment: QUILLMERE_MCP_PORT (default 23816).

import http from "node:http";
import readline from "node:readline";

const HOST = "127.0.0.1";
const PORT = Number.parseInt(process.env.QUILLMERE_MCP_PORT ?? "23816", 10);
const NOT_RUNNING = "Quillmere is not running or its MCP server is off";

let sessionId = null;          // Mcp-Session-Id handed out by the companion
let cachedInitialize = null;   // the client's initialize request, replayed for a new session

function log(...parts) {
  process.stderr.write(`[quillmere-mcp-bridge] ${parts.join(" ")}\n`);
}

function write(message) {
  process.stdout.write(JSON.stringify(message) + "\n");
}

/** POSTs one body to /mcp; resolves { status, headers, body }. */
function post(body) {
  return new Promise((resolve, reject) => {
    const headers = {
      "Content-Type": "application/json",
      "Accept": "application/json, text/event-stream",
      "Content-Length": Buffer.byteLength(body),
    };
    if (sessionId) headers["Mcp-Session-Id"] = sessionId;
    const request = http.request(
      { host: HOST, port: PORT, path: "/mcp", method: "POST", headers, agent: false },
      (response) => {
        const chunks = [];
        response.on("data", (c) => chunks.push(c));
        response.on("end", () =>
          resolve({
            status: response.statusCode,
            headers: response.headers,
            body: Buffer.concat(chunks).toString("utf8"),
          }));
        response.on("error", reject);
      });
    request.on("error", reject);
    request.end(body);
  });
}

/** The requests (with an id) inside a message or batch: they are owed an answer. */
function requestIds(message) {
  const items = Array.isArray(message) ? message : [message];
  return items
    .filter((m) => m && typeof m === "object" && "id" in m && m.id !== null && "method" in m)
    .map((m) => m.id);
}

function answerWithError(message, text) {
  for (const id of requestIds(message)) {
    write({ jsonrpc: "2.0", id, error: { code: -32000, message: text } });
  }
}

function isInitialize(message) {
  const items = Array.isArray(message) ? message : [message];
  return items.some((m) => m && m.method === "initialize");
}

function deliver(body) {
  if (!body) return;
  let reply;
  try {
    reply = JSON.parse(body);
  } catch {
    log("unreadable reply:", body.slice(0, 200));
    return;
  }
  // A batch reply becomes one line per message.
  for (const item of Array.isArray(reply) ? reply : [reply]) write(item);
}

async function forward(message, line) {
  if (isInitialize(message)) {
    cachedInitialize = line;
    sessionId = null;  // a new handshake starts a new session
  }
  let response = await post(line);
  if (response.status === 404 && sessionId && cachedInitialize) {
    // The companion restarted and forgot the session: shake hands again, quietly,
    // then send the message once more.
    log("session expired; initialising again");
    sessionId = null;
    const again = await post(cachedInitialize);
    if (again.headers["mcp-session-id"]) sessionId = again.headers["mcp-session-id"];
    response = await post(line);
  }
  if (response.headers["mcp-session-id"]) sessionId = response.headers["mcp-session-id"];
  if (response.status === 204) return;
  if (response.status >= 200 && response.status < 300) {
    deliver(response.body);
    return;
  }
  // An error status with a JSON-RPC body is passed on; anything else becomes an error.
  try {
    const parsed = JSON.parse(response.body);
    if (parsed && (parsed.jsonrpc || Array.isArray(parsed))) {
      deliver(response.body);
      return;
    }
  } catch {
    // fall through
  }
  answerWithError(message, `Quillmere answered HTTP ${response.status}: ${response.body}`);
}

// Messages are forwarded one at a time, in order.
let queue = Promise.resolve();

const input = readline.createInterface({ input: process.stdin, crlfDelay: Infinity });
input.on("line", (raw) => {
  const line = raw.trim();
  if (!line) return;
  let message;
  try {
    message = JSON.parse(line);
  } catch {
    write({ jsonrpc: "2.0", id: null, error: { code: -32700, message: "Parse error" } });
    return;
  }
  queue = queue.then(() =>
    forward(message, line).catch((error) => {
      log("could not reach Quillmere:", error.code ?? error.message);
      answerWithError(message, NOT_RUNNING);
    }));
});
input.on("close", () => {
  queue.then(() => process.exit(0));
});
