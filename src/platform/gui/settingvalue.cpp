#include "platform/gui/settingvalue.h"

namespace {

template <class N> std::optional<N> Whole(const QSettings &settings, const QString &name)
{
    const QVariant stored = settings.value(name);
    if (!stored.isValid())
        return std::nullopt;
    bool ok = false;
    const QString text = stored.toString().trimmed();
    const N number = static_cast<N>(sizeof(N) > sizeof(int) ? text.toLongLong(&ok) : text.toInt(&ok));
    return ok ? std::optional<N>(number) : std::nullopt;
}

std::optional<QVariant> StoredVariant(const QSettings &settings, const QString &name)
{
    QVariant stored = settings.value(name);
    return stored.isValid() ? std::optional<QVariant>(std::move(stored)) : std::nullopt;
}

} // namespace

template <> std::optional<int> TSettingValue<int>::Find(const QSettings &settings) const
{
    return Whole<int>(settings, m_name);
}

template <> void TSettingValue<int>::Write(QSettings &settings, const int &value) const
{
    settings.setValue(m_name, value);
}

template <> std::optional<qlonglong> TSettingValue<qlonglong>::Find(const QSettings &settings) const
{
    return Whole<qlonglong>(settings, m_name);
}

template <> void TSettingValue<qlonglong>::Write(QSettings &settings, const qlonglong &value) const
{
    settings.setValue(m_name, value);
}

template <> std::optional<bool> TSettingValue<bool>::Find(const QSettings &settings) const
{
    const std::optional<int> number = Whole<int>(settings, m_name);
    return number ? std::optional<bool>(*number != 0) : std::nullopt;
}

template <> void TSettingValue<bool>::Write(QSettings &settings, const bool &value) const
{
    settings.setValue(m_name, value ? 1 : 0);
}

template <> std::optional<QString> TSettingValue<QString>::Find(const QSettings &settings) const
{
    const std::optional<QVariant> stored = StoredVariant(settings, m_name);
    return stored ? std::optional<QString>(stored->toString()) : std::nullopt;
}

template <> void TSettingValue<QString>::Write(QSettings &settings, const QString &value) const
{
    settings.setValue(m_name, value);
}

template <> std::optional<QStringList> TSettingValue<QStringList>::Find(const QSettings &settings) const
{
    const std::optional<QVariant> stored = StoredVariant(settings, m_name);
    return stored ? std::optional<QStringList>(stored->toStringList()) : std::nullopt;
}

template <> void TSettingValue<QStringList>::Write(QSettings &settings, const QStringList &value) const
{
    settings.setValue(m_name, value);
}

template <> std::optional<QByteArray> TSettingValue<QByteArray>::Find(const QSettings &settings) const
{
    const std::optional<QVariant> stored = StoredVariant(settings, m_name);
    return stored ? std::optional<QByteArray>(stored->toByteArray()) : std::nullopt;
}

template <> void TSettingValue<QByteArray>::Write(QSettings &settings, const QByteArray &value) const
{
    settings.setValue(m_name, value);
}
