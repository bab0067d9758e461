// Lignado: the persons of the charts and of the relationship page, read from the data scripts
// of the site (2000 persons each, named in <template id="donnees-liens">) only when a person of
// theirs is asked for: no server, no outside request, so it works from a folder on a disk.
// Each script calls lignadoLiens(number)("surname")("given names")("sex")("birth year")
// ("death year")("hidden")(father)(mother)("children")("spouses")("group") once per person;
// persons of different groups (the smallest number of those that parents, children and spouses
// link) are not related at all.
var lignadoFamille = (function () {
  "use strict";
  var TAILLE = 2000; // persons per data script, as the site cuts them
  var personnes = Object.create(null);
  var bornes = []; // per script: [smallest, largest] number, once loaded
  var chargements = [];
  var fichiers = null;

  function liste(texte) {
    if (texte === undefined || texte === null || texte === "") return [];
    return String(texte).split("|").map(Number).filter(function (n) { return n > 0; });
  }

  function nombre(v) {
    var n = Number(v);
    return n > 0 ? n : 0;
  }

  // The collector the data scripts call: one call per field.
  window.lignadoLiens = function (numero) {
    var champs = [];
    var script = document.currentScript;
    var tranche = script ? Number(script.getAttribute("data-tranche")) : -1;
    var suite = function (valeur) {
      champs.push(valeur);
      if (champs.length === 10) {
        var p = {
          n: numero, nom: champs[0] || "", prenoms: champs[1] || "", sexe: champs[2] || "inconnu",
          naissance: champs[3] || "", deces: champs[4] || "", masque: champs[5] === "oui",
          pere: nombre(champs[6]), mere: nombre(champs[7]),
          enfants: liste(champs[8]), conjoints: liste(champs[9]), groupe: 0
        };
        personnes[numero] = p;
        if (tranche >= 0) {
          var b = bornes[tranche] || (bornes[tranche] = [numero, numero]);
          if (numero < b[0]) b[0] = numero;
          if (numero > b[1]) b[1] = numero;
        }
      }
      if (champs.length === 11 && personnes[numero]) personnes[numero].groupe = nombre(champs[10]);
      return suite;
    };
    return suite;
  };

  function scripts() {
    if (fichiers === null) {
      fichiers = [];
      var modele = document.getElementById("donnees-liens");
      if (modele && modele.content) {
        modele.content.querySelectorAll("script[src]").forEach(function (s) {
          fichiers.push(s.getAttribute("src"));
        });
      }
    }
    return fichiers;
  }

  function charger(i) {
    if (!chargements[i]) {
      chargements[i] = new Promise(function (ok) {
        var s = document.createElement("script");
        s.src = scripts()[i];
        s.setAttribute("data-tranche", String(i));
        if (!bornes[i]) bornes[i] = null;
        s.onload = s.onerror = function () {
          // An empty or missing script still ends the search in its range.
          if (!bornes[i]) bornes[i] = [Infinity, -Infinity];
          ok();
        };
        document.head.appendChild(s);
      });
    }
    return chargements[i];
  }

  // The script that should hold person n, from what is known of the loaded ones.
  function tranchePour(n) {
    var dernier = scripts().length - 1;
    if (dernier < 0) return -1;
    var i = Math.min(Math.max(Math.floor((n - 1) / TAILLE), 0), dernier);
    for (var pas = 0; pas <= dernier; ++pas) {
      var b = bornes[i];
      if (!b) return i;
      if (n < b[0] && b[0] !== Infinity && i > 0) --i;
      else if (n > b[1] && b[1] !== -Infinity && i < dernier) ++i;
      else return -1; // in this script's range, or before the first, or after the last
    }
    return -1;
  }

  // Resolves once every person of the list is known (or known to be absent).
  function obtenir(numeros) {
    var manque = {};
    numeros.forEach(function (n) {
      if (n > 0 && !personnes[n]) {
        var i = tranchePour(n);
        if (i >= 0 && !(bornes[i])) manque[i] = true;
      }
    });
    var tranches = Object.keys(manque).map(Number);
    if (!tranches.length) return Promise.resolve();
    return Promise.all(tranches.map(charger)).then(function () { return obtenir(numeros); });
  }

  // The first person of the site, for a page opened without one.
  function premier() {
    if (!scripts().length) return Promise.resolve(0);
    return charger(0).then(function () {
      return bornes[0] && bornes[0][0] !== Infinity ? bornes[0][0] : 0;
    });
  }

  function personne(n) {
    return personnes[n] || null;
  }

  function nomComplet(p) {
    if (!p) return "";
    return (p.prenoms ? p.prenoms + " " : "") + (p.nom || (p.prenoms ? "" : "(sans nom)"));
  }

  function annees(p) {
    if (!p) return "";
    return (p.naissance ? "\u00b0\u00a0" + p.naissance : "") + (p.naissance && p.deces ? " " : "") +
      (p.deces ? "\u2020\u00a0" + p.deces : "");
  }

  function lien(p) {
    return "personne_n_" + p.n + ".html";
  }

  // The parameters of the page, from "?n=12&vue=eventail" or "#n=12;vue=eventail.html" (a
  // link of the site, whose "=" the generator writes "_": "#n_12;vue_eventail.html").
  function parametres() {
    var r = {};
    [location.search.slice(1), location.hash.slice(1)].forEach(function (texte) {
      texte.replace(/\.html$/, "").split(/[&;]/).forEach(function (paire) {
        var m = /^([a-z]+)[=_](.*)$/.exec(paire);
        if (m) {
          try { r[m[1]] = decodeURIComponent(m[2]); } catch (e) { r[m[1]] = m[2]; }
        }
      });
    });
    return r;
  }

  return {
    obtenir: obtenir, personne: personne, premier: premier, nomComplet: nomComplet,
    annees: annees, lien: lien, parametres: parametres, tranches: function () { return scripts().length; }
  };
})();
