// Interoperability of the Quillmere MCP server with the official MCP TypeScript
// SDK: once over HTTP with its streamable HTTP client transport and once through
// the bridge script with its stdio client transport. Runs the real companion.
import { test, before, after } from "node:test";
import assert from "node:assert/strict";
import { spawn, execFileSync } from "node:child_process";
import { mkdtempSync, mkdirSync, writeFileSync, rmSync } from "node:fs";
import { tmpdir } from "node:os";
import { join } from "node:path";
import net from "node:net";
import { createInterface } from "node:readline";
import { Client } from "@modelcontextprotocol/sdk/client/index.js";
import { StreamableHTTPClientTransport } from "@modelcontextprotocol/sdk/client/streamableHttp.js";
import { StdioClientTransport } from "@modelcontextprotocol/sdk/client/stdio.js";

const QUILLMERE = process.env.QUILLMERE_BINARY;
const BRIDGE = process.env.QUILLMERE_BRIDGE;
assert.ok(QUILLMERE && BRIDGE, "QUILLMERE_BINARY and QUILLMERE_BRIDGE must be set");

const home = mkdtempSync(join(tmpdir(), "quillmere-interop-"));
const env = { ...process.env, QUILLMERE_HOME: home };
let companion;
let port;
let demo;

function freePort() {
  return new Promise((resolve, reject) => {
    const server = net.createServer();
    server.listen(0, "127.0.0.1", () => {
      const { port: p } = server.address();
      server.close(() => resolve(p));
    });
    server.on("error", reject);
  });
}

function quillmere(...args) {
  return execFileSync(QUILLMERE, args, { env, encoding: "utf8" });
}

async function waitForServer() {
  const deadline = Date.now() + 20_000;
  while (Date.now() < deadline) {
    try {
      const response = await fetch(`http://127.0.0.1:${port}/mcp`);
      if (response.ok) return;
    } catch {
      // not listening yet
    }
    await new Promise((r) => setTimeout(r, 100));
  }
  throw new Error("the MCP server did not come up");
}

function startCompanion() {
  companion = spawn(QUILLMERE, ["run"], { env, stdio: ["ignore", "ignore", "pipe"] });
  companion.stderr.on("data", () => {});
  return waitForServer();
}

async function stopCompanion() {
  const ended = new Promise((r) => companion.on("exit", r));
  companion.kill("SIGTERM");
  await ended;
  companion = null;
}

before(async () => {
  port = await freePort();
  env.QUILLMERE_MCP_PORT = String(port);
  mkdirSync(join(home, "config"), { recursive: true });
  writeFileSync(join(home, "config", "defaults.json"),
                JSON.stringify({ storeResetV1: true, mcpServerEnabled: true }));
  demo = JSON.parse(quillmere("demo-data", "--contacts", "3", "--json"));
  await startCompanion();
});

after(async () => {
  if (companion) await stopCompanion();
  rmSync(home, { recursive: true, force: true });
});

function parse(result) {
  assert.equal(result.content.length, 1);
  assert.equal(result.content[0].type, "text");
  return JSON.parse(result.content[0].text);
}

