#pragma once

#include "forms/ZurFormDescription.h"
#include "ui/ZurDataControls.h"

#include <QScrollArea>
#include <QWidget>
#include <map>
#include <memory>

class QLineEdit;
class QRadioButton;
class QToolBar;
class QAction;

// The controls of one form row's fields, built from the form description:
// the kind of control, its tag, value list and read-only / disabled / Tab /
// hidden rules. Each control is named after its field.
QWidget* CreateFieldControl(const zurform::TFormField& field, QWidget* parent);

// A page of the declaration laid out like the form: sections with their
// white title panel on the left, form rows with their code and caption, the
// controls in form order (which is also the Tab order). Every control is
// bound to dsMain; the main window attaches dsMain to its dataset.
class TfrZurFrame : public QScrollArea {
public:
  TfrZurFrame(zurform::TFormPage page, QWidget* parent);
  ~TfrZurFrame() override;

  TZurDataSource dsMain;
  const zurform::TFormPage& Page() const { return m_page; }
  // The control of a field, or nullptr.
  QWidget* Control(const QString& fieldName) const;
  TZurDataControl* DataControl(const QString& fieldName) const;

protected:
  // Lays out the page; subclasses add what is their own.
  void Build();
  virtual QWidget* CreateControl(const zurform::TFormField& field, QWidget* parent);

  zurform::TFormPage m_page;
  std::map<QString, QWidget*> m_controls;
};

class TfrZurFrontespizio : public TfrZurFrame {
public:
  TfrZurFrontespizio(zurform::TFormPage page, QWidget* parent);
  QRadioButton* rbSessoM = nullptr;
  QRadioButton* rbSessoF = nullptr;
  // After a declaration is opened: "M" or "F" checks its button, anything
  // else leaves both as they are.
  void ShowSex();
  // For a new declaration: neither button.
  void ClearSex();

protected:
  QWidget* CreateControl(const zurform::TFormField& field, QWidget* parent) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  void SetSex(const QString& value);
};

class TfrZurQuadroIK : public TfrZurFrame {
public:
  TfrZurQuadroIK(zurform::TFormPage page, QWidget* parent) : TfrZurFrame(std::move(page), parent) { Build(); }
};

class TfrZurQuadroIR : public TfrZurFrame {
public:
  TfrZurQuadroIR(zurform::TFormPage page, QWidget* parent) : TfrZurFrame(std::move(page), parent) { Build(); }
};

class TfrZurQuadroIS : public TfrZurFrame {
public:
  TfrZurQuadroIS(zurform::TFormPage page, QWidget* parent) : TfrZurFrame(std::move(page), parent) { Build(); }
};

// The regional rows: a grid of four blocks, one record each, the current
// record's block editable and the others showing their records; a toolbar
// to move, insert, delete, edit, confirm and cancel; the counter "2 di 5"
// ("Ins." for a new record not yet confirmed).
class TfrZurQuadroIRVar : public QWidget {
public:
  TfrZurQuadroIRVar(zurform::TFormPage page, QWidget* parent);
  ~TfrZurQuadroIRVar() override;

  TZurDataSource dsMain;
  void GoFirstRow();
  const zurform::TFormPage& Page() const { return m_page; }
  // The control of a field in the block of the current record.
  QWidget* Control(const QString& fieldName) const;
  int Rows() const { return int(m_blocks.size()); }

  QToolBar* tbNavigator;
  QAction* acPrimo;
  QAction* acPrecedente;
  QAction* acSuccessivo;
  QAction* acUltimo;
  QAction* acInserisci;
  QAction* acCancella;
  QAction* acModifica;
  QAction* acConferma;
  QAction* acAnnulla;
  QLineEdit* edModulo;

protected:
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  struct TBlock {
    QWidget* panel = nullptr;
    std::map<QString, QWidget*> controls;
  };
  void Run(const std::function<void(TClientDataSet&)>& action);
  void DataChanged();
  void StateChanged();
  void Repaint();

  zurform::TFormPage m_page;
  std::vector<TBlock> m_blocks;
  int m_top = 1;
  int m_live = -1;
  bool m_painting = false;
};
