// SPDX-License-Identifier: MIT
#include "gui/remembered_settings.h"

#include <QStandardPaths>

#include "app/settings_keys.h"
#include "gui/qt_text.h"

namespace quillstash::gui {

namespace {
QString optionKey(const char* name) { return QStringLiteral("options/") + QString::fromLatin1(name); }
}  // namespace

QString rememberedSettingsPath() {
  return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
         QStringLiteral("/quillstash/quillstash.conf");
}

void restoreOptions(const QSettings& remembered, SettingsStore& store) {
  Settings settings = store.snapshot();
  for (const auto& number : SettingKey::numbers()) {
    bool ok = false;
    uint value = remembered.value(optionKey(number.name)).toUInt(&ok);
    if (ok) settings.*number.field = value;
  }
  for (const auto& size : SettingKey::sizes()) {
    bool ok = false;
    qulonglong value = remembered.value(optionKey(size.name)).toULongLong(&ok);
    if (ok) settings.*size.field = value;
  }
  for (const auto& flag : SettingKey::switches()) {
    QVariant value = remembered.value(optionKey(flag.name));
    if (value.isValid()) settings.*flag.field = value.toBool();
  }
  for (const auto& text : SettingKey::texts()) {
    QVariant value = remembered.value(optionKey(text.name));
    if (value.isValid()) (settings.*text.field).assign(toBytes(value.toString()));
  }
  store.replace(settings);
}

void rememberOptions(QSettings& remembered, const Settings& settings) {
  for (const auto& number : SettingKey::numbers()) remembered.setValue(optionKey(number.name), settings.*number.field);
  for (const auto& size : SettingKey::sizes()) {
    remembered.setValue(optionKey(size.name), static_cast<qulonglong>(settings.*size.field));
  }
  for (const auto& flag : SettingKey::switches()) remembered.setValue(optionKey(flag.name), settings.*flag.field);
  for (const auto& text : SettingKey::texts()) {
    remembered.setValue(optionKey(text.name), toQString((settings.*text.field).view()));
  }
  remembered.sync();
}

}  // namespace quillstash::gui
