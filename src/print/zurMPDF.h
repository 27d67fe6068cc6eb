#pragma once

#include "print/PqlPdf.h"
#include "print/zurXMLPdfConf.h"

#include <QDomDocument>
#include <QString>
#include <memory>

class TClientDataSet;

// The print formats of a coordinate file's Edit/Type, applied to a field's
// text (Italian form). An empty text prints empty whatever the code; an
// unknown code prints the text unchanged. Besides the form's own codes, DG
// prints a date kept in a number field as a count of days from 30/12/1899
// ("45292" prints "01 01 2024"; 0 or less prints nothing). Throws
// EZurError(Kind::Field) for a text that does not parse as a number (TR, TA,
// DG) or a date (DT, DA).
QString FormatPrintValue(const QString& text, const QString& code);
// Edit/Alignment without regard to case: "TACENTER" 2, "TARIGHTJUSTIFY" 1,
// anything else 0 (left).
int PrintAlignment(const QString& alignment);

// The printing half of the declaration data module: a print run copies pages
// of the ministerial model into a new document, draws the fields named by a
// coordinate file onto them and saves the result. The datasets live in the
// derived module; a section of a coordinate file names one by its component
// name, looked up through DataSetByName.
class TdmZurPDF {
public:
  TdmZurPDF();
  virtual ~TdmZurPDF();
  TdmZurPDF(const TdmZurPDF&) = delete;
  TdmZurPDF& operator=(const TdmZurPDF&) = delete;

  // The dataset behind a section name; nullptr for a name that is none.
  virtual TClientDataSet* DataSetByName(const QString& component) = 0;

  // Starts a run: "File mancante " + path for a missing model (tested
  // first) or coordinate file; the coordinate file's own errors (malformed
  // XML, no PdfConf); engine failures naming their step. Returns true.
  bool LoadModel(const QString& modelPath, const QString& coordPath);
  // Appends page n of the model, selects it and stamps the imprint.
  void CopyModelPage(int n);
  // The first page named exactly so: its template page copied and all its
  // sections drawn with index 0, stopping at the first edit that reports
  // false. False when no file is loaded or no page has the name.
  bool PrintPage(const QString& pageName);
  // One section (names compared ignoring case) drawn with a repetition
  // index onto the page last copied. False when not found.
  bool PrintSection(const QString& pageName, const QString& sectionName, int index);
  // The engine's result, unchecked.
  int DeleteOutputPages(int first, int count);
  // Refuses a path that must not be written (zur::CheckOutputPath), creates
  // the folder, writes the output (the previous file is replaced only by a
  // complete new one; a failed write throws EZurError(Kind::File) with the
  // reason) and hands the file to the platform to open.
  void SaveOutput(const QString& path);

  // The four print drivers; with an empty path they write the fixed file
  // under the program root's print folder. Each prints the pages its group
  // always has (INTESTA and FRONTE; IK; IR, then IRVAR with the regional
  // rows; IS to IS4) and after them the continuation pages its coordinate
  // file holds for a form that runs longer (see FormPageName).
  void PrintFrontespizio(const QString& outFile = {});
  void PrintQuadroIK(const QString& outFile = {});
  void PrintQuadroIR(const QString& outFile = {});
  void PrintQuadroIS(const QString& outFile = {});

  // The template of the print layout: pages 22 and 23 of a ministerial model
  // with the imprint, saved to outFile (the cover page's coordinate file
  // must exist though nothing of it is used).
  void CreatePrintTemplate(const QString& modelPath, const QString& outFile);
  // The same with the developer menu's dialogs: "Apri PDF ministeriale IRAP"
  // for the model (cancel: nothing happens) and "Salva il template con nome"
  // for the result (cancel: nothing is saved). False when either was
  // cancelled.
  bool CreatePrintTemplate();

  // The name of page n (0-based) of a group's form rows in the coordinate
  // file coordFile ("Frontespizio.xml", "QuadroIK.xml", "QuadroIR.xml",
  // "QuadroIS.xml"): the fixed names first, then continuation pages named
  // after the last fixed one with a number: INTESTA, FRONTE, FRONTE2, ...;
  // IK, IK2, ...; IR, IR2, ...; IS, IS2, IS3, IS4, IS5, ... Throws
  // EZurError for another file name.
  static QString FormPageName(const QString& coordFile, int n);

  // Paths under the program root directory.
  static QString ModelPath();
  static QString CoordPath(const QString& fileName);
  static QString OutputPath(const QString& fileName);

  // The imprint drawn on every copied page: a line along the left edge,
  // reading upwards, in the 4 mm strip left of the form's margin.
  static const QString& ImprintText();
  static constexpr double kImprintLeft = 7;
  static constexpr double kImprintTop = 200;

  TPqlPdf* Engine() const { return m_pdf.get(); }
  const QDomDocument& XMLConfig() const { return m_xmlConfig; }

private:
  bool DrawEdit(const TXMLEditType& edit, int index);
  // The group's fixed pages, then its continuation pages while the file has
  // the next one.
  void PrintFormPages(const QString& coordFile);
  void SetModuleCount(const char* field);
  void Finish(const QString& outFile, const char* fixedName);

  QDomDocument m_xmlConfig;
  bool m_xmlActive = false;
  QString m_coordFile;
  std::unique_ptr<TPqlPdf> m_pdf;
  int m_baseDoc = 0;
  int m_outputDoc = 0;
};
