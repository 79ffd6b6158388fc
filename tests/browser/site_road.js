// Walks the demo site in a real browser, Debian's headless Chromium driven by playwright-core:
// installation, administrator logon, the generated add form, an upload through the file chooser,
// person logon with remember-me, and, after the browser restarts, the remembered name. Each step
// leaves a screenshot under the build folder, and every page the browser loads must parse as
// HTML5 without errors.
//
// Run by ctest with MIRELDA_BUILD_DIR (the build folder) and MIRELDA_SITE_DIR (the site folder).
"use strict";

const childProcess = require("child_process");
const fs = require("fs");
const os = require("os");
const path = require("path");

const CHROMIUM = "/usr/bin/chromium";
const BROWSER_ARGS = ["--no-sandbox", "--disable-gpu", "--disable-background-networking",
                      "--disable-component-update", "--no-first-run"];

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
const shotsDir = path.join(buildDir, "tests", "browser-screenshots");

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
  return context;
}

async function run() {
  fs.rmSync(shotsDir, { recursive: true, force: true });
  fs.mkdirSync(shotsDir, { recursive: true });
  const work = fs.mkdtempSync(path.join(os.tmpdir(), "mirelda-browser-"));
  const userData = path.join(work, "chromium-profile");
  const host = await startHost(work);
  const base = "http://127.0.0.1:" + host.port;
  const problems = [];
  let context = null;
  let page = null;
  let step = 0;
  const shot = async (name) => {
    step += 1;
    await page.screenshot({ path: path.join(shotsDir, String(step).padStart(2, "0") + "-" + name +
                                                      ".png"), fullPage: true });
  };
  try {
    context = await launch(userData);
    page = context.pages()[0] || await context.newPage();
    let pagesParse = watchPages(page, problems);

    // Installation.
    await page.goto(base + "/install.asp");
    check((await page.textContent("#result")).includes("安装完成。"), "the installation to finish");
    check((await page.textContent("ol.report")).includes("管理菜单表建立成功！"),
          "the dictionary reports");
    await shot("install");

    // Administrator logon with the account of a fresh installation.
    await page.goto(base + "/admin/logon.asp");
    await page.fill("#adminName", "admin");
    await page.fill("#adminPwd", "Sun In May");
    await Promise.all([page.waitForURL(base + "/admin/index.asp"), page.click("button[type=submit]")]);
    check((await page.textContent("#menu")).includes("系统基本设置"), "the administration menu");
    await shot("admin-menu");

    // The generated add form, reached through the menu: a person, then a piece of news.
    await Promise.all([page.waitForURL(/add\.asp\?table=person$/), page.click("text=添加人员")]);
    await page.fill("input[name=personAlias]", "wangwu");
    await page.fill("input[name=personPwd]", "春眠 1");
    await page.fill("input[name=personName]", "王五");
    await shot("add-form");
    await Promise.all([page.waitForURL(/table\.asp\?table=person&action=add$/),
                       page.click("input[name=Submit]")]);
    check((await page.textContent("#saved")).includes("已保存一条记录。"), "the person to be saved");
    check((await page.textContent("#rows")).includes("王五"), "the person to be listed");
    await page.goto(base + "/admin/add.asp?table=news");
    await page.fill("input[name=newsTitle]", "春季活动 <开始>");
    await page.selectOption("select[name=newsKind]", { label: "活动" });
    await page.fill("textarea[name=newsBody]", "第一行\n第二行");
    await page.fill("input[name=newsTime]", "2026-03-04T05:06");
    await Promise.all([page.waitForURL(/table\.asp\?table=news&action=add$/),
                       page.click("input[name=Submit]")]);
    const news = await page.textContent("#rows");
    check(news.includes("春季活动 <开始>") && news.includes("2026-03-04 05:06:00"),
          "the news to be listed as typed, not " + news);
    await shot("records-listed");

    // An upload through the file chooser.
    const upload = path.join(work, "报告.txt");
    fs.writeFileSync(upload, "季度报告\nquarterly report\n");
    await page.goto(base + "/upload.asp");
    await page.fill("#field0", "第一季度");
    await page.fill("#field1", "备注文字");
    const [chooser] = await Promise.all([page.waitForEvent("filechooser"), page.click("#file1")]);
    await chooser.setFiles(upload);
    await Promise.all([page.waitForURL(base + "/upload.asp"), page.click("button[type=submit]")]);
    check((await page.textContent("#upload-message")) === "上传结果：OK", "the upload to succeed");
    const parts = await page.textContent("#parts");
    check(parts.includes("报告.txt") && parts.includes(String(fs.statSync(upload).size)) &&
          parts.includes("第一季度") && parts.includes("备注文字"),
          "each field and file with its size, not " + parts);
    const stored = path.join(work, "var", "c", "mirelda", "uploads", "报告.txt");
    check(fs.existsSync(stored) && fs.readFileSync(stored).equals(fs.readFileSync(upload)),
          "the file stored whole in the data drive");
    await shot("upload");

    // Person logon with remember-me.
    await page.goto(base + "/logon.asp");
    await page.fill("#personName", "wangwu");
    await page.fill("#personPwd", "春眠 1");
    await page.check("#checkbox");
    await Promise.all([page.waitForURL(base + "/mainface/index.asp?trade=1"),
                       page.click("button[type=submit]")]);
    check((await page.textContent("#person")).includes("当前登录：wangwu"), "the person in session");
    check((await page.textContent("#log")).includes("成功"), "the logon in the login log");
    await shot("person-logon");

    await pagesParse();
    // The browser restarts: the session is gone, the remembered name is still there.
    await context.close();
    context = await launch(userData);
    page = context.pages()[0] || await context.newPage();
    pagesParse = watchPages(page, problems);
    await page.goto(base + "/logon.asp");
    await page.reload();
    check((await page.textContent("#welcome")).includes("欢迎回来，wangwu。"), "the remembered name");
    check(await page.inputValue("#personName") === "wangwu", "the name filled in");
    check(await page.isChecked("#checkbox"), "remember-me ticked");
    await shot("remembered-after-restart");
    await page.goto(base + "/mainface/index.asp");
    check((await page.textContent("main")).includes("wangwu，你好。请先登录"),
          "no person in a new session");
    await pagesParse();
  } catch (e) {
    if (page) {
      await page.screenshot({ path: path.join(shotsDir, "failure.png"), fullPage: true })
          .catch(() => {});
    }
    throw e;
  } finally {
    if (context) await context.close().catch(() => {});
    await stopHost(host);
    fs.rmSync(work, { recursive: true, force: true });
  }
  console.log("site road in Chromium: " + step + " steps, screenshots in " + shotsDir);
}

run().then(() => process.exit(0), (e) => {
  console.error(e.stack || String(e));
  process.exit(1);
});
