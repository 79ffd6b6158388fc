// What the browser roads of the demo site share: mirelda-host on a free loopback port with a data
// folder of its own, Debian's headless Chromium, and a check that every page parses as HTML5.
"use strict";

const childProcess = require("child_process");
const fs = require("fs");
const path = require("path");

function requireModule(name) {
  try {
    return require(name);
  } catch (e) {
    throw new Error(name + " is missing: scripts/test installs it (npm ci in tests/browser)");
  }
}

const { chromium } = requireModule("playwright-core");
const parse5 = requireModule("parse5");

const buildDir = process.env.MIRELDA_BUILD_DIR;
const siteDir = process.env.MIRELDA_SITE_DIR || path.resolve(__dirname, "..", "..", "site");
if (!buildDir) throw new Error("MIRELDA_BUILD_DIR names no build folder");

const CHROMIUM = "/usr/bin/chromium";
const BROWSER_ARGS = ["--no-sandbox", "--disable-gpu", "--disable-background-networking",
                      "--disable-component-update", "--no-first-run"];


function check(condition, what) {
  if (!condition) throw new Error("expected " + what);
}

// mirelda-host on a free loopback port, with a data folder and a registration store of its own.
async function startHost(work) {
  const registry = path.join(work, "registry");
  for (const lib of ["libmirelda.so", "libmirelda-data.so"]) {
    childProcess.execFileSync(path.join(buildDir, "mirelda-regsvr"),
                              ["--registry", registry, path.join(buildDir, lib)],
                              { stdio: "ignore" });
  }
  const log = path.join(work, "host.log");
  const host = childProcess.spawn(path.join(buildDir, "mirelda-host"),
      ["--site", siteDir, "--listen", "127.0.0.1:0", "--data", path.join(work, "var"),
       "--registry", registry],
      { stdio: ["ignore", "pipe", fs.openSync(log, "w")] });
  const port = await new Promise((resolve, reject) => {
    let out = "";
    host.stdout.on("data", (chunk) => {
      out += chunk;
      const m = /serving .* at http:\/\/127\.0\.0\.1:(\d+)\//.exec(out);
      if (m) resolve(Number(m[1]));
    });
    host.on("exit", (code) => reject(new Error("mirelda-host exited with " + code + ":\n" +
                                               fs.readFileSync(log, "utf8"))));
  });
  return { process: host, port, log };
}

// Stops the host; it must exit 0 and the sanitizer build must have found nothing in it.
async function stopHost(host) {
  const code = await new Promise((resolve) => {
    host.process.removeAllListeners("exit");
    host.process.on("exit", (c) => resolve(c));
    host.process.kill("SIGTERM");
  });
  const log = fs.readFileSync(host.log, "utf8");
  check(code === 0, "mirelda-host to exit 0, not " + code + ":\n" + log);
  check(!/Sanitizer|runtime error:/.test(log), "a clean host log:\n" + log);
}

// Every page the browser loads is kept and parsed; parse errors fail the run at the next check.
function watchPages(page, problems) {
  const pending = [];
  page.on("response", (response) => {
    if (response.request().resourceType() !== "document" || response.status() !== 200) return;
    const url = response.url();
    pending.push(response.body().then((bytes) => {
      const charset = /charset=([\w-]+)/i.exec(response.headers()["content-type"] || "");
      const html = new TextDecoder(charset ? charset[1] : "utf-8").decode(bytes);
      parse5.parse(html, {
        onParseError: (e) => problems.push(url + " line " + e.startLine + ": " + e.code),
      });
      if (!/^\s*<!DOCTYPE html>\s*<html lang="zh-CN">/.test(html)) {
        problems.push(url + ": no HTML5 doctype with the Chinese language");
      }
      if (!/<title>[^<]+<\/title>/.test(html)) problems.push(url + ": no title");
    }, () => {}));
  });
  return async () => {
    await Promise.all(pending.splice(0));
    check(problems.length === 0, "pages that parse as HTML5:\n" + problems.join("\n"));
  };
}

// Chromium with the profile at userData, and its one tab.
async function launch(userData) {
  check(fs.existsSync(CHROMIUM), "Chromium at " + CHROMIUM + " (scripts/setup --test installs it)");
  const context = await chromium.launchPersistentContext(userData, {
    executablePath: CHROMIUM,
    headless: true,
    args: BROWSER_ARGS,
    viewport: { width: 1100, height: 800 },
    locale: "zh-CN",
  });
  context.setDefaultTimeout(20000);
  return { context, page: context.pages()[0] || await context.newPage() };
}

// Types each value into the field its selector names.
async function fill(page, fields) {
  for (const [selector, value] of Object.entries(fields)) await page.fill(selector, value);
}

async function cookieNames(context) {
  return (await context.cookies()).map((c) => c.name);
}

// Logs out through the link at selector, landing on url: the cookies named in dropped are gone
// and the session is a new one.
async function checkLogout(context, page, selector, url, dropped) {
  const session = (await context.cookies()).find((c) => c.name === "MIRELDA_SESSION").value;
  await Promise.all([page.waitForURL(url), page.click(selector)]);
  const left = await cookieNames(context);
  for (const name of dropped) {
    check(!left.includes(name), name + " dropped by the logout, cookies now " + left);
  }
  const renewed = (await context.cookies()).find((c) => c.name === "MIRELDA_SESSION");
  check(!renewed || renewed.value !== session, "a new session after the logout");
}

// Runs a road; a failure ends the process with its stack and exit code 1.
function main(run) {
  run().then(() => process.exit(0), (e) => {
    console.error(e.stack || String(e));
    process.exit(1);
  });
}

module.exports = { buildDir, siteDir, check, startHost, stopHost, watchPages, launch, fill,
                   cookieNames, checkLogout, main };
