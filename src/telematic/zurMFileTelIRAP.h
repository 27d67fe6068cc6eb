#pragma once

#include "telematic/XMLNode.h"

#include <QString>
#include <memory>
#include <vector>

class TdmZurDati;
class TClientDataSet;

// The telematic-file module: builds the IRAP supply of the open declaration
// from the datasets of TdmZurDati, checks the quadro boxes of the signature
// against the quadri that hold data, and writes the file with the agency's
// prefixes, one tag per line.
class TdmZurFileTelIRAP {
public:
  enum class TEsito { None, Completed, Cancelled };

  explicit TdmZurFileTelIRAP(TdmZurDati& dati);
  TdmZurFileTelIRAP(const TdmZurFileTelIRAP&) = delete;
  TdmZurFileTelIRAP& operator=(const TdmZurFileTelIRAP&) = delete;

  // The whole run: supply counters, datasets filtered on the current
  // taxpayer, ControllaCaselle (with the Yes/No warning when the boxes
  // disagree), the document, the save and the prefix rewrite. With an empty
  // name the save dialog asks (proposing IRAP2025.xml in the Dich folder,
  // which is created). Returns Cancelled when the person said No or cancelled
  // the dialog; nothing is written then.
  // Errors: a missing field or a text that is not a whole number raise
  // EZurError naming the field before anything is written; a file that cannot
  // be written (a full disk included) or that must not be (see
  // zur::CheckOutputPath) raises EZurError(Kind::File) with the reason, and
  // no part of the new file is left on disk (an earlier file of that name
  // stays as it was). More than nine regional rows raise EZurError.
  TEsito CreaFileTelematico(const QString& fileName);
  TEsito Esito() const { return m_esito; }

  // True when the boxes LIRAPIK/IR/IS agree with the quadri that hold data;
  // detail gets the text of the warning in every case.
  bool ControllaCaselle(QString& detail) const;

  // Steps 4 and 5 of the run on the datasets as they stand (positioned and
  // filtered by the caller): the document in memory.
  std::unique_ptr<TXMLDocument> CostruisciDocumento() const;
  // The text of the file as written: the document serialised, its prefixes
  // rewritten, CR LF line ends. Texts and attribute values are kept out of
  // the rewrite, so that what a clerk typed reaches the file unchanged.
  static QString TestoFile(const TXMLDocument& doc);
  // The prefix rewrite on a serialised text (the agency's prefixes, one tag
  // per line, CR LF after every line).
  static QString RiscriviPrefissi(const QString& text);
  // The same on a file on disk, rewritten in place (atomically).
  static void RiscriviPrefissiFile(const QString& fileName);

  // The result file of the agency's checking program: in the program's Dich
  // folder when it exists there, else in the agency client's
  // Documenti/Esito/ folder when that client is installed, else the Dich
  // path.
  static QString ErrorDetailPath();
  // The folder and name the save dialog proposes.
  static QString DichDir();
  static constexpr const char* kNomeFile = "IRAP2025";

  // The builder's steps, public so that a caller can build any part.
  void ScriviIntestazione(TXMLNode& root) const;
  void ScriviDichiarazione(TXMLNode& root) const;
  void ScriviFrontespizio(TXMLNode& dichiarazione) const;
  void ScriviDatiContabili(TXMLNode& dichiarazione) const;
  void ScriviQuadroIK(TXMLNode& datiContabili) const;
  void ScriviQuadroIR(TXMLNode& datiContabili) const;
  void ScriviQuadroIRVar(TXMLNode& primoModulo) const;
  void ScriviQuadroIS(TXMLNode& datiContabili) const;

private:
  void PreparaDataSet();
  static void Salva(const QString& fileName, const QString& text);

  TdmZurDati& m_dati;
  TEsito m_esito = TEsito::None;
};

// What the telematic file dialog does around the run, without its window.
namespace zurtel {
// FormShow: the supplier's defaults (fiscal code from the intermediary, the
// school or the signatory; type "01"), posted at once.
void ImpostaFornitore(TClientDataSet& frontespizio);
// The mandatory checks of the create button: the error text, or an empty text
// when the run may start.
QString ControllaObbligatori(const TClientDataSet& frontespizio);
// The create button: the checks (shown as an error box), the run with the
// given file name (empty: the save dialog asks), the outcome message, and the
// removal of the agency checker's earlier result file. Returns None when a
// mandatory datum was missing. Errors of the run propagate; the result file
// is then left alone.
TdmZurFileTelIRAP::TEsito CreaFileDialogo(TdmZurFileTelIRAP& modulo, TClientDataSet& frontespizio,
                                          const QString& fileName);
} // namespace zurtel
