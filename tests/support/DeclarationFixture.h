#pragma once

#include "dataset/ClientDataSet.h"
#include "declaration/zurMDati.h"

#include <QString>

// Helpers shared by the tests of the declaration data module, the checks and
// the JSON exchange form.
namespace zurtest {

inline QString Q(const char* text) {
  return QString::fromUtf8(text);
}

inline TField& Fld(const TClientDataSet& ds, const char* name) {
  return ds.FieldByName(QString::fromLatin1(name));
}

// A module whose datasets have the catalogue's structure, without a store,
// holding one cover page that looks saved (IAFIID 7, IIRAPID 1000001) and
// opened as the current declaration.
inline void OpenCatalogueDeclaration(TdmZurDati& dati, int afiId = 7, int id = 1000001,
                                     const char* fiscalCode = "97123450583") {
  if (!dati.AllActive()) dati.CreateFromCatalogue();
  TClientDataSet& f = dati.cdsFrontespizio;
  f.Append();
  Fld(f, "IIRAPID").SetAsInteger(id);
  Fld(f, "IAFIID").SetAsInteger(afiId);
  Fld(f, "SIRAPCODFIS").SetAsString(QString::fromLatin1(fiscalCode));
  f.Post();
  f.MergeChangeLog();
  dati.EnterDeclaration(id);
}

} // namespace zurtest
