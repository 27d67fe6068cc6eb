#include "payroll/nymCQueryText.h"

#include "platform/zurUGlobal.h"
#include "db/ZurQuery.h"
#include "platform/Platform.h"
#include "platform/ZurError.h"

#include <QFileInfo>

namespace {

const QString kQuery = QStringLiteral("Query");
const QString kTipo = QStringLiteral("Tipo");
const QString kIndice = QStringLiteral("Indice");
const QString kSQL = QStringLiteral("SQL");

} // namespace

void TNymQueryText::DefineTable(TClientDataSet& table) {
  table.Close();
  table.ClearFields();
  table.AddFieldDef(kQuery, TFieldType::String, 60);
  table.AddFieldDef(kTipo, TFieldType::String, 20);
  table.AddFieldDef(kIndice, TFieldType::Integer);
  table.AddFieldDef(kSQL, TFieldType::Memo);
  table.CreateDataSet();
}

namespace {

bool IsText(TFieldType t) {
  return t == TFieldType::String || t == TFieldType::Memo;
}

bool IsWholeNumber(const QString& part) {
  if (part.isEmpty()) return false;
  for (QChar c : part)
    if (c.unicode() < '0' || c.unicode() > '9') return false;
  return true;
}

QString Key(const QString& query, const QString& tipo) {
  return query + QLatin1Char('\n') + tipo;
}

} // namespace

TNymQueryText::TNymQueryText() {
  DefineTable(m_table);
}

void TNymQueryText::Load(const QString& fileName) {
  m_byKey.clear();
  m_byName.clear();
  m_versions.clear();
  if (!QFileInfo::exists(fileName)) {
    DefineTable(m_table);
    return;
  }
  try {
    m_table.LoadFromFile(fileName);
    for (const QString& column : {kQuery, kTipo, kIndice, kSQL}) {
      const TField* f = m_table.FindField(column);
      const bool fits = f && !f->Calculated() &&
                        (column == kIndice ? f->DataType() == TFieldType::Integer : IsText(f->DataType()));
      if (!fits)
        throw EZurError(
            QStringLiteral("Il file '%1' non è un archivio di query: la colonna '%2' %3.")
                .arg(fileName, column, f ? QStringLiteral("ha un tipo errato") : QStringLiteral("manca")),
            EZurError::Kind::File, fileName);
    }
    m_table.SetIndexFieldNames(QString());
    m_table.SetFiltered(false);
    BuildLookup();
  } catch (...) {
    m_byKey.clear();
    m_byName.clear();
    m_versions.clear();
    DefineTable(m_table);
    throw;
  }
}

void TNymQueryText::BuildLookup() {
  const TField& query = m_table.FieldByName(kQuery);
  const TField& tipo = m_table.FieldByName(kTipo);
  const TField& indice = m_table.FieldByName(kIndice);
  const TField& sql = m_table.FieldByName(kSQL);
  // The first row of a key wins, as a search from the top would find it.
  for (m_table.First(); !m_table.Eof(); m_table.Next()) {
    const QString q = query.AsString(), t = tipo.AsString(), text = sql.AsString();
    if (!indice.IsNull()) {
      const QString key = Key(Key(q, t), QString::number(indice.AsInteger()));
      if (!m_byKey.contains(key)) m_byKey.insert(key, text);
    }
    if (!m_byName.contains(Key(q, t))) m_byName.insert(Key(q, t), text);
    if (!m_versions.contains(q)) m_versions.insert(q, t);
  }
  m_table.First();
}

void TNymQueryText::AssignStatement(const QString& name, TZurQuery& query, int variant,
                                    const QString& kind) const {
  query.SetSQL(QString());
  query.ClearParams();
  const QString tipo = kind.isEmpty() ? QStringLiteral("EXECUTE") : kind;
  const auto it = m_byKey.constFind(Key(Key(name.toUpper(), tipo), QString::number(variant)));
  if (it != m_byKey.constEnd()) query.SetSQL(*it);
  if (query.SQL().isEmpty()) throw EZurError(QStringLiteral("Query: ") + name, EZurError::Kind::Assertion);
}

QString TNymQueryText::StatementText(const QString& name, const QString& kind) const {
  const QString text = m_byName.value(Key(name, kind));
  if (text.isEmpty()) throw EZurError(QStringLiteral("Query : ") + name, EZurError::Kind::Assertion);
  return text;
}

QString TNymQueryText::MinimumVersion(const QString& executableName) const {
  return m_versions.value(QStringLiteral("VER_") + QFileInfo(executableName).fileName().toUpper());
}

bool TNymQueryText::CheckVersion(const QString& currentVersion, const QString& executableName) const {
  return CheckVersion(currentVersion, executableName, zur::ApplicationTitle());
}

bool TNymQueryText::CheckVersion(const QString& currentVersion, const QString& executableName,
                                 const QString& applicationTitle) const {
  const QString record = QStringLiteral("VER_") + QFileInfo(executableName).fileName().toUpper();
  const bool found = m_versions.contains(record);
  const QString minimum = m_versions.value(record);
  if (found && !IsVersionLower(currentVersion, minimum)) return true;
  VxMessageDlg(QStringLiteral("AGGIORNARE IL PROGRAMMA \"%1\".%2Versione minima richiesta: %3.")
                   .arg(applicationTitle, QStringLiteral("\r\n"), minimum),
               TMsgDlgType::Error, TMsgDlgButtons::OK);
  return false;
}

bool TNymQueryText::IsVersionLower(const QString& current, const QString& minimum) {
  if (current == minimum) return false;
  const QStringList cur = current.split(QLatin1Char('.')), min = minimum.split(QLatin1Char('.'));
  for (int i = 0; i < 3; ++i) {
    if (i >= cur.size() || i >= min.size() || !IsWholeNumber(cur[i]) || !IsWholeNumber(min[i])) return true;
    // Compare as numbers of any length: without leading zeros, the longer is
    // the greater.
    QString a = cur[i], b = min[i];
    while (a.size() > 1 && a.startsWith(QLatin1Char('0')))
      a.remove(0, 1);
    while (b.size() > 1 && b.startsWith(QLatin1Char('0')))
      b.remove(0, 1);
    if (a.size() != b.size()) return a.size() < b.size();
    if (a != b) return a < b;
  }
  return false;
}

TNymQueryText& QueryText() {
  static TNymQueryText repository;
  return repository;
}
