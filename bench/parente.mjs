// The relationship page answering pairs of a generated tree in headless Chromium, from file:
// for each pair, the time from the start of the page load to the relation shown (the median of
// three loads), and how many data scripts the page loaded of all the site has.
// Usage: node bench/parente.mjs SITE_DIR A-B... (needs the npm packages of tests/browser).
import { existsSync, mkdtempSync, readdirSync, rmSync } from "node:fs";
import { createRequire } from "node:module";
import { tmpdir } from "node:os";
import { join, resolve } from "node:path";
import { pathToFileURL } from "node:url";

const require = createRequire(new URL("../tests/browser/package.json", import.meta.url));
const puppeteer = require("puppeteer-core");
const chromium = ["/usr/bin/chromium", "/usr/bin/chromium-browser"].find((p) => existsSync(p));
const [site, ...pairs] = process.argv.slice(2);
const scripts = readdirSync(resolve(site)).filter((f) => /^liens_p_\d+\.js$/.test(f)).length;
const profile = mkdtempSync(join(tmpdir(), "lignado-parente-"));
const browser = await puppeteer.launch({
  executablePath: chromium, headless: true, userDataDir: profile,
  args: ["--no-sandbox", "--disable-gpu", "--no-first-run", "--disable-background-networking"],
});
try {
  for (const pair of pairs) {
    const [a, b] = pair.split("-");
    const times = [];
    let shown = "", loaded = 0;
    for (let run = 0; run < 3; ++run) {
      const page = await browser.newPage();
      const start = performance.now();
      await page.goto(pathToFileURL(join(resolve(site), "parente.html")).href + `#a=${a}&b=${b}`);
      await page.waitForSelector(`#resultat[data-paire="${a}-${b}"]`, { timeout: 120000 });
      times.push(performance.now() - start);
      shown = await page.$eval("#resultat .verdict", (p) => p.textContent).catch(() => "");
      loaded = await page.$$eval('script[src^="liens_p_"]', (s) => s.length);
      await page.close();
    }
    times.sort((x, y) => x - y);
    console.log(`${a} et ${b} : ${times[1].toFixed(0)} ms (${times.map((t) => t.toFixed(0)).join(", ")}), ` +
      `${loaded}/${scripts} scripts de donn\u00e9es : ${shown}`);
  }
} finally {
  await browser.close();
  rmSync(profile, { recursive: true, force: true });
}
