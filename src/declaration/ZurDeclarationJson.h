#pragma once

#include <QJsonObject>
#include <QStringList>

class TdmZurDati;

// The declaration as JSON, the exchange form of zur24-cli's get and set:
// an object keyed by dataset component name. cdsFrontespizio, cdsQuadroIK,
// cdsQuadroIR and cdsQuadroIS hold one object each (field name -> value);
// cdsQuadroIRVar holds an array of such objects, one per regional row in
// order. Values: strings for string and flag fields, numbers for integer and
// amount fields, "YYYY-MM-DD" for dates, null for an empty field.

// Reads the bytes of a declaration JSON (from `source`, named in messages).
// Stricter than JSON itself, so that what is stored is exactly what was
// written: refuses, with EZurError(Kind::File) naming the byte position, a
// text that is not JSON or not an object, a control character in a text
// (raw or escaped) other than tab, CR and LF, a \u escape of half a
// surrogate pair, and a name given twice in one object (which JSON readers
// would silently resolve by keeping one of the values).
QJsonObject ParseDeclarationJson(const QByteArray& bytes, const QString& source);

// The current declaration: the current cover page and the current view of
// each quadro (the module filters the quadri on the open declaration). A
// quadro without a record gives every field as null. Calculated fields (the
// row label RIGO) are included.
QJsonObject GetDeclarationJson(TdmZurDati& dati);

// Every reason why the object cannot be written into the current
// declaration, one line each, naming the dataset and the field: an unknown
// dataset or field, a store key (IAFIID, IFISRIGO, IIRAPID), the fiscal code
// (fixed when the declaration is created), a calculated field, a value of the
// wrong kind (text for a number, a fractional integer, an amount with more
// decimals than its field keeps, a date that is not a valid YYYY-MM-DD, a
// text longer than its field), a dataset given in the wrong shape. Empty when
// the object can be written.
QStringList ValidateDeclarationJson(TdmZurDati& dati, const QJsonObject& json);

// Writes the object into the current declaration through the datasets:
// each quadro object edits the quadro's record (inserting it when the
// declaration has none yet), the regional rows array replaces the rows of
// the current view; every post runs the datasets' rules. Only the fields
// given are written; an empty object leaves its dataset alone. Validates
// first: when anything is wrong, throws EZurError(Kind::Field) with every
// line of ValidateDeclarationJson and changes nothing. Nothing is saved: the
// caller saves.
void SetDeclarationJson(TdmZurDati& dati, const QJsonObject& json);
