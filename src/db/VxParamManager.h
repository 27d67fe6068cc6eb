#pragma once

#include <QString>
#include <QVariant>

class TVxSQLConnection;

// Keys of the user parameters the program reads.
inline constexpr char VXUP_DwgId[] = "VXUP_DwgId"; // working group, passed as IDWGID
inline constexpr char VXUP_AnfId[] = "VXUP_AnfId"; // financial year id (year - 1969)
inline constexpr char VXUP_AnsId[] = "VXUP_AnsId"; // school year id
// Category of the parameters that the parameter editor checks.
inline constexpr char VXUC_Params[] = "VXUC_Params";

// The framework's user parameters, kept in the family database (table
// tvxu_parametri). The schema starts them at working group 1, financial year
// 55 (2024) and school year 55 (2024/25). Values are text, as the framework
// keeps them; callers convert.
class TVxParamManager {
public:
  TVxParamManager() = default;
  explicit TVxParamManager(TVxSQLConnection* connection) : m_connection(connection) {}

  void SetConnection(TVxSQLConnection* connection) { m_connection = connection; }
  TVxSQLConnection* Connection() const { return m_connection; }

  // The value of the parameter named by key (exact spelling), a QString; a
  // null QVariant when it is not set. Database errors raise EZurError.
  QVariant GetParams(const QString& key) const;
  // Stores the value as text; a null value removes the parameter.
  void SetParams(const QString& key, const QVariant& value);

private:
  TVxSQLConnection& RequireConnection() const;

  TVxSQLConnection* m_connection = nullptr;
};
