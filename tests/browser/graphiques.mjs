// The charts and the relationship page of each site given, in headless Chromium from file:
// the right persons drawn, a click re-centres, a hidden living person shows as in the pages,
// and the relation names of a table of pairs of tests/browser/parente.ged.
// Usage: node graphiques.mjs SITE_DIR... (sites of parente.ged). Exit 0: all passed; 1: a
// failure; 77: Chromium or the npm packages (npm ci in this folder) are missing.
import { existsSync, mkdtempSync, rmSync } from "node:fs";
import { tmpdir } from "node:os";
import { join, resolve } from "node:path";
import { pathToFileURL } from "node:url";

const SKIP = 77;
const chromium = ["/usr/bin/chromium", "/usr/bin/chromium-browser"].find((p) => existsSync(p));
if (!chromium) {
  console.log("chromium absent: check skipped");
  process.exit(SKIP);
}
let puppeteer;
try {
  puppeteer = (await import("puppeteer-core")).default;
} catch {
  console.log("npm packages absent (scripts/setup.sh tests installs them): check skipped");
  process.exit(SKIP);
}
const sites = process.argv.slice(2).map((s) => resolve(s));
if (!sites.length) {
  console.error("usage: node graphiques.mjs SITE_DIR...");
  process.exit(2);
}

let failures = 0;
function check(what, got, expected) {
  const a = JSON.stringify(got), b = JSON.stringify(expected);
  if (a !== b) {
    ++failures;
    console.log(`FAIL ${what}: got ${a}, expected ${b}`);
  }
}

// Persons of parente.ged by number: 1 Adam + 2 Ève -> 3 Caïn, 4 Abel, 5 Awan; 1 + 6 -> 7 Seth;
// 3 + 9 -> 8 Hénoch; 4 + 11 -> 10 Marthe; 8 + 19 -> 12 Irad; 20 + 10 -> 13 Lucie; 12 -> 14 Jude;
// 13 -> 15 Claire; 14 -> 16 -> 17 -> 18 Marc -> 21 Léa (born 2001: living, hidden). Jude is
// the reference person of the Sosa numbers; 22 Jean SEUL has no relative.
const PAIRS = [
  [3, 4, "frère"], [5, 3, "sœur"], [7, 3, "demi-frère"], [3, 7, "demi-frère"],
  [3, 8, "père"], [9, 8, "mère"], [8, 3, "fils"], [1, 12, "arrière-grand-père"],
  [2, 14, "arrière-arrière-grand-mère"], [14, 1, "arrière-arrière-petit-fils"],
  [1, 18, "ancêtre à la 7e génération"], [18, 1, "descendant à la 7e génération"],
  [4, 8, "oncle"], [8, 4, "neveu"], [10, 3, "nièce"], [5, 12, "grand-tante"],
  [12, 4, "petit-neveu"], [8, 10, "cousin germain"], [10, 8, "cousine germaine"],
  [12, 13, "cousin issu de germain"], [15, 14, "cousine au 3e degré"],
  [8, 13, "oncle à la mode de Bretagne"], [13, 8, "nièce à la mode de Bretagne"],
  [10, 14, "cousine germaine d'un grand-père"], [14, 10, "petit-fils d'un cousin germain"],
  [18, 21, "père"], [21, 16, "arrière-petite-fille"],
  [22, 1, "Aucun lien trouvé entre Jean SEUL et Adam PREMIER."],
  [24, 12, "Aucun lien trouvé entre Rose LOIN et Irad PREMIER."],
];

// The naming function alone: montées, descentes, sex, half, sex of the relay.
const NAMES = [
  [[0, 1, "inconnu"], "parent"], [[2, 0, "inconnu"], "petit-enfant"],
  [[0, 6, "homme"], "arrière-arrière-arrière-arrière-grand-père"],
  [[0, 7, "femme"], "ancêtre à la 7e génération"], [[6, 0, "femme"], "arrière-arrière-arrière-arrière-petite-fille"],
  [[1, 1, "femme", true], "demi-sœur"], [[1, 3, "homme"], "grand-oncle"],
  [[1, 4, "femme"], "arrière-grand-tante"], [[4, 1, "homme"], "arrière-petit-neveu"],
  [[1, 8, "homme", false, "femme"], "frère d'une ancêtre à la 7e génération"],
  [[8, 1, "femme", false, "homme"], "descendante à la 7e génération d'un frère"],
  [[5, 5, "homme"], "cousin au 4e degré"], [[3, 4, "femme", false, "femme"], "cousine issue de germain d'une mère"],
  [[5, 3, "homme", false, "femme"], "petit-fils d'une cousine issue de germain"],
];

