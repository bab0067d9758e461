// Lignado: "Quel est notre lien de parenté ?" Two persons picked with the search box; the path
// between them through their nearest common ancestors and the French name of the relation, read
// from the data scripts of the site, only those that hold the persons on the way.
// The address keeps the pair: parente.html#a=12&b=34.
var lignadoNomLien;
(function () {
  "use strict";
  var F = lignadoFamille;
  var MAX_GENERATIONS = 400;
  var MAX_ETAPES = 60; // steps of a path beyond blood

  function ordinal(k) {
    return k + (k === 1 ? "re" : "e");
  }

  function arrieres(k) {
    var t = "";
    for (var i = 0; i < k; ++i) t += "arri\u00e8re-";
    return t;
  }

  // sexe: "homme", "femme" or anything else (unknown).
  function forme(sexe, m, f, n) {
    return sexe === "homme" ? m : sexe === "femme" ? f : n === undefined ? m : n;
  }

  // The ancestor k generations up, named for its sex.
  function ancetre(k, sexe) {
    if (k === 1) return forme(sexe, "p\u00e8re", "m\u00e8re", "parent");
    if (k <= 6) return arrieres(k - 2) + forme(sexe, "grand-p\u00e8re", "grand-m\u00e8re", "grand-parent");
    return "anc\u00eatre \u00e0 la " + ordinal(k) + " g\u00e9n\u00e9ration";
  }

  function descendant(k, sexe) {
    if (k === 1) return forme(sexe, "fils", "fille", "enfant");
    if (k <= 6) return arrieres(k - 2) + forme(sexe, "petit-fils", "petite-fille", "petit-enfant");
    return forme(sexe, "descendant", "descendante") + " \u00e0 la " + ordinal(k) + " g\u00e9n\u00e9ration";
  }

  function cousin(k, sexe) {
    if (k === 2) return forme(sexe, "cousin germain", "cousine germaine");
    if (k === 3) return forme(sexe, "cousin issu de germain", "cousine issue de germain");
    return forme(sexe, "cousin", "cousine") + " au " + ordinal(k - 1) + " degr\u00e9";
  }

  function un(sexe, nom) {
    return (sexe === "femme" ? "d'une " : "d'un ") + nom;
  }

  // The name of the relation of a person A to a person B, A being montees generations below
  // their nearest common ancestor and B descentes generations below it: what A is to B.
  // sexe: A's; demi: the siblings share one parent only; relais: the sex of the person on the
  // path at the other one's generation, for the cousins of unequal generations.
  lignadoNomLien = function (montees, descentes, sexe, demi, relais) {
    var a = montees, b = descentes;
    if (a === 0 && b === 0) return "";
    if (a === 0) return ancetre(b, sexe);
    if (b === 0) return descendant(a, sexe);
    if (a === 1 && b === 1)
      return (demi ? "demi-" : "") + forme(sexe, "fr\u00e8re", "s\u0153ur");
    if (a === 1) {
      if (b === 2) return forme(sexe, "oncle", "tante");
      if (b <= 7) return arrieres(b - 3) + forme(sexe, "grand-oncle", "grand-tante");
      return forme(sexe, "fr\u00e8re", "s\u0153ur") + " " + un(relais, ancetre(b - 1, relais));
    }
    if (b === 1) {
      if (a === 2) return forme(sexe, "neveu", "ni\u00e8ce");
      if (a <= 7) return arrieres(a - 3) + forme(sexe, "petit-neveu", "petite-ni\u00e8ce");
      return descendant(a - 1, sexe) + " " + un(relais, forme(relais, "fr\u00e8re", "s\u0153ur"));
    }
    if (a === b) return cousin(a, sexe);
    if (a === 2 && b === 3) return forme(sexe, "oncle", "tante") + " \u00e0 la mode de Bretagne";
    if (a === 3 && b === 2) return forme(sexe, "neveu", "ni\u00e8ce") + " \u00e0 la mode de Bretagne";
    if (a < b) return cousin(a, sexe) + " " + un(relais, ancetre(b - a, relais));
    return descendant(a - b, sexe) + " " + un(relais, cousin(b, relais));
  };

  function article(sexe, nom) {
    if (/^[aeiouy\u00e0-\u00ff]/i.test(nom)) return "l'" + nom;
    return (sexe === "femme" ? "la " : "le ") + nom;
  }

  function de(nom) {
    return /^[aeiouy\u00c0-\u00dd\u00e0-\u00ff]/i.test(nom) ? "d'" + nom : "de " + nom;
  }

  // Generations up from a person: distance and the child each ancestor was reached from.
  function Montee(n) {
    this.dist = Object.create(null);
    this.par = Object.create(null);
    this.dist[n] = 0;
    this.front = [n];
    this.niveau = 0;
  }
  Montee.prototype.etape = function () {
    var self = this;
    return F.obtenir(this.front).then(function () {
      var suivant = [];
      self.front.forEach(function (n) {
        var p = F.personne(n);
        if (!p) return;
        [p.pere, p.mere].forEach(function (q) {
          if (q && self.dist[q] === undefined) {
            self.dist[q] = self.niveau + 1;
            self.par[q] = n;
            suivant.push(q);
          }
        });
      });
      self.front = suivant;
      ++self.niveau;
    });
  };
  Montee.prototype.chemin = function (ancetre) {
    var c = [ancetre];
    while (this.par[c[c.length - 1]] !== undefined) c.push(this.par[c[c.length - 1]]);
    return c.reverse(); // from the person up to the ancestor
  };

  // The nearest common ancestors of a and b: each with its generations from a and from b.
  function communs(a, b) {
    var ma = new Montee(a), mb = new Montee(b);
    function meilleurs() {
      var best = Infinity, liste = [];
      for (var q in ma.dist) {
        if (mb.dist[q] === undefined) continue;
        var s = ma.dist[q] + mb.dist[q];
        if (s < best) { best = s; liste = []; }
        if (s === best) liste.push(Number(q));
      }
      return { somme: best, liste: liste };
    }
    function tour() {
      var m = meilleurs();
      var fini = (!ma.front.length && !mb.front.length) || ma.niveau >= MAX_GENERATIONS;
      if (m.liste.length && ma.niveau >= m.somme && mb.niveau >= m.somme) fini = true;
      if (fini) return { ma: ma, mb: mb, somme: m.somme, liste: m.liste };
      return Promise.all([ma.etape(), mb.etape()]).then(tour);
    }
    return tour();
  }

  function sexeDe(n) {
    var p = F.personne(n);
    return p ? p.sexe : "inconnu";
  }

  // Without parents and children a person has no blood relative: no need to climb the other's tree.
  function seul(n) {
    var p = F.personne(n);
    return !p.pere && !p.mere && !p.enfants.length;
  }

  function lienDeSang(a, b) {
    if (seul(a) || seul(b)) return Promise.resolve(null);
    return Promise.resolve(communs(a, b)).then(function (r) {
      if (!r.liste.length) return null;
      // The ancestors of the relation the first of them gives, with its spouse when it is one too.
      var c = r.liste[0], da = r.ma.dist[c], db = r.mb.dist[c];
      var meme = r.liste.filter(function (q) { return r.ma.dist[q] === da && r.mb.dist[q] === db; });
      var montee = r.ma.chemin(c), descente = r.mb.chemin(c).reverse();
      var demi = false;
      if (da === 1 && db === 1 && meme.length === 1) {
        var pa = F.personne(a), pb = F.personne(b);
        var autreA = pa.pere === c ? pa.mere : pa.pere, autreB = pb.pere === c ? pb.mere : pb.pere;
        demi = autreA > 0 && autreB > 0 && autreA !== autreB;
      }
      // The person at the other's generation: B's ancestor when A is higher, A's when lower.
      var relais = da < db ? descente[da] : da > db ? montee[da - db] : c;
      return {
        nom: lignadoNomLien(da, db, sexeDe(a), demi, sexeDe(relais)),
        ancetres: meme, chemin: montee.concat(descente.slice(1))
      };
    });
  }

  // A path through parents, children and spouses, for persons of no common blood.
  function cheminQuelconque(a, b) {
    var venu = {}, vu = {};
    venu[a] = { de: 0, cote: "a" };
    vu[b] = { de: 0, cote: "b" };
    var fa = [a], fb = [b], etapes = 0;
    function voisins(n) {
      var p = F.personne(n);
      if (!p) return [];
      return [p.pere, p.mere].concat(p.enfants, p.conjoints).filter(function (x) { return x > 0; });
    }
    function rejoint(x, y) {
      var ca = [], cb = [];
      for (var q = x; q; q = venu[q].de) ca.push(q);
      for (var r = y; r; r = vu[r].de) cb.push(r);
      return ca.reverse().concat(cb);
    }
    function tour() {
      if (!fa.length || !fb.length || etapes >= MAX_ETAPES) return null;
      ++etapes;
      var cote = fa.length <= fb.length ? "a" : "b";
      var front = cote === "a" ? fa : fb;
      return F.obtenir(front).then(function () {
        var suivant = [], trouve = null;
        front.forEach(function (n) {
          voisins(n).forEach(function (x) {
            if (trouve) return;
            var ici = cote === "a" ? venu : vu, la = cote === "a" ? vu : venu;
            if (ici[x]) return;
            ici[x] = { de: n };
            if (la[x]) trouve = cote === "a" ? rejoint(x, la[x].de) : rejoint(la[x].de, x);
            suivant.push(x);
          });
        });
        if (trouve) return trouve;
        if (cote === "a") fa = suivant; else fb = suivant;
        return tour();
      });
    }
    return tour();
  }

  // How one step of a path reads: "fils de", "mère de", "épouse de".
  function pas(x, y) {
    var px = F.personne(x), py = F.personne(y);
    if (!px || !py) return "";
    if (px.pere === y || px.mere === y) return forme(px.sexe, "fils", "fille", "enfant") + " de";
    if (py.pere === x || py.mere === x) return forme(px.sexe, "p\u00e8re", "m\u00e8re", "parent") + " de";
    if (px.conjoints.indexOf(y) >= 0) return forme(px.sexe, "\u00e9poux", "\u00e9pouse", "conjoint") + " de";
    return "";
  }

  function lienPersonne(n) {
    var p = F.personne(n);
    var a = document.createElement("a");
    a.href = F.lien(p);
    a.textContent = F.nomComplet(p);
    return a;
  }

  function afficheChemin(zone, chemin) {
    var ol = document.createElement("ol");
    ol.className = "chemin";
    chemin.forEach(function (n, i) {
      var li = document.createElement("li");
      li.setAttribute("data-n", String(n));
      li.appendChild(lienPersonne(n));
      var vie = F.annees(F.personne(n));
      if (vie) li.appendChild(document.createTextNode(" (" + vie + ")"));
      if (i + 1 < chemin.length) {
        var role = document.createElement("span");
        role.className = "role";
        role.textContent = ", " + pas(n, chemin[i + 1]);
        li.appendChild(role);
      }
      ol.appendChild(li);
    });
    zone.appendChild(ol);
  }

  function phrase(zone, a, texte, b) {
    var p = document.createElement("p");
    p.className = "verdict";
    p.appendChild(lienPersonne(a));
    p.appendChild(document.createTextNode(" " + texte + " "));
    p.appendChild(lienPersonne(b));
    p.appendChild(document.createTextNode("."));
    zone.appendChild(p);
    return p;
  }

  var calcul = 0;
  function calculer(a, b) {
    var zone = document.getElementById("resultat");
    var numero = ++calcul;
    zone.textContent = "Recherche du lien\u2026";
    zone.removeAttribute("data-paire");
    return F.obtenir([a, b]).then(function () {
      var pa = F.personne(a), pb = F.personne(b);
      if (!pa || !pb) return { absent: true };
      if (a === b) return { meme: true };
      // Of two groups that nothing links: no relation to look for.
      if (pa.groupe && pb.groupe && pa.groupe !== pb.groupe) return { autre: null };
      return lienDeSang(a, b).then(function (sang) {
        if (sang) return { sang: sang };
        return Promise.resolve(cheminQuelconque(a, b)).then(function (c) { return { autre: c }; });
      });
    }).then(function (r) {
      if (numero !== calcul) return; // another pair was asked for meanwhile
      zone.textContent = "";
      if (r.absent) zone.textContent = "Personne introuvable.";
      else if (r.meme) zone.textContent = "C'est la m\u00eame personne.";
      else {
        var pa = F.personne(a), pb = F.personne(b);
        if (pa.conjoints.indexOf(b) >= 0) {
          phrase(zone, a, "est " + article(pa.sexe, forme(pa.sexe, "\u00e9poux", "\u00e9pouse", "conjoint")) + " de", b);
        }
        if (r.sang) {
          var s = r.sang;
          phrase(zone, a, "est " + (pa.conjoints.indexOf(b) >= 0 ? "aussi " : "") + article(pa.sexe, s.nom) + " de", b)
            .setAttribute("data-lien", s.nom);
          if (s.ancetres[0] !== a && s.ancetres[0] !== b) {
            var anc = document.createElement("p");
            anc.className = "communs";
            anc.appendChild(document.createTextNode(s.ancetres.length > 1 ?
              "Anc\u00eatres communs les plus proches\u00a0: " : "Anc\u00eatre commun le plus proche\u00a0: "));
            s.ancetres.forEach(function (q, i) {
              if (i) anc.appendChild(document.createTextNode(" et "));
              anc.appendChild(lienPersonne(q));
            });
            zone.appendChild(anc);
          }
          afficheChemin(zone, s.chemin);
        } else if (r.autre && pa.conjoints.indexOf(b) < 0) {
          var p = document.createElement("p");
          p.className = "verdict";
          p.textContent = "Pas de lien de sang entre " + F.nomComplet(pa) + " et " + F.nomComplet(pb) + "\u00a0; voici le chemin qui les relie\u00a0:";
          zone.appendChild(p);
          afficheChemin(zone, r.autre);
        } else if (!r.autre) {
          zone.textContent = "Aucun lien trouv\u00e9 entre " + F.nomComplet(pa) + " et " + F.nomComplet(pb) + ".";
        }
      }
      zone.setAttribute("data-paire", a + "-" + b);
    });
  }

  // The search boxes, on the names of the search page's data scripts, loaded at the first key.
  var noms = null;
  window.personne = function (numero) {
    var p = [numero];
    noms.push(p);
    var suite = function (v) { p.push(v); return suite; };
    return suite;
  };
  function chargerNoms() {
    if (noms) return noms.pret;
    noms = [];
    var modele = document.getElementById("donnees-noms");
    var fichiers = [];
    if (modele && modele.content)
      modele.content.querySelectorAll("script[src]").forEach(function (s) { fichiers.push(s.getAttribute("src")); });
    noms.pret = Promise.all(fichiers.map(function (f) {
      return new Promise(function (ok) {
        var s = document.createElement("script");
        s.src = f;
        s.onload = s.onerror = ok;
        document.head.appendChild(s);
      });
    }));
    return noms.pret;
  }

  function plier(texte) {
    return texte.toLowerCase().replace(/\u0153/g, "oe").replace(/\u00e6/g, "ae")
      .replace(/\u00df/g, "ss").normalize("NFD").replace(/[\u0300-\u036f]/g, "");
  }

  var choix = { a: 0, b: 0 };
  function choisir(cote, n) {
    choix[cote] = n;
    var p = F.parametres();
    var a = cote === "a" ? n : Number(p.a) || 0, b = cote === "b" ? n : Number(p.b) || 0;
    location.hash = "a=" + a + "&b=" + b;
  }

  function boite(cote) {
    var champ = document.getElementById("q" + cote), liste = document.getElementById("r" + cote);
    function chercher() {
      chargerNoms().then(function () {
        var mots = plier(champ.value).split(/\s+/).filter(Boolean);
        liste.textContent = "";
        if (!mots.length) return;
        var trouves = noms.filter(function (p) {
          if (p.cle === undefined) p.cle = plier((p[2] || "") + " " + (p[1] || ""));
          return mots.every(function (m) { return p.cle.indexOf(m) >= 0; });
        }).slice(0, 30);
        trouves.forEach(function (p) {
          var li = document.createElement("li");
          var bouton = document.createElement("button");
          bouton.type = "button";
          bouton.setAttribute("data-n", String(p[0]));
          bouton.textContent = (p[2] ? p[2] + " " : "") + (p[1] || "") +
            (p[3] || p[4] ? " (" + (p[3] ? "\u00b0\u00a0" + p[3] : "") + (p[3] && p[4] ? " " : "") + (p[4] ? "\u2020\u00a0" + p[4] : "") + ")" : "");
          bouton.addEventListener("click", function () {
            liste.textContent = "";
            champ.value = "";
            choisir(cote, p[0]);
          });
          li.appendChild(bouton);
          liste.appendChild(li);
        });
      });
    }
    champ.addEventListener("input", chercher);
  }

  function montrerChoix() {
    var p = F.parametres();
    var a = Number(p.a) || 0, b = Number(p.b) || 0;
    return F.obtenir([a, b]).then(function () {
      [["a", a], ["b", b]].forEach(function (c) {
        var zone = document.getElementById("p" + c[0]);
        zone.textContent = "";
        var q = F.personne(c[1]);
        if (q) zone.appendChild(lienPersonne(c[1]));
        else zone.textContent = "(personne \u00e0 choisir)";
      });
      if (F.personne(a) && F.personne(b)) return calculer(a, b);
      document.getElementById("resultat").textContent = "";
    });
  }

  document.addEventListener("DOMContentLoaded", function () {
    if (!document.getElementById("resultat")) return;
    boite("a");
    boite("b");
    window.addEventListener("hashchange", montrerChoix);
    montrerChoix();
  });
})();
