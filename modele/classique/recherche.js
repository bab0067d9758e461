// Lignado: finds a person of the site by any part of the surname or given names, accents and
// letter case ignored, in the browser alone: no server, so it works from a folder on a disk.
// The data scripts call personne(number)("surname")("given names")("birth")("death") once per
// person; the page links to "personne_n_" + number + ".html".
var lignadoPersonnes = [];

function personne(numero) {
  var p = [numero];
  lignadoPersonnes.push(p);
  var suite = function (valeur) {
    p.push(valeur);
    return suite;
  };
  return suite;
}

(function () {
  var MAXIMUM = 200;

  function plier(texte) {
    return texte.toLowerCase().replace(/\u0153/g, "oe").replace(/\u00e6/g, "ae")
      .replace(/\u00df/g, "ss").normalize("NFD").replace(/[\u0300-\u036f]/g, "");
  }

  function cle(p) {
    if (p.cle === undefined) {
      p.cle = plier(p[2] + " " + p[1]);
      p.tri = plier(p[1] + " " + p[2]);
    }
    return p.cle;
  }

  function ligne(p) {
    var li = document.createElement("li");
    var a = document.createElement("a");
    a.href = "personne_n_" + p[0] + ".html";
    a.appendChild(document.createTextNode(p[2] ? p[2] + " " : ""));
    var nom = document.createElement("span");
    nom.className = "nom";
    nom.textContent = p[1] || (p[2] ? "" : "(sans nom)");
    a.appendChild(nom);
    li.appendChild(a);
    var vie = (p[3] ? "\u00b0\u00a0" + p[3] : "") + (p[3] && p[4] ? " " : "") + (p[4] ? "\u2020\u00a0" + p[4] : "");
    if (vie) {
      var dates = document.createElement("span");
      dates.className = "dates";
      dates.textContent = " " + vie;
      li.appendChild(dates);
    }
    return li;
  }

  function chercher() {
    var champ = document.getElementById("q");
    var liste = document.getElementById("resultats");
    var compte = document.getElementById("compte");
    var mots = plier(champ.value).split(/\s+/).filter(function (m) { return m; });
    liste.textContent = "";
    if (!mots.length) {
      compte.textContent = "";
      return;
    }
    var trouves = lignadoPersonnes.filter(function (p) {
      var c = cle(p);
      return mots.every(function (m) { return c.indexOf(m) >= 0; });
    });
    trouves.sort(function (a, b) { return a.tri < b.tri ? -1 : a.tri > b.tri ? 1 : a[0] - b[0]; });
    var n = trouves.length;
    compte.textContent = n === 0 ? "Aucune personne trouv\u00e9e." :
      n === 1 ? "1 personne trouv\u00e9e." :
      n + " personnes trouv\u00e9es" + (n > MAXIMUM ? ", les " + MAXIMUM + " premi\u00e8res ci-dessous." : ".");
    var morceau = document.createDocumentFragment();
    trouves.slice(0, MAXIMUM).forEach(function (p) { morceau.appendChild(ligne(p)); });
    liste.appendChild(morceau);
  }

  // Windows-1252 characters of the bytes 0x80 to 0x9F.
  var HAUT = "\u20ac\u0081\u201a\u0192\u201e\u2026\u2020\u2021\u02c6\u2030\u0160\u2039\u0152" +
    "\u008d\u017d\u008f\u0090\u2018\u2019\u201c\u201d\u2022\u2013\u2014\u02dc\u2122\u0161" +
    "\u203a\u0153\u009d\u017e\u0178";

  // The text of "?q=": each run of escapes is UTF-8 when it reads as such, else Windows-1252
  // bytes ("th%E9r%E8se"); a "%" that starts no escape stays as written ("100%").
  function lireDemande(texte) {
    return texte.replace(/\+/g, " ").replace(/(%[0-9A-Fa-f]{2})+/g, function (suite) {
      try {
        return decodeURIComponent(suite);
      } catch (e) {
        return suite.replace(/%([0-9A-Fa-f]{2})/g, function (tout, hex) {
          var octet = parseInt(hex, 16);
          return octet >= 0x80 && octet < 0xa0 ? HAUT.charAt(octet - 0x80) : String.fromCharCode(octet);
        });
      }
    });
  }

  document.addEventListener("DOMContentLoaded", function () {
    var champ = document.getElementById("q");
    var demande = /[?&]q=([^&]*)/.exec(location.search);
    if (demande) champ.value = lireDemande(demande[1]);
    champ.addEventListener("input", chercher);
    chercher();
  });
})();
