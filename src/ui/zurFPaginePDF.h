#pragma once

#include "print/zurPaginePDF.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

// "Copia pagine PDF": copies all the pages, or a list of pages, of any PDF
// into a new PDF file chosen in the save dialog. A developer's tool for
// cutting pages out of the ministerial model. The dialog keeps one PDF engine
// from its first copy until it closes.
class TfmZurPaginePDF : public QDialog {
public:
  explicit TfmZurPaginePDF(QWidget* parent = nullptr);
  ~TfmZurPaginePDF() override;

  // "...": the open dialog; the chosen file goes into edFileName. The focus
  // moves to "Copia" whatever the answer.
  void buSfogliaClick();
  // "Copia": see TZurPaginePDF::Copia; the messages are the platform's. An
  // unexpected error is shown and leaves the dialog open.
  TZurPaginePDF::TResult buCopiaClick();

  QLineEdit* edFileName;
  QPushButton* buSfoglia;
  QRadioButton* raTutteLePagine;
  QRadioButton* raPersonalizzate;
  QLineEdit* edPersonalizza;
  QLabel* laEsempio;
  QPushButton* buChiudi;
  QPushButton* buCopia;

private:
  TZurPaginePDF m_pagine;
};
