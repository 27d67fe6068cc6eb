#pragma once

#include <QDate>
#include <QString>

class TdmQenParams;

// A financial or school year of the payroll family: its database id and its
// dates. The year is read from the year tables through the connection of the
// attached parameter module.
class TnymAnno {
public:
  explicit TnymAnno(TdmQenParams* params = nullptr) : m_params(params) {}
  virtual ~TnymAnno() = default;
  TnymAnno(const TnymAnno&) = delete;
  TnymAnno& operator=(const TnymAnno&) = delete;

  // Reads the dates of the year with this id; 0 means the default id (a user
  // parameter). Needing the default without a parameter module is an
  // assertion failure. An id without a row leaves null dates, empty texts and
  // start year 0; a failing statement throws EZurError and changes nothing.
  virtual void Load(int id);

  int Id() const { return m_id; }
  QDate DataInizio() const { return m_inizio; }
  QDate DataFine() const { return m_fine; }
  int AnnoInizio() const { return m_annoInizio; }
  // The dates as "mm/dd/yyyy"; empty for a null date.
  const QString& TestoInizio() const { return m_testoInizio; }
  const QString& TestoFine() const { return m_testoFine; }

  TdmQenParams* Params() const { return m_params; }
  void SetParams(TdmQenParams* params) { m_params = params; }

protected:
  virtual QString StatementText() const = 0;
  virtual int DefaultId() const = 0;

private:
  TdmQenParams* m_params;
  int m_id = 0;
  QDate m_inizio;
  QDate m_fine;
  int m_annoInizio = 0;
  QString m_testoInizio;
  QString m_testoFine;
};

class TnymAnnoScolastico : public TnymAnno {
public:
  using TnymAnno::TnymAnno;

protected:
  QString StatementText() const override;
  // VXUP_AnsId: 0 when null or not a number.
  int DefaultId() const override;
};

class TnymAnnoFinanziario : public TnymAnno {
public:
  using TnymAnno::TnymAnno;

  // The financial-year id of a year number: year - 1969 from 1970 on (2024 is
  // 55); a smaller number is an id already.
  static int IdFromYear(int year);
  // Converts the text to a number, then to the id, and loads it. A text that
  // is not a whole number throws EZurError and changes nothing.
  void SetByYear(const QString& yearText);

protected:
  QString StatementText() const override;
  // VXUP_AnfId: 0 when null or not a number.
  int DefaultId() const override;
};

// The payroll package's financial year: before loading it attaches the
// program's parameter module when none is attached.
class TqenAnnoFinanziario : public TnymAnnoFinanziario {
public:
  using TnymAnnoFinanziario::TnymAnnoFinanziario;
  void Load(int id) override;
};

// The program-wide year objects, alive for the whole run.
TqenAnnoFinanziario& QenAnnoFinanziario();
TnymAnnoScolastico& NymAnnoScolastico();