/** The same conversation for either transport. */
async function converse(transport, clientName) {
  const client = new Client({ name: clientName, version: "1.0.0" });
  await client.connect(transport);
  try {
    assert.equal(client.getServerVersion().name, "Quillmere MCP");

    const { tools } = await client.listTools();
    assert.equal(tools.length, 16);
    assert.equal(tools[0].name, "list_events");
    assert.equal(tools[15].name, "update_opportunity");

    const events = parse(await client.callTool({ name: "list_events", arguments: {} }));
    assert.ok(events.some((e) => e.id === demo.eventID && e.contact_count === 3));

    const contactID = demo.contactIDs[0];
    const text = `Follow up with the pilot offer (${clientName})`;
    const note = { name: "create_note", arguments: { contact_id: contactID, text } };
    // A new client only reads until the user lets it write.
    const refused = await client.callTool(note);
    assert.equal(refused.isError, true);
    assert.match(parse(refused).error, /may only read/);
    quillmere("mcp", "allow-writes", clientName);
    const created = parse(await client.callTool(note));
    assert.equal(created.success, true);
    assert.match(created.noteId, /^[0-9A-F-]{36}$/);

    const contact = parse(await client.callTool({
      name: "get_contact", arguments: { contact_id: contactID } }));
    assert.equal(contact.id, contactID);
    assert.equal(contact.event_id, demo.eventID);

    const notes = parse(await client.callTool({
      name: "list_notes", arguments: { contact_id: contactID } }));
    assert.ok(notes.some((n) => n.id === created.noteId && n.content === text));

    const failed = await client.callTool({ name: "get_contact", arguments: { contact_id: "x" } });
    assert.equal(failed.isError, true);
  } finally {
    await client.close();
  }
  // The calls were logged under the client's own name.
  const log = quillmere("mcp", "log");
  assert.match(log, new RegExp(`create_note\\s+1 results\\s+\\(${clientName}\\)`));
  assert.match(quillmere("mcp", "clients"), new RegExp(`${clientName}\\s+active, reads and writes`));
}

test("the SDK's streamable HTTP client talks to the server directly", async () => {
  const transport = new StreamableHTTPClientTransport(new URL(`http://127.0.0.1:${port}/mcp`));
  await converse(transport, "interop-http");
});

test("the SDK's stdio client talks to the server through the bridge", async () => {
  const transport = new StdioClientTransport({
    command: process.execPath,
    args: [BRIDGE],
    env: { ...env },
    stderr: "ignore",
  });
  await converse(transport, "interop-stdio");
});

test("the bridge answers each request with an error when Quillmere is not reachable", async () => {
  const bridge = spawn(process.execPath, [BRIDGE], {
    env: { ...process.env, QUILLMERE_MCP_PORT: String(await freePort()) },
    stdio: ["pipe", "pipe", "ignore"],
  });
  let output = "";
  bridge.stdout.on("data", (chunk) => { output += chunk; });
  const ended = new Promise((r) => bridge.on("exit", r));
  bridge.stdin.write(JSON.stringify({ jsonrpc: "2.0", id: 7, method: "ping" }) + "\n");
  bridge.stdin.write(JSON.stringify({ jsonrpc: "2.0", method: "notifications/initialized" }) + "\n");
  bridge.stdin.end();
  await ended;
  const lines = output.trim().split("\n");
  assert.equal(lines.length, 1, "notifications get no answer");
  const answer = JSON.parse(lines[0]);
  assert.equal(answer.id, 7);
  assert.equal(answer.error.message, "Quillmere is not running or its MCP server is off");
});

test("the bridge starts a new session by itself after the companion restarted", async () => {
  const bridge = spawn(process.execPath, [BRIDGE], { env, stdio: ["pipe", "pipe", "ignore"] });
  const lines = createInterface({ input: bridge.stdout });
  const next = () => new Promise((resolve) => lines.once("line", (l) => resolve(JSON.parse(l))));
  const send = (message) => bridge.stdin.write(JSON.stringify(message) + "\n");

  send({ jsonrpc: "2.0", id: 1, method: "initialize",
         params: { protocolVersion: "2025-03-26", capabilities: {},
                   clientInfo: { name: "replay-client", version: "1" } } });
  assert.equal((await next()).result.serverInfo.name, "Quillmere MCP");

  // The new companion knows nothing of the old session.
  await stopCompanion();
  await startCompanion();

  send({ jsonrpc: "2.0", id: 2, method: "tools/call",
         params: { name: "list_events", arguments: {} } });
  const answer = await next();
  assert.equal(answer.id, 2);
  assert.equal(answer.result.isError, undefined, JSON.stringify(answer));
  assert.ok(JSON.parse(answer.result.content[0].text).length >= 1);
  assert.match(quillmere("mcp", "log"), /list_events\s+\d+ results\s+\(replay-client\)/);

  const ended = new Promise((r) => bridge.on("exit", r));
  bridge.stdin.end();
  await ended;
});
