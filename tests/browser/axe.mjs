// Runs axe-core in headless Chromium on the main pages of each site given and fails on any
// violation of impact "serious" or "critical". Usage: node axe.mjs SITE_DIR...
// Exit 0: none; 1: violations or a page that failed to load; 77: Chromium or the npm
// packages (npm ci in this folder) are missing, so the check is skipped.
import { existsSync, mkdtempSync, readFileSync, readdirSync, rmSync } from "node:fs";
import { createRequire } from "node:module";
import { tmpdir } from "node:os";
import { join, resolve } from "node:path";
import { pathToFileURL } from "node:url";

const SKIP = 77;
const chromium = ["/usr/bin/chromium", "/usr/bin/chromium-browser"].find((p) => existsSync(p));
if (!chromium) {
  console.log("chromium absent: check skipped");
  process.exit(SKIP);
}
let puppeteer, axeSource;
try {
  puppeteer = (await import("puppeteer-core")).default;
  const require = createRequire(import.meta.url);
  axeSource = readFileSync(require.resolve("axe-core/axe.min.js"), "utf8");
} catch {
  console.log("npm packages absent (scripts/setup.sh tests installs them): check skipped");
  process.exit(SKIP);
}

const sites = process.argv.slice(2).map((s) => resolve(s));
if (sites.length === 0) {
  console.error("usage: node axe.mjs SITE_DIR...");
  process.exit(2);
}

// The home page, the surname index, the list of persons, the search page, the charts and the
// relationship page (once drawn), then the first
// person page, the first ancestors page and the first page of a hidden living person (when
// the site has one) of the site.
function pagesOf(site) {
  const byNumber = (prefix) =>
    readdirSync(site)
      .filter((f) => f.startsWith(prefix) && f.endsWith(".html"))
      .sort((a, b) => parseInt(a.slice(prefix.length)) - parseInt(b.slice(prefix.length)));
  const persons = byNumber("personne_n_");
  const hidden = persons.find((f) =>
    readFileSync(join(site, f), "latin1").includes('class="masque"'));
  return ["index.html", "patronymes.html", "personnes.html", "recherche.html", "arbre.html",
    "parente.html", persons[0],
    byNumber("ascendants_n_")[0], ...(hidden ? [hidden] : [])];
}

const profile = mkdtempSync(join(tmpdir(), "lignado-axe-"));
const browser = await puppeteer.launch({
  executablePath: chromium,
  headless: true,
  userDataDir: profile,
  args: ["--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
    "--disable-background-networking", "--disable-component-update", "--disable-sync"],
});
let faults = 0, checked = 0;
try {
  for (const site of sites) {
    for (const name of pagesOf(site)) {
      if (!name || !existsSync(join(site, name))) {
        console.log(`${site}: page missing (${name ?? "none of its kind"})`);
        ++faults;
        continue;
      }
      const page = await browser.newPage();
      const url = pathToFileURL(join(site, name)).href;
      try {
        await page.goto(url, { waitUntil: "load", timeout: 60000 });
        if (name === "arbre.html")
          await page.waitForSelector("#arbre svg", { timeout: 60000 });
        await page.evaluate(axeSource);
        const result = await page.evaluate(() =>
          globalThis.axe.run(document, { resultTypes: ["violations"] }));
        ++checked;
        for (const v of result.violations) {
          if (v.impact !== "serious" && v.impact !== "critical") continue;
          ++faults;
          console.log(`${url}: ${v.impact} ${v.id}: ${v.help}`);
          for (const node of v.nodes.slice(0, 5)) console.log(`    ${node.target.join(" ")}`);
        }
      } catch (e) {
        ++faults;
        console.log(`${url}: ${e.message}`);
      } finally {
        await page.close();
      }
    }
  }
} finally {
  await browser.close();
  rmSync(profile, { recursive: true, force: true });
}
console.log(`${checked} pages checked, ${faults} faults`);
process.exit(faults === 0 && checked > 0 ? 0 : 1);
