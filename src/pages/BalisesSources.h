#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "pages/Balises.h"

namespace lignado {

class TBD;
class TVivants;

// The tags of sources, citations and the unions that cite them. Each reads the record whose
// number the expansion was given: a source ("<source:auteur>"), a citation number of a page
// ("<citation:page>", numbers from liste_citation), a union ("<union:mari>"). What the living
// rule or a RESN line hides gives nothing.
std::string SourceTag(TagState& s, const TagRow& row, std::string_view argument);
std::string CitationTag(TagState& s, const TagRow& row, std::string_view argument);
std::string UnionTag(TagState& s, const TagRow& row, std::string_view argument);

// Choices of the rows (TagRow::code).
enum SourceChoice : int { kAuteur, kPublication, kDepot, kNoteSource, kPubliee };
enum CitationChoice : int { kRang, kFait, kSource, kTitre, kPage, kTexte, kQualite };
enum UnionChoice : int { kMari, kFemme };

// The lists of sources, with evaluated arguments:
//   liste_citation(P)       the citation numbers of person P's page, in page order
//   liste_renvoi(P/FAIT)    those of one fact of P's page: FAIT is "nom", "note", an event
//                           kind (its first event, as "<eve:" reads it), or "conjoint/S" (the
//                           unions of P with spouse S and their events), or "evenement/E"
//                           (event E of liste_evenement, of P or of a union of P)
//   liste_citeur(S)         the persons shown who cite source S, by number
//   liste_citeurunion(S)    the unions shown that cite source S, by number
// None when kind is none of these.
std::optional<std::string> ListeSources(const TBD& db, const std::string& kind,
                                        const std::string& a, const TVivants* vivants);

}  // namespace lignado
