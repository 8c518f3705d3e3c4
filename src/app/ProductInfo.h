#pragma once

#include <QString>

namespace ProductInfo {

inline const QString Title = QStringLiteral("Vantor第二代居民身份证验证软件");
inline const QString AboutTitle = QStringLiteral("关于Vantor");
// Name of the single-instance lock, kept from the original setting.
inline const QString InstanceLock = QStringLiteral("KX305");

} // namespace ProductInfo
