// The AI clients' own command-line programs read the entries that
// `quillmere mcp install` writes, and reach the running companion through
// them: Claude Code and Gemini CLI connect (their `mcp list` shows the
// server connected), Codex CLI reads our TOML (`codex mcp get`). Each runs
// with HOME set to a scratch folder, with no account and no network beyond
// loopback. The packages come from this folder's lock file (`npm ci`); when
// they are missing (npm unreachable) the tests are skipped, saying so.
import { test, before, after } from "node:test";
import assert from "node:assert/strict";
import { spawn, spawnSync } from "node:child_process";
import { existsSync, mkdtempSync, mkdirSync, writeFileSync, readFileSync, rmSync } from "node:fs";
import { tmpdir } from "node:os";
import { join, dirname } from "node:path";
import { fileURLToPath } from "node:url";
import net from "node:net";

const QUILLMERE = process.env.QUILLMERE_BINARY;
assert.ok(QUILLMERE, "QUILLMERE_BINARY must be set");
const here = dirname(fileURLToPath(import.meta.url));
const bin = (name) => join(here, "node_modules", ".bin", name);
const installed = ["claude", "codex", "gemini"].every((name) => existsSync(bin(name)));
const skip = installed ? false : "the clients' npm packages are not installed (npm ci in tests/interop/clients failed or npm is unreachable)";
if (skip) console.log(`# skipped: ${skip}`);

const home = mkdtempSync(join(tmpdir(), "quillmere-clients-"));
// No proxy, no telemetry, no update checks: nothing but loopback.
const env = {
  PATH: process.env.PATH,
  HOME: home,
  QUILLMERE_HOME: join(home, "quillmere"),
  NO_PROXY: "127.0.0.1,localhost",
  DISABLE_AUTOUPDATER: "1",
  CLAUDE_CODE_DISABLE_NONESSENTIAL_TRAFFIC: "1",
  GEMINI_CLI_NO_RELAUNCH: "true",
  // Gemini CLI leaves user-level servers out in folders it was not told to trust.
  GEMINI_CLI_TRUST_WORKSPACE: "true",
  NO_UPDATE_NOTIFIER: "1",
};
let companion;

function freePort() {
  return new Promise((resolve, reject) => {
    const server = net.createServer();
    server.listen(0, "127.0.0.1", () => {
      const { port } = server.address();
      server.close(() => resolve(port));
    });
    server.on("error", reject);
  });
}

/// What `program` printed (some clients list on standard error); it must succeed.
function run(program, args) {
  const done = spawnSync(program, args, { env, cwd: home, encoding: "utf8", timeout: 90_000 });
  assert.equal(done.status, 0, `${program} ${args.join(" ")}: ${done.stdout}${done.stderr}`);
  return done.stdout + done.stderr;
}

async function waitForServer(port) {
  const deadline = Date.now() + 20_000;
  while (Date.now() < deadline) {
    try {
      await fetch(`http://127.0.0.1:${port}/mcp`);
      return;
    } catch {
      await new Promise((r) => setTimeout(r, 100));
    }
  }
  throw new Error("the MCP server did not come up");
}

before(async () => {
  if (skip) return;
  env.QUILLMERE_MCP_PORT = String(await freePort());
  mkdirSync(join(env.QUILLMERE_HOME, "config"), { recursive: true });
  writeFileSync(join(env.QUILLMERE_HOME, "config", "defaults.json"),
                JSON.stringify({ storeResetV1: true, mcpServerEnabled: true }));
  companion = spawn(QUILLMERE, ["run"], { env, stdio: ["ignore", "ignore", "ignore"] });
  await waitForServer(env.QUILLMERE_MCP_PORT);
});

after(async () => {
  if (companion) {
    const ended = new Promise((r) => companion.on("exit", r));
    companion.kill("SIGTERM");
    await ended;
  }
  rmSync(home, { recursive: true, force: true });
});

const url = () => `http://127.0.0.1:${env.QUILLMERE_MCP_PORT}/mcp`;

test("Claude Code lists the installed entry as connected, beside the user's own", { skip }, () => {
  writeFileSync(join(home, ".claude.json"),
                JSON.stringify({ numStartups: 3, mcpServers: { notes: { type: "http", url: "http://127.0.0.1:9/mcp" } } }, null, 2));
  run(QUILLMERE, ["mcp", "install", "claude-code"]);
  const listed = run(bin("claude"), ["mcp", "list"]);
  assert.match(listed, new RegExp(`quillmere: ${url().replaceAll(".", "\\.")} \\(HTTP\\) - ✔ Connected`));
  assert.match(listed, /notes: http:\/\/127\.0\.0\.1:9\/mcp \(HTTP\)/);
  assert.equal(JSON.parse(readFileSync(join(home, ".claude.json"), "utf8")).numStartups, 3);
});

test("Codex CLI reads the installed table from config.toml", { skip }, () => {
  mkdirSync(join(home, ".codex"), { recursive: true });
  writeFileSync(join(home, ".codex", "config.toml"),
                '# mine\nmodel = "o4-mini"\n\n[mcp_servers.docs]\ncommand = "docs-server"\n');
  run(QUILLMERE, ["mcp", "install", "codex"]);
  const got = JSON.parse(spawnSync(bin("codex"), ["mcp", "get", "quillmere", "--json"],
                                   { env, cwd: home, encoding: "utf8" }).stdout);
  assert.equal(got.name, "quillmere");
  assert.equal(got.transport.url, url());
  const listed = run(bin("codex"), ["mcp", "list"]);
  assert.match(listed, /docs/);
  assert.match(listed, /quillmere/);
  assert.match(readFileSync(join(home, ".codex", "config.toml"), "utf8"), /^# mine\n/);
});

test("Gemini CLI lists the installed httpUrl entry as connected", { skip }, () => {
  run(QUILLMERE, ["mcp", "install", "gemini"]);
  const listed = run(bin("gemini"), ["mcp", "list"]);
  assert.match(listed, new RegExp(`✓ quillmere: ${url().replaceAll(".", "\\.")} \\(http\\) - Connected`));
});
