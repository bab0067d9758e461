#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "pages/Balises.h"

namespace lignado {

// Handlers of the tags that read the event whose number the expansion was given (the items of
// "liste_evenement"): "<\xE9v\xE9nement:genre>", ":date", ":lieu", ":note", ":\xE2ge". The row's
// code says which field.
namespace EventItemCode {
enum : int { Kind, Date, DateInWords, DateYear, Place, PlaceInWords, Note, Age };
}  // namespace EventItemCode
std::string EventItemField(TagState& state, const TagRow& row, std::string_view argument);

// Whether the living rule hides the event of that number: its person, or a spouse of its
// union, is hidden.
bool EventItemHidden(const TagState& state);

// For a date tag that reads the first event of a kind (":clair" and ":ann\xE9e" forms): its
// date in words as the file gives it, or the year of its Gregorian day, when the file wrote it
// in a form the stored text cannot hold; nothing otherwise.
bool OldCalendarForm(const TagState& state, const TagRow& row, char form, std::string& value);

// For "<eve:KIND,date:clair>": the date of the current union's (or person's) first event of
// that kind in words as the file gives it, when the stored text cannot hold it.
void OldCalendarEventWords(const TagState& state, const std::string& kind, std::string& value);

// For "<age>": the birth and death dates (the first of each) as Gregorian date texts when the
// file wrote them in a form the stored texts cannot hold.
void GregorianLifeDates(const TBD& db, int32_t p, std::string& birth, std::string& death);

// "liste_evenement(p)": person p's events in date order, as numbers for the tags above;
// "liste_evenement(p,N)": those of p's N-th union (as "<union N>"). None when hidden.
std::string EventList(const TBD& db, const std::string& person, const std::string& unionRank,
                      const TVivants* vivants);

}  // namespace lignado
