#pragma once

#include "dataset/FieldTypes.h"

#include <QByteArray>
#include <QString>
#include <vector>

class QIODevice;

// The DATAPACKET XML format of client-dataset files, structure blobs and the
// query repository:
//
//   <?xml version="1.0" standalone="yes"?>
//   <DATAPACKET Version="2.0">
//     <METADATA>
//       <FIELDS>
//         <FIELD attrname="SIRAPCODFIS" fieldtype="string" WIDTH="20"/>
//         ...
//       </FIELDS>
//       <PARAMS/>
//     </METADATA>
//     <ROWDATA>
//       <ROW SIRAPCODFIS="..." .../>
//     </ROWDATA>
//   </DATAPACKET>
//
// One ROW attribute per non-null field. Field types:
//   string  WIDTH           String (width in characters)
//   i4                      Integer; read also: i1 i2 i8 ui1 ui2 ui4 (values
//                           must fit 32 bits)
//   fixed   DECIMALS WIDTH  Amount (DECIMALS 0..4, default 4), value with a
//                           dot ("1234.5"), read exactly, never through double;
//                           read also: fixedFMT
//   r8                      Float; r8 SUBTYPE="Money" is read as an Amount
//                           with 4 decimals; read also: r4
//   date                    Date, value YYYYMMDD
//   bin.hex SUBTYPE="Text"  Memo, the text itself (also SUBTYPE="WideText")
//   bin.hex SUBTYPE="Binary" Blob, base64 (also any other or no SUBTYPE)
// A calculated field is written as a FIELD with calculated="true" and never
// has values in ROWs. Line breaks and tabs in values are written as character
// references, so they come back exactly.

struct TDataPacketField {
  QString name;
  TFieldType type = TFieldType::String;
  int size = 0;      // String width, Amount decimals
  int precision = 0; // Amount digits (WIDTH of "fixed")
  bool calculated = false;
};

struct TDataPacket {
  std::vector<TDataPacketField> fields;
  // One entry per ROW, one value per non-calculated field in field order.
  std::vector<std::vector<TFieldValue>> rows;
};

// Reads a whole packet. Every flaw is an EZurError(Kind::File) whose message
// names fileName (or says "dati" when empty) and what is wrong: empty input,
// malformed or truncated XML, a DTD, unexpected elements or text, a missing
// or duplicate (case-insensitive) field name, an invalid field name, an
// unknown fieldtype or bad WIDTH/DECIMALS, a ROW attribute naming no stored
// field, a value that does not parse for its field (or a string longer than
// its WIDTH). file() of the error is fileName.
TDataPacket ReadDataPacket(const QByteArray& data, const QString& fileName = {});

// Writes the packet; the same fields and rows always give the same bytes.
// rows point at the stored values of each row (as in TDataPacket::rows).
// Throws EZurError(Kind::Field) naming the field when a text holds a
// character that XML 1.0 cannot carry (control characters other than tab,
// line feed and carriage return, U+FFFE, U+FFFF, unpaired surrogates): the
// file could not give it back. Throws EZurError(Kind::File) when the device
// refuses the bytes. Nothing is written to out when a value is refused.
void WriteDataPacket(QIODevice& out, const std::vector<TDataPacketField>& fields,
                     const std::vector<const std::vector<TFieldValue>*>& rows, const QString& fileName = {});
QByteArray WriteDataPacket(const std::vector<TDataPacketField>& fields,
                           const std::vector<const std::vector<TFieldValue>*>& rows);
