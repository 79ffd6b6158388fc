// Walks the demo site in a real browser, Debian's headless Chromium driven by playwright-core:
// installation, administrator logon, the generated add form, an upload through the file chooser,
// person logon with remember-me, and, after the browser restarts, the remembered name. Each step
// leaves a screenshot under the build folder, and every page the browser loads must parse as
// HTML5 without errors.
//
// Run by ctest with MIRELDA_BUILD_DIR (the build folder) and MIRELDA_SITE_DIR (the site folder).
"use strict";

const fs = require("fs");
const os = require("os");
const path = require("path");
const { buildDir, check, startHost, stopHost, watchPages, launch, fill, cookieNames, checkLogout,
        main } = require("./browser_support");

const shotsDir = path.join(buildDir, "tests", "browser-screenshots");

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
    ({ context, page } = await launch(userData));
    let pagesParse = watchPages(page, problems);

    // Installation.
    await page.goto(base + "/install.asp");
    check((await page.textContent("#result")).includes("安装完成。"), "the installation to finish");
    check((await page.textContent("ol.report")).includes("管理菜单表建立成功！"),
          "the dictionary reports");
    await shot("install");

    // Administrator logon with the account of a fresh installation.
    await page.goto(base + "/admin/logon.asp");
    await fill(page, { "#adminName": "admin", "#adminPwd": "Sun In May" });
    await Promise.all([page.waitForURL(base + "/admin/index.asp"), page.click("main button[type=submit]")]);
    check((await page.textContent("#menu")).includes("系统基本设置"), "the administration menu");
    await shot("admin-menu");

    // The generated add form, reached through the menu: a person, then a piece of news.
    await Promise.all([page.waitForURL(/add\.asp\?table=person$/), page.click("text=添加人员")]);
    await fill(page, { "input[name=personAlias]": "wangwu", "input[name=personPwd]": "春眠 1",
                       "input[name=personName]": "王五" });
    await shot("add-form");
    await Promise.all([page.waitForURL(/table\.asp\?table=person&action=add$/),
                       page.click("input[name=Submit]")]);
    check((await page.textContent("#saved")).includes("已保存一条记录。"), "the person to be saved");
    check((await page.textContent("#rows")).includes("王五"), "the person to be listed");
    await page.goto(base + "/admin/add.asp?table=news");
    await page.selectOption("select[name=newsKind]", { label: "活动" });
    await fill(page, { "input[name=newsTitle]": "春季活动 <开始>",
                       "textarea[name=newsBody]": "第一行\n第二行",
                       "input[name=newsTime]": "2026-03-04T05:06" });
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
    await fill(page, { "#field0": "第一季度", "#field1": "备注文字" });
    const [chooser] = await Promise.all([page.waitForEvent("filechooser"), page.click("#file1")]);
    await chooser.setFiles(upload);
    // The page's script sends the form and puts the answer's result table in its place.
    await page.click("main button[type=submit]");
    await page.waitForSelector("#upload-message");
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
    await fill(page, { "#personName": "wangwu", "#personPwd": "春眠 1" });
    await page.check("#checkbox");
    await Promise.all([page.waitForURL(base + "/mainface/index.asp?trade=1"),
                       page.click("main button[type=submit]")]);
    check((await page.textContent("#person")).includes("当前登录：wangwu"), "the person in session");
    check((await page.textContent("#log")).includes("成功"), "the logon in the login log");
    await shot("person-logon");

    await pagesParse();
    // The browser restarts: the session is gone, the remembered name is still there.
    await context.close();
    ({ context, page } = await launch(userData));
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

    // The person's logout renews the session and drops the remember-me cookies.
    const logon = await page.goto(base + "/logon.asp");
    check(logon.headers()["cache-control"] === "no-store", "the logon page out of every cache");
    await page.fill("#personPwd", "春眠 1");
    await Promise.all([page.waitForURL(base + "/mainface/index.asp?trade=1"),
                       page.click("main button[type=submit]")]);
    const remembered = await cookieNames(context);
    check(remembered.includes("name") && remembered.includes("checkbox"), "remember-me cookies");
    await checkLogout(context, page, "#person-logout", base + "/", ["name", "pwd", "checkbox"]);
    await page.goto(base + "/logon.asp");
    check(!(await page.isVisible("#welcome")), "no remembered name after the logout");
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

main(run);
