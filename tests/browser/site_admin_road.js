// The demo site's administration in headless Chromium: installation locked once done, logon and
// administration pages kept out of every cache, the password change and the logon with the new
// one, logout dropping the remember-me cookies, a form posted from a page of another loopback
// origin, paging, search and sorting over 45 rows, editing and deleting a row, a refused save
// that names the wrong fields and keeps what was typed, and an upload whose progress bar shows
// while a 20 MB file is sent and whose oversize file leaves nothing behind.
//
// Run by ctest with MIRELDA_BUILD_DIR and MIRELDA_SITE_DIR, as site_road.js.
"use strict";

const fs = require("fs");
const http = require("http");
const os = require("os");
const path = require("path");
const { check, startHost, stopHost, watchPages, launch, fill, cookieNames, checkLogout,
        main } = require("./browser_support");

const NEW_PASSWORD = "spring-2026";

async function logOn(page, base, password, remember) {
  await page.goto(base + "/admin/logon.asp");
  await fill(page, { "#adminName": "admin", "#adminPwd": password });
  if (remember) await page.check("input[name=checkbox]");
  await page.click("main button[type=submit]");
  await page.waitForLoadState();
}

// A page of another origin on loopback whose form posts itself to the site at once.
function startForger(target) {
  const server = http.createServer((request, response) => {
    response.writeHead(200, { "Content-Type": "text/html; charset=utf-8" });
    response.end("<!DOCTYPE html><html lang=\"zh-CN\"><head><title>x</title></head><body>" +
                 "<form method=\"post\" action=\"" + target + "\"><input name=\"personAlias\" " +
                 "value=\"forged\"><input name=\"personPwd\" value=\"x\"></form>" +
                 "<script>document.forms[0].submit()</script></body></html>");
  });
  return new Promise((resolve) => server.listen(0, "127.0.0.1", () => resolve(server)));
}

async function rowCount(page) {
  return (await page.$$("#rows tr")).length - 1;
}

