#pragma once

#include <string>

namespace lignado {

// A GEDCOM date value read whole, whatever its calendar: the French Republican, Julian and
// Hebrew calendars (5.5 "@#DFRENCH R@" escapes and 7.0 "FRENCH_R" words), dual years
// ("1700/01"), qualifiers, ranges, INT with its phrase and phrases alone. Windows-1252 texts.

enum class Calendrier { Gregorien, Julien, Republicain, Hebreu };

struct PointDate {
  Calendrier calendar = Calendrier::Gregorien;
  int day = 0, month = 0, year = 0;  // 0: not given; months numbered in the file's order
  std::string dual;                  // the digits after "/" of a dual year
  bool beforeChrist = false;
};

struct DateOrigine {
  bool valid = false;     // false: not a date this reader understands; keep the text as given
  std::string qualifier;  // "", "ABT", "CAL", "EST", "BEF", "AFT", "BET", "FROM", "TO", "INT"
  PointDate first;
  PointDate second;  // the end of "BET ... AND ..." and "FROM ... TO ..."
  bool hasSecond = false;
  std::string phrase;  // the text in parentheses, without them
};

DateOrigine LitDateOrigine(const std::string& gedcomValue);

// The Julian day number of a point's first day (the 1st of its month, the first month of its
// year when not given); 0 when the point has no year or is not a date. A dual year counts as
// its later year.
long JourJulien(const PointDate& point);

// The day that sorts a date: the first point's, 0 for no date.
long JourDeTri(const DateOrigine& date);

// The date as a date text of the Gregorian calendar ("12/5/1900", "vers 1750", "apr\xE8s 1700
// avant 1710"), for ages and years: a point keeps its day and month when the file gives them
// (a month alone only in the Julian and Gregorian calendars, whose months match); "ABT",
// "CAL" and "EST" become "vers", "BEF" and "TO" "avant", "AFT" and "FROM" "apr\xE8s"; empty
// when the date is not valid or has no year.
std::string DateGregorienne(const DateOrigine& date);

// The date in French words as the file gives it: "2 pluvi\xF4se an I", "11 mars 1700/01",
// "calcul\xE9 1750", "entre 1809 et 1810", the phrase as written. Blanks inside a date are
// no-break spaces, but for the ones around "et" and "\xE0"; empty when the date is not valid.
std::string DateOrigineEnClair(const DateOrigine& date);

}  // namespace lignado