const profile = mkdtempSync(join(tmpdir(), "lignado-graphiques-"));
const browser = await puppeteer.launch({
  executablePath: chromium, headless: true, userDataDir: profile,
  args: ["--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
    "--disable-background-networking", "--disable-component-update", "--disable-sync"],
});

async function drawn(page) {
  return page.$$eval("#arbre a.case", (as) => as.map((a) => Number(a.getAttribute("data-n"))).sort((x, y) => x - y));
}

async function answered(page, a, b) {
  await page.waitForSelector(`#resultat[data-paire="${a}-${b}"]`, { timeout: 20000 });
}

async function centredOn(page, n) {
  await page.waitForFunction((n) => document.body.getAttribute("data-centre") === String(n) &&
    document.querySelector("#arbre svg"), { timeout: 20000 }, n);
}

try {
  for (const site of sites) {
    const url = (name) => {
      const [file, hash] = name.split("#");
      return pathToFileURL(join(site, file)).href + (hash === undefined ? "" : "#" + hash);
    };
    const page = await browser.newPage();
    page.on("pageerror", (e) => { ++failures; console.log(`FAIL ${site}: script error ${e.message}`); });
    page.on("request", (r) => {
      if (!r.url().startsWith("file:")) { ++failures; console.log(`FAIL outside request ${r.url()}`); }
    });

    // The fan of Jude (14) on five generations, from the link of his page.
    await page.goto(url("personne_n_14.html"));
    await page.click('a[href^="arbre.html#"]');
    await centredOn(page, 14);
    check(`${site} fan of 14`, await drawn(page), [1, 2, 3, 8, 9, 12, 14, 19]);
    // A click on Hénoch centres the chart on him.
    await page.click('#arbre a.case[data-n="8"]');
    await centredOn(page, 8);
    check(`${site} fan after the click`, await drawn(page), [1, 2, 3, 8, 9]);
    check(`${site} address after the click`, await page.evaluate(() => location.hash), "#n=8&vue=eventail&g=5");
    check(`${site} name of the centre`, await page.$eval("#centre a", (a) => [a.textContent, a.getAttribute("href")]),
      ["Hénoch PREMIER", "personne_n_8.html"]);
    await page.select("#vue", "ascendants");
    await page.waitForFunction(() => document.querySelector("#arbre svg.ascendants"));
    check(`${site} tree of 8`, await drawn(page), [1, 2, 3, 8, 9]);

    // Without a person in the address: the reference person of the Sosa numbers (Jude's _SOSA 1).
    await page.goto(url("arbre.html"));
    await centredOn(page, 14);

    // The descendants of Adam on four generations, spouses named beside them.
    await page.goto(url("arbre.html#n=1;vue=descendants.html"));
    await centredOn(page, 1);
    check(`${site} descendants of 1`, await drawn(page), [1, 3, 4, 5, 7, 8, 10, 12, 13]);
    check(`${site} spouses of 1`, await page.$eval('#arbre text.conjoint[data-de="1"]', (t) => t.textContent), "\u221e Ève PREMIER, Lilith SECONDE");
    await page.select("#generations", "8");
    await page.waitForFunction(() => location.hash.endsWith("g=8") && document.querySelectorAll("#arbre a.case").length > 9);
    check(`${site} descendants of 1 on 8 generations`, await drawn(page), [1, 3, 4, 5, 7, 8, 10, 12, 13, 14, 15, 16, 17, 18]);

    // Léa, living, shows as on her page: her name, no year.
    await page.goto(url("arbre.html#n_21;vue_ascendants.html"));
    await centredOn(page, 21);
    check(`${site} hidden person`, await page.$eval('#arbre a.case[data-n="21"]', (a) =>
      [a.classList.contains("masque"), a.textContent.includes("Léa"), /\d/.test(a.textContent)]), [true, true, false]);

    // On a phone the fan fits the screen.
    await page.setViewport({ width: 390, height: 800, isMobile: true, hasTouch: true });
    await page.goto(url("arbre.html#n=14;g=8.html"));
    await centredOn(page, 14);
    check(`${site} fan width on a phone`, await page.$eval("#arbre svg", (s) => s.getBoundingClientRect().width <= 390), true);
    await page.setViewport({ width: 1200, height: 900 });
    // Printed: the chart alone, as wide as the page.
    await page.goto(url("arbre.html#n=1;vue=ascendants;g=8.html"));
    await centredOn(page, 1);
    await page.emulateMediaType("print");
    check(`${site} printed`, await page.evaluate(() => [getComputedStyle(document.querySelector(".arbre-choix")).display,
      document.querySelector("#arbre svg").getBoundingClientRect().width <= document.documentElement.clientWidth]), ["none", true]);
    await page.emulateMediaType(null);

    // The relationship of each pair, from the address; the names of the search are not loaded.
    await page.goto(url("parente.html"));
    const named = await page.evaluate((t) => t.map(([args]) => lignadoNomLien(...args)), NAMES);
    NAMES.forEach(([args, expected], i) => check(`name of ${args}`, named[i], expected));
    for (const [a, b, expected] of PAIRS) {
      await page.evaluate((a, b) => { location.hash = `a=${a}&b=${b}`; }, a, b);
      await answered(page, a, b);
      check(`${site} ${a} to ${b}`, await page.$eval("#resultat", (r) =>
        (r.querySelector("[data-lien]") || {}).dataset?.lien ?? r.textContent), expected);
    }
    // The groups that tell unrelated persons at once: Paul and Rose LOIN are linked to no one else.
    check(`${site} groups`, await page.evaluate(() => [1, 12, 19, 22, 23, 24].map((n) => lignadoFamille.personne(n).groupe)),
      [1, 1, 1, 22, 23, 23]);
    check(`${site} names loaded`, await page.$$eval('script[src^="donnees"]', (s) => s.length), 0);
    // The path of second cousins through their nearest common ancestors, Adam and Ève.
    await page.evaluate(() => { location.hash = "a=12&b=13"; });
    await answered(page, 12, 13);
    check(`${site} path`, await page.$$eval("ol.chemin li", (l) => l.map((li) => Number(li.dataset.n))), [12, 8, 3, 1, 4, 10, 13]);
    check(`${site} common ancestors`, await page.$eval(".communs", (p) => p.textContent),
      "Ancêtres communs les plus proches\u00a0: Adam PREMIER et Ève PREMIER");
    // Beyond blood: the path alone.
    await page.evaluate(() => { location.hash = "a=19&b=9"; });
    await answered(page, 19, 9);
    check(`${site} in-law`, await page.$$eval("ol.chemin li", (l) => l.map((li) => li.textContent)),
      ["Ada ADA (°\u00a01752 †\u00a01821), épouse de", "Hénoch PREMIER (°\u00a01750 †\u00a01820), fils de", "Azura AZUR (°\u00a01728 †\u00a01790)"]);
    await page.evaluate(() => { location.hash = "a=19&b=8"; });
    await answered(page, 19, 8);
    check(`${site} spouses`, await page.$eval(".verdict", (p) => p.textContent), "Ada ADA est l'épouse de Hénoch PREMIER.");
    // The search box picks a person.
    await page.goto(url("parente.html#a=14.html"));
    await page.type("#qb", "claire mar");
    await page.waitForSelector("#rb button");
    check(`${site} found`, await page.$$eval("#rb button", (b) => b.map((x) => x.textContent)), ["Claire MARTIN (°\u00a01802 †\u00a01872)"]);
    await page.click("#rb button");
    await answered(page, 14, 15);
    check(`${site} picked`, await page.evaluate(() => location.hash), "#a=14&b=15");
    check(`${site} picked relation`, await page.$eval("[data-lien]", (p) => p.dataset.lien), "cousin au 3e degré");
    await page.close();
  }
} finally {
  await browser.close();
  rmSync(profile, { recursive: true, force: true });
}
console.log(failures ? `${failures} failures` : "all passed");
process.exit(failures ? 1 : 0);
