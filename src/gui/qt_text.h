// SPDX-License-Identifier: MIT
#pragma once

// Text between the widgets (QString) and the core (UTF-8 byte texts).

#include <QString>
#include <string>
#include <string_view>

namespace quillstash::gui {

inline QString toQString(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

inline std::string toBytes(const QString& text) {
  QByteArray bytes = text.toUtf8();
  return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

// A control's object name: its numeric id, as "id100".
inline QString controlName(int id) { return QStringLiteral("id%1").arg(id); }

// Line ends as a widget shows them: CR LF and a lone CR become LF.
inline QString displayLines(std::string_view text) {
  QString result = toQString(text);
  result.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  result.remove(QLatin1Char('\r'));
  return result;
}

}  // namespace quillstash::gui
