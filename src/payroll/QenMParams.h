#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <memory>
#include <optional>

class TVxSQLConnection;
class TVxParamManager;
class TZurQuery;

// The payroll parameter module: the user parameters (working group,
// financial year, school year), the payroll's general parameters and the
// check of a financial-year choice made in the parameter editor.
class TdmQenParams {
public:
  // Binds both queries to the connection and assigns the general-parameters
  // statement (QRY_PACO_ANF) from the query repository; a repository without
  // it throws the repository's assertion error.
  explicit TdmQenParams(TVxSQLConnection* connection);
  ~TdmQenParams();
  TdmQenParams(const TdmQenParams&) = delete;
  TdmQenParams& operator=(const TdmQenParams&) = delete;

  TVxSQLConnection* Connection() const { return m_connection; }
  TVxParamManager& xpmVxuParams() { return *m_paramManager; }
  // The application codes the parameter manager serves.
  static QStringList ApplicationCodes() {
    return {QStringLiteral("QEN=1.0"), QStringLiteral("QEA=1.0"), QStringLiteral("VX=1.0")};
  }

  // The current value of a user parameter (VXUP_DwgId, VXUP_AnfId,
  // VXUP_AnsId); a null QVariant when it is not set.
  QVariant GetParams(const QString& key) const;

  // A column of the payroll's general parameters (one row), read on first
  // use. A column the row lacks throws EZurError naming it; no row reads as
  // null.
  QVariant GeneralParameter(const QString& column);

  // The check the parameter editor runs when a value is confirmed.
  // category: the parameter's category; only "VXUC_Params" is checked.
  // selectedText: the text of the drop-down entry chosen, nullopt when none.
  bool xpmVxuParamsCheckValue(const QString& category, const QString& key,
                              const std::optional<QString>& selectedText);

  // True when the chart of accounts has the account type.
  bool ChartOfAccountsTest(int typeId);
  // Makes sure the 2019 chart of accounts is there, running its update tool
  // through the platform when it is not; true when it is there afterwards.
  bool EnsureChartOfAccounts();
  // The update tool started by EnsureChartOfAccounts.
  static QString ChartOfAccountsTool();

private:
  TVxSQLConnection* m_connection;
  std::unique_ptr<TVxParamManager> m_paramManager;
  std::unique_ptr<TZurQuery> m_qquPaco;
  std::unique_ptr<TZurQuery> m_qquAppoggio;
};

// The program's parameter module, set by start-up (nullptr before).
TdmQenParams* dmQenParams();
void SetDmQenParams(TdmQenParams* params);
