#pragma once

#include "dataset/ClientDataSet.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <functional>
#include <vector>

class QToolButton;
class TZurDataControl;

// The data source of a frame or dialog ("dsMain"): the one place that says
// which dataset its controls show. Attaching another dataset rebinds every
// control at once; observers hear of data and state changes (the regional
// rows' counter).
class TZurDataSource : public TDataLink {
public:
  TZurDataSource() = default;
  ~TZurDataSource() override;

  void Attach(TClientDataSet* dataSet);
  void Register(TZurDataControl* control);
  void Unregister(TZurDataControl* control);
  const std::vector<TZurDataControl*>& Controls() const { return m_controls; }

  std::function<void()> OnDataChange; // rows, scroll or values changed
  std::function<void()> OnStateChange;

protected:
  void ActiveChanged() override;
  void DataSetChanged() override;
  void DataSetScrolled() override;
  void EditingChanged() override;
  void RecordChanged(TField* field) override;

private:
  std::vector<TZurDataControl*> m_controls;
};

// What every data-aware control shares: its field, its data source and its
// tag (the code table of a lookup). The control shows the current record's
// value, puts the dataset into edit mode on the first change and writes
// through the field, so every rule of the declaration module runs. A value
// the field refuses is reported and the control keeps the text typed.
class TZurDataControl : public TDataLink {
public:
  explicit TZurDataControl(QWidget* widget, QString fieldName);
  ~TZurDataControl() override;

  QWidget* Widget() const { return m_widget; }
  const QString& FieldName() const { return m_fieldName; }
  TZurDataSource* DataSource() const { return m_source; }
  void SetDataSource(TZurDataSource* source);
  // The bound field; nullptr while unbound, closed or without that field.
  TField* Field() const;
  int Tag = 0;

  // Shows the current value again.
  void Refresh();
  // Shows a text without a field (the other records of a control grid).
  virtual void ShowDetached(const QString& text) = 0;
  // Writes what the control shows into the field; false when refused (the
  // message has been shown).
  bool Commit();

protected:
  virtual void Show(const TField* field) = 0;
  // The control's value for the field; nullptr leaves the field unchanged.
  virtual bool Store(TField& field) = 0;
  // Enters edit mode when browsing; false when the dataset cannot edit.
  bool BeginEdit();
  void ActiveChanged() override { Refresh(); }
  void DataSetChanged() override { Refresh(); }
  void DataSetScrolled() override { Refresh(); }
  void RecordChanged(TField* field) override;

  bool m_showing = false;

private:
  QWidget* m_widget;
  QString m_fieldName;
  TZurDataSource* m_source = nullptr;
};

// Free text: written on every accepted keystroke so that no typed value
// waits on the control when the dataset posts.
class TZurDBEdit : public QLineEdit, public TZurDataControl {
public:
  TZurDBEdit(const QString& fieldName, QWidget* parent = nullptr);
  void ShowDetached(const QString& text) override;
  bool UpperCase = false;

protected:
  void Show(const TField* field) override;
  bool Store(TField& field) override;
};

// A code with a button that opens its code table. The decoration gives the
// button the standard lookup unless OnButtonClick is already set, and F8
// presses the button.
class TZurDBLookupEdit : public TZurDBEdit {
public:
  TZurDBLookupEdit(const QString& fieldName, QWidget* parent = nullptr);
  std::function<void()> OnButtonClick;
  void Click();
  QAction* Button() const { return m_button; }

private:
  QAction* m_button;
};

// A date with a calendar. Amount fields that hold a day number (days since
// 30/12/1899, as the state-aid dates are kept) are shown as dates too.
class TZurDBDateEdit : public QDateEdit, public TZurDataControl {
public:
  TZurDBDateEdit(const QString& fieldName, QWidget* parent = nullptr);
  void ShowDetached(const QString& text) override;

protected:
  void Show(const TField* field) override;
  bool Store(TField& field) override;
};

// A flag: ValueChecked when ticked, ValueUnchecked when not.
class TZurDBCheckBox : public QCheckBox, public TZurDataControl {
public:
  TZurDBCheckBox(const QString& fieldName, const QString& caption, QWidget* parent = nullptr);
  void ShowDetached(const QString& text) override;
  QString ValueChecked = QStringLiteral("1");
  QString ValueUnchecked = QStringLiteral("0");

protected:
  void Show(const TField* field) override;
  bool Store(TField& field) override;
};

// A fixed list of values; the list is the only way to set the field.
class TZurDBComboBox : public QComboBox, public TZurDataControl {
public:
  TZurDBComboBox(const QString& fieldName, const QStringList& values, QWidget* parent = nullptr);
  void ShowDetached(const QString& text) override;

protected:
  void Show(const TField* field) override;
  bool Store(TField& field) override;
};

// Shows a field, never edits it.
class TZurDBText : public QLabel, public TZurDataControl {
public:
  TZurDBText(const QString& fieldName, QWidget* parent = nullptr);
  void ShowDetached(const QString& text) override;

protected:
  void Show(const TField* field) override;
  bool Store(TField&) override { return true; }
};

// The data control a widget is, or nullptr.
TZurDataControl* AsDataControl(QObject* object);
