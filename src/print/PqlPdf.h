#pragma once

#include <QString>
#include <map>
#include <memory>

class QPDF;

// The PDF engine behind printing and page export, on qpdf. It offers the
// engine operations the printing code was written against (Quick PDF's
// semantics: integer results, non-zero for success, documents addressed by
// id, a selected document and page) plus the checked wrapper operations
// (Check, SetLastOperation, VxDrawText).
//
// Text is drawn in the standard font Helvetica with WinAnsi encoding, so
// Italian letters print without embedding a font; a character outside
// WinAnsi prints as "?".
//
// Drawing is buffered per page and written into the page as one appended
// content stream (the page's own content wrapped in q/Q so that a model page
// that leaves its graphics state changed cannot move our text).
class TPqlPdf {
public:
  TPqlPdf();
  ~TPqlPdf();
  TPqlPdf(const TPqlPdf&) = delete;
  TPqlPdf& operator=(const TPqlPdf&) = delete;

  // --- engine operations ------------------------------------------------------
  // Loads a PDF; it becomes the selected document. Returns its id, 0 when the
  // file cannot be read as a PDF (or needs a password).
  int LoadFromFile(const QString& path);
  int SelectedDocument() const { return m_selected; }
  // 0 when no document has that id.
  int SelectDocument(int id);
  // A new document holding one blank A4 page, selected; returns its id.
  int NewDocument();
  // Drops a document; 0 when no document has that id.
  int RemoveDocument(int id);
  // qpdf already decrypts what it can open; kept for the callers that ask.
  int Unencrypt() { return m_selected != 0 ? 1 : 0; }
  // 1: origin at the top-left corner; anything else: bottom-left.
  void SetOrigin(int origin) { m_topLeft = origin == 1; }
  // 1: millimetres; anything else: points.
  void SetMeasurementUnits(int units) { m_mm = units == 1; }
  // Appends the pages of a range list ("1-5,7", 1-based) of the source
  // document to the selected one. 0 on an empty, malformed or out-of-range
  // list, in which case nothing is appended.
  int CopyPageRanges(int sourceId, const QString& ranges);
  int PageCount() const;
  // 1-based; 0 when out of range.
  int SelectPage(int page);
  // 0 when the range is not inside the document.
  int DeletePages(int first, int count);
  void SetTextSize(double points) { m_textSize = points; }
  // Text from (left, top), rotated counter-clockwise by angle degrees.
  int DrawRotatedText(double left, double top, double angle, const QString& text);
  // Writes the selected document; the previous file at path is replaced only
  // once the new one is complete. Deterministic bytes for the same input.
  // 0 on failure.
  int SaveToFile(const QString& path);
  // The bytes SaveToFile writes; throws EZurError when qpdf cannot write the
  // document or no document is selected.
  QByteArray SaveToMemory();

  // --- wrapper operations ---------------------------------------------------------
  // Throws EZurError "Errore PDF durante: <step>" for a zero result.
  static void Check(int result, const QString& step);
  void SetLastOperation(const QString& step) { m_lastOperation = step; }
  const QString& LastOperation() const { return m_lastOperation; }
  // The text at (x, y) in the current text size, aligned about x (0 left,
  // 1 right, 2 centre). With space > 0 each character is centred in its own
  // box space units wide, the boxes laid side by side from x (left), ending
  // at x (right) or centred on x: the one-character-per-box layout of the
  // form. With space 0 the text is drawn as one run.
  void VxDrawText(int x, int y, const QString& text, double space, int alignment);

  // Width of a text in the drawing font, in points at size 1.
  static double TextWidth(const QByteArray& winAnsi);
  // The text in WinAnsi (cp1252); characters outside it become '?'.
  static QByteArray ToWinAnsi(const QString& text);

private:
  struct Document;
  Document* Selected() const;
  void Flush();
  double ToPointsX(double v) const;
  double ToPointsY(double v) const;
  void EmitText(double xPt, double yPt, double angle, const QByteArray& text);

  std::map<int, std::unique_ptr<Document>> m_docs;
  int m_nextId = 1;
  int m_selected = 0;
  int m_page = 0; // 1-based selected page of the selected document
  bool m_topLeft = false;
  bool m_mm = false;
  double m_textSize = 12;
  double m_pageHeightPt = 841.89;
  QByteArray m_pending; // drawing operators for the selected page
  QString m_lastOperation;
};