async function run() {
  const work = fs.mkdtempSync(path.join(os.tmpdir(), "mirelda-browser-admin-"));
  const host = await startHost(work);
  const base = "http://127.0.0.1:" + host.port;
  const problems = [];
  let context = null;
  let stranger = null;
  let forger = null;
  try {
    let page;
    ({ context, page } = await launch(path.join(work, "profile")));
    const pagesParse = watchPages(page, problems);

    // Installation runs once; then a stranger is refused and the administrator is not.
    await page.goto(base + "/install.asp");
    check((await page.textContent("#result")).includes("安装完成。"), "the installation to finish");
    let strangerPage;
    ({ context: stranger, page: strangerPage } = await launch(path.join(work, "stranger")));
    const refused = await strangerPage.goto(base + "/install.asp");
    check(refused.status() === 403, "a stranger's installation to be refused, not " + refused.status());
    check((await strangerPage.textContent("#refused")).includes("只有管理员"), "the reason");
    await page.goto(base + "/");
    check(!(await page.content()).includes("Sun In May"), "no password on the home page");
    const logonReply = await page.goto(base + "/admin/logon.asp");
    check(logonReply.headers()["cache-control"] === "no-store", "the logon page out of every cache");
    check(await page.isVisible("#default-account"), "the default account while it is unchanged");
    await logOn(page, base, "Sun In May", true);
    check(page.url() === base + "/admin/index.asp", "the fixed account's logon");
    for (const admin of ["/admin/index.asp", "/admin/password.asp", "/admin/admins.asp",
                         "/admin/table.asp?table=person", "/admin/add.asp?table=person",
                         "/install.asp"]) {
      const reply = await page.goto(base + admin);
      check(reply.headers()["cache-control"] === "no-store", admin + " out of every cache");
    }
    check((await page.goto(base + "/install.asp")).status() === 200, "the administrator installing");
    check(!(await page.content()).includes("Sun In May"), "no password on the installation page");

    // The password change, then logout, which drops the remember-me cookies.
    await page.goto(base + "/admin/password.asp");
    await fill(page, { "#oldPwd": "Sun In May", "#newPwd": NEW_PASSWORD, "#newPwd2": NEW_PASSWORD });
    await page.click("main button[type=submit]");
    await page.waitForLoadState();
    check((await page.textContent("#outcome")).includes("密码已修改"), "the password changed");
    const before = await cookieNames(context);
    check(before.includes("AdminName") && before.includes("SaveAdminLogin"), "remember-me cookies");
    await checkLogout(context, page, "#admin-logout", base + "/",
                      ["AdminName", "AdminPwd", "SaveAdminLogin"]);
    await page.goto(base + "/admin/logon.asp");
    check(!(await page.isVisible("#default-account")), "no default account once it is changed");
    await logOn(page, base, "Sun In May", false);
    check((await page.textContent("main")).includes("用户名或密码不对。"), "the old password refused");
    await logOn(page, base, NEW_PASSWORD, false);
    check(page.url() === base + "/admin/index.asp", "the new password taken");

    // A page of another origin posting with the administrator's cookie changes nothing.
    forger = await startForger(base + "/admin/table.asp?table=person&action=add");
    const forged = page.waitForResponse((r) => r.url().startsWith(base + "/admin/table.asp"));
    await page.goto("http://127.0.0.1:" + forger.address().port + "/");
    check((await forged).status() === 403, "the forged post refused");
    await page.goto(base + "/admin/table.asp?table=person");
    check((await page.textContent("#total")).startsWith("共 0 条记录"), "no forged person stored");

    // 45 rows through the generated form's target, with the session's token.
    const token = await page.getAttribute("input[name=token]", "value");
    for (let i = 1; i <= 45; i++) {
      const n = String(i).padStart(2, "0");
      const saved = await context.request.post(base + "/admin/table.asp?table=news&action=add", {
        headers: { Origin: base },
        form: { token, newsTitle: "news " + n + (i % 5 === 0 ? " spring" : ""), newsKind: "1" },
      });
      check(saved.status() === 200, "row " + n + " saved");
    }
    await page.goto(base + "/admin/table.asp?table=news");
    check(await page.textContent("#rows th a") === "新闻编号", "dictionary labels as headings");
    check(await rowCount(page) === 20, "20 rows a page");
    check((await page.$$("#pager a")).length === 2, "links to pages 2 and 3");
    await page.click("#pager a >> text=3");
    check(await rowCount(page) === 5, "5 rows on the last page");
    await page.fill("#search", "spring");
    await page.click("form.search button");
    check((await page.textContent("#total")).startsWith("共 9 条记录"), "9 rows found by the search");
    await page.fill("#search", "' or 1=1 --");
    await page.click("form.search button");
    check((await page.textContent("#total")).startsWith("共 0 条记录"), "the search text a value");
    await page.goto(base + "/admin/table.asp?table=news");
    await page.click("#rows th a >> text=标题");
    check((await page.textContent("#rows tr:nth-child(2)")).includes("news 01"), "sorted up");
    await page.click("#rows th a >> text=标题");
    check((await page.textContent("#rows tr:nth-child(2)")).includes("news 45"), "sorted down");

    // Edit a row, then delete it: declining the question keeps it, accepting deletes it.
    await page.goto(base + "/admin/table.asp?table=news&q=news%2007");
    await page.click("#rows a >> text=修改");
    check(await page.inputValue("input[name=newsTitle]") === "news 07", "the row's values");
    await page.fill("input[name=newsTitle]", "news 07 edited");
    await page.click("input[name=Submit]");
    await page.waitForURL(/table\.asp\?table=news$/);
    await page.goto(base + "/admin/table.asp?table=news&q=edited");
    check(await rowCount(page) === 1, "the edited row listed");
    page.once("dialog", (d) => d.dismiss());
    await page.click("form.delete button");
    check(await rowCount(page) === 1, "a declined delete keeps the row");
    page.once("dialog", (d) => d.accept());
    await Promise.all([page.waitForLoadState(), page.click("form.delete button")]);
    check((await page.textContent("#saved")).includes("已删除一条记录。"), "the row deleted");
    await page.goto(base + "/admin/table.asp?table=news");
    check((await page.textContent("#total")).startsWith("共 44 条记录"), "44 rows left");

    // A refused save names the field and keeps every typed value.
    await page.goto(base + "/admin/add.asp?table=person");
    await fill(page, { "input[name=personAlias]": "wang", "input[name=personPwd]": "pw" });
    await page.click("input[name=Submit]");
    await page.waitForSelector("#saved");
    await page.goto(base + "/admin/add.asp?table=person");
    await fill(page, { "input[name=personAlias]": "wang", "input[name=personName]": "王 <二>",
                       "input[name=personCount]": "three" });
    await page.click("input[name=Submit]");
    await page.waitForSelector("#saved");
    const errors = await page.$$eval(".field-error", (e) => e.map((x) => x.dataset.field + x.textContent));
    check((await page.textContent("#saved")).includes("“登录名”、“密码”、“登录次数”需要改正"),
          "the wrong fields named by their labels: " + await page.textContent("#saved"));
    check(errors.some((e) => e.startsWith("personAlias已经有")) &&
          errors.some((e) => e.startsWith("personPwd必须填写")) &&
          errors.some((e) => e.startsWith("personCount不是数字")), "each wrong field named: " + errors);
    check(await page.inputValue("#frmRecord input[name=personName]") === "王 <二>" &&
          await page.inputValue("#frmRecord input[name=personCount]") === "three", "typed values kept");
    check(!/constraint|UNIQUE|SQLITE/i.test(await page.content()), "no engine message on the page");

    // Upload: the limit in words, several files at once, and the bar while 20 MB go out slowly.
    const small = path.join(work, "small.txt");
    const big = path.join(work, "big.bin");
    fs.writeFileSync(small, "small file\n");
    fs.writeFileSync(big, Buffer.alloc(20 << 20, 7));
    await page.goto(base + "/upload.asp");
    check(await page.textContent("#limit") === "1 MB", "the limit in MB");
    await page.setInputFiles("#file1", [small, big]);
    const cdp = await context.newCDPSession(page);
    await cdp.send("Network.enable");
    await cdp.send("Network.emulateNetworkConditions", {
      offline: false, latency: 0, downloadThroughput: -1, uploadThroughput: 4 << 20,
    });
    await page.click("main button[type=submit]");
    await page.waitForFunction(() => {
      const bar = document.getElementById("progress");
      return !bar.hidden && bar.value > 0 && bar.value < 100;
    });
    await page.waitForSelector("#upload-result", { timeout: 120000 });
    await cdp.send("Network.emulateNetworkConditions", {
      offline: false, latency: 0, downloadThroughput: -1, uploadThroughput: -1,
    });
    const result = await page.textContent("#parts");
    check(result.includes("small.txt") && result.includes("big.bin") &&
          result.includes("超出 1 MB 的上限，没有保存"), "both files in the result: " + result);
    const uploads = path.join(work, "var", "c", "mirelda", "uploads");
    check(fs.existsSync(path.join(uploads, "small.txt")) === false ||
          fs.readFileSync(path.join(uploads, "small.txt"), "utf8") === "small file\n", "small kept whole");
    const stored = path.join(uploads, "big.bin");
    check(!fs.existsSync(stored), "no file left of the oversize upload");

    await pagesParse();
  } finally {
    if (forger) forger.close();
    if (stranger) await stranger.close().catch(() => {});
    if (context) await context.close().catch(() => {});
    await stopHost(host);
    fs.rmSync(work, { recursive: true, force: true });
  }
  console.log("site administration in Chromium: every road passed");
}

main(run);
