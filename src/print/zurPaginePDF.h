#pragma once

#include "print/PqlPdf.h"

#include <QString>
#include <memory>

// The page export ("Copia pagine PDF") without its window: copies all pages
// or a range list of a PDF into a new file chosen through the platform's
// save dialog. Messages go through the platform layer in the dialog's words.
class TZurPaginePDF {
public:
  TZurPaginePDF();
  ~TZurPaginePDF();

  enum class TResult {
    NoSource,    // no file at the source path: nothing happens, nothing is said
    OpenFailed,  // "Errore durante l'apertura del PDF."
    CopyFailed,  // the page list was refused
    NotSaved,    // save dialog cancelled or overwrite refused
    WriteFailed, // the target is refused (its reason shown) or could not be written
    Saved        // "Creazione terminata con successo:" + path
  };

  // "Copia": allPages copies 1-PageCount, otherwise pageList as typed. The
  // destination comes from the save dialog (proposedName is its proposal);
  // an existing file is replaced only after "Sovrascrivere il file già
  // presente?" is answered Yes. A write that fails is reported as an error,
  // never as success, and leaves any previous file as it was.
  TResult Copia(const QString& sourcePath, bool allPages, const QString& pageList,
                const QString& proposedName = {});

  // The dialog's engine (created at the first copy, kept until destruction).
  TPqlPdf* Engine() const { return m_pdf.get(); }

private:
  std::unique_ptr<TPqlPdf> m_pdf;
};
