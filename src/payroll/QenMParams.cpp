#include "payroll/QenMParams.h"

#include "platform/zurUGlobal.h"
#include "db/VxParamManager.h"
#include "db/VxSQLConnection.h"
#include "db/ZurQuery.h"
#include "payroll/nymCQueryText.h"
#include "platform/Platform.h"
#include "platform/ZurError.h"

namespace {

TdmQenParams* g_params = nullptr;

// The financial years a clerk may choose go up to the declaration's year of
// filing; the chart-of-accounts check concerns years from 2019 on, when the
// payroll moved to the new chart.
const QString kLastYear = QStringLiteral("2025");
const QString kChartYear = QStringLiteral("2019");
constexpr int kChartYearId = 50; // financial-year id of 2019
constexpr int kTypeFamily = 500001;
constexpr int kType2019 = 200001;

} // namespace

TdmQenParams* dmQenParams() { return g_params; }
void SetDmQenParams(TdmQenParams* params) { g_params = params; }

TdmQenParams::TdmQenParams(TVxSQLConnection* connection)
    : m_connection(connection), m_paramManager(std::make_unique<TVxParamManager>(connection)),
      m_qquPaco(std::make_unique<TZurQuery>()), m_qquAppoggio(std::make_unique<TZurQuery>()) {
  m_qquPaco->SetConnection(connection);
  m_qquAppoggio->SetConnection(connection);
  TQenUtil::AssignStatement(QStringLiteral("QRY_PACO_ANF"), *m_qquPaco, QStringLiteral("SELECT"));
}

TdmQenParams::~TdmQenParams() {
  if (g_params == this) g_params = nullptr;
}

QVariant TdmQenParams::GetParams(const QString& key) const { return m_paramManager->GetParams(key); }

QVariant TdmQenParams::GeneralParameter(const QString& column) {
  if (!m_qquPaco->Active()) m_qquPaco->Open();
  return m_qquPaco->FieldByName(column).AsVariant();
}

bool TdmQenParams::xpmVxuParamsCheckValue(const QString& category, const QString& key,
                                          const std::optional<QString>& selectedText) {
  if (category != QLatin1String(VXUC_Params)) return true;
  bool valid = selectedText.has_value();
  if (valid && key == QLatin1String(VXUP_AnfId)) {
    const QString text = *selectedText;
    // Text comparison, as the editor's entries are four-digit years.
    valid = text.compare(kLastYear) <= 0;
    if (valid && text.compare(kChartYear) >= 0) {
      m_qquAppoggio->Close();
      TQenUtil::AssignStatement(QStringLiteral("QRY_NAF_EFFETTUATO"), *m_qquAppoggio);
      m_qquAppoggio->ParamByName(QStringLiteral("IANFID")).SetInteger(kChartYearId);
      m_qquAppoggio->Open();
      const qint64 totale = m_qquAppoggio->FieldByName(QStringLiteral("TOTALE")).AsInteger();
      m_qquAppoggio->Close();
      if (totale <= 0) valid = EnsureChartOfAccounts();
    }
  }
  return valid;
}

bool TdmQenParams::ChartOfAccountsTest(int typeId) {
  m_qquAppoggio->Close();
  TQenUtil::AssignStatement(QStringLiteral("QRY_NAF_CONTI_TEST"), *m_qquAppoggio);
  m_qquAppoggio->ParamByName(QStringLiteral("ITIMID")).SetInteger(typeId);
  m_qquAppoggio->Open();
  const bool found = !m_qquAppoggio->Eof();
  m_qquAppoggio->Close();
  return found;
}

QString TdmQenParams::ChartOfAccountsTool() { return zur::ExeDir() + QStringLiteral("qen-pianoconti2019"); }

bool TdmQenParams::EnsureChartOfAccounts() {
  const QVariant famiglia = GeneralParameter(QStringLiteral("LPACOAFAM"));
  if (famiglia.toString().trimmed() == QLatin1String("1")) return true;
  if (ChartOfAccountsTest(kTypeFamily) || ChartOfAccountsTest(kType2019)) return true;
  const QString database = m_connection ? m_connection->DatabaseName() : QString();
  // One argument, the database name: the quotes the family puts around it on
  // a command line are word-splitting, not part of the name.
  Platform().RunAndWait(ChartOfAccountsTool(), {database});
  return ChartOfAccountsTest(kType2019);
}
