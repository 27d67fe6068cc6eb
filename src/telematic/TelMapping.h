#pragma once

#include <QString>
#include <span>

class TClientDataSet;
class TXMLNode;

// The engine that reads the builder's mapping tables: each row names an
// element path, a dataset field, the way the field is read and the condition
// under which the element is written. The tables themselves (TelTables.cpp)
// are data; nothing else in the builder decides what goes where.
namespace zurtel {

// How a field becomes the element's text.
enum class TRule : unsigned char {
  T,     // text, trimmed
  UT,    // trimmed text upper-cased (accented letters included)
  N,     // trimmed text as a whole number; anything else ends the run
  NRaw,  // the stored text as a whole number, not trimmed first
  I,     // the field's integer value (amounts rounded to whole euros)
  D,     // date as ddmmyyyy
  MY,    // date as mmyyyy
  F,     // 0 when the trimmed text is empty or "0" (an unticked box), else 1
  Raw,   // the stored text unchanged
  Anno,  // integer; from 2001 on, the last two digits of the year (2023 -> 23)
  Denom, // the name of the taxpayer, cleaned (TestoPulito, capitals, no degree sign)
};

// When the element is written.
enum class TCond : unsigned char {
  Always,
  TNotEmpty,      // trimmed text not empty
  RawNotEmpty,    // stored text not empty
  NotZero,        // integer value != 0
  Positive,       // integer value > 0
  IsOne,          // integer value == 1
  NotNull,        // the field holds a value
  DateSet,        // a date after the zero date
  TextIntNotZero, // the text read as a whole number (0 when it is not one) != 0
};

enum class TOp : unsigned char {
  Write, // write the element when the condition holds; otherwise skip `skip` rows
  Or,    // no element: the condition joins the next Gate
  Gate,  // no element: when neither this condition nor a pending Or holds, skip `skip` rows
};

struct TTelRow {
  TOp op;
  const char* path; // below the base node, "A/B/C"; empty: the base node itself
  // '#' stands for the suffix of the block or item, '#+1' for the suffix plus
  // one at the same width, '$' for the suffix without leading zeros.
  const char* field;
  TRule rule;
  TCond cond;
  // Write: when the condition fails, skip this many rows; negative: when the
  // element is written, skip that many (the rest of a choice). Gate: the rows
  // to skip when it fails.
  int skip;
};

// A repeated block: for each suffix, when any gate condition holds, a new
// item with itemTag is appended under listPath and the item rows are written
// into it. With firstGates, the later suffixes are looked at only when the first
// was written.
struct TTelGate {
  const char* field;
  TCond cond;
};
struct TTelList {
  const char* listPath; // empty: the items go directly into the base node
  const char* itemTag;
  std::span<const TTelGate> gates;
  std::span<const char* const> suffixes;
  std::span<const TTelRow> rows;
  bool firstGates;
};

// Writes the rows in order. Errors: a field missing from the dataset and a
// text that is not a whole number where a number is needed raise EZurError
// naming the field; what was written before stays in the document, which the
// run then throws away.
void ApplyRows(TXMLNode& base, const TClientDataSet& ds, std::span<const TTelRow> rows,
               const QString& suffix = {});
void ApplyList(TXMLNode& base, const TClientDataSet& ds, const TTelList& list);
// The condition alone, for the few decisions made in code.
bool Holds(const TClientDataSet& ds, const QString& field, TCond cond);
// Whole-number conversion of a text, raising the run's error naming the field.
qint64 ToInteger(const QString& text, const QString& field);

// TXMlUtil: trim, then every double quote becomes an apostrophe.
QString TestoPulito(const QString& text);
// A date text dd/mm/yyyy as month and year, left-padded with "0" to width.
QString MeseAnno(const QString& dateText, int width);

// The section tables, in output order.
std::span<const TTelRow> FrontespizioRows();
const TTelList& FirmaRevisoreList();
std::span<const TTelRow> FrontespizioTailRows();
std::span<const TTelRow> ProdSoftwareRows();
std::span<const TTelRow> QuadroIKRows();
const TTelList& RipartizioneRegionaleList();
std::span<const TTelRow> VersamentoRows();
std::span<const TTelRow> QuadroIRVarRows();
// Quadro IS: the sections in order, rows and lists interleaved.
struct TTelSection {
  std::span<const TTelRow> rows;
  const TTelList* list;
};
std::span<const TTelSection> QuadroISSections();

} // namespace zurtel
