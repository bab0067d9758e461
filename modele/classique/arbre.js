// Lignado: the charts of a person, drawn as SVG in the browser from the site's data scripts:
// ancestors as a fan or as a tree, descendants as a tree, 4 to 8 generations. A click on a
// person centres the chart on them; the address keeps the choice (#n=12&vue=eventail&g=5).
(function () {
  "use strict";
  var F = lignadoFamille;
  var SVG = "http://www.w3.org/2000/svg";
  var VUES = { eventail: 5, ascendants: 4, descendants: 4 };
  var MAX_CASES = 3000; // a descendant tree stops growing past this many persons

  function el(nom, attributs, parent) {
    var e = document.createElementNS(SVG, nom);
    for (var a in attributs) e.setAttribute(a, attributs[a]);
    if (parent) parent.appendChild(e);
    return e;
  }

  function etat() {
    var p = F.parametres();
    var vue = VUES[p.vue] ? p.vue : "eventail";
    var g = Math.round(Number(p.g));
    if (!(g >= 4 && g <= 8)) g = VUES[vue];
    return { n: Number(p.n) > 0 ? Number(p.n) : 0, vue: vue, g: g };
  }

  function adresse(e) {
    return "#n=" + e.n + "&vue=" + e.vue + "&g=" + e.g;
  }

  // A text cut to a number of characters.
  function coupe(texte, max) {
    if (max < 2) return "";
    return texte.length <= max ? texte : texte.slice(0, max - 1) + "\u2026";
  }

  function prenom(p) {
    return p.prenoms.split(" ")[0];
  }

  // The link that centres the chart on a person, around what draws them.
  function caseDe(p, e, parent) {
    var a = el("a", {
      href: adresse({ n: p.n, vue: e.vue, g: e.g }),
      "class": "case " + (p.sexe === "homme" ? "homme" : p.sexe === "femme" ? "femme" : "inconnu") +
        (p.masque ? " masque" : ""),
      "data-n": String(p.n),
      "aria-label": F.nomComplet(p) + (F.annees(p) ? ", " + F.annees(p) : "")
    }, parent);
    el("title", {}, a).textContent = F.nomComplet(p) + (F.annees(p) ? " " + F.annees(p) : "");
    return a;
  }

  // Ancestors by Sosa number (1 the person, 2k and 2k+1 the father and mother of k), g generations.
  function ascendants(n, g) {
    var sosa = { 1: n };
    var niveau = [n];
    var chaine = Promise.resolve();
    function etage(k) {
      return F.obtenir(niveau).then(function () {
        if (k >= g) return;
        var suivant = [];
        var debut = Math.pow(2, k - 1);
        for (var s = debut; s < debut * 2; ++s) {
          var p = sosa[s] && F.personne(sosa[s]);
          if (!p) continue;
          if (p.pere) { sosa[2 * s] = p.pere; suivant.push(p.pere); }
          if (p.mere) { sosa[2 * s + 1] = p.mere; suivant.push(p.mere); }
        }
        niveau = suivant;
        return etage(k + 1);
      });
    }
    return chaine.then(function () { return etage(1); }).then(function () { return sosa; });
  }

  function eventail(svg, sosa, e) {
    var r0 = 70, largeurs = [0, 0, 70, 70, 70, 110, 110, 110, 110];
    var rayons = [0, r0];
    for (var k = 2; k <= e.g; ++k) rayons[k] = rayons[k - 1] + largeurs[k];
    var R = rayons[e.g], marge = 6;
    svg.setAttribute("viewBox", [-R - marge, -R - marge, 2 * (R + marge), R + r0 + 2 * marge].join(" "));
    function point(r, a) {
      return [r * Math.sin(a), -r * Math.cos(a)];
    }
    for (var k2 = e.g; k2 >= 1; --k2) {
      var nb = Math.pow(2, k2 - 1);
      for (var i = 0; i < nb; ++i) {
        var s = nb + i, n = sosa[s], p = n && F.personne(n);
        var parent = p ? caseDe(p, e, svg) : el("g", { "class": "case vide" }, svg);
        if (k2 === 1) {
          el("circle", { cx: 0, cy: 0, r: r0 }, parent);
          if (p) texteCentre(parent, p, 0, -8, 2 * r0 - 10, 1);
          continue;
        }
        var a0 = -Math.PI / 2 + Math.PI * i / nb, a1 = a0 + Math.PI / nb;
        var ri = rayons[k2 - 1], re = rayons[k2];
        var p0 = point(ri, a0), p1 = point(re, a0), p2 = point(re, a1), p3 = point(ri, a1);
        el("path", {
          d: "M" + p0 + "L" + p1 + "A" + re + "," + re + " 0 0 1 " + p2 + "L" + p3 + "A" + ri + "," + ri + " 0 0 0 " + p0 + "Z"
        }, parent);
        if (!p) continue;
        var am = (a0 + a1) / 2, rm = (ri + re) / 2, c = point(rm, am), deg = am * 180 / Math.PI;
        var g = el("g", { transform: "translate(" + c + ")" }, parent);
        if (k2 <= 4) {
          // Along the arc.
          g.setAttribute("transform", g.getAttribute("transform") + " rotate(" + deg + ")");
          texteCentre(g, p, 0, -6, rm * (a1 - a0) - 6, k2);
        } else {
          // Along the radius, read from the centre out on the right, in on the left.
          g.setAttribute("transform", g.getAttribute("transform") + " rotate(" + (deg < 0 ? deg + 90 : deg - 90) + ")");
          texteCentre(g, p, 0, -2, re - ri - 8, k2, rm * (a1 - a0));
        }
      }
    }
  }

  // Name and years centred at (x, y), within a width; a narrow case gets one line.
  function texteCentre(parent, p, x, y, largeur, generation, hauteur) {
    var taille = generation <= 2 ? 13 : generation <= 4 ? 11 : 10;
    if (hauteur !== undefined && hauteur < 2 * taille) taille = Math.max(5, Math.min(taille, hauteur - 2));
    var car = Math.floor(largeur / (taille * 0.55));
    var t = el("text", { x: x, y: y, "font-size": taille, "text-anchor": "middle" }, parent);
    var ligne1 = el("tspan", { x: x }, t);
    ligne1.textContent = coupe(generation <= 2 ? F.nomComplet(p) : prenom(p) + " " + p.nom, car);
    var vie = F.annees(p);
    if (vie && (hauteur === undefined || hauteur >= 2 * taille + 2)) {
      var ligne2 = el("tspan", { x: x, dy: taille * 1.2, "class": "annees" }, t);
      ligne2.textContent = coupe(vie, car);
    } else {
      t.setAttribute("y", y + taille / 3);
    }
  }

  var BOITE = { l: 190, h: 40, ecart: 34, pas: 48 };

  function boite(svg, p, e, x, y) {
    var a = caseDe(p, e, svg);
    el("rect", { x: x, y: y - BOITE.h / 2, width: BOITE.l, height: BOITE.h, rx: 4 }, a);
    texteCentre(a, p, x + BOITE.l / 2, y - 3, BOITE.l - 10, 3);
  }

  function trait(svg, x0, y0, x1, y1) {
    var xm = (x0 + x1) / 2;
    el("path", { "class": "trait", d: "M" + x0 + "," + y0 + "H" + xm + "V" + y1 + "H" + x1 }, svg);
  }

  function arbreAscendants(svg, sosa, e) {
    var lignes = Math.pow(2, e.g - 1), haut = lignes * BOITE.pas;
    svg.setAttribute("viewBox", "0 0 " + (e.g * (BOITE.l + BOITE.ecart)) + " " + haut);
    function y(s, k) {
      var nb = Math.pow(2, k - 1);
      return (s - nb + 0.5) * haut / nb;
    }
    for (var k = 1; k <= e.g; ++k) {
      var nb = Math.pow(2, k - 1);
      for (var s = nb; s < 2 * nb; ++s) {
        var p = sosa[s] && F.personne(sosa[s]);
        if (!p) continue;
        var x = (k - 1) * (BOITE.l + BOITE.ecart);
        if (k > 1) trait(svg, x - BOITE.ecart, y(s >> 1, k - 1), x, y(s, k));
        boite(svg, p, e, x, y(s, k));
      }
    }
  }

  // Descendants to g generations, as long as the tree stays drawable.
  function descendants(n, g) {
    var arbre = { n: n, enfants: [] };
    var niveau = [arbre], compte = 1, coupe = false;
    function etage(k) {
      return F.obtenir(niveau.map(function (x) { return x.n; })).then(function () {
        var conjoints = [];
        niveau.forEach(function (x) {
          var p = F.personne(x.n);
          if (p) conjoints = conjoints.concat(p.conjoints);
        });
        return F.obtenir(conjoints);
      }).then(function () {
        if (k >= g) return;
        var suivant = [];
        niveau.forEach(function (x) {
          var p = F.personne(x.n);
          if (!p) return;
          p.enfants.forEach(function (c) {
            if (compte >= MAX_CASES) { coupe = true; return; }
            var fils = { n: c, enfants: [] };
            x.enfants.push(fils);
            suivant.push(fils);
            ++compte;
          });
        });
        niveau = suivant;
        if (suivant.length) return etage(k + 1);
      });
    }
    return etage(1).then(function () { return { arbre: arbre, coupe: coupe }; });
  }

  function arbreDescendants(svg, arbre, e) {
    var ligne = 0, profondeur = 1;
    function place(x, k) {
      profondeur = Math.max(profondeur, k);
      if (!x.enfants.length) {
        x.y = (ligne++ + 0.5) * BOITE.pas;
      } else {
        x.enfants.forEach(function (c) { place(c, k + 1); });
        x.y = (x.enfants[0].y + x.enfants[x.enfants.length - 1].y) / 2;
      }
    }
    place(arbre, 1);
    svg.setAttribute("viewBox", "0 0 " + (profondeur * (BOITE.l + BOITE.ecart)) + " " + Math.max(ligne, 1) * BOITE.pas);
    function dessine(x, k) {
      var p = F.personne(x.n);
      if (!p) return;
      var gauche = (k - 1) * (BOITE.l + BOITE.ecart);
      x.enfants.forEach(function (c) {
        trait(svg, gauche + BOITE.l, x.y, gauche + BOITE.l + BOITE.ecart, c.y);
        dessine(c, k + 1);
      });
      boite(svg, p, e, gauche, x.y);
      var conj = p.conjoints.map(F.personne).filter(Boolean).map(F.nomComplet).join(", ");
      if (conj) {
        var t = el("text", { x: gauche + 4, y: x.y + BOITE.h / 2 + 9, "class": "conjoint", "font-size": 8, "data-de": String(p.n) }, svg);
        t.textContent = coupe("\u221e " + conj, 44);
      }
    }
    dessine(arbre, 1);
  }

  function dessiner() {
    var zone = document.getElementById("arbre");
    var e = etat();
    var racine = Number(zone.getAttribute("data-racine"));
    var debut = e.n ? Promise.resolve(e.n) : racine > 0 ? Promise.resolve(racine) : F.premier();
    return debut.then(function (n) {
      e.n = n;
      return F.obtenir([n]);
    }).then(function () {
      var p = F.personne(e.n);
      var titre = document.getElementById("centre");
      formulaire(e);
      if (!p) {
        zone.textContent = "";
        titre.textContent = "Personne introuvable.";
        return;
      }
      titre.textContent = "";
      var lien = document.createElement("a");
      lien.href = F.lien(p);
      lien.textContent = F.nomComplet(p);
      titre.appendChild(lien);
      if (F.annees(p)) titre.appendChild(document.createTextNode(" (" + F.annees(p) + ")"));
      var travail = e.vue === "descendants" ? descendants(e.n, e.g) : ascendants(e.n, e.g);
      return travail.then(function (donnees) {
        if (etat().n !== e.n && etat().n) return; // another person was asked for meanwhile
        var svg = el("svg", { role: "group", "class": "graphique " + e.vue });
        svg.setAttribute("aria-label", (e.vue === "descendants" ? "Descendance de " : "Ascendance de ") + F.nomComplet(p));
        if (e.vue === "eventail") eventail(svg, donnees, e);
        else if (e.vue === "ascendants") arbreAscendants(svg, donnees, e);
        else arbreDescendants(svg, donnees.arbre, e);
        var vb = svg.getAttribute("viewBox").split(" ").map(Number);
        svg.setAttribute("width", vb[2]);
        svg.setAttribute("height", vb[3]);
        zone.textContent = "";
        zone.appendChild(svg);
        var note = document.getElementById("note");
        note.textContent = e.vue === "descendants" && donnees.coupe ?
          "Descendance trop nombreuse : seules les " + MAX_CASES + " premi\u00e8res personnes sont dessin\u00e9es." : "";
        document.body.setAttribute("data-centre", String(e.n));
      });
    });
  }

  function formulaire(e) {
    document.getElementById("vue").value = e.vue;
    document.getElementById("generations").value = String(e.g);
  }

  document.addEventListener("DOMContentLoaded", function () {
    var vue = document.getElementById("vue"), gen = document.getElementById("generations");
    function change(nouvelleVue) {
      var e = etat();
      if (nouvelleVue) { e.vue = vue.value; e.g = VUES[e.vue]; } else e.g = Number(gen.value);
      location.hash = adresse(e);
    }
    vue.addEventListener("change", function () { change(true); });
    gen.addEventListener("change", function () { change(false); });
    document.getElementById("imprimer").addEventListener("click", function () { window.print(); });
    window.addEventListener("hashchange", dessiner);
    dessiner();
  });
})();
