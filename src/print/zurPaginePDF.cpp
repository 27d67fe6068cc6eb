#include "print/zurPaginePDF.h"

#include "platform/Platform.h"
#include "platform/ZurError.h"
#include "platform/ZurOutputFile.h"

#include <QFileInfo>

TZurPaginePDF::TZurPaginePDF() = default;
TZurPaginePDF::~TZurPaginePDF() = default;

TZurPaginePDF::TResult TZurPaginePDF::Copia(const QString& sourcePath, bool allPages, const QString& pageList,
                                            const QString& proposedName) {
  if (!QFileInfo(sourcePath).isFile()) return TResult::NoSource;
  if (!m_pdf) m_pdf = std::make_unique<TPqlPdf>();
  TPqlPdf& pdf = *m_pdf;
  if (pdf.LoadFromFile(sourcePath) == 0) {
    VxMessageDlg(QStringLiteral("Errore durante l'apertura del PDF."), TMsgDlgType::Error,
                 TMsgDlgButtons::OK);
    return TResult::OpenFailed;
  }
  pdf.Unencrypt();
  const int source = pdf.SelectedDocument();
  const QString pages = allPages ? QStringLiteral("1-") + QString::number(pdf.PageCount()) : pageList;
  const int target = pdf.NewDocument();
  // Whatever happens next, the engine keeps no documents of this copy.
  struct TCleanup {
    TPqlPdf& pdf;
    int source, target;
    ~TCleanup() {
      pdf.RemoveDocument(source);
      pdf.RemoveDocument(target);
    }
  } cleanup{pdf, source, target};

  if (pdf.CopyPageRanges(source, pages) == 0) {
    VxMessageDlg(
        QStringLiteral(
            "Errore durante la copia delle pagine, provare a cambiare le pagine selezionate selezionati"),
        TMsgDlgType::Error, TMsgDlgButtons::OK);
    return TResult::CopyFailed;
  }
  pdf.DeletePages(1, 1);

  QString fileName = proposedName;
  if (!Platform().PromptForFileName(fileName, QStringLiteral("Adobe Acrobat (*.pdf)|*.pdf"),
                                    QStringLiteral("pdf"), QStringLiteral("Salva..."), QString(), true))
    return TResult::NotSaved;
  // A target that must not be written is refused before the overwrite
  // question, which would otherwise offer to replace it.
  try {
    zur::CheckOutputPath(fileName);
  } catch (const EZurError& e) {
    VxMessageDlg(e.message(), TMsgDlgType::Error, TMsgDlgButtons::OK);
    return TResult::WriteFailed;
  }
  if (QFileInfo::exists(fileName) &&
      VxMessageDlg(QStringLiteral("Sovrascrivere il file già presente?"), TMsgDlgType::Confirmation,
                   TMsgDlgButtons::YesNo) != TModalResult::Yes)
    return TResult::NotSaved;
  try {
    zur::WriteOutputFile(fileName, pdf.SaveToMemory(), false);
  } catch (const EZurError& e) {
    VxMessageDlg(QStringLiteral("Errore durante il salvataggio del file ") + fileName + QStringLiteral("\n") +
                     e.message(),
                 TMsgDlgType::Error, TMsgDlgButtons::OK);
    return TResult::WriteFailed;
  }
  VxMessageDlg(QStringLiteral("Creazione terminata con successo:\n\r") +
                   QFileInfo(fileName).absoluteFilePath(),
               TMsgDlgType::Information, TMsgDlgButtons::OK);
  return TResult::Saved;
}
